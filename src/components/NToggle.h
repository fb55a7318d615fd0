#pragma once

#include "components/NComponent.h"

namespace Components
{
/** A two-position switch. A press only tells the parent (code `id`); the
    parent decides and moves the knob with setValue. */
class NToggle : public NComponent
{
public:
    NToggle() = default;
    ~NToggle() override = default;

    /** Moves the knob: false = left, true = right. */
    void setValue (bool v);

    void paint (juce::Graphics& g) override;
    void resized() override;
    void enablementChanged() override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;

    /** Code sent to the parent on a press. */
    int id = 0;
    bool value = false;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NToggle)
};
} // namespace Components
