#pragma once

#include "widgets/QVCloseButtonListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** A circular close button with a cross, filled while the mouse is over it.
    The owner sets the bounds and the listener. */
class QVCloseButton : public juce::Component
{
public:
    QVCloseButton() = default;
    ~QVCloseButton() override = default;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;

    juce::Colour hoverFillColour{0xff888888};
    juce::Colour strokeColour{0xffdddddd};
    /** Stroke thickness as a fraction of the width. */
    float strokeRatio = 0.07f;
    bool hovered = false;
    QVCloseButtonListener* listener = nullptr;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QVCloseButton)
};
