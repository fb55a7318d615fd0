#include "resources/DitherNoise.h"
#include "resources/Ditherer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
using Channels = std::vector<std::vector<float>>;

float stepFor (int bits) { return bits == 16 ? 1.0f / 32768.0f : 1.0f / 8388608.0f; }

/** The dither as it would be added in place to a silent result, the whole of
    channel 0 first and then channel 1 carrying on: the standard library's
    minstd_rand as the noise, and the cookbook band-pass in direct form I. */
Channels referenceDither (Ditherer::Type type, int bits, double rate, int channels, int samples)
{
    std::minstd_rand generator (48271);
    const float q = stepFor (bits);
    auto draw = [&] { return static_cast<float> (static_cast<double> (generator() - 1) / 2147483648.0) * (2.0f * q) - q; };

    const double w0 = 2.0 * juce::MathConstants<double>::pi * 200.0 / rate;
    const double alpha = std::sin (w0) / (2.0 * 0.707);
    const double norm = 1.0 + alpha;
    const double b0 = alpha / norm, b2 = -alpha / norm, a1 = -2.0 * std::cos (w0) / norm, a2 = (1.0 - alpha) / norm;

    float running = static_cast<float> (48270.0 / 2147483648.0) * (2.0f * q) - q;
    Channels out (static_cast<size_t> (channels), std::vector<float> (static_cast<size_t> (samples), 0.0f));
    for (auto& channel : out)
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (auto& sample : channel)
        {
            const float r = draw();
            if (type == Ditherer::rectangular)
                sample += r;
            else if (type == Ditherer::triangular)
            {
                running = running > 0.0f ? running - std::abs (r) : running + std::abs (r);
                sample += running;
            }
            else if (type == Ditherer::powR2)
            {
                const double y = b0 * r + b2 * x2 - a1 * y1 - a2 * y2;
                x2 = x1;
                x1 = r;
                y2 = y1;
                y1 = y;
                sample += static_cast<float> (y);
            }
        }
    }
    return out;
}

/** Runs a Ditherer over silent channels in uneven blocks, the channels taking
    turns block by block as the exporter does. */
Channels ditherInBlocks (Ditherer& ditherer, int channels, int samples, const std::vector<int>& blockSizes)
{
    Channels out (static_cast<size_t> (channels), std::vector<float> (static_cast<size_t> (samples), 0.0f));
    int start = 0;
    for (size_t b = 0; start < samples; ++b)
    {
        const int count = std::min (blockSizes[b % blockSizes.size()], samples - start);
        for (int channel = 0; channel < channels; ++channel)
            ditherer.addTo (channel, out[static_cast<size_t> (channel)].data() + start, count);
        start += count;
    }
    return out;
}

double rms (const std::vector<float>& values)
{
    double sum = 0.0;
    for (const float v : values)
        sum += static_cast<double> (v) * v;
    return std::sqrt (sum / static_cast<double> (values.size()));
}
} // namespace

TEST (DitherNoise, FollowsTheMinimalStandardSequenceFrom48271)
{
    DitherNoise noise;
    EXPECT_EQ (noise.getState(), 48271);
    EXPECT_FLOAT_EQ (noise.next(), 0.08503244863823056f);
    EXPECT_EQ (noise.getState(), 182605794);
    EXPECT_FLOAT_EQ (noise.next(), 0.6013526045717299f);
    EXPECT_EQ (noise.getState(), 1291394886);

    std::minstd_rand reference (1291394886);
    for (int i = 0; i < 1000000; ++i)
    {
        const auto expected = static_cast<std::int32_t> (reference());
        const float u = noise.next();
        ASSERT_EQ (noise.getState(), expected) << "draw " << i;
        ASSERT_GE (u, 0.0f);
        ASSERT_LT (u, 1.0f);
    }
}

TEST (Ditherer, AddsTheSequenceChannelAfterChannelWhateverTheBlocks)
{
    const int channels = 3, samples = 20011;
    const double rate = 44100.0;
    for (const auto type : {Ditherer::rectangular, Ditherer::triangular, Ditherer::powR2})
        for (const int bits : {16, 24})
        {
            SCOPED_TRACE (testing::Message() << "type " << type << ", " << bits << " bits");
            const auto expected = referenceDither (type, bits, rate, channels, samples);
            Ditherer ditherer (type, bits, rate, channels, samples);
            EXPECT_EQ (ditherer.getStep(), stepFor (bits));
            const auto actual = ditherInBlocks (ditherer, channels, samples, {777, 1, 8192, 5});

            // Direct form I and transposed form II may round the last bit differently.
            const float tolerance = type == Ditherer::powR2 ? 1.0e-6f * stepFor (bits) : 0.0f;
            for (size_t c = 0; c < expected.size(); ++c)
                for (size_t i = 0; i < expected[c].size(); ++i)
                    ASSERT_NEAR (actual[c][i], expected[c][i], tolerance) << "channel " << c << ", sample " << i;
        }
}

TEST (Ditherer, TriangularNeverLeavesOneStep)
{
    for (const int bits : {16, 24})
    {
        const int samples = 300000;
        Ditherer ditherer (Ditherer::triangular, bits, 48000.0, 2, samples);
        const auto noise = ditherInBlocks (ditherer, 2, samples, {samples});
        const float q = stepFor (bits);
        float lowest = 0.0f, highest = 0.0f;
        for (const auto& channel : noise)
            for (const float v : channel)
            {
                lowest = std::min (lowest, v);
                highest = std::max (highest, v);
            }
        EXPECT_LE (highest, q);
        EXPECT_GE (lowest, -q);
        EXPECT_GT (highest, 0.5f * q); // real noise, not silence
        EXPECT_LT (lowest, -0.5f * q);
    }
}

TEST (Ditherer, PowR2IsBandPassedNoise)
{
    const int samples = 200000;
    Ditherer flat (Ditherer::rectangular, 16, 48000.0, 1, samples);
    Ditherer shaped (Ditherer::powR2, 16, 48000.0, 1, samples);
    const auto white = ditherInBlocks (flat, 1, samples, {samples})[0];
    const auto band = ditherInBlocks (shaped, 1, samples, {samples})[0];

    // A band 200 / 0.707 Hz wide out of 24 kHz keeps only a small part of
    // the white noise's power.
    const double ratio = rms (band) / rms (white);
    EXPECT_GT (ratio, 0.02);
    EXPECT_LT (ratio, 0.25);

    // Lag-one correlation: close to 1 for noise centred at 200 Hz, near 0 for white.
    auto correlation = [] (const std::vector<float>& v)
    {
        double num = 0.0, den = 0.0;
        for (size_t i = 1; i < v.size(); ++i)
        {
            num += static_cast<double> (v[i]) * v[i - 1];
            den += static_cast<double> (v[i]) * v[i];
        }
        return num / den;
    };
    EXPECT_GT (correlation (band), 0.9);
    EXPECT_LT (std::abs (correlation (white)), 0.05);
}

TEST (Ditherer, AddsNothingWithoutDitherOrAt32Bits)
{
    struct Case
    {
        Ditherer::Type type;
        int bits;
    };
    for (const auto& c :
         {Case{Ditherer::none, 16}, Case{Ditherer::triangular, 32}, Case{Ditherer::rectangular, 32}, Case{Ditherer::powR2, 8}})
    {
        Ditherer ditherer (c.type, c.bits, 44100.0, 2, 100);
        EXPECT_EQ (ditherer.getType(), Ditherer::none);
        const auto out = ditherInBlocks (ditherer, 2, 100, {100});
        for (const auto& channel : out)
            for (const float v : channel)
                ASSERT_EQ (v, 0.0f);
    }
}
