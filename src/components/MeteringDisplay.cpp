#include "components/MeteringDisplay.h"

#include "engine/SpinFlag.h"

#include <cmath>
#include <sstream>

namespace Components::Modules
{
MeteringDisplay::MeteringDisplay()
{
    resetButton.text = "RESET";
    resetButton.nAddParent (this);
    addAndMakeVisible (resetButton);
    init();
    startTimer (33);
}

MeteringDisplay::~MeteringDisplay() { stopTimer(); }

void MeteringDisplay::init()
{
    {
        const SpinFlag::ScopedLock lock (imageBusy);
        publishedRange = noValue;
        publishedMomentary = noValue;
        publishedShortTerm = noValue;
        publishedIntegrated = noValue;
    }

    juce::Image cleared (juce::Image::ARGB, std::max (getWidth(), 100), std::max (getHeight(), 100), true);
    const SpinFlag::ScopedLock lock (imageBusy);
    history = std::move (cleared);
}

void MeteringDisplay::resized()
{
    resetButton.setBounds (2, getHeight() - 20, 40, 18);
    init();
}

void MeteringDisplay::timerCallback()
{
    if (updateCounter.load (std::memory_order_acquire) > 0)
        update();
}

int MeteringDisplay::historyY (float loudness, int height) noexcept
{
    const float h = static_cast<float> (height);
    const float k = h / 1.3f;
    float y = h - std::pow (10.0f, loudness / 36.0f) * k;
    // Far outside the image is as good as just outside it; NaN draws nothing.
    if (std::isnan (y))
        return -1000;
    y = juce::jlimit (-1000.0f, h + 1000.0f, y);
    return static_cast<int> (y);
}

void MeteringDisplay::update()
{
    {
        const SpinFlag::ScopedLock lock (imageBusy);
        const int height = getHeight();
        const int x = history.getWidth() - 1;

        while (updateCounter.load (std::memory_order_acquire) > 0)
        {
            const float integrated = publishedIntegrated.load (std::memory_order_relaxed);
            const float momentary = publishedMomentary.load (std::memory_order_relaxed);
            const float shortTerm = publishedShortTerm.load (std::memory_order_relaxed);

            history.moveImageSection (0, 0, 1, 0, history.getWidth() - 1, history.getHeight());
            history.clear ({ x, 0, 1, history.getHeight() });

            // Later curves are drawn over earlier ones where they meet.
            const auto plot = [this, x, height] (float loudness, juce::Colour colour)
            {
                const int y = historyY (loudness, height);
                history.setPixelAt (x, y, colour);
                history.setPixelAt (x, y + 1, colour);
            };
            plot (integrated, integratedColour);
            plot (momentary, momentaryColour);
            plot (shortTerm, shortTermColour);

            if (isVisible())
                repaint();
            updateCounter.fetch_sub (1, std::memory_order_acq_rel);
        }
    }
}

void MeteringDisplay::nComponentCallback (NComponent* sender, int code, void*)
{
    if (sender != &resetButton || code != 0)
        return;
    init();
    if (parent != nullptr)
        parent->nComponentCallback (this, 911, nullptr);
}

std::string MeteringDisplay::ftos (float value, int)
{
    // std::round rounds halves away from zero.
    const float rounded = std::round (value * 100.0f) / 100.0f;
    std::ostringstream out;
    out << rounded;
    return out.str();
}

void MeteringDisplay::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colour (0xff000000));
    g.setFont (11.0f);

    const float q = (static_cast<float> (getWidth()) - 20.0f) * 0.25f;
    const auto width = static_cast<float> (static_cast<int> (q));

    struct ReadOut
    {
        const char* label;
        float value;
        juce::Colour colour;
        float x;
    };
    const ReadOut readOuts[] = {
        { "RMS: ", publishedMomentary.load (std::memory_order_relaxed), momentaryColour, 4.0f },
        { "LUFS: ", publishedShortTerm.load (std::memory_order_relaxed), shortTermColour, q + 8.0f },
        { "INT: ", publishedIntegrated.load (std::memory_order_relaxed), integratedColour, 2.0f * q + 12.0f },
        { "RNG: ", publishedRange.load (std::memory_order_relaxed), rangeColour, 3.0f * q + 16.0f },
    };

    for (const auto& r : readOuts)
    {
        g.setColour (r.colour);
        g.drawText (juce::String (r.label) + ftos (r.value, 2) + "db", juce::Rectangle<float> (r.x, 4.0f, width, 12.0f),
                    juce::Justification::centredLeft, true);
    }

    // The curves over the texts; pixels without curves are transparent. The
    // last text colour's alpha must not dim them.
    g.setOpacity (1.0f);
    g.drawImage (history, getLocalBounds().toFloat());
}
} // namespace Components::Modules
