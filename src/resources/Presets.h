#pragma once

#include "engine/IProcessor.h"

#include <juce_core/juce_core.h>

#include <memory>

/** The presets file: the factory document compiled into the program, the
    reader run at start-up and the writer run after every add or erase.
    Message thread only. */
namespace Resources
{
/** The factory presets, exactly as the presets file is first created. */
extern const juce::String XmlPresets;

/** Version text carried by new user presets; not the application's version. */
extern const juce::String Version;

/** Name given to a copy of a presets file that could not be read, made before
    anything is written over it; "<name>.2", "<name>.3"... if it exists. */
extern const char* const UnreadablePresetsSuffix;

/** Start-up step: creates the presets file from XmlPresets if it is missing,
    then replaces the processor's presets with every preset in the file.
    Missing or unusable values take the reader's defaults: ceiling -0.33 dB
    (and always within -6..0), true peak off, the others as in Preset. A file
    that cannot be parsed gives an empty list and is left as it is; if the
    file cannot be created, the factory presets are read from memory. */
void ReadPresets (IProcessor& processor);

/** Writes the processor's whole preset list, replacing the file. If the file
    there now cannot be read as presets, it is first copied aside (see
    UnreadablePresetsSuffix); if that copy fails, nothing is written. */
juce::Result SavePresets (const std::shared_ptr<IProcessor>& processor);

/** The text SavePresets writes for a list. */
std::string PresetsText (const IProcessor& processor);
} // namespace Resources
