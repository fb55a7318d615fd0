// The program's start-up and shut-down as the main component runs them, on a
// temporary data folder and a JACK dummy server (the test script's default
// one, or one started here).
#include "app/MainComponent.h"
#include "app/Quorvel_1_2Application.h"
#include "resources/Presets.h"
#include "resources/ResourcesTestSupport.h"
#include "support/JackServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace
{
class StartupTest : public resources_testing::DataFolderTest
{
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        if (!testing_support::jackServerAnswers())
        {
            jack = std::make_unique<testing_support::JackServer> ("quorvel_startup", 48000);
            setenv ("JACK_DEFAULT_SERVER", "quorvel_startup", 1);
        }
        for (size_t i = 0; i < saved.size(); ++i)
            saved[i] = IProcessor::UserParams[i].load();
    }

    void TearDown() override
    {
        for (size_t i = 0; i < saved.size(); ++i)
            IProcessor::UserParams[i] = saved[i];
        if (jack != nullptr)
            unsetenv ("JACK_DEFAULT_SERVER");
        jack = nullptr;
        DataFolderTest::TearDown();
    }

    /** Writes the settings file as a previous run would have left it. */
    void writeSettings (const juce::String& value) const
    {
        ASSERT_TRUE (settingsFile().replaceWithText ("<xml>\n<fftRenderEngine>" + value + "</fftRenderEngine>\n</xml>"));
    }

    std::unique_ptr<testing_support::JackServer> jack;
    std::array<float, IProcessor::numParams> saved {};
};

/** Presses the options scene's render-engine switch as a click would. */
void flipRenderEngine (MainScene& scene)
{
    scene.optionsScene.nComponentCallback (&scene.optionsScene.renderEngineToggle, scene.optionsScene.renderEngineToggle.id, nullptr);
}
} // namespace

TEST_F (StartupTest, BuildsAndWiresEverythingInOrder)
{
    ASSERT_FALSE (presetsFile().exists());
    testing::internal::CaptureStdout();
    auto component = std::make_unique<MainComponent>();
    const auto out = testing::internal::GetCapturedStdout();
    EXPECT_NE (out.find ("Loading app settings\n"), std::string::npos) << out;

    // Data folder and presets: the factory file created and read.
    EXPECT_TRUE (dataFolder().isDirectory());
    ASSERT_TRUE (presetsFile().existsAsFile());
    auto processor = component->getProcessor();
    auto engine = component->getEngine();
    auto* scene = component->getMainScene();
    ASSERT_NE (processor, nullptr);
    ASSERT_NE (engine, nullptr);
    ASSERT_NE (scene, nullptr);
    ASSERT_GT (processor->presetCount, 0);
    EXPECT_TRUE (processor->presets[0].isProtected);

    // The first preset is on the controls and in UserParams.
    EXPECT_EQ (scene->presetBox.getSelectedId(), 1);
    const auto& first = processor->presets[0];
    EXPECT_NEAR (scene->loudnessKnob.value, juce::jlimit (0.0f, 1.0f, first.loudness), 0.01f);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::loudness].load(), scene->loudnessKnob.value);
    EXPECT_FLOAT_EQ (IProcessor::UserParams[IProcessor::lowCutStereo].load(), scene->optionsScene.monoBassKnob.value);
    EXPECT_NEAR (scene->ceilingSlider.getValue(), static_cast<double> (first.ceiling), 0.006);

    // Wiring.
    EXPECT_EQ (component->getWidth(), 1040);
    EXPECT_EQ (scene->getBounds(), juce::Rectangle<int> (0, 0, 1040, 540));
    EXPECT_EQ (scene->getParentComponent(), component.get());
    EXPECT_EQ (scene->processingScene.processor, processor);
    EXPECT_EQ (scene->player.processor, processor);
    EXPECT_EQ (scene->saveScene.getProcessor(), processor);
    EXPECT_EQ (engine->realTimeDisplay, scene->realTimeDisplay);
    EXPECT_EQ (scene->player.engine, engine);
    EXPECT_EQ (engine->player.load(), &scene->player);
    EXPECT_EQ (engine->mainScene.load(), scene);
    EXPECT_EQ (scene->optionsScene.engine, engine);
    ASSERT_NE (scene->optionsScene.deviceSelector, nullptr);
    EXPECT_EQ (scene->optionsScene.deviceSelector->getParentComponent(), &scene->optionsScene);
    EXPECT_EQ (scene->console.visualContext, engine->getVisualContext());

    // The device: no inputs, a stereo output.
    auto* device = engine->deviceManager.getCurrentAudioDevice();
    ASSERT_NE (device, nullptr) << "the JACK dummy server should give a device";
    EXPECT_EQ (device->getActiveInputChannels().countNumberOfSetBits(), 0);
    EXPECT_EQ (device->getActiveOutputChannels().countNumberOfSetBits(), 2);

    // Shut-down: the scene held the last engine reference, so the engine
    // (and its device) goes with the component; nothing was changed, so no
    // settings file is written.
    std::weak_ptr<AudioEngine> engineLeft = engine;
    engine = nullptr;
    component = nullptr;
    EXPECT_TRUE (engineLeft.expired());
    EXPECT_EQ (processor.use_count(), 1) << "only this test still holds the processor";
    EXPECT_FALSE (settingsFile().exists());
}

TEST_F (StartupTest, RenderEngineSettingAtStartUp)
{
    struct Case
    {
        const char* fileValue; // nullptr: no settings file
        bool toggleOn;
        bool openGL;
    };
    // Only "software" moves the switch; only the exact "gpu" draws with OpenGL.
    for (const auto& c : { Case { nullptr, false, true }, Case { "gpu", false, true }, Case { "software", true, false },
                           Case { "GPU", false, false }, Case { "Software", false, false } })
    {
        SCOPED_TRACE (c.fileValue == nullptr ? "no file" : c.fileValue);
        settingsFile().deleteFile();
        if (c.fileValue != nullptr)
            writeSettings (c.fileValue);
        const auto before = settingsFile().exists() ? settingsFile().loadFileAsString() : juce::String();

        {
            testing::internal::CaptureStdout();
            MainComponent component;
            testing::internal::GetCapturedStdout();
            auto& options = component.getMainScene()->optionsScene;
            EXPECT_EQ (options.renderEngineToggle.value, c.toggleOn);
            EXPECT_EQ (component.getMainScene()->realTimeDisplay->spectrumDisplay.isOpenGLContextAttached(), c.openGL);
            EXPECT_FALSE (Resources::settingsChanged) << "setting the switch at start-up is no change";
        }

        // Untouched at exit.
        EXPECT_EQ (settingsFile().exists(), c.fileValue != nullptr);
        if (c.fileValue != nullptr)
        {
            EXPECT_EQ (settingsFile().loadFileAsString(), before);
        }
        Resources::fftRenderEngine = "gpu";
    }
}

TEST_F (StartupTest, AChangedSettingIsWrittenAtExitEvenWhenFlippedBack)
{
    {
        testing::internal::CaptureStdout();
        MainComponent component;
        testing::internal::GetCapturedStdout();
        auto& display = component.getMainScene()->realTimeDisplay->spectrumDisplay;
        flipRenderEngine (*component.getMainScene());
        EXPECT_FALSE (display.isOpenGLContextAttached());
        EXPECT_FALSE (settingsFile().exists()) << "written at exit, not on the change";
    }
    EXPECT_EQ (settingsFile().loadFileAsString(), "<xml>\n<fftRenderEngine>software</fftRenderEngine>\n</xml>");

    // The next run starts in software, flips to GPU and back to software: the
    // file is rewritten with the final value.
    Resources::settingsChanged = false;
    ASSERT_TRUE (settingsFile().replaceWithText ("<xml>\n<fftRenderEngine>software</fftRenderEngine>\n</xml>\n\n"));
    {
        testing::internal::CaptureStdout();
        MainComponent component;
        testing::internal::GetCapturedStdout();
        auto& scene = *component.getMainScene();
        EXPECT_TRUE (scene.optionsScene.renderEngineToggle.value);
        flipRenderEngine (scene);
        EXPECT_TRUE (scene.realTimeDisplay->spectrumDisplay.isOpenGLContextAttached());
        flipRenderEngine (scene);
        EXPECT_FALSE (scene.realTimeDisplay->spectrumDisplay.isOpenGLContextAttached());
    }
    EXPECT_EQ (settingsFile().loadFileAsString(), "<xml>\n<fftRenderEngine>software</fftRenderEngine>\n</xml>");
}

TEST_F (StartupTest, CommandLineFileLoadsLikeADrop)
{
    testing_support::TempFolder folder;
    const auto wav = folder.getFile ("tone.wav");
    ASSERT_TRUE (testing_support::writeAudioFile (wav, testing_support::makeSine (2, 44100, 44100.0, 440.0, 0.5f), 44100.0, 16));
    const auto text = folder.getFile ("notes.txt");
    ASSERT_TRUE (text.replaceWithText ("not audio"));

    testing::internal::CaptureStdout();
    Quorvel_1_2Application::MainWindow window ("Quorvel II");
    testing::internal::GetCapturedStdout();
    auto* component = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (component, nullptr);
    auto& scene = *component->getMainScene();
    std::vector<juce::String> notices;
    scene.inform = [&notices] (const juce::String& title, const juce::String& message) { notices.push_back (title + " / " + message); };

    // Options and an unsupported extension: the drop's own refusal.
    Quorvel_1_2Application::openFromCommandLine (window, juce::StringArray ("--verbose", text.getFullPathName()));
    ASSERT_EQ (notices.size(), 1u);
    EXPECT_EQ (notices[0], "Drag and drop error / File type not supported!");
    EXPECT_EQ (component->getProcessor()->state.load(), IProcessor::stateEmpty);

    // A WAV loads; the window then follows through its timer.
    Quorvel_1_2Application::openFromCommandLine (window, juce::StringArray (wav.getFullPathName()));
    const auto processor = component->getProcessor();
    for (int i = 0; i < 300 && processor->state.load() != IProcessor::stateLoaded; ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (10);
    EXPECT_EQ (processor->state.load(), IProcessor::stateLoaded);
    EXPECT_EQ (processor->numSamples.load(), 44100);
    EXPECT_EQ (notices.size(), 1u);

    // Nothing to open: nothing happens.
    Quorvel_1_2Application::openFromCommandLine (window, {});
    EXPECT_EQ (notices.size(), 1u);
}
