#pragma once

#include "resources/Ditherer.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

/** The command line of `quorvel-render`, parsed but not yet checked against
    files or presets. */
struct RenderOptions
{
    /** Set by `--analyze FILE`: measure FILE and print its loudness instead of rendering. */
    std::string analyze;
    std::string input;
    std::string output;
    /** Empty for the first factory preset. */
    std::string preset;
    /** Parameter index and value, in the order given. */
    std::vector<std::pair<int, float>> settings;
    double rate = 0.0;
    bool selectionActive = false;
    double selectionStart = 0.0;
    double selectionEnd = 1.0;
    /** The output file's sample format and dither. */
    int bits = 24;
    Ditherer::Type dither = Ditherer::none;
    /** "wav" or "aiff"; empty to go by the output file's extension. */
    std::string format;
    /** Also print the loudness of the source and of the result. */
    bool report = false;
    bool json = false;
    bool help = false;

    /** Parses argv; on failure returns nothing and sets `error` to a one-line
        description of the problem. */
    static std::optional<RenderOptions> parse (const std::vector<std::string>& args, std::string& error);

    static const char* usage();
};
