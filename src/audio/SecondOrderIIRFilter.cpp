#include "audio/SecondOrderIIRFilter.h"

#include <cmath>

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
    const auto [b0, b1, b2, a1, a2] = coefficients;
    const int channelsToProcess = juce::jmin (numChannels, channelCount);

    for (int c = 0; c < channelsToProcess; ++c)
    {
        float* samples = channels[c];
        auto& state1 = z1[static_cast<size_t> (c)];
        auto& state2 = z2[static_cast<size_t> (c)];
        double s1 = state1, s2 = state2;

        for (int i = 0; i < numSamples; ++i)
        {
            // A NaN or infinity would stay in the recursion for good and
            // silence the meter until the next device start; it counts as 0.
            const float in = samples[i];
            const double x = std::isfinite (in) ? static_cast<double> (in) : 0.0;

            // Direct form II.
            const double w = x - a1 * s1 - a2 * s2;
            const double y = b0 * w + b1 * s1 + b2 * s2;
            s2 = s1;
            s1 = w;
            samples[i] = (y >= -1.0e-8 && y <= 1.0e-8) ? 0.0f : static_cast<float> (y);
        }

        state1 = s1;
        state2 = s2;
    }
}
