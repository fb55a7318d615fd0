#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The thin vertical line at the play position on a waveform view. */
class PlayheadComponent : public juce::Component
{
public:
    PlayheadComponent() = default;
    void paint (juce::Graphics& g) override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PlayheadComponent)
};
