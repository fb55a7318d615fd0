#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

/** The command line of `quorvel-render`, parsed but not yet checked against
    files or presets. */
struct RenderOptions
{
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
    bool json = false;
    bool help = false;

    /** Parses argv; on failure returns nothing and sets `error` to a one-line
        description of the problem. */
    static std::optional<RenderOptions> parse (const std::vector<std::string>& args, std::string& error);

    static const char* usage();
};
