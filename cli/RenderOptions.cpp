#include "RenderOptions.h"

#include "engine/IProcessor.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{
/** The whole text as a finite number, or nothing. */
std::optional<double> number (const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod (text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite (value))
        return std::nullopt;
    return value;
}

int paramIndex (const std::string& key)
{
    for (int i = 0; i < IProcessor::numParams; ++i)
        if (key == IProcessor::ParamNames[i])
            return i;
    return -1;
}
} // namespace

const char* RenderOptions::usage()
{
    return "usage: quorvel-render INPUT OUTPUT [options]\n"
           "Masters INPUT through the offline chain and writes OUTPUT as a 32-bit float WAV.\n"
           "  --preset NAME        factory preset by exact name (default: the first, \"Mastering Quick Win\")\n"
           "  --set KEY=VALUE      set one parameter after the preset (repeatable); keys:\n"
           "                       lowCut lowGain bodyGain clarity brightness loudness compression\n"
           "                       quality lowCutStereo loudnessRelease ceiling truePeak\n"
           "  --rate HZ            processing rate: 44100, 48000, 88200, 96000 or 0 = source rate (default 0)\n"
           "  --selection A B      process only fractions A to B of the track, the rest silent\n"
           "  --json               print the report as one JSON object\n"
           "Progress goes to standard error, the report to standard output; 'seconds' is the\n"
           "time of the mastering run itself. Exit status: 0 done, 1 the run could not finish,\n"
           "2 usage, 3 input, 4 output, 130 interrupted.\n";
}

std::optional<RenderOptions> RenderOptions::parse (const std::vector<std::string>& args, std::string& error)
{
    RenderOptions options;
    std::vector<std::string> positional;

    for (size_t i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];
        const auto needs = [&] (size_t count)
        {
            if (i + count < args.size())
                return true;
            error = arg + " needs " + (count == 1 ? "a value" : std::to_string (count) + " values");
            return false;
        };

        if (arg == "--help" || arg == "-h")
        {
            options.help = true;
        }
        else if (arg == "--json")
        {
            options.json = true;
        }
        else if (arg == "--preset")
        {
            if (!needs (1))
                return std::nullopt;
            options.preset = args[++i];
        }
        else if (arg == "--set")
        {
            if (!needs (1))
                return std::nullopt;
            const auto& pair = args[++i];
            const auto equals = pair.find ('=');
            if (equals == std::string::npos)
            {
                error = "--set needs KEY=VALUE, got \"" + pair + "\"";
                return std::nullopt;
            }
            const auto key = pair.substr (0, equals);
            const int index = paramIndex (key);
            if (index < 0)
            {
                error = "unknown parameter \"" + key + "\"";
                return std::nullopt;
            }
            const auto value = number (pair.substr (equals + 1));
            if (!value || !std::isfinite (static_cast<float> (*value)))
            {
                error = "bad value for " + key + ": \"" + pair.substr (equals + 1) + "\" is not a finite number";
                return std::nullopt;
            }
            options.settings.emplace_back (index, static_cast<float> (*value));
        }
        else if (arg == "--rate")
        {
            if (!needs (1))
                return std::nullopt;
            const auto value = number (args[++i]);
            if (!value || (*value != 0.0 && *value != 44100.0 && *value != 48000.0 && *value != 88200.0 && *value != 96000.0))
            {
                error = "bad rate \"" + args[i] + "\": use 44100, 48000, 88200, 96000 or 0";
                return std::nullopt;
            }
            options.rate = *value;
        }
        else if (arg == "--selection")
        {
            if (!needs (2))
                return std::nullopt;
            const auto start = number (args[i + 1]);
            const auto end = number (args[i + 2]);
            if (!start || !end || *start < 0.0 || *end > 1.0 || *start > *end)
            {
                error = "bad selection \"" + args[i + 1] + " " + args[i + 2] + "\": need fractions 0 <= A <= B <= 1";
                return std::nullopt;
            }
            options.selectionActive = true;
            options.selectionStart = *start;
            options.selectionEnd = *end;
            i += 2;
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option \"" + arg + "\"";
            return std::nullopt;
        }
        else
        {
            positional.push_back (arg);
        }
    }

    if (options.help)
        return options;

    if (positional.size() != 2)
    {
        error = positional.size() < 2 ? "INPUT and OUTPUT are required" : "unexpected argument \"" + positional[2] + "\"";
        return std::nullopt;
    }
    options.input = positional[0];
    options.output = positional[1];
    return options;
}
