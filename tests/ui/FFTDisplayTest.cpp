// The spectrum display: window, grid, peak hold, the curve on the log axis,
// the timer, and the choice of drawing engine.
#include "components/FFTDisplay.h"
#include "MeterTestSupport.h"
#include "UiTestSupport.h"
#include "components/RealTimeDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <vector>

using Components::Modules::AudioGraph;
using Components::Modules::FFTDisplay;
using Components::Modules::RealTimeDisplay;

namespace
{
constexpr double rate = 44100.0;
/** A 4096-point bin in the middle of the 1 kHz decade. */
constexpr int toneBin = 93;

/** A software-drawn spectrum display of w x h whose next 4096 pushed samples
    make exactly one frame. */
class Spectrum
{
public:
    Spectrum (int w, int h)
    {
        display.setSize (w, h);
        // The very first sample is offered at once (ring index 0); drop that
        // frame so that later frames hold 4096 samples of the test signal.
        display.pushSample (0.0f);
        display.frameReady = false;
    }

    /** Pushes one frame of signal (continuous over frames) and checks that it
        was handed over. */
    void offer (const std::function<float (int)>& signal)
    {
        for (int i = 0; i < AudioGraph::frameSize; ++i)
            display.pushSample (signal (sampleIndex++));
        ASSERT_TRUE (display.frameReady.load());
    }

    void offerSilence()
    {
        offer ([] (int) { return 0.0f; });
    }

    void offerTone (float peak, int bin = toneBin)
    {
        offer ([=] (int n)
               { return peak * static_cast<float> (std::sin (juce::MathConstants<double>::twoPi * bin * n / AudioGraph::frameSize)); });
    }

    /** A paint that the display asked for, as its timer does when a frame waits. */
    juce::Image paintRequested()
    {
        display.needsRedraw = true;
        return ui_test::render (display);
    }

    meter_test::ScopedRenderEngine software { "software" };
    FFTDisplay display;
    int sampleIndex = 0;
};

/** The points of the curve, one per bin from 1 to 4095. */
std::vector<juce::Point<float>> curvePoints (const juce::Path& path)
{
    std::vector<juce::Point<float>> points;
    juce::Path::Iterator it (path);
    while (it.next())
        if (it.elementType == juce::Path::Iterator::lineTo)
            points.emplace_back (it.x1, it.y1);
    // The last two line to the bottom corners.
    if (points.size() >= 2)
        points.resize (points.size() - 2);
    return points;
}

/** Where the ink of one row or column is centred, weighted by its alpha. */
double inkCentre (const juce::Image& image, bool alongX, int fixed, int from, int to)
{
    double sum = 0.0, weighted = 0.0;
    for (int i = from; i < to; ++i)
    {
        const double a = (alongX ? image.getPixelAt (i, fixed) : image.getPixelAt (fixed, i)).getFloatAlpha();
        sum += a;
        weighted += a * (i + 0.5);
    }
    return sum > 0.0 ? weighted / sum : -1.0;
}

/** The topmost row in which two images differ, or -1. */
int firstDifferingRow (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return y;
    return -1;
}
} // namespace

TEST (FFTDisplay, WindowIsAHannWindowThatSumsToTheFrameSize)
{
    Spectrum spectrum (200, 100);
    const auto& w = spectrum.display.window;
    ASSERT_EQ (w.size(), 4096u);

    double sum = 0.0;
    for (const float v : w)
        sum += v;
    EXPECT_NEAR (sum, 4096.0, 0.01);
    EXPECT_EQ (w[0], 0.0f);
    EXPECT_NEAR (w[4095], 0.0f, 1e-6f);
    EXPECT_NEAR (w[2047], 4096.0 / 2047.5, 1e-3); // the peak of a Hann window summing to 4096
    for (const int i : { 1, 100, 1000, 2000 })
        EXPECT_NEAR (w[static_cast<size_t> (i)], w[static_cast<size_t> (4095 - i)], 1e-5f) << i;
}

TEST (FFTDisplay, GridLiesOnTheLogFrequencyAndDecibelAxes)
{
    Spectrum spectrum (1000, 600);
    auto& display = spectrum.display;
    ASSERT_TRUE (display.backgroundReady);
    const auto& grid = display.backgroundImage;
    ASSERT_EQ (grid.getWidth(), 1000);
    ASSERT_EQ (grid.getHeight(), 600);

    // Vertical lines at x = W (ln f - ln 20) / ln 1000, rounded: a line of
    // width 1 at integer x covers half of pixel x - 1 and half of pixel x.
    const struct
    {
        double frequency;
        int x;
    } lines[] = { { 50.0, 133 },   { 100.0, 233 },  { 200.0, 333 },  { 500.0, 466 },
                  { 1000.0, 566 }, { 2000.0, 667 }, { 5000.0, 799 }, { 10000.0, 900 } };
    for (const auto& line : lines)
    {
        SCOPED_TRACE (line.frequency);
        EXPECT_NEAR (inkCentre (grid, true, 325, line.x - 4, line.x + 4), line.x, 0.01);
        // Half covered: the colour survives un-premultiplying only roughly.
        EXPECT_TRUE (ui_test::sameColour (grid.getPixelAt (line.x, 325).withAlpha (1.0f), juce::Colour (0xff464646), 3));
    }

    // Horizontal lines: +12 dB at the top edge, 0 dB at H / 6 in its own
    // colour, then every 6 dB down to -60 at the bottom edge.
    EXPECT_NEAR (inkCentre (grid, false, 950, 96, 104), 100.0, 0.01);
    EXPECT_TRUE (ui_test::sameColour (grid.getPixelAt (950, 100).withAlpha (1.0f), juce::Colour (0xff788296), 3));
    EXPECT_NEAR (inkCentre (grid, false, 950, 146, 154), 150.0, 0.01);
    EXPECT_TRUE (ui_test::sameColour (grid.getPixelAt (950, 150).withAlpha (1.0f), juce::Colour (0xff464646), 3));
    EXPECT_GT (grid.getPixelAt (950, 0).getAlpha(), 0);
    EXPECT_EQ (grid.getPixelAt (950, 1).getAlpha(), 0);
    EXPECT_GT (grid.getPixelAt (950, 599).getAlpha(), 0);

    // The 1 kHz label 4 pixels right of its line, below the top edge.
    const auto label = meter_test::referenceImage (1000, 600,
                                                   [] (juce::Graphics& g)
                                                   {
                                                       g.setFont (11.0f);
                                                       g.setColour (juce::Colour (0xff787878));
                                                       g.drawText ("1khz", 570, 4, 50, 14, juce::Justification::topLeft, true);
                                                   });
    EXPECT_TRUE (meter_test::sameRegion (grid, label, { 570, 2, 50, 17 }));
    EXPECT_TRUE (ui_test::hasInk (grid, 572, 10) || ui_test::hasInk (grid, 573, 10) || ui_test::hasInk (grid, 574, 10));

    // Other sizes: 1 kHz at 0.566323 x W; halves round to even (+6 dB at
    // 2.5 on a 30-pixel-high display lies on row 2).
    display.setSize (433, 30);
    EXPECT_NEAR (inkCentre (display.backgroundImage, true, 23, 240, 250), 245.0, 0.01);
    EXPECT_NEAR (inkCentre (display.backgroundImage, false, 431, 1, 4), 2.0, 0.01);
    EXPECT_NEAR (inkCentre (display.backgroundImage, false, 431, 3, 7), 5.0, 0.01);

    // The paint puts the grid on black.
    display.setSize (1000, 600);
    const auto shown = spectrum.paintRequested();
    EXPECT_EQ (shown.getPixelAt (300, 325), juce::Colour (0xff000000));
    EXPECT_TRUE (
        ui_test::sameColour (shown.getPixelAt (950, 100), juce::Colour (0xff788296).interpolatedWith (juce::Colours::black, 0.5f), 2));
}

TEST (FFTDisplay, SilenceHoldsAlternatelyAtMinus60AndMinus62)
{
    Spectrum spectrum (400, 200);
    auto& display = spectrum.display;
    // Before any frame nothing is held and no curve is drawn.
    EXPECT_EQ (display.peakHold[10], -300.0f);
    Spectrum bare (400, 200);
    const auto grid = bare.paintRequested();

    for (const float expected : { -60.0f, -62.0f, -60.0f, -62.0f })
    {
        SCOPED_TRACE (expected);
        spectrum.offerSilence();
        const auto shown = spectrum.paintRequested();
        EXPECT_FALSE (display.frameReady.load());
        EXPECT_TRUE (display.curveReady);
        for (int k = 1; k < 4096; ++k)
            ASSERT_EQ (display.peakHold[static_cast<size_t> (k)], expected) << k;
        // On or below the bottom edge: the picture above it is the bare grid.
        EXPECT_TRUE (meter_test::sameRegion (shown, grid, { 0, 0, 400, 198 }));
    }
}

TEST (FFTDisplay, LoudToneReachesTheZeroDecibelLineAndNeverGoesAbove)
{
    for (const float peak : { 1.0f, 8.0f })
    {
        SCOPED_TRACE (peak);
        Spectrum spectrum (1000, 600);
        Spectrum bare (1000, 600);
        const auto grid = bare.paintRequested();

        spectrum.offerTone (peak);
        const auto shown = spectrum.paintRequested();
        const auto& held = spectrum.display.peakHold;
        EXPECT_EQ (held[toneBin], 0.0f);
        EXPECT_EQ (*std::max_element (held.begin() + 1, held.end()), 0.0f);

        // The outline's top is the 0 dB line at H / 6, though the grid goes
        // up to +12 dB; the stroke reaches at most a pixel or two above it.
        EXPECT_FLOAT_EQ (spectrum.display.curvePath.getBounds().getY(), 100.0f);
        const int top = firstDifferingRow (shown, grid);
        EXPECT_GE (top, 97);
        EXPECT_LE (top, 100);
    }
}

TEST (FFTDisplay, HeldLevelFallsTwoDecibelsPerFrameFor30Frames)
{
    Spectrum spectrum (400, 200);
    auto& held = spectrum.display.peakHold;

    // The first frame shows the tone at once: every level started at -300.
    spectrum.offerTone (1.0f);
    spectrum.paintRequested();
    ASSERT_EQ (held[toneBin], 0.0f);

    for (int frame = 1; frame <= 31; ++frame)
    {
        spectrum.offerSilence();
        spectrum.paintRequested();
        const float expected = frame <= 30 ? -2.0f * static_cast<float> (frame) : -62.0f;
        ASSERT_EQ (held[toneBin], expected) << "frame " << frame;
    }
}

TEST (FFTDisplay, BinsLieAtTheirFrequencyForTheDeviceRate)
{
    for (const double deviceRate : { 44100.0, 48000.0 })
    {
        SCOPED_TRACE (deviceRate);
        Spectrum spectrum (1000, 600);
        spectrum.display.sampleRate = deviceRate;
        spectrum.offerTone (1.0f);
        spectrum.paintRequested();

        const auto points = curvePoints (spectrum.display.curvePath);
        ASSERT_EQ (points.size(), 4095u);
        // Points visit the bins in increasing x.
        for (size_t i = 1; i < points.size(); ++i)
            ASSERT_GT (points[i].x, points[i - 1].x);

        // The tone's bin stands for 93 x rate / 4096 Hz, on the grid's axis.
        const auto& tone = points[toneBin - 1];
        EXPECT_FLOAT_EQ (tone.y, 100.0f);
        const double frequency = 20.0 * std::pow (1000.0, tone.x / 1000.0);
        EXPECT_NEAR (frequency, toneBin * deviceRate / 4096.0, 0.01);
    }
}

TEST (FFTDisplay, TimerAsksForAPaintOnlyWhenAFrameWaits)
{
    Spectrum spectrum (400, 200);
    auto& display = spectrum.display;

    // Visibility drives the 50 ms timer.
    display.setVisible (true);
    EXPECT_TRUE (display.isTimerRunning());
    EXPECT_EQ (display.getTimerInterval(), 50);
    display.setVisible (false);
    EXPECT_FALSE (display.isTimerRunning());

    display.needsRedraw = false;
    display.timerCallback();
    EXPECT_FALSE (display.needsRedraw.load());

    spectrum.offerTone (1.0f);
    display.timerCallback();
    EXPECT_TRUE (display.needsRedraw.load());
    const auto withTone = ui_test::render (display);
    EXPECT_FALSE (display.needsRedraw.load());
    EXPECT_FALSE (display.frameReady.load());

    // A paint nobody asked for (an expose) draws the last picture again and
    // leaves the waiting frame alone; the held levels do not fall.
    spectrum.offerSilence();
    const auto exposed = ui_test::render (display);
    EXPECT_TRUE (meter_test::sameRegion (exposed, withTone, { 0, 0, 400, 200 }));
    EXPECT_TRUE (display.frameReady.load());
    EXPECT_EQ (display.peakHold[toneBin], 0.0f);

    display.timerCallback();
    ui_test::render (display);
    EXPECT_EQ (display.peakHold[toneBin], -2.0f);
}

TEST (FFTDisplay, OnlyTheExactSettingGpuAttachesAnOpenGLContext)
{
    const struct
    {
        const char* setting;
        bool attached;
    } rows[] = { { "gpu", true }, { "GPU", false }, { "software", false }, { "", false }, { "gpu ", false }, { "Gpu", false } };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.setting);
        const meter_test::ScopedRenderEngine setting (row.setting);
        FFTDisplay display;
        EXPECT_EQ (display.isOpenGLContextAttached(), row.attached);
        EXPECT_EQ (display.openGLContext.getTargetComponent(), row.attached ? &display : nullptr);
        EXPECT_TRUE (display.isOpaque());
    }

    // Inside the real-time display: attached to the spectrum display itself,
    // which has no parent yet while it is built. Switched at run time, the
    // context goes to the top-most ancestor.
    const meter_test::ScopedRenderEngine setting ("gpu");
    RealTimeDisplay realTime;
    auto& context = realTime.spectrumDisplay.openGLContext;
    EXPECT_EQ (context.getTargetComponent(), &realTime.spectrumDisplay);
    EXPECT_EQ (realTime.spectrumDisplay.parent, &realTime);
    realTime.spectrumDisplay.detachOpenGLContext();
    EXPECT_FALSE (realTime.spectrumDisplay.isOpenGLContextAttached());
    EXPECT_EQ (context.getTargetComponent(), nullptr);
    realTime.spectrumDisplay.attachOpenGLContext();
    EXPECT_EQ (context.getTargetComponent(), &realTime);
}

TEST (FFTDisplay, GpuPathPaintsThroughOpenGLWhereAContextCanBeCreated)
{
    const meter_test::ScopedRenderEngine setting ("gpu");
    RealTimeDisplay realTime;
    realTime.setBounds (0, 0, 866, 240);
    auto& display = realTime.spectrumDisplay;
    display.pushSample (0.0f);
    display.frameReady = false;

    realTime.addToDesktop (0);
    realTime.setVisible (true);
    const bool created = meter_test::runUntil ([&] { return display.openGLContext.getRawContext() != nullptr; }, 5000);
    if (!created)
    {
        realTime.removeFromDesktop();
        GTEST_SKIP() << "this X server gave the display no OpenGL context";
    }

    juce::String renderer;
    display.openGLContext.executeOnGLThread (
        [&] (juce::OpenGLContext&)
        {
            if (const auto* name = juce::gl::glGetString (juce::gl::GL_RENDERER))
                renderer = reinterpret_cast<const char*> (name);
        },
        true);
    std::cout << "OpenGL renderer: " << renderer << std::endl;

    // A frame offered to the running display is consumed by a paint through
    // the context, which turns it into the curve.
    for (int i = 0; i < AudioGraph::frameSize; ++i)
        display.pushSample (static_cast<float> (std::sin (juce::MathConstants<double>::twoPi * toneBin * (i + 1) / AudioGraph::frameSize)));
    ASSERT_TRUE (display.frameReady.load());
    EXPECT_TRUE (meter_test::runUntil ([&] { return !display.frameReady.load(); }, 5000));
    EXPECT_TRUE (display.curveReady);
    EXPECT_EQ (display.peakHold[toneBin], 0.0f);

    realTime.removeFromDesktop();
}
