#pragma once

#include <juce_core/juce_core.h>

/** The one persistent setting, the spectrum display's drawing engine, and the
    settings file that carries it. Message thread only. */
namespace Resources
{
/** "gpu" (OpenGL) or "software"; any other text read from the file is held
    as it is, and every reader compares exactly. */
extern juce::String fftRenderEngine;

/** Raised by the options scene on the first change and never cleared, so the
    file written at exit always holds the final value. */
extern bool settingsChanged;

/** Start-up step, after SetUpDataFolder: takes the render engine from the
    settings file if there is one. A file that cannot be parsed, or that has
    no "fftRenderEngine" element, leaves the setting as it is. */
void ReadSettings();

/** Shut-down step: writes the settings file if settingsChanged is set, and
    otherwise leaves it untouched. The old file survives a failed write. */
juce::Result SaveSettings();
} // namespace Resources
