#pragma once

class QVKnob;

/** Told on every drag event over a QVKnob, whether or not its value changed.
    Owners of several knobs tell them apart by the pointer. */
class QVKnobListener
{
public:
    virtual ~QVKnobListener() = default;
    virtual void qvKnobValueChanged (QVKnob* knob) = 0;
};
