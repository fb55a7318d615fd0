#include "resources/Exporter.h"
#include "engine/ProcessorTypeI.h"
#include "resources/ResourcesTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using testing_support::makeBuffer;
using testing_support::TempFolder;

namespace
{
/** The parts of a WAV file read straight from its bytes. */
struct WavFile
{
    int formatTag = 0, channels = 0, bits = 0;
    juce::uint32 rate = 0;
    juce::MemoryBlock data;
};

WavFile parseWav (const juce::File& file)
{
    juce::MemoryBlock bytes;
    file.loadFileAsData (bytes);
    WavFile wav;
    const auto* p = static_cast<const unsigned char*> (bytes.getData());
    const size_t size = bytes.getSize();
    if (size < 12 || std::memcmp (p, "RIFF", 4) != 0 || std::memcmp (p + 8, "WAVE", 4) != 0)
        return wav;
    for (size_t pos = 12; pos + 8 <= size;)
    {
        const auto length = juce::ByteOrder::littleEndianInt (p + pos + 4);
        const auto* body = p + pos + 8;
        if (std::memcmp (p + pos, "fmt ", 4) == 0)
        {
            wav.formatTag = juce::ByteOrder::littleEndianShort (body);
            wav.channels = juce::ByteOrder::littleEndianShort (body + 2);
            wav.rate = juce::ByteOrder::littleEndianInt (body + 4);
            wav.bits = juce::ByteOrder::littleEndianShort (body + 14);
        }
        else if (std::memcmp (p + pos, "data", 4) == 0)
            wav.data.append (body, std::min<size_t> (length, size - pos - 8));
        pos += 8 + length + (length & 1);
    }
    return wav;
}

/** Sample `index` of interleaved little-endian integer data, as an int. */
int intSample (const WavFile& wav, size_t index)
{
    const auto* p = static_cast<const unsigned char*> (wav.data.getData()) + index * static_cast<size_t> (wav.bits / 8);
    if (wav.bits == 16)
        return static_cast<juce::int16> (juce::ByteOrder::littleEndianShort (p));
    return juce::ByteOrder::littleEndian24Bit (p);
}

/** A float to a 32-bit integer as the writers do it, then cut to `bits`. */
int expectedInt (float sample, int bits)
{
    juce::int64 full;
    if (sample <= -1.0f)
        full = std::numeric_limits<juce::int32>::min();
    else if (sample >= 1.0f)
        full = std::numeric_limits<juce::int32>::max();
    else
        full = std::llround (2147483647.0 * static_cast<double> (sample));
    return static_cast<int> (full >> (32 - bits));
}

/** Something like a mastered track: a chord with a beat, decaying notes and a
    little noise, different on each side, peaking just under full scale. */
juce::AudioBuffer<float> masteredLike (int channels, int samples, double rate)
{
    std::minstd_rand noise (7);
    return makeBuffer (channels, samples,
                       [&] (int channel, int i)
                       {
                           const double t = i / rate;
                           const double beat = std::exp (-8.0 * std::fmod (t, 0.5));
                           const double chord = std::sin (2 * juce::MathConstants<double>::pi * 110.0 * t)
                                                + 0.6 * std::sin (2 * juce::MathConstants<double>::pi * 277.2 * t + channel)
                                                + 0.4 * std::sin (2 * juce::MathConstants<double>::pi * 659.3 * t) * beat;
                           const double hiss = (static_cast<double> (noise()) / 2147483647.0 - 0.5) * 0.02;
                           return static_cast<float> (0.45 * chord + hiss);
                       });
}

juce::String runAndRead (const juce::StringArray& command)
{
    juce::ChildProcess process;
    if (!process.start (command, juce::ChildProcess::wantStdOut))
        return "could not start " + command[0];
    auto out = process.readAllProcessOutput();
    process.waitForProcessToFinish (30000);
    return out.trim();
}

class Export : public ::testing::Test
{
protected:
    TempFolder temp;
};
} // namespace

TEST_F (Export, SuggestedNameIsTheBaseNameWithQuorvelAndTheType)
{
    EXPECT_EQ (Exporter::suggestedFileName ("song", "wav"), juce::String ("song.quorvel.wav"));
    EXPECT_EQ (Exporter::suggestedFileName ("a.b", "wav"), juce::String ("a.b.quorvel.wav"));
    EXPECT_EQ (Exporter::suggestedFileName ("a.b", "aiff"), juce::String ("a.b.quorvel.aiff"));

    ProcessorTypeI processor;
    processor.fileFolder = temp.get().getFullPathName() + "/";
    processor.fileBaseName = "a.b";
    EXPECT_EQ (Exporter::suggestedFile (processor, "wav"), temp.getFile ("a.b.quorvel.wav"));
    EXPECT_EQ (Exporter::suggestedFile (processor, "aiff"), temp.getFile ("a.b.quorvel.aiff"));
}

TEST_F (Export, OnlyWritableCombinationsAreAccepted)
{
    struct Case
    {
        int bits;
        const char* type;
        bool ok;
    };
    const Case cases[] = {{16, "wav", true},  {24, "wav", true},   {32, "wav", true}, {16, "aiff", true},
                          {24, "aiff", true}, {32, "aiff", false}, {8, "wav", false}, {20, "aiff", false}};
    const auto buffer = masteredLike (2, 1000, 44100.0);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.bits << " " << c.type);
        const Exporter::Options options{c.bits, Ditherer::none, c.type};
        EXPECT_EQ (Exporter::checkOptions (options).wasOk(), c.ok);
        const auto target = temp.getFile (juce::String ("out") + juce::String (c.bits) + "." + c.type);
        const auto result = Exporter::writeFile (buffer, 44100.0, target, options);
        EXPECT_EQ (result.wasOk(), c.ok) << result.getErrorMessage();
        EXPECT_EQ (target.existsAsFile(), c.ok);
        if (!c.ok)
        {
            EXPECT_TRUE (result.getErrorMessage().contains (juce::String (c.bits)) || result.getErrorMessage().contains ("16, 24 or 32"));
        }
    }
    const auto refused = Exporter::checkOptions ({32, Ditherer::none, "aiff"}).getErrorMessage();
    EXPECT_TRUE (refused.contains ("AIFF") && refused.contains ("32")) << refused;
}

TEST_F (Export, IntegersAreRoundedAndClippedAtFullScale)
{
    const float values[] = {
        0.0f, 0.5f, -0.5f, 0.999999f, 1.0f, 1.5f, -1.0f, -1.5f, 1.0f / 65536.0f, -1.0f / 65536.0f, 0.3f, -0.7f, 3.0f / 16777216.0f};
    const int count = static_cast<int> (std::size (values));
    const auto buffer = makeBuffer (2, count, [&] (int channel, int i) { return channel == 0 ? values[i] : -values[i]; });

    for (const int bits : {16, 24})
    {
        SCOPED_TRACE (testing::Message() << bits << " bits");
        const auto target = temp.getFile ("ints" + juce::String (bits) + ".wav");
        ASSERT_TRUE (Exporter::writeFile (buffer, 48000.0, target, {bits, Ditherer::none, "wav"}).wasOk());
        const auto wav = parseWav (target);
        EXPECT_EQ (wav.formatTag, 1);
        EXPECT_EQ (wav.channels, 2);
        EXPECT_EQ (wav.bits, bits);
        EXPECT_EQ (wav.rate, 48000u);
        ASSERT_EQ (wav.data.getSize(), static_cast<size_t> (2 * count * bits / 8));
        for (int i = 0; i < count; ++i)
            for (int channel = 0; channel < 2; ++channel)
                EXPECT_EQ (intSample (wav, static_cast<size_t> (2 * i + channel)), expectedInt (buffer.getSample (channel, i), bits))
                    << "value " << buffer.getSample (channel, i);
    }
    // Spot checks of the rule itself.
    EXPECT_EQ (expectedInt (1.5f, 16), 32767);
    EXPECT_EQ (expectedInt (-1.5f, 24), -8388608);
    EXPECT_EQ (expectedInt (0.5f, 16), 16384);
}

TEST_F (Export, ThirtyTwoBitWavIsFloatWrittenUnchanged)
{
    const float values[] = {
        0.0f, 0.25f, -1.0f, 1.5f, -2.0f, 1.0e-9f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    const int count = static_cast<int> (std::size (values));
    const auto buffer = makeBuffer (1, count, [&] (int, int i) { return values[i]; });
    const auto target = temp.getFile ("float.wav");
    // A dither choice is ignored at 32 bits.
    ASSERT_TRUE (Exporter::writeFile (buffer, 96000.0, target, {32, Ditherer::triangular, "wav"}).wasOk());

    const auto wav = parseWav (target);
    EXPECT_EQ (wav.formatTag, 3); // IEEE float
    EXPECT_EQ (wav.bits, 32);
    EXPECT_EQ (wav.rate, 96000u);
    ASSERT_EQ (wav.data.getSize(), static_cast<size_t> (count) * 4);
    const float expected[] = {0.0f, 0.25f, -1.0f, 1.5f, -2.0f, 1.0e-9f, 0.0f, 1.0f}; // not-a-number as 0, infinity as full scale
    for (int i = 0; i < count; ++i)
    {
        float stored;
        std::memcpy (&stored, static_cast<const char*> (wav.data.getData()) + 4 * i, 4);
        EXPECT_EQ (stored, expected[i]) << "sample " << i;
    }
}

TEST_F (Export, DitherGoesToTheFileNotTheResultAndRepeatsExactly)
{
    ProcessorTypeI processor;
    const int samples = 3 * Exporter::blockSize + 123; // several blocks
    processor.processedBuffer = std::make_shared<juce::AudioBuffer<float>> (masteredLike (2, samples, 44100.0));
    processor.processingSampleRate = 44100.0;
    const juce::AudioBuffer<float> original (*processor.processedBuffer);

    for (const auto dither : {Ditherer::rectangular, Ditherer::triangular, Ditherer::powR2})
    {
        SCOPED_TRACE (testing::Message() << "dither " << dither);
        const Exporter::Options options{16, dither, "wav"};
        const auto first = temp.getFile ("first.wav"), second = temp.getFile ("second.wav");
        ASSERT_TRUE (Exporter::exportResult (processor, first, options).wasOk());
        ASSERT_TRUE (Exporter::exportResult (processor, second, options).wasOk());

        juce::MemoryBlock a, b;
        first.loadFileAsData (a);
        second.loadFileAsData (b);
        EXPECT_TRUE (a == b) << "two exports differ";

        for (int channel = 0; channel < 2; ++channel)
            ASSERT_EQ (std::memcmp (original.getReadPointer (channel), processor.processedBuffer->getReadPointer (channel),
                                    sizeof (float) * samples),
                       0)
                << "the held result was changed";

        // The file holds exactly the result plus the dither sequence.
        auto dithered = original;
        Ditherer reference (dither, 16, 44100.0, 2, samples);
        for (int channel = 0; channel < 2; ++channel)
            reference.addTo (channel, dithered.getWritePointer (channel), samples);
        const auto wav = parseWav (first);
        int differences = 0, changedByDither = 0;
        for (int i = 0; i < samples; ++i)
            for (int channel = 0; channel < 2; ++channel)
            {
                const auto stored = intSample (wav, static_cast<size_t> (2 * i + channel));
                differences += stored != expectedInt (dithered.getSample (channel, i), 16);
                changedByDither += stored != expectedInt (original.getSample (channel, i), 16);
            }
        EXPECT_EQ (differences, 0);
        EXPECT_GT (changedByDither, samples / 10); // POW-r2 is quiet, but not silent
    }
}

TEST_F (Export, ReplacesAnExistingFileOrKeepsItOnFailure)
{
    const auto buffer = masteredLike (2, 5000, 44100.0);
    const auto target = temp.getFile ("song.quorvel.wav");
    resources_testing::writeExactly (target, "not audio, and longer than nothing at all");

    ASSERT_TRUE (Exporter::writeFile (buffer, 44100.0, target, {24, Ditherer::none, "wav"}).wasOk());
    double rate = 0.0;
    const auto read = testing_support::readAudioFile (target, &rate);
    ASSERT_NE (read, nullptr);
    EXPECT_EQ (read->getNumSamples(), 5000);
    EXPECT_EQ (resources_testing::filesIn (temp.get()), juce::String ("song.quorvel.wav"));

    juce::MemoryBlock before;
    target.loadFileAsData (before);
    juce::Result result = juce::Result::ok();
    {
        resources_testing::UnwritableFolder locked (temp.get());
        if (!locked.isLocked())
            GTEST_SKIP() << "cannot make a folder unwritable here";
        result = Exporter::writeFile (buffer, 44100.0, target, {16, Ditherer::rectangular, "wav"});
    }
    EXPECT_TRUE (result.failed());
    EXPECT_TRUE (result.getErrorMessage().contains (target.getFullPathName())) << result.getErrorMessage();
    juce::MemoryBlock after;
    target.loadFileAsData (after);
    EXPECT_TRUE (before == after);

    EXPECT_TRUE (Exporter::writeFile (buffer, 44100.0, temp.getFile ("no").getChildFile ("x.wav"), {16, Ditherer::none, "wav"}).failed());
}

TEST_F (Export, RefusesAnEmptyResultOrAMissingRate)
{
    ProcessorTypeI processor;
    EXPECT_TRUE (Exporter::exportResult (processor, temp.getFile ("empty.wav"), {}).failed()); // the empty buffer it starts with
    processor.processedBuffer = nullptr;
    EXPECT_TRUE (Exporter::exportResult (processor, temp.getFile ("none.wav"), {}).failed());
    EXPECT_TRUE (Exporter::writeFile (masteredLike (1, 10, 44100.0), 0.0, temp.getFile ("rate.wav"), {}).failed());
    EXPECT_EQ (resources_testing::filesIn (temp.get()), juce::String());
}

TEST_F (Export, TwentyFourBitFilesReadBackWithJuceAndSox)
{
    const double rate = 48000.0;
    const int samples = 72000;
    ProcessorTypeI processor;
    processor.processedBuffer = std::make_shared<juce::AudioBuffer<float>> (masteredLike (2, samples, rate));
    processor.processingSampleRate = rate;
    const auto& result = *processor.processedBuffer;

    for (const char* type : {"wav", "aiff"})
    {
        SCOPED_TRACE (type);
        processor.fileFolder = temp.get().getFullPathName() + "/";
        processor.fileBaseName = "render";
        const auto target = Exporter::suggestedFile (processor, type);
        ASSERT_TRUE (Exporter::exportResult (processor, target, {24, Ditherer::none, type}).wasOk());

        // JUCE's own readers.
        double readRate = 0.0;
        const auto read = testing_support::readAudioFile (target, &readRate);
        ASSERT_NE (read, nullptr);
        EXPECT_EQ (readRate, rate);
        ASSERT_EQ (read->getNumChannels(), 2);
        ASSERT_EQ (read->getNumSamples(), samples);
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < samples; ++i)
                ASSERT_EQ (read->getSample (channel, i), static_cast<float> (expectedInt (result.getSample (channel, i), 24)) / 8388608.0f)
                    << "channel " << channel << ", sample " << i;

        // sox, an independent reader.
        const auto path = target.getFullPathName();
        EXPECT_EQ (runAndRead ({"sox", "--i", "-r", path}), juce::String ("48000"));
        EXPECT_EQ (runAndRead ({"sox", "--i", "-c", path}), juce::String ("2"));
        EXPECT_EQ (runAndRead ({"sox", "--i", "-s", path}), juce::String (samples));
        EXPECT_EQ (runAndRead ({"sox", "--i", "-b", path}), juce::String ("24"));

        const auto raw = temp.getFile (juce::String ("sox-") + type + ".raw");
        runAndRead ({"sox", path, "-t", "raw", "-e", "signed-integer", "-b", "32", "-L", raw.getFullPathName()});
        juce::MemoryBlock ints;
        raw.loadFileAsData (ints);
        ASSERT_EQ (ints.getSize(), static_cast<size_t> (samples) * 2 * 4);
        const auto* p = static_cast<const unsigned char*> (ints.getData());
        for (int i = 0; i < samples; ++i)
            for (int channel = 0; channel < 2; ++channel)
            {
                const auto value = static_cast<juce::int32> (juce::ByteOrder::littleEndianInt (p + 4 * (2 * i + channel)));
                ASSERT_EQ (value >> 8, expectedInt (result.getSample (channel, i), 24)) << "channel " << channel << ", sample " << i;
                ASSERT_EQ (value & 0xff, 0);
            }
        raw.deleteFile();
    }
}
