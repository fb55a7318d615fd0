#include "resources/Palette.h"

namespace Resources
{
const juce::Colour BackgroundClr (0xff2e3138);
const juce::Colour PanelLight (0xff454954);
const juce::Colour PanelDark (0xff222328);
const juce::Colour Blue (0xff4a61af);
const juce::Colour Orange (0xffeb5018);
const juce::Colour Purple (0xffba60c0);
const juce::Colour Green (0xff91bf16);
} // namespace Resources
