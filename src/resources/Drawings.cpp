#include "resources/Drawings.h"

namespace Resources
{
const char* const StelvaneLogoText =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="400px" height="48px" viewBox="0 0 400 48">
<g>
<path fill="#FFFFFF" d="M0,0 L43,0 L43,8 L0,8 Z M0,0 L8,0 L8,28 L0,28 Z M0,20 L43,20 L43,28 L0,28 Z M35,20 L43,20 L43,48 L35,48 Z M0,40 L43,40 L43,48 L0,48 Z"/>
<path fill="#FFFFFF" d="M51,0 L94,0 L94,8 L51,8 Z M68.5,0 L76.5,0 L76.5,48 L68.5,48 Z"/>
<path fill="#FFFFFF" d="M102,0 L110,0 L110,48 L102,48 Z M102,0 L145,0 L145,8 L102,8 Z M102,20 L139,20 L139,28 L102,28 Z M102,40 L145,40 L145,48 L102,48 Z"/>
<path fill="#FFFFFF" d="M153,0 L161,0 L161,48 L153,48 Z M153,40 L196,40 L196,48 L153,48 Z"/>
<path fill="#FFFFFF" d="M204,0 L213,0 L225.5,36 L238,0 L247,0 L230.5,48 L220.5,48 Z"/>
<path fill="#FFFFFF" d="M272.5,0 L280.5,0 L264,48 L255,48 Z M272.5,0 L280.5,0 L298,48 L289,48 Z M265,30 L288,30 L288,37 L265,37 Z"/>
<path fill="#FFFFFF" d="M306,0 L314,0 L314,48 L306,48 Z M341,0 L349,0 L349,48 L341,48 Z M306,0 L316,0 L349,48 L339,48 Z"/>
<path fill="#FFFFFF" d="M357,0 L365,0 L365,48 L357,48 Z M357,0 L400,0 L400,8 L357,8 Z M357,20 L394,20 L394,28 L357,28 Z M357,40 L400,40 L400,48 L357,48 Z"/>
</g>
</svg>)svg";

const char* const QuorvelLogoText = "";

const char* const QuorvelIconText = R"svg(<?xml version="1.0" encoding="utf-8"?>
<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="400px" height="400px" viewBox="0 0 400 400">
<g>
<path fill="#999999" fill-opacity="0.8863" fill-rule="evenodd" d="M200,10 A190,190 0 1,1 200,390 A190,190 0 1,1 200,10 Z M200,20 A180,180 0 1,1 200,380 A180,180 0 1,1 200,20 Z"/>
<path fill="none" stroke="none" d="M75.654,118.972 L82.526,111.377 L200,75.231 L317.474,111.377 L324.347,118.972 L315.164,247.521 L205,339.325 L195,339.325 L84.836,247.521 Z"/>
<polygon fill="#CCCCCC" points="205,186.907 205,339.325 315.164,247.521 324.347,118.972"/>
<polygon fill="#999999" points="84.836,247.521 195,339.325 195,186.907 75.654,118.972"/>
<polygon fill="#FFFFFF" points="82.526,111.377 200,178.247 317.474,111.377 200,75.231"/>
</g>
</svg>)svg";

const char* const QuorvelIconTextVari = R"svg(<?xml version="1.0" encoding="utf-8"?>
<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="400px" height="400px" viewBox="0 0 400 400">
<polygon fill="#CCCCCC" points="205,186.907 205,339.325 315.164,247.521 324.347,118.972"/>
<polygon fill="#999999" points="84.836,247.521 195,339.325 195,186.907 75.654,118.972"/>
<polygon fill="#FFFFFF" points="82.526,111.377 200,178.247 317.474,111.377 200,75.231"/>
</svg>)svg";

const char* const SaveIconText =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" version="1.1" width="512px" height="512px" viewBox="0 0 734 734">
<path fill="#FFFFFF" d="M50,0 L165.8,0 L165.8,278 L562.8,278 L562.8,0 L563,0 L734,202 L734,684 A50,50 0 0,1 684,734 L50,734 A50,50 0 0,1 0,684 L0,50 A50,50 0 0,1 50,0 Z"/>
<rect fill="#FFFFFF" x="395.7" y="0" width="106.5" height="223.9"/>
</svg>)svg";

std::unique_ptr<juce::Drawable> getDrawing (Drawings drawing)
{
    const char* text = nullptr;

    switch (drawing)
    {
        case LogoStelvane:
            text = StelvaneLogoText;
            break;
        case LogoQuorvel:
            text = QuorvelLogoText;
            break;
        case IconQuorvel:
            text = QuorvelIconText;
            break;
        case IconQuorvelVari:
            text = QuorvelIconTextVari;
            break;
        case IconSave:
            text = SaveIconText;
            break;
        default:
            return nullptr;
    }

    const auto element = juce::XmlDocument::parse (juce::String::fromUTF8 (text));

    if (element == nullptr)
        return nullptr;

    return juce::Drawable::createFromSVG (*element);
}
} // namespace Resources
