#include "engine/ProcessorTypeI.h"
#include "engine/SpinFlag.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <thread>
#include <vector>

//==============================================================================
// Counts heap allocations per thread, so a test can prove that the audio
// callback never allocates.
namespace
{
thread_local long allocationsOnThisThread = 0;

void* allocate (std::size_t size, std::size_t alignment)
{
    ++allocationsOnThisThread;
    void* p = nullptr;
    if (posix_memalign (&p, std::max (alignment, sizeof (void*)), size == 0 ? 1 : size) != 0)
        throw std::bad_alloc();
    return p;
}
} // namespace

void* operator new (std::size_t size) { return allocate (size, alignof (std::max_align_t)); }
void* operator new (std::size_t size, std::align_val_t alignment) { return allocate (size, static_cast<std::size_t> (alignment)); }
void operator delete (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete (void* p, std::align_val_t) noexcept { std::free (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept { std::free (p); }

//==============================================================================
namespace
{
using Reg = juce::dsp::SIMDRegister<float>;
using P = IProcessor;

void setParams (std::initializer_list<std::pair<int, float>> changes)
{
    for (const auto& [index, value] : changes)
        P::UserParams[index] = value;
}

bool historyIsZero (const DSP::FIRFilter<Reg>& filter)
{
    for (const auto& r : filter.history)
        for (size_t lane = 0; lane < 4; ++lane)
            if (r.get (lane) != 0.0f)
                return false;
    return true;
}

std::vector<float> laneHistory (const DSP::FIRFilter<Reg>& filter)
{
    std::vector<float> v;
    for (const auto& r : filter.history)
        for (size_t lane = 0; lane < 4; ++lane)
            v.push_back (r.get (lane));
    return v;
}

/** A stereo test signal: tones, noise and the odd overshoot above the clip level. */
std::vector<std::vector<float>> stereoSignal (int frames, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-0.3f, 0.3f);
    std::vector<std::vector<float>> s (2, std::vector<float> (static_cast<size_t> (frames)));
    for (int i = 0; i < frames; ++i)
    {
        const double t = i / 44100.0;
        s[0][static_cast<size_t> (i)] =
            static_cast<float> (0.6 * std::sin (2.0 * M_PI * 70.0 * t) + 0.3 * std::sin (2.0 * M_PI * 3100.0 * t)) + dist (rng);
        s[1][static_cast<size_t> (i)] =
            static_cast<float> (0.7 * std::sin (2.0 * M_PI * 110.0 * t + 1.0) + 0.2 * std::sin (2.0 * M_PI * 9000.0 * t)) + dist (rng);
    }
    return s;
}

class RealTimeChain : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < P::numParams; ++i)
            P::UserParams[i] = 0.5f;
        setParams ({{P::compression, 0.0f}, {P::ceiling, 0.0f}, {P::truePeak, 0.0f}});
        processor = std::make_unique<ProcessorTypeI>();
        processor->clipLevel = 0.9f;
        processor->inputGain = 1.1f;
        processor->state = P::stateLoaded;
    }

    /** Runs a signal through the callback in blocks of the given sizes, in turn. */
    void run (std::vector<std::vector<float>>& signal, const std::vector<int>& blockSizes)
    {
        const int frames = static_cast<int> (signal[0].size());
        size_t b = 0;
        for (int pos = 0; pos < frames;)
        {
            const int n = std::min (blockSizes[b++ % blockSizes.size()], frames - pos);
            float* channels[2] = {signal[0].data() + pos, signal[1].data() + pos};
            processor->audioDeviceIOCallback (nullptr, 0, channels, 2, n);
            pos += n;
        }
    }

    std::unique_ptr<ProcessorTypeI> processor;
};

//==============================================================================
/** The chain written out frame by frame from scalar blocks: twelve scalar
    low-passes per channel instead of the packed four-lane ones, no chunking. */
struct ReferenceChain
{
    DSP::FIRFilter<float> lowPasses[2][12];
    DSP::Delay<float> dry[2];
    DSP::Compressor<float> comps[12];
    DSP::Limiter<float> lims[4];
    Biquad highPass, shelf;
    float gains[12]{};
    double rate = 44100.0;

    static float p (int i) { return P::UserParams[i].load(); }

    static float ratio (int stage)
    {
        const float e = 5.5f * p (P::compression);
        const float f = (4.0f + e) / 5.0f;
        const float ratios[6] = {1.4f + f, f + 1.6f, 1.4f + f, 1.2f + e, 1.3f + e, 1.8f + e};
        return ratios[stage];
    }

    void setGains()
    {
        const auto L = static_cast<float> ((static_cast<double> (p (P::lowGain)) - 0.5) * 2.0 * 6.0);
        const auto B = static_cast<float> ((static_cast<double> (p (P::bodyGain)) - 0.5) * 2.0 * 4.0);
        const auto Pc = static_cast<float> ((static_cast<double> (p (P::clarity)) - 0.5) * 4.0);
        const auto T = static_cast<float> ((static_cast<double> (p (P::brightness)) - 0.5) * 2.0 * 4.0);
        const double db[12] = {L, L / -3.0f, B, 0.0, Pc, -static_cast<double> (Pc), Pc / 2.5f, 0.0, 0.3 * T, 0.6 * T, 0.7 * T, 0.8 * T};
        for (int k = 0; k < 12; ++k)
            gains[k] = static_cast<float> (std::pow (10.0, db[k] / 20.0));
    }

    void setFilters()
    {
        const double cutoffs[12] = {std::max (5.0f, 60.0f * p (P::lowCut)), 100, 180, 360, 1000, 1800, 2500, 4000, 5000, 6500, 8000, 12000};
        for (auto& channel : lowPasses)
            for (int k = 0; k < 12; ++k)
                channel[k].setup (DSP::lowPass, 512, rate, cutoffs[k]);
        dry[0].setup (256);
        dry[1].setup (256);
    }

    void init (double sampleRate)
    {
        rate = sampleRate;
        setGains();
        setFilters();
        const float settings[6][4] = {{20, 200, -2.8f, 0.2f}, {13, 100, -1.9f, 0.5f}, {13, 100, -2.0f, 0},
                                      {30, 100, -9, 0},       {18, 40, -9.5f, 0},     {9, 25, -10, 0}};
        for (int s = 0; s < 6; ++s)
            for (int c = 0; c < 2; ++c)
                comps[2 * s + c].setup (rate, settings[s][0], settings[s][1], settings[s][2], ratio (s), settings[s][3],
                                        DSP::Compressor<float>::standard);
        for (int c = 0; c < 2; ++c)
        {
            lims[c].setup (rate, 80.0f * p (P::loudnessRelease), -0.5f, 10.0f, 1.0f, DSP::Limiter<float>::standard);
            lims[c].inputGain = static_cast<float> (std::pow (10.0, 8.0 * p (P::loudness) * 0.05));
            lims[2 + c].setup (rate, 44.0f, -0.25f, 10.0f, 1.0f, DSP::Limiter<float>::standard);
        }
        highPass.type = 1;
        highPass.Fc = static_cast<double> (200.0f * p (P::lowCutStereo)) / rate;
        highPass.calcBiquad();
        shelf.type = 6;
        shelf.Fc = 5000.0 / rate;
        shelf.peakGain = 3.0;
        shelf.calcBiquad();
    }

    void retuneCompression()
    {
        for (int s = 0; s < 6; ++s)
            comps[2 * s].ratio = comps[2 * s + 1].ratio = ratio (s);
    }

    void retuneLoudness()
    {
        for (auto& l : lims)
            l.env.releaseCoeff = DSP::Envelope<float>::coefficient (40.0f * p (P::loudnessRelease), l.sampleRate);
        lims[0].inputGain = lims[1].inputGain = static_cast<float> (std::pow (10.0, 8.0 * p (P::loudness) * 0.05));
    }

    void frame (float& left, float& right, float clip, float inGain)
    {
        float* io[2] = {&left, &right};
        float midOut[2], highOut[2];
        for (int c = 0; c < 2; ++c)
        {
            float x = *io[c];
            x = x > 0.0f ? std::min (x, clip) : std::max (x, -clip);
            x *= inGain;
            const float d = dry[c].process (x);
            float lp[12];
            for (int k = 0; k < 12; ++k)
                lp[k] = lowPasses[c][k].process (x);
            float b[13];
            for (int k = 1; k < 12; ++k)
                b[k] = lp[k] - lp[k - 1];
            b[12] = d - lp[11];
            const float* g = gains;
            const float low = b[1] * g[0] + b[2] * g[1] + b[3] * g[2];
            const float mid = b[4] * g[3] + b[5] * g[4] + b[6] * g[5] + b[7] * g[6];
            const float high = b[8] * g[7] + b[9] * g[8] + b[10] * g[9] + b[11] * g[10] + b[12] * g[11];
            const float lowOut = comps[6 + c].process (low);
            midOut[c] = comps[8 + c].process (mid);
            highOut[c] = comps[10 + c].process (high);
            *io[c] = lowOut + midOut[c] + highOut[c];
        }
        const float m = (left + right) * 0.5f;
        const float s = m - left;
        const float s2 = shelf.process (highPass.process (s));
        float L = lims[0].process (m - s2), R = lims[1].process (m + s2);
        L = comps[0].process (L, midOut[0] + highOut[0]);
        R = comps[1].process (R, midOut[1] + highOut[1]);
        L = lims[2].process (L);
        R = lims[3].process (R);
        L = comps[2].process (L);
        R = comps[3].process (R);
        left = comps[4].process (L, midOut[0]);
        right = comps[5].process (R, midOut[1]);
    }
};
} // namespace

//==============================================================================
TEST_F (RealTimeChain, BandGainsFollowTheToneParameters)
{
    struct Case
    {
        const char* name;
        int param;
        float value;
        int band;
        double expectedDb;
    };
    const Case cases[] = {
        {"lowGain 1, lowest band", P::lowGain, 1.0f, 0, 6.0},
        {"lowGain 1, next band", P::lowGain, 1.0f, 1, -2.0},
        {"lowGain 0, lowest band", P::lowGain, 0.0f, 0, -6.0},
        {"bodyGain 1", P::bodyGain, 1.0f, 2, 4.0},
        {"clarity 1, 1-1.8 kHz", P::clarity, 1.0f, 4, 2.0},
        {"clarity 1, 1.8-2.5 kHz", P::clarity, 1.0f, 5, -2.0},
        {"clarity 1, 2.5-4 kHz", P::clarity, 1.0f, 6, 0.8},
        {"brightness 0, 5-6.5 kHz", P::brightness, 0.0f, 8, -1.2},
        {"brightness 0, 6.5-8 kHz", P::brightness, 0.0f, 9, -2.4},
        {"brightness 0, 8-12 kHz", P::brightness, 0.0f, 10, -2.8},
        {"brightness 0, above 12 kHz", P::brightness, 0.0f, 11, -3.2},
    };

    processor->setupEQ();
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ (processor->bandGains[k], 1.0f) << "unity at 0.5, band " << k;

    for (const auto& c : cases)
    {
        SetUp();
        P::UserParams[c.param] = c.value;
        processor->setupEQ();
        EXPECT_NEAR (20.0 * std::log10 (processor->bandGains[c.band]), c.expectedDb, 1.0e-5) << c.name;
        EXPECT_EQ (processor->bandGains[3], 1.0f);
        EXPECT_EQ (processor->bandGains[7], 1.0f);
    }
    SetUp();
    P::UserParams[P::lowGain] = 1.0f;
    processor->setupEQ();
    EXPECT_NEAR (processor->bandGains[0], 1.9953f, 1.0e-4f);
    EXPECT_NEAR (processor->bandGains[1], 0.7943f, 1.0e-4f);
}

TEST_F (RealTimeChain, SplitFiltersPackTwelveDesignsIntoSixFilters)
{
    struct Case
    {
        float lowCut;
        double cutoff;
    };
    for (const Case c : {Case{0.0f, 5.0}, Case{0.05f, 5.0}, Case{0.5f, 30.0}, Case{1.0f, 60.0}})
    {
        P::UserParams[P::lowCut] = c.lowCut;
        processor->setupFilters (48000.0, 512);
        EXPECT_EQ (processor->designFilters[0].cutoffHz, c.cutoff) << c.lowCut;
    }
    EXPECT_EQ (processor->designFilters[11].cutoffHz, 12000.0);
    EXPECT_EQ (processor->dryDelays[0].size, 256);
    EXPECT_EQ (processor->dryDelays[1].size, 256);

    for (int f = 0; f < 6; ++f)
    {
        ASSERT_EQ (processor->splitFilters[f].numTaps, 512);
        EXPECT_TRUE (historyIsZero (processor->splitFilters[f]));
        for (size_t i = 0; i < 512; ++i)
            for (size_t lane = 0; lane < 4; ++lane)
                ASSERT_EQ (processor->splitFilters[f].coefficients[i].get (lane),
                           processor->designFilters[4 * (f % 3) + static_cast<int> (lane)].coefficients[i])
                    << "filter " << f << " tap " << i << " lane " << lane;
    }
}

TEST_F (RealTimeChain, InitBuildsTheStagesAndLimiters)
{
    struct Case
    {
        float compression;
        float ratios[6];
    };
    const Case cases[] = {{0.0f, {2.2f, 2.4f, 2.2f, 1.2f, 1.3f, 1.8f}}, {1.0f, {3.3f, 3.5f, 3.3f, 6.7f, 6.8f, 7.3f}}};
    const float attack[6] = {20, 13, 13, 30, 18, 9}, release[6] = {200, 100, 100, 100, 40, 25};
    const float threshold[6] = {-2.8f, -1.9f, -2.0f, -9.0f, -9.5f, -10.0f};
    const int32_t lookahead[6] = {9, 23, 0, 0, 0, 0};

    for (const auto& c : cases)
    {
        P::UserParams[P::compression] = c.compression;
        setParams ({{P::loudness, 1.0f}, {P::loudnessRelease, 0.25f}});
        processor->initRealTimeSettings (44100.0);
        EXPECT_EQ (processor->realTimeSampleRate, 44100.0);
        EXPECT_EQ (processor->realTimeTaps, 512);
        for (int s = 0; s < 6; ++s)
            for (int ch = 0; ch < 2; ++ch)
            {
                const auto& comp = processor->compressors[2 * s + ch];
                EXPECT_NEAR (comp.ratio, c.ratios[s], 1.0e-6f) << "stage " << s;
                EXPECT_EQ (comp.thresholdDb, threshold[s]);
                EXPECT_EQ (comp.lookaheadLength, lookahead[s]);
                EXPECT_EQ (comp.env.attackCoeff, DSP::Envelope<float>::coefficient (attack[s], 44100.0));
                EXPECT_EQ (comp.env.releaseCoeff, DSP::Envelope<float>::coefficient (release[s], 44100.0));
            }
        for (int i = 0; i < 2; ++i)
        {
            const auto& loud = processor->limiters[i];
            const auto& ceil = processor->limiters[2 + i];
            EXPECT_NEAR (loud.inputGain, 2.5119f, 1.0e-4f);
            EXPECT_EQ (loud.env.releaseCoeff, DSP::Envelope<float>::coefficient (20.0, 44100.0)); // 80 x 0.25
            EXPECT_EQ (loud.thresholdLinear, static_cast<float> (std::pow (10.0, 0.05 * -0.5)));
            EXPECT_EQ (ceil.inputGain, 1.0f);
            EXPECT_EQ (ceil.env.releaseCoeff, DSP::Envelope<float>::coefficient (44.0, 44100.0));
            EXPECT_EQ (ceil.thresholdLinear, static_cast<float> (std::pow (10.0, 0.05 * static_cast<double> (-0.25f))));
            EXPECT_EQ (ceil.lookaheadLength, 45);
        }
    }
    EXPECT_EQ (processor->sideShelf.type, Biquad::highShelf);
    EXPECT_EQ (processor->sideShelf.peakGain, 3.0);
    EXPECT_DOUBLE_EQ (processor->sideShelf.Fc, 5000.0 / 44100.0);
    EXPECT_DOUBLE_EQ (processor->sideHighPass.Fc, 100.0 / 44100.0);
    for (int i = 0; i < P::numParams; ++i)
        EXPECT_EQ (processor->appliedParams[i], P::UserParams[i].load());
}

TEST_F (RealTimeChain, LowCutRestartsTheSplitButToneKnobsDoNot)
{
    processor->initRealTimeSettings (44100.0);
    auto signal = stereoSignal (3000, 1);
    run (signal, {512});
    ASSERT_FALSE (historyIsZero (processor->splitFilters[0]));
    ASSERT_FALSE (historyIsZero (processor->splitFilters[5]));

    std::vector<std::vector<float>> before;
    for (const auto& f : processor->splitFilters)
        before.push_back (laneHistory (f));
    const auto dryBefore = processor->dryDelays[1].buffer;

    P::UserParams[P::lowGain] = 0.9f;
    processor->settingsChanged();
    EXPECT_GT (processor->bandGains[0], 1.5f);
    for (size_t f = 0; f < 6; ++f)
        EXPECT_EQ (laneHistory (processor->splitFilters[f]), before[f]) << "filter " << f;
    EXPECT_EQ (processor->dryDelays[1].buffer, dryBefore);

    P::UserParams[P::lowCut] = 0.8f;
    processor->settingsChanged();
    EXPECT_EQ (processor->designFilters[0].cutoffHz, static_cast<double> (60.0f * 0.8f));
    for (const auto& f : processor->splitFilters)
    {
        EXPECT_TRUE (historyIsZero (f));
        EXPECT_EQ (f.writeIndex, 0);
    }
    for (const auto& d : processor->dryDelays)
        EXPECT_EQ (d.buffer, std::vector<float> (256, 0.0f));
    EXPECT_EQ (processor->appliedParams[P::lowCut], 0.8f);
}

TEST_F (RealTimeChain, LoudnessAndReleaseRetuneAllFourLimiters)
{
    setParams ({{P::loudness, 0.25f}, {P::loudnessRelease, 0.5f}});
    processor->initRealTimeSettings (48000.0);
    EXPECT_EQ (processor->limiters[0].env.releaseCoeff, DSP::Envelope<float>::coefficient (40.0, 48000.0));
    EXPECT_EQ (processor->limiters[2].env.releaseCoeff, DSP::Envelope<float>::coefficient (44.0, 48000.0));

    auto signal = stereoSignal (1000, 2);
    run (signal, {256});
    const auto ring = processor->limiters[1].lookaheadBuffer;
    const auto envelope = processor->limiters[1].env.envelope;

    P::UserParams[P::loudness] = 1.0f;
    processor->settingsChanged();
    for (const auto& limiter : processor->limiters)
        EXPECT_EQ (limiter.env.releaseCoeff, DSP::Envelope<float>::coefficient (20.0, 48000.0)); // 40 x, not 80 x
    EXPECT_EQ (processor->limiters[0].inputGain, static_cast<float> (std::pow (10.0, 8.0 * 0.05)));
    EXPECT_EQ (processor->limiters[1].inputGain, processor->limiters[0].inputGain);
    EXPECT_EQ (processor->limiters[2].inputGain, 1.0f);
    EXPECT_EQ (processor->limiters[3].inputGain, 1.0f);
    // A retune, not a rebuild: rings and envelopes carry on.
    EXPECT_EQ (processor->limiters[1].lookaheadBuffer, ring);
    EXPECT_EQ (processor->limiters[1].env.envelope, envelope);

    P::UserParams[P::loudnessRelease] = 0.0f;
    processor->settingsChanged();
    for (const auto& limiter : processor->limiters)
        EXPECT_EQ (limiter.env.releaseCoeff, 0.0f);

    P::UserParams[P::loudnessRelease] = 0.5f;
    processor->initRealTimeSettings (48000.0);
    EXPECT_EQ (processor->limiters[1].env.releaseCoeff, DSP::Envelope<float>::coefficient (40.0, 48000.0));
    EXPECT_EQ (processor->limiters[3].env.releaseCoeff, DSP::Envelope<float>::coefficient (44.0, 48000.0));
}

TEST_F (RealTimeChain, CompressionSideAndIgnoredEntries)
{
    processor->initRealTimeSettings (44100.0);
    const auto ringBefore = processor->compressors[2].lookaheadBuffer;

    setParams ({{P::compression, 1.0f}, {P::lowCutStereo, 1.0f}, {P::ceiling, -3.0f}, {P::truePeak, 1.0f}});
    processor->settingsChanged();
    const float expected[6] = {3.3f, 3.5f, 3.3f, 6.7f, 6.8f, 7.3f};
    for (int s = 0; s < 12; ++s)
        EXPECT_NEAR (processor->compressors[s].ratio, expected[s / 2], 1.0e-6f) << s;
    EXPECT_EQ (processor->compressors[2].lookaheadBuffer, ringBefore);
    EXPECT_DOUBLE_EQ (processor->sideHighPass.Fc, 200.0 / 44100.0);
    // The ceiling and the true-peak switch are the offline run's: not applied, not copied.
    EXPECT_EQ (processor->appliedParams[P::ceiling], 0.0f);
    EXPECT_EQ (processor->appliedParams[P::truePeak], 0.0f);
    EXPECT_EQ (processor->appliedParams[P::compression], 1.0f);
}

TEST_F (RealTimeChain, LowCutStereoDecidesWhetherSideBassSurvives)
{
    // A 40 Hz signal in antiphase is pure side: with lowCutStereo 0 the
    // high-pass passes it, with 1 (200 Hz) it is made mono, i.e. removed.
    auto sideLevel = [this] (float lowCutStereo)
    {
        SetUp();
        P::UserParams[P::lowCutStereo] = lowCutStereo;
        processor->initRealTimeSettings (44100.0);
        std::vector<std::vector<float>> s (2, std::vector<float> (22050));
        for (size_t i = 0; i < s[0].size(); ++i)
        {
            s[0][i] = 0.3f * static_cast<float> (std::sin (2.0 * M_PI * 40.0 * static_cast<double> (i) / 44100.0));
            s[1][i] = -s[0][i];
        }
        run (s, {512});
        double sum = 0.0;
        for (size_t i = 11025; i < s[0].size(); ++i)
            sum += std::pow ((s[1][i] - s[0][i]) * 0.5, 2.0);
        return std::sqrt (sum / 11025.0);
    };
    const double kept = sideLevel (0.0f);
    const double removed = sideLevel (1.0f);
    EXPECT_GT (kept, 0.1);
    EXPECT_LT (removed, kept * 0.1);

    SetUp();
    P::UserParams[P::lowCutStereo] = 0.0f;
    processor->initRealTimeSettings (44100.0);
    EXPECT_EQ (processor->sideHighPass.a0, 1.0);
    EXPECT_EQ (processor->sideHighPass.b2, 1.0);
    auto hp = processor->sideHighPass;
    for (int i = 0; i < 1000; ++i)
    {
        const float x = 0.5f * std::sin (0.01f * static_cast<float> (i));
        ASSERT_NEAR (hp.process (x), x, 1.0e-6f);
    }
}

TEST_F (RealTimeChain, PassesBlocksThroughUntouchedWhenItMustNotRun)
{
    processor->initRealTimeSettings (44100.0);
    const auto original = stereoSignal (700, 3);

    // An offline run in progress.
    auto block = original;
    processor->state = P::stateRunning;
    run (block, {700});
    EXPECT_EQ (block, original);
    EXPECT_TRUE (historyIsZero (processor->splitFilters[0]));

    // Fewer than two output channels, or no block at all.
    processor->state = P::stateLoaded;
    block = original;
    float* mono[1] = {block[0].data()};
    processor->audioDeviceIOCallback (nullptr, 0, mono, 1, 700);
    EXPECT_EQ (block, original);
    float* missing[2] = {block[0].data(), nullptr};
    processor->audioDeviceIOCallback (nullptr, 0, missing, 2, 700);
    processor->audioDeviceIOCallback (nullptr, 0, nullptr, 2, 700);
    EXPECT_EQ (block, original);
    EXPECT_EQ (processor->realTimeLock.load(), 0);
}

TEST_F (RealTimeChain, MatchesAFrameByFrameReferenceExactly)
{
    setParams ({{P::lowCut, 0.3f},
                {P::lowGain, 0.7f},
                {P::bodyGain, 0.35f},
                {P::clarity, 0.8f},
                {P::brightness, 0.2f},
                {P::loudness, 0.6f},
                {P::compression, 0.4f},
                {P::lowCutStereo, 0.5f},
                {P::loudnessRelease, 0.7f}});
    processor->initRealTimeSettings (44100.0);
    auto reference = std::make_unique<ReferenceChain>();
    reference->init (44100.0);

    auto signal = stereoSignal (12000, 4);
    auto expected = signal;
    for (size_t i = 0; i < expected[0].size(); ++i)
    {
        if (i == 6000)
        {
            // Retune midway, as knobs do, on both.
            setParams ({{P::compression, 0.9f}, {P::loudness, 0.3f}, {P::clarity, 0.1f}});
            reference->retuneCompression();
            reference->retuneLoudness();
            reference->setGains();
        }
        reference->frame (expected[0][i], expected[1][i], 0.9f, 1.1f);
    }

    // Odd block sizes, and blocks larger than the preallocated chunk.
    std::vector<std::vector<float>> firstHalf (2), secondHalf (2);
    for (int c = 0; c < 2; ++c)
    {
        firstHalf[static_cast<size_t> (c)].assign (signal[static_cast<size_t> (c)].begin(), signal[static_cast<size_t> (c)].begin() + 6000);
        secondHalf[static_cast<size_t> (c)].assign (signal[static_cast<size_t> (c)].begin() + 6000, signal[static_cast<size_t> (c)].end());
    }
    setParams ({{P::compression, 0.4f}, {P::loudness, 0.6f}, {P::clarity, 0.8f}});
    run (firstHalf, {1, 7, 64, 512, 1500, 333});
    setParams ({{P::compression, 0.9f}, {P::loudness, 0.3f}, {P::clarity, 0.1f}});
    processor->settingsChanged();
    run (secondHalf, {2048, 5, 4096});

    int mismatches = 0;
    for (size_t c = 0; c < 2; ++c)
        for (size_t i = 0; i < 12000; ++i)
        {
            const float got = i < 6000 ? firstHalf[c][i] : secondHalf[c][i - 6000];
            if (got != expected[c][i] && ++mismatches < 5)
                ADD_FAILURE() << "channel " << c << " frame " << i << ": " << got << " vs " << expected[c][i];
        }
    EXPECT_EQ (mismatches, 0);

    double energy = 0.0;
    for (const float x : secondHalf[0])
        energy += static_cast<double> (x) * x;
    EXPECT_GT (energy, 1.0); // the chain produced sound, not silence
}

TEST_F (RealTimeChain, NonFiniteSamplesDoNotSilenceTheChain)
{
    processor->initRealTimeSettings (44100.0);
    auto signal = stereoSignal (4000, 5);
    signal[0][100] = std::numeric_limits<float>::quiet_NaN();
    signal[1][200] = std::numeric_limits<float>::infinity();
    run (signal, {512});
    for (const auto& channel : signal)
        for (const float x : channel)
            ASSERT_TRUE (std::isfinite (x));
    double tail = 0.0;
    for (size_t i = 3000; i < 4000; ++i)
        tail += std::abs (signal[0][i]);
    EXPECT_GT (tail, 10.0);
}

TEST_F (RealTimeChain, CallbackNeverAllocates)
{
    processor->initRealTimeSettings (44100.0);
    auto signal = stereoSignal (9000, 6);
    const std::vector<int> mixedBlocks{512, 4000, 1, 127}, deviceBlocks{512};
    allocationsOnThisThread = 0;
    run (signal, mixedBlocks);
    processor->state = P::stateRunning;
    run (signal, deviceBlocks);
    EXPECT_EQ (allocationsOnThisThread, 0);
}

TEST_F (RealTimeChain, LockSerialisesSettingsAgainstTheCallback)
{
    processor->initRealTimeSettings (44100.0);
    auto block = stereoSignal (512, 7);
    const auto original = block;

    // While the lock is held (as by a running callback), a settings change waits ...
    SpinFlag::acquire (processor->realTimeLock);
    std::atomic<bool> settingsDone{false};
    P::UserParams[P::lowCut] = 1.0f;
    std::thread settings (
        [&]
        {
            processor->settingsChanged();
            settingsDone = true;
        });
    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    EXPECT_FALSE (settingsDone.load());
    EXPECT_EQ (processor->designFilters[0].cutoffHz, 30.0);
    SpinFlag::release (processor->realTimeLock);
    settings.join();
    EXPECT_TRUE (settingsDone.load());
    EXPECT_EQ (processor->designFilters[0].cutoffHz, 60.0);

    // ... and so does the callback, while settings are being applied.
    SpinFlag::acquire (processor->realTimeLock);
    std::atomic<bool> callbackDone{false};
    std::thread audio (
        [&]
        {
            float* channels[2] = {block[0].data(), block[1].data()};
            processor->audioDeviceIOCallback (nullptr, 0, channels, 2, 512);
            callbackDone = true;
        });
    std::this_thread::sleep_for (std::chrono::milliseconds (50));
    EXPECT_FALSE (callbackDone.load());
    EXPECT_EQ (block, original);
    SpinFlag::release (processor->realTimeLock);
    audio.join();
    EXPECT_TRUE (callbackDone.load());
    EXPECT_NE (block, original);

    // Both at full speed from two threads: every block comes out finite and the lock is free afterwards.
    std::atomic<bool> stop{false};
    std::atomic<bool> allFinite{true};
    std::thread audioLoop (
        [&]
        {
            auto b = stereoSignal (512, 8);
            while (!stop)
            {
                float* channels[2] = {b[0].data(), b[1].data()};
                processor->audioDeviceIOCallback (nullptr, 0, channels, 2, 512);
                for (const auto& ch : b)
                    for (const float x : ch)
                        if (!std::isfinite (x))
                            allFinite = false;
                b = stereoSignal (512, 8);
            }
        });
    for (int i = 0; i < 40; ++i)
    {
        P::UserParams[P::lowCut] = (i % 2) ? 0.2f : 0.7f;
        P::UserParams[P::loudness] = (i % 3) * 0.4f;
        processor->settingsChanged();
        if (i % 10 == 0)
            processor->initRealTimeSettings (i % 20 == 0 ? 48000.0 : 44100.0);
    }
    stop = true;
    audioLoop.join();
    EXPECT_TRUE (allFinite.load());
    EXPECT_EQ (processor->realTimeLock.load(), 0);
}
