#pragma once
// The power curve s^p = A*t + B through three points on normalised (/256)
// values, fitted from fractional points (such as the means of histogram
// clusters).

namespace colorcorrect {

// Fits s^p = A*t + B through (t[i], s[i]), i = 0..2: Newton steps on the
// exponent from p = 1 (at most 20, stopping when the residual is below
// 1e-8), with a secant step wherever a step crosses the root. Succeeds when
// 0.2 < p < 5 and the offsets B (at 0) and W = A - 1 + B (at full scale)
// both lie within (-1, 1); then black = B, white = W, power = p. Does not
// test monotonicity (callers do); false, outputs unchanged, on failure or
// when the arithmetic gives no number.
bool FitPowerCurve(const double t[3], const double s[3], double& black, double& white,
                   double& power);

} // namespace colorcorrect
