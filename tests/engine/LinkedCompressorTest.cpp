#include "engine/LinkedCompressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
float noise (int i, int channel)
{
    // Deterministic, loud enough to drive the detector well above threshold.
    const auto x = static_cast<unsigned> (i) * 2654435761u + static_cast<unsigned> (channel) * 40503u;
    return 1.6f * (static_cast<float> ((x >> 8) & 0xffff) / 65535.0f - 0.5f) + 0.4f * std::sin (0.01f * static_cast<float> (i));
}
} // namespace

// With an odd shared ring each channel reads back its own sample, so the
// per-channel rings must give exactly what one compressor fed left, then
// right, gives.
TEST (LinkedCompressor, OddRingMatchesOneCompressorFedLeftThenRight)
{
    const struct
    {
        double rate;
        float lookaheadMs;
        int sharedLength;
    } cases[] = {{44100.0, 0.2f, 9}, {44100.0, 0.5f, 23}, {48000.0, 0.5f, 25}, {96000.0, 0.5f, 49}};

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.rate);
        DSP::Compressor<float> shared;
        shared.setup (c.rate, 13.0f, 100.0f, -1.9f, 2.4f, c.lookaheadMs, DSP::Compressor<float>::standard);
        ASSERT_EQ (shared.lookaheadLength, c.sharedLength);

        LinkedCompressor linked;
        linked.setup (c.rate, 13.0f, 100.0f, -1.9f, 2.4f, c.lookaheadMs);
        EXPECT_EQ (linked.delayFrames(), (c.sharedLength - 1) / 2);

        bool compressed = false;
        for (int i = 0; i < 4000; ++i)
        {
            const float l = noise (i, 0), r = noise (i, 1);
            const float keyL = 2.0f * l, keyR = 2.5f * r;
            const float expectL = shared.process (l, keyL);
            const float expectR = shared.process (r, keyR);
            ASSERT_EQ (linked.process (0, l, keyL), expectL) << "frame " << i;
            ASSERT_EQ (linked.process (1, r, keyR), expectR) << "frame " << i;
            compressed = compressed || shared.env.envelope >= shared.thresholdLinear;
        }
        EXPECT_TRUE (compressed);
    }
}

// With an even shared ring the channels would swap; here each channel comes
// out as its own input, n / 2 - 1 frames late.
TEST (LinkedCompressor, EvenRingKeepsEachChannelsOwnSamples)
{
    const struct
    {
        double rate;
        int sharedLength;
    } cases[] = {{48000.0, 10}, {88200.0, 18}, {96000.0, 20}};

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.rate);
        LinkedCompressor linked;
        // A threshold far above the signal: the gain stays 1, so the output is
        // the delayed input.
        linked.setup (c.rate, 20.0f, 200.0f, 20.0f, 1.05f, 0.2f);
        const int delay = c.sharedLength / 2 - 1;
        EXPECT_EQ (linked.delayFrames(), delay);

        std::vector<float> left, right;
        for (int i = 0; i < 200; ++i)
        {
            const float l = 0.001f * static_cast<float> (i + 1);
            left.push_back (linked.process (0, l, l));
            right.push_back (linked.process (1, 0.0f, 0.0f));
        }
        for (int i = 0; i < 200; ++i)
        {
            EXPECT_EQ (left[static_cast<size_t> (i)], i < delay ? 0.0f : 0.001f * static_cast<float> (i - delay + 1)) << i;
            EXPECT_EQ (right[static_cast<size_t> (i)], 0.0f) << i;
        }
    }
}
