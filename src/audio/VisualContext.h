#pragma once

#include <atomic>
#include <cstdint>

/** Per-channel peak levels shared between the audio engine, which widens
    them on every block, and the console, which reads and decays them on its
    timer. Each level is one float read and written whole, so no lock is
    needed; a new record is made at every device start. */
struct VisualContext
{
    static constexpr int32_t trackedChannels = 2;

    explicit VisualContext (double deviceSampleRate) : sampleRate (deviceSampleRate)
    {
        for (int32_t i = 0; i < 2 * trackedChannels; ++i)
            levels[i].store (0.0f, std::memory_order_relaxed);
    }

    /** For channel c: levels[2c] is the lowest and levels[2c + 1] the highest
        sample seen since the last decay. */
    std::atomic<float> levels[2 * trackedChannels];
    const int32_t channelCount = trackedChannels;
    const double sampleRate;
};
