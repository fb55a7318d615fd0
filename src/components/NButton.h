#pragma once

#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>

namespace Components
{
/** A text button that reports presses to its logical parent with code 0, and
    only while enabled. Same looks and fields as QVButton, plus a switch for the
    hover look and separate tooltips for the enabled and disabled states. */
class NButton : public NComponent, public juce::TooltipClient
{
public:
    NButton() = default;
    ~NButton() override = default;

    juce::String getTooltip() override;
    /** Tells the parent of a press (code 0) if there is one and the button is
        enabled. */
    virtual void callback();

    /** Recomputes the current colours from the state, flags and repaints. */
    void updateState();

    void paint (juce::Graphics& g) override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;

    std::string text;
    juce::Colour backgroundNormal{0xff000000};
    juce::Colour backgroundDisabled{0xff444444};
    juce::Colour backgroundHover{0xffffffff};
    juce::Colour backgroundSelected{0xffffffff};
    juce::Colour borderNormal{0xffffffff};
    juce::Colour borderSelected{0xffffffff};
    juce::Colour borderDisabled{0xffaaaaaa};
    juce::Colour textNormal{0xffffffff};
    juce::Colour textHover{0xff000000};
    juce::Colour textSelected{0xff000000};
    juce::Colour textDisabled{0xffaaaaaa};
    float borderThickness = 1.5f;
    bool selected = false;
    bool hovered = false;
    juce::Colour currentBackground = backgroundNormal;
    juce::Colour currentText = textNormal;
    juce::Colour currentBorder = borderNormal;
    /** Whether the hover look is shown at all. */
    bool hoverHighlight = true;
    juce::String tooltip;
    juce::String disabledTooltip;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NButton)
};
} // namespace Components
