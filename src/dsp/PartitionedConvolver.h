#pragma once

#include <juce_dsp/juce_dsp.h>

#include <complex>
#include <memory>
#include <vector>

namespace DSP
{
/** Uniformly partitioned overlap-save convolution of a stereo signal with
    several real filters at once. Left and right travel as the real and
    imaginary parts of one complex signal: the filters being real, one
    complex transform filters both channels, and one forward transform per
    block serves every filter.

    Each output is the plain linear convolution, y[n] = sum over m of
    h[m] x[n - m], starting from a silent history; only rounding differs from
    a direct sum.

    Real-time contract: `setup` allocates; `reset` and `process` never do. */
class PartitionedConvolver
{
public:
    using Complex = std::complex<float>;

    /** Prepares the filters (all of the same length, at least 1 tap) for
        blocks of `blockSize` frames, a power of two, and clears the history. */
    void setup (int blockSize, const std::vector<std::vector<double>>& filters);

    /** Clears the history: the next block starts from silence. */
    void reset() noexcept;

    int getBlockSize() const noexcept { return block; }
    int getNumFilters() const noexcept { return numFilters; }

    /** Filters one block of `getBlockSize()` frames. Filter f writes its
        left and right outputs to `outLeft[f]` and `outRight[f]`. */
    void process (const float* left, const float* right, float* const* outLeft, float* const* outRight) noexcept;

private:
    int block = 0;
    int fftSize = 0;
    int partitions = 0;
    int numFilters = 0;
    /** Slot of `inputSpectra` that holds the newest block's spectrum. */
    int newest = 0;
    std::unique_ptr<juce::dsp::FFT> fft;
    /** Filter f, partition p: fftSize bins at (f * partitions + p) * fftSize. */
    std::vector<Complex> filterSpectra;
    /** Spectra of the last `partitions` input windows, a ring. */
    std::vector<Complex> inputSpectra;
    /** The previous block followed by the current one. */
    std::vector<Complex> window;
    std::vector<Complex> sum;
    std::vector<Complex> result;
};
} // namespace DSP
