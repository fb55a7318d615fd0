#pragma once

#include <juce_graphics/juce_graphics.h>

/** The program's named colours. Compiled in and never written after start-up;
    every scene reads them directly. */
namespace Resources
{
extern const juce::Colour BackgroundClr;
extern const juce::Colour PanelLight;
extern const juce::Colour PanelDark;
extern const juce::Colour Blue;
extern const juce::Colour Orange;
extern const juce::Colour Purple;
extern const juce::Colour Green;
} // namespace Resources
