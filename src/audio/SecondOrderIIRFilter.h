#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <vector>

/** One biquad stage of the K-weighting in front of the loudness meter.

    The stage is described by its coefficients at 48 kHz and by the analogue
    prototype behind them (Q, the high, band and low gains, and the corner as
    omega = pi * f / 48000), so that the same response can be re-derived for
    any other rate with the bilinear transform.

    Real-time contract: the constructor and prepareToPlay() allocate; process()
    and processCascade() never allocate and are noexcept. */
class SecondOrderIIRFilter
{
public:
    /** The five coefficients, a1 and a2 being the feedback terms subtracted in
        process(). */
    struct Coefficients
    {
        double b0, b1, b2, a1, a2;
    };

    /** The 48 kHz coefficients and the design values of one stage. */
    struct Design
    {
        Coefficients reference;
        double Q, VH, VB, VL, omega;
    };

    /** The high shelf of the K-weighting (about +4 dB above 1.7 kHz). */
    static const Design preFilterDesign;
    /** The high pass of the K-weighting (RLB curve, about 38 Hz). */
    static const Design lowFrequencyDesign;

    explicit SecondOrderIIRFilter (const Design& design);
    virtual ~SecondOrderIIRFilter() = default;

    /** Derives the coefficients for the rate and makes a zeroed state for
        each channel. */
    virtual void prepareToPlay (double sampleRate, int numberOfChannels);
    virtual void releaseResources() {}

    /** Filters in place every channel up to the smaller of the buffer's and
        the prepared channel count. */
    void process (juce::AudioBuffer<float>& buffer) noexcept;
    void process (float* const* channels, int numChannels, int numSamples) noexcept;

    /** The same as first.process() followed by second.process(), sample for
        sample, in one pass over the data (the meter's K-weighting). */
    static void processCascade (SecondOrderIIRFilter& first, SecondOrderIIRFilter& second, float* const* channels, int numChannels,
                                int numSamples) noexcept;

    const Coefficients& getCoefficients() const noexcept { return coefficients; }
    int getNumChannels() const noexcept { return channelCount; }

    /** Coefficients of the design at a sample rate. At exactly 48 kHz the
        reference values are returned untouched, so the standard's published
        numbers are used where they apply. */
    static Coefficients coefficientsFor (const Design& design, double sampleRate) noexcept;

private:
    Design design;
    Coefficients coefficients;
    int channelCount = 0;
    std::vector<double> z1, z2;

    JUCE_DECLARE_NON_COPYABLE (SecondOrderIIRFilter)
};
