#include "views/WaveFormView.h"

#include <cmath>
#include <iostream>
#include <thread>

namespace
{
juce::Image makePicture (int width, int height)
{
    // Software images: the worker thread writes pixels while the message
    // thread paints the same picture to show the drawing grow.
    return juce::Image (juce::Image::ARGB, std::max (1, width), std::max (1, height), true, juce::SoftwareImageType());
}

juce::uint8 toByte (float v) noexcept
{
    if (v <= 0.0f)
        return 0;
    if (v >= 1.0f)
        return 255;
    return static_cast<juce::uint8> (v * 255.996f);
}
} // namespace

WaveFormView::WaveFormView() : picture (makePicture (780, 100)), current (std::make_shared<Drawing>())
{
    drawOverlay();
    playhead.setBounds (0, 0, 2, 100);
    playhead.setAlpha (191.0f / 255.0f);
    addAndMakeVisible (playhead);
    selection.setBounds (0, 0, 780, 100);
    selection.setAlpha (84.0f / 255.0f);
    addChildComponent (selection);
}

WaveFormView::~WaveFormView() { abandonDrawing(); }

void WaveFormView::abandonDrawing() { current->cancelled = true; }

void WaveFormView::setBuffer (std::shared_ptr<juce::AudioBuffer<float>> newBuffer, double rate)
{
    buffer = std::move (newBuffer);
    sampleRate = rate;
}

int WaveFormView::getDrawingState() const noexcept { return current->state.load(); }

void WaveFormView::setDrawingState (int newState) noexcept { current->state = newState; }

void WaveFormView::reset()
{
    abandonDrawing();
    current = std::make_shared<Drawing>();
    picture = makePicture (getWidth() > 0 ? getWidth() : 780, getHeight() > 0 ? getHeight() : 100);
    drawOverlay();
    repaint();
}

void WaveFormView::updateViewFromAudioDataThreaded()
{
    abandonDrawing();
    auto job = std::make_shared<Drawing>();
    current = job;

    auto source = buffer != nullptr ? buffer : std::make_shared<juce::AudioBuffer<float>>();
    picture = makePicture (getWidth(), getHeight());
    auto image = picture; // shares the pixels with the view
    const double rate = sampleRate, centre = centreLine, scale = amplitudeScale;

    std::thread (
        [job, source, image, rate, centre, scale]() mutable
        {
            if (drawSamples (*source, rate, image, centre, scale, job->cancelled, job->state))
            {
                drawOverlay (image, centre, scale);
                job->state = drawn;
            }
        })
        .detach();
}

bool WaveFormView::drawSamples (const juce::AudioBuffer<float>& source, double rate, juce::Image& image, double centreLine, double scale,
                                const std::atomic<bool>& cancelled, std::atomic<int>& state)
{
    const int n = source.getNumSamples();
    const int width = image.getWidth();
    const int height = image.getHeight();
    const float f = static_cast<float> (2205.0 / rate);
    std::cout << "drawing samples : " << n << std::endl;

    if (n <= 0 || source.getNumChannels() == 0)
        return !cancelled.load (std::memory_order_relaxed);

    const double e = static_cast<double> (n) / width;
    const float brightness = static_cast<float> (1200.0 / e);
    const float* samples = source.getReadPointer (0);

    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);
    state = drawing;
    float previous = 0.0f;
    for (int i = 0; i < n; ++i)
    {
        if (cancelled.load (std::memory_order_relaxed))
            return false;

        const float sample = samples[i];
        const int x = static_cast<int> (static_cast<juce::int64> (i) * width / n);
        const int y = static_cast<int> (static_cast<float> (static_cast<double> (sample) * scale + centreLine));
        const float d = std::min (f, std::abs (sample - previous));
        previous = sample;
        if (y < 0 || y >= height)
            continue;

        auto* pixel = reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y));
        const float r = pixel->getRed() / 255.0f + (1.0f - d / f) * brightness;
        const float g = pixel->getGreen() / 255.0f + (d < f / 2.0f ? brightness * (d * 0.5f / f) : brightness * (1.0f - d * 0.5f / f));
        const float b = pixel->getBlue() / 255.0f + (d / f) * brightness;
        pixel->setARGB (255, toByte (r), toByte (g), toByte (b));
    }
    return true;
}

void WaveFormView::drawOverlay() { drawOverlay (picture, centreLine, amplitudeScale); }

void WaveFormView::drawOverlay (juce::Image& image, double centreLine, double scale)
{
    juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readWrite);
    for (const double row : {centreLine, centreLine + scale, centreLine - scale})
    {
        const int y = static_cast<int> (row);
        if (y < 0 || y >= image.getHeight())
            continue;
        for (int x = 0; x < image.getWidth(); ++x)
        {
            auto* pixel = reinterpret_cast<juce::PixelARGB*> (pixels.getPixelPointer (x, y));
            pixel->setARGB (255, static_cast<juce::uint8> ((2 * pixel->getRed() + 150) / 3),
                            static_cast<juce::uint8> ((2 * pixel->getGreen() + 150) / 3),
                            static_cast<juce::uint8> ((2 * pixel->getBlue() + 150) / 3));
        }
    }
}

bool WaveFormView::poll()
{
    const int state = getDrawingState();
    if (state == drawing)
        repaint();
    const bool changed = state != lastPolledState;
    lastPolledState = state;
    return changed;
}

void WaveFormView::paint (juce::Graphics& g)
{
    g.fillAll (backgroundColour);
    g.drawImageAt (picture, 0, 0);
}

void WaveFormView::mouseDown (const juce::MouseEvent& e)
{
    if (auto* p = getParentComponent())
        p->mouseDown (e);
}

void WaveFormView::mouseMove (const juce::MouseEvent& e)
{
    if (auto* p = getParentComponent())
        p->mouseMove (e);
}

void WaveFormView::mouseDrag (const juce::MouseEvent& e)
{
    const int width = getWidth();
    if (width <= 0 || !onSelectionDragged)
        return;

    const auto downX = static_cast<double> (e.mouseDownPosition.x);
    const int dx = juce::roundToInt (e.position.x - e.mouseDownPosition.x);
    const double a = downX / width;
    const double b = (downX + dx) / width;
    if (a != b)
        onSelectionDragged (a, b);
}

void WaveFormView::resized()
{
    // A drawing still running keeps writing into the picture it was given,
    // which the view no longer shows.
    picture = makePicture (getWidth(), getHeight());
    playhead.setBounds (0, 0, 2, getHeight());
    selection.setBounds (0, 0, getWidth(), getHeight());
    centreLine = getHeight() * 0.5;
    amplitudeScale = getHeight() * 0.5 * 0.9;
    repaint();
}
