#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"

using colorcorrect::DT_CALCRECT;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using Pixels = std::set<std::pair<int, int>>; // (x, memory line)

namespace {

// A picture with a drawing object selected on it, drawing 0x332211 (the
// bytes 0x33, 0x22, 0x11).
struct Canvas {
    CVoraDib dib;
    CDIBDraw draw;
    Canvas(int w, int h, int bits = 24)
    {
        EXPECT_EQ(dib.Alloc(w, h, bits, 0), 1);
        EXPECT_EQ(draw.Select(dib, 0), 1);
        draw.SetColor(0x332211, 1);
    }
    // The pixels in the drawing colour.
    Pixels Set() const
    {
        Pixels set;
        for (int i = 0; i < dib.GetWidth() * dib.GetHeight(); ++i)
            if (const std::vector<int> p = PixelAt(dib, i % dib.GetWidth(), i / dib.GetWidth());
                p[0] == 0x33 && p[1] == 0x22 && p[2] == 0x11)
                set.insert({i % dib.GetWidth(), i / dib.GetWidth()});
        return set;
    }
};

// The pixels of the rectangle x0..x1, y0..y1 (inclusive).
Pixels Span(int x0, int y0, int x1, int y1)
{
    Pixels set;
    for (int i = 0; i < (x1 - x0 + 1) * (y1 - y0 + 1); ++i)
        set.insert({x0 + i % (x1 - x0 + 1), y0 + i / (x1 - x0 + 1)});
    return set;
}

} // namespace

// Polylines (Move to the first point, Line to each next) on an 8 x 6 picture:
// clipping keeps exactly the pixels of the whole line.
TEST(DibDraw, LinesAreBresenhamLinesClippedAtTheEdges)
{
    const Pixels diagonal = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}};
    const std::pair<std::vector<std::pair<int, int>>, Pixels> cases[] = {
        {{{2, 3}, {2, 3}}, {{2, 3}}}, {{{1, 2}, {5, 2}}, Span(1, 2, 5, 2)},
        {{{0, 0}, {4, 1}}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}}, // halves away from the start
        {{{5, 5}, {3, 0}}, {{5, 5}, {5, 4}, {4, 3}, {4, 2}, {3, 1}, {3, 0}}},
        {{{0, 0}, {2, 0}, {2, 2}}, {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}}},
        {{{-10, 2}, {20, 2}}, Span(0, 2, 7, 2)}, {{{-3, -3}, {10, 10}}, diagonal},
        {{{-20, -7}, {30, 13}}, {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 3}, {6, 3}, {7, 4}}},
        {{{11, -25}, {-3, 30}}, {{5, 0}, {4, 1}, {4, 2}, {4, 3}, {4, 4}, {3, 5}}},
        {{{-5, -1}, {-1, 7}, {20, 7}, {8, 0}}, {}},
        {{{0, INT_MIN}, {0, INT_MAX}}, Span(0, 0, 0, 5)}, {{{INT_MIN, 0}, {INT_MAX, 5}}, Span(0, 3, 7, 3)},
        {{{INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}}, diagonal},
    };
    for (int bits : {24, 32})
        for (const auto& [points, expected] : cases) {
            Canvas canvas(8, 6, bits);
            colorcorrect::test::FillUniform(canvas.dib, {0, 0, 0, 77});
            canvas.draw.Move(points[0].first, points[0].second);
            for (size_t i = 1; i < points.size(); ++i)
                canvas.draw.Line(points[i].first, points[i].second);
            EXPECT_EQ(canvas.Set(), expected) << "from (" << points[0].first << ", " << points[0].second << ")";
            for (const auto& [x, y] : expected)
                ASSERT_EQ(PixelAt(canvas.dib, x, y).back(), bits == 32 ? 77 : 0x11) << "the fourth byte is kept";
        }
}

TEST(DibDraw, DrawsOnTheSelectedPictureAsItIsNow)
{
    CDIBDraw draw;
    CVoraDib empty, yuv;
    ASSERT_EQ(yuv.AllocYUV(4, 4, 24, 0), 1);
    const CVoraDib before = yuv;
    EXPECT_EQ(draw.Select(empty, 0) + draw.Select(yuv, 0), 0);
    draw.Draw(0, 0, 3, 3);
    draw.Clear();
    EXPECT_TRUE(PicturesEqual(before, yuv));
    Canvas canvas(8, 6);
    ASSERT_EQ(canvas.dib.Alloc(3, 3, 32, 0), 1);
    canvas.draw.Draw(0, 0, 10, 0);
    EXPECT_EQ(canvas.Set(), Span(0, 0, 2, 0));
    canvas.draw.Clear();
    ASSERT_EQ(empty.Alloc(3, 3, 32, 0), 1);
    EXPECT_TRUE(PicturesEqual(empty, canvas.dib)) << "black, fourth byte 255";
    canvas.draw.Release();
    canvas.draw.Draw(0, 0, 2, 2);
    EXPECT_TRUE(canvas.Set().empty());
}

TEST(DibDrawText, MeasuringFillsInTheRectangleOnly)
{
    const std::pair<const wchar_t*, std::vector<int32_t>> cases[] = { // {3, 4, 100, 100} measured
        {L"Cb", {3, 4, 15, 12}},     {L"ab\ncde\n", {3, 4, 21, 20}}, {L"x\r\ny", {3, 4, 9, 20}},
        {L"\n\n", {3, 4, 3, 20}}, {L"", {3, 4, 3, 4}},            {nullptr, {3, 4, 3, 4}}};
    Canvas canvas(8, 6);
    for (const auto& [text, expected] : cases) {
        tagRECT rc{3, 4, 100, 100};
        EXPECT_EQ(canvas.draw.DrawTextW(rc, text, DT_CALCRECT), expected[3] - 4);
        EXPECT_EQ(std::vector({rc.left, rc.top, rc.right, rc.bottom}), expected);
    }
    EXPECT_TRUE(canvas.Set().empty());
    const unsigned short utf16[] = {'C', 0xD83D, 0xDE00, 'Y', 0};
    tagRECT rc{1, 1, 0, 0};
    EXPECT_EQ(canvas.draw.DrawTextW(rc, utf16, DT_CALCRECT), 8);
    EXPECT_EQ(rc.right, 1 + 3 * 6) << "a surrogate pair is one character";
}

// A 'T' and a box (any character outside printable ASCII) drawn upright in a measured
// rectangle at (2, 3), or from an empty one there (unclipped, lines 3 .. 10): the glyphs'
// top on the highest memory line. Opaque text first blackens its cells; other values are ignored.
TEST(DibDrawText, GlyphsAreUprightOnTheirBackground)
{
    const std::pair<std::vector<int>, int> cases[] = { // modes set, then the cells' blank pixels
        {{}, 255}, {{2}, 0}, {{2, 1}, 255}, {{2, 0}, 0}, {{2, 7}, 0}, {{7}, 255}};
    Pixels glyphs = Span(2, 10, 6, 10), box = Span(8, 4, 12, 10);
    glyphs.merge(Span(4, 4, 4, 9));
    for (const auto& p : Span(9, 5, 11, 9))
        box.erase(p);
    glyphs.merge(box);
    for (const auto& [modes, blank] : cases) {
        Canvas canvas(20, 20);
        colorcorrect::test::FillUniform(canvas.dib, {255, 255, 255});
        for (int mode : modes)
            canvas.draw.SetBkMode(mode);
        tagRECT rc{0, 0, 0, 0};
        if (modes.size() % 2 == 0)
            canvas.draw.DrawTextW(rc, L"T\U0001F600", DT_CALCRECT);
        rc = {rc.left + 2, rc.top + 3, rc.right + 2, rc.bottom + 3};
        EXPECT_EQ(canvas.draw.DrawTextW(rc, L"T\U0001F600", 0), 8);
        EXPECT_EQ(canvas.Set(), glyphs) << modes.size() << " modes";
        for (const auto& [x, y] : Pixels{{2, 9}, {7, 10}, {2, 3}, {10, 7}, {1, 3}, {14, 10}, {2, 11}})
            EXPECT_EQ(PixelAt(canvas.dib, x, y), std::vector(3, x == 1 || x == 14 || y == 11 ? 255 : blank))
                << x << ", " << y << " after " << modes.size() << " modes";
    }
    // Text is clipped to the rectangle and the picture: cells only partly
    // inside show their part.
    Canvas canvas(2, 20);
    tagRECT narrow{-1, 10, 3, 12};
    canvas.draw.DrawTextW(narrow, L"TT", 0);
    EXPECT_EQ(canvas.Set(), (Pixels{{0, 11}, {1, 11}, {1, 10}})); // bar and stem of the first T
}
