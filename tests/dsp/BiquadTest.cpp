#include "dsp/Biquad.h"

#include <juce_core/juce_core.h>

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <random>

namespace
{
/** Magnitude in dB of the section's response at `frequency` (a fraction of the rate). */
double responseDb (const Biquad& b, double frequency)
{
    const std::complex<double> z1 = std::polar (1.0, -2.0 * juce::MathConstants<double>::pi * frequency);
    const auto z2 = z1 * z1;
    const auto h = (b.a0 + b.a1 * z1 + b.a2 * z2) / (1.0 + b.b1 * z1 + b.b2 * z2);
    return 20.0 * std::log10 (std::abs (h));
}

Biquad make (int type, double fc, double q, double gainDb)
{
    Biquad b;
    b.type = type;
    b.Fc = fc;
    b.Q = q;
    b.peakGain = gainDb;
    b.calcBiquad();
    return b;
}
} // namespace

TEST (Biquad, NewSectionPassesTheSignal)
{
    Biquad b;
    EXPECT_EQ (b.Fc, 0.5);
    EXPECT_EQ (b.Q, 0.707);
    for (const float x : {0.3f, -1.0f, 0.0f, 0.123456f})
        EXPECT_EQ (b.process (x), x);
}

TEST (Biquad, SevenResponsesHaveTheirShape)
{
    const double fc = 1000.0 / 48000.0;
    struct Case
    {
        const char* name;
        int type;
        double gainDb;
        double probe; // fraction of the rate
        double expectedDb;
        double tolerance;
    };
    const Case cases[] = {
        {"low-pass passes lows", Biquad::lowPass, 0.0, 20.0 / 48000.0, 0.0, 0.01},
        {"low-pass -3 dB at Fc", Biquad::lowPass, 0.0, fc, -3.01, 0.05},
        {"low-pass stops highs", Biquad::lowPass, 0.0, 0.25, -50.0, 10.0},
        {"high-pass passes highs", Biquad::highPass, 0.0, 0.25, 0.0, 0.01},
        {"high-pass -3 dB at Fc", Biquad::highPass, 0.0, fc, -3.01, 0.05},
        {"high-pass stops lows", Biquad::highPass, 0.0, 10.0 / 48000.0, -80.0, 8.0},
        {"band-pass 0 dB at centre", Biquad::bandPass, 0.0, fc, 0.0, 1.0e-9},
        {"band-pass stops far highs", Biquad::bandPass, 0.0, 0.3, -30.0, 12.0},
        {"notch removes centre", Biquad::notch, 0.0, fc, -200.0, 150.0},
        {"notch passes far away", Biquad::notch, 0.0, 0.2, 0.0, 0.1},
        {"peak boosts centre", Biquad::peak, 6.0, fc, 6.0, 1.0e-9},
        {"peak cuts centre", Biquad::peak, -6.0, fc, -6.0, 1.0e-9},
        {"peak leaves far away", Biquad::peak, 6.0, 0.3, 0.0, 0.2},
        {"low shelf boosts lows", Biquad::lowShelf, 6.0, 1.0 / 48000.0, 6.0, 0.01},
        {"low shelf cuts lows", Biquad::lowShelf, -6.0, 1.0 / 48000.0, -6.0, 0.01},
        {"low shelf leaves highs", Biquad::lowShelf, 6.0, 0.4, 0.0, 0.05},
        {"high shelf boosts highs", Biquad::highShelf, 3.0, 0.499, 3.0, 0.01},
        {"high shelf cuts highs", Biquad::highShelf, -6.0, 0.499, -6.0, 0.01},
        {"high shelf leaves lows", Biquad::highShelf, 3.0, 10.0 / 48000.0, 0.0, 0.01},
    };
    for (const auto& c : cases)
    {
        const auto b = make (c.type, fc, 0.707, c.gainDb);
        EXPECT_NEAR (responseDb (b, c.probe), c.expectedDb, c.tolerance) << c.name;
    }
}

TEST (Biquad, ZeroGainPeakAndShelvesPassThrough)
{
    for (const int type : {Biquad::peak, Biquad::lowShelf, Biquad::highShelf})
    {
        const auto b = make (type, 3000.0 / 44100.0, 0.707, 0.0);
        EXPECT_NEAR (b.a0, 1.0, 1.0e-12) << type;
        EXPECT_NEAR (b.a1, b.b1, 1.0e-12) << type;
        EXPECT_NEAR (b.a2, b.b2, 1.0e-12) << type;
    }
}

TEST (Biquad, HighPassAtZeroPassesEverything)
{
    auto b = make (Biquad::highPass, 0.0, 0.707, 0.0);
    EXPECT_EQ (b.a0, 1.0);
    EXPECT_EQ (b.a1, -2.0);
    EXPECT_EQ (b.a2, 1.0);
    EXPECT_EQ (b.b1, -2.0);
    EXPECT_EQ (b.b2, 1.0);

    std::mt19937 rng (3);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    for (int i = 0; i < 20000; ++i)
    {
        const float x = dist (rng);
        ASSERT_NEAR (b.process (x), x, 1.0e-6f) << i;
    }
}

TEST (Biquad, TransposedDirectFormMatchesTheDifferenceEquation)
{
    auto b = make (Biquad::highShelf, 5000.0 / 44100.0, 0.707, 3.0);
    std::mt19937 rng (4);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (int i = 0; i < 5000; ++i)
    {
        const float x = dist (rng);
        const double y = b.a0 * x + b.a1 * x1 + b.a2 * x2 - b.b1 * y1 - b.b2 * y2;
        ASSERT_NEAR (b.process (x), y, 1.0e-6) << i;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
    }
}

TEST (Biquad, RetuningKeepsStateAndUnknownTypesKeepCoefficients)
{
    auto b = make (Biquad::lowPass, 0.01, 0.707, 0.0);
    for (int i = 0; i < 100; ++i)
        b.process (1.0f);
    const double z1 = b.z1, z2 = b.z2;
    b.Fc = 0.02;
    b.calcBiquad();
    EXPECT_EQ (b.z1, z1);
    EXPECT_EQ (b.z2, z2);

    const double a0 = b.a0, b1 = b.b1;
    b.type = 9;
    b.Fc = 0.3;
    b.calcBiquad();
    EXPECT_EQ (b.a0, a0);
    EXPECT_EQ (b.b1, b1);
}

TEST (Biquad, NonFiniteInputDoesNotStickInTheState)
{
    auto b = make (Biquad::highPass, 100.0 / 44100.0, 0.707, 0.0);
    b.process (std::numeric_limits<float>::quiet_NaN());
    b.process (std::numeric_limits<float>::infinity());
    EXPECT_TRUE (std::isfinite (b.z1));
    EXPECT_TRUE (std::isfinite (b.z2));
    EXPECT_TRUE (std::isfinite (b.process (0.5f)));
}
