#pragma once

#include <juce_core/juce_core.h>

#include <memory>

/** Replaces a file only once its new content has been written completely.

    The content goes to a hidden temporary file in the target's own folder
    (so the final rename never crosses file systems); commit() flushes it to
    disk and renames it over the target in one step. If anything fails on the
    way, the temporary file is removed and the old target is left exactly as it
    was. Message thread only; all calls may allocate and block on I/O.

    Usage:
        AtomicFileWriter file (target);
        if (auto stream = file.openStream()) { write; stream.reset(); }
        auto result = file.commit();

    The stream may be handed to an owner such as an AudioFormatWriter that
    deletes it, as long as it goes before commit() and before this object. */
class AtomicFileWriter
{
public:
    /** Buffer of the temporary file's stream, the size used for every file
        this program writes. */
    static constexpr size_t bufferSize = 32768;

    explicit AtomicFileWriter (const juce::File& target);
    ~AtomicFileWriter();

    AtomicFileWriter (const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator= (const AtomicFileWriter&) = delete;

    /** Creates the temporary file and returns a stream on it, or nullptr when
        it cannot be created (the reason is kept for commit()). Call once. */
    std::unique_ptr<juce::OutputStream> openStream();

    /** Checks that every byte reached the disk and renames the temporary file
        over the target. The stream must have been deleted first. The failure
        message names the target and the reason. */
    juce::Result commit();

    /** Gives up: removes the temporary file and returns a failure naming the
        target, with the first error seen or else `reason`. The stream must
        have been deleted first. */
    juce::Result abandon (const juce::String& reason);

    const juce::File& getTarget() const noexcept { return target; }

    /** Writes `bytes` as the whole new content of `target`. */
    static juce::Result writeBytes (const juce::File& target, const void* bytes, size_t numBytes);

    /** Writes the text as UTF-8 without a byte-order mark or final line feed. */
    static juce::Result writeText (const juce::File& target, const std::string& utf8);

private:
    class TempStream;
    friend class TempStream;

    void streamClosed (const juce::String& error);
    juce::Result fail (const juce::String& reason);

    juce::File target;
    juce::File temporary;
    TempStream* openedStream = nullptr;
    bool opened = false;
    bool committed = false;
    juce::String firstError;
};
