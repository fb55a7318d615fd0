#include "audio/Ebu128LoudnessMeter.h"
#include "AllocationCounter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

using testing_support::makeBuffer;
using testing_support::makeSine;

namespace
{
constexpr float silent = Ebu128LoudnessMeter::minimalReturnValue;

/** Feeds channels 0 and 1 of a signal (channel 0 twice for mono) in blocks. */
void feed (Ebu128LoudnessMeter& meter, const juce::AudioBuffer<float>& signal, int blockSize, int start = 0, int end = -1)
{
    if (end < 0)
        end = signal.getNumSamples();
    for (int position = start; position < end; position += blockSize)
    {
        const float* channels[] = {signal.getReadPointer (0, position), signal.getReadPointer (signal.getNumChannels() - 1, position)};
        meter.processBlock (channels, 2, std::min (blockSize, end - position));
    }
}

/** Noise whose level steps every 1.3 s over 24 dB, 25 s long: moves every
    value the meter has, including the gates and both percentiles. */
juce::AudioBuffer<float> steppedNoise (double rate)
{
    juce::Random random (1234);
    const int length = static_cast<int> (25.0 * rate);
    const float levels[] = {0.3f, 0.05f, 0.15f, 0.02f, 0.25f, 0.1f, 0.6f};
    return makeBuffer (2, length,
                       [&] (int, int i)
                       {
                           const auto step = static_cast<size_t> (static_cast<double> (i) / (1.3 * rate)) % std::size (levels);
                           return levels[step] * (random.nextFloat() * 2.0f - 1.0f);
                       });
}

struct Reading
{
    float momentary, shortTerm, integrated, low, high, maxMomentary, maxShortTerm;
};

Reading read (const Ebu128LoudnessMeter& m)
{
    return {m.getMomentaryLoudness(), m.getShortTermLoudness(),        m.getIntegratedLoudness(),      m.getRangeLow(),
            m.getRangeHigh(),         m.getMaximumMomentaryLoudness(), m.getMaximumShortTermLoudness()};
}

void expectAllSilent (const Ebu128LoudnessMeter& m)
{
    const auto r = read (m);
    for (const float value : {r.momentary, r.shortTerm, r.integrated, r.low, r.high, r.maxMomentary, r.maxShortTerm})
        EXPECT_EQ (value, silent);
    EXPECT_EQ (m.getLoudnessRange(), 0.0f);
}
} // namespace

TEST (Ebu128LoudnessMeter, LaysOutBinsForTheRequestRate)
{
    struct Case
    {
        double sampleRate;
        int requestRate;
        int bins, samplesPerBin, binsIn400ms, binsIn100ms;
    };
    const Case cases[] = {
        {44100.0, 0, 30, 4410, 4, 1},     // the device start
        {48000.0, 0, 30, 4800, 4, 1},     //
        {44100.0, 20, 60, 2205, 8, 2},    // the real-time display's construction
        {44100.0, 25, 90, 1470, 12, 3},   // rounded up to 30, which divides 44100
        {44100.0, 40, 150, 882, 20, 5},   // 40 does not divide 44100, 50 does
        {44100.0, 100, 300, 441, 40, 10}, // the offline analysis
        {22050.0, 100, 450, 147, 60, 15}, // 100 to 140 fail, 150 divides
        {11025.0, 0, 30, 1102, 4, 1},     // no multiple of 10 divides: back to 10
        {0.0, 0, 30, 4410, 4, 1},         // absurd rates are measured as 44100
        {-48000.0, 0, 30, 4410, 4, 1},
        {std::numeric_limits<double>::quiet_NaN(), 20, 60, 2205, 8, 2},
        {48000.0, INT_MAX, 3000, 48, 400, 100}, // absurd requests are capped at 1000
    };

    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    EXPECT_EQ (meter->getBinCount(), 60); // constructed at 44100 Hz, request rate 20
    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.sampleRate) + " Hz, request " + juce::String (c.requestRate));
        meter->prepareToPlay (c.sampleRate, c.requestRate, 512, 0);
        EXPECT_EQ (meter->getBinCount(), c.bins);
        EXPECT_EQ (meter->getSamplesPerBin(), c.samplesPerBin);
        EXPECT_EQ (meter->getBinsIn400ms(), c.binsIn400ms);
        EXPECT_EQ (meter->getBinsIn100ms(), c.binsIn100ms);
    }
}

TEST (Ebu128LoudnessMeter, ReadsASineOf997HzAtMinus20Lufs)
{
    // Peak 0.1 on both channels is -20 LUFS: -23 dB of mean square per
    // channel, +3 dB for two channels, and K-weighting cancels the -0.691.
    for (const double rate : {44100.0, 48000.0})
        for (const int requestRate : {0, 20})
            for (const bool bothChannels : {true, false})
            {
                SCOPED_TRACE (juce::String (rate) + " Hz, request " + juce::String (requestRate)
                              + (bothChannels ? ", stereo" : ", left only"));
                const int length = static_cast<int> (3.0 * rate);
                auto sine = makeSine (2, length, rate, 997.0, 0.1f);
                if (!bothChannels)
                    sine.clear (1, 0, length);
                const float expected = bothChannels ? -20.0f : -23.01f;

                auto meter = std::make_unique<Ebu128LoudnessMeter>();
                meter->prepareToPlay (rate, requestRate);
                const int fourHundredMs = static_cast<int> (0.4 * rate);
                feed (*meter, sine, 512, 0, fourHundredMs);
                EXPECT_NEAR (meter->getMomentaryLoudness(), expected, 0.01f);

                feed (*meter, sine, 512, fourHundredMs, length);
                EXPECT_NEAR (meter->getShortTermLoudness(), expected, 0.01f);
                EXPECT_NEAR (meter->getMomentaryLoudness(), expected, 0.01f);
                // The first three gate blocks reach back before the start and hold
                // 1/4, 1/2 and 3/4 of the sine's energy: 28.5 of 30 blocks' worth.
                EXPECT_NEAR (meter->getIntegratedLoudness(), expected + 10.0f * std::log10 (28.5f / 30.0f), 0.05f);
                EXPECT_NEAR (meter->getMaximumMomentaryLoudness(), expected, 0.01f);
                EXPECT_NEAR (meter->getMaximumShortTermLoudness(), expected, 0.01f);
            }
}

TEST (Ebu128LoudnessMeter, ShortTermRisesAsTheFirstThreeSecondsFill)
{
    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    meter->prepareToPlay (48000.0, 0);
    const auto sine = makeSine (2, 48000 * 3, 48000.0, 997.0, 0.1f);
    // After 1.5 s, half the 3 s window is still the silence before the start.
    feed (*meter, sine, 480, 0, 72000);
    EXPECT_NEAR (meter->getShortTermLoudness(), -20.0f - 3.01f, 0.02f);
    EXPECT_NEAR (meter->getMomentaryLoudness(), -20.0f, 0.01f);
}

TEST (Ebu128LoudnessMeter, SilenceReadsMinimalEverywhere)
{
    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    meter->prepareToPlay (44100.0, 0);
    juce::AudioBuffer<float> zeros (2, 44100 * 10);
    zeros.clear();
    feed (*meter, zeros, 512);
    expectAllSilent (*meter);
}

TEST (Ebu128LoudnessMeter, ResetClearsTheHistoryButNotTheLayout)
{
    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    meter->prepareToPlay (48000.0, 20);
    feed (*meter, makeSine (2, 48000 * 20, 48000.0, 997.0, 0.5f), 512);
    ASSERT_NEAR (meter->getIntegratedLoudness(), -6.0f, 0.1f);

    meter->reset();
    expectAllSilent (*meter);
    EXPECT_EQ (meter->getBinCount(), 60);
    EXPECT_EQ (meter->getSamplesPerBin(), 2400);

    // The statistics start again from what follows the reset.
    const auto quiet = makeSine (2, 48000 * 20, 48000.0, 997.0, 0.05f);
    feed (*meter, quiet, 512, 0, 4800);
    EXPECT_GT (meter->getMomentaryLoudness(), silent);
    feed (*meter, quiet, 512, 4800, quiet.getNumSamples());
    EXPECT_NEAR (meter->getIntegratedLoudness(), -26.0f, 0.1f);
    EXPECT_NEAR (meter->getMaximumMomentaryLoudness(), -26.0f, 0.05f);
    EXPECT_NEAR (meter->getMaximumShortTermLoudness(), -26.0f, 0.05f);
}

TEST (Ebu128LoudnessMeter, BlockSizesDoNotChangeTheResult)
{
    const double rate = 44100.0;
    const auto signal = steppedNoise (rate);

    auto reference = std::make_unique<Ebu128LoudnessMeter>();
    reference->prepareToPlay (rate, 20);
    feed (*reference, signal, 512);
    const auto expected = read (*reference);
    ASSERT_GT (expected.integrated, -40.0f);
    ASSERT_GT (expected.high - expected.low, 3.0f);

    // Sizes below, at and across the 2205-sample bins, with and without a
    // common divisor, and beyond the measured piece (8192) so that long
    // blocks are split.
    for (const int blockSize : {1, 7, 64, 441, 1000, 2204, 2205, 2206, 4410, 8192, 10000, 44100})
    {
        SCOPED_TRACE (blockSize);
        auto meter = std::make_unique<Ebu128LoudnessMeter>();
        meter->prepareToPlay (rate, 20);
        feed (*meter, signal, blockSize);
        const auto r = read (*meter);
        EXPECT_NEAR (r.momentary, expected.momentary, 1.0e-4f);
        EXPECT_NEAR (r.shortTerm, expected.shortTerm, 1.0e-4f);
        EXPECT_NEAR (r.integrated, expected.integrated, 1.0e-4f);
        EXPECT_EQ (r.low, expected.low);
        EXPECT_EQ (r.high, expected.high);
        EXPECT_NEAR (r.maxMomentary, expected.maxMomentary, 1.0e-4f);
        EXPECT_NEAR (r.maxShortTerm, expected.maxShortTerm, 1.0e-4f);
    }

    // Irregular sizes, as a device with a varying callback size delivers,
    // and a meter prepared for short blocks that is handed long ones.
    auto irregular = std::make_unique<Ebu128LoudnessMeter>();
    irregular->prepareToPlay (rate, 20, 1024);
    juce::Random random (99);
    for (int position = 0; position < signal.getNumSamples();)
    {
        const int n = std::min (1 + random.nextInt (5000), signal.getNumSamples() - position);
        feed (*irregular, signal, n, position, position + n);
        position += n;
    }
    const auto r = read (*irregular);
    EXPECT_NEAR (r.integrated, expected.integrated, 1.0e-4f);
    EXPECT_NEAR (r.momentary, expected.momentary, 1.0e-4f);
    EXPECT_NEAR (r.shortTerm, expected.shortTerm, 1.0e-4f);
    EXPECT_EQ (r.low, expected.low);
    EXPECT_EQ (r.high, expected.high);
}

TEST (Ebu128LoudnessMeter, EmptyBlocksChangeNothing)
{
    const auto signal = steppedNoise (48000.0);
    auto plain = std::make_unique<Ebu128LoudnessMeter>();
    auto interrupted = std::make_unique<Ebu128LoudnessMeter>();
    plain->prepareToPlay (48000.0, 0);
    interrupted->prepareToPlay (48000.0, 0);

    const float* channels[] = {signal.getReadPointer (0), signal.getReadPointer (1)};
    const juce::AudioBuffer<float> empty (2, 0);
    for (int position = 0; position < signal.getNumSamples(); position += 512)
    {
        feed (*plain, signal, 512, position, std::min (position + 512, signal.getNumSamples()));
        interrupted->processBlock (empty);
        interrupted->processBlock (channels, 2, 0);
        interrupted->processBlock (nullptr, 0, 0);
        feed (*interrupted, signal, 512, position, std::min (position + 512, signal.getNumSamples()));
    }

    const auto a = read (*plain), b = read (*interrupted);
    EXPECT_EQ (a.momentary, b.momentary);
    EXPECT_EQ (a.shortTerm, b.shortTerm);
    EXPECT_EQ (a.integrated, b.integrated);
    EXPECT_EQ (a.low, b.low);
    EXPECT_EQ (a.high, b.high);
    EXPECT_EQ (a.maxMomentary, b.maxMomentary);
}

TEST (Ebu128LoudnessMeter, MaximaNeverExceedWhatWasMeasured)
{
    // The loudness stays constant while the sine moves from the right channel
    // to the left: a maximum built from one channel's new mean and the other's
    // old one would read up to 1 LU above anything the signal did.
    const double rate = 44100.0;
    const int half = static_cast<int> (4.0 * rate);
    const auto sine = makeSine (1, 2 * half, rate, 997.0, 0.1f);
    const auto swapped = makeBuffer (2, 2 * half, [&] (int ch, int i) { return (ch == 0) == (i >= half) ? sine.getSample (0, i) : 0.0f; });

    for (const int requestRate : {0, 20})
    {
        SCOPED_TRACE (requestRate);
        auto meter = std::make_unique<Ebu128LoudnessMeter>();
        meter->prepareToPlay (rate, requestRate);
        feed (*meter, swapped, 512);
        EXPECT_NEAR (meter->getMomentaryLoudness(), -23.01f, 0.01f);
        EXPECT_LT (meter->getMaximumMomentaryLoudness(), -23.01f + 0.02f);
        EXPECT_LT (meter->getMaximumShortTermLoudness(), -23.01f + 0.02f);
    }
}

TEST (Ebu128LoudnessMeter, NonFiniteSamplesCountAsSilenceAndDoNotStick)
{
    const double rate = 48000.0;
    auto signal = makeSine (2, static_cast<int> (20.0 * rate), rate, 997.0, 0.1f);
    for (int i = 1000; i < 1100; ++i)
    {
        signal.setSample (0, i, std::numeric_limits<float>::quiet_NaN());
        signal.setSample (1, i, -std::numeric_limits<float>::infinity());
    }

    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    meter->prepareToPlay (rate, 0);
    feed (*meter, signal, 512);
    EXPECT_NEAR (meter->getMomentaryLoudness(), -20.0f, 0.01f);
    EXPECT_NEAR (meter->getIntegratedLoudness(), -20.0f, 0.1f);
    EXPECT_TRUE (std::isfinite (meter->getShortTermLoudness()));
    EXPECT_TRUE (std::isfinite (meter->getLoudnessRange()));
}

TEST (Ebu128LoudnessMeter, BlockProcessingAndResetNeverAllocate)
{
    if (!AllocationCounter::isAvailable())
        GTEST_SKIP() << "allocations are not counted in sanitizer builds";

    {
        AllocationCounter probe;
        auto heap = std::make_unique<std::vector<double>> (100);
        ASSERT_GT (probe.count(), 0) << "the counter must see an allocation";
    }

    const auto signal = steppedNoise (44100.0);
    for (const int maximumBlock : {0, 1024})
    {
        SCOPED_TRACE (maximumBlock);
        auto meter = std::make_unique<Ebu128LoudnessMeter>();
        meter->prepareToPlay (44100.0, 0, maximumBlock);

        AllocationCounter counter;
        int position = 0;
        for (const int blockSize : {1, 512, 4096, 8192, 20000, 512, 44100 * 3, 300})
        {
            feed (*meter, signal, blockSize, position, position + blockSize);
            position += blockSize;
        }
        meter->reset();
        feed (*meter, signal, 2048, position, signal.getNumSamples());
        EXPECT_EQ (counter.count(), 0);
        EXPECT_GT (meter->getIntegratedLoudness(), silent);
    }
}
