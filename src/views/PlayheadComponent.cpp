#include "views/PlayheadComponent.h"

void PlayheadComponent::paint (juce::Graphics& g) { g.fillAll (juce::Colour (0xff88ff88)); }
