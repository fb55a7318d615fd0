#pragma once

#include "engine/IProcessor.h"
#include "scenes/IPresetDialogHost.h"
#include "widgets/QVButton.h"
#include "widgets/QVButtonListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The content of the "Save Preset Name" dialog: a name field that starts
    editing by itself and CANCEL. Committing a new name with Return appends a
    user preset built from the current controls to the processor's list,
    announces it to the host, rewrites the presets file and closes the window.

    The scene that saves presets owns the component (at most one: open()
    replaces the previous one); the dialog window only shows it. Message
    thread only. */
class InputDialogComponent : public juce::Component,
                             public QVButtonListener,
                             public juce::Label::Listener,
                             public juce::KeyListener,
                             public juce::Timer
{
public:
    /** Builds the field and CANCEL and starts the 20 ms timer that opens the
        field's editor. */
    InputDialogComponent();
    ~InputDialogComponent() override;

    /** The save action: makes a new dialog in `slot` (deleting the one there),
        hands it the host and the processor, sizes it 300 x 65 and shows it in
        an asynchronous modal "Save Preset Name" window that does not own it. */
    static InputDialogComponent& open (std::unique_ptr<InputDialogComponent>& slot, IPresetDialogHost& host,
                                       std::shared_ptr<IProcessor> processor);

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Opens the name field's editor once, so typing starts at once. */
    void timerCallback() override;
    /** Called when an edit committed a text different from the field's
        previous one: saves it. */
    void labelTextChanged (juce::Label* label) override;
    void qvButtonPressed (QVButton* button) override;
    /** Logs Return; reports every key as handled. */
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;
    using juce::Component::keyPressed;

    /** Appends the preset called `name` and closes the window; an empty name
        only gets a warning and leaves the dialog open. Duplicate names are
        allowed. */
    void savePreset (const juce::String& name);

    /** The warning box; defaults to the framework's blocking message box with
        a warning icon. Replaceable so a test can answer it. */
    std::function<void (const juce::String& title, const juce::String& message)> warn;

    juce::Colour backgroundColour { 0xff000000 };
    juce::Label nameField;
    QVButton cancelButton;
    /** Reads the knobs and is told of the new preset; not owned. */
    IPresetDialogHost* host = nullptr;
    std::shared_ptr<IProcessor> processor;

private:
    /** Ends the modal state of the window showing the dialog, with result 0,
        which closes it. */
    void closeWindow();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (InputDialogComponent)
};
