#pragma once

#include "engine/IProcessor.h"
#include "resources/Ditherer.h"

#include <juce_audio_formats/juce_audio_formats.h>

/** Writes the mastered result as a WAV or AIFF file: 16 or 24-bit integer
    with an optional dither, or 32-bit float WAV.

    The dither goes into the samples on their way to the file, never into the
    result itself, so the result heard in the player stays clean and two
    exports of it with the same options give identical files. The file is
    written beside its target and renamed into place when complete; a failed
    export leaves an existing file as it was and says why.

    Message thread; everything here may allocate and block on I/O. */
class Exporter
{
public:
    struct Options
    {
        int bitDepth = 16;                      // 16, 24 or 32
        Ditherer::Type dither = Ditherer::none; // ignored at 32 bits
        juce::String fileType{"wav"};           // "wav", anything else is AIFF
    };

    /** "<base>.quorvel.<type>": song.mp3 saved as WAV becomes song.quorvel.wav. */
    static juce::String suggestedFileName (const juce::String& baseName, const juce::String& fileType);

    /** The suggested name in the loaded file's folder, or in the home
        folder when no file has been loaded. */
    static juce::File suggestedFile (const IProcessor& processor, const juce::String& fileType);

    /** Refuses a combination no writer can produce (AIFF at 32 bits, an
        unknown depth) with a message for the user, before any dialog. */
    static juce::Result checkOptions (const Options& options);

    /** Exports the processor's `processedBuffer` at its `processingSampleRate`. */
    static juce::Result exportResult (const IProcessor& processor, const juce::File& target, const Options& options);

    /** Writes `result` to `target`. Not-a-number samples are written as 0 and
        infinities as full scale; integer formats clip at full scale. */
    static juce::Result writeFile (const juce::AudioBuffer<float>& result, double sampleRate, const juce::File& target,
                                   const Options& options);

    /** Samples per channel converted and written at a time. */
    static constexpr int blockSize = 8192;
};
