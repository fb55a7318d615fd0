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
    /** The same run with the signal stage computed literally, frame by frame
        through eleven low-passes: the reference the fast stage of `execute`
        is tested and measured against. Not offered to the user. */
    void executeLiteral();
    void stopExecution() override;

    std::atomic<bool> stopRequested { false };

    //==============================================================================
    // Offline run results (OfflineRun.cpp).

    /** What the last finished run used and measured: its FIR length, the peak
        of its range (sample peak or interpolated peak) and the final gain it
        applied (1 when the range was silent). Written before `state` becomes
        4. */
    std::atomic<int32_t> lastRunTaps { 0 };
    std::atomic<float> lastRunPeak { 0.0f };
    std::atomic<float> lastRunGain { 1.0f };

    /** The interpolated peak between x1 and x2: the largest of |x1| and the
        magnitudes of a cubic Bezier curve from x1 to x2, leaving x1 along the
        slope from x0 and arriving at x2 along the slope towards x3, at
        t = 0.2, 0.4, 0.6 and 0.8. */
    static float interSamplePeak (float x0, float x1, float x2, float x3) noexcept;

private:
    void runOffline (bool literal);
};
