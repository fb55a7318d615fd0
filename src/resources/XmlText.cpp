#include "resources/XmlText.h"

namespace Resources::XmlText
{
std::string escape (const std::string& utf8)
{
    std::string out;
    out.reserve (utf8.size());
    for (const char c : utf8)
    {
        switch (c)
        {
            case '"':
                out += "&quot;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

const juce::XmlElement* findChild (const juce::XmlElement* parent, const juce::String& tag)
{
    if (parent == nullptr)
        return nullptr;
    // Our own loop rather than getChildByName: JUCE asserts on a case mismatch.
    for (const auto* child : parent->getChildIterator())
        if (!child->isTextElement() && child->getTagName().equalsIgnoreCase (tag))
            return child;
    return nullptr;
}

juce::String allText (const juce::XmlElement* element) { return element != nullptr ? element->getAllSubText() : juce::String(); }

std::unique_ptr<juce::XmlElement> parseFile (const juce::File& file)
{
    if (!file.existsAsFile())
        return nullptr;
    // Parsed from the text rather than the file, so nothing outside the file
    // (an external DTD named in it) is ever opened.
    juce::XmlDocument document (file.loadFileAsString());
    return document.getDocumentElement();
}
} // namespace Resources::XmlText
