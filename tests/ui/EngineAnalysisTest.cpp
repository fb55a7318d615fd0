// The engine feeding the real-time display: spectrum ring, frame hand-over,
// loudness meter and published values, driven with buffers the test owns.
#include "audio/AudioEngine.h"
#include "components/RealTimeDisplay.h"
#include "support/RecordingProcessor.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using Components::Modules::AudioGraph;
using Components::Modules::RealTimeDisplay;
using testing_support::RecordingProcessor;

namespace
{
constexpr int blockSize = 512;
}

class EngineAnalysis : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine->realTimeDisplay = display;
        player.engine = engine;
        engine->setPlayer (&player);
        engine->audioDeviceAboutToStart (nullptr);
        processor->mode = 1;
        processor->chainEnabled = true;
    }

    void load (const juce::AudioBuffer<float>& source)
    {
        player.switchPlayBuffer (std::make_shared<juce::AudioBuffer<float>> (source), 44100.0);
        player.playPosition = 0.0;
        player.playState = PlaybackState::playing;
    }

    void runBlocks (int count, int channels = 2)
    {
        for (int b = 0; b < count; ++b)
            engine->audioDeviceIOCallback (nullptr, 0, out.getArrayOfWritePointers(), channels, blockSize);
    }

    std::shared_ptr<RecordingProcessor> processor = std::make_shared<RecordingProcessor>();
    std::shared_ptr<AudioEngine> engine = std::make_shared<AudioEngine> (processor);
    std::shared_ptr<RealTimeDisplay> display = std::make_shared<RealTimeDisplay>();
    PlaybackState player;
    juce::AudioBuffer<float> out{2, blockSize};
};

TEST_F (EngineAnalysis, DeviceStartPreparesTheMeterForTheDeviceRate)
{
    // Request rate 0 at 44.1 kHz: 100 ms bins.
    EXPECT_EQ (display->loudnessMeter.getSamplesPerBin(), 4410);
    EXPECT_EQ (display->loudnessMeter.getBinCount(), 30);
    EXPECT_EQ (display->spectrumDisplay.sampleRate.load(), 44100.0);
}

TEST_F (EngineAnalysis, MeterHearsTheChainOutputAndPublishesAfterEveryBlock)
{
    // A 997 Hz sine of peak 0.1 reads -20 LUFS; the recording chain doubles it.
    load (testing_support::makeSine (2, 44100 * 2, 44100.0, 997.0, 0.1f));
    const int blocks = 60; // about 0.7 s
    runBlocks (blocks);

    auto& metering = display->meteringDisplay;
    EXPECT_EQ (metering.updateCounter.load(), blocks);
    EXPECT_NEAR (metering.publishedMomentary.load(), -20.0f + 6.02f, 0.05f);
    EXPECT_EQ (metering.publishedMomentary.load(), display->loudnessMeter.getMomentaryLoudness());
    EXPECT_EQ (metering.publishedShortTerm.load(), display->loudnessMeter.getShortTermLoudness());
    EXPECT_EQ (metering.publishedIntegrated.load(), display->loudnessMeter.getIntegratedLoudness());
    EXPECT_EQ (metering.publishedRange.load(), display->loudnessMeter.getLoudnessRange());
}

TEST_F (EngineAnalysis, NothingIsFedOutsideRealTimePlaybackWithTheChainIn)
{
    struct Case
    {
        const char* what;
        int32_t mode;
        bool chainIn;
        int32_t state;
        int channels;
    };
    const Case cases[] = {
        {"process mode", 0, true, PlaybackState::playing, 2},
        {"chain out", 1, false, PlaybackState::playing, 2},
        {"paused", 1, true, PlaybackState::paused, 2},
        {"one output", 1, true, PlaybackState::playing, 1},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.what);
        auto fresh = std::make_shared<RealTimeDisplay>();
        engine->realTimeDisplay = fresh;
        load (testing_support::makeSine (2, 44100, 44100.0, 997.0, 0.5f));
        processor->mode = row.mode;
        processor->chainEnabled = row.chainIn;
        player.playState = row.state;

        runBlocks (20, row.channels);

        EXPECT_EQ (fresh->meteringDisplay.updateCounter.load(), 0);
        EXPECT_EQ (fresh->meteringDisplay.publishedMomentary.load(), -300.0f);
        EXPECT_EQ (fresh->loudnessMeter.getMomentaryLoudness(), -300.0f);
        EXPECT_EQ (fresh->spectrumDisplay.spectrumRing.writeIndex, 0);
        EXPECT_FALSE (fresh->spectrumDisplay.frameReady.load());
        // The level record still follows the (unprocessed or silent) output.
        const auto context = engine->getVisualContext();
        EXPECT_EQ (context->levels[1].load() > 0.0f, row.state == PlaybackState::playing);
        context->levels[1] = 0.0f;
    }
}

TEST_F (EngineAnalysis, SpectrumGetsTheMonoMixAndAFrameOnlyWhileNoneWaits)
{
    const auto source = testing_support::makeBuffer (
        2, 20000, [] (int c, int i) { return c == 0 ? 1e-4f * static_cast<float> (i % 3000) : -3e-5f * static_cast<float> (i % 1700); });
    load (source);
    const auto mono = [&] (int k) { return (source.getSample (0, k) * 2.0f + source.getSample (1, k) * 2.0f) * 0.5f; };
    auto& graph = display->spectrumDisplay;

    // The very first sample lands at ring index 0, so a frame is offered at
    // once: silence ending in that sample.
    runBlocks (1);
    ASSERT_TRUE (graph.frameReady.load());
    EXPECT_EQ (graph.workBuffer[4095], mono (0));
    EXPECT_EQ (graph.workBuffer[4094], 0.0f);
    EXPECT_EQ (graph.spectrumRing.buffer[511], mono (511));

    // While that frame waits, later passes over 4096 offer nothing.
    for (auto& v : graph.workBuffer)
        v = 9.0f;
    runBlocks (16); // 8704 samples: past 4096 and 8192 again
    EXPECT_EQ (graph.workBuffer[0], 9.0f);
    EXPECT_EQ (graph.workBuffer[8191], 9.0f);

    // Consumed: the next pass offers the most recent 4096 samples, in order,
    // and clears the second half.
    graph.frameReady.exchange (false);
    const int written = 17 * blockSize;                // 8704: write index now 512
    runBlocks (8);                                     // passes 4096 at sample 8192 + 4096
    const int handedAt = 8192 + AudioGraph::frameSize; // stream sample at ring index 4096
    ASSERT_TRUE (graph.frameReady.load());
    ASSERT_GT (written + 8 * blockSize, handedAt);
    for (int i = 0; i < AudioGraph::frameSize; ++i)
        ASSERT_EQ (graph.workBuffer[static_cast<size_t> (i)], mono (handedAt - 4095 + i)) << i;
    for (int i = AudioGraph::frameSize; i < AudioGraph::ringSize; ++i)
        ASSERT_EQ (graph.workBuffer[static_cast<size_t> (i)], 0.0f) << i;
}

TEST_F (EngineAnalysis, ResetFromTheMeteringDisplayClearsTheMeterOnly)
{
    load (testing_support::makeSine (2, 44100 * 2, 44100.0, 997.0, 0.1f));
    runBlocks (60);
    ASSERT_GT (display->loudnessMeter.getMomentaryLoudness(), -300.0f);

    // Only the metering display's 911 counts.
    display->nComponentCallback (display.get(), 911, nullptr);
    display->nComponentCallback (&display->meteringDisplay, 0, nullptr);
    EXPECT_GT (display->loudnessMeter.getMomentaryLoudness(), -300.0f);

    display->nComponentCallback (&display->meteringDisplay, 911, nullptr);
    EXPECT_EQ (display->loudnessMeter.getMomentaryLoudness(), -300.0f);
    EXPECT_EQ (display->loudnessMeter.getIntegratedLoudness(), -300.0f);
    EXPECT_EQ (display->meterBusy.load(), 0);
    EXPECT_EQ (display->meteringDisplay.parent, display.get());
}
