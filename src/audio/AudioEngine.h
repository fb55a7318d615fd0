#pragma once

#include "audio/PlaybackState.h"
#include "audio/VisualContext.h"
#include "engine/IProcessor.h"

#include <juce_audio_devices/juce_audio_devices.h>

#include <atomic>
#include <cstdint>
#include <memory>

class MainScene;

namespace Components::Modules
{
class RealTimeDisplay;
}

/** The program's only audio device callback. On every device block it plays
    the player's buffer at the player's position, converting its rate to the
    device's on the fly; loops within the selection; in real-time mode lets the
    processor's chain work on the block in place and feeds the spectrum ring and
    the loudness meter; and widens the per-channel levels of the visual context.

    Realtime contract: the device callback never allocates, locks a mutex or
    logs; it waits only on the busy flags, in the order engine, player
    (released before the processor runs), processor, meter. Device start,
    construction and destruction run on the message thread and may allocate. */
class AudioEngine : public juce::AudioIODeviceCallback
{
public:
    explicit AudioEngine (std::shared_ptr<IProcessor> processorToUse = nullptr);
    ~AudioEngine() override;

    AudioEngine (const AudioEngine&) = delete;
    AudioEngine& operator= (const AudioEngine&) = delete;

    /** One device block; also callable directly with buffers the caller owns. */
    void audioDeviceIOCallback (const float* const* inputs, int numInputChannels, float* const* outputs, int numOutputChannels,
                                int numSamples) noexcept;

    void audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputChannels, float* const* outputs, int numOutputChannels,
                                           int numSamples, const juce::AudioIODeviceCallbackContext& context) override;
    void audioDeviceAboutToStart (juce::AudioIODevice* device) override;
    void audioDeviceStopped() override;

    /** Attaches the player (or none). Waits for a running callback, so once
        this returns the old player is no longer read. Message thread. */
    void setPlayer (PlaybackState* newPlayer) noexcept;
    /** Clears the player pointer if it still points at `leaving`. */
    void detachPlayer (const PlaybackState* leaving) noexcept;
    void setMainScene (MainScene* scene) noexcept;

    /** The current level record, copied under the engine flag because a device
        restart replaces it. */
    std::shared_ptr<VisualContext> getVisualContext() noexcept;

    /** Four-point interpolation at fractional index x of a channel of `length`
        samples: a cubic Bezier segment from s[M] to s[M + 1] whose inner
        control points continue the neighbouring slopes. Indices are limited to
        the channel. */
    static float cubicSample (const float* s, int length, double x) noexcept;

    juce::AudioDeviceManager deviceManager;
    /** Written at device start; read by the message thread for the real-time
        settings. */
    std::atomic<double> deviceSampleRate{44100.0};
    /** Plain back-pointers; both may be empty while the device already runs. */
    std::atomic<PlaybackState*> player{nullptr};
    std::atomic<MainScene*> mainScene{nullptr};
    /** Replaced at every device start; read it with getVisualContext(). */
    std::shared_ptr<VisualContext> visualContext;
    /** Set before the device opens: owner of the spectrum ring, the loudness
        meter and the meter flag. */
    std::shared_ptr<Components::Modules::RealTimeDisplay> realTimeDisplay;
    /** Set before the device opens: the real-time chain. */
    std::shared_ptr<IProcessor> processor;
    std::atomic<int32_t> engineBusy{0};

private:
    void play (PlaybackState& playback, float* const* outputs, int numOutputChannels, int numSamples) noexcept;
    void analyse (Components::Modules::RealTimeDisplay& display, const float* const* outputs, int numSamples) noexcept;
    void trackLevels (VisualContext& context, const float* const* outputs, int numOutputChannels, int numSamples) noexcept;
};
