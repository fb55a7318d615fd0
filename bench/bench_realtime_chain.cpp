// Cost of the real-time preview chain: one 512-frame device block at 44.1 kHz
// as a share of the block's duration ("share_of_block", goal < 0.03), and one
// settings change that redesigns the split filters (goal < 1 ms).
#include "engine/ProcessorTypeI.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int blockFrames = 512;
constexpr double sampleRate = 44100.0;

std::unique_ptr<ProcessorTypeI> makeProcessor()
{
    for (int i = 0; i < IProcessor::numParams; ++i)
        IProcessor::UserParams[i] = 0.5f;
    IProcessor::UserParams[IProcessor::ceiling] = 0.0f;
    IProcessor::UserParams[IProcessor::truePeak] = 0.0f;
    auto processor = std::make_unique<ProcessorTypeI>();
    processor->clipLevel = 0.9f;
    processor->inputGain = 1.0f / 0.9f;
    processor->state = IProcessor::stateLoaded;
    processor->initRealTimeSettings (sampleRate);
    return processor;
}

void ChainBlock512At44100 (benchmark::State& state)
{
    auto processor = makeProcessor();
    std::mt19937 rng (3);
    std::uniform_real_distribution<float> dist (-0.2f, 0.2f);
    std::vector<float> source[2];
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < blockFrames * 64; ++i)
            source[c].push_back (static_cast<float> (0.6 * std::sin (0.01 * i * (c + 1))) + dist (rng));

    std::vector<float> block[2] = {std::vector<float> (blockFrames), std::vector<float> (blockFrames)};
    float* channels[2] = {block[0].data(), block[1].data()};
    size_t offset = 0;
    for (auto _ : state)
    {
        // The engine writes the played source into the block first; that copy is counted too.
        for (int c = 0; c < 2; ++c)
            std::copy_n (source[c].begin() + static_cast<long> (offset), blockFrames, block[c].begin());
        offset = (offset + blockFrames) % source[0].size();
        processor->audioDeviceIOCallback (nullptr, 0, channels, 2, blockFrames);
        benchmark::DoNotOptimize (block[0].data());
        benchmark::ClobberMemory();
    }
    // CPU time per block divided by the block's duration.
    state.counters["share_of_block"] =
        benchmark::Counter (blockFrames / sampleRate, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK (ChainBlock512At44100)->Unit (benchmark::kMicrosecond);

void SettingsChangedRedesign (benchmark::State& state)
{
    auto processor = makeProcessor();
    bool flip = false;
    for (auto _ : state)
    {
        flip = !flip;
        IProcessor::UserParams[IProcessor::lowCut] = flip ? 0.3f : 0.7f;
        processor->settingsChanged();
    }
}
BENCHMARK (SettingsChangedRedesign)->Unit (benchmark::kMicrosecond);
} // namespace

BENCHMARK_MAIN();
