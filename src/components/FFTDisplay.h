#pragma once

#include "components/AudioGraph.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_opengl/juce_opengl.h>

namespace Components::Modules
{
/** The spectrum of what is heard: a translucent curve of held levels over a
    logarithmic frequency grid from 20 Hz to 20 kHz and a level grid from
    +12 dB to -60 dB.

    The audio engine fills the ring and hands a frame over every 4096 samples;
    the 50 ms timer asks for a repaint only when a frame waits, and the paint
    windows it, transforms it, updates the peak hold (rising at once, falling
    2 dB per frame) and rebuilds the curve. With the render-engine setting
    exactly "gpu" the display is composited through an OpenGL context, and its
    paint then runs on the context's rendering thread. */
class FFTDisplay : public AudioGraph, public juce::Timer
{
public:
    /** Attaches the OpenGL context when the setting is exactly "gpu". */
    explicit FFTDisplay (NComponent* logicalParent = nullptr);
    ~FFTDisplay() override;

    void visibilityChanged() override;
    void paint (juce::Graphics& g) override;
    void resized() override;
    void nUpdateComponent() override {}
    void nComponentCallback (NComponent*, int, void*) override {}
    void timerCallback() override;

    /** True while the context is attached to a component, whether or not its
        native context exists yet (that needs the component on screen; JUCE's
        own isAttached() reports only the latter). */
    bool isOpenGLContextAttached() const noexcept;
    /** Attaches the OpenGL context to the top-most ancestor of the display,
        the first component up its parent chain that has no parent, unless it
        is attached already. Message thread. */
    void attachOpenGLContext();
    /** Detaches the OpenGL context if it is attached, so the display is drawn
        in software from then on. Message thread. */
    void detachOpenGLContext();

    juce::OpenGLContext openGLContext;

private:
    void renderBackground();
    /** Windows and transforms the waiting frame, updates the held levels and
        rebuilds the outline for a display of w x h pixels. */
    void rebuildCurve (float w, float h);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (FFTDisplay)
};
} // namespace Components::Modules
