#include "components/NavPanelButton.h"

#include <cmath>

namespace Components
{
namespace
{
constexpr float pi = juce::MathConstants<float>::pi;
} // namespace

void NavPanelButton::resized()
{
    centreX = 0.5f * static_cast<float> (getWidth());
    centreY = 0.5f * static_cast<float> (getHeight());
    iconSize = (1.0f - 2.0f * insetRatio) * static_cast<float> (getWidth());
    needsRedraw = true;
}

void NavPanelButton::paint (juce::Graphics& g)
{
    currentColour = hovered ? juce::Colour (0xff96ffff) : juce::Colour (0xff969696);
    g.setColour (currentColour);

    switch (kind)
    {
        case 0:
            paintTriangle (g);
            break;
        case 2:
            paintCog (g);
            break;
        case 1:
        case 3:
            paintDocument (g);
            break;
        default:
            break;
    }

    needsRedraw = false;
}

void NavPanelButton::paintTriangle (juce::Graphics& g) const
{
    const auto e = iconSize / 2.0f;
    juce::Path triangle;
    triangle.addTriangle (centreX - 0.5f * e, centreY + 0.8660254f * e, centreX + e, centreY, centreX - 0.5f * e, centreY - 0.8660254f * e);
    g.fillPath (triangle);
}

void NavPanelButton::paintCog (juce::Graphics& g) const
{
    const auto outer = iconSize / 2.0f;
    const auto inner = 0.6666f * outer;
    const auto hub = 0.6666f * inner;
    const auto thickness = iconSize / 20.0f;

    // Angles run from the downward vertical.
    const auto at = [this] (float radius, float angle)
    { return juce::Point<float> (centreX + radius * std::sin (angle), centreY + radius * std::cos (angle)); };

    const auto line = [&g, thickness] (juce::Point<float> a, juce::Point<float> b) { g.drawLine ({a, b}, thickness); };

    for (int i = 0; i < 8; ++i)
    {
        const auto theta = static_cast<float> (i) * pi / 4.0f;
        const auto a0 = theta - pi / 16.0f;
        const auto a1 = theta + pi / 16.0f;
        const auto a2 = theta + 3.0f * pi / 16.0f;

        line (at (outer, a0), at (outer, a1));
        line (at (outer, a1), at (inner, a1));
        line (at (inner, a1), at (inner, a2));
        line (at (inner, a2), at (outer, a2));
    }

    for (int k = 0; k < 16; ++k)
        line (at (hub, static_cast<float> (k) * pi / 8.0f), at (hub, static_cast<float> (k + 1) * pi / 8.0f));
}

void NavPanelButton::paintDocument (juce::Graphics& g) const
{
    const auto d = iconSize / 8.0f;
    const auto thickness = iconSize / 20.0f;
    const auto cx = centreX;
    const auto cy = centreY;

    g.drawLine (cx - 3 * d, cy - 4 * d, cx + d, cy - 4 * d, thickness);
    g.drawLine (cx + d, cy - 4 * d, cx + 3 * d, cy - 2 * d, thickness);
    g.drawLine (cx + 3 * d, cy - 2 * d, cx + 3 * d, cy + 4 * d, thickness);
    g.drawLine (cx + 3 * d, cy + 4 * d, cx - 3 * d, cy + 4 * d, thickness);
    g.drawLine (cx - 3 * d, cy + 4 * d, cx - 3 * d, cy - 4 * d, thickness);

    juce::Path corner;
    corner.addTriangle (cx + d, cy - 4 * d, cx + 3 * d, cy - 2 * d, cx + d, cy - 2 * d);
    g.fillPath (corner);
}

void NavPanelButton::mouseEnter (const juce::MouseEvent&)
{
    needsRedraw = true;
    hovered = true;
    setMouseCursor (juce::MouseCursor::PointingHandCursor);
    repaint();
}

void NavPanelButton::mouseExit (const juce::MouseEvent&)
{
    needsRedraw = true;
    hovered = false;
    setMouseCursor (juce::MouseCursor::NormalCursor);
    repaint();
}

void NavPanelButton::mouseDown (const juce::MouseEvent&)
{
    if (parent != nullptr)
        parent->nComponentCallback (this, kind, nullptr);
}
} // namespace Components
