#include "components/Master.h"

#include "resources/Palette.h"

#include <cmath>

namespace Components::Console
{
Master::Master() : leftMeter (std::make_unique<VUMeter> (this)), rightMeter (std::make_unique<VUMeter> (this))
{
    addAndMakeVisible (*leftMeter);
    addAndMakeVisible (*rightMeter);
}

void Master::resized()
{
    int a = std::max (getWidth() - 40, 0);
    const int b = std::min (a, 2);
    const int c = std::max (getHeight() - 40, 0);
    leftMeter->setBounds (20, 20, b, c);

    a -= b;
    const int e = std::min (a, 2);
    rightMeter->setBounds (20 + b + a - e, 20, e, c);

    scaleX = static_cast<float> (20 + b);
    scaleYPosition = 20.0f;
    scaleWidth = static_cast<float> (a - e);
    scaleHeight = static_cast<float> (c);

    needsRedraw = true;
    repaint();
}

void Master::nUpdateComponent()
{
    if (leftMeter == nullptr || rightMeter == nullptr)
        return;

    if (visualContext != nullptr)
    {
        auto& levels = visualContext->levels;
        leftMeter->level = levels[1].load (std::memory_order_relaxed);
        rightMeter->level = levels[3].load (std::memory_order_relaxed);
        // The audio thread may widen a level between this load and store; the
        // lost peak is at most one block old and the next block restores it.
        for (auto& l : levels)
            l.store (l.load (std::memory_order_relaxed) * 0.69f, std::memory_order_relaxed);
    }

    leftMeter->nUpdateComponent();
    rightMeter->nUpdateComponent();
}

float Master::scaleY (double decibels) const noexcept
{
    const double g = std::pow (6.0, decibels * 0.0215);
    return static_cast<float> (std::max (scaleHeight, 0.0f) - (getHeight() * g * 0.8 - 19.0));
}

void Master::paint (juce::Graphics& g)
{
    g.fillAll (Resources::PanelLight);
    g.setFont (11.0f);

    const float x = scaleX;
    const float w = std::max (scaleWidth, 0.0f);
    const float w2 = std::max (w - 24.0f, 0.0f);

    struct Mark
    {
        double decibels;
        const char* label;
    };
    // -64 dB has a tick but no label; -200 stands for silence.
    static constexpr Mark marks[] = { { 3.0, "3.0" },     { 0.0, "0.0" },     { -3.0, "-3.0" }, { -6.0, "-6.0" },  { -12.0, "-12.0" },
                                      { -24.0, "-24.0" }, { -48.0, "-48.0" }, { -64.0, "" },    { -200.0, "-inf" } };

    for (const auto& mark : marks)
    {
        const float y = scaleY (mark.decibels);
        g.setColour (juce::Colour (0xff808080));
        g.drawLine (x + 12.0f, y, x + 24.0f, y);
        g.drawLine (x + w2, y, x + 12.0f + w2, y);

        if (*mark.label != '\0' && w2 > 24.0f)
        {
            g.setColour (juce::Colours::white);
            g.drawText (mark.label, juce::Rectangle<float> (x + 24.0f, y - 6.0f, w2 - 24.0f, 10.0f), juce::Justification::centred, false);
        }
    }
    needsRedraw = false;
}
} // namespace Components::Console
