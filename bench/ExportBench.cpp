// Export of one minute of stereo audio at 44.1 kHz, written to the temp
// folder: the time the message thread is blocked after SAVE. Reported per
// run and as a multiple of real time.
#include "resources/Exporter.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace
{
constexpr double rate = 44100.0;
constexpr int seconds = 60;

const juce::AudioBuffer<float>& oneMinute()
{
    static const juce::AudioBuffer<float> buffer = []
    {
        juce::AudioBuffer<float> b (2, static_cast<int> (rate) * seconds);
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < b.getNumSamples(); ++i)
                b.setSample (channel, i, 0.5f * static_cast<float> (std::sin (0.01 * i + channel)));
        return b;
    }();
    return buffer;
}

void exportMinute (benchmark::State& state, int bits, Ditherer::Type dither, const char* type)
{
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("quorvel-bench", "", false);
    folder.createDirectory();
    const auto target = folder.getChildFile (juce::String ("minute.") + type);
    const auto& buffer = oneMinute();
    for (auto _ : state)
    {
        const auto result = Exporter::writeFile (buffer, rate, target, {bits, dither, type});
        if (result.failed())
            state.SkipWithError (result.getErrorMessage().toRawUTF8());
    }
    state.counters["x_realtime"] =
        benchmark::Counter (static_cast<double> (seconds) * static_cast<double> (state.iterations()), benchmark::Counter::kIsRate);
    folder.deleteRecursively();
}
} // namespace

BENCHMARK_CAPTURE (exportMinute, wav24_none, 24, Ditherer::none, "wav")->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE (exportMinute, wav24_triangular, 24, Ditherer::triangular, "wav")->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE (exportMinute, wav16_powr2, 16, Ditherer::powR2, "wav")->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE (exportMinute, wav32_float, 32, Ditherer::none, "wav")->Unit (benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE (exportMinute, aiff24_rectangular, 24, Ditherer::rectangular, "aiff")->Unit (benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
