#include "scenes/UserFeedbackComponent.h"

UserFeedbackComponent::UserFeedbackComponent()
{
    addAndMakeVisible (area);
    area.setBounds (static_cast<int> (boxMargin), static_cast<int> (boxMargin), static_cast<int> (boxWidth), static_cast<int> (boxHeight));
    area.setAlpha (0.0f);

    // The read-out lies over the controls; clicks must reach them.
    setInterceptsMouseClicks (false, false);

    startTimer (25);
}

UserFeedbackComponent::~UserFeedbackComponent() { stopTimer(); }

void UserFeedbackComponent::show (const juce::String& text, int cornerToUse)
{
    area.text = text;
    corner = cornerToUse;
    level = startLevel;
    area.repaint();
    repaint();
}

juce::Rectangle<int> UserFeedbackComponent::getAreaBounds() const
{
    const auto W = static_cast<double> (getWidth());
    const auto H = static_cast<double> (getHeight());
    const auto m = boxMargin;
    const auto w = boxWidth;
    const auto h = boxHeight;

    const auto right = corner == 1 || corner == 3;
    const auto bottom = corner == 2 || corner == 3;

    const auto x = right ? W - m - w : m;
    const auto y = bottom ? H - m - h : m;

    return {static_cast<int> (x), static_cast<int> (y), static_cast<int> (w), static_cast<int> (h)};
}

void UserFeedbackComponent::paint (juce::Graphics&)
{
    // Placed on every repaint, so a writer only has to set `corner` and repaint.
    area.setBounds (getAreaBounds());
}

void UserFeedbackComponent::timerCallback()
{
    level = juce::jmax (0.0, level - fadeStep);
    const auto opacity = static_cast<float> (juce::jmin (1.0, level));

    // The component stores opacity in 8 bits and only repaints on a change.
    if (opacity != area.getAlpha())
        area.setAlpha (opacity);
}
