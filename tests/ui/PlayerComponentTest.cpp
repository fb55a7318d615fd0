// The transport strip with real widgets: presses go through the framework's
// mouse path; the read-out is the real one.
#include "views/PlayerComponent.h"
#include "UiTestSupport.h"
#include "audio/AudioEngine.h"
#include "scenes/UserFeedbackComponent.h"
#include "support/RecordingProcessor.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using testing_support::RecordingProcessor;

namespace
{
std::shared_ptr<juce::AudioBuffer<float>> ramp (int channels, int samples, float offset)
{
    return std::make_shared<juce::AudioBuffer<float>> (
        testing_support::makeBuffer (channels, samples, [offset] (int, int i) { return offset + 1e-6f * static_cast<float> (i); }));
}
} // namespace

class Player : public ::testing::Test
{
protected:
    void SetUp() override
    {
        host.setSize (200, 60);
        host.addAndMakeVisible (player);
        player.setBounds (10, 15, 145, 26);
        player.processor = processor;
        player.feedback = &feedback;
        player.onViewChanged = [this] { ++viewRefreshes; };
        feedback.setSize (1040, 540);
    }

    /** As the main scene does once a file is loaded. */
    void loadSource (int samples, double rate)
    {
        processor->sourceBuffer = ramp (2, samples, 0.25f);
        processor->sourceSampleRate = rate;
        for (auto* b : {&player.playButton, &player.aButton})
        {
            b->setEnabled (true);
            b->updateState();
        }
    }

    void click (QVButton& button) { mouse->click (button.getBounds().getCentre().toFloat() + player.getPosition().toFloat()); }

    std::shared_ptr<RecordingProcessor> processor = std::make_shared<RecordingProcessor>();
    juce::Component host;
    PlayerComponent player;
    UserFeedbackComponent feedback;
    int viewRefreshes = 0;
    std::unique_ptr<ui_test::MouseDriver> mouse = std::make_unique<ui_test::MouseDriver> (host);
};

TEST_F (Player, StartsStoppedWithDisabledButtonsAndFullVolume)
{
    struct Row
    {
        QVButton* button;
        const char* text;
        juce::Rectangle<int> bounds;
        juce::Colour normal, selected;
    };
    for (const auto& row : {Row{&player.playButton, "PLAY", {0, 0, 40, 25}, juce::Colour (0xff114422), juce::Colour (0xff44ff44)},
                            Row{&player.aButton, "A", {75, 0, 25, 25}, juce::Colour (0xff111144), juce::Colour (0xff2288ff)},
                            Row{&player.bButton, "B", {105, 0, 25, 25}, juce::Colour (0xff441111), juce::Colour (0xffff4444)}})
    {
        SCOPED_TRACE (row.text);
        EXPECT_EQ (row.button->text, row.text);
        EXPECT_EQ (row.button->getBounds(), row.bounds);
        EXPECT_FALSE (row.button->isEnabled());
        EXPECT_FALSE (row.button->selected);
        EXPECT_EQ (row.button->currentBackground, row.button->backgroundDisabled);
        EXPECT_EQ (row.button->backgroundNormal, row.normal);
        EXPECT_EQ (row.button->backgroundSelected, row.selected);
    }
    EXPECT_EQ (player.aButton.borderNormal, juce::Colour (0xf22433bb));
    EXPECT_EQ (player.aButton.borderThickness, 0.0f);
    EXPECT_EQ (player.bButton.backgroundHover, juce::Colour (0xffbb2222));
    EXPECT_EQ (player.volumeKnob.getBounds(), juce::Rectangle<int> (45, 0, 25, 25));
    EXPECT_EQ (player.volumeKnob.value, 1.0f);
    EXPECT_EQ (player.volumeKnob.interval, 0.001f);
    EXPECT_EQ (player.volume.load(), 1.0f);
    EXPECT_EQ (player.playState.load(), PlaybackState::stopped);
    EXPECT_EQ (player.playBuffer, nullptr);
    EXPECT_EQ (player.playBufferSampleRate, 44100.0);
}

TEST_F (Player, PlayWithNothingChosenStartsTheSourceFromTheBeginning)
{
    ASSERT_TRUE (mouse->isReady());
    loadSource (100000, 48000.0);

    click (player.playButton);

    EXPECT_TRUE (player.aButton.selected);
    EXPECT_FALSE (player.bButton.selected);
    EXPECT_TRUE (player.playButton.selected);
    EXPECT_EQ (player.playButton.currentBackground, juce::Colour (0xff44ff44));
    EXPECT_EQ (player.playState.load(), PlaybackState::playing);
    EXPECT_EQ (player.playBuffer, processor->sourceBuffer);
    EXPECT_EQ (player.playBufferSampleRate, 48000.0);
    EXPECT_EQ (player.playPosition.load(), 0.0);
    EXPECT_EQ (viewRefreshes, 1);
}

TEST_F (Player, PlayWithoutAnythingToPlayDoesNothing)
{
    ASSERT_TRUE (mouse->isReady());
    // Enabled PLAY, but A is disabled: nothing loaded to fall back on.
    player.playButton.setEnabled (true);
    click (player.playButton);
    EXPECT_EQ (player.playState.load(), PlaybackState::stopped);
    EXPECT_FALSE (player.playButton.selected);
    EXPECT_FALSE (player.aButton.selected);
    EXPECT_EQ (player.playBuffer, nullptr);

    // A enabled but the source is empty.
    player.aButton.setEnabled (true);
    click (player.playButton);
    EXPECT_EQ (player.playState.load(), PlaybackState::stopped);
    EXPECT_EQ (player.playBuffer, nullptr);
}

TEST_F (Player, PlayPausesAndResumesWhereItWas)
{
    ASSERT_TRUE (mouse->isReady());
    loadSource (100000, 44100.0);
    click (player.playButton);
    player.playPosition = 1234.5;
    player.playHeadCounter = 9;

    click (player.playButton);
    EXPECT_EQ (player.playState.load(), PlaybackState::paused);
    EXPECT_FALSE (player.playButton.selected);
    EXPECT_EQ (player.playPosition.load(), 1234.5);

    click (player.playButton);
    EXPECT_EQ (player.playState.load(), PlaybackState::playing);
    EXPECT_TRUE (player.playButton.selected);
    EXPECT_EQ (player.playPosition.load(), 1234.5);
    EXPECT_EQ (player.playHeadCounter.load(), 9);
}

TEST_F (Player, ProcessModeABSwitchBuffersAtTheSamePointInTime)
{
    ASSERT_TRUE (mouse->isReady());
    processor->mode = 0;
    loadSource (44100 * 20, 44100.0);
    processor->processedBuffer = ramp (2, 48000 * 20, -0.25f);
    processor->processingSampleRate = 48000.0;
    player.bButton.setEnabled (true);
    click (player.playButton);
    player.playPosition = 441000.0; // 10 s

    click (player.bButton);
    EXPECT_TRUE (player.bButton.selected);
    EXPECT_FALSE (player.aButton.selected);
    EXPECT_EQ (player.playBuffer, processor->processedBuffer);
    EXPECT_EQ (player.playBufferSampleRate, 48000.0);
    EXPECT_DOUBLE_EQ (player.playPosition.load(), 480000.0);
    EXPECT_EQ (player.playState.load(), PlaybackState::playing);

    click (player.aButton);
    EXPECT_TRUE (player.aButton.selected);
    EXPECT_FALSE (player.bButton.selected);
    EXPECT_EQ (player.playBuffer, processor->sourceBuffer);
    EXPECT_DOUBLE_EQ (player.playPosition.load(), 441000.0);
    EXPECT_EQ (viewRefreshes, 3);
    // Process mode never touches the chain switch.
    EXPECT_TRUE (processor->chainEnabled.load());
}

TEST_F (Player, DisabledABPressesAreIgnored)
{
    ASSERT_TRUE (mouse->isReady());
    processor->mode = 0;
    loadSource (1000, 44100.0);
    processor->processedBuffer = ramp (2, 1000, 0.5f);
    click (player.bButton); // B disabled
    EXPECT_FALSE (player.bButton.selected);
    EXPECT_EQ (player.playBuffer, nullptr);
    EXPECT_EQ (viewRefreshes, 0);
}

TEST_F (Player, RealTimeModeABSwitchTheChainWithoutTouchingTheBuffer)
{
    ASSERT_TRUE (mouse->isReady());
    processor->mode = 1;
    loadSource (100000, 44100.0);
    player.bButton.setEnabled (true);
    click (player.playButton);
    const auto playing = player.playBuffer;

    click (player.aButton);
    EXPECT_FALSE (processor->chainEnabled.load());
    EXPECT_EQ (feedback.area.text, "CHAIN OFF");
    EXPECT_TRUE (player.aButton.selected);
    EXPECT_FALSE (player.bButton.selected);
    EXPECT_EQ (player.playBuffer, playing);

    click (player.bButton);
    EXPECT_TRUE (processor->chainEnabled.load());
    EXPECT_EQ (feedback.area.text, "CHAIN ON");
    EXPECT_EQ (feedback.level, feedback.startLevel);
    EXPECT_TRUE (player.bButton.selected);
    EXPECT_FALSE (player.aButton.selected);
    EXPECT_EQ (player.playBuffer, playing);
}

TEST_F (Player, VolumeKnobSetsTheVolumeAndShowsItInPercent)
{
    struct Row
    {
        float value;
        const char* text;
    };
    feedback.corner = 2;
    for (const auto& row : {Row{0.333f, "Vol: 33%"}, Row{0.75f, "Vol: 75%"}, Row{0.0f, "Vol: 0%"}, Row{1.0f, "Vol: 100%"}})
    {
        player.volumeKnob.value = row.value;
        player.qvKnobValueChanged (&player.volumeKnob);
        EXPECT_EQ (player.volume.load(), row.value);
        EXPECT_EQ (feedback.area.text, row.text);
    }
    EXPECT_EQ (feedback.corner, 2);
}

TEST_F (Player, VolumeKnobDragReachesThePlayer)
{
    ASSERT_TRUE (mouse->isReady());
    const auto centre = player.volumeKnob.getBounds().getCentre().toFloat() + player.getPosition().toFloat();
    mouse->press (centre);
    mouse->dragTo (centre + juce::Point<float> (0.0f, 100.0f)); // down: half the range off
    mouse->release (centre + juce::Point<float> (0.0f, 100.0f));
    EXPECT_NEAR (player.volume.load(), 0.5f, 0.001f);
    EXPECT_EQ (player.volume.load(), player.volumeKnob.value);
    EXPECT_TRUE (feedback.area.text.startsWith ("Vol: "));
}

TEST_F (Player, StopAllSilencesAndDisablesEverything)
{
    ASSERT_TRUE (mouse->isReady());
    loadSource (100000, 44100.0);
    player.bButton.setEnabled (true);
    click (player.playButton);
    player.playPosition = 5000.0;

    player.stopAll();

    for (auto* b : {&player.playButton, &player.aButton, &player.bButton})
    {
        EXPECT_FALSE (b->isEnabled());
        EXPECT_FALSE (b->selected);
        EXPECT_EQ (b->currentBackground, b->backgroundDisabled);
    }
    EXPECT_EQ (player.playState.load(), PlaybackState::stopped);
    EXPECT_EQ (player.playBuffer, nullptr);
    EXPECT_EQ (player.playPosition.load(), 0.0);
}

TEST_F (Player, TheEnginePlaysWhatThePlayerChose)
{
    ASSERT_TRUE (mouse->isReady());
    auto engine = std::make_shared<AudioEngine> (processor);
    player.engine = engine;
    engine->setPlayer (&player);
    processor->mode = 0;
    loadSource (100000, 44100.0);
    player.volumeKnob.value = 0.5f;
    player.qvKnobValueChanged (&player.volumeKnob);
    click (player.playButton);

    juce::AudioBuffer<float> out (2, 256);
    engine->audioDeviceIOCallback (nullptr, 0, out.getArrayOfWritePointers(), 2, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ (out.getSample (1, i), processor->sourceBuffer->getSample (1, i) * 0.5f);
    EXPECT_EQ (player.playPosition.load(), 256.0);

    click (player.playButton); // pause
    engine->audioDeviceIOCallback (nullptr, 0, out.getArrayOfWritePointers(), 2, 256);
    EXPECT_EQ (out.getMagnitude (0, 256), 0.0f);
    EXPECT_EQ (player.playPosition.load(), 256.0);
    engine->setPlayer (nullptr);
}
