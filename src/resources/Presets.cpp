#include "resources/Presets.h"

#include "resources/AtomicFileWriter.h"
#include "resources/Paths.h"
#include "resources/XmlText.h"

#include <algorithm>
#include <cmath>
#include <locale>
#include <sstream>

namespace Resources
{
namespace
{
/** The float fields of a preset in file order, with their keys. */
struct FloatField
{
    const char* key;
    float Preset::*field;
};

constexpr FloatField floatFields[] = {
    {"lowCut", &Preset::lowCut},
    {"lowGain", &Preset::lowGain},
    {"bodyGain", &Preset::bodyGain},
    {"clarity", &Preset::clarity},
    {"brightness", &Preset::brightness},
    {"loudness", &Preset::loudness},
    {"compression", &Preset::compression},
    {"quality", &Preset::quality},
    {"lowCutStereo", &Preset::lowCutStereo},
    {"loudnessRelease", &Preset::loudnessRelease},
    {"ceiling", &Preset::ceiling},
};
constexpr size_t numFloatFields = sizeof (floatFields) / sizeof (floatFields[0]);

constexpr float defaultCeiling = -0.33f;
constexpr float lowestCeiling = -6.0f;
constexpr float highestCeiling = 0.0f;

/** One preset element, without line feeds. The values are texts, so the
    factory document stays exactly as it is written here. */
std::string presetElement (const std::string& escapedName, const std::string& escapedVersion, bool isProtected,
                           const std::string (&values)[numFloatFields], bool truePeak)
{
    std::string out = "<preset><name>" + escapedName + "</name><version>" + escapedVersion + "</version><protected>"
                      + (isProtected ? "true" : "false") + "</protected><data>";
    for (size_t i = 0; i < numFloatFields; ++i)
        out += std::string ("<") + floatFields[i].key + ">" + values[i] + "</" + floatFields[i].key + ">";
    out += std::string ("<truePeak>") + (truePeak ? "1" : "0") + "</truePeak></data></preset>";
    return out;
}

juce::String buildFactoryDocument()
{
    struct Factory
    {
        const char* name;
        const char* version;
        std::string values[numFloatFields];
    };
    const Factory factory[] = {
        {"Mastering Quick Win", "1.0.0", {"0.5", "0.73", "0.4", "0.5", "0.67", "0.5", "0.1", "0.8", "0.85", "0.5", "-0.3"}},
        {"Vintage 70s", "1.0.0", {"0.5", "0.2", "0.4", "0.5", "0.35", "0.25", "0.5", "0.8", "0.5", "0.5", "-0.3"}},
        {"Vintage 80s", "1.0.0", {"0.3", "0.5", "0.3", "0.6", "0.45", "0.35", "0.5", "0.8", "0.5", "0.5", "-0.3"}},
        {"Indie", "1.0.0", {"0.3", "0.6", "0.3", "0.6", "0.6", "0.45", "0.5", "0.8", "0.75", "0.5", "-0.3"}},
        {"EDM", "1.0.0", {"0.33", "0.76", "0.18", "0.6", "0.72", "0.65", "0.12", "0.8", "0.75", "0.5", "-0.3"}},
        {"Balanced Live / DJ Set", "2.0.0", {"0.71", "0.23", "0.755", "0.5", "0.57", "0.265", "0.755", "0.75", "0.85", "0.5", "-0.3"}},
        {"Stelvane Favourite", "2.0.0", {"0.625", "0.84", "0.195", "0.595", "0.42", "0.34", "0.835", "0.75", "0.67", "0.5", "-0.3"}},
    };

    std::string text = "<xml><presets>";
    for (const auto& preset : factory)
        text += presetElement (preset.name, preset.version, true, preset.values, false);
    text += "</presets></xml>";
    return juce::String::fromUTF8 (text.c_str(), static_cast<int> (text.size()));
}

/** A float as a default-formatted standard stream writes it: general
    notation, six significant digits, no trailing zeros. The classic locale
    keeps the decimal point a point whatever the user's locale. */
std::string numberText (float value)
{
    std::ostringstream stream;
    stream.imbue (std::locale::classic());
    stream << value;
    return stream.str();
}

/** The number at the start of an element's text as JUCE reads it (longest
    numeric prefix, 0 when there is none); `fallback` for a missing element
    or a value that is not finite as a float. */
float readNumber (const juce::XmlElement* data, const char* key, float fallback)
{
    const auto* element = XmlText::findChild (data, key);
    if (element == nullptr)
        return fallback;
    const auto value = static_cast<float> (XmlText::allText (element).getDoubleValue());
    return std::isfinite (value) ? value : fallback;
}

Preset readPreset (const juce::XmlElement& element)
{
    Preset preset;
    preset.ceiling = defaultCeiling;
    preset.truePeak = false;

    preset.name = XmlText::allText (XmlText::findChild (&element, "name"));
    preset.isProtected = XmlText::allText (XmlText::findChild (&element, "protected")) == "true";
    preset.version = XmlText::allText (XmlText::findChild (&element, "version"));

    const auto* data = XmlText::findChild (&element, "data");
    for (const auto& field : floatFields)
        preset.*field.field = readNumber (data, field.key, preset.*field.field);
    preset.ceiling = juce::jlimit (lowestCeiling, highestCeiling, preset.ceiling);

    if (const auto* truePeak = XmlText::findChild (data, "truePeak"))
    {
        const auto value = XmlText::allText (truePeak).getDoubleValue();
        preset.truePeak = std::isfinite (value) && value > 0.5;
    }
    return preset;
}

/** True when the file holds something the reader can use; false for text the
    parser rejects or a document without a presets element. */
bool isReadablePresetsFile (const juce::File& file)
{
    const auto document = XmlText::parseFile (file);
    return XmlText::findChild (document.get(), "presets") != nullptr;
}

juce::Result copyAside (const juce::File& file)
{
    const auto folder = file.getParentDirectory();
    const auto baseName = file.getFileName() + UnreadablePresetsSuffix;
    auto copy = folder.getChildFile (baseName);
    for (int number = 2; copy.exists(); ++number)
        copy = folder.getChildFile (baseName + "." + juce::String (number));

    juce::MemoryBlock content;
    if (!file.loadFileAsData (content))
        return juce::Result::fail ("Could not read \"" + file.getFullPathName() + "\" to keep a copy of it.");
    return AtomicFileWriter::writeBytes (copy, content.getData(), content.getSize());
}
} // namespace

const juce::String XmlPresets = buildFactoryDocument();
const juce::String Version{"2.1.1"};
const char* const UnreadablePresetsSuffix = ".unreadable";

void ReadPresets (IProcessor& processor)
{
    processor.presets.clear();
    processor.presetCount = 0;
    if (AppPresetsFilePath.isEmpty())
        return;

    const juce::File file (AppPresetsFilePath);
    if (!file.exists())
        AtomicFileWriter::writeText (file, XmlPresets.toStdString());

    // Where the file cannot be created, the factory presets still load.
    const auto document = file.exists() ? XmlText::parseFile (file) : juce::XmlDocument::parse (XmlPresets);
    const auto* list = XmlText::findChild (document.get(), "presets");
    if (list == nullptr)
        return;

    for (const auto* element : list->getChildIterator())
    {
        if (element->isTextElement())
            continue;
        processor.presets.push_back (readPreset (*element));
        ++processor.presetCount;
    }
}

std::string PresetsText (const IProcessor& processor)
{
    std::string text = "<xml>\n<presets>";
    // Never past the list's end, whatever the count says.
    const auto count = std::min (static_cast<size_t> (std::max (processor.presetCount, 0)), processor.presets.size());
    for (size_t i = 0; i < count; ++i)
    {
        const auto& preset = processor.presets[i];
        std::string values[numFloatFields];
        for (size_t f = 0; f < numFloatFields; ++f)
            values[f] = numberText (preset.*floatFields[f].field);
        text += "\n"
                + presetElement (XmlText::escape (preset.name.toStdString()), XmlText::escape (preset.version.toStdString()),
                                 preset.isProtected, values, preset.truePeak);
    }
    text += "\n</presets>\n</xml>";
    return text;
}

juce::Result SavePresets (const std::shared_ptr<IProcessor>& processor)
{
    if (processor == nullptr)
        return juce::Result::fail ("There are no presets to save.");
    if (AppPresetsFilePath.isEmpty())
        return juce::Result::fail ("The data folder is not set up.");

    const juce::File file (AppPresetsFilePath);
    if (file.existsAsFile() && !isReadablePresetsFile (file))
    {
        // The user's presets may still be recoverable by hand from it.
        const auto kept = copyAside (file);
        if (kept.failed())
            return kept;
    }
    return AtomicFileWriter::writeText (file, PresetsText (*processor));
}
} // namespace Resources
