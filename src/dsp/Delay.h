#pragma once

#include <juce_core/juce_core.h>
#include <juce_dsp/juce_dsp.h>

#include <cstdint>
#include <type_traits>
#include <vector>

namespace DSP
{
/** Power-of-two delay line: `process` returns the value written `size` calls
    earlier. Over `juce::dsp::SIMDRegister<float>` it delays four lanes at
    once.

    Real-time contract: `setup` may allocate (only for sizes above the 1024
    entries reserved at construction); `process` never allocates. */
template <typename SampleType> class Delay
{
    static constexpr bool isVector = std::is_same_v<SampleType, juce::dsp::SIMDRegister<float>>;
    static_assert (isVector || std::is_same_v<SampleType, float>, "Delay runs on float or SIMDRegister<float>");

public:
    static constexpr int32_t maxSize = 65536;

    /** Not set up yet (`size` 0); the ring already holds `mask` + 1 zeros so
        that processing before `setup` is harmless. */
    Delay()
    {
        buffer.reserve (1024);
        buffer.assign (static_cast<size_t> (mask + 1), zero());
    }

    /** Sizes and clears the ring. Sizes outside the powers of two from 2 to
        65536 are rounded up to the next one within that range. */
    void setup (int newSize)
    {
        size = juce::nextPowerOfTwo (juce::jlimit (2, static_cast<int> (maxSize), newSize));
        mask = size - 1;
        buffer.clear();
        buffer.resize (static_cast<size_t> (size), zero());
        writeIndex = 0;
    }

    SampleType process (SampleType x) noexcept
    {
        const SampleType out = buffer[static_cast<size_t> (writeIndex)];
        buffer[static_cast<size_t> (writeIndex)] = x;
        writeIndex = (writeIndex + 1) & mask;
        return out;
    }

    std::vector<SampleType> buffer;
    int32_t size = 0;
    int32_t mask = 255;
    int32_t writeIndex = 0;

private:
    static SampleType zero() noexcept
    {
        if constexpr (isVector)
            return SampleType::expand (0.0f);
        else
            return 0.0f;
    }
};
} // namespace DSP
