#pragma once

#include "dsp/Envelope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace DSP
{
/** Feed-forward compressor with an optional look-ahead delay on the signal.
    The detector follows either the signal itself or a key; the gain it
    computes is applied to the delayed signal.

    Real-time contract: `setup` may allocate (only for a look-ahead longer
    than the 2048 entries reserved at construction); `process` never
    allocates, locks or throws. */
template <typename SampleType> class Compressor : public IDSP
{
    static_assert (std::is_same_v<SampleType, float>, "The compressor runs on float samples only");

public:
    enum Modes : int32_t
    {
        standard = 0
    };

    /** Longest look-ahead ring `setup` will build; absurd look-ahead times are
        limited to it. */
    static constexpr int32_t maxLookaheadLength = 65536;

    Compressor() : lookaheadBuffer (2048, 0.0f) {}

    /** Retunes the compressor. The envelope value survives; the look-ahead
        ring restarts from zeros at position 0. */
    void setup (double newSampleRate, float attackMs, float releaseMs, float newThresholdDb, float newRatio, float newLookaheadMs,
                Modes newMode)
    {
        sampleRate = newSampleRate;
        env.sampleRate = newSampleRate;

        env.attackCoeff = Envelope<SampleType>::coefficient (attackMs, newSampleRate);
        env.releaseCoeff = Envelope<SampleType>::coefficient (releaseMs, newSampleRate);

        // The single-precision 0.001 is deliberate: it rounds some lengths up
        // by one (0.5 ms at 48 kHz gives 25 entries, not 24).
        lookaheadMs = newLookaheadMs;
        lookaheadLength = ringLength (std::ceil (newSampleRate * static_cast<double> (newLookaheadMs) * static_cast<double> (0.001f)));

        ratio = newRatio;
        thresholdDb = newThresholdDb;
        thresholdLinear = static_cast<float> (std::pow (10.0, 0.05 * static_cast<double> (newThresholdDb)));

        lookaheadBuffer.clear();
        lookaheadBuffer.resize (static_cast<size_t> (lookaheadLength), 0.0f);
        writeIndex = 0;

        mode = newMode;
    }

    /** Does nothing: a compressor is retuned with `setup`, which keeps the
        envelope on purpose. */
    void reset() override {}

    /** Compresses one sample, the detector following the sample itself. */
    SampleType process (SampleType x) noexcept { return step (x, x); }

    /** Compresses one sample with the detector following `key`. */
    SampleType process (SampleType x, SampleType key) noexcept { return step (x, key); }

    Modes mode = standard;
    float lookaheadMs = 0.0f;
    double sampleRate = 44100.0;
    std::vector<float> lookaheadBuffer;
    float thresholdLinear = 1.0f;
    float thresholdDb = 0.0f;
    float ratio = 1.0f;
    int32_t writeIndex = 0;
    int32_t lookaheadLength = 0;
    Envelope<SampleType> env;

private:
    static int32_t ringLength (double entries) noexcept
    {
        // NaN, negative and huge requests all end in a valid ring length.
        if (!(entries > 0.0))
            return 0;
        return static_cast<int32_t> (std::min (entries, static_cast<double> (maxLookaheadLength)));
    }

    SampleType step (SampleType x, SampleType key) noexcept
    {
        // A non-finite sample would stick in the envelope for good: it counts
        // as silence, in the detector and in the delayed signal alike.
        if (!std::isfinite (x))
            x = 0.0f;
        if (!std::isfinite (key))
            key = 0.0f;

        SampleType delayed = x;
        if (lookaheadLength >= 1)
        {
            // Read before write: the delay is one entry shorter than the ring.
            int32_t r = writeIndex + 1;
            if (r >= lookaheadLength)
                r = 0;
            delayed = lookaheadBuffer[static_cast<size_t> (r)];
            lookaheadBuffer[static_cast<size_t> (writeIndex)] = x;
            writeIndex = r;
        }

        const SampleType envelope = env.process (std::abs (key));

        if (thresholdLinear > envelope)
            return delayed;

        const float gainDb = (thresholdDb - 20.0f * std::log10 (envelope)) * ratio;
        double g = static_cast<double> (gainDb);
        if (std::isnan (g))
            g = 0.0;
        g = std::min (g, 0.0);
        const auto gain = static_cast<float> (std::pow (10.0, 0.05 * g));
        return delayed * gain;
    }
};
} // namespace DSP
