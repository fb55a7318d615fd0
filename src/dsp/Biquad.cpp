#include "dsp/Biquad.h"

#include <juce_core/juce_core.h>

#include <cmath>

void Biquad::calcBiquad() noexcept
{
    // Written as the textbook (bilinear transform) formulas read, left to
    // right: the coefficients must come out bit for bit the same elsewhere.
    const double V = std::pow (10.0, std::fabs (peakGain) / 20.0);
    const double K = std::tan (juce::MathConstants<double>::pi * Fc);
    const double sqrt2 = std::sqrt (2.0);
    double norm = 0.0;

    switch (type)
    {
        case lowPass:
            norm = 1 / (1 + K / Q + K * K);
            a0 = K * K * norm;
            a1 = 2 * a0;
            a2 = a0;
            b1 = 2 * (K * K - 1) * norm;
            b2 = (1 - K / Q + K * K) * norm;
            break;

        case highPass:
            norm = 1 / (1 + K / Q + K * K);
            a0 = norm;
            a1 = -2 * a0;
            a2 = a0;
            b1 = 2 * (K * K - 1) * norm;
            b2 = (1 - K / Q + K * K) * norm;
            break;

        case bandPass:
            norm = 1 / (1 + K / Q + K * K);
            a0 = K / Q * norm;
            a1 = 0;
            a2 = -a0;
            b1 = 2 * (K * K - 1) * norm;
            b2 = (1 - K / Q + K * K) * norm;
            break;

        case notch:
            norm = 1 / (1 + K / Q + K * K);
            a0 = (1 + K * K) * norm;
            a1 = 2 * (K * K - 1) * norm;
            a2 = a0;
            b1 = a1;
            b2 = (1 - K / Q + K * K) * norm;
            break;

        case peak:
            if (peakGain >= 0)
            {
                norm = 1 / (1 + K / Q + K * K);
                a0 = (1 + V * K / Q + K * K) * norm;
                a1 = 2 * (K * K - 1) * norm;
                a2 = (1 - V * K / Q + K * K) * norm;
                b1 = a1;
                b2 = (1 - K / Q + K * K) * norm;
            }
            else
            {
                norm = 1 / (1 + V * K / Q + K * K);
                a0 = (1 + K / Q + K * K) * norm;
                a1 = 2 * (K * K - 1) * norm;
                a2 = (1 - K / Q + K * K) * norm;
                b1 = a1;
                b2 = (1 - V * K / Q + K * K) * norm;
            }
            break;

        case lowShelf:
            if (peakGain >= 0)
            {
                norm = 1 / (1 + sqrt2 * K + K * K);
                a0 = (1 + std::sqrt (2 * V) * K + V * K * K) * norm;
                a1 = 2 * (V * K * K - 1) * norm;
                a2 = (1 - std::sqrt (2 * V) * K + V * K * K) * norm;
                b1 = 2 * (K * K - 1) * norm;
                b2 = (1 - sqrt2 * K + K * K) * norm;
            }
            else
            {
                norm = 1 / (1 + std::sqrt (2 * V) * K + V * K * K);
                a0 = (1 + sqrt2 * K + K * K) * norm;
                a1 = 2 * (K * K - 1) * norm;
                a2 = (1 - sqrt2 * K + K * K) * norm;
                b1 = 2 * (V * K * K - 1) * norm;
                b2 = (1 - std::sqrt (2 * V) * K + V * K * K) * norm;
            }
            break;

        case highShelf:
            if (peakGain >= 0)
            {
                norm = 1 / (1 + sqrt2 * K + K * K);
                a0 = (V + std::sqrt (2 * V) * K + K * K) * norm;
                a1 = 2 * (K * K - V) * norm;
                a2 = (V - std::sqrt (2 * V) * K + K * K) * norm;
                b1 = 2 * (K * K - 1) * norm;
                b2 = (1 - sqrt2 * K + K * K) * norm;
            }
            else
            {
                norm = 1 / (V + std::sqrt (2 * V) * K + K * K);
                a0 = (1 + sqrt2 * K + K * K) * norm;
                a1 = 2 * (K * K - 1) * norm;
                a2 = (1 - sqrt2 * K + K * K) * norm;
                b1 = 2 * (K * K - V) * norm;
                b2 = (V - std::sqrt (2 * V) * K + K * K) * norm;
            }
            break;

        default:
            break;
    }
}
