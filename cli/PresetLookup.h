#pragma once

#include "engine/Preset.h"

#include <juce_core/juce_core.h>

#include <optional>
#include <vector>

/** The presets `quorvel-render --preset` chooses from: the list the app shows,
    read from the user's presets file, with the factory presets standing in
    for any that file lacks (it may be missing, unreadable or hand-edited).
    Reading never creates or changes a file. */
class PresetLookup
{
public:
    /** Reads the factory presets and, if it exists, `userPresetsFile`. */
    explicit PresetLookup (const juce::File& userPresetsFile);

    /** The presets file in the user's data folder. */
    static juce::File userPresetsFile();

    /** The first preset of that name, exactly as written. */
    std::optional<Preset> find (const juce::String& name) const;

    /** Every name, in the order searched. */
    juce::StringArray names() const;

    /** The name used without --preset: the first factory preset's. */
    const juce::String& defaultName() const noexcept { return firstFactoryName; }

    /** True when the user's presets file exists but no preset could be read from it. */
    bool userFileGaveNothing() const noexcept { return gaveNothing; }

private:
    std::vector<Preset> presets;
    juce::String firstFactoryName;
    bool gaveNothing = false;
};
