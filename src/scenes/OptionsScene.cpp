#include "scenes/OptionsScene.h"

#include "engine/IProcessor.h"
#include "resources/Drawings.h"
#include "resources/Settings.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace
{
const juce::Colour descriptionColour (juce::Colour::fromRGB (187, 204, 221));
constexpr int readOutCorner = 1;

void setUpKnob (QVKnob& knob, QVKnobLabel& label, OptionsScene& scene, const char* name, int parameterIndex, float defaultValue)
{
    knob.setName (name);
    knob.parameterIndex = parameterIndex;
    knob.minimum = 0.0f;
    knob.maximum = 1.0f;
    knob.interval = 0.001f;
    knob.listener = &scene;
    knob.setDefaultValue (defaultValue);

    label.knob = &knob;
    label.setSize (knob.getWidth() + 2 * label.margin, knob.getHeight() + 2 * label.margin);
    label.resized();
}

void setUpDescription (juce::Label& label, const char* text)
{
    label.setText (text, juce::dontSendNotification);
    label.setColour (juce::Label::textColourId, descriptionColour);
    label.setJustificationType (juce::Justification::topLeft);
}
} // namespace

OptionsScene::OptionsScene()
{
    setOpaque (true);

    iconDrawing = Resources::getDrawing (Resources::IconQuorvel);
    if (iconDrawing != nullptr)
    {
        iconDrawing->setTransform (juce::AffineTransform::scale (0.15f));
        iconHolder.addAndMakeVisible (*iconDrawing);
    }
    iconHolder.setBounds (15, 15, 80, 80);
    addAndMakeVisible (iconHolder);

    loudnessReleaseLabel.title = "LOUDNESS RELEASE";
    loudnessReleaseLabel.ticks = { "1ms", "10ms", "20ms", "30ms", "40ms" };
    loudnessReleaseLabel.tickCount = 5;
    addAndMakeVisible (loudnessReleaseLabel);
    loudnessReleaseKnob.setTopLeftPosition (80, 90);
    addAndMakeVisible (loudnessReleaseKnob);
    setUpKnob (loudnessReleaseKnob, loudnessReleaseLabel, *this, "LOUDNESS_RELEASE", IProcessor::loudnessRelease, 0.5f);
    setUpDescription (loudnessReleaseDescription,
                      "Loudness release time in ms. Longer release times will produce a smoother sound but will be quiter overall!");
    loudnessReleaseDescription.setBounds (170, 90, 220, 70);
    addAndMakeVisible (loudnessReleaseDescription);

    monoBassLabel.title = "MONO BASS FREQ";
    monoBassLabel.ticks = { "0hz", "50", "100", "150", "200" };
    monoBassLabel.tickCount = 5;
    addAndMakeVisible (monoBassLabel);
    monoBassKnob.setTopLeftPosition (80, 210);
    addAndMakeVisible (monoBassKnob);
    setUpKnob (monoBassKnob, monoBassLabel, *this, "LFC_FREQ_STEREO", IProcessor::lowCutStereo, 0.75f);
    setUpDescription (monoBassDescription,
                      "Stereo roll off frequency to center bass. Will drop 24db of stereo image every octave below this frequency!");
    monoBassDescription.setBounds (170, 210, 220, 70);
    addAndMakeVisible (monoBassDescription);

    closeButton.listener = this;
    addAndMakeVisible (closeButton);

    link.setButtonText ("www.stelvane.example");
    link.setURL (juce::URL ("https://www.stelvane.example/"));
    link.setColour (juce::HyperlinkButton::textColourId, juce::Colour (0xffddeeff));
    link.setBounds (630, 360, 10, 24);
    link.changeWidthToFitText();
    addAndMakeVisible (link);

    renderEngineHeading.setText ("FFT Display Render Engine", juce::dontSendNotification);
    renderEngineHeading.setFont (juce::Font (13.0f));
    renderEngineHeading.setJustificationType (juce::Justification::centredLeft);
    renderEngineHeading.setColour (juce::Label::textColourId, descriptionColour);
    addAndMakeVisible (renderEngineHeading);

    renderEngineToggle.id = 0;
    renderEngineToggle.value = false;
    renderEngineToggle.setOpaque (false);
    renderEngineToggle.nAddParent (this);
    addAndMakeVisible (renderEngineToggle);

    gpuLabel.setText ("GPU", juce::dontSendNotification);
    gpuLabel.setFont (juce::Font (11.0f));
    gpuLabel.setJustificationType (juce::Justification::centredRight);
    addAndMakeVisible (gpuLabel);

    softwareLabel.setText ("SOFTWARE", juce::dontSendNotification);
    softwareLabel.setFont (juce::Font (11.0f));
    softwareLabel.setJustificationType (juce::Justification::centredLeft);
    addAndMakeVisible (softwareLabel);
}

OptionsScene::~OptionsScene() { deviceSelector = nullptr; }

void OptionsScene::installDeviceSelector (std::shared_ptr<AudioEngine> engineToUse)
{
    // The old selector listens to the old engine's device manager: it goes
    // before that engine can.
    deviceSelector = nullptr;
    engine = std::move (engineToUse);

    if (engine == nullptr)
        return;

    deviceSelector = std::make_unique<juce::AudioDeviceSelectorComponent> (engine->deviceManager, 0, 0, 0, 256, false, false, true, false);
    addAndMakeVisible (*deviceSelector);
    deviceSelector->setColour (juce::Label::textColourId, juce::Colours::white);
    resized();
}

void OptionsScene::paint (juce::Graphics& g) { g.fillAll (backgroundColour); }

void OptionsScene::resized()
{
    const auto w = getWidth();
    const auto h = getHeight();

    loudnessReleaseKnob.setTopLeftPosition (80, 90);
    loudnessReleaseLabel.resized();
    loudnessReleaseDescription.setBounds (170, 90, 220, 70);
    closeButton.setBounds (w - 52, 20, 32, 32);

    if (deviceSelector != nullptr)
        deviceSelector->setBounds (w / 2, 95, w / 2 - 40, h - 200);

    renderEngineHeading.setBounds (40, 380, 200, 16);
    gpuLabel.setBounds (renderEngineHeading.getX(), renderEngineHeading.getBottom() + 10, 40, 16);
    renderEngineToggle.setBounds (gpuLabel.getRight(), gpuLabel.getY(), 26, 16);
    softwareLabel.setBounds (renderEngineToggle.getRight(), gpuLabel.getY(), 64, 16);
}

void OptionsScene::qvKnobValueChanged (QVKnob* knob)
{
    if (knob == nullptr || knob->parameterIndex < 0 || knob->parameterIndex >= IProcessor::numParams)
        return;

    IProcessor::UserParams[knob->parameterIndex].store (knob->value);

    juce::String text;
    if (knob == &monoBassKnob)
        text = "Frq: " + ftos (knob->value * 200.0f, 0) + "hz";
    else if (knob == &loudnessReleaseKnob)
        text = "Gain: " + ftos (knob->value * 40.0f, 0) + "ms";
    else
        return;

    if (feedback != nullptr)
        feedback->show (text, readOutCorner);
}

void OptionsScene::qvCloseButtonPressed (QVCloseButton* button)
{
    if (button == &closeButton)
        requestClose();
}

void OptionsScene::mouseDown (const juce::MouseEvent& e)
{
    if (e.eventComponent == this)
        requestClose();
}

void OptionsScene::requestClose()
{
    // isEnabled() already asks every ancestor.
    if (parent != nullptr && isEnabled())
        parent->nComponentCallback (this, 1000, nullptr);
}

void OptionsScene::nComponentCallback (NComponent* sender, int, void*)
{
    if (sender != &renderEngineToggle)
        return;

    renderEngineToggle.setValue (!renderEngineToggle.value);
    const auto software = renderEngineToggle.value;
    Resources::fftRenderEngine = software ? "software" : "gpu";

    if (onRenderEngineChanged)
        onRenderEngineChanged (software);

    // Raised even when the toggle comes back: the file written at exit then
    // holds the final value whatever the file said before.
    Resources::settingsChanged = true;
}

juce::String OptionsScene::ftos (float value, int decimals)
{
    float factor = 1.0f;
    for (int i = 0; i < decimals; ++i)
        factor *= 10.0f;

    const float rounded = std::round (value * factor) / factor;

    std::ostringstream out;
    out.imbue (std::locale::classic());
    out << rounded;
    return out.str();
}
