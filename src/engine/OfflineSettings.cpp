#include "engine/OfflineSettings.h"

#include <algorithm>
#include <cmath>

namespace
{
float decibelsToGain (double db) noexcept { return static_cast<float> (std::pow (10.0, db / 20.0)); }
} // namespace

int OfflineSettings::tapsForQuality (float quality) noexcept
{
    // Compared as floats, so that NaN or a huge value falls through to the
    // shortest filter instead of an undefined integer conversion.
    const float r = std::round (4.0f * quality);
    if (r == 1.0f)
        return 128;
    if (r == 2.0f)
        return 256;
    if (r == 3.0f)
        return 512;
    if (r == 4.0f)
        return 1024;
    if (r == 5.0f)
        return 2048;
    return 64;
}

OfflineSettings OfflineSettings::fromParams (const Params& p, double processingRate) noexcept
{
    OfflineSettings s;
    s.taps = tapsForQuality (p[IProcessor::quality]);

    s.cutoffHz = {static_cast<double> (std::max (5.0f, 60.0f * p[IProcessor::lowCut])),
                  100.0,
                  180.0,
                  360.0,
                  1000.0,
                  1800.0,
                  2500.0,
                  4000.0,
                  5000.0,
                  6500.0,
                  8000.0};

    // Tone offsets in dB: the differences and their scaling in double, kept as
    // floats; the divisions by 3 and 2.5 below are made on those floats.
    const auto offset = [&p] (int index, double scale)
    { return static_cast<float> ((static_cast<double> (p[static_cast<size_t> (index)]) - 0.5) * scale); };
    // (Scaling by 2 is exact, so one product per offset gives the same float.)
    const float low = offset (IProcessor::lowGain, 2.0 * 6.0);
    const float body = offset (IProcessor::bodyGain, 2.0 * 4.0);
    const float presence = offset (IProcessor::clarity, 4.0);
    const float top = offset (IProcessor::brightness, 2.0 * 4.0);

    s.bandGains = {decibelsToGain (static_cast<double> (low)),
                   static_cast<float> (std::pow (10.0, static_cast<double> (low / 3.0f) / -20.0)),
                   decibelsToGain (static_cast<double> (body)),
                   1.0f,
                   decibelsToGain (static_cast<double> (presence)),
                   static_cast<float> (std::pow (10.0, static_cast<double> (presence) / -20.0)),
                   decibelsToGain (static_cast<double> (presence / 2.5f)),
                   1.0f,
                   decibelsToGain (0.3 * static_cast<double> (top)),
                   decibelsToGain (0.6 * static_cast<double> (top)),
                   decibelsToGain (0.6 * static_cast<double> (top))};

    const float e = 5.5f * p[IProcessor::compression];
    const float y = (e + 4.0f) / 5.0f;
    const float x = (3.0f + e) * 0.25f;
    s.lowRatio = 1.2f + e;
    s.midRatio = 1.3f + e;
    s.highRatio = 1.8f + e;
    s.upperKeyedRatio = 1.4f * x;
    s.glueRatio = 1.6f + y;
    s.midKeyedRatio = y + 1.1f;

    s.loudnessReleaseMs = 40.0f * p[IProcessor::loudnessRelease];
    s.loudnessInputGain = static_cast<float> (std::pow (10.0, static_cast<double> (8.0f * p[IProcessor::loudness]) * 0.05));

    s.sideHighPassFc = static_cast<double> (200.0f * p[IProcessor::lowCutStereo]) / processingRate;
    s.sideShelfFc = 5000.0 / processingRate;

    s.truePeak = p[IProcessor::truePeak] > 0.5f;
    s.ceilingDb = p[IProcessor::ceiling];
    return s;
}
