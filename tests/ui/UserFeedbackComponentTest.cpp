#include "scenes/UserFeedbackComponent.h"
#include "UiTestSupport.h"
#include "widgets/QVKnob.h"

#include <vector>

using ui_test::MouseDriver;

namespace
{
void tick (UserFeedbackComponent& readOut, int times)
{
    for (int i = 0; i < times; ++i)
        readOut.timerCallback();
}
} // namespace

TEST (UserFeedbackComponent, StartsInvisibleWithItsBoxAtTheMargin)
{
    UserFeedbackComponent readOut;
    EXPECT_EQ (readOut.area.getAlpha(), 0.0f);
    EXPECT_TRUE (readOut.area.isVisible());
    EXPECT_EQ (readOut.area.getBounds(), juce::Rectangle<int> (20, 20, 200, 50));
    EXPECT_TRUE (readOut.isTimerRunning());
    EXPECT_EQ (readOut.getTimerInterval(), 25);
}

TEST (UserFeedbackComponent, AShownTextStaysThirtyTicksAndFadesOverTwenty)
{
    UserFeedbackComponent readOut;
    readOut.setSize (1040, 540);
    readOut.show ("LOW CUT 120 Hz", 1);

    EXPECT_EQ (readOut.area.text, "LOW CUT 120 Hz");
    EXPECT_EQ (readOut.corner, 1);

    tick (readOut, 30);
    EXPECT_EQ (readOut.area.getAlpha(), 1.0f);

    tick (readOut, 1);
    EXPECT_LT (readOut.area.getAlpha(), 1.0f);
    EXPECT_GT (readOut.area.getAlpha(), 0.9f);

    tick (readOut, 9);
    EXPECT_NEAR (readOut.area.getAlpha(), 0.5f, 0.01f);

    tick (readOut, 9);
    EXPECT_GT (readOut.area.getAlpha(), 0.0f);

    tick (readOut, 1);
    EXPECT_EQ (readOut.area.getAlpha(), 0.0f);

    // Further ticks leave it at rest.
    tick (readOut, 10);
    EXPECT_EQ (readOut.level, 0.0);
    EXPECT_EQ (readOut.area.getAlpha(), 0.0f);
}

TEST (UserFeedbackComponent, ASecondTextReplacesTheFirstAndRestartsTheFade)
{
    UserFeedbackComponent readOut;
    readOut.setSize (1040, 540);
    readOut.show ("FIRST", 1);
    tick (readOut, 40); // half faded

    readOut.show ("SECOND", 0);
    EXPECT_EQ (readOut.area.text, "SECOND");

    tick (readOut, 30);
    EXPECT_EQ (readOut.area.getAlpha(), 1.0f);
    tick (readOut, 19);
    EXPECT_GT (readOut.area.getAlpha(), 0.0f);
    tick (readOut, 1);
    EXPECT_EQ (readOut.area.getAlpha(), 0.0f);
}

TEST (UserFeedbackComponent, PutsTheBoxInTheChosenCorner)
{
    struct Case
    {
        int corner;
        juce::Rectangle<int> box;
    };
    const std::vector<Case> cases{
        {0, {20, 20, 200, 50}},   {1, {820, 20, 200, 50}}, {2, {20, 470, 200, 50}},
        {3, {820, 470, 200, 50}}, {5, {20, 20, 200, 50}},  {-1, {20, 20, 200, 50}},
    };

    for (const auto& c : cases)
    {
        UserFeedbackComponent readOut;
        readOut.setSize (1040, 540);
        readOut.show ("", c.corner);
        tick (readOut, 1);

        const auto image = ui_test::render (readOut);
        EXPECT_EQ (readOut.area.getBounds(), c.box) << "corner " << c.corner;

        // Grey just inside each corner of the expected box, nothing just outside it.
        for (const auto p : {c.box.getTopLeft(), c.box.getBottomRight() - juce::Point<int> (1, 1)})
            EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (p.x, p.y), juce::Colour (0xff666666))) << "corner " << c.corner;
        for (const auto p : {c.box.getTopLeft() - juce::Point<int> (1, 1), c.box.getBottomRight()})
            EXPECT_FALSE (ui_test::hasInk (image, p.x, p.y)) << "corner " << c.corner;
    }
}

TEST (UserFeedbackComponent, DrawsItsTextLargeWhiteAndCentred)
{
    UserFeedbackComponent readOut;
    readOut.setSize (1040, 540);
    readOut.show ("-1.5 dB", 0);
    tick (readOut, 1);

    const auto image = ui_test::render (readOut);
    juce::Rectangle<int> white;
    for (int y = 20; y < 70; ++y)
        for (int x = 20; x < 220; ++x)
            if (image.getPixelAt (x, y).getBrightness() > 0.95f)
                white = white.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : white.getUnion ({x, y, 1, 1});

    ASSERT_FALSE (white.isEmpty());
    EXPECT_NEAR (white.getCentreX(), 120, 3);
    EXPECT_NEAR (white.getCentreY(), 45, 3);
    EXPECT_GE (white.getHeight(), 15); // a 26-pixel font
}

TEST (UserFeedbackComponent, NeverTakesTheClickOfAKnobUnderTheBox)
{
    juce::Component scene;
    scene.setSize (400, 200);
    QVKnob knob (1.0f);
    knob.setTopLeftPosition (40, 30); // under the top-left box (20, 20, 200, 50)
    scene.addAndMakeVisible (knob);
    UserFeedbackComponent readOut;
    readOut.setBounds (scene.getLocalBounds());
    scene.addAndMakeVisible (readOut);
    readOut.show ("VISIBLE", 0);
    MouseDriver mouse (scene);

    mouse.press ({65.0f, 55.0f});
    mouse.dragTo ({65.0f, 35.0f});
    mouse.release ({65.0f, 35.0f});

    EXPECT_FLOAT_EQ (knob.value, 0.6f);
}
