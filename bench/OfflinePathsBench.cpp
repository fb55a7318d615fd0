// The offline run's signal paths side by side, in one process: for each of
// the five qualities the same track goes through the literal reference
// (ProcessorTypeI::executeLiteral) and the fast path (execute), and the two
// results are compared. Reported per quality:
//   literal_x_cpu, fast_x_cpu    track length / CPU time of the whole run
//                                (stages 0 to 4), the figure to trust on a
//                                busy machine
//   literal_x_wall, fast_x_wall  track length / wall time of the run
//   speedup_cpu                  literal CPU time / fast CPU time
//   max_abs_diff                 largest sample difference of the results
//   rms_diff_dB                  RMS of the difference relative to the RMS
//                                of the literal result
// The fast path is timed as the median of QUORVEL_BENCH_FAST_RUNS runs
// (default 5), the literal path once. The track is QUORVEL_BENCH_SECONDS
// long (default 180) at 44.1 kHz.
#include "MusicSignal.h"
#include "engine/ProcessorTypeI.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace
{
constexpr double rate = 44100.0;

int setting (const char* name, int fallback)
{
    const char* v = std::getenv (name);
    const int n = v != nullptr ? std::atoi (v) : 0;
    return n > 0 ? n : fallback;
}

int trackSeconds() { return setting ("QUORVEL_BENCH_SECONDS", 180); }

/** The benchmark's music-like track, made once. */
std::shared_ptr<juce::AudioBuffer<float>> musicTrack()
{
    static const auto track = []
    {
        const int length = static_cast<int> (rate) * trackSeconds();
        auto b = std::make_shared<juce::AudioBuffer<float>> (makeMusicSignal (rate, length));
        return b;
    }();
    return track;
}

std::shared_ptr<ProcessorTypeI> loaded()
{
    // The first factory preset; the levels loading would find for this track.
    const float preset[IProcessor::numParams] = { 0.5f, 0.73f, 0.4f, 0.5f, 0.67f, 0.5f, 0.1f, 0.0f, 0.85f, 0.5f, -0.3f, 0.0f };
    for (int i = 0; i < IProcessor::numParams; ++i)
        IProcessor::UserParams[i] = preset[i];

    auto p = std::make_shared<ProcessorTypeI>();
    p->sourceBuffer = musicTrack();
    p->numChannels = 2;
    p->numSamples = p->sourceBuffer->getNumSamples();
    p->sourceSampleRate = rate;
    p->processingSampleRate = rate;
    p->clipLevel = 0.9f;
    p->inputGain = 1.0f;
    p->state = IProcessor::stateLoaded;
    return p;
}

double cpuNow()
{
    timespec t {};
    clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double> (t.tv_sec) + 1e-9 * static_cast<double> (t.tv_nsec);
}

struct Timing
{
    double cpu = 0.0;
    double wall = 0.0;
};

template <typename Run> Timing timed (Run&& run)
{
    const double cpuStart = cpuNow();
    const auto wallStart = std::chrono::steady_clock::now();
    run();
    return { cpuNow() - cpuStart, std::chrono::duration<double> (std::chrono::steady_clock::now() - wallStart).count() };
}

void comparePaths (benchmark::State& state, float quality)
{
    const double seconds = trackSeconds();
    const int fastRuns = setting ("QUORVEL_BENCH_FAST_RUNS", 5);
    std::shared_ptr<juce::AudioBuffer<float>> literalResult, fastResult;
    Timing literal, fast;

    for (auto _ : state)
    {
        auto p = loaded();
        IProcessor::UserParams[IProcessor::quality] = quality;
        literal = timed ([&] { p->executeLiteral(); });
        literalResult = p->processedBuffer;

        std::vector<Timing> runs;
        for (int r = 0; r < fastRuns; ++r)
        {
            auto q = loaded();
            IProcessor::UserParams[IProcessor::quality] = quality;
            runs.push_back (timed ([&] { q->execute(); }));
            fastResult = q->processedBuffer;
        }
        std::sort (runs.begin(), runs.end(), [] (const Timing& a, const Timing& b) { return a.cpu < b.cpu; });
        fast.cpu = runs[runs.size() / 2].cpu;
        std::sort (runs.begin(), runs.end(), [] (const Timing& a, const Timing& b) { return a.wall < b.wall; });
        fast.wall = runs[runs.size() / 2].wall;
        state.SetIterationTime (fast.wall);
    }

    double maxDiff = 0.0, diffEnergy = 0.0, energy = 0.0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < literalResult->getNumSamples(); ++i)
        {
            const double a = literalResult->getSample (c, i);
            const double d = static_cast<double> (fastResult->getSample (c, i)) - a;
            maxDiff = std::max (maxDiff, std::abs (d));
            diffEnergy += d * d;
            energy += a * a;
        }

    state.counters["literal_x_cpu"] = seconds / literal.cpu;
    state.counters["fast_x_cpu"] = seconds / fast.cpu;
    state.counters["literal_x_wall"] = seconds / literal.wall;
    state.counters["fast_x_wall"] = seconds / fast.wall;
    state.counters["speedup_cpu"] = literal.cpu / fast.cpu;
    state.counters["max_abs_diff"] = maxDiff;
    state.counters["rms_diff_dB"] = diffEnergy > 0.0 ? 10.0 * std::log10 (diffEnergy / energy) : -400.0;
}
} // namespace

BENCHMARK_CAPTURE (comparePaths, quality_0, 0.0f)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (comparePaths, quality_0_25, 0.25f)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (comparePaths, quality_0_5, 0.5f)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (comparePaths, quality_0_75, 0.75f)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (comparePaths, quality_1, 1.0f)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);

BENCHMARK_MAIN();
