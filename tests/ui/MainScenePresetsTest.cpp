// Preset selection in the main scene, and the options and export panels it
// shows: a real scene and processor on a temporary data folder, the timer
// driven by hand and the message boxes answered through the scene's hooks.
#include "engine/ProcessorTypeI.h"
#include "resources/Presets.h"
#include "resources/ResourcesTestSupport.h"
#include "scenes/MainScene.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace
{
/** The real processor, counting the settings calls the scene makes. */
class PresetCountingProcessor : public ProcessorTypeI
{
public:
    void settingsChanged() override
    {
        ++settingsCalls;
        ProcessorTypeI::settingsChanged();
    }
    void initRealTimeSettings (double sampleRate) override
    {
        ++setUpCalls;
        ProcessorTypeI::initRealTimeSettings (sampleRate);
    }

    int settingsCalls = 0;
    int setUpCalls = 0;
};

Preset makePreset (const juce::String& name, bool isProtected, std::array<float, 10> v, float ceiling, bool truePeak)
{
    Preset p;
    p.name = name;
    p.isProtected = isProtected;
    p.lowCut = v[0];
    p.lowGain = v[1];
    p.bodyGain = v[2];
    p.clarity = v[3];
    p.brightness = v[4];
    p.loudness = v[5];
    p.compression = v[6];
    p.quality = v[7];
    p.lowCutStereo = v[8];
    p.loudnessRelease = v[9];
    p.ceiling = ceiling;
    p.truePeak = truePeak;
    return p;
}

class MainScenePresetsTest : public resources_testing::DataFolderTest
{
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        for (size_t i = 0; i < saved.size(); ++i)
            saved[i] = IProcessor::UserParams[i].load();

        processor->presets = {
            makePreset ("Factory A", true, { 0.1f, 0.2f, 0.3f, 0.4f, 0.55f, 0.6f, 0.7f, 0.0f, 0.25f, 0.75f }, -1.0f, false),
            // Quality 0.6 lands on the knob's 0.5 grid; out-of-range values clamp.
            makePreset ("User B", false, { 1.7f, -0.3f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.6f, 2.0f, -1.0f }, -2.5f, true),
            makePreset ({}, false, {}, 0.0f, false),
            makePreset ("User D", false, { 0.9f, 0.8f, 0.7f, 0.6f, 0.5f, 0.4f, 0.3f, 1.0f, 0.5f, 0.5f }, -0.5f, false),
        };
        processor->presetCount = 4;

        scene = std::make_unique<MainScene> (processor);
        scene->setBounds (0, 0, 1040, 540);
        scene->stopTimer();
        scene->warn = [this] (const juce::String& title, const juce::String& message) { warnings.push_back (title + " / " + message); };
        scene->confirmDelete = [this] (const juce::String& title, const juce::String& message)
        {
            questions.push_back (title + " / " + message);
            return answer;
        };
    }

    void TearDown() override
    {
        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
        scene = nullptr;
        for (size_t i = 0; i < saved.size(); ++i)
            IProcessor::UserParams[i] = saved[i];
        DataFolderTest::TearDown();
    }

    std::vector<float> knobValues() const
    {
        std::vector<float> values;
        for (auto* knob : scene->knobs())
            values.push_back (knob->value);
        values.push_back (scene->optionsScene.monoBassKnob.value);
        values.push_back (scene->optionsScene.loudnessReleaseKnob.value);
        return values;
    }

    static std::vector<float> userParams (size_t count)
    {
        std::vector<float> values;
        for (size_t i = 0; i < count; ++i)
            values.push_back (IProcessor::UserParams[i].load());
        return values;
    }

    std::array<float, IProcessor::numParams> saved {};
    std::shared_ptr<PresetCountingProcessor> processor = std::make_shared<PresetCountingProcessor>();
    std::unique_ptr<MainScene> scene;
    std::vector<juce::String> warnings, questions;
    bool answer = false;
};
} // namespace

TEST_F (MainScenePresetsTest, StartUpListsNamedPresetsAndAppliesTheFirst)
{
    // Start from values no preset has, so the first preset must overwrite them.
    for (auto* knob : scene->knobs())
        knob->value = 0.95f;

    scene->initPresets();

    ASSERT_EQ (scene->presetBox.getNumItems(), 3);
    EXPECT_EQ (scene->presetBox.getItemId (0), 1);
    EXPECT_EQ (scene->presetBox.getItemId (1), 2);
    EXPECT_EQ (scene->presetBox.getItemId (2), 4) << "a nameless preset is not listed but keeps its id";
    EXPECT_EQ (scene->presetBox.getItemText (2), "User D");
    EXPECT_EQ (scene->presetBox.getSelectedId(), 1);

    const std::vector<float> expected { 0.1f, 0.2f, 0.3f, 0.4f, 0.55f, 0.6f, 0.7f, 0.0f, 0.25f, 0.75f };
    const auto knobs = knobValues();
    const auto params = userParams (10);
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_NEAR (knobs[i], expected[i], 1e-6f) << "knob " << i;
        EXPECT_NEAR (params[i], expected[i], 1e-6f) << "UserParams " << i;
    }
    EXPECT_DOUBLE_EQ (scene->ceilingSlider.getValue(), -1.0);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::ceiling].load(), -1.0f);
    EXPECT_FALSE (scene->truePeakButton.selected);
    EXPECT_EQ (IProcessor::UserParams[IProcessor::truePeak].load(), 0.0f);
    EXPECT_EQ (processor->setUpCalls, 1);
    EXPECT_EQ (processor->settingsCalls, 0);
}

TEST_F (MainScenePresetsTest, ChoosingAPresetSnapsClampsAndSetsUpTheChainOnce)
{
    scene->initPresets();
    processor->setUpCalls = 0;
    bool ceilingNotified = false;
    struct Watch : juce::Slider::Listener
    {
        bool& flag;
        explicit Watch (bool& f) : flag (f) {}
        void sliderValueChanged (juce::Slider*) override { flag = true; }
    } watch (ceilingNotified);
    scene->ceilingSlider.addListener (&watch);

    scene->presetBox.setSelectedId (2, juce::sendNotificationSync);
    scene->ceilingSlider.removeListener (&watch);

    const auto knobs = knobValues();
    const auto params = userParams (10);
    // lowCut 1.7 -> 1, lowGain -0.3 -> 0, quality 0.6 -> 0.5, mono bass 2 -> 1,
    // loudness release -1 -> 0.
    const std::vector<float> expected { 1.0f, 0.0f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f, 0.0f };
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_NEAR (knobs[i], expected[i], 1e-6f) << "knob " << i;
        EXPECT_NEAR (params[i], expected[i], 1e-6f) << "UserParams " << i;
    }
    EXPECT_DOUBLE_EQ (scene->ceilingSlider.getValue(), -2.5);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::ceiling].load(), -2.5f);
    EXPECT_FALSE (ceilingNotified) << "the ceiling is set without notification";
    EXPECT_TRUE (scene->truePeakButton.selected);
    EXPECT_EQ (IProcessor::UserParams[IProcessor::truePeak].load(), 1.0f);
    EXPECT_EQ (processor->setUpCalls, 1);
    EXPECT_EQ (processor->settingsCalls, 0);

    // The rate box is no preset box: choosing in it applies nothing.
    scene->sampleRateBox.setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (processor->setUpCalls, 1);
}

TEST_F (MainScenePresetsTest, IdsOutsideTheListChangeNothing)
{
    scene->initPresets();
    processor->setUpCalls = 0;
    const auto before = userParams (IProcessor::numParams);
    const auto knobsBefore = knobValues();

    for (int id : { 0, -1, 5, 99 })
        scene->updatePresetFromListId (id);

    EXPECT_EQ (userParams (IProcessor::numParams), before);
    EXPECT_EQ (knobValues(), knobsBefore);
    EXPECT_EQ (processor->setUpCalls, 0);

    // An unreadable presets file leaves the list empty; start-up still runs.
    processor->presets.clear();
    processor->presetCount = 0;
    scene->initPresets();
    EXPECT_EQ (scene->presetBox.getNumItems(), 0);
    EXPECT_EQ (processor->setUpCalls, 0);

    // A count larger than the list never reads past its end.
    processor->presetCount = 3;
    scene->updatePresetFromListId (2);
    EXPECT_EQ (processor->setUpCalls, 0);
}

TEST_F (MainScenePresetsTest, EraseRefusesFactoryPresetsAndAsksForUserPresets)
{
    scene->initPresets();

    // Factory preset: refused with the exact message; the list stays.
    scene->qvButtonPressed (&scene->erasePresetButton);
    ASSERT_EQ (warnings.size(), 1u);
    EXPECT_EQ (warnings[0], "Erase preset / This preset is part of the program and cannot be deleted. Only user defined presets "
                            "can be deleted!\n\nPreset: Factory A");
    EXPECT_TRUE (questions.empty());
    EXPECT_EQ (processor->presetCount, 4);

    // User preset, answered Cancel: nothing changes, nothing is written.
    scene->presetBox.setSelectedId (4, juce::sendNotificationSync);
    answer = false;
    scene->qvButtonPressed (&scene->erasePresetButton);
    ASSERT_EQ (questions.size(), 1u);
    EXPECT_EQ (questions[0], "Delete Preset / Are you sure you want to delete the preset: User D");
    EXPECT_EQ (processor->presetCount, 4);
    EXPECT_EQ (scene->presetBox.getSelectedId(), 4);
    EXPECT_FALSE (presetsFile().existsAsFile());

    // OK: removed, the first preset selected and applied, the file rewritten.
    answer = true;
    processor->setUpCalls = 0;
    scene->qvButtonPressed (&scene->erasePresetButton);
    EXPECT_EQ (processor->presetCount, 3);
    ASSERT_EQ (processor->presets.size(), 3u);
    EXPECT_EQ (processor->presets[1].name, "User B");
    EXPECT_EQ (scene->presetBox.getSelectedId(), 1);
    EXPECT_EQ (scene->presetBox.getNumItems(), 2);
    EXPECT_EQ (processor->setUpCalls, 1);
    EXPECT_NEAR (scene->lowCutKnob.value, 0.1f, 1e-6f);
    EXPECT_NEAR (IProcessor::UserParams[IProcessor::lowCut].load(), 0.1f, 1e-6f);

    ASSERT_TRUE (presetsFile().existsAsFile());
    PresetCountingProcessor reader;
    Resources::ReadPresets (reader);
    ASSERT_EQ (reader.presetCount, 3);
    EXPECT_EQ (reader.presets[0].name, "Factory A");
    EXPECT_EQ (reader.presets[1].name, "User B");
    for (const auto& p : reader.presets)
        EXPECT_NE (p.name, "User D");
}

TEST_F (MainScenePresetsTest, SavingThroughTheDialogSelectsAndAppliesTheNewPresetOnTheNextTick)
{
    scene->initPresets();
    scene->presetBox.setSelectedId (2, juce::sendNotificationSync);
    // Current controls differ from every preset.
    scene->lowCutKnob.value = 0.33f;
    scene->optionsScene.monoBassKnob.value = 0.66f;

    scene->qvButtonPressed (&scene->savePresetButton);
    ASSERT_NE (scene->presetDialog, nullptr);
    auto* first = scene->presetDialog.get();
    EXPECT_EQ (first->host, scene.get());
    EXPECT_EQ (first->processor, processor);
    EXPECT_NE (first->findParentComponentOfClass<juce::DialogWindow>(), nullptr);
    EXPECT_EQ (first->findParentComponentOfClass<juce::DialogWindow>()->getName(), "Save Preset Name");

    first->savePreset ("Mine");
    EXPECT_EQ (scene->presetListDirty, 1);
    EXPECT_EQ (scene->presetListSelectIndex, 4);
    EXPECT_EQ (scene->presetBox.getSelectedId(), 2) << "applied only when the timer runs";

    processor->setUpCalls = 0;
    scene->timerCallback();
    EXPECT_EQ (scene->presetListDirty, 0);
    EXPECT_EQ (scene->presetBox.getSelectedId(), 5);
    EXPECT_EQ (scene->presetBox.getText(), "Mine");
    EXPECT_EQ (processor->setUpCalls, 1);
    EXPECT_NEAR (IProcessor::UserParams[IProcessor::lowCut].load(), 0.33f, 1e-6f);
    EXPECT_NEAR (IProcessor::UserParams[IProcessor::lowCutStereo].load(), 0.66f, 1e-6f);

    // A second SAVE replaces the dialog; a duplicate name is a new preset.
    scene->qvButtonPressed (&scene->savePresetButton);
    ASSERT_NE (scene->presetDialog, nullptr);
    scene->presetDialog->savePreset ("Mine");
    scene->timerCallback();
    EXPECT_EQ (processor->presetCount, 6);
    EXPECT_EQ (scene->presetBox.getSelectedId(), 6);
    EXPECT_EQ (scene->presetBox.getItemText (3), "Mine");
    EXPECT_EQ (scene->presetBox.getItemText (4), "Mine");
}

TEST_F (MainScenePresetsTest, OptionsAndExportPanelsOpenOverTheScene)
{
    EXPECT_FALSE (scene->optionsScene.isVisible());
    EXPECT_FALSE (scene->saveScene.isVisible());
    EXPECT_EQ (scene->optionsScene.getBounds(), scene->getLocalBounds());
    EXPECT_EQ (scene->saveScene.getBounds(), scene->getLocalBounds());
    EXPECT_EQ (scene->console.getBounds(), juce::Rectangle<int> (890, 66, 140, 464));
    EXPECT_EQ (scene->saveScene.getProcessor(), processor);

    // In real-time mode the spectrum hides behind the options and returns.
    processor->mode = 1;
    scene->realTimeDisplay->setVisible (true);
    scene->nComponentCallback (&scene->optionsNavButton, scene->optionsNavButton.kind, nullptr);
    EXPECT_TRUE (scene->optionsScene.isVisible());
    EXPECT_FALSE (scene->realTimeDisplay->isVisible());
    scene->console.needsRedraw = false;
    scene->optionsScene.qvCloseButtonPressed (&scene->optionsScene.closeButton);
    EXPECT_FALSE (scene->optionsScene.isVisible());
    EXPECT_TRUE (scene->realTimeDisplay->isVisible());
    EXPECT_TRUE (scene->console.needsRedraw.load());

    // In process mode the real-time display stays hidden either way.
    processor->mode = 0;
    scene->realTimeDisplay->setVisible (false);
    scene->nComponentCallback (&scene->optionsNavButton, scene->optionsNavButton.kind, nullptr);
    scene->nComponentCallback (&scene->optionsScene, 1000, nullptr);
    EXPECT_FALSE (scene->realTimeDisplay->isVisible());

    // The options knobs write their UserParams entries and show a read-out.
    scene->optionsScene.monoBassKnob.value = 0.4f;
    scene->optionsScene.qvKnobValueChanged (&scene->optionsScene.monoBassKnob);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::lowCutStereo].load(), 0.4f);

    // SAVE shows the export panel only while it is enabled.
    scene->qvButtonPressed (&scene->saveButton);
    EXPECT_FALSE (scene->saveScene.isVisible());
    scene->saveButton.setEnabled (true);
    scene->qvButtonPressed (&scene->saveButton);
    EXPECT_TRUE (scene->saveScene.isVisible());
}
