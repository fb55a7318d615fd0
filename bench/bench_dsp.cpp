// Cost of the per-sample DSP blocks: CPU time per sample ("per_sample").
#include "dsp/Compressor.h"
#include "dsp/FIRFilter.h"
#include "dsp/Limiter.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace
{
using Reg = juce::dsp::SIMDRegister<float>;
constexpr int samplesPerIteration = 4096;

std::vector<float> noise (float peak)
{
    std::mt19937 rng (11);
    std::uniform_real_distribution<float> dist (-peak, peak);
    std::vector<float> v (samplesPerIteration);
    for (auto& x : v)
        x = dist (rng);
    return v;
}

void report (benchmark::State& state)
{
    const auto samples = static_cast<double> (samplesPerIteration);
    state.SetItemsProcessed (state.iterations() * samplesPerIteration);
    // CPU seconds per sample, printed with an SI prefix (n = ns).
    state.counters["per_sample"] =
        benchmark::Counter (samples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

/** The offline run's shape: 1024 taps, both channels in two lanes, one
    sample at a time. */
void FIR1024FourLanePerSample (benchmark::State& state)
{
    DSP::FIRFilter<Reg> fir;
    fir.setup (DSP::lowPass, 1024, 44100.0, 1000.0);
    const auto left = noise (1.0f), right = noise (0.5f);
    for (auto _ : state)
    {
        for (size_t i = 0; i < left.size(); ++i)
        {
            Reg x = Reg::expand (0.0f);
            x.set (0, left[i]);
            x.set (1, right[i]);
            benchmark::DoNotOptimize (fir.process (x));
        }
    }
    report (state);
}
BENCHMARK (FIR1024FourLanePerSample);

/** The same filter over a block (several outputs summed side by side). */
void FIR1024FourLaneBlock (benchmark::State& state)
{
    DSP::FIRFilter<Reg> fir;
    fir.setup (DSP::lowPass, 1024, 44100.0, 1000.0);
    const auto left = noise (1.0f);
    std::vector<Reg> in (left.size()), out (left.size());
    for (size_t i = 0; i < left.size(); ++i)
        in[i] = Reg::expand (left[i]);
    for (auto _ : state)
    {
        fir.processBlock (in.data(), out.data(), static_cast<int> (in.size()));
        benchmark::DoNotOptimize (out.data());
        benchmark::ClobberMemory();
    }
    report (state);
}
BENCHMARK (FIR1024FourLaneBlock);

/** Every sample above the threshold, so the log and the power run each time. */
void CompressorStepAboveThreshold (benchmark::State& state)
{
    DSP::Compressor<float> comp;
    comp.setup (44100.0, 13.0f, 100.0f, -30.0f, 3.0f, 0.5f, DSP::Compressor<float>::standard);
    auto in = noise (0.5f);
    for (auto& x : in)
        x = x >= 0.0f ? x + 0.5f : x - 0.5f;
    for (auto _ : state)
        for (const float x : in)
            benchmark::DoNotOptimize (comp.process (x));
    report (state);
}
BENCHMARK (CompressorStepAboveThreshold);

void LimiterStep (benchmark::State& state)
{
    DSP::Limiter<float> lim;
    lim.setup (44100.0, 40.0f, -0.5f, 10.0f, 1.0f, DSP::Limiter<float>::standard);
    lim.inputGain = 2.512f;
    const auto in = noise (1.0f);
    for (auto _ : state)
        for (const float x : in)
            benchmark::DoNotOptimize (lim.process (x));
    report (state);
}
BENCHMARK (LimiterStep);
} // namespace

BENCHMARK_MAIN();
