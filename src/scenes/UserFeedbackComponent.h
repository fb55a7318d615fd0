#pragma once

#include "scenes/UserFeedbackArea.h"

#include <juce_gui_basics/juce_gui_basics.h>

/** The value read-out: a text box in one corner of the scene that shows the
    last control change and fades out. A shown text stays fully visible for
    750 ms and fades over the next 500 ms (25 ms ticks). It covers the whole
    scene but never takes a mouse click, so the controls under it keep
    working. */
class UserFeedbackComponent : public juce::Component, public juce::Timer
{
public:
    UserFeedbackComponent();
    ~UserFeedbackComponent() override;

    /** Shows `text` in the given corner and restarts the fade: what every
        writer of the read-out does. */
    void show (const juce::String& text, int cornerToUse);

    void paint (juce::Graphics& g) override;
    /** One fade step. */
    void timerCallback() override;

    /** 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right; anything else
        is top-left. */
    int corner = 1;
    double fadeStep = 0.05;
    double startLevel = 2.5;
    /** The box's opacity is min (1, level). */
    double level = 0.0;
    double boxWidth = 200.0;
    double boxHeight = 50.0;
    double boxMargin = 20.0;
    UserFeedbackArea area;

private:
    /** Where the box goes for `corner` at the current size. */
    juce::Rectangle<int> getAreaBounds() const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UserFeedbackComponent)
};
