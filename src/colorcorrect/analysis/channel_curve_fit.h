#pragma once
// Numeric rules shared by the analyses that compute corrections from picked
// points: the integer YUV-to-RGB arithmetic, the gamma control convention,
// the fit of one channel curve through three points and the evaluation of a
// channel curve.
//
// Conventions:
//  - Y runs 0..255; chroma U, V are signed (stored byte - 128), -128..127.
//  - A channel curve has three controls in 1/256 of full scale (one 8-bit
//    step): black, the offset at zero; white, the offset at full scale; and
//    a gamma control k (0 neutral) whose exponent is 1 / (1 + k/50) for
//    k > 0 and 1 / (1 + k/260) otherwise.
//  - No function here faults or returns NaN or infinity, whatever its input:
//    where the arithmetic gives no meaningful number the result is 0 (no
//    change).

#include <cstdint>

namespace colorcorrect {

// n / 512 rounded to the nearest integer, halves upward, for every n. For
// n >= -1048832 this equals trunc((n + 1048832) / 512) - 2048, the
// fixed-point rounding the analyses use.
int RoundDiv512(long long n);

// Red, green and blue of a colour (y 0..255, chroma u, v; any ints, e.g.
// chroma already scaled): D(512y + 2u + 719v), D(512y - 176u - 365v),
// D(512y + 908u - v) with D = RoundDiv512. Not clamped.
int RedValue(int y, int u, int v);
int GreenValue(int y, int u, int v);
int BlueValue(int y, int u, int v);

// How much a channel lies below the luma (luma minus channel) for chroma
// u, v: D(-2u - 719v), D(176u + 365v), D(v - 908u). Adding the offset to the
// channel gives the luma back (up to rounding). Not clamped.
int RedOffset(int u, int v);
int GreenOffset(int u, int v);
int BlueOffset(int u, int v);

// Chroma scaled by a factor: trunc(c * factor) computed in double precision,
// limited to the int range first. 0 when the product is not a number.
int ScaleChroma(int c, double factor);

// Truncates toward zero after limiting to lo..hi; 0 for NaN.
int LimitedTrunc(double value, double lo, double hi);

// Limits to -255..255, the range of a curve control.
int ClampCurveControl(int value);

// The gamma control value of an exponent g (the power that carries the
// normalised input onto the normalised output of the fitted relation, e.g.
// channel = luma^g): trunc((g - 1) * 260) for g < 1, trunc((g - 1) * 50)
// otherwise. 0 (neutral) for NaN or infinity; otherwise limited to the int16
// range (callers clamp further where the control must stay in -255..255).
int GammaControlValue(double g);

// The exponent g that a gamma control value k stands for: 1 + k/50 for
// k > 0, 1 + k/260 for k <= 0. A curve with control k raises the normalised
// value to the power 1/g. 0 is the identity (g = 1).
double GammaFromControl(int k);

// Fits one channel's curve through three points. c0..c2 are the channel's
// present values (8-bit scale, any ints) and d0..d2 the changes wanted there
// (target = c + d). The curve is s^p = A*t + B on the normalised (/256)
// values: a straight line through black and white, followed by the
// exponent p. A power fit (Newton steps with secant steps where a root is
// bracketed) is tried when both the present values and the targets are
// strictly monotonic; otherwise, or when it gives no usable curve, a plain
// power through the middle point or a straight line through the outer points
// is taken, whichever misses the remaining points less.
// Results: black and white in 1/256 of full scale (-256..256 on the power
// fit, -255..255 otherwise), gamma a gamma control value (-208..200). When
// the line's slope is undefined (c0 == c2) or a logarithm has no value, the
// affected results are 0. Never NaN-derived.
void FitChannelCurve(int c0, int c1, int c2, int d0, int d1, int d2, int& black, int& gamma,
                     int& white);

// The change a channel curve makes at input c (0..255): the curve's output
// minus c. The curve is the straight line through (0, black) and
// (255, 255 + white), followed by the power 1/GammaFromControl(gamma) on a
// 256-step scale, clipped to 0..255. Controls beyond -255..255 are clamped
// first, as the correction engine does.
int ApplyChannelCurve(int c, int black, int gamma, int white);

// The int16 value stored for an int result: limited to -32768..32767.
int16_t ToInt16Field(int value);

} // namespace colorcorrect
