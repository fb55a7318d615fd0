#pragma once

#include <juce_core/juce_core.h>

/** One named set of control values, as stored in the presets file. The float
    fields mean what the same-named entries of IProcessor::UserParams mean. */
struct Preset
{
    juce::String name;
    juce::String version;
    bool isProtected = false;
    float lowCut = 0.0f;
    float lowGain = 0.5f;
    float bodyGain = 0.5f;
    float clarity = 0.5f;
    float brightness = 0.5f;
    float loudness = 0.0f;
    float compression = 0.0f;
    float quality = 0.5f;
    float lowCutStereo = 0.0f;
    float loudnessRelease = 0.5f;
    float ceiling = 0.0f;
    bool truePeak = false;
};
