#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

/** A component that reports to a logical parent with integer codes.

    Most composite views derive from it. A child notifies its parent through
    nComponentCallback; the receiver identifies the sender by comparing the
    pointer with the addresses of its members and then looks at the code.
    Codes in use: 0 an NButton press, a toggle's id, a navigation button's
    kind, 911 meter reset, 1000 close request. Receivers ignore any other
    sender or code. */
class NComponent : public juce::Component
{
public:
    NComponent() = default;
    ~NComponent() override = default;

    /** Refresh hook for an owner's timer; the base does nothing. */
    virtual void nUpdateComponent() {}
    /** Sets the logical parent, which is not owned. */
    virtual void nAddParent (NComponent* p) { parent = p; }
    /** A child's notification; the base ignores it. `data` is always null. */
    virtual void nComponentCallback (NComponent* sender, int code, void* data) { juce::ignoreUnused (sender, code, data); }

    /** Set when the look changed, cleared by the component's own paint. Meter
        views set it from the thread that feeds them, hence atomic. */
    std::atomic<bool> needsRedraw{true};
    /** The logical parent that receives nComponentCallback; not owned. */
    NComponent* parent = nullptr;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NComponent)
};
