#pragma once

#include "widgets/QVButtonListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>

/** A rectangular text button with four looks: normal, hovered, selected and
    disabled. It forwards every press to its listener, enabled or not, and never
    toggles `selected` itself. Owners that change a colour, `text`, `selected`
    or the enablement call updateState() so the current colours follow. */
class QVButton : public juce::Component
{
public:
    QVButton() = default;
    ~QVButton() override = default;

    /** Recomputes the current colours from the state and repaints. */
    void updateState();
    /** Stores `selected` and repaints; the current colours are left alone. */
    void setSelected (bool shouldBeSelected);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;

    std::string text;
    juce::Colour backgroundNormal{0xff000000};
    juce::Colour backgroundDisabled{0xff444444};
    juce::Colour backgroundHover{0xffffffff};
    juce::Colour backgroundSelected{0xffffffff};
    /** Border of the normal and the hovered look. */
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
    /** Derived state, written only by updateState(). */
    juce::Colour currentBackground = backgroundNormal;
    juce::Colour currentText = textNormal;
    juce::Colour currentBorder = borderNormal;
    QVButtonListener* listener = nullptr;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QVButton)
};
