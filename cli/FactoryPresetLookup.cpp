#include "FactoryPresetLookup.h"

#include "engine/ProcessorTypeI.h"
#include "resources/Paths.h"
#include "resources/Presets.h"

#include <vector>

namespace
{
/** The factory presets as the program's own presets reader reads them from
    the compiled-in factory document. The reader creates a missing presets
    file from that document, so it is pointed at a fresh file in a scratch
    location: the user's presets file is never read or touched. */
std::vector<Preset> readFactoryPresets()
{
    const juce::TemporaryFile scratch (".xml");
    const auto previousPath = Resources::AppPresetsFilePath;
    Resources::AppPresetsFilePath = scratch.getFile().getFullPathName();

    ProcessorTypeI reader;
    Resources::ReadPresets (reader);

    Resources::AppPresetsFilePath = previousPath;
    return reader.presets;
}

const std::vector<Preset>& factoryPresets()
{
    static const std::vector<Preset> list = readFactoryPresets();
    return list;
}
} // namespace

namespace FactoryPresetLookup
{
std::optional<Preset> find (const juce::String& name)
{
    for (const auto& preset : factoryPresets())
        if (preset.name == name)
            return preset;
    return std::nullopt;
}

juce::StringArray names()
{
    juce::StringArray out;
    for (const auto& preset : factoryPresets())
        out.add (preset.name);
    return out;
}
} // namespace FactoryPresetLookup
