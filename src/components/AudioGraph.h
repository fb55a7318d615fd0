#pragma once

#include "components/NComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace Components::Modules
{
/** The data behind the spectrum display: the ring of mono samples that the
    audio engine fills, and the frame it hands over to the painting thread.

    Hand-over: the work buffer belongs to the audio thread while `frameReady`
    is clear and to the painting thread while it is set; the painter clears the
    flag (atomic exchange) once it has consumed the frame. No lock is taken.

    Realtime contract: construction allocates; pushSample() never does. */
class AudioGraph : public NComponent
{
public:
    static constexpr int32_t ringSize = 8192;
    static constexpr int32_t frameSize = 4096;

    AudioGraph();
    ~AudioGraph() override = default;

    /** Audio thread, once per output sample: writes x into the ring and, just
        after the write index passes 0 or 4096 with no frame waiting, hands the
        most recent 4096 samples over in time order. */
    void pushSample (float x) noexcept
    {
        const int32_t j = spectrumRing.writeIndex;
        spectrumRing.buffer[static_cast<size_t> (j)] = x;
        spectrumRing.writeIndex = (j + 1) & spectrumRing.mask;

        if ((j == 0 || j == frameSize) && !frameReady.load (std::memory_order_acquire))
        {
            std::fill (workBuffer.begin(), workBuffer.end(), 0.0f);
            // The frame ends at j; it starts frameSize - 1 samples earlier.
            const int32_t first = (j + 1 - frameSize) & spectrumRing.mask;
            const int32_t tail = std::min (frameSize, ringSize - first);
            std::copy_n (spectrumRing.buffer.begin() + first, tail, workBuffer.begin());
            std::copy_n (spectrumRing.buffer.begin(), frameSize - tail, workBuffer.begin() + tail);
            frameReady.store (true, std::memory_order_release);
        }
    }

    /** Power-of-two ring of the most recent mono samples, written only by the
        audio thread through pushSample(). */
    struct Ring
    {
        std::vector<float> buffer;
        int32_t size = 0;
        int32_t mask = 0;
        int32_t writeIndex = 0;
    };

    Ring spectrumRing;
    /** The frame handed to the display: input and output of the transform. */
    std::vector<float> workBuffer;
    /** The device rate, written at every device start under the meter flag. */
    std::atomic<double> sampleRate{44100.0};
    std::atomic<bool> frameReady{false};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioGraph)
};
} // namespace Components::Modules
