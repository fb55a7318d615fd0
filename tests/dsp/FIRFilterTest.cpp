#include "dsp/FIRFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

using Reg = juce::dsp::SIMDRegister<float>;
using ScalarFIR = DSP::FIRFilter<float>;
using VectorFIR = DSP::FIRFilter<Reg>;

namespace
{
std::vector<float> noise (size_t length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    std::vector<float> v (length);
    for (auto& x : v)
        x = dist (rng);
    return v;
}

double sum (const std::vector<float>& v) { return std::accumulate (v.begin(), v.end(), 0.0); }

/** Amplitude of a steady sine after the filter has filled. */
float sineGain (ScalarFIR& fir, double frequency, double rate)
{
    fir.reset();
    EXPECT_NE (fir.coefficients[255], 0.0f);
    float peak = 0.0f;
    for (int i = 0; i < 8192; ++i)
    {
        const float y = fir.process (static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * frequency * i / rate)));
        if (i > 4096)
            peak = std::max (peak, std::abs (y));
    }
    return peak;
}
} // namespace

TEST (FIRFilter, LowPassDesignAt1kHz)
{
    ScalarFIR fir;
    fir.setup (DSP::lowPass, 512, 44100.0, 1000.0);
    ASSERT_EQ (fir.coefficients.size(), 512u);
    EXPECT_EQ (fir.mask, 511);
    EXPECT_DOUBLE_EQ (fir.omega, 1000.0 * juce::MathConstants<double>::pi / 22050.0);

    const auto largest = std::max_element (fir.coefficients.begin(), fir.coefficients.end());
    EXPECT_EQ (largest - fir.coefficients.begin(), 255);
    EXPECT_EQ (fir.coefficients[255], fir.coefficients[256]);
    EXPECT_NEAR (fir.coefficients[255], 0.0453131f, 1.0e-6f);
    EXPECT_NEAR (sum (fir.coefficients), 0.99454, 1.0e-4);
    for (size_t k = 0; k < 256; ++k)
        ASSERT_EQ (fir.coefficients[k], fir.coefficients[511 - k]);

    // An impulse comes out as the reversed taps, centred 255.5 samples late.
    fir.reset();
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ (fir.process (i == 0 ? 1.0f : 0.0f), fir.coefficients[static_cast<size_t> (511 - i)]) << i;

    EXPECT_NEAR (sineGain (fir, 200.0, 44100.0), 1.0f, 0.03f);
    EXPECT_LT (sineGain (fir, 4000.0, 44100.0), 0.01f);
}

TEST (FIRFilter, ShortFiltersDoNotResolveLowCutoffs)
{
    ScalarFIR fir;
    fir.setup (DSP::lowPass, 64, 44100.0, 5.0);
    EXPECT_NEAR (sum (fir.coefficients), 0.0145, 1.0e-4);
}

TEST (FIRFilter, HighPassTapsAreNegatedLowPassTapsAtEvenLengths)
{
    ScalarFIR lp, hp;
    lp.setup (DSP::lowPass, 128, 48000.0, 3000.0);
    hp.setup (DSP::highPass, 128, 48000.0, 3000.0);
    EXPECT_EQ (hp.type, DSP::highPass);
    for (size_t k = 0; k < 128; ++k)
        ASSERT_EQ (hp.coefficients[k], -lp.coefficients[k]);
}

TEST (FIRFilter, SumIsAccumulatedTwoTapsPerStep)
{
    ScalarFIR fir;
    fir.setup (DSP::lowPass, 256, 44100.0, 2500.0);
    const auto in = noise (2000, 1);
    std::vector<float> recent (256, 0.0f); // newest last
    for (size_t i = 0; i < in.size(); ++i)
    {
        recent.erase (recent.begin());
        recent.push_back (in[i]);
        float expected = 0.0f;
        for (size_t k = 0; k < 256; k += 2)
            expected += fir.coefficients[k] * recent[k] + fir.coefficients[k + 1] * recent[k + 1];
        ASSERT_EQ (fir.process (in[i]), expected) << i;
    }
}

TEST (FIRFilter, FourLanesMatchFourScalarFiltersExactly)
{
    const double cutoffs[] = {60.0, 100.0, 180.0, 360.0};
    ScalarFIR scalar[4];
    VectorFIR vector;
    vector.setup (DSP::lowPass, 512, 44100.0, 60.0);
    for (size_t lane = 0; lane < 4; ++lane)
    {
        scalar[lane].setup (DSP::lowPass, 512, 44100.0, cutoffs[lane]);
        for (size_t k = 0; k < 512; ++k)
            vector.coefficients[k].set (lane, scalar[lane].coefficients[k]);
    }

    const auto in = noise (3000, 2);
    for (size_t i = 0; i < in.size(); ++i)
    {
        const auto y = vector.process (Reg::expand (in[i]));
        for (size_t lane = 0; lane < 4; ++lane)
            ASSERT_EQ (y.get (lane), scalar[lane].process (in[i])) << "lane " << lane << " sample " << i;
    }
}

TEST (FIRFilter, StereoInLanesFiltersBothChannels)
{
    VectorFIR vector;
    vector.setup (DSP::lowPass, 1024, 96000.0, 1000.0);
    ScalarFIR scalar;
    scalar.setup (DSP::lowPass, 1024, 96000.0, 1000.0);
    ScalarFIR scalarRight = scalar;
    const auto left = noise (2500, 3), right = noise (2500, 4);
    for (size_t i = 0; i < left.size(); ++i)
    {
        Reg x = Reg::expand (0.0f);
        x.set (0, left[i]);
        x.set (1, right[i]);
        const auto y = vector.process (x);
        ASSERT_EQ (y.get (0), scalar.process (left[i]));
        ASSERT_EQ (y.get (1), scalarRight.process (right[i]));
        ASSERT_EQ (y.get (2), 0.0f);
    }
}

TEST (FIRFilter, BlockProcessingEqualsSampleProcessing)
{
    // Odd block sizes cross the internal chunk and the four-at-a-time groups.
    const int blockSizes[] = {1, 3, 4, 127, 128, 129, 700};
    for (const int taps : {2, 64, 512, 1024})
    {
        VectorFIR bySample, byBlock;
        ScalarFIR scalarBySample, scalarByBlock;
        bySample.setup (DSP::lowPass, taps, 44100.0, 1800.0);
        byBlock.setup (DSP::lowPass, taps, 44100.0, 1800.0);
        scalarBySample.setup (DSP::lowPass, taps, 44100.0, 1800.0);
        scalarByBlock.setup (DSP::lowPass, taps, 44100.0, 1800.0);

        const auto in = noise (5000, 5);
        size_t pos = 0;
        for (int b = 0; pos < in.size(); ++b)
        {
            const size_t n = std::min (static_cast<size_t> (blockSizes[b % 7]), in.size() - pos);
            std::vector<Reg> regs (n);
            std::vector<float> scalars (in.begin() + static_cast<long> (pos), in.begin() + static_cast<long> (pos + n));
            for (size_t j = 0; j < n; ++j)
                regs[j] = Reg::expand (in[pos + j]);
            byBlock.processBlock (regs.data(), regs.data(), static_cast<int> (n));
            scalarByBlock.processBlock (scalars.data(), scalars.data(), static_cast<int> (n));
            for (size_t j = 0; j < n; ++j)
            {
                ASSERT_EQ (regs[j].get (0), bySample.process (Reg::expand (in[pos + j])).get (0)) << taps << " taps, sample " << pos + j;
                ASSERT_EQ (scalars[j], scalarBySample.process (in[pos + j])) << taps << " taps, sample " << pos + j;
            }
            pos += n;
        }
        EXPECT_EQ (byBlock.writeIndex, bySample.writeIndex);
    }
}

TEST (FIRFilter, AdjacentBandsSumBackToTheWiderLowPass)
{
    const double rate = 44100.0;
    ScalarFIR lp[3];
    const double cutoffs[] = {180.0, 1000.0, 4000.0};
    for (size_t k = 0; k < 3; ++k)
        lp[k].setup (DSP::lowPass, 512, rate, cutoffs[k]);

    const auto in = noise (4000, 6);
    for (size_t i = 0; i < in.size(); ++i)
    {
        const float a = lp[0].process (in[i]), b = lp[1].process (in[i]), c = lp[2].process (in[i]);
        const float band1 = b - a, band2 = c - b;
        ASSERT_NEAR (band1 + band2, c - a, 1.0e-6f);
    }

    // A 500 Hz tone sits in band 180..1000, with the same delay as the low-passes.
    ScalarFIR lo, hi;
    lo.setup (DSP::lowPass, 512, rate, 180.0);
    hi.setup (DSP::lowPass, 512, rate, 1000.0);
    float peak = 0.0f;
    for (int i = 0; i < 8192; ++i)
    {
        const float x = static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 500.0 * i / rate));
        const float band = hi.process (x) - lo.process (x);
        if (i > 4096)
            peak = std::max (peak, std::abs (band));
    }
    EXPECT_NEAR (peak, 1.0f, 0.03f);
}

TEST (FIRFilter, ResetClearsHistory)
{
    ScalarFIR fir;
    fir.setup (DSP::lowPass, 64, 44100.0, 5000.0);
    for (const float x : noise (300, 7))
        fir.process (x);
    const auto design = fir.coefficients;
    fir.reset();
    EXPECT_EQ (fir.history, std::vector<float> (64, 0.0f));
    EXPECT_EQ (fir.writeIndex, 0);
    EXPECT_EQ (fir.coefficients, design);
    const float first = fir.process (0.75f);
    EXPECT_EQ (first, 0.75f * fir.coefficients[63]);

    // Changing the length through reset drops the design; setup makes a new one.
    fir.numTaps = 128;
    fir.reset();
    EXPECT_EQ (fir.coefficients, std::vector<float> (128, 0.0f));
}

TEST (FIRFilter, BadLengthsBecomeValidPowersOfTwo)
{
    struct Case
    {
        int requested, used;
    };
    const Case cases[] = {{-7, 2}, {0, 2}, {1, 2}, {3, 4}, {500, 512}, {1024, 1024}, {4096, 4096}, {5000, 4096}, {1 << 30, 4096}};
    for (const auto& c : cases)
    {
        VectorFIR fir;
        fir.setup (DSP::lowPass, c.requested, 44100.0, 1000.0);
        EXPECT_EQ (fir.numTaps, c.used) << c.requested;
        EXPECT_EQ (fir.mask, c.used - 1);
        EXPECT_EQ (fir.coefficients.size(), static_cast<size_t> (c.used));
        EXPECT_EQ (fir.history.size(), static_cast<size_t> (c.used));
        for (int i = 0; i < 5000; ++i)
            fir.process (Reg::expand (0.5f));
    }

    // Constructed, not yet designed: silent, and safe to run.
    VectorFIR fresh;
    EXPECT_EQ (fresh.numTaps, 512);
    EXPECT_EQ (fresh.process (Reg::expand (1.0f)).get (0), 0.0f);
    // A useless rate designs silence rather than NaN taps.
    ScalarFIR zeroRate;
    zeroRate.setup (DSP::lowPass, 64, 0.0, 1000.0);
    EXPECT_EQ (zeroRate.process (1.0f), 0.0f);
}

TEST (FIRFilter, NoReallocationWithinTheReserve)
{
    VectorFIR fir;
    const auto* coefficientData = fir.coefficients.data();
    const auto* historyData = fir.history.data();
    for (const int taps : {64, 1024, 256, 512})
    {
        fir.setup (DSP::lowPass, taps, 48000.0, 100.0);
        EXPECT_EQ (fir.coefficients.data(), coefficientData);
        EXPECT_EQ (fir.history.data(), historyData);
    }
}
