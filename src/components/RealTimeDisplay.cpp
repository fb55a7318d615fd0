#include "components/RealTimeDisplay.h"

#include "engine/SpinFlag.h"

namespace Components::Modules
{
RealTimeDisplay::RealTimeDisplay()
{
    meteringDisplay.nAddParent (this);
    addAndMakeVisible (spectrumDisplay);
    addAndMakeVisible (meteringDisplay);
}

void RealTimeDisplay::resized()
{
    const int half = static_cast<int> (getWidth() * 0.5 - 1.0);
    spectrumDisplay.setBounds (0, 0, half, getHeight());
    meteringDisplay.setBounds (half + 2, 0, half, getHeight());
}

void RealTimeDisplay::visibilityChanged()
{
    spectrumDisplay.needsRedraw = true;
    if (spectrumDisplay.isVisible())
        spectrumDisplay.startTimer (50);
    else
        spectrumDisplay.stopTimer();
}

void RealTimeDisplay::nComponentCallback (NComponent* sender, int code, void*)
{
    if (sender != &meteringDisplay || code != 911)
        return;
    const SpinFlag::ScopedLock lock (meterBusy);
    loudnessMeter.reset();
}
} // namespace Components::Modules
