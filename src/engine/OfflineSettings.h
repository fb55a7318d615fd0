#pragma once

#include "engine/IProcessor.h"

#include <array>

/** The settings of the offline mastering chain, derived once per run from the
    run's copy of the twelve parameters and its processing rate. Kept apart
    from the run so that the numbers can be checked on their own; the run uses
    exactly these values.

    The float/double choices here are part of the result: every value is
    computed in the precision noted on its field, in the order written. */
struct OfflineSettings
{
    using Params = std::array<float, IProcessor::numParams>;

    /** Number of low-passes in the band split (the cut-off below the lowest
        band plus ten split points). */
    static constexpr int numSplits = 11;

    /** FIR length for a quality value: round(4 x quality), halves away from
        zero, picks 128, 256, 512, 1024 or 2048 taps for 1 to 5, else 64. */
    static int tapsForQuality (float quality) noexcept;

    /** The whole chain's settings. */
    static OfflineSettings fromParams (const Params& params, double processingRate) noexcept;

    int taps = 64;
    /** Low-pass cut-offs in Hz; entry 0 is the low cut, max(5, 60 x lowCut)
        taken in float. */
    std::array<double, numSplits> cutoffHz{};
    /** Gains of bands b1 ... b10 and the top band, as floats. */
    std::array<float, numSplits> bandGains{};

    float lowRatio = 1.0f;
    float midRatio = 1.0f;
    float highRatio = 1.0f;
    float upperKeyedRatio = 1.0f;
    float glueRatio = 1.0f;
    float midKeyedRatio = 1.0f;

    float loudnessReleaseMs = 0.0f;
    /** Linear drive into the loudness limiters, 8 x loudness dB. */
    float loudnessInputGain = 1.0f;

    /** Normalised corner frequencies of the side high-pass and shelf. */
    double sideHighPassFc = 0.0;
    double sideShelfFc = 0.0;

    bool truePeak = false;
    float ceilingDb = 0.0f;
};
