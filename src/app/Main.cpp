#include "app/Quorvel_1_2Application.h"

START_JUCE_APPLICATION (Quorvel_1_2Application)
