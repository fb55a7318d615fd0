// quorvel-render: the offline mastering run without the GUI. It loads and
// renders through the very same ProcessorTypeI code as the application.

#include "FactoryPresetLookup.h"
#include "RenderOptions.h"

#include "engine/ProcessorTypeI.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
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

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt (int) { interrupted.store (true); }

int fail (int code, const std::string& message)
{
    std::cerr << "quorvel-render: " << message << std::endl;
    return code;
}

void applyPreset (const Preset& p)
{
    const float values[IProcessor::numParams] = {p.lowCut,       p.lowGain,         p.bodyGain,    p.clarity,
                                                 p.brightness,   p.loudness,        p.compression, p.quality,
                                                 p.lowCutStereo, p.loudnessRelease, p.ceiling,     p.truePeak ? 1.0f : 0.0f};
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

/** Writes the buffer as a 32-bit float WAV next to the target and renames it
    into place; nothing is left behind on failure. */
juce::Result writeWav (const juce::File& target, const juce::AudioBuffer<float>& buffer, double rate)
{
    juce::TemporaryFile temp (target, juce::TemporaryFile::useHiddenFile);
    {
        auto stream = std::make_unique<juce::FileOutputStream> (temp.getFile());
        if (stream->failedToOpen())
            return juce::Result::fail ("cannot write \"" + target.getFullPathName() + "\": " + stream->getStatus().getErrorMessage());

        auto* rawStream = stream.get();
        juce::WavAudioFormat wav;
        std::unique_ptr<juce::AudioFormatWriter> writer (
            wav.createWriterFor (stream.get(), rate, static_cast<unsigned int> (buffer.getNumChannels()), 32, {}, 0));
        if (writer == nullptr)
            return juce::Result::fail ("cannot write \"" + target.getFullPathName() + "\" as WAV");
        stream.release(); // the writer owns it now

        // In blocks: the writer converts through a scratch block as large as
        // what it is given, which for a whole track doubles the memory used.
        constexpr int blockFrames = 65536;
        bool written = true;
        for (int start = 0; written && start < buffer.getNumSamples(); start += blockFrames)
            written = writer->writeFromAudioSampleBuffer (buffer, start, std::min (blockFrames, buffer.getNumSamples() - start));
        written = written && writer->flush();
        const auto status = rawStream->getStatus();
        writer.reset();
        if (!written || status.failed())
            return juce::Result::fail ("cannot write \"" + target.getFullPathName() + "\""
                                       + (status.failed() ? ": " + status.getErrorMessage() : juce::String()));
    }
    if (!temp.overwriteTargetFileWithTemporary())
        return juce::Result::fail ("cannot move the result into place at \"" + target.getFullPathName() + "\"");
    return juce::Result::ok();
}

std::string numberText (double value)
{
    std::ostringstream out;
    out.imbue (std::locale::classic());
    out.precision (9);
    out << value;
    return out.str();
}

void printReport (const std::vector<std::pair<std::string, std::string>>& fields, bool json)
{
    if (json)
    {
        std::cout << "{";
        for (size_t i = 0; i < fields.size(); ++i)
            std::cout << (i > 0 ? ", " : "") << "\"" << fields[i].first << "\": " << fields[i].second;
        std::cout << "}" << std::endl;
        return;
    }
    for (const auto& field : fields)
        std::cout << field.first << ": " << field.second << "\n";
    std::cout << std::flush;
}

int render (const RenderOptions& options)
{
    const auto presetNames = FactoryPresetLookup::names();
    if (presetNames.isEmpty())
        return fail (exitUsage, "the factory presets could not be read");
    const auto presetName = options.preset.empty() ? presetNames[0].toStdString() : options.preset;
    const auto preset = FactoryPresetLookup::find (presetName);
    if (!preset)
        return fail (exitUsage,
                     "unknown preset \"" + presetName + "\"; the presets are: " + presetNames.joinIntoString (", ").toStdString());

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto input = cwd.getChildFile (options.input);
    const auto output = cwd.getChildFile (options.output);

    if (!input.existsAsFile())
        return fail (exitInput, "cannot read \"" + options.input + "\": no such file");
    if (!output.hasFileExtension (".wav"))
        return fail (exitOutput, "cannot write \"" + options.output + "\": the output must be a .wav file");
    if (output.isDirectory())
        return fail (exitOutput, "cannot write \"" + options.output + "\": it is a folder");
    const auto folder = output.getParentDirectory();
    if (!folder.isDirectory() || !folder.hasWriteAccess())
        return fail (exitOutput, "cannot write \"" + options.output + "\": the folder does not exist or is not writable");

    applyPreset (*preset);
    for (const auto& [index, value] : options.settings)
        IProcessor::UserParams[index] = value;

    auto processor = std::make_shared<ProcessorTypeI>();
    processor->sourceFile = std::make_shared<juce::File> (input);
    processor->fileReaderThreaded();
    const auto loadError = processor->loadErrorText.take();
    if (!loadError.empty())
        return fail (exitInput, loadError);
    if (processor->state != IProcessor::stateLoaded || processor->sourceBuffer == nullptr || processor->sourceBuffer->getNumChannels() == 0
        || processor->sourceBuffer->getNumSamples() == 0)
        return fail (exitInput, "\"" + options.input + "\" holds no audio");

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
        std::atomic<bool> finished{false};
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
    const auto written = writeWav (output, *result, rate);
    if (written.failed())
        return fail (exitOutput, written.getErrorMessage().toStdString());

    printReport ({{"clipLevel", numberText (processor->clipLevel)},
                  {"inputGain", numberText (processor->inputGain)},
                  {"sourceRate", numberText (processor->sourceSampleRate)},
                  {"processingRate", numberText (rate)},
                  {"frames", std::to_string (result->getNumSamples())},
                  {"taps", std::to_string (processor->lastRunTaps.load())},
                  {"peak", numberText (processor->lastRunPeak.load())},
                  {"finalGain", numberText (processor->lastRunGain.load())},
                  {"seconds", numberText (seconds)}},
                 options.json);
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
    return render (*options);
}
