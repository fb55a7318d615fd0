#include "engine/ProcessorTypeI.h"

ProcessorTypeI::ProcessorTypeI() = default;

void ProcessorTypeI::stopExecution() { stopRequested.store (true, std::memory_order_relaxed); }
