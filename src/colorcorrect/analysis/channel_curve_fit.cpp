#include "channel_curve_fit.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "../host/yuv_rgb.h"
#include "../records/field_catalogue.h"
#include "power_curve_fit.h"

namespace colorcorrect {

namespace {

// Largest magnitude a scaled chroma value keeps: far beyond any meaningful
// colour, small enough that the fixed-point sums cannot overflow.
constexpr double CHROMA_LIMIT = 1000000.0;

bool StrictlyMonotonic(double a, double b, double c)
{
    return (a < b && b < c) || (a > b && b > c);
}

// trunc(256 * value + 0.5) limited to a magnitude where comparisons with
// 256 still tell the truth; 0 for NaN.
int Steps(double value)
{
    return LimitedTrunc(256.0 * value + 0.5, -1.0e6, 1.0e6);
}

} // namespace

int RoundDiv512(long long n)
{
    const long long a = n + 256;
    long long q = a / 512;
    if (a % 512 < 0)
        --q;
    if (q > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (q < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(q);
}

int RedValue(int y, int u, int v)
{
    return RoundDiv512(512LL * y + ChromaTermOfRgb<long long>(0, u, v));
}

int GreenValue(int y, int u, int v)
{
    return RoundDiv512(512LL * y + ChromaTermOfRgb<long long>(1, u, v));
}

int BlueValue(int y, int u, int v)
{
    return RoundDiv512(512LL * y + ChromaTermOfRgb<long long>(2, u, v));
}

int RedOffset(int u, int v)
{
    return RoundDiv512(-ChromaTermOfRgb<long long>(0, u, v));
}

int GreenOffset(int u, int v)
{
    return RoundDiv512(-ChromaTermOfRgb<long long>(1, u, v));
}

int BlueOffset(int u, int v)
{
    return RoundDiv512(-ChromaTermOfRgb<long long>(2, u, v));
}

int ScaleChroma(int c, double factor)
{
    return LimitedTrunc(c * factor, -CHROMA_LIMIT, CHROMA_LIMIT);
}

int LimitedTrunc(double value, double lo, double hi)
{
    if (std::isnan(value))
        return 0;
    if (value < lo)
        value = lo;
    if (value > hi)
        value = hi;
    return static_cast<int>(value);
}

int ClampCurveControl(int value)
{
    return std::clamp(value, -kControlLimit, kControlLimit);
}

int GammaControlValue(double g)
{
    if (!std::isfinite(g))
        return 0;
    const double k = g < 1.0 ? (g - 1.0) * 260.0 : (g - 1.0) * 50.0;
    return LimitedTrunc(k, -32768.0, 32767.0);
}

double GammaFromControl(int k)
{
    return k > 0 ? 1.0 + k / 50.0 : 1.0 + k / 260.0;
}

void FitChannelCurve(int c0, int c1, int c2, int d0, int d1, int d2, int& black, int& gamma,
                     int& white)
{
    const double t0 = c0 / 256.0, t1 = c1 / 256.0, t2 = c2 / 256.0;
    const double s0 = (static_cast<double>(c0) + d0) / 256.0;
    const double s1 = (static_cast<double>(c1) + d1) / 256.0;
    const double s2 = (static_cast<double>(c2) + d2) / 256.0;

    if (StrictlyMonotonic(t0, t1, t2) && StrictlyMonotonic(s0, s1, s2)) {
        const double t[3] = {t0, t1, t2}, s[3] = {s0, s1, s2};
        double b = 0.0, w = 0.0, p = 0.0;
        if (FitPowerCurve(t, s, b, w, p)) {
            black = Steps(b);
            white = Steps(w);
            gamma = GammaControlValue(p);
            return;
        }
    }

    // Fallback: a pure power through the middle point, or the straight line
    // through the outer points, whichever misses the remaining points less.
    const double p = std::log(t1) / std::log(s1);
    const double m = (s2 - s0) / (t2 - t0);
    if (p > POWER_FIT_MIN && p < POWER_FIT_MAX) {
        const double q = 1.0 / p;
        const double e = std::fabs(s0 - std::pow(t0, q)) + std::fabs(s2 - std::pow(t2, q));
        const double r = std::fabs(s0 + m * (t1 - t0) - s1);
        // An undefined slope (t0 == t2) makes r infinite or NaN: never below e.
        if (r < e) {
            const int b = Steps(s0 - m * t0);
            const int w = Steps((1.0 - t2) * m + s2 - 1.0);
            if (b > -256 && b < 256 && w > -256 && w < 256) {
                black = b;
                white = w;
                gamma = 0;
                return;
            }
        }
        black = 0;
        white = 0;
        gamma = GammaControlValue(p);
        return;
    }
    if (std::isfinite(m)) {
        black = LimitedTrunc(256.0 * (s0 - m * t0) + 0.5, -255.0, 255.0);
        white = LimitedTrunc(256.0 * ((1.0 - t2) * m + s2 - 1.0) + 0.5, -255.0, 255.0);
    } else {
        black = 0;
        white = 0;
    }
    gamma = 0;
}

int ApplyChannelCurve(int c, int black, int gamma, int white)
{
    black = ClampCurveControl(black);
    gamma = ClampCurveControl(gamma);
    white = ClampCurveControl(white);
    const double gain = (white - black + 255) / 255.0;
    const int v = LimitedTrunc(c * gain + black + 0.5, -1.0e9, 1.0e9);
    if (v < 0)
        return -c;
    const double q = 1.0 / GammaFromControl(gamma);
    const double r = std::pow(v / 256.0, q) * 256.0 + 0.5;
    if (r > 255.0)
        return 255 - c;
    return static_cast<int>(r) - c;
}

int16_t ToInt16Field(int value)
{
    if (value < -32768)
        return -32768;
    if (value > 32767)
        return 32767;
    return static_cast<int16_t>(value);
}

} // namespace colorcorrect
