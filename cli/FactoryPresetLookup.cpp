#include "FactoryPresetLookup.h"

#include <vector>

namespace
{
Preset factory (const char* name, const char* version, std::initializer_list<float> values)
{
    Preset p;
    p.name = name;
    p.version = version;
    p.isProtected = true;
    const auto* v = values.begin();
    p.lowCut = v[0];
    p.lowGain = v[1];
    p.bodyGain = v[2];
    p.clarity = v[3];
    p.brightness = v[4];
    p.loudness = v[5];
    p.compression = v[6];
    p.quality = v[7];
    p.lowCutStereo = v[8];
    p.loudnessRelease = v[9];
    p.ceiling = v[10];
    p.truePeak = false;
    return p;
}

/** The seven factory presets, values as written in the factory document. */
const std::vector<Preset>& factoryPresets()
{
    static const std::vector<Preset> list{
        factory ("Mastering Quick Win", "1.0.0", {0.5f, 0.73f, 0.4f, 0.5f, 0.67f, 0.5f, 0.1f, 0.8f, 0.85f, 0.5f, -0.3f}),
        factory ("Vintage 70s", "1.0.0", {0.5f, 0.2f, 0.4f, 0.5f, 0.35f, 0.25f, 0.5f, 0.8f, 0.5f, 0.5f, -0.3f}),
        factory ("Vintage 80s", "1.0.0", {0.3f, 0.5f, 0.3f, 0.6f, 0.45f, 0.35f, 0.5f, 0.8f, 0.5f, 0.5f, -0.3f}),
        factory ("Indie", "1.0.0", {0.3f, 0.6f, 0.3f, 0.6f, 0.6f, 0.45f, 0.5f, 0.8f, 0.75f, 0.5f, -0.3f}),
        factory ("EDM", "1.0.0", {0.33f, 0.76f, 0.18f, 0.6f, 0.72f, 0.65f, 0.12f, 0.8f, 0.75f, 0.5f, -0.3f}),
        factory ("Balanced Live / DJ Set", "2.0.0", {0.71f, 0.23f, 0.755f, 0.5f, 0.57f, 0.265f, 0.755f, 0.75f, 0.85f, 0.5f, -0.3f}),
        factory ("Stelvane Favourite", "2.0.0", {0.625f, 0.84f, 0.195f, 0.595f, 0.42f, 0.34f, 0.835f, 0.75f, 0.67f, 0.5f, -0.3f}),
    };
    return list;
}
} // namespace

namespace FactoryPresetLookup
{
std::optional<Preset> find (const juce::String& name)
{
    for (const auto& preset : factoryPresets())
        if (preset.name == name)
            return preset;
    return std::nullopt;
}

juce::StringArray names()
{
    juce::StringArray out;
    for (const auto& preset : factoryPresets())
        out.add (preset.name);
    return out;
}
} // namespace FactoryPresetLookup
