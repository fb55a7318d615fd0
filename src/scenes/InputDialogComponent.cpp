#include "scenes/InputDialogComponent.h"

#include "resources/Presets.h"

#include <iostream>

InputDialogComponent::InputDialogComponent()
{
    warn = [] (const juce::String& title, const juce::String& message)
    { juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::WarningIcon, title, message); };

    nameField.setEditable (true, false, true);
    nameField.setColour (juce::Label::backgroundColourId, juce::Colour (0xffeeeeee));
    nameField.setColour (juce::Label::textColourId, juce::Colour (0xff000000));
    nameField.setColour (juce::Label::outlineColourId, juce::Colour (0xffffffff));
    nameField.setColour (juce::Label::backgroundWhenEditingColourId, juce::Colour (0xffffffff));
    nameField.setColour (juce::Label::textWhenEditingColourId, juce::Colour (0xff000000));
    nameField.setColour (juce::Label::outlineWhenEditingColourId, juce::Colour (0xffffffff));
    nameField.addListener (this);
    addAndMakeVisible (nameField);

    cancelButton.text = "CANCEL";
    cancelButton.setBounds (5, 30, 80, 25);
    cancelButton.backgroundNormal = juce::Colour (0xff444444);
    cancelButton.borderThickness = 0.0f;
    cancelButton.setEnabled (true);
    cancelButton.listener = this;
    cancelButton.updateState();
    addAndMakeVisible (cancelButton);

    addKeyListener (this);
    startTimer (20);
}

InputDialogComponent::~InputDialogComponent()
{
    stopTimer();
    removeKeyListener (this);
    nameField.removeListener (this);
}

InputDialogComponent& InputDialogComponent::open (std::unique_ptr<InputDialogComponent>& slot, IPresetDialogHost& host,
                                                  std::shared_ptr<IProcessor> processor)
{
    auto dialog = std::make_unique<InputDialogComponent>();
    slot = std::move (dialog);
    slot->host = &host;
    slot->processor = std::move (processor);
    slot->setBounds (0, 20, 300, 65);

    juce::DialogWindow::showDialog ("Save Preset Name", slot.get(), nullptr, juce::Colours::black, true, false, false);
    return *slot;
}

void InputDialogComponent::paint (juce::Graphics& g) { g.fillAll (backgroundColour); }

void InputDialogComponent::resized()
{
    nameField.setBounds (5, 5, getWidth() - 10, 24);
    cancelButton.setBounds ((nameField.getX() + nameField.getWidth()) / 2 - 40, nameField.getBottom() + 5, 80, 25);
}

void InputDialogComponent::timerCallback()
{
    nameField.showEditor();
    stopTimer();
}

void InputDialogComponent::labelTextChanged (juce::Label* label)
{
    if (label == &nameField)
        savePreset (nameField.getText());
}

void InputDialogComponent::qvButtonPressed (QVButton* button)
{
    if (button != &cancelButton)
        return;

    std::cout << "cancel preset btn:" << std::endl;
    closeWindow();
}

bool InputDialogComponent::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    if (key.getKeyCode() == juce::KeyPress::returnKey && !key.getModifiers().isAnyModifierKeyDown())
        std::cout << "enter pressed" << std::endl;

    return true;
}

void InputDialogComponent::savePreset (const juce::String& name)
{
    std::cout << "Saving preset name : " << name.toStdString() << std::endl;

    if (name.isEmpty())
    {
        if (warn)
            warn ("No preset name", "Please enter a valid preset name!");
        return;
    }

    if (host == nullptr || processor == nullptr)
        return;

    const auto knobs = host->presetKnobValues();

    Preset preset;
    preset.name = name;
    preset.version = Resources::Version;
    preset.isProtected = false;
    preset.lowCut = knobs[IProcessor::lowCut];
    preset.lowGain = knobs[IProcessor::lowGain];
    preset.bodyGain = knobs[IProcessor::bodyGain];
    preset.clarity = knobs[IProcessor::clarity];
    preset.brightness = knobs[IProcessor::brightness];
    preset.loudness = knobs[IProcessor::loudness];
    preset.compression = knobs[IProcessor::compression];
    preset.quality = knobs[IProcessor::quality];
    preset.lowCutStereo = knobs[IProcessor::lowCutStereo];
    preset.loudnessRelease = knobs[IProcessor::loudnessRelease];
    preset.ceiling = IProcessor::UserParams[IProcessor::ceiling].load();
    preset.truePeak = IProcessor::UserParams[IProcessor::truePeak].load() > 0.5f;

    processor->presets.push_back (preset);

    host->presetAdded (processor->presetCount);
    ++processor->presetCount;

    // A failed write is not reported: the preset is in the list either way.
    Resources::SavePresets (processor);

    closeWindow();
}

void InputDialogComponent::closeWindow()
{
    if (auto* window = findParentComponentOfClass<juce::DialogWindow>())
        window->exitModalState (0);
}
