#include "ToolRun.h"

#include "resources/Exporter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using testing_support::makeBuffer;
using testing_support::readAudioFile;
using testing_support::TempFolder;
using testing_support::writeAudioFile;
using tool_run::lines;
using tool_run::Outcome;

namespace
{
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

float largestMagnitude (const juce::AudioBuffer<float>& b)
{
    float peak = 0.0f;
    for (int c = 0; c < b.getNumChannels(); ++c)
        peak = std::max (peak, b.getMagnitude (c, 0, b.getNumSamples()));
    return peak;
}

juce::MemoryBlock bytes (const juce::File& file)
{
    juce::MemoryBlock data;
    file.loadFileAsData (data);
    return data;
}

class ExportCli : public ::testing::Test
{
protected:
    TempFolder temp;
    TempFolder home;
    juce::File input;

    void SetUp() override
    {
        input = temp.getFile ("in.wav");
        ASSERT_TRUE (writeAudioFile (input, music (2, 22050), 44100.0, 24));
    }

    Outcome render (const juce::File& output, std::vector<std::string> options) const
    {
        options.insert (options.begin(), { input.getFullPathName().toStdString(), output.getFullPathName().toStdString() });
        options.insert (options.end(), { "--set", "quality=0" });
        return tool_run::run (home.get(), options);
    }

    juce::File presetsFile() const { return home.getFile (".config/Stelvane/Quorvel/presets.2.xml"); }
};
} // namespace

TEST_F (ExportCli, EveryDepthDitherAndTypeWritesWhatTheSaveButtonWrites)
{
    // The unquantised result, as a float WAV.
    const auto referenceFile = temp.getFile ("reference.wav");
    ASSERT_EQ (render (referenceFile, { "--bits", "32" }).exitCode, 0);
    const auto reference = readAudioFile (referenceFile);
    ASSERT_EQ (reference->getNumSamples(), 22050);

    const struct
    {
        const char* name;
        Ditherer::Type type;
    } dithers[] = { { "none", Ditherer::none },
                    { "rectangular", Ditherer::rectangular },
                    { "triangular", Ditherer::triangular },
                    { "powr2", Ditherer::powR2 } };

    juce::AudioBuffer<float> undithered;
    for (const char* type : { "wav", "aiff" })
        for (const int bits : { 16, 24, 32 })
            for (const auto& dither : dithers)
            {
                if (bits == 32 && (dither.type != Ditherer::none || juce::String (type) == "aiff"))
                    continue; // refused, see the error tests
                SCOPED_TRACE (std::string (type) + " " + std::to_string (bits) + " " + dither.name);

                const auto output = temp.getFile (juce::String ("out.") + type);
                const auto o = render (output, { "--bits", std::to_string (bits), "--dither", dither.name });
                ASSERT_EQ (o.exitCode, 0) << o.err;

                // Byte for byte what the export code makes of the same result.
                const auto expected = temp.getFile (juce::String ("expected.") + type);
                Exporter::Options options;
                options.bitDepth = bits;
                options.dither = dither.type;
                options.fileType = type;
                ASSERT_TRUE (Exporter::writeFile (*reference, 44100.0, expected, options).wasOk());
                EXPECT_TRUE (bytes (output) == bytes (expected));

                const auto reader = tool_run::openReader (output);
                ASSERT_NE (reader, nullptr);
                EXPECT_EQ (reader->getFormatName(), juce::String (type) == "wav" ? "WAV file" : "AIFF file");
                EXPECT_EQ (reader->bitsPerSample, static_cast<unsigned> (bits));
                EXPECT_EQ (reader->usesFloatingPointData, bits == 32);
                EXPECT_EQ (reader->numChannels, 2u);
                EXPECT_EQ (reader->sampleRate, 44100.0);
                EXPECT_EQ (reader->lengthInSamples, 22050);

                juce::AudioBuffer<float> written (2, 22050);
                ASSERT_TRUE (reader->read (&written, 0, 22050, 0, true, true));
                if (dither.type == Ditherer::none)
                    undithered = written;

                // The writer's reduction to the target width may floor: within
                // a step of the result, plus at most a step of rectangular or
                // triangular dither.
                const float step = bits == 32 ? 0.0f : 1.0f / static_cast<float> (1 << (bits - 1));
                const float bound = (dither.type == Ditherer::none ? 1.0f : 2.0f) * step + 1.0e-7f;
                float worst = 0.0f;
                int dithered = 0;
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < 22050; ++i)
                    {
                        worst = std::max (worst, std::abs (written.getSample (c, i) - reference->getSample (c, i)));
                        dithered += written.getSample (c, i) != undithered.getSample (c, i) ? 1 : 0;
                    }
                if (dither.type != Ditherer::powR2)
                {
                    EXPECT_LE (worst, bound);
                }
                if (dither.type == Ditherer::none)
                {
                    EXPECT_EQ (dithered, 0);
                }
                else
                {
                    EXPECT_GT (dithered, 100); // the dither is there
                }
            }
}

TEST_F (ExportCli, TheFileTypeFollowsTheNameOrFormat)
{
    const struct
    {
        const char* name;
        const char* format;
        const char* expected;
    } cases[] = {
        { "a.wav", nullptr, "WAV file" },  { "b.WAV", nullptr, "WAV file" }, { "c.aiff", nullptr, "AIFF file" },
        { "d.AIF", nullptr, "AIFF file" }, { "e", "wav", "WAV file" },       { "f.audio", "aiff", "AIFF file" },
        { "g.aiff", "aiff", "AIFF file" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        std::vector<std::string> options = { "--bits", "16" };
        if (c.format != nullptr)
            options.insert (options.end(), { "--format", c.format });
        const auto output = temp.getFile (c.name);
        const auto o = render (output, options);
        ASSERT_EQ (o.exitCode, 0) << o.err;
        const auto reader = tool_run::openReader (output);
        ASSERT_NE (reader, nullptr);
        EXPECT_EQ (reader->getFormatName(), c.expected);
        EXPECT_EQ (reader->bitsPerSample, 16u);
    }
}

TEST_F (ExportCli, AiffAt32BitsIsRefusedBeforeAnyWork)
{
    for (const auto& name : { "out.aiff", "out.aif" })
    {
        const auto o = render (temp.getFile (name), { "--bits", "32" });
        EXPECT_EQ (o.exitCode, 4);
        ASSERT_EQ (lines (o.err).size(), 1u) << o.err; // no progress: the run never started
        EXPECT_NE (o.err.find ("AIFF"), std::string::npos) << o.err;
        EXPECT_NE (o.err.find (name), std::string::npos) << o.err;
        EXPECT_TRUE (o.out.empty());
        EXPECT_FALSE (temp.getFile (name).exists());
    }
}

TEST_F (ExportCli, UserPresetsComeFromThePresetsFileInTheDataFolder)
{
    // A user preset with characters the file escapes, and a hand-edited
    // factory preset: the file is what the app shows, so its values win.
    const auto file = juce::String::fromUTF8 (
        "<xml>\n<presets>\n"
        "<preset><name>Late &amp; &lt;Soft&gt; \xc3\xa9t\xc3\xa9</name><version>2.1.1</version><protected>false</protected>"
        "<data><lowCut>0.2</lowCut><lowGain>0.5</lowGain><bodyGain>0.5</bodyGain><clarity>0.5</clarity>"
        "<brightness>0.5</brightness><loudness>0.3</loudness><compression>0.2</compression><quality>0</quality>"
        "<lowCutStereo>0.5</lowCutStereo><loudnessRelease>0.5</loudnessRelease><ceiling>-1.5</ceiling>"
        "<truePeak>0</truePeak></data></preset>\n"
        "<preset><name>Vintage 70s</name><version>1.0.0</version><protected>true</protected>"
        "<data><ceiling>-2</ceiling></data></preset>\n"
        "</presets>\n</xml>");
    ASSERT_TRUE (presetsFile().getParentDirectory().createDirectory());
    ASSERT_TRUE (presetsFile().replaceWithText (file, false, false, "\n"));

    const struct
    {
        const char* preset;
        float ceiling;
    } cases[] = {
        { "Late & <Soft> \xc3\xa9t\xc3\xa9", -1.5f }, // the user's own
        { "Vintage 70s", -2.0f },                     // as the file has it
        { "Indie", -0.3f },                           // a factory preset the file lacks
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.preset);
        const auto output = temp.getFile ("out.wav");
        const auto o = render (output, { "--preset", c.preset, "--bits", "32" });
        ASSERT_EQ (o.exitCode, 0) << o.err;
        EXPECT_NEAR (largestMagnitude (*readAudioFile (output)), std::pow (10.0f, c.ceiling / 20.0f), 1.0e-6f);
    }

    const auto unknown = render (temp.getFile ("out.wav"), { "--preset", "Late" });
    EXPECT_EQ (unknown.exitCode, 2);
    EXPECT_NE (unknown.err.find ("Late & <Soft> \xc3\xa9t\xc3\xa9, Vintage 70s, Mastering Quick Win"), std::string::npos) << unknown.err;

    EXPECT_EQ (presetsFile().loadFileAsString(), file); // read, never rewritten
    EXPECT_EQ (presetsFile().getParentDirectory().findChildFiles (juce::File::findFilesAndDirectories, false, "*").size(), 1);
}

TEST_F (ExportCli, PresetsWithoutAUsableFileAreTheFactoryOnesAndNothingIsCreated)
{
    // No data folder at all: the factory presets, and no folder appears.
    const auto o = render (temp.getFile ("out.wav"), { "--preset", "EDM" });
    ASSERT_EQ (o.exitCode, 0) << o.err;
    EXPECT_TRUE (home.get().findChildFiles (juce::File::findFilesAndDirectories, true).isEmpty());

    // A presets file that cannot be read: still the factory presets, the
    // file kept as it is, and an unknown name says why the list is short.
    ASSERT_TRUE (presetsFile().getParentDirectory().createDirectory());
    ASSERT_TRUE (presetsFile().replaceWithText ("<xml><presets><preset><name>Mine"));
    EXPECT_EQ (render (temp.getFile ("out.wav"), { "--preset", "EDM" }).exitCode, 0);
    const auto unknown = render (temp.getFile ("out.wav"), { "--preset", "Mine" });
    EXPECT_EQ (unknown.exitCode, 2);
    ASSERT_EQ (lines (unknown.err).size(), 1u) << unknown.err;
    EXPECT_NE (unknown.err.find ("no preset could be read from"), std::string::npos) << unknown.err;
    EXPECT_NE (unknown.err.find ("presets.2.xml"), std::string::npos) << unknown.err;
    EXPECT_EQ (presetsFile().loadFileAsString(), "<xml><presets><preset><name>Mine");
}
