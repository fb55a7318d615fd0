#pragma once

#include "components/NButton.h"
#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>
#include <string>

namespace Components::Modules
{
/** The loudness read-outs: momentary, short-term, integrated and range as
    text, and a scrolling history of the three loudness curves, one column per
    measured block.

    The audio engine publishes four values after every measured block and
    counts the publication; the display consumes the count on its 33 ms timer.
    Each value is one aligned word, so the engine takes no lock; the history
    and the resetting of the values are guarded by `imageBusy`. */
class MeteringDisplay : public NComponent, public juce::Timer
{
public:
    static constexpr float noValue = -300.0f;

    MeteringDisplay();
    ~MeteringDisplay() override;

    /** Sets the published values to -300 and replaces the history by an
        empty image of at least 100 x 100 pixels. */
    void init();
    /** Adds one history column per pending publication, all with the latest
        values, then repaints. */
    void update();

    void resized() override;
    void paint (juce::Graphics& g) override;
    void timerCallback() override;
    /** A press of RESET clears the read-outs and asks the parent (code 911)
        to reset the loudness meter. */
    void nComponentCallback (NComponent* sender, int code, void* data) override;

    /** The read-out text of a value: rounded to two decimals (halves away from
        zero) and written like a stream writes a float by default, so -14.567
        gives "-14.57" and -9 gives "-9". `decimals` is not used. */
    static std::string ftos (float value, int decimals);

    /** Vertical position of a loudness in the history of a display `height`
        pixels high: truncate (H - 10^(L / 36) x H / 1.3). */
    static int historyY (float loudness, int height) noexcept;

    juce::Image history;
    std::atomic<int32_t> imageBusy { 0 };

    juce::Colour momentaryColour { 0xc8ffff00 };
    juce::Colour integratedColour { 0xc800ffff };
    juce::Colour shortTermColour { 0xc8ff00ff };
    juce::Colour rangeColour { 0xc8ff6428 };

    std::atomic<float> publishedRange { noValue };
    std::atomic<float> publishedMomentary { noValue };
    std::atomic<float> publishedShortTerm { noValue };
    std::atomic<float> publishedIntegrated { noValue };
    /** Incremented by the engine per publication, decremented per history step. */
    std::atomic<int32_t> updateCounter { 0 };

    Components::NButton resetButton;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MeteringDisplay)
};
} // namespace Components::Modules
