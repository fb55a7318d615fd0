#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <functional>
#include <memory>

namespace testing_support
{
/** A fresh folder under the system temp folder, deleted with everything in
    it when the object goes away. */
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    TempFolder (const TempFolder&) = delete;
    TempFolder& operator= (const TempFolder&) = delete;

    juce::File getFile (const juce::String& name) const { return folder.getChildFile (name); }
    const juce::File& get() const { return folder; }

private:
    juce::File folder;
};

/** Fills a buffer of `channels` x `samples` from `generator (channel, index)`. */
juce::AudioBuffer<float> makeBuffer (int channels, int samples, const std::function<float (int, int)>& generator);

/** Writes a buffer with one of JUCE's writers, chosen by the file's
    extension (".wav", ".aiff", ".flac"). Float WAV when bits is 32. */
bool writeAudioFile (const juce::File& file, const juce::AudioBuffer<float>& buffer, double sampleRate, int bits);

/** Reads a whole audio file back with JUCE's basic formats. */
std::unique_ptr<juce::AudioBuffer<float>> readAudioFile (const juce::File& file, double* sampleRate = nullptr);

/** A sine of the given frequency and peak. */
juce::AudioBuffer<float> makeSine (int channels, int samples, double sampleRate, double frequency, float peak);
} // namespace testing_support
