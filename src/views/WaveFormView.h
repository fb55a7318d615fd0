#pragma once

#include "views/PlayheadComponent.h"
#include "views/SelectionComponent.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <functional>
#include <memory>

/** One audio buffer drawn as a picture in which every sample of channel 0 is a
    dot coloured by how fast the signal changes there (red slow, green middle,
    blue fast); dots on the same pixel add up in brightness.

    The picture is computed on a detached worker thread. That thread owns, by
    shared reference, everything it writes (the picture, the buffer and the
    drawing state), so it may outlive the view harmlessly; a new drawing, a
    reset or the view's destruction tells the running one to stop at its next
    sample, and it never touches a newer picture. */
class WaveFormView : public juce::Component
{
public:
    enum DrawingState : int
    {
        nothingDrawn = 0,
        shown = 3,
        drawing = 2,
        drawn = 4
    };

    WaveFormView();
    ~WaveFormView() override;

    /** Starts drawing `buffer` into a fresh picture of the view's size, on a
        new detached thread. Call on the message thread. */
    void updateViewFromAudioDataThreaded();

    /** True when the drawing state changed since the previous poll; repaints
        the view while a drawing runs. */
    bool poll();

    /** Forgets the picture: a cleared one with only the reference lines,
        state 0. A drawing still running is abandoned. */
    void reset();

    int getDrawingState() const noexcept;
    void setDrawingState (int newState) noexcept;

    /** Blends the rows of amplitude 0 and +-1 towards grey. */
    void drawOverlay();

    void paint (juce::Graphics& g) override;
    void resized() override;

    /** Presses and moves go on unchanged to the parent, which seeks and
        switches between the views; entering and leaving do nothing. */
    void mouseDown (const juce::MouseEvent& e) override;
    void mouseMove (const juce::MouseEvent& e) override;
    void mouseEnter (const juce::MouseEvent&) override {}
    void mouseExit (const juce::MouseEvent&) override {}
    /** A drag selects: reports where the press was and where the pointer is
        now, as fractions of the view's width (not yet limited to 0..1, and
        in either order). A drag back onto the press point reports nothing. */
    void mouseDrag (const juce::MouseEvent& e) override;

    /** Told of every selecting drag, with a and b as above. */
    std::function<void (double a, double b)> onSelectionDragged;

    void setBuffer (std::shared_ptr<juce::AudioBuffer<float>> newBuffer, double rate);
    std::shared_ptr<juce::AudioBuffer<float>> getBuffer() const { return buffer; }
    double getSampleRate() const noexcept { return sampleRate; }
    const juce::Image& getPicture() const noexcept { return picture; }

    /** Draws `source` into `image` exactly as the worker thread does; stops
        early (returning false) when `cancelled` becomes true. */
    static bool drawSamples (const juce::AudioBuffer<float>& source, double rate, juce::Image& image, double centreLine,
                             double amplitudeScale, const std::atomic<bool>& cancelled, std::atomic<int>& state);
    static void drawOverlay (juce::Image& image, double centreLine, double amplitudeScale);

    juce::Colour backgroundColour{0xff000000};
    PlayheadComponent playhead;
    SelectionComponent selection;

private:
    /** What one drawing thread shares with the view. */
    struct Drawing
    {
        std::atomic<bool> cancelled{false};
        std::atomic<int> state{nothingDrawn};
    };

    void abandonDrawing();

    juce::Image picture;
    double centreLine = 50.0;
    double amplitudeScale = 45.0;
    double sampleRate = 44100.0;
    std::shared_ptr<juce::AudioBuffer<float>> buffer;
    std::shared_ptr<Drawing> current;
    int lastPolledState = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WaveFormView)
};
