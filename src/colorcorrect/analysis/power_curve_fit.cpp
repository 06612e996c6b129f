#include "power_curve_fit.h"

#include <cmath>

namespace colorcorrect {

namespace {

constexpr int kMaxSteps = 20;
constexpr double kTolerance = 1e-8;
constexpr double kMinPower = 0.2;
constexpr double kMaxPower = 5.0;

} // namespace

bool FitPowerCurve(const double t[3], const double s[3], double& black, double& white,
                   double& power)
{
    const double ratio = (t[1] - t[2]) / (t[2] - t[0]);
    // Zero where s^p of the three points lie on one line over t.
    auto residual = [&](double p) {
        const double a0 = std::pow(s[0], p), a1 = std::pow(s[1], p), a2 = std::pow(s[2], p);
        return (a1 - a2) / (a2 - a0) - ratio;
    };
    auto slope = [&](double p) {
        const double a0 = std::pow(s[0], p), a1 = std::pow(s[1], p), a2 = std::pow(s[2], p);
        const double l0 = a0 * std::log(s[0]), l1 = a1 * std::log(s[1]), l2 = a2 * std::log(s[2]);
        const double den = a2 - a0;
        return ((l1 - l2) * den - (l2 - l0) * (a1 - a2)) / (den * den);
    };

    double p = 1.0;
    double f = residual(p);
    for (int step = 0; step < kMaxSteps; ++step) {
        if (std::fabs(f) < kTolerance)
            break;
        const double pPrev = p, fPrev = f;
        p -= f / slope(p);
        f = residual(p);
        if (fPrev * f < 0.0) {
            p -= f / ((f - fPrev) / (p - pPrev));
            f = residual(p);
        }
    }
    // NaN fails these tests too.
    if (!(p > kMinPower && p < kMaxPower))
        return false;
    const double a0 = std::pow(s[0], p), a2 = std::pow(s[2], p);
    const double A = (a2 - a0) / (t[2] - t[0]);
    const double B = a2 - A * t[2];
    const double W = A - 1.0 + B;
    if (!(std::fabs(B) < 1.0 && std::fabs(W) < 1.0))
        return false;
    black = B;
    white = W;
    power = p;
    return true;
}

} // namespace colorcorrect
