#pragma once

#include "engine/IProcessor.h"

#include <atomic>

/** The concrete mastering processor: the real-time preview chain and the
    offline mastering run. */
class ProcessorTypeI : public IProcessor
{
public:
    ProcessorTypeI();
    ~ProcessorTypeI() override = default;

    /** The offline mastering run; the body of a detached worker thread. */
    void execute() override;
    void stopExecution() override;

    std::atomic<bool> stopRequested{false};
};
