#pragma once

// Helpers for the meter and spectrum tests: reference drawings to compare
// snapshots with, the message loop for the components' own timers, a
// music-like test signal and PNG output.

#include "resources/Settings.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

namespace meter_test
{
/** Sets the render-engine setting for one test and restores it after. */
class ScopedRenderEngine
{
public:
    explicit ScopedRenderEngine (const juce::String& value) : previous (Resources::fftRenderEngine) { Resources::fftRenderEngine = value; }
    ~ScopedRenderEngine() { Resources::fftRenderEngine = previous; }
    ScopedRenderEngine (const ScopedRenderEngine&) = delete;
    ScopedRenderEngine& operator= (const ScopedRenderEngine&) = delete;

private:
    juce::String previous;
};

/** An ARGB image of w x h drawn by `draw`, to compare a snapshot with. */
inline juce::Image referenceImage (int w, int h, const std::function<void (juce::Graphics&)>& draw)
{
    juce::Image image (juce::Image::ARGB, w, h, true);
    juce::Graphics g (image);
    draw (g);
    return image;
}

/** True if both images hold the same pixels throughout `area`. */
inline ::testing::AssertionResult sameRegion (const juce::Image& actual, const juce::Image& expected, juce::Rectangle<int> area)
{
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (actual.getPixelAt (x, y) != expected.getPixelAt (x, y))
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << actual.getPixelAt (x, y).toDisplayString (true) << ", expected "
                       << expected.getPixelAt (x, y).toDisplayString (true);
    return ::testing::AssertionSuccess();
}

/** Runs the message loop (timers, repaints) for about `ms` milliseconds. */
inline void runMessageLoop (int ms) { juce::MessageManager::getInstance()->runDispatchLoopUntil (ms); }

/** Runs the message loop until `condition` holds or `timeoutMs` passed. */
inline bool runUntil (const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        runMessageLoop (10);
    }
    return true;
}

/** A stereo groove at 120 beats per minute: kick, snare and hi-hat, a bass
    line and a chord pad, panned apart, with a peak of about `peak`. Seeded,
    so every run hears the same music. */
inline juce::AudioBuffer<float> makeMusicLikeSignal (double seconds, double rate, float peak)
{
    const int n = static_cast<int> (seconds * rate);
    juce::AudioBuffer<float> out (2, n);
    out.clear();
    juce::Random random (1234);

    const double beat = 0.5;
    const double bassNotes[] = { 55.0, 43.65, 65.41, 49.0 }; // A1 F1 C2 G1
    const double chords[][3] = {
        { 220.0, 261.63, 329.63 }, { 174.61, 220.0, 261.63 }, { 261.63, 329.63, 392.0 }, { 196.0, 246.94, 293.66 }
    };
    double bassPhase = 0.0;
    float snareLow = 0.0f;

    for (int i = 0; i < n; ++i)
    {
        const double t = i / rate;
        const double inBeat = std::fmod (t, beat);
        const int beatIndex = static_cast<int> (t / beat);
        const int bar = (beatIndex / 4) % 4;

        // Kick on every beat: a falling sine with a fast decay.
        const double kick =
            std::sin (juce::MathConstants<double>::twoPi * (45.0 * inBeat + 60.0 * (1.0 - std::exp (-inBeat * 30.0)) / 30.0))
            * std::exp (-inBeat * 9.0);

        // Snare on beats 2 and 4: noise with a body, and an eighth-note hi-hat.
        const float noise = random.nextFloat() * 2.0f - 1.0f;
        snareLow += 0.3f * (noise - snareLow);
        const double snare = (beatIndex % 2 == 1) ? (noise - snareLow * 0.5) * std::exp (-inBeat * 18.0) : 0.0;
        const double inEighth = std::fmod (t, beat * 0.5);
        const double hat = (noise - snareLow) * std::exp (-inEighth * 60.0);

        // Bass: a few harmonics of the bar's note, plucked per beat.
        bassPhase += bassNotes[bar] / rate;
        double bass = 0.0;
        for (int h = 1; h <= 5; ++h)
            bass += std::sin (juce::MathConstants<double>::twoPi * bassPhase * h) / h;
        bass *= 0.5 * std::exp (-inBeat * 3.0);

        // Pad: the bar's triad with two harmonics per note, swelling slowly.
        double pad = 0.0;
        for (const double f : chords[bar])
            pad +=
                std::sin (juce::MathConstants<double>::twoPi * f * t) + 0.3 * std::sin (juce::MathConstants<double>::twoPi * 2.0 * f * t);
        pad *= 0.08 * (0.6 + 0.4 * std::sin (juce::MathConstants<double>::twoPi * 0.25 * t));

        const double centre = 0.9 * kick + 0.5 * bass + 0.35 * snare;
        out.setSample (0, i, static_cast<float> (centre + 0.7 * pad + 0.08 * hat));
        out.setSample (1, i, static_cast<float> (centre + 0.5 * pad + 0.14 * hat));
    }

    const float magnitude = out.getMagnitude (0, n);
    if (magnitude > 0.0f)
        out.applyGain (peak / magnitude);
    return out;
}

/** Writes a PNG, replacing an older one. */
inline bool savePng (const juce::Image& image, const juce::File& file)
{
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat png;
    return out.openedOk() && png.writeImageToStream (image, out);
}
} // namespace meter_test
