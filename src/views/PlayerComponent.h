#pragma once

#include "audio/PlaybackState.h"
#include "engine/IProcessor.h"
#include "widgets/QVButton.h"
#include "widgets/QVButtonListener.h"
#include "widgets/QVKnob.h"
#include "widgets/QVKnobListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

class UserFeedbackComponent;

/** The transport strip: PLAY (play / pause), A and B, and the volume knob.
    It carries the playback state that the audio engine reads on every block.

    A and B mean different things per mode: in process mode they choose what
    is heard (A the loaded source, B the offline result); in real-time mode
    they switch the real-time chain out (A) or in (B). Everything here runs on
    the message thread; buffer switches go through the player flag. */
class PlayerComponent : public juce::Component, public QVKnobListener, public QVButtonListener, public PlaybackState
{
public:
    PlayerComponent();
    ~PlayerComponent() override;

    void qvKnobValueChanged (QVKnob* knob) override;
    void qvButtonPressed (QVButton* button) override;

    /** Silence: stopped, no buffer, position 0, all three buttons off and
        disabled. Called before a file loads. */
    void stopAll();

    std::shared_ptr<IProcessor> processor;
    QVKnob volumeKnob{0.6f};
    QVButton playButton;
    QVButton aButton;
    QVButton bButton;

    /** The main scene's read-out for the volume and chain texts; not owned. */
    UserFeedbackComponent* feedback = nullptr;
    /** Asks the main scene to refresh its view after the current buffer or
        the chain changed. */
    std::function<void()> onViewChanged;

private:
    void pressPlay();
    void choose (QVButton& chosen, QVButton& other);
    void showFeedback (const juce::String& text);
    void viewChanged();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PlayerComponent)
};
