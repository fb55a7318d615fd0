#include "resources/Exporter.h"

#include "resources/AtomicFileWriter.h"

#include <cmath>

namespace
{
bool isWav (const juce::String& fileType) { return fileType == "wav"; }

void replaceNonFinite (float* samples, int count) noexcept
{
    for (int i = 0; i < count; ++i)
        if (!std::isfinite (samples[i]))
            samples[i] = std::isnan (samples[i]) ? 0.0f : (samples[i] > 0.0f ? 1.0f : -1.0f);
}
} // namespace

juce::String Exporter::suggestedFileName (const juce::String& baseName, const juce::String& fileType)
{
    return baseName + ".quorvel." + fileType;
}

juce::File Exporter::suggestedFile (const IProcessor& processor, const juce::String& fileType)
{
    const auto name = suggestedFileName (processor.fileBaseName, fileType);
    if (!juce::File::isAbsolutePath (processor.fileFolder))
        return juce::File::getSpecialLocation (juce::File::userHomeDirectory).getChildFile (name);
    return juce::File (processor.fileFolder).getChildFile (name);
}

juce::Result Exporter::checkOptions (const Options& options)
{
    if (options.bitDepth != 16 && options.bitDepth != 24 && options.bitDepth != 32)
        return juce::Result::fail ("Files can be saved at 16, 24 or 32 bits only.");
    if (options.bitDepth == 32 && !isWav (options.fileType))
        return juce::Result::fail ("AIFF files cannot be saved at 32 bits.\n\nChoose 16 or 24 bits, or the .wav type for 32-bit float.");
    return juce::Result::ok();
}

juce::Result Exporter::exportResult (const IProcessor& processor, const juce::File& target, const Options& options)
{
    // Our own reference: the buffer stays alive even if the processor
    // replaces its result meanwhile.
    const auto result = processor.processedBuffer;
    if (result == nullptr)
        return juce::Result::fail ("There is no mastered result to save.");
    return writeFile (*result, processor.processingSampleRate.load(), target, options);
}

juce::Result Exporter::writeFile (const juce::AudioBuffer<float>& result, double sampleRate, const juce::File& target,
                                  const Options& options)
{
    const auto allowed = checkOptions (options);
    if (allowed.failed())
        return allowed;

    const int numChannels = result.getNumChannels();
    const int numSamples = result.getNumSamples();
    if (numChannels <= 0 || numSamples <= 0)
        return juce::Result::fail ("There is no mastered result to save.");
    if (!std::isfinite (sampleRate) || sampleRate <= 0.0)
        return juce::Result::fail ("The mastered result has no valid sample rate.");

    AtomicFileWriter file (target);
    auto stream = file.openStream();
    if (stream == nullptr)
        return file.commit(); // fails, naming the file and the reason

    juce::WavAudioFormat wav;
    juce::AiffAudioFormat aiff;
    juce::AudioFormat& format = isWav (options.fileType) ? static_cast<juce::AudioFormat&> (wav) : aiff;

    std::unique_ptr<juce::AudioFormatWriter> writer (
        format.createWriterFor (stream.get(), sampleRate, static_cast<unsigned int> (numChannels), options.bitDepth, {}, 0));
    if (writer == nullptr)
    {
        stream.reset();
        return file.abandon ("the " + format.getFormatName() + " writer does not accept " + juce::String (numChannels) + " channels at "
                             + juce::String (options.bitDepth) + " bits and " + juce::String (sampleRate) + " Hz");
    }
    stream.release(); // the writer owns and closes it

    Ditherer ditherer (options.dither, options.bitDepth, sampleRate, numChannels, numSamples);
    juce::AudioBuffer<float> block (numChannels, juce::jmin (blockSize, numSamples));
    bool written = true;
    for (int start = 0; start < numSamples && written; start += blockSize)
    {
        const int count = juce::jmin (blockSize, numSamples - start);
        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto* samples = block.getWritePointer (channel);
            juce::FloatVectorOperations::copy (samples, result.getReadPointer (channel, start), count);
            replaceNonFinite (samples, count);
            ditherer.addTo (channel, samples, count);
        }
        written = writer->writeFromAudioSampleBuffer (block, 0, count);
    }

    writer.reset(); // writes the final header and closes the stream
    if (!written)
        return file.abandon ("the data could not be written");
    return file.commit();
}
