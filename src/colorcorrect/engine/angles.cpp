#include "angles.h"

#include <cmath>

namespace colorcorrect {

// Dynamic initialisation: computed while the library is loaded.
const double g_Pi = 4.0 * std::atan(1.0);
const double g_TwoPi = 2.0 * g_Pi;
const double g_HalfPi = g_Pi / 2.0;
const double g_ThreeHalfPi = 3.0 * g_Pi / 2.0;
const double g_MinusPi = -g_Pi;

} // namespace colorcorrect

using colorcorrect::g_HalfPi;
using colorcorrect::g_Pi;
using colorcorrect::g_ThreeHalfPi;
using colorcorrect::g_TwoPi;

double ChromaAngle(int u, int v)
{
    if (u > 0) {
        const double a = std::atan(static_cast<double>(v) / static_cast<double>(u));
        return v < 0 ? a + g_TwoPi : a;
    }
    if (u < 0)
        return std::atan(static_cast<double>(v) / static_cast<double>(u)) + g_Pi;
    return v > 0 ? g_HalfPi : g_ThreeHalfPi;
}

double AngleDistance(double a, double b)
{
    const double d = a - b;
    if (d >= 0.0)
        return d <= g_Pi ? d : g_TwoPi - d;
    return d >= -g_Pi ? -d : d + g_TwoPi;
}

double AngleDifference(double a, double b)
{
    double d = a - b;
    if (d > g_Pi)
        d -= g_TwoPi;
    else if (d < -g_Pi)
        d += g_TwoPi;
    return d;
}
