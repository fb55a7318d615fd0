#include "app/MainComponent.h"
#include "app/Quorvel_1_2Application.h"

#include "resources/ResourcesTestSupport.h"

#include <gtest/gtest.h>

namespace
{
/** Start-up reads and writes the data folder: keep it temporary. */
class MainComponentTest : public resources_testing::DataFolderTest
{
};
} // namespace

TEST_F (MainComponentTest, ContentStaysAtItsFixedSize)
{
    MainComponent component;
    EXPECT_EQ (component.getWidth(), 1040);
    EXPECT_EQ (component.getHeight(), 540);
    ASSERT_NE (component.getProcessor(), nullptr);
    EXPECT_EQ (component.getProcessor()->state.load(), IProcessor::stateEmpty);

    // Whatever size the window asks for, the content snaps back.
    for (auto size : {juce::Point<int> (1400, 900), juce::Point<int> (300, 200), juce::Point<int> (1040, 541)})
    {
        component.setSize (size.x, size.y);
        EXPECT_EQ (component.getWidth(), 1040);
        EXPECT_EQ (component.getHeight(), 540);
        ASSERT_EQ (component.getNumChildComponents(), 1);
        EXPECT_EQ (component.getChildComponent (0)->getBounds(), juce::Rectangle<int> (0, 0, 1040, 540));
    }
}

TEST_F (MainComponentTest, WindowHoldsTheMainComponentUnderTheAppTitle)
{
    Quorvel_1_2Application::MainWindow window ("Quorvel II");
    EXPECT_EQ (window.getName(), "Quorvel II");
    auto* content = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getBounds().getWidth(), 1040);
    EXPECT_TRUE (window.isResizable());
    EXPECT_TRUE (window.isVisible());

    // Dragging the window larger leaves the content as it was.
    window.setSize (1500, 1000);
    EXPECT_EQ (content->getWidth(), 1040);
    EXPECT_EQ (content->getHeight(), 540);
}
