#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A hint text laid over the source waveform until a file is chosen. */
class InstructionOverlayComponent : public juce::Component
{
public:
    explicit InstructionOverlayComponent (juce::String textToShow);
    ~InstructionOverlayComponent() override = default;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Translucent pale blue-grey. */
    juce::Colour textColour{juce::Colour::fromRGBA (187, 204, 221, 136)};
    juce::String text;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InstructionOverlayComponent)
};
