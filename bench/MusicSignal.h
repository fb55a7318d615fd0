#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cmath>
#include <random>

/** Something with the shape of music, for the benchmarks: a bass line and a
    chord with vibrato, a kick every half second, a hi-hat on the off-beats and
    some noise. The same seed every time, so runs are comparable. */
inline juce::AudioBuffer<float> makeMusicSignal (double rate, int length)
{
    juce::AudioBuffer<float> b (2, length);
    std::mt19937 rng (3);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    const double twoPi = juce::MathConstants<double>::twoPi;
    const double bass[] = { 55.0, 65.41, 73.42, 49.0 };
    const double chord[] = { 261.63, 329.63, 392.0, 493.88 };
    for (int i = 0; i < length; ++i)
    {
        const double t = i / rate;
        const double beat = std::fmod (t, 0.5);
        const double bar = bass[static_cast<size_t> (t / 2.0) % 4];
        const double kick = std::exp (-beat * 18.0) * std::sin (twoPi * (45.0 + 80.0 * std::exp (-beat * 40.0)) * beat);
        const double hat = std::exp (-std::fmod (t + 0.25, 0.5) * 60.0);
        const double vibrato = 1.0 + 0.003 * std::sin (twoPi * 5.0 * t);
        double pad = 0.0;
        for (const double f : chord)
            pad += std::sin (twoPi * f * vibrato * t);
        const double tone = 0.35 * std::sin (twoPi * bar * t) + 0.06 * pad + 0.5 * kick;
        for (int c = 0; c < 2; ++c)
        {
            const double s = tone * (c == 0 ? 0.9 : 1.1) + 0.12 * hat * noise (rng) + 0.02 * noise (rng);
            b.setSample (c, i, static_cast<float> (0.7 * s));
        }
    }
    return b;
}
