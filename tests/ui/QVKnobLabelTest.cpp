#include "widgets/QVKnobLabel.h"
#include "UiTestSupport.h"

#include <vector>

namespace
{
/** A scale-1 knob (50 x 50) at (125, 125) with a label attached the way the
    owners attach it: 100 x 100 at (100, 100), centre (50, 50). */
struct LabelledKnob
{
    LabelledKnob()
    {
        knob.setTopLeftPosition (125, 125);
        label.knob = &knob;
        label.setSize (knob.getWidth() + 2 * label.margin, knob.getHeight() + 2 * label.margin);
        label.resized();
    }

    QVKnob knob{1.0f};
    QVKnobLabel label;
};

juce::Rectangle<int> box (int x, int y) { return {x, y, 20, 20}; }
} // namespace

TEST (QVKnobLabel, FollowsItsKnob)
{
    LabelledKnob s;
    EXPECT_EQ (s.label.getBounds(), juce::Rectangle<int> (100, 100, 100, 100));

    s.knob.setTopLeftPosition (40, 60);
    s.label.resized();
    EXPECT_EQ (s.label.getBounds(), juce::Rectangle<int> (15, 35, 100, 100));
}

TEST (QVKnobLabel, WithoutAKnobPaintsNothingAndStaysPut)
{
    QVKnobLabel label;
    label.ticks = {"0", "10"};
    label.tickCount = 2;
    label.setBounds (5, 6, 100, 100);
    label.resized();

    EXPECT_EQ (label.getBounds(), juce::Rectangle<int> (5, 6, 100, 100));
    EXPECT_TRUE (ui_test::inkBounds (ui_test::render (label), label.getLocalBounds()).isEmpty());
}

TEST (QVKnobLabel, CentresTheTitleAtTheBottomOfTheLowerMargin)
{
    LabelledKnob s;
    s.label.title = "GAIN";
    const auto image = ui_test::render (s.label);

    const auto ink = ui_test::inkBounds (image, s.label.getLocalBounds());
    ASSERT_FALSE (ink.isEmpty());
    EXPECT_GE (ink.getY(), 75);      // inside the bottom margin strip
    EXPECT_GE (ink.getBottom(), 94); // pushed down to its bottom
    EXPECT_NEAR (ink.getCentreX(), 50, 2);

    EXPECT_TRUE (ui_test::sameColour (ui_test::strongestInk (image, ink), juce::Colour (0xffffffff), 2));
}

TEST (QVKnobLabel, LaysTicksAroundTheSweepAndJustifiesThemOutwards)
{
    // Radius 12 + 25 = 37 around the label's centre (50, 50); each text sits
    // in a 20 x 20 box centred on its point, truncated to whole pixels.
    struct Tick
    {
        juce::Rectangle<int> box;
        juce::Justification justification;
    };

    struct Case
    {
        int count;
        std::vector<Tick> expected;
    };

    const std::vector<Case> cases{
        {1, {{box (40, 3), juce::Justification::centred}}}, // straight above, centred
        {5,
         {{box (13, 66), juce::Justification::right},  // -135 degrees
          {box (5, 25), juce::Justification::right},   // -67.5
          {box (40, 3), juce::Justification::centred}, // 0
          {box (74, 25), juce::Justification::left},   // 67.5
          {box (66, 66), juce::Justification::left}}}, // 135
    };

    for (const auto& c : cases)
    {
        LabelledKnob s;
        s.label.title = "";
        s.label.ticks.assign (static_cast<size_t> (c.count), "8");
        s.label.tickCount = c.count;
        const auto image = ui_test::render (s.label);

        juce::RectangleList<int> allBoxes;

        for (const auto& t : c.expected)
        {
            allBoxes.add (t.box);
            const auto ink = ui_test::inkBounds (image, t.box);
            ASSERT_FALSE (ink.isEmpty()) << c.count << " ticks, box at " << t.box.toString();

            if (t.justification == juce::Justification::right)
            {
                EXPECT_GE (ink.getRight(), t.box.getRight() - 2) << t.box.toString();
                EXPECT_GT (ink.getX(), t.box.getX() + 8) << t.box.toString();
            }
            else if (t.justification == juce::Justification::left)
            {
                EXPECT_LE (ink.getX(), t.box.getX() + 2) << t.box.toString();
                EXPECT_LT (ink.getRight(), t.box.getRight() - 8) << t.box.toString();
            }
            else
            {
                EXPECT_NEAR (ink.getCentreX(), t.box.getCentreX(), 2) << t.box.toString();
            }
        }

        // Ticks are white at alpha 0xbf.
        EXPECT_TRUE (ui_test::sameColour (ui_test::strongestInk (image, image.getBounds()), juce::Colour (0xbfffffff), 2));

        // Nothing is drawn outside the tick boxes.
        for (int y = 0; y < image.getHeight(); ++y)
        {
            for (int x = 0; x < image.getWidth(); ++x)
            {
                if (!allBoxes.containsPoint ({x, y}))
                {
                    ASSERT_FALSE (ui_test::hasInk (image, x, y)) << c.count << " ticks: ink at " << x << ", " << y;
                }
            }
        }
    }
}

TEST (QVKnobLabel, DrawsOnlyTheTicksItHasTextsFor)
{
    LabelledKnob s;
    s.label.title = "";
    s.label.ticks = {"8", "8"};
    s.label.tickCount = 5; // laid out for five, two supplied
    const auto image = ui_test::render (s.label);

    EXPECT_FALSE (ui_test::inkBounds (image, box (13, 66)).isEmpty());
    EXPECT_FALSE (ui_test::inkBounds (image, box (5, 25)).isEmpty());
    EXPECT_TRUE (ui_test::inkBounds (image, box (40, 3)).isEmpty());
    EXPECT_TRUE (ui_test::inkBounds (image, box (74, 25)).isEmpty());
}
