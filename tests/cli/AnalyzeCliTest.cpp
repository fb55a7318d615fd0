#include "ToolRun.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

using testing_support::makeBuffer;
using testing_support::makeSine;
using testing_support::TempFolder;
using testing_support::writeAudioFile;
using tool_run::lines;
using tool_run::Outcome;

namespace
{
const std::vector<std::string> loudnessKeys = { "integrated", "range", "momentaryMax", "shortTermMax", "samplePeak" };

/** "key: value" lines as numbers, checking that each line has that form. */
std::map<std::string, double> figures (const std::vector<std::string>& text, const std::string& prefix = {})
{
    std::map<std::string, double> out;
    for (const auto& line : text)
    {
        const auto colon = line.find (": ");
        if (colon == std::string::npos || line.rfind (prefix, 0) != 0)
            continue;
        out[line.substr (prefix.size(), colon - prefix.size())] = juce::String (line.substr (colon + 2)).getDoubleValue();
    }
    return out;
}

/** Two signals joined end to end, as in the loudness-range test signals. */
juce::AudioBuffer<float> joined (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    juce::AudioBuffer<float> out (a.getNumChannels(), a.getNumSamples() + b.getNumSamples());
    for (int c = 0; c < out.getNumChannels(); ++c)
    {
        out.copyFrom (c, 0, a, c, 0, a.getNumSamples());
        out.copyFrom (c, a.getNumSamples(), b, c, 0, b.getNumSamples());
    }
    return out;
}

class AnalyzeCli : public ::testing::Test
{
protected:
    TempFolder temp;
    TempFolder home;

    Outcome analyze (const juce::File& file, bool json = false) const
    {
        std::vector<std::string> args = { "--analyze", file.getFullPathName().toStdString() };
        if (json)
            args.push_back ("--json");
        return tool_run::run (home.get(), args);
    }
};
} // namespace

TEST_F (AnalyzeCli, AToneAtMinus23LufsReadsMinus23StereoOrMono)
{
    // 1 kHz at -23 dBFS on both channels is -23 LUFS; a mono file is heard on
    // both channels, so the same tone in mono reads the same.
    const float peak = std::pow (10.0f, -23.0f / 20.0f);
    const struct
    {
        int channels;
        double rate;
        const char* name;
    } cases[] = { { 2, 48000.0, "stereo48.wav" }, { 1, 44100.0, "mono44.wav" }, { 2, 44100.0, "stereo44.aiff" } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto file = temp.getFile (c.name);
        ASSERT_TRUE (writeAudioFile (file, makeSine (c.channels, static_cast<int> (20 * c.rate), c.rate, 1000.0, peak), c.rate, 24));

        const auto o = analyze (file);
        ASSERT_EQ (o.exitCode, 0) << o.err;
        EXPECT_TRUE (o.err.empty()) << o.err;
        const auto report = lines (o.out);
        ASSERT_EQ (report.size(), loudnessKeys.size()) << o.out;
        for (size_t i = 0; i < loudnessKeys.size(); ++i)
            EXPECT_EQ (report[i].rfind (loudnessKeys[i] + ": ", 0), 0u) << report[i];

        auto f = figures (report);
        EXPECT_NEAR (f["integrated"], -23.0, 0.1);
        EXPECT_NEAR (f["momentaryMax"], -23.0, 0.1);
        EXPECT_NEAR (f["shortTermMax"], -23.0, 0.1);
        EXPECT_NEAR (f["samplePeak"], -23.0, 0.05);
        EXPECT_GE (f["range"], 0.0);
    }
}

TEST_F (AnalyzeCli, LoudnessRangeOfATwentyLuStep)
{
    // 20 s at -20 LUFS then 20 s at -30 LUFS: a range of 10 LU (within 1).
    const double rate = 48000.0;
    const int length = static_cast<int> (20 * rate);
    const auto file = temp.getFile ("step.wav");
    ASSERT_TRUE (
        writeAudioFile (file, joined (makeSine (2, length, rate, 1000.0, 0.1f), makeSine (2, length, rate, 1000.0, 0.0316228f)), rate, 24));

    const auto o = analyze (file);
    ASSERT_EQ (o.exitCode, 0) << o.err;
    auto f = figures (lines (o.out));
    EXPECT_NEAR (f["range"], 10.0, 1.0);
    EXPECT_NEAR (f["momentaryMax"], -20.0, 0.1);
    // Gated mean of the two halves' powers: 10·log10((0.01 + 0.001) / 2).
    EXPECT_NEAR (f["integrated"], -22.6, 0.1);
    EXPECT_NEAR (f["samplePeak"], -20.0, 0.05);
}

TEST_F (AnalyzeCli, SilenceReadsTheMetersFloor)
{
    const auto file = temp.getFile ("silence.wav");
    ASSERT_TRUE (writeAudioFile (file, makeBuffer (2, 5 * 44100, [] (int, int) { return 0.0f; }), 44100.0, 16));

    const auto o = analyze (file);
    ASSERT_EQ (o.exitCode, 0) << o.err;
    EXPECT_EQ (lines (o.out), std::vector<std::string> ({ "integrated: -300.00", "range: 0.00", "momentaryMax: -300.00",
                                                          "shortTermMax: -300.00", "samplePeak: -300.00" }));
}

TEST_F (AnalyzeCli, JsonHoldsTheSameFigures)
{
    const auto file = temp.getFile ("tone.wav");
    ASSERT_TRUE (writeAudioFile (file, makeSine (2, 5 * 44100, 44100.0, 440.0, 0.25f), 44100.0, 24));

    const auto text = analyze (file);
    const auto json = analyze (file, true);
    ASSERT_EQ (json.exitCode, 0) << json.err;
    EXPECT_EQ (lines (json.out).size(), 1u) << json.out;

    juce::var parsed;
    ASSERT_TRUE (juce::JSON::parse (juce::String (json.out), parsed).wasOk()) << json.out;
    ASSERT_TRUE (parsed.isObject()) << json.out;
    EXPECT_EQ (parsed.getDynamicObject()->getProperties().size(), static_cast<int> (loudnessKeys.size()));

    auto f = figures (lines (text.out));
    for (const auto& key : loudnessKeys)
    {
        SCOPED_TRACE (key);
        const auto& value = parsed[juce::Identifier (key)];
        ASSERT_TRUE (value.isDouble() || value.isInt()) << json.out;
        EXPECT_EQ (static_cast<double> (value), f[key]);
    }
    EXPECT_NEAR (f["samplePeak"], 20.0 * std::log10 (0.25), 0.01);
}

TEST_F (AnalyzeCli, ReadsAFileAsTheAppLoadsIt)
{
    // A float file with NaNs: the app's loader turns them into silence, so
    // the figures are those of the same file with zeros there, and no
    // warning of unmeasured samples is needed.
    const auto tone = makeSine (2, 4 * 44100, 44100.0, 1000.0, 0.5f);
    auto damaged = tone;
    auto clean = tone;
    for (int i = 1000; i < 200000; i += 1000)
    {
        damaged.setSample (i % 2, i, std::numeric_limits<float>::quiet_NaN());
        clean.setSample (i % 2, i, 0.0f);
    }
    const auto damagedFile = temp.getFile ("damaged.wav");
    const auto cleanFile = temp.getFile ("clean.wav");
    ASSERT_TRUE (writeAudioFile (damagedFile, damaged, 44100.0, 32));
    ASSERT_TRUE (writeAudioFile (cleanFile, clean, 44100.0, 32));

    const auto d = analyze (damagedFile);
    const auto c = analyze (cleanFile);
    ASSERT_EQ (d.exitCode, 0) << d.err;
    EXPECT_TRUE (d.err.empty()) << d.err;
    EXPECT_EQ (d.out, c.out);
    EXPECT_NEAR (figures (lines (d.out))["samplePeak"], 20.0 * std::log10 (0.5), 0.01);
}

TEST_F (AnalyzeCli, AnUnmeasurableRateIsAnInputError)
{
    const auto file = temp.getFile ("low.wav");
    ASSERT_TRUE (writeAudioFile (file, makeSine (1, 4000, 4000.0, 100.0, 0.5f), 4000.0, 16));
    const auto o = analyze (file);
    EXPECT_EQ (o.exitCode, 3);
    EXPECT_TRUE (o.out.empty()) << o.out;
    ASSERT_EQ (lines (o.err).size(), 1u) << o.err;
    EXPECT_NE (o.err.find ("4000"), std::string::npos) << o.err;
}

TEST_F (AnalyzeCli, ReportGivesTheSourceAndResultFigures)
{
    const auto input = temp.getFile ("in.wav");
    const auto output = temp.getFile ("out.wav");
    ASSERT_TRUE (writeAudioFile (input,
                                 makeBuffer (2, 4 * 44100,
                                             [] (int ch, int i) {
                                                 return (0.3f + 0.2f * static_cast<float> (i / 44100))
                                                        * std::sin (0.05f * static_cast<float> (i * (ch + 1)));
                                             }),
                                 44100.0, 24));
    // 32-bit float, so the written file holds exactly the result that was measured.
    const std::vector<std::string> args = {
        input.getFullPathName().toStdString(), output.getFullPathName().toStdString(), "--report", "--bits", "32", "--set", "quality=0"
    };
    const auto o = tool_run::run (home.get(), args);
    ASSERT_EQ (o.exitCode, 0) << o.err;

    const auto report = lines (o.out);
    ASSERT_EQ (report.size(), 9u + 2u * loudnessKeys.size()) << o.out;
    for (size_t i = 0; i < loudnessKeys.size(); ++i)
    {
        EXPECT_EQ (report[9 + i].rfind ("source." + loudnessKeys[i] + ": ", 0), 0u) << report[9 + i];
        EXPECT_EQ (report[14 + i].rfind ("result." + loudnessKeys[i] + ": ", 0), 0u) << report[14 + i];
    }

    // The same figures as analysing each file on its own.
    EXPECT_EQ (figures (report, "source."), figures (lines (analyze (input).out)));
    EXPECT_EQ (figures (report, "result."), figures (lines (analyze (output).out)));
    EXPECT_NEAR (figures (report, "result.")["samplePeak"], -0.3, 0.005); // the default preset's ceiling
    EXPECT_GT (figures (report, "result.")["integrated"], figures (report, "source.")["integrated"]);

    auto json = tool_run::run (home.get(), { input.getFullPathName().toStdString(), output.getFullPathName().toStdString(), "--report",
                                             "--json", "--set", "quality=0" });
    ASSERT_EQ (json.exitCode, 0) << json.err;
    const auto parsed = juce::JSON::parse (juce::String (json.out));
    ASSERT_TRUE (parsed["source"].isObject()) << json.out;
    ASSERT_TRUE (parsed["result"].isObject()) << json.out;
    auto sourceFigures = figures (report, "source.");
    for (const auto& key : loudnessKeys)
    {
        SCOPED_TRACE (key);
        EXPECT_EQ (static_cast<double> (parsed["source"][juce::Identifier (key)]), sourceFigures[key]);
        EXPECT_TRUE (parsed["result"].hasProperty (juce::Identifier (key)));
    }

    // Without --report the figures stay out of the report.
    const auto plain =
        tool_run::run (home.get(), { input.getFullPathName().toStdString(), output.getFullPathName().toStdString(), "--set", "quality=0" });
    EXPECT_EQ (lines (plain.out).size(), 9u) << plain.out;
}
