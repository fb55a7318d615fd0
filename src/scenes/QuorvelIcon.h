#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The large product icon shown before the first file is chosen. It paints
    nothing itself: the owner sets `drawing`, adds it as a child and sizes the
    icon. */
class QuorvelIcon : public juce::Component
{
public:
    QuorvelIcon() = default;
    ~QuorvelIcon() override = default;

    void paint (juce::Graphics&) override {}
    void resized() override {}

    /** Owned; may be null. */
    std::unique_ptr<juce::Drawable> drawing;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (QuorvelIcon)
};
