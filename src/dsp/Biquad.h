#pragma once

#include <cmath>
#include <cstdint>

/** Second-order IIR section (transposed direct form II) with the seven usual
    responses, designed by the bilinear transform. The owner writes `type`,
    `Fc` (Hz divided by the sample rate), `Q` and `peakGain` (dB) and calls
    `calcBiquad()`; the state survives retuning, so a running filter changes
    its response without a click. A new section passes the signal unchanged.

    Real-time contract: nothing here allocates; `process` and `calcBiquad`
    are noexcept. */
class Biquad
{
public:
    enum Types : int32_t
    {
        lowPass = 0,
        highPass = 1,
        bandPass = 2,
        notch = 3,
        peak = 4,
        lowShelf = 5,
        highShelf = 6
    };

    /** Recomputes a0 ... b2 from type, Fc, Q and peakGain; leaves z1 and z2
        alone. A type outside 0..6 keeps the coefficients as they were. */
    void calcBiquad() noexcept;

    /** Filters one sample, in double inside; a non-finite input counts as
        silence so that it cannot stick in the state. */
    float process (float in) noexcept
    {
        const double x = std::isfinite (in) ? static_cast<double> (in) : 0.0;
        const double out = x * a0 + z1;
        z1 = x * a1 + z2 - b1 * out;
        z2 = x * a2 - b2 * out;
        return static_cast<float> (out);
    }

    double Fc = 0.5;
    double Q = 0.707;
    double peakGain = 0.0;
    int32_t type = lowPass;
    double a0 = 1.0, a1 = 0.0, a2 = 0.0;
    double b1 = 0.0, b2 = 0.0;
    double z1 = 0.0, z2 = 0.0;
};
