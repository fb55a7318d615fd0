#include "engine/ProcessorTypeI.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

using testing_support::makeBuffer;
using testing_support::TempFolder;
using testing_support::writeAudioFile;

namespace
{
struct CountingListener : ProcessorListener
{
    std::atomic<int> calls{0};
    void processorCallback() override { ++calls; }
};

/** Loads a file the way the main scene does: a detached thread holding a
    shared reference, then waits for the loader to leave state 1. */
std::shared_ptr<ProcessorTypeI> loadDetached (const juce::File& file, std::shared_ptr<ProcessorTypeI> processor = nullptr)
{
    if (processor == nullptr)
        processor = std::make_shared<ProcessorTypeI>();
    processor->stateChanged = false;
    processor->sourceFile = std::make_shared<juce::File> (file);
    processor->state = -1; // a value the loader never writes, to see it finish
    std::thread (&IProcessor::fileReaderThreaded, std::shared_ptr<IProcessor> (processor)).detach();

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (30);
    while ((processor->state == -1 || processor->state == IProcessor::stateLoading) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for (std::chrono::milliseconds (1));
    return processor;
}

juce::AudioBuffer<float> stereoRamp (int samples)
{
    return makeBuffer (2, samples, [samples] (int ch, int i) { return (ch == 0 ? 0.5f : -0.25f) * static_cast<float> (i) / samples; });
}
} // namespace

TEST (SourceLoading, ReadsFormatsAndChannelLayouts)
{
    TempFolder temp;
    struct Case
    {
        const char* name;
        int channels;
        double rate;
        int bits;
        float tolerance;
    };
    const Case cases[] = {
        {"mono16.wav", 1, 44100.0, 16, 1.0f / 16384.0f},
        {"stereo24.wav", 2, 44100.0, 24, 1.0e-6f},
        {"six24.wav", 6, 44100.0, 24, 1.0e-6f},
        {"rate48.wav", 2, 48000.0, 16, 1.0f / 16384.0f},
        {"float.wav", 2, 44100.0, 32, 0.0f},
        {"stereo.aiff", 2, 44100.0, 24, 1.0e-6f},
        {"stereo16.aif", 2, 96000.0, 16, 1.0f / 16384.0f},
        {"stereo.flac", 2, 44100.0, 24, 1.0e-6f},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const int length = 20000;
        const auto source =
            makeBuffer (c.channels, length, [] (int ch, int i) { return 0.4f * std::sin (0.01f * static_cast<float> (i * (ch + 1))); });
        const auto file = temp.getFile (c.name);
        ASSERT_TRUE (writeAudioFile (file, source, c.rate, c.bits));

        CountingListener listener;
        auto processor = std::make_shared<ProcessorTypeI>();
        processor->listener = &listener;
        loadDetached (file, processor);

        EXPECT_EQ (processor->state.load(), IProcessor::stateLoaded);
        EXPECT_TRUE (processor->stateChanged.load());
        EXPECT_EQ (listener.calls.load(), 2);
        EXPECT_EQ (processor->numChannels.load(), c.channels);
        EXPECT_EQ (processor->numSamples.load(), length);
        EXPECT_EQ (processor->sourceSampleRate, c.rate);
        ASSERT_EQ (processor->sourceBuffer->getNumChannels(), c.channels);
        ASSERT_EQ (processor->sourceBuffer->getNumSamples(), length);
        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < length; i += 97)
                ASSERT_NEAR (processor->sourceBuffer->getSample (ch, i), source.getSample (ch, i), c.tolerance);
        EXPECT_TRUE (processor->loadErrorText.isEmpty());
    }
}

TEST (SourceLoading, NameFieldsFollowTheFile)
{
    TempFolder temp;
    const auto file = temp.getFile ("My Track.v2.wav");
    ASSERT_TRUE (writeAudioFile (file, stereoRamp (1000), 44100.0, 16));
    auto processor = loadDetached (file);

    EXPECT_EQ (processor->fileName, "My Track.v2.wav");
    EXPECT_EQ (processor->filePath, file.getFullPathName());
    EXPECT_EQ (processor->fileFolder, temp.get().getFullPathName() + "/");
    EXPECT_EQ (processor->fileExtension, ".wav");
    EXPECT_EQ (processor->fileBaseName, "My Track.v2");
}

TEST (SourceLoading, Mp3FromLameLoads)
{
    TempFolder temp;
    const auto wav = temp.getFile ("tone.wav");
    ASSERT_TRUE (writeAudioFile (wav, testing_support::makeSine (2, 44100, 44100.0, 440.0, 0.5f), 44100.0, 16));
    const auto mp3 = temp.getFile ("tone.mp3");
    const auto command = "lame --quiet -b 128 '" + wav.getFullPathName() + "' '" + mp3.getFullPathName() + "'";
    if (std::system (command.toRawUTF8()) != 0 || !mp3.existsAsFile())
        GTEST_SKIP() << "lame is not installed";

    auto processor = loadDetached (mp3);
    EXPECT_EQ (processor->state.load(), IProcessor::stateLoaded);
    EXPECT_EQ (processor->numChannels.load(), 2);
    EXPECT_EQ (processor->sourceSampleRate, 44100.0);
    // The decoder adds its own padding; the length is about one second.
    EXPECT_NEAR (processor->numSamples.load(), 44100, 4000);
    EXPECT_NEAR (processor->sourceBuffer->getMagnitude (0, processor->numSamples.load()), 0.5f, 0.08f);
}

TEST (ClipLevel, HistogramCases)
{
    struct Case
    {
        const char* name;
        int channels, samples;
        std::function<float (int, int)> generator;
        float expected;
    };
    const Case cases[] = {
        // Silence: bins 799..1 are empty, so the level ends on bin 1's edge.
        {"silence", 2, 44100, [] (int, int) { return 0.0f; }, 1.0f / 400.0f},
        // A half-scale square sits entirely in bin 200.
        {"half-scale square", 2, 44100, [] (int, int i) { return (i / 50) % 2 == 0 ? 0.5f : -0.5f; }, 201.0f / 400.0f},
        // Under 6667 samples the threshold is 0: the edge just above the loudest sample.
        {"short file", 1, 5000, [] (int, int i) { return i == 10 ? 0.3f : 0.01f; }, 121.0f / 400.0f},
        // 0.015 % of 100000 is 15: ten loud samples are clipped, the level drops below them.
        {"few loud samples", 1, 100000, [] (int, int i) { return i < 10 ? 0.9f : 0.2f; }, 81.0f / 400.0f},
        // More loud samples than the threshold: the level sits just above them.
        {"many loud samples", 1, 100000, [] (int, int i) { return i < 100 ? 0.9f : 0.2f; }, 361.0f / 400.0f},
        // Values of 2.0 and above land in the top bin; alone over the threshold
        // they would give level 0 (silence), so the top bin's edge is used.
        {"all at or above 2.0", 2, 10000, [] (int ch, int) { return ch == 0 ? 2.0f : -7.5f; }, 799.0f / 400.0f},
        {"a few above 2.0", 1, 100000, [] (int, int i) { return i < 5 ? 3.0f : 0.5f; }, 201.0f / 400.0f},
        {"empty", 2, 0, [] (int, int) { return 0.0f; }, 0.0f},
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto buffer = makeBuffer (c.channels, c.samples, c.generator);
        EXPECT_FLOAT_EQ (IProcessor::measureClipLevel (buffer, 0.00015f), c.expected);
    }
}

TEST (SourceLoading, ClipLevelAndInputGainFromFile)
{
    TempFolder temp;
    const auto silent = temp.getFile ("silence.wav");
    ASSERT_TRUE (writeAudioFile (silent, makeBuffer (2, 44100, [] (int, int) { return 0.0f; }), 44100.0, 16));
    auto p = loadDetached (silent);
    EXPECT_FLOAT_EQ (p->clipLevel, 0.0025f);
    EXPECT_FLOAT_EQ (p->inputGain, 368.0f);

    const auto square = temp.getFile ("square.wav");
    ASSERT_TRUE (writeAudioFile (square, makeBuffer (2, 44100, [] (int, int i) { return (i / 50) % 2 ? 0.5f : -0.5f; }), 44100.0, 32));
    p = loadDetached (square);
    EXPECT_FLOAT_EQ (p->clipLevel, 0.5025f);
    EXPECT_NEAR (p->inputGain, 1.8308f, 1.0e-4f);
}

TEST (SourceLoading, EmptyFileKeepsAFiniteGain)
{
    TempFolder temp;
    const auto file = temp.getFile ("empty.wav");
    ASSERT_TRUE (writeAudioFile (file, juce::AudioBuffer<float> (2, 0), 44100.0, 16));
    auto p = loadDetached (file);
    EXPECT_EQ (p->state.load(), IProcessor::stateLoaded);
    EXPECT_EQ (p->numSamples.load(), 0);
    EXPECT_EQ (p->clipLevel, 0.0f);
    EXPECT_EQ (p->inputGain, 1.0f);
}

TEST (SourceLoading, NonFiniteSamplesNeverReachTheBuffer)
{
    TempFolder temp;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const auto source = makeBuffer (1, 20000,
                                    [=] (int, int i)
                                    {
                                        if (i % 3 == 0)
                                            return nan;
                                        if (i == 1)
                                            return inf;
                                        if (i == 2)
                                            return -inf;
                                        return 0.5f;
                                    });
    const auto file = temp.getFile ("nan.wav");
    ASSERT_TRUE (writeAudioFile (file, source, 44100.0, 32));
    auto p = loadDetached (file);

    ASSERT_EQ (p->state.load(), IProcessor::stateLoaded);
    const auto& loaded = *p->sourceBuffer;
    for (int i = 0; i < loaded.getNumSamples(); ++i)
        ASSERT_TRUE (std::isfinite (loaded.getSample (0, i))) << i;
    EXPECT_EQ (loaded.getSample (0, 0), 0.0f);
    EXPECT_EQ (loaded.getSample (0, 1), 2.0f);
    EXPECT_EQ (loaded.getSample (0, 2), -2.0f);
    // The NaNs became zeros in bin 0; two infinities (within the threshold of
    // 3) sit in bin 799 and are clipped, the 0.5 samples set the level.
    EXPECT_FLOAT_EQ (p->clipLevel, 0.5025f);
    EXPECT_TRUE (std::isfinite (p->inputGain));
}

TEST (SourceLoading, UnreadableFileKeepsThePreviousSource)
{
    TempFolder temp;
    const auto good = temp.getFile ("good.wav");
    ASSERT_TRUE (writeAudioFile (good, stereoRamp (3000), 44100.0, 16));
    const auto garbage = temp.getFile ("noise.wav");
    ASSERT_TRUE (garbage.replaceWithText ("this is not a wave file at all"));
    const auto unknown = temp.getFile ("song.xyz");
    ASSERT_TRUE (unknown.replaceWithText ("RIFF"));

    for (const auto& bad : {garbage, unknown})
    {
        SCOPED_TRACE (bad.getFileName());

        // With nothing loaded before, the processor goes back to empty.
        auto fresh = loadDetached (bad);
        EXPECT_EQ (fresh->state.load(), IProcessor::stateEmpty);
        EXPECT_TRUE (fresh->fileName.isEmpty());
        EXPECT_EQ (fresh->sourceBuffer->getNumChannels(), 0);
        EXPECT_NE (fresh->loadErrorText.get().find (bad.getFileName().toStdString()), std::string::npos);

        // With a source loaded, it stays loaded with the old names and audio.
        auto p = loadDetached (good);
        const auto oldBuffer = p->sourceBuffer;
        const float oldGain = p->inputGain;
        loadDetached (bad, p);
        EXPECT_EQ (p->state.load(), IProcessor::stateLoaded);
        EXPECT_TRUE (p->stateChanged.load());
        EXPECT_EQ (p->sourceBuffer, oldBuffer);
        EXPECT_EQ (p->fileName, "good.wav");
        EXPECT_EQ (p->fileBaseName, "good");
        EXPECT_EQ (p->numSamples.load(), 3000);
        EXPECT_EQ (p->inputGain, oldGain);
        EXPECT_FALSE (p->loadErrorText.take().empty());
        EXPECT_TRUE (p->loadErrorText.isEmpty());
    }
}

TEST (SourceLoading, TruncatedFileLoadsWhatItHolds)
{
    TempFolder temp;
    const auto full = temp.getFile ("full.wav");
    ASSERT_TRUE (writeAudioFile (full, makeBuffer (2, 40000, [] (int, int) { return 0.25f; }), 44100.0, 16));
    juce::MemoryBlock bytes;
    ASSERT_TRUE (full.loadFileAsData (bytes));
    const auto cut = temp.getFile ("cut.wav");
    ASSERT_TRUE (cut.replaceWithData (bytes.getData(), bytes.getSize() / 2));

    auto p = loadDetached (cut);
    ASSERT_EQ (p->state.load(), IProcessor::stateLoaded);
    const auto& b = *p->sourceBuffer;
    ASSERT_EQ (b.getNumChannels(), 2);
    // What the file still holds is intact; nothing past it is invented.
    EXPECT_NEAR (b.getSample (0, 100), 0.25f, 1.0e-4f);
    for (int i = 20000; i < b.getNumSamples(); i += 111)
        ASSERT_EQ (b.getSample (1, i), 0.0f);
}

TEST (SourceLoading, HostileHeaderIsRefusedWithoutAllocating)
{
    TempFolder temp;
    const auto file = temp.getFile ("huge.wav");
    ASSERT_TRUE (writeAudioFile (file, makeBuffer (2, 100, [] (int, int) { return 0.1f; }), 44100.0, 16));
    juce::MemoryBlock bytes;
    ASSERT_TRUE (file.loadFileAsData (bytes));
    // Claim a data chunk of ~2 GB in the header of a 600-byte file.
    auto* data = static_cast<uint8_t*> (bytes.getData());
    for (size_t i = 0; i + 8 <= bytes.getSize(); ++i)
        if (std::memcmp (data + i, "data", 4) == 0)
        {
            const uint32_t claimed = 0x7ffffff0u;
            std::memcpy (data + i + 4, &claimed, 4);
            break;
        }
    ASSERT_TRUE (file.replaceWithData (bytes.getData(), bytes.getSize()));

    auto p = loadDetached (file);
    // Either the reader trims the claim to the data present, or loading refuses.
    if (p->state.load() == IProcessor::stateLoaded)
        EXPECT_LE (p->numSamples.load(), 1000);
    else
        EXPECT_FALSE (p->loadErrorText.isEmpty());
}
