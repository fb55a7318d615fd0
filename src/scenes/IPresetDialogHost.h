#pragma once

#include <array>

/** What the save-preset dialog needs from the scene that opened it: the
    control values a new preset takes, and where to announce the preset so the
    preset list is rebuilt. Message thread only. */
class IPresetDialogHost
{
public:
    virtual ~IPresetDialogHost() = default;

    /** The knob values, 0 to 1, for UserParams entries 0 to 9: the eight
        mastering knobs, then MONO BASS FREQ and LOUDNESS RELEASE. */
    virtual std::array<float, 10> presetKnobValues() const = 0;

    /** A preset was appended at `index` of the processor's list: rebuild the
        list and select it. Called before the presets file is written. */
    virtual void presetAdded (int index) = 0;
};
