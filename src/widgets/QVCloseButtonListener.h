#pragma once

class QVCloseButton;

/** Receives a QVCloseButton's press, on mouse-down. */
class QVCloseButtonListener
{
public:
    virtual ~QVCloseButtonListener() = default;
    virtual void qvCloseButtonPressed (QVCloseButton* button) = 0;
};
