#include "scenes/ProcessInstructionOverlay.h"

ProcessInstructionOverlay::ProcessInstructionOverlay (juce::String textToShow) : text (std::move (textToShow)) {}

void ProcessInstructionOverlay::paint (juce::Graphics& g)
{
    g.setColour (textColour);
    g.setFont (14.0f);
    g.drawText (text, getLocalBounds(), juce::Justification::centred, true);
}

void ProcessInstructionOverlay::resized() { repaint(); }
