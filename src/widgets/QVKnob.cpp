#include "widgets/QVKnob.h"

#include <cmath>

namespace
{
// The sweep covers 270 degrees, from -135 (value 0) to +135 (value 1), with 0
// pointing straight up and clockwise positive.
constexpr double sweepRadians = 4.7123889803850005;
constexpr double pixelsPerRange = 200.0;
} // namespace

QVKnob::QVKnob (float scaleToUse) : scale (scaleToUse)
{
    const auto side = static_cast<int> (50.0f * scale);
    setSize (side, side);
}

void QVKnob::snapToInterval() noexcept
{
    // A zero, negative or non-finite step would turn the value into NaN; such
    // a knob is simply not quantised.
    if (!(interval > 0.0f) || !std::isfinite (interval))
        return;

    value = static_cast<float> (std::round (static_cast<double> (value) * (1.0 / static_cast<double> (interval)))
                                * static_cast<double> (interval));
}

void QVKnob::setDefaultValue (float v)
{
    // A NaN would pass any clamp; an empty range has no position to map to.
    // Both land the knob at its left end.
    if (std::isnan (v) || !(maximum > minimum))
    {
        value = 0.0f;
    }
    else
    {
        const auto clamped = juce::jlimit (minimum, maximum, v);
        value = (clamped - minimum) / (maximum - minimum);
        snapToInterval();
    }

    repaint();
}

void QVKnob::mouseDown (const juce::MouseEvent&) { dragStartValue = value; }

void QVKnob::mouseDrag (const juce::MouseEvent& e)
{
    const auto dx = e.getDistanceFromDragStartX();
    const auto dy = e.getDistanceFromDragStartY();

    value = static_cast<float> (static_cast<double> (dragStartValue) - dy / pixelsPerRange);
    value = static_cast<float> (static_cast<double> (value) + dx / pixelsPerRange);

    // Snap first, then clamp: the ends stay reachable whatever the step.
    snapToInterval();
    value = juce::jlimit (0.0f, 1.0f, value);

    repaint();

    if (listener != nullptr)
        listener->qvKnobValueChanged (this);
}

void QVKnob::mouseEnter (const juce::MouseEvent&)
{
    if (isEnabled())
        setMouseCursor (juce::MouseCursor::PointingHandCursor);
}

void QVKnob::mouseExit (const juce::MouseEvent&) { setMouseCursor (juce::MouseCursor::NormalCursor); }

float QVKnob::pointerAngle() const noexcept { return static_cast<float> ((static_cast<double> (value) - 0.5) * sweepRadians); }

void QVKnob::paint (juce::Graphics& g)
{
    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());
    const auto cx = static_cast<float> (getWidth() / 2);
    const auto cy = static_cast<float> (getHeight() / 2);

    g.setColour (rimColour);
    g.fillEllipse (0.0f, 0.0f, w, h);

    const auto inset = (bodyRadius - pointerOuterRadius) * scale;
    g.setColour (faceColour);
    g.fillEllipse (inset, inset, w - 2.0f * inset, h - 2.0f * inset);

    const auto rOuter = pointerOuterRadius * scale;
    const auto rInner = pointerInnerRatio * rOuter;
    const auto angle = pointerAngle();
    const auto s = std::sin (angle);
    const auto c = std::cos (angle);

    g.setColour (pointerColour);
    g.drawLine (cx + rInner * s, cy - rInner * c, cx + rOuter * s, cy - rOuter * c, pointerThickness);
}
