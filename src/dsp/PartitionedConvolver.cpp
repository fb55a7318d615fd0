#include "dsp/PartitionedConvolver.h"

#include <algorithm>
#include <cmath>

namespace DSP
{
void PartitionedConvolver::setup (int blockSize, const std::vector<std::vector<double>>& filters)
{
    jassert (juce::isPowerOfTwo (blockSize) && !filters.empty() && !filters.front().empty());

    block = blockSize;
    fftSize = 2 * blockSize;
    numFilters = static_cast<int> (filters.size());
    const auto length = static_cast<int> (filters.front().size());
    partitions = std::max (1, (length + block - 1) / block);
    fft = std::make_unique<juce::dsp::FFT> (juce::roundToInt (std::log2 (fftSize)));

    const auto bins = static_cast<size_t> (fftSize);
    filterSpectra.assign (static_cast<size_t> (numFilters * partitions) * bins, {});
    std::vector<Complex> taps (bins);
    for (size_t f = 0; f < filters.size(); ++f)
        for (int p = 0; p < partitions; ++p)
        {
            // Partition p holds taps p x block ... (p + 1) x block - 1,
            // zero-padded to the transform size.
            std::fill (taps.begin(), taps.end(), Complex {});
            for (int m = 0; m < block; ++m)
            {
                const auto tap = static_cast<size_t> (p * block + m);
                if (tap < filters[f].size())
                    taps[static_cast<size_t> (m)] = Complex (static_cast<float> (filters[f][tap]), 0.0f);
            }
            fft->perform (taps.data(), filterSpectra.data() + (f * static_cast<size_t> (partitions) + static_cast<size_t> (p)) * bins,
                          false);
        }

    inputSpectra.assign (static_cast<size_t> (partitions) * bins, {});
    window.assign (bins, {});
    sum.assign (bins, {});
    result.assign (bins, {});
    newest = 0;
}

void PartitionedConvolver::reset() noexcept
{
    std::fill (inputSpectra.begin(), inputSpectra.end(), Complex {});
    std::fill (window.begin(), window.end(), Complex {});
    newest = 0;
}

void PartitionedConvolver::process (const float* left, const float* right, float* const* outLeft, float* const* outRight) noexcept
{
    const auto bins = static_cast<size_t> (fftSize);
    const auto half = static_cast<size_t> (block);

    std::copy (window.begin() + static_cast<std::ptrdiff_t> (half), window.end(), window.begin());
    for (size_t j = 0; j < half; ++j)
        window[half + j] = Complex (left[j], right[j]);

    newest = newest == 0 ? partitions - 1 : newest - 1;
    fft->perform (window.data(), inputSpectra.data() + static_cast<size_t> (newest) * bins, false);

    for (int f = 0; f < numFilters; ++f)
    {
        std::fill (sum.begin(), sum.end(), Complex {});
        for (int p = 0; p < partitions; ++p)
        {
            // Partition p meets the input window of p blocks ago.
            const Complex* x = inputSpectra.data() + static_cast<size_t> ((newest + p) % partitions) * bins;
            const Complex* h = filterSpectra.data() + static_cast<size_t> (f * partitions + p) * bins;
            // Written out rather than with std::complex's operator*, which
            // checks for infinities and does not vectorise.
            for (size_t k = 0; k < bins; ++k)
            {
                const float xr = x[k].real(), xi = x[k].imag(), hr = h[k].real(), hi = h[k].imag();
                sum[k] = Complex (sum[k].real() + (xr * hr - xi * hi), sum[k].imag() + (xr * hi + xi * hr));
            }
        }
        fft->perform (sum.data(), result.data(), true);

        // The second half of the circular result is the linear convolution.
        float* l = outLeft[f];
        float* r = outRight[f];
        for (size_t j = 0; j < half; ++j)
        {
            l[j] = result[half + j].real();
            r[j] = result[half + j].imag();
        }
    }
}
} // namespace DSP
