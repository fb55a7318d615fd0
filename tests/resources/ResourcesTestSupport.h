#pragma once

#include "resources/Paths.h"
#include "resources/Settings.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace resources_testing
{
/** Points the data folder at a fresh temporary folder for one test and puts
    every global back afterwards, so no test ever touches the real one. */
class DataFolderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Resources::OverrideUserApplicationDataFolder (temp.get());
        Resources::settingsChanged = false;
        Resources::SetUpDataFolder();
    }

    void TearDown() override
    {
        Resources::OverrideUserApplicationDataFolder (juce::File());
        Resources::AppDataDirectory = {};
        Resources::AppPresetsFilePath = {};
        Resources::AppSettingsFilePath = {};
        Resources::fftRenderEngine = "gpu";
        Resources::settingsChanged = false;
    }

    juce::File dataFolder() const { return juce::File (Resources::AppDataDirectory); }
    juce::File presetsFile() const { return juce::File (Resources::AppPresetsFilePath); }
    juce::File settingsFile() const { return juce::File (Resources::AppSettingsFilePath); }

    testing_support::TempFolder temp;
};

/** Makes a folder unwritable for this process while it lives. As root,
    permission bits do not apply, so the effective user becomes "nobody"
    instead (the folder is owned by root and not writable by others). */
class UnwritableFolder
{
public:
    explicit UnwritableFolder (const juce::File& folderToLock) : folder (folderToLock)
    {
        if (::geteuid() == 0)
        {
            ::chmod (folder.getFullPathName().toRawUTF8(), 0755);
            droppedRoot = ::seteuid (65534) == 0;
        }
        else
        {
            ::chmod (folder.getFullPathName().toRawUTF8(), 0555);
        }
        const auto probe = folder.getChildFile ("probe");
        works = !probe.create().wasOk();
        probe.deleteFile();
    }

    ~UnwritableFolder()
    {
        // Without root back, every later test would run as "nobody".
        if (droppedRoot && ::seteuid (0) != 0)
            std::abort();
        ::chmod (folder.getFullPathName().toRawUTF8(), 0755);
    }

    UnwritableFolder (const UnwritableFolder&) = delete;
    UnwritableFolder& operator= (const UnwritableFolder&) = delete;

    /** False where the folder could not be locked; the test then skips. */
    bool isLocked() const { return works; }

private:
    juce::File folder;
    bool droppedRoot = false;
    bool works = false;
};

/** Writes the text's UTF-8 bytes exactly (replaceWithText would turn line
    feeds into CR LF). */
inline void writeExactly (const juce::File& file, const juce::String& text)
{
    file.replaceWithData (text.toRawUTF8(), text.getNumBytesAsUTF8());
}

/** Names of everything in a folder, hidden files included, sorted. */
inline juce::String filesIn (const juce::File& folder)
{
    juce::StringArray names;
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());
    names.sort (false);
    return names.joinIntoString (",");
}
} // namespace resources_testing
