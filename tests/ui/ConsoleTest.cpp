// The level console: its layout, the peaks it takes from the visual context
// and decays, the bar heights and the dB scale.
#include "MeterTestSupport.h"
#include "UiTestSupport.h"
#include "components/Master.h"
#include "components/VUMeter.h"
#include "resources/Palette.h"

#include <gtest/gtest.h>

#include <limits>

using Components::Console::Master;
using Components::Console::VUMeter;

namespace
{
struct BarRows
{
    int green, orange, background;
};

/** Counts the rows of each colour down the middle of a bar. */
BarRows countRows (const VUMeter& meter, const juce::Image& image)
{
    BarRows rows { 0, 0, 0 };
    const int x = image.getWidth() / 2;
    for (int y = 0; y < image.getHeight(); ++y)
    {
        const auto c = image.getPixelAt (x, y);
        if (c == meter.barColour)
            ++rows.green;
        else if (c == meter.overColour)
            ++rows.orange;
        else if (c == meter.backgroundColour)
            ++rows.background;
        else
            ADD_FAILURE() << "row " << y << " is " << c.toDisplayString (true);
    }
    return rows;
}

/** The scale's label for a value, drawn as the console should draw it. */
juce::Image expectedLabel (const Master& console, double decibels, const char* text)
{
    return meter_test::referenceImage (console.getWidth(), console.getHeight(),
                                       [&] (juce::Graphics& g)
                                       {
                                           g.fillAll (Resources::PanelLight);
                                           g.setFont (11.0f);
                                           g.setColour (juce::Colours::white);
                                           const float w2 = console.scaleWidth - 24.0f;
                                           const float y = console.scaleY (decibels);
                                           g.drawText (text, juce::Rectangle<float> (console.scaleX + 24.0f, y - 6.0f, w2 - 24.0f, 10.0f),
                                                       juce::Justification::centred, false);
                                       });
}
} // namespace

TEST (Console, LaysOutTwoBarsWithTheScaleBetween)
{
    const struct
    {
        int w, h;
        juce::Rectangle<int> left, right;
        juce::Rectangle<float> scale;
    } rows[] = {
        { 140, 464, { 20, 20, 2, 424 }, { 118, 20, 2, 424 }, { 22.0f, 20.0f, 96.0f, 424.0f } }, // the main scene's console
        { 41, 30, { 20, 20, 1, 0 }, { 21, 20, 0, 0 }, { 21.0f, 20.0f, 0.0f, 0.0f } },
        { 10, 10, { 20, 20, 0, 0 }, { 20, 20, 0, 0 }, { 20.0f, 20.0f, 0.0f, 0.0f } },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (juce::String (row.w) + " x " + juce::String (row.h));
        Master console;
        console.setSize (row.w, row.h);
        EXPECT_EQ (console.leftMeter->getBounds(), row.left);
        EXPECT_EQ (console.rightMeter->getBounds(), row.right);
        EXPECT_EQ (juce::Rectangle<float> (console.scaleX, console.scaleYPosition, console.scaleWidth, console.scaleHeight), row.scale);
        EXPECT_EQ (console.leftMeter->parent, &console);
        EXPECT_TRUE (console.leftMeter->isOpaque());
    }
}

TEST (Console, TakesTheChannelMaximaAndDecaysTheContext)
{
    Master console;
    console.setSize (140, 464);

    // No context yet: the meters keep what they have.
    console.leftMeter->level = 0.25f;
    console.nUpdateComponent();
    EXPECT_EQ (console.leftMeter->drawnLevel, 0.25f);

    auto context = std::make_shared<VisualContext> (44100.0);
    const float start[] = { -0.3f, 0.8f, -0.9f, 0.5f };
    for (int i = 0; i < 4; ++i)
        context->levels[i] = start[i];
    console.visualContext = context;

    console.nUpdateComponent();
    EXPECT_EQ (console.leftMeter->level, 0.8f);
    EXPECT_EQ (console.rightMeter->level, 0.5f); // the maximum, not the deeper minimum
    EXPECT_EQ (console.leftMeter->drawnLevel, 0.8f);
    EXPECT_EQ (console.rightMeter->drawnLevel, 0.5f);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ (context->levels[i].load(), start[i] * 0.69f) << i;

    // After the signal stops the bar falls by 0.69 per tick, down to the
    // 1e-5 floor, where the last drawn bar stays.
    float lastAboveFloor = 0.0f;
    for (int tick = 0; tick < 40; ++tick)
    {
        const float before = context->levels[1].load();
        if (before > 1e-5f)
            lastAboveFloor = before;
        console.nUpdateComponent();
    }
    EXPECT_LT (console.leftMeter->level, 1e-5f);
    EXPECT_EQ (console.leftMeter->drawnLevel, lastAboveFloor);
    EXPECT_GT (lastAboveFloor, 1e-5f);
    EXPECT_LT (lastAboveFloor, 1e-5f / 0.69f);
}

TEST (Console, BarHeightsFollowTheLevelOnTheMeterScale)
{
    const struct
    {
        const char* what;
        float level;
        BarRows rows;
    } cases[] = {
        { "silence", 0.0f, { 0, 0, 1000 } },
        { "-6 dB", 0.5f, { 705, 0, 295 } },
        { "0 dB fills 89 % in green", 1.0f, { 890, 0, 110 } },
        { "+3 dB adds 10.9 % in orange", 1.4125f, { 890, 109, 1 } },
        { "+3.03 dB fills the bar", 1.41742f, { 890, 110, 0 } },
        { "+6 dB", 1.99526f, { 890, 110, 0 } },
        { "infinity", std::numeric_limits<float>::infinity(), { 890, 110, 0 } },
        { "NaN draws nothing", std::numeric_limits<float>::quiet_NaN(), { 0, 0, 1000 } },
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE (row.what);
        VUMeter meter;
        meter.setSize (6, 1000);
        meter.drawnLevel = row.level;
        const auto rows = countRows (meter, ui_test::render (meter));
        EXPECT_EQ (rows.green, row.rows.green);
        EXPECT_EQ (rows.orange, row.rows.orange);
        EXPECT_EQ (rows.background, row.rows.background);
    }

    // The bar shows the level only once the console asked it to.
    VUMeter meter;
    meter.setSize (6, 1000);
    meter.level = 1.0f;
    EXPECT_EQ (countRows (meter, ui_test::render (meter)).green, 0);
    meter.nUpdateComponent();
    EXPECT_EQ (countRows (meter, ui_test::render (meter)).green, 890);
}

TEST (Console, ScaleHasNineTicksAndItsLabels)
{
    Master console;
    console.setSize (140, 464);
    const auto image = ui_test::render (console);
    const int x = static_cast<int> (console.scaleX);
    const int w2 = static_cast<int> (console.scaleWidth) - 24;

    const struct
    {
        double decibels;
        float y; // in the console, from H - (464 x 6^(dB x 0.0215) x 0.8 - 19)
        const char* label;
    } marks[] = {
        { 3.0, 26.32f, "3.0" },      { 0.0, 71.8f, "0.0" },       { -3.0, 112.31f, "-3.0" },
        { -6.0, 148.40f, "-6.0" },   { -12.0, 209.20f, "-12.0" }, { -24.0, 295.74f, "-24.0" },
        { -48.0, 384.58f, "-48.0" }, { -64.0, 411.46f, "" },      { -200.0, 442.83f, "-inf" },
    };
    for (const auto& mark : marks)
    {
        SCOPED_TRACE (mark.decibels);
        EXPECT_NEAR (console.scaleY (mark.decibels), mark.y, 0.01f);

        // Grey ticks on both sides of the label, on the row of the value.
        const int row = static_cast<int> (mark.y);
        for (const int tickX : { x + 18, x + w2 + 6 })
        {
            bool grey = false;
            for (int y = row - 1; y <= row + 1; ++y)
                grey = grey || image.getPixelAt (tickX, y).getRed() > Resources::PanelLight.getRed() + 20;
            EXPECT_TRUE (grey) << "no tick at x " << tickX << " near row " << row;
        }

        // The label between the ticks: white text, or nothing at -64 dB.
        const juce::Rectangle<int> labelArea (x + 25, row - 7, w2 - 26, 12);
        EXPECT_TRUE (meter_test::sameRegion (image, expectedLabel (console, mark.decibels, mark.label), labelArea));
    }

    // The bars stand on the left and right of the scale, over the panel colour.
    EXPECT_EQ (image.getPixelAt (5, 200), Resources::PanelLight);
    EXPECT_EQ (image.getPixelAt (20, 200), console.leftMeter->backgroundColour);
    EXPECT_EQ (image.getPixelAt (119, 200), console.rightMeter->backgroundColour);
}
