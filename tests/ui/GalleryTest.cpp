// Renders every widget in each of its looks to PNG files under
// <build>/gallery/, for a person to look at:
//   xvfb-run -a build/bin/ui_tests --gtest_filter='Gallery.*'
#include "UiTestSupport.h"
#include "components/NButton.h"
#include "components/NToggle.h"
#include "components/NavPanelButton.h"
#include "resources/Drawings.h"
#include "resources/Palette.h"
#include "scenes/InstructionOverlayComponent.h"
#include "scenes/ProcessInstructionOverlay.h"
#include "scenes/ProcessingScene.h"
#include "scenes/QuorvelIcon.h"
#include "scenes/UserFeedbackComponent.h"
#include "widgets/QVButton.h"
#include "widgets/QVCloseButton.h"
#include "widgets/QVKnob.h"
#include "widgets/QVKnobLabel.h"

#include <functional>
#include <memory>
#include <vector>

namespace
{
/** The scene's background behind whatever is shown, as in the program. */
struct Backdrop : juce::Component
{
    void paint (juce::Graphics& g) override { g.fillAll (Resources::BackgroundClr); }
};

class Gallery
{
public:
    Gallery() : folder (juce::File (QUORVEL_TEST_BUILD_DIR).getChildFile ("gallery")) { folder.createDirectory(); }

    /** Shows the children on the backdrop at twice their size and saves the picture. */
    void save (const juce::String& name, int w, int h, const std::vector<juce::Component*>& children, float scale = 2.0f)
    {
        Backdrop backdrop;
        backdrop.setSize (w, h);

        for (auto* child : children)
            backdrop.addAndMakeVisible (child);

        const auto image = backdrop.createComponentSnapshot (backdrop.getLocalBounds(), true, scale);
        const auto file = folder.getChildFile (name + ".png");
        file.deleteFile();

        {
            juce::FileOutputStream out (file);
            juce::PNGImageFormat png;
            ASSERT_TRUE (out.openedOk()) << file.getFullPathName();
            ASSERT_TRUE (png.writeImageToStream (image, out)) << name;
        }

        written.push_back ({file, image.getWidth(), image.getHeight()});

        for (auto* child : children)
            backdrop.removeChildComponent (child);
    }

    struct Written
    {
        juce::File file;
        int width, height;
    };

    juce::File folder;
    std::vector<Written> written;
};

template <typename Button> void layOut (Button& b, const char* text, int x, int y)
{
    b.text = text;
    b.setBounds (x, y, 70, 22);
}
} // namespace

TEST (Gallery, RendersEveryWidgetInItsLooks)
{
    Gallery gallery;

    // Knobs at the ends and in between, with labels of 1, 5 and 11 ticks.
    for (const float value : {0.0f, 0.25f, 0.5f, 1.0f})
    {
        QVKnob knob (1.5f);
        knob.value = value;
        knob.setTopLeftPosition (10, 10);
        gallery.save ("knob_value_" + juce::String (value, 2), 95, 95, {&knob});
    }

    for (const int ticks : {1, 5, 11})
    {
        QVKnob knob (1.0f);
        knob.setTopLeftPosition (40, 35);
        knob.value = 0.7f;
        QVKnobLabel label;
        label.knob = &knob;
        label.title = "LOUDNESS";
        for (int i = 0; i < ticks; ++i)
            label.ticks.push_back (std::to_string (i));
        label.tickCount = ticks;
        label.setSize (100, 100);
        label.resized();
        gallery.save ("knob_label_" + juce::String (ticks) + "_ticks", 130, 140, {&label, &knob});
    }

    // QVButton in every state, one picture each.
    {
        struct Look
        {
            const char* name;
            bool enabled, selected, hovered;
            float border;
            const char* text;
        };
        const std::vector<Look> looks{
            {"normal", true, false, false, 1.5f, "PROCESS"},
            {"hovered", true, false, true, 1.5f, "PROCESS"},
            {"selected", true, true, false, 1.5f, "PROCESS"},
            {"disabled", false, false, false, 1.5f, "PROCESS"},
            {"disabled_hovered", false, false, true, 1.5f, "PROCESS"},
            {"disabled_selected", false, true, false, 1.5f, "PROCESS"},
            {"no_border", true, false, false, 0.0f, "PROCESS"},
            {"too_long_text", true, false, false, 1.5f, "A TEXT FAR TOO LONG FOR THE BUTTON"},
        };

        for (const auto& l : looks)
        {
            QVButton button;
            layOut (button, l.text, 10, 10);
            button.setEnabled (l.enabled);
            button.selected = l.selected;
            button.hovered = l.hovered;
            button.borderThickness = l.border;
            button.updateState();
            gallery.save (juce::String ("qvbutton_") + l.name, 90, 42, {&button});
        }
    }

    for (const bool hovered : {false, true})
    {
        QVCloseButton close;
        close.setBounds (10, 10, 30, 30);
        close.hovered = hovered;
        gallery.save (hovered ? "closebutton_hovered" : "closebutton_normal", 50, 50, {&close});
    }

    // NButton looks side by side, as CANCEL and RESET appear.
    {
        Components::NButton normal, hovered, selected, disabled, noHighlight;
        layOut (normal, "CANCEL", 10, 10);
        layOut (hovered, "HOVERED", 90, 10);
        layOut (selected, "SELECTED", 170, 10);
        layOut (disabled, "DISABLED", 250, 10);
        layOut (noHighlight, "NO HOVER", 330, 10);
        hovered.hovered = true;
        selected.selected = true;
        disabled.setEnabled (false);
        noHighlight.hovered = true;
        noHighlight.hoverHighlight = false;
        for (auto* b : {&normal, &hovered, &selected, &disabled, &noHighlight})
            b->updateState();
        gallery.save ("nbutton_states", 410, 42, {&normal, &hovered, &selected, &disabled, &noHighlight});
    }

    {
        Components::NToggle off, on, disabledOn;
        off.setBounds (10, 10, 40, 20);
        on.setBounds (60, 10, 40, 20);
        disabledOn.setBounds (110, 10, 40, 20);
        on.setValue (true);
        disabledOn.setValue (true);
        disabledOn.setEnabled (false);
        gallery.save ("ntoggle_off_on_disabled", 160, 40, {&off, &on, &disabledOn});
    }

    for (const bool hovered : {false, true})
    {
        std::vector<std::unique_ptr<Components::NavPanelButton>> buttons;
        std::vector<juce::Component*> shown;

        for (const int kind : {0, 1, 2, 3, 4})
        {
            auto b = std::make_unique<Components::NavPanelButton>();
            b->kind = kind;
            b->hovered = hovered;
            b->setBounds (10 + kind * 50, 10, 40, 40);
            shown.push_back (b.get());
            buttons.push_back (std::move (b));
        }

        gallery.save (hovered ? "navpanel_kinds_0_to_4_hovered" : "navpanel_kinds_0_to_4", 260, 60, shown);
    }

    // The processing overlay at the start, the middle and past the end of a run.
    {
        struct Progress
        {
            const char* name;
            float stageProgress;
            int stageIndex;
            float stageFraction;
            const char* status;
        };
        const std::vector<Progress> runs{
            {"start", 0.0f, 0, 0.0f, "Preparing"},
            {"middle", 0.4f, 2, 0.4f, "Processing bands"},
            {"overshoot", 1.3f, 4, 1.0f, "A status far too long to fit in its two hundred pixel box"},
        };

        for (const auto& r : runs)
        {
            struct Idle : IProcessor
            {
                void execute() override {}
            };
            auto processor = std::make_shared<Idle>();
            processor->stageProgress = r.stageProgress;
            processor->stageIndex = r.stageIndex;
            processor->stageFraction = r.stageFraction;
            processor->statusText = std::string (r.status);

            ProcessingScene scene;
            scene.processor = processor;
            scene.setBounds (0, 0, 1040, 540);
            gallery.save (juce::String ("processing_scene_") + r.name, 1040, 540, {&scene}, 1.0f);
        }
    }

    for (const int corner : {0, 1, 2, 3})
    {
        UserFeedbackComponent readOut;
        readOut.setBounds (0, 0, 1040, 540);
        readOut.show ("CEILING -0.3 dB", corner);
        readOut.timerCallback();
        gallery.save ("readout_corner_" + juce::String (corner), 1040, 540, {&readOut}, 0.5f);
    }

    {
        InstructionOverlayComponent drop ("Drag and Drop source audio file here or click browse!");
        ProcessInstructionOverlay process ("Highlight and process or process the entire track!");
        drop.setBounds (0, 0, 600, 40);
        process.setBounds (0, 40, 600, 40);
        gallery.save ("hint_overlays", 600, 80, {&drop, &process});
    }

    // The drawings at their own size, and the icon as the main scene shows it.
    {
        struct Shown
        {
            Resources::Drawings id;
            const char* name;
            int w, h;
        };
        for (const auto& d :
             {Shown{Resources::LogoStelvane, "logo_stelvane", 400, 48}, Shown{Resources::IconQuorvel, "icon_quorvel", 400, 400},
              Shown{Resources::IconQuorvelVari, "icon_quorvel_vari", 400, 400}, Shown{Resources::IconSave, "icon_save", 734, 734}})
        {
            auto drawable = Resources::getDrawing (d.id);
            ASSERT_NE (drawable, nullptr) << d.name;
            gallery.save (juce::String ("drawing_") + d.name, d.w, d.h, {drawable.get()}, 1.0f);
        }

        QuorvelIcon icon;
        icon.drawing = Resources::getDrawing (Resources::IconQuorvel);
        ASSERT_NE (icon.drawing, nullptr);
        icon.drawing->setTransform (juce::AffineTransform::scale (0.3f));
        icon.addAndMakeVisible (*icon.drawing);
        icon.setBounds (10, 10, 120, 120);
        gallery.save ("quorvel_icon_scaled_0.3", 140, 140, {&icon}, 1.0f);
    }

    // Every picture was written and reads back at its size.
    ASSERT_FALSE (gallery.written.empty());
    for (const auto& w : gallery.written)
    {
        const auto back = juce::ImageFileFormat::loadFrom (w.file);
        ASSERT_TRUE (back.isValid()) << w.file.getFullPathName();
        EXPECT_EQ (back.getWidth(), w.width) << w.file.getFileName();
        EXPECT_EQ (back.getHeight(), w.height) << w.file.getFileName();
    }

    std::cout << "Gallery: " << gallery.written.size() << " pictures in " << gallery.folder.getFullPathName() << std::endl;
}
