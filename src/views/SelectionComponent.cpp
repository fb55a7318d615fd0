#include "views/SelectionComponent.h"

#include <iostream>

void SelectionComponent::update (double a, double b, bool)
{
    start = std::min (a, b);
    end = std::max (a, b);
    std::cout << start << " : " << end << std::endl;
    setVisible (true);
    repaint();
}

void SelectionComponent::paint (juce::Graphics& g)
{
    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());
    const auto x0 = static_cast<float> (start) * w;
    const auto x1 = static_cast<float> (end) * w;
    g.setColour (outsideColour);
    g.fillRect (0.0f, 0.0f, x0, h);
    g.fillRect (x1, 0.0f, w - x1, h);
    g.setColour (insideColour);
    g.fillRect (x0, 0.0f, x1 - x0, h);
}

void SelectionComponent::mouseDown (const juce::MouseEvent&)
{
    if (isVisible() && onRemoveRequested)
        onRemoveRequested();
}
