#include "scenes/MainScene.h"

#include "resources/Presets.h"

// Preset selection: the preset list in the header, SAVE and ERASE.

void MainScene::initPresets()
{
    fillPresetBox();
    presetBox.setSelectedId (1, juce::sendNotificationSync);
}

void MainScene::comboBoxChanged (juce::ComboBox* box)
{
    // The rate box is only read when a run starts.
    if (box == &presetBox)
        updatePresetFromListId (presetBox.getSelectedId());
}

void MainScene::setPresetKnob (QVKnob& knob, float value)
{
    // Clamps to the knob's range and snaps to its grid, like a drag would.
    knob.setDefaultValue (value);
    knob.repaint();
}

void MainScene::updatePresetFromListId (int id)
{
    // An empty list (an unreadable presets file) still selects id 1, and an id
    // may outlive an erase: anything outside the list is ignored.
    if (processor == nullptr || id < 1)
        return;
    const auto count = juce::jmin (static_cast<size_t> (juce::jmax (0, processor->presetCount)), processor->presets.size());
    const auto index = static_cast<size_t> (id - 1);
    if (index >= count)
        return;

    const auto p = processor->presets[index];
    const std::array<float, 8> knobValues {
        p.lowCut, p.lowGain, p.bodyGain, p.clarity, p.brightness, p.loudness, p.compression, p.quality
    };
    const auto allKnobs = knobs();
    for (size_t i = 0; i < allKnobs.size(); ++i)
        setPresetKnob (*allKnobs[i], knobValues[i]);
    setPresetKnob (optionsScene.monoBassKnob, p.lowCutStereo);
    setPresetKnob (optionsScene.loudnessReleaseKnob, p.loudnessRelease);
    ceilingSlider.setValue (static_cast<double> (p.ceiling), juce::dontSendNotification);
    truePeakButton.selected = p.truePeak;
    truePeakButton.repaint();
    truePeakButton.updateState();

    for (size_t i = 0; i < allKnobs.size(); ++i)
        IProcessor::UserParams[i] = allKnobs[i]->value;
    IProcessor::UserParams[IProcessor::lowCutStereo] = optionsScene.monoBassKnob.value;
    IProcessor::UserParams[IProcessor::loudnessRelease] = optionsScene.loudnessReleaseKnob.value;
    IProcessor::UserParams[IProcessor::ceiling] = static_cast<float> (ceilingSlider.getValue());
    IProcessor::UserParams[IProcessor::truePeak] = truePeakButton.selected ? 1.0f : 0.0f;

    processor->initRealTimeSettings (player.playBufferSampleRate);
}

std::array<float, 10> MainScene::presetKnobValues() const
{
    return { lowCutKnob.value,
             lowGainKnob.value,
             bodyGainKnob.value,
             clarityKnob.value,
             brightnessKnob.value,
             loudnessKnob.value,
             compressionKnob.value,
             qualityKnob.value,
             optionsScene.monoBassKnob.value,
             optionsScene.loudnessReleaseKnob.value };
}

void MainScene::presetAdded (int index)
{
    // The timer rebuilds the list and applies the new preset on its next tick.
    presetListSelectIndex = index;
    presetListDirty = 1;
}

void MainScene::savePreset()
{
    if (processor != nullptr)
        InputDialogComponent::open (presetDialog, *this, processor);
}

void MainScene::erasePreset()
{
    if (processor == nullptr)
        return;
    const int id = presetBox.getSelectedId();
    const auto count = juce::jmin (static_cast<size_t> (juce::jmax (0, processor->presetCount)), processor->presets.size());
    if (id < 1 || static_cast<size_t> (id - 1) >= count)
        return;
    const auto index = static_cast<size_t> (id - 1);
    const auto name = processor->presets[index].name;

    if (processor->presets[index].isProtected)
    {
        if (warn)
            warn ("Erase preset", "This preset is part of the program and cannot be deleted. Only user defined presets can be "
                                  "deleted!\n\nPreset: "
                                      + name);
        return;
    }
    if (!confirmDelete || !confirmDelete ("Delete Preset", "Are you sure you want to delete the preset: " + name))
        return;

    processor->presets.erase (processor->presets.begin() + static_cast<std::ptrdiff_t> (index));
    --processor->presetCount;
    initPresets();
    (void) Resources::SavePresets (processor);
}
