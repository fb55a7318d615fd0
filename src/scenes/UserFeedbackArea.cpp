#include "scenes/UserFeedbackArea.h"

void UserFeedbackArea::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff666666));
    g.setColour (juce::Colours::white);
    g.setFont (26.0f);
    g.drawText (text, getLocalBounds(), juce::Justification::centred, true);
}
