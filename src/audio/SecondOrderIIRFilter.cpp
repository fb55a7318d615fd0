#include "audio/SecondOrderIIRFilter.h"

#include <cmath>

namespace
{
/** One direct-form II step. A NaN or infinity would stay in the recursion
    for good and silence the meter until the next device start, so it counts
    as 0; outputs within 1e-8 of zero become exactly 0. */
inline float tick (const SecondOrderIIRFilter::Coefficients& k, double& s1, double& s2, float in) noexcept
{
    const double x = std::isfinite (in) ? static_cast<double> (in) : 0.0;
    const double w = x - k.a1 * s1 - k.a2 * s2;
    const double y = k.b0 * w + k.b1 * s1 + k.b2 * s2;
    s2 = s1;
    s1 = w;
    return (y >= -1.0e-8 && y <= 1.0e-8) ? 0.0f : static_cast<float> (y);
}

using Pair = double __attribute__ ((vector_size (16)));

struct PairCoefficients
{
    explicit PairCoefficients (const SecondOrderIIRFilter::Coefficients& k) noexcept :
        b0{k.b0, k.b0}, b1{k.b1, k.b1}, b2{k.b2, k.b2}, a1{k.a1, k.a1}, a2{k.a2, k.a2}
    {
    }
    Pair b0, b1, b2, a1, a2;
};

/** tick() on two channels at once; the input and output are float values
    held as doubles, as tick() sees them. */
inline Pair tickPair (const PairCoefficients& k, Pair& s1, Pair& s2, Pair in) noexcept
{
    const Pair zero{};
    const Pair x = (in - in == zero) ? in : zero; // NaN and infinities fail this
    const Pair w = x - k.a1 * s1 - k.a2 * s2;
    const Pair y = k.b0 * w + k.b1 * s1 + k.b2 * s2;
    s2 = s1;
    s1 = w;
    const Pair rounded = __builtin_convertvector(__builtin_convertvector(y, float __attribute__ ((vector_size (8)))), Pair);
    return ((y >= -1.0e-8) & (y <= 1.0e-8)) ? zero : rounded;
}
} // namespace

// The 48 kHz coefficients are those published with ITU-R BS.1770; the design
// values reproduce them through the bilinear transform.
const SecondOrderIIRFilter::Design SecondOrderIIRFilter::preFilterDesign{
    {1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241, 0.73248077421585},
    0.7071752369554194,
    1.5848647011308554,
    1.2587209302325613,
    1.000000000000008,
    0.11008497038849221};

const SecondOrderIIRFilter::Design SecondOrderIIRFilter::lowFrequencyDesign{
    {1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621}, 0.5003270373250421, 1.0049948987146884, 0.0, 0.0, 0.0024959607321996717};

SecondOrderIIRFilter::SecondOrderIIRFilter (const Design& d) : design (d), coefficients (d.reference) {}

SecondOrderIIRFilter::Coefficients SecondOrderIIRFilter::coefficientsFor (const Design& d, double sampleRate) noexcept
{
    if (sampleRate == 48000.0)
        return d.reference;

    const double K = std::tan (d.omega * 48000.0 / sampleRate);
    const double a0 = 1.0 + K / d.Q + K * K;
    return {(d.VH + d.VB * K / d.Q + d.VL * K * K) / a0, 2.0 * (d.VL * K * K - d.VH) / a0, (d.VH - d.VB * K / d.Q + d.VL * K * K) / a0,
            2.0 * (K * K - 1.0) / a0, (1.0 - K / d.Q + K * K) / a0};
}

void SecondOrderIIRFilter::prepareToPlay (double sampleRate, int numberOfChannels)
{
    channelCount = juce::jmax (0, numberOfChannels);
    z1.assign (static_cast<size_t> (channelCount), 0.0);
    z2.assign (static_cast<size_t> (channelCount), 0.0);
    coefficients = coefficientsFor (design, sampleRate);
}

void SecondOrderIIRFilter::process (juce::AudioBuffer<float>& buffer) noexcept
{
    process (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), buffer.getNumSamples());
}

void SecondOrderIIRFilter::process (float* const* channels, int numChannels, int numSamples) noexcept
{
    const auto k = coefficients;
    const int channelsToProcess = juce::jmin (numChannels, channelCount);

    for (int c = 0; c < channelsToProcess; ++c)
    {
        const auto index = static_cast<size_t> (c);
        double s1 = z1[index], s2 = z2[index];
        float* samples = channels[c];
        for (int i = 0; i < numSamples; ++i)
            samples[i] = tick (k, s1, s2, samples[i]);
        z1[index] = s1;
        z2[index] = s2;
    }
}

void SecondOrderIIRFilter::processCascade (SecondOrderIIRFilter& first, SecondOrderIIRFilter& second, float* const* channels,
                                           int numChannels, int numSamples) noexcept
{
    const auto k1 = first.coefficients, k2 = second.coefficients;
    const int channelsToProcess = juce::jmin (numChannels, first.channelCount, second.channelCount);

    // Channels go in pairs, one per lane of a two-double vector: the same
    // IEEE operations as tick(), so the result is identical, in half the
    // instructions and with room in the registers for both stages.
    int c = 0;
    for (; c + 1 < channelsToProcess; c += 2)
    {
        const auto l = static_cast<size_t> (c), r = l + 1;
        Pair s11{first.z1[l], first.z1[r]}, s12{first.z2[l], first.z2[r]};
        Pair s21{second.z1[l], second.z1[r]}, s22{second.z2[l], second.z2[r]};
        const PairCoefficients p1 (k1), p2 (k2);
        float* left = channels[c];
        float* right = channels[c + 1];
        for (int i = 0; i < numSamples; ++i)
        {
            const Pair in{static_cast<double> (left[i]), static_cast<double> (right[i])};
            const Pair out = tickPair (p2, s21, s22, tickPair (p1, s11, s12, in));
            left[i] = static_cast<float> (out[0]);
            right[i] = static_cast<float> (out[1]);
        }
        first.z1[l] = s11[0];
        first.z1[r] = s11[1];
        first.z2[l] = s12[0];
        first.z2[r] = s12[1];
        second.z1[l] = s21[0];
        second.z1[r] = s21[1];
        second.z2[l] = s22[0];
        second.z2[r] = s22[1];
    }

    if (c < channelsToProcess)
    {
        const auto m = static_cast<size_t> (c);
        double m11 = first.z1[m], m12 = first.z2[m], m21 = second.z1[m], m22 = second.z2[m];
        float* samples = channels[c];
        for (int i = 0; i < numSamples; ++i)
            samples[i] = tick (k2, m21, m22, tick (k1, m11, m12, samples[i]));
        first.z1[m] = m11;
        first.z2[m] = m12;
        second.z1[m] = m21;
        second.z2[m] = m22;
    }
}
