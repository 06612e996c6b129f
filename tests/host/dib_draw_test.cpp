#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <utility>
#include <vector>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"

using colorcorrect::BK_OPAQUE;
using colorcorrect::BK_TRANSPARENT;
using colorcorrect::DT_CALCRECT;
using colorcorrect::test::FillPattern;
using colorcorrect::test::FillUniform;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using colorcorrect::test::PixelIs;

namespace {

constexpr DWORD kColour = 0x00332211; // R 0x11, G 0x22, B 0x33

// The set pixels (any of bytes 0..2 nonzero) as (x, memory line) pairs.
std::set<std::pair<int, int>> SetPixels(const CVoraDib& dib)
{
    std::set<std::pair<int, int>> pixels;
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (int x = 0; x < dib.GetWidth(); ++x) {
            const std::vector<int> p = PixelAt(dib, x, y);
            if (p[0] != 0 || p[1] != 0 || p[2] != 0)
                pixels.insert({x, y});
        }
    return pixels;
}

class DibDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(dib_.Alloc(8, 6, 24, 0), 1);
        ASSERT_EQ(draw_.Select(dib_, 0), 1);
        draw_.SetColor(kColour, 1);
    }

    CVoraDib dib_;
    CDIBDraw draw_;
};

using Pixels = std::set<std::pair<int, int>>;

} // namespace

// ---- selection ---------------------------------------------------------------

TEST(DibDrawSelect, RefusesEmptyAndYuvPictures)
{
    CDIBDraw draw;
    CVoraDib empty;
    EXPECT_EQ(draw.Select(empty, 0), 0);
    CVoraDib yuv;
    ASSERT_EQ(yuv.AllocYUV(4, 4, 24, 0), 1);
    const CVoraDib before = yuv;
    EXPECT_EQ(draw.Select(yuv, 0), 0);
    draw.SetColor(0xFFFFFF, 1);
    draw.Draw(0, 0, 3, 3);
    draw.Clear();
    EXPECT_TRUE(PicturesEqual(before, yuv));
}

TEST(DibDrawSelect, NothingSelectedDrawsNothing)
{
    CDIBDraw draw;
    draw.SetColor(0xFFFFFF, 1);
    draw.Move(0, 0);
    draw.Line(5, 5);
    draw.Clear();
    draw.Flush();
    tagRECT rc{0, 0, 0, 0};
    EXPECT_EQ(draw.DrawTextW(rc, L"A", 0), 8);
}

TEST_F(DibDraw, ReleaseStopsDrawing)
{
    draw_.Release();
    draw_.Draw(0, 0, 7, 5);
    EXPECT_TRUE(SetPixels(dib_).empty());
}

TEST_F(DibDraw, DrawsOnThePictureAsItIsNow)
{
    // The picture object is referenced: reassigning it redirects drawing.
    CVoraDib other;
    ASSERT_EQ(other.Alloc(3, 3, 32, 0), 1);
    dib_ = other;
    draw_.Draw(0, 0, 10, 0);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{0, 0}, {1, 0}, {2, 0}}));
    dib_.Free();
    draw_.Draw(0, 0, 10, 0); // an empty picture is not drawn on
    EXPECT_EQ(dib_.GetWidth(), 0);
}

TEST_F(DibDraw, CopyDrawsOnTheSamePictureWithTheSameState)
{
    draw_.Move(1, 1);
    CDIBDraw copy(draw_);
    copy.Line(3, 1);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{1, 1}, {2, 1}, {3, 1}}));
    CDIBDraw assigned;
    assigned = copy;
    assigned.Line(3, 2); // continues from (3, 1)
    EXPECT_EQ(SetPixels(dib_).count({3, 2}), 1u);
    EXPECT_TRUE(PixelIs(dib_, 3, 2, {0x33, 0x22, 0x11}));
}

// ---- lines -------------------------------------------------------------------

TEST_F(DibDraw, ColourBytesAreBlueGreenRed)
{
    draw_.Draw(2, 3, 2, 3);
    EXPECT_TRUE(PixelIs(dib_, 2, 3, {0x33, 0x22, 0x11}));
    EXPECT_EQ(SetPixels(dib_), (Pixels{{2, 3}}));
}

TEST_F(DibDraw, HorizontalLineIncludesBothEnds)
{
    draw_.Move(1, 2);
    draw_.Line(5, 2);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}}));
}

TEST_F(DibDraw, VerticalLineRunsAlongMemoryLines)
{
    draw_.Draw(6, 4, 6, 1);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{6, 1}, {6, 2}, {6, 3}, {6, 4}}));
    // Line 0 is the first row in memory.
    draw_.Draw(0, 0, 0, 0);
    EXPECT_EQ(static_cast<const BYTE*>(dib_)[0], 0x33);
}

TEST_F(DibDraw, DiagonalLine)
{
    draw_.Draw(0, 0, 4, 4);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}));
}

TEST_F(DibDraw, ShallowLinePicksNearestPixelsHalvesAwayFromStart)
{
    draw_.Draw(0, 0, 4, 1);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}));
}

TEST_F(DibDraw, SteepLineStepsAlongLines)
{
    draw_.Draw(5, 5, 3, 0);
    // Across-axis offsets: floor(i * 2 / 5 + 1/2) for i = 0..5 -> 0 0 1 1 2 2.
    EXPECT_EQ(SetPixels(dib_), (Pixels{{5, 5}, {5, 4}, {4, 3}, {4, 2}, {3, 1}, {3, 0}}));
}

TEST_F(DibDraw, LineMovesTheCurrentPoint)
{
    draw_.Move(0, 0);
    draw_.Line(2, 0);
    draw_.Line(2, 2);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}}));
}

TEST_F(DibDraw, ClipsAtTheEdges)
{
    draw_.Draw(-10, 2, 20, 2);
    Pixels expected;
    for (int x = 0; x < 8; ++x)
        expected.insert({x, 2});
    EXPECT_EQ(SetPixels(dib_), expected);
    dib_.Alloc(8, 6, 24, 0);
    draw_.Draw(-3, -3, 10, 10);
    EXPECT_EQ(SetPixels(dib_), (Pixels{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}}));
    dib_.Alloc(8, 6, 24, 0);
    draw_.Draw(-5, -1, -1, 7); // entirely outside
    draw_.Draw(8, 0, 20, 5);
    EXPECT_TRUE(SetPixels(dib_).empty());
}

TEST_F(DibDraw, ClippedLineKeepsThePixelsOfTheWholeLine)
{
    // The same lines drawn whole on a large picture, shifted by (30, 30).
    CVoraDib big;
    ASSERT_EQ(big.Alloc(80, 70, 24, 0), 1);
    CDIBDraw whole;
    ASSERT_EQ(whole.Select(big, 0), 1);
    whole.SetColor(kColour, 1);
    const int lines[][4] = {{-20, -7, 30, 13}, {11, -25, -3, 30}, {-9, 4, 17, 2}, {3, 29, 6, -17}};
    for (const auto& l : lines) {
        draw_.Draw(l[0], l[1], l[2], l[3]);
        whole.Draw(l[0] + 30, l[1] + 30, l[2] + 30, l[3] + 30);
    }
    Pixels window;
    for (const auto& [x, y] : SetPixels(big))
        if (x >= 30 && x < 38 && y >= 30 && y < 36)
            window.insert({x - 30, y - 30});
    EXPECT_FALSE(window.empty());
    EXPECT_EQ(SetPixels(dib_), window);
}

TEST_F(DibDraw, FarAwayEndPointsAreCheap)
{
    draw_.Draw(INT_MIN, 0, INT_MAX, 5);
    draw_.Draw(INT_MAX, INT_MAX, INT_MIN, INT_MIN);
    draw_.Draw(0, INT_MIN, 0, INT_MAX);
    const Pixels set = SetPixels(dib_);
    EXPECT_TRUE(set.count({0, 0}) && set.count({0, 5}));
    EXPECT_EQ(set.count({7, 0}), 0u);
}

TEST(DibDrawThirtyTwoBit, FourthByteIsLeftAlone)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(4, 2, 32, 0), 1);
    FillUniform(dib, {0, 0, 0, 77});
    CDIBDraw draw;
    ASSERT_EQ(draw.Select(dib, 0), 1);
    draw.SetColor(0x0000F0B4, 1);
    draw.Draw(0, 1, 3, 1);
    EXPECT_TRUE(PixelIs(dib, 3, 1, {0x00, 0xF0, 0xB4, 77}));
    EXPECT_TRUE(PixelIs(dib, 3, 0, {0, 0, 0, 77}));
}

TEST(DibDrawClear, FillsWithBlack)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(3, 2, 32, 0), 1);
    FillPattern(dib, 21);
    CDIBDraw draw;
    ASSERT_EQ(draw.Select(dib, 0), 1);
    draw.Clear();
    CVoraDib black;
    ASSERT_EQ(black.Alloc(3, 2, 32, 0), 1);
    EXPECT_TRUE(PicturesEqual(black, dib));
    CVoraDib dib24;
    ASSERT_EQ(dib24.Alloc(3, 2, 24, 0), 1);
    FillPattern(dib24, 22);
    ASSERT_EQ(draw.Select(dib24, 0), 1);
    draw.Clear();
    EXPECT_TRUE(SetPixels(dib24).empty());
}

// ---- text --------------------------------------------------------------------

TEST_F(DibDraw, MeasuringFillsInTheRectangleOnly)
{
    tagRECT rc{3, 4, 0, 0};
    EXPECT_EQ(draw_.DrawTextW(rc, L"Cb", DT_CALCRECT), 8);
    EXPECT_EQ(rc.left, 3);
    EXPECT_EQ(rc.top, 4);
    EXPECT_EQ(rc.right, 3 + 12);
    EXPECT_EQ(rc.bottom, 4 + 8);
    EXPECT_TRUE(SetPixels(dib_).empty());

    tagRECT two{0, 0, 0, 0};
    EXPECT_EQ(draw_.DrawTextW(two, L"ab\ncde\n", DT_CALCRECT), 16);
    EXPECT_EQ(two.right, 18);
    EXPECT_EQ(two.bottom, 16);

    tagRECT none{5, 5, 9, 9};
    EXPECT_EQ(draw_.DrawTextW(none, L"", DT_CALCRECT), 0);
    EXPECT_EQ(none.right, 5);
    EXPECT_EQ(none.bottom, 5);
    EXPECT_EQ(draw_.DrawTextW(none, static_cast<const wchar_t*>(nullptr), DT_CALCRECT), 0);
}

TEST(DibDrawText, GlyphsAreUprightInsideTheRectangle)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(20, 20, 24, 0), 1);
    CDIBDraw draw;
    ASSERT_EQ(draw.Select(dib, 0), 1);
    draw.SetColor(kColour, 1);
    tagRECT rc{0, 0, 0, 0};
    draw.DrawTextW(rc, L"T", DT_CALCRECT);
    rc.left += 2;
    rc.right += 2;
    rc.top += 3;
    rc.bottom += 3;
    EXPECT_EQ(draw.DrawTextW(rc, L"T", 0), 8);
    const Pixels set = SetPixels(dib);
    ASSERT_FALSE(set.empty());
    for (const auto& [x, y] : set) {
        EXPECT_GE(x, rc.left);
        EXPECT_LT(x, rc.right);
        EXPECT_GE(y, rc.top);
        EXPECT_LT(y, rc.bottom);
    }
    // The bar of the 'T' is its top on screen: the highest memory line used.
    for (int x = 2; x <= 6; ++x)
        EXPECT_TRUE(set.count({x, 10})) << "bar pixel " << x;
    EXPECT_TRUE(set.count({4, 4}));   // foot of the stem
    EXPECT_FALSE(set.count({2, 4}));
    EXPECT_FALSE(set.count({4, 3}));  // the blank cell line below the glyph
    EXPECT_TRUE(PixelIs(dib, 4, 10, {0x33, 0x22, 0x11}));
}

TEST(DibDrawText, OpaqueModeBlackensTheCells)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(12, 10, 24, 0), 1);
    FillUniform(dib, {255, 255, 255});
    CDIBDraw draw;
    ASSERT_EQ(draw.Select(dib, 0), 1);
    draw.SetColor(kColour, 1);
    draw.SetBkMode(BK_OPAQUE);
    tagRECT rc{1, 1, 7, 9};
    draw.DrawTextW(rc, L"T", 0);
    EXPECT_TRUE(PixelIs(dib, 1, 8, {0x33, 0x22, 0x11})); // bar
    EXPECT_TRUE(PixelIs(dib, 1, 7, {0, 0, 0}));          // beside the stem
    EXPECT_TRUE(PixelIs(dib, 6, 8, {0, 0, 0}));          // blank cell column
    EXPECT_TRUE(PixelIs(dib, 1, 1, {0, 0, 0}));          // blank cell line
    EXPECT_TRUE(PixelIs(dib, 0, 1, {255, 255, 255}));    // outside
    EXPECT_TRUE(PixelIs(dib, 7, 8, {255, 255, 255}));
    EXPECT_TRUE(PixelIs(dib, 1, 9, {255, 255, 255}));

    draw.SetBkMode(BK_TRANSPARENT);
    FillUniform(dib, {255, 255, 255});
    draw.DrawTextW(rc, L"T", 0);
    EXPECT_TRUE(PixelIs(dib, 1, 7, {255, 255, 255}));
    EXPECT_TRUE(PixelIs(dib, 1, 8, {0x33, 0x22, 0x11}));
}

TEST(DibDrawText, ClippedToTheRectangleAndThePicture)
{
    CVoraDib big, small;
    ASSERT_EQ(big.Alloc(40, 40, 24, 0), 1);
    ASSERT_EQ(small.Alloc(10, 6, 24, 0), 1);
    CDIBDraw onBig, onSmall;
    ASSERT_EQ(onBig.Select(big, 0), 1);
    ASSERT_EQ(onSmall.Select(small, 0), 1);
    onBig.SetColor(kColour, 1);
    onSmall.SetColor(kColour, 1);
    tagRECT rcSmall{-4, -3, 14, 13};
    tagRECT rcBig{16, 17, 34, 33};
    onSmall.DrawTextW(rcSmall, L"Hi!\n#@", 0);
    onBig.DrawTextW(rcBig, L"Hi!\n#@", 0);
    Pixels window;
    for (const auto& [x, y] : SetPixels(big))
        if (x >= 20 && x < 30 && y >= 20 && y < 26)
            window.insert({x - 20, y - 20});
    EXPECT_FALSE(window.empty());
    EXPECT_EQ(SetPixels(small), window);

    // A rectangle smaller than the text cuts it off.
    CVoraDib cut;
    ASSERT_EQ(cut.Alloc(20, 20, 24, 0), 1);
    CDIBDraw draw;
    ASSERT_EQ(draw.Select(cut, 0), 1);
    draw.SetColor(kColour, 1);
    tagRECT narrow{0, 10, 3, 12};
    draw.DrawTextW(narrow, L"TT", 0);
    for (const auto& [x, y] : SetPixels(cut)) {
        EXPECT_LT(x, 3);
        EXPECT_GE(y, 10);
        EXPECT_LT(y, 12);
    }
    EXPECT_TRUE(SetPixels(cut).count({0, 11})); // top of the first 'T'
}

TEST(DibDrawText, EmptyRectanglePlacesTextAboveItsTop)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(20, 20, 24, 0), 1);
    CDIBDraw draw;
    ASSERT_EQ(draw.Select(dib, 0), 1);
    draw.SetColor(kColour, 1);
    tagRECT rc{2, 3, 2, 3};
    draw.DrawTextW(rc, L"T", 0);
    const Pixels set = SetPixels(dib);
    EXPECT_TRUE(set.count({2, 10}));
    for (const auto& [x, y] : set) {
        EXPECT_GE(y, 3);
        EXPECT_LE(y, 10);
    }
}

TEST(DibDrawText, Utf16AndWideTextDrawAlike)
{
    CVoraDib a, b;
    ASSERT_EQ(a.Alloc(40, 10, 24, 0), 1);
    ASSERT_EQ(b.Alloc(40, 10, 24, 0), 1);
    CDIBDraw da, db;
    ASSERT_EQ(da.Select(a, 0), 1);
    ASSERT_EQ(db.Select(b, 0), 1);
    da.SetColor(kColour, 1);
    db.SetColor(kColour, 1);
    const unsigned short utf16[] = {'C', 'r', 0xE9, 0xD83D, 0xDE00, 'Y', 0};
    const wchar_t wide[] = {L'C', L'r', 0xE9, 0x1F600, L'Y', 0};
    tagRECT ra{1, 1, 0, 0}, rb{1, 1, 0, 0};
    EXPECT_EQ(da.DrawTextW(ra, utf16, DT_CALCRECT), 8);
    EXPECT_EQ(ra.right, 1 + 5 * 6); // the pair is one character
    ra = {1, 1, 31, 9};
    rb = ra;
    da.DrawTextW(ra, utf16, 0);
    db.DrawTextW(rb, wide, 0);
    EXPECT_TRUE(PicturesEqual(b, a));
    // The 'é' (third character) is a box: its top line is full.
    for (int x = 13; x <= 17; ++x)
        EXPECT_TRUE(PixelIs(a, x, 8, {0x33, 0x22, 0x11})) << x;
    EXPECT_TRUE(PixelIs(a, 15, 5, {0, 0, 0}));
}
