#include "dsp/Limiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using Lim = DSP::Limiter<float>;

TEST (Limiter, ConstructedReadyAt44100)
{
    Lim lim;
    EXPECT_EQ (lim.lookaheadLength, 45);
    EXPECT_EQ (lim.lookaheadBuffer, std::vector<float> (45, 0.0f));
    EXPECT_EQ (lim.env.releaseCoeff, 0.99479234f);
    EXPECT_EQ (lim.env.attackCoeff, 0.0f);
    EXPECT_EQ (lim.thresholdLinear, 1.0f);
    EXPECT_EQ (lim.inputGain, 1.0f);
    EXPECT_EQ (lim.outputGain, 1.0f);
    EXPECT_EQ (lim.spareValue, 2.0f);
    // Usable as constructed: a 44-sample delay at unity.
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ (lim.process (0.25f), 0.0f);
    EXPECT_EQ (lim.process (0.25f), 0.25f);
}

TEST (Limiter, QuietSignalIsDelayedAndScaledByTheGains)
{
    struct Case
    {
        double rate;
        int32_t ring;
    };
    // One millisecond in double precision: 44.1 rounds up, 48, 96 stay exact.
    const Case cases[] = {{44100.0, 45}, {48000.0, 48}, {88200.0, 89}, {96000.0, 96}};
    for (const auto& c : cases)
    {
        Lim lim;
        lim.setup (c.rate, 40.0f, -0.5f, 10.0f, 1.0f, Lim::standard);
        ASSERT_EQ (lim.lookaheadLength, c.ring);
        EXPECT_EQ (lim.inputGain, 1.0f);
        EXPECT_EQ (lim.spareValue, 10.0f);
        lim.inputGain = 2.5f;
        lim.outputGain = 0.5f;

        const int delay = c.ring - 1;
        std::vector<float> in (400);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = 0.35f * std::sin (0.031f * static_cast<float> (i));
        for (size_t i = 0; i < in.size(); ++i)
        {
            const float out = lim.process (in[i]);
            const float expected =
                static_cast<int> (i) >= delay ? in[i - static_cast<size_t> (delay)] * 2.5f * lim.thresholdLinear * 0.5f : 0.0f;
            ASSERT_EQ (out, expected) << c.rate << " Hz, sample " << i;
        }
    }
}

TEST (Limiter, SpikeHalvesTheDelayedSignalUntilReleased)
{
    Lim lim;
    lim.setup (44100.0, 5.0f, 0.0f, 10.0f, 1.0f, Lim::standard);
    for (int i = 0; i < 60; ++i)
        lim.process (0.5f);
    lim.process (2.0f);
    EXPECT_EQ (lim.env.envelope, 2.0f);

    // The next 44 outputs are the earlier 0.5s, divided by the decaying envelope.
    for (int i = 0; i < 43; ++i)
    {
        const float envBefore = lim.env.envelope;
        const float out = lim.process (0.5f);
        EXPECT_LT (out, 0.5f);
        EXPECT_NEAR (out, 0.5f / lim.env.envelope, 1.0e-7f);
        EXPECT_LT (lim.env.envelope, envBefore);
    }
    // The spike itself leaves at full scale.
    const float spikeOut = lim.process (0.5f);
    EXPECT_EQ (spikeOut, 2.0f / lim.env.envelope);
    EXPECT_GT (lim.env.envelope, 1.0f);
    for (int i = 0; i < 2000; ++i)
        lim.process (0.5f);
    EXPECT_LE (lim.env.envelope, 1.0f);
    const float settled = lim.process (0.5f);
    EXPECT_EQ (settled, 0.5f);
}

TEST (Limiter, SteadyLoudLevelSettlesAtTheThreshold)
{
    Lim lim;
    lim.setup (48000.0, 30.0f, -0.5f, 10.0f, 1.0f, Lim::standard);
    lim.inputGain = 2.512f;
    float out = 0.0f;
    for (int i = 0; i < 200; ++i)
        out = lim.process (i % 2 == 0 ? 1.3f : -1.3f);
    EXPECT_NEAR (std::abs (out), lim.thresholdLinear, 1.0e-6f);
}

TEST (Limiter, NoLookaheadDividesByTheNewestEnvelope)
{
    Lim lim;
    lim.setup (44100.0, 10.0f, -6.0f, 10.0f, 0.0f, Lim::standard);
    ASSERT_EQ (lim.lookaheadLength, 0);
    const float ins[] = {0.5f, 3.0f, 1.5f, -0.2f};
    for (const float x : ins)
    {
        const float out = lim.process (x);
        const float expected = x / std::max (lim.env.envelope, 1.0f) * lim.thresholdLinear;
        EXPECT_EQ (out, expected);
    }
}

TEST (Limiter, SetupRestoresUnityInputGainAndKeepsTheEnvelope)
{
    Lim lim;
    lim.inputGain = 3.0f;
    lim.process (1.7f);
    const float envelope = lim.env.envelope;
    lim.setup (96000.0, 20.0f, -0.25f, 10.0f, 1.0f, Lim::standard);
    EXPECT_EQ (lim.inputGain, 1.0f);
    EXPECT_EQ (lim.env.envelope, envelope);
    EXPECT_EQ (lim.writeIndex, 0);
    EXPECT_EQ (lim.lookaheadBuffer, std::vector<float> (96, 0.0f));
    EXPECT_EQ (lim.env.releaseCoeff, DSP::Envelope<float>::coefficient (20.0, 96000.0));
}

TEST (Limiter, NonFiniteSamplesCountAsSilence)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const float bad : {nan, inf, -inf, std::numeric_limits<float>::max()})
    {
        Lim lim;
        lim.setup (44100.0, 10.0f, -0.5f, 10.0f, 1.0f, Lim::standard);
        lim.inputGain = 2.0f; // the largest float times 2 overflows to infinity
        for (int i = 0; i < 100; ++i)
            lim.process (0.2f);
        EXPECT_TRUE (std::isfinite (lim.process (bad)));
        EXPECT_TRUE (std::isfinite (lim.env.envelope));
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE (std::isfinite (lim.process (0.2f)));
        const float out = lim.process (0.2f);
        EXPECT_EQ (out, 0.4f * lim.thresholdLinear);
    }
}
