#include "UiTestSupport.h"
#include "components/NButton.h"
#include "components/NToggle.h"
#include "components/NavPanelButton.h"

#include <utility>
#include <vector>

using ui_test::MouseDriver;

namespace
{
/** A logical parent that records every notification. */
struct RecordingParent : NComponent
{
    void nComponentCallback (NComponent* sender, int code, void* data) override
    {
        received.emplace_back (sender, code);
        EXPECT_EQ (data, nullptr);
    }
    std::vector<std::pair<NComponent*, int>> received;
};

/** `child` at (10, 10) with the given size, in a window, reporting to a
    recording parent. */
template <typename Child> struct ChildOnScreen
{
    explicit ChildOnScreen (int w = 60, int h = 24)
    {
        host.setSize (200, 100);
        child.setBounds (10, 10, w, h);
        child.nAddParent (&parent);
        host.addAndMakeVisible (child);
    }

    juce::Point<float> inside() const { return child.getBounds().getCentre().toFloat(); }

    juce::Component host;
    Child child;
    RecordingParent parent;
};
} // namespace

TEST (NComponent, StartsDirtyWithoutAParentAndIgnoresCallbacks)
{
    NComponent c;
    EXPECT_TRUE (c.needsRedraw.load());
    EXPECT_EQ (c.parent, nullptr);

    RecordingParent p;
    c.nAddParent (&p);
    EXPECT_EQ (c.parent, &p);

    // The base's hooks are safe no-ops.
    c.nUpdateComponent();
    c.nComponentCallback (&p, 0, nullptr);
}

TEST (NButton, PressTellsTheParentOnlyWhileEnabled)
{
    for (const bool enabled : {true, false})
    {
        ChildOnScreen<Components::NButton> s;
        s.child.setEnabled (enabled);
        MouseDriver mouse (s.host);

        mouse.click (s.inside());

        if (enabled)
        {
            ASSERT_EQ (s.parent.received.size(), 1u);
            EXPECT_EQ (s.parent.received[0].first, &s.child);
            EXPECT_EQ (s.parent.received[0].second, 0);
        }
        else
        {
            EXPECT_TRUE (s.parent.received.empty());
        }

        // Either way the press recomputes the colours.
        EXPECT_EQ (s.child.currentBackground, enabled ? s.child.backgroundHover : s.child.backgroundDisabled);
    }
}

TEST (NButton, WithoutAParentAPressGoesNowhere)
{
    juce::Component host;
    host.setSize (100, 50);
    Components::NButton button;
    button.setBounds (0, 0, 60, 24);
    host.addAndMakeVisible (button);
    MouseDriver mouse (host);

    mouse.click ({30.0f, 12.0f});
    EXPECT_TRUE (button.hovered);
}

TEST (NButton, ShowsTheRightTooltipAndLook)
{
    struct Case
    {
        const char* name;
        bool enabled, selected, hovered, hoverHighlight;
        juce::uint32 background, border, text;
        const char* tooltip;
    };
    const std::vector<Case> cases{
        {"normal", true, false, false, true, 0xff000010, 0xff001000, 0xff100000, "on"},
        {"hovered", true, false, true, true, 0xff000030, 0xff001000, 0xff200000, "on"},
        {"hovered without highlight", true, false, true, false, 0xff000010, 0xff001000, 0xff100000, "on"},
        {"selected", true, true, true, true, 0xff000040, 0xff002000, 0xff300000, "on"},
        {"disabled", false, true, true, true, 0xff000020, 0xff003000, 0xff400000, "off"},
    };

    for (const auto& c : cases)
    {
        Components::NButton b;
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
        b.tooltip = "on";
        b.disabledTooltip = "off";
        b.setEnabled (c.enabled);
        b.selected = c.selected;
        b.hovered = c.hovered;
        b.hoverHighlight = c.hoverHighlight;
        b.needsRedraw = false;

        b.updateState();

        EXPECT_EQ (b.currentBackground, juce::Colour (c.background)) << c.name;
        EXPECT_EQ (b.currentBorder, juce::Colour (c.border)) << c.name;
        EXPECT_EQ (b.currentText, juce::Colour (c.text)) << c.name;
        EXPECT_EQ (b.getTooltip(), juce::String (c.tooltip)) << c.name;
        EXPECT_TRUE (b.needsRedraw.load()) << c.name;
    }
}

TEST (NButton, OutlinesTwoPixelsInTheBorderColourUnlessTheBorderIsZero)
{
    struct Case
    {
        float thickness;
        bool selected;
        juce::uint32 edge;
    };
    const std::vector<Case> cases{
        {1.5f, false, 0xff00ff00}, // current border
        {1.5f, true, 0xffff0000},  // selected border
        {0.0f, false, 0xff0000ff}, // no outline: background to the edge
    };

    for (const auto& c : cases)
    {
        Components::NButton b;
        b.setBounds (0, 0, 60, 24);
        b.borderNormal = juce::Colour (0xff00ff00);
        b.borderSelected = juce::Colour (0xffff0000);
        b.backgroundNormal = juce::Colour (0xff0000ff);
        b.backgroundSelected = juce::Colour (0xff0000ff);
        b.borderThickness = c.thickness;
        b.selected = c.selected;
        b.updateState();

        const auto image = ui_test::render (b);
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (0, 12), juce::Colour (c.edge))) << c.thickness;
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (30, 23), juce::Colour (c.edge))) << c.thickness;
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (5, 5), juce::Colour (0xff0000ff))) << c.thickness;
        EXPECT_FALSE (b.needsRedraw.load());
    }
}

TEST (NToggle, APressAsksTheParentButLeavesTheKnobAlone)
{
    for (const bool enabled : {true, false})
    {
        ChildOnScreen<Components::NToggle> s (40, 20);
        s.child.id = 7;
        s.child.setEnabled (enabled);
        MouseDriver mouse (s.host);

        mouse.click (s.inside());

        EXPECT_FALSE (s.child.value);

        if (enabled)
        {
            ASSERT_EQ (s.parent.received.size(), 1u);
            EXPECT_EQ (s.parent.received[0].first, &s.child);
            EXPECT_EQ (s.parent.received[0].second, 7);
        }
        else
        {
            EXPECT_TRUE (s.parent.received.empty());
        }

        EXPECT_EQ (s.child.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::PointingHandCursor), true);
        mouse.leave();
        EXPECT_TRUE (s.child.getMouseCursor() == juce::MouseCursor (juce::MouseCursor::NormalCursor));
    }
}

TEST (NToggle, DrawsItsKnobOnTheSideOfItsValue)
{
    // 40 x 20: knob of diameter 16 at x 2 (left) or x 22 (right).
    struct Case
    {
        bool value, enabled;
        int knobX, emptyX;
        juce::uint32 colour;
    };
    const std::vector<Case> cases{
        {false, true, 10, 30, 0xffffffff},
        {true, true, 30, 10, 0xffffffff},
        {true, false, 30, 10, 0xff646464},
    };

    for (const auto& c : cases)
    {
        juce::Component parent;
        Components::NToggle toggle;
        parent.addAndMakeVisible (toggle);
        toggle.setBounds (0, 0, 40, 20);
        toggle.setEnabled (c.enabled);
        toggle.setValue (c.value);

        const auto image = ui_test::render (toggle);
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (c.knobX, 10), juce::Colour (c.colour))) << c.value;
        EXPECT_FALSE (ui_test::hasInk (image, c.emptyX, 10)) << c.value;
        // The rounded outline runs along the top edge.
        EXPECT_TRUE (ui_test::hasInk (image, 20, 0)) << c.value;
    }
}

TEST (NToggle, TallerThanWideDrawsNothing)
{
    for (const auto size : {juce::Point<int> (20, 40), juce::Point<int> (20, 20)})
    {
        Components::NToggle toggle;
        toggle.setSize (size.x, size.y);
        toggle.setValue (true);
        const auto image = ui_test::render (toggle);
        EXPECT_TRUE (ui_test::inkBounds (image, image.getBounds()).isEmpty()) << size.toString();
    }
}

TEST (NavPanelButton, DrawsTheIconOfItsKind)
{
    // 50 x 50: icon size 30 around (25, 25). The triangle covers the centre;
    // the document's folded corner covers the pixel at (30, 15) fully (a cog
    // tooth's edge passes nearby, so only full cover counts); the cog's hub
    // ring passes through (25, 31); the centre of document and cog stays empty.
    struct Case
    {
        int kind;
        bool centre, foldedCorner, hub, any;
    };
    const std::vector<Case> cases{
        {0, true, false, true, true},    {1, false, true, false, true},    {2, false, false, true, true},    {3, false, true, false, true},
        {4, false, false, false, false}, {17, false, false, false, false}, {-1, false, false, false, false},
    };

    for (const auto& c : cases)
    {
        Components::NavPanelButton button;
        button.kind = c.kind;
        button.setSize (50, 50);
        button.needsRedraw = true;

        const auto image = ui_test::render (button);

        EXPECT_EQ (ui_test::hasInk (image, 25, 25), c.centre) << "kind " << c.kind;
        EXPECT_EQ (image.getPixelAt (30, 15).getAlpha() == 255, c.foldedCorner) << "kind " << c.kind;
        EXPECT_EQ (ui_test::hasInk (image, 25, 31), c.hub) << "kind " << c.kind;
        EXPECT_EQ (!ui_test::inkBounds (image, image.getBounds()).isEmpty(), c.any) << "kind " << c.kind;
        EXPECT_FALSE (button.needsRedraw.load()) << "kind " << c.kind;
    }
}

TEST (NavPanelButton, HoverChangesTheColourAndEveryPressSendsItsKind)
{
    for (const bool enabled : {true, false})
    {
        ChildOnScreen<Components::NavPanelButton> s (50, 50);
        s.child.kind = 3;
        s.child.tooltip = "Browse";
        s.child.setEnabled (enabled);
        MouseDriver mouse (s.host);

        EXPECT_EQ (s.child.getTooltip(), juce::String ("Browse"));
        EXPECT_FLOAT_EQ (s.child.centreX, 25.0f);
        EXPECT_FLOAT_EQ (s.child.iconSize, 30.0f);

        ui_test::render (s.child);
        EXPECT_EQ (s.child.currentColour, juce::Colour (0xff969696));

        mouse.move (s.inside());
        EXPECT_TRUE (s.child.hovered);
        EXPECT_TRUE (s.child.needsRedraw.load());
        const auto image = ui_test::render (s.child);
        EXPECT_EQ (s.child.currentColour, juce::Colour (0xff96ffff));
        EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (30, 15), juce::Colour (0xff96ffff)));

        mouse.click (s.inside());
        ASSERT_EQ (s.parent.received.size(), 1u) << (enabled ? "enabled" : "disabled");
        EXPECT_EQ (s.parent.received[0].first, &s.child);
        EXPECT_EQ (s.parent.received[0].second, 3);

        mouse.leave();
        EXPECT_FALSE (s.child.hovered);
    }
}

TEST (NavPanelButton, WithoutAParentIgnoresPresses)
{
    juce::Component host;
    host.setSize (100, 100);
    Components::NavPanelButton button;
    button.setBounds (0, 0, 50, 50);
    host.addAndMakeVisible (button);
    MouseDriver mouse (host);

    mouse.click ({25.0f, 25.0f});
    EXPECT_TRUE (button.hovered);
}
