#include "scenes/MainScene.h"

MainScene::MainScene (std::shared_ptr<IProcessor> p) : processor (std::move (p)) { setSize (1040, 540); }

void MainScene::paint (juce::Graphics& g) { g.fillAll (juce::Colour (0xff1e1e1e)); }
