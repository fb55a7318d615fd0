#include "scenes/InstructionOverlayComponent.h"

InstructionOverlayComponent::InstructionOverlayComponent (juce::String textToShow) : text (std::move (textToShow)) {}

void InstructionOverlayComponent::paint (juce::Graphics& g)
{
    g.setColour (textColour);
    g.setFont (14.0f);
    g.drawText (text, getLocalBounds(), juce::Justification::centred, true);
}

void InstructionOverlayComponent::resized() { repaint(); }
