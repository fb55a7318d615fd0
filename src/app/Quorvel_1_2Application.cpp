#include "app/Quorvel_1_2Application.h"

#include "app/MainComponent.h"

void Quorvel_1_2Application::initialise (const juce::String&)
{
    mainWindow = std::make_unique<MainWindow> (getApplicationName());
    openFromCommandLine (*mainWindow, getCommandLineParameterArray());
}

void Quorvel_1_2Application::openFromCommandLine (MainWindow& window, const juce::StringArray& arguments)
{
    // "quorvel FILE", as a file manager's "Open with" runs it: the first
    // argument that is not an option is loaded like a dropped file, so the
    // same extension check and messages apply.
    auto* content = dynamic_cast<MainComponent*> (window.getContentComponent());
    if (content == nullptr || content->getMainScene() == nullptr)
        return;
    for (const auto& argument : arguments)
        if (argument.isNotEmpty() && !argument.startsWith ("-"))
        {
            content->getMainScene()->filesDropped (juce::StringArray (argument), 0, 0);
            return;
        }
}

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
