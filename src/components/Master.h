#pragma once

#include "audio/VisualContext.h"
#include "components/NComponent.h"
#include "components/VUMeter.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

namespace Components::Console
{
/** The meter console: one level bar per output channel at the sides and a
    dB scale between them. On every tick of the main scene's timer it takes
    the channel peaks from the engine's visual context and decays them by
    0.69, so the bars fall about 3.2 dB per 50 ms once the signal stops. */
class Master : public NComponent
{
public:
    Master();
    ~Master() override = default;

    void resized() override;
    void paint (juce::Graphics& g) override;
    /** Message thread, every 50 ms: levels from the visual context (if any),
        then both meters refresh. */
    void nUpdateComponent() override;

    /** Height at which the scale draws a value in dB, in the scale's own
        coordinates: H - (console height x 6^(dB x 0.0215) x 0.8 - 19). */
    float scaleY (double decibels) const noexcept;

    /** Left and right channel; owned children. */
    std::unique_ptr<VUMeter> leftMeter;
    std::unique_ptr<VUMeter> rightMeter;
    /** The space between the bars, set by resized(). */
    float scaleX = 0.0f, scaleYPosition = 0.0f, scaleWidth = 0.0f, scaleHeight = 0.0f;
    /** The engine's current level record; replaced by the main component when
        the device restarts. */
    std::shared_ptr<VisualContext> visualContext;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Master)
};
} // namespace Components::Console
