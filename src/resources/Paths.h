#pragma once

#include <juce_core/juce_core.h>

/** Where the program keeps its files: one per-user data folder holding the
    presets file and the settings file. Set up once at start-up on the message
    thread; read from the message thread only. */
namespace Resources
{
/** The data folder's full path, ending with a separator. */
extern juce::String AppDataDirectory;
/** AppDataDirectory + "presets.2.xml". */
extern juce::String AppPresetsFilePath;
/** AppDataDirectory + "settings.xml". */
extern juce::String AppSettingsFilePath;

/** The user application-data folder as the system reports it, or the folder
    given to OverrideUserApplicationDataFolder. */
juce::File UserApplicationDataFolder();

/** Makes the set-up use `folder` in place of the user's application-data
    folder, so tests never touch the real one. An empty File restores it. */
void OverrideUserApplicationDataFolder (const juce::File& folder);

/** Sets the three paths as SetUpDataFolder does, without creating anything
    or touching the settings: for tools that only read the user's files. */
void SetDataFolderPaths();

/** Start-up step: sets the three paths, creates the data folder if it is
    missing (a failure shows later as missing files and failed writes) and
    resets the render-engine setting to "gpu". */
void SetUpDataFolder();
} // namespace Resources
