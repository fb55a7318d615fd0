#include "widgets/QVButton.h"
#include "UiTestSupport.h"
#include "widgets/QVCloseButton.h"

#include <vector>

using ui_test::MouseDriver;

namespace
{
struct CountingButtonListener : QVButtonListener, QVCloseButtonListener
{
    void qvButtonPressed (QVButton* b) override
    {
        ++presses;
        lastButton = b;
    }
    void qvCloseButtonPressed (QVCloseButton* b) override
    {
        ++closePresses;
        lastClose = b;
    }
    int presses = 0, closePresses = 0;
    QVButton* lastButton = nullptr;
    QVCloseButton* lastClose = nullptr;
};

/** Gives every one of the eleven colours its own value, so a test can tell
    which one was picked. */
template <typename Button> void giveDistinctColours (Button& b)
{
    b.backgroundNormal = juce::Colour (0xff000010);
    b.backgroundDisabled = juce::Colour (0xff000020);
    b.backgroundHover = juce::Colour (0xff000030);
    b.backgroundSelected = juce::Colour (0xff000040);
    b.borderNormal = juce::Colour (0xff001000);
    b.borderSelected = juce::Colour (0xff002000);
    b.borderDisabled = juce::Colour (0xff003000);
    b.textNormal = juce::Colour (0xff100000);
    b.textHover = juce::Colour (0xff200000);
    b.textSelected = juce::Colour (0xff300000);
    b.textDisabled = juce::Colour (0xff400000);
}

/** A 60 x 24 button at (20, 20) in a window of its own. */
struct ButtonOnScreen
{
    ButtonOnScreen()
    {
        host.setSize (100, 100);
        button.setBounds (20, 20, 60, 24);
        host.addAndMakeVisible (button);
        button.listener = &listener;
    }

    juce::Component host;
    QVButton button;
    CountingButtonListener listener;
};
} // namespace

TEST (QVButton, PicksItsColoursByStateAndPaintsThem)
{
    struct Case
    {
        const char* name;
        bool enabled, parentEnabled, selected, hovered;
        juce::uint32 background, border, text, paintedBorder;
    };
    const std::vector<Case> cases{
        {"normal", true, true, false, false, 0xff000010, 0xff001000, 0xff100000, 0xff001000},
        {"hovered", true, true, false, true, 0xff000030, 0xff001000, 0xff200000, 0xff001000},
        {"selected", true, true, true, false, 0xff000040, 0xff002000, 0xff300000, 0xff002000},
        {"selected and hovered", true, true, true, true, 0xff000040, 0xff002000, 0xff300000, 0xff002000},
        {"disabled and hovered", false, true, false, true, 0xff000020, 0xff003000, 0xff400000, 0xff003000},
        // Disabled look inside the selected border.
        {"disabled and selected", false, true, true, false, 0xff000020, 0xff003000, 0xff400000, 0xff002000},
        {"disabled through its parent", true, false, false, false, 0xff000020, 0xff003000, 0xff400000, 0xff003000},
    };

    for (const auto& c : cases)
    {
        juce::Component parent;
        QVButton button;
        parent.addAndMakeVisible (button);
        giveDistinctColours (button);
        button.borderThickness = 3.0f;
        button.setBounds (0, 0, 60, 24);
        button.setEnabled (c.enabled);
        parent.setEnabled (c.parentEnabled);
        button.selected = c.selected;
        button.hovered = c.hovered;

        button.updateState();

        EXPECT_EQ (button.currentBackground, juce::Colour (c.background)) << c.name;
        EXPECT_EQ (button.currentBorder, juce::Colour (c.border)) << c.name;
        EXPECT_EQ (button.currentText, juce::Colour (c.text)) << c.name;

        const auto image = ui_test::render (button);
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (1, 12), juce::Colour (c.paintedBorder))) << c.name;
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (58, 22), juce::Colour (c.paintedBorder))) << c.name;
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (4, 4), juce::Colour (c.background))) << c.name;
    }
}

TEST (QVButton, WithoutABorderFillsEverythingWithItsBackground)
{
    QVButton button;
    button.setBounds (0, 0, 40, 20);
    button.borderThickness = 0.0f;
    button.backgroundNormal = juce::Colour (0xff123456);
    button.updateState();

    const auto image = ui_test::render (button);
    for (const auto p : {juce::Point<int> (0, 0), juce::Point<int> (39, 19), juce::Point<int> (0, 10), juce::Point<int> (20, 0)})
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (p.x, p.y), juce::Colour (0xff123456))) << p.toString();
}

TEST (QVButton, DrawsItsTextCentredInTheCurrentTextColour)
{
    QVButton button;
    button.setBounds (0, 0, 80, 20);
    button.text = "PLAY";
    button.hovered = true;
    button.updateState(); // black on white

    const auto image = ui_test::render (button);
    const auto inner = juce::Rectangle<int> (2, 2, 76, 16);
    // The background is opaque white: the text is where the dark pixels are.
    juce::Rectangle<int> dark;
    for (int y = inner.getY(); y < inner.getBottom(); ++y)
        for (int x = inner.getX(); x < inner.getRight(); ++x)
            if (image.getPixelAt (x, y).getBrightness() < 0.2f)
                dark = dark.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : dark.getUnion ({x, y, 1, 1});

    ASSERT_FALSE (dark.isEmpty());
    EXPECT_NEAR (dark.getCentreX(), 40, 2);
    EXPECT_NEAR (dark.getCentreY(), 10, 2);
}

TEST (QVButton, SetSelectedLeavesTheCurrentColoursToUpdateState)
{
    QVButton button;
    giveDistinctColours (button);
    button.updateState();

    button.setSelected (true);
    EXPECT_TRUE (button.selected);
    EXPECT_EQ (button.currentBackground, juce::Colour (0xff000010));

    button.updateState();
    EXPECT_EQ (button.currentBackground, juce::Colour (0xff000040));
}

TEST (QVButton, HoverFollowsTheMouseWithTheHandOnlyWhileEnabled)
{
    for (const bool enabled : {true, false})
    {
        ButtonOnScreen s;
        giveDistinctColours (s.button);
        s.button.setEnabled (enabled);
        s.button.updateState();
        MouseDriver mouse (s.host);

        mouse.move ({50.0f, 30.0f});
        EXPECT_TRUE (s.button.hovered);
        EXPECT_EQ (s.button.currentBackground, juce::Colour (enabled ? 0xff000030 : 0xff000020));
        EXPECT_EQ (s.button.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::PointingHandCursor), enabled);

        mouse.leave();
        EXPECT_FALSE (s.button.hovered);
        EXPECT_EQ (s.button.currentBackground, juce::Colour (enabled ? 0xff000010 : 0xff000020));
        EXPECT_TRUE (s.button.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::NormalCursor));
    }
}

TEST (QVButton, ForwardsEveryPressEvenWhenDisabledAndNeverTogglesItself)
{
    for (const bool enabled : {true, false})
    {
        ButtonOnScreen s;
        s.button.setEnabled (enabled);
        MouseDriver mouse (s.host);

        mouse.click ({50.0f, 30.0f});
        mouse.click ({50.0f, 30.0f});

        EXPECT_EQ (s.listener.presses, 2) << (enabled ? "enabled" : "disabled");
        EXPECT_EQ (s.listener.lastButton, &s.button);
        EXPECT_FALSE (s.button.selected);
    }
}

TEST (QVButton, APressOutsideTheButtonIsNotItsPress)
{
    ButtonOnScreen s;
    MouseDriver mouse (s.host);

    mouse.click ({10.0f, 10.0f});
    EXPECT_EQ (s.listener.presses, 0);
}

TEST (QVCloseButton, FillsWhileHoveredAndReportsPresses)
{
    juce::Component host;
    host.setSize (100, 100);
    QVCloseButton close;
    close.setBounds (10, 10, 30, 30);
    host.addAndMakeVisible (close);
    CountingButtonListener listener;
    close.listener = &listener;
    MouseDriver mouse (host);

    // (15, 5) in button coordinates lies inside the ring and off the cross.
    const auto fillPoint = juce::Point<int> (15, 5);
    EXPECT_FALSE (ui_test::hasInk (ui_test::render (close), fillPoint.x, fillPoint.y));

    mouse.move ({25.0f, 25.0f});
    EXPECT_TRUE (close.hovered);
    const auto hoveredImage = ui_test::render (close);
    EXPECT_TRUE (ui_test::sameColour (hoveredImage.getPixelAt (fillPoint.x, fillPoint.y), juce::Colour (0xff888888)));
    // The cross's middle and the ring's left side are stroked.
    EXPECT_TRUE (ui_test::sameColour (hoveredImage.getPixelAt (15, 15), juce::Colour (0xffdddddd), 8));
    EXPECT_TRUE (ui_test::sameColour (hoveredImage.getPixelAt (1, 15), juce::Colour (0xffdddddd), 40));

    mouse.click ({25.0f, 25.0f});
    EXPECT_EQ (listener.closePresses, 1);
    EXPECT_EQ (listener.lastClose, &close);

    mouse.leave();
    EXPECT_FALSE (close.hovered);
    EXPECT_FALSE (ui_test::hasInk (ui_test::render (close), fillPoint.x, fillPoint.y));
}
