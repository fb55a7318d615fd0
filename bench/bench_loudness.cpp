// Loudness analysis speed: a 3-minute stereo 44.1 kHz signal measured the
// way the command-line tool does (512-sample blocks, 10 ms bins), and the
// meter alone the way the audio engine feeds it (device blocks, 100 ms bins).
// "x_realtime" is seconds of audio measured per second of CPU time (Google
// Benchmark's rate counters divide by CPU time); "Time" is the wall time of
// one pass, longer than the CPU time when the machine is shared.

#include "audio/Ebu128LoudnessMeter.h"
#include "audio/LoudnessAnalysis.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace
{
constexpr double sampleRate = 44100.0;
constexpr double seconds = 180.0;

/** Music-like material: a few partials under a slowly moving level, plus noise. */
const juce::AudioBuffer<float>& threeMinutes()
{
    static const juce::AudioBuffer<float> buffer = []
    {
        const int length = static_cast<int> (seconds * sampleRate);
        juce::AudioBuffer<float> b (2, length);
        juce::Random random (7);
        for (int c = 0; c < 2; ++c)
        {
            auto* out = b.getWritePointer (c);
            for (int i = 0; i < length; ++i)
            {
                const double t = i / sampleRate;
                const double level = 0.2 + 0.15 * std::sin (2.0 * juce::MathConstants<double>::pi * 0.05 * t);
                const double tone = std::sin (2.0 * juce::MathConstants<double>::pi * 110.0 * t)
                                    + 0.5 * std::sin (2.0 * juce::MathConstants<double>::pi * (440.0 + c) * t);
                out[i] = static_cast<float> (level * (tone + 0.3 * (random.nextDouble() * 2.0 - 1.0)));
            }
        }
        return b;
    }();
    return buffer;
}

void BM_AnalyseThreeMinutesStereo44100 (benchmark::State& state)
{
    const auto& buffer = threeMinutes();
    for (auto _ : state)
    {
        const auto result = LoudnessAnalysis::measure (buffer, sampleRate);
        benchmark::DoNotOptimize (result.integrated);
    }
    state.counters["x_realtime"] = benchmark::Counter (seconds * static_cast<double> (state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK (BM_AnalyseThreeMinutesStereo44100)->Unit (benchmark::kMillisecond);

void BM_MeterDeviceBlocks (benchmark::State& state)
{
    const auto& buffer = threeMinutes();
    const int blockSize = static_cast<int> (state.range (0));
    auto meter = std::make_unique<Ebu128LoudnessMeter>();
    meter->prepareToPlay (sampleRate, 0);
    for (auto _ : state)
    {
        for (int start = 0; start + blockSize <= buffer.getNumSamples(); start += blockSize)
        {
            const float* channels[] = {buffer.getReadPointer (0, start), buffer.getReadPointer (1, start)};
            meter->processBlock (channels, 2, blockSize);
        }
        benchmark::DoNotOptimize (meter->getIntegratedLoudness());
    }
    state.counters["x_realtime"] = benchmark::Counter (seconds * static_cast<double> (state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK (BM_MeterDeviceBlocks)->Arg (64)->Arg (512)->Unit (benchmark::kMillisecond);
} // namespace

BENCHMARK_MAIN();
