#pragma once
// Picture builders and checks shared by the viewer tests.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"

namespace colorcorrect::test {

// The header of a non-empty picture. Fields are packed: compare them by
// value (unary +).
inline const tagYUVBMINFOHEADER& Info(const CVoraDib& dib)
{
    return static_cast<const tagDIBINFO*>(dib)->bmiHeader;
}

inline tagYUVBMINFOHEADER& Info(CVoraDib& dib)
{
    return static_cast<tagDIBINFO*>(dib)->bmiHeader;
}

// A packed YUV picture with every pixel `bytes`.
inline CVoraDib UniformYuv(int width, int height, int bits, std::initializer_list<int> bytes,
                           unsigned long flags = 0)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(width, height, bits, flags), 1);
    FillUniform(dib, bytes);
    return dib;
}

// An RGB picture with every pixel `bytes` (B, G, R[, A]).
inline CVoraDib UniformRgb(int width, int height, int bits, std::initializer_list<int> bytes,
                           unsigned long flags = 0)
{
    CVoraDib dib;
    EXPECT_EQ(dib.Alloc(width, height, bits, flags), 1);
    FillUniform(dib, bytes);
    return dib;
}

// A packed YUV picture with a pseudo-random pattern (alpha included).
inline CVoraDib PatternYuv(int width, int height, int bits, unsigned seed)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(width, height, bits, 0), 1);
    FillPattern(dib, seed);
    return dib;
}

// How many pixels of the w x h area at (x0, row0) of `actual` differ in bytes
// 0..2 from the area at (refX0, refRow0) of `expected`; the first one is
// described in `first`.
inline ::testing::AssertionResult AreaCopied(const CVoraDib& expected, int refX0, int refRow0,
                                             const CVoraDib& actual, int x0, int row0, int w,
                                             int h)
{
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            const auto e = PixelAt(expected, refX0 + x, refRow0 + row);
            const auto a = PixelAt(actual, x0 + x, row0 + row);
            if (e.size() < 3 || a.size() < 3 || e[0] != a[0] || e[1] != a[1] || e[2] != a[2])
                return ::testing::AssertionFailure()
                       << "pixel at x " << x0 + x << ", memory row " << row0 + row << " is "
                       << BytesText(a) << ", expected " << BytesText(e) << " from x "
                       << refX0 + x << ", memory row " << refRow0 + row;
        }
    return ::testing::AssertionSuccess();
}

// Every pixel outside the w x h area at (x0, row0) equals the same pixel of
// `before` in bytes 0..2.
inline ::testing::AssertionResult UnchangedOutside(const CVoraDib& before, const CVoraDib& after,
                                                   int x0, int row0, int w, int h)
{
    for (int row = 0; row < after.GetHeight(); ++row)
        for (int x = 0; x < after.GetWidth(); ++x) {
            if (x >= x0 && x < x0 + w && row >= row0 && row < row0 + h)
                continue;
            const auto e = PixelAt(before, x, row);
            const auto a = PixelAt(after, x, row);
            if (e.size() < 3 || a.size() < 3 || e[0] != a[0] || e[1] != a[1] || e[2] != a[2])
                return ::testing::AssertionFailure()
                       << "pixel at x " << x << ", memory row " << row
                       << " outside the area changed from " << BytesText(e) << " to "
                       << BytesText(a);
        }
    return ::testing::AssertionSuccess();
}

} // namespace colorcorrect::test
