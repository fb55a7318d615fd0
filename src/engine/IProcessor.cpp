#include "engine/IProcessor.h"

std::atomic<float> IProcessor::UserParams[IProcessor::numParams]{};

const char* const IProcessor::ParamNames[IProcessor::numParams] = {"lowCut",       "lowGain",         "bodyGain",    "clarity",
                                                                   "brightness",   "loudness",        "compression", "quality",
                                                                   "lowCutStereo", "loudnessRelease", "ceiling",     "truePeak"};

IProcessor::IProcessor() :
    sourceBuffer (std::make_shared<juce::AudioBuffer<float>>()), processedBuffer (std::make_shared<juce::AudioBuffer<float>>())
{
    // Registration order matters: the first format that claims an extension
    // wins, and WAV is the default.
    formatManager.registerFormat (new juce::WavAudioFormat(), true);
    formatManager.registerFormat (new juce::AiffAudioFormat(), false);
    formatManager.registerFormat (new juce::FlacAudioFormat(), false);
    formatManager.registerFormat (new juce::OggVorbisAudioFormat(), false);
    // Stands in for the platform decoder entry: JUCE's own MP3 reader.
    formatManager.registerFormat (new juce::MP3AudioFormat(), false);
}
