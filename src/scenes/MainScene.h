#pragma once

#include "components/Master.h"
#include "components/NComponent.h"
#include "components/NToggle.h"
#include "components/NavPanelButton.h"
#include "components/RealTimeDisplay.h"
#include "engine/IProcessor.h"
#include "engine/ProcessorListener.h"
#include "scenes/IPresetDialogHost.h"
#include "scenes/InputDialogComponent.h"
#include "scenes/InstructionOverlayComponent.h"
#include "scenes/OptionsScene.h"
#include "scenes/ProcessInstructionOverlay.h"
#include "scenes/ProcessingScene.h"
#include "scenes/QuorvelIcon.h"
#include "scenes/SaveScene.h"
#include "scenes/UserFeedbackComponent.h"
#include "views/PlayerComponent.h"
#include "views/WaveFormView.h"
#include "widgets/QVButton.h"
#include "widgets/QVButtonListener.h"
#include "widgets/QVKnob.h"
#include "widgets/QVKnobLabel.h"
#include "widgets/QVKnobListener.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>
#include <thread>

/** The window's single content component: every control, view and overlay is
    one of its members. It maps the controls onto IProcessor::UserParams and
    follows the processor by polling it on a 50 ms timer; the loading, offline
    run and waveform threads it starts are detached and never waited for.

    Everything here runs on the message thread. */
class MainScene : public NComponent,
                  public QVKnobListener,
                  public QVButtonListener,
                  public ProcessorListener,
                  public juce::Slider::Listener,
                  public juce::Timer,
                  public juce::KeyListener,
                  public juce::FileDragAndDropTarget,
                  public juce::ComboBox::Listener,
                  public IPresetDialogHost
{
public:
    explicit MainScene (std::shared_ptr<IProcessor> processor);
    ~MainScene() override;

    //==============================================================================
    bool isInterestedInFileDrag (const juce::StringArray& files) override;
    void filesDropped (const juce::StringArray& files, int x, int y) override;
    void qvKnobValueChanged (QVKnob* knob) override;
    void qvButtonPressed (QVButton* button) override;
    void sliderValueChanged (juce::Slider* slider) override;
    /** Nothing: the scene follows the processor by polling. */
    void processorCallback() override {}
    void timerCallback() override;
    /** Shortcuts; every key that reaches the scene is consumed. */
    bool keyPressed (const juce::KeyPress& key, juce::Component* origin) override;
    using juce::Component::keyPressed;
    void comboBoxChanged (juce::ComboBox* box) override;

    void nComponentCallback (NComponent* sender, int code, void* data) override;
    /** Clicks on the waveform views, which pass their presses on. */
    void mouseDown (const juce::MouseEvent& e) override;
    void paint (juce::Graphics& g) override;
    void resized() override;

    //==============================================================================
    /** Opens the file chooser and loads the chosen file. */
    void browse();
    void setRealTimeMode();
    void setProcessMode();
    /** Sets the waveform views' opacities from the mode and the A/B choice. */
    void updateView();

    /** Value text of the read-outs: v rounded to n decimals, at most six
        significant digits, no trailing zeros. */
    static juce::String ftos (float v, int n);

    /** The transparency (0 opaque, 255 invisible) of a view, as the scene
        sets it. */
    static int transparencyOf (const juce::Component& c) noexcept;

    //==============================================================================
    // Message boxes and the file chooser go through these, so that a caller
    // without a user (a test) can answer them. They default to the real
    // dialogs.

    /** An OK/Cancel question; true for OK. Blocking. */
    std::function<bool (const juce::String& title, const juce::String& message)> confirm;
    /** A notice with an information icon. */
    std::function<void (const juce::String& title, const juce::String& message)> inform;
    /** The file to load, or a default File when the user picked nothing. */
    std::function<juce::File()> chooseSourceFile;

    //==============================================================================
    std::shared_ptr<IProcessor> processor;

    QVKnob lowCutKnob{1.0f}, lowGainKnob{1.0f}, bodyGainKnob{1.0f}, clarityKnob{1.0f}, brightnessKnob{1.0f}, loudnessKnob{1.0f},
        compressionKnob{1.0f}, qualityKnob{1.0f};
    QVKnobLabel lowCutLabel, lowGainLabel, bodyGainLabel, clarityLabel, brightnessLabel, loudnessLabel, compressionLabel, qualityLabel;

    QVButton processButton;
    QVButton saveButton;
    QVButton savePresetButton;
    QVButton erasePresetButton;
    QVButton truePeakButton;
    juce::Label processLabel;
    juce::Label realtimeLabel;
    Components::NToggle modeToggle;
    PlayerComponent player;
    WaveFormView sourceView;
    WaveFormView processedView;
    std::shared_ptr<Components::Modules::RealTimeDisplay> realTimeDisplay;
    UserFeedbackComponent feedback;
    juce::ComboBox presetBox;
    juce::Slider ceilingSlider;
    juce::Label ceilingLabel;
    juce::Label sampleRateLabel;
    juce::ComboBox sampleRateBox;
    Components::NavPanelButton browseNavButton;
    Components::NavPanelButton optionsNavButton;
    ProcessingScene processingScene;
    InstructionOverlayComponent dropHint{"Drag and Drop source audio file here or click browse!"};
    ProcessInstructionOverlay processHint{"Highlight and process or process the entire track!"};
    std::unique_ptr<QuorvelIcon> icon;
    juce::Component logo;
    std::thread loaderThread;

    //==============================================================================
    // Console, options, export and preset selection (MainScenePresets.cpp).

    /** The two output level meters beside the views. */
    Components::Console::Master console;
    /** Shown over the scene by the cog button, hidden on its code 1000. */
    OptionsScene optionsScene;
    /** Shown over the scene by SAVE. */
    SaveScene saveScene;
    /** The last save-preset dialog; replaced each time SAVE (preset) opens it. */
    std::unique_ptr<InputDialogComponent> presetDialog;

    /** Fills presetBox from the processor's list and selects the first preset
        with notification, which applies it. */
    void initPresets();
    /** Applies the preset with list id `id` (index id - 1) to the controls and
        UserParams; an id outside the list does nothing. */
    void updatePresetFromListId (int id);
    std::array<float, 10> presetKnobValues() const override;
    void presetAdded (int index) override;
    /** A notice with a warning icon (the erase refusal). Blocking by default. */
    std::function<void (const juce::String& title, const juce::String& message)> warn;
    /** An OK/Cancel question with a warning icon; true for OK. Blocking. */
    std::function<bool (const juce::String& title, const juce::String& message)> confirmDelete;
    // End of console, options, export and preset selection.

    /** 1 while a selection drawn on a waveform view exists. */
    int hasSelection = 0;
    /** Raised to have the timer rebuild the preset list and then select
        presetListSelectIndex. */
    int presetListDirty = 0;
    int presetListSelectIndex = 0;

    /** The eight knobs in the order of their parameters. */
    std::array<QVKnob*, 8> knobs() noexcept;

    /** The painted bands, as laid out by resized(). */
    juce::Rectangle<int> getHeaderBand() const noexcept { return headerBand; }
    juce::Rectangle<int> getWaveformPanel() const noexcept { return waveformPanel; }
    juce::Rectangle<int> getKnobPanel() const noexcept { return knobPanel; }
    juce::Rectangle<int> getBottomBar() const noexcept { return bottomBar; }

private:
    void setUpKnobs();
    void toggleTruePeak();
    void startProcessing();
    /** Makes the source (false) or the processed result (true) what the
        player plays, if that view shows a buffer and the button allows it. */
    void selectBuffer (bool processed);
    /** The drag selection of either view; a and b are fractions of the width. */
    void selectRange (double a, double b);
    void removeSelection();
    /** True, after telling the user, while a load or a run is in progress. */
    bool refuseWhileBusy();
    void load (const juce::File& file);
    void handleStateChange (int state);
    void followDrawings();
    void movePlayheads();
    void keepLastResult();
    void showPendingErrors();
    void fillPresetBox();
    void savePreset();
    void erasePreset();
    static void setPresetKnob (QVKnob& knob, float value);
    void setViewTransparency (juce::Component& view, int transparency);
    static void enable (QVButton& button, bool shouldBeEnabled);

    std::unique_ptr<juce::Drawable> logoDrawing;
    juce::Rectangle<int> headerBand, waveformPanel, knobPanel, bottomBar;
    int lastPlayHeadCounter = 0;
    /** Set when the scene starts a run, until the timer has seen it end. */
    bool runStarted = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainScene)
};
