#pragma once

// Helpers for the GUI tests: a window that hosts the component under test so
// that synthesised mouse events travel the framework's real path (hit testing,
// enter and exit, drag tracking), and snapshots for pixel checks.

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <memory>

namespace ui_test
{
/** Puts `content` into a desktop window of its own size at the screen's
    top-left and feeds it mouse events through the window's peer. The message
    loop is never run, so only the synthesised events reach the component. */
class MouseDriver
{
public:
    explicit MouseDriver (juce::Component& contentToHost) : content (contentToHost)
    {
        content.setTopLeftPosition (0, 0);
        content.addToDesktop (0);
        content.setVisible (true);
        peer = content.getPeer();
    }

    ~MouseDriver()
    {
        // Leave the shared mouse source up and away from any later window.
        if (peer != nullptr)
            send ({-100.0f, -100.0f}, {});
        content.removeFromDesktop();
    }

    MouseDriver (const MouseDriver&) = delete;
    MouseDriver& operator= (const MouseDriver&) = delete;

    bool isReady() const { return peer != nullptr; }

    void move (juce::Point<float> p) { send (p, {}); }
    void press (juce::Point<float> p)
    {
        move (p);
        send (p, leftButton());
    }
    void dragTo (juce::Point<float> p) { send (p, leftButton()); }
    void release (juce::Point<float> p) { send (p, {}); }
    void click (juce::Point<float> p)
    {
        press (p);
        release (p);
    }
    /** Moves the pointer off the window, so the component under it gets its exit. */
    void leave() { move ({-50.0f, -50.0f}); }

private:
    static juce::ModifierKeys leftButton() { return juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier); }

    void send (juce::Point<float> p, juce::ModifierKeys mods)
    {
        // Events far apart in time never combine into double clicks.
        time += 1000;
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, p, mods, juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time);
    }

    juce::Component& content;
    juce::ComponentPeer* peer = nullptr;
    juce::int64 time = juce::Time::currentTimeMillis();
};

/** Paints `c` and its children into a fresh ARGB image of its size. */
inline juce::Image render (juce::Component& c) { return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f); }

inline ::testing::AssertionResult sameColour (juce::Colour actual, juce::Colour expected, int tolerance = 0)
{
    const auto near = [tolerance] (juce::uint8 a, juce::uint8 b) { return std::abs (int (a) - int (b)) <= tolerance; };

    if (near (actual.getAlpha(), expected.getAlpha()) && near (actual.getRed(), expected.getRed())
        && near (actual.getGreen(), expected.getGreen()) && near (actual.getBlue(), expected.getBlue()))
        return ::testing::AssertionSuccess();

    return ::testing::AssertionFailure() << "colour " << actual.toDisplayString (true) << " is not " << expected.toDisplayString (true)
                                         << " (tolerance " << tolerance << ")";
}

/** True where something was drawn into a snapshot. */
inline bool hasInk (const juce::Image& image, int x, int y) { return image.getPixelAt (x, y).getAlpha() > 0; }

/** The smallest rectangle holding every drawn pixel of `area`, or an empty
    one if nothing was drawn there. */
inline juce::Rectangle<int> inkBounds (const juce::Image& image, juce::Rectangle<int> area)
{
    juce::Rectangle<int> found;
    bool any = false;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (hasInk (image, x, y))
            {
                const juce::Rectangle<int> pixel (x, y, 1, 1);
                found = any ? found.getUnion (pixel) : pixel;
                any = true;
            }

    return found;
}
/** The most opaque pixel of `area`: the colour text or a line was drawn in,
    free of the anti-aliased edges. */
inline juce::Colour strongestInk (const juce::Image& image, juce::Rectangle<int> area)
{
    juce::Colour strongest (0x00000000);

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (image.getPixelAt (x, y).getAlpha() > strongest.getAlpha())
                strongest = image.getPixelAt (x, y);

    return strongest;
}
} // namespace ui_test
