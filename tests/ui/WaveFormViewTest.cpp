#include "views/WaveFormView.h"
#include "UiTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using testing_support::makeBuffer;

namespace
{
bool waitForState (WaveFormView& view, int state, int seconds = 20)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (seconds);
    while (view.getDrawingState() != state)
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for (std::chrono::milliseconds (2));
    }
    return true;
}

juce::Colour pixelAt (const WaveFormView& view, int x, int y) { return view.getPicture().getPixelAt (x, y); }

std::unique_ptr<WaveFormView> drawnView (juce::AudioBuffer<float> buffer, double rate = 44100.0)
{
    auto view = std::make_unique<WaveFormView>();
    view->setBounds (0, 0, 400, 100);
    view->setBuffer (std::make_shared<juce::AudioBuffer<float>> (std::move (buffer)), rate);
    view->updateViewFromAudioDataThreaded();
    EXPECT_TRUE (waitForState (*view, WaveFormView::drawn));
    return view;
}
} // namespace

TEST (WaveFormView, ColoursFollowTheRateOfChange)
{
    // Ten seconds at 44.1 kHz in 400 columns: each sample adds 1200 / 1102.5
    // to its pixel, so one sample already saturates a channel.
    const int n = 441000;

    // A constant level changes not at all: pure red dots, 0.5 drawn at row 72.
    auto steady = drawnView (makeBuffer (1, n, [] (int, int) { return 0.5f; }));
    EXPECT_EQ (pixelAt (*steady, 200, 72), juce::Colour (255, 0, 0));
    EXPECT_EQ (pixelAt (*steady, 200, 30), juce::Colour (0x00000000)); // untouched

    // Fast jumps (0.6 > f = 0.05) add no red: hundreds of hits per pixel
    // saturate green and blue.
    auto fast = drawnView (makeBuffer (1, n, [] (int, int i) { return i % 2 ? 0.3f : -0.3f; }));
    const int rowUp = static_cast<int> (0.3 * 45.0 + 50.0), rowDown = static_cast<int> (static_cast<float> (-0.3 * 45.0 + 50.0));
    EXPECT_EQ (pixelAt (*fast, 100, rowUp), juce::Colour (0, 255, 255));
    EXPECT_EQ (pixelAt (*fast, 100, rowDown), juce::Colour (0, 255, 255));

    // Positive samples are drawn below the centre line; out of range ones are skipped.
    auto loud = drawnView (makeBuffer (1, n, [] (int, int i) { return i < n / 2 ? 1.5f : -0.9f; }));
    EXPECT_EQ (pixelAt (*loud, 100, 99).getARGB(), 0u);
    EXPECT_EQ (pixelAt (*loud, 300, static_cast<int> (static_cast<float> (-0.9 * 45.0 + 50.0))).getRed(), 255);
}

TEST (WaveFormView, SingleHitsShowTheColourScale)
{
    // Forty seconds in 400 columns: one hit adds F = 1200 / 4410 = 0.272.
    // Samples of 5.0 fall outside the picture but still count as the
    // previous sample.
    const int n = 1764000, k = 800000;
    auto view = drawnView (makeBuffer (1, n,
                                       [] (int, int i)
                                       {
                                           if (i == k)
                                               return 0.3f; // jump from 5.0: fully fast
                                           if (i == k + 1)
                                               return 0.3375f; // change of 0.0375 = 0.75 f
                                           return 5.0f;
                                       }));
    const int x = static_cast<int> (static_cast<juce::int64> (k) * 400 / n);
    EXPECT_EQ (pixelAt (*view, x, 63), juce::Colour (0, 34, 69));
    EXPECT_EQ (pixelAt (*view, x, 65), juce::Colour (17, 43, 52));
}

TEST (WaveFormView, OverlayAndEmptyBuffer)
{
    auto view = drawnView (juce::AudioBuffer<float> (2, 0));
    // Rows of amplitude 0 and +-1 are blended a third towards grey 150.
    for (int y : {50, 95, 5})
        EXPECT_EQ (pixelAt (*view, 17, y), juce::Colour (50, 50, 50)) << y;
    EXPECT_EQ (pixelAt (*view, 17, 60).getARGB(), 0u);

    EXPECT_TRUE (view->poll()); // 0 -> 4 seen once
    EXPECT_FALSE (view->poll());
    view->setDrawingState (WaveFormView::shown);
    EXPECT_TRUE (view->poll());
}

TEST (WaveFormView, NewDrawingSupersedesARunningOne)
{
    auto view = std::make_unique<WaveFormView>();
    view->setBounds (0, 0, 400, 100);
    // A long buffer keeps the first thread busy.
    view->setBuffer (std::make_shared<juce::AudioBuffer<float>> (makeBuffer (1, 40'000'000, [] (int, int) { return 0.5f; })), 44100.0);
    view->updateViewFromAudioDataThreaded();
    const auto firstPicture = view->getPicture();

    view->setBuffer (std::make_shared<juce::AudioBuffer<float>> (makeBuffer (1, 1000, [] (int, int) { return -0.5f; })), 44100.0);
    view->updateViewFromAudioDataThreaded();
    ASSERT_TRUE (waitForState (*view, WaveFormView::drawn));
    EXPECT_NE (view->getPicture().getPixelData(), firstPicture.getPixelData());

    // The old drawing stopped and never touched the new picture: nothing at +0.5.
    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    EXPECT_EQ (view->getPicture().getPixelAt (100, 72).getARGB(), 0u);
    EXPECT_EQ (view->getPicture().getPixelAt (100, static_cast<int> (static_cast<float> (-0.5 * 45.0 + 50.0))).getRed(), 255);

    // Destroying a view mid-drawing is safe: the thread owns what it writes.
    view->updateViewFromAudioDataThreaded();
    view->setBuffer (nullptr, 44100.0);
    view = nullptr;
    std::this_thread::sleep_for (std::chrono::milliseconds (20));
}

TEST (SelectionComponent, OrdersTheRangeAndPaintsInsideAndOutside)
{
    SelectionComponent selection;
    selection.setBounds (0, 0, 400, 100);
    EXPECT_FALSE (selection.isVisible());

    selection.update (0.75, 0.25);
    EXPECT_DOUBLE_EQ (selection.getStart(), 0.25);
    EXPECT_DOUBLE_EQ (selection.getEnd(), 0.75);
    EXPECT_TRUE (selection.isVisible());

    juce::Image image (juce::Image::ARGB, 400, 100, true);
    {
        juce::Graphics g (image);
        selection.paintEntireComponent (g, true);
    }
    EXPECT_EQ (image.getPixelAt (50, 50), juce::Colour (0xff000000));
    EXPECT_EQ (image.getPixelAt (200, 50), juce::Colour (0xffffffff));
    EXPECT_EQ (image.getPixelAt (350, 50), juce::Colour (0xff000000));

    int removed = 0;
    selection.onRemoveRequested = [&] { ++removed; };
    const auto now = juce::Time::getCurrentTime();
    selection.mouseDown (juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), {200.0f, 50.0f}, {}, 0.0f, 0.0f, 0.0f, 0.0f,
                                           0.0f, &selection, &selection, now, {200.0f, 50.0f}, now, 1, false));
    EXPECT_EQ (removed, 1);
}

TEST (WaveFormView, DragReportsFractionsAndPressesGoToTheParent)
{
    // The view inside a parent that records the presses passed to it.
    struct Parent : juce::Component
    {
        void mouseDown (const juce::MouseEvent& e) override
        {
            ++presses;
            pressedOn = e.eventComponent;
        }
        int presses = 0;
        juce::Component* pressedOn = nullptr;
    } parent;
    parent.setSize (400, 100);
    WaveFormView view;
    view.setBounds (0, 0, 400, 100);
    parent.addAndMakeVisible (view);

    std::vector<std::pair<double, double>> drags;
    view.onSelectionDragged = [&] (double a, double b) { drags.emplace_back (a, b); };

    ui_test::MouseDriver mouse (parent);
    ASSERT_TRUE (mouse.isReady());

    mouse.press ({100.0f, 50.0f});
    EXPECT_EQ (parent.presses, 1);
    EXPECT_EQ (parent.pressedOn, &view);
    mouse.dragTo ({300.0f, 60.0f});
    mouse.dragTo ({100.0f, 40.0f}); // back onto the press point: nothing
    mouse.dragTo ({-50.0f, 40.0f}); // beyond the left edge: not limited here
    mouse.release ({-50.0f, 40.0f});

    ASSERT_EQ (drags.size(), 2u);
    EXPECT_DOUBLE_EQ (drags[0].first, 0.25);
    EXPECT_DOUBLE_EQ (drags[0].second, 0.75);
    EXPECT_DOUBLE_EQ (drags[1].first, 0.25);
    EXPECT_DOUBLE_EQ (drags[1].second, -0.125);

    // Dragging backwards reports the ends swapped.
    mouse.press ({300.0f, 50.0f});
    mouse.dragTo ({100.0f, 50.0f});
    mouse.release ({100.0f, 50.0f});
    ASSERT_EQ (drags.size(), 3u);
    EXPECT_DOUBLE_EQ (drags[2].first, 0.75);
    EXPECT_DOUBLE_EQ (drags[2].second, 0.25);
    EXPECT_EQ (parent.presses, 2);
}
