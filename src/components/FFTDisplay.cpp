#include "components/FFTDisplay.h"

#include "resources/Settings.h"

#include <cmath>

namespace Components::Modules
{
FFTDisplay::FFTDisplay (NComponent* logicalParent)
{
    // Compared exactly: "GPU" or any other text means software drawing.
    if (Resources::fftRenderEngine == "gpu")
        attachOpenGLContext();

    setOpaque (true);
    nAddParent (logicalParent);
}

FFTDisplay::~FFTDisplay()
{
    stopTimer();
    detachOpenGLContext();
}

bool FFTDisplay::isOpenGLContextAttached() const noexcept { return openGLContext.getTargetComponent() != nullptr; }

void FFTDisplay::attachOpenGLContext()
{
    if (isOpenGLContextAttached())
        return;

    juce::Component* top = this;
    while (top->getParentComponent() != nullptr)
        top = top->getParentComponent();
    openGLContext.attachTo (*top);
}

void FFTDisplay::detachOpenGLContext()
{
    if (isOpenGLContextAttached())
        openGLContext.detach();
}

void FFTDisplay::visibilityChanged()
{
    needsRedraw = true;
    if (isVisible())
        startTimer (50);
    else
        stopTimer();
}

void FFTDisplay::timerCallback()
{
    if (!frameReady.load (std::memory_order_acquire))
        return;
    needsRedraw = true;
    repaint();
}

void FFTDisplay::resized() { renderBackground(); }

void FFTDisplay::renderBackground()
{
    needsRedraw = true;
    backgroundReady = false;

    const int w = getWidth();
    const int h = getHeight();
    if (w <= 0 || h <= 0)
    {
        backgroundImage = {};
        return;
    }

    backgroundImage = juce::Image (juce::Image::ARGB, w, h, true);
    juce::Graphics g (backgroundImage);
    const auto width = static_cast<float> (w);
    const auto height = static_cast<float> (h);

    for (size_t i = 0; i < gridFrequencies.size(); ++i)
    {
        // nearbyint rounds halves to even, like the grid was always laid out.
        const auto x = static_cast<int> (std::nearbyint (frequencyToX (gridFrequencies[i], width)));
        g.setFont (11.0f);
        g.setColour (juce::Colour (0xff787878));
        g.drawText (gridFrequencyLabels[i], x + 4, 4, 50, 14, juce::Justification::topLeft, true);
        g.setColour (juce::Colour (0xff464646));
        g.drawLine (static_cast<float> (x), 0.0f, static_cast<float> (x), height);
    }

    for (size_t i = 0; i < gridLevels.size(); ++i)
    {
        const auto y = static_cast<int> (std::nearbyint (levelToY (gridLevels[i], height)));
        g.setColour (juce::Colour (gridLevels[i] == 0.0 ? 0xff788296 : 0xff464646));
        g.drawLine (0.0f, static_cast<float> (y), width, static_cast<float> (y));
        g.setFont (8.0f);
        g.setColour (juce::Colour (0xff787878));
        g.drawText (gridLevelLabels[i], 2, y - 1, 50, 14, juce::Justification::topLeft, true);
    }

    backgroundReady = true;
}

void FFTDisplay::paint (juce::Graphics& g)
{
    // A repaint that the display did not ask for (an expose, an overlapping
    // window) still redraws the last picture: the display is opaque, so
    // drawing nothing would leave stale pixels behind. Only a requested
    // repaint consumes a waiting frame.
    const bool requested = needsRedraw.exchange (false);

    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());

    g.fillAll (juce::Colour (0xff000000));
    if (backgroundReady)
        g.drawImage (backgroundImage, juce::Rectangle<float> (0.0f, 0.0f, w, h));

    if (requested && frameReady.load (std::memory_order_acquire))
    {
        rebuildCurve (w, h);
        curveReady = true;
        frameReady.exchange (false, std::memory_order_acq_rel);
    }

    if (curveReady)
    {
        g.setColour (juce::Colour (0x32ffffff));
        g.fillPath (curvePath);
        g.setColour (juce::Colour (0x64ffffff));
        g.strokePath (curvePath, juce::PathStrokeType (1.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
    }
}

void FFTDisplay::rebuildCurve (float w, float h)
{
    float* const data = workBuffer.data();
    juce::FloatVectorOperations::multiply (data, window.data(), frameSize);

    // All 4096 complex bins, interleaved, over the 8192 values.
    fft.performRealOnlyForwardTransform (data, false);
    // In place and upwards: bin k is read from 2k and 2k + 1, never below k.
    for (int k = 0; k < frameSize; ++k)
        data[k] = std::hypot (data[2 * k], data[2 * k + 1]);
    juce::FloatVectorOperations::clear (data + frameSize, ringSize - frameSize);
    juce::FloatVectorOperations::multiply (data, 0.05f, ringSize);

    curvePath.clear();
    curvePath.preallocateSpace (4106);
    curvePath.startNewSubPath (0.0f, h);

    // Bin k stands for k x rate / 4096 Hz; an absurd rate draws nothing
    // sensible but never anything undefined.
    double rate = sampleRate.load (std::memory_order_relaxed);
    if (!(std::isfinite (rate) && rate > 0.0))
        rate = 44100.0;
    const double binWidth = rate / frameSize;

    for (int k = 1; k < frameSize; ++k)
    {
        // Limited to [0.001, 1]: every level lies between -60 and 0 dB. A
        // frame poisoned by NaN samples reads as the floor, not as full scale.
        float a = data[k] * 0.13f;
        if (!(a >= 0.001f))
            a = 0.001f;
        else if (a > 1.0f)
            a = 1.0f;
        const float level = 20.0f * std::log10 (a);
        const float candidate = level < 0.0f ? level : 0.0f;

        float& held = peakHold[static_cast<size_t> (k)];
        if (static_cast<double> (candidate) > static_cast<double> (held))
            held = candidate;
        else
            held = static_cast<float> (held - 2.0);

        const auto y = static_cast<float> (levelToY (held, h));
        const auto x = static_cast<float> (frequencyToX (k * binWidth, w));
        curvePath.lineTo (x, y);
    }

    curvePath.lineTo (w, h);
    curvePath.lineTo (0.0f, h);
    curvePath.closeSubPath();
}
} // namespace Components::Modules
