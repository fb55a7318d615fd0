#pragma once

#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>

namespace Components::Modules
{
/** The loudness read-outs. The audio engine publishes four values after every
    measured block and counts the publication; the display consumes the count
    on its own timer. Each value is one aligned word, so no lock is needed. */
class MeteringDisplay : public NComponent
{
public:
    static constexpr float noValue = -300.0f;

    MeteringDisplay() = default;
    ~MeteringDisplay() override = default;

    std::atomic<float> publishedRange{noValue};
    std::atomic<float> publishedMomentary{noValue};
    std::atomic<float> publishedShortTerm{noValue};
    std::atomic<float> publishedIntegrated{noValue};
    /** Incremented by the engine per publication, decremented per history step. */
    std::atomic<int32_t> updateCounter{0};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MeteringDisplay)
};
} // namespace Components::Modules
