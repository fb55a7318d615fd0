#include "PresetLookup.h"

#include "engine/ProcessorTypeI.h"
#include "resources/Paths.h"
#include "resources/Presets.h"

namespace
{
/** Runs the program's own presets reader on `file`. The reader creates a
    missing file, so callers hand it only files that exist or scratch ones. */
std::vector<Preset> readPresetsFile (const juce::File& file)
{
    const auto previousPath = Resources::AppPresetsFilePath;
    Resources::AppPresetsFilePath = file.getFullPathName();

    ProcessorTypeI reader;
    Resources::ReadPresets (reader);

    Resources::AppPresetsFilePath = previousPath;
    return reader.presets;
}

/** The factory presets as the reader reads the compiled-in document, through
    a fresh file in a scratch location. */
std::vector<Preset> readFactoryPresets()
{
    const juce::TemporaryFile scratch (".xml");
    return readPresetsFile (scratch.getFile());
}

bool contains (const std::vector<Preset>& list, const juce::String& name)
{
    for (const auto& preset : list)
        if (preset.name == name)
            return true;
    return false;
}
} // namespace

PresetLookup::PresetLookup (const juce::File& userPresetsFile)
{
    if (userPresetsFile.existsAsFile())
    {
        presets = readPresetsFile (userPresetsFile);
        gaveNothing = presets.empty();
    }

    const auto factory = readFactoryPresets();
    if (!factory.empty())
        firstFactoryName = factory.front().name;
    for (const auto& preset : factory)
        if (!contains (presets, preset.name))
            presets.push_back (preset);
}

juce::File PresetLookup::userPresetsFile()
{
    Resources::SetDataFolderPaths();
    return juce::File (Resources::AppPresetsFilePath);
}

std::optional<Preset> PresetLookup::find (const juce::String& name) const
{
    for (const auto& preset : presets)
        if (preset.name == name)
            return preset;
    return std::nullopt;
}

juce::StringArray PresetLookup::names() const
{
    juce::StringArray out;
    for (const auto& preset : presets)
        out.add (preset.name);
    return out;
}
