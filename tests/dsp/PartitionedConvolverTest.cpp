#include "dsp/PartitionedConvolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
/** The direct sum in double: y[n] = sum over m of h[m] x[n - m]. */
std::vector<double> convolve (const std::vector<double>& h, const std::vector<float>& x)
{
    std::vector<double> y (x.size(), 0.0);
    for (size_t n = 0; n < x.size(); ++n)
        for (size_t m = 0; m < h.size() && m <= n; ++m)
            y[n] += h[m] * static_cast<double> (x[n - m]);
    return y;
}
} // namespace

TEST (PartitionedConvolver, EqualsTheDirectSumForEveryFilterAndChannel)
{
    // Filters shorter than a block, of exactly one block and of several
    // partitions (with a short last one); the signal spans many blocks.
    const struct
    {
        int block;
        int taps;
    } cases[] = { { 64, 17 }, { 64, 64 }, { 32, 200 }, { 256, 1024 } };

    std::mt19937 rng (7);
    std::uniform_real_distribution<float> uniform (-1.0f, 1.0f);
    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::Message() << c.block << " / " << c.taps);
        std::vector<std::vector<double>> filters (3, std::vector<double> (static_cast<size_t> (c.taps)));
        for (auto& f : filters)
            for (auto& tap : f)
                tap = uniform (rng) / std::sqrt (static_cast<double> (c.taps));
        const size_t length = static_cast<size_t> (c.block) * 9;
        std::vector<float> left (length), right (length);
        for (size_t i = 0; i < length; ++i)
        {
            left[i] = uniform (rng);
            right[i] = i % 97 == 0 ? 1.0f : 0.0f; // impulses: the plain response
        }

        DSP::PartitionedConvolver convolver;
        convolver.setup (c.block, filters);
        ASSERT_EQ (convolver.getNumFilters(), 3);
        std::vector<std::vector<float>> outL (3, std::vector<float> (length)), outR (3, std::vector<float> (length));
        for (size_t start = 0; start < length; start += static_cast<size_t> (c.block))
        {
            float* l[3] = { outL[0].data() + start, outL[1].data() + start, outL[2].data() + start };
            float* r[3] = { outR[0].data() + start, outR[1].data() + start, outR[2].data() + start };
            convolver.process (left.data() + start, right.data() + start, l, r);
        }

        for (size_t f = 0; f < 3; ++f)
        {
            const auto expectedL = convolve (filters[f], left);
            const auto expectedR = convolve (filters[f], right);
            double worst = 0.0;
            for (size_t i = 0; i < length; ++i)
                worst = std::max ({ worst, std::abs (outL[f][i] - expectedL[i]), std::abs (outR[f][i] - expectedR[i]) });
            EXPECT_LT (worst, 2e-6) << "filter " << f;
        }

        // After a reset the history is silent again: the first block equals
        // a fresh start.
        convolver.reset();
        float* l[3] = { outL[0].data(), outL[1].data(), outL[2].data() };
        float* r[3] = { outR[0].data(), outR[1].data(), outR[2].data() };
        convolver.process (left.data(), right.data(), l, r);
        const auto expected = convolve (filters[0], left);
        for (size_t i = 0; i < static_cast<size_t> (c.block); ++i)
            ASSERT_NEAR (outL[0][i], expected[i], 2e-6) << i;
    }
}
