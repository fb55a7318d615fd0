#pragma once

#include "components/NComponent.h"
#include "dsp/Delay.h"

#include <juce_dsp/juce_dsp.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Components::Modules
{
/** The data behind the spectrum display: the axes and grid of the graph, the
    ring of mono samples that the audio engine fills, the frame it hands over
    to the painting thread, the window, the transform and the peak hold.

    Hand-over: the work buffer belongs to the audio thread while `frameReady`
    is clear and to the painting thread while it is set; the painter clears the
    flag (atomic exchange) once it has consumed the frame. No lock is taken.

    Realtime contract: construction allocates; pushSample() never does. */
class AudioGraph : public NComponent
{
public:
    static constexpr int32_t ringSize = 8192;
    static constexpr int32_t frameSize = 4096;
    static constexpr int32_t fftOrder = 12;
    static constexpr int gridFrequencyCount = 8;
    static constexpr int gridLevelCount = 13;
    /** Every held level starts here, below anything a frame can produce. */
    static constexpr float noLevel = -300.0f;

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

    /** Horizontal position of a frequency on a graph `width` pixels wide:
        20 Hz at the left edge, 20 kHz at the right, logarithmic between. */
    double frequencyToX (double frequency, double width) const noexcept;
    /** Vertical position of a level in dB on a graph `height` pixels high:
        +12 dB at the top edge, -60 dB at the bottom. */
    static double levelToY (double decibels, double height) noexcept;

    juce::Image backgroundImage;
    bool backgroundReady = false;

    double maximumFrequency = 20000.0;
    double minimumFrequency = 20.0;
    double logMaximum = std::log (maximumFrequency);
    double logMinimum = std::log (minimumFrequency);
    double logRange = logMaximum - logMinimum;

    std::array<double, gridFrequencyCount> gridFrequencies { 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0 };
    std::array<const char*, gridFrequencyCount> gridFrequencyLabels { "50hz", "100hz", "200hz", "500hz", "1khz", "2khz", "5khz", "10khz" };
    std::array<double, gridLevelCount> gridLevels { 12.0, 6.0, 0.0, -6.0, -12.0, -18.0, -24.0, -30.0, -36.0, -42.0, -48.0, -54.0, -60.0 };
    std::array<const char*, gridLevelCount> gridLevelLabels { "+12db", "+6db",  "0",     "-6db",  "-12db", "-18db", "-24db",
                                                              "-30db", "-36db", "-42db", "-48db", "-54db", "-60db" };

    /** Displayed level of FFT bin k in dB; entry 0 (DC) is never used. */
    std::vector<float> peakHold;
    bool curveReady = false;
    juce::Path curvePath;

    /** Power-of-two ring of the most recent mono samples, written only by the
        audio thread through pushSample(). */
    DSP::Delay<float> spectrumRing;
    /** The frame handed to the display: input and output of the transform. */
    std::vector<float> workBuffer;
    /** Hann window scaled so that its values sum to the frame size. */
    std::vector<float> window;
    /** The device rate, written at every device start under the meter flag. */
    std::atomic<double> sampleRate { 44100.0 };
    std::atomic<bool> frameReady { false };
    juce::dsp::FFT fft { fftOrder };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioGraph)
};
} // namespace Components::Modules
