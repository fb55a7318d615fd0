#include "dsp/Biquad.h"
#include "dsp/Compressor.h"
#include "dsp/Delay.h"
#include "dsp/FIRFilter.h"
#include "dsp/Limiter.h"
#include "engine/OfflineSettings.h"
#include "engine/ProcessorTypeI.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

using testing_support::makeBuffer;

namespace
{
/** A music-like test signal: two tones per channel and some noise. */
juce::AudioBuffer<float> music (int channels, int samples, float level = 0.5f)
{
    return makeBuffer (channels, samples,
                       [level] (int ch, int i)
                       {
                           const auto x = static_cast<unsigned> (i) * 2654435761u + static_cast<unsigned> (ch) * 97u;
                           const float noise = static_cast<float> ((x >> 9) & 0xffff) / 65535.0f - 0.5f;
                           const float t = static_cast<float> (i);
                           return level
                                  * (0.6f * std::sin (0.013f * t * static_cast<float> (ch + 1))
                                     + 0.3f * std::sin (0.21f * t + static_cast<float> (ch)) + 0.4f * noise);
                       });
}

class OfflineRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The first factory preset, with the shortest filters to keep runs fast.
        const float preset[IProcessor::numParams] = { 0.5f, 0.73f, 0.4f, 0.5f, 0.67f, 0.5f, 0.1f, 0.0f, 0.85f, 0.5f, -0.3f, 0.0f };
        for (int i = 0; i < IProcessor::numParams; ++i)
            IProcessor::UserParams[i] = preset[i];
    }

    static void set (IProcessor::Param index, float value) { IProcessor::UserParams[index] = value; }

    /** A processor holding `source` as if it had just been loaded. */
    static std::shared_ptr<ProcessorTypeI> loaded (const juce::AudioBuffer<float>& source, double sourceRate, double processingRate)
    {
        auto p = std::make_shared<ProcessorTypeI>();
        p->sourceBuffer = std::make_shared<juce::AudioBuffer<float>> (source);
        p->numChannels = source.getNumChannels();
        p->numSamples = source.getNumSamples();
        p->sourceSampleRate = sourceRate;
        p->processingSampleRate = processingRate;
        p->clipLevel = 0.4f;
        p->inputGain = 0.92f / 0.4f;
        p->state = IProcessor::stateLoaded;
        return p;
    }

    static OfflineSettings::Params currentParams()
    {
        OfflineSettings::Params params {};
        for (size_t i = 0; i < params.size(); ++i)
            params[i] = IProcessor::UserParams[i].load();
        return params;
    }
};

float largestMagnitude (const juce::AudioBuffer<float>& b, int start, int end)
{
    float peak = 0.0f;
    for (int c = 0; c < b.getNumChannels(); ++c)
        for (int i = start; i < end; ++i)
            peak = std::max (peak, std::abs (b.getSample (c, i)));
    return peak;
}

/** The whole run written out frame by frame on one channel at a time, with
    scalar filters and one compressor object per linked stage fed left then
    right (which is what the run does wherever the linked rings are odd, as
    at 44.1 kHz). */
juce::AudioBuffer<float> referenceRun (const juce::AudioBuffer<float>& source, double sourceRate, double rate, float clip, float inputGain,
                                       const OfflineSettings::Params& params)
{
    const auto s = OfflineSettings::fromParams (params, rate);
    const int length = static_cast<int> (std::ceil (rate / sourceRate * source.getNumSamples()));
    juce::AudioBuffer<float> out (2, length);

    for (int c = 0; c < 2; ++c)
    {
        const float* src = source.getReadPointer (std::min (c, source.getNumChannels() - 1));
        std::vector<float> padded (src, src + source.getNumSamples());
        padded.resize (padded.size() + static_cast<size_t> (length) + 64, padded.back());
        if (sourceRate == rate)
            std::copy (padded.begin(), padded.begin() + length, out.getWritePointer (c));
        else
            juce::LagrangeInterpolator().process (sourceRate / rate, padded.data(), out.getWritePointer (c), length);

        for (int i = 0; i < length; ++i)
        {
            float v = out.getSample (c, i);
            v = v > 0.0f ? std::min (v, clip) : std::max (v, -clip);
            out.setSample (c, i, v * inputGain);
        }
    }

    using Compressor = DSP::Compressor<float>;
    std::array<std::array<DSP::FIRFilter<float>, 11>, 2> lowPasses;
    std::array<DSP::Delay<float>, 2> dry;
    std::array<Compressor, 2> low, mid, high, midKeyed;
    std::array<DSP::Limiter<float>, 2> loud, ceil;
    Compressor upperKeyed, glue;
    for (size_t c = 0; c < 2; ++c)
    {
        for (size_t k = 0; k < 11; ++k)
            lowPasses[c][k].setup (DSP::lowPass, s.taps, rate, s.cutoffHz[k]);
        dry[c].setup (s.taps / 2);
        low[c].setup (rate, 30, 100, -9, s.lowRatio, 0, Compressor::standard);
        mid[c].setup (rate, 18, 40, -9.5f, s.midRatio, 0, Compressor::standard);
        high[c].setup (rate, 9, 25, -10, s.highRatio, 0, Compressor::standard);
        midKeyed[c].setup (rate, 7, 120, -1.8f, s.midKeyedRatio, 0, Compressor::standard);
        loud[c].setup (rate, s.loudnessReleaseMs, -0.5f, 10, 1, DSP::Limiter<float>::standard);
        loud[c].inputGain = s.loudnessInputGain;
        ceil[c].setup (rate, 44, -0.25f, 10, 1, DSP::Limiter<float>::standard);
    }
    upperKeyed.setup (rate, 20, 200, -2.8f, s.upperKeyedRatio, 0.2f, Compressor::standard);
    glue.setup (rate, 13, 100, -1.9f, s.glueRatio, 0.5f, Compressor::standard);
    Biquad hp, shelf;
    hp.type = Biquad::highPass;
    hp.Fc = s.sideHighPassFc;
    hp.calcBiquad();
    shelf.type = Biquad::highShelf;
    shelf.Fc = s.sideShelfFc;
    shelf.peakGain = 3.0;
    shelf.calcBiquad();

    const auto& g = s.bandGains;
    for (int i = 0; i < length; ++i)
    {
        float lowOut[2], midOut[2], highOut[2];
        for (size_t c = 0; c < 2; ++c)
        {
            const float x = out.getSample (static_cast<int> (c), i);
            const float d = dry[c].process (x);
            float b[11], sum = 0.0f;
            for (size_t k = 0; k < 11; ++k)
            {
                b[k] = lowPasses[c][k].process (x) - sum;
                sum = sum + b[k];
            }
            const float top = d - sum;
            lowOut[c] = low[c].process (b[1] * g[0] + b[2] * g[1] + b[3] * g[2]);
            midOut[c] = mid[c].process (b[4] + b[5] * g[4] + b[6] * g[5] + b[7] * g[6]);
            highOut[c] = high[c].process (b[8] + b[9] * g[8] + b[10] * g[9] + top * g[10]);
        }
        const float ls = lowOut[0] + midOut[0] + highOut[0];
        const float rs = lowOut[1] + midOut[1] + highOut[1];
        const float m = (rs + ls) * 0.5f;
        const float side = shelf.process (hp.process (m - ls));
        const float l1 = loud[0].process (m - side), r1 = loud[1].process (m + side);
        const float l2 = upperKeyed.process (l1, midOut[0] + highOut[0]);
        const float r2 = upperKeyed.process (r1, midOut[1] + highOut[1]);
        const float l3 = ceil[0].process (l2), r3 = ceil[1].process (r2);
        const float l4 = glue.process (l3), r4 = glue.process (r3);
        out.setSample (0, i, midKeyed[0].process (l4, midOut[0]));
        out.setSample (1, i, midKeyed[1].process (r4, midOut[1]));
    }

    const float peak = largestMagnitude (out, 0, length);
    const float gain = static_cast<float> (std::pow (10.0, 0.05 * static_cast<double> (s.ceilingDb))) / peak;
    out.applyGain (gain);
    return out;
}

/** Runs execute() on its own thread, as the application does. */
std::thread startRun (const std::shared_ptr<ProcessorTypeI>& p)
{
    return std::thread ([p] { p->execute(); });
}

void waitFor (const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (60);
    while (!condition() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
}
} // namespace

TEST_F (OfflineRun, LiteralPathMatchesTheChainWrittenFrameByFrame)
{
    const struct
    {
        double sourceRate;
        float quality;
        float loudness;
        float truePeakOff;
    } cases[] = { { 44100.0, 0.0f, 0.9f, 0.0f }, { 48000.0, 0.25f, 0.5f, 0.0f } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.sourceRate);
        set (IProcessor::quality, c.quality);
        set (IProcessor::loudness, c.loudness);
        set (IProcessor::compression, 0.8f);
        const auto source = music (2, 6000, 0.7f);
        auto p = loaded (source, c.sourceRate, 44100.0);
        p->executeLiteral();
        ASSERT_EQ (p->state.load(), IProcessor::stateFinished);

        const auto expected = referenceRun (source, c.sourceRate, 44100.0, p->clipLevel, p->inputGain, currentParams());
        const auto& result = *p->processedBuffer;
        ASSERT_EQ (result.getNumChannels(), 2);
        ASSERT_EQ (result.getNumSamples(), expected.getNumSamples());
        int differing = 0;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < result.getNumSamples(); ++i)
                differing += result.getSample (ch, i) != expected.getSample (ch, i) ? 1 : 0;
        EXPECT_EQ (differing, 0);
        EXPECT_GT (largestMagnitude (result, 0, result.getNumSamples()), 0.5f);
    }
}

TEST_F (OfflineRun, FastPathEqualsTheLiteralPath)
{
    // Every quality, the offered rates (with resampling from 44.1 kHz), with
    // and without a selection, loud enough that every compressor and limiter
    // works. The fast path differs only by rounding.
    const float qualities[] = { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f };
    const double rates[] = { 44100.0, 48000.0, 96000.0 };
    const auto source = music (2, 7000, 0.9f);
    set (IProcessor::compression, 0.9f);
    set (IProcessor::loudness, 0.8f);
    set (IProcessor::lowCutStereo, 0.6f);

    for (const float quality : qualities)
        for (const double rate : rates)
            for (const bool selection : { false, true })
            {
                SCOPED_TRACE (testing::Message() << "quality " << quality << ", rate " << rate << ", selection " << selection);
                set (IProcessor::quality, quality);
                set (IProcessor::truePeak, selection ? 1.0f : 0.0f);
                auto fast = loaded (source, 44100.0, rate);
                auto literal = loaded (source, 44100.0, rate);
                for (auto* p : { fast.get(), literal.get() })
                {
                    p->selectionActive = selection;
                    p->selectionStart = 0.2;
                    p->selectionEnd = 0.85;
                }
                fast->execute();
                literal->executeLiteral();
                ASSERT_EQ (fast->state.load(), IProcessor::stateFinished);
                ASSERT_EQ (literal->state.load(), IProcessor::stateFinished);

                const auto& a = *fast->processedBuffer;
                const auto& b = *literal->processedBuffer;
                ASSERT_EQ (a.getNumSamples(), b.getNumSamples());
                double maxDiff = 0.0, diffEnergy = 0.0, energy = 0.0;
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < a.getNumSamples(); ++i)
                    {
                        const double d = static_cast<double> (a.getSample (c, i)) - static_cast<double> (b.getSample (c, i));
                        maxDiff = std::max (maxDiff, std::abs (d));
                        diffEnergy += d * d;
                        energy += static_cast<double> (b.getSample (c, i)) * static_cast<double> (b.getSample (c, i));
                    }
                ASSERT_GT (energy, 0.0);
                EXPECT_LE (maxDiff, 2e-5);
                EXPECT_LE (10.0 * std::log10 (diffEnergy / energy), -110.0);
                EXPECT_EQ (fast->lastRunTaps.load(), literal->lastRunTaps.load());
                EXPECT_EQ (fast->progressTicks.load(), literal->progressTicks.load());
            }
}

TEST_F (OfflineRun, LengthFollowsTheRateRatioInDouble)
{
    const struct
    {
        double sourceRate, processingRate;
        int sourceLength, expectedLength;
    } cases[] = {
        { 44100.0, 96000.0, 44100, 96001 }, // 96000.00000000001 rounds up
        { 44100.0, 48000.0, 44100, 48001 }, { 44100.0, 44100.0, 1000, 1000 }, { 96000.0, 48000.0, 1001, 501 }, { 48000.0, 0.0, 777, 777 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.expectedLength);
        auto p = loaded (music (2, c.sourceLength), c.sourceRate, c.processingRate);
        p->execute();
        EXPECT_EQ (p->state.load(), IProcessor::stateFinished);
        EXPECT_EQ (p->processedBuffer->getNumChannels(), 2);
        EXPECT_EQ (p->processedBuffer->getNumSamples(), c.expectedLength);
    }
}

TEST_F (OfflineRun, ProcessingRateZeroIsResolvedToTheSourceRateAndKept)
{
    auto p = loaded (music (2, 2000), 48000.0, 0.0);
    p->execute();
    EXPECT_EQ (p->state.load(), IProcessor::stateFinished);
    EXPECT_EQ (p->processingSampleRate.load(), 48000.0);
    EXPECT_EQ (p->processedBuffer->getNumSamples(), 2000);
}

TEST_F (OfflineRun, SelectionIsProcessedFromFreshStateAndTheRestStaysSilent)
{
    const auto source = music (2, 1000);
    auto p = loaded (source, 44100.0, 44100.0);
    p->selectionActive = true;
    p->selectionStart = 0.25;
    p->selectionEnd = 0.5;
    p->execute();
    ASSERT_EQ (p->state.load(), IProcessor::stateFinished);
    EXPECT_EQ (p->processedStart.load(), 0.25);
    EXPECT_EQ (p->processedEnd.load(), 0.5);

    const auto& result = *p->processedBuffer;
    ASSERT_EQ (result.getNumSamples(), 1000);
    EXPECT_EQ (largestMagnitude (result, 0, 250), 0.0f);
    EXPECT_EQ (largestMagnitude (result, 500, 1000), 0.0f);

    // The range is the whole run of a track that holds only the range.
    juce::AudioBuffer<float> cut (2, 250);
    for (int c = 0; c < 2; ++c)
        cut.copyFrom (c, 0, source, c, 250, 250);
    auto whole = loaded (cut, 44100.0, 44100.0);
    whole->execute();
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 250; ++i)
            ASSERT_EQ (result.getSample (c, 250 + i), whole->processedBuffer->getSample (c, i)) << c << ":" << i;
    EXPECT_GT (largestMagnitude (result, 250, 500), 0.0f);

    // Without a selection the whole track is the range.
    p->selectionActive = false;
    p->execute();
    EXPECT_EQ (p->processedStart.load(), 0.0);
    EXPECT_EQ (p->processedEnd.load(), 1.0);
    EXPECT_GT (largestMagnitude (*p->processedBuffer, 900, 1000), 0.0f);
}

TEST_F (OfflineRun, MonoSourceFeedsBothChannels)
{
    auto p = loaded (music (1, 3000), 44100.0, 48000.0);
    p->execute();
    ASSERT_EQ (p->state.load(), IProcessor::stateFinished);
    const auto& result = *p->processedBuffer;
    ASSERT_EQ (result.getNumChannels(), 2);
    for (int i = 0; i < result.getNumSamples(); ++i)
        ASSERT_EQ (result.getSample (0, i), result.getSample (1, i)) << i;
    EXPECT_GT (largestMagnitude (result, 0, result.getNumSamples()), 0.5f);
}

TEST_F (OfflineRun, SamplePeakEndsExactlyAtTheCeiling)
{
    for (const float ceiling : { 0.0f, -0.3f, -1.5f, -6.0f })
    {
        SCOPED_TRACE (ceiling);
        set (IProcessor::ceiling, ceiling);
        set (IProcessor::loudness, 0.0f);
        auto p = loaded (music (2, 4000, 0.3f), 44100.0, 44100.0);
        p->execute();
        ASSERT_EQ (p->state.load(), IProcessor::stateFinished);
        const float target = static_cast<float> (std::pow (10.0, ceiling / 20.0));
        EXPECT_NEAR (largestMagnitude (*p->processedBuffer, 0, 4000), target, target * 2.0e-7f);
        EXPECT_GT (p->lastRunPeak.load(), 0.0f);
        EXPECT_EQ (p->lastRunGain.load(), target / p->lastRunPeak.load());
    }
}

TEST_F (OfflineRun, InterSamplePeakEstimate)
{
    // A sine at a quarter of the rate sampled at +-0.7071: the curve through
    // the two equal samples bulges to about 1.725.
    EXPECT_NEAR (ProcessorTypeI::interSamplePeak (-0.7071f, 0.7071f, 0.7071f, -0.7071f), 1.7253f, 1.0e-4f);
    // The control points take whole steps along the neighbouring slopes, so
    // even a ramp overshoots a little between its samples (0.2608 at t = 0.8).
    EXPECT_NEAR (ProcessorTypeI::interSamplePeak (0.1f, 0.2f, 0.3f, 0.4f), 0.2608f, 1.0e-6f);
    // Negative excursions count by magnitude (-0.64 at t = 0.2).
    EXPECT_NEAR (ProcessorTypeI::interSamplePeak (0.0f, -0.5f, 0.0f, 0.0f), 0.64f, 1.0e-6f);
    // Silence stays silent.
    EXPECT_EQ (ProcessorTypeI::interSamplePeak (0.0f, 0.0f, 0.0f, 0.0f), 0.0f);
}

TEST_F (OfflineRun, TruePeakPutsTheInterpolatedPeakAtTheCeiling)
{
    set (IProcessor::truePeak, 1.0f);
    set (IProcessor::ceiling, -1.0f);
    auto p = loaded (music (2, 4000), 44100.0, 44100.0);
    p->execute();
    ASSERT_EQ (p->state.load(), IProcessor::stateFinished);

    const auto& result = *p->processedBuffer;
    float estimate = 0.0f;
    for (int c = 0; c < 2; ++c)
        for (int n = 0; n + 3 < 4000; ++n)
            estimate = std::max (estimate, ProcessorTypeI::interSamplePeak (result.getSample (c, n), result.getSample (c, n + 1),
                                                                            result.getSample (c, n + 2), result.getSample (c, n + 3)));
    const float target = static_cast<float> (std::pow (10.0, -1.0 / 20.0));
    EXPECT_NEAR (estimate, target, target * 2.0e-7f);
    EXPECT_LT (largestMagnitude (result, 0, 4000), target);
}

TEST_F (OfflineRun, RangeUnderFourSamplesIsLeftUnscaled)
{
    set (IProcessor::truePeak, 1.0f);
    auto p = loaded (music (2, 1000), 44100.0, 44100.0);
    p->selectionActive = true;
    p->selectionStart = 0.5;
    p->selectionEnd = 0.503; // samples 500, 501 and 502
    p->execute();
    ASSERT_EQ (p->state.load(), IProcessor::stateFinished);
    EXPECT_EQ (p->lastRunPeak.load(), 0.0f);
    EXPECT_EQ (p->lastRunGain.load(), 1.0f);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 1000; ++i)
            ASSERT_TRUE (std::isfinite (p->processedBuffer->getSample (c, i)));
    EXPECT_EQ (largestMagnitude (*p->processedBuffer, 0, 500), 0.0f);
    EXPECT_EQ (largestMagnitude (*p->processedBuffer, 503, 1000), 0.0f);

    // A silent track is no better: left as it is, and finite.
    set (IProcessor::truePeak, 0.0f);
    auto silent = loaded (juce::AudioBuffer<float> (2, 500), 44100.0, 44100.0);
    silent->sourceBuffer->clear();
    silent->execute();
    EXPECT_EQ (silent->state.load(), IProcessor::stateFinished);
    EXPECT_EQ (silent->lastRunGain.load(), 1.0f);
    EXPECT_EQ (largestMagnitude (*silent->processedBuffer, 0, 500), 0.0f);
}

TEST_F (OfflineRun, ProgressFieldsReachTheirEndsAndFinalisingIsLogged)
{
    const int length = 3000;
    auto p = loaded (music (2, length), 44100.0, 44100.0);
    p->progressTicks = 17;
    p->stageFraction = 0.9f;

    testing::internal::CaptureStdout();
    p->execute();
    const auto log = testing::internal::GetCapturedStdout();

    EXPECT_EQ (p->state.load(), IProcessor::stateFinished);
    EXPECT_EQ (log, "Finalising compress channel 0\nFinalising compress channel 1\n");
    EXPECT_EQ (p->numStages.load(), 5);
    EXPECT_EQ (p->stageIndex.load(), 4);
    EXPECT_EQ (p->statusText.get(), "Finalising channel 1");
    const float last = static_cast<float> (length - 1) / static_cast<float> (length);
    EXPECT_EQ (p->stageProgress.load(), last);
    EXPECT_EQ (p->stageFraction.load(), (1.0f + last) / 2.0f);
    // One tick to open resampling, then one per sample: two channels of
    // normalisation, every frame of the chain, every frame of the peak
    // search and two channels of finalising.
    EXPECT_EQ (p->progressTicks.load(), 17 + 1 + 6 * length);

    // The true-peak search visits three frames fewer.
    set (IProcessor::truePeak, 1.0f);
    p->progressTicks = 0;
    testing::internal::CaptureStdout();
    p->execute();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ (p->progressTicks.load(), 1 + 6 * length - 3);
}

TEST_F (OfflineRun, StopDuringResamplingEndsAfterTheChannelInProgress)
{
    const auto source = music (2, 5000);
    auto p = loaded (source, 44100.0, 44100.0);

    // Hold the preview lock so the run waits right after it has cleared the
    // stop flag; the request then meets the first resampled channel.
    p->realTimeLock = 1;
    auto run = startRun (p);
    waitFor ([&] { return p->state.load() == IProcessor::stateRunning; });
    p->stopExecution();
    p->realTimeLock = 0;
    run.join();

    EXPECT_EQ (p->state.load(), IProcessor::stateStopped);
    EXPECT_EQ (p->stageIndex.load(), 0);
    EXPECT_EQ (p->stageProgress.load(), 0.5f);
    // Channel 0 holds the source copied at equal rates; channel 1 was never
    // reached.
    const auto& result = *p->processedBuffer;
    for (int i = 0; i < 5000; ++i)
    {
        ASSERT_EQ (result.getSample (0, i), source.getSample (0, i)) << i;
        ASSERT_EQ (result.getSample (1, i), 0.0f) << i;
    }
}

TEST_F (OfflineRun, ResamplingNeverReadsPastTheSource)
{
    // Stopped after channel 0, the buffer shows the converter's output: a
    // fresh Lagrange interpolator over the source followed by its last
    // sample repeated.
    const int length = 3001;
    for (const double rate : { 48000.0, 96000.0, 88200.0 })
    {
        SCOPED_TRACE (rate);
        const auto source = music (2, length);
        auto p = loaded (source, 44100.0, rate);
        p->realTimeLock = 1;
        auto run = startRun (p);
        waitFor ([&] { return p->state.load() == IProcessor::stateRunning; });
        p->stopExecution();
        p->realTimeLock = 0;
        run.join();
        ASSERT_EQ (p->state.load(), IProcessor::stateStopped);

        const auto& result = *p->processedBuffer;
        std::vector<float> padded (source.getReadPointer (0), source.getReadPointer (0) + length);
        padded.resize (static_cast<size_t> (result.getNumSamples()) + 64, padded.back());
        std::vector<float> expected (static_cast<size_t> (result.getNumSamples()));
        juce::LagrangeInterpolator().process (44100.0 / rate, padded.data(), expected.data(), result.getNumSamples());
        for (int i = 0; i < result.getNumSamples(); ++i)
            ASSERT_EQ (result.getSample (0, i), expected[static_cast<size_t> (i)]) << i;
    }
}

TEST_F (OfflineRun, StopDuringSignalProcessingEndsWithinAFrame)
{
    // Asks for the stop the moment the signal stage begins, on the run's own
    // thread, so the test does not race a stage that may last milliseconds.
    struct StopAtSignalStage : ProcessorTypeI
    {
        void stageStarted (int index) noexcept override
        {
            if (index == 2)
                stopExecution();
        }
    };

    set (IProcessor::quality, 1.0f);
    const int length = 3 * 44100;
    auto p = std::make_shared<StopAtSignalStage>();
    {
        const auto prepared = loaded (music (2, length), 44100.0, 44100.0);
        p->sourceBuffer = prepared->sourceBuffer;
        p->numChannels = 2;
        p->numSamples = length;
        p->sourceSampleRate = 44100.0;
        p->processingSampleRate = 44100.0;
        p->clipLevel = prepared->clipLevel;
        p->inputGain = prepared->inputGain;
        p->state = IProcessor::stateLoaded;
    }
    auto run = startRun (p);
    run.join();

    EXPECT_EQ (p->state.load(), IProcessor::stateStopped);
    EXPECT_EQ (p->stageIndex.load(), 2);
    const int framesDone = p->progressTicks.load() - 1 - 2 * length;
    EXPECT_GE (framesDone, 1);
    EXPECT_LT (framesDone, length);

    // Frames after the stop still hold the normalised source.
    const auto& source = *p->sourceBuffer;
    for (int c = 0; c < 2; ++c)
    {
        const int i = length - 1;
        const float v = source.getSample (c, i);
        const float clipped = v > 0.0f ? std::min (v, p->clipLevel) : std::max (v, -p->clipLevel);
        EXPECT_EQ (p->processedBuffer->getSample (c, i), clipped * p->inputGain);
    }
}

TEST_F (OfflineRun, AResultTooLongEndsWithAMessageInsteadOfACrash)
{
    // 1000 samples at 0.01 Hz taken to 96 kHz would be 9.6e9 samples.
    auto p = loaded (music (2, 1000), 0.01, 96000.0);
    const auto previous = p->processedBuffer;
    p->execute();
    EXPECT_EQ (p->state.load(), IProcessor::stateLoaded);
    EXPECT_FALSE (p->runErrorText.isEmpty());
    EXPECT_EQ (p->processedBuffer, previous);

    // A later, sound run goes through.
    p->sourceSampleRate = 44100.0;
    p->execute();
    EXPECT_EQ (p->state.load(), IProcessor::stateFinished);
}

TEST_F (OfflineRun, ANewRunLeavesThePreviousResultToItsHolders)
{
    auto p = loaded (music (2, 2000), 44100.0, 44100.0);
    p->execute();
    const auto first = p->processedBuffer;
    const auto firstCopy = juce::AudioBuffer<float> (*first);
    set (IProcessor::ceiling, -3.0f);
    p->execute();
    EXPECT_NE (p->processedBuffer, first);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ (first->getSample (0, i), firstCopy.getSample (0, i));
}
