#pragma once

#include "widgets/QVKnobListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** A rotary knob whose `value` runs from 0 (left end of the sweep) to 1 (right
    end). Vertical and horizontal drags add up: 200 pixels of travel cover the
    whole range. What the value means is the owner's business; the owner sets
    the public fields after construction and then calls setDefaultValue. */
class QVKnob : public juce::Component
{
public:
    /** The knob is 50 x `scale` pixels square. */
    explicit QVKnob (float scale);
    ~QVKnob() override = default;

    /** Places the knob at `v` within [minimum, maximum], snapped to the grid.
        Does not notify the listener. */
    void setDefaultValue (float v);

    void paint (juce::Graphics& g) override;
    void resized() override {}

    void mouseDown (const juce::MouseEvent& e) override;
    void mouseDrag (const juce::MouseEvent& e) override;
    void mouseMove (const juce::MouseEvent&) override {}
    void mouseUp (const juce::MouseEvent&) override {}
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    /** Keys always pass on to the owner's key listener. */
    bool keyPressed (const juce::KeyPress&) override { return false; }

    float scale;
    float pointerOuterRadius = 20.0f;
    float bodyRadius = 25.0f;
    float pointerInnerRatio = 0.4f;
    float pointerThickness = 2.0f;
    /** Which UserParams entry the owner writes this knob's value to; the knob
        never reads it. */
    int parameterIndex = -1;
    juce::Colour faceColour{0xff272b2e};
    juce::Colour rimColour{0xff000000};
    juce::Colour pointerColour{0xffe0e0e0};
    float maximum = 1.0f;
    float minimum = 0.0f;
    float interval = 0.01f;
    float value = 0.5f;
    float dragStartValue = 0.5f;
    QVKnobListener* listener = nullptr;

private:
    /** Snaps `value` to the `interval` grid. */
    void snapToInterval() noexcept;
    float pointerAngle() const noexcept;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QVKnob)
};
