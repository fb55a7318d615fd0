#include "audio/LoudnessAnalysis.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using testing_support::makeSine;

namespace
{
struct Segment
{
    double dbfs; // peak level of the sine on each channel
    double seconds;
};

/** A 1 kHz sine, phase-continuous across level changes, as in the EBU test
    signals (Tech 3341 and 3342): "-23 dBFS" is the sine's peak. */
juce::AudioBuffer<float> toneSequence (const std::vector<Segment>& segments, double rate, int channels = 2)
{
    int length = 0;
    for (const auto& s : segments)
        length += static_cast<int> (std::lround (s.seconds * rate));

    juce::AudioBuffer<float> buffer (channels, length);
    int position = 0;
    for (const auto& s : segments)
    {
        const auto gain = static_cast<float> (std::pow (10.0, s.dbfs / 20.0));
        const int end = position + static_cast<int> (std::lround (s.seconds * rate));
        for (; position < end; ++position)
        {
            const auto value = gain * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 1000.0 * position / rate));
            for (int c = 0; c < channels; ++c)
                buffer.setSample (c, position, value);
        }
    }
    return buffer;
}
} // namespace

TEST (LoudnessAnalysis, MeetsTheIntegratedLoudnessCasesOfEbuMode)
{
    // Tech 3341 cases 1 to 5: integrated loudness within +-0.1 LU; the quiet
    // parts of 3 and 4 must fall to the relative and absolute gates.
    struct Case
    {
        const char* name;
        std::vector<Segment> segments;
        float expected;
    };
    const std::vector<Case> cases = {
        {"case 1", {{-23.0, 20.0}}, -23.0f},
        {"case 2", {{-33.0, 20.0}}, -33.0f},
        {"case 3", {{-36.0, 10.0}, {-23.0, 60.0}, {-36.0, 10.0}}, -23.0f},
        {"case 4", {{-72.0, 10.0}, {-36.0, 10.0}, {-23.0, 60.0}, {-36.0, 10.0}, {-72.0, 10.0}}, -23.0f},
        {"case 5", {{-26.0, 20.0}, {-20.0, 20.1}, {-26.0, 20.0}}, -23.0f},
    };
    for (const double rate : {44100.0, 48000.0})
        for (const auto& c : cases)
        {
            SCOPED_TRACE (juce::String (c.name) + " at " + juce::String (rate));
            const auto result = LoudnessAnalysis::measure (toneSequence (c.segments, rate), rate);
            EXPECT_TRUE (result.problem.empty());
            EXPECT_NEAR (result.integrated, c.expected, 0.1f);
        }

    // Other rates the tool will meet.
    for (const double rate : {32000.0, 88200.0, 96000.0, 192000.0})
    {
        SCOPED_TRACE (rate);
        EXPECT_NEAR (LoudnessAnalysis::measure (toneSequence ({{-23.0, 20.0}}, rate), rate).integrated, -23.0f, 0.1f);
    }
}

TEST (LoudnessAnalysis, MeetsTheLoudnessRangeCases)
{
    // Tech 3342 cases 1 to 4: loudness range within +-1 LU.
    struct Case
    {
        const char* name;
        std::vector<Segment> segments;
        float expected;
    };
    const std::vector<Case> cases = {
        {"case 1", {{-20.0, 20.0}, {-30.0, 20.0}}, 10.0f},
        {"case 2", {{-20.0, 20.0}, {-15.0, 20.0}}, 5.0f},
        {"case 3", {{-40.0, 20.0}, {-20.0, 20.0}}, 20.0f},
        {"case 4", {{-50.0, 20.0}, {-35.0, 20.0}, {-20.0, 20.0}, {-35.0, 20.0}, {-50.0, 20.0}}, 15.0f},
    };
    for (const double rate : {44100.0, 48000.0})
        for (const auto& c : cases)
        {
            SCOPED_TRACE (juce::String (c.name) + " at " + juce::String (rate));
            EXPECT_NEAR (LoudnessAnalysis::measure (toneSequence (c.segments, rate), rate).range, c.expected, 1.0f);
        }
}

TEST (LoudnessAnalysis, FindsTheMaximaOfMomentaryAndShortTermLoudness)
{
    const double rate = 48000.0;
    struct Case
    {
        const char* name;
        std::vector<Segment> cycle;
        int repeats;
        float momentaryMax, shortTermMax;
    };
    // Bursts whose energy over one cycle is -23 LUFS (energy 1 at -20, 0.1
    // at -30). 0.18 s at -20 with 0.22 s at -30 fills the 400 ms window
    // exactly (Tech 3341 case 12): momentary stays at -23, while the loudest
    // 3 s hold seven cycles and 0.18 s + 0.02 s more. 1.34 s at -20 with
    // 1.66 s at -30 fills the 3 s window (case 9): short-term stays at -23,
    // and a 400 ms window inside the loud part reads -20.
    const std::vector<Case> cases = {
        {"momentary", {{-20.0, 0.18}, {-30.0, 0.22}}, 25, -23.0f, -20.0f + 10.0f * std::log10 ((7.0f * 0.202f + 0.182f) / 3.0f)},
        {"short-term", {{-20.0, 1.34}, {-30.0, 1.66}}, 20, -20.0f, -23.0f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::vector<Segment> segments;
        for (int i = 0; i < c.repeats; ++i)
            segments.insert (segments.end(), c.cycle.begin(), c.cycle.end());
        const auto result = LoudnessAnalysis::measure (toneSequence (segments, rate), rate);
        EXPECT_NEAR (result.momentaryMax, c.momentaryMax, 0.1f);
        EXPECT_NEAR (result.shortTermMax, c.shortTermMax, 0.1f);
    }

    // A single 1 s burst in silence: momentary reaches its level, short-term a third of its energy.
    const auto burst = LoudnessAnalysis::measure (toneSequence ({{-90.0, 5.0}, {-18.0, 1.0}, {-90.0, 5.0}}, rate), rate);
    EXPECT_NEAR (burst.momentaryMax, -18.0f, 0.1f);
    EXPECT_NEAR (burst.shortTermMax, -18.0f - 10.0f * std::log10 (3.0f), 0.1f);
}

TEST (LoudnessAnalysis, HearsMonoOnBothChannelsAndStereoByItsFirstTwo)
{
    const double rate = 44100.0;
    const auto stereo = LoudnessAnalysis::measure (toneSequence ({{-20.0, 10.0}, {-30.0, 10.0}}, rate, 2), rate);
    const auto mono = LoudnessAnalysis::measure (toneSequence ({{-20.0, 10.0}, {-30.0, 10.0}}, rate, 1), rate);
    EXPECT_FLOAT_EQ (mono.integrated, stereo.integrated);
    EXPECT_FLOAT_EQ (mono.range, stereo.range);
    EXPECT_FLOAT_EQ (mono.momentaryMax, stereo.momentaryMax);
    EXPECT_FLOAT_EQ (mono.shortTermMax, stereo.shortTermMax);
    EXPECT_NEAR (mono.momentaryMax, -20.0f, 0.1f);

    // A third channel is not heard: not in the loudness, not in the peak.
    auto surround = toneSequence ({{-20.0, 10.0}, {-30.0, 10.0}}, rate, 3);
    surround.applyGain (2, 0, surround.getNumSamples(), 8.0f);
    const auto three = LoudnessAnalysis::measure (surround, rate);
    EXPECT_FLOAT_EQ (three.integrated, stereo.integrated);
    EXPECT_FLOAT_EQ (three.samplePeak, stereo.samplePeak);
}

TEST (LoudnessAnalysis, ReportsSamplePeakAndSilence)
{
    const double rate = 48000.0;
    auto sine = makeSine (2, 48000 * 5, rate, 997.0, 0.5f);
    sine.setSample (1, 1234, -0.75f);
    EXPECT_NEAR (LoudnessAnalysis::measure (sine, rate).samplePeak, 20.0f * std::log10 (0.75f), 1.0e-4f);

    juce::AudioBuffer<float> silence (2, 48000 * 5);
    silence.clear();
    const auto quiet = LoudnessAnalysis::measure (silence, rate);
    EXPECT_TRUE (quiet.problem.empty());
    EXPECT_EQ (quiet.integrated, -300.0f);
    EXPECT_EQ (quiet.range, 0.0f);
    EXPECT_EQ (quiet.momentaryMax, -300.0f);
    EXPECT_EQ (quiet.shortTermMax, -300.0f);
    EXPECT_EQ (quiet.samplePeak, -300.0f);

    // Shorter than one block, and empty: measured, with nothing to report.
    EXPECT_EQ (LoudnessAnalysis::measure (juce::AudioBuffer<float> (2, 100), rate).integrated, -300.0f);
    const auto empty = LoudnessAnalysis::measure (juce::AudioBuffer<float> (2, 0), rate);
    EXPECT_TRUE (empty.problem.empty());
    EXPECT_EQ (empty.samplePeak, -300.0f);
}

TEST (LoudnessAnalysis, RefusesWhatItCannotMeasure)
{
    const auto sine = makeSine (2, 48000, 48000.0, 997.0, 0.5f);
    for (const double rate : {0.0, -44100.0, 100.0, 1.0e9, std::numeric_limits<double>::quiet_NaN()})
    {
        SCOPED_TRACE (rate);
        const auto result = LoudnessAnalysis::measure (sine, rate);
        EXPECT_NE (result.problem.find ("sample rate"), std::string::npos) << result.problem;
        EXPECT_EQ (result.integrated, -300.0f);
    }
    EXPECT_FALSE (LoudnessAnalysis::measure (juce::AudioBuffer<float> (0, 100), 48000.0).problem.empty());

    // NaN and infinite samples are counted and measured as silence.
    auto broken = makeSine (2, 48000 * 20, 48000.0, 997.0, 0.1f);
    broken.setSample (0, 500, std::numeric_limits<float>::quiet_NaN());
    broken.setSample (1, 900, std::numeric_limits<float>::infinity());
    const auto result = LoudnessAnalysis::measure (broken, 48000.0);
    EXPECT_EQ (result.nonFiniteSamples, 2);
    EXPECT_NEAR (result.integrated, -20.0f, 0.1f);
    EXPECT_NEAR (result.samplePeak, -20.0f, 0.01f);
}
