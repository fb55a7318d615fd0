#include "widgets/QVButton.h"

void QVButton::updateState()
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
    else if (hovered)
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

    repaint();
}

void QVButton::setSelected (bool shouldBeSelected)
{
    selected = shouldBeSelected;
    repaint();
}

void QVButton::paint (juce::Graphics& g)
{
    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());
    const auto t = borderThickness;

    // A selected button keeps its selected border even while disabled.
    if (t > 0.0f)
    {
        g.setColour (selected ? borderSelected : currentBorder);
        g.fillRect (0.0f, 0.0f, w, h);
    }

    g.setColour (currentBackground);
    g.fillRect (t, t, w - 2.0f * t, h - 2.0f * t);

    g.setFont (11.0f);
    g.setColour (currentText);
    g.drawText (juce::String::fromUTF8 (text.c_str()), getLocalBounds(), juce::Justification::centred, true);
}

void QVButton::resized() { repaint(); }

void QVButton::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;

    if (isEnabled())
        setMouseCursor (juce::MouseCursor::PointingHandCursor);

    updateState();
}

void QVButton::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    setMouseCursor (juce::MouseCursor::NormalCursor);
    updateState();
}

void QVButton::mouseDown (const juce::MouseEvent&)
{
    if (listener != nullptr)
        listener->qvButtonPressed (this);
}
