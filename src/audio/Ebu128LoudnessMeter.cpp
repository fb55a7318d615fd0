#include "audio/Ebu128LoudnessMeter.h"

#include <algorithm>
#include <cmath>

namespace
{
// Requests above this would make every bin completion walk thousands of bins
// on the audio thread; no display needs more than millisecond bins.
constexpr int highestRequestRate = 1000;
constexpr int64_t highestSearchedRate = 2000;

double sumOf (const float* samples, int count) noexcept
{
    // Four running sums in double: precise, and not bound by the latency of
    // one long chain of additions.
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        s0 += static_cast<double> (samples[i]);
        s1 += static_cast<double> (samples[i + 1]);
        s2 += static_cast<double> (samples[i + 2]);
        s3 += static_cast<double> (samples[i + 3]);
    }
    for (; i < count; ++i)
        s0 += static_cast<double> (samples[i]);
    return (s0 + s1) + (s2 + s3);
}
} // namespace

//==============================================================================
int Ebu128LoudnessMeter::Histogram::keyFor (double loudness) noexcept
{
    const double scaled = std::min (loudness * 10.0, static_cast<double> (highestKey));
    return static_cast<int> (scaled > 0.0 ? scaled + 0.5 : scaled - 0.5);
}

void Ebu128LoudnessMeter::Histogram::add (int key) noexcept
{
    key = juce::jlimit (lowestKey, highestKey, key);
    ++counts[static_cast<size_t> (key - lowestKey)];
    largest = std::max (largest, key);
}

void Ebu128LoudnessMeter::Histogram::clear() noexcept
{
    counts.fill (0);
    largest = lowestKey - 1;
}

int Ebu128LoudnessMeter::Histogram::firstKeyFrom (int key) const noexcept
{
    for (key = std::max (key, lowestKey); key <= largest; ++key)
        if (count (key) > 0)
            return key;
    return largest + 1;
}

//==============================================================================
Ebu128LoudnessMeter::Ebu128LoudnessMeter() : measurementBuffer (numChannels, 2048) { prepareToPlay (44100.0, 20); }

void Ebu128LoudnessMeter::prepareToPlay (double sampleRate, int requestRate, int maximumBlockSize, int)
{
    if (!std::isfinite (sampleRate) || sampleRate < lowestSampleRate || sampleRate > highestSampleRate)
        sampleRate = 44100.0;

    // Allocate for the longest block now, then shrink the visible size
    // without giving the memory back: block processing only ever resizes
    // within this allocation.
    measurementCapacity = std::max (512, maximumBlockSize > 0 ? maximumBlockSize : defaultMaximumBlockSize);
    measurementBuffer.setSize (numChannels, measurementCapacity);
    measurementBuffer.setSize (numChannels, 512, false, false, true);
    preFilter.prepareToPlay (sampleRate, numChannels);
    lowFrequencyFilter.prepareToPlay (sampleRate, numChannels);

    // The bins must tile the second exactly, so the rate is raised in steps
    // of 10 until it divides the sample rate.
    const auto wholeRate = static_cast<int64_t> (sampleRate);
    int64_t rate = requestRate < 10 ? 10 : (static_cast<int64_t> (std::min (requestRate, highestRequestRate)) + 9) / 10 * 10;
    while (wholeRate % rate != 0)
    {
        rate += 10;
        if (static_cast<double> (rate) > sampleRate / 2.0 || rate > highestSearchedRate)
        {
            rate = 10;
            break;
        }
    }

    const auto R = static_cast<int> (rate);
    binCount = 3 * R;
    samplesPerBin = static_cast<int> (sampleRate / R);
    samplesInAllBins = binCount * samplesPerBin;
    binsIn400ms = static_cast<int> (0.4 * R);
    samplesIn400ms = samplesPerBin * binsIn400ms;
    binsIn100ms = static_cast<int> (0.1 * R);
    currentBin = 0;
    samplesInCurrentBin = 0;
    binsSinceGateMeasurement = 1;

    for (auto& channelBins : bins)
        channelBins.assign (static_cast<size_t> (binCount), 0.0);
    meanSquares3s.fill (0.0);
    meanSquares400ms.fill (0.0);
    channelWeights.fill (1.0);

    reset();
}

void Ebu128LoudnessMeter::reset() noexcept
{
    for (auto& channelBins : bins)
        std::fill (channelBins.begin(), channelBins.end(), 0.0);
    meanSquares3s.fill (0.0);
    meanSquares400ms.fill (0.0);
    binsSinceGateMeasurement = 1;

    integratedBlockCount = 0;
    integratedEnergySum = 0.0;
    integratedRelativeGate = -70.0;
    integratedHistogram.clear();
    integratedLoudness = minimalReturnValue;

    rangeBlockCount = 0;
    rangeEnergySum = 0.0;
    rangeRelativeGate = -70.0;
    rangeHistogram.clear();
    rangeLow = minimalReturnValue;
    rangeHigh = minimalReturnValue;

    shortTermLoudness = minimalReturnValue;
    maximumShortTermLoudness = minimalReturnValue;
    momentaryLoudness = minimalReturnValue;
    maximumMomentaryLoudness = minimalReturnValue;
}

//==============================================================================
void Ebu128LoudnessMeter::processBlock (const juce::AudioBuffer<float>& buffer) noexcept
{
    processBlock (buffer.getArrayOfReadPointers(), buffer.getNumChannels(), buffer.getNumSamples());
}

void Ebu128LoudnessMeter::processBlock (const float* const* channels, int channelCount, int numSamples) noexcept
{
    if (numSamples <= 0)
        return;

    const int channelsToMeasure = channels == nullptr ? 0 : juce::jlimit (0, numChannels, channelCount);
    std::array<const float*, numChannels> piece{};

    // Pieces no longer than the prepared capacity: the result is the same as
    // for the whole block (up to rounding) and nothing is allocated.
    for (int start = 0; start < numSamples; start += measurementCapacity)
    {
        for (int c = 0; c < channelsToMeasure; ++c)
            piece[static_cast<size_t> (c)] = channels[c] + start;
        measure (piece.data(), channelsToMeasure, std::min (measurementCapacity, numSamples - start));
    }
}

void Ebu128LoudnessMeter::measure (const float* const* channels, int channelsToMeasure, int numSamples) noexcept
{
    measurementBuffer.setSize (numChannels, numSamples, false, false, true);
    for (int c = 0; c < channelsToMeasure; ++c)
        measurementBuffer.copyFrom (c, 0, channels[c], numSamples);

    auto* const* samples = measurementBuffer.getArrayOfWritePointers();
    SecondOrderIIRFilter::processCascade (preFilter, lowFrequencyFilter, samples, channelsToMeasure, numSamples);
    for (int c = 0; c < channelsToMeasure; ++c)
        juce::FloatVectorOperations::multiply (samples[c], samples[c], numSamples);

    if (samplesInCurrentBin + numSamples < samplesPerBin)
    {
        addToCurrentBin (channelsToMeasure, 0, numSamples);
        return;
    }

    for (int position = 0;;)
    {
        const int left = numSamples - position;
        const int missing = samplesPerBin - samplesInCurrentBin;
        const bool usedUp = left < missing;
        const int taken = usedUp ? left : missing;

        addToCurrentBin (channelsToMeasure, position, taken);
        position += taken;
        if (usedUp)
            return;
        completeBin (channelsToMeasure);
    }
}

void Ebu128LoudnessMeter::addToCurrentBin (int channelsToMeasure, int start, int count) noexcept
{
    for (int c = 0; c < channelsToMeasure; ++c)
        bins[static_cast<size_t> (c)][static_cast<size_t> (currentBin)] += sumOf (measurementBuffer.getReadPointer (c) + start, count);
    samplesInCurrentBin += count;
}

double Ebu128LoudnessMeter::weightedSum (const std::array<double, numChannels>& meanSquares) const noexcept
{
    double sum = 0.0;
    for (size_t d = 0; d < numChannels; ++d)
        sum += channelWeights[d] * meanSquares[d];
    return sum;
}

float Ebu128LoudnessMeter::loudnessOf (double weightedMeanSquare) noexcept
{
    if (!(weightedMeanSquare > 0.0))
        return minimalReturnValue;
    return std::max (static_cast<float> (10.0 * std::log10 (weightedMeanSquare) - 0.691), minimalReturnValue);
}

void Ebu128LoudnessMeter::completeBin (int channelsToMeasure) noexcept
{
    for (int c = 0; c < channelsToMeasure; ++c)
    {
        const auto& channelBins = bins[static_cast<size_t> (c)];

        double all = 0.0;
        for (const double bin : channelBins)
            all += bin;
        meanSquares3s[static_cast<size_t> (c)] = all / samplesInAllBins;

        double recent = 0.0;
        for (int back = 0; back < binsIn400ms; ++back)
            recent += channelBins[static_cast<size_t> ((currentBin - back + binCount) % binCount)];
        meanSquares400ms[static_cast<size_t> (c)] = recent / samplesIn400ms;
    }

    // The maxima see only the values of the finished bin: a mix of one
    // channel's new mean and another's old one was never the signal's
    // loudness and could read higher than it ever was.
    if (channelsToMeasure > 0)
    {
        shortTermLoudness = loudnessOf (weightedSum (meanSquares3s));
        momentaryLoudness = loudnessOf (weightedSum (meanSquares400ms));
        maximumShortTermLoudness = std::max (maximumShortTermLoudness, shortTermLoudness);
        maximumMomentaryLoudness = std::max (maximumMomentaryLoudness, momentaryLoudness);
    }

    if (binsSinceGateMeasurement == binsIn100ms)
    {
        binsSinceGateMeasurement = 1;
        measureGates();
    }
    else
    {
        ++binsSinceGateMeasurement;
    }

    currentBin = (currentBin + 1) % binCount;
    for (auto& channelBins : bins)
        channelBins[static_cast<size_t> (currentBin)] = 0.0;
    samplesInCurrentBin = 0;
}

int Ebu128LoudnessMeter::firstKeyAboveGate (const Histogram& histogram, double gate) noexcept
{
    const double scaled =
        juce::jlimit (static_cast<double> (Histogram::lowestKey - 1), static_cast<double> (Histogram::highestKey + 1), gate * 10.0);
    return histogram.firstKeyFrom (static_cast<int> (scaled));
}

void Ebu128LoudnessMeter::measureGates() noexcept
{
    // Integrated loudness: 400 ms blocks, absolute gate -70 LUFS, relative -10 LU.
    const double energy = weightedSum (meanSquares400ms);
    const double loudness = 10.0 * std::log10 (energy) - 0.691;
    if (loudness > -70.0)
    {
        ++integratedBlockCount;
        integratedEnergySum += energy;
        integratedRelativeGate = 10.0 * std::log10 (integratedEnergySum / integratedBlockCount) - 10.691;
    }
    if (loudness > -100.0)
        integratedHistogram.add (Histogram::keyFor (loudness));

    if (!integratedHistogram.isEmpty() && integratedHistogram.largestKey() * 0.1 > integratedRelativeGate)
    {
        const int largest = integratedHistogram.largestKey();
        const int first = firstKeyAboveGate (integratedHistogram, integratedRelativeGate);
        if (first <= largest)
        {
            double sum = 0.0;
            int64_t total = 0;
            for (int key = first; key <= largest; ++key)
                if (const auto count = integratedHistogram.count (key); count > 0)
                {
                    sum += count * std::pow (10.0, (key * 0.1 + 0.691) * 0.1);
                    total += count;
                }
            integratedLoudness =
                total > 0 ? static_cast<float> (10.0 * std::log10 (sum / static_cast<double> (total)) - 0.691) : minimalReturnValue;
        }
    }

    // Loudness range: 3 s blocks, absolute gate -70 LUFS, relative -20 LU,
    // from the 10th to the 95th percentile.
    const double energy3s = weightedSum (meanSquares3s);
    const double loudness3s = 10.0 * std::log10 (energy3s) - 0.691;
    if (loudness3s > -70.0)
    {
        ++rangeBlockCount;
        rangeEnergySum += energy3s;
        rangeRelativeGate = 10.0 * std::log10 (rangeEnergySum / rangeBlockCount) - 20.691;
    }
    if (loudness3s > -100.0)
        rangeHistogram.add (Histogram::keyFor (loudness3s));

    if (!rangeHistogram.isEmpty() && rangeHistogram.largestKey() * 0.1 > rangeRelativeGate)
    {
        const int largest = rangeHistogram.largestKey();
        const int first = firstKeyAboveGate (rangeHistogram, rangeRelativeGate);
        if (first <= largest)
        {
            int64_t n = 0;
            for (int key = first; key <= largest; ++key)
                n += rangeHistogram.count (key);

            int64_t accumulated = 0;
            for (int key = first; key <= largest; ++key)
                if (const auto count = rangeHistogram.count (key); count > 0)
                {
                    accumulated += count;
                    if (static_cast<double> (accumulated) >= static_cast<double> (n) * 0.1)
                    {
                        rangeLow = static_cast<float> (key * 0.1);
                        break;
                    }
                }

            accumulated = 0;
            for (int key = largest; key >= first; --key)
                if (const auto count = rangeHistogram.count (key); count > 0)
                {
                    accumulated += count;
                    if (static_cast<double> (accumulated) >= static_cast<double> (n) * 0.05)
                    {
                        rangeHigh = static_cast<float> (key * 0.1);
                        break;
                    }
                }
        }
    }
}
