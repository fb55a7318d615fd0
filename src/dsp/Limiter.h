#pragma once

#include "dsp/Envelope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace DSP
{
/** Look-ahead peak limiter: an instant-attack envelope divides the delayed
    signal down to full scale wherever the newest peak exceeds it, and the
    threshold then scales the whole output.

    Real-time contract: `setup` may allocate (only for a look-ahead longer
    than the 2048 entries reserved at construction); `process` never
    allocates, locks or throws. An owner may retune the release by writing
    `env.releaseCoeff` and `inputGain` directly; neither allocates. */
template <typename SampleType> class Limiter : public IDSP
{
    static_assert (std::is_same_v<SampleType, float>, "The limiter runs on float samples only");

public:
    enum Modes : int32_t
    {
        standard = 0
    };

    /** Longest look-ahead ring `setup` will build. */
    static constexpr int32_t maxLookaheadLength = 65536;

    /** Ready to run at 44100 Hz: 1 ms look-ahead (45 entries), 20 ms release,
        threshold 0 dB, unity gains. */
    Limiter()
    {
        lookaheadBuffer.reserve (2048);
        lookaheadBuffer.assign (45, 0.0f);
        env.sampleRate = sampleRate;
        env.attackCoeff = 0.0f;
        env.releaseCoeff = Envelope<SampleType>::coefficient (20.0, sampleRate);
    }

    /** Retunes the limiter and sets `inputGain` back to 1; the envelope value
        survives, the ring restarts from zeros. `spare` is stored only. */
    void setup (double newSampleRate, float releaseMs, float thresholdDb, float spare, float newLookaheadMs, Modes newMode)
    {
        sampleRate = newSampleRate;
        env.sampleRate = newSampleRate;

        env.attackCoeff = Envelope<SampleType>::coefficient (0.0, newSampleRate);
        env.releaseCoeff = Envelope<SampleType>::coefficient (releaseMs, newSampleRate);

        // Unlike the compressor's, this 0.001 is double: 1 ms is 45 entries at
        // 44100 Hz and exactly 48 at 48000 Hz.
        lookaheadMs = newLookaheadMs;
        lookaheadLength = ringLength (std::ceil (newSampleRate * static_cast<double> (newLookaheadMs) * 0.001));

        spareValue = spare;
        thresholdLinear = static_cast<float> (std::pow (10.0, 0.05 * static_cast<double> (thresholdDb)));

        inputGain = 1.0f;
        outputGain = 1.0f;

        lookaheadBuffer.clear();
        lookaheadBuffer.resize (static_cast<size_t> (lookaheadLength), 0.0f);
        writeIndex = 0;

        mode = newMode;
    }

    /** Does nothing: the limiter is retuned with `setup`. */
    void reset() override {}

    SampleType process (SampleType x) noexcept
    {
        SampleType in = x * inputGain;
        // A non-finite sample would hold the envelope at infinity (or NaN) for
        // good and silence everything after it: it counts as silence.
        if (!std::isfinite (in))
            in = 0.0f;

        SampleType delayed = in;
        if (lookaheadLength >= 1)
        {
            int32_t r = writeIndex + 1;
            if (r >= lookaheadLength)
                r = 0;
            delayed = lookaheadBuffer[static_cast<size_t> (r)];
            lookaheadBuffer[static_cast<size_t> (writeIndex)] = in;
            writeIndex = r;
        }

        const SampleType envelope = env.process (std::abs (in));

        SampleType out = envelope > 1.0f ? delayed / envelope : delayed;
        return out * thresholdLinear * outputGain;
    }

    Modes mode = standard;
    float lookaheadMs = 1.0f;
    double sampleRate = 44100.0;
    std::vector<float> lookaheadBuffer;
    float thresholdLinear = 1.0f;
    float spareValue = 2.0f;
    int32_t writeIndex = 0;
    int32_t lookaheadLength = 45;
    float inputGain = 1.0f;
    float outputGain = 1.0f;
    Envelope<SampleType> env;

private:
    static int32_t ringLength (double entries) noexcept
    {
        if (!(entries > 0.0))
            return 0;
        return static_cast<int32_t> (std::min (entries, static_cast<double> (maxLookaheadLength)));
    }
};
} // namespace DSP
