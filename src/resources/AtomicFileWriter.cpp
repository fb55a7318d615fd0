#include "resources/AtomicFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#if !JUCE_WINDOWS
#include <unistd.h>
#endif

namespace
{
juce::String errnoText (int error) { return juce::String (std::strerror (error)); }
} // namespace

/** A buffered stream on the temporary file that remembers the first error of
    any write, seek, flush or close: JUCE's FileOutputStream drops some of
    those (short writes, a failed flush before a seek), and a half-written
    file must never be renamed into place. */
class AtomicFileWriter::TempStream : public juce::OutputStream
{
public:
    TempStream (AtomicFileWriter& ownerToTell, std::FILE* openFile) : owner (ownerToTell), file (openFile)
    {
        if (std::setvbuf (file, nullptr, _IOFBF, bufferSize) != 0)
            error = "cannot set up the write buffer";
    }

    ~TempStream() override
    {
        if (std::fflush (file) != 0)
            remember (errno);
#if !JUCE_WINDOWS
        // The rename must not become visible before the data: flush to disk.
        else if (::fsync (::fileno (file)) != 0)
            remember (errno);
#endif
        if (std::fclose (file) != 0)
            remember (errno);
        owner.streamClosed (error);
    }

    void flush() override
    {
        if (std::fflush (file) != 0)
            remember (errno);
    }

    bool setPosition (juce::int64 newPosition) override
    {
        if (std::fseek (file, static_cast<long> (newPosition), SEEK_SET) != 0)
        {
            remember (errno);
            return false;
        }
        return true;
    }

    juce::int64 getPosition() override { return static_cast<juce::int64> (std::ftell (file)); }

    bool write (const void* data, size_t numBytes) override
    {
        if (numBytes == 0)
            return true;
        if (std::fwrite (data, 1, numBytes, file) != numBytes)
        {
            remember (errno);
            return false;
        }
        return true;
    }

private:
    void remember (int errorNumber)
    {
        if (error.isEmpty())
            error = errorNumber != 0 ? errnoText (errorNumber) : juce::String ("write error");
    }

    AtomicFileWriter& owner;
    std::FILE* file;
    juce::String error;
};

namespace
{
/** Renaming over a symbolic link would replace the link itself; write to
    the file it points to instead, so a linked data folder keeps working. */
juce::File followLinks (juce::File file)
{
    for (int hop = 0; hop < 16 && file.isSymbolicLink(); ++hop)
        file = file.getLinkedTarget();
    return file;
}
} // namespace

AtomicFileWriter::AtomicFileWriter (const juce::File& targetFile) : target (followLinks (targetFile)) {}

AtomicFileWriter::~AtomicFileWriter()
{
    // A stream still open here would call back into a dead object.
    jassert (openedStream == nullptr);
    if (!committed && temporary != juce::File())
        temporary.deleteFile();
}

std::unique_ptr<juce::OutputStream> AtomicFileWriter::openStream()
{
    jassert (!opened);
    if (opened)
        return nullptr;
    opened = true;

    const auto folder = target.getParentDirectory();
    if (!folder.isDirectory())
    {
        firstError = "the folder " + folder.getFullPathName() + " does not exist";
        return nullptr;
    }
    if (target.isDirectory())
    {
        firstError = "a folder of that name is in the way";
        return nullptr;
    }

    // "x": fail rather than share a name another writer happens to pick.
    for (int attempt = 0; attempt < 8; ++attempt)
    {
        const auto name = "." + target.getFileName() + ".tmp-" + juce::String::toHexString (juce::Random::getSystemRandom().nextInt());
        const auto candidate = folder.getChildFile (name);
        if (auto* file = std::fopen (candidate.getFullPathName().toRawUTF8(), "wbx"))
        {
            temporary = candidate;
            auto stream = std::make_unique<TempStream> (*this, file);
            openedStream = stream.get();
            return stream;
        }
        if (errno != EEXIST)
        {
            firstError = errnoText (errno);
            return nullptr;
        }
    }
    firstError = "no free temporary file name";
    return nullptr;
}

void AtomicFileWriter::streamClosed (const juce::String& error)
{
    openedStream = nullptr;
    if (firstError.isEmpty())
        firstError = error;
}

juce::Result AtomicFileWriter::fail (const juce::String& reason)
{
    if (temporary != juce::File())
        temporary.deleteFile();
    return juce::Result::fail ("Could not write \"" + target.getFullPathName() + "\": " + reason + ".");
}

juce::Result AtomicFileWriter::commit()
{
    // The stream closes the file and reports its last errors when it goes.
    jassert (openedStream == nullptr);
    if (openedStream != nullptr)
        return juce::Result::fail ("Could not write \"" + target.getFullPathName() + "\": the file is still open.");
    if (committed)
        return juce::Result::ok();
    if (!opened || temporary == juce::File())
        return fail (firstError.isNotEmpty() ? firstError : juce::String ("nothing was written"));
    if (firstError.isNotEmpty())
        return fail (firstError);

    std::error_code error;
    std::filesystem::rename (std::filesystem::path (temporary.getFullPathName().toStdString()),
                             std::filesystem::path (target.getFullPathName().toStdString()), error);
    if (error)
        return fail (error.message());

    committed = true;
    return juce::Result::ok();
}

juce::Result AtomicFileWriter::abandon (const juce::String& reason)
{
    jassert (openedStream == nullptr && !committed);
    return fail (firstError.isNotEmpty() ? firstError : reason);
}

juce::Result AtomicFileWriter::writeBytes (const juce::File& target, const void* bytes, size_t numBytes)
{
    AtomicFileWriter file (target);
    if (auto stream = file.openStream())
        stream->write (bytes, numBytes);
    return file.commit();
}

juce::Result AtomicFileWriter::writeText (const juce::File& target, const std::string& utf8)
{
    return writeBytes (target, utf8.data(), utf8.size());
}
