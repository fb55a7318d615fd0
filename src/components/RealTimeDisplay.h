#pragma once

#include "audio/Ebu128LoudnessMeter.h"
#include "components/FFTDisplay.h"
#include "components/MeteringDisplay.h"
#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>

namespace Components::Modules
{
/** The real-time analysis area: the spectrum on the left, the loudness
    read-outs on the right, and the loudness meter behind them. The meter is
    prepared, fed and reset only under `meterBusy`, which the audio engine
    takes after its own flag. */
class RealTimeDisplay : public NComponent
{
public:
    RealTimeDisplay();
    ~RealTimeDisplay() override = default;

    void resized() override;
    void paint (juce::Graphics&) override {}
    /** Keeps the spectrum's timer running exactly while it is visible. */
    void visibilityChanged() override;
    /** Code 911 from the metering display resets the meter, under its flag. */
    void nComponentCallback (NComponent* sender, int code, void* data) override;

    FFTDisplay spectrumDisplay { this };
    MeteringDisplay meteringDisplay;
    Ebu128LoudnessMeter loudnessMeter;
    std::atomic<int32_t> meterBusy { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RealTimeDisplay)
};
} // namespace Components::Modules
