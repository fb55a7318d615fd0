#pragma once

class QVButton;

/** Receives a QVButton's press, on mouse-down. The button forwards presses
    even while disabled: a listener that must ignore them tests isEnabled().
    Owners of several buttons tell them apart by the pointer. */
class QVButtonListener
{
public:
    virtual ~QVButtonListener() = default;
    virtual void qvButtonPressed (QVButton* button) = 0;
};
