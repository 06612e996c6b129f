#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include "analysis/analysis_access.h"

using colorcorrect::test::AnalysisAccess;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::PaintPatch;
using colorcorrect::test::PixelAtLine;

namespace {

struct Sample {
    int result = -1, Y = -999, U = -999, V = -999;
};

Sample SampleAt(const CVoraDib& dib, int x, int y)
{
    Sample s;
    s.result = AnalysisAccess::GetPixelAveraged(dib, x, y, s.Y, s.U, s.V);
    return s;
}

} // namespace

TEST(GetPixelAveraged, AveragesTheWindowAroundThePoint)
{
    CVoraDib dib = FlatYuv(40, 30, 50, 0, 0);
    PaintPatch(dib, 10, 12, 100, 10, -10);
    const Sample s = SampleAt(dib, 10, 12);
    EXPECT_EQ(s.result, 1);
    EXPECT_EQ(s.Y, 100);
    EXPECT_EQ(s.U, 10);
    EXPECT_EQ(s.V, -10);
}

TEST(GetPixelAveraged, LinesCountFromTheTop)
{
    CVoraDib dib = FlatYuv(40, 30, 0, 0, 0);
    PixelAtLine(dib, 10, 9)[0] = 90; // one pixel on line 9
    EXPECT_EQ(SampleAt(dib, 10, 10).Y, 10); // window lines 9..11
    EXPECT_EQ(SampleAt(dib, 10, 8).Y, 10);  // window lines 7..9
    EXPECT_EQ(SampleAt(dib, 10, 12).Y, 0);  // window lines 11..13
    EXPECT_EQ(SampleAt(dib, 12, 10).Y, 0);  // window columns 11..13
    EXPECT_EQ(SampleAt(dib, 11, 10).Y, 10);
}

TEST(GetPixelAveraged, AveragesTruncate)
{
    CVoraDib dib = FlatYuv(20, 20, 0, 1, 0);
    // U bytes: eight of 129 and one of 128 sum to 1160; 1160 / 9 = 128.
    PixelAtLine(dib, 5, 5)[1] = 128;
    // V bytes: eight of 128 and one of 118 sum to 1142; 1142 / 9 = 126.
    PixelAtLine(dib, 5, 5)[2] = 118;
    // Y bytes sum to 8: 8 / 9 = 0.
    PixelAtLine(dib, 4, 4)[0] = 8;
    const Sample s = SampleAt(dib, 5, 5);
    EXPECT_EQ(s.Y, 0);
    EXPECT_EQ(s.U, 0);
    EXPECT_EQ(s.V, -2);
}

TEST(GetPixelAveraged, PointsOutsideAreClampedSoTheWindowStaysInside)
{
    CVoraDib dib = FlatYuv(720, 576, 50, 0, 0);
    PaintPatch(dib, 1, 1, 100, 10, -10);
    PaintPatch(dib, 718, 574, 200, -20, 30);
    const Sample low = SampleAt(dib, -5, -5);
    EXPECT_EQ(low.result, 1);
    EXPECT_EQ(low.Y, 100);
    EXPECT_EQ(low.U, 10);
    EXPECT_EQ(low.V, -10);
    const Sample high = SampleAt(dib, 10000, 10000);
    EXPECT_EQ(high.result, 1);
    EXPECT_EQ(high.Y, 200);
    EXPECT_EQ(high.U, -20);
    EXPECT_EQ(high.V, 30);
    // The edge point itself is clamped too.
    EXPECT_EQ(SampleAt(dib, 0, 0).Y, 100);
    EXPECT_EQ(SampleAt(dib, 719, 575).Y, 200);
}

TEST(GetPixelAveraged, SmallPictureGivesTheSinglePixel)
{
    CVoraDib dib = FlatYuv(2, 2, 0, 0, 0);
    const int values[2][2] = {{10, 20}, {30, 40}}; // [line][column]
    for (int line = 0; line < 2; ++line)
        for (int x = 0; x < 2; ++x) {
            BYTE* p = PixelAtLine(dib, x, line);
            p[0] = static_cast<BYTE>(values[line][x]);
            p[1] = static_cast<BYTE>(128 + values[line][x]);
            p[2] = static_cast<BYTE>(128 - values[line][x]);
        }
    for (int line = 0; line < 2; ++line)
        for (int x = 0; x < 2; ++x) {
            const Sample s = SampleAt(dib, x, line);
            EXPECT_EQ(s.result, 1);
            EXPECT_EQ(s.Y, values[line][x]) << x << ", " << line;
            EXPECT_EQ(s.U, values[line][x]);
            EXPECT_EQ(s.V, -values[line][x]);
        }
    EXPECT_EQ(SampleAt(dib, 5, -3).Y, 20);
    EXPECT_EQ(SampleAt(dib, -5, 3).Y, 30);
}

TEST(GetPixelAveraged, NarrowPictureGivesTheSinglePixel)
{
    CVoraDib dib = FlatYuv(1, 7, 0, 0, 0);
    PixelAtLine(dib, 0, 3)[0] = 77;
    EXPECT_EQ(SampleAt(dib, 0, 3).Y, 77);
    EXPECT_EQ(SampleAt(dib, 0, 2).Y, 0);
}

TEST(GetPixelAveraged, ThirtyTwoBitPicturesUseTheirPixelStep)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(16, 16, 32, 0), 1);
    PaintPatch(dib, 7, 7, 100, 10, -10);
    const Sample s = SampleAt(dib, 7, 7);
    EXPECT_EQ(s.result, 1);
    EXPECT_EQ(s.Y, 100);
    EXPECT_EQ(s.U, 10);
    EXPECT_EQ(s.V, -10);
    EXPECT_EQ(SampleAt(dib, 9, 7).Y, 33);
}

TEST(GetPixelAveraged, RgbOrEmptyPicturesAreRefused)
{
    CVoraDib rgb;
    ASSERT_EQ(rgb.Alloc(10, 10, 24, 0), 1);
    const Sample s = SampleAt(rgb, 5, 5);
    EXPECT_EQ(s.result, 0);
    EXPECT_EQ(s.Y, 0);
    EXPECT_EQ(s.U, 0);
    EXPECT_EQ(s.V, 0);

    const Sample e = SampleAt(CVoraDib(), 5, 5);
    EXPECT_EQ(e.result, 0);
    EXPECT_EQ(e.Y, 0);
    EXPECT_EQ(e.U, 0);
    EXPECT_EQ(e.V, 0);
}
