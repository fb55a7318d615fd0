#include "app/Quorvel_1_2Application.h"

#include "app/MainComponent.h"

void Quorvel_1_2Application::initialise (const juce::String&) { mainWindow = std::make_unique<MainWindow> (getApplicationName()); }

void Quorvel_1_2Application::shutdown() { mainWindow = nullptr; }

void Quorvel_1_2Application::systemRequestedQuit() { quit(); }

void Quorvel_1_2Application::anotherInstanceStarted (const juce::String&) {}

Quorvel_1_2Application::MainWindow::MainWindow (const juce::String& name) :
    DocumentWindow (name, juce::Desktop::getInstance().getDefaultLookAndFeel().findColour (juce::ResizableWindow::backgroundColourId),
                    DocumentWindow::allButtons)
{
    setUsingNativeTitleBar (true);
    setContentOwned (new MainComponent(), true);
    setResizable (true, true);
    centreWithSize (getWidth(), getHeight());
    setVisible (true);
}

void Quorvel_1_2Application::MainWindow::closeButtonPressed() { juce::JUCEApplication::getInstance()->systemRequestedQuit(); }
