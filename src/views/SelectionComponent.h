#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** The highlighted range of a waveform view. Drawn at low opacity over the
    picture: the outside darkened, the inside lightened. The range is stored as
    fractions 0..1 of the view's width, start never above end. */
class SelectionComponent : public juce::Component
{
public:
    SelectionComponent() = default;

    /** Shows the range between a and b (in either order). */
    void update (double a, double b, bool unused = false);

    void paint (juce::Graphics& g) override;
    void mouseDown (const juce::MouseEvent& e) override;

    double getStart() const noexcept { return start; }
    double getEnd() const noexcept { return end; }

    /** Called when a press on the visible selection removes it; the owner
        clears the selection flag and the loop and hides both views' ranges. */
    std::function<void()> onRemoveRequested;

    juce::Colour insideColour{0xffffffff};
    juce::Colour outsideColour{0xff000000};

private:
    double start = 0.0;
    double end = 0.0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SelectionComponent)
};
