#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The program's vector drawings, compiled in as SVG document texts and turned
    into drawables on request. */
namespace Resources
{
/** The maker's white wordmark, 400 x 48. */
extern const char* const StelvaneLogoText;
/** Deliberately empty: the program has no separate product logotype. */
extern const char* const QuorvelLogoText;
/** The circular product icon: a grey ring around an isometric cube, 400 x 400. */
extern const char* const QuorvelIconText;
/** The icon's cube alone, on the same 400 x 400 canvas. */
extern const char* const QuorvelIconTextVari;
/** A white floppy-disk save icon. */
extern const char* const SaveIconText;

enum Drawings : int
{
    LogoStelvane = 0,
    LogoQuorvel = 1,
    IconQuorvel = 2,
    IconQuorvelVari = 3,
    IconSave = 4
};

/** Parses the drawing's text afresh and returns a new drawable owned by the
    caller, or null for an unknown identifier or a text without a document
    (LogoQuorvel). Message thread only: drawables are components. */
std::unique_ptr<juce::Drawable> getDrawing (Drawings drawing);
} // namespace Resources
