// The device callback driven directly, with output buffers the test owns, so
// every played sample can be checked exactly.
#include "audio/AudioEngine.h"
#include "AllocationCounter.h"
#include "support/RecordingProcessor.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

using testing_support::RecordingProcessor;

namespace
{
constexpr int blockSize = 512;

// Reference for the converting path, written out from the interpolation rule:
// a Bezier segment from s[M] to s[M + 1] with inner control points that
// continue the neighbouring slopes, indices held inside the channel.
float bezierAt (const juce::AudioBuffer<float>& b, int channel, double x)
{
    const int length = b.getNumSamples();
    const auto at = [&] (int i) { return static_cast<double> (b.getSample (channel, std::clamp (i, 0, length - 1))); };
    const int m = static_cast<int> (std::floor (x));
    const double h = x - m;
    if (h == 0.0)
        return static_cast<float> (at (m));
    const double y0 = at (m), y1 = at (m + 1);
    const double p1 = y0 + (y0 - at (m >= 1 ? m - 1 : 0));
    const double p2 = y1 - (at (m + 2) - y1);
    const double a = 1.0 - h;
    return static_cast<float> (a * a * a * y0 + 3 * a * a * h * p1 + 3 * a * h * h * p2 + h * h * h * y1);
}

// Distinct, non-linear values per channel, so a wrong index or a wrong
// channel shows in the output.
juce::AudioBuffer<float> testSignal (int channels, int samples)
{
    return testing_support::makeBuffer (
        channels, samples,
        [] (int c, int i)
        { return 0.5f * static_cast<float> (std::sin (0.013 * i + c)) + 0.25f * static_cast<float> (std::sin (0.31 * i * (c + 1))); });
}
} // namespace

class EngineBlock : public ::testing::Test
{
protected:
    void SetUp() override
    {
        player.engine = engine;
        engine->setPlayer (&player);
        // A start without a device keeps the default 44.1 kHz and makes the
        // level record.
        engine->audioDeviceAboutToStart (nullptr);
    }

    void load (const juce::AudioBuffer<float>& source, double rate, double position = 0.0)
    {
        player.switchPlayBuffer (std::make_shared<juce::AudioBuffer<float>> (source), rate);
        player.playPosition = position;
    }

    void runBlock (int samples = blockSize, int channels = 2)
    {
        engine->audioDeviceIOCallback (nullptr, 0, out.getArrayOfWritePointers(), channels, samples);
    }

    std::shared_ptr<RecordingProcessor> processor = std::make_shared<RecordingProcessor>();
    std::shared_ptr<AudioEngine> engine = std::make_shared<AudioEngine> (processor);
    PlaybackState player;
    juce::AudioBuffer<float> out{2, blockSize};
};

TEST_F (EngineBlock, RatioOneCopiesSourceSamplesFromTheTruncatedPosition)
{
    const auto source = testSignal (2, 4000);
    load (source, 44100.0, 10.75);
    player.playState = PlaybackState::playing;

    runBlock();

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < blockSize; ++i)
            ASSERT_EQ (out.getSample (c, i), source.getSample (c, 10 + i)) << "channel " << c << " sample " << i;
    EXPECT_DOUBLE_EQ (player.playPosition.load(), 10.75 + blockSize);
    EXPECT_EQ (player.playHeadCounter.load(), 1);
}

TEST_F (EngineBlock, MonoSourcePlaysTheSameSamplesOnBothOutputs)
{
    const auto source = testSignal (1, 4000);
    for (const double rate : {44100.0, 48000.0})
    {
        SCOPED_TRACE (rate);
        load (source, rate, 3.0);
        player.playState = PlaybackState::playing;
        runBlock();
        for (int i = 0; i < blockSize; ++i)
        {
            ASSERT_EQ (out.getSample (0, i), out.getSample (1, i));
            ASSERT_NE (out.getSample (0, i), 0.0f);
        }
    }
}

TEST_F (EngineBlock, A48kSourceOnA44kDeviceGoesThroughTheCubic)
{
    const auto source = testSignal (2, 4000);
    const double ratio = 48000.0 / 44100.0;
    for (const double start : {0.0, 100.0, 2000.5})
    {
        SCOPED_TRACE (start);
        load (source, 48000.0, start);
        player.playState = PlaybackState::playing;
        runBlock();

        double largestStepFromLinear = 0.0;
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
            {
                const double x = start + ratio * i;
                ASSERT_NEAR (out.getSample (c, i), bezierAt (source, c, x), 1e-6) << "channel " << c << " sample " << i;
                const int m = static_cast<int> (x);
                const double linear = source.getSample (c, m) + (x - m) * (source.getSample (c, m + 1) - source.getSample (c, m));
                largestStepFromLinear = std::max (largestStepFromLinear, std::abs (out.getSample (c, i) - linear));
            }
        // Not a straight line between neighbours: the curve bends.
        EXPECT_GT (largestStepFromLinear, 1e-4);
        EXPECT_NEAR (player.playPosition.load(), start + ratio * blockSize, 1e-9);
    }
    // On whole positions the curve passes through the samples themselves.
    EXPECT_EQ (AudioEngine::cubicSample (source.getReadPointer (0), 4000, 100.0), source.getSample (0, 100));
}

TEST_F (EngineBlock, VolumeScalesEveryPlayedSampleOnBothPaths)
{
    const auto source = testSignal (2, 4000);
    for (const double rate : {44100.0, 48000.0})
    {
        SCOPED_TRACE (rate);
        load (source, rate, 50.0);
        player.playState = PlaybackState::playing;
        player.volume = 1.0f;
        runBlock();
        juce::AudioBuffer<float> full (out);

        player.playPosition = 50.0;
        player.volume = 0.5f;
        runBlock();
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
                ASSERT_EQ (out.getSample (c, i), full.getSample (c, i) * 0.5f);
    }
}

TEST_F (EngineBlock, RunningPastTheEndSilencesTheRestAndStartsOver)
{
    const auto source = testing_support::makeBuffer (2, 1000, [] (int, int i) { return 0.1f + 0.0005f * static_cast<float> (i); });
    load (source, 44100.0, 800.0);
    player.playState = PlaybackState::playing;

    runBlock();
    // The last index played is L - 2 = 998, reached at i = 198.
    for (int i = 0; i < blockSize; ++i)
    {
        if (i <= 198)
            ASSERT_EQ (out.getSample (0, i), source.getSample (0, 800 + i)) << i;
        else
            ASSERT_EQ (out.getSample (0, i), 0.0f) << i;
    }
    EXPECT_EQ (player.playPosition.load(), 0.0);
    EXPECT_EQ (player.playState.load(), PlaybackState::playing);

    runBlock();
    EXPECT_EQ (out.getSample (0, 0), source.getSample (0, 0));
    EXPECT_EQ (out.getSample (1, 511), source.getSample (1, 511));
}

TEST_F (EngineBlock, LoopWrapsIntoTheSelection)
{
    const auto source = testSignal (1, 100000);
    load (source, 44100.0);
    player.loop = true;
    player.loopStart = 0.25;
    player.loopEnd = 0.5;
    player.playState = PlaybackState::playing;

    // Past the loop end: back to its start.
    player.playPosition = 60000.0;
    runBlock();
    EXPECT_EQ (out.getSample (0, 0), source.getSample (0, 25000));
    EXPECT_EQ (player.playPosition.load(), 25000.0 + blockSize);

    // Before the loop start: this block plays from the loop end, the next
    // one from the loop start.
    player.playPosition = 10000.0;
    runBlock();
    EXPECT_EQ (out.getSample (0, 0), source.getSample (0, 50000));
    EXPECT_EQ (player.playPosition.load(), 50000.0 + blockSize);
    runBlock();
    EXPECT_EQ (out.getSample (0, 0), source.getSample (0, 25000));
    EXPECT_EQ (player.playPosition.load(), 25000.0 + blockSize);
}

TEST_F (EngineBlock, PausedStoppedOrEmptyPlayerStaysSilentAndKeepsItsPlace)
{
    const auto source = testSignal (2, 4000);
    struct Case
    {
        int32_t state;
        bool withBuffer;
    };
    for (const auto& row : {Case{PlaybackState::paused, true}, Case{PlaybackState::stopped, true}, Case{PlaybackState::playing, false}})
    {
        SCOPED_TRACE (row.state);
        if (row.withBuffer)
            load (source, 44100.0);
        else
            player.releasePlayBuffer();
        player.playPosition = 1234.5;
        player.playHeadCounter = 7;
        player.playState = row.state;
        for (int c = 0; c < 2; ++c)
            juce::FloatVectorOperations::fill (out.getWritePointer (c), 0.9f, blockSize);

        runBlock();

        for (int c = 0; c < 2; ++c)
            EXPECT_EQ (out.getMagnitude (c, 0, blockSize), 0.0f);
        EXPECT_EQ (player.playPosition.load(), 1234.5);
        EXPECT_EQ (player.playHeadCounter.load(), 7);
    }
}

TEST_F (EngineBlock, ChainRunsOnlyInRealTimeModeWithTheChainInWhilePlaying)
{
    const auto source = testing_support::makeBuffer (2, 4000, [] (int c, int) { return c == 0 ? 0.25f : -0.125f; });
    struct Case
    {
        int32_t mode;
        bool chainIn;
        int32_t state;
        bool expectChain;
    };
    const Case cases[] = {
        {1, true, PlaybackState::playing, true},
        {0, true, PlaybackState::playing, false},
        {1, false, PlaybackState::playing, false},
        {1, true, PlaybackState::paused, false},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE (::testing::Message() << "mode " << row.mode << " chain " << row.chainIn << " state " << row.state);
        load (source, 44100.0);
        processor->mode = row.mode;
        processor->chainEnabled = row.chainIn;
        player.playState = row.state;
        const int callsBefore = processor->chainCalls.load();
        engine->audioDeviceAboutToStart (nullptr); // fresh levels

        runBlock();

        EXPECT_EQ (processor->chainCalls.load() - callsBefore, row.expectChain ? 1 : 0);
        const float gain = row.expectChain ? 2.0f : 1.0f;
        const float heard = row.state == PlaybackState::playing ? gain : 0.0f;
        EXPECT_EQ (out.getSample (0, 100), 0.25f * heard);
        // The levels follow what is heard, after the chain.
        const auto context = engine->getVisualContext();
        EXPECT_EQ (context->levels[1].load(), 0.25f * heard);
        EXPECT_EQ (context->levels[2].load(), -0.125f * heard);
    }
}

TEST_F (EngineBlock, LevelsTrackLowestAndHighestSamplePerChannel)
{
    auto source = testing_support::makeBuffer (2, 4000, [] (int, int) { return 0.0f; });
    source.setSample (0, 10, 0.6f);
    source.setSample (0, 20, -0.3f);
    source.setSample (1, 30, 0.1f);
    source.setSample (1, 40, -0.8f);
    source.setSample (1, 600, -0.95f); // beyond the first block
    load (source, 44100.0);
    player.playState = PlaybackState::playing;

    runBlock();
    const auto context = engine->getVisualContext();
    ASSERT_NE (context, nullptr);
    EXPECT_EQ (context->channelCount, 2);
    EXPECT_EQ (context->sampleRate, 44100.0);
    EXPECT_EQ (context->levels[0].load(), -0.3f);
    EXPECT_EQ (context->levels[1].load(), 0.6f);
    EXPECT_EQ (context->levels[2].load(), -0.8f);
    EXPECT_EQ (context->levels[3].load(), 0.1f);

    // Levels only widen until the console decays them.
    runBlock();
    EXPECT_EQ (context->levels[1].load(), 0.6f);
    EXPECT_EQ (context->levels[2].load(), -0.95f);
}

TEST_F (EngineBlock, OneOutputDevicePlaysWithoutTouchingASecondChannel)
{
    const auto source = testSignal (2, 4000);
    load (source, 44100.0);
    processor->mode = 1;
    processor->chainEnabled = true;
    player.playState = PlaybackState::playing;

    std::vector<float> only (blockSize, 0.0f), beyond (blockSize, 7.0f);
    float* channels[2] = {only.data(), beyond.data()};
    engine->audioDeviceIOCallback (nullptr, 0, channels, 1, blockSize);

    for (int i = 0; i < blockSize; ++i)
    {
        ASSERT_EQ (only[static_cast<size_t> (i)], source.getSample (0, i));
        ASSERT_EQ (beyond[static_cast<size_t> (i)], 7.0f);
    }
    EXPECT_EQ (processor->chainCalls.load(), 0);
    const auto context = engine->getVisualContext();
    const auto range = juce::FloatVectorOperations::findMinAndMax (source.getReadPointer (0), blockSize);
    EXPECT_EQ (context->levels[0].load(), std::min (0.0f, range.getStart()));
    EXPECT_EQ (context->levels[1].load(), std::max (0.0f, range.getEnd()));
    EXPECT_EQ (context->levels[2].load(), 0.0f);
    EXPECT_EQ (context->levels[3].load(), 0.0f);
}

TEST_F (EngineBlock, NullOutputArrayDoesNothing)
{
    load (testSignal (2, 4000), 44100.0, 5.0);
    player.playState = PlaybackState::playing;
    engine->audioDeviceIOCallback (nullptr, 0, nullptr, 2, blockSize);
    EXPECT_EQ (player.playPosition.load(), 5.0);
    EXPECT_EQ (player.playHeadCounter.load(), 0);
}

TEST_F (EngineBlock, HostileValuesNeverReadOutsideTheBuffer)
{
    const auto source = testSignal (2, 4000);
    struct Case
    {
        const char* what;
        std::function<void (PlaybackState&, AudioEngine&)> spoil;
    };
    const Case cases[] = {
        {"NaN position", [] (PlaybackState& p, AudioEngine&) { p.playPosition = std::nan (""); }},
        {"negative position", [] (PlaybackState& p, AudioEngine&) { p.playPosition = -500.25; }},
        {"infinite position", [] (PlaybackState& p, AudioEngine&) { p.playPosition = INFINITY; }},
        {"loop before the buffer",
         [] (PlaybackState& p, AudioEngine&)
         {
             p.loop = true;
             p.loopStart = -1.0;
             p.loopEnd = -0.5;
             p.playPosition = 100.0;
         }},
        {"NaN loop bounds",
         [] (PlaybackState& p, AudioEngine&)
         {
             p.loop = true;
             p.loopStart = std::nan ("");
             p.loopEnd = std::nan ("");
         }},
        {"device rate 0", [] (PlaybackState&, AudioEngine& e) { e.deviceSampleRate = 0.0; }},
        {"volume above 1", [] (PlaybackState& p, AudioEngine&) { p.volume = 5.0f; }},
        {"NaN volume", [] (PlaybackState& p, AudioEngine&) { p.volume = std::nanf (""); }},
    };
    // The curve lies within the hull of its control points, each at most three
    // times the loudest sample; anything beyond is garbage read from outside.
    const float bound = 3.0f * source.getMagnitude (0, source.getNumSamples());
    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.what);
        load (source, 48000.0);
        player.loop = false;
        player.volume = 1.0f;
        engine->deviceSampleRate = 44100.0;
        player.playState = PlaybackState::playing;
        row.spoil (player, *engine);

        for (int block = 0; block < 3; ++block)
        {
            runBlock();
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < blockSize; ++i)
                    ASSERT_TRUE (std::abs (out.getSample (c, i)) <= bound) << out.getSample (c, i);
            const double position = player.playPosition.load();
            ASSERT_TRUE (std::isfinite (position) && position >= 0.0) << position;
        }
    }
}

TEST (PlaybackStateSwitch, SwitchingBufferKeepsThePointInTime)
{
    PlaybackState player;
    player.switchPlayBuffer (std::make_shared<juce::AudioBuffer<float>> (2, 441000 * 2), 44100.0);
    player.playPosition = 441000.0; // 10 s
    player.switchPlayBuffer (std::make_shared<juce::AudioBuffer<float>> (2, 480000 * 2), 48000.0);
    EXPECT_DOUBLE_EQ (player.playPosition.load(), 480000.0);
    EXPECT_EQ (player.playBufferSampleRate, 48000.0);

    player.releasePlayBuffer();
    EXPECT_EQ (player.playBuffer, nullptr);
    EXPECT_EQ (player.playPosition.load(), 0.0);
}

TEST (PlaybackStateSwitch, APlayerThatGoesAwayDetachesFromTheEngine)
{
    auto engine = std::make_shared<AudioEngine>();
    {
        PlaybackState player;
        player.engine = engine;
        engine->setPlayer (&player);
        EXPECT_EQ (engine->player.load(), &player);
    }
    EXPECT_EQ (engine->player.load(), nullptr);
}

TEST_F (EngineBlock, CallbackNeverAllocates)
{
    if (!AllocationCounter::isAvailable())
        GTEST_SKIP() << "allocation counting is off in sanitizer builds";

    load (testSignal (2, 100000), 48000.0, 30000.0);
    processor->mode = 1;
    processor->chainEnabled = true;
    player.loop = true;
    player.loopStart = 0.25;
    player.loopEnd = 0.5;
    player.playState = PlaybackState::playing;
    runBlock(); // first touch outside the count

    const AllocationCounter counter;
    for (int block = 0; block < 200; ++block)
        runBlock();
    EXPECT_EQ (counter.count(), 0);
    EXPECT_GE (processor->chainCalls.load(), 200);
}
