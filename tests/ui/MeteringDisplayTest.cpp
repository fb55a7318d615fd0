// The loudness read-outs: texts, colours, the scrolling history, the timer
// that consumes the engine's publications, and RESET down to the meter.
#include "components/MeteringDisplay.h"
#include "MeterTestSupport.h"
#include "UiTestSupport.h"
#include "components/RealTimeDisplay.h"
#include "engine/SpinFlag.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using Components::Modules::MeteringDisplay;
using Components::Modules::RealTimeDisplay;

namespace
{
struct Values
{
    float momentary, shortTerm, integrated, range;
};

void publish (MeteringDisplay& display, Values v, int publications = 1)
{
    display.publishedMomentary = v.momentary;
    display.publishedShortTerm = v.shortTerm;
    display.publishedIntegrated = v.integrated;
    display.publishedRange = v.range;
    display.updateCounter += publications;
}

/** The four read-outs as they should look: texts in their colours, left
    aligned in quarter-width boxes on black. */
juce::Image expectedReadOuts (const MeteringDisplay& display, const char* const texts[4])
{
    return meter_test::referenceImage (display.getWidth(), display.getHeight(),
                                       [&] (juce::Graphics& g)
                                       {
                                           g.fillAll (juce::Colours::black);
                                           g.setFont (11.0f);
                                           const float q = (static_cast<float> (display.getWidth()) - 20.0f) * 0.25f;
                                           const juce::Colour colours[] = { display.momentaryColour, display.shortTermColour,
                                                                            display.integratedColour, display.rangeColour };
                                           for (int i = 0; i < 4; ++i)
                                           {
                                               g.setColour (colours[i]);
                                               g.drawText (texts[i],
                                                           juce::Rectangle<float> (4.0f + i * (q + 4.0f), 4.0f, std::floor (q), 12.0f),
                                                           juce::Justification::centredLeft, true);
                                           }
                                       });
}

/** History pixels are stored premultiplied: their colour comes back only
    within a step or two. */
::testing::AssertionResult sameInk (juce::Colour actual, juce::Colour expected) { return ui_test::sameColour (actual, expected, 3); }

bool historyIsEmpty (const juce::Image& history)
{
    for (int y = 0; y < history.getHeight(); ++y)
        for (int x = 0; x < history.getWidth(); ++x)
            if (history.getPixelAt (x, y).getAlpha() != 0)
                return false;
    return true;
}

/** The display's read-out strip, above the history's curves. */
const juce::Rectangle<int> readOutStrip (0, 0, 432, 18);
} // namespace

TEST (MeteringDisplay, FtosRoundsToTwoDecimalsAndDropsTrailingZeros)
{
    const struct
    {
        float value;
        const char* text;
    } rows[] = {
        { -14.567f, "-14.57" }, { -9.0f, "-9" }, { -300.0f, "-300" }, { -0.125f, "-0.13" }, // the half rounds away from zero
        { 0.125f, "0.13" },     { 7.5f, "7.5" }, { 0.004f, "0" },     { -23.1049f, "-23.1" }, { 1234.567f, "1234.57" },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE (row.value);
        EXPECT_EQ (MeteringDisplay::ftos (row.value, 2), row.text);
        // The second argument does not change the text.
        EXPECT_EQ (MeteringDisplay::ftos (row.value, 0), row.text);
    }
}

TEST (MeteringDisplay, ReadOutsShowTheFourValuesInTheirColours)
{
    MeteringDisplay display;
    display.setBounds (0, 0, 432, 120);

    // Before any measurement.
    const char* const none[] = { "RMS: -300db", "LUFS: -300db", "INT: -300db", "RNG: -300db" };
    EXPECT_TRUE (meter_test::sameRegion (ui_test::render (display), expectedReadOuts (display, none), readOutStrip));

    publish (display, { -14.567f, -16.0f, -18.254f, 7.5f }, 0);
    const auto shown = ui_test::render (display);
    const char* const measured[] = { "RMS: -14.57db", "LUFS: -16db", "INT: -18.25db", "RNG: 7.5db" };
    EXPECT_TRUE (meter_test::sameRegion (shown, expectedReadOuts (display, measured), readOutStrip));

    // The comparison sees a one-digit difference.
    const char* const wrong[] = { "RMS: -14.56db", "LUFS: -16db", "INT: -18.25db", "RNG: 7.5db" };
    EXPECT_FALSE (meter_test::sameRegion (shown, expectedReadOuts (display, wrong), readOutStrip));

    // The reset button sits at the bottom left.
    EXPECT_EQ (display.resetButton.getBounds(), juce::Rectangle<int> (2, 100, 40, 18));
    EXPECT_EQ (display.resetButton.text, "RESET");
}

TEST (MeteringDisplay, HistoryAddsOneColumnPerPublicationAtTheLoudnessHeight)
{
    MeteringDisplay display;
    display.setBounds (0, 0, 400, 200);
    const auto& history = display.history;
    ASSERT_EQ (history.getWidth(), 400);
    ASSERT_EQ (history.getHeight(), 200);

    // -18 LUFS momentary on a 200-pixel display: two pixels from y 151.
    publish (display, { -18.0f, -300.0f, -300.0f, 0.0f });
    display.update();
    EXPECT_EQ (display.updateCounter.load(), 0);
    EXPECT_TRUE (sameInk (history.getPixelAt (399, 151), display.momentaryColour));
    EXPECT_TRUE (sameInk (history.getPixelAt (399, 152), display.momentaryColour));
    EXPECT_EQ (history.getPixelAt (399, 150).getAlpha(), 0);
    EXPECT_EQ (history.getPixelAt (399, 153).getAlpha(), 0);
    // -300 (no value) falls below the image: nothing else in the column.
    int inked = 0;
    for (int y = 0; y < 200; ++y)
        inked += history.getPixelAt (399, y).getAlpha() != 0 ? 1 : 0;
    EXPECT_EQ (inked, 2);

    // Three publications before the timer: three columns with the latest
    // values; the first column scrolled left by three.
    publish (display, { -20.0f, -23.0f, 0.0f, 0.0f }, 3);
    display.update();
    EXPECT_EQ (display.updateCounter.load(), 0);
    EXPECT_TRUE (sameInk (history.getPixelAt (396, 151), display.momentaryColour));
    for (int x = 397; x < 400; ++x)
    {
        SCOPED_TRACE (x);
        EXPECT_TRUE (sameInk (history.getPixelAt (x, 157), display.momentaryColour)); // -20
        EXPECT_TRUE (sameInk (history.getPixelAt (x, 164), display.shortTermColour)); // -23
        EXPECT_TRUE (sameInk (history.getPixelAt (x, 46), display.integratedColour)); // 0 LUFS: 23 % from the top
        EXPECT_EQ (history.getPixelAt (x, 151).getAlpha(), 0);
    }

    // Where the curves meet, short-term is drawn last; -36 lies at 92 %.
    publish (display, { -36.0f, -36.0f, -36.0f, 0.0f });
    display.update();
    EXPECT_TRUE (sameInk (history.getPixelAt (399, 184), display.shortTermColour));

    // The curves are drawn over the read-outs, stretched to the display.
    const auto shown = ui_test::render (display);
    EXPECT_TRUE (
        ui_test::sameColour (shown.getPixelAt (399, 184),
                             display.shortTermColour.withAlpha (1.0f).interpolatedWith (juce::Colours::black, 1.0f - 200.0f / 255.0f), 2));

    // A resize starts the history over.
    display.setSize (400, 150);
    EXPECT_TRUE (historyIsEmpty (display.history));
    EXPECT_EQ (display.history.getHeight(), 150);
    // A small display keeps a history of at least 100 x 100.
    display.setSize (60, 40);
    EXPECT_EQ (display.history.getWidth(), 100);
    EXPECT_EQ (display.history.getHeight(), 100);
}

TEST (MeteringDisplay, TimerConsumesPublicationsOnlyWhenThereAreSome)
{
    MeteringDisplay display;
    display.setBounds (0, 0, 300, 120);
    ASSERT_TRUE (display.isTimerRunning());
    EXPECT_EQ (display.getTimerInterval(), 33);

    meter_test::runMessageLoop (100);
    EXPECT_TRUE (historyIsEmpty (display.history));

    publish (display, { -10.0f, -12.0f, -14.0f, 3.0f }, 2);
    ASSERT_TRUE (meter_test::runUntil ([&] { return display.updateCounter.load() == 0; }, 1000));
    const int y = MeteringDisplay::historyY (-10.0f, 120);
    EXPECT_TRUE (sameInk (display.history.getPixelAt (299, y), display.momentaryColour));
    EXPECT_TRUE (sameInk (display.history.getPixelAt (298, y), display.momentaryColour));
    EXPECT_EQ (display.history.getPixelAt (297, y).getAlpha(), 0);
}

TEST (MeteringDisplay, ResetClearsHistoryValuesAndTheMetersGates)
{
    const meter_test::ScopedRenderEngine software ("software");
    const double rate = 44100.0;
    RealTimeDisplay realTime;
    realTime.setBounds (0, 0, 866, 120);
    realTime.loudnessMeter.prepareToPlay (rate, 0);
    auto& metering = realTime.meteringDisplay;
    ASSERT_EQ (metering.parent, &realTime);

    // The engine's work, by hand: measure and publish per block.
    const auto feed = [&] (const juce::AudioBuffer<float>& signal)
    {
        for (int start = 0; start + 512 <= signal.getNumSamples(); start += 512)
        {
            const SpinFlag::ScopedLock lock (realTime.meterBusy);
            const float* const pair[2] = { signal.getReadPointer (0, start), signal.getReadPointer (1, start) };
            realTime.loudnessMeter.processBlock (pair, 2, 512);
            const auto& meter = realTime.loudnessMeter;
            publish (metering, { meter.getMomentaryLoudness(), meter.getShortTermLoudness(), meter.getIntegratedLoudness(),
                                 meter.getLoudnessRange() });
        }
    };

    // Loud, then soft by 20 dB: the soft part falls under the loud part's
    // relative gate, so the integrated loudness stays with the loud part.
    const auto loud = testing_support::makeSine (2, static_cast<int> (rate * 6), rate, 997.0, 0.5f);
    const auto soft = testing_support::makeSine (2, static_cast<int> (rate * 6), rate, 997.0, 0.05f);
    feed (loud);
    feed (soft);
    metering.update();
    ASSERT_FALSE (historyIsEmpty (metering.history));
    ASSERT_NEAR (realTime.loudnessMeter.getIntegratedLoudness(), -6.0f, 0.5f);

    // A real click on RESET.
    {
        ui_test::MouseDriver mouse (realTime);
        ASSERT_TRUE (mouse.isReady());
        const auto centre = metering.resetButton.getBounds().getCentre() + metering.getPosition();
        mouse.click (centre.toFloat());
    }

    EXPECT_TRUE (historyIsEmpty (metering.history));
    EXPECT_EQ (metering.publishedMomentary.load(), -300.0f);
    EXPECT_EQ (metering.publishedShortTerm.load(), -300.0f);
    EXPECT_EQ (metering.publishedIntegrated.load(), -300.0f);
    EXPECT_EQ (metering.publishedRange.load(), -300.0f);
    EXPECT_EQ (realTime.meterBusy.load(), 0);
    const auto& meter = realTime.loudnessMeter;
    EXPECT_EQ (meter.getMomentaryLoudness(), -300.0f);
    EXPECT_EQ (meter.getShortTermLoudness(), -300.0f);
    EXPECT_EQ (meter.getIntegratedLoudness(), -300.0f);

    // Gates and histograms start over: the soft signal alone now reads as
    // itself (a 997 Hz sine of peak 0.05 on both channels is about -26 LUFS).
    feed (soft);
    EXPECT_NEAR (meter.getIntegratedLoudness(), -26.0f, 0.5f);
    EXPECT_NEAR (metering.publishedIntegrated.load(), -26.0f, 0.5f);

    // Only the reset button's press counts.
    metering.updateCounter = 0;
    metering.update();
    metering.nComponentCallback (&metering, 0, nullptr);
    metering.nComponentCallback (&metering.resetButton, 911, nullptr);
    EXPECT_NEAR (metering.publishedIntegrated.load(), -26.0f, 0.5f);
    EXPECT_NEAR (meter.getIntegratedLoudness(), -26.0f, 0.5f);
}
