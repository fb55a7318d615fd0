#pragma once

#include "resources/DitherNoise.h"

#include <juce_core/juce_core.h>

#include <vector>

/** Adds export dither to the samples of a result on their way to the file.

    The noise runs through the whole of channel 0, then carries on through
    channel 1 and so on, just as if the result were dithered in place one
    channel after the other. Construction works out where each channel's
    noise starts, so blocks of all channels can be dithered and written
    together from a small scratch buffer: the result itself is never touched.

    Construction allocates; addTo() never does. */
class Ditherer
{
public:
    /** The dither kinds, numbered as the export scene's dither box ids. */
    enum Type : int
    {
        none = 1,
        rectangular = 2,
        triangular = 3,
        powR2 = 4
    };

    /** Dither for `numChannels` channels of `numSamples` each. At 32 bits,
        or any depth other than 16 and 24, nothing is added. */
    Ditherer (Type type, int bitDepth, double sampleRate, int numChannels, juce::int64 numSamples);

    /** Adds the next `count` dither values of `channel` to `samples`. Each
        channel's blocks must come in order; channels may interleave. */
    void addTo (int channel, float* samples, int count) noexcept;

    /** One step of the target format, 1 / 2^(bits - 1); 0 when no dither applies. */
    float getStep() const noexcept { return step; }

    Type getType() const noexcept { return type; }

private:
    struct ChannelState
    {
        DitherNoise noise;
        float running = 0.0f; // the triangular dither's running value
        double z1 = 0.0, z2 = 0.0;
    };

    float nextUniform (DitherNoise& noise) const noexcept { return noise.next() * twoSteps - step; }

    Type type;
    float step = 0.0f;
    float twoSteps = 0.0f;
    // Band-pass at 200 Hz, Q 0.707, for POW-r2.
    double a0 = 1.0, a1 = 0.0, a2 = 0.0, b1 = 0.0, b2 = 0.0;
    std::vector<ChannelState> channels;
};
