#pragma once

#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace Components::Console
{
/** One vertical level bar: green up to 0 dB at 89 % of the height, orange
    above it, on a dark background. The console writes `level`; the bar
    repaints only when that changed and is still above the 1e-5 floor, so a
    decayed level leaves the last drawn bar standing. */
class VUMeter : public NComponent
{
public:
    explicit VUMeter (NComponent* logicalParent = nullptr);
    ~VUMeter() override = default;

    void nUpdateComponent() override;
    void paint (juce::Graphics& g) override;
    void resized() override {}

    /** The bar's position for a linear level: 1 at 0 dB, 6^(dB x 0.0215)
        around it, 0 for silence or anything that is not a positive level. */
    static double barScale (float linearLevel) noexcept;

    juce::Colour backgroundColour { 0xff282828 };
    juce::Colour barColour { 0xff14f014 };
    juce::Colour overColour { 0xffeea028 };
    /** Linear peak level, written by the console. */
    float level = 0.0f;
    /** The level the bar was last asked to show. */
    float drawnLevel = 0.0f;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VUMeter)
};
} // namespace Components::Console
