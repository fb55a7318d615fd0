#include "scenes/InputDialogComponent.h"
#include "UiTestSupport.h"
#include "resources/Presets.h"
#include "resources/ResourcesTestSupport.h"

#include <array>
#include <string>
#include <vector>

namespace
{
struct IdleProcessor : IProcessor
{
    void execute() override {}
};

/** The main scene's side of the dialog: fixed knob values, and a record of
    what was announced. */
struct RecordingHost : IPresetDialogHost
{
    std::array<float, 10> presetKnobValues() const override { return knobs; }
    void presetAdded (int index) override { added.push_back (index); }

    std::array<float, 10> knobs { 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.75f, 0.9f, 0.35f };
    std::vector<int> added;
};

void pump (int milliseconds) { juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds); }

/** Runs the message loop until `done` holds or two seconds have passed. */
template <typename Predicate> bool pumpUntil (Predicate done)
{
    for (int i = 0; i < 200 && !done(); ++i)
        pump (10);
    return done();
}

/** A temporary data folder with the factory presets file, a processor that
    read it, and the real dialog opened the way the main scene opens it, with
    the warning box answered by the test. */
class InputDialogTest : public resources_testing::DataFolderTest
{
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        savedCeiling = IProcessor::UserParams[IProcessor::ceiling].load();
        savedTruePeak = IProcessor::UserParams[IProcessor::truePeak].load();
        Resources::ReadPresets (*processor);
        factoryCount = processor->presetCount;
        factoryFileText = presetsFile().loadFileAsString();
    }

    void TearDown() override
    {
        juce::ModalComponentManager::getInstance()->cancelAllModalComponents();
        pump (50);
        slot = nullptr;
        IProcessor::UserParams[IProcessor::ceiling] = savedCeiling;
        IProcessor::UserParams[IProcessor::truePeak] = savedTruePeak;
        DataFolderTest::TearDown();
    }

    /** Opens the dialog and waits for its name field to start editing, with
        `initialText` in the field. */
    InputDialogComponent& openAndWaitForEditing (const juce::String& initialText = {})
    {
        auto& dialog = InputDialogComponent::open (slot, host, processor);
        dialog.nameField.setText (initialText, juce::dontSendNotification);
        dialog.warn = [this] (const juce::String& title, const juce::String& message) { warnings.push_back (title + " / " + message); };
        EXPECT_TRUE (pumpUntil ([&dialog] { return dialog.nameField.getCurrentTextEditor() != nullptr; }));
        return dialog;
    }

    static bool windowIsOpen (InputDialogComponent& dialog)
    {
        auto* window = dialog.findParentComponentOfClass<juce::DialogWindow>();
        // The name field itself is modal while it edits.
        return window != nullptr && window->isCurrentlyModal (false);
    }

    /** Presses Return in the field's editor and lets the editor react. */
    static void pressReturn (InputDialogComponent& dialog)
    {
        auto* editor = dialog.nameField.getCurrentTextEditor();
        ASSERT_NE (editor, nullptr);
        editor->keyPressed (juce::KeyPress (juce::KeyPress::returnKey));
        pump (100);
    }

    /** The presets as a fresh start would read them from the file. */
    std::vector<Preset> presetsInFile() const
    {
        IdleProcessor reader;
        Resources::ReadPresets (reader);
        return reader.presets;
    }

    std::shared_ptr<IdleProcessor> processor = std::make_shared<IdleProcessor>();
    RecordingHost host;
    std::unique_ptr<InputDialogComponent> slot;
    std::vector<juce::String> warnings;
    int factoryCount = 0;
    juce::String factoryFileText;
    float savedCeiling = 0.0f, savedTruePeak = 0.0f;
};
} // namespace

TEST_F (InputDialogTest, OpensAsAModalWindowAndStartsEditingTheNameAtOnce)
{
    auto& dialog = InputDialogComponent::open (slot, host, processor);
    EXPECT_EQ (&dialog, slot.get());
    EXPECT_EQ (dialog.host, &host);
    EXPECT_EQ (dialog.processor, processor);
    EXPECT_EQ (dialog.getWidth(), 300);
    EXPECT_EQ (dialog.getHeight(), 65);
    EXPECT_EQ (dialog.nameField.getBounds(), juce::Rectangle<int> (5, 5, 290, 24));
    EXPECT_EQ (dialog.cancelButton.getBounds(), juce::Rectangle<int> (107, 34, 80, 25));

    auto* window = dialog.findParentComponentOfClass<juce::DialogWindow>();
    ASSERT_NE (window, nullptr);
    EXPECT_EQ (window->getName(), "Save Preset Name");
    EXPECT_TRUE (windowIsOpen (dialog));
    EXPECT_FALSE (window->isResizable());

    // The editor opens from the timer, not at construction.
    EXPECT_EQ (dialog.nameField.getCurrentTextEditor(), nullptr);
    EXPECT_TRUE (pumpUntil ([&dialog] { return dialog.nameField.getCurrentTextEditor() != nullptr; }));
    EXPECT_FALSE (dialog.isTimerRunning());
}

TEST_F (InputDialogTest, ReturnWithoutTypingChangesNothingAndKeepsTheDialogOpen)
{
    auto& dialog = openAndWaitForEditing();

    testing::internal::CaptureStdout();
    pressReturn (dialog);
    const auto output = testing::internal::GetCapturedStdout();

    EXPECT_EQ (dialog.nameField.getCurrentTextEditor(), nullptr);
    EXPECT_EQ (output.find ("Saving preset name"), std::string::npos) << output;
    EXPECT_EQ (processor->presetCount, factoryCount);
    EXPECT_EQ (processor->presets.size(), static_cast<size_t> (factoryCount));
    EXPECT_TRUE (host.added.empty());
    EXPECT_TRUE (warnings.empty());
    EXPECT_EQ (presetsFile().loadFileAsString(), factoryFileText);
    EXPECT_TRUE (windowIsOpen (dialog));
}

TEST_F (InputDialogTest, TypingANameAndReturnAppendsTheCurrentControlsSavesTheFileAndCloses)
{
    IProcessor::UserParams[IProcessor::ceiling] = -1.5f;
    IProcessor::UserParams[IProcessor::truePeak] = 1.0f;
    auto& dialog = openAndWaitForEditing();

    // Characters the file must escape come back unchanged.
    const juce::String name ("Late <Night> & Loud");
    dialog.nameField.getCurrentTextEditor()->insertTextAtCaret (name);

    testing::internal::CaptureStdout();
    pressReturn (dialog);
    const auto output = testing::internal::GetCapturedStdout();

    EXPECT_EQ (output, "Saving preset name : Late <Night> & Loud\n");
    ASSERT_EQ (processor->presets.size(), static_cast<size_t> (factoryCount + 1));
    EXPECT_EQ (processor->presetCount, factoryCount + 1);
    EXPECT_EQ (host.added, std::vector<int> ({ factoryCount }));
    EXPECT_FALSE (windowIsOpen (dialog));

    for (const auto& p : { processor->presets.back(), presetsInFile().back() })
    {
        EXPECT_EQ (p.name, name);
        EXPECT_EQ (p.version, "2.1.1");
        EXPECT_FALSE (p.isProtected);
        const std::array<float, 10> knobs { p.lowCut,   p.lowGain,     p.bodyGain, p.clarity,      p.brightness,
                                            p.loudness, p.compression, p.quality,  p.lowCutStereo, p.loudnessRelease };
        for (size_t i = 0; i < knobs.size(); ++i)
            EXPECT_FLOAT_EQ (knobs[i], host.knobs[i]) << IProcessor::ParamNames[i];
        EXPECT_FLOAT_EQ (p.ceiling, -1.5f);
        EXPECT_TRUE (p.truePeak);
    }
    EXPECT_EQ (presetsInFile().size(), static_cast<size_t> (factoryCount + 1));
}

TEST_F (InputDialogTest, AnEmptyNameOnlyWarnsAndASpaceIsAName)
{
    // Only a field that held text can commit an empty one.
    auto& dialog = openAndWaitForEditing ("Draft");
    dialog.nameField.getCurrentTextEditor()->setText ("");

    pressReturn (dialog);

    EXPECT_EQ (warnings, std::vector<juce::String> ({ "No preset name / Please enter a valid preset name!" }));
    EXPECT_EQ (processor->presets.size(), static_cast<size_t> (factoryCount));
    EXPECT_TRUE (host.added.empty());
    EXPECT_EQ (presetsFile().loadFileAsString(), factoryFileText);
    EXPECT_TRUE (windowIsOpen (dialog));

    dialog.savePreset (" ");
    EXPECT_EQ (warnings.size(), 1u);
    ASSERT_EQ (processor->presets.size(), static_cast<size_t> (factoryCount + 1));
    EXPECT_EQ (processor->presets.back().name, " ");
    EXPECT_FALSE (windowIsOpen (dialog));
}

TEST_F (InputDialogTest, TheSameNameTwiceGivesTwoPresets)
{
    InputDialogComponent dialog;
    dialog.host = &host;
    dialog.processor = processor;

    dialog.savePreset ("Indie");
    host.knobs[0] = 0.55f;
    dialog.savePreset ("Indie");

    EXPECT_EQ (host.added, std::vector<int> ({ factoryCount, factoryCount + 1 }));
    const auto inFile = presetsInFile();
    ASSERT_EQ (inFile.size(), static_cast<size_t> (factoryCount + 2));
    EXPECT_EQ (inFile[inFile.size() - 2].name, "Indie");
    EXPECT_EQ (inFile.back().name, "Indie");
    EXPECT_FLOAT_EQ (inFile[inFile.size() - 2].lowCut, 0.1f);
    EXPECT_FLOAT_EQ (inFile.back().lowCut, 0.55f);
}

TEST_F (InputDialogTest, CancelClosesWithoutSavingAndDiscardsTheUnfinishedName)
{
    auto& dialog = openAndWaitForEditing();
    dialog.nameField.getCurrentTextEditor()->insertTextAtCaret ("Half typed");

    auto* peer = dialog.getPeer();
    ASSERT_NE (peer, nullptr);
    const auto at = peer->getComponent().getLocalPoint (&dialog.cancelButton, dialog.cancelButton.getLocalBounds().getCentre()).toFloat();
    const auto time = juce::Time::currentTimeMillis();

    testing::internal::CaptureStdout();
    peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier),
                            juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation, time);
    peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, at, {}, juce::MouseInputSource::defaultPressure,
                            juce::MouseInputSource::defaultOrientation, time + 10);
    pump (100);
    const auto output = testing::internal::GetCapturedStdout();

    EXPECT_EQ (output, "cancel preset btn:\n");
    EXPECT_EQ (dialog.nameField.getText(), "");
    EXPECT_FALSE (windowIsOpen (dialog));
    EXPECT_EQ (processor->presets.size(), static_cast<size_t> (factoryCount));
    EXPECT_TRUE (host.added.empty());
    EXPECT_EQ (presetsFile().loadFileAsString(), factoryFileText);
}

TEST_F (InputDialogTest, ReturnIsLoggedAndEveryKeyIsHandled)
{
    InputDialogComponent dialog;

    struct Case
    {
        juce::KeyPress key;
        const char* output;
    };
    const std::vector<Case> cases {
        { juce::KeyPress (juce::KeyPress::returnKey), "enter pressed\n" },
        { juce::KeyPress (juce::KeyPress::returnKey, juce::ModifierKeys::shiftModifier, 0), "" },
        { juce::KeyPress (juce::KeyPress::returnKey, juce::ModifierKeys::commandModifier, 0), "" },
        { juce::KeyPress ('a'), "" },
        { juce::KeyPress (juce::KeyPress::escapeKey), "" },
    };

    for (const auto& c : cases)
    {
        testing::internal::CaptureStdout();
        EXPECT_TRUE (dialog.keyPressed (c.key, &dialog)) << c.key.getTextDescription();
        EXPECT_EQ (testing::internal::GetCapturedStdout(), c.output) << c.key.getTextDescription();
    }
}

TEST_F (InputDialogTest, OpeningAgainReplacesTheLastDialog)
{
    auto& first = openAndWaitForEditing();
    juce::Component::SafePointer<InputDialogComponent> firstAlive (&first);
    first.qvButtonPressed (&first.cancelButton);
    pump (50);
    EXPECT_NE (firstAlive, nullptr);

    auto& second = openAndWaitForEditing();
    EXPECT_EQ (firstAlive, nullptr);
    EXPECT_EQ (slot.get(), &second);
    EXPECT_TRUE (windowIsOpen (second));
}
