#include "components/AudioGraph.h"

namespace Components::Modules
{
AudioGraph::AudioGraph() :
    peakHold (static_cast<size_t> (frameSize), noLevel), workBuffer (static_cast<size_t> (ringSize), 0.0f),
    window (static_cast<size_t> (frameSize), 0.0f)
{
    // Room for the outline's points (one per bin plus the closing corners),
    // so rebuilding it frame after frame reuses the same storage.
    curvePath.preallocateSpace (4106);
    spectrumRing.setup (ringSize);

    // Hann window; the angle is taken in single precision, the rest in double.
    float sum = 0.0f;
    for (int i = 0; i < frameSize; ++i)
    {
        const float angle = juce::MathConstants<float>::twoPi * static_cast<float> (i) / static_cast<float> (frameSize - 1);
        const auto w = static_cast<float> (0.5 - 0.5 * std::cos (static_cast<double> (angle)));
        window[static_cast<size_t> (i)] = w;
        sum += w;
    }
    // Normalised to sum to the frame size, so a full-scale sine lands on 0 dB.
    juce::FloatVectorOperations::multiply (window.data(), static_cast<float> (frameSize) / sum, frameSize);
}

double AudioGraph::frequencyToX (double frequency, double width) const noexcept
{
    return (std::log (frequency) - logMinimum) / logRange * width;
}

double AudioGraph::levelToY (double decibels, double height) noexcept
{
    return (std::max (decibels, static_cast<double> (noLevel)) + 60.0) / -72.0 * height + height;
}
} // namespace Components::Modules
