#include "widgets/QVKnobLabel.h"

#include <cmath>

namespace
{
// The knob's 270-degree sweep, in single precision like the tick layout.
constexpr float tickSweepRadians = 4.71238899230957f;
constexpr int tickBoxSize = 20;
} // namespace

void QVKnobLabel::resized()
{
    if (knob == nullptr)
        return;

    setTopLeftPosition (knob->getX() - margin, knob->getY() - margin);
    repaint();
}

void QVKnobLabel::paint (juce::Graphics& g)
{
    if (knob == nullptr)
        return;

    g.setFont (titleFontHeight);
    g.setColour (titleColour);
    g.drawText (juce::String::fromUTF8 (title.c_str()), juce::Rectangle<int> (0, knob->getHeight() + margin, getWidth(), margin),
                juce::Justification::centredBottom, true);

    const auto n = tickCount;

    if (n <= 0)
        return;

    const auto r = static_cast<float> (static_cast<int> (tickGap + static_cast<float> (knob->getWidth() / 2)));
    const auto cx = static_cast<float> (getWidth() / 2);
    const auto cy = static_cast<float> (getHeight() / 2);

    g.setFont (tickFontHeight);
    g.setColour (tickColour);

    // The layout follows tickCount; texts the owner did not supply are skipped.
    const auto available = juce::jmin (n, static_cast<int> (ticks.size()));

    for (int i = 0; i < available; ++i)
    {
        const auto angle = n < 2 ? 0.0f : (static_cast<float> (i) / static_cast<float> (n - 1) - 0.5f) * tickSweepRadians;

        // Texts on the left half grow away from the knob to the left, those
        // on the right half to the right.
        const auto justification = angle < 0.0f   ? juce::Justification::centredRight
                                   : angle > 0.0f ? juce::Justification::centredLeft
                                                  : juce::Justification::centred;

        const auto x = static_cast<int> (cx + r * std::sin (angle) - 10.0f);
        const auto y = static_cast<int> (cy - r * std::cos (angle) - 10.0f);

        g.drawText (juce::String::fromUTF8 (ticks[static_cast<size_t> (i)].c_str()), juce::Rectangle<int> (x, y, tickBoxSize, tickBoxSize),
                    justification, true);
    }
}
