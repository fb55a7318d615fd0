#include "components/AudioGraph.h"

namespace Components::Modules
{
AudioGraph::AudioGraph() : workBuffer (static_cast<size_t> (ringSize), 0.0f)
{
    spectrumRing.buffer.assign (static_cast<size_t> (ringSize), 0.0f);
    spectrumRing.size = ringSize;
    spectrumRing.mask = ringSize - 1;
    spectrumRing.writeIndex = 0;
}
} // namespace Components::Modules
