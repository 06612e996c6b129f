#pragma once
// The library's fixed-point conversions between RGB and its YUV, in one place.
//
// Both directions work over a denominator of 512, add a bias of 256 and take
// the floor of the quotient (an arithmetic shift right by 9):
//   to YUV:  Y = floor(( 153 R + 301 G +  58 B + 256) / 512)
//            U = floor(( -86 R - 170 G + 256 B + 256) / 512)
//            V = floor(( 256 R - 214 G -  42 B + 256) / 512)
//   to RGB:  R = floor((512 Y +   2 U + 719 V + 256) / 512)
//            G = floor((512 Y - 176 U - 365 V + 256) / 512)
//            B = floor((512 Y + 908 U -   1 V + 256) / 512)
// U and V are signed chroma values (a stored picture byte minus 128).
//
// The plain forms do not clamp: the correction engine feeds them values
// outside 0..255 on purpose. The *Bytes forms are what pictures use: stored
// bytes in, stored bytes out, each clamped to 0..255.

#include "win_types.h"

namespace colorcorrect {

struct YuvValue {
    int y; // luma; 0..255 for RGB inputs in 0..255
    int u; // signed chroma (Cb); -128..128 for RGB inputs in 0..255
    int v; // signed chroma (Cr); -128..128 for RGB inputs in 0..255
};

struct RgbValue {
    int r;
    int g;
    int b;
};

// The coefficients over 512 of both directions, the only copy: everything
// that converts (the fast loops' tables included) reads them from here.
// Rows Y, U, V; columns R, G, B.
inline constexpr int kYuvFromRgb[3][3] = {{153, 301, 58}, {-86, -170, 256}, {256, -214, -42}};
// Rows R, G, B; columns U, V. Luma enters every channel with weight 512.
inline constexpr int kRgbFromChroma[3][2] = {{2, 719}, {-176, -365}, {908, -1}};

// n / 512 rounded to nearest (halves up); an arithmetic shift, so the floor
// of the biased value also for negative n. For int and long long alike.
template <typename Int>
constexpr Int RoundOver512(Int n) noexcept
{
    return (n + 256) >> 9;
}

// The chroma part of RGB channel c (0 R, 1 G, 2 B) times 512, in the type of
// u and v: wide types for callers whose chroma can be large.
template <typename Int>
constexpr Int ChromaTermOfRgb(int c, Int u, Int v) noexcept
{
    return kRgbFromChroma[c][0] * u + kRgbFromChroma[c][1] * v;
}

// Row k of kYuvFromRgb applied to (r, g, b), times 512.
constexpr int YuvTermOfRgb(int k, int r, int g, int b) noexcept
{
    return kYuvFromRgb[k][0] * r + kYuvFromRgb[k][1] * g + kYuvFromRgb[k][2] * b;
}

// RGB to Y and signed U, V; no clamping. Any int inputs whose products stay
// inside int (|value| < 2^21) are fine.
constexpr YuvValue RgbToYuv(int r, int g, int b) noexcept
{
    // C++20 defines >> on negative values as an arithmetic shift: the floor.
    return {RoundOver512(YuvTermOfRgb(0, r, g, b)), RoundOver512(YuvTermOfRgb(1, r, g, b)),
            RoundOver512(YuvTermOfRgb(2, r, g, b))};
}

// Y and signed U, V to RGB; no clamping.
constexpr RgbValue YuvToRgb(int y, int u, int v) noexcept
{
    return {RoundOver512(512 * y + ChromaTermOfRgb(0, u, v)),
            RoundOver512(512 * y + ChromaTermOfRgb(1, u, v)),
            RoundOver512(512 * y + ChromaTermOfRgb(2, u, v))};
}

// value limited to 0..255.
constexpr BYTE ClampToByte(int value) noexcept
{
    return static_cast<BYTE>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Stored RGB bytes to stored Y, U + 128, V + 128 bytes, each clamped to 0..255
// (only U and V can leave the range: pure blue gives U = 128, stored as 255).
constexpr void RgbBytesToYuvBytes(BYTE r, BYTE g, BYTE b, BYTE& y, BYTE& u, BYTE& v) noexcept
{
    const YuvValue c = RgbToYuv(r, g, b);
    y = ClampToByte(c.y);
    u = ClampToByte(c.u + 128);
    v = ClampToByte(c.v + 128);
}

// Stored Y, U + 128, V + 128 bytes to RGB bytes, each clamped to 0..255.
constexpr void YuvBytesToRgbBytes(BYTE y, BYTE u, BYTE v, BYTE& r, BYTE& g, BYTE& b) noexcept
{
    const RgbValue c = YuvToRgb(y, int(u) - 128, int(v) - 128);
    r = ClampToByte(c.r);
    g = ClampToByte(c.g);
    b = ClampToByte(c.b);
}

} // namespace colorcorrect
