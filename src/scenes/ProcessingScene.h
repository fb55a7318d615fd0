#pragma once

#include "components/NButton.h"
#include "components/NComponent.h"
#include "engine/IProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The overlay shown while an offline run is in progress: the processor's
    status text, a bar for the current stage, a bar for the whole run and
    CANCEL. It covers the whole scene and takes every click; only CANCEL acts
    on them. The owner repaints it while the run progresses. */
class ProcessingScene : public NComponent
{
public:
    ProcessingScene();
    ~ProcessingScene() override = default;

    void paint (juce::Graphics& g) override;
    void resized() override;
    /** CANCEL stops the run; anything else is ignored. */
    void nComponentCallback (NComponent* sender, int code, void* data) override;

    juce::Colour backgroundColour{0xdd272b2e};
    /** Set by the owner; the scene reads its progress fields and stops it. */
    std::shared_ptr<IProcessor> processor;
    Components::NButton cancelButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ProcessingScene)
};
