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

// RGB to Y and signed U, V; no clamping. Any int inputs whose products stay
// inside int (|value| < 2^21) are fine.
constexpr YuvValue RgbToYuv(int r, int g, int b) noexcept
{
    // C++20 defines >> on negative values as an arithmetic shift: the floor.
    return {(153 * r + 301 * g + 58 * b + 256) >> 9,
            (-86 * r - 170 * g + 256 * b + 256) >> 9,
            (256 * r - 214 * g - 42 * b + 256) >> 9};
}

// Y and signed U, V to RGB; no clamping.
constexpr RgbValue YuvToRgb(int y, int u, int v) noexcept
{
    return {(512 * y + 2 * u + 719 * v + 256) >> 9,
            (512 * y - 176 * u - 365 * v + 256) >> 9,
            (512 * y + 908 * u - v + 256) >> 9};
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
