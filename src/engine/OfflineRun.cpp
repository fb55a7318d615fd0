#include "dsp/Biquad.h"
#include "dsp/Compressor.h"
#include "dsp/Delay.h"
#include "dsp/FIRFilter.h"
#include "dsp/Limiter.h"
#include "dsp/PartitionedConvolver.h"
#include "engine/LinkedCompressor.h"
#include "engine/OfflineSettings.h"
#include "engine/ProcessorTypeI.h"

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <new>
#include <sched.h>
#include <string>
#include <vector>

namespace
{
using Lanes = juce::dsp::SIMDRegister<float>;

/** A selection fraction made safe to scale and truncate. */
double fraction (double v) noexcept { return v >= 0.0 ? std::min (v, 1.0) : 0.0; }

/** Converts `count` samples of `src`, from `srcStart` onward, at `ratio`
    source samples per output sample. The interpolator never reads past the
    source: beyond its end it sees the last sample repeated. */
void resampleChannel (const float* src, int srcLength, int srcStart, double ratio, float* out, int count)
{
    if (count <= 0 || srcLength <= 0)
        return;

    const float last = src[srcLength - 1];
    const int available = std::max (0, srcLength - srcStart);

    // JUCE's interpolator would delay an unchanged rate by two samples and
    // drop the last two; equal rates are a plain copy.
    if (ratio == 1.0)
    {
        const int direct = std::min (count, available);
        std::copy (src + srcStart, src + srcStart + direct, out);
        std::fill (out + direct, out + count, last);
        return;
    }

    juce::LagrangeInterpolator interpolator;

    // Most of the range reads the source in place. The interpolator reads
    // about 1 + (k - 1) x ratio samples for k outputs; the margin covers that
    // and its rounding many times over.
    constexpr double margin = 8.0;
    const double fits = (static_cast<double> (available) - margin) / ratio;
    const int direct = fits > 0.0 ? static_cast<int> (std::min (fits, static_cast<double> (count))) : 0;
    int used = 0;
    if (direct > 0)
        used = interpolator.process (ratio, src + srcStart, out, direct);

    // The rest reads a short copy of what is left, padded with the last sample.
    const int remaining = count - direct;
    if (remaining <= 0)
        return;
    const int left = std::max (0, available - used);
    const auto padded = static_cast<size_t> (left) + static_cast<size_t> (std::ceil (remaining * ratio)) + 16;
    std::vector<float> tail (padded, last);
    std::copy (src + srcStart + used, src + srcStart + used + left, tail.begin());
    interpolator.process (ratio, tail.data(), out + direct, remaining);
}

/** One offline run over a processor: the five stages, each writing the
    processor's progress fields as the processing scene expects. A stage
    returns false when it saw a stop request. */
class OfflineRun
{
public:
    OfflineRun (ProcessorTypeI& p, bool literalPath) : processor (p), literal (literalPath) {}

    void run();

private:
    ProcessorTypeI& processor;
    /** Whether the signal stage runs the reference computation. */
    const bool literal;
    std::shared_ptr<juce::AudioBuffer<float>> source;
    std::shared_ptr<juce::AudioBuffer<float>> result;
    OfflineSettings settings;
    double sourceRate = 0.0;
    double processingRate = 0.0;
    int sourceLength = 0;
    int srcStart = 0;
    int outStart = 0;
    int outEnd = 0;

    /** Frames between progress updates in the linear stages: often enough for
        any display, rare enough to cost nothing. The counts and end values
        are those of a per-sample update. */
    static constexpr int progressStep = 256;

    int count() const noexcept { return outEnd - outStart; }
    float progress (int done) const noexcept { return static_cast<float> (done) / static_cast<float> (count()); }

    void tick (uint32_t steps = 1u) noexcept
    {
        // One writer: a plain load and store is enough, and cheaper per sample
        // than an atomic increment. The count wraps on very long runs.
        const auto ticks = static_cast<uint32_t> (processor.progressTicks.load (std::memory_order_relaxed));
        processor.progressTicks.store (static_cast<int32_t> (ticks + steps), std::memory_order_relaxed);
    }

    void setProgress (float stage, float overall) noexcept
    {
        processor.stageProgress.store (stage, std::memory_order_relaxed);
        processor.stageFraction.store (overall, std::memory_order_relaxed);
    }

    void endStage (int nextStage) noexcept
    {
        processor.stageIndex = nextStage;
        setProgress (0.0f, 0.0f);
    }

    bool stopSeen() const noexcept { return processor.stopRequested.load (std::memory_order_relaxed); }

    void fail (const std::string& why)
    {
        processor.runErrorText = why;
        processor.state = IProcessor::stateLoaded;
    }

    bool prepare();
    bool resample();
    bool normalise();
    bool processSignalLiteral();
    bool processSignalFast();
    float measurePeak();
    void finalise (float peak);
};

void OfflineRun::run()
{
    processor.numStages = 5;

    if (!prepare())
        return;

    setProgress (0.0f, 0.0f);
    processor.stageIndex = 0;

    if (!resample() || !normalise() || !(literal ? processSignalLiteral() : processSignalFast()))
    {
        processor.state = IProcessor::stateStopped;
        return;
    }
    finalise (measurePeak());
    processor.state = IProcessor::stateFinished;
}

bool OfflineRun::prepare()
{
    // Knob moves during the run must not reach it: every parameter is read
    // once, here. A value that is not a number counts as 0.
    OfflineSettings::Params params {};
    for (size_t i = 0; i < params.size(); ++i)
    {
        const float v = IProcessor::UserParams[i].load();
        params[i] = std::isfinite (v) ? v : 0.0f;
    }

    // The run keeps its own reference, so a buffer replaced meanwhile stays
    // valid until the run ends.
    source = processor.sourceBuffer;
    const int sourceChannels = source != nullptr ? source->getNumChannels() : 0;
    sourceLength = sourceChannels > 0 ? source->getNumSamples() : 0;
    sourceRate = processor.sourceSampleRate;

    if (processor.processingSampleRate.load() == 0.0)
        processor.processingSampleRate = sourceRate;
    processingRate = processor.processingSampleRate;

    settings = OfflineSettings::fromParams (params, processingRate);
    processor.lastRunTaps = settings.taps;

    if (!(sourceRate > 0.0) || !std::isfinite (sourceRate) || !(processingRate > 0.0) || !std::isfinite (processingRate))
    {
        fail ("The track cannot be processed: its sample rate or the processing rate is not valid.");
        return false;
    }

    // In double, as the length is defined: 44100 samples taken from 44.1 to
    // 96 kHz give 96000.00000000001 and so 96001 samples.
    const double length = std::ceil (processingRate / sourceRate * static_cast<double> (sourceLength));
    if (!(length <= static_cast<double> (std::numeric_limits<int>::max())))
    {
        fail ("The track is too long to process at this sample rate.");
        return false;
    }
    const int n = static_cast<int> (length);

    try
    {
        result = std::make_shared<juce::AudioBuffer<float>> (2, n);
    }
    catch (const std::bad_alloc&)
    {
        fail ("There is not enough memory to process this track.");
        return false;
    }
    processor.processedBuffer = result;

    if (processor.selectionActive)
    {
        const double start = fraction (processor.selectionStart);
        const double end = std::max (start, fraction (processor.selectionEnd));
        processor.processedStart = start;
        processor.processedEnd = end;
        srcStart = static_cast<int> (static_cast<double> (sourceLength) * start);
        outStart = static_cast<int> (start * static_cast<double> (n));
        outEnd = static_cast<int> (end * static_cast<double> (n));
    }
    else
    {
        processor.processedStart = 0.0;
        processor.processedEnd = 1.0;
        srcStart = 0;
        outStart = 0;
        outEnd = n;
    }

    // Everything outside the range stays silent in the result.
    if (n > 0)
        result->clear();
    return true;
}

bool OfflineRun::resample()
{
    processor.statusText = std::string ("Analog resampling");
    processor.stageStarted (0);
    tick();

    const double ratio = sourceRate / processingRate;
    const int sourceChannels = source->getNumChannels();
    for (int c = 0; c < 2; ++c)
    {
        // A mono source feeds both channels; channels above the second are
        // not used.
        if (sourceChannels > 0)
            resampleChannel (source->getReadPointer (std::min (c, sourceChannels - 1)), sourceLength, srcStart, ratio,
                             result->getWritePointer (c) + outStart, count());
        processor.stageProgress = processor.stageProgress.load (std::memory_order_relaxed) + 0.5f;
        if (stopSeen())
            return false;
    }
    endStage (1);
    return true;
}

bool OfflineRun::normalise()
{
    processor.statusText = std::string ("Normalisation processing");
    processor.stageStarted (1);

    const float clip = processor.clipLevel;
    const float gain = processor.inputGain;
    for (int c = 0; c < 2; ++c)
    {
        float* data = result->getWritePointer (c);
        for (int chunk = outStart; chunk < outEnd; chunk += progressStep)
        {
            const int chunkEnd = std::min (chunk + progressStep, outEnd);
            for (int j = chunk; j < chunkEnd; ++j)
            {
                float v = data[j];
                if (v > 0.0f)
                    v = std::min (v, clip);
                else
                    v = std::max (v, -clip);
                data[j] = v * gain;
            }
            const float stage = progress (chunkEnd - 1 - outStart);
            setProgress (stage, (static_cast<float> (c) + stage) / 2.0f);
            tick (static_cast<uint32_t> (chunkEnd - chunk));
        }
        if (stopSeen())
            return false;
    }
    endStage (2);
    return true;
}

/** Everything after the band split, built fresh for a run: the band
    compressors, the mid/side stage, the limiters and the linked and keyed
    compressors, stepped one frame at a time. */
class Dynamics
{
public:
    Dynamics (const OfflineSettings& settings, double rate)
    {
        for (size_t c = 0; c < 2; ++c)
        {
            lowBand[c].setup (rate, 30.0f, 100.0f, -9.0f, settings.lowRatio, 0.0f, Compressor::standard);
            midBand[c].setup (rate, 18.0f, 40.0f, -9.5f, settings.midRatio, 0.0f, Compressor::standard);
            highBand[c].setup (rate, 9.0f, 25.0f, -10.0f, settings.highRatio, 0.0f, Compressor::standard);
            midKeyed[c].setup (rate, 7.0f, 120.0f, -1.8f, settings.midKeyedRatio, 0.0f, Compressor::standard);
            loudness[c].setup (rate, settings.loudnessReleaseMs, -0.5f, 10.0f, 1.0f, Limiter::standard);
            loudness[c].inputGain = settings.loudnessInputGain;
            ceiling[c].setup (rate, 44.0f, -0.25f, 10.0f, 1.0f, Limiter::standard);
        }
        upperKeyed.setup (rate, 20.0f, 200.0f, -2.8f, settings.upperKeyedRatio, 0.2f);
        glue.setup (rate, 13.0f, 100.0f, -1.9f, settings.glueRatio, 0.5f);

        sideHighPass.type = Biquad::highPass;
        sideHighPass.Fc = settings.sideHighPassFc;
        sideHighPass.Q = 0.707;
        sideHighPass.peakGain = 0.0;
        sideHighPass.calcBiquad();
        sideShelf.type = Biquad::highShelf;
        sideShelf.Fc = settings.sideShelfFc;
        sideShelf.Q = 0.707;
        sideShelf.peakGain = 3.0;
        sideShelf.calcBiquad();
    }

    /** One frame from the channels' low, mid and high band signals to the
        chain's output pair. */
    std::array<float, 2> process (const std::array<float, 2>& low, const std::array<float, 2>& mid,
                                  const std::array<float, 2>& high) noexcept
    {
        std::array<float, 2> lowOut {}, midOut {}, highOut {};
        for (size_t c = 0; c < 2; ++c)
        {
            lowOut[c] = lowBand[c].process (low[c]);
            midOut[c] = midBand[c].process (mid[c]);
            highOut[c] = highBand[c].process (high[c]);
        }
        return afterBands (lowOut, midOut, highOut);
    }

    /** The rest of the frame once the band compressors have run. */
    std::array<float, 2> afterBands (const std::array<float, 2>& lowOut, const std::array<float, 2>& midOut,
                                     const std::array<float, 2>& highOut) noexcept
    {
        const float ls = lowOut[0] + midOut[0] + highOut[0];
        const float rs = lowOut[1] + midOut[1] + highOut[1];

        // Mid/side: the side's lows are removed (mono bass) and its highs
        // lifted; the high-pass output is a float before the shelf.
        const float m = (rs + ls) * 0.5f;
        const float s = m - ls;
        const float side = sideShelf.process (sideHighPass.process (s));

        const float l1 = loudness[0].process (m - side);
        const float r1 = loudness[1].process (m + side);

        // Keyed by the channel's mid and high bands, before the mid/side
        // stage: loud mids and highs duck the limited signal.
        const float l2 = upperKeyed.process (0, l1, midOut[0] + highOut[0]);
        const float r2 = upperKeyed.process (1, r1, midOut[1] + highOut[1]);

        const float l3 = ceiling[0].process (l2);
        const float r3 = ceiling[1].process (r2);

        const float l4 = glue.process (0, l3, l3);
        const float r4 = glue.process (1, r3, r3);

        return { midKeyed[0].process (l4, midOut[0]), midKeyed[1].process (r4, midOut[1]) };
    }

    using Compressor = DSP::Compressor<float>;
    using Limiter = DSP::Limiter<float>;
    std::array<Compressor, 2> lowBand, midBand, highBand, midKeyed;
    LinkedCompressor upperKeyed, glue;
    std::array<Limiter, 2> loudness, ceiling;
    Biquad sideHighPass, sideShelf;
};

bool OfflineRun::processSignalLiteral()
{
    processor.statusText = std::string ("Signal processing");
    processor.stageStarted (2);

    const double rate = processingRate;
    const int taps = settings.taps;

    std::vector<DSP::FIRFilter<Lanes>> splits (OfflineSettings::numSplits);
    for (size_t k = 0; k < splits.size(); ++k)
        splits[k].setup (DSP::lowPass, taps, rate, settings.cutoffHz[k]);
    DSP::Delay<Lanes> dry;
    dry.setup (static_cast<int> (static_cast<unsigned> (taps) / 2u));

    Dynamics dynamics (settings, rate);

    const auto& g = settings.bandGains;
    const auto gain = [&g] (size_t band) { return Lanes::expand (g[band]); };
    const Lanes g1 = gain (0), g2 = gain (1), g3 = gain (2), g5 = gain (4), g6 = gain (5), g7 = gain (6), g9 = gain (8), g10 = gain (9),
                gTop = gain (10);

    // The low-passes run a block of frames at a time (the same sums as frame
    // by frame, fewer passes over the taps); everything after them goes frame
    // by frame, so a stop still ends the stage within one frame's work.
    constexpr int block = DSP::FIRFilter<Lanes>::blockLength;
    std::vector<Lanes> input (static_cast<size_t> (block));
    std::vector<std::vector<Lanes>> lowPassed (splits.size(), std::vector<Lanes> (static_cast<size_t> (block)));

    float* left = result->getWritePointer (0);
    float* right = result->getWritePointer (1);

    for (int blockStart = outStart; blockStart < outEnd; blockStart += block)
    {
        const int frames = std::min (block, outEnd - blockStart);
        for (int j = 0; j < frames; ++j)
        {
            Lanes frame = Lanes::expand (0.0f);
            frame.set (0, left[blockStart + j]);
            frame.set (1, right[blockStart + j]);
            input[static_cast<size_t> (j)] = frame;
        }
        for (size_t k = 0; k < splits.size(); ++k)
            splits[k].processBlock (input.data(), lowPassed[k].data(), frames);

        for (int j = 0; j < frames; ++j)
        {
            const auto f = static_cast<size_t> (j);
            const int i = blockStart + j;
            const Lanes dryFrame = dry.process (input[f]);

            // Bands as differences of neighbouring low-passes, through a
            // running sum; the content below low-pass 0 is dropped.
            std::array<Lanes, OfflineSettings::numSplits> band;
            Lanes sum = Lanes::expand (0.0f);
            for (size_t k = 0; k < band.size(); ++k)
            {
                band[k] = lowPassed[k][f] - sum;
                sum = sum + band[k];
            }
            const Lanes top = dryFrame - sum;

            const Lanes low = band[1] * g1 + band[2] * g2 + band[3] * g3;
            const Lanes mid = band[4] + band[5] * g5 + band[6] * g6 + band[7] * g7;
            const Lanes high = band[8] + band[9] * g9 + band[10] * g10 + top * gTop;

            const auto out = dynamics.process ({ low.get (0), low.get (1) }, { mid.get (0), mid.get (1) }, { high.get (0), high.get (1) });
            left[i] = out[0];
            right[i] = out[1];

            const float stage = progress (i - outStart);
            setProgress (stage, stage);
            tick();
            if (stopSeen())
                return false;
        }
    }
    endStage (3);
    return true;
}

/** The low, mid and high band filters: each band signal is a fixed linear
    combination of the low-passes and the delayed dry signal, so it is one
    filter of the same length. Built from the very float taps the literal
    split uses, combined in double. Returned as impulse responses, newest
    input first. */
std::vector<std::vector<double>> combinedBandFilters (const OfflineSettings& settings, double rate)
{
    const int taps = settings.taps;
    const auto n = static_cast<size_t> (taps);
    std::vector<std::vector<double>> lowPass (OfflineSettings::numSplits, std::vector<double> (n));
    for (size_t k = 0; k < lowPass.size(); ++k)
    {
        DSP::FIRFilter<float> design;
        design.setup (DSP::lowPass, taps, rate, settings.cutoffHz[k]);
        // The filter's tap k meets the input of taps - 1 - k samples ago.
        for (size_t m = 0; m < n; ++m)
            lowPass[k][m] = static_cast<double> (design.coefficients[n - 1 - m]);
    }
    std::vector<double> dry (n, 0.0);
    dry[static_cast<size_t> (static_cast<unsigned> (taps) / 2u)] = 1.0;

    const auto& g = settings.bandGains;
    // Weight of band k = LP k - LP (k - 1), for k = 1 ... 10; the top band is
    // dry - LP 10. Bands b4 and b8 have no gain of their own.
    const std::array<double, OfflineSettings::numSplits> weight = {
        0.0, g[0], g[1], g[2], 1.0, g[4], g[5], g[6], 1.0, g[8], g[9],
    };
    const std::array<int, OfflineSettings::numSplits> group = { -1, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2 };

    std::vector<std::vector<double>> bands (3, std::vector<double> (n, 0.0));
    for (size_t k = 1; k < OfflineSettings::numSplits; ++k)
    {
        auto& band = bands[static_cast<size_t> (group[k])];
        for (size_t m = 0; m < n; ++m)
            band[m] += weight[k] * (lowPass[k][m] - lowPass[k - 1][m]);
    }
    for (size_t m = 0; m < n; ++m)
        bands[2][m] += static_cast<double> (g[10]) * (dry[m] - lowPass[10][m]);
    return bands;
}

bool OfflineRun::processSignalFast()
{
    processor.statusText = std::string ("Signal processing");
    processor.stageStarted (2);

    // Blocks short enough that a stop lands within a few milliseconds of
    // audio: the filters run a block ahead of the dynamics, which test the
    // stop flag every frame.
    constexpr int block = 256;
    DSP::PartitionedConvolver split;
    split.setup (block, combinedBandFilters (settings, processingRate));

    Dynamics dynamics (settings, processingRate);

    constexpr auto frames = static_cast<size_t> (block);
    std::array<std::vector<float>, 2> in;
    std::array<std::vector<float>, 6> bands; // low, mid, high: left then right
    for (auto& v : in)
        v.assign (frames, 0.0f);
    for (auto& v : bands)
        v.assign (frames, 0.0f);
    float* const outLeft[3] = { bands[0].data(), bands[1].data(), bands[2].data() };
    float* const outRight[3] = { bands[3].data(), bands[4].data(), bands[5].data() };

    const bool monoSource = source->getNumChannels() == 1;
    float* left = result->getWritePointer (0);
    float* right = result->getWritePointer (1);

    for (int blockStart = outStart; blockStart < outEnd; blockStart += block)
    {
        const int count = std::min (block, outEnd - blockStart);
        const auto used = static_cast<size_t> (count);
        std::copy (left + blockStart, left + blockStart + count, in[0].begin());
        std::copy (right + blockStart, right + blockStart + count, in[1].begin());
        std::fill (in[0].begin() + static_cast<std::ptrdiff_t> (used), in[0].end(), 0.0f);
        std::fill (in[1].begin() + static_cast<std::ptrdiff_t> (used), in[1].end(), 0.0f);
        split.process (in[0].data(), in[1].data(), outLeft, outRight);
        // Left and right round differently in the shared transform; a mono
        // track keeps two identical channels, as frame by frame.
        if (monoSource)
            for (size_t b = 0; b < 3; ++b)
                std::copy (bands[b].begin(), bands[b].end(), bands[b + 3].begin());

        for (size_t j = 0; j < used; ++j)
        {
            const int i = blockStart + static_cast<int> (j);
            const auto out = dynamics.process ({ bands[0][j], bands[3][j] }, { bands[1][j], bands[4][j] }, { bands[2][j], bands[5][j] });
            left[i] = out[0];
            right[i] = out[1];
            if (stopSeen())
            {
                tick (static_cast<uint32_t> (j + 1));
                return false;
            }
        }
        const float stage = progress (blockStart + count - 1 - outStart);
        setProgress (stage, stage);
        tick (static_cast<uint32_t> (count));
    }
    endStage (3);
    return true;
}

float OfflineRun::measurePeak()
{
    processor.statusText = std::string ("Peak detection processing");
    processor.stageStarted (3);

    const float* left = result->getReadPointer (0);
    const float* right = result->getReadPointer (1);
    float peak = 0.0f;

    if (settings.truePeak)
    {
        // The first sample and the last two only serve as neighbours; a range
        // shorter than four samples has no interpolated peak.
        if (outStart + 1 < outEnd - 2)
        {
            for (int chunk = outStart; chunk <= outEnd - 4; chunk += progressStep)
            {
                const int chunkEnd = std::min (chunk + progressStep, outEnd - 3);
                for (int n = chunk; n < chunkEnd; ++n)
                {
                    peak = std::max (peak, ProcessorTypeI::interSamplePeak (left[n], left[n + 1], left[n + 2], left[n + 3]));
                    peak = std::max (peak, ProcessorTypeI::interSamplePeak (right[n], right[n + 1], right[n + 2], right[n + 3]));
                }
                const float stage = progress (chunkEnd - outStart);
                setProgress (stage, stage);
                tick (static_cast<uint32_t> (chunkEnd - chunk));
            }
        }
    }
    else
    {
        for (int chunk = outStart; chunk < outEnd; chunk += progressStep)
        {
            const int chunkEnd = std::min (chunk + progressStep, outEnd);
            for (int i = chunk; i < chunkEnd; ++i)
                peak = std::max (peak, std::max (std::abs (left[i]), std::abs (right[i])));
            const float stage = progress (chunkEnd - 1 - outStart);
            setProgress (stage, stage);
            tick (static_cast<uint32_t> (chunkEnd - chunk));
        }
    }
    endStage (4);
    return peak;
}

void OfflineRun::finalise (float peak)
{
    processor.statusText = std::string ("Finalising");
    processor.stageStarted (4);

    // A silent range has no finite gain to the ceiling: it is left as it is.
    float gain = static_cast<float> (std::pow (10.0, 0.05 * static_cast<double> (settings.ceilingDb))) / peak;
    if (!(peak > 0.0f) || !std::isfinite (gain))
        gain = 1.0f;
    processor.lastRunPeak = peak;
    processor.lastRunGain = gain;

    for (int c = 0; c < 2; ++c)
    {
        processor.statusText = "Finalising channel " + std::to_string (c);
        std::cout << "Finalising compress channel " << c << std::endl;

        float* data = result->getWritePointer (c);
        for (int chunk = outStart; chunk < outEnd; chunk += progressStep)
        {
            const int chunkEnd = std::min (chunk + progressStep, outEnd);
            for (int i = chunk; i < chunkEnd; ++i)
                data[i] *= gain;
            processor.stageProgress.store (progress (chunkEnd - 1 - outStart), std::memory_order_relaxed);
            tick (static_cast<uint32_t> (chunkEnd - chunk));
        }
        processor.stageFraction = (static_cast<float> (c) + processor.stageProgress.load()) / 2.0f;
    }
}
} // namespace

float ProcessorTypeI::interSamplePeak (float x0, float x1, float x2, float x3) noexcept
{
    // Cubic Bernstein weights at t = 0.2, 0.4, 0.6 and 0.8.
    static constexpr double weights[4][4] = {
        { 0.512, 0.384, 0.096, 0.008 },
        { 0.216, 0.432, 0.288, 0.064 },
        { 0.064, 0.288, 0.432, 0.216 },
        { 0.008, 0.096, 0.384, 0.512 },
    };

    const float p0 = x1;
    const float p1 = (x1 - x0) + x1;
    const float p2 = x2 - (x3 - x2);
    const float p3 = x2;

    float peak = std::abs (x1);
    for (const auto& w : weights)
    {
        const auto b = static_cast<float> (w[0] * static_cast<double> (p0) + w[1] * static_cast<double> (p1)
                                           + w[2] * static_cast<double> (p2) + w[3] * static_cast<double> (p3));
        peak = std::max (peak, std::abs (b));
    }
    return peak;
}

void ProcessorTypeI::execute() { runOffline (false); }

void ProcessorTypeI::executeLiteral() { runOffline (true); }

void ProcessorTypeI::runOffline (bool literal)
{
    stopRequested = false;
    state = stateRunning;

    // From now on the audio thread leaves the preview chain alone; wait for a
    // block it may be processing. The flag is not taken.
    while (realTimeLock.load() != 0)
        sched_yield();

    try
    {
        OfflineRun (*this, literal).run();
    }
    catch (const std::bad_alloc&)
    {
        runErrorText = std::string ("There is not enough memory to process this track.");
        state = stateLoaded;
    }
}
