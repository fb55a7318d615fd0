#include "engine/OfflineSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
OfflineSettings::Params neutral()
{
    OfflineSettings::Params p{};
    p.fill (0.5f);
    p[IProcessor::ceiling] = -0.3f;
    p[IProcessor::truePeak] = 0.0f;
    return p;
}
} // namespace

TEST (OfflineSettings, TapsFollowQualityRoundedHalfAway)
{
    const struct
    {
        float quality;
        int taps;
    } cases[] = {
        {0.0f, 64},    {0.12f, 64},    {0.125f, 128}, {0.13f, 128}, {0.37f, 128},
        {0.375f, 256}, {0.5f, 256},    {0.625f, 512}, {0.8f, 512},  {0.875f, 1024},
        {1.0f, 1024},  {1.125f, 2048}, {1.5f, 64},    {-0.2f, 64},  {std::numeric_limits<float>::quiet_NaN(), 64},
    };
    for (const auto& c : cases)
        EXPECT_EQ (OfflineSettings::tapsForQuality (c.quality), c.taps) << "quality " << c.quality;

    auto p = neutral();
    p[IProcessor::quality] = 0.75f;
    EXPECT_EQ (OfflineSettings::fromParams (p, 44100.0).taps, 512);
}

TEST (OfflineSettings, RatiosAtCompressionExtremes)
{
    const struct
    {
        float compression;
        float low, mid, high, upperKeyed, glue, midKeyed;
    } cases[] = {
        {0.0f, 1.2f, 1.3f, 1.8f, 1.05f, 2.4f, 1.9f},
        {1.0f, 6.7f, 6.8f, 7.3f, 2.975f, 3.5f, 3.0f},
    };
    for (const auto& c : cases)
    {
        auto p = neutral();
        p[IProcessor::compression] = c.compression;
        const auto s = OfflineSettings::fromParams (p, 44100.0);
        SCOPED_TRACE (c.compression);
        EXPECT_NEAR (s.lowRatio, c.low, 1.0e-6f);
        EXPECT_NEAR (s.midRatio, c.mid, 1.0e-6f);
        EXPECT_NEAR (s.highRatio, c.high, 1.0e-6f);
        EXPECT_NEAR (s.upperKeyedRatio, c.upperKeyed, 1.0e-6f);
        EXPECT_NEAR (s.glueRatio, c.glue, 1.0e-6f);
        EXPECT_NEAR (s.midKeyedRatio, c.midKeyed, 1.0e-6f);
    }
}

TEST (OfflineSettings, LoudnessDriveReleaseAndSideFilters)
{
    auto p = neutral();
    p[IProcessor::loudness] = 0.0f;
    p[IProcessor::loudnessRelease] = 0.25f;
    p[IProcessor::lowCutStereo] = 0.0f;
    auto s = OfflineSettings::fromParams (p, 48000.0);
    EXPECT_EQ (s.loudnessInputGain, 1.0f);
    EXPECT_EQ (s.loudnessReleaseMs, 10.0f);
    EXPECT_EQ (s.sideHighPassFc, 0.0);
    EXPECT_DOUBLE_EQ (s.sideShelfFc, 5000.0 / 48000.0);

    p[IProcessor::loudness] = 1.0f;
    p[IProcessor::lowCutStereo] = 1.0f;
    s = OfflineSettings::fromParams (p, 96000.0);
    EXPECT_NEAR (s.loudnessInputGain, 2.5118864f, 1.0e-6f); // +8 dB
    EXPECT_DOUBLE_EQ (s.sideHighPassFc, 200.0 / 96000.0);
}

TEST (OfflineSettings, SplitPointsAndBandGains)
{
    auto p = neutral();
    p[IProcessor::lowCut] = 0.0f;
    auto s = OfflineSettings::fromParams (p, 44100.0);
    EXPECT_EQ (s.cutoffHz[0], 5.0); // the floor
    const double fixed[] = {100, 180, 360, 1000, 1800, 2500, 4000, 5000, 6500, 8000};
    for (size_t k = 1; k < s.cutoffHz.size(); ++k)
        EXPECT_EQ (s.cutoffHz[k], fixed[k - 1]);
    for (const float gain : s.bandGains)
        EXPECT_EQ (gain, 1.0f); // every tone control centred

    p[IProcessor::lowCut] = 1.0f;
    p[IProcessor::lowGain] = 1.0f;    // +6 dB, next band -2 dB
    p[IProcessor::bodyGain] = 0.0f;   // -4 dB
    p[IProcessor::clarity] = 1.0f;    // +2, -2, +0.8 dB
    p[IProcessor::brightness] = 0.0f; // -4 dB x 0.3, 0.6, 0.6
    s = OfflineSettings::fromParams (p, 44100.0);
    EXPECT_EQ (s.cutoffHz[0], 60.0);
    const double expectedDb[] = {6, -2, -4, 0, 2, -2, 0.8, 0, -1.2, -2.4, -2.4};
    for (size_t b = 0; b < s.bandGains.size(); ++b)
        EXPECT_NEAR (s.bandGains[b], std::pow (10.0, expectedDb[b] / 20.0), 1.0e-6) << "band " << b + 1;

    p[IProcessor::truePeak] = 0.51f;
    p[IProcessor::ceiling] = -1.5f;
    s = OfflineSettings::fromParams (p, 44100.0);
    EXPECT_TRUE (s.truePeak);
    EXPECT_EQ (s.ceilingDb, -1.5f);
    p[IProcessor::truePeak] = 0.5f;
    EXPECT_FALSE (OfflineSettings::fromParams (p, 44100.0).truePeak);
}
