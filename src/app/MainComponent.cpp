#include "app/MainComponent.h"

#include "engine/ProcessorTypeI.h"

MainComponent::MainComponent()
{
    processor = std::make_shared<ProcessorTypeI>();
    setSize (contentWidth, contentHeight);

    mainScene = std::make_unique<MainScene> (processor);
    addAndMakeVisible (*mainScene);
    mainScene->setBounds (0, 0, contentWidth, contentHeight);

    startTimer (200);
}

MainComponent::~MainComponent()
{
    stopTimer();
    mainScene = nullptr;
    processor = nullptr;
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
