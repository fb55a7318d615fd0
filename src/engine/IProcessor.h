#pragma once

#include "engine/Preset.h"
#include "engine/ProcessorListener.h"
#include "engine/SharedText.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_audio_formats/juce_audio_formats.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

/** The one mastering processor: it owns the loaded track, the result of the
    last offline run, the real-time preview chain and the state the user
    interface polls.

    Threads: loading and the offline run run on detached worker threads that
    hold a shared reference to the processor; the preview runs on the audio
    thread; settings come from the message thread. Nothing here calls the user
    interface: it polls `state`, the progress fields and the texts.

    Values that cross threads are atomics. `state` uses the default (sequentially
    consistent) ordering so that seeing a new state also publishes the fields
    written before it; the progress fields are relaxed, since a reader may see
    them one update late. */
class IProcessor
{
public:
    /** Index of each entry of UserParams. */
    enum Param : int
    {
        lowCut = 0,
        lowGain,
        bodyGain,
        clarity,
        brightness,
        loudness,
        compression,
        quality,
        lowCutStereo,
        loudnessRelease,
        ceiling,
        truePeak,
        numParams
    };

    /** Processor states, as polled by the user interface. */
    enum State : int32_t
    {
        stateEmpty = 0,
        stateLoading = 1,
        stateLoaded = 2,
        stateRunning = 3,
        stateFinished = 4,
        stateStopped = 7
    };

    /** The twelve mastering parameters, shared by the whole program. Written by
        the controls and presets on the message thread, read by both chains;
        atomic so the worker thread's copy never tears a value. */
    static std::atomic<float> UserParams[numParams];

    /** The parameter names, which are also the keys of the presets file. */
    static const char* const ParamNames[numParams];

    IProcessor();
    virtual ~IProcessor() = default;

    IProcessor (const IProcessor&) = delete;
    IProcessor& operator= (const IProcessor&) = delete;

    virtual void execute() = 0;
    virtual void stopExecution() {}
    virtual void audioDeviceIOCallback (const float** inputs, int numInputChannels, float** outputs, int numOutputChannels,
                                        int blockSize) noexcept
    {
        juce::ignoreUnused (inputs, numInputChannels, outputs, numOutputChannels, blockSize);
    }
    virtual void settingsChanged() {}
    virtual void initRealTimeSettings (double sampleRate) { juce::ignoreUnused (sampleRate); }
    virtual void destroyRealTimeSettings() {}

    /** Loads `sourceFile` into `sourceBuffer`. The body of a detached thread
        that holds a shared reference to this processor. */
    void fileReaderThreaded();

    bool selectionActive = false;
    std::atomic<int32_t> numChannels{0};
    std::atomic<int32_t> numSamples{0};
    std::atomic<int32_t> mode{0};
    std::atomic<int32_t> numStages{5};
    std::atomic<float> stageProgress{0.0f};
    std::atomic<float> stageFraction{0.0f};
    SharedText statusText;
    std::atomic<int32_t> stageIndex{0};
    std::atomic<int32_t> progressTicks{0};
    int32_t uiSeenTicks = 0;
    std::atomic<double> selectionStart{0.0};
    std::atomic<double> selectionEnd{0.0};
    std::atomic<double> processedStart{0.0};
    std::atomic<double> processedEnd{0.0};
    std::atomic<int32_t> state{stateEmpty};
    int32_t uiSeenState = 0;
    std::atomic<bool> stateChanged{false};
    std::atomic<ProcessorListener*> listener{nullptr};
    float clipLevel = 0.0f;
    const float clipFraction = 0.00015f;
    const float normalisationTarget = 0.92f;
    float inputGain = 0.0f;
    juce::String fileName, filePath, fileFolder, fileExtension, fileBaseName;
    std::shared_ptr<juce::File> sourceFile;
    std::shared_ptr<juce::AudioBuffer<float>> sourceBuffer;
    std::shared_ptr<juce::AudioBuffer<float>> processedBuffer;
    juce::AudioFormatManager formatManager;
    double sourceSampleRate = 44100.0;
    std::atomic<double> processingSampleRate{44100.0};
    int32_t presetCount = 0;
    std::vector<Preset> presets;
    std::atomic<bool> chainEnabled{true};
    std::atomic<int32_t> realTimeLock{0};

    /** Why the last load failed, for the user interface to show once. */
    SharedText loadErrorText;
    /** Why the last offline run could not finish, for the user interface. */
    SharedText runErrorText;

    /** Clip level of a buffer: the lower edge of the lowest 1/400 bin such that
        that bin and all above it hold at most `fraction` of all samples. */
    static float measureClipLevel (const juce::AudioBuffer<float>& buffer, float fraction) noexcept;

    /** Replaces NaN by 0 and clamps infinities to +-2, so that no non-finite
        sample ever reaches a chain. */
    static void sanitiseSamples (juce::AudioBuffer<float>& buffer) noexcept;

private:
    void finishLoad (const juce::String& error, bool hadSource);
};
