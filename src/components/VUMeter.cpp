#include "components/VUMeter.h"

#include <cmath>

namespace Components::Console
{
VUMeter::VUMeter (NComponent* logicalParent)
{
    setOpaque (true);
    nAddParent (logicalParent);
}

void VUMeter::nUpdateComponent()
{
    if (level != drawnLevel && level > 1e-5f)
    {
        drawnLevel = level;
        needsRedraw = true;
        repaint();
    }
}

double VUMeter::barScale (float linearLevel) noexcept
{
    if (!(linearLevel > 0.0f))
        return 0.0;
    return std::pow (6.0, 20.0 * std::log10 (static_cast<double> (linearLevel)) * 0.0215);
}

void VUMeter::paint (juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    const double v = barScale (drawnLevel);
    const double under = std::min (v, 1.0);
    const double over = v > 1.0 ? v - 1.0 : 0.0;
    const double c = 0.89 * h;

    // Limited before truncation, so an infinite level fills the bar instead of
    // overflowing the conversion.
    const int green = static_cast<int> (std::min (c * under, static_cast<double> (h)));
    const int orange = static_cast<int> (std::min (c * over, static_cast<double> (h - green)));

    g.setColour (barColour);
    g.fillRect (0, h - green, w, green);
    g.setColour (overColour);
    g.fillRect (0, h - green - orange, w, orange);

    if (1.3888888888888888 - under - over > 0.0)
    {
        g.setColour (backgroundColour);
        g.fillRect (0, 0, w, h - green - orange);
    }
    needsRedraw = false;
}
} // namespace Components::Console
