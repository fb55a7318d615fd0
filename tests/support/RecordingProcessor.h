#pragma once

#include "engine/IProcessor.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace testing_support
{
/** A processor whose real-time chain is observable: every block it is handed
    is counted and doubled in place, and every real-time set-up rate is kept. */
class RecordingProcessor : public IProcessor
{
public:
    void execute() override {}

    void audioDeviceIOCallback (const float**, int, float** outputs, int numOutputChannels, int blockSize) noexcept override
    {
        chainCalls.fetch_add (1);
        lastChannelCount.store (numOutputChannels);
        for (int c = 0; c < numOutputChannels; ++c)
            for (int i = 0; i < blockSize; ++i)
                outputs[c][i] *= 2.0f;
    }

    void initRealTimeSettings (double sampleRate) override
    {
        const std::lock_guard<std::mutex> guard (ratesMutex);
        setUpRates.push_back (sampleRate);
    }

    std::vector<double> rates() const
    {
        const std::lock_guard<std::mutex> guard (ratesMutex);
        return setUpRates;
    }

    std::atomic<int> chainCalls{0};
    std::atomic<int> lastChannelCount{0};

private:
    mutable std::mutex ratesMutex;
    std::vector<double> setUpRates;
};
} // namespace testing_support
