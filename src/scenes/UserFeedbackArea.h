#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The visible box of the value read-out: a grey box with one large line of
    text. Its opacity is driven by the UserFeedbackComponent that owns it. */
class UserFeedbackArea : public juce::Component
{
public:
    UserFeedbackArea() = default;
    ~UserFeedbackArea() override = default;

    void paint (juce::Graphics& g) override;

    juce::String text;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UserFeedbackArea)
};
