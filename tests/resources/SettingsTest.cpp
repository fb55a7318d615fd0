#include "resources/Settings.h"
#include "resources/Paths.h"
#include "resources/ResourcesTestSupport.h"

#include <gtest/gtest.h>

using resources_testing::DataFolderTest;

namespace
{
class Settings : public DataFolderTest
{
protected:
    /** Writes a settings file, reads it as a start-up would and returns the setting. */
    juce::String readFrom (const juce::String& text)
    {
        resources_testing::writeExactly (settingsFile(), text);
        Resources::SetUpDataFolder();
        Resources::ReadSettings();
        return Resources::fftRenderEngine;
    }
};
} // namespace

TEST_F (Settings, SetUpMakesTheDataFolderAndPathsUnderTheUserFolder)
{
    const auto expected = temp.get().getFullPathName() + "/Stelvane/Quorvel/";
    EXPECT_EQ (Resources::AppDataDirectory, expected);
    EXPECT_EQ (Resources::AppPresetsFilePath, expected + "presets.2.xml");
    EXPECT_EQ (Resources::AppSettingsFilePath, expected + "settings.xml");
    EXPECT_TRUE (temp.getFile ("Stelvane").getChildFile ("Quorvel").isDirectory());
    EXPECT_EQ (resources_testing::filesIn (dataFolder()), juce::String());

    Resources::fftRenderEngine = "software";
    Resources::SetUpDataFolder(); // an existing folder is fine, the setting goes back to its default
    EXPECT_EQ (Resources::fftRenderEngine, juce::String ("gpu"));
}

TEST_F (Settings, WithoutTheOverrideTheFolderIsTheSystemsUserFolder)
{
    Resources::OverrideUserApplicationDataFolder (juce::File());
    EXPECT_EQ (Resources::UserApplicationDataFolder(), juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory));
}

TEST_F (Settings, FileTextsForEachValue)
{
    struct Case
    {
        const char* value;
        const char* text;
    };
    for (const auto& c : {Case{"gpu", "<xml>\n<fftRenderEngine>gpu</fftRenderEngine>\n</xml>"},
                          Case{"software", "<xml>\n<fftRenderEngine>software</fftRenderEngine>\n</xml>"}})
    {
        Resources::fftRenderEngine = c.value;
        Resources::settingsChanged = true;
        ASSERT_TRUE (Resources::SaveSettings().wasOk());
        EXPECT_EQ (settingsFile().loadFileAsString(), juce::String (c.text));
        EXPECT_EQ (readFrom (settingsFile().loadFileAsString()), juce::String (c.value));
    }
}

TEST_F (Settings, NothingIsWrittenUnlessASettingChanged)
{
    Resources::fftRenderEngine = "software";
    ASSERT_TRUE (Resources::SaveSettings().wasOk());
    EXPECT_FALSE (settingsFile().exists());

    const juce::String odd = "<xml>\n<fftRenderEngine>GPU</fftRenderEngine>\n</xml>  ";
    resources_testing::writeExactly (settingsFile(), odd);
    ASSERT_TRUE (Resources::SaveSettings().wasOk());
    EXPECT_EQ (settingsFile().loadFileAsString(), odd);
}

TEST_F (Settings, ReadingTakesTheTextAsItIs)
{
    struct Case
    {
        const char* file;
        const char* expected;
    };
    const Case cases[] = {
        {"<xml>\n<FFTRENDERENGINE>software</FFTRENDERENGINE>\n</xml>", "software"}, // tag case ignored
        {"<settings><fftRenderEngine>GPU</fftRenderEngine></settings>", "GPU"},     // value kept, unchecked
        {"<xml><fftRenderEngine> software </fftRenderEngine></xml>", " software "},
        {"<xml><fftRenderEngine>soft<b>ware</b></fftRenderEngine></xml>", "software"},
        {"<xml><fftRenderEngine></fftRenderEngine></xml>", ""},
        {"<xml><other>software</other></xml>", "gpu"}, // no element: the default stays
        {"<xml><fftRenderEngine>software", "gpu"},     // not XML: the default stays
        {"", "gpu"},
    };
    for (const auto& c : cases)
        EXPECT_EQ (readFrom (c.file), juce::String (c.expected)) << c.file;

    settingsFile().deleteFile();
    Resources::SetUpDataFolder();
    Resources::ReadSettings();
    EXPECT_EQ (Resources::fftRenderEngine, juce::String ("gpu"));
}

TEST_F (Settings, AFailedWriteKeepsTheOldFileAndSaysWhy)
{
    const juce::String old = "<xml>\n<fftRenderEngine>gpu</fftRenderEngine>\n</xml>";
    resources_testing::writeExactly (settingsFile(), old);
    Resources::fftRenderEngine = "software";
    Resources::settingsChanged = true;

    resources_testing::UnwritableFolder locked (dataFolder());
    if (!locked.isLocked())
        GTEST_SKIP() << "cannot make a folder unwritable here";
    const auto result = Resources::SaveSettings();
    EXPECT_TRUE (result.failed());
    EXPECT_TRUE (result.getErrorMessage().contains ("settings.xml")) << result.getErrorMessage();
    EXPECT_EQ (settingsFile().loadFileAsString(), old);
}
