#include "app/MainComponent.h"

#include "engine/ProcessorTypeI.h"

MainComponent::MainComponent()
{
    processor = std::make_shared<ProcessorTypeI>();
    setSize (contentWidth, contentHeight);

    engine = std::make_shared<AudioEngine> (processor);
    mainScene = std::make_unique<MainScene> (processor);

    mainScene->processingScene.processor = processor;
    mainScene->player.processor = processor;
    engine->realTimeDisplay = mainScene->realTimeDisplay;

    mainScene->setBounds (0, 0, contentWidth, contentHeight);
    addAndMakeVisible (*mainScene);

    // Without a device the program runs silent until one is chosen; the
    // error text is not shown.
    engine->deviceManager.initialise (0, 2, nullptr, true);
    engine->deviceManager.addAudioCallback (engine.get());

    mainScene->player.engine = engine;
    engine->setPlayer (&mainScene->player);
    // The window is shown only after its content is built: take the focus
    // once it is, so the shortcuts reach the scene.
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
    // The scene's player holds the last reference to the engine, whose end
    // closes the device; the processor lives on in any worker still running.
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

void MainComponent::timerCallback() {}
