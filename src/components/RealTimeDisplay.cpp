#include "components/RealTimeDisplay.h"

namespace Components::Modules
{
RealTimeDisplay::RealTimeDisplay()
{
    addAndMakeVisible (spectrumDisplay);
    addAndMakeVisible (meteringDisplay);
}

void RealTimeDisplay::resized()
{
    const int half = static_cast<int> (getWidth() * 0.5 - 1.0);
    spectrumDisplay.setBounds (0, 0, half, getHeight());
    meteringDisplay.setBounds (half + 2, 0, half, getHeight());
}
} // namespace Components::Modules
