#pragma once

#include "support/TestFiles.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <vector>

/** Runs the built quorvel-render as a user would, for the command-line tests. */
namespace tool_run
{
struct Outcome
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string quoted (const std::string& text)
{
    std::string q = "'";
    for (const char c : text)
        q += c == '\'' ? std::string ("'\\''") : std::string (1, c);
    return q + "'";
}

/** Runs the tool with `home` as its home folder (where it finds the user's
    presets file) and its standard output and error captured apart, in
    files kept outside `home`. */
inline Outcome run (const juce::File& home, const std::vector<std::string>& args)
{
    const testing_support::TempFolder capture;
    const auto outFile = capture.getFile ("stdout.txt");
    const auto errFile = capture.getFile ("stderr.txt");
    std::string command = "HOME=" + quoted (home.getFullPathName().toStdString()) + " " + quoted (QUORVEL_TEST_BIN_DIR "/quorvel-render");
    for (const auto& a : args)
        command += " " + quoted (a);
    command += " >" + quoted (outFile.getFullPathName().toStdString()) + " 2>" + quoted (errFile.getFullPathName().toStdString());

    Outcome o;
    const int status = std::system (command.c_str());
    o.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    o.out = outFile.loadFileAsString().toStdString();
    o.err = errFile.loadFileAsString().toStdString();
    return o;
}

/** The non-empty lines of a text. */
inline std::vector<std::string> lines (const std::string& text)
{
    std::vector<std::string> out;
    juce::StringArray parts;
    parts.addLines (text);
    parts.removeEmptyStrings();
    for (const auto& p : parts)
        out.push_back (p.toStdString());
    return out;
}

/** A reader for the file, its format told by the content whatever the name
    says (getFormatName() names it), or nullptr. */
inline std::unique_ptr<juce::AudioFormatReader> openReader (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    return std::unique_ptr<juce::AudioFormatReader> (formats.createReaderFor (file.createInputStream()));
}
} // namespace tool_run
