#pragma once

#include "audio/AudioEngine.h"
#include "components/NComponent.h"
#include "components/NToggle.h"
#include "scenes/UserFeedbackComponent.h"
#include "widgets/QVCloseButton.h"
#include "widgets/QVCloseButtonListener.h"
#include "widgets/QVKnob.h"
#include "widgets/QVKnobLabel.h"
#include "widgets/QVKnobListener.h"

#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The options panel the main scene shows over itself: the output device
    selector, the MONO BASS FREQ and LOUDNESS RELEASE knobs, the spectrum's
    render-engine switch, a close button and the maker's link. It is opaque and
    covers the whole scene. Closing (the button or a click on the background)
    only asks the logical parent, with code 1000; the parent hides the panel.

    The owner wires it up after construction: `parent`, `feedback` (the main
    scene's read-out), `onRenderEngineChanged`, and later the engine through
    installDeviceSelector. Message thread only. */
class OptionsScene : public NComponent, public QVKnobListener, public QVCloseButtonListener
{
public:
    OptionsScene();
    ~OptionsScene() override;

    /** Takes the engine and builds the output device selector on its device
        manager: outputs only (0 to 256 channels, shown as stereo pairs), no
        MIDI lists, advanced options shown. Replaces any earlier selector. */
    void installDeviceSelector (std::shared_ptr<AudioEngine> engineToUse);

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Writes the knob to UserParams and shows its value in the read-out. The
        processor reads the new value the next time it looks. */
    void qvKnobValueChanged (QVKnob* knob) override;
    void qvCloseButtonPressed (QVCloseButton* button) override;
    /** Only the render-engine toggle is listened to, whatever its code. */
    void nComponentCallback (NComponent* sender, int code, void* data) override;

    /** A click on the panel's own background closes it, like the button. */
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseEnter (const juce::MouseEvent&) override {}
    void mouseExit (const juce::MouseEvent&) override {}

    /** Value text of the read-out: v rounded to n decimals (halves away from
        zero), at most six significant digits, no trailing zeros. */
    static juce::String ftos (float value, int decimals);

    /** Called by the render-engine toggle after the setting changed, with true
        for software drawing and false for OpenGL. Its owner attaches or
        detaches the spectrum display's OpenGL context. May be empty. */
    std::function<void (bool software)> onRenderEngineChanged;
    /** Where knob values are shown; not owned, may be null. */
    UserFeedbackComponent* feedback = nullptr;

    juce::Colour backgroundColour { 0xff272b2e };
    /** Declared before the selector: the selector listens to the engine's
        device manager and must go first. */
    std::shared_ptr<AudioEngine> engine;
    std::unique_ptr<juce::AudioDeviceSelectorComponent> deviceSelector;

    QVKnob monoBassKnob { 1.0f };
    QVKnobLabel monoBassLabel;
    juce::Label monoBassDescription;
    QVKnob loudnessReleaseKnob { 1.0f };
    QVKnobLabel loudnessReleaseLabel;
    juce::Label loudnessReleaseDescription;
    juce::Label renderEngineHeading;
    juce::Label gpuLabel;
    juce::Label softwareLabel;
    /** Off (left) is OpenGL, on (right) software drawing. */
    Components::NToggle renderEngineToggle;
    QVCloseButton closeButton;
    juce::Component iconHolder;
    std::unique_ptr<juce::Drawable> iconDrawing;
    juce::HyperlinkButton link;

private:
    void requestClose();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OptionsScene)
};
