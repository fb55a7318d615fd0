#include "components/NToggle.h"

namespace Components
{
void NToggle::setValue (bool v)
{
    value = v;
    repaint();
}

void NToggle::paint (juce::Graphics& g)
{
    needsRedraw = false;

    const auto w = getWidth();
    const auto h = getHeight();

    // The track needs room for its round ends.
    if (w <= h)
        return;

    g.setColour (isEnabled() ? juce::Colour (0xffffffff) : juce::Colour (0xff646464));
    g.drawRoundedRectangle (getLocalBounds().toFloat(), static_cast<float> (h / 2), 1.0f);

    const auto d = static_cast<float> (h - 4);
    const auto x = value ? static_cast<float> (w) - d - 2.0f : 2.0f;
    g.fillEllipse (x, 2.0f, d, d);
}

void NToggle::resized() { repaint(); }

void NToggle::enablementChanged() { repaint(); }

void NToggle::mouseEnter (const juce::MouseEvent&) { setMouseCursor (juce::MouseCursor::PointingHandCursor); }

void NToggle::mouseExit (const juce::MouseEvent&) { setMouseCursor (juce::MouseCursor::NormalCursor); }

void NToggle::mouseDown (const juce::MouseEvent&)
{
    if (parent != nullptr && isEnabled())
        parent->nComponentCallback (this, id, nullptr);
}
} // namespace Components
