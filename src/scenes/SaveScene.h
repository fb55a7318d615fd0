#pragma once

#include "components/NComponent.h"
#include "engine/IProcessor.h"
#include "resources/Exporter.h"
#include "widgets/QVButton.h"
#include "widgets/QVButtonListener.h"
#include "widgets/QVCloseButton.h"
#include "widgets/QVCloseButtonListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

/** The export panel, shown over the main scene: the user picks a bit depth,
    a dither and a file type, then SAVE asks for a file and writes the
    processor's result through Exporter.

    The owner builds it hidden, gives it the processor with setProcessor() and
    shows it; it hides itself after a completed export, on its close button and
    on a click on its background. The choices last for the program's run.
    Message thread only: the save dialog and the message boxes are modal and
    the file is written inside the button handler. */
class SaveScene : public NComponent, public QVButtonListener, public QVCloseButtonListener
{
public:
    /** Asks for the file to write; an empty File means the user cancelled. */
    using FileChooserFunction =
        std::function<juce::File (const juce::String& title, const juce::File& suggested, const juce::String& filter)>;
    /** Tells the user something went wrong. */
    using MessageFunction = std::function<void (const juce::String& title, const juce::String& message)>;

    SaveScene();
    ~SaveScene() override = default;

    /** The processor whose `processedBuffer` SAVE exports. */
    void setProcessor (std::shared_ptr<IProcessor> newProcessor);
    const std::shared_ptr<IProcessor>& getProcessor() const noexcept { return processor; }

    /** The bit depth, dither and type SAVE would use now. At 32 bits the
        dither box is disabled and no dither is chosen, whatever it shows. */
    Exporter::Options chosenOptions() const;

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    /** A click on the background itself (not on a widget) closes the panel. */
    void mouseDown (const juce::MouseEvent& e) override;

    void qvButtonPressed (QVButton* button) override;
    void qvCloseButtonPressed (QVCloseButton* button) override;

    /** The platform's save dialog: title, suggested path and filter, with a
        warning before an existing file is overwritten. */
    static juce::File askForFile (const juce::String& title, const juce::File& suggested, const juce::String& filter);
    /** A modal warning box. */
    static void showMessageBox (const juce::String& title, const juce::String& message);

    juce::Colour backgroundColour { 0xee272b2e };

    juce::Label bitDepthLabel;
    QVButton bits16Button;
    QVButton bits24Button;
    QVButton bits32Button;
    juce::Label fileTypeLabel;
    QVButton wavButton;
    QVButton aiffButton;
    juce::Label ditherLabel;
    /** Item ids are the Ditherer::Type values; read only when SAVE is pressed. */
    juce::ComboBox ditherBox;
    QVButton saveButton;
    int bitDepth = 16;
    /** "wav" or "aiff", without the dot. */
    juce::String fileType { "wav" };
    QVCloseButton closeButton;

    /** Set by the owner to its level meters, which are flagged for a redraw
        when the panel closes over them; not owned. */
    NComponent* levelMeters = nullptr;

    /** Replaceable so that tests can answer in place of the user. */
    FileChooserFunction chooseFile = askForFile;
    MessageFunction showMessage = showMessageBox;

private:
    void save();
    void close();
    void endSaveButtonPress();

    std::shared_ptr<IProcessor> processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (SaveScene)
};
