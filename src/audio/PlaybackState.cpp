#include "audio/PlaybackState.h"

#include "audio/AudioEngine.h"

#include <cmath>

PlaybackState::~PlaybackState()
{
    if (engine != nullptr)
        engine->detachPlayer (this);
}

void PlaybackState::switchPlayBuffer (std::shared_ptr<juce::AudioBuffer<float>> buffer, double sampleRate)
{
    std::shared_ptr<juce::AudioBuffer<float>> previous;
    {
        const SpinFlag::ScopedLock lock (playerBusy);
        previous = std::move (playBuffer);
        playBuffer = std::move (buffer);

        // A rate that is not a positive number cannot place a position in
        // time; keep the position as it is rather than make it NaN or 0.
        const double oldRate = playBufferSampleRate;
        if (std::isfinite (sampleRate) && sampleRate > 0.0 && std::isfinite (oldRate) && oldRate > 0.0)
            playPosition.store (playPosition.load (std::memory_order_relaxed) * (sampleRate / oldRate), std::memory_order_relaxed);
        playBufferSampleRate = sampleRate;
    }
    // The old buffer may go away here, outside the flag and never on the
    // audio thread.
    previous.reset();
}

void PlaybackState::releasePlayBuffer()
{
    std::shared_ptr<juce::AudioBuffer<float>> previous;
    {
        const SpinFlag::ScopedLock lock (playerBusy);
        previous = std::move (playBuffer);
        playBuffer = nullptr;
        playPosition.store (0.0, std::memory_order_relaxed);
    }
}
