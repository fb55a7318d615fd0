#pragma once

#include "widgets/QVKnob.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <string>
#include <vector>

/** The caption and scale texts drawn around a QVKnob. The label covers the
    knob plus `margin` on every side and lies under it, so the knob keeps the
    mouse; the bottom margin strip carries the title. */
class QVKnobLabel : public juce::Component
{
public:
    QVKnobLabel() = default;
    ~QVKnobLabel() override = default;

    void paint (juce::Graphics& g) override;
    /** Follows the knob: owners call this directly after moving their knob. */
    void resized() override;

    /** The knob decorated; nothing is drawn while null. Not owned. */
    QVKnob* knob = nullptr;
    std::string title = "LABEL";
    float titleFontHeight = 11.0f;
    juce::Colour titleColour{0xffffffff};
    float tickFontHeight = 9.0f;
    juce::Colour tickColour{0xbfffffff};
    /** Scale texts, the first at the left end of the sweep. */
    std::vector<std::string> ticks;
    /** How many entries of `ticks` are drawn. */
    int tickCount = 0;
    /** Distance of the tick texts' centres beyond the knob's radius. */
    float tickGap = 12.0f;
    int margin = 25;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QVKnobLabel)
};
