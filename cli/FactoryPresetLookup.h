#pragma once

#include "engine/Preset.h"

#include <juce_core/juce_core.h>

#include <optional>

/** Finds a factory preset by its exact name, for `quorvel-render --preset`.
    The one place the tool learns the factory presets. */
namespace FactoryPresetLookup
{
std::optional<Preset> find (const juce::String& name);

/** Every factory preset's name, in list order (the first is the default). */
juce::StringArray names();
} // namespace FactoryPresetLookup
