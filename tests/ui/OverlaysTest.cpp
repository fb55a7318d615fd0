#include "UiTestSupport.h"
#include "resources/Drawings.h"
#include "scenes/InstructionOverlayComponent.h"
#include "scenes/ProcessInstructionOverlay.h"
#include "scenes/QuorvelIcon.h"

namespace
{
template <typename Overlay> void expectCentredPaleText (const char* text)
{
    Overlay overlay (text);
    overlay.setSize (600, 100);
    EXPECT_EQ (overlay.text, text);

    const auto image = ui_test::render (overlay);
    const auto ink = ui_test::inkBounds (image, image.getBounds());

    ASSERT_FALSE (ink.isEmpty());
    EXPECT_NEAR (ink.getCentreX(), 300, 3);
    EXPECT_NEAR (ink.getCentreY(), 50, 3);
    EXPECT_GT (ink.getWidth(), 200); // the whole sentence at 14 pixels

    // Translucent pale blue-grey: alpha 136 at its strongest.
    EXPECT_TRUE (ui_test::sameColour (ui_test::strongestInk (image, ink), juce::Colour::fromRGBA (187, 204, 221, 136), 2));
}
} // namespace

TEST (InstructionOverlays, DrawTheirTextCentredInTheirColour)
{
    expectCentredPaleText<InstructionOverlayComponent> ("Drag and Drop source audio file here or click browse!");
    expectCentredPaleText<ProcessInstructionOverlay> ("Highlight and process or process the entire track!");
}

TEST (InstructionOverlays, ShortenATooLongText)
{
    InstructionOverlayComponent overlay ("Drag and Drop source audio file here or click browse!");
    overlay.setSize (120, 30);
    const auto image = ui_test::render (overlay);
    const auto ink = ui_test::inkBounds (image, image.getBounds());

    ASSERT_FALSE (ink.isEmpty());
    EXPECT_LE (ink.getRight(), 120);
    EXPECT_GE (ink.getX(), 0);
}

TEST (QuorvelIcon, OwnsItsDrawingAndCoversTheRingAtAScale)
{
    QuorvelIcon icon;
    icon.drawing = Resources::getDrawing (Resources::IconQuorvel);
    ASSERT_NE (icon.drawing, nullptr);
    icon.drawing->setTransform (juce::AffineTransform::scale (0.15f));
    icon.addAndMakeVisible (*icon.drawing);
    icon.setSize (60, 60);

    // The ring spans 10..390 of the 400 x 400 canvas: about 57 pixels.
    const auto bounds = icon.drawing->getBoundsInParent();
    EXPECT_NEAR (bounds.getX(), 1, 1);
    EXPECT_NEAR (bounds.getWidth(), 57, 1);
    EXPECT_NEAR (bounds.getHeight(), 57, 1);

    // The icon itself paints nothing: everything seen is the drawing's.
    const auto image = ui_test::render (icon);
    EXPECT_TRUE (ui_test::hasInk (image, 30, 2));  // top of the ring
    EXPECT_FALSE (ui_test::hasInk (image, 30, 6)); // between the ring and the cube
    EXPECT_TRUE (ui_test::hasInk (image, 30, 20)); // the cube's top face

    icon.drawing->setVisible (false);
    EXPECT_TRUE (ui_test::inkBounds (ui_test::render (icon), icon.getLocalBounds()).isEmpty());
}
