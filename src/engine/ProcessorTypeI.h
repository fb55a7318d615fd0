#pragma once

#include "dsp/Biquad.h"
#include "dsp/Compressor.h"
#include "dsp/Delay.h"
#include "dsp/FIRFilter.h"
#include "dsp/Limiter.h"
#include "engine/IProcessor.h"

#include <array>
#include <atomic>

/** The concrete mastering processor: the real-time preview chain and the
    offline mastering run. */
class ProcessorTypeI : public IProcessor
{
public:
    ProcessorTypeI();
    ~ProcessorTypeI() override = default;

    /** The offline mastering run; the body of a detached worker thread. */
    void execute() override;
    void stopExecution() override;

    std::atomic<bool> stopRequested { false };

    //==============================================================================

    //==============================================================================
    // Offline run results (OfflineRun.cpp).

    /** What the last finished run used and measured: its FIR length, the peak
        of its range (sample peak or interpolated peak) and the final gain it
        applied (1 when the range was silent). Written before `state` becomes
        4. */
    std::atomic<int32_t> lastRunTaps { 0 };
    std::atomic<float> lastRunPeak { 0.0f };
    std::atomic<float> lastRunGain { 1.0f };

    /** The interpolated peak between x1 and x2: the largest of |x1| and the
        magnitudes of a cubic Bezier curve from x1 to x2, leaving x1 along the
        slope from x0 and arriving at x2 along the slope towards x3, at
        t = 0.2, 0.4, 0.6 and 0.8. */
    static float interSamplePeak (float x0, float x1, float x2, float x3) noexcept;

    //==============================================================================
    // Real-time preview chain (RealTimeChain.cpp). Everything below is guarded
    // by realTimeLock. initRealTimeSettings, settingsChanged, setupEQ and
    // setupFilters run on the message thread and may allocate (only beyond the
    // reserved filter lengths); audioDeviceIOCallback never allocates.
    void initRealTimeSettings (double sampleRate) override;
    void settingsChanged() override;
    void audioDeviceIOCallback (const float** inputs, int numInputChannels, float** outputs, int numOutputChannels,
                                int blockSize) noexcept override;
    /** Turns the four tone parameters into `bandGains`. Caller holds realTimeLock. */
    void setupEQ();
    /** Designs the twelve split low-passes, packs them into `splitFilters` and
        sizes the dry delays. Caller holds realTimeLock. */
    void setupFilters (double sampleRate, int taps);

    using SplitRegister = juce::dsp::SIMDRegister<float>;
    static constexpr int realTimeChunk = 512; ///< frames per pass; larger blocks are done in chunks

    float appliedParams[numParams]{};
    float bandGains[12]{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    DSP::Delay<float> dryDelays[2];
    DSP::FIRFilter<float> designFilters[12];
    DSP::FIRFilter<SplitRegister> splitFilters[6];
    DSP::Limiter<float> limiters[4];
    DSP::Compressor<float> compressors[12];
    Biquad sideHighPass;
    Biquad sideShelf;
    double realTimeSampleRate = 44100.0;
    int32_t realTimeTaps = 512;

private:
    // Preallocated scratch of the real-time callback, one chunk long.
    std::array<SplitRegister, realTimeChunk> splitInput{};
    std::array<std::array<SplitRegister, realTimeChunk>, 3> splitOutput{};
    std::array<float, realTimeChunk> dryScratch{};
    std::array<std::array<float, realTimeChunk>, 2> midScratch{};
    std::array<std::array<float, realTimeChunk>, 2> highScratch{};

    void processChunk (float* left, float* right, int numFrames) noexcept;
    void splitChannel (int channel, float* samples, int numFrames) noexcept;
    //==============================================================================
};
