#include "audio/LoudnessAnalysis.h"

#include "audio/Ebu128LoudnessMeter.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace
{
/** Largest magnitude of the finite samples, and a count of the others. Works
    on the bit patterns: without the sign bit, finite floats order like their
    bits and NaN and infinities lie above 0x7f800000, which lets the loop run
    on integer vectors. */
void scanPeak (const float* samples, int count, uint32_t& peakBits, int64_t& nonFinite) noexcept
{
    uint32_t peak = peakBits;
    int bad = 0;
    for (int i = 0; i < count; ++i)
    {
        uint32_t bits;
        std::memcpy (&bits, samples + i, sizeof (bits));
        bits &= 0x7fffffffu;
        const bool finite = bits < 0x7f800000u;
        bad += finite ? 0 : 1;
        peak = std::max (peak, finite ? bits : 0u);
    }
    peakBits = peak;
    nonFinite += bad;
}
} // namespace

LoudnessAnalysis LoudnessAnalysis::measure (const juce::AudioBuffer<float>& buffer, double sampleRate)
{
    LoudnessAnalysis result;

    if (!std::isfinite (sampleRate) || sampleRate < Ebu128LoudnessMeter::lowestSampleRate
        || sampleRate > Ebu128LoudnessMeter::highestSampleRate)
    {
        result.problem = "unsupported sample rate: " + juce::String (sampleRate).toStdString() + " Hz";
        return result;
    }
    if (buffer.getNumChannels() < 1)
    {
        result.problem = "no audio channels";
        return result;
    }

    const int channels = std::min (buffer.getNumChannels(), 2);
    const int length = buffer.getNumSamples();

    // The meter holds 16 kB of histograms and the bins; keep it off the stack.
    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    meter->prepareToPlay (sampleRate, requestRate, blockSize);

    uint32_t peakBits = 0;
    for (int start = 0; start < length; start += blockSize)
    {
        const int count = std::min (blockSize, length - start);
        const float* block[2] = {buffer.getReadPointer (0, start), buffer.getReadPointer (channels - 1, start)};
        meter->processBlock (block, 2, count);

        for (int c = 0; c < channels; ++c)
            scanPeak (block[c], count, peakBits, result.nonFiniteSamples);
    }

    result.integrated = meter->getIntegratedLoudness();
    result.range = meter->getLoudnessRange();
    result.momentaryMax = meter->getMaximumMomentaryLoudness();
    result.shortTermMax = meter->getMaximumShortTermLoudness();
    float peak;
    std::memcpy (&peak, &peakBits, sizeof (peak));
    result.samplePeak = juce::Decibels::gainToDecibels (peak, Ebu128LoudnessMeter::minimalReturnValue);
    return result;
}
