#pragma once

#include "engine/SpinFlag.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <atomic>
#include <cstdint>
#include <memory>

class AudioEngine;

/** The player's playback state: what the audio engine plays on every device
    block. The transport and the main scene write it on the message thread;
    the engine reads it, moves the position and counts blocks on the audio
    thread.

    The play buffer and its sample rate change only under `playerBusy`, and
    always together with a rescaled position (`switchPlayBuffer`), so the
    engine never plays a buffer at the wrong rate. Everything else is a single
    aligned word read and written without a lock. */
class PlaybackState
{
public:
    enum PlayState : int32_t
    {
        stopped = 0,
        playing = 1,
        paused = 2
    };

    PlaybackState() = default;
    /** Detaches from the engine first, so no callback reads a dying player. */
    virtual ~PlaybackState();

    PlaybackState (const PlaybackState&) = delete;
    PlaybackState& operator= (const PlaybackState&) = delete;

    /** The buffer-switch protocol (message thread): under the player flag,
        installs the buffer and its rate and scales the position by new rate
        / old rate, so playback continues at the same point in time. */
    void switchPlayBuffer (std::shared_ptr<juce::AudioBuffer<float>> buffer, double sampleRate);

    /** Drops the play buffer under the player flag and rewinds to 0. */
    void releasePlayBuffer();

    std::atomic<int32_t> playState{stopped};
    /** Guarded by `playerBusy`. */
    std::shared_ptr<juce::AudioBuffer<float>> playBuffer;
    std::atomic<bool> loop{false};
    std::atomic<double> loopStart{0.0};
    std::atomic<double> loopEnd{0.0};
    std::atomic<int32_t> playHeadCounter{0};
    std::atomic<float> volume{1.0f};
    std::atomic<double> playPosition{0.0};
    /** Guarded by `playerBusy`, like the buffer it belongs to. */
    double playBufferSampleRate = 44100.0;
    std::shared_ptr<AudioEngine> engine;
    std::atomic<int32_t> playerBusy{0};
};
