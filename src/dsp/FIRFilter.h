#pragma once

#include "dsp/IDSP.h"

#include <juce_core/juce_core.h>
#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define QUORVEL_FIR_AVX 1
#include <immintrin.h>
#else
#define QUORVEL_FIR_AVX 0
#endif

namespace DSP
{
enum FilterTypes : int32_t
{
    lowPass = 0,
    highPass = 1
};

/** Linear-phase FIR filter: the ideal (sinc) response truncated to
    `numTaps` taps, no window. Over `juce::dsp::SIMDRegister<float>` it runs
    four independent filters that share one ring position, so one
    multiply-add serves four signals or four designs.

    The sum is accumulated in float, lane by lane, two taps per step: the
    order of the additions is part of the result, which other code reproduces
    sample for sample.

    Real-time contract: `setup` may allocate (only for lengths above the 1024
    taps reserved at construction); `reset`, `process` and `processBlock`
    never allocate while the length stays within that reserve. */
template <typename SampleType> class FIRFilter : public IDSP
{
    static constexpr bool isVector = std::is_same_v<SampleType, juce::dsp::SIMDRegister<float>>;
    static_assert (isVector || std::is_same_v<SampleType, float>, "FIRFilter runs on float or SIMDRegister<float>");

public:
    static constexpr int32_t reservedTaps = 1024;
    static constexpr int32_t maxTaps = 4096;
    /** Frames filtered per pass of `processBlock`. */
    static constexpr int32_t blockLength = 128;

    /** A silent 512-tap filter (all taps 0) until `setup` designs it. */
    FIRFilter()
    {
#if QUORVEL_FIR_AVX
        if constexpr (isVector)
        {
            // Filters may be built by static initialisers, before the CPU
            // feature table is otherwise ready.
            __builtin_cpu_init();
            useAvx = __builtin_cpu_supports ("avx") != 0;
        }
#endif
        coefficients.reserve (reservedTaps);
        history.reserve (reservedTaps);
        window.reserve (reservedTaps - 1 + blockLength);
        reset();
    }

    /** Designs the filter and clears its history. Lengths outside the powers
        of two from 2 to 4096 are rounded up to the next one within that range,
        so the ring mask always matches the ring. */
    void setup (FilterTypes newType, int newNumTaps, double newSampleRate, double newCutoffHz)
    {
        type = newType;
        numTaps = newNumTaps;
        sampleRate = newSampleRate;
        cutoffHz = newCutoffHz;
        omega = cutoffHz * juce::MathConstants<double>::pi / (sampleRate * 0.5);

        reset();

        const double pi = juce::MathConstants<double>::pi;
        const double centre = (numTaps - 1) / 2.0;
        for (int n = 0; n < numTaps; ++n)
        {
            const double d = n - centre;
            double tap = 0.0;
            if (type == highPass)
                tap = d == 0.0 ? 1.0 - omega / pi : -std::sin (omega * d) / (pi * d);
            else
                tap = d == 0.0 ? omega / pi : std::sin (omega * d) / (pi * d);

            // A design from a zero or non-finite rate stays silent instead of
            // filling the chain with NaN.
            coefficients[static_cast<size_t> (n)] = broadcast (std::isfinite (tap) ? static_cast<float> (tap) : 0.0f);
        }
    }

    /** Rewinds the ring and clears the history. The design survives as long
        as `numTaps` is unchanged; a new length gets zero taps until `setup`
        designs them. */
    void reset() override
    {
        numTaps = validLength (numTaps);
        mask = numTaps - 1;
        writeIndex = 0;
        const auto zero = broadcast (0.0f);
        if (coefficients.size() != static_cast<size_t> (numTaps))
        {
            coefficients.clear();
            coefficients.resize (static_cast<size_t> (numTaps), zero);
        }
        history.clear();
        history.resize (static_cast<size_t> (numTaps), zero);
        window.clear();
        window.resize (static_cast<size_t> (numTaps - 1 + blockLength), zero);
    }

    /** Filters one sample (or four lanes at once). */
    SampleType process (SampleType x) noexcept
    {
        history[static_cast<size_t> (writeIndex)] = x;
        writeIndex = (writeIndex + 1) & mask;

        auto y = broadcast (0.0f);
        int32_t k = 0;
        for (; k + 1 < numTaps; k += 2)
            y += coefficients[static_cast<size_t> (k)] * history[static_cast<size_t> ((writeIndex + k) & mask)]
                 + coefficients[static_cast<size_t> (k + 1)] * history[static_cast<size_t> ((writeIndex + k + 1) & mask)];
        if (k < numTaps)
            y += coefficients[static_cast<size_t> (k)] * history[static_cast<size_t> ((writeIndex + k) & mask)];
        return y;
    }

    /** Filters `numSamples` values, giving exactly what as many `process`
        calls would. Outputs are independent of each other, so several are
        summed side by side (each in its own exact order) from a linear copy
        of the history; `output` may equal `input`. */
    void processBlock (const SampleType* input, SampleType* output, int numSamples) noexcept
    {
        while (numSamples > 0)
        {
            const int count = std::min (numSamples, static_cast<int> (blockLength));
            filterChunk (input, output, count);
            input += count;
            output += count;
            numSamples -= count;
        }
    }

    FilterTypes type = lowPass;
    double sampleRate = 44100.0;
    double cutoffHz = 0.0;
    double omega = 0.0;
    std::vector<SampleType> coefficients;
    std::vector<SampleType> history;
    int32_t mask = 0;
    int32_t writeIndex = 0;
    int32_t numTaps = 512;

private:
    /** The newest `numTaps` - 1 inputs, oldest first, followed by a chunk of
        new inputs: the linear view `processBlock` sums over. */
    std::vector<SampleType> window;
    /** Whether `processBlock` may sum two four-lane outputs per AVX register. */
    bool useAvx = false;

    static SampleType broadcast (float v) noexcept
    {
        if constexpr (isVector)
            return SampleType::expand (v);
        else
            return v;
    }

    static int32_t validLength (int32_t length) noexcept
    {
        return juce::nextPowerOfTwo (juce::jlimit (2, static_cast<int> (maxTaps), length));
    }

    void filterChunk (const SampleType* input, SampleType* output, int count) noexcept
    {
        const int n = numTaps;
        SampleType* win = window.data();
        const SampleType* c = coefficients.data();

        for (int i = 0; i < n - 1; ++i)
            win[i] = history[static_cast<size_t> ((writeIndex + 1 + i) & mask)];
        for (int j = 0; j < count; ++j)
            win[n - 1 + j] = input[j];

        int j = 0;
#if QUORVEL_FIR_AVX
        if constexpr (isVector)
            if (useAvx && (n % 2) == 0)
                j = filterEightAtATime (reinterpret_cast<const float*> (c), reinterpret_cast<const float*> (win),
                                        reinterpret_cast<float*> (output), count, n);
#endif
        for (; j + 4 <= count; j += 4)
        {
            const SampleType* w = win + j;
            auto y0 = broadcast (0.0f), y1 = y0, y2 = y0, y3 = y0;
            int k = 0;
            for (; k + 1 < n; k += 2)
            {
                const auto c0 = c[k], c1 = c[k + 1];
                y0 += c0 * w[k] + c1 * w[k + 1];
                y1 += c0 * w[k + 1] + c1 * w[k + 2];
                y2 += c0 * w[k + 2] + c1 * w[k + 3];
                y3 += c0 * w[k + 3] + c1 * w[k + 4];
            }
            if (k < n)
            {
                y0 += c[k] * w[k];
                y1 += c[k] * w[k + 1];
                y2 += c[k] * w[k + 2];
                y3 += c[k] * w[k + 3];
            }
            output[j] = y0;
            output[j + 1] = y1;
            output[j + 2] = y2;
            output[j + 3] = y3;
        }
        for (; j < count; ++j)
        {
            const SampleType* w = win + j;
            auto y = broadcast (0.0f);
            int k = 0;
            for (; k + 1 < n; k += 2)
                y += c[k] * w[k] + c[k + 1] * w[k + 1];
            if (k < n)
                y += c[k] * w[k];
            output[j] = y;
        }

        for (int i = 0; i < count; ++i)
        {
            history[static_cast<size_t> (writeIndex)] = win[n - 1 + i];
            writeIndex = (writeIndex + 1) & mask;
        }
    }

#if QUORVEL_FIR_AVX
    /** Eight four-lane outputs per pass, two per 256-bit register (output j in
        the low half, j + 1 in the high half). Plain multiplies and adds in the
        same order as `process`, so every lane comes out bit for bit the same;
        FMA is deliberately not enabled. Returns how many outputs it made. */
    __attribute__ ((target ("avx"))) static int filterEightAtATime (const float* c, const float* win, float* out, int count, int n) noexcept
    {
        int j = 0;
        for (; j + 8 <= count; j += 8)
        {
            const float* w = win + 4 * j;
            __m256 y0 = _mm256_setzero_ps(), y1 = y0, y2 = y0, y3 = y0;
            for (int k = 0; k < n; k += 2)
            {
                const __m256 c0 = _mm256_broadcast_ps (reinterpret_cast<const __m128*> (c + 4 * k));
                const __m256 c1 = _mm256_broadcast_ps (reinterpret_cast<const __m128*> (c + 4 * k + 4));
                const float* p = w + 4 * k;
                y0 = _mm256_add_ps (y0,
                                    _mm256_add_ps (_mm256_mul_ps (c0, _mm256_loadu_ps (p)), _mm256_mul_ps (c1, _mm256_loadu_ps (p + 4))));
                y1 = _mm256_add_ps (
                    y1, _mm256_add_ps (_mm256_mul_ps (c0, _mm256_loadu_ps (p + 8)), _mm256_mul_ps (c1, _mm256_loadu_ps (p + 12))));
                y2 = _mm256_add_ps (
                    y2, _mm256_add_ps (_mm256_mul_ps (c0, _mm256_loadu_ps (p + 16)), _mm256_mul_ps (c1, _mm256_loadu_ps (p + 20))));
                y3 = _mm256_add_ps (
                    y3, _mm256_add_ps (_mm256_mul_ps (c0, _mm256_loadu_ps (p + 24)), _mm256_mul_ps (c1, _mm256_loadu_ps (p + 28))));
            }
            _mm256_storeu_ps (out + 4 * j, y0);
            _mm256_storeu_ps (out + 4 * j + 8, y1);
            _mm256_storeu_ps (out + 4 * j + 16, y2);
            _mm256_storeu_ps (out + 4 * j + 24, y3);
        }
        return j;
    }
#endif
};
} // namespace DSP
