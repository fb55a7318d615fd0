#include "dsp/Delay.h"

#include <gtest/gtest.h>

using Reg = juce::dsp::SIMDRegister<float>;

TEST (Delay, ReturnsTheInputOfSizeCallsEarlier)
{
    DSP::Delay<float> delay;
    EXPECT_EQ (delay.size, 0);
    EXPECT_EQ (delay.mask, 255);
    delay.setup (256);
    EXPECT_EQ (delay.mask, 255);
    for (int i = 0; i < 2000; ++i)
    {
        const float out = delay.process (static_cast<float> (i + 1));
        ASSERT_EQ (out, i >= 256 ? static_cast<float> (i + 1 - 256) : 0.0f) << i;
    }
}

TEST (Delay, SizesBecomeValidPowersOfTwo)
{
    struct Case
    {
        int requested, used;
    };
    const Case cases[] = {{65536, 65536}, {2, 2}, {0, 2}, {-4, 2}, {1, 2}, {300, 512}, {100000, 65536}};
    for (const auto& c : cases)
    {
        DSP::Delay<float> delay;
        delay.setup (c.requested);
        EXPECT_EQ (delay.size, c.used) << c.requested;
        EXPECT_EQ (delay.mask, c.used - 1);
        EXPECT_EQ (delay.buffer.size(), static_cast<size_t> (c.used));
        for (int i = 0; i < c.used + 10; ++i)
        {
            const float out = delay.process (static_cast<float> (i + 1));
            ASSERT_EQ (out, i >= c.used ? static_cast<float> (i + 1 - c.used) : 0.0f);
        }
    }

    // Before setup it is a harmless ring of zeros.
    DSP::Delay<float> fresh;
    for (int i = 0; i < 1000; ++i)
        fresh.process (1.0f);
}

TEST (Delay, FourLanesDelayTogether)
{
    DSP::Delay<Reg> delay;
    delay.setup (32);
    for (int i = 0; i < 100; ++i)
    {
        Reg x = Reg::expand (0.0f);
        x.set (0, static_cast<float> (i));
        x.set (1, static_cast<float> (-i));
        const auto out = delay.process (x);
        const float expected = i >= 32 ? static_cast<float> (i - 32) : 0.0f;
        ASSERT_EQ (out.get (0), expected);
        ASSERT_EQ (out.get (1), -expected);
        ASSERT_EQ (out.get (2), 0.0f);
    }
}
