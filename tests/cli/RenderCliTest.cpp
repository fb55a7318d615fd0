#include "ToolRun.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

using testing_support::makeBuffer;
using testing_support::readAudioFile;
using testing_support::TempFolder;
using testing_support::writeAudioFile;

namespace
{
using tool_run::lines;
using tool_run::Outcome;

juce::AudioBuffer<float> music (int channels, int samples)
{
    return makeBuffer (channels, samples,
                       [] (int ch, int i)
                       {
                           const auto x = static_cast<unsigned> (i) * 2654435761u + static_cast<unsigned> (ch) * 97u;
                           const float noise = static_cast<float> ((x >> 9) & 0xffff) / 65535.0f - 0.5f;
                           return 0.3f * std::sin (0.02f * static_cast<float> (i * (ch + 1))) + 0.2f * noise;
                       });
}

float largestMagnitude (const juce::AudioBuffer<float>& b, int start, int end)
{
    float peak = 0.0f;
    for (int c = 0; c < b.getNumChannels(); ++c)
        for (int i = start; i < end; ++i)
            peak = std::max (peak, std::abs (b.getSample (c, i)));
    return peak;
}

class RenderCli : public ::testing::Test
{
protected:
    TempFolder temp;
    /** The tool's home: no presets file unless a test puts one there. */
    TempFolder home;
    juce::File input;

    Outcome render (const std::vector<std::string>& args) const { return tool_run::run (home.get(), args); }

    void SetUp() override
    {
        input = temp.getFile ("in.wav");
        ASSERT_TRUE (writeAudioFile (input, music (2, 44100), 44100.0, 24));
    }

    std::string path (const char* name) const { return temp.getFile (name).getFullPathName().toStdString(); }

    /** Every file in the folder, so leftovers show up. */
    juce::StringArray files() const
    {
        juce::StringArray names;
        for (const auto& f : temp.get().findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles, false))
            names.add (f.getFileName());
        for (const auto& f : temp.get().findChildFiles (juce::File::findFiles, false, ".*"))
            names.add (f.getFileName());
        names.sort (false);
        return names;
    }
};
} // namespace

TEST_F (RenderCli, RendersA24BitWavByDefaultAndReportsWhatItDid)
{
    const auto o = render ({ input.getFullPathName().toStdString(), path ("out.wav"), "--set", "quality=0" });
    ASSERT_EQ (o.exitCode, 0) << o.err;

    const std::vector<std::string> keys = { "clipLevel", "inputGain", "sourceRate", "processingRate", "frames",
                                            "taps",      "peak",      "finalGain",  "seconds" };
    const auto report = lines (o.out);
    ASSERT_EQ (report.size(), keys.size()) << o.out;
    for (size_t i = 0; i < keys.size(); ++i)
        EXPECT_EQ (report[i].rfind (keys[i] + ": ", 0), 0u) << report[i];
    EXPECT_EQ (report[2], "sourceRate: 44100");
    EXPECT_EQ (report[3], "processingRate: 44100");
    EXPECT_EQ (report[4], "frames: 44100");
    EXPECT_EQ (report[5], "taps: 64");

    // The run's own log lines and the progress stay off standard output.
    EXPECT_NE (o.err.find ("Finalising compress channel 1"), std::string::npos);
    EXPECT_NE (o.err.find ("Finalising channel 1"), std::string::npos); // the last progress line

    const auto output = temp.getFile ("out.wav");
    std::unique_ptr<juce::AudioFormatReader> reader (juce::WavAudioFormat().createReaderFor (output.createInputStream().release(), true));
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->numChannels, 2u);
    EXPECT_EQ (reader->bitsPerSample, 24u);
    EXPECT_FALSE (reader->usesFloatingPointData);
    EXPECT_EQ (reader->sampleRate, 44100.0);
    EXPECT_EQ (reader->lengthInSamples, 44100);
    reader.reset();

    // Default preset ceiling -0.3 dB, sample peak; 24 bits resolve it to 1e-7.
    const auto result = readAudioFile (output);
    EXPECT_NEAR (largestMagnitude (*result, 0, 44100), std::pow (10.0f, -0.3f / 20.0f), 1.0e-6f);
    EXPECT_EQ (files(), juce::StringArray ({ "in.wav", "out.wav" }));
}

TEST_F (RenderCli, JsonReportRateSettingsAndPreset)
{
    const auto o = render ({ input.getFullPathName().toStdString(), path ("out.wav"), "--json", "--rate", "48000", "--preset",
                             "Vintage 70s", "--set", "quality=1", "--set", "ceiling=-2" });
    ASSERT_EQ (o.exitCode, 0) << o.err;

    const auto json = juce::JSON::parse (juce::String (o.out));
    ASSERT_TRUE (json.isObject()) << o.out;
    EXPECT_EQ (static_cast<double> (json["sourceRate"]), 44100.0);
    EXPECT_EQ (static_cast<double> (json["processingRate"]), 48000.0);
    EXPECT_EQ (static_cast<int> (json["frames"]), 48001);
    EXPECT_EQ (static_cast<int> (json["taps"]), 1024);
    EXPECT_GT (static_cast<double> (json["peak"]), 0.0);
    EXPECT_GT (static_cast<double> (json["seconds"]), 0.0);
    for (const auto* key : { "clipLevel", "inputGain", "finalGain" })
        EXPECT_TRUE (json.hasProperty (key)) << key;

    double rate = 0.0;
    const auto result = readAudioFile (temp.getFile ("out.wav"), &rate);
    EXPECT_EQ (rate, 48000.0);
    ASSERT_EQ (result->getNumSamples(), 48001);
    // --set comes after the preset: its -2 dB wins over the preset's -0.3.
    EXPECT_NEAR (largestMagnitude (*result, 0, 48001), std::pow (10.0f, -2.0f / 20.0f), 1.0e-6f);
}

TEST_F (RenderCli, SelectionLeavesTheRestSilent)
{
    const auto o = render ({ input.getFullPathName().toStdString(), path ("out.wav"), "--selection", "0.25", "0.5", "--set", "quality=0" });
    ASSERT_EQ (o.exitCode, 0) << o.err;
    const auto result = readAudioFile (temp.getFile ("out.wav"));
    ASSERT_EQ (result->getNumSamples(), 44100);
    EXPECT_EQ (largestMagnitude (*result, 0, 11025), 0.0f);
    EXPECT_EQ (largestMagnitude (*result, 22050, 44100), 0.0f);
    EXPECT_GT (largestMagnitude (*result, 11025, 22050), 0.5f);
}

TEST_F (RenderCli, ErrorsNameTheProblemAndLeaveNoOutput)
{
    const auto in = input.getFullPathName().toStdString();
    const auto out = path ("out.wav");
    const auto text = temp.getFile ("notes.wav");
    ASSERT_TRUE (text.replaceWithText ("this is not audio"));
    ASSERT_TRUE (temp.getFile ("folder.wav").createDirectory());

    const struct
    {
        std::vector<std::string> args;
        int exitCode;
        const char* mentions;
    } cases[] = {
        { {}, 2, "INPUT and OUTPUT" },
        { { in }, 2, "INPUT and OUTPUT" },
        { { in, out, "extra" }, 2, "extra" },
        { { in, out, "--bogus" }, 2, "--bogus" },
        { { in, out, "--preset", "Mastering Quick Loss" }, 2, "Mastering Quick Loss" },
        { { in, out, "--preset" }, 2, "--preset" },
        { { in, out, "--set", "volume=1" }, 2, "volume" },
        { { in, out, "--set", "ceiling" }, 2, "KEY=VALUE" },
        { { in, out, "--set", "ceiling=loud" }, 2, "loud" },
        { { in, out, "--set", "ceiling=nan" }, 2, "nan" },
        { { in, out, "--set", "ceiling=1e60" }, 2, "1e60" },
        { { in, out, "--rate", "22050" }, 2, "22050" },
        { { in, out, "--selection", "0.6", "0.2" }, 2, "selection" },
        { { in, out, "--selection", "0.2" }, 2, "--selection" },
        { { path ("missing.wav"), out }, 3, "missing.wav" },
        { { text.getFullPathName().toStdString(), out }, 3, "notes.wav" },
        { { in, path ("no-such-folder/out.wav") }, 4, "out.wav" },
        { { in, path ("folder.wav") }, 4, "folder.wav" },
        { { in, path ("out.mp3") }, 4, "out.mp3" },
        { { in, out, "--bits", "20" }, 2, "20" },
        { { in, out, "--bits" }, 2, "--bits" },
        { { in, out, "--dither", "pink" }, 2, "pink" },
        { { in, out, "--format", "mp3" }, 2, "mp3" },
        { { in, out, "--bits", "32", "--dither", "triangular" }, 2, "--dither" },
        { { in, path ("out.aiff"), "--bits", "32" }, 4, "32 bits" },
        { { in, path ("out"), "--format", "aiff", "--bits", "32" }, 4, "32 bits" },
        { { in, out, "--format", "aiff" }, 4, "out.wav" },
        { { in, path ("out.aif"), "--format", "wav" }, 4, "out.aif" },
        { { in, path ("out") }, 4, "--format" },
        { { "--analyze" }, 2, "--analyze" },
        { { "--analyze", in, "--preset", "Indie" }, 2, "--preset" },
        { { "--analyze", in, "--report" }, 2, "--report" },
        { { "--analyze", in, out }, 2, "out.wav" },
        { { "--analyze", path ("missing.wav") }, 3, "missing.wav" },
        { { "--analyze", text.getFullPathName().toStdString() }, 3, "notes.wav" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.args.empty() ? std::string ("(no arguments)") : c.args.back());
        const auto o = render (c.args);
        EXPECT_EQ (o.exitCode, c.exitCode);
        const auto messages = lines (o.err);
        ASSERT_EQ (messages.size(), 1u) << o.err;
        EXPECT_NE (messages[0].find (c.mentions), std::string::npos) << messages[0];
        EXPECT_TRUE (o.out.empty()) << o.out;
        EXPECT_EQ (files(), juce::StringArray ({ "folder.wav", "in.wav", "notes.wav" }));
    }
}

TEST_F (RenderCli, AFailedRunLeavesAnExistingOutputAlone)
{
    const auto out = temp.getFile ("out.wav");
    const auto aiff = temp.getFile ("out.aiff");
    ASSERT_TRUE (out.replaceWithText ("previous result"));
    ASSERT_TRUE (aiff.replaceWithText ("previous result"));

    EXPECT_EQ (render ({ path ("missing.wav"), out.getFullPathName().toStdString() }).exitCode, 3);
    EXPECT_EQ (render ({ input.getFullPathName().toStdString(), aiff.getFullPathName().toStdString(), "--bits", "32" }).exitCode, 4);
    EXPECT_EQ (out.loadFileAsString(), "previous result");
    EXPECT_EQ (aiff.loadFileAsString(), "previous result");
    EXPECT_EQ (files(), juce::StringArray ({ "in.wav", "out.aiff", "out.wav" }));
}

TEST_F (RenderCli, InterruptStopsTheRunAndWritesNothing)
{
    // A minute taken to 96 kHz at the longest filters: a run of more than a
    // second even with the fast signal stage. The interrupt comes once the
    // tool is surely past start-up and well before the run can end.
    const auto longInput = temp.getFile ("long.wav");
    ASSERT_TRUE (writeAudioFile (longInput, music (2, 60 * 44100), 44100.0, 16));
    const std::string tool = QUORVEL_TEST_BIN_DIR "/quorvel-render";
    const auto in = longInput.getFullPathName().toStdString();
    const auto out = path ("out.wav");
    std::vector<std::string> args = { tool, in, out, "--set", "quality=1", "--rate", "96000" };
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back (a.data());
    argv.push_back (nullptr);

    // The environment with the test's own home, as the other runs have.
    std::vector<std::string> environment = { "HOME=" + home.get().getFullPathName().toStdString() };
    for (char** e = environ; *e != nullptr; ++e)
        if (std::string (*e).rfind ("HOME=", 0) != 0)
            environment.emplace_back (*e);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back (e.data());
    envp.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen (&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ (posix_spawn (&pid, tool.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy (&actions);

    std::this_thread::sleep_for (std::chrono::milliseconds (300));
    kill (pid, SIGINT);
    int status = 0;
    ASSERT_EQ (waitpid (pid, &status, 0), pid);
    ASSERT_TRUE (WIFEXITED (status));
    EXPECT_EQ (WEXITSTATUS (status), 130);
    EXPECT_EQ (files(), juce::StringArray ({ "in.wav", "long.wav" }));
}
