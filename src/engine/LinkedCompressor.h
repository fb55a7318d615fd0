#pragma once

#include "dsp/Compressor.h"

#include <array>
#include <cstdint>
#include <vector>

/** A stereo-linked compressor: one detector, moved by the left and then the
    right input (or key) of every frame, and a look-ahead ring per channel.

    Feeding one compressor left and right samples in turn would interleave
    both channels in its single ring; with an even ring length each channel
    would then read back the other's samples. Here each channel keeps a ring
    of half the compressor's length (rounded up), read before it is written as
    in the compressor, so a channel's sample comes out floor((n - 1) / 2)
    frames late, n being the compressor's ring length (a one-entry ring, for
    n of 1 or 2 at rates below 10 kHz, gives one frame); for odd n that is
    exactly what the single shared ring gives.

    Real-time contract: `setup` allocates; `process` never does. */
class LinkedCompressor
{
public:
    void setup (double sampleRate, float attackMs, float releaseMs, float thresholdDb, float ratio, float lookaheadMs)
    {
        // Let the compressor work out its ring length, then run it without a
        // ring of its own: it then applies its gain to the sample it is given,
        // which is the channel's delayed sample.
        compressor.setup (sampleRate, attackMs, releaseMs, thresholdDb, ratio, lookaheadMs, DSP::Compressor<float>::standard);
        const int32_t sharedLength = compressor.lookaheadLength;
        compressor.setup (sampleRate, attackMs, releaseMs, thresholdDb, ratio, 0.0f, DSP::Compressor<float>::standard);

        ringLength = (sharedLength + 1) / 2;
        for (auto& ring : rings)
            ring.assign (static_cast<size_t> (ringLength), 0.0f);
        writeIndex = {0, 0};
    }

    /** Compresses channel `channel`'s sample `x`, the detector following
        `key` (pass `x` itself for the unkeyed form). Call it for channel 0,
        then channel 1, once per frame. */
    float process (int channel, float x, float key) noexcept
    {
        float delayed = x;
        if (ringLength >= 1)
        {
            auto& ring = rings[static_cast<size_t> (channel)];
            auto& w = writeIndex[static_cast<size_t> (channel)];
            int32_t r = w + 1;
            if (r >= ringLength)
                r = 0;
            delayed = ring[static_cast<size_t> (r)];
            ring[static_cast<size_t> (w)] = x;
            w = r;
        }
        return compressor.process (delayed, key);
    }

    /** Frames by which each channel's sample is delayed. */
    int32_t delayFrames() const noexcept { return ringLength >= 2 ? ringLength - 1 : ringLength; }

private:
    DSP::Compressor<float> compressor;
    std::array<std::vector<float>, 2> rings;
    std::array<int32_t, 2> writeIndex{0, 0};
    int32_t ringLength = 0;
};
