#include "dsp/PartitionedConvolver.h"

#include <juce_core/juce_core.h>

#include <algorithm>
#include <cmath>

// The transforms and the spectrum products are the convolver's whole cost:
// on x86-64 they are built twice, for AVX2 with FMA and for the baseline, and
// the loader picks the clone the processor supports.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define QUORVEL_VECTOR_CLONES __attribute__ ((target_clones ("arch=haswell", "default")))
#else
#define QUORVEL_VECTOR_CLONES
#endif

namespace
{
/** sum += x times h, bin by bin. */
QUORVEL_VECTOR_CLONES void multiplyAdd (float* __restrict sumRe, float* __restrict sumIm, const float* __restrict xRe,
                                        const float* __restrict xIm, const float* __restrict hRe, const float* __restrict hIm,
                                        size_t n) noexcept
{
    for (size_t k = 0; k < n; ++k)
    {
        sumRe[k] += xRe[k] * hRe[k] - xIm[k] * hIm[k];
        sumIm[k] += xRe[k] * hIm[k] + xIm[k] * hRe[k];
    }
}
} // namespace

namespace DSP
{
PartitionedConvolver::Split PartitionedConvolver::at (std::vector<float>& v, size_t index) noexcept
{
    const auto n = static_cast<size_t> (fftSize);
    float* base = v.data() + index * 2 * n;
    return { base, base + n };
}

void PartitionedConvolver::setup (int blockSize, const std::vector<std::vector<double>>& filters)
{
    jassert (juce::isPowerOfTwo (blockSize) && !filters.empty() && !filters.front().empty());

    block = blockSize;
    fftSize = 2 * blockSize;
    numFilters = static_cast<int> (filters.size());
    const auto length = static_cast<int> (filters.front().size());
    partitions = std::max (1, (length + block - 1) / block);
    const auto n = static_cast<size_t> (fftSize);

    twiddleRe.assign (n, 0.0f);
    twiddleIm.assign (n, 0.0f);
    for (size_t half = 1; half < n; half *= 2)
        for (size_t k = 0; k < half; ++k)
        {
            const double angle = -juce::MathConstants<double>::pi * static_cast<double> (k) / static_cast<double> (half);
            twiddleRe[half - 1 + k] = static_cast<float> (std::cos (angle));
            twiddleIm[half - 1 + k] = static_cast<float> (std::sin (angle));
        }

    filterSpectra.assign (static_cast<size_t> (numFilters * partitions) * 2 * n, 0.0f);
    for (size_t f = 0; f < filters.size(); ++f)
        for (int p = 0; p < partitions; ++p)
        {
            // Partition p holds taps p x block ... (p + 1) x block - 1,
            // zero-padded to the transform size and scaled by the inverse
            // transform's 1 / size.
            const Split s = at (filterSpectra, f * static_cast<size_t> (partitions) + static_cast<size_t> (p));
            for (int m = 0; m < block; ++m)
            {
                const auto tap = static_cast<size_t> (p * block + m);
                if (tap < filters[f].size())
                    s.re[m] = static_cast<float> (filters[f][tap] / static_cast<double> (fftSize));
            }
            forward (s);
        }

    inputSpectra.assign (static_cast<size_t> (partitions) * 2 * n, 0.0f);
    window.assign (2 * n, 0.0f);
    work.assign (2 * n, 0.0f);
    newest = 0;
}

void PartitionedConvolver::reset() noexcept
{
    std::fill (inputSpectra.begin(), inputSpectra.end(), 0.0f);
    std::fill (window.begin(), window.end(), 0.0f);
    newest = 0;
}

QUORVEL_VECTOR_CLONES void PartitionedConvolver::forward (Split x) const noexcept
{
    // Decimation in frequency: natural order in, bit-reversed order out.
    const auto n = static_cast<size_t> (fftSize);
    for (size_t half = n / 2; half >= 4; half /= 2)
    {
        const float* wr = twiddleRe.data() + half - 1;
        const float* wi = twiddleIm.data() + half - 1;
        for (size_t start = 0; start < n; start += 2 * half)
        {
            float* ar = x.re + start;
            float* ai = x.im + start;
            float* br = ar + half;
            float* bi = ai + half;
            for (size_t k = 0; k < half; ++k)
            {
                const float dr = ar[k] - br[k], di = ai[k] - bi[k];
                ar[k] += br[k];
                ai[k] += bi[k];
                br[k] = dr * wr[k] - di * wi[k];
                bi[k] = dr * wi[k] + di * wr[k];
            }
        }
    }

    // The last two stages have the twiddles 1 and -i: no multiplications.
    if (n >= 4)
        for (size_t s = 0; s < n; s += 4)
        {
            float* re = x.re + s;
            float* im = x.im + s;
            const float d0r = re[0] - re[2], d0i = im[0] - im[2];
            const float d1r = re[1] - re[3], d1i = im[1] - im[3];
            re[0] += re[2];
            im[0] += im[2];
            re[1] += re[3];
            im[1] += im[3];
            re[2] = d0r;
            im[2] = d0i;
            re[3] = d1i;
            im[3] = -d1r;
        }
    for (size_t s = 0; s < n; s += 2)
    {
        const float dr = x.re[s] - x.re[s + 1], di = x.im[s] - x.im[s + 1];
        x.re[s] += x.re[s + 1];
        x.im[s] += x.im[s + 1];
        x.re[s + 1] = dr;
        x.im[s + 1] = di;
    }
}

QUORVEL_VECTOR_CLONES void PartitionedConvolver::inverse (Split x) const noexcept
{
    // Decimation in time with conjugate twiddles: bit-reversed order in,
    // natural order out, each stage undoing the forward one (times 2).
    const auto n = static_cast<size_t> (fftSize);

    // The first two stages have the twiddles 1 and +i: no multiplications.
    for (size_t s = 0; s < n; s += 2)
    {
        const float dr = x.re[s] - x.re[s + 1], di = x.im[s] - x.im[s + 1];
        x.re[s] += x.re[s + 1];
        x.im[s] += x.im[s + 1];
        x.re[s + 1] = dr;
        x.im[s + 1] = di;
    }
    if (n >= 4)
        for (size_t s = 0; s < n; s += 4)
        {
            float* re = x.re + s;
            float* im = x.im + s;
            const float t0r = re[2], t0i = im[2];
            const float t1r = -im[3], t1i = re[3];
            re[2] = re[0] - t0r;
            im[2] = im[0] - t0i;
            re[3] = re[1] - t1r;
            im[3] = im[1] - t1i;
            re[0] += t0r;
            im[0] += t0i;
            re[1] += t1r;
            im[1] += t1i;
        }

    for (size_t half = 4; half < n; half *= 2)
    {
        const float* wr = twiddleRe.data() + half - 1;
        const float* wi = twiddleIm.data() + half - 1;
        for (size_t start = 0; start < n; start += 2 * half)
        {
            float* ar = x.re + start;
            float* ai = x.im + start;
            float* br = ar + half;
            float* bi = ai + half;
            for (size_t k = 0; k < half; ++k)
            {
                const float tr = br[k] * wr[k] + bi[k] * wi[k];
                const float ti = bi[k] * wr[k] - br[k] * wi[k];
                br[k] = ar[k] - tr;
                bi[k] = ai[k] - ti;
                ar[k] += tr;
                ai[k] += ti;
            }
        }
    }
}

void PartitionedConvolver::process (const float* left, const float* right, float* const* outLeft, float* const* outRight) noexcept
{
    const auto n = static_cast<size_t> (fftSize);
    const auto half = static_cast<size_t> (block);

    const Split w = at (window, 0);
    std::copy (w.re + half, w.re + n, w.re);
    std::copy (w.im + half, w.im + n, w.im);
    std::copy (left, left + half, w.re + half);
    std::copy (right, right + half, w.im + half);

    newest = newest == 0 ? partitions - 1 : newest - 1;
    const Split x0 = at (inputSpectra, static_cast<size_t> (newest));
    std::copy (window.begin(), window.end(), x0.re);
    forward (x0);

    const Split sum = at (work, 0);
    for (int f = 0; f < numFilters; ++f)
    {
        std::fill (work.begin(), work.end(), 0.0f);
        for (int p = 0; p < partitions; ++p)
        {
            // Partition p meets the input window of p blocks ago.
            const Split x = at (inputSpectra, static_cast<size_t> ((newest + p) % partitions));
            const Split h = at (filterSpectra, static_cast<size_t> (f * partitions + p));
            multiplyAdd (sum.re, sum.im, x.re, x.im, h.re, h.im, n);
        }
        inverse (sum);

        // The second half of the circular result is the linear convolution.
        std::copy (sum.re + half, sum.re + n, outLeft[f]);
        std::copy (sum.im + half, sum.im + n, outRight[f]);
    }
}
} // namespace DSP
