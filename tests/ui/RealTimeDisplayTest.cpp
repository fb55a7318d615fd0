// The real-time display as a whole: its layout and spectrum timer, and the
// meters, read-outs and spectrum driven by the real engine on a JACK device.
// The JACK test also renders the display to <build>/realtime-display/ while a
// music-like file plays, for a person to look at.
#include "components/RealTimeDisplay.h"
#include "MeterTestSupport.h"
#include "UiTestSupport.h"
#include "audio/AudioEngine.h"
#include "components/Master.h"
#include "support/JackServer.h"
#include "support/RecordingProcessor.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

using Components::Console::Master;
using Components::Modules::RealTimeDisplay;

namespace
{
/** Stands in for the main scene's 50 ms tick, which refreshes the console. */
class ConsoleTicker : public juce::Timer
{
public:
    explicit ConsoleTicker (Master& consoleToTick) : console (consoleToTick) { startTimer (50); }
    ~ConsoleTicker() override { stopTimer(); }
    void timerCallback() override
    {
        console.nUpdateComponent();
        highestLeft = std::max (highestLeft, console.leftMeter->drawnLevel);
        highestRight = std::max (highestRight, console.rightMeter->drawnLevel);
    }

    /** The highest bars drawn since the last call. */
    std::pair<float, float> takeHighest()
    {
        const auto highest = std::make_pair (highestLeft, highestRight);
        highestLeft = highestRight = 0.0f;
        return highest;
    }

private:
    Master& console;
    float highestLeft = 0.0f, highestRight = 0.0f;
};

/** The real-time display and the console side by side, as in the main scene. */
struct Stage : juce::Component
{
    Stage()
    {
        realTime = std::make_shared<RealTimeDisplay>();
        addAndMakeVisible (*realTime);
        addAndMakeVisible (console);
        setSize (1030, 480);
        realTime->setBounds (12, 190, 866, 120);
        console.setBounds (890, 8, 140, 464);
    }
    void paint (juce::Graphics& g) override { g.fillAll (juce::Colour (0xff2b2e35)); }

    std::shared_ptr<RealTimeDisplay> realTime;
    Master console;
};

std::vector<juce::PixelARGB> pixelsOf (const juce::Image& image)
{
    std::vector<juce::PixelARGB> pixels;
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            pixels.push_back (*reinterpret_cast<const juce::PixelARGB*> (data.getPixelPointer (x, y)));
    return pixels;
}

bool samePixels (const juce::Image& a, const juce::Image& b)
{
    const auto pa = pixelsOf (a), pb = pixelsOf (b);
    return pa.size() == pb.size()
           && std::equal (pa.begin(), pa.end(), pb.begin(), [] (auto& p, auto& q) { return p.getNativeARGB() == q.getNativeARGB(); });
}
} // namespace

TEST (RealTimeDisplay, SplitsItsWidthAndRunsTheSpectrumTimerWhileShown)
{
    const meter_test::ScopedRenderEngine software ("software");
    RealTimeDisplay realTime;
    realTime.setBounds (12, 190, 866, 120);
    EXPECT_EQ (realTime.spectrumDisplay.getBounds(), juce::Rectangle<int> (0, 0, 432, 120));
    EXPECT_EQ (realTime.meteringDisplay.getBounds(), juce::Rectangle<int> (434, 0, 432, 120));
    realTime.setSize (101, 50);
    EXPECT_EQ (realTime.spectrumDisplay.getBounds(), juce::Rectangle<int> (0, 0, 49, 50));
    EXPECT_EQ (realTime.meteringDisplay.getBounds(), juce::Rectangle<int> (51, 0, 49, 50));

    EXPECT_EQ (realTime.spectrumDisplay.parent, &realTime);
    EXPECT_EQ (realTime.meteringDisplay.parent, &realTime);
    EXPECT_TRUE (realTime.spectrumDisplay.isTimerRunning());

    // Hiding the real-time display (options scene, process mode) leaves the
    // spectrum's own visible flag set, so its timer keeps running (it asks
    // for nothing without frames); showing it again marks it for redrawing.
    // Only hiding the spectrum itself stops the timer.
    realTime.setVisible (true);
    realTime.setVisible (false);
    EXPECT_TRUE (realTime.spectrumDisplay.isTimerRunning());
    realTime.spectrumDisplay.needsRedraw = false;
    realTime.setVisible (true);
    EXPECT_TRUE (realTime.spectrumDisplay.needsRedraw.load());
    realTime.spectrumDisplay.setVisible (false);
    realTime.setVisible (false);
    EXPECT_FALSE (realTime.spectrumDisplay.isTimerRunning());
    realTime.spectrumDisplay.setVisible (true);
    realTime.setVisible (true);
    EXPECT_TRUE (realTime.spectrumDisplay.isTimerRunning());

    // Everything but the metering display's 911 is ignored.
    realTime.loudnessMeter.prepareToPlay (44100.0, 0);
    const auto tone = testing_support::makeSine (2, 44100, 44100.0, 997.0, 0.1f);
    realTime.loudnessMeter.processBlock (tone);
    const float before = realTime.loudnessMeter.getMomentaryLoudness();
    ASSERT_GT (before, -300.0f);
    realTime.nComponentCallback (&realTime.spectrumDisplay, 911, nullptr);
    realTime.nComponentCallback (&realTime.meteringDisplay, 0, nullptr);
    EXPECT_EQ (realTime.loudnessMeter.getMomentaryLoudness(), before);
}

TEST (RealTimeDisplayOnJack, MetersMoveWhileARealTimePlaybackPlaysAndHoldInProcessMode)
{
    ASSERT_TRUE (testing_support::jackServerAnswers()) << "no default JACK server: run through scripts/test.sh";
    const meter_test::ScopedRenderEngine software ("software");

    // A music-like file, written and read back as the program would load it.
    testing_support::TempFolder folder;
    const auto file = folder.getFile ("groove.wav");
    ASSERT_TRUE (testing_support::writeAudioFile (file, meter_test::makeMusicLikeSignal (8.0, 44100.0, 0.45f), 44100.0, 16));
    double fileRate = 0.0;
    std::shared_ptr<juce::AudioBuffer<float>> music = testing_support::readAudioFile (file, &fileRate);
    ASSERT_NE (music, nullptr);

    auto processor = std::make_shared<testing_support::RecordingProcessor>();
    processor->mode = 1;
    processor->chainEnabled = true;
    auto engine = std::make_shared<AudioEngine> (processor);

    Stage stage;
    auto& realTime = *stage.realTime;
    auto& metering = realTime.meteringDisplay;
    auto& spectrum = realTime.spectrumDisplay;
    auto& console = stage.console;
    engine->realTimeDisplay = stage.realTime;

    PlaybackState player;
    player.engine = engine;
    player.switchPlayBuffer (music, fileRate);
    player.loop = true;
    player.loopStart = 0.0;
    player.loopEnd = 1.0;

    auto& devices = engine->deviceManager;
    const auto error = devices.initialise (0, 2, nullptr, true);
    ASSERT_TRUE (error.isEmpty()) << error;
    devices.addAudioCallback (engine.get());
    engine->setPlayer (&player);
    console.visualContext = engine->getVisualContext();
    ASSERT_NE (console.visualContext, nullptr);

    stage.addToDesktop (0);
    stage.setVisible (true);
    ConsoleTicker ticker (console);

    // Nothing moves before PLAY.
    meter_test::runMessageLoop (300);
    EXPECT_EQ (metering.publishedMomentary.load(), -300.0f);
    EXPECT_EQ (spectrum.peakHold[100], -300.0f);
    EXPECT_EQ (console.leftMeter->drawnLevel, 0.0f);

    // Real-time mode, chain in, playing: everything follows the music.
    player.playState = PlaybackState::playing;
    ASSERT_TRUE (meter_test::runUntil ([&] { return metering.publishedShortTerm.load() > -60.0f && spectrum.curveReady; }, 8000));
    meter_test::runMessageLoop (2500);

    EXPECT_GT (processor->chainCalls.load(), 100);
    for (const float value :
         { metering.publishedMomentary.load(), metering.publishedShortTerm.load(), metering.publishedIntegrated.load() })
    {
        EXPECT_GT (value, -30.0f);
        EXPECT_LT (value, 3.0f);
    }
    EXPECT_GE (metering.publishedRange.load(), 0.0f);
    EXPECT_LT (metering.publishedRange.load(), 20.0f);
    EXPECT_FALSE (
        samePixels (metering.history, juce::Image (juce::Image::ARGB, metering.history.getWidth(), metering.history.getHeight(), true)));
    int heldAboveFloor = 0;
    for (size_t k = 1; k < spectrum.peakHold.size(); ++k)
        heldAboveFloor += spectrum.peakHold[k] > -50.0f ? 1 : 0;
    EXPECT_GT (heldAboveFloor, 50);
    // The bars show each channel's highest sample, doubled by the chain.
    const float highestInFile[] = { music->findMinMax (0, 0, music->getNumSamples()).getEnd(),
                                    music->findMinMax (1, 0, music->getNumSamples()).getEnd() };
    const auto playingPeaks = ticker.takeHighest();
    EXPECT_GT (playingPeaks.first, 1.2f * highestInFile[0]);
    EXPECT_LE (playingPeaks.first, 2.0f * highestInFile[0]);
    EXPECT_GT (playingPeaks.second, 1.2f * highestInFile[1]);
    EXPECT_LE (playingPeaks.second, 2.0f * highestInFile[1]);

    // Look at it.
    const auto picture = stage.createComponentSnapshot (stage.getLocalBounds(), true, 2.0f);
    const auto folderOut = juce::File (QUORVEL_TEST_BUILD_DIR).getChildFile ("realtime-display");
    EXPECT_TRUE (meter_test::savePng (picture, folderOut.getChildFile ("realtime-display-playing.png")));
    EXPECT_TRUE (meter_test::savePng (realTime.createComponentSnapshot (realTime.getLocalBounds(), true, 2.0f),
                                      folderOut.getChildFile ("realtime-display-only.png")));

    // Process mode: the file keeps playing, so the bars still follow the
    // output, but the chain, the meter and the spectrum get nothing.
    processor->mode = 0;
    meter_test::runMessageLoop (300); // blocks already measured drain through the timer
    ASSERT_EQ (metering.updateCounter.load(), 0);
    const float held[] = { metering.publishedMomentary.load(), metering.publishedShortTerm.load(), metering.publishedIntegrated.load(),
                           metering.publishedRange.load() };
    const auto heldLevels = spectrum.peakHold;
    const auto history = metering.history.createCopy();
    const int chainCalls = processor->chainCalls.load();
    const int blocksBefore = player.playHeadCounter.load();
    ticker.takeHighest();

    meter_test::runMessageLoop (1500);
    EXPECT_GT (player.playHeadCounter.load(), blocksBefore + 50);
    EXPECT_EQ (processor->chainCalls.load(), chainCalls);
    EXPECT_EQ (metering.updateCounter.load(), 0);
    EXPECT_EQ (metering.publishedMomentary.load(), held[0]);
    EXPECT_EQ (metering.publishedShortTerm.load(), held[1]);
    EXPECT_EQ (metering.publishedIntegrated.load(), held[2]);
    EXPECT_EQ (metering.publishedRange.load(), held[3]);
    EXPECT_TRUE (spectrum.peakHold == heldLevels);
    EXPECT_FALSE (spectrum.frameReady.load());
    EXPECT_TRUE (samePixels (metering.history, history));
    // Unprocessed now: the file's own samples.
    const auto processPeaks = ticker.takeHighest();
    EXPECT_GT (processPeaks.first, 0.6f * highestInFile[0]);
    EXPECT_LE (processPeaks.first, highestInFile[0]);
    EXPECT_GT (processPeaks.second, 0.6f * highestInFile[1]);
    EXPECT_LE (processPeaks.second, highestInFile[1]);

    // Paused: the bars fall by 0.69 per tick to the floor and stay there.
    player.playState = PlaybackState::paused;
    meter_test::runMessageLoop (2500);
    EXPECT_LT (console.leftMeter->drawnLevel, 1e-4f);
    EXPECT_LT (console.rightMeter->drawnLevel, 1e-4f);
    EXPECT_TRUE (spectrum.peakHold == heldLevels);

    stage.removeFromDesktop();
    devices.closeAudioDevice();
}
