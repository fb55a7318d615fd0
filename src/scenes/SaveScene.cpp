#include "scenes/SaveScene.h"

#include "resources/Palette.h"

namespace
{
constexpr int columnX = 300;
constexpr int columnTop = 100;
const juce::String errorTitle ("Save error");

void setUpLabel (juce::Label& label, const juce::String& text)
{
    label.setText (text, juce::dontSendNotification);
    label.setEditable (false);
}

void setUpButton (QVButton& button, const char* text, QVButtonListener* listener, bool selected)
{
    button.text = text;
    button.listener = listener;
    button.selected = selected;
    button.updateState();
}
} // namespace

SaveScene::SaveScene()
{
    setUpLabel (bitDepthLabel, "Target bitrate:");
    setUpLabel (fileTypeLabel, "Target file type:");
    setUpLabel (ditherLabel, "Target dithering:");

    setUpButton (bits16Button, "16bit", this, true);
    setUpButton (bits24Button, "24bit", this, false);
    setUpButton (bits32Button, "32bit", this, false);
    setUpButton (wavButton, ".wav", this, true);
    setUpButton (aiffButton, ".aiff", this, false);

    ditherBox.addItem ("None", Ditherer::none);
    ditherBox.addItem ("Rectangular", Ditherer::rectangular);
    ditherBox.addItem ("Triangular", Ditherer::triangular);
    ditherBox.addItem ("POW-r2", Ditherer::powR2);
    ditherBox.setSelectedId (Ditherer::none, juce::dontSendNotification);

    saveButton.text = "SAVE";
    saveButton.backgroundNormal = Resources::Blue;
    saveButton.borderThickness = 0.0f;
    saveButton.listener = this;
    saveButton.updateState();

    closeButton.listener = this;

    addAndMakeVisible (bitDepthLabel);
    addAndMakeVisible (bits16Button);
    addAndMakeVisible (bits24Button);
    addAndMakeVisible (bits32Button);
    addAndMakeVisible (fileTypeLabel);
    addAndMakeVisible (wavButton);
    addAndMakeVisible (aiffButton);
    addAndMakeVisible (ditherLabel);
    addAndMakeVisible (ditherBox);
    addAndMakeVisible (saveButton);
    addAndMakeVisible (closeButton);

    setVisible (false);
}

void SaveScene::setProcessor (std::shared_ptr<IProcessor> newProcessor) { processor = std::move (newProcessor); }

Exporter::Options SaveScene::chosenOptions() const
{
    Exporter::Options options;
    options.bitDepth = bitDepth;
    options.fileType = fileType;

    const int id = ditherBox.getSelectedId();
    if (bitDepth != 32 && id >= Ditherer::none && id <= Ditherer::powR2)
        options.dither = static_cast<Ditherer::Type> (id);
    return options;
}

void SaveScene::paint (juce::Graphics& g) { g.fillAll (backgroundColour); }

void SaveScene::resized()
{
    const int labelWidth = juce::jmax (0, getWidth() - 600);

    // Rows share what height is left below the top and above a 100 px bottom
    // margin; on a short scene the later rows get less, then nothing.
    int room = juce::jmax (0, getHeight() - 200);
    int y = columnTop;
    struct Row
    {
        int top, height;
    };
    const auto nextRow = [&room, &y] (int nominal)
    {
        const Row row { y, juce::jmin (nominal, room) };
        room -= row.height;
        y += row.height;
        return row;
    };

    closeButton.setBounds (getWidth() - 52, 20, 32, 32);

    const auto bitsTitle = nextRow (30);
    bitDepthLabel.setBounds (columnX, bitsTitle.top, labelWidth, bitsTitle.height);
    const auto bitsRow = nextRow (25);
    bits16Button.setBounds (columnX, bitsRow.top, 100, 25);
    bits24Button.setBounds (columnX + 105, bitsRow.top, 100, 25);
    bits32Button.setBounds (columnX + 210, bitsRow.top, 100, 25);
    nextRow (20);

    const auto ditherTitle = nextRow (30);
    ditherLabel.setBounds (columnX, ditherTitle.top, labelWidth, ditherTitle.height);
    ditherBox.setBounds (columnX, nextRow (25).top, 160, 25);
    nextRow (20);

    const auto typeTitle = nextRow (30);
    fileTypeLabel.setBounds (columnX, typeTitle.top, labelWidth, typeTitle.height);
    const auto typeRow = nextRow (25);
    wavButton.setBounds (columnX, typeRow.top, 100, 25);
    aiffButton.setBounds (columnX + 105, typeRow.top, 100, 25);
    nextRow (25);

    saveButton.setBounds (columnX, y, 100, 30);
}

void SaveScene::mouseEnter (const juce::MouseEvent&) {}

void SaveScene::mouseExit (const juce::MouseEvent&) {}

void SaveScene::mouseDown (const juce::MouseEvent& e)
{
    if (e.originalComponent == this && isEnabled() && isVisible())
        close();
}

void SaveScene::qvButtonPressed (QVButton* button)
{
    if (button == &bits16Button || button == &bits24Button || button == &bits32Button)
    {
        bitDepth = button == &bits16Button ? 16 : (button == &bits24Button ? 24 : 32);
        bits16Button.setSelected (bitDepth == 16);
        bits24Button.setSelected (bitDepth == 24);
        bits32Button.setSelected (bitDepth == 32);
        // 32 bits is written as float: there is nothing to dither.
        ditherBox.setEnabled (bitDepth != 32);
    }
    else if (button == &wavButton || button == &aiffButton)
    {
        fileType = button == &wavButton ? "wav" : "aiff";
        wavButton.setSelected (fileType == "wav");
        aiffButton.setSelected (fileType == "aiff");
    }

    for (auto* option : { &bits16Button, &bits24Button, &bits32Button, &wavButton, &aiffButton })
        option->updateState();

    if (button == &saveButton)
        save();
}

void SaveScene::qvCloseButtonPressed (QVCloseButton* button)
{
    if (button == &closeButton && isEnabled() && isVisible())
        close();
}

void SaveScene::save()
{
    if (!saveButton.isEnabled() || processor == nullptr)
        return;

    const auto options = chosenOptions();

    // Refused before the dialog, so the user never picks a file for nothing.
    if (const auto allowed = Exporter::checkOptions (options); allowed.failed())
    {
        showMessage (errorTitle, allowed.getErrorMessage());
        endSaveButtonPress();
        return;
    }

    const auto suggested = Exporter::suggestedFile (*processor, options.fileType);
    const auto target = chooseFile ("Save as", suggested, "*." + options.fileType);
    if (target == juce::File())
    {
        endSaveButtonPress();
        return;
    }

    if (const auto written = Exporter::exportResult (*processor, target, options); written.failed())
    {
        // The panel stays open so the user can choose another place.
        showMessage (errorTitle, written.getErrorMessage());
        endSaveButtonPress();
        return;
    }

    endSaveButtonPress();
    close();
}

void SaveScene::close()
{
    setVisible (false);
    if (levelMeters != nullptr)
        levelMeters->needsRedraw = true;
}

void SaveScene::endSaveButtonPress()
{
    saveButton.setSelected (false);
    saveButton.updateState();
}

juce::File SaveScene::askForFile (const juce::String& title, const juce::File& suggested, const juce::String& filter)
{
    juce::FileChooser chooser (title, suggested, filter);
    if (!chooser.browseForFileToSave (true))
        return {};
    return chooser.getResult();
}

void SaveScene::showMessageBox (const juce::String& title, const juce::String& message)
{
    juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::WarningIcon, title, message);
}
