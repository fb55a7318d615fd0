#pragma once

#include "dsp/IDSP.h"

#include <cmath>
#include <type_traits>

namespace DSP
{
/** Peak envelope follower with separate attack and release smoothing. It has
    no set-up of its own: the compressor or limiter that owns it writes the
    coefficients and the sample rate.

    Real-time contract: nothing here allocates; `process` is noexcept. */
template <typename SampleType> class Envelope : public IDSP
{
    static_assert (std::is_same_v<SampleType, float>, "The envelope runs on float samples only");

public:
    void reset() override { envelope = 0; }

    /** One-pole coefficient that covers 99 % of a step in `timeMs` at
        `rate`. Computed in double, stored as float; a time of 0 gives 0, an
        instant response. Negative, NaN or otherwise unusable settings also
        give 0, so a bad time can never make the follower diverge. */
    static float coefficient (double timeMs, double rate) noexcept
    {
        const double samples = timeMs * rate * 0.001;
        if (!(samples > 0.0))
            return 0.0f;
        return static_cast<float> (std::pow (0.01, 1.0 / samples));
    }

    /** Feeds one rectified detector value and returns the new envelope. */
    SampleType process (SampleType level) noexcept
    {
        const SampleType coeff = level > envelope ? attackCoeff : releaseCoeff;
        envelope = (envelope - level) * coeff + level;
        return envelope;
    }

    SampleType envelope = 0;
    SampleType attackCoeff = 0;
    SampleType releaseCoeff = 0;
    double sampleRate = 44100.0;
};
} // namespace DSP
