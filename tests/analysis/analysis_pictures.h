#pragma once
// Pictures with coloured patches for the analyses, the colour of a 3 x 3
// patch, and a picture as a correction shows it.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>

namespace colorcorrect::test {

struct Yuv { int y = 0, u = 0, v = 0; }; // chroma signed

// The bytes of the pixel at column x of picture line `line` (from the top).
inline BYTE* PixelOf(CVoraDib& dib, int x, int line)
{
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    return static_cast<BYTE*>(dib) + static_cast<size_t>(dib.GetHeight() - 1 - line) * stride + x * step;
}

// Paints the square of side 2 * radius + 1 around (x, line) with c.
inline void Paint(CVoraDib& dib, int x, int line, Yuv c, int radius = 1)
{
    for (int l = line - radius; l <= line + radius; ++l)
        for (int col = x - radius; col <= x + radius; ++col) {
            BYTE* p = PixelOf(dib, col, l);
            p[0] = static_cast<BYTE>(c.y), p[1] = static_cast<BYTE>(c.u + 128), p[2] = static_cast<BYTE>(c.v + 128);
        }
}

// A w x h packed YUV picture of one colour.
inline CVoraDib Flat(int w, int h, Yuv c, int bits = 24)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(w, h, bits, 0), 1);
    for (int line = 0; line < h; ++line)
        for (int x = 0; x < w; ++x)
            Paint(dib, x, line, c, 0);
    return dib;
}

// The truncated average of the 3 x 3 window around (x, line).
inline Yuv PatchColour(CVoraDib& dib, int x, int line)
{
    int sum[3] = {};
    for (int i = 0; i < 27; ++i)
        sum[i % 3] += PixelOf(dib, x - 1 + i / 3 % 3, line - 1 + i / 9)[i % 3];
    return {sum[0] / 9, sum[1] / 9 - 128, sum[2] / 9 - 128};
}

// dib as cc (its primary group switched on) shows it.
inline CVoraDib Corrected(const CVoraDib& dib, tagCOLORCORRINFO cc)
{
    CVoraDib out = dib;
    cc.dwFlags |= CC_PRIMARY;
    CBaseColorCorrectionFilter filter;
    EXPECT_TRUE(filter.SetupFilter(cc) && filter.Process(&static_cast<tagDIBINFO*>(out)->bmiHeader, out, out));
    return out;
}

inline tagCOLORCORRINFO Neutral()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(cc));
    return cc;
}

template <typename T> bool SameBytes(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace colorcorrect::test
