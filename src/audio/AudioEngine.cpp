#include "audio/AudioEngine.h"

#include "components/RealTimeDisplay.h"

#include <algorithm>
#include <cmath>

AudioEngine::AudioEngine (std::shared_ptr<IProcessor> processorToUse) : processor (std::move (processorToUse)) {}

AudioEngine::~AudioEngine()
{
    // Stop the callbacks before the pointers they read go away: removing the
    // callback waits for one that is running and lets no new one start.
    deviceManager.removeAudioCallback (this);
    deviceManager.closeAudioDevice();

    SpinFlag::acquire (engineBusy);
    processor = nullptr;
    realTimeDisplay = nullptr;
    visualContext = nullptr;
    SpinFlag::release (engineBusy);
}

void AudioEngine::setPlayer (PlaybackState* newPlayer) noexcept
{
    const SpinFlag::ScopedLock lock (engineBusy);
    player.store (newPlayer, std::memory_order_release);
}

void AudioEngine::detachPlayer (const PlaybackState* leaving) noexcept
{
    const SpinFlag::ScopedLock lock (engineBusy);
    if (player.load (std::memory_order_relaxed) == leaving)
        player.store (nullptr, std::memory_order_release);
}

void AudioEngine::setMainScene (MainScene* scene) noexcept
{
    const SpinFlag::ScopedLock lock (engineBusy);
    mainScene.store (scene, std::memory_order_release);
}

std::shared_ptr<VisualContext> AudioEngine::getVisualContext() noexcept
{
    const SpinFlag::ScopedLock lock (engineBusy);
    return visualContext;
}

void AudioEngine::audioDeviceIOCallbackWithContext (const float* const* inputs, int numInputChannels, float* const* outputs,
                                                    int numOutputChannels, int numSamples, const juce::AudioIODeviceCallbackContext&)
{
    audioDeviceIOCallback (inputs, numInputChannels, outputs, numOutputChannels, numSamples);
}

void AudioEngine::audioDeviceAboutToStart (juce::AudioIODevice* device)
{
    const SpinFlag::ScopedLock lock (engineBusy);

    double rate = deviceSampleRate.load (std::memory_order_relaxed);
    int blockSize = 0;
    if (device != nullptr)
    {
        const double current = device->getCurrentSampleRate();
        if (std::isfinite (current) && current > 0.0)
            rate = current;
        blockSize = device->getCurrentBufferSizeSamples();
    }
    deviceSampleRate.store (rate, std::memory_order_relaxed);

    if (processor != nullptr)
        processor->initRealTimeSettings (rate);

    visualContext = std::make_shared<VisualContext> (rate);

    // Prepared whenever the display exists, not only once the main scene is
    // attached: at start-up the device opens before the scene pointer is set,
    // and the meter must not keep measuring at its construction rate.
    if (realTimeDisplay != nullptr)
    {
        const SpinFlag::ScopedLock meterLock (realTimeDisplay->meterBusy);
        // The meter's copy buffer is sized here for the device's block, so the
        // audio thread never grows it.
        realTimeDisplay->loudnessMeter.prepareToPlay (rate, 0, std::max (blockSize, Ebu128LoudnessMeter::defaultMaximumBlockSize));
        realTimeDisplay->spectrumDisplay.sampleRate.store (rate, std::memory_order_relaxed);
    }
}

void AudioEngine::audioDeviceStopped() {}

void AudioEngine::audioDeviceIOCallback (const float* const* inputs, int numInputChannels, float* const* outputs, int numOutputChannels,
                                         int numSamples) noexcept
{
    const SpinFlag::ScopedLock lock (engineBusy);
    if (outputs == nullptr)
        return;

    // The device hands over buffers with undefined contents; whatever plays
    // below adds to silence, and with no player attached yet silence is heard.
    if (numSamples > 0)
        for (int c = 0; c < numOutputChannels; ++c)
            if (outputs[c] != nullptr)
                juce::FloatVectorOperations::clear (outputs[c], numSamples);

    PlaybackState* const playback = player.load (std::memory_order_acquire);
    if (playback != nullptr)
        play (*playback, outputs, numOutputChannels, numSamples);

    const bool playing = playback != nullptr && playback->playState.load (std::memory_order_relaxed) == PlaybackState::playing;

    // The chain, the spectrum and the meter work on a stereo pair; a device
    // opened with a single output plays without them.
    const bool stereo = numOutputChannels >= 2 && outputs[0] != nullptr && outputs[1] != nullptr;

    if (playing && stereo && numSamples > 0 && processor != nullptr && processor->mode.load() == 1 && processor->chainEnabled.load())
    {
        processor->audioDeviceIOCallback (const_cast<const float**> (inputs), numInputChannels, const_cast<float**> (outputs),
                                          numOutputChannels, numSamples);
        if (realTimeDisplay != nullptr)
            analyse (*realTimeDisplay, outputs, numSamples);
    }

    if (visualContext != nullptr && numSamples > 0)
        trackLevels (*visualContext, outputs, numOutputChannels, numSamples);
}

void AudioEngine::play (PlaybackState& playback, float* const* outputs, int numOutputChannels, int numSamples) noexcept
{
    const SpinFlag::ScopedLock lock (playback.playerBusy);

    const juce::AudioBuffer<float>* const buffer = playback.playBuffer.get();
    const int length = buffer != nullptr ? buffer->getNumSamples() : 0;
    const double storedPosition = playback.playPosition.load (std::memory_order_relaxed);
    double position = storedPosition;

    if (buffer != nullptr && playback.loop.load (std::memory_order_relaxed))
    {
        const double loopStartSample = playback.loopStart.load (std::memory_order_relaxed) * length;
        const double loopEndSample = playback.loopEnd.load (std::memory_order_relaxed) * length;
        if (position >= loopEndSample)
            position = loopStartSample;
        // Before the loop: jump to its end, which wraps to its start next block.
        if (loopStartSample > position)
            position = loopEndSample;
    }

    // A position written from outside (a seek, absurd loop bounds) must never
    // index before the buffer.
    if (!(position >= 0.0))
        position = 0.0;
    if (position != storedPosition)
        playback.playPosition.store (position, std::memory_order_relaxed);

    if (playback.playState.load (std::memory_order_relaxed) != PlaybackState::playing || buffer == nullptr || buffer->getNumChannels() < 1)
        return;

    const double ratio = playback.playBufferSampleRate / deviceSampleRate.load (std::memory_order_relaxed);
    if (!(ratio > 0.0 && std::isfinite (ratio)))
        return;

    float volume = playback.volume.load (std::memory_order_relaxed);
    volume = volume >= 0.0f ? std::min (volume, 1.0f) : 0.0f;

    const double lastPlayable = static_cast<double> (length) - 2.0;
    const int sourceChannels = buffer->getNumChannels();
    bool endReached = false;

    for (int c = 0; c < numOutputChannels; ++c)
    {
        float* const out = outputs[c];
        if (out == nullptr)
            continue;
        // A mono buffer plays on every output.
        const float* const source = buffer->getReadPointer (c < sourceChannels ? c : 0);

        if (ratio == 1.0)
        {
            for (int i = 0; i < numSamples; ++i)
            {
                const double x = position + i;
                if (x > lastPlayable)
                {
                    out[i] = 0.0f;
                    endReached = true;
                }
                else
                    out[i] = source[static_cast<int> (x)] * volume;
            }
        }
        else
        {
            for (int i = 0; i < numSamples; ++i)
            {
                const double x = position + ratio * i;
                if (x > lastPlayable)
                {
                    out[i] = 0.0f;
                    endReached = true;
                }
                else
                    out[i] = cubicSample (source, length, x) * volume;
            }
        }
    }

    if (playback.playState.load (std::memory_order_relaxed) == PlaybackState::playing)
    {
        playback.playHeadCounter.fetch_add (1, std::memory_order_relaxed);
        // The end of the buffer does not stop playback: it starts over.
        playback.playPosition.store (endReached ? 0.0 : position + ratio * numSamples, std::memory_order_relaxed);
    }
}

float AudioEngine::cubicSample (const float* s, int length, double x) noexcept
{
    const double floorX = std::floor (x);
    const int m = static_cast<int> (floorX);
    const double h = x - floorX;

    const int m0 = m < length ? m : length - 1;
    const double y0 = s[m0];
    if (h == 0.0)
        return static_cast<float> (y0);

    const int m1 = m + 1 < length ? m + 1 : length - 1;
    const int m2 = m + 2 < length ? m + 2 : length - 1;
    const int mm = m >= 1 ? (m > length ? length - 1 : m - 1) : 0;

    const double y1 = s[m1];
    const double p1 = y0 + (y0 - s[mm]);
    const double p2 = y1 - (s[m2] - y1);
    const double a = 1.0 - h;
    return static_cast<float> (a * a * a * y0 + 3.0 * a * a * h * p1 + 3.0 * a * h * h * p2 + h * h * h * y1);
}

void AudioEngine::analyse (Components::Modules::RealTimeDisplay& display, const float* const* outputs, int numSamples) noexcept
{
    const float* const left = outputs[0];
    const float* const right = outputs[1];

    auto& spectrum = display.spectrumDisplay;
    for (int i = 0; i < numSamples; ++i)
        spectrum.pushSample ((left[i] + right[i]) * 0.5f);

    const SpinFlag::ScopedLock meterLock (display.meterBusy);
    auto& meter = display.loudnessMeter;

    // Longer blocks than the meter was prepared for are measured in pieces
    // inside the meter, so it never grows its copy buffer here.
    const float* const pair[2] = {left, right};
    meter.processBlock (pair, 2, numSamples);

    auto& metering = display.meteringDisplay;
    metering.publishedRange.store (meter.getLoudnessRange(), std::memory_order_relaxed);
    metering.publishedMomentary.store (meter.getMomentaryLoudness(), std::memory_order_relaxed);
    metering.publishedShortTerm.store (meter.getShortTermLoudness(), std::memory_order_relaxed);
    metering.publishedIntegrated.store (meter.getIntegratedLoudness(), std::memory_order_relaxed);
    metering.updateCounter.fetch_add (1, std::memory_order_release);
}

void AudioEngine::trackLevels (VisualContext& context, const float* const* outputs, int numOutputChannels, int numSamples) noexcept
{
    const int tracked = std::min (numOutputChannels, static_cast<int> (context.channelCount));
    for (int c = 0; c < tracked; ++c)
    {
        const float* const out = outputs[c];
        if (out == nullptr)
            continue;
        float lowest = context.levels[2 * c].load (std::memory_order_relaxed);
        float highest = context.levels[2 * c + 1].load (std::memory_order_relaxed);
        for (int i = 0; i < numSamples; ++i)
        {
            lowest = std::min (lowest, out[i]);
            highest = std::max (highest, out[i]);
        }
        context.levels[2 * c].store (lowest, std::memory_order_relaxed);
        context.levels[2 * c + 1].store (highest, std::memory_order_relaxed);
    }
}
