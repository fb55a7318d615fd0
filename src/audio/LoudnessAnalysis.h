#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstdint>
#include <string>

/** Loudness figures of a whole recording, measured offline with the app's own
    meter: the command-line tool reports these for a source and a result.

    The signal is heard as the app plays it: a mono buffer as the same signal
    on both channels, a buffer with more channels by its first two. The meter
    is fed 512-sample blocks at the buffer's own rate with 10 ms bins, so that
    the maximum momentary loudness is sampled every 10 ms. */
struct LoudnessAnalysis
{
    static constexpr int blockSize = 512;
    static constexpr int requestRate = 100;

    /** Integrated loudness, LUFS (-300 when nothing passed the gates). */
    float integrated = -300.0f;
    /** Loudness range, LU. */
    float range = 0.0f;
    /** Highest momentary (400 ms) and short-term (3 s) loudness, LUFS. */
    float momentaryMax = -300.0f;
    float shortTermMax = -300.0f;
    /** Highest absolute sample of the measured channels, dBFS (-300 for silence). */
    float samplePeak = -300.0f;
    /** NaN or infinite samples in the measured channels; the meter counts them as silence. */
    int64_t nonFiniteSamples = 0;
    /** Empty when the figures are valid; otherwise why nothing was measured. */
    std::string problem;

    /** Measures the buffer. Allocates; meant for a worker or the command line. */
    static LoudnessAnalysis measure (const juce::AudioBuffer<float>& buffer, double sampleRate);
};
