#include "dsp/Compressor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using Comp = DSP::Compressor<float>;
using Env = DSP::Envelope<float>;

namespace
{
float dbToGain (double db) { return static_cast<float> (std::pow (10.0, db / 20.0)); }
double gainToDb (double g) { return 20.0 * std::log10 (g); }
} // namespace

TEST (Envelope, TimeConstantCoversNinetyNinePercentOfAStep)
{
    EXPECT_EQ (Env::coefficient (20.0, 44100.0), 0.99479234f);
    EXPECT_EQ (Env::coefficient (0.0, 44100.0), 0.0f);
    // Unusable times fall back to an instant response instead of diverging.
    EXPECT_EQ (Env::coefficient (-5.0, 44100.0), 0.0f);
    EXPECT_EQ (Env::coefficient (std::numeric_limits<double>::quiet_NaN(), 44100.0), 0.0f);
    EXPECT_EQ (Env::coefficient (10.0, 0.0), 0.0f);

    Env env;
    env.attackCoeff = Env::coefficient (10.0, 48000.0);
    env.releaseCoeff = Env::coefficient (100.0, 48000.0);
    for (int i = 0; i < 480; ++i)
        env.process (1.0f);
    EXPECT_NEAR (env.envelope, 0.99f, 1.0e-4f);

    env.reset();
    EXPECT_EQ (env.envelope, 0.0f);
}

TEST (Compressor, LookaheadLengthUsesSinglePrecisionMillisecond)
{
    struct Case
    {
        double rate;
        float ms;
        int32_t length;
    };
    // 0.5 ms at 48 and 96 kHz round up past the double-precision result.
    const Case cases[] = {{44100.0, 0.2f, 9},  {48000.0, 0.2f, 10}, {88200.0, 0.2f, 18}, {96000.0, 0.2f, 20}, {44100.0, 0.5f, 23},
                          {48000.0, 0.5f, 25}, {88200.0, 0.5f, 45}, {96000.0, 0.5f, 49}, {44100.0, 0.0f, 0}};
    for (const auto& c : cases)
    {
        Comp comp;
        comp.setup (c.rate, 10.0f, 100.0f, -10.0f, 2.0f, c.ms, Comp::standard);
        EXPECT_EQ (comp.lookaheadLength, c.length) << c.rate << " Hz, " << c.ms << " ms";
        EXPECT_EQ (comp.lookaheadBuffer.size(), static_cast<size_t> (c.length));
        EXPECT_EQ (comp.writeIndex, 0);
    }
}

TEST (Compressor, SetupStoresDerivedSettings)
{
    Comp comp;
    EXPECT_EQ (comp.lookaheadBuffer.size(), 2048u);
    comp.setup (44100.0, 20.0f, 200.0f, -2.8f, 2.5f, 0.2f, Comp::standard);
    EXPECT_EQ (comp.env.attackCoeff, Env::coefficient (20.0, 44100.0));
    EXPECT_EQ (comp.env.releaseCoeff, Env::coefficient (200.0, 44100.0));
    EXPECT_EQ (comp.thresholdLinear, static_cast<float> (std::pow (10.0, 0.05 * static_cast<double> (-2.8f))));
    EXPECT_EQ (comp.thresholdDb, -2.8f);
    EXPECT_EQ (comp.ratio, 2.5f);
    EXPECT_EQ (comp.sampleRate, 44100.0);
    EXPECT_EQ (comp.env.sampleRate, 44100.0);
    EXPECT_GE (comp.lookaheadBuffer.capacity(), 2048u);
}

TEST (Compressor, BelowThresholdIsAPureDelayOfLengthMinusOne)
{
    // Lengths 1 and 2 both delay by one sample: the ring is read before it is written.
    struct Case
    {
        float ms;
        int expectedDelay;
    };
    const Case cases[] = {{0.0f, 0}, {0.02f, 1}, {0.04f, 1}, {0.2f, 8}, {0.5f, 22}};
    for (const auto& c : cases)
    {
        Comp comp;
        comp.setup (44100.0, 1.0f, 50.0f, 20.0f, 4.0f, c.ms, Comp::standard);
        std::vector<float> in (200);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = 0.9f * std::sin (0.05f * static_cast<float> (i));
        for (size_t i = 0; i < in.size(); ++i)
        {
            const float out = comp.process (in[i]);
            const float expected = static_cast<int> (i) >= c.expectedDelay ? in[i - static_cast<size_t> (c.expectedDelay)] : 0.0f;
            ASSERT_EQ (out, expected) << "look-ahead " << c.ms << " ms, sample " << i;
        }
    }
}

TEST (Compressor, SteadyLevelAboveThresholdFollowsTheRatio)
{
    // Output dB = input dB + (threshold - envelope dB) * ratio; ratio 1 holds
    // the level at the threshold.
    struct Case
    {
        float inputDb, thresholdDb, ratio;
    };
    const Case cases[] = {{-6.0f, -20.0f, 1.0f}, {-6.0f, -20.0f, 2.0f}, {-1.0f, -2.8f, 1.45f}, {-3.0f, -10.0f, 7.3f}};
    for (const auto& c : cases)
    {
        Comp comp;
        comp.setup (44100.0, 0.0f, 100.0f, c.thresholdDb, c.ratio, 0.0f, Comp::standard);
        const float x = dbToGain (c.inputDb);
        float out = 0.0f;
        for (int i = 0; i < 100; ++i)
            out = comp.process (x);
        const double expectedDb = c.inputDb + (c.thresholdDb - c.inputDb) * c.ratio;
        EXPECT_NEAR (gainToDb (out), expectedDb, 1.0e-3) << c.inputDb << " dB into " << c.thresholdDb << " dB at ratio " << c.ratio;
    }
}

TEST (Compressor, EnvelopeExactlyAtThresholdTakesTheGainPathAtUnity)
{
    Comp comp;
    comp.setup (44100.0, 0.0f, 100.0f, 0.0f, 3.0f, 0.0f, Comp::standard);
    ASSERT_EQ (comp.thresholdLinear, 1.0f);
    EXPECT_EQ (comp.process (1.0f), 1.0f);
    EXPECT_EQ (comp.process (-1.0f), -1.0f);
}

TEST (Compressor, AttackZeroJumpsAndSilenceDecays)
{
    Comp comp;
    comp.setup (44100.0, 0.0f, 10.0f, -6.0f, 2.0f, 0.0f, Comp::standard);
    comp.process (0.1f);
    EXPECT_EQ (comp.env.envelope, 0.1f);
    comp.process (-0.8f);
    EXPECT_EQ (comp.env.envelope, 0.8f);

    float previous = comp.env.envelope;
    for (int i = 0; i < 2000; ++i)
    {
        EXPECT_EQ (comp.process (0.0f), 0.0f);
        EXPECT_LT (comp.env.envelope, previous + 1.0e-12f);
        previous = comp.env.envelope;
    }
    EXPECT_LT (comp.env.envelope, 0.8f * 0.01f);
}

TEST (Compressor, KeyDrivesTheDetectorNotTheSignal)
{
    Comp keyed;
    keyed.setup (44100.0, 0.0f, 50.0f, -20.0f, 2.0f, 0.0f, Comp::standard);
    // A quiet signal is ducked by a loud key ...
    float out = 0.0f;
    for (int i = 0; i < 50; ++i)
        out = keyed.process (0.01f, 0.5f);
    EXPECT_NEAR (gainToDb (out / 0.01f), (-20.0 - gainToDb (0.5)) * 2.0, 1.0e-3);

    // ... and a loud signal passes with a silent key.
    Comp quietKey;
    quietKey.setup (44100.0, 0.0f, 50.0f, -20.0f, 2.0f, 0.0f, Comp::standard);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ (quietKey.process (0.9f, 0.0f), 0.9f);
}

TEST (Compressor, RetuningKeepsTheEnvelopeAndRestartsTheRing)
{
    Comp comp;
    comp.setup (48000.0, 0.0f, 100.0f, -10.0f, 2.0f, 0.5f, Comp::standard);
    for (int i = 0; i < 37; ++i)
        comp.process (0.7f);
    const float envelope = comp.env.envelope;
    ASSERT_GT (envelope, 0.0f);

    comp.setup (48000.0, 5.0f, 60.0f, -12.0f, 3.0f, 0.2f, Comp::standard);
    EXPECT_EQ (comp.env.envelope, envelope);
    EXPECT_EQ (comp.lookaheadLength, 10);
    EXPECT_EQ (comp.writeIndex, 0);
    EXPECT_EQ (comp.lookaheadBuffer, std::vector<float> (10, 0.0f));
    // The shorter ring works straight away: nine zeros, then the signal.
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ (comp.process (0.5f), 0.0f);
    EXPECT_NE (comp.process (0.5f), 0.0f);
}

TEST (Compressor, NonFiniteSamplesCountAsSilence)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const float bad : {nan, inf, -inf})
    {
        Comp comp;
        comp.setup (44100.0, 1.0f, 50.0f, -10.0f, 2.0f, 0.2f, Comp::standard);
        for (int i = 0; i < 100; ++i)
            comp.process (0.5f);
        const float before = comp.env.envelope;

        EXPECT_TRUE (std::isfinite (comp.process (bad)));
        EXPECT_TRUE (std::isfinite (comp.process (0.5f, bad)));
        EXPECT_TRUE (std::isfinite (comp.env.envelope));
        EXPECT_LE (comp.env.envelope, before);

        // The bad sample leaves the ring as a zero; the rest is untouched.
        bool sawZero = false;
        for (int i = 0; i < 20; ++i)
        {
            const float out = comp.process (0.5f);
            ASSERT_TRUE (std::isfinite (out));
            sawZero = sawZero || out == 0.0f;
        }
        EXPECT_TRUE (sawZero);
        EXPECT_NEAR (comp.env.envelope, 0.5f, 1.0e-3f);
    }
}

TEST (Compressor, AbsurdLookaheadGivesAValidRing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case
    {
        double rate;
        float ms;
    };
    const Case cases[] = {{44100.0, nan}, {44100.0, -3.0f}, {44100.0, inf}, {44100.0, 1.0e12f}, {-48000.0, 1.0f}, {0.0, 1.0f}};
    for (const auto& c : cases)
    {
        Comp comp;
        comp.setup (c.rate, 1.0f, 10.0f, -10.0f, 2.0f, c.ms, Comp::standard);
        EXPECT_GE (comp.lookaheadLength, 0);
        EXPECT_LE (comp.lookaheadLength, Comp::maxLookaheadLength);
        EXPECT_EQ (comp.lookaheadBuffer.size(), static_cast<size_t> (comp.lookaheadLength));
        for (int i = 0; i < 100; ++i)
            ASSERT_TRUE (std::isfinite (comp.process (0.9f)));
    }
}
