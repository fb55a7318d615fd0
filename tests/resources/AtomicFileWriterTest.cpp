#include "resources/AtomicFileWriter.h"
#include "resources/ResourcesTestSupport.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using resources_testing::filesIn;
using testing_support::TempFolder;

namespace
{
/** Caps the size of any file this process writes, as a full disk would:
    writes past the cap fail with EFBIG, even for root. */
class FileSizeCap
{
public:
    explicit FileSizeCap (rlim_t bytes)
    {
        previousHandler = std::signal (SIGXFSZ, SIG_IGN);
        ::getrlimit (RLIMIT_FSIZE, &previous);
        rlimit capped = previous;
        capped.rlim_cur = bytes;
        applied = ::setrlimit (RLIMIT_FSIZE, &capped) == 0;
    }

    ~FileSizeCap()
    {
        ::setrlimit (RLIMIT_FSIZE, &previous);
        std::signal (SIGXFSZ, previousHandler);
    }

    FileSizeCap (const FileSizeCap&) = delete;
    FileSizeCap& operator= (const FileSizeCap&) = delete;

    bool applied = false;

private:
    rlimit previous{};
    void (*previousHandler) (int) = nullptr;
};

std::string bigText (size_t bytes) { return std::string (bytes, 'x'); }
} // namespace

TEST (AtomicFileWriter, ReplacesTheWholeFileAndLeavesNothingElse)
{
    TempFolder temp;
    const auto target = temp.getFile ("target.xml");
    resources_testing::writeExactly (target, "a much longer old content than the new one");

    ASSERT_TRUE (AtomicFileWriter::writeText (target, "new").wasOk());
    EXPECT_EQ (target.loadFileAsString(), juce::String ("new"));
    EXPECT_EQ (filesIn (temp.get()), juce::String ("target.xml"));

    // Larger than the stream's buffer, and a new file.
    const auto big = bigText (3 * AtomicFileWriter::bufferSize + 17);
    const auto fresh = temp.getFile ("fresh.bin");
    ASSERT_TRUE (AtomicFileWriter::writeText (fresh, big).wasOk());
    EXPECT_EQ (fresh.getSize(), static_cast<juce::int64> (big.size()));
}

TEST (AtomicFileWriter, WritesThroughASymbolicLink)
{
    TempFolder temp;
    const auto real = temp.getFile ("elsewhere").getChildFile ("presets.2.xml");
    real.getParentDirectory().createDirectory();
    resources_testing::writeExactly (real, "old");
    const auto link = temp.getFile ("presets.2.xml");
    ASSERT_TRUE (real.createSymbolicLink (link, true));

    ASSERT_TRUE (AtomicFileWriter::writeText (link, "new").wasOk());
    EXPECT_TRUE (link.isSymbolicLink());
    EXPECT_EQ (real.loadFileAsString(), juce::String ("new"));
}

TEST (AtomicFileWriter, AWriteThatFailsHalfWayKeepsTheOldFile)
{
    TempFolder temp;
    const auto target = temp.getFile ("target.xml");
    const juce::String old = "old content";
    resources_testing::writeExactly (target, old);

    juce::Result result = juce::Result::ok();
    {
        FileSizeCap cap (1000);
        ASSERT_TRUE (cap.applied);
        result = AtomicFileWriter::writeText (target, bigText (100000));
    }
    EXPECT_TRUE (result.failed());
    EXPECT_TRUE (result.getErrorMessage().contains (target.getFullPathName())) << result.getErrorMessage();
    EXPECT_EQ (target.loadFileAsString(), old);
    EXPECT_EQ (filesIn (temp.get()), juce::String ("target.xml")); // the partial file is gone
}

TEST (AtomicFileWriter, ReportsTargetsThatCannotBeWritten)
{
    TempFolder temp;
    const auto inMissingFolder = temp.getFile ("missing").getChildFile ("x.xml");
    auto result = AtomicFileWriter::writeText (inMissingFolder, "x");
    EXPECT_TRUE (result.failed());
    EXPECT_TRUE (result.getErrorMessage().contains ("x.xml"));
    EXPECT_FALSE (temp.getFile ("missing").exists());

    const auto folderInTheWay = temp.getFile ("taken");
    folderInTheWay.createDirectory();
    resources_testing::writeExactly (folderInTheWay.getChildFile ("inside"), "kept");
    result = AtomicFileWriter::writeText (folderInTheWay, "x");
    EXPECT_TRUE (result.failed());
    EXPECT_EQ (folderInTheWay.getChildFile ("inside").loadFileAsString(), juce::String ("kept"));
    EXPECT_EQ (filesIn (temp.get()), juce::String ("taken"));
}

TEST (AtomicFileWriter, AnUnwritableFolderKeepsTheOldFile)
{
    TempFolder temp;
    const auto target = temp.getFile ("settings.xml");
    resources_testing::writeExactly (target, "old");
    juce::Result result = juce::Result::ok();
    {
        resources_testing::UnwritableFolder locked (temp.get());
        if (!locked.isLocked())
            GTEST_SKIP() << "cannot make a folder unwritable here";
        result = AtomicFileWriter::writeText (target, "new");
    }
    EXPECT_TRUE (result.failed());
    EXPECT_TRUE (result.getErrorMessage().contains (target.getFullPathName()));
    EXPECT_EQ (target.loadFileAsString(), juce::String ("old"));
}
