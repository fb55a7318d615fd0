#include "components/NButton.h"

namespace Components
{
juce::String NButton::getTooltip() { return isEnabled() ? tooltip : disabledTooltip; }

void NButton::callback()
{
    if (parent != nullptr && isEnabled())
        parent->nComponentCallback (this, 0, nullptr);
}

void NButton::updateState()
{
    if (!isEnabled())
    {
        currentBackground = backgroundDisabled;
        currentBorder = borderDisabled;
        currentText = textDisabled;
    }
    else if (selected)
    {
        currentBackground = backgroundSelected;
        currentBorder = borderSelected;
        currentText = textSelected;
    }
    else if (hovered && hoverHighlight)
    {
        currentBackground = backgroundHover;
        currentBorder = borderNormal;
        currentText = textHover;
    }
    else
    {
        currentBackground = backgroundNormal;
        currentBorder = borderNormal;
        currentText = textNormal;
    }

    needsRedraw = true;
    repaint();
}

void NButton::paint (juce::Graphics& g)
{
    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());
    const auto t = borderThickness;

    if (t > 0.0f)
    {
        g.setColour (selected ? borderSelected : currentBorder);
        g.drawRect (juce::Rectangle<float> (0.0f, 0.0f, w, h), 2.0f);
    }

    g.setColour (currentBackground);
    g.fillRect (t, t, w - 2.0f * t, h - 2.0f * t);

    g.setFont (11.0f);
    g.setColour (currentText);
    g.drawText (juce::String::fromUTF8 (text.c_str()), getLocalBounds(), juce::Justification::centred, true);

    needsRedraw = false;
}

void NButton::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
    updateState();
}

void NButton::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    setMouseCursor (juce::MouseCursor::NormalCursor);
    updateState();
}

void NButton::mouseDown (const juce::MouseEvent&)
{
    callback();
    updateState();
}
} // namespace Components
