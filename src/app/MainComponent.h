#pragma once

#include "audio/AudioEngine.h"
#include "engine/IProcessor.h"
#include "scenes/MainScene.h"

#include <juce_audio_utils/juce_audio_utils.h>

#include <memory>

/** The window's content: owns the main scene and holds the shared processor.
    Its construction is the program's start-up, its destruction the shut-down.
    The content stays 1040 x 540 however the window is resized. */
class MainComponent : public juce::AudioAppComponent, private juce::Timer
{
public:
    static constexpr int contentWidth = 1040;
    static constexpr int contentHeight = 540;

    MainComponent();
    ~MainComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    // The component's own audio path is never opened; all audio goes through
    // the engine's device manager.
    void prepareToPlay (int samplesPerBlockExpected, double sampleRate) override;
    void releaseResources() override;
    void getNextAudioBlock (const juce::AudioSourceChannelInfo& bufferToFill) override;

    std::shared_ptr<IProcessor> getProcessor() const { return processor; }
    std::shared_ptr<AudioEngine> getEngine() const { return engine; }
    MainScene* getMainScene() const noexcept { return mainScene.get(); }

private:
    void timerCallback() override;

    std::unique_ptr<MainScene> mainScene;
    std::shared_ptr<IProcessor> processor;
    std::shared_ptr<AudioEngine> engine;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainComponent)
};
