#include "app/MainComponent.h"

#include "engine/ProcessorTypeI.h"
#include "resources/Paths.h"
#include "resources/Presets.h"
#include "resources/Settings.h"

#include <iostream>

MainComponent::MainComponent()
{
    processor = std::make_shared<ProcessorTypeI>();

    Resources::SetUpDataFolder();
    Resources::ReadSettings();
    Resources::ReadPresets (*processor);

    setSize (contentWidth, contentHeight);

    std::cout << "Loading app settings" << std::endl;

    engine = std::make_shared<AudioEngine> (processor);
    mainScene = std::make_unique<MainScene> (processor);

    // The scene attached OpenGL only for exactly "gpu", so any other value
    // draws in software, but only "software" moves the switch. Setting the
    // switch directly does not count as a change of the setting.
    if (Resources::fftRenderEngine == "software")
    {
        mainScene->optionsScene.renderEngineToggle.setValue (true);
        mainScene->realTimeDisplay->spectrumDisplay.detachOpenGLContext();
    }

    mainScene->saveScene.setProcessor (processor);
    mainScene->processingScene.processor = processor;
    mainScene->player.processor = processor;
    engine->realTimeDisplay = mainScene->realTimeDisplay;

    mainScene->setBounds (0, 0, contentWidth, contentHeight);
    mainScene->initPresets();
    addAndMakeVisible (*mainScene);

    // Without a device the program runs silent until one is chosen in the
    // options; the error text is not shown.
    engine->deviceManager.initialise (0, 2, nullptr, true);
    engine->deviceManager.addAudioCallback (engine.get());

    mainScene->optionsScene.installDeviceSelector (engine);

    mainScene->player.engine = engine;
    engine->setPlayer (&mainScene->player);
    mainScene->console.visualContext = engine->getVisualContext();
    // The window is shown only after its content is built: take the focus
    // again once it is, so the shortcuts reach the scene.
    mainScene->grabKeyboardFocus();
    juce::MessageManager::callAsync (
        [scene = juce::Component::SafePointer<MainScene> (mainScene.get())]
        {
            if (scene != nullptr && scene->isShowing() && !scene->hasKeyboardFocus (true))
                scene->grabKeyboardFocus();
        });
    engine->setMainScene (mainScene.get());

    startTimer (200);
}

MainComponent::~MainComponent()
{
    if (Resources::settingsChanged)
        (void) Resources::SaveSettings();
    // The scene holds the last references to the engine (whose end closes
    // the device) and the processor, which lives on in any worker still
    // running.
    engine = nullptr;
    processor = nullptr;
    mainScene = nullptr;
    stopTimer();
}

void MainComponent::paint (juce::Graphics& g) { g.fillAll (getLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId)); }

void MainComponent::resized()
{
    if (getWidth() != contentWidth || getHeight() != contentHeight)
    {
        setSize (contentWidth, contentHeight);
        return;
    }
    if (mainScene != nullptr)
        mainScene->setBounds (getX(), getY(), contentWidth, contentHeight);
}

void MainComponent::prepareToPlay (int, double) {}

void MainComponent::releaseResources() {}

void MainComponent::getNextAudioBlock (const juce::AudioSourceChannelInfo& bufferToFill) { bufferToFill.clearActiveBufferRegion(); }

void MainComponent::timerCallback()
{
    // A device restart replaces the engine's level record: keep the console
    // on the current one.
    if (engine == nullptr || mainScene == nullptr)
        return;
    auto context = engine->getVisualContext();
    if (context != nullptr && context != mainScene->console.visualContext)
        mainScene->console.visualContext = std::move (context);
}
