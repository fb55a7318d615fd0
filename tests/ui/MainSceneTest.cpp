// The main scene with a real processor and a real engine on a JACK dummy
// device (started by the test script). The scene's 50 ms timer is driven by
// hand, so every step is deterministic; message boxes and the file chooser
// are answered through the scene's hooks.
#include "scenes/MainScene.h"
#include "UiTestSupport.h"
#include "audio/AudioEngine.h"
#include "engine/ProcessorTypeI.h"
#include "resources/Palette.h"
#include "support/JackServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

using testing_support::TempFolder;
using ui_test::MouseDriver;

namespace
{
/** The real processor, counting the settings calls the scene makes. */
class CountingProcessor : public ProcessorTypeI
{
public:
    void settingsChanged() override
    {
        ++settingsCalls;
        ProcessorTypeI::settingsChanged();
    }
    void initRealTimeSettings (double sampleRate) override
    {
        setUpRates.push_back (sampleRate);
        ProcessorTypeI::initRealTimeSettings (sampleRate);
    }

    int settingsCalls = 0;
    std::vector<double> setUpRates;
};

struct Message
{
    juce::String title, text;
};

juce::Point<float> centreOf (const juce::Component& c) { return c.getBounds().getCentre().toFloat(); }

/** A point inside a view, in scene coordinates. */
juce::Point<float> inView (const juce::Component& view, float x) { return {static_cast<float> (view.getX()) + x, view.getY() + 60.0f}; }

void savePng (const juce::Image& image, const juce::String& name)
{
    const juce::File file (juce::String (QUORVEL_TEST_BUILD_DIR) + "/" + name);
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
}

class MainSceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (testing_support::jackServerAnswers()) << "no default JACK server: run through scripts/test.sh";

        // Mid-range controls and the fastest quality keep the runs short.
        for (auto& p : IProcessor::UserParams)
            p = 0.5f;
        IProcessor::UserParams[IProcessor::quality] = 0.0f;
        IProcessor::UserParams[IProcessor::ceiling] = -1.0f;
        IProcessor::UserParams[IProcessor::truePeak] = 0.0f;

        // Wired as the main component wires them.
        processor = std::make_shared<CountingProcessor>();
        engine = std::make_shared<AudioEngine> (processor);
        scene = std::make_unique<MainScene> (processor);
        scene->processingScene.processor = processor;
        scene->player.processor = processor;
        engine->realTimeDisplay = scene->realTimeDisplay;
        scene->setBounds (0, 0, 1040, 540);
        engine->deviceManager.initialise (0, 2, nullptr, true);
        engine->deviceManager.addAudioCallback (engine.get());
        scene->player.engine = engine;
        engine->setPlayer (&scene->player);
        engine->setMainScene (scene.get());

        scene->confirm = [this] (const juce::String& title, const juce::String& text)
        {
            questions.push_back ({title, text});
            return answer;
        };
        scene->inform = [this] (const juce::String& title, const juce::String& text) { notices.push_back ({title, text}); };
        scene->chooseSourceFile = [this]
        {
            ++chooserOpened;
            return chosenFile;
        };
    }

    void TearDown() override
    {
        if (processor != nullptr)
        {
            processor->stopExecution();
            waitFor (
                [this]
                { return processor->state.load() != IProcessor::stateLoading && processor->state.load() != IProcessor::stateRunning; });
        }
        engine = nullptr;
        scene = nullptr;
        processor = nullptr;
    }

    static bool waitFor (const std::function<bool()>& condition, int timeoutMs = 60000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
        while (!condition())
        {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for (std::chrono::milliseconds (5));
        }
        return true;
    }

    /** Runs the scene's timer until `condition` holds; `eachTick` sees every tick. */
    bool tickUntil (const std::function<bool()>& condition, const std::function<void()>& eachTick = {}, int timeoutMs = 120000)
    {
        return waitFor (
            [&]
            {
                scene->timerCallback();
                if (eachTick)
                    eachTick();
                return condition();
            },
            timeoutMs);
    }

    void tick (int times = 1)
    {
        for (int i = 0; i < times; ++i)
            scene->timerCallback();
    }

    juce::File writeTrack (const juce::String& name, double seconds, double rate = 44100.0)
    {
        const auto file = folder.getFile (name);
        const int n = static_cast<int> (seconds * rate);
        auto buffer = testing_support::makeBuffer (
            2, n,
            [rate] (int c, int i)
            {
                // Channel 0, the one drawn, is a slow sine: red dots.
                const double w = 2.0 * juce::MathConstants<double>::pi * i / rate;
                return static_cast<float> (c == 0 ? 0.5 * std::sin (110.0 * w) : 0.3 * std::sin (110.0 * w) + 0.2 * std::sin (3000.0 * w));
            });
        EXPECT_TRUE (testing_support::writeAudioFile (file, buffer, rate, 24));
        return file;
    }

    bool sourceReady()
    {
        return scene->sourceView.getDrawingState() == WaveFormView::shown && scene->processButton.isEnabled()
               && scene->player.playButton.isEnabled();
    }

    bool resultReady()
    {
        return scene->processedView.getDrawingState() == WaveFormView::shown && scene->saveButton.isEnabled()
               && scene->player.bButton.isEnabled();
    }

    /** Drops the file on the scene and follows the load to a drawn waveform. */
    void load (const juce::File& file)
    {
        scene->filesDropped ({file.getFullPathName()}, 300, 100);
        ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateLoaded && sourceReady(); }));
    }

    /** Presses P, answers OK and follows the run to a drawn result. */
    void process()
    {
        answer = true;
        EXPECT_TRUE (scene->keyPressed (juce::KeyPress ('p'), scene.get()));
        ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateFinished && resultReady(); }));
    }

    bool press (const juce::KeyPress& key) { return scene->keyPressed (key, scene.get()); }

    std::shared_ptr<CountingProcessor> processor;
    std::shared_ptr<AudioEngine> engine;
    std::unique_ptr<MainScene> scene;
    TempFolder folder;

    bool answer = false;
    std::vector<Message> questions;
    std::vector<Message> notices;
    int chooserOpened = 0;
    juce::File chosenFile;
};
} // namespace

//==============================================================================
TEST_F (MainSceneTest, LaysOutTheWindowSize)
{
    auto& s = *scene;
    const std::vector<std::pair<juce::Component*, juce::Rectangle<int>>> table{
        {&s.logo, {490, -2, 80, 80}},
        {&s.sourceView, {12, 68, 866, 120}},
        {&s.dropHint, {12, 68, 866, 120}},
        {&s.processedView, {12, 190, 866, 120}},
        {&s.processHint, {12, 190, 866, 120}},
        {s.realTimeDisplay.get(), {12, 190, 866, 120}},
        {&s.sampleRateLabel, {20, 487, 84, 43}},
        {&s.sampleRateBox, {104, 496, 180, 25}},
        {&s.ceilingLabel, {462, 487, 54, 43}},
        {&s.ceilingSlider, {521, 495, 280, 27}},
        {&s.truePeakButton, {806, 498, 64, 21}},
        {&s.player, {10, 15, 145, 26}},
        {&s.presetBox, {155, 15, 244, 26}},
        {&s.savePresetButton, {404, 15, 35, 26}},
        {&s.erasePresetButton, {444, 15, 35, 26}},
        {&s.processLabel, {613, 0, 54, 56}},
        {&s.modeToggle, {667, 19, 32, 18}},
        {&s.realtimeLabel, {699, 0, 54, 56}},
        {&s.saveButton, {773, 15, 60, 26}},
        {&s.processButton, {838, 15, 60, 26}},
        {&s.optionsNavButton, {918, 0, 56, 56}},
        {&s.browseNavButton, {974, 0, 56, 56}},
        {s.icon.get(), {375, 146, 140, 140}},
        {&s.processingScene, {0, 0, 1040, 540}},
        {&s.feedback, {0, 0, 1040, 540}},
    };
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ (table[i].first->getBounds(), table[i].second) << "row " << i;

    EXPECT_EQ (s.getHeaderBand(), juce::Rectangle<int> (0, 0, 1040, 56));
    EXPECT_EQ (s.getWaveformPanel(), juce::Rectangle<int> (10, 66, 870, 246));
    EXPECT_EQ (s.getKnobPanel(), juce::Rectangle<int> (10, 322, 870, 155));
    EXPECT_EQ (s.getBottomBar(), juce::Rectangle<int> (10, 487, 870, 43));

    const int knobX[] = {64, 166, 269, 372, 475, 578, 681, 784};
    const std::array<QVKnobLabel*, 8> labels{&s.lowCutLabel,     &s.lowGainLabel,  &s.bodyGainLabel,    &s.clarityLabel,
                                             &s.brightnessLabel, &s.loudnessLabel, &s.compressionLabel, &s.qualityLabel};
    for (size_t i = 0; i < 8; ++i)
    {
        EXPECT_EQ (s.knobs()[i]->getBounds(), juce::Rectangle<int> (knobX[i], 372, 50, 50)) << i;
        EXPECT_EQ (labels[i]->getBounds(), juce::Rectangle<int> (knobX[i] - 25, 347, 100, 100)) << i;
    }

    // Painted: the bands in their colours, the orange centre of the header.
    const auto image = ui_test::render (s);
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (5, 300), Resources::BackgroundClr));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (300, 5), Resources::PanelDark));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (489, 50), Resources::Orange));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (11, 67), Resources::PanelLight));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (15, 330), Resources::PanelLight));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (15, 528), Resources::PanelLight));
}

TEST_F (MainSceneTest, ClampsTheBandsAtOtherSizes)
{
    for (const auto size : {juce::Point<int> (600, 300), juce::Point<int> (300, 120), juce::Point<int> (1400, 900)})
    {
        scene->setSize (size.x, size.y);
        SCOPED_TRACE (size.toString());
        for (const auto& band : {scene->getHeaderBand(), scene->getWaveformPanel(), scene->getKnobPanel(), scene->getBottomBar()})
        {
            EXPECT_GE (band.getWidth(), 0);
            EXPECT_GE (band.getHeight(), 0);
            EXPECT_LE (band.getBottom(), juce::jmax (size.y, band.getY()));
        }
        EXPECT_LE (scene->getWaveformPanel().getHeight(), 246);
        EXPECT_LE (scene->getKnobPanel().getHeight(), 155);
        EXPECT_LE (scene->sourceView.getHeight(), 120);
        EXPECT_LE (scene->processedView.getHeight(), 120);
        EXPECT_GE (scene->processedView.getHeight(), 0);
    }
    // With room to spare the bands keep their heights and the bar takes the rest.
    EXPECT_EQ (scene->getWaveformPanel(), juce::Rectangle<int> (10, 66, 1230, 246));
    EXPECT_EQ (scene->getBottomBar(), juce::Rectangle<int> (10, 487, 1230, 403));
}

TEST_F (MainSceneTest, StartsWithTheControlsOfTheTable)
{
    auto& s = *scene;
    EXPECT_FALSE (s.processButton.isEnabled());
    EXPECT_FALSE (s.saveButton.isEnabled());
    EXPECT_TRUE (s.modeToggle.isEnabled());
    EXPECT_TRUE (s.dropHint.isVisible());
    EXPECT_TRUE (s.icon->isVisible());
    EXPECT_FALSE (s.processHint.isVisible());
    EXPECT_FALSE (s.processingScene.isVisible());
    EXPECT_EQ (s.processButton.backgroundNormal, Resources::Green);
    EXPECT_EQ (s.processButton.currentBackground, s.processButton.backgroundDisabled);
    EXPECT_EQ (s.processButton.text, "PROCESS");
    EXPECT_EQ (s.saveButton.backgroundNormal, Resources::Purple);
    EXPECT_EQ (s.dropHint.text, "Drag and Drop source audio file here or click browse!");
    EXPECT_EQ (s.processHint.text, "Highlight and process or process the entire track!");
    EXPECT_EQ (s.processLabel.getText(), "PROCESS");
    EXPECT_EQ (s.realtimeLabel.getText(), "REALTIME");
    EXPECT_EQ (s.browseNavButton.kind, 3);
    EXPECT_EQ (s.optionsNavButton.kind, 2);

    // TRUE PEAK: green when on, green darkened by 0.4 (bytes / 1.4, truncated) when off.
    EXPECT_EQ (s.truePeakButton.backgroundNormal, juce::Colour (0xff67880f));
    EXPECT_EQ (s.truePeakButton.backgroundSelected, Resources::Green);

    EXPECT_EQ (s.sampleRateBox.getSelectedId(), 5);
    const std::vector<std::pair<int, juce::String>> rates{
        {5, "Same as source"}, {1, "44.1 khz"}, {2, "48.0 khz"}, {3, "88.2 khz"}, {4, "96.0 khz"}};
    ASSERT_EQ (s.sampleRateBox.getNumItems(), 5);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ (s.sampleRateBox.getItemId (i), rates[static_cast<size_t> (i)].first);
        EXPECT_EQ (s.sampleRateBox.getItemText (i), rates[static_cast<size_t> (i)].second);
    }

    EXPECT_DOUBLE_EQ (s.ceilingSlider.getMinimum(), -6.0);
    EXPECT_DOUBLE_EQ (s.ceilingSlider.getMaximum(), 0.0);
    EXPECT_DOUBLE_EQ (s.ceilingSlider.getInterval(), 0.01);
    EXPECT_NEAR (s.ceilingSlider.valueToProportionOfLength (-1.5), 0.5, 1e-9);
    EXPECT_EQ (s.ceilingSlider.getTextValueSuffix(), " db");

    struct Knob
    {
        const char* title;
        int ticks;
        const char* firstTick;
        float interval, value;
    };
    const Knob table[] = {{"LOW FREQ CUT", 7, "0hz", 0.001f, 0.25f}, {"SUB ENHANCE", 5, "-6db", 0.001f, 0.7f},
                          {"BODY LEVEL", 5, "-4db", 0.001f, 0.25f},  {"CLARITY", 5, "-20%", 0.001f, 0.5f},
                          {"BRIGHTNESS", 5, "-4db", 0.001f, 0.45f},  {"LOUDNESS", 5, "0db", 0.001f, 0.33f},
                          {"COMPRESSION", 5, "1.0x", 0.001f, 0.15f}, {"QUALITY", 5, "Fast", 0.25f, 0.75f}};
    const std::array<QVKnobLabel*, 8> labels{&s.lowCutLabel,     &s.lowGainLabel,  &s.bodyGainLabel,    &s.clarityLabel,
                                             &s.brightnessLabel, &s.loudnessLabel, &s.compressionLabel, &s.qualityLabel};
    for (size_t i = 0; i < 8; ++i)
    {
        SCOPED_TRACE (table[i].title);
        const auto& knob = *s.knobs()[i];
        EXPECT_EQ (labels[i]->title, table[i].title);
        EXPECT_EQ (labels[i]->knob, &knob);
        EXPECT_EQ (labels[i]->tickCount, table[i].ticks);
        EXPECT_EQ (labels[i]->ticks.front(), table[i].firstTick);
        EXPECT_EQ (knob.parameterIndex, static_cast<int> (i));
        EXPECT_FLOAT_EQ (knob.interval, table[i].interval);
        EXPECT_FLOAT_EQ (knob.value, table[i].value);
        EXPECT_EQ (knob.listener, &s);
    }
}

TEST (MainSceneFtos, RoundsAndTrims)
{
    const struct
    {
        float v;
        int n;
        const char* text;
    } cases[] = {{20.0f, 0, "20"},   {1.5f, 1, "1.5"},  {-0.3f, 1, "-0.3"}, {2.25f, 1, "2.3"},        {-2.25f, 1, "-2.3"}, {1.0f, 1, "1"},
                 {-1.5f, 2, "-1.5"}, {29.97f, 0, "30"}, {-0.04f, 1, "0"},   {123456.7f, 1, "123457"}, {0.001f, 2, "0"},    {3.0f, 1, "3"}};
    for (const auto& c : cases)
        EXPECT_EQ (MainScene::ftos (c.v, c.n), c.text) << c.v << " with " << c.n;
}

TEST_F (MainSceneTest, KnobDragsWriteTheParametersAndShowReadOuts)
{
    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());

    const struct
    {
        QVKnob* knob;
        float dy; // upwards is positive
        IProcessor::Param param;
        float stored;
        const char* text;
        int corner;
    } cases[] = {
        {&scene->lowCutKnob, 50.0f, IProcessor::lowCut, 0.5f, "Frq: 30hz", 1},
        {&scene->lowGainKnob, -40.0f, IProcessor::lowGain, 0.5f, "Gain: 0dB", 1},
        {&scene->bodyGainKnob, 100.0f, IProcessor::bodyGain, 0.75f, "Gain: 2dB", 1},
        {&scene->clarityKnob, 10.0f, IProcessor::clarity, 0.55f, "Amt: 2%", 1},
        {&scene->brightnessKnob, -90.0f, IProcessor::brightness, 0.0f, "Gain: -4dB", 0},
        {&scene->loudnessKnob, 200.0f, IProcessor::loudness, 1.0f, "Gain: 8dB", 0},
        {&scene->compressionKnob, -200.0f, IProcessor::compression, 0.0f, "Multi: 1(x)", 0},
        {&scene->compressionKnob, 400.0f, IProcessor::compression, 1.0f, "Multi: 3(x)", 0},
        {&scene->qualityKnob, -30.0f, IProcessor::quality, 0.5f, "Amt: 50%", 0}, // raw 0.6 snaps to 0.5
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text);
        const int callsBefore = processor->settingsCalls;
        const auto start = centreOf (*c.knob);
        mouse.press (start);
        mouse.dragTo (start.translated (0.0f, -c.dy));
        mouse.release (start.translated (0.0f, -c.dy));

        EXPECT_FLOAT_EQ (c.knob->value, c.stored);
        EXPECT_FLOAT_EQ (IProcessor::UserParams[c.param].load(), c.stored);
        EXPECT_EQ (scene->feedback.area.text, c.text);
        EXPECT_EQ (scene->feedback.corner, c.corner);
        EXPECT_EQ (processor->settingsCalls, callsBefore + 1);
    }

    // A drag event that leaves the value where it was still notifies once per event.
    const int callsBefore = processor->settingsCalls;
    const auto start = centreOf (scene->loudnessKnob);
    mouse.press (start);
    mouse.dragTo (start.translated (0.0f, -20.0f)); // already at 1
    mouse.dragTo (start.translated (0.0f, -30.0f));
    mouse.release (start);
    EXPECT_EQ (processor->settingsCalls, callsBefore + 2);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::loudness].load(), 1.0f);
}

TEST_F (MainSceneTest, CeilingSliderAndTruePeakSwitch)
{
    const int callsBefore = processor->settingsCalls;
    scene->ceilingSlider.setValue (-1.5, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::ceiling].load(), -1.5f);
    EXPECT_EQ (scene->feedback.area.text, "Ceil: -1.5dB");
    EXPECT_EQ (scene->feedback.corner, 1);
    EXPECT_EQ (processor->settingsCalls, callsBefore);

    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());
    const auto firstLook = scene->truePeakButton.currentBackground;
    mouse.click (centreOf (scene->truePeakButton));
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::truePeak].load(), 1.0f);
    EXPECT_TRUE (scene->truePeakButton.selected);
    EXPECT_EQ (scene->truePeakButton.currentBackground, Resources::Green);

    mouse.click (centreOf (scene->truePeakButton));
    mouse.leave();
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::truePeak].load(), 0.0f);
    EXPECT_FALSE (scene->truePeakButton.selected);
    EXPECT_EQ (scene->truePeakButton.currentBackground, firstLook);
    EXPECT_EQ (processor->settingsCalls, callsBefore);

    // A disabled switch ignores presses.
    scene->truePeakButton.setEnabled (false);
    mouse.click (centreOf (scene->truePeakButton));
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::truePeak].load(), 0.0f);
}

TEST_F (MainSceneTest, LoadingARealFileDrawsItAndEnablesTheTransport)
{
    const auto file = writeTrack ("song.WAV", 10.0); // capitals are accepted
    const auto other = writeTrack ("other.wav", 1.0);
    scene->filesDropped ({file.getFullPathName(), other.getFullPathName()}, 300, 100);

    // At once: hints gone, views dimmed, the switch locked, the transport silent.
    EXPECT_FALSE (scene->dropHint.isVisible());
    EXPECT_FALSE (scene->icon->isVisible());
    EXPECT_EQ (MainScene::transparencyOf (scene->sourceView), 77);
    EXPECT_EQ (MainScene::transparencyOf (scene->processedView), 77);
    EXPECT_FALSE (scene->modeToggle.isEnabled());
    EXPECT_FALSE (scene->processButton.isEnabled());
    EXPECT_FALSE (scene->player.playButton.isEnabled());
    EXPECT_EQ (processor->listener.load(), scene.get());
    ASSERT_NE (processor->sourceFile, nullptr);
    EXPECT_EQ (*processor->sourceFile, file); // the first of the dropped files
    ASSERT_NE (processor->processedBuffer, nullptr);
    EXPECT_EQ (processor->processedBuffer->getNumSamples(), 0);

    ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateLoaded && sourceReady(); }));

    EXPECT_EQ (scene->sourceView.getBuffer(), processor->sourceBuffer);
    EXPECT_EQ (processor->sourceBuffer->getNumSamples(), 441000);
    EXPECT_TRUE (scene->modeToggle.isEnabled());
    EXPECT_TRUE (scene->player.aButton.isEnabled());
    EXPECT_TRUE (scene->player.aButton.selected);
    EXPECT_FALSE (scene->player.bButton.isEnabled());
    EXPECT_FALSE (scene->saveButton.isEnabled());
    EXPECT_TRUE (scene->processHint.isVisible());
    EXPECT_FALSE (scene->realTimeDisplay->isVisible());
    EXPECT_EQ (scene->player.playBuffer, processor->sourceBuffer);
    // The result's view stays dimmed as the load left it.
    EXPECT_EQ (MainScene::transparencyOf (scene->sourceView), 0);
    EXPECT_EQ (MainScene::transparencyOf (scene->processedView), 77);
    EXPECT_EQ (scene->feedback.area.text, "PROCESS MODE");
    EXPECT_TRUE (notices.empty());

    // The picture is drawn: the sine of peak 0.5 fills the rows within half
    // the amplitude scale around the centre line, and nothing beyond them.
    const auto image = ui_test::render (*scene);
    const int centre = 68 + 60, half = static_cast<int> (0.5 * 54.0);
    int inside = 0, outside = 0;
    for (int x = 20; x < 870; x += 7)
    {
        inside += image.getPixelAt (x, centre - half + 3).getBrightness() > 0.5f ? 1 : 0;
        inside += image.getPixelAt (x, centre + half - 3).getBrightness() > 0.5f ? 1 : 0;
        outside += image.getPixelAt (x, centre - half - 6).getBrightness() > 0.1f ? 1 : 0;
        outside += image.getPixelAt (x, centre + half + 6).getBrightness() > 0.1f ? 1 : 0;
    }
    EXPECT_GT (inside, 200);
    EXPECT_EQ (outside, 0);
    savePng (image, "main-scene-loaded.png");
}

TEST_F (MainSceneTest, OfflineRunThroughProcessEndsWithAResultToCompare)
{
    load (writeTrack ("song.wav", 4.0));
    scene->player.playState = PlaybackState::playing;
    scene->player.playButton.selected = true;

    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());
    answer = true;
    mouse.click (centreOf (scene->processButton));

    ASSERT_EQ (questions.size(), 1u);
    EXPECT_EQ (questions[0].title, "Process entire track!");
    EXPECT_EQ (questions[0].text, "You are about to process this track. This process may take a while depending on your selected quality "
                                  "setting. Please note any previous processing will be overwritten!\n\nContinue?");
    EXPECT_EQ (scene->player.playState.load(), PlaybackState::stopped);
    EXPECT_FALSE (scene->player.playButton.selected);
    EXPECT_FALSE (processor->selectionActive);
    EXPECT_FALSE (scene->processHint.isVisible());

    bool overlayShown = false, processDisabled = false;
    ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateFinished && resultReady(); },
                            [&]
                            {
                                overlayShown = overlayShown || scene->processingScene.isVisible();
                                processDisabled = processDisabled || !scene->processButton.isEnabled();
                            }));
    EXPECT_TRUE (overlayShown);
    EXPECT_TRUE (processDisabled);
    EXPECT_FALSE (scene->processingScene.isVisible());
    EXPECT_DOUBLE_EQ (processor->processingSampleRate.load(), 44100.0); // "Same as source"
    EXPECT_EQ (scene->processedView.getBuffer(), processor->processedBuffer);
    for (auto* button :
         {&scene->player.aButton, &scene->player.bButton, &scene->player.playButton, &scene->saveButton, &scene->processButton})
        EXPECT_TRUE (button->isEnabled()) << button->text;
    EXPECT_TRUE (notices.empty());

    // The down arrow makes the result current, the up arrow the source.
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_EQ (scene->player.playBuffer, processor->processedBuffer);
    EXPECT_TRUE (scene->player.bButton.selected);
    EXPECT_FALSE (scene->player.aButton.selected);
    EXPECT_EQ (MainScene::transparencyOf (scene->sourceView), 127);
    EXPECT_EQ (MainScene::transparencyOf (scene->processedView), 0);
    savePng (ui_test::render (*scene), "main-scene-processed.png");

    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::upKey)));
    EXPECT_EQ (scene->player.playBuffer, processor->sourceBuffer);
    EXPECT_TRUE (scene->player.aButton.selected);
    EXPECT_EQ (MainScene::transparencyOf (scene->sourceView), 0);
    EXPECT_EQ (MainScene::transparencyOf (scene->processedView), 127);

    // A second run at a chosen rate.
    scene->sampleRateBox.setSelectedId (2, juce::sendNotificationSync);
    process();
    EXPECT_DOUBLE_EQ (processor->processingSampleRate.load(), 48000.0);
    // 176400 samples taken to 48 kHz: 192000.00000000003, rounded up.
    EXPECT_EQ (processor->processedBuffer->getNumSamples(), 192001);
}

TEST_F (MainSceneTest, CancellingTheQuestionLeavesProcessModeAndAStoppedPlayer)
{
    load (writeTrack ("song.wav", 2.0));
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::spaceKey)));
    ASSERT_EQ (scene->player.playState.load(), PlaybackState::playing);
    scene->nComponentCallback (&scene->modeToggle, 0, nullptr);
    ASSERT_EQ (processor->mode.load(), 1);

    answer = false;
    EXPECT_TRUE (press (juce::KeyPress ('P')));
    ASSERT_EQ (questions.size(), 1u);
    EXPECT_EQ (processor->mode.load(), 0);
    EXPECT_FALSE (scene->modeToggle.value);
    EXPECT_EQ (scene->player.playState.load(), PlaybackState::stopped);
    EXPECT_FALSE (scene->player.playButton.selected);
    tick (3);
    EXPECT_EQ (processor->state.load(), IProcessor::stateLoaded);
    EXPECT_FALSE (scene->processingScene.isVisible());

    // "p" asks as well; PROCESS while nothing is ready switches mode and stops, no more.
    EXPECT_TRUE (press (juce::KeyPress ('p')));
    EXPECT_EQ (questions.size(), 2u);
    processor->state = IProcessor::stateLoading;
    EXPECT_TRUE (press (juce::KeyPress ('p')));
    EXPECT_EQ (questions.size(), 2u);
    processor->state = IProcessor::stateLoaded;

    // A disabled PROCESS ignores the key altogether.
    scene->processButton.setEnabled (false);
    EXPECT_TRUE (press (juce::KeyPress ('p')));
    EXPECT_EQ (questions.size(), 2u);
}

TEST_F (MainSceneTest, StopDuringARunReturnsToTheLoadedTrack)
{
    IProcessor::UserParams[IProcessor::quality] = 1.0f; // the slowest run
    load (writeTrack ("long.wav", 60.0));

    answer = true;
    EXPECT_TRUE (press (juce::KeyPress ('p')));
    ASSERT_TRUE (tickUntil ([this] { return scene->processingScene.isVisible(); }));
    EXPECT_EQ (processor->state.load(), IProcessor::stateRunning);

    // The overlay takes every click; its CANCEL stops the run.
    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());
    mouse.click (centreOf (scene->processButton));
    EXPECT_EQ (questions.size(), 1u);
    mouse.click ({324.0f, 229.0f});

    ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateLoaded && sourceReady(); }));
    EXPECT_FALSE (scene->processingScene.isVisible());
    EXPECT_TRUE (scene->processButton.isEnabled());
    // The unfinished result is not offered for listening.
    EXPECT_FALSE (scene->player.bButton.isEnabled());
    EXPECT_FALSE (scene->saveButton.isEnabled());
    EXPECT_EQ (processor->processedBuffer->getNumSamples(), 0);
    EXPECT_TRUE (scene->player.aButton.isEnabled());

    // The track can be processed again.
    IProcessor::UserParams[IProcessor::quality] = 0.0f;
    process();
}

TEST_F (MainSceneTest, KeysPlayPauseLoopAndSwitchOnlyInProcessMode)
{
    // Every key is consumed, with or without an action.
    EXPECT_TRUE (press (juce::KeyPress ('x')));
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::F1Key)));
    // Space does nothing while PLAY is disabled.
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::spaceKey)));
    EXPECT_EQ (scene->player.playState.load(), PlaybackState::stopped);

    load (writeTrack ("song.wav", 3.0));
    process();

    // Space plays and pauses; with shift it does nothing.
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::spaceKey, juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_EQ (scene->player.playState.load(), PlaybackState::stopped);
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::spaceKey)));
    EXPECT_EQ (scene->player.playState.load(), PlaybackState::playing);
    EXPECT_TRUE (scene->player.playButton.selected);
    const double before = scene->player.playPosition.load();
    ASSERT_TRUE (waitFor ([&] { return scene->player.playPosition.load() > before + 2048; }, 5000)) << "the device does not play";
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::spaceKey)));
    EXPECT_EQ (scene->player.playState.load(), PlaybackState::paused);
    EXPECT_FALSE (scene->player.playButton.selected);

    // Shortcuts reach the scene through the window once it has the focus.
    {
        MouseDriver window (*scene);
        ASSERT_TRUE (window.isReady());
        scene->grabKeyboardFocus();
        ASSERT_TRUE (scene->hasKeyboardFocus (false));
        EXPECT_TRUE (scene->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::spaceKey)));
        EXPECT_EQ (scene->player.playState.load(), PlaybackState::playing);
        scene->getPeer()->handleKeyPress (juce::KeyPress (juce::KeyPress::spaceKey));
        EXPECT_EQ (scene->player.playState.load(), PlaybackState::paused);
    }

    // L loops over the range of the last run (the whole track here).
    EXPECT_TRUE (press (juce::KeyPress ('l', juce::ModifierKeys::ctrlModifier, 0)));
    EXPECT_TRUE (scene->player.loop.load());
    EXPECT_DOUBLE_EQ (scene->player.loopStart.load(), 0.0);
    EXPECT_DOUBLE_EQ (scene->player.loopEnd.load(), 1.0);
    EXPECT_TRUE (scene->sourceView.selection.isVisible());
    EXPECT_TRUE (scene->processedView.selection.isVisible());

    // Arrows with a modifier do nothing; plain ones switch in process mode.
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::downKey, juce::ModifierKeys::shiftModifier, 0)));
    EXPECT_EQ (scene->player.playBuffer, processor->sourceBuffer);
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_EQ (scene->player.playBuffer, processor->processedBuffer);

    // Real-time mode: the arrows leave everything as it is.
    scene->nComponentCallback (&scene->modeToggle, 0, nullptr);
    ASSERT_EQ (processor->mode.load(), 1);
    const auto current = scene->player.playBuffer;
    const bool aSelected = scene->player.aButton.selected, bSelected = scene->player.bButton.selected;
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::downKey)));
    EXPECT_TRUE (press (juce::KeyPress (juce::KeyPress::upKey)));
    EXPECT_EQ (scene->player.playBuffer, current);
    EXPECT_EQ (scene->player.aButton.selected, aSelected);
    EXPECT_EQ (scene->player.bButton.selected, bSelected);
}

TEST_F (MainSceneTest, ClicksSeekAndSwitchBetweenSourceAndResult)
{
    load (writeTrack ("song.wav", 2.0));
    process();
    const int length = processor->sourceBuffer->getNumSamples();

    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());

    // A click on the result seeks there and makes B current.
    mouse.click (inView (scene->processedView, 433.0f));
    EXPECT_EQ (scene->player.playBuffer, processor->processedBuffer);
    EXPECT_TRUE (scene->player.bButton.selected);
    EXPECT_NEAR (scene->player.playPosition.load(), length * 0.5, 1.0);
    EXPECT_EQ (MainScene::transparencyOf (scene->processedView), 0);

    // The timer moves both play heads there.
    tick();
    for (auto* view : {&scene->sourceView, &scene->processedView})
        EXPECT_EQ (view->playhead.getBounds(), juce::Rectangle<int> (432, 0, 2, 120));

    mouse.click (inView (scene->sourceView, 216.5f));
    EXPECT_EQ (scene->player.playBuffer, processor->sourceBuffer);
    EXPECT_TRUE (scene->player.aButton.selected);
    EXPECT_NEAR (scene->player.playPosition.load(), length * 0.25, 1.0);

    // In real-time mode a click only seeks.
    scene->nComponentCallback (&scene->modeToggle, 0, nullptr);
    ASSERT_EQ (processor->mode.load(), 1);
    const bool bSelected = scene->player.bButton.selected;
    mouse.click (inView (scene->sourceView, 649.5f));
    EXPECT_EQ (scene->player.playBuffer, processor->sourceBuffer);
    EXPECT_EQ (scene->player.bButton.selected, bSelected);
    EXPECT_NEAR (scene->player.playPosition.load(), length * 0.75, 1.0);
}

TEST_F (MainSceneTest, DragSelectsLoopsAndAPressOnTheSelectionClearsIt)
{
    load (writeTrack ("song.wav", 2.0));
    const auto length = static_cast<double> (processor->sourceBuffer->getNumSamples());
    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());

    const double a = 100.0 / 866.0, b = 300.0 / 866.0;
    mouse.press (inView (scene->sourceView, 100.0f));
    mouse.dragTo (inView (scene->sourceView, 300.0f));
    mouse.release (inView (scene->sourceView, 300.0f));

    EXPECT_EQ (scene->hasSelection, 1);
    EXPECT_DOUBLE_EQ (processor->selectionStart.load(), a);
    EXPECT_DOUBLE_EQ (processor->selectionEnd.load(), b);
    EXPECT_TRUE (scene->player.loop.load());
    EXPECT_DOUBLE_EQ (scene->player.loopStart.load(), a);
    EXPECT_DOUBLE_EQ (scene->player.loopEnd.load(), b);
    for (auto* view : {&scene->sourceView, &scene->processedView})
    {
        EXPECT_TRUE (view->selection.isVisible());
        EXPECT_DOUBLE_EQ (view->selection.getStart(), a);
        EXPECT_DOUBLE_EQ (view->selection.getEnd(), b);
    }

    // PROCESS now asks about the selection and processes only it.
    answer = true;
    EXPECT_TRUE (press (juce::KeyPress ('p')));
    ASSERT_EQ (questions.size(), 1u);
    EXPECT_EQ (questions[0].title, "Process selection");
    EXPECT_EQ (questions[0].text,
               "You are about to process your current selection. This process may take a while depending on your selected "
               "quality setting. Please note any previous processing will be overwritten!\n\nContinue?");
    EXPECT_TRUE (processor->selectionActive);
    ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateFinished && resultReady(); }));
    EXPECT_DOUBLE_EQ (processor->processedStart.load(), a);
    EXPECT_DOUBLE_EQ (processor->processedEnd.load(), b);

    // A press on the selection removes it from both views and ends the loop.
    mouse.click (inView (scene->processedView, 500.0f));
    EXPECT_EQ (scene->hasSelection, 0);
    EXPECT_FALSE (scene->player.loop.load());
    EXPECT_FALSE (scene->sourceView.selection.isVisible());
    EXPECT_FALSE (scene->processedView.selection.isVisible());

    // L brings the loop back over the processed range.
    EXPECT_TRUE (press (juce::KeyPress ('L')));
    EXPECT_TRUE (scene->player.loop.load());
    EXPECT_DOUBLE_EQ (scene->player.loopStart.load(), a);
    EXPECT_DOUBLE_EQ (scene->player.loopEnd.load(), b);
    EXPECT_TRUE (scene->sourceView.selection.isVisible());
    mouse.click (inView (scene->sourceView, 10.0f));
    ASSERT_FALSE (scene->player.loop.load());

    // Backwards and beyond the edge: the same kind of range, limited to 0..1.
    mouse.press (inView (scene->sourceView, 800.0f));
    mouse.dragTo (inView (scene->sourceView, 1000.0f));
    mouse.release (inView (scene->sourceView, 1000.0f));
    EXPECT_DOUBLE_EQ (scene->player.loopStart.load(), 800.0 / 866.0);
    EXPECT_DOUBLE_EQ (scene->player.loopEnd.load(), 1.0);
    mouse.click (inView (scene->sourceView, 10.0f));
    mouse.press (inView (scene->sourceView, 300.0f));
    mouse.dragTo (inView (scene->sourceView, 100.0f));
    mouse.release (inView (scene->sourceView, 100.0f));
    EXPECT_DOUBLE_EQ (scene->player.loopStart.load(), a);
    EXPECT_DOUBLE_EQ (scene->player.loopEnd.load(), b);

    // A stopped player outside the new range moves to its start, play heads too;
    // a playing one stays where it is.
    scene->player.playPosition = 0.0;
    scene->sourceView.onSelectionDragged (0.5, 0.25);
    EXPECT_DOUBLE_EQ (scene->player.playPosition.load(), 0.25 * length);
    EXPECT_EQ (scene->sourceView.playhead.getBounds(), juce::Rectangle<int> (216, 0, 2, 120));
    EXPECT_EQ (scene->processedView.playhead.getX(), 216);
    // (Taken off the device, so that only the drag could move it.)
    engine->setPlayer (nullptr);
    scene->player.playState = PlaybackState::playing;
    scene->sourceView.onSelectionDragged (0.75, 0.9);
    EXPECT_DOUBLE_EQ (scene->player.playPosition.load(), 0.25 * length);
    EXPECT_DOUBLE_EQ (scene->player.loopStart.load(), 0.75);
    scene->player.playState = PlaybackState::stopped;
    engine->setPlayer (&scene->player);
}

TEST_F (MainSceneTest, RefusesUnsupportedFilesAndLoadsWhileBusy)
{
    for (const auto& name : {"notes.txt", "song", "archive.wav.zip"})
    {
        notices.clear();
        scene->filesDropped ({folder.getFile (name).getFullPathName()}, 10, 10);
        ASSERT_EQ (notices.size(), 1u) << name;
        EXPECT_EQ (notices[0].title, "Drag and drop error");
        EXPECT_EQ (notices[0].text, "File type not supported!");
    }
    scene->filesDropped ({}, 10, 10);
    EXPECT_EQ (notices.size(), 2u);
    EXPECT_TRUE (scene->dropHint.isVisible());
    EXPECT_EQ (processor->state.load(), IProcessor::stateEmpty);
    EXPECT_EQ (processor->sourceFile, nullptr);

    // Browsing: nothing picked changes nothing; a pick loads.
    scene->nComponentCallback (&scene->browseNavButton, 3, nullptr);
    EXPECT_EQ (chooserOpened, 1);
    EXPECT_TRUE (scene->dropHint.isVisible());
    EXPECT_EQ (processor->sourceFile, nullptr);

    chosenFile = writeTrack ("picked.aiff", 1.0);
    scene->browse();
    EXPECT_FALSE (scene->dropHint.isVisible());
    ASSERT_NE (processor->sourceFile, nullptr);
    EXPECT_EQ (*processor->sourceFile, chosenFile);

    ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateLoaded && sourceReady(); }));
    EXPECT_EQ (processor->fileName, "picked.aiff");

    // While a load runs, further drops and browsing are refused.
    processor->state = IProcessor::stateLoading;
    notices.clear();
    const auto second = writeTrack ("second.wav", 1.0);
    scene->filesDropped ({second.getFullPathName()}, 10, 10);
    scene->browse();
    EXPECT_EQ (chooserOpened, 2);
    ASSERT_EQ (notices.size(), 2u);
    EXPECT_EQ (notices[0].title, "Please wait");
    EXPECT_EQ (notices[1].title, "Please wait");
    EXPECT_EQ (*processor->sourceFile, chosenFile);
    processor->state = IProcessor::stateLoaded;

    // And while a run is in progress.
    IProcessor::UserParams[IProcessor::quality] = 1.0f;
    scene->filesDropped ({writeTrack ("long.wav", 60.0).getFullPathName()}, 10, 10);
    ASSERT_TRUE (tickUntil ([this] { return processor->state.load() == IProcessor::stateLoaded && sourceReady(); }));
    answer = true;
    press (juce::KeyPress ('p'));
    ASSERT_TRUE (tickUntil ([this] { return scene->processingScene.isVisible(); }));
    notices.clear();
    scene->filesDropped ({second.getFullPathName()}, 10, 10);
    ASSERT_EQ (notices.size(), 1u);
    EXPECT_EQ (notices[0].title, "Please wait");
    EXPECT_EQ (processor->fileName, "long.wav");
}

TEST_F (MainSceneTest, ShowsLoadAndRunErrorsOnce)
{
    // Not audio at all: the load fails, the message is shown once and the
    // switch is usable again.
    const auto bad = folder.getFile ("broken.wav");
    bad.replaceWithText ("this is not a wave file");
    scene->filesDropped ({bad.getFullPathName()}, 10, 10);
    ASSERT_TRUE (tickUntil ([this] { return !notices.empty(); }));
    tick (3);
    ASSERT_EQ (notices.size(), 1u);
    EXPECT_EQ (notices[0].title, "Loading error");
    EXPECT_TRUE (notices[0].text.contains ("broken.wav"));
    EXPECT_EQ (processor->state.load(), IProcessor::stateEmpty);
    EXPECT_TRUE (scene->modeToggle.isEnabled());
    EXPECT_FALSE (scene->processButton.isEnabled());

    // A run that ends with an error text: shown, the overlay goes away.
    processor->state = IProcessor::stateRunning;
    tick();
    EXPECT_TRUE (scene->processingScene.isVisible());
    processor->runErrorText = std::string ("There is not enough memory to process this track.");
    processor->state = IProcessor::stateLoaded;
    tick (2);
    ASSERT_EQ (notices.size(), 2u);
    EXPECT_EQ (notices[1].title, "Processing error");
    EXPECT_EQ (notices[1].text, "There is not enough memory to process this track.");
    EXPECT_FALSE (scene->processingScene.isVisible());
}

TEST_F (MainSceneTest, ModeSwitchChangesWhatIsShownAndHeard)
{
    load (writeTrack ("song.wav", 2.0));
    MouseDriver mouse (*scene);
    ASSERT_TRUE (mouse.isReady());

    mouse.click (centreOf (scene->modeToggle));
    EXPECT_EQ (processor->mode.load(), 1);
    EXPECT_TRUE (scene->modeToggle.value);
    ASSERT_FALSE (processor->setUpRates.empty());
    EXPECT_EQ (processor->setUpRates.back(), engine->deviceSampleRate.load());
    EXPECT_EQ (scene->feedback.area.text, "REALTIME MODE");
    EXPECT_EQ (scene->feedback.corner, 0);
    EXPECT_TRUE (processor->chainEnabled.load());
    EXPECT_EQ (scene->player.playBuffer, processor->sourceBuffer);
    EXPECT_TRUE (scene->player.aButton.isEnabled());
    EXPECT_FALSE (scene->player.aButton.selected);
    EXPECT_TRUE (scene->player.bButton.isEnabled());
    EXPECT_TRUE (scene->player.bButton.selected);
    EXPECT_EQ (MainScene::transparencyOf (scene->sourceView), 0);
    EXPECT_FALSE (scene->processedView.isVisible());
    EXPECT_TRUE (scene->realTimeDisplay->isVisible());
    EXPECT_FALSE (scene->sampleRateBox.isEnabled());
    EXPECT_FALSE (scene->processHint.isVisible());
    EXPECT_FALSE (scene->icon->isVisible());

    mouse.click (centreOf (scene->modeToggle));
    EXPECT_EQ (processor->mode.load(), 0);
    EXPECT_FALSE (scene->modeToggle.value);
    EXPECT_EQ (scene->feedback.area.text, "PROCESS MODE");
    EXPECT_TRUE (scene->player.aButton.isEnabled());
    EXPECT_TRUE (scene->player.aButton.selected);
    EXPECT_FALSE (scene->player.bButton.isEnabled()); // nothing processed yet
    EXPECT_FALSE (scene->player.bButton.selected);
    EXPECT_TRUE (scene->processedView.isVisible());
    EXPECT_EQ (MainScene::transparencyOf (scene->processedView), 77);
    EXPECT_FALSE (scene->realTimeDisplay->isVisible());
    EXPECT_TRUE (scene->processHint.isVisible());
    EXPECT_TRUE (scene->sampleRateBox.isEnabled());

    // A state change in real-time mode keeps the mode: a new load comes back in it.
    mouse.click (centreOf (scene->modeToggle));
    load (writeTrack ("next.wav", 1.0));
    EXPECT_EQ (processor->mode.load(), 1);
    EXPECT_TRUE (scene->realTimeDisplay->isVisible());
    EXPECT_TRUE (scene->player.bButton.selected);
}
