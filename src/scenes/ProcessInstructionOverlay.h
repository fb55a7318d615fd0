#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A hint text laid over the waveforms while a loaded file waits to be
    processed. */
class ProcessInstructionOverlay : public juce::Component
{
public:
    explicit ProcessInstructionOverlay (juce::String textToShow);
    ~ProcessInstructionOverlay() override = default;

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Translucent pale blue-grey. */
    juce::Colour textColour{juce::Colour::fromRGBA (187, 204, 221, 136)};
    juce::String text;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProcessInstructionOverlay)
};
