#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The application object the framework starts. Owns the one main window. */
class Quorvel_1_2Application : public juce::JUCEApplication
{
public:
    Quorvel_1_2Application() = default;

    const juce::String getApplicationName() override { return "Quorvel II"; }
    const juce::String getApplicationVersion() override { return "2.1.5b"; }
    bool moreThanOneInstanceAllowed() override { return true; }

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    void systemRequestedQuit() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;

    /** The main window; closing it quits the program. */
    class MainWindow : public juce::DocumentWindow
    {
    public:
        explicit MainWindow (const juce::String& name);
        void closeButtonPressed() override;

    private:
        JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
    };

    /** Loads the first argument that is not an option ("-...") into the
        window's main scene, through the same path as a dropped file. */
    static void openFromCommandLine (MainWindow& window, const juce::StringArray& arguments);

private:
    std::unique_ptr<MainWindow> mainWindow;
};
