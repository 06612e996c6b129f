#pragma once
// Small numeric rules shared by the table builders: control clamping, the
// gamma exponent and the rounding of signed products.

namespace colorcorrect {

// Curve and saturation controls work on -255..255; larger values are clamped
// silently.
inline int ClampControl(int value)
{
    return value < -255 ? -255 : (value > 255 ? 255 : value);
}

// The exponent of a gamma control g (already clamped to -255..255):
// 1 / (1 + g/50) for g > 0 and 1 / (1 + g/260) otherwise, so -255..255 maps
// to about 52.0..0.164 and 0 to 1 (the identity).
inline double GammaExponent(int gamma)
{
    return gamma > 0 ? 1.0 / (1.0 + gamma / 50.0) : 1.0 / (1.0 + gamma / 260.0);
}

// Rounds halves away from zero: v + 0.5 truncated for v >= 0, v - 0.5
// truncated below. v must fit an int.
inline int RoundHalfAway(double v)
{
    return v >= 0.0 ? static_cast<int>(v + 0.5) : static_cast<int>(v - 0.5);
}

} // namespace colorcorrect
