#pragma once

#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace Components
{
/** An icon button of the navigation panel. Its `kind` picks the icon and is
    the code it sends to the parent: 0 triangle, 2 cog, 1 or 3 document; other
    kinds draw nothing. Presses go to the parent enabled or not. */
class NavPanelButton : public NComponent, public juce::TooltipClient
{
public:
    NavPanelButton() = default;
    ~NavPanelButton() override = default;

    juce::String getTooltip() override { return tooltip; }

    void paint (juce::Graphics& g) override;
    void resized() override;
    void mouseEnter (const juce::MouseEvent& e) override;
    void mouseExit (const juce::MouseEvent& e) override;
    void mouseDown (const juce::MouseEvent& e) override;

    int kind = 0;
    bool hovered = false;
    juce::String tooltip;
    /** Margin on each side as a fraction of the width. */
    float insetRatio = 0.2f;
    /** Derived from the size in resized(). */
    float iconSize = 0.0f;
    float centreX = 0.0f;
    float centreY = 0.0f;
    /** The colour of the last paint. */
    juce::Colour currentColour{0xffffffff};

private:
    void paintTriangle (juce::Graphics& g) const;
    void paintCog (juce::Graphics& g) const;
    void paintDocument (juce::Graphics& g) const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (NavPanelButton)
};
} // namespace Components
