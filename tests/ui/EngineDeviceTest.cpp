// The engine on a real device: JUCE's JACK backend on dummy-driver servers.
// The default server (44.1 kHz) is started by the test script; a second one at
// 48 kHz is started here to restart the device at another rate.
#include "audio/AudioEngine.h"
#include "components/RealTimeDisplay.h"
#include "support/JackServer.h"
#include "support/RecordingProcessor.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using Components::Modules::RealTimeDisplay;
using testing_support::RecordingProcessor;

namespace
{
bool waitFor (const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    while (std::chrono::steady_clock::now() < end)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
    return condition();
}

struct MeterReading
{
    int samplesPerBin;
    float momentary;
    float integrated;
};

MeterReading readMeter (RealTimeDisplay& display)
{
    const SpinFlag::ScopedLock lock (display.meterBusy);
    return {display.loudnessMeter.getSamplesPerBin(), display.loudnessMeter.getMomentaryLoudness(),
            display.loudnessMeter.getIntegratedLoudness()};
}
} // namespace

TEST (EngineDevice, PlaysOnJackAndRestartsAtAnotherRate)
{
    ASSERT_TRUE (testing_support::jackServerAnswers()) << "no default JACK server: run through scripts/test.sh";

    auto processor = std::make_shared<RecordingProcessor>();
    processor->mode = 1;
    processor->chainEnabled = true;
    auto engine = std::make_shared<AudioEngine> (processor);
    auto display = std::make_shared<RealTimeDisplay>();
    engine->realTimeDisplay = display;

    PlaybackState player;
    player.engine = engine;
    player.switchPlayBuffer (std::make_shared<juce::AudioBuffer<float>> (testing_support::makeSine (2, 44100 * 30, 44100.0, 997.0, 0.1f)),
                             44100.0);
    player.playState = PlaybackState::playing;

    auto& devices = engine->deviceManager;
    const auto error = devices.initialise (0, 2, nullptr, true);
    ASSERT_TRUE (error.isEmpty()) << error;
    devices.addAudioCallback (engine.get());
    engine->setPlayer (&player);

    auto* device = devices.getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    EXPECT_EQ (devices.getCurrentAudioDeviceType(), "JACK");
    EXPECT_EQ (device->getCurrentSampleRate(), 44100.0);
    EXPECT_EQ (engine->deviceSampleRate.load(), 44100.0);
    EXPECT_EQ (processor->rates().back(), 44100.0);
    EXPECT_EQ (readMeter (*display).samplesPerBin, 4410);

    // Several blocks: played, run through the chain, measured, levels widened.
    ASSERT_TRUE (waitFor ([&] { return player.playHeadCounter.load() >= 40; }));
    EXPECT_GE (processor->chainCalls.load(), 40);
    EXPECT_GE (display->meteringDisplay.updateCounter.load(), 40);
    EXPECT_GT (player.playPosition.load(), 0.0);
    EXPECT_NEAR (engine->getVisualContext()->levels[1].load(), 0.2f, 0.01f);
    EXPECT_NEAR (readMeter (*display).momentary, -20.0f + 6.02f, 0.05f);
    EXPECT_GT (readMeter (*display).integrated, -300.0f);

    // Stop: no more blocks.
    devices.closeAudioDevice();
    const int stoppedAt = player.playHeadCounter.load();
    std::this_thread::sleep_for (std::chrono::milliseconds (200));
    EXPECT_EQ (player.playHeadCounter.load(), stoppedAt);

    // Restart on a 48 kHz server: chain and meter re-prepared, meter history
    // cleared, the new rate the conversion target.
    testing_support::JackServer server48 ("quorvel-test-48k-" + std::to_string (getpid()), 48000);
    ASSERT_TRUE (server48.isReady());
    setenv ("JACK_DEFAULT_SERVER", server48.getName().c_str(), 1);
    const struct DefaultServerBack
    {
        ~DefaultServerBack() { unsetenv ("JACK_DEFAULT_SERVER"); }
    } defaultServerBack;
    player.playState = PlaybackState::paused;
    devices.restartLastAudioDevice();

    device = devices.getCurrentAudioDevice();
    ASSERT_NE (device, nullptr);
    EXPECT_EQ (device->getCurrentSampleRate(), 48000.0);
    EXPECT_EQ (engine->deviceSampleRate.load(), 48000.0);
    EXPECT_EQ (processor->rates().back(), 48000.0);
    EXPECT_EQ (engine->getVisualContext()->sampleRate, 48000.0);
    EXPECT_EQ (display->spectrumDisplay.sampleRate.load(), 48000.0);
    const auto reading = readMeter (*display);
    EXPECT_EQ (reading.samplesPerBin, 4800);
    EXPECT_EQ (reading.momentary, -300.0f);
    EXPECT_EQ (reading.integrated, -300.0f);

    const int resumedAt = player.playHeadCounter.load();
    const double positionBefore = player.playPosition.load();
    player.playState = PlaybackState::playing;
    ASSERT_TRUE (waitFor ([&] { return player.playHeadCounter.load() >= resumedAt + 20; }));
    // 44.1 kHz material on a 48 kHz device advances 0.91875 source samples per
    // device sample.
    devices.closeAudioDevice();
    const double advanced = player.playPosition.load() - positionBefore;
    const int blocks = player.playHeadCounter.load() - resumedAt;
    EXPECT_NEAR (advanced / blocks, 512 * 44100.0 / 48000.0, 1e-6);
}
