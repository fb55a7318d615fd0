#include "scenes/MainScene.h"

#include "audio/AudioEngine.h"
#include "resources/Drawings.h"
#include "resources/Palette.h"

#include <cmath>
#include <cstdio>

namespace
{
/** What one mastering knob shows and how its read-out reads. */
struct KnobRow
{
    const char* title;
    std::vector<std::string> ticks;
    float interval;
    float defaultValue;
    IProcessor::Param parameter;
    juce::String (*readOut) (float v);
    int corner;
};

const std::array<KnobRow, 8>& knobTable()
{
    using S = MainScene;
    static const std::array<KnobRow, 8> rows{{
        {"LOW FREQ CUT",
         {"0hz", "10hz", "20hz", "30hz", "40hz", "50hz", "60hz"},
         0.001f,
         0.25f,
         IProcessor::lowCut,
         [] (float v) { return "Frq: " + S::ftos (v * 60.0f, 0) + "hz"; },
         1},
        {"SUB ENHANCE",
         {"-6db", "-3db", "0db", "3db", "6db"},
         0.001f,
         0.7f,
         IProcessor::lowGain,
         [] (float v) { return "Gain: " + S::ftos ((v - 0.5f) * 12.0f, 1) + "dB"; },
         1},
        {"BODY LEVEL",
         {"-4db", "-2db", "0db", "2db", "4db"},
         0.001f,
         0.25f,
         IProcessor::bodyGain,
         [] (float v) { return "Gain: " + S::ftos ((v - 0.5f) * 8.0f, 1) + "dB"; },
         1},
        {"CLARITY",
         {"-20%", "-10%", "0%", "10%", "20%"},
         0.001f,
         0.5f,
         IProcessor::clarity,
         [] (float v) { return "Amt: " + S::ftos ((v - 0.5f) * 40.0f, 0) + "%"; },
         1},
        {"BRIGHTNESS",
         {"-4db", "-2db", "0db", "2db", "4db"},
         0.001f,
         0.45f,
         IProcessor::brightness,
         [] (float v) { return "Gain: " + S::ftos ((v - 0.5f) * 8.0f, 1) + "dB"; },
         0},
        {"LOUDNESS",
         {"0db", "2db", "4db", "6db", "8db"},
         0.001f,
         0.33f,
         IProcessor::loudness,
         [] (float v) { return "Gain: " + S::ftos (v * 8.0f, 1) + "dB"; },
         0},
        {"COMPRESSION",
         {"1.0x", "1.5x", "2.0x", "2.5x", "3.0x"},
         0.001f,
         0.15f,
         IProcessor::compression,
         [] (float v) { return "Multi: " + S::ftos (2.0f * v + 1.0f, 1) + "(x)"; },
         0},
        {"QUALITY",
         {"Fast", "Low", "Med", "High", "Best"},
         0.25f,
         0.75f,
         IProcessor::quality,
         [] (float v) { return "Amt: " + S::ftos (v * 100.0f, 1) + "%"; },
         0},
    }};
    return rows;
}

constexpr int headerHeight = 56;
constexpr int margin = 10;
constexpr int rightColumnWidth = 140;
constexpr int waveformPanelHeight = 246;
constexpr int viewHeight = 120;
constexpr int knobPanelHeight = 155;

/** Transparency of the view that is not being listened to, and of both views
    while a file loads. */
constexpr int dimmed = 127;
constexpr int loadingDimmed = 77;

const juce::StringArray acceptedExtensions{".wav", ".aif", ".aiff", ".mp3", ".flac"};

bool holdsSamples (const std::shared_ptr<juce::AudioBuffer<float>>& buffer)
{
    return buffer != nullptr && buffer->getNumChannels() > 0 && buffer->getNumSamples() > 0;
}

void styleBox (juce::ComboBox& box)
{
    box.setColour (juce::ComboBox::backgroundColourId, juce::Colours::black);
    box.setColour (juce::ComboBox::textColourId, juce::Colours::white);
    box.setColour (juce::ComboBox::outlineColourId, juce::Colours::black);
    box.setColour (juce::ComboBox::arrowColourId, juce::Colours::white);
    box.setColour (juce::ComboBox::buttonColourId, juce::Colours::black);
}

bool askOkCancel (const juce::String& title, const juce::String& message)
{
    return juce::NativeMessageBox::showOkCancelBox (juce::MessageBoxIconType::InfoIcon, title, message, nullptr, nullptr);
}

void showNotice (const juce::String& title, const juce::String& message)
{
    // Not modal: notices also come from the timer, which must not nest a
    // message loop inside its own callback.
    juce::NativeMessageBox::showAsync (juce::MessageBoxOptions()
                                           .withIconType (juce::MessageBoxIconType::InfoIcon)
                                           .withTitle (title)
                                           .withMessage (message)
                                           .withButton ("OK"),
                                       nullptr);
}

void showWarning (const juce::String& title, const juce::String& message)
{
    juce::NativeMessageBox::showMessageBox (juce::MessageBoxIconType::WarningIcon, title, message, nullptr);
}

bool askOkCancelWarning (const juce::String& title, const juce::String& message)
{
    return juce::NativeMessageBox::showOkCancelBox (juce::MessageBoxIconType::WarningIcon, title, message, nullptr, nullptr);
}

juce::File pickSourceFile()
{
    juce::FileChooser chooser ("Select an audio file", juce::File::getSpecialLocation (juce::File::userDesktopDirectory),
                               "*.wav;*.mp3;*.aiff;*.aif,*.flac", true);
    if (!chooser.browseForFileToOpen())
        return {};
    return chooser.getResult();
}
} // namespace

//==============================================================================
MainScene::MainScene (std::shared_ptr<IProcessor> p) :
    confirm (askOkCancel), inform (showNotice), chooseSourceFile (pickSourceFile), processor (std::move (p))
{
    // Buttons, knobs and labels start with their widget defaults; the knobs
    // get their table values as they are added below.
    modeToggle.id = 0;
    modeToggle.setOpaque (false);
    modeToggle.nAddParent (this);
    browseNavButton.kind = 3;
    browseNavButton.nAddParent (this);
    optionsNavButton.kind = 2;
    optionsNavButton.nAddParent (this);
    processingScene.cancelButton.nAddParent (&processingScene);
    warn = showWarning;
    confirmDelete = askOkCancelWarning;
    optionsScene.nAddParent (this);
    optionsScene.feedback = &feedback;
    optionsScene.onRenderEngineChanged = [this] (bool software)
    {
        if (software)
            realTimeDisplay->spectrumDisplay.detachOpenGLContext();
        else
            realTimeDisplay->spectrumDisplay.attachOpenGLContext();
    };
    saveScene.setProcessor (processor);
    saveScene.levelMeters = &console;

    processButton.text = "PROCESS";
    saveButton.text = "SAVE";
    savePresetButton.text = "SAVE";
    erasePresetButton.text = "ERASE";
    truePeakButton.text = "TRUE PEAK";
    processLabel.setText ("PROCESS", juce::dontSendNotification);
    realtimeLabel.setText ("REALTIME", juce::dontSendNotification);
    ceilingLabel.setText ("CEILING", juce::dontSendNotification);
    sampleRateLabel.setText ("PROCESSOR SAMPLE RATE", juce::dontSendNotification);

    setUpKnobs();

    // Mode switch with its captions, navigation, PROCESS and SAVE.
    addAndMakeVisible (modeToggle);
    for (auto* label : {&processLabel, &realtimeLabel})
    {
        label->setFont (juce::Font (11.0f));
        label->setEditable (false);
        addAndMakeVisible (*label);
    }
    processLabel.setJustificationType (juce::Justification::centredRight);
    realtimeLabel.setJustificationType (juce::Justification::centredLeft);
    addAndMakeVisible (browseNavButton);
    addAndMakeVisible (optionsNavButton);

    processButton.backgroundNormal = Resources::Green;
    saveButton.backgroundNormal = Resources::Purple;
    for (auto* button : {&processButton, &saveButton})
    {
        button->borderThickness = 0.0f;
        button->setEnabled (false);
        button->listener = this;
        button->updateState();
        addAndMakeVisible (*button);
    }

    // Transport, views, real-time display, presets.
    player.feedback = &feedback;
    player.onViewChanged = [this] { updateView(); };
    addAndMakeVisible (player);
    addAndMakeVisible (sourceView);
    addAndMakeVisible (processedView);
    for (auto* view : {&sourceView, &processedView})
    {
        view->onSelectionDragged = [this] (double a, double b) { selectRange (a, b); };
        view->selection.onRemoveRequested = [this] { removeSelection(); };
    }
    realTimeDisplay = std::make_shared<Components::Modules::RealTimeDisplay>();
    addAndMakeVisible (*realTimeDisplay);
    styleBox (presetBox);
    presetBox.addListener (this);
    addAndMakeVisible (presetBox);

    for (auto* button : {&savePresetButton, &erasePresetButton})
    {
        button->setEnabled (true);
        button->borderThickness = 0.0f;
        button->listener = this;
        button->updateState();
        addAndMakeVisible (*button);
    }

    // Output ceiling; -1.5 dB sits at mid-travel.
    ceilingSlider.setSliderStyle (juce::Slider::LinearHorizontal);
    ceilingSlider.setTextBoxStyle (juce::Slider::TextBoxLeft, false, 80, 20);
    ceilingSlider.setRange (-6.0, 0.0, 0.01);
    ceilingSlider.setTextValueSuffix (" db");
    ceilingSlider.setSkewFactorFromMidPoint (-1.5);
    ceilingSlider.setValue (static_cast<double> (IProcessor::UserParams[IProcessor::ceiling].load()), juce::dontSendNotification);
    ceilingSlider.addListener (this);
    addAndMakeVisible (ceilingSlider);

    truePeakButton.setEnabled (true);
    truePeakButton.borderThickness = 0.0f;
    truePeakButton.backgroundSelected = Resources::Green;
    truePeakButton.backgroundNormal = Resources::Green.darker (0.4f);
    truePeakButton.backgroundHover = Resources::Green.darker (0.4f);
    truePeakButton.textHover = juce::Colours::white;
    truePeakButton.textSelected = juce::Colours::white;
    truePeakButton.selected = IProcessor::UserParams[IProcessor::truePeak].load() > 0.5f;
    truePeakButton.listener = this;
    truePeakButton.updateState();
    addAndMakeVisible (truePeakButton);

    addAndMakeVisible (ceilingLabel);
    sampleRateLabel.setFont (juce::Font (11.0f));
    addAndMakeVisible (sampleRateLabel);
    styleBox (sampleRateBox);
    sampleRateBox.addItem ("Same as source", 5);
    sampleRateBox.addItem ("44.1 khz", 1);
    sampleRateBox.addItem ("48.0 khz", 2);
    sampleRateBox.addItem ("88.2 khz", 3);
    sampleRateBox.addItem ("96.0 khz", 4);
    sampleRateBox.setSelectedId (5, juce::dontSendNotification);
    sampleRateBox.addListener (this);
    addAndMakeVisible (sampleRateBox);

    logo.setSize (80, 80);
    logo.setInterceptsMouseClicks (false, false);
    logoDrawing = Resources::getDrawing (Resources::IconQuorvelVari);
    if (logoDrawing != nullptr)
    {
        logoDrawing->setTransform (juce::AffineTransform::scale (0.15f));
        logo.addAndMakeVisible (*logoDrawing);
    }
    addAndMakeVisible (logo);

    addAndMakeVisible (console);
    addAndMakeVisible (dropHint);
    addChildComponent (processHint);
    // The hints only label the views: clicks and drags go through to them.
    dropHint.setInterceptsMouseClicks (false, false);
    processHint.setInterceptsMouseClicks (false, false);

    icon = std::make_unique<QuorvelIcon>();
    icon->drawing = Resources::getDrawing (Resources::IconQuorvel);
    if (icon->drawing != nullptr)
    {
        icon->drawing->setTransform (juce::AffineTransform::scale (0.3f));
        icon->addAndMakeVisible (*icon->drawing);
    }
    addAndMakeVisible (*icon);

    addChildComponent (processingScene);
    addChildComponent (optionsScene);
    addChildComponent (saveScene);

    updateView();
    setWantsKeyboardFocus (true);
    addKeyListener (this);
    addAndMakeVisible (feedback);
    feedback.setInterceptsMouseClicks (false, false);
    startTimer (50);
}

MainScene::~MainScene()
{
    stopTimer();
    removeKeyListener (this);

    // A load still running would otherwise report to a scene that is gone.
    if (processor != nullptr)
    {
        ProcessorListener* self = this;
        processor->listener.compare_exchange_strong (self, nullptr);
    }
}

std::array<QVKnob*, 8> MainScene::knobs() noexcept
{
    return {&lowCutKnob, &lowGainKnob, &bodyGainKnob, &clarityKnob, &brightnessKnob, &loudnessKnob, &compressionKnob, &qualityKnob};
}

void MainScene::setUpKnobs()
{
    const std::array<QVKnobLabel*, 8> labels{&lowCutLabel,     &lowGainLabel,  &bodyGainLabel,    &clarityLabel,
                                             &brightnessLabel, &loudnessLabel, &compressionLabel, &qualityLabel};
    const auto allKnobs = knobs();

    for (size_t i = 0; i < allKnobs.size(); ++i)
    {
        const auto& row = knobTable()[i];
        auto& knob = *allKnobs[i];
        auto& label = *labels[i];

        addAndMakeVisible (label);
        label.title = row.title;
        label.ticks = row.ticks;
        label.tickCount = static_cast<int> (row.ticks.size());

        addAndMakeVisible (knob);
        knob.parameterIndex = row.parameter;
        knob.minimum = 0.0f;
        knob.maximum = 1.0f;
        knob.interval = row.interval;
        knob.listener = this;
        knob.setDefaultValue (row.defaultValue);

        label.knob = &knob;
        label.setSize (knob.getWidth() + 2 * label.margin, knob.getHeight() + 2 * label.margin);
        label.resized();
    }
}

//==============================================================================
void MainScene::resized()
{
    const int w = getWidth();
    const int h = getHeight();
    const auto room = [h] (int top, int wanted) { return juce::jlimit (0, juce::jmax (0, h - top), wanted); };

    const int header = juce::jmin (h, headerHeight);
    headerBand = {0, 0, w, header};
    logo.setTopLeftPosition (w / 2 - 30, -2);

    // Right column: the level meters, 10 from the right edge, 140 wide,
    // between the header and the bottom margin.
    const int columnTop = header + margin;
    const int columnHeight = juce::jmax (0, h - margin - columnTop);
    console.setBounds (juce::jmax (0, w - margin - rightColumnWidth), columnTop, rightColumnWidth, columnHeight);

    const int panelWidth = juce::jmax (0, w - (margin + rightColumnWidth) - 2 * margin);
    waveformPanel = {margin, columnTop, panelWidth, room (columnTop, waveformPanelHeight)};

    const auto inner = waveformPanel.reduced (2);
    sourceView.setBounds (inner.getX(), inner.getY(), inner.getWidth(), juce::jlimit (0, juce::jmax (0, inner.getHeight()), viewHeight));
    const int processedTop = sourceView.getBottom() + 2;
    processedView.setBounds (inner.getX(), processedTop, inner.getWidth(),
                             juce::jlimit (0, juce::jmax (0, inner.getBottom() - processedTop), viewHeight));
    dropHint.setBounds (sourceView.getBounds());
    processHint.setBounds (processedView.getBounds());
    realTimeDisplay->setBounds (processedView.getBounds());

    const int knobTop = waveformPanel.getBottom() + margin;
    knobPanel = {margin, knobTop, panelWidth, room (knobTop, knobPanelHeight)};
    const double knobSpacing = panelWidth / 8.45;
    const std::array<QVKnobLabel*, 8> labels{&lowCutLabel,     &lowGainLabel,  &bodyGainLabel,    &clarityLabel,
                                             &brightnessLabel, &loudnessLabel, &compressionLabel, &qualityLabel};
    const auto allKnobs = knobs();
    for (size_t i = 0; i < allKnobs.size(); ++i)
    {
        allKnobs[i]->setTopLeftPosition (static_cast<int> (static_cast<double> (i) * knobSpacing + 64.0), knobPanel.getY() + 50);
        labels[i]->resized();
    }

    const int barTop = knobPanel.getBottom() + margin;
    bottomBar = {margin, barTop, panelWidth, juce::jmax (0, h - barTop - margin)};

    // Header: the transport and presets from the left, the mode switch and
    // the actions from the right.
    player.setBounds (10, 15, 145, 26);
    presetBox.setBounds (155, 15, 244, 26);
    savePresetButton.setBounds (404, 15, 35, 26);
    erasePresetButton.setBounds (444, 15, 35, 26);
    processLabel.setBounds (w - 427, 0, 54, header);
    modeToggle.setBounds (w - 373, 19, 32, 18);
    realtimeLabel.setBounds (w - 341, 0, 54, header);
    saveButton.setBounds (w - 267, 15, 60, 26);
    processButton.setBounds (w - 202, 15, 60, 26);
    optionsNavButton.setBounds (w - 122, 0, 56, header);
    browseNavButton.setBounds (w - 66, 0, 56, header);

    // Bottom bar: the run's rate on the left, the output stage on the right.
    const int barRight = bottomBar.getRight();
    sampleRateLabel.setBounds (bottomBar.getX() + 10, barTop, 84, bottomBar.getHeight());
    sampleRateBox.setBounds (bottomBar.getX() + 94, barTop + 9, 180, 25);
    ceilingLabel.setBounds (barRight - 418, barTop, 54, bottomBar.getHeight());
    ceilingSlider.setBounds (barRight - 359, barTop + 8, 280, 27);
    truePeakButton.setBounds (barRight - 74, barTop + 11, 64, 21);

    icon->setBounds (sourceView.getWidth() / 2 - 58, 146, 140, 140);

    processingScene.setBounds (getLocalBounds());
    optionsScene.setBounds (getLocalBounds());
    saveScene.setBounds (getLocalBounds());
    feedback.setBounds (getLocalBounds());
}

void MainScene::paint (juce::Graphics& g)
{
    g.fillAll (Resources::BackgroundClr);
    g.setColour (Resources::PanelDark);
    g.fillRect (headerBand);
    g.setColour (Resources::Orange);
    g.fillRect (getWidth() / 2 - 32, 0, 64, headerBand.getHeight());
    g.setColour (Resources::PanelLight);
    g.fillRect (waveformPanel);
    g.fillRect (knobPanel);
    g.fillRect (bottomBar);
}

//==============================================================================
juce::String MainScene::ftos (float v, int n)
{
    float factor = 1.0f;
    for (int i = 0; i < n; ++i)
        factor *= 10.0f;
    // Adding 0 turns a rounded -0 into 0, so no read-out says "-0".
    const float r = std::round (v * factor) / factor + 0.0f;
    char text[32];
    std::snprintf (text, sizeof (text), "%g", static_cast<double> (r));
    return juce::String (text);
}

int MainScene::transparencyOf (const juce::Component& c) noexcept { return 255 - juce::roundToInt (c.getAlpha() * 255.0f); }

//==============================================================================
void MainScene::qvKnobValueChanged (QVKnob* knob)
{
    if (knob == nullptr)
        return;

    if (knob->parameterIndex >= 0 && knob->parameterIndex < IProcessor::numParams)
        IProcessor::UserParams[knob->parameterIndex] = knob->value;

    const auto allKnobs = knobs();
    for (size_t i = 0; i < allKnobs.size(); ++i)
        if (allKnobs[i] == knob)
        {
            const auto& row = knobTable()[i];
            feedback.show (row.readOut (knob->value), row.corner);
        }

    if (processor != nullptr)
        processor->settingsChanged();
}

void MainScene::sliderValueChanged (juce::Slider* slider)
{
    if (slider != &ceilingSlider)
        return;
    const double value = ceilingSlider.getValue();
    IProcessor::UserParams[IProcessor::ceiling] = static_cast<float> (value);
    feedback.show ("Ceil: " + ftos (static_cast<float> (value), 2) + "dB", 1);
}

void MainScene::toggleTruePeak()
{
    const float now = IProcessor::UserParams[IProcessor::truePeak].load() > 0.5f ? 0.0f : 1.0f;
    IProcessor::UserParams[IProcessor::truePeak] = now;
    truePeakButton.selected = now == 1.0f;
    truePeakButton.updateState();
}

//==============================================================================
void MainScene::qvButtonPressed (QVButton* button)
{
    if (button == nullptr || !button->isEnabled())
        return;

    if (button == &truePeakButton)
        toggleTruePeak();
    else if (button == &processButton)
        startProcessing();
    else if (button == &saveButton)
    {
        saveScene.setVisible (true);
        saveScene.toFront (false);
        feedback.toFront (false);
    }
    else if (button == &savePresetButton)
        savePreset();
    else if (button == &erasePresetButton)
        erasePreset();
}

void MainScene::nComponentCallback (NComponent* sender, int code, void*)
{
    if (sender == &browseNavButton && code == browseNavButton.kind)
    {
        browse();
    }
    else if (sender == &optionsNavButton && code == optionsNavButton.kind)
    {
        if (processor != nullptr && processor->mode.load() == 1)
            realTimeDisplay->setVisible (false);
        optionsScene.setVisible (true);
    }
    else if (sender == &optionsScene && code == 1000)
    {
        optionsScene.setVisible (false);
        if (processor != nullptr && processor->mode.load() == 1)
            realTimeDisplay->setVisible (true);
        console.needsRedraw = true;
    }
    else if (sender == &modeToggle && code == modeToggle.id)
    {
        if (processor == nullptr)
            return;
        if (processor->mode.load() == 0)
            setRealTimeMode();
        else
            setProcessMode();
    }
}

void MainScene::startProcessing()
{
    setProcessMode();
    player.playState = PlaybackState::stopped;
    player.playButton.selected = false;
    player.playButton.updateState();

    if (processor == nullptr)
        return;
    processor->selectionActive = hasSelection == 1;

    const int state = processor->state.load();
    if (state != IProcessor::stateLoaded && state != IProcessor::stateFinished)
        return;

    const bool selection = hasSelection == 1;
    const juce::String title = selection ? "Process selection" : "Process entire track!";
    const juce::String message =
        juce::String (selection ? "You are about to process your current selection." : "You are about to process this track.")
        + " This process may take a while depending on your selected quality setting. Please note any previous "
          "processing will be overwritten!\n\nContinue?";
    if (!confirm || !confirm (title, message))
        return;

    enable (player.aButton, true);
    switch (sampleRateBox.getSelectedId())
    {
        case 1:
            processor->processingSampleRate = 44100.0;
            break;
        case 2:
            processor->processingSampleRate = 48000.0;
            break;
        case 3:
            processor->processingSampleRate = 88200.0;
            break;
        case 4:
            processor->processingSampleRate = 96000.0;
            break;
        case 5:
            processor->processingSampleRate = 0.0;
            break;
        default:
            break;
    }
    processHint.setVisible (false);

    // Marked running before the thread starts, so that nothing can start a
    // second run or a load in the moment before the run marks itself.
    processor->state = IProcessor::stateRunning;
    // A short run can be over before the next tick; make that tick look at
    // the state whatever it then is.
    processor->stateChanged = true;
    runStarted = true;
    std::thread ([p = processor] { p->execute(); }).detach();
}

//==============================================================================
bool MainScene::keyPressed (const juce::KeyPress& key, juce::Component*)
{
    const auto mods = key.getModifiers();
    const bool plain = !mods.isShiftDown() && !mods.isCtrlDown() && !mods.isAltDown() && !mods.isCommandDown();
    const int code = key.getKeyCode();
    const auto letter = juce::CharacterFunctions::toUpperCase (static_cast<juce::juce_wchar> (code));
    const bool processMode = processor != nullptr && processor->mode.load() == 0;

    if (code == juce::KeyPress::spaceKey && plain)
    {
        // The player's own PLAY logic: play or pause, starting on the source
        // when nothing was chosen yet.
        if (player.playButton.isEnabled())
            player.qvButtonPressed (&player.playButton);
    }
    else if (code == juce::KeyPress::upKey && plain)
    {
        if (processMode)
            selectBuffer (false);
    }
    else if (code == juce::KeyPress::downKey && plain)
    {
        if (processMode)
            selectBuffer (true);
    }
    else if (letter == 'L')
    {
        if (processor != nullptr)
        {
            const double start = processor->processedStart.load();
            const double end = processor->processedEnd.load();
            if (start != end)
            {
                player.loopStart = start;
                player.loopEnd = end;
                player.loop = true;
                sourceView.selection.update (start, end);
                processedView.selection.update (start, end);
            }
        }
    }
    else if (letter == 'P')
    {
        qvButtonPressed (&processButton);
    }
    else if (letter == 'S')
    {
        qvButtonPressed (&saveButton);
    }
    return true;
}

void MainScene::mouseDown (const juce::MouseEvent& e)
{
    if (e.eventComponent != &sourceView && e.eventComponent != &processedView)
        return;
    if (processor == nullptr)
        return;

    // Seek. Both views are equally wide; the source view's width stands for both.
    const auto buffer = player.playBuffer;
    if (buffer != nullptr && processor->numSamples.load() >= 2 && sourceView.getWidth() > 0)
    {
        player.playPosition = buffer->getNumSamples() * (static_cast<double> (e.position.x) / sourceView.getWidth());
        ++player.playHeadCounter;
    }

    if (processor->mode.load() == 0)
        selectBuffer (e.eventComponent == &processedView);
}

void MainScene::selectBuffer (bool processed)
{
    if (processor == nullptr)
        return;
    auto& chosen = processed ? player.bButton : player.aButton;
    auto& other = processed ? player.aButton : player.bButton;
    // A run replaces the result while it works: it is not there to be heard.
    if (!chosen.isEnabled() || (processed && processor->state.load() == IProcessor::stateRunning))
        return;

    const auto shown = (processed ? processedView : sourceView).getBuffer();
    if (shown == nullptr || shown->getNumChannels() == 0 || shown->getNumSamples() < 2)
        return;
    const auto target = processed ? processor->processedBuffer : processor->sourceBuffer;
    if (player.playBuffer == target)
        return;

    chosen.selected = true;
    chosen.updateState();
    other.selected = false;
    other.updateState();
    player.switchPlayBuffer (target, processed ? processor->processingSampleRate.load() : processor->sourceSampleRate);
    updateView();
}

//==============================================================================
void MainScene::selectRange (double a, double b)
{
    const double from = juce::jlimit (0.0, 1.0, a);
    const double to = juce::jlimit (0.0, 1.0, b);
    const double lo = juce::jmin (from, to);
    const double hi = juce::jmax (from, to);

    // A stopped or paused player moves into the selection.
    const auto buffer = player.playBuffer;
    if (buffer != nullptr && buffer->getNumSamples() > 0 && player.playState.load() != PlaybackState::playing)
    {
        const double length = buffer->getNumSamples();
        const double position = player.playPosition.load();
        if (position < lo * length || position > hi * length)
        {
            player.playPosition = lo * length;
            const int x = static_cast<int> (player.playPosition.load() / length * sourceView.getWidth());
            for (auto* view : {&sourceView, &processedView})
                view->playhead.setBounds (x, 0, 2, view->getHeight());
        }
    }

    if (processor != nullptr)
    {
        processor->selectionStart = lo;
        processor->selectionEnd = hi;
    }
    sourceView.selection.update (a, b);
    processedView.selection.update (a, b);

    hasSelection = 1;
    player.loopStart = lo;
    player.loopEnd = hi;
    player.loop = true;
}

void MainScene::removeSelection()
{
    hasSelection = 0;
    player.loop = false;
    sourceView.selection.setVisible (false);
    processedView.selection.setVisible (false);
}

//==============================================================================
bool MainScene::isInterestedInFileDrag (const juce::StringArray&) { return true; }

void MainScene::filesDropped (const juce::StringArray& files, int, int)
{
    const auto file = files.isEmpty() ? juce::File() : juce::File::getCurrentWorkingDirectory().getChildFile (files[0]);
    if (files.isEmpty() || !acceptedExtensions.contains (file.getFileExtension().toLowerCase()))
    {
        if (inform)
            inform ("Drag and drop error", "File type not supported!");
        return;
    }
    if (refuseWhileBusy())
        return;

    dropHint.setVisible (false);
    icon->setVisible (false);
    setViewTransparency (sourceView, loadingDimmed);
    setViewTransparency (processedView, loadingDimmed);
    load (file);
}

void MainScene::browse()
{
    if (refuseWhileBusy() || !chooseSourceFile)
        return;
    const auto file = chooseSourceFile();
    if (file == juce::File() || refuseWhileBusy())
        return;

    dropHint.setVisible (false);
    icon->setVisible (false);
    load (file);
}

bool MainScene::refuseWhileBusy()
{
    if (processor == nullptr)
        return true;

    // A second load would race the first, and a load during a run would swap
    // the source under it.
    const int state = processor->state.load();
    if (state != IProcessor::stateLoading && state != IProcessor::stateRunning)
        return false;

    if (inform)
        inform ("Please wait", state == IProcessor::stateLoading ? "A file is still loading. Try again when it has loaded."
                                                                 : "A track is being processed. Wait for it to finish or cancel it first.");
    return true;
}

void MainScene::load (const juce::File& file)
{
    player.stopAll();
    setEnabled (false);

    processor->listener = this;
    processor->processedBuffer = std::make_shared<juce::AudioBuffer<float>>();

    processedView.reset();
    processedView.setBuffer (processor->processedBuffer, processedView.getSampleRate());
    processedView.repaint();

    // Until the new source is drawn there is nothing to process or export.
    enable (processButton, false);
    enable (saveButton, false);

    processor->sourceFile = std::make_shared<juce::File> (file);
    modeToggle.setEnabled (false);

    // Marked loading before the thread starts, so that a second drop in the
    // meantime is refused.
    processor->state = IProcessor::stateLoading;
    loaderThread = std::thread ([p = processor] { p->fileReaderThreaded(); });
    loaderThread.detach();
    setEnabled (true);
}

//==============================================================================
void MainScene::setRealTimeMode()
{
    if (processor == nullptr)
        return;

    processor->mode = 1;
    modeToggle.setValue (true);
    const double deviceRate = player.engine != nullptr ? player.engine->deviceSampleRate.load() : 44100.0;
    processor->initRealTimeSettings (deviceRate);
    feedback.show ("REALTIME MODE", 0);

    if (holdsSamples (processor->sourceBuffer))
        player.switchPlayBuffer (processor->sourceBuffer, processor->sourceSampleRate);
    processor->chainEnabled = true;

    enable (player.aButton, true);
    player.aButton.selected = false;
    player.aButton.updateState();
    enable (player.bButton, true);
    player.bButton.selected = true;
    player.bButton.updateState();

    setViewTransparency (sourceView, 0);
    processedView.setVisible (false);
    realTimeDisplay->setVisible (true);
    sampleRateBox.setEnabled (false);
    icon->setVisible (false);
    processHint.setVisible (false);
}

void MainScene::setProcessMode()
{
    if (processor == nullptr)
        return;

    processor->mode = 0;
    modeToggle.setValue (false);
    feedback.show ("PROCESS MODE", 0);

    enable (player.aButton, holdsSamples (processor->sourceBuffer));
    player.aButton.selected = true;
    player.aButton.updateState();
    enable (player.bButton, processor->state.load() != IProcessor::stateRunning && holdsSamples (processor->processedBuffer));
    player.bButton.selected = false;
    player.bButton.updateState();
    player.switchPlayBuffer (processor->sourceBuffer, processor->sourceSampleRate);

    setViewTransparency (sourceView, 0);
    if (transparencyOf (processedView) != loadingDimmed)
        setViewTransparency (processedView, loadingDimmed);
    processedView.setVisible (true);
    realTimeDisplay->setVisible (false);
    processHint.setVisible (processor->state.load() == IProcessor::stateLoaded);
    sampleRateBox.setEnabled (true);
}

void MainScene::updateView()
{
    if (processor != nullptr && processor->mode.load() == 1)
    {
        setViewTransparency (sourceView, 0);
        return;
    }

    const bool bothEnabled = player.aButton.isEnabled() && player.bButton.isEnabled();
    const bool resultChosen = bothEnabled && player.bButton.selected;
    setViewTransparency (sourceView, resultChosen ? dimmed : 0);
    setViewTransparency (processedView, resultChosen ? 0 : dimmed);
}

void MainScene::setViewTransparency (juce::Component& view, int transparency)
{
    if (transparencyOf (view) != transparency)
        view.setAlpha (static_cast<float> (255 - transparency) / 255.0f);
}

void MainScene::enable (QVButton& button, bool shouldBeEnabled)
{
    button.setEnabled (shouldBeEnabled);
    button.updateState();
}

//==============================================================================
void MainScene::timerCallback()
{
    if (processor == nullptr)
        return;

    const int state = processor->state.load();
    const int previous = processor->uiSeenState;
    processor->uiSeenState = state;
    if (processor->stateChanged.exchange (false) || state != previous)
        handleStateChange (state);

    showPendingErrors();
    followDrawings();
    movePlayheads();

    if (presetListDirty != 0)
    {
        presetListDirty = 0;
        fillPresetBox();
        presetBox.setSelectedId (presetListSelectIndex + 1, juce::sendNotificationSync);
    }

    console.nUpdateComponent();
}

void MainScene::handleStateChange (int state)
{
    updateView();

    switch (state)
    {
        case IProcessor::stateEmpty:
            // A first load that failed leaves nothing loaded; the switch
            // must not stay locked.
            modeToggle.setEnabled (true);
            break;

        case IProcessor::stateLoaded:
            // A run that failed comes back here without passing 4 or 7.
            if (runStarted)
                keepLastResult();
            if (processor->sourceBuffer != nullptr)
            {
                sourceView.setBuffer (processor->sourceBuffer, processor->sourceSampleRate);
                sourceView.updateViewFromAudioDataThreaded();
                modeToggle.setEnabled (true);
                if (processor->mode.load() == 1)
                    setRealTimeMode();
                else
                    setProcessMode();
            }
            processingScene.setVisible (false);
            break;

        case IProcessor::stateRunning:
            enable (processButton, false);
            enable (saveButton, false);
            processingScene.setVisible (true);
            processingScene.repaint();
            repaint();
            break;

        case IProcessor::stateFinished:
            runStarted = false;
            processedView.setBuffer (processor->processedBuffer, processor->processingSampleRate.load());
            processedView.updateViewFromAudioDataThreaded();
            processingScene.setVisible (false);
            break;

        case IProcessor::stateStopped:
            keepLastResult();
            enable (processButton, true);
            processingScene.setVisible (false);
            processor->state = IProcessor::stateLoaded;
            break;

        default:
            break;
    }
}

void MainScene::keepLastResult()
{
    // A run replaces the result when it starts. If it does not finish, what
    // it leaves is partial: the result is again the one the processed view
    // shows, so B plays what is drawn and SAVE never sees a partial result.
    runStarted = false;
    processor->processedBuffer = processedView.getBuffer();
    processor->processingSampleRate = processedView.getSampleRate();
}

void MainScene::showPendingErrors()
{
    const auto loadError = processor->loadErrorText.take();
    if (!loadError.empty() && inform)
        inform ("Loading error", juce::String::fromUTF8 (loadError.c_str()));

    const auto runError = processor->runErrorText.take();
    if (!runError.empty() && inform)
        inform ("Processing error", juce::String::fromUTF8 (runError.c_str()));
}

void MainScene::followDrawings()
{
    if (sourceView.poll())
    {
        if (sourceView.getDrawingState() == WaveFormView::drawn)
        {
            sourceView.repaint();
            sourceView.setDrawingState (WaveFormView::shown);
            sourceView.poll(); // our own step from 4 to 3 is not news
        }
        if (sourceView.getDrawingState() == WaveFormView::shown)
        {
            enable (processButton, true);
            enable (player.aButton, true);
            enable (player.playButton, true);
        }
        else
        {
            enable (processButton, false);
        }
    }
    else if (processedView.poll()
             && (processedView.getDrawingState() == WaveFormView::drawn || processedView.getDrawingState() == WaveFormView::shown))
    {
        if (processedView.getDrawingState() == WaveFormView::drawn)
        {
            processedView.repaint();
            processedView.setDrawingState (WaveFormView::shown);
            processedView.poll(); // our own step from 4 to 3 is not news
        }
        for (auto* button : {&player.aButton, &player.bButton, &player.playButton, &saveButton, &processButton})
            enable (*button, true);
    }
    else if (processor->state.load() == IProcessor::stateRunning)
    {
        const int ticks = processor->progressTicks.load (std::memory_order_relaxed);
        if (ticks != processor->uiSeenTicks)
        {
            processor->uiSeenTicks = ticks;
            processingScene.repaint (300, 170, 200, 45);
        }
    }
}

void MainScene::movePlayheads()
{
    const int counter = player.playHeadCounter.load();
    if (counter == lastPlayHeadCounter)
        return;
    lastPlayHeadCounter = counter;

    const auto buffer = player.playBuffer;
    int x = -1;
    if (buffer != nullptr && buffer->getNumSamples() > 0)
        x = static_cast<int> (sourceView.getWidth() * player.playPosition.load() / buffer->getNumSamples() - 1.0);

    for (auto* view : {&sourceView, &processedView})
    {
        view->playhead.setBounds (x, 0, 2, view->getHeight());
        view->repaint();
    }
}

void MainScene::fillPresetBox()
{
    presetBox.clear (juce::dontSendNotification);
    if (processor == nullptr)
        return;
    const auto count = juce::jmin (static_cast<size_t> (juce::jmax (0, processor->presetCount)), processor->presets.size());
    for (size_t i = 0; i < count; ++i)
        if (processor->presets[i].name.isNotEmpty())
            presetBox.addItem (processor->presets[i].name, static_cast<int> (i) + 1);
}
