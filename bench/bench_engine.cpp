// Cost of one device block in the audio engine, as a share of the block's
// duration in percent (1 = 1 % of the time the device gives us per block).
//
// Real-time mode at 44.1 kHz with a 48 kHz source: the cubic conversion on
// both channels, the processor's real-time chain, the spectrum ring and the
// loudness meter. The process-mode and direct-path cases show what playback
// alone costs.
#include "audio/AudioEngine.h"
#include "components/RealTimeDisplay.h"
#include "engine/ProcessorTypeI.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <random>

namespace
{
constexpr int blockSize = 512;
constexpr double deviceRate = 44100.0;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double> (t.tv_sec) + 1e-9 * static_cast<double> (t.tv_nsec);
}

std::shared_ptr<juce::AudioBuffer<float>> music (double rate)
{
    // One minute of coloured noise, loud enough to pass the meter's gates.
    const int length = static_cast<int> (rate * 60.0);
    auto buffer = std::make_shared<juce::AudioBuffer<float>> (2, length);
    std::mt19937 random (7);
    std::uniform_real_distribution<float> noise (-0.3f, 0.3f);
    for (int c = 0; c < 2; ++c)
    {
        float smoothed = 0.0f;
        for (int i = 0; i < length; ++i)
        {
            smoothed = 0.8f * smoothed + 0.2f * noise (random);
            buffer->setSample (c, i, smoothed);
        }
    }
    return buffer;
}

void runEngine (benchmark::State& state, double sourceRate, int32_t mode)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    auto processor = std::make_shared<ProcessorTypeI>();
    processor->mode = mode;
    processor->chainEnabled = true;
    processor->initRealTimeSettings (deviceRate);

    auto engine = std::make_shared<AudioEngine> (processor);
    auto display = std::make_shared<Components::Modules::RealTimeDisplay>();
    engine->realTimeDisplay = display;
    engine->audioDeviceAboutToStart (nullptr);

    PlaybackState player;
    player.engine = engine;
    engine->setPlayer (&player);
    player.switchPlayBuffer (music (sourceRate), sourceRate);
    player.playState = PlaybackState::playing;

    juce::AudioBuffer<float> out (2, blockSize);
    const auto wallStart = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    for (auto _ : state)
    {
        engine->audioDeviceIOCallback (nullptr, 0, out.getArrayOfWritePointers(), 2, blockSize);
        benchmark::DoNotOptimize (out.getReadPointer (0));
        // A painter consumes frames now and then; keep the hand-over live.
        display->spectrumDisplay.frameReady.store (false);
    }
    const double wall = std::chrono::duration<double> (std::chrono::steady_clock::now() - wallStart).count();
    const double cpu = threadCpuSeconds() - cpuStart;
    // Percent of the block's duration (512 / 44100 s) spent in one callback.
    const double audioSeconds = static_cast<double> (state.iterations()) * blockSize / deviceRate;
    state.counters["wall_pct_of_block"] = 100.0 * wall / audioSeconds;
    state.counters["cpu_pct_of_block"] = 100.0 * cpu / audioSeconds;
    engine->setPlayer (nullptr);
}

void BM_RealTimeCubic (benchmark::State& state) { runEngine (state, 48000.0, 1); }
void BM_ProcessModeCubic (benchmark::State& state) { runEngine (state, 48000.0, 0); }
void BM_ProcessModeDirect (benchmark::State& state) { runEngine (state, 44100.0, 0); }
} // namespace

BENCHMARK (BM_RealTimeCubic)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_ProcessModeCubic)->Unit (benchmark::kMicrosecond);
BENCHMARK (BM_ProcessModeDirect)->Unit (benchmark::kMicrosecond);

BENCHMARK_MAIN();
