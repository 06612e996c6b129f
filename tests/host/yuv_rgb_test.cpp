#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>

using colorcorrect::ClampToByte;
using colorcorrect::RgbBytesToYuvBytes;
using colorcorrect::RgbToYuv;
using colorcorrect::YuvBytesToRgbBytes;
using colorcorrect::YuvToRgb;

TEST(YuvRgb, ToYuvExactValues)
{
    // Red: Y floor(39271 / 512) = 76, U floor(-21674 / 512) = -43, V 65536 / 512 = 128.
    const auto red = RgbToYuv(255, 0, 0);
    EXPECT_EQ(red.y, 76);
    EXPECT_EQ(red.u, -43);
    EXPECT_EQ(red.v, 128);
    const auto white = RgbToYuv(255, 255, 255);
    EXPECT_EQ(white.y, 255);
    EXPECT_EQ(white.u, 0);
    EXPECT_EQ(white.v, 0);
    // Negative numerators are floored, not truncated: (-86 + 256) >> 9 = 0,
    // (-170 * 2 + 256) = -84 -> -1.
    EXPECT_EQ(RgbToYuv(0, 2, 0).u, -1);
}

TEST(YuvRgb, ToRgbExactValuesUnclamped)
{
    const auto c = YuvToRgb(76, -43, 127);
    EXPECT_EQ(c.r, 254);
    EXPECT_EQ(c.g, 0);
    EXPECT_EQ(c.b, -1); // floor(-3 / 512): not clamped here
    const auto big = YuvToRgb(255, 127, 127);
    EXPECT_EQ(big.r, (512 * 255 + 254 + 719 * 127 + 256) >> 9);
    EXPECT_GT(big.b, 255);
}

TEST(YuvRgb, ByteFormsClampAndBias)
{
    BYTE y, u, v;
    RgbBytesToYuvBytes(0, 0, 255, y, u, v); // blue: U = 128 would be 256
    EXPECT_EQ(y, 29);
    EXPECT_EQ(u, 255);
    EXPECT_EQ(v, 107);
    BYTE r, g, b;
    // U = V = 127: R floor(222383 / 512) = 434 -> 255, G floor(62109 / 512) = 121,
    // B floor(246005 / 512) = 480 -> 255.
    YuvBytesToRgbBytes(255, 255, 255, r, g, b);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 121);
    EXPECT_EQ(b, 255);
    EXPECT_EQ(ClampToByte(-5), 0);
    EXPECT_EQ(ClampToByte(300), 255);
}

TEST(YuvRgb, EveryRgbColourComesBackWithinOneStep)
{
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                BYTE y, u, v, r2, g2, b2;
                RgbBytesToYuvBytes(BYTE(r), BYTE(g), BYTE(b), y, u, v);
                YuvBytesToRgbBytes(y, u, v, r2, g2, b2);
                if (std::abs(r2 - r) > 1 || std::abs(g2 - g) > 1 || std::abs(b2 - b) > 1)
                    FAIL() << "(" << r << ", " << g << ", " << b << ") came back as (" << int(r2) << ", " << int(g2)
                           << ", " << int(b2) << ")";
            }
}

TEST(YuvRgb, PictureConversionUsesTheSameFormulas)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(256, 1, 24, 0), 1);
    BYTE* p = dib;
    for (int x = 0; x < 256; ++x) {
        p[3 * x] = BYTE(x);             // B
        p[3 * x + 1] = BYTE(255 - x);   // G
        p[3 * x + 2] = BYTE(x * 7);     // R
    }
    ASSERT_EQ(dib.ToYUV(), 1);
    p = dib;
    for (int x = 0; x < 256; ++x) {
        BYTE y, u, v;
        RgbBytesToYuvBytes(BYTE(x * 7), BYTE(255 - x), BYTE(x), y, u, v);
        ASSERT_EQ(p[3 * x], y) << x;
        ASSERT_EQ(p[3 * x + 1], u) << x;
        ASSERT_EQ(p[3 * x + 2], v) << x;
    }
}
