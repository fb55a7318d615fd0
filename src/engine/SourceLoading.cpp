#include "engine/IProcessor.h"

#include <array>
#include <cmath>
#include <limits>
#include <new>

namespace
{
// A hostile or corrupt header can claim far more audio than the file holds;
// sizing the buffer from such a claim would take all memory. No real encoding
// packs more than this many samples into one byte (FLAC silence comes closest
// at a few hundred).
constexpr juce::int64 maxSamplesPerFileByte = 1024;

std::unique_ptr<juce::AudioFormatReader> findReader (juce::AudioFormatManager& formats, const juce::File& file)
{
    for (int i = 0; i < formats.getNumKnownFormats(); ++i)
    {
        auto* format = formats.getKnownFormat (i);
        if (!format->canHandleFile (file))
            continue;

        auto stream = file.createInputStream();
        if (stream == nullptr)
            continue;

        // The format deletes the stream itself when it cannot read it.
        if (auto* reader = format->createReaderFor (stream.release(), true))
            return std::unique_ptr<juce::AudioFormatReader> (reader);
    }
    return nullptr;
}
} // namespace

void IProcessor::sanitiseSamples (juce::AudioBuffer<float>& buffer) noexcept
{
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
    {
        auto* data = buffer.getWritePointer (ch);
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const float v = data[i];
            if (std::isnan (v))
                data[i] = 0.0f;
            else if (std::isinf (v))
                data[i] = v > 0.0f ? 2.0f : -2.0f;
        }
    }
}

float IProcessor::measureClipLevel (const juce::AudioBuffer<float>& buffer, float fraction) noexcept
{
    const int32_t channels = buffer.getNumChannels();
    const int32_t samples = buffer.getNumSamples();
    const auto threshold = static_cast<juce::uint32> (static_cast<float> (channels * samples) * fraction);

    std::array<juce::uint32, 800> bins{};
    for (int ch = 0; ch < channels; ++ch)
    {
        const auto* data = buffer.getReadPointer (ch);
        for (int i = 0; i < samples; ++i)
        {
            const float magnitude = std::abs (data[i]);
            if (std::isnan (magnitude))
                continue;
            const auto bin = static_cast<size_t> (std::floor (std::min (magnitude, 2.0f) * 400.0f));
            ++bins[std::min (bin, bins.size() - 1)];
        }
    }

    float level = 0.0f;
    juce::uint32 sum = 0;
    for (int b = 799; b >= 0; --b)
    {
        sum += bins[static_cast<size_t> (b)];
        if (sum > threshold)
        {
            // When the top bin alone is over the threshold the scan found no
            // level; 0 would silence the whole track, so take that bin's edge.
            if (b == 799)
                level = 799.0f / 400.0f;
            break;
        }
        level = static_cast<float> (b) / 400.0f;
    }
    return level;
}

void IProcessor::fileReaderThreaded()
{
    const auto file = sourceFile;
    const bool hadSource = sourceBuffer != nullptr && sourceBuffer->getNumChannels() > 0;

    state = stateLoading;
    stateChanged = true;
    if (auto* l = listener.load())
        l->processorCallback();

    if (file == nullptr)
    {
        finishLoad ("No file was chosen.", hadSource);
        return;
    }

    auto reader = findReader (formatManager, *file);
    if (reader == nullptr)
    {
        finishLoad ("\"" + file->getFileName() + "\" could not be read: it is not an audio file of a supported format, or it is damaged.",
                    hadSource);
        return;
    }

    const auto length = reader->lengthInSamples;
    const auto channels = static_cast<int> (reader->numChannels);
    const auto claimed = static_cast<juce::int64> (channels) * length;
    if (length > std::numeric_limits<int32_t>::max() || length < 0 || claimed > file->getSize() * maxSamplesPerFileByte + (1 << 20))
    {
        finishLoad ("\"" + file->getFileName() + "\" is too long to load, or its header is damaged.", hadSource);
        return;
    }
    if (channels <= 0 || reader->sampleRate <= 0.0 || !std::isfinite (reader->sampleRate))
    {
        finishLoad ("\"" + file->getFileName() + "\" has no audio channels or no valid sample rate.", hadSource);
        return;
    }

    auto buffer = std::make_shared<juce::AudioBuffer<float>>();
    try
    {
        buffer->setSize (channels, static_cast<int> (length));
    }
    catch (const std::bad_alloc&)
    {
        finishLoad ("There is not enough memory to load \"" + file->getFileName() + "\".", hadSource);
        return;
    }

    buffer->clear();
    reader->read (buffer.get(), 0, static_cast<int> (length), 0, true, true);
    sanitiseSamples (*buffer);

    const float level = measureClipLevel (*buffer, clipFraction);

    fileName = file->getFileName();
    filePath = file->getFullPathName();
    fileFolder = fileName.length() < filePath.length() ? filePath.dropLastCharacters (fileName.length()) : juce::String();
    fileExtension = file->getFileExtension();
    fileBaseName = file->getFileNameWithoutExtension();

    sourceBuffer = buffer;
    numChannels = channels;
    numSamples = static_cast<int32_t> (length);
    sourceSampleRate = reader->sampleRate;
    clipLevel = level;
    // An empty file leaves the level at 0; a gain of 1 keeps the chains finite.
    inputGain = clipLevel > 0.0f ? normalisationTarget / clipLevel : 1.0f;

    finishLoad ({}, true);
}

void IProcessor::finishLoad (const juce::String& error, bool hadSource)
{
    if (error.isNotEmpty())
        loadErrorText = error.toStdString();

    state = hadSource ? stateLoaded : stateEmpty;
    stateChanged = true;
    if (auto* l = listener.load())
        l->processorCallback();
}
