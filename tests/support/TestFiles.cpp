#include "support/TestFiles.h"

#include <cmath>

namespace testing_support
{
TempFolder::TempFolder() :
    folder (juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("quorvel-test", "", false))
{
    folder.createDirectory();
}

TempFolder::~TempFolder() { folder.deleteRecursively(); }

juce::AudioBuffer<float> makeBuffer (int channels, int samples, const std::function<float (int, int)>& generator)
{
    juce::AudioBuffer<float> buffer (channels, samples);
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < samples; ++i)
            buffer.setSample (ch, i, generator (ch, i));
    return buffer;
}

juce::AudioBuffer<float> makeSine (int channels, int samples, double sampleRate, double frequency, float peak)
{
    return makeBuffer (channels, samples,
                       [=] (int, int i) {
                           return peak * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * frequency * i / sampleRate));
                       });
}

bool writeAudioFile (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bits)
{
    std::unique_ptr<juce::AudioFormat> format;
    const auto ext = file.getFileExtension().toLowerCase();
    if (ext == ".wav")
        format = std::make_unique<juce::WavAudioFormat>();
    else if (ext == ".aif" || ext == ".aiff")
        format = std::make_unique<juce::AiffAudioFormat>();
    else if (ext == ".flac")
        format = std::make_unique<juce::FlacAudioFormat>();
    else
        return false;

    file.deleteFile();
    auto stream = file.createOutputStream();
    if (stream == nullptr)
        return false;

    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (stream.get(), sampleRate, static_cast<unsigned int> (buffer.getNumChannels()), bits, {}, 0));
    if (writer == nullptr)
        return false;
    stream.release(); // the writer owns it now
    return writer->writeFromAudioSampleBuffer (buffer, 0, buffer.getNumSamples());
}

std::unique_ptr<juce::AudioBuffer<float>> readAudioFile (const juce::File& file, double* sampleRate)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    if (reader == nullptr)
        return nullptr;
    auto buffer =
        std::make_unique<juce::AudioBuffer<float>> (static_cast<int> (reader->numChannels), static_cast<int> (reader->lengthInSamples));
    reader->read (buffer.get(), 0, buffer->getNumSamples(), 0, true, true);
    if (sampleRate != nullptr)
        *sampleRate = reader->sampleRate;
    return buffer;
}
} // namespace testing_support
