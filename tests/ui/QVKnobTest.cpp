#include "widgets/QVKnob.h"
#include "UiTestSupport.h"

#include <cmath>
#include <vector>

using ui_test::MouseDriver;

namespace
{
struct CountingKnobListener : QVKnobListener
{
    void qvKnobValueChanged (QVKnob* knob) override
    {
        ++calls;
        last = knob;
    }
    int calls = 0;
    QVKnob* last = nullptr;
};

/** A knob of scale 1 (50 x 50) at (100, 100) in a window of its own. */
struct KnobOnScreen
{
    KnobOnScreen()
    {
        host.setSize (300, 300);
        knob.setTopLeftPosition (100, 100);
        host.addAndMakeVisible (knob);
        knob.listener = &listener;
    }

    juce::Point<float> centre() const { return {125.0f, 125.0f}; }

    juce::Component host;
    QVKnob knob{1.0f};
    CountingKnobListener listener;
};
} // namespace

TEST (QVKnob, IsFiftyTimesScaleSquare)
{
    QVKnob knob (1.0f);
    EXPECT_EQ (knob.getBounds(), juce::Rectangle<int> (0, 0, 50, 50));

    QVKnob large (1.37f);
    EXPECT_EQ (large.getWidth(), 68);
    EXPECT_EQ (large.getHeight(), 68);
}

TEST (QVKnob, DragsAddVerticalAndHorizontalTravel)
{
    struct Case
    {
        float dx, dy, expected;
    };
    const std::vector<Case> cases{
        {0, -100, 1.0f},                                         // 100 px up from the middle reaches the top
        {0, 100, 0.0f},  {50, -50, 1.0f},                        // diagonal: both halves add up
        {50, 50, 0.5f},                                          // right and down cancel
        {-20, 0, 0.4f},  {0, -30, 0.65f}, {0.4f, -10.4f, 0.55f}, // distances round to whole pixels
    };

    for (const auto& c : cases)
    {
        KnobOnScreen s;
        MouseDriver mouse (s.host);
        ASSERT_TRUE (mouse.isReady());

        mouse.press (s.centre());
        mouse.dragTo (s.centre() + juce::Point<float> (c.dx, c.dy));
        mouse.release (s.centre() + juce::Point<float> (c.dx, c.dy));

        EXPECT_NEAR (s.knob.value, c.expected, 1.0e-6f) << "drag " << c.dx << ", " << c.dy;
        EXPECT_EQ (s.listener.calls, 1);
        EXPECT_EQ (s.listener.last, &s.knob);
    }
}

TEST (QVKnob, StaysClampedAndNotifiesOnEveryDragEvent)
{
    KnobOnScreen s;
    MouseDriver mouse (s.host);

    mouse.press (s.centre());
    mouse.dragTo (s.centre() + juce::Point<float> (0, -100));
    EXPECT_FLOAT_EQ (s.knob.value, 1.0f);
    mouse.dragTo (s.centre() + juce::Point<float> (0, -140));
    EXPECT_FLOAT_EQ (s.knob.value, 1.0f);
    mouse.dragTo (s.centre() + juce::Point<float> (0, -141));
    EXPECT_FLOAT_EQ (s.knob.value, 1.0f);
    mouse.release (s.centre() + juce::Point<float> (0, -141));

    EXPECT_EQ (s.listener.calls, 3);
}

TEST (QVKnob, EachDragStartsFromTheValueAtMouseDown)
{
    KnobOnScreen s;
    MouseDriver mouse (s.host);

    mouse.press (s.centre());
    mouse.dragTo (s.centre() + juce::Point<float> (0, -40));
    mouse.release (s.centre() + juce::Point<float> (0, -40));
    EXPECT_FLOAT_EQ (s.knob.value, 0.7f);

    // A second drag from the same place continues from 0.7, not from 0.5.
    mouse.press (s.centre());
    mouse.dragTo (s.centre() + juce::Point<float> (0, -20));
    mouse.release (s.centre() + juce::Point<float> (0, -20));
    EXPECT_FLOAT_EQ (s.knob.value, 0.8f);
}

TEST (QVKnob, AClickAloneNeitherMovesNorNotifies)
{
    KnobOnScreen s;
    s.knob.value = 0.37f;
    MouseDriver mouse (s.host);

    mouse.click (s.centre());

    EXPECT_FLOAT_EQ (s.knob.value, 0.37f);
    EXPECT_EQ (s.listener.calls, 0);
}

TEST (QVKnob, SnapsToTheIntervalBeforeClamping)
{
    struct Case
    {
        float interval, start, dy, expected;
    };
    const std::vector<Case> cases{
        {0.25f, 0.5f, -20, 0.5f},  // raw 0.6
        {0.25f, 0.5f, -26, 0.75f}, // raw 0.63
        {0.25f, 0.5f, -25, 0.75f}, // raw 0.625: halves go away from zero
        {0.3f, 0.5f, -120, 1.0f},  // raw 1.1 snaps to 1.2, then clamps
        // A step of 0 cannot quantise anything; the raw value survives.
        {0.0f, 0.5f, -13, 0.565f},
    };

    for (const auto& c : cases)
    {
        KnobOnScreen s;
        s.knob.interval = c.interval;
        s.knob.value = c.start;
        MouseDriver mouse (s.host);

        mouse.press (s.centre());
        mouse.dragTo (s.centre() + juce::Point<float> (0, c.dy));
        mouse.release (s.centre() + juce::Point<float> (0, c.dy));

        EXPECT_NEAR (s.knob.value, c.expected, 1.0e-6f) << "interval " << c.interval << " dy " << c.dy;
    }
}

TEST (QVKnob, SetDefaultValueMapsClampsAndSnapsWithoutNotifying)
{
    struct Case
    {
        float minimum, maximum, interval, v, expected;
    };
    const std::vector<Case> cases{
        {0.0f, 1.0f, 0.01f, 2.0f, 1.0f},   {0.0f, 1.0f, 0.01f, -3.0f, 0.0f},
        {-6.0f, 0.0f, 0.01f, -3.0f, 0.5f}, {20.0f, 120.0f, 0.01f, 45.0f, 0.25f},
        {0.0f, 1.0f, 0.25f, 0.6f, 0.5f},   {0.0f, 1.0f, 0.01f, std::nanf (""), 0.0f}, // no NaN ever reaches the knob
        {2.0f, 2.0f, 0.01f, 2.0f, 0.0f},                                              // an empty range has no middle
    };

    for (const auto& c : cases)
    {
        QVKnob knob (1.0f);
        CountingKnobListener listener;
        knob.listener = &listener;
        knob.minimum = c.minimum;
        knob.maximum = c.maximum;
        knob.interval = c.interval;

        knob.setDefaultValue (c.v);

        EXPECT_NEAR (knob.value, c.expected, 1.0e-6f) << c.minimum << ".." << c.maximum << " v " << c.v;
        EXPECT_EQ (listener.calls, 0);
    }
}

TEST (QVKnob, ShowsThePointingHandOnlyWhileEnabled)
{
    for (const bool enabled : {true, false})
    {
        KnobOnScreen s;
        s.knob.setEnabled (enabled);
        MouseDriver mouse (s.host);

        mouse.move (s.centre());
        EXPECT_EQ (s.knob.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::PointingHandCursor), enabled);

        mouse.leave();
        EXPECT_TRUE (s.knob.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::NormalCursor));
    }
}

TEST (QVKnob, PaintsThePointerAtTheValuesAngle)
{
    const juce::Colour pointer (0xffe0e0e0), face (0xff272b2e), rim (0xff000000);

    // Angle 0 points up, the sweep runs from -135 to +135 degrees clockwise.
    struct Case
    {
        float value, degrees;
    };
    const std::vector<Case> cases{{0.0f, -135.0f}, {0.25f, -67.5f}, {0.5f, 0.0f}, {0.75f, 67.5f}, {1.0f, 135.0f}};

    for (const auto& c : cases)
    {
        QVKnob knob (2.0f); // 100 x 100: pointer from radius 16 to 40
        knob.value = c.value;
        const auto image = ui_test::render (knob);

        const auto at = [] (float radius, float degrees)
        {
            const auto a = juce::degreesToRadians (degrees);
            return juce::Point<int> ((int) std::floor (50.0f + radius * std::sin (a)), (int) std::floor (50.0f - radius * std::cos (a)));
        };

        // Just inside the pointer's end, and on the way in: pointer colour.
        for (const float radius : {37.0f, 25.0f})
        {
            const auto p = at (radius, c.degrees);
            EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (p.x, p.y), pointer, 60)) << "value " << c.value << " radius " << radius;
        }

        // Inside the pointer's inner end, and the opposite direction: face.
        for (const auto p : {at (10.0f, c.degrees), at (30.0f, c.degrees + 180.0f)})
            EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (p.x, p.y), face)) << "value " << c.value;

        // The outer ring between radius 40 and 50.
        const auto ring = at (46.0f, c.degrees);
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (ring.x, ring.y), rim)) << "value " << c.value;
    }
}
