// The real-time preview chain of ProcessorTypeI: a light version of the
// mastering chain that runs on every output block while the user turns knobs.
//
// Each channel is split into twelve bands by linear-phase low-passes (three
// four-lane filters per channel give the twelve low-passes at once), the bands
// are weighted by the tone gains and compressed in three groups, then the
// stereo pair goes through a mid/side stage, loudness limiters, keyed and glue
// compressors and ceiling limiters. The arithmetic (float samples, double
// coefficients, order of operations) is reproduced elsewhere sample for
// sample, so it is kept exactly as designed.

#include "engine/ProcessorTypeI.h"
#include "engine/SpinFlag.h"

#include <algorithm>
#include <cmath>

namespace
{
using Comp = DSP::Compressor<float>;
using Lim = DSP::Limiter<float>;

/** Low-pass cut-offs of the split above the low cut (index 1 ... 11). */
constexpr double splitCutoffs[12] = {0.0, 100.0, 180.0, 360.0, 1000.0, 1800.0, 2500.0, 4000.0, 5000.0, 6500.0, 8000.0, 12000.0};

/** The compressor stages, each a left/right pair at index 2s, 2s + 1. */
enum Stage
{
    stageUpperKeyed = 0,
    stageGlue,
    stageMidKeyed,
    stageLowBand,
    stageMidBand,
    stageHighBand,
    stageCount
};

struct StageSettings
{
    float attackMs, releaseMs, thresholdDb, lookaheadMs;
};

constexpr StageSettings stageSettings[stageCount] = {
    {20.0f, 200.0f, -2.8f, 0.2f}, // upper-keyed
    {13.0f, 100.0f, -1.9f, 0.5f}, // glue
    {13.0f, 100.0f, -2.0f, 0.0f}, // mid-keyed
    {30.0f, 100.0f, -9.0f, 0.0f}, // low band
    {18.0f, 40.0f, -9.5f, 0.0f},  // mid band
    {9.0f, 25.0f, -10.0f, 0.0f},  // high band
};

/** Ratio of a stage for a `compression` setting, all in float. */
float stageRatio (int stage, float compression) noexcept
{
    const float e = 5.5f * compression;
    const float f = (4.0f + e) / 5.0f;
    switch (stage)
    {
        case stageUpperKeyed:
        case stageMidKeyed:
            return 1.4f + f;
        case stageGlue:
            return f + 1.6f;
        case stageLowBand:
            return 1.2f + e;
        case stageMidBand:
            return 1.3f + e;
        default:
            return 1.8f + e;
    }
}

/** A parameter as the chain uses it. The controls only write 0 ... 1; a NaN
    or out-of-range value from elsewhere is held to that range so it cannot
    drive a filter unstable or turn the chain's state into NaN for good. */
float param (int index) noexcept
{
    const float v = IProcessor::UserParams[index].load (std::memory_order_relaxed);
    if (!(v >= 0.0f))
        return 0.0f;
    return std::min (v, 1.0f);
}

double decibelsToGain (double db) noexcept { return std::pow (10.0, db / 20.0); }

float loudnessInputGain() noexcept
{
    return static_cast<float> (std::pow (10.0, 8.0 * static_cast<double> (param (IProcessor::loudness)) * 0.05));
}

/** Normalised corner of the side high-pass (bass made mono below it). */
double sideHighPassFc (double sampleRate) noexcept { return static_cast<double> (200.0f * param (IProcessor::lowCutStereo)) / sampleRate; }
} // namespace

void ProcessorTypeI::setupEQ()
{
    // The dB values are formed in double and stored as float; the divisions by
    // -3 and 2.5 are float, before the conversion to a gain in double.
    const auto L = static_cast<float> ((static_cast<double> (param (lowGain)) - 0.5) * 2.0 * 6.0);
    const auto B = static_cast<float> ((static_cast<double> (param (bodyGain)) - 0.5) * 2.0 * 4.0);
    const auto P = static_cast<float> ((static_cast<double> (param (clarity)) - 0.5) * 4.0);
    const auto T = static_cast<float> ((static_cast<double> (param (brightness)) - 0.5) * 2.0 * 4.0);

    bandGains[0] = static_cast<float> (decibelsToGain (static_cast<double> (L)));
    bandGains[1] = static_cast<float> (decibelsToGain (static_cast<double> (L / -3.0f)));
    bandGains[2] = static_cast<float> (decibelsToGain (static_cast<double> (B)));
    bandGains[3] = static_cast<float> (decibelsToGain (0.0));
    bandGains[4] = static_cast<float> (decibelsToGain (static_cast<double> (P)));
    bandGains[5] = static_cast<float> (decibelsToGain (-static_cast<double> (P)));
    bandGains[6] = static_cast<float> (decibelsToGain (static_cast<double> (P / 2.5f)));
    bandGains[7] = static_cast<float> (decibelsToGain (0.0));
    bandGains[8] = static_cast<float> (decibelsToGain (0.3 * static_cast<double> (T)));
    bandGains[9] = static_cast<float> (decibelsToGain (0.6 * static_cast<double> (T)));
    bandGains[10] = static_cast<float> (decibelsToGain (0.7 * static_cast<double> (T)));
    bandGains[11] = static_cast<float> (decibelsToGain (0.8 * static_cast<double> (T)));
}

void ProcessorTypeI::setupFilters (double sampleRate, int taps)
{
    // The low cut never goes below 5 Hz (maximum taken in float).
    const float lowCutHz = std::max (5.0f, 60.0f * param (lowCut));

    for (int k = 0; k < 12; ++k)
        designFilters[k].setup (DSP::lowPass, taps, sampleRate, k == 0 ? static_cast<double> (lowCutHz) : splitCutoffs[k]);

    // Half the length matches the filters' (taps - 1) / 2 delay to half a sample.
    const int length = designFilters[0].numTaps;
    for (auto& delay : dryDelays)
        delay.setup (length / 2);

    for (auto& filter : splitFilters)
        filter.setup (DSP::lowPass, taps, sampleRate, static_cast<double> (lowCutHz));

    // Lanes 0-3 of each channel's first filter hold low-passes 0-3, of the
    // second 4-7, of the third 8-11.
    const int packed = std::min (realTimeTaps, length);
    for (int f = 0; f < 6; ++f)
    {
        const int firstDesign = 4 * (f % 3);
        for (int i = 0; i < packed; ++i)
        {
            auto& tap = splitFilters[f].coefficients[static_cast<size_t> (i)];
            for (int lane = 0; lane < 4; ++lane)
                tap.set (static_cast<size_t> (lane), designFilters[firstDesign + lane].coefficients[static_cast<size_t> (i)]);
        }
    }
}

void ProcessorTypeI::initRealTimeSettings (double sampleRate)
{
    const SpinFlag::ScopedLock lock (realTimeLock);

    realTimeTaps = 512;
    // A device that reports no usable rate gets the default one.
    realTimeSampleRate = std::isfinite (sampleRate) && sampleRate > 0.0 ? sampleRate : 44100.0;

    setupEQ();
    setupFilters (realTimeSampleRate, realTimeTaps);

    const float compressionAmount = param (IProcessor::compression);
    for (int stage = 0; stage < stageCount; ++stage)
    {
        const auto& s = stageSettings[stage];
        for (int channel = 0; channel < 2; ++channel)
            compressors[2 * stage + channel].setup (realTimeSampleRate, s.attackMs, s.releaseMs, s.thresholdDb,
                                                    stageRatio (stage, compressionAmount), s.lookaheadMs, Comp::standard);
    }

    const float loudnessReleaseMs = 80.0f * param (loudnessRelease);
    for (int i = 0; i < 2; ++i)
    {
        limiters[i].setup (realTimeSampleRate, loudnessReleaseMs, -0.5f, 10.0f, 1.0f, Lim::standard);
        limiters[2 + i].setup (realTimeSampleRate, 44.0f, -0.25f, 10.0f, 1.0f, Lim::standard);
    }
    const float driveGain = loudnessInputGain();
    limiters[0].inputGain = driveGain;
    limiters[1].inputGain = driveGain;
    limiters[2].inputGain = 1.0f;
    limiters[3].inputGain = 1.0f;

    sideHighPass.type = Biquad::highPass;
    sideHighPass.Fc = sideHighPassFc (realTimeSampleRate);
    sideHighPass.Q = 0.707;
    sideHighPass.peakGain = 0.0;
    sideHighPass.calcBiquad();

    // Kept below the Nyquist frequency, where the shelf design degenerates;
    // only rates under 11.1 kHz are affected.
    sideShelf.type = Biquad::highShelf;
    sideShelf.Fc = std::min (5000.0 / realTimeSampleRate, 0.45);
    sideShelf.Q = 0.707;
    sideShelf.peakGain = 3.0;
    sideShelf.calcBiquad();

    for (int i = 0; i < numParams; ++i)
        appliedParams[i] = UserParams[i].load (std::memory_order_relaxed);
}

void ProcessorTypeI::settingsChanged()
{
    const SpinFlag::ScopedLock lock (realTimeLock);

    for (int i = 0; i < numParams; ++i)
    {
        const float value = UserParams[i].load (std::memory_order_relaxed);
        // NaN compares unequal, so it counts as a change. The ceiling and the
        // true-peak switch only matter to the offline run.
        if (appliedParams[i] == value || i > loudnessRelease)
            continue;

        switch (i)
        {
            case lowCut:
            case quality:
                setupFilters (realTimeSampleRate, realTimeTaps);
                break;

            case lowGain:
            case bodyGain:
            case clarity:
            case brightness:
                setupEQ();
                break;

            case loudness:
            case loudnessRelease:
            {
                // All four limiters take the new release, at 40 x rather than
                // the 80 x of a full rebuild, which restores 80 x and 44 ms.
                const float releaseMs = 40.0f * param (loudnessRelease);
                for (auto& limiter : limiters)
                    limiter.env.releaseCoeff = DSP::Envelope<float>::coefficient (releaseMs, limiter.sampleRate);
                const float driveGain = loudnessInputGain();
                limiters[0].inputGain = driveGain;
                limiters[1].inputGain = driveGain;
                limiters[2].inputGain = 1.0f;
                limiters[3].inputGain = 1.0f;
                break;
            }

            case compression:
            {
                const float amount = param (compression);
                for (int stage = 0; stage < stageCount; ++stage)
                    compressors[2 * stage].ratio = compressors[2 * stage + 1].ratio = stageRatio (stage, amount);
                break;
            }

            case lowCutStereo:
                sideHighPass.type = Biquad::highPass;
                sideHighPass.Fc = sideHighPassFc (realTimeSampleRate);
                sideHighPass.Q = 0.707;
                sideHighPass.peakGain = 0.0;
                sideHighPass.calcBiquad();
                break;

            default:
                break;
        }
        appliedParams[i] = value;
    }
}

void ProcessorTypeI::audioDeviceIOCallback (const float** inputs, int numInputChannels, float** outputs, int numOutputChannels,
                                            int blockSize) noexcept
{
    juce::ignoreUnused (inputs, numInputChannels);
    const SpinFlag::ScopedLock lock (realTimeLock);

    // During an offline run the block stays exactly as the engine wrote it.
    if (state.load() == stateRunning)
        return;

    // The chain keeps state for a stereo pair only; anything else passes through.
    if (outputs == nullptr || numOutputChannels < 2 || outputs[0] == nullptr || outputs[1] == nullptr || blockSize <= 0)
        return;

    for (int start = 0; start < blockSize; start += realTimeChunk)
        processChunk (outputs[0] + start, outputs[1] + start, std::min (realTimeChunk, blockSize - start));
}

void ProcessorTypeI::processChunk (float* left, float* right, int numFrames) noexcept
{
    // The split and the band compressors of each channel depend only on that
    // channel's input, so they run over the chunk first; the stereo stages
    // then take the frames one by one.
    splitChannel (0, left, numFrames);
    splitChannel (1, right, numFrames);

    for (int j = 0; j < numFrames; ++j)
    {
        const float L = left[j];
        const float R = right[j];

        const float mid = (L + R) * 0.5f;
        const float side = mid - L;
        // The high-pass output is rounded to float before the shelf.
        const float sideOut = sideShelf.process (sideHighPass.process (side));

        const float L1 = limiters[0].process (mid - sideOut);
        const float R1 = limiters[1].process (mid + sideOut);

        const float L2 =
            compressors[2 * stageUpperKeyed].process (L1, midScratch[0][static_cast<size_t> (j)] + highScratch[0][static_cast<size_t> (j)]);
        const float R2 = compressors[2 * stageUpperKeyed + 1].process (R1, midScratch[1][static_cast<size_t> (j)]
                                                                               + highScratch[1][static_cast<size_t> (j)]);

        const float L3 = limiters[2].process (L2);
        const float R3 = limiters[3].process (R2);

        const float L4 = compressors[2 * stageGlue].process (L3);
        const float R4 = compressors[2 * stageGlue + 1].process (R3);

        left[j] = compressors[2 * stageMidKeyed].process (L4, midScratch[0][static_cast<size_t> (j)]);
        right[j] = compressors[2 * stageMidKeyed + 1].process (R4, midScratch[1][static_cast<size_t> (j)]);
    }
}

void ProcessorTypeI::splitChannel (int channel, float* samples, int numFrames) noexcept
{
    const float clip = clipLevel;
    const float gain = inputGain;
    auto& dryDelay = dryDelays[channel];

    for (int j = 0; j < numFrames; ++j)
    {
        // Clip to the level measured at load, then normalise. A NaN sample
        // (which neither comparison catches) becomes silence.
        float x = samples[j];
        if (x > 0.0f)
            x = std::min (x, clip);
        else if (x <= 0.0f)
            x = std::max (x, -clip);
        else
            x = 0.0f;
        x *= gain;

        splitInput[static_cast<size_t> (j)] = SplitRegister::expand (x);
        dryScratch[static_cast<size_t> (j)] = dryDelay.process (x);
    }

    for (int f = 0; f < 3; ++f)
        splitFilters[3 * channel + f].processBlock (splitInput.data(), splitOutput[static_cast<size_t> (f)].data(), numFrames);

    const float* g = bandGains;
    auto& lowComp = compressors[2 * stageLowBand + channel];
    auto& midComp = compressors[2 * stageMidBand + channel];
    auto& highComp = compressors[2 * stageHighBand + channel];
    auto& midOut = midScratch[static_cast<size_t> (channel)];
    auto& highOut = highScratch[static_cast<size_t> (channel)];

    for (int j = 0; j < numFrames; ++j)
    {
        const auto jj = static_cast<size_t> (j);
        float lp[12];
        for (size_t f = 0; f < 3; ++f)
            splitOutput[f][jj].copyToRawArray (lp + 4 * f);

        // Band k lies between low-passes k - 1 and k; the top band is the dry
        // signal above low-pass 11. Low-pass 0 itself (below the low cut) is dropped.
        const float b1 = lp[1] - lp[0], b2 = lp[2] - lp[1], b3 = lp[3] - lp[2];
        const float b4 = lp[4] - lp[3], b5 = lp[5] - lp[4], b6 = lp[6] - lp[5], b7 = lp[7] - lp[6];
        const float b8 = lp[8] - lp[7], b9 = lp[9] - lp[8], b10 = lp[10] - lp[9], b11 = lp[11] - lp[10];
        const float b12 = dryScratch[jj] - lp[11];

        const float low = b1 * g[0] + b2 * g[1] + b3 * g[2];
        const float mid = b4 * g[3] + b5 * g[4] + b6 * g[5] + b7 * g[6];
        const float high = b8 * g[7] + b9 * g[8] + b10 * g[9] + b11 * g[10] + b12 * g[11];

        const float lowOut = lowComp.process (low);
        midOut[jj] = midComp.process (mid);
        highOut[jj] = highComp.process (high);
        samples[j] = lowOut + midOut[jj] + highOut[jj];
    }
}
