#include "resources/Ditherer.h"

#include <cmath>

Ditherer::Ditherer (Type ditherType, int bitDepth, double sampleRate, int numChannels, juce::int64 numSamples) :
    type ((bitDepth == 16 || bitDepth == 24) ? ditherType : none)
{
    if (type != rectangular && type != triangular && type != powR2)
    {
        type = none;
        return;
    }

    step = 1.0f / static_cast<float> (1 << (bitDepth - 1));
    twoSteps = 2.0f * step;

    if (type == powR2)
    {
        // The band-pass of the bilinear-transform biquad family. A centre at
        // or above Nyquist would make it unstable; real rates are far above.
        const double fc = juce::jlimit (0.0, 0.45, sampleRate > 0.0 ? 200.0 / sampleRate : 0.45);
        const double q = 0.707;
        const double k = std::tan (juce::MathConstants<double>::pi * fc);
        const double norm = 1.0 / (1.0 + k / q + k * k);
        a0 = k / q * norm;
        a1 = 0.0;
        a2 = -a0;
        b1 = 2.0 * (k * k - 1.0) * norm;
        b2 = (1.0 - k / q + k * k) * norm;
    }

    // Each channel starts where the one before it ends; the triangular
    // running value carries over too, so walk the whole sequence once.
    channels.resize (static_cast<size_t> (juce::jmax (0, numChannels)));
    DitherNoise noise;
    float running = DitherNoise::toUnit (DitherNoise::startState) * twoSteps - step;
    for (auto& channel : channels)
    {
        channel.noise = noise;
        channel.running = running;
        for (juce::int64 i = 0; i < numSamples; ++i)
        {
            const float r = nextUniform (noise);
            if (type == triangular)
                running = running > 0.0f ? running - std::abs (r) : running + std::abs (r);
        }
    }
}

void Ditherer::addTo (int channel, float* samples, int count) noexcept
{
    if (type == none || channel < 0 || static_cast<size_t> (channel) >= channels.size())
        return;

    auto& state = channels[static_cast<size_t> (channel)];
    switch (type)
    {
        case rectangular:
            for (int i = 0; i < count; ++i)
                samples[i] += nextUniform (state.noise);
            break;

        case triangular:
            // Each step moves the value towards zero or across it by at most
            // one step, so it never leaves [-step, step].
            for (int i = 0; i < count; ++i)
            {
                const float r = nextUniform (state.noise);
                state.running = state.running > 0.0f ? state.running - std::abs (r) : state.running + std::abs (r);
                samples[i] += state.running;
            }
            break;

        case powR2:
            // Transposed direct form II in double, restarted for each channel.
            for (int i = 0; i < count; ++i)
            {
                const double r = nextUniform (state.noise);
                const double y = a0 * r + state.z1;
                state.z1 = state.z2 + a1 * r - b1 * y;
                state.z2 = a2 * r - b2 * y;
                samples[i] += static_cast<float> (y);
            }
            break;

        case none:
        default:
            break;
    }
}
