#include "scenes/OptionsScene.h"
#include "UiTestSupport.h"
#include "resources/ResourcesTestSupport.h"

#include <array>
#include <utility>
#include <vector>

using ui_test::MouseDriver;

namespace
{
/** The main scene's part: receives the close request. */
struct RecordingParent : NComponent
{
    void nComponentCallback (NComponent* sender, int code, void*) override { received.emplace_back (sender, code); }
    std::vector<std::pair<NComponent*, int>> received;
};

/** The scene at the main scene's size, wired as the main scene wires it, with
    UserParams and the render-engine setting put back afterwards. */
class OptionsSceneTest : public resources_testing::DataFolderTest
{
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        for (size_t i = 0; i < savedParams.size(); ++i)
            savedParams[i] = IProcessor::UserParams[i].load();

        feedback.setSize (1040, 540);
        scene.setSize (1040, 540);
        scene.nAddParent (&parent);
        scene.feedback = &feedback;
        scene.onRenderEngineChanged = [this] (bool software) { switches.push_back (software); };
    }

    void TearDown() override
    {
        for (size_t i = 0; i < savedParams.size(); ++i)
            IProcessor::UserParams[i] = savedParams[i];
        DataFolderTest::TearDown();
    }

    std::array<float, IProcessor::numParams> savedParams {};
    RecordingParent parent;
    UserFeedbackComponent feedback;
    OptionsScene scene;
    std::vector<bool> switches;
};

juce::Point<float> centreOf (const juce::Component& c) { return c.getBounds().getCentre().toFloat(); }
} // namespace

TEST_F (OptionsSceneTest, KnobsStartAtTheirDefaultsAndAreLaidOutAtTheMainScenesSize)
{
    EXPECT_EQ (scene.monoBassKnob.getName(), "LFC_FREQ_STEREO");
    EXPECT_EQ (scene.monoBassKnob.parameterIndex, IProcessor::lowCutStereo);
    EXPECT_FLOAT_EQ (scene.monoBassKnob.value, 0.75f);
    EXPECT_EQ (scene.monoBassKnob.listener, &scene);
    EXPECT_EQ (scene.loudnessReleaseKnob.getName(), "LOUDNESS_RELEASE");
    EXPECT_EQ (scene.loudnessReleaseKnob.parameterIndex, IProcessor::loudnessRelease);
    EXPECT_FLOAT_EQ (scene.loudnessReleaseKnob.value, 0.5f);
    EXPECT_EQ (scene.loudnessReleaseKnob.listener, &scene);

    EXPECT_EQ (scene.monoBassKnob.getBounds(), juce::Rectangle<int> (80, 210, 50, 50));
    EXPECT_EQ (scene.monoBassLabel.getBounds(), juce::Rectangle<int> (55, 185, 100, 100));
    EXPECT_EQ (scene.loudnessReleaseKnob.getBounds(), juce::Rectangle<int> (80, 90, 50, 50));
    EXPECT_EQ (scene.loudnessReleaseLabel.getBounds(), juce::Rectangle<int> (55, 65, 100, 100));
    EXPECT_EQ (scene.closeButton.getBounds(), juce::Rectangle<int> (988, 20, 32, 32));
    EXPECT_EQ (scene.renderEngineHeading.getBounds(), juce::Rectangle<int> (40, 380, 200, 16));
    EXPECT_EQ (scene.gpuLabel.getBounds(), juce::Rectangle<int> (40, 406, 40, 16));
    EXPECT_EQ (scene.renderEngineToggle.getBounds(), juce::Rectangle<int> (80, 406, 26, 16));
    EXPECT_EQ (scene.softwareLabel.getBounds(), juce::Rectangle<int> (106, 406, 64, 16));
    EXPECT_EQ (scene.link.getPosition(), juce::Point<int> (630, 360));
    EXPECT_EQ (scene.link.getHeight(), 24);
    EXPECT_GT (scene.link.getWidth(), 10);
    EXPECT_FALSE (scene.renderEngineToggle.value);
    EXPECT_EQ (scene.renderEngineToggle.parent, &scene);

    // Opaque: the main scene is never seen through it.
    EXPECT_TRUE (scene.isOpaque());
    const auto image = ui_test::render (scene);
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (600, 500), juce::Colour (0xff272b2e)));
}

TEST_F (OptionsSceneTest, DraggingTheKnobsWritesTheirParametersAndShowsTheReadOut)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());

    // 50 pixels up add a quarter of the range.
    mouse.press (centreOf (scene.monoBassKnob));
    mouse.dragTo (centreOf (scene.monoBassKnob) - juce::Point<float> (0.0f, 50.0f));
    mouse.release (centreOf (scene.monoBassKnob) - juce::Point<float> (0.0f, 50.0f));
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::lowCutStereo].load(), 1.0f);
    EXPECT_EQ (feedback.area.text, "Frq: 200hz");
    EXPECT_EQ (feedback.corner, 1);
    EXPECT_DOUBLE_EQ (feedback.level, feedback.startLevel);

    mouse.press (centreOf (scene.loudnessReleaseKnob));
    mouse.dragTo (centreOf (scene.loudnessReleaseKnob) + juce::Point<float> (20.0f, 0.0f));
    mouse.release (centreOf (scene.loudnessReleaseKnob) + juce::Point<float> (20.0f, 0.0f));
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::loudnessRelease].load(), 0.6f);
    EXPECT_EQ (feedback.area.text, "Gain: 24ms");

    // Neither drag touched the other knob's entry or the main scene's.
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::lowCutStereo].load(), 1.0f);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::lowCut].load(), savedParams[IProcessor::lowCut]);
}

TEST_F (OptionsSceneTest, ReadOutTextsRoundToWholeHertzAndMilliseconds)
{
    struct Case
    {
        QVKnob* knob;
        float value;
        const char* text;
    };
    const std::vector<Case> cases {
        { &scene.monoBassKnob, 0.75f, "Frq: 150hz" },
        { &scene.loudnessReleaseKnob, 0.5f, "Gain: 20ms" },
        { &scene.monoBassKnob, 0.0025f, "Frq: 1hz" }, // exactly one half rounds up
        { &scene.monoBassKnob, 0.0f, "Frq: 0hz" },
        { &scene.monoBassKnob, 0.123f, "Frq: 25hz" },
        { &scene.loudnessReleaseKnob, 0.0125f, "Gain: 1ms" },
        { &scene.loudnessReleaseKnob, 0.012f, "Gain: 0ms" },
        { &scene.loudnessReleaseKnob, 1.0f, "Gain: 40ms" },
    };

    for (const auto& c : cases)
    {
        c.knob->value = c.value;
        scene.qvKnobValueChanged (c.knob);
        EXPECT_EQ (feedback.area.text, c.text) << c.value;
        EXPECT_FLOAT_EQ (IProcessor::UserParams[c.knob->parameterIndex].load(), c.value);
    }

    // A knob that is not the scene's writes its entry but shows nothing.
    QVKnob stranger (1.0f);
    stranger.parameterIndex = IProcessor::clarity;
    stranger.value = 0.9f;
    scene.qvKnobValueChanged (&stranger);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::clarity].load(), 0.9f);
    EXPECT_EQ (feedback.area.text, "Gain: 40ms");

    // An index outside UserParams is never written.
    stranger.parameterIndex = IProcessor::numParams;
    scene.qvKnobValueChanged (&stranger);
    stranger.parameterIndex = -1;
    scene.qvKnobValueChanged (&stranger);

    // Without a read-out the value is still stored.
    scene.feedback = nullptr;
    scene.monoBassKnob.value = 0.5f;
    scene.qvKnobValueChanged (&scene.monoBassKnob);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::lowCutStereo].load(), 0.5f);
}

TEST (OptionsSceneFtos, RoundsAndPrintsLikeAStream)
{
    struct Case
    {
        float value;
        int decimals;
        const char* text;
    };
    const std::vector<Case> cases {
        { 150.0f, 0, "150" }, { 0.5f, 0, "1" },   { -0.5f, 0, "-1" }, { 1.5f, 1, "1.5" },    { -0.3f, 1, "-0.3" },
        { 2.25f, 1, "2.3" },  { 20.0f, 2, "20" }, { 0.049f, 0, "0" }, { 1.234f, 2, "1.23" }, { 1234567.0f, 0, "1.23457e+06" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (OptionsScene::ftos (c.value, c.decimals), c.text) << c.value << " to " << c.decimals;
}

TEST_F (OptionsSceneTest, TheToggleSwitchesTheRenderEngineAndMarksTheSettingChangedEvenWhenFlippedBack)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    ASSERT_EQ (Resources::fftRenderEngine, "gpu");
    ASSERT_FALSE (Resources::settingsChanged);

    mouse.click (centreOf (scene.renderEngineToggle));
    EXPECT_TRUE (scene.renderEngineToggle.value);
    EXPECT_EQ (Resources::fftRenderEngine, "software");
    EXPECT_TRUE (Resources::settingsChanged);
    EXPECT_EQ (switches, std::vector<bool> ({ true }));

    mouse.click (centreOf (scene.renderEngineToggle));
    EXPECT_FALSE (scene.renderEngineToggle.value);
    EXPECT_EQ (Resources::fftRenderEngine, "gpu");
    EXPECT_TRUE (Resources::settingsChanged);
    EXPECT_EQ (switches, std::vector<bool> ({ true, false }));

    // So the file written at exit holds the final value.
    ASSERT_TRUE (Resources::SaveSettings().wasOk());
    EXPECT_TRUE (settingsFile().loadFileAsString().contains ("<fftRenderEngine>gpu</fftRenderEngine>"));

    // The other knobs' notifications and strangers change nothing.
    Components::NToggle stranger;
    scene.nComponentCallback (&stranger, 0, nullptr);
    scene.nComponentCallback (nullptr, 0, nullptr);
    scene.nComponentCallback (&scene, 1000, nullptr);
    EXPECT_FALSE (scene.renderEngineToggle.value);
    EXPECT_EQ (switches.size(), 2u);

    // The toggle reacts whatever code it sends.
    scene.nComponentCallback (&scene.renderEngineToggle, 42, nullptr);
    EXPECT_TRUE (scene.renderEngineToggle.value);
    EXPECT_EQ (Resources::fftRenderEngine, "software");
}

TEST_F (OptionsSceneTest, FromTheSoftwareSideAPressGoesBackToGpuAndWorksWithoutAHook)
{
    // As the main component leaves it when the saved setting is "software".
    Resources::fftRenderEngine = "software";
    scene.renderEngineToggle.setValue (true);
    scene.onRenderEngineChanged = nullptr;

    scene.nComponentCallback (&scene.renderEngineToggle, 0, nullptr);
    EXPECT_FALSE (scene.renderEngineToggle.value);
    EXPECT_EQ (Resources::fftRenderEngine, "gpu");
    EXPECT_TRUE (Resources::settingsChanged);
}

TEST_F (OptionsSceneTest, DisabledToggleChangesNothing)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    scene.setEnabled (false);

    mouse.click (centreOf (scene.renderEngineToggle));
    EXPECT_FALSE (scene.renderEngineToggle.value);
    EXPECT_EQ (Resources::fftRenderEngine, "gpu");
    EXPECT_FALSE (Resources::settingsChanged);
    EXPECT_TRUE (switches.empty());
}

TEST_F (OptionsSceneTest, TheCloseButtonAndABackgroundClickAskTheParentToClose)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    const std::vector<std::pair<NComponent*, int>> oneRequest { { &scene, 1000 } };

    mouse.click (centreOf (scene.closeButton));
    EXPECT_EQ (parent.received, oneRequest);

    parent.received.clear();
    mouse.click ({ 600.0f, 500.0f });
    EXPECT_EQ (parent.received, oneRequest);

    // Clicks on the controls are theirs.
    parent.received.clear();
    mouse.click (centreOf (scene.monoBassKnob));
    mouse.click (centreOf (scene.monoBassDescription));
    EXPECT_TRUE (parent.received.empty());

    // A close button that is not the scene's is ignored.
    QVCloseButton stranger;
    scene.qvCloseButtonPressed (&stranger);
    EXPECT_TRUE (parent.received.empty());
}

TEST_F (OptionsSceneTest, NeitherCloseWorksWhileTheSceneOrAnAncestorIsDisabled)
{
    juce::Component host;
    host.setSize (1040, 540);
    host.addAndMakeVisible (scene);
    MouseDriver mouse (host);
    ASSERT_TRUE (mouse.isReady());

    for (auto* disabled : std::vector<juce::Component*> { &scene, &host })
    {
        disabled->setEnabled (false);
        mouse.click (centreOf (scene.closeButton));
        mouse.click ({ 600.0f, 500.0f });
        scene.qvCloseButtonPressed (&scene.closeButton);
        EXPECT_TRUE (parent.received.empty()) << (disabled == &host ? "ancestor" : "scene");
        disabled->setEnabled (true);
    }

    // Enabled again, the same click closes.
    mouse.click ({ 600.0f, 500.0f });
    EXPECT_EQ (parent.received.size(), 1u);

    // Without a parent there is nobody to ask.
    scene.nAddParent (nullptr);
    scene.qvCloseButtonPressed (&scene.closeButton);
}

TEST_F (OptionsSceneTest, TheDeviceSelectorWorksOnTheEnginesDeviceManagerAndGoesFirst)
{
    auto engine = std::make_shared<AudioEngine>();
    scene.installDeviceSelector (engine);

    ASSERT_NE (scene.deviceSelector, nullptr);
    EXPECT_EQ (scene.engine, engine);
    EXPECT_EQ (&scene.deviceSelector->deviceManager, &engine->deviceManager);
    EXPECT_EQ (scene.deviceSelector->getParentComponent(), &scene);
    EXPECT_TRUE (scene.deviceSelector->isVisible());
    // The selector trims its own height to its rows.
    EXPECT_EQ (scene.deviceSelector->getBounds().withHeight (340), juce::Rectangle<int> (520, 95, 480, 340));
    EXPECT_LE (scene.deviceSelector->getHeight(), 340);
    // Added last, so it lies above everything else.
    EXPECT_EQ (scene.getChildComponent (scene.getNumChildComponents() - 1), scene.deviceSelector.get());

    // A new engine replaces the selector; the scene then holds the last
    // reference to it, and its end must take the selector down first.
    auto second = std::make_shared<AudioEngine>();
    scene.installDeviceSelector (second);
    EXPECT_EQ (&scene.deviceSelector->deviceManager, &second->deviceManager);
    engine = nullptr;
    second = nullptr;
    EXPECT_EQ (scene.engine.use_count(), 1);

    scene.installDeviceSelector (nullptr);
    EXPECT_EQ (scene.deviceSelector, nullptr);
    EXPECT_EQ (scene.engine, nullptr);

    // The same when the whole scene goes with the last engine reference.
    auto owned = std::make_unique<OptionsScene>();
    owned->installDeviceSelector (std::make_shared<AudioEngine>());
    owned = nullptr;
}
