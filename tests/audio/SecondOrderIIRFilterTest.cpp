#include "audio/SecondOrderIIRFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>

namespace
{
using Coefficients = SecondOrderIIRFilter::Coefficients;

double magnitudeDb (const Coefficients& k, double frequency, double sampleRate)
{
    const auto z = std::polar (1.0, -2.0 * juce::MathConstants<double>::pi * frequency / sampleRate);
    const auto h = (k.b0 + k.b1 * z + k.b2 * z * z) / (1.0 + k.a1 * z + k.a2 * z * z);
    return 20.0 * std::log10 (std::abs (h));
}
} // namespace

TEST (SecondOrderIIRFilter, DerivesTheKWeightingCoefficientsFor44100)
{
    struct Case
    {
        const char* name;
        const SecondOrderIIRFilter::Design& design;
        Coefficients expected;
    };
    const Case cases[] = {
        {"pre-filter", SecondOrderIIRFilter::preFilterDesign, {1.5308412301, -2.6509799952, 1.1690790799, -1.6636551133, 0.7125954281}},
        {"low-frequency filter",
         SecondOrderIIRFilter::lowFrequencyDesign,
         {0.9995600645, -1.9991201291, 0.9995600645, -1.9891696736, 0.9891990358}},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SecondOrderIIRFilter filter (c.design);
        filter.prepareToPlay (44100.0, 2);
        const auto& k = filter.getCoefficients();
        EXPECT_NEAR (k.b0, c.expected.b0, 5.0e-11);
        EXPECT_NEAR (k.b1, c.expected.b1, 5.0e-11);
        EXPECT_NEAR (k.b2, c.expected.b2, 5.0e-11);
        EXPECT_NEAR (k.a1, c.expected.a1, 5.0e-11);
        EXPECT_NEAR (k.a2, c.expected.a2, 5.0e-11);

        // At 48 kHz the published coefficients are used bit for bit.
        filter.prepareToPlay (48000.0, 2);
        EXPECT_EQ (filter.getCoefficients().b0, c.design.reference.b0);
        EXPECT_EQ (filter.getCoefficients().b1, c.design.reference.b1);
        EXPECT_EQ (filter.getCoefficients().b2, c.design.reference.b2);
        EXPECT_EQ (filter.getCoefficients().a1, c.design.reference.a1);
        EXPECT_EQ (filter.getCoefficients().a2, c.design.reference.a2);
    }
}

TEST (SecondOrderIIRFilter, DerivedRatesKeepTheReferenceResponse)
{
    // The design values must rebuild the 48 kHz curve at other rates: the
    // whole K-weighting agrees within a few hundredths of a dB over the band.
    const double reference = 48000.0;
    for (const double rate : {44100.0, 88200.0, 96000.0, 192000.0})
    {
        const auto pre = SecondOrderIIRFilter::coefficientsFor (SecondOrderIIRFilter::preFilterDesign, rate);
        const auto low = SecondOrderIIRFilter::coefficientsFor (SecondOrderIIRFilter::lowFrequencyDesign, rate);
        const auto pre48 = SecondOrderIIRFilter::preFilterDesign.reference;
        const auto low48 = SecondOrderIIRFilter::lowFrequencyDesign.reference;

        for (const double f : {20.0, 38.0, 100.0, 997.0, 1681.0, 4000.0, 10000.0, 16000.0})
        {
            SCOPED_TRACE (juce::String (rate) + " Hz at " + juce::String (f));
            const double derived = magnitudeDb (pre, f, rate) + magnitudeDb (low, f, rate);
            const double expected = magnitudeDb (pre48, f, reference) + magnitudeDb (low48, f, reference);
            EXPECT_NEAR (derived, expected, 0.03);
        }
    }
    // The familiar landmarks of the curve: +0.69 dB near 1 kHz, about +4 dB on top.
    const auto pre48 = SecondOrderIIRFilter::preFilterDesign.reference;
    const auto low48 = SecondOrderIIRFilter::lowFrequencyDesign.reference;
    EXPECT_NEAR (magnitudeDb (pre48, 997.0, 48000.0) + magnitudeDb (low48, 997.0, 48000.0), 0.691, 0.01);
    EXPECT_NEAR (magnitudeDb (pre48, 15000.0, 48000.0), 4.0, 0.05);
}

TEST (SecondOrderIIRFilter, FiltersInDirectFormTwoAndFlushesTinyOutputs)
{
    SecondOrderIIRFilter filter (SecondOrderIIRFilter::preFilterDesign);
    filter.prepareToPlay (48000.0, 1);
    const auto k = filter.getCoefficients();

    // An impulse gives b0, then b1 - a1 b0, then the recursion.
    juce::AudioBuffer<float> impulse (1, 4);
    impulse.clear();
    impulse.setSample (0, 0, 0.5f);
    filter.process (impulse);
    const double h0 = k.b0, h1 = k.b1 - k.a1 * k.b0, w2 = -k.a1 * (-k.a1) - k.a2;
    const double h2 = k.b0 * w2 + k.b1 * (-k.a1) + k.b2;
    EXPECT_FLOAT_EQ (impulse.getSample (0, 0), static_cast<float> (0.5 * h0));
    EXPECT_FLOAT_EQ (impulse.getSample (0, 1), static_cast<float> (0.5 * h1));
    EXPECT_FLOAT_EQ (impulse.getSample (0, 2), static_cast<float> (0.5 * h2));

    // Outputs of magnitude 1e-8 or less become exactly 0; a bit more passes.
    struct Case
    {
        float input;
        bool flushed;
    };
    const Case cases[] = {{6.0e-9f, true}, {-6.0e-9f, true}, {1.0e-8f, false}, {-1.0e-8f, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.input);
        filter.prepareToPlay (48000.0, 1);
        juce::AudioBuffer<float> tiny (1, 1);
        tiny.setSample (0, 0, c.input);
        filter.process (tiny);
        if (c.flushed)
            EXPECT_EQ (tiny.getSample (0, 0), 0.0f);
        else
            EXPECT_FLOAT_EQ (tiny.getSample (0, 0), static_cast<float> (c.input * k.b0));
    }
}

TEST (SecondOrderIIRFilter, ProcessesOnlyThePreparedChannelsAndSurvivesNonFiniteInput)
{
    SecondOrderIIRFilter filter (SecondOrderIIRFilter::lowFrequencyDesign);
    filter.prepareToPlay (44100.0, 1);

    juce::AudioBuffer<float> block (2, 64);
    for (int i = 0; i < 64; ++i)
    {
        block.setSample (0, i, 0.25f);
        block.setSample (1, i, 0.25f);
    }
    block.setSample (0, 3, std::numeric_limits<float>::quiet_NaN());
    block.setSample (0, 4, std::numeric_limits<float>::infinity());
    filter.process (block);

    for (int i = 0; i < 64; ++i)
    {
        EXPECT_TRUE (std::isfinite (block.getSample (0, i))) << i;
        EXPECT_EQ (block.getSample (1, i), 0.25f) << i;
    }

    // The state recovers: a later block is filtered like a fresh filter's.
    SecondOrderIIRFilter fresh (SecondOrderIIRFilter::lowFrequencyDesign);
    fresh.prepareToPlay (44100.0, 1);
    juce::AudioBuffer<float> a (1, 44100), b (1, 44100);
    for (int i = 0; i < 44100; ++i)
        a.setSample (0, i, 0.3f * std::sin (0.05f * static_cast<float> (i)));
    b.makeCopyOf (a);
    filter.process (a);
    fresh.process (b);
    EXPECT_NEAR (a.getSample (0, 44099), b.getSample (0, 44099), 1.0e-6f);
}

TEST (SecondOrderIIRFilter, CascadeEqualsTheTwoStagesOneAfterTheOther)
{
    // The meter's one-pass K-weighting must give exactly what the two stages
    // give one after the other, odd channel counts, tiny values and NaN included.
    juce::Random random (42);
    for (const int channels : {1, 2, 3})
    {
        SCOPED_TRACE (channels);
        juce::AudioBuffer<float> input (channels, 10000);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 10000; ++i)
                input.setSample (c, i, i < 1000 ? random.nextFloat() * 2.0f - 1.0f : 3.0e-9f * static_cast<float> (i % 3));
        input.setSample (0, 17, std::numeric_limits<float>::quiet_NaN());
        input.setSample (channels - 1, 33, -std::numeric_limits<float>::infinity());

        SecondOrderIIRFilter pre (SecondOrderIIRFilter::preFilterDesign), low (SecondOrderIIRFilter::lowFrequencyDesign);
        SecondOrderIIRFilter cascadePre (SecondOrderIIRFilter::preFilterDesign), cascadeLow (SecondOrderIIRFilter::lowFrequencyDesign);
        for (auto* f : {&pre, &low, &cascadePre, &cascadeLow})
            f->prepareToPlay (44100.0, channels);

        juce::AudioBuffer<float> separate, together;
        separate.makeCopyOf (input);
        together.makeCopyOf (input);
        // Two blocks, so that the state carried between blocks is compared too.
        for (const int start : {0, 5000})
        {
            juce::AudioBuffer<float> a (separate.getArrayOfWritePointers(), channels, start, 5000);
            juce::AudioBuffer<float> b (together.getArrayOfWritePointers(), channels, start, 5000);
            pre.process (a);
            low.process (a);
            SecondOrderIIRFilter::processCascade (cascadePre, cascadeLow, b.getArrayOfWritePointers(), channels, 5000);
        }

        int zeros = 0;
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < 10000; ++i)
            {
                ASSERT_EQ (separate.getSample (c, i), together.getSample (c, i)) << c << " " << i;
                zeros += separate.getSample (c, i) == 0.0f ? 1 : 0;
            }
        EXPECT_GT (zeros, 0); // the flush to zero was exercised
    }
}
