// A full offline run of a three-minute 44.1 kHz stereo track through the
// command-line tool, one run per quality setting. Reported per run:
//   x_realtime        track length / time of the mastering run itself (the
//                     tool's own "seconds": stages 0 to 4)
//   x_realtime_total  track length / wall time of the whole command (start,
//                     decoding, run, writing the WAV)
//   x_realtime_cpu    track length / CPU time (user + system) of the whole
//                     command, less sensitive to a busy machine
//   peak_MB           maximum resident set size of the tool (/usr/bin/time -v)
// The benchmark's own time column is the run's time.
#include "MusicSignal.h"
#include <juce_audio_formats/juce_audio_formats.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>

namespace
{
constexpr double rate = 44100.0;
constexpr int trackSeconds = 180;

juce::File benchFolder()
{
    static const juce::File folder = []
    {
        auto f = juce::File::getSpecialLocation (juce::File::tempDirectory).getNonexistentChildFile ("quorvel-render-bench", "", false);
        f.createDirectory();
        return f;
    }();
    return folder;
}

/** The benchmark's music-like track, made once. */
juce::File musicTrack()
{
    static const juce::File file = []
    {
        const int length = static_cast<int> (rate) * trackSeconds;
        const auto b = makeMusicSignal (rate, length);

        const auto f = benchFolder().getChildFile ("track.wav");
        std::unique_ptr<juce::AudioFormatWriter> writer (
            juce::WavAudioFormat().createWriterFor (f.createOutputStream().release(), rate, 2, 24, {}, 0));
        if (writer != nullptr)
            writer->writeFromAudioSampleBuffer (b, 0, length);
        return f;
    }();
    return file;
}

std::string quoted (const juce::String& s) { return "'" + s.replace ("'", "'\\''").toStdString() + "'"; }

void renderTrack (benchmark::State& state, float quality, int processingRate)
{
    const auto tool = juce::File::getSpecialLocation (juce::File::currentExecutableFile).getSiblingFile ("quorvel-render");
    const auto input = musicTrack();
    const auto output = benchFolder().getChildFile ("mastered.wav");
    const auto report = benchFolder().getChildFile ("report.json");
    const auto timing = benchFolder().getChildFile ("time.txt");
    const bool haveTime = juce::File ("/usr/bin/time").existsAsFile();

    std::string command = haveTime ? "/usr/bin/time -v -o " + quoted (timing.getFullPathName()) + " " : std::string();
    command += quoted (tool.getFullPathName()) + " " + quoted (input.getFullPathName()) + " " + quoted (output.getFullPathName())
               + " --json --set quality=" + std::to_string (quality) + " --rate " + std::to_string (processingRate) + " >"
               + quoted (report.getFullPathName()) + " 2>/dev/null";

    double runSeconds = 0.0, wallSeconds = 0.0, cpuSeconds = 0.0, peakMB = 0.0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system (command.c_str());
        wallSeconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
        if (status != 0)
        {
            state.SkipWithError ("quorvel-render failed");
            return;
        }
        runSeconds = static_cast<double> (juce::JSON::parse (report.loadFileAsString())["seconds"]);
        state.SetIterationTime (runSeconds);

        cpuSeconds = 0.0;
        if (haveTime)
            for (const auto& line : juce::StringArray::fromLines (timing.loadFileAsString()))
            {
                const auto value = line.fromLastOccurrenceOf (":", false, false).trim().getDoubleValue();
                if (line.contains ("Maximum resident set size"))
                    peakMB = value / 1024.0;
                else if (line.contains ("User time") || line.contains ("System time"))
                    cpuSeconds += value;
            }
    }

    state.counters["x_realtime"] = trackSeconds / runSeconds;
    state.counters["x_realtime_total"] = trackSeconds / wallSeconds;
    if (haveTime)
    {
        state.counters["x_realtime_cpu"] = trackSeconds / cpuSeconds;
        state.counters["peak_MB"] = peakMB;
    }
    output.deleteFile();
}
} // namespace

BENCHMARK_CAPTURE (renderTrack, quality_0, 0.0f, 0)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (renderTrack, quality_0_25, 0.25f, 0)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (renderTrack, quality_0_5, 0.5f, 0)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (renderTrack, quality_0_75, 0.75f, 0)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
BENCHMARK_CAPTURE (renderTrack, quality_1, 1.0f, 0)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);
// The largest result the tool makes: the same track taken to 96 kHz.
BENCHMARK_CAPTURE (renderTrack, quality_0_75_at_96k, 0.75f, 96000)->Iterations (1)->UseManualTime()->Unit (benchmark::kSecond);

int main (int argc, char** argv)
{
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    benchFolder().deleteRecursively();
    return 0;
}
