#include "resources/Paths.h"

#include "resources/Settings.h"

namespace Resources
{
juce::String AppDataDirectory;
juce::String AppPresetsFilePath;
juce::String AppSettingsFilePath;

namespace
{
juce::File& overriddenFolder()
{
    static juce::File folder;
    return folder;
}
} // namespace

juce::File UserApplicationDataFolder()
{
    if (overriddenFolder() != juce::File())
        return overriddenFolder();
    return juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
}

void OverrideUserApplicationDataFolder (const juce::File& folder) { overriddenFolder() = folder; }

void SetDataFolderPaths()
{
    AppDataDirectory = UserApplicationDataFolder().getFullPathName() + "/Stelvane/Quorvel/";
    AppPresetsFilePath = AppDataDirectory + "presets.2.xml";
    AppSettingsFilePath = AppDataDirectory + "settings.xml";
}

void SetUpDataFolder()
{
    SetDataFolderPaths();

    const juce::File folder (AppDataDirectory);
    if (!folder.isDirectory())
        folder.createDirectory();

    fftRenderEngine = "gpu";
}
} // namespace Resources
