#pragma once

#include <cstdint>

/** The export dither's noise source: the minimal-standard linear congruential
    generator (multiplier 48271, modulus 2^31 - 1), stepped with Schrage's
    method so that no product overflows 32 bits. An export restarts it at
    `startState`, so exporting one result twice adds the same noise.
    Never allocates. */
class DitherNoise
{
public:
    static constexpr int32_t startState = 48271;

    explicit DitherNoise (int32_t seed = startState) noexcept : state (seed) {}

    /** Advances the state, then returns (state - 1) * 2^-31, in [0, 1). */
    float next() noexcept
    {
        constexpr int32_t multiplier = 48271;
        constexpr int32_t modulus = 2147483647;
        constexpr int32_t quotient = 44488; // modulus / multiplier
        constexpr int32_t remainder = 3399; // modulus % multiplier
        state = multiplier * (state % quotient) - remainder * (state / quotient);
        if (state < 0)
            state += modulus;
        return toUnit (state);
    }

    /** The value a state gives: exact in double, one rounding to float. */
    static float toUnit (int32_t value) noexcept { return static_cast<float> (static_cast<double> (value - 1) * (1.0 / 2147483648.0)); }

    int32_t getState() const noexcept { return state; }

private:
    int32_t state;
};
