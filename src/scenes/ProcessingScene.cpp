#include "scenes/ProcessingScene.h"

#include <cmath>

namespace
{
constexpr int barX = 300;
constexpr int barLength = 200;
constexpr int barHeight = 5;
constexpr int stageBarY = 192;
constexpr int overallBarY = 205;
const juce::Colour barColour (0xff0066ff);

int stageBarWidth (float stageProgress) noexcept
{
    if (stageProgress > 1.0f)
        return barLength;

    // A NaN or negative progress shows an empty bar rather than garbage.
    if (!(stageProgress > 0.0f))
        return 0;

    return juce::roundToInt (stageProgress * static_cast<float> (barLength));
}

int overallBarWidth (int stageIndex, int numStages, float stageFraction) noexcept
{
    if (numStages <= 0)
        return 0;

    // Fractional division: each finished stage counts as a whole part of the run.
    const auto stages = static_cast<double> (numStages);
    const auto fraction = static_cast<double> (stageIndex) / stages + static_cast<double> (stageFraction) / stages;

    if (!(fraction > 0.0))
        return 0;

    return juce::roundToInt (juce::jmin (1.0, fraction) * barLength);
}
} // namespace

ProcessingScene::ProcessingScene()
{
    cancelButton.text = "CANCEL";
    cancelButton.nAddParent (this);
    addAndMakeVisible (cancelButton);
}

void ProcessingScene::paint (juce::Graphics& g)
{
    g.fillAll (backgroundColour);

    std::string status;
    auto stageWidth = 0;
    auto overallWidth = 0;

    if (processor != nullptr)
    {
        status = processor->statusText.get();
        stageWidth = stageBarWidth (processor->stageProgress.load (std::memory_order_relaxed));
        overallWidth =
            overallBarWidth (processor->stageIndex.load (std::memory_order_relaxed), processor->numStages.load (std::memory_order_relaxed),
                             processor->stageFraction.load (std::memory_order_relaxed));
    }

    g.setColour (juce::Colours::white);
    g.setFont (11.0f);
    g.drawText (juce::String::fromUTF8 (status.c_str()), juce::Rectangle<int> (barX, 170, barLength, 15), juce::Justification::topLeft,
                true);

    g.setColour (juce::Colours::black);
    g.fillRect (barX, stageBarY, barLength, barHeight);
    g.setColour (barColour);
    g.fillRect (barX, stageBarY, stageWidth, barHeight);

    g.setColour (juce::Colours::black);
    g.fillRect (barX, overallBarY, barLength, barHeight);
    g.setColour (barColour);
    g.fillRect (barX, overallBarY, overallWidth, barHeight);

    needsRedraw = false;
}

void ProcessingScene::resized() { cancelButton.setBounds (300, 220, 48, 18); }

void ProcessingScene::nComponentCallback (NComponent* sender, int code, void*)
{
    if (sender == &cancelButton && code == 0 && processor != nullptr)
        processor->stopExecution();
}
