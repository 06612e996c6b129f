// Source and reference as the viewer prepares them: the stored format, the
// reduced copies and the inlay, the display with the split, the default picture.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "viewer/viewer_access.h"

using colorcorrect::YUVBM_PREMULTIPLIED;
using colorcorrect::test::Info;
using colorcorrect::test::Pattern;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelIs;
using colorcorrect::test::SetPixel;
using colorcorrect::test::SplitInto;
using colorcorrect::test::Uniform;
using colorcorrect::test::ViewerAccess;

namespace {

bool Empty(const CVoraDib& dib) { return static_cast<const tagDIBINFO*>(dib) == nullptr; }

// A YUV picture whose memory row r has luma a r + b.
CVoraDib Rows(int width, int height, int a, int b)
{
    CVoraDib dib = Uniform(width, height, 24, {0, 128, 128});
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            SetPixel(dib, x, row, {a * row + b, 128, 128});
    return dib;
}

} // namespace

TEST(ViewerPictures, SourceIsStoredAsTwentyFourBitYuvWithAlphaUndone)
{
    // Premultiplied YUV is divided by its alpha (0 gives black), limited: Y, U, V, A -> Y, U, V.
    const std::array<int, 7> pixels[] = {{100, 178, 78, 128, 200, 228, 28}, {200, 40, 250, 0, 0, 128, 128},
                                         {255, 255, 0, 255, 255, 255, 1},   {10, 130, 126, 2, 255, 255, 1},
                                         {60, 128, 128, 60, 255, 128, 128}, {30, 120, 140, 40, 192, 77, 204}};
    CVoraDib premultiplied = Uniform(6, 2, 32, {0, 128, 128, 255}, YUVBM_PREMULTIPLIED);
    for (int x = 0; x < 6; ++x)
        SetPixel(premultiplied, x, 1, {pixels[x][0], pixels[x][1], pixels[x][2], pixels[x][3]});
    const CVoraDib given = premultiplied;
    ViewerAccess v;
    ASSERT_EQ(v.SetSource(premultiplied), 1);
    EXPECT_TRUE(PicturesEqual(given, premultiplied)) << "the host's picture is not changed";
    EXPECT_EQ(+Info(v.m_dibSource).biBitCount, 24);
    EXPECT_EQ(Info(v.m_dibSource).dwFlags & YUVBM_PREMULTIPLIED, 0u);
    for (int x = 0; x < 6; ++x)
        EXPECT_TRUE(PixelIs(v.m_dibSource, x, 1, {pixels[x][4], pixels[x][5], pixels[x][6]}));
}

TEST(ViewerPictures, RefusedSourceLeavesNoneOrTheUnconvertedCopy)
{
    const struct { const char* what; CVoraDib picture; long blocks; } rows[] = { // blocks: allocations allowed, -1 any
        {"empty", CVoraDib(), -1}, {"no half of one row", Uniform(8, 1, 24, {50, 128, 128}), -1},
        {"no memory to reduce", Uniform(4, 4, 24, {1, 2, 3}), 2},
        {"no memory to change to 24 bits: the copy stays", Uniform(4, 4, 32, {1, 2, 3, 4}), 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ViewerAccess v;
        CVoraDib previous = Pattern(6, 6, 8), picture = r.picture;
        ASSERT_EQ(v.SetSource(previous), 1);
        colorcorrect::SetBlockAllocationBudget(r.blocks);
        EXPECT_EQ(v.SetSource(picture), 0);
        colorcorrect::SetBlockAllocationBudget(-1);
        EXPECT_TRUE(r.blocks == 1 ? PicturesEqual(r.picture, v.m_dibSource) : Empty(v.m_dibSource));
        EXPECT_TRUE(Empty(v.m_dibSourceQuart));
    }
}

TEST(ViewerPictures, ReducedCopiesAndTheInlayFollowTheInlaySizeAndTheField)
{
    constexpr unsigned kHalf = 0xFFFFFFFF;
    const struct {
        int width, height;
        unsigned inlayWidth, inlayHeight; // 0, 0: SetInlaySize not called
        unsigned displayField, fieldOrder;
        int accepted, w, h, first, border; // SetInlaySize's result; the reduced size; the field's first row
                                           // (-1 none); the inlay's border, 5 cut to less than half
    } rows[] = {
        {12, 8, 0, 0, 0, 0, 1, 6, 4, 1, 1},   {12, 8, 0, 0, 2, 0, 1, 6, 4, 0, 1},     {12, 8, 0, 0, 0, 1, 1, 6, 4, 0, 1},
        {12, 8, 0, 0, 3, 1, 1, 6, 4, 1, 1},   {12, 8, 0, 0, 1, 0, 1, 6, 4, 1, 1},     {7, 5, 0, 0, 0, 0, 1, 3, 2, 1, 0},
        {3, 3, 0, 0, 0, 0, 1, 1, 1, 1, 0},    {40, 32, 0, 0, 0, 0, 1, 20, 16, 1, 5},  {12, 8, 5, 3, 0, 0, 1, 5, 3, 1, 0},
        {12, 8, 12, 8, 0, 0, 1, 12, 8, -1, 3}, {12, 8, 6, 16, 2, 0, 1, 6, 16, -1, 2}, {12, 8, kHalf, 1, 0, 0, 1, 6, 4, 1, 1},
        {12, 8, 0, 100, 0, 0, 0, 6, 4, 1, 1}, {12, 8, 100, 0, 0, 0, 0, 6, 4, 1, 1},   {12, 8, 5, kHalf, 0, 0, 0, 6, 4, 1, 1},
        {12, 8, 0x80000000, 5, 0, 0, 0, 6, 4, 1, 1},
        {12, 8, 65536, 65536, 0, 0, 0, 6, 4, 1, 1}, // too large: taking it would lose both pictures
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &r - rows);
        ViewerAccess v;
        // The reference premultiplied: (100, 78, 188) once divided, (11, 74, 184) in RGB.
        CVoraDib source = Rows(r.width, r.height, 7, 5), reference = Uniform(r.width, r.height, 32, {50, 103, 158, 128}, YUVBM_PREMULTIPLIED), empty;
        Info(source).dwFieldOrder = r.fieldOrder;
        ASSERT_EQ(v.SetSource(source), 1);
        ASSERT_EQ(v.SetReference(reference), 1);
        EXPECT_EQ(v.SetDisplayField(r.displayField), 1);
        if (r.inlayWidth != 0 || r.inlayHeight != 0) {
            EXPECT_EQ(v.SetInlaySize(r.inlayWidth, r.inlayHeight), r.accepted);
        }
        EXPECT_TRUE(PicturesEqual(source, v.m_dibSource));
        EXPECT_TRUE(PicturesEqual(Uniform(r.width, r.height, 24, {100, 78, 188}), v.m_dibReference));
        // One field when the height shrinks, then the host's scaler.
        const CVoraDib field = r.first < 0 ? source : Rows(r.width, r.height / 2, 14, 7 * r.first + 5);
        CVoraDib expected = field;
        if (r.w != field.GetWidth() || r.h != field.GetHeight()) {
            ASSERT_EQ(expected.SetDIB(field, r.w, r.h, 24, 0), 1);
        }
        EXPECT_TRUE(PicturesEqual(expected, v.m_dibSourceQuart));
        EXPECT_TRUE(PicturesEqual(Uniform(r.w, r.h, 24, {11, 74, 184}, 0, true), v.m_dibReferenceQuart));
        const CVoraDib inlay = v.m_dibReferenceInlay;
        ASSERT_EQ(inlay.GetWidth(), r.w);
        ASSERT_EQ(inlay.GetHeight(), r.h);
        for (int row = 0; row < r.h; ++row)
            for (int x = 0, b = r.border; x < r.w; ++x)
                ASSERT_TRUE(x < b || x >= r.w - b || row < b || row >= r.h - b ? PixelIs(inlay, x, row, {0, 128, 255})
                                                                               : PixelIs(inlay, x, row, {11, 74, 184}));
        EXPECT_EQ(v.SetReference(empty), 0);
        EXPECT_TRUE(Empty(v.m_dibReference) && Empty(v.m_dibReferenceQuart));
        EXPECT_TRUE(PicturesEqual(inlay, v.m_dibReferenceInlay)) << "a failed SetReference keeps the inlay";
    }
}

TEST(ViewerPictures, DisplayShowsTheInlaysCornerChosenBySplitScaledToTheReducedSource)
{
    // Source 40 x 20 (display 20 x 10), reference 48 x 24 (inlay 24 x 12). The
    // split in source pixels is halved; x > 0 the left edge, y > 0 the top (the
    // last memory rows), each picture's corner measured from its own edges.
    const struct { int x, y, refX, refRow, x0, row0, w, h; } rows[] = {
        {10, -6, 0, 0, 0, 0, 5, 3},   {6, 4, 0, 10, 0, 8, 3, 2},     {-6, 4, 21, 10, 17, 8, 3, 2},
        {-6, -4, 21, 0, 17, 0, 3, 2}, {1000, 2, 0, 11, 0, 9, 20, 1}, {1, 1, 0, 0, 0, 0, 0, 0},
        {0, 8, 0, 0, 0, 0, 0, 0},     {INT_MIN, INT_MIN, 4, 0, 0, 0, 20, 10},
    };
    CVoraDib source = Pattern(40, 20, 4), reference = Uniform(48, 24, 24, {200, 100, 160});
    CVoraDib expected, expectedScope, display, scope;
    ViewerAccess plain, v;
    ASSERT_EQ(plain.SetSource(source), 1);
    ASSERT_EQ(plain.GetDisplay(expected, expectedScope, 1), 1);
    ASSERT_EQ(v.SetSource(source), 1);
    ASSERT_EQ(v.SetReference(reference), 1);
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &r - rows);
        ASSERT_EQ(v.SetSplit(r.x, r.y), 1);
        ASSERT_EQ(v.GetDisplay(display, scope, 1), 1);
        EXPECT_EQ(+Info(display).biCompression, 0u);
        EXPECT_TRUE(SplitInto(expected, v.m_dibReferenceInlay, r.refX, r.refRow, display, r.x0, r.row0, r.w, r.h));
        EXPECT_TRUE(PicturesEqual(expectedScope, scope));
    }
    EXPECT_TRUE(PixelIs(display, 0, 0, {0, 128, 255})) << "the inlay's orange border";
    EXPECT_EQ(v.GetDisplay(display, scope, 0), 1);
    EXPECT_TRUE(PicturesEqual(v.m_dibReferenceQuart, scope)) << "type 0 shows the reduced reference";
    EXPECT_EQ(v.GetDisplay(display, scope, 3), 0);
    EXPECT_EQ(v.GetDisplay(display, scope, 8), 0);
}
