// quorvel-render: the offline mastering run without the GUI. It loads and
// renders through the very same ProcessorTypeI code as the application.

#include "PresetLookup.h"
#include "RenderOptions.h"

#include "audio/LoudnessAnalysis.h"
#include "engine/ProcessorTypeI.h"
#include "resources/Exporter.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace
{
enum ExitCode
{
    exitDone = 0,
    exitRunFailed = 1,
    exitUsage = 2,
    exitInput = 3,
    exitOutput = 4,
    exitInterrupted = 130
};

std::atomic<bool> interrupted { false };

extern "C" void onInterrupt (int) { interrupted.store (true); }

int fail (int code, const std::string& message)
{
    std::cerr << "quorvel-render: " << message << std::endl;
    return code;
}

void applyPreset (const Preset& p)
{
    const float values[IProcessor::numParams] = { p.lowCut,       p.lowGain,         p.bodyGain,    p.clarity,
                                                  p.brightness,   p.loudness,        p.compression, p.quality,
                                                  p.lowCutStereo, p.loudnessRelease, p.ceiling,     p.truePeak ? 1.0f : 0.0f };
    for (int i = 0; i < IProcessor::numParams; ++i)
        IProcessor::UserParams[i] = values[i];
}

/** The progress line on standard error: redrawn in place on a terminal,
    otherwise one plain line per stage and per tenth of the whole run. */
class ProgressPrinter
{
public:
    explicit ProgressPrinter (const IProcessor& p) : processor (p), terminal (isatty (STDERR_FILENO) != 0) {}

    void update()
    {
        const auto stage = processor.statusText.get();
        if (stage.empty())
            return;
        const int stages = std::max (1, static_cast<int> (processor.numStages));
        const double overall = std::min (1.0, (processor.stageIndex + static_cast<double> (processor.stageFraction)) / stages);
        const int overallPercent = static_cast<int> (overall * 100.0);
        const int stagePercent = static_cast<int> (std::min (1.0f, processor.stageProgress.load()) * 100.0f);

        std::ostringstream line;
        line << "[" << overallPercent << "%] " << stage << " " << stagePercent << "%";

        if (terminal)
        {
            std::cerr << "\r" << line.str() << "\033[K" << std::flush;
            drawn = true;
        }
        else if (stage != lastStage || overallPercent / 10 != lastTenth)
        {
            std::cerr << line.str() << std::endl;
        }
        lastStage = stage;
        lastTenth = overallPercent / 10;
    }

    void finish()
    {
        if (drawn)
            std::cerr << std::endl;
        drawn = false;
    }

private:
    const IProcessor& processor;
    const bool terminal;
    bool drawn = false;
    std::string lastStage;
    int lastTenth = -1;
};

/** Sends standard output to standard error while it lives: the run's own
    diagnostic lines must not mix with the report. */
class StdoutToStderr
{
public:
    StdoutToStderr()
    {
        std::cout.flush();
        std::fflush (stdout);
        saved = dup (STDOUT_FILENO);
        if (saved >= 0)
            dup2 (STDERR_FILENO, STDOUT_FILENO);
    }

    ~StdoutToStderr()
    {
        std::cout.flush();
        std::fflush (stdout);
        if (saved >= 0)
        {
            dup2 (saved, STDOUT_FILENO);
            close (saved);
        }
    }

    StdoutToStderr (const StdoutToStderr&) = delete;
    StdoutToStderr& operator= (const StdoutToStderr&) = delete;

private:
    int saved = -1;
};

std::string numberText (double value)
{
    std::ostringstream out;
    out.imbue (std::locale::classic());
    out.precision (9);
    out << value;
    return out.str();
}

/** One report entry: a number, or a group of entries printed as
    "group.key: value" lines or as a nested JSON object. */
struct Field
{
    std::string key;
    std::string value;
    std::vector<Field> group = {};
};

void printJson (const std::vector<Field>& fields)
{
    std::cout << "{";
    for (size_t i = 0; i < fields.size(); ++i)
    {
        std::cout << (i > 0 ? ", " : "") << "\"" << fields[i].key << "\": ";
        if (fields[i].group.empty())
            std::cout << fields[i].value;
        else
            printJson (fields[i].group);
    }
    std::cout << "}";
}

void printLines (const std::vector<Field>& fields, const std::string& prefix)
{
    for (const auto& field : fields)
    {
        if (field.group.empty())
            std::cout << prefix << field.key << ": " << field.value << "\n";
        else
            printLines (field.group, prefix + field.key + ".");
    }
}

void printReport (const std::vector<Field>& fields, bool json)
{
    if (json)
    {
        printJson (fields);
        std::cout << std::endl;
        return;
    }
    printLines (fields, {});
    std::cout << std::flush;
}

/** Loudness figures in dB to two decimals: finer than any meter resolves,
    and -300 (the meter's silence) stays a plain number for JSON. */
std::string decibelText (float value)
{
    std::ostringstream out;
    out.imbue (std::locale::classic());
    out << std::fixed << std::setprecision (2) << value;
    return out.str();
}

std::vector<Field> loudnessFields (const LoudnessAnalysis& a)
{
    return { { "integrated", decibelText (a.integrated) },
             { "range", decibelText (a.range) },
             { "momentaryMax", decibelText (a.momentaryMax) },
             { "shortTermMax", decibelText (a.shortTermMax) },
             { "samplePeak", decibelText (a.samplePeak) } };
}

/** The meter counts NaN and infinite samples as silence; say so rather than
    let figures that leave them out pass unremarked. */
void warnNonFinite (const LoudnessAnalysis& a, const std::string& what)
{
    if (a.nonFiniteSamples > 0)
        std::cerr << "quorvel-render: warning: " << what << " holds " << a.nonFiniteSamples
                  << " samples that are not finite numbers; they were measured as silence" << std::endl;
}

std::string oneLine (const juce::String& message) { return message.replace ("\n\n", " ").replace ("\n", " ").toStdString(); }

/** Loads `file` through the processor's own loading code, as the app does.
    On failure returns nothing and sets `exitCode` and `message`. */
std::shared_ptr<ProcessorTypeI> load (const juce::File& file, const std::string& name, int& exitCode, std::string& message)
{
    exitCode = exitInput;
    if (!file.existsAsFile())
    {
        message = "cannot read \"" + name + "\": no such file";
        return nullptr;
    }

    auto processor = std::make_shared<ProcessorTypeI>();
    processor->sourceFile = std::make_shared<juce::File> (file);
    {
        // The loader may print diagnostics; standard output is the report's.
        StdoutToStderr diagnosticsToStderr;
        processor->fileReaderThreaded();
    }
    const auto loadError = processor->loadErrorText.take();
    if (!loadError.empty())
    {
        message = loadError;
        return nullptr;
    }
    if (processor->state != IProcessor::stateLoaded || processor->sourceBuffer == nullptr || processor->sourceBuffer->getNumChannels() == 0
        || processor->sourceBuffer->getNumSamples() == 0)
    {
        message = "\"" + name + "\" holds no audio";
        return nullptr;
    }
    exitCode = exitDone;
    return processor;
}

/** Measures a whole buffer; on failure sets `message` naming `what`. */
std::optional<LoudnessAnalysis> measure (const juce::AudioBuffer<float>& buffer, double rate, const std::string& what, std::string& message)
{
    auto analysis = LoudnessAnalysis::measure (buffer, rate);
    if (!analysis.problem.empty())
    {
        message = "cannot measure the loudness of " + what + ": " + analysis.problem;
        return std::nullopt;
    }
    warnNonFinite (analysis, what);
    return analysis;
}

int analyze (const RenderOptions& options)
{
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile (options.analyze);
    int exitCode = exitDone;
    std::string message;
    const auto processor = load (file, options.analyze, exitCode, message);
    if (processor == nullptr)
        return fail (exitCode, message);

    const auto analysis = measure (*processor->sourceBuffer, processor->sourceSampleRate, "\"" + options.analyze + "\"", message);
    if (!analysis)
        return fail (exitInput, message);
    printReport (loudnessFields (*analysis), options.json);
    return exitDone;
}

/** The output's file type: --format, else the extension. Empty when neither
    says, or when they contradict each other; `message` then says why. */
juce::String outputFileType (const RenderOptions& options, const juce::File& output, std::string& message)
{
    juce::String byExtension;
    if (output.hasFileExtension (".wav"))
        byExtension = "wav";
    else if (output.hasFileExtension (".aiff;.aif"))
        byExtension = "aiff";

    const juce::String asked (options.format);
    if (asked.isEmpty() && byExtension.isEmpty())
        message = "cannot tell the file type of \"" + options.output + "\": name it .wav, .aiff or .aif, or give --format";
    else if (asked.isNotEmpty() && byExtension.isNotEmpty() && asked != byExtension)
        message = "cannot write \"" + options.output + "\" as " + asked.toUpperCase().toStdString() + ": its name says "
                  + byExtension.toUpperCase().toStdString();
    else
        return asked.isNotEmpty() ? asked : byExtension;
    return {};
}

int render (const RenderOptions& options)
{
    const PresetLookup presets (PresetLookup::userPresetsFile());
    if (presets.defaultName().isEmpty())
        return fail (exitUsage, "the factory presets could not be read");
    const auto presetName = options.preset.empty() ? presets.defaultName().toStdString() : options.preset;
    const auto preset = presets.find (presetName);
    if (!preset)
        return fail (exitUsage,
                     "unknown preset \"" + presetName + "\"; the presets are: " + presets.names().joinIntoString (", ").toStdString()
                         + (presets.userFileGaveNothing() ? " (no preset could be read from \""
                                                                + PresetLookup::userPresetsFile().getFullPathName().toStdString() + "\")"
                                                          : std::string()));

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto input = cwd.getChildFile (options.input);
    const auto output = cwd.getChildFile (options.output);

    if (!input.existsAsFile())
        return fail (exitInput, "cannot read \"" + options.input + "\": no such file");

    // Everything about the output is checked before the run, so that a
    // refusal costs nothing and never follows minutes of work.
    std::string message;
    Exporter::Options exportOptions;
    exportOptions.bitDepth = options.bits;
    exportOptions.dither = options.dither;
    exportOptions.fileType = outputFileType (options, output, message);
    if (exportOptions.fileType.isEmpty())
        return fail (exitOutput, message);
    if (const auto allowed = Exporter::checkOptions (exportOptions); allowed.failed())
        return fail (exitOutput, "cannot write \"" + options.output + "\": " + oneLine (allowed.getErrorMessage()));
    if (output.isDirectory())
        return fail (exitOutput, "cannot write \"" + options.output + "\": it is a folder");
    const auto folder = output.getParentDirectory();
    if (!folder.isDirectory() || !folder.hasWriteAccess())
        return fail (exitOutput, "cannot write \"" + options.output + "\": the folder does not exist or is not writable");

    applyPreset (*preset);
    for (const auto& [index, value] : options.settings)
        IProcessor::UserParams[index] = value;

    int exitCode = exitDone;
    const auto processor = load (input, options.input, exitCode, message);
    if (processor == nullptr)
        return fail (exitCode, message);

    std::optional<LoudnessAnalysis> sourceLoudness;
    if (options.report)
    {
        sourceLoudness = measure (*processor->sourceBuffer, processor->sourceSampleRate, "the source", message);
        if (!sourceLoudness)
            return fail (exitInput, message);
    }

    processor->processingSampleRate = options.rate;
    processor->selectionActive = options.selectionActive;
    processor->selectionStart = options.selectionStart;
    processor->selectionEnd = options.selectionEnd;

    if (interrupted)
        return fail (exitInterrupted, "stopped; nothing was written");

    const auto started = std::chrono::steady_clock::now();
    {
        StdoutToStderr diagnosticsToStderr;
        ProgressPrinter progress (*processor);
        std::atomic<bool> finished { false };
        std::thread worker (
            [processor, &finished]
            {
                processor->execute();
                finished = true;
            });
        while (!finished)
        {
            // Repeated: a request made before the run has cleared its flag
            // would otherwise be lost.
            if (interrupted)
                processor->stopExecution();
            progress.update();
            std::this_thread::sleep_for (std::chrono::milliseconds (50));
        }
        worker.join();
        progress.update();
        progress.finish();
    }
    const double seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();

    const auto state = processor->state.load();
    if (state == IProcessor::stateStopped)
        return fail (exitInterrupted, "stopped; nothing was written");
    if (state != IProcessor::stateFinished)
    {
        const auto why = processor->runErrorText.take();
        return fail (exitRunFailed, why.empty() ? std::string ("the run did not finish") : why);
    }

    const auto result = processor->processedBuffer;
    const double rate = processor->processingSampleRate;
    std::optional<LoudnessAnalysis> resultLoudness;
    if (options.report)
    {
        resultLoudness = measure (*result, rate, "the result", message);
        if (!resultLoudness)
            return fail (exitRunFailed, message);
    }

    // The export code of the app's SAVE button: it writes beside the target
    // and renames into place, so a failure leaves no partial file.
    const auto written = Exporter::exportResult (*processor, output, exportOptions);
    if (written.failed())
        return fail (exitOutput, oneLine (written.getErrorMessage()));

    std::vector<Field> report = { { "clipLevel", numberText (processor->clipLevel) },
                                  { "inputGain", numberText (processor->inputGain) },
                                  { "sourceRate", numberText (processor->sourceSampleRate) },
                                  { "processingRate", numberText (rate) },
                                  { "frames", std::to_string (result->getNumSamples()) },
                                  { "taps", std::to_string (processor->lastRunTaps.load()) },
                                  { "peak", numberText (processor->lastRunPeak.load()) },
                                  { "finalGain", numberText (processor->lastRunGain.load()) },
                                  { "seconds", numberText (seconds) } };
    if (options.report)
    {
        report.push_back ({ "source", {}, loudnessFields (*sourceLoudness) });
        report.push_back ({ "result", {}, loudnessFields (*resultLoudness) });
    }
    printReport (report, options.json);
    return exitDone;
}
} // namespace

int main (int argc, char* argv[])
{
    // Ctrl-C or a termination request stops the run cleanly, leaving no output.
    std::signal (SIGINT, onInterrupt);
    std::signal (SIGTERM, onInterrupt);

    std::vector<std::string> args (argv + 1, argv + argc);
    std::string error;
    const auto options = RenderOptions::parse (args, error);
    if (!options)
        return fail (exitUsage, error + " (see --help)");
    if (options->help)
    {
        std::cout << RenderOptions::usage();
        return exitDone;
    }
    return options->analyze.empty() ? render (*options) : analyze (*options);
}
