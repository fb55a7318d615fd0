#include "resources/Drawings.h"
#include "UiTestSupport.h"

#include <vector>

namespace
{
/** Draws a drawing untransformed into an image of the given size. */
juce::Image renderDrawing (juce::Drawable& drawing, int w, int h)
{
    juce::Image image (juce::Image::ARGB, w, h, true);
    juce::Graphics g (image);
    drawing.draw (g, 1.0f);
    return image;
}
} // namespace

TEST (Drawings, UnknownOrEmptyDrawingsAreNull)
{
    EXPECT_EQ (Resources::getDrawing (Resources::LogoQuorvel), nullptr);
    EXPECT_EQ (Resources::getDrawing (static_cast<Resources::Drawings> (5)), nullptr);
    EXPECT_EQ (Resources::getDrawing (static_cast<Resources::Drawings> (-1)), nullptr);
}

TEST (Drawings, EachRequestParsesANewDrawable)
{
    const auto a = Resources::getDrawing (Resources::IconSave);
    const auto b = Resources::getDrawing (Resources::IconSave);
    ASSERT_NE (a, nullptr);
    ASSERT_NE (b, nullptr);
    EXPECT_NE (a.get(), b.get());
}

TEST (Drawings, TheIconsBoundsAreTheRing)
{
    const auto icon = Resources::getDrawing (Resources::IconQuorvel);
    ASSERT_NE (icon, nullptr);
    const auto bounds = icon->getDrawableBounds();
    EXPECT_NEAR (bounds.getX(), 10.0f, 0.5f);
    EXPECT_NEAR (bounds.getY(), 10.0f, 0.5f);
    EXPECT_NEAR (bounds.getRight(), 390.0f, 0.5f);
    EXPECT_NEAR (bounds.getBottom(), 390.0f, 0.5f);

    // Without the ring only the cube remains.
    const auto cube = Resources::getDrawing (Resources::IconQuorvelVari);
    ASSERT_NE (cube, nullptr);
    const auto cubeBounds = cube->getDrawableBounds();
    EXPECT_NEAR (cubeBounds.getX(), 75.654f, 0.5f);
    EXPECT_NEAR (cubeBounds.getY(), 75.231f, 0.5f);
    EXPECT_NEAR (cubeBounds.getRight(), 324.347f, 0.5f);
    EXPECT_NEAR (cubeBounds.getBottom(), 339.325f, 0.5f);
}

TEST (Drawings, PaintWhatTheyDepict)
{
    struct Probe
    {
        int x, y;
        juce::uint32 colour; // 0 for nothing drawn
    };
    struct Case
    {
        Resources::Drawings drawing;
        int w, h;
        std::vector<Probe> probes;
    };

    const juce::uint32 ringGrey = juce::Colour::fromRGBA (0x99, 0x99, 0x99, 226).getARGB(); // opacity 0.8863

    const std::vector<Case> cases{
        {Resources::IconQuorvel,
         400,
         400,
         {{200, 15, ringGrey},    // ring, top
          {385, 200, ringGrey},   // ring, right
          {200, 40, 0},           // inside the ring, above the cube
          {200, 5, 0},            // outside the ring
          {200, 120, 0xffffffff}, // top face
          {260, 230, 0xffcccccc}, // right face
          {140, 230, 0xff999999}, // left face
          {200, 300, 0}}},        // the gap between the side faces
        {Resources::IconQuorvelVari,
         400,
         400,
         {{200, 15, 0}, {385, 200, 0}, {200, 120, 0xffffffff}, {260, 230, 0xffcccccc}, {140, 230, 0xff999999}}},
        // The framework lays the save icon out in its 734-unit viewBox.
        {Resources::IconSave,
         734,
         734,
         {{100, 500, 0xffffffff}, // body
          {200, 100, 0},          // the notch, left of the shutter
          {450, 100, 0xffffffff}, // the shutter rectangle inside the notch
          {450, 250, 0},          // the notch below the shutter
          {450, 300, 0xffffffff}, // the body below the notch
          {540, 100, 0},          // the notch, right of the shutter
          {725, 10, 0},           // the bevelled corner
          {700, 200, 0xffffffff}, // under the bevel
          {1, 1, 0},              // the rounded corners
          {1, 732, 0},
          {732, 732, 0},
          {367, 730, 0xffffffff}}},
        {Resources::LogoStelvane,
         400,
         48,
         {{4, 4, 0xffffffff},    // S
          {72, 30, 0xffffffff},  // T's stem
          {47, 24, 0},           // gap between S and T
          {396, 44, 0xffffffff}, // E's bottom bar reaches the right edge
          {200, 24, 0}}},        // between L and V
    };

    for (const auto& c : cases)
    {
        const auto drawing = Resources::getDrawing (c.drawing);
        ASSERT_NE (drawing, nullptr) << "drawing " << c.drawing;
        const auto image = renderDrawing (*drawing, c.w, c.h);

        for (const auto& p : c.probes)
        {
            if (p.colour == 0)
                EXPECT_FALSE (ui_test::hasInk (image, p.x, p.y)) << "drawing " << c.drawing << " at " << p.x << ", " << p.y;
            else
                EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (p.x, p.y), juce::Colour (p.colour), 2))
                    << "drawing " << c.drawing << " at " << p.x << ", " << p.y;
        }
    }
}

TEST (Drawings, TheWordmarkSpansTheFullWidth)
{
    const auto logo = Resources::getDrawing (Resources::LogoStelvane);
    ASSERT_NE (logo, nullptr);
    const auto bounds = logo->getDrawableBounds();
    EXPECT_NEAR (bounds.getX(), 0.0f, 0.5f);
    EXPECT_NEAR (bounds.getY(), 0.0f, 0.5f);
    EXPECT_NEAR (bounds.getWidth(), 400.0f, 0.5f);
    EXPECT_NEAR (bounds.getHeight(), 48.0f, 0.5f);
}
