#pragma once

#include <cstddef>
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

    The transforms are its own radix-2 pair: the forward one leaves the bins
    in bit-reversed order and the inverse one takes them in that order, so the
    products in between need no reordering (and the 1 / size of the inverse
    is folded into the filters). Real and imaginary parts are kept in separate
    arrays, which the compiler vectorises.

    Real-time contract: `setup` allocates; `reset` and `process` never do. */
class PartitionedConvolver
{
public:
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
    /** A spectrum or a time-domain window: real parts then imaginary parts. */
    struct Split
    {
        float* re;
        float* im;
    };

    void forward (Split x) const noexcept;
    void inverse (Split x) const noexcept;
    Split at (std::vector<float>& v, std::size_t index) noexcept;

    int block = 0;
    int fftSize = 0;
    int partitions = 0;
    int numFilters = 0;
    /** Slot of `inputSpectra` that holds the newest block's spectrum. */
    int newest = 0;
    /** Twiddles of every stage, for stage lengths 2, 4, ... fftSize: the
        stage of length L has L / 2 entries starting at L / 2 - 1. */
    std::vector<float> twiddleRe, twiddleIm;
    /** Filter f, partition p: spectrum number f * partitions + p. */
    std::vector<float> filterSpectra;
    /** Spectra of the last `partitions` input windows, a ring. */
    std::vector<float> inputSpectra;
    /** The previous block followed by the current one. */
    std::vector<float> window;
    std::vector<float> work;
};
} // namespace DSP
