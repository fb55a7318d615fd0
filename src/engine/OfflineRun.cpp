#include "engine/ProcessorTypeI.h"

// The offline mastering run is not built yet: a run ends at once, telling the
// user why, and leaves the loaded source as it was.
void ProcessorTypeI::execute()
{
    runErrorText = std::string ("Processing is not available in this build.");
    state = stateLoaded;
}
