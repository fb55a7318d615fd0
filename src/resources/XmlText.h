#pragma once

#include <juce_core/juce_core.h>

#include <string>

/** The small pieces of XML handling that the presets and settings files share:
    both are written as hand-built text and read with JUCE's parser. */
namespace Resources::XmlText
{
/** Replaces the five XML special characters with their entities, byte by
    byte over UTF-8, so multi-byte characters pass through unchanged. */
std::string escape (const std::string& utf8);

/** The first child whose tag equals `tag` ignoring case, or nullptr. */
const juce::XmlElement* findChild (const juce::XmlElement* parent, const juce::String& tag);

/** All text inside an element, nested text included, white space kept; empty
    for a null element. */
juce::String allText (const juce::XmlElement* element);

/** Parses a whole file; nullptr when it is missing or has no document element. */
std::unique_ptr<juce::XmlElement> parseFile (const juce::File& file);
} // namespace Resources::XmlText
