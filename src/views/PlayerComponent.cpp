#include "views/PlayerComponent.h"

#include "scenes/UserFeedbackComponent.h"

PlayerComponent::PlayerComponent()
{
    volumeKnob.minimum = 0.0f;
    volumeKnob.maximum = 1.0f;
    volumeKnob.interval = 0.001f;
    volumeKnob.rimColour = juce::Colour (0xf0000000);
    volumeKnob.setDefaultValue (1.0f);
    volumeKnob.setBounds (45, 0, 25, 25);
    volumeKnob.listener = this;
    addAndMakeVisible (volumeKnob);

    playButton.text = "PLAY";
    playButton.backgroundNormal = juce::Colour (0xff114422);
    playButton.backgroundHover = juce::Colour (0xff228844);
    playButton.backgroundSelected = juce::Colour (0xff44ff44);
    playButton.borderNormal = juce::Colour (0xff228844);
    playButton.borderSelected = juce::Colour (0xff44ff44);
    playButton.textHover = juce::Colour (0xffffffff);
    playButton.setBounds (0, 0, 40, 25);

    const juce::Colour aAccent (static_cast<juce::uint8> (36), static_cast<juce::uint8> (51), static_cast<juce::uint8> (187),
                                static_cast<juce::uint8> (242));
    aButton.text = "A";
    aButton.backgroundNormal = juce::Colour (0xff111144);
    aButton.backgroundHover = aAccent;
    aButton.borderNormal = aAccent;
    aButton.backgroundSelected = juce::Colour (0xff2288ff);
    aButton.textHover = juce::Colour (0xffffffff);
    aButton.borderThickness = 0.0f;
    aButton.setBounds (75, 0, 25, 25);

    const juce::Colour bAccent (static_cast<juce::uint8> (187), static_cast<juce::uint8> (34), static_cast<juce::uint8> (34),
                                static_cast<juce::uint8> (255));
    bButton.text = "B";
    bButton.backgroundNormal = juce::Colour (0xff441111);
    bButton.backgroundHover = bAccent;
    bButton.borderNormal = bAccent;
    bButton.backgroundSelected = juce::Colour (0xffff4444);
    bButton.textHover = juce::Colour (0xffffffff);
    bButton.borderThickness = 0.0f;
    bButton.setBounds (105, 0, 25, 25);

    for (auto* button : {&playButton, &aButton, &bButton})
    {
        button->listener = this;
        button->setEnabled (false);
        button->updateState();
        addAndMakeVisible (*button);
    }
}

PlayerComponent::~PlayerComponent()
{
    volumeKnob.listener = nullptr;
    for (auto* button : {&playButton, &aButton, &bButton})
        button->listener = nullptr;
}

void PlayerComponent::qvKnobValueChanged (QVKnob* knob)
{
    if (knob != &volumeKnob)
        return;
    const float v = juce::jlimit (0.0f, 1.0f, knob->value);
    volume.store (v, std::memory_order_relaxed);
    showFeedback ("Vol: " + juce::String (juce::roundToInt (v * 100.0f)) + "%");
}

void PlayerComponent::qvButtonPressed (QVButton* button)
{
    if (button == &playButton)
    {
        pressPlay();
        return;
    }
    if (button != &aButton && button != &bButton)
        return;
    // Disabled buttons still forward presses; here they mean nothing.
    if (!button->isEnabled() || processor == nullptr)
        return;

    const bool isA = button == &aButton;
    choose (*button, isA ? bButton : aButton);

    if (processor->mode.load() == 1)
    {
        viewChanged();
        showFeedback (isA ? "CHAIN OFF" : "CHAIN ON");
        processor->chainEnabled.store (!isA);
        return;
    }

    if (isA)
        switchPlayBuffer (processor->sourceBuffer, processor->sourceSampleRate);
    else
        switchPlayBuffer (processor->processedBuffer, processor->processingSampleRate.load());
    viewChanged();
}

void PlayerComponent::pressPlay()
{
    if (playState.load() == playing)
    {
        playButton.setSelected (false);
        playButton.updateState();
        playState.store (paused);
        return;
    }

    if (playBuffer == nullptr)
    {
        // Nothing chosen yet: start with the loaded source, if there is one.
        if (!aButton.isEnabled() || processor == nullptr || processor->sourceBuffer == nullptr
            || processor->sourceBuffer->getNumSamples() == 0)
            return;
        choose (aButton, bButton);
        switchPlayBuffer (processor->sourceBuffer, processor->sourceSampleRate);
        viewChanged();
    }

    playButton.setSelected (true);
    playButton.updateState();
    playState.store (playing);
}

void PlayerComponent::stopAll()
{
    playState.store (stopped);
    for (auto* button : {&aButton, &bButton, &playButton})
    {
        button->setSelected (false);
        button->setEnabled (false);
        button->updateState();
    }
    releasePlayBuffer();
}

void PlayerComponent::choose (QVButton& chosen, QVButton& other)
{
    other.setSelected (false);
    other.updateState();
    chosen.setSelected (true);
    chosen.updateState();
}

void PlayerComponent::showFeedback (const juce::String& text)
{
    // The player keeps whatever corner the read-out is in.
    if (feedback != nullptr)
        feedback->show (text, feedback->corner);
}

void PlayerComponent::viewChanged()
{
    if (onViewChanged)
        onViewChanged();
}
