#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"

using colorcorrect::YUV_COMPRESSION;
using colorcorrect::YUVBM_PREMULTIPLIED;
using colorcorrect::test::FillPattern;
using colorcorrect::test::FillUniform;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using colorcorrect::test::PixelIs;
using colorcorrect::test::SetPixel;

namespace {

struct BudgetGuard {
    ~BudgetGuard() { colorcorrect::SetBlockAllocationBudget(-1); }
};

// The header of a picture. Its fields are packed: compare them by value
// (unary +), since EXPECT_EQ binds references to its arguments.
const tagYUVBMINFOHEADER& Info(const CVoraDib& dib)
{
    return static_cast<const tagDIBINFO*>(dib)->bmiHeader;
}

// A w x 1 24-bit picture whose pixel x has the bytes (v, v, v) for v = values[x].
CVoraDib Row(std::initializer_list<int> values)
{
    CVoraDib dib;
    dib.Alloc(static_cast<int>(values.size()), 1, 24, 0);
    int x = 0;
    for (int v : values)
        SetPixel(dib, x++, 0, {v, v, v});
    return dib;
}

} // namespace

// ---- empty pictures ----------------------------------------------------------

TEST(VoraDibEmpty, ConversionsAndGettersAreNullOrZero)
{
    CVoraDib dib;
    EXPECT_EQ(static_cast<tagDIBINFO*>(dib), nullptr);
    EXPECT_EQ(static_cast<BYTE*>(dib), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(std::as_const(dib)), nullptr);
    EXPECT_EQ(static_cast<const BYTE*>(std::as_const(dib)), nullptr);
    EXPECT_EQ(dib.GetWidth(), 0);
    EXPECT_EQ(dib.GetHeight(), 0);
    unsigned pixel = 9, line = 9;
    dib.GetIncrements(pixel, line);
    EXPECT_EQ(pixel, 0u);
    EXPECT_EQ(line, 0u);
}

TEST(VoraDibEmpty, OperationsOnEmptyPictureFail)
{
    CVoraDib dib;
    EXPECT_EQ(dib.Realloc(0, 0, 24, 0), 0);
    EXPECT_EQ(dib.ToYUV(), 0);
    EXPECT_EQ(static_cast<tagDIBINFO*>(dib.GetDIB(0, 0, 1, 1)), nullptr);
    EXPECT_EQ(dib.SetDIB(nullptr, 0, 0, 24, 0), 0);
}

TEST(VoraDibEmpty, FreeEmptiesAPicture)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(4, 4, 24, 0), 1);
    dib.Free();
    EXPECT_EQ(static_cast<tagDIBINFO*>(dib), nullptr);
    EXPECT_EQ(dib.GetWidth(), 0);
}

TEST(VoraDibEmpty, BlockTooSmallForItsHeaderCountsAsEmpty)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(8, 8, 32, 0), 1);
    ASSERT_EQ(dib.GetMemory().Realloc(200, 0, 1), 1);
    EXPECT_EQ(static_cast<tagDIBINFO*>(dib), nullptr);
    EXPECT_EQ(static_cast<BYTE*>(dib), nullptr);
    EXPECT_EQ(dib.GetWidth(), 0);
}

// ---- Alloc and AllocYUV ------------------------------------------------------

TEST(VoraDibAlloc, RgbPictureIsBlackWithHeader)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(3, 2, 24, 0x12345), 1);
    const tagDIBINFO* hd = dib;
    ASSERT_NE(hd, nullptr);
    EXPECT_EQ(+hd->bfType, 0x4D42);
    EXPECT_EQ(+hd->bfOffBits % 64, 0u);
    EXPECT_GE(+hd->bfOffBits, sizeof(tagDIBINFO));
    EXPECT_EQ(+hd->bmiHeader.biSize, 40u);
    EXPECT_EQ(+hd->bmiHeader.biWidth, 3);
    EXPECT_EQ(+hd->bmiHeader.biHeight, 2);
    EXPECT_EQ(+hd->bmiHeader.biPlanes, 1);
    EXPECT_EQ(+hd->bmiHeader.biBitCount, 24);
    EXPECT_EQ(+hd->bmiHeader.biCompression, 0u);
    EXPECT_EQ(+hd->bmiHeader.biSizeImage, 24u);
    EXPECT_EQ(+hd->bmiHeader.dwFlags, 0x12345u);
    EXPECT_EQ(+hd->bmiHeader.dwFieldOrder, 0u);
    const BYTE* pixels = dib;
    EXPECT_EQ(pixels, reinterpret_cast<const BYTE*>(hd) + hd->bfOffBits);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pixels) % 64, 0u);
    for (int i = 0; i < 24; ++i) // padding included
        ASSERT_EQ(pixels[i], 0) << "byte " << i;
}

TEST(VoraDibAlloc, ThirtyTwoBitPictureHasOpaqueFourthByte)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(2, 2, 32, 0), 1);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x)
            EXPECT_TRUE(PixelIs(dib, x, row, {0, 0, 0, 255}));
}

TEST(VoraDibAlloc, YuvPictureIsNeutralBlack)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(5, 3, 32, YUVBM_PREMULTIPLIED), 1);
    EXPECT_EQ(+Info(dib).biCompression, YUV_COMPRESSION);
    EXPECT_EQ(+Info(dib).dwFlags, YUVBM_PREMULTIPLIED);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x)
            EXPECT_TRUE(PixelIs(dib, x, row, {0, 128, 128, 255}));
    CVoraDib dib24;
    ASSERT_EQ(dib24.AllocYUV(5, 3, 24, 0), 1);
    EXPECT_TRUE(PixelIs(dib24, 4, 2, {0, 128, 128}));
    EXPECT_EQ(static_cast<const BYTE*>(dib24)[15], 0); // padding
}

TEST(VoraDibAlloc, RefusesBadArgumentsAndKeepsThePicture)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(2, 2, 24, 0), 1);
    FillUniform(dib, {1, 2, 3});
    const CVoraDib before = dib;
    EXPECT_EQ(dib.Alloc(2, 2, 16, 0), 0);
    EXPECT_EQ(dib.Alloc(2, 2, 8, 0), 0);
    EXPECT_EQ(dib.Alloc(0, 2, 24, 0), 0);
    EXPECT_EQ(dib.Alloc(2, -1, 24, 0), 0);
    EXPECT_EQ(dib.AllocYUV(-5, 2, 32, 0), 0);
    EXPECT_EQ(dib.Alloc(100000, 100000, 32, 0), 0);  // 40 GB
    EXPECT_EQ(dib.Alloc(INT_MAX, INT_MAX, 24, 0), 0); // overflows 64 bits of rows
    EXPECT_EQ(dib.AllocYUV(16385, 16384, 32, 0), 0);  // just above 1 GiB
    EXPECT_TRUE(PicturesEqual(before, dib));
}

TEST(VoraDibAlloc, RefusedAllocationKeepsThePicture)
{
    BudgetGuard guard;
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(2, 2, 24, 0), 1);
    FillUniform(dib, {7, 8, 9});
    colorcorrect::SetBlockAllocationBudget(0);
    EXPECT_EQ(dib.Alloc(4, 4, 24, 0), 0);
    EXPECT_EQ(dib.Realloc(0, 0, 32, 0), 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_EQ(dib.GetWidth(), 2);
    EXPECT_TRUE(PixelIs(dib, 1, 1, {7, 8, 9}));
}

// ---- increments, copies ----------------------------------------------------------

TEST(VoraDibIncrements, PixelAndRowSteps)
{
    CVoraDib dib;
    unsigned pixel = 0, line = 0;
    ASSERT_EQ(dib.Alloc(5, 1, 24, 0), 1);
    dib.GetIncrements(pixel, line);
    EXPECT_EQ(pixel, 3u);
    EXPECT_EQ(line, 16u);
    ASSERT_EQ(dib.Alloc(4, 1, 24, 0), 1);
    dib.GetIncrements(pixel, line);
    EXPECT_EQ(line, 12u);
    ASSERT_EQ(dib.AllocYUV(5, 2, 32, 0), 1);
    dib.GetIncrements(pixel, line);
    EXPECT_EQ(pixel, 4u);
    EXPECT_EQ(line, 20u);
}

TEST(VoraDibCopies, CopiesAreIndependent)
{
    CVoraDib a;
    ASSERT_EQ(a.Alloc(3, 3, 24, 0), 1);
    FillPattern(a, 1);
    SetPixel(a, 0, 0, {7, 7, 7});
    CVoraDib b(a);
    CVoraDib c;
    c = a;
    EXPECT_TRUE(PicturesEqual(a, b));
    EXPECT_TRUE(PicturesEqual(a, c));
    EXPECT_NE(static_cast<BYTE*>(a), static_cast<BYTE*>(b));
    EXPECT_NE(static_cast<BYTE*>(a), static_cast<BYTE*>(c));
    SetPixel(a, 0, 0, {1, 2, 3});
    SetPixel(b, 0, 0, {4, 5, 6});
    EXPECT_TRUE(PixelIs(a, 0, 0, {1, 2, 3}));
    EXPECT_TRUE(PixelIs(b, 0, 0, {4, 5, 6}));
    EXPECT_TRUE(PixelIs(c, 0, 0, {7, 7, 7}));
}

TEST(VoraDibCopies, ChangingACopyLeavesTheOriginal)
{
    CVoraDib a;
    ASSERT_EQ(a.Alloc(2, 2, 32, 0), 1);
    FillUniform(a, {10, 20, 30, 40});
    CVoraDib b = a;
    ASSERT_EQ(b.ToYUV(), 1);
    ASSERT_EQ(b.Realloc(0, 0, 24, 0), 1);
    EXPECT_EQ(+Info(a).biCompression, 0u);
    EXPECT_EQ(+Info(a).biBitCount, 32);
    EXPECT_TRUE(PixelIs(a, 1, 1, {10, 20, 30, 40}));
}

TEST(VoraDibCopies, MoveTakesThePicture)
{
    CVoraDib a;
    ASSERT_EQ(a.Alloc(2, 2, 24, 0), 1);
    const BYTE* pixels = a;
    CVoraDib b(std::move(a));
    EXPECT_EQ(static_cast<const BYTE*>(b), pixels);
    EXPECT_EQ(static_cast<BYTE*>(a), nullptr); // NOLINT(bugprone-use-after-move)
    CVoraDib c;
    c = std::move(b);
    EXPECT_EQ(static_cast<const BYTE*>(c), pixels);
}

// ---- Realloc -----------------------------------------------------------------

TEST(VoraDibRealloc, From24To32AddsOpaqueFourthByte)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(3, 2, 24, 0), 1);
    FillPattern(dib, 2);
    const CVoraDib before = dib;
    ASSERT_EQ(dib.Realloc(0, 0, 32, 0), 1);
    EXPECT_EQ(+Info(dib).biBitCount, 32);
    EXPECT_EQ(dib.GetWidth(), 3);
    EXPECT_EQ(dib.GetHeight(), 2);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x) {
            const std::vector<int> p = PixelAt(before, x, row);
            EXPECT_TRUE(PixelIs(dib, x, row, {p[0], p[1], p[2], 255}));
        }
}

TEST(VoraDibRealloc, From32To24DropsFourthByte)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(5, 3, 32, YUVBM_PREMULTIPLIED), 1);
    FillPattern(dib, 3);
    const CVoraDib before = dib;
    ASSERT_EQ(dib.Realloc(0, 0, 24, 0), 1);
    EXPECT_EQ(+Info(dib).biBitCount, 24);
    EXPECT_EQ(+Info(dib).biCompression, YUV_COMPRESSION); // compression kept
    EXPECT_EQ(+Info(dib).dwFlags, 0u);                     // flags word replaced
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 5; ++x) {
            const std::vector<int> p = PixelAt(before, x, row);
            EXPECT_TRUE(PixelIs(dib, x, row, {p[0], p[1], p[2]}));
        }
    EXPECT_EQ(static_cast<const BYTE*>(dib)[15], 0); // padding of row 0
}

TEST(VoraDibRealloc, SameFormatGivesOwnEqualPicture)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(7, 5, 24, 3), 1);
    FillPattern(dib, 4);
    const CVoraDib before = dib;
    ASSERT_EQ(dib.Realloc(0, 0, 24, 0), 1);
    EXPECT_TRUE(PicturesEqual(before, dib));
    EXPECT_EQ(+Info(dib).dwFlags, 0u);
}

TEST(VoraDibRealloc, KeepsFieldOrderWord)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(2, 2, 24, 0), 1);
    static_cast<tagDIBINFO*>(dib)->bmiHeader.dwFieldOrder = 1;
    ASSERT_EQ(dib.Realloc(0, 0, 32, 0), 1);
    EXPECT_EQ(+Info(dib).dwFieldOrder, 1u);
}

TEST(VoraDibRealloc, OtherSizeScales)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(2, 2, 24, 0), 1);
    SetPixel(dib, 0, 0, {10, 1, 0});
    SetPixel(dib, 1, 0, {20, 2, 0});
    SetPixel(dib, 0, 1, {30, 3, 0});
    SetPixel(dib, 1, 1, {41, 4, 255});
    ASSERT_EQ(dib.Realloc(1, 1, 24, 0), 1);
    // 101/4 = 25.25 -> 25; 10/4 = 2.5 -> 3; 255/4 = 63.75 -> 64
    EXPECT_TRUE(PixelIs(dib, 0, 0, {25, 3, 64}));
}

TEST(VoraDibRealloc, RefusesBadArguments)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(2, 2, 24, 0), 1);
    EXPECT_EQ(dib.Realloc(0, 0, 16, 0), 0);
    EXPECT_EQ(dib.Realloc(0, 3, 24, 0), 0);
    EXPECT_EQ(dib.Realloc(-2, -2, 24, 0), 0);
    EXPECT_EQ(dib.GetWidth(), 2);
    EXPECT_EQ(+Info(dib).biBitCount, 24);
}

// ---- SetDIB ------------------------------------------------------------------

TEST(VoraDibSetDib, UniformPictureStaysUniform)
{
    CVoraDib src;
    ASSERT_EQ(src.Alloc(7, 5, 32, 0), 1);
    FillUniform(src, {10, 200, 30, 77});
    const int sizes[][2] = {{3, 4}, {11, 13}, {1, 1}, {7, 1}, {20, 5}};
    for (const auto& s : sizes) {
        CVoraDib dst;
        ASSERT_EQ(dst.SetDIB(src, s[0], s[1], 32, 0), 1);
        ASSERT_EQ(dst.GetWidth(), s[0]);
        ASSERT_EQ(dst.GetHeight(), s[1]);
        for (int row = 0; row < s[1]; ++row)
            for (int x = 0; x < s[0]; ++x)
                ASSERT_TRUE(PixelIs(dst, x, row, {10, 200, 30, 77})) << s[0] << " x " << s[1];
    }
}

TEST(VoraDibSetDib, TwoByTwoToOneIsTheRoundedAverage)
{
    CVoraDib src;
    ASSERT_EQ(src.Alloc(2, 2, 32, 0), 1);
    SetPixel(src, 0, 0, {0, 1, 255, 0});
    SetPixel(src, 1, 0, {0, 2, 255, 0});
    SetPixel(src, 0, 1, {1, 3, 254, 0});
    SetPixel(src, 1, 1, {1, 4, 254, 2});
    CVoraDib dst;
    ASSERT_EQ(dst.SetDIB(src, 1, 1, 32, 0), 1);
    // 2/4 = 0.5 -> 1; 10/4 = 2.5 -> 3; 1018/4 = 254.5 -> 255; 2/4 -> 1
    EXPECT_TRUE(PixelIs(dst, 0, 0, {1, 3, 255, 1}));
}

TEST(VoraDibSetDib, UpScalingOnePixelFillsEverything)
{
    CVoraDib src;
    ASSERT_EQ(src.Alloc(1, 1, 24, 0), 1);
    SetPixel(src, 0, 0, {5, 100, 250});
    CVoraDib dst;
    ASSERT_EQ(dst.SetDIB(src, 4, 3, 32, 0), 1);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(PixelIs(dst, x, row, {5, 100, 250, 255}));
}

TEST(VoraDibSetDib, FractionalFootprintsWeighExactly)
{
    // Up: 2 -> 3 pixels. Destination 1 covers half of each source pixel.
    CVoraDib up;
    ASSERT_EQ(up.SetDIB(Row({10, 21}), 3, 1, 24, 0), 1);
    EXPECT_TRUE(PixelIs(up, 0, 0, {10, 10, 10}));
    EXPECT_TRUE(PixelIs(up, 1, 0, {16, 16, 16})); // 15.5 rounds up
    EXPECT_TRUE(PixelIs(up, 2, 0, {21, 21, 21}));
    // Down: 3 -> 2 pixels, weights 2/3 and 1/3.
    CVoraDib down;
    ASSERT_EQ(down.SetDIB(Row({0, 30, 90}), 2, 1, 24, 0), 1);
    EXPECT_TRUE(PixelIs(down, 0, 0, {10, 10, 10}));
    EXPECT_TRUE(PixelIs(down, 1, 0, {70, 70, 70}));
    // 5 -> 2: destination 0 covers pixels 0, 1 and half of 2.
    CVoraDib five;
    ASSERT_EQ(five.SetDIB(Row({100, 50, 20, 0, 255}), 2, 1, 24, 0), 1);
    EXPECT_TRUE(PixelIs(five, 0, 0, {64, 64, 64}));  // (200 + 100 + 20) / 5 = 64
    EXPECT_TRUE(PixelIs(five, 1, 0, {106, 106, 106})); // (20 + 0 + 510) / 5 = 106
}

TEST(VoraDibSetDib, RowsScaleLikeColumns)
{
    CVoraDib column;
    ASSERT_EQ(column.Alloc(1, 3, 24, 0), 1);
    SetPixel(column, 0, 0, {0, 0, 0});
    SetPixel(column, 0, 1, {30, 30, 30});
    SetPixel(column, 0, 2, {90, 90, 90});
    CVoraDib dst;
    ASSERT_EQ(dst.SetDIB(column, 1, 2, 24, 0), 1);
    EXPECT_TRUE(PixelIs(dst, 0, 0, {10, 10, 10}));
    EXPECT_TRUE(PixelIs(dst, 0, 1, {70, 70, 70}));
}

TEST(VoraDibSetDib, KeepsCompressionAndFieldOrderTakesFlags)
{
    CVoraDib src;
    ASSERT_EQ(src.AllocYUV(4, 4, 24, 0), 1);
    static_cast<tagDIBINFO*>(src)->bmiHeader.dwFieldOrder = 1;
    FillUniform(src, {16, 100, 200});
    CVoraDib dst;
    ASSERT_EQ(dst.SetDIB(src, 2, 2, 24, 9), 1);
    EXPECT_EQ(+Info(dst).biCompression, YUV_COMPRESSION);
    EXPECT_EQ(+Info(dst).dwFlags, 9u);
    EXPECT_EQ(+Info(dst).dwFieldOrder, 1u);
    EXPECT_TRUE(PixelIs(dst, 1, 1, {16, 100, 200}));
}

TEST(VoraDibSetDib, ZeroSizeCopiesAtSourceSize)
{
    CVoraDib src;
    ASSERT_EQ(src.Alloc(5, 7, 24, 0), 1);
    FillPattern(src, 5);
    const CVoraDib& constSrc = src; // a const picture hands out a const header
    CVoraDib dst;
    ASSERT_EQ(dst.SetDIB(constSrc, 0, 0, 24, 0), 1);
    EXPECT_TRUE(PicturesEqual(src, dst));
}

TEST(VoraDibSetDib, SourceMayBeTheOwnHeader)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(4, 2, 24, 0), 1);
    FillUniform(dib, {40, 50, 60});
    SetPixel(dib, 0, 0, {0, 0, 0});
    ASSERT_EQ(dib.SetDIB(dib, 2, 1, 24, 0), 1);
    EXPECT_EQ(dib.GetWidth(), 2);
    EXPECT_EQ(dib.GetHeight(), 1);
    EXPECT_TRUE(PixelIs(dib, 0, 0, {30, 38, 45})); // (3 * v) / 4 rounded
    EXPECT_TRUE(PixelIs(dib, 1, 0, {40, 50, 60}));
}

TEST(VoraDibSetDib, RefusesNullAndImplausibleHeaders)
{
    CVoraDib dst;
    ASSERT_EQ(dst.Alloc(2, 2, 24, 0), 1);
    FillUniform(dst, {1, 2, 3});
    EXPECT_EQ(dst.SetDIB(nullptr, 0, 0, 24, 0), 0);

    CVoraDib src;
    ASSERT_EQ(src.Alloc(4, 4, 24, 0), 1);
    tagDIBINFO* hd = src;
    auto expectRefused = [&](auto change) {
        CVoraDib bad = src;
        tagDIBINFO* h = bad;
        change(*h);
        EXPECT_EQ(dst.SetDIB(h, 0, 0, 24, 0), 0);
    };
    expectRefused([](tagDIBINFO& h) { h.bmiHeader.biWidth = -4; });
    expectRefused([](tagDIBINFO& h) { h.bmiHeader.biHeight = 0; });
    expectRefused([](tagDIBINFO& h) { h.bmiHeader.biBitCount = 16; });
    expectRefused([](tagDIBINFO& h) { h.bmiHeader.biCompression = 1; });
    expectRefused([](tagDIBINFO& h) { h.bfOffBits = 10; });
    expectRefused([](tagDIBINFO& h) { h.bmiHeader.biHeight = 5; }); // pixels beyond bfSize
    expectRefused([](tagDIBINFO& h) { h.bmiHeader.biWidth = INT_MAX; });
    EXPECT_EQ(dst.SetDIB(hd, 2, 2, 16, 0), 0);
    EXPECT_EQ(dst.SetDIB(hd, 0, 2, 24, 0), 0);
    EXPECT_EQ(dst.GetWidth(), 2);
    EXPECT_TRUE(PixelIs(dst, 1, 1, {1, 2, 3}));
}

// ---- GetDIB ------------------------------------------------------------------

TEST(VoraDibGetDib, RowsAreCountedFromTheTop)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(4, 3, 24, 5), 1);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 4; ++x)
            SetPixel(dib, x, row, {x, row, 9});
    const CVoraDib part = dib.GetDIB(1, 0, 2, 2);
    ASSERT_EQ(part.GetWidth(), 2);
    ASSERT_EQ(part.GetHeight(), 2);
    EXPECT_EQ(+Info(part).dwFlags, 5u);
    // Top row of the part is picture row 0 from the top = memory row 2.
    EXPECT_TRUE(PixelIs(part, 0, 1, {1, 2, 9}));
    EXPECT_TRUE(PixelIs(part, 1, 1, {2, 2, 9}));
    EXPECT_TRUE(PixelIs(part, 0, 0, {1, 1, 9}));
    EXPECT_TRUE(PixelIs(part, 1, 0, {2, 1, 9}));
}

TEST(VoraDibGetDib, KeepsFormat)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(6, 6, 32, 0), 1);
    FillPattern(dib, 6);
    const CVoraDib part = dib.GetDIB(2, 3, 3, 2);
    EXPECT_EQ(+Info(part).biCompression, YUV_COMPRESSION);
    EXPECT_EQ(+Info(part).biBitCount, 32);
    // Picture rows 3, 4 from the top are memory rows 2, 1.
    const std::vector<int> p = PixelAt(dib, 4, 1);
    EXPECT_TRUE(PixelIs(part, 2, 0, {p[0], p[1], p[2], p[3]}));
}

TEST(VoraDibGetDib, CutsOffWhatLiesOutside)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(4, 3, 24, 0), 1);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 4; ++x)
            SetPixel(dib, x, row, {x, row, 0});
    const CVoraDib corner = dib.GetDIB(-1, -1, 3, 3);
    ASSERT_EQ(corner.GetWidth(), 2);
    ASSERT_EQ(corner.GetHeight(), 2);
    EXPECT_TRUE(PixelIs(corner, 0, 1, {0, 2, 0}));
    EXPECT_TRUE(PixelIs(corner, 1, 0, {1, 1, 0}));

    const CVoraDib last = dib.GetDIB(3, 2, 5, 5);
    ASSERT_EQ(last.GetWidth(), 1);
    ASSERT_EQ(last.GetHeight(), 1);
    EXPECT_TRUE(PixelIs(last, 0, 0, {3, 0, 0}));

    const CVoraDib all = dib.GetDIB(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    EXPECT_EQ(all.GetWidth(), 0); // INT_MIN + INT_MAX = -1: nothing left
    const CVoraDib whole = dib.GetDIB(0, 0, INT_MAX, INT_MAX);
    EXPECT_TRUE(PicturesEqual(dib, whole));
}

TEST(VoraDibGetDib, NothingLeftGivesEmptyPicture)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(4, 3, 24, 0), 1);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(dib.GetDIB(4, 0, 2, 2)), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(dib.GetDIB(0, 3, 2, 2)), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(dib.GetDIB(-2, 0, 2, 2)), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(dib.GetDIB(0, 0, 0, 2)), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(dib.GetDIB(0, 0, 2, -1)), nullptr);
}

// ---- ToYUV -------------------------------------------------------------------

TEST(VoraDibToYuv, ExactValues)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(6, 1, 32, 0), 1);
    SetPixel(dib, 0, 0, {255, 255, 255, 1}); // white (B, G, R)
    SetPixel(dib, 1, 0, {0, 0, 0, 2});       // black
    SetPixel(dib, 2, 0, {0, 0, 255, 3});     // red
    SetPixel(dib, 3, 0, {0, 255, 0, 4});     // green
    SetPixel(dib, 4, 0, {255, 0, 0, 5});     // blue
    SetPixel(dib, 5, 0, {200, 150, 100, 6}); // R 100, G 150, B 200
    ASSERT_EQ(dib.ToYUV(), 1);
    EXPECT_EQ(+Info(dib).biCompression, YUV_COMPRESSION);
    EXPECT_TRUE(PixelIs(dib, 0, 0, {255, 128, 128, 1}));
    EXPECT_TRUE(PixelIs(dib, 1, 0, {0, 128, 128, 2}));
    EXPECT_TRUE(PixelIs(dib, 2, 0, {76, 85, 255, 3}));   // V 256 clamped
    EXPECT_TRUE(PixelIs(dib, 3, 0, {150, 43, 21, 4}));   // U floor(-84.2), V floor(-106.1)
    EXPECT_TRUE(PixelIs(dib, 4, 0, {29, 255, 107, 5}));  // U 256 clamped
    EXPECT_TRUE(PixelIs(dib, 5, 0, {141, 161, 99, 6}));
}

TEST(VoraDibToYuv, YuvPictureIsLeftAlone)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(3, 3, 24, 0), 1);
    FillPattern(dib, 7);
    const CVoraDib before = dib;
    EXPECT_EQ(dib.ToYUV(), 1);
    EXPECT_TRUE(PicturesEqual(before, dib));
}

TEST(VoraDibToYuv, TwentyFourBitRowsWithPadding)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(3, 2, 24, 0), 1);
    FillUniform(dib, {255, 255, 255});
    ASSERT_EQ(dib.ToYUV(), 1);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            EXPECT_TRUE(PixelIs(dib, x, row, {255, 128, 128}));
    EXPECT_EQ(static_cast<const BYTE*>(dib)[9], 0); // padding untouched
}
