#include "resources/Settings.h"

#include "resources/AtomicFileWriter.h"
#include "resources/Paths.h"
#include "resources/XmlText.h"

namespace Resources
{
juce::String fftRenderEngine{"gpu"};
bool settingsChanged = false;

void ReadSettings()
{
    const juce::File file (AppSettingsFilePath);
    if (!file.existsAsFile())
        return;

    const auto document = XmlText::parseFile (file);
    if (const auto* element = XmlText::findChild (document.get(), "fftRenderEngine"))
        fftRenderEngine = XmlText::allText (element);
}

juce::Result SaveSettings()
{
    if (!settingsChanged)
        return juce::Result::ok();

    // Escaped so that a stray value read from a hand-edited file cannot make
    // the file unreadable; "gpu" and "software" are written unchanged.
    const std::string text = "<xml>\n<fftRenderEngine>" + XmlText::escape (fftRenderEngine.toStdString()) + "</fftRenderEngine>\n</xml>";
    return AtomicFileWriter::writeText (juce::File (AppSettingsFilePath), text);
}
} // namespace Resources
