#include "widgets/QVCloseButton.h"

void QVCloseButton::paint (juce::Graphics& g)
{
    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());
    const auto t = w * strokeRatio;
    const auto cx = static_cast<float> (getWidth() / 2);
    const auto cy = static_cast<float> (getHeight() / 2);
    const auto dx = cx * 0.5f;
    const auto dy = cy * 0.5f;

    if (hovered)
    {
        g.setColour (hoverFillColour);
        g.fillEllipse (0.0f, 0.0f, w, h);
    }

    g.setColour (strokeColour);
    g.drawEllipse (t / 2.0f, t / 2.0f, w - t, h - t, t);
    g.drawLine (cx - dx, cy - dy, cx + dx, cy + dy, t);
    g.drawLine (cx + dx, cy - dy, cx - dx, cy + dy, t);
}

void QVCloseButton::resized() { repaint(); }

void QVCloseButton::mouseEnter (const juce::MouseEvent&)
{
    hovered = true;
    repaint();
}

void QVCloseButton::mouseExit (const juce::MouseEvent&)
{
    hovered = false;
    repaint();
}

void QVCloseButton::mouseDown (const juce::MouseEvent&)
{
    if (listener != nullptr)
        listener->qvCloseButtonPressed (this);
}
