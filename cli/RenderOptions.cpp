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

std::optional<Ditherer::Type> ditherType (const std::string& name)
{
    const std::pair<const char*, Ditherer::Type> names[] = {
        { "none", Ditherer::none },
        { "rectangular", Ditherer::rectangular },
        { "triangular", Ditherer::triangular },
        { "powr2", Ditherer::powR2 },
    };
    for (const auto& [text, type] : names)
        if (name == text)
            return type;
    return std::nullopt;
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
           "       quorvel-render --analyze FILE [--json]\n"
           "Masters INPUT through the offline chain and writes OUTPUT as a WAV or AIFF file,\n"
           "exactly as the app's SAVE does.\n"
           "  --preset NAME        preset by exact name: the factory presets and your own from the\n"
           "                       app's presets file (default: the first, \"Mastering Quick Win\")\n"
           "  --set KEY=VALUE      set one parameter after the preset (repeatable); keys:\n"
           "                       lowCut lowGain bodyGain clarity brightness loudness compression\n"
           "                       quality lowCutStereo loudnessRelease ceiling truePeak\n"
           "  --rate HZ            processing rate: 44100, 48000, 88200, 96000 or 0 = source rate (default 0)\n"
           "  --selection A B      process only fractions A to B of the track, the rest silent\n"
           "  --bits 16|24|32      output sample format: 16 or 24-bit integer, 32-bit float (default 24)\n"
           "  --dither TYPE        none, rectangular, triangular or powr2, for 16 and 24 bits (default none)\n"
           "  --format wav|aiff    output file type (default: from OUTPUT's extension, .wav, .aiff or .aif);\n"
           "                       AIFF holds 16 or 24 bits only\n"
           "  --report             also report the loudness of the source and of the result\n"
           "  --analyze FILE       decode FILE as the app loads it and print its integrated loudness\n"
           "                       (LUFS), loudness range (LU), maximum momentary and short-term\n"
           "                       loudness (LUFS) and sample peak (dBFS); -300 means silence\n"
           "  --json               print the report as one JSON object\n"
           "Progress goes to standard error, the report to standard output; 'seconds' is the\n"
           "time of the mastering run itself. Nothing is written unless the whole run succeeds.\n"
           "Exit status: 0 done, 1 the run could not finish, 2 usage, 3 input, 4 output,\n"
           "130 interrupted.\n";
}

std::optional<RenderOptions> RenderOptions::parse (const std::vector<std::string>& args, std::string& error)
{
    RenderOptions options;
    std::vector<std::string> positional;
    // The first option that only means something for a render, to refuse it with --analyze.
    std::string renderOption;

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

        if (arg.rfind ("--", 0) == 0 && arg != "--help" && arg != "--json" && arg != "--analyze" && renderOption.empty())
            renderOption = arg;

        if (arg == "--help" || arg == "-h")
        {
            options.help = true;
        }
        else if (arg == "--json")
        {
            options.json = true;
        }
        else if (arg == "--report")
        {
            options.report = true;
        }
        else if (arg == "--analyze")
        {
            if (!needs (1))
                return std::nullopt;
            options.analyze = args[++i];
            if (options.analyze.empty())
            {
                error = "--analyze needs a file";
                return std::nullopt;
            }
        }
        else if (arg == "--bits")
        {
            if (!needs (1))
                return std::nullopt;
            const auto& text = args[++i];
            if (text != "16" && text != "24" && text != "32")
            {
                error = "bad bit depth \"" + text + "\": use 16, 24 or 32";
                return std::nullopt;
            }
            options.bits = std::stoi (text);
        }
        else if (arg == "--dither")
        {
            if (!needs (1))
                return std::nullopt;
            const auto type = ditherType (args[++i]);
            if (!type)
            {
                error = "unknown dither \"" + args[i] + "\": use none, rectangular, triangular or powr2";
                return std::nullopt;
            }
            options.dither = *type;
        }
        else if (arg == "--format")
        {
            if (!needs (1))
                return std::nullopt;
            options.format = args[++i];
            if (options.format != "wav" && options.format != "aiff")
            {
                error = "unknown format \"" + options.format + "\": use wav or aiff";
                return std::nullopt;
            }
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

    if (!options.analyze.empty())
    {
        if (!renderOption.empty())
        {
            error = renderOption + " is for rendering and cannot be used with --analyze";
            return std::nullopt;
        }
        if (!positional.empty())
        {
            error = "unexpected argument \"" + positional[0] + "\": --analyze measures one file";
            return std::nullopt;
        }
        return options;
    }

    // Asking for dither where none can apply is a mistake worth saying, not ignoring.
    if (options.bits == 32 && options.dither != Ditherer::none)
    {
        error = "--dither applies to 16 and 24 bits only: 32-bit files are float and written without dither";
        return std::nullopt;
    }

    if (positional.size() != 2)
    {
        error = positional.size() < 2 ? "INPUT and OUTPUT are required" : "unexpected argument \"" + positional[2] + "\"";
        return std::nullopt;
    }
    options.input = positional[0];
    options.output = positional[1];
    return options;
}
