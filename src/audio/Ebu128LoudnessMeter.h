#pragma once

#include "audio/SecondOrderIIRFilter.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <cstdint>
#include <vector>

/** Loudness of a stereo signal after ITU-R BS.1770 and EBU R128: momentary
    (400 ms), short-term (3 s), integrated (gated at -70 LUFS and -10 LU) and
    loudness range (gated at -70 LUFS and -20 LU, 10th to 95th percentile).

    K-weighted squares are summed into bins of 1 / R seconds (R is the request
    rate), so a completed bin costs one pass over the bins, never over
    samples. Every 100 ms the 400 ms and 3 s windows are gated into two
    histograms of 0.1 LU steps, so the statistics never revisit old blocks.
    Until the windows have filled after a start or a reset, the time before
    counts as silence: short-term rises over 3 s, and the first three gated
    400 ms blocks hold 1/4, 1/2 and 3/4 of the signal.

    Real-time contract: the constructor and prepareToPlay() allocate;
    processBlock() and reset() never allocate, lock or wait and are noexcept.
    The caller serialises all calls (the real-time display's meter flag). */
class Ebu128LoudnessMeter
{
public:
    /** Every loudness value with nothing to report, or lower than this, reads this. */
    static constexpr float minimalReturnValue = -300.0f;

    /** Longest block measured in one piece when prepareToPlay() is not told
        otherwise: generously above the block sizes audio devices use, so the
        measurement buffer is never grown on the audio thread. */
    static constexpr int defaultMaximumBlockSize = 8192;

    /** Sample rates outside this span (or not finite) are measured as 44100 Hz
        so that an absurd rate cannot produce an empty bin or an unstable
        filter. */
    static constexpr double lowestSampleRate = 8000.0;
    static constexpr double highestSampleRate = 768000.0;

    Ebu128LoudnessMeter();

    /** Sets the bin layout for the rate, zeroes the filter states and the bin
        position, and resets. The request rate is rounded up to a multiple of
        10 that divides the rate (10 if none up to half the rate does); 0 gives
        100 ms bins. Blocks longer than maximumBlockSize (0 or less: the
        default) are measured in pieces of that size. May allocate. */
    void prepareToPlay (double sampleRate, int requestRate, int maximumBlockSize = defaultMaximumBlockSize, int unused = 0);

    /** Measures a block; a mono buffer is measured as one channel. Never allocates. */
    void processBlock (const juce::AudioBuffer<float>& buffer) noexcept;
    void processBlock (const float* const* channels, int numChannels, int numSamples) noexcept;

    /** Clears the history and all values; keeps the layout, the filter states
        and the position within the current bin. Never allocates. */
    void reset() noexcept;

    float getMomentaryLoudness() const noexcept { return momentaryLoudness; }
    float getShortTermLoudness() const noexcept { return shortTermLoudness; }
    float getIntegratedLoudness() const noexcept { return integratedLoudness; }
    /** Range high minus range low, in LU. */
    float getLoudnessRange() const noexcept { return rangeHigh - rangeLow; }
    float getRangeLow() const noexcept { return rangeLow; }
    float getRangeHigh() const noexcept { return rangeHigh; }
    float getMaximumMomentaryLoudness() const noexcept { return maximumMomentaryLoudness; }
    float getMaximumShortTermLoudness() const noexcept { return maximumShortTermLoudness; }

    int getBinCount() const noexcept { return binCount; }
    int getSamplesPerBin() const noexcept { return samplesPerBin; }
    int getBinsIn400ms() const noexcept { return binsIn400ms; }
    int getBinsIn100ms() const noexcept { return binsIn100ms; }
    int getMaximumBlockSize() const noexcept { return measurementCapacity; }

private:
    static constexpr int numChannels = 2;

    /** Block loudness in 0.1 LU steps from just above -100 LUFS; louder blocks
        than the top step (absurd levels) are counted in it. A fixed array
        rather than a map, so that counting a new step never allocates. */
    class Histogram
    {
    public:
        static constexpr int lowestKey = -1000;
        static constexpr int highestKey = 1000;

        /** The step of a loudness: L x 10 rounded half away from zero. */
        static int keyFor (double loudness) noexcept;

        void add (int key) noexcept;
        void clear() noexcept;
        bool isEmpty() const noexcept { return largest < lowestKey; }
        int largestKey() const noexcept { return largest; }
        /** Lowest key with a count at or above the key, or largestKey() + 1 if none. */
        int firstKeyFrom (int key) const noexcept;
        int32_t count (int key) const noexcept { return counts[static_cast<size_t> (key - lowestKey)]; }

    private:
        std::array<int32_t, static_cast<size_t> (highestKey - lowestKey + 1)> counts{};
        int largest = lowestKey - 1;
    };

    void measure (const float* const* channels, int channelsToMeasure, int numSamples) noexcept;
    void addToCurrentBin (int channelsToMeasure, int start, int count) noexcept;
    void completeBin (int channelsToMeasure) noexcept;
    void measureGates() noexcept;
    double weightedSum (const std::array<double, numChannels>& meanSquares) const noexcept;
    static float loudnessOf (double weightedMeanSquare) noexcept;
    /** Walks up from the gate to the first counted step, as the gate search
        of both statistics does; returns largestKey() + 1 when no step is
        above the gate. */
    static int firstKeyAboveGate (const Histogram& histogram, double gate) noexcept;

    juce::AudioBuffer<float> measurementBuffer;
    int measurementCapacity = 0;
    SecondOrderIIRFilter preFilter{SecondOrderIIRFilter::preFilterDesign};
    SecondOrderIIRFilter lowFrequencyFilter{SecondOrderIIRFilter::lowFrequencyDesign};

    int binCount = 0;
    int samplesPerBin = 0;
    int samplesInAllBins = 0;
    int binsIn400ms = 0;
    int samplesIn400ms = 0;
    int binsIn100ms = 0;
    int binsSinceGateMeasurement = 1;

    std::array<std::vector<double>, numChannels> bins;
    int currentBin = 0;
    int samplesInCurrentBin = 0;

    std::array<double, numChannels> meanSquares3s{};
    std::array<double, numChannels> meanSquares400ms{};
    std::array<double, numChannels> channelWeights{1.0, 1.0};

    int32_t integratedBlockCount = 0;
    double integratedEnergySum = 0.0;
    double integratedRelativeGate = -70.0;
    Histogram integratedHistogram;
    float integratedLoudness = minimalReturnValue;
    float shortTermLoudness = minimalReturnValue;
    float maximumShortTermLoudness = minimalReturnValue;
    float momentaryLoudness = minimalReturnValue;
    float maximumMomentaryLoudness = minimalReturnValue;

    int32_t rangeBlockCount = 0;
    double rangeEnergySum = 0.0;
    double rangeRelativeGate = -70.0;
    Histogram rangeHistogram;
    float rangeLow = minimalReturnValue;
    float rangeHigh = minimalReturnValue;

    JUCE_DECLARE_NON_COPYABLE (Ebu128LoudnessMeter)
};
