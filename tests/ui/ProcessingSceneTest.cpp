#include "scenes/ProcessingScene.h"
#include "UiTestSupport.h"

#include <cmath>
#include <memory>
#include <vector>

using ui_test::MouseDriver;

namespace
{
/** A processor whose run only counts stop requests. */
struct StopCountingProcessor : IProcessor
{
    void execute() override {}
    void stopExecution() override { ++stops; }
    int stops = 0;
};

struct SceneAt1040x540
{
    SceneAt1040x540()
    {
        scene.processor = processor;
        scene.setSize (1040, 540);
    }

    std::shared_ptr<StopCountingProcessor> processor = std::make_shared<StopCountingProcessor>();
    ProcessingScene scene;
};

const juce::Colour barBlue (0xff0066ff);

/** Checks that the bar drawn along row `y` from x 300 is blue for `length`
    pixels and black for the rest of its 200. */
::testing::AssertionResult barHasLength (const juce::Image& image, int y, int length)
{
    for (int x = 300; x < 500; ++x)
    {
        const auto expected = x < 300 + length ? barBlue : juce::Colours::black;

        if (image.getPixelAt (x, y) != expected)
            return ::testing::AssertionFailure() << "pixel " << x << " of row " << y << " is "
                                                 << image.getPixelAt (x, y).toDisplayString (true) << ", expected a bar of " << length;
    }

    // Beyond the bar's end only the translucent background remains.
    if (image.getPixelAt (500, y).getAlpha() != 0xdd || image.getPixelAt (299, y).getAlpha() != 0xdd)
        return ::testing::AssertionFailure() << "the bar of row " << y << " spills out of its 200 pixels";

    return ::testing::AssertionSuccess();
}
} // namespace

TEST (ProcessingScene, DrawsBothBarsFromTheProgressFields)
{
    struct Case
    {
        float stageProgress;
        int stageIndex, numStages;
        float stageFraction;
        int stageBar, overallBar;
    };
    const std::vector<Case> cases{
        {0.0f, 0, 5, 0.0f, 0, 0},     {0.25f, 1, 5, 0.25f, 50, 50},       // (1 + 0.25) / 5 of the run
        {0.5f, 2, 5, 0.5f, 100, 100}, {0.333f, 3, 5, 0.9f, 67, 156},      // rounded to whole pixels
        {1.3f, 4, 5, 1.0f, 200, 200},                                     // an overshooting stage shows a full bar
        {1.0f, 5, 5, 0.6f, 200, 200},                                     // the overall bar never passes 200
        {-0.5f, 0, 5, -1.0f, 0, 0},   {std::nanf (""), 2, 0, 0.5f, 0, 0}, // nonsense shows empty bars
    };

    for (const auto& c : cases)
    {
        SceneAt1040x540 s;
        s.processor->stageProgress = c.stageProgress;
        s.processor->stageIndex = c.stageIndex;
        s.processor->numStages = c.numStages;
        s.processor->stageFraction = c.stageFraction;

        const auto image = ui_test::render (s.scene);

        for (const int y : {192, 196})
            EXPECT_TRUE (barHasLength (image, y, c.stageBar)) << "stage progress " << c.stageProgress;
        for (const int y : {205, 209})
            EXPECT_TRUE (barHasLength (image, y, c.overallBar)) << "stage " << c.stageIndex << " + " << c.stageFraction;
    }
}

TEST (ProcessingScene, FillsWithItsTranslucentBackgroundAndShowsTheStatus)
{
    SceneAt1040x540 s;
    s.processor->statusText = std::string ("Resampling");
    const auto image = ui_test::render (s.scene);

    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (100, 100), juce::Colour (0xdd272b2e), 1));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (1000, 500), juce::Colour (0xdd272b2e), 1));

    // White text starting at the top-left of its box.
    juce::Rectangle<int> white;
    for (int y = 170; y < 185; ++y)
        for (int x = 300; x < 500; ++x)
            if (image.getPixelAt (x, y).getBrightness() > 0.9f)
                white = white.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1) : white.getUnion ({x, y, 1, 1});

    ASSERT_FALSE (white.isEmpty());
    EXPECT_LE (white.getX(), 302);
    EXPECT_LE (white.getY(), 174);

    // Nothing white outside the status box (the bars and CANCEL lie below it).
    for (const auto p : {juce::Point<int> (299, 177), juce::Point<int> (300, 186), juce::Point<int> (200, 177)})
        EXPECT_LT (image.getPixelAt (p.x, p.y).getBrightness(), 0.5f) << p.toString();
}

TEST (ProcessingScene, PlacesCancelAndStopsTheRunOnlyThroughIt)
{
    SceneAt1040x540 s;
    EXPECT_EQ (s.scene.cancelButton.getBounds(), juce::Rectangle<int> (300, 220, 48, 18));
    EXPECT_EQ (s.scene.cancelButton.text, "CANCEL");
    EXPECT_EQ (s.scene.cancelButton.parent, &s.scene);

    MouseDriver mouse (s.scene);

    // Clicks on the overlay itself are swallowed.
    mouse.click ({200.0f, 200.0f});
    EXPECT_EQ (s.processor->stops, 0);

    mouse.click ({324.0f, 229.0f});
    EXPECT_EQ (s.processor->stops, 1);

    // A disabled CANCEL sends nothing.
    s.scene.cancelButton.setEnabled (false);
    mouse.click ({324.0f, 229.0f});
    EXPECT_EQ (s.processor->stops, 1);
}

TEST (ProcessingScene, IgnoresOtherSendersAndCodes)
{
    SceneAt1040x540 s;
    Components::NButton stranger;

    s.scene.nComponentCallback (&stranger, 0, nullptr);
    s.scene.nComponentCallback (&s.scene.cancelButton, 1000, nullptr);
    s.scene.nComponentCallback (nullptr, 0, nullptr);
    EXPECT_EQ (s.processor->stops, 0);

    s.scene.nComponentCallback (&s.scene.cancelButton, 0, nullptr);
    EXPECT_EQ (s.processor->stops, 1);
}

TEST (ProcessingScene, WithoutAProcessorDrawsEmptyBarsAndCancelDoesNothing)
{
    ProcessingScene scene;
    scene.setSize (1040, 540);

    const auto image = ui_test::render (scene);
    EXPECT_TRUE (barHasLength (image, 194, 0));
    EXPECT_TRUE (barHasLength (image, 207, 0));

    scene.nComponentCallback (&scene.cancelButton, 0, nullptr);
}
