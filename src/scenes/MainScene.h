#pragma once

#include "engine/IProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The main surface of the application. Holds the processor it drives. */
class MainScene : public juce::Component
{
public:
    explicit MainScene (std::shared_ptr<IProcessor> processor);
    ~MainScene() override = default;

    void paint (juce::Graphics& g) override;

private:
    std::shared_ptr<IProcessor> processor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainScene)
};
