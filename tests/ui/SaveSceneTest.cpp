#include "scenes/SaveScene.h"
#include "UiTestSupport.h"
#include "engine/ProcessorTypeI.h"
#include "resources/Palette.h"
#include "support/TestFiles.h"

#include <array>
#include <cmath>
#include <memory>
#include <vector>

using testing_support::TempFolder;
using ui_test::MouseDriver;

namespace
{
/** A result with something in every bit: two different tones and a little
    noise, below full scale. */
juce::AudioBuffer<float> someResult (int channels, int samples)
{
    juce::Random random (11);
    return testing_support::makeBuffer (channels, samples,
                                        [&] (int channel, int i)
                                        {
                                            const auto t = static_cast<float> (i);
                                            return 0.4f * std::sin (0.031f * t * static_cast<float> (channel + 1))
                                                   + 0.3f * std::sin (0.0047f * t) + 0.01f * (random.nextFloat() - 0.5f);
                                        });
}

struct Asked
{
    juce::String title;
    juce::File suggested;
    juce::String filter;
};

/** The scene at its size in the program, shown, with a processed result and
    the dialogs answered by the test. */
class SaveSceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        processor->fileFolder = temp.get().getFullPathName() + juce::File::getSeparatorString();
        processor->fileBaseName = "a.b";
        processor->processedBuffer = std::make_shared<juce::AudioBuffer<float>> (someResult (2, 20000));
        processor->processingSampleRate = 48000.0;

        scene.setProcessor (processor);
        scene.setSize (1040, 540);
        scene.setVisible (true);
        scene.levelMeters = &levelMeters;
        scene.chooseFile = [this] (const juce::String& title, const juce::File& suggested, const juce::String& filter)
        {
            asked.push_back ({ title, suggested, filter });
            return answer;
        };
        scene.showMessage = [this] (const juce::String& title, const juce::String& message) { messages.add (title + ": " + message); };
    }

    static juce::Point<float> centreOf (const juce::Component& c) { return c.getBounds().getCentre().toFloat(); }

    void click (MouseDriver& mouse, const juce::Component& c) { mouse.click (centreOf (c)); }

    int filesInFolder() const
    {
        return temp.get().getNumberOfChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles);
    }

    TempFolder temp;
    std::shared_ptr<ProcessorTypeI> processor = std::make_shared<ProcessorTypeI>();
    SaveScene scene;
    NComponent levelMeters;
    std::vector<Asked> asked;
    juce::File answer;
    juce::StringArray messages;
};

::testing::AssertionResult sameBytes (const juce::File& a, const juce::File& b)
{
    juce::MemoryBlock x, y;
    if (!a.loadFileAsData (x) || !b.loadFileAsData (y))
        return ::testing::AssertionFailure() << "cannot read " << a.getFullPathName() << " or " << b.getFullPathName();
    if (x.getSize() == 0 || x != y)
        return ::testing::AssertionFailure() << a.getFileName() << " (" << x.getSize() << " bytes) differs from " << b.getFileName() << " ("
                                             << y.getSize() << " bytes)";
    return ::testing::AssertionSuccess();
}
} // namespace

TEST_F (SaveSceneTest, StartsAtSixteenBitWavWithoutDitherAndLaysOutOneColumn)
{
    SaveScene fresh;
    EXPECT_FALSE (fresh.isVisible());
    EXPECT_EQ (fresh.getProcessor(), nullptr);
    EXPECT_TRUE (fresh.bits16Button.selected);
    EXPECT_FALSE (fresh.bits24Button.selected);
    EXPECT_FALSE (fresh.bits32Button.selected);
    EXPECT_TRUE (fresh.wavButton.selected);
    EXPECT_FALSE (fresh.aiffButton.selected);
    EXPECT_EQ (fresh.bitDepth, 16);
    EXPECT_EQ (fresh.fileType, "wav");
    EXPECT_EQ (fresh.ditherBox.getNumItems(), 4);
    EXPECT_EQ (fresh.ditherBox.getItemText (3), "POW-r2");
    EXPECT_EQ (fresh.ditherBox.getSelectedId(), 1);
    EXPECT_EQ (fresh.saveButton.text, "SAVE");
    EXPECT_EQ (fresh.saveButton.currentBackground, Resources::Blue);
    EXPECT_EQ (fresh.saveButton.borderThickness, 0.0f);
    EXPECT_EQ (fresh.bitDepthLabel.getText(), "Target bitrate:");
    EXPECT_EQ (fresh.ditherLabel.getText(), "Target dithering:");
    EXPECT_EQ (fresh.fileTypeLabel.getText(), "Target file type:");
    EXPECT_FALSE (fresh.bitDepthLabel.isEditable());
    // Outside tests the user answers through the real dialogs.
    using Chooser = juce::File (*) (const juce::String&, const juce::File&, const juce::String&);
    using Message = void (*) (const juce::String&, const juce::String&);
    ASSERT_NE (fresh.chooseFile.target<Chooser>(), nullptr);
    EXPECT_EQ (*fresh.chooseFile.target<Chooser>(), &SaveScene::askForFile);
    ASSERT_NE (fresh.showMessage.target<Message>(), nullptr);
    EXPECT_EQ (*fresh.showMessage.target<Message>(), &SaveScene::showMessageBox);

    using R = juce::Rectangle<int>;
    struct Case
    {
        int w, h;
        std::vector<std::pair<juce::Component*, R>> expected;
    };
    // At the program's size, and squeezed so that the rows run out of room
    // in the gap after the dither box (340 px tall leaves 140 px for the rows).
    const std::vector<Case> cases {
        { 1040,
          540,
          { { &fresh.closeButton, R (988, 20, 32, 32) },
            { &fresh.bitDepthLabel, R (300, 100, 440, 30) },
            { &fresh.bits16Button, R (300, 130, 100, 25) },
            { &fresh.bits24Button, R (405, 130, 100, 25) },
            { &fresh.bits32Button, R (510, 130, 100, 25) },
            { &fresh.ditherLabel, R (300, 175, 440, 30) },
            { &fresh.ditherBox, R (300, 205, 160, 25) },
            { &fresh.fileTypeLabel, R (300, 250, 440, 30) },
            { &fresh.wavButton, R (300, 280, 100, 25) },
            { &fresh.aiffButton, R (405, 280, 100, 25) },
            { &fresh.saveButton, R (300, 330, 100, 30) } } },
        { 700,
          340,
          { { &fresh.closeButton, R (648, 20, 32, 32) },
            { &fresh.bitDepthLabel, R (300, 100, 100, 30) },
            { &fresh.bits32Button, R (510, 130, 100, 25) },
            { &fresh.ditherLabel, R (300, 175, 100, 30) },
            { &fresh.ditherBox, R (300, 205, 160, 25) },
            { &fresh.fileTypeLabel, R (300, 240, 100, 0) },
            { &fresh.wavButton, R (300, 240, 100, 25) },
            { &fresh.saveButton, R (300, 240, 100, 30) } } },
        { 500, 150, { { &fresh.bitDepthLabel, R (300, 100, 0, 0) }, { &fresh.saveButton, R (300, 100, 100, 30) } } },
    };
    for (const auto& c : cases)
    {
        fresh.setSize (c.w, c.h);
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ (c.expected[i].first->getBounds().toString(), c.expected[i].second.toString())
                << c.w << " x " << c.h << ", entry " << i;
    }
}

TEST_F (SaveSceneTest, OptionButtonsChooseOneDepthAndOneTypeAndTheDitherBoxFollows)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    scene.ditherBox.setSelectedId (Ditherer::triangular);

    struct Case
    {
        QVButton* press;
        int bits;
        const char* type;
        bool ditherEnabled;
        Ditherer::Type dither;
    };
    const std::vector<Case> cases {
        { &scene.bits24Button, 24, "wav", true, Ditherer::triangular },
        { &scene.aiffButton, 24, "aiff", true, Ditherer::triangular },
        { &scene.bits32Button, 32, "aiff", false, Ditherer::none }, // the box still shows Triangular
        { &scene.wavButton, 32, "wav", false, Ditherer::none },
        { &scene.bits32Button, 32, "wav", false, Ditherer::none }, // pressing the chosen one again changes nothing
        { &scene.bits16Button, 16, "wav", true, Ditherer::triangular },
        { &scene.aiffButton, 16, "aiff", true, Ditherer::triangular },
    };
    const std::array<std::pair<QVButton*, int>, 3> depthButtons {
        { { &scene.bits16Button, 16 }, { &scene.bits24Button, 24 }, { &scene.bits32Button, 32 } }
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.press->text + " -> " + std::to_string (c.bits) + " " + c.type);
        click (mouse, *c.press);
        mouse.leave();

        EXPECT_EQ (scene.bitDepth, c.bits);
        EXPECT_EQ (scene.fileType, c.type);
        EXPECT_EQ (scene.ditherBox.isEnabled(), c.ditherEnabled);
        EXPECT_EQ (scene.ditherBox.getSelectedId(), Ditherer::triangular);

        // Exactly one of each group is selected, and each shows its state.
        for (const auto& [button, bits] : depthButtons)
        {
            EXPECT_EQ (button->selected, bits == c.bits) << button->text;
            EXPECT_EQ (button->currentBackground, bits == c.bits ? button->backgroundSelected : button->backgroundNormal) << button->text;
        }
        EXPECT_EQ (scene.wavButton.selected, juce::String (c.type) == "wav");
        EXPECT_EQ (scene.aiffButton.selected, juce::String (c.type) == "aiff");
        EXPECT_EQ (scene.aiffButton.currentText, scene.aiffButton.selected ? scene.aiffButton.textSelected : scene.aiffButton.textNormal);

        const auto options = scene.chosenOptions();
        EXPECT_EQ (options.bitDepth, c.bits);
        EXPECT_EQ (options.fileType, c.type);
        EXPECT_EQ (options.dither, c.dither);
        EXPECT_TRUE (scene.isVisible());
    }
    EXPECT_TRUE (asked.empty());
    EXPECT_TRUE (messages.isEmpty());
}

TEST_F (SaveSceneTest, SaveWritesWithTheChosenDepthTypeAndDitherAndLeavesTheResultClean)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    const juce::AudioBuffer<float> before (*processor->processedBuffer);

    struct Case
    {
        QVButton *depth, *type;
        int boxId;
        Exporter::Options expected;
    };
    const std::vector<Case> cases {
        { &scene.bits24Button, &scene.wavButton, 3, { 24, Ditherer::triangular, "wav" } },
        { &scene.bits16Button, &scene.aiffButton, 4, { 16, Ditherer::powR2, "aiff" } },
        { &scene.bits16Button, &scene.wavButton, 2, { 16, Ditherer::rectangular, "wav" } },
        { &scene.bits32Button, &scene.wavButton, 2, { 32, Ditherer::none, "wav" } }, // float: the box is ignored
    };

    int n = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE (n);
        scene.setVisible (true);
        click (mouse, *c.depth);
        click (mouse, *c.type);
        scene.ditherBox.setSelectedId (c.boxId);
        answer = temp.getFile ("scene" + juce::String (n) + "." + c.expected.fileType);
        click (mouse, scene.saveButton);

        EXPECT_TRUE (messages.isEmpty()) << messages.joinIntoString ("\n");
        EXPECT_FALSE (scene.isVisible()) << "a completed export closes the panel";
        EXPECT_FALSE (scene.saveButton.selected);

        // The same export made directly with the expected options.
        const auto direct = temp.getFile ("direct" + juce::String (n) + "." + c.expected.fileType);
        ASSERT_TRUE (Exporter::exportResult (*processor, direct, c.expected).wasOk());
        EXPECT_TRUE (sameBytes (answer, direct));
        ++n;
    }

    // The dither went into the files only.
    const auto& after = *processor->processedBuffer;
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < after.getNumSamples(); ++i)
            ASSERT_EQ (after.getSample (channel, i), before.getSample (channel, i)) << channel << ", " << i;
}

TEST_F (SaveSceneTest, TheDialogSuggestsTheSourceNameWithQuorvelAndTheTypeInItsFolder)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());

    for (auto* typeButton : { &scene.wavButton, &scene.aiffButton })
    {
        click (mouse, *typeButton);
        answer = juce::File(); // the user cancels
        click (mouse, scene.saveButton);

        ASSERT_EQ (asked.size(), 1u);
        const auto type = scene.fileType;
        EXPECT_EQ (asked[0].title, "Save as");
        EXPECT_EQ (asked[0].suggested.getFullPathName(), temp.getFile ("a.b.quorvel." + type).getFullPathName());
        EXPECT_EQ (asked[0].filter, "*." + type);
        asked.clear();

        // A cancelled dialog leaves everything as it was.
        EXPECT_TRUE (scene.isVisible());
        EXPECT_FALSE (scene.saveButton.selected);
        EXPECT_TRUE (messages.isEmpty());
        EXPECT_EQ (filesInFolder(), 0);
    }
}

TEST_F (SaveSceneTest, AiffAtThirtyTwoBitsIsRefusedBeforeTheDialog)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    answer = temp.getFile ("x.aiff");

    click (mouse, scene.bits32Button);
    click (mouse, scene.aiffButton);
    click (mouse, scene.saveButton);

    EXPECT_TRUE (asked.empty()) << "no dialog for a combination that cannot be written";
    ASSERT_EQ (messages.size(), 1);
    EXPECT_TRUE (messages[0].contains ("AIFF")) << messages[0];
    EXPECT_TRUE (messages[0].contains ("32")) << messages[0];
    EXPECT_TRUE (scene.isVisible());
    EXPECT_EQ (filesInFolder(), 0);

    // 24-bit AIFF goes through.
    messages.clear();
    click (mouse, scene.bits24Button);
    click (mouse, scene.saveButton);
    EXPECT_EQ (asked.size(), 1u);
    EXPECT_TRUE (messages.isEmpty()) << messages.joinIntoString ("\n");
    EXPECT_TRUE (answer.existsAsFile());
    EXPECT_FALSE (scene.isVisible());
}

TEST_F (SaveSceneTest, AFailedExportIsReportedWithTheFileAndThePanelStaysOpen)
{
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    ASSERT_TRUE (temp.getFile ("taken.wav").createDirectory());

    struct Case
    {
        const char* what;
        juce::File target;
        bool noResult;
        juce::String expectedText;
    };
    const std::vector<Case> cases {
        { "a folder that does not exist", temp.getFile ("missing").getChildFile ("out.wav"), false, "does not exist" },
        { "a folder in the way", temp.getFile ("taken.wav"), false, "folder" },
        { "nothing processed", temp.getFile ("empty.wav"), true, "no mastered result" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.what);
        messages.clear();
        if (c.noResult)
            processor->processedBuffer.reset();
        answer = c.target;
        click (mouse, scene.saveButton);

        ASSERT_EQ (messages.size(), 1);
        if (!c.noResult)
        {
            EXPECT_TRUE (messages[0].contains (c.target.getFullPathName())) << messages[0];
        }
        EXPECT_TRUE (messages[0].contains (c.expectedText)) << messages[0];
        EXPECT_TRUE (scene.isVisible());
        EXPECT_FALSE (c.target.existsAsFile());
    }
    // Only the folder made above, no temporary files left behind.
    EXPECT_EQ (temp.get().getNumberOfChildFiles (juce::File::findFilesAndDirectories), 1);
}

TEST_F (SaveSceneTest, ExportsALoadedAndProcessedTrackThatJuceReadsBack)
{
    // A real track through the real offline run, at a processing rate other
    // than the source's.
    std::array<float, IProcessor::numParams> savedParams {};
    for (int i = 0; i < IProcessor::numParams; ++i)
        savedParams[static_cast<size_t> (i)] = IProcessor::UserParams[i].load();
    const float preset[IProcessor::numParams] = { 0.5f, 0.73f, 0.4f, 0.5f, 0.67f, 0.5f, 0.1f, 0.0f, 0.85f, 0.5f, -0.3f, 0.0f };
    for (int i = 0; i < IProcessor::numParams; ++i)
        IProcessor::UserParams[i] = preset[i];

    const auto source = temp.getFile ("song.wav");
    ASSERT_TRUE (testing_support::writeAudioFile (source, testing_support::makeSine (2, 48000, 48000.0, 440.0, 0.5f), 48000.0, 24));
    auto track = std::make_shared<ProcessorTypeI>();
    track->sourceFile = std::make_shared<juce::File> (source);
    track->fileReaderThreaded();
    ASSERT_EQ (track->state.load(), IProcessor::stateLoaded);
    track->processingSampleRate = 44100.0;
    track->execute();
    ASSERT_EQ (track->state.load(), IProcessor::stateFinished);
    const auto result = track->processedBuffer;
    ASSERT_NE (result, nullptr);
    ASSERT_GT (result->getNumSamples(), 40000);

    for (int i = 0; i < IProcessor::numParams; ++i)
        IProcessor::UserParams[i] = savedParams[static_cast<size_t> (i)];

    scene.setProcessor (track);
    MouseDriver mouse (scene);
    ASSERT_TRUE (mouse.isReady());
    // The user accepts the suggested file, which already exists.
    scene.chooseFile = [this] (const juce::String&, const juce::File& suggested, const juce::String&)
    {
        asked.push_back ({ {}, suggested, {} });
        return suggested;
    };

    struct Case
    {
        QVButton *depth, *type;
        int bits;
        const char* name;
    };
    for (const auto& c : { Case { &scene.bits24Button, &scene.wavButton, 24, "song.quorvel.wav" },
                           Case { &scene.bits16Button, &scene.aiffButton, 16, "song.quorvel.aiff" } })
    {
        SCOPED_TRACE (c.name);
        const auto target = temp.getFile (c.name);
        ASSERT_TRUE (target.replaceWithText ("an older file of that name"));
        scene.setVisible (true);
        click (mouse, *c.depth);
        click (mouse, *c.type);
        click (mouse, scene.saveButton);
        ASSERT_FALSE (asked.empty());
        EXPECT_EQ (asked.back().suggested.getFullPathName(), target.getFullPathName());
        EXPECT_TRUE (messages.isEmpty()) << messages.joinIntoString ("\n");
        EXPECT_FALSE (scene.isVisible());

        juce::AudioFormatManager formats;
        formats.registerBasicFormats();
        std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (target));
        ASSERT_NE (reader, nullptr);
        EXPECT_EQ (reader->sampleRate, 44100.0);
        EXPECT_EQ (reader->numChannels, 2u);
        EXPECT_EQ (reader->bitsPerSample, static_cast<unsigned int> (c.bits));
        ASSERT_EQ (reader->lengthInSamples, result->getNumSamples());

        juce::AudioBuffer<float> read (2, result->getNumSamples());
        ASSERT_TRUE (reader->read (&read, 0, read.getNumSamples(), 0, true, true));
        const float step = 1.0f / static_cast<float> (1 << (c.bits - 1));
        float loudest = 0.0f;
        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < read.getNumSamples(); ++i)
            {
                ASSERT_NEAR (read.getSample (channel, i), result->getSample (channel, i), step) << channel << ", " << i;
                loudest = std::max (loudest, std::abs (read.getSample (channel, i)));
            }
        EXPECT_GT (loudest, 0.1f) << "the file holds the processed track, not silence";
    }
}

TEST_F (SaveSceneTest, ClosesOnItsButtonOrItsBackgroundButNotWhileDisabled)
{
    {
        MouseDriver mouse (scene);
        ASSERT_TRUE (mouse.isReady());

        // A click on a label is a click on a widget, not on the background.
        mouse.click ({ 600.0f, 115.0f });
        EXPECT_TRUE (scene.isVisible());

        for (const auto where : { centreOf (scene.closeButton), juce::Point<float> (100.0f, 400.0f) })
        {
            scene.setVisible (true);
            levelMeters.needsRedraw = false;
            mouse.click (where);
            EXPECT_FALSE (scene.isVisible()) << where.toString();
            EXPECT_TRUE (levelMeters.needsRedraw.load()) << "the meters under the panel redraw";
        }
    }

    // Disabled through a parent: neither the close button nor SAVE acts.
    juce::Component holder;
    holder.setSize (1040, 540);
    holder.addAndMakeVisible (scene);
    holder.setEnabled (false);
    scene.qvCloseButtonPressed (&scene.closeButton);
    EXPECT_TRUE (scene.isVisible());
    answer = temp.getFile ("x.wav");
    scene.qvButtonPressed (&scene.saveButton);
    EXPECT_TRUE (asked.empty());
    EXPECT_FALSE (answer.existsAsFile());
    holder.removeChildComponent (&scene);
}

TEST_F (SaveSceneTest, RendersOverTheMainSceneWithItsBlueSaveButton)
{
    scene.bits24Button.hovered = true;
    scene.bits24Button.updateState();
    const auto image = ui_test::render (scene);

    const auto folder = juce::File (QUORVEL_TEST_BUILD_DIR).getChildFile ("gallery");
    folder.createDirectory();
    const auto file = folder.getChildFile ("save_scene.png");
    file.deleteFile();
    {
        juce::FileOutputStream out (file);
        ASSERT_TRUE (out.openedOk());
        ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (image, out));
    }

    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (50, 50), juce::Colour (0xee272b2e), 1));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (305, 335), Resources::Blue));
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (305, 142), juce::Colours::white)) << "16bit is selected";
    EXPECT_TRUE (ui_test::sameColour (image.getPixelAt (515, 142), juce::Colours::black)) << "32bit is not";
}
