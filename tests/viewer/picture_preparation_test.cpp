#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "viewer/viewer_access.h"
#include "viewer/viewer_pictures.h"

using colorcorrect::YUV_COMPRESSION;
using colorcorrect::YUVBM_PREMULTIPLIED;
using colorcorrect::test::AreaCopied;
using colorcorrect::test::FillPattern;
using colorcorrect::test::FillUniform;
using colorcorrect::test::Info;
using colorcorrect::test::PatternYuv;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using colorcorrect::test::PixelIs;
using colorcorrect::test::SetPixel;
using colorcorrect::test::UnchangedOutside;
using colorcorrect::test::UniformRgb;
using colorcorrect::test::UniformYuv;
using colorcorrect::test::ViewerAccess;

namespace {

struct BudgetGuard {
    ~BudgetGuard() { colorcorrect::SetBlockAllocationBudget(-1); }
};

// A YUV picture whose memory row r is uniform with Y = 10 * r + 5.
CVoraDib RowsByLuma(int width, int height, int bits)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(width, height, bits, 0), 1);
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            SetPixel(dib, x, row, {10 * row + 5, 128, 128});
    return dib;
}

// The luma of the first pixel of each memory row.
std::vector<int> RowLumas(const CVoraDib& dib)
{
    std::vector<int> lumas;
    for (int row = 0; row < dib.GetHeight(); ++row)
        lumas.push_back(PixelAt(dib, 0, row).at(0));
    return lumas;
}

// Un-premultiplication of one YUV pixel, written out independently.
std::vector<int> Unpremultiplied(int y, int u, int v, int a)
{
    if (a == 0)
        return {0, 128, 128};
    const auto clamp = [](int x, int lo, int hi) { return x < lo ? lo : x > hi ? hi : x; };
    return {std::min(y * 256 / a, 255), clamp((u - 128) * 256 / a, -127, 127) + 128,
            clamp((v - 128) * 256 / a, -127, 127) + 128};
}

} // namespace

// ---- SetSource ------------------------------------------------------------

TEST(ViewerSetSource, RgbSourceIsStoredAsYuvAndReducedToHalfSize)
{
    ViewerAccess viewer;
    CVoraDib rgb;
    ASSERT_EQ(rgb.Alloc(8, 6, 24, 0), 1);
    FillPattern(rgb, 3);
    const CVoraDib given = rgb;
    CVoraDib expected = rgb;
    ASSERT_EQ(expected.ToYUV(), 1);

    EXPECT_EQ(viewer.SetSource(rgb), 1);
    EXPECT_TRUE(PicturesEqual(given, rgb)) << "the host's picture is not changed";
    EXPECT_TRUE(PicturesEqual(expected, viewer.m_dibSource));
    ASSERT_NE(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
    EXPECT_EQ(+Info(viewer.m_dibSourceQuart).biCompression, YUV_COMPRESSION);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetWidth(), 4);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetHeight(), 3);
}

TEST(ViewerSetSource, YuvSourceIsNotConvertedAgain)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(6, 4, 24, 5);
    EXPECT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_TRUE(PicturesEqual(yuv, viewer.m_dibSource));
}

TEST(ViewerSetSource, ThirtyTwoBitSourceIsStoredAtTwentyFourBits)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(5, 4, 32, 9);
    EXPECT_EQ(viewer.SetSource(yuv), 1);
    ASSERT_NE(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(+Info(viewer.m_dibSource).biBitCount, 24);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 5; ++x) {
            const auto p = PixelAt(yuv, x, row);
            ASSERT_TRUE(PixelIs(viewer.m_dibSource, x, row, {p[0], p[1], p[2]}));
        }
}

TEST(ViewerSetSource, PremultipliedYuvSourceIsDividedByItsAlpha)
{
    ViewerAccess viewer;
    CVoraDib yuv;
    ASSERT_EQ(yuv.AllocYUV(4, 2, 32, YUVBM_PREMULTIPLIED), 1);
    SetPixel(yuv, 0, 0, {100, 178, 78, 128});
    SetPixel(yuv, 1, 0, {200, 40, 250, 0});
    SetPixel(yuv, 2, 0, {255, 255, 0, 255});
    SetPixel(yuv, 3, 0, {10, 130, 126, 2});
    SetPixel(yuv, 0, 1, {60, 128, 128, 60});
    SetPixel(yuv, 1, 1, {0, 128, 128, 0});
    SetPixel(yuv, 2, 1, {30, 120, 140, 40});
    SetPixel(yuv, 3, 1, {128, 128, 128, 255});

    EXPECT_EQ(viewer.SetSource(yuv), 1);
    ASSERT_NE(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(Info(viewer.m_dibSource).dwFlags & YUVBM_PREMULTIPLIED, 0u);
    EXPECT_TRUE(PixelIs(viewer.m_dibSource, 0, 0, {200, 228, 28}));
    EXPECT_TRUE(PixelIs(viewer.m_dibSource, 1, 0, {0, 128, 128})) << "alpha 0";
    EXPECT_TRUE(PixelIs(viewer.m_dibSource, 2, 0, {255, 255, 1})) << "clamped";
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 4; ++x) {
            const auto p = PixelAt(yuv, x, row);
            const auto e = Unpremultiplied(p[0], p[1], p[2], p[3]);
            EXPECT_TRUE(PixelIs(viewer.m_dibSource, x, row, {e[0], e[1], e[2]}));
        }
}

TEST(ViewerSetSource, PremultipliedRgbSourceIsConvertedThenDividedByItsAlpha)
{
    ViewerAccess viewer;
    CVoraDib rgb;
    ASSERT_EQ(rgb.Alloc(3, 3, 32, YUVBM_PREMULTIPLIED), 1);
    FillPattern(rgb, 21);
    CVoraDib yuv = rgb;
    ASSERT_EQ(yuv.ToYUV(), 1);

    EXPECT_EQ(viewer.SetSource(rgb), 1);
    ASSERT_NE(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(+Info(viewer.m_dibSource).biCompression, YUV_COMPRESSION);
    for (int row = 0; row < 3; ++row)
        for (int x = 0; x < 3; ++x) {
            const auto p = PixelAt(yuv, x, row);
            const auto e = Unpremultiplied(p[0], p[1], p[2], p[3]);
            EXPECT_TRUE(PixelIs(viewer.m_dibSource, x, row, {e[0], e[1], e[2]}));
        }
}

TEST(ViewerSetSource, EmptyPictureLeavesNoSource)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(4, 4, 24, 1);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    CVoraDib empty;
    EXPECT_EQ(viewer.SetSource(empty), 0);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
}

TEST(ViewerSetSource, PictureWithoutHalfIsRefusedAndLeavesNoSource)
{
    ViewerAccess viewer;
    CVoraDib line = UniformYuv(8, 1, 24, {50, 128, 128});
    EXPECT_EQ(viewer.SetSource(line), 0);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
}

TEST(ViewerSetSource, FailedChangeTo24BitsKeepsTheAssignedCopy)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(4, 4, 32, 2);
    BudgetGuard guard;
    colorcorrect::SetBlockAllocationBudget(1); // the copy, not the conversion
    EXPECT_EQ(viewer.SetSource(yuv), 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_TRUE(PicturesEqual(yuv, viewer.m_dibSource));
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
}

TEST(ViewerSetSource, FailedReductionEmptiesTheSource)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(4, 4, 24, 2);
    BudgetGuard guard;
    colorcorrect::SetBlockAllocationBudget(2); // the copy and the conversion
    EXPECT_EQ(viewer.SetSource(yuv), 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSource), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibSourceQuart), nullptr);
}

TEST(ViewerSetSource, StoredSourceCanBePreparedAgain)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(6, 6, 24, 8);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(viewer.SetSource(viewer.m_dibSource), 1);
    EXPECT_TRUE(PicturesEqual(yuv, viewer.m_dibSource));
    EXPECT_EQ(viewer.m_dibSourceQuart.GetWidth(), 3);
}

// ---- reduced pictures -------------------------------------------------------

TEST(ViewerReducedPicture, HalfHeightTakesOneFieldChosenByFieldAndFieldOrder)
{
    ViewerAccess viewer;
    CVoraDib yuv = RowsByLuma(8, 8, 24);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    // Field 0 with field order 0: the odd memory rows.
    EXPECT_EQ(RowLumas(viewer.m_dibSourceQuart), (std::vector<int>{15, 35, 55, 75}));

    EXPECT_EQ(viewer.SetDisplayField(2), 1);
    EXPECT_EQ(viewer.m_nField, 1u);
    EXPECT_EQ(RowLumas(viewer.m_dibSourceQuart), (std::vector<int>{5, 25, 45, 65}));

    Info(yuv).dwFieldOrder = 1;
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(RowLumas(viewer.m_dibSourceQuart), (std::vector<int>{15, 35, 55, 75}));
    EXPECT_EQ(viewer.SetDisplayField(0), 1);
    EXPECT_EQ(RowLumas(viewer.m_dibSourceQuart), (std::vector<int>{5, 25, 45, 65}));
}

TEST(ViewerReducedPicture, FullFrameGivesHalfSizeFromOneField)
{
    ViewerAccess viewer;
    CVoraDib yuv;
    ASSERT_EQ(yuv.AllocYUV(720, 576, 24, 0), 1);
    FillPattern(yuv, 11);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetWidth(), 360);
    EXPECT_EQ(viewer.m_dibSourceQuart.GetHeight(), 288);

    // Expected: memory rows 1, 3, 5, ... halved in width by the host's scaler.
    CVoraDib field;
    ASSERT_EQ(field.AllocYUV(720, 288, 24, 0), 1);
    for (int i = 0; i < 288; ++i)
        for (int x = 0; x < 720; ++x) {
            const auto p = PixelAt(yuv, x, 2 * i + 1);
            SetPixel(field, x, i, {p[0], p[1], p[2]});
        }
    CVoraDib expected;
    ASSERT_EQ(expected.SetDIB(field, 360, 288, 24, 0), 1);
    EXPECT_TRUE(PicturesEqual(expected, viewer.m_dibSourceQuart));
}

TEST(ViewerReducedPicture, ThirtyTwoBitFieldKeepsAlpha)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(4, 4, 32, 4);
    CVoraDib reduced;
    EXPECT_EQ(viewer.GetQuartYUV(reduced, yuv), 1);
    ASSERT_EQ(reduced.GetWidth(), 2);
    ASSERT_EQ(reduced.GetHeight(), 2);
    EXPECT_EQ(+Info(reduced).biBitCount, 32);
    CVoraDib field;
    ASSERT_EQ(field.AllocYUV(4, 2, 32, 0), 1);
    for (int i = 0; i < 2; ++i)
        for (int x = 0; x < 4; ++x) {
            const auto p = PixelAt(yuv, x, 2 * i + 1);
            SetPixel(field, x, i, {p[0], p[1], p[2], p[3]});
        }
    CVoraDib expected;
    ASSERT_EQ(expected.SetDIB(field, 2, 2, 32, 0), 1);
    EXPECT_TRUE(PicturesEqual(expected, reduced));
}

TEST(ViewerReducedPicture, InlaySizeOfTheSourceGivesAPlainCopy)
{
    ViewerAccess viewer;
    CVoraDib yuv = PatternYuv(6, 4, 24, 12);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(viewer.SetInlaySize(6, 4), 1);
    EXPECT_TRUE(PicturesEqual(yuv, viewer.m_dibSourceQuart));
}

TEST(ViewerReducedPicture, TallerInlayIsScaledWithoutTakingAField)
{
    ViewerAccess viewer;
    CVoraDib yuv = RowsByLuma(4, 4, 24);
    ASSERT_EQ(viewer.SetSource(yuv), 1);
    EXPECT_EQ(viewer.SetInlaySize(2, 8), 1);
    CVoraDib expected;
    ASSERT_EQ(expected.SetDIB(yuv, 2, 8, 24, 0), 1);
    EXPECT_TRUE(PicturesEqual(expected, viewer.m_dibSourceQuart));
}

TEST(ViewerReducedPicture, RefusesPicturesThatAreNotYuv)
{
    ViewerAccess viewer;
    CVoraDib rgb = UniformRgb(4, 4, 24, {1, 2, 3});
    CVoraDib reduced = UniformRgb(2, 2, 24, {9, 9, 9});
    EXPECT_EQ(viewer.GetQuartYUV(reduced, rgb), 0);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(reduced), nullptr);
    EXPECT_EQ(viewer.GetQuartRGB(reduced, rgb), 0);
    CVoraDib empty;
    EXPECT_EQ(viewer.GetQuartYUV(reduced, empty), 0);
}

TEST(ViewerReducedPicture, RgbCopyUsesTheRoundedConversion)
{
    ViewerAccess viewer;
    ASSERT_EQ(viewer.SetInlaySize(5, 1), 1);
    CVoraDib yuv;
    ASSERT_EQ(yuv.AllocYUV(5, 1, 24, 0), 1);
    SetPixel(yuv, 0, 0, {128, 128, 128});
    SetPixel(yuv, 1, 0, {255, 128, 128});
    SetPixel(yuv, 2, 0, {0, 128, 128});
    SetPixel(yuv, 3, 0, {100, 78, 188});
    SetPixel(yuv, 4, 0, {200, 20, 240});
    CVoraDib rgb;
    EXPECT_EQ(viewer.GetQuartRGB(rgb, yuv), 1);
    ASSERT_NE(static_cast<const tagDIBINFO*>(rgb), nullptr);
    EXPECT_EQ(+Info(rgb).biCompression, 0u);
    EXPECT_TRUE(PixelIs(rgb, 0, 0, {128, 128, 128}));
    EXPECT_TRUE(PixelIs(rgb, 1, 0, {255, 255, 255}));
    EXPECT_TRUE(PixelIs(rgb, 2, 0, {0, 0, 0}));
    EXPECT_TRUE(PixelIs(rgb, 3, 0, {11, 74, 184}));
    EXPECT_TRUE(PixelIs(rgb, 4, 0, {8, 157, 255})) << "red clamped";
}

TEST(ViewerReducedPicture, RgbCopyKeepsTheFourthByte)
{
    ViewerAccess viewer;
    ASSERT_EQ(viewer.SetInlaySize(1, 2), 1);
    CVoraDib yuv = UniformYuv(2, 2, 32, {128, 128, 128, 77});
    CVoraDib rgb;
    EXPECT_EQ(viewer.GetQuartRGB(rgb, yuv), 1);
    EXPECT_TRUE(PixelIs(rgb, 0, 1, {128, 128, 128, 77}));
}

// ---- SetReference -------------------------------------------------------------

TEST(ViewerSetReference, MakesReducedRgbCopyAndBorderedInlay)
{
    ViewerAccess viewer;
    CVoraDib yuv = UniformYuv(40, 32, 32, {100, 78, 188, 255});
    EXPECT_EQ(viewer.SetReference(yuv), 1);
    EXPECT_EQ(+Info(viewer.m_dibReference).biCompression, YUV_COMPRESSION);
    EXPECT_EQ(+Info(viewer.m_dibReference).biBitCount, 24);

    const CVoraDib& quart = viewer.m_dibReferenceQuart;
    ASSERT_EQ(quart.GetWidth(), 20);
    ASSERT_EQ(quart.GetHeight(), 16);
    EXPECT_EQ(+Info(quart).biCompression, 0u);
    EXPECT_TRUE(PixelIs(quart, 7, 7, {11, 74, 184}));

    const CVoraDib& inlay = viewer.m_dibReferenceInlay;
    ASSERT_EQ(inlay.GetWidth(), 20);
    ASSERT_EQ(inlay.GetHeight(), 16);
    EXPECT_EQ(+Info(inlay).biBitCount, 24);
    for (int row = 0; row < 16; ++row)
        for (int x = 0; x < 20; ++x) {
            const bool border = x < 5 || x >= 15 || row < 5 || row >= 11;
            if (border)
                ASSERT_TRUE(PixelIs(inlay, x, row, {0, 128, 255}));
            else
                ASSERT_TRUE(PixelIs(inlay, x, row, {11, 74, 184}));
        }
}

TEST(ViewerSetReference, FailedCallKeepsThePreviousInlay)
{
    ViewerAccess viewer;
    CVoraDib yuv = UniformYuv(40, 32, 24, {100, 78, 188});
    ASSERT_EQ(viewer.SetReference(yuv), 1);
    const CVoraDib inlay = viewer.m_dibReferenceInlay;
    CVoraDib empty;
    EXPECT_EQ(viewer.SetReference(empty), 0);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibReference), nullptr);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(viewer.m_dibReferenceQuart), nullptr);
    EXPECT_TRUE(PicturesEqual(inlay, viewer.m_dibReferenceInlay));
}

TEST(ViewerSetReference, PremultipliedReferenceIsDividedByItsAlpha)
{
    ViewerAccess viewer;
    CVoraDib yuv = UniformYuv(4, 4, 32, {100, 178, 78, 128}, YUVBM_PREMULTIPLIED);
    EXPECT_EQ(viewer.SetReference(yuv), 1);
    EXPECT_TRUE(PixelIs(viewer.m_dibReference, 3, 3, {200, 228, 28}));
}

// ---- SetSplit ----------------------------------------------------------------------

TEST(ViewerSetSplit, StoresBothValues)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.SetSplit(-120, 35), 1);
    EXPECT_EQ(viewer.m_nSplitX, -120);
    EXPECT_EQ(viewer.m_nSplitY, 35);
}

// ---- UnPremultiply ------------------------------------------------------------------

TEST(ViewerUnPremultiply, LeavesPlainAndTwentyFourBitPicturesAlone)
{
    CVoraDib plain = PatternYuv(3, 3, 32, 1);
    const CVoraDib plainBefore = plain;
    EXPECT_EQ(ViewerAccess::UnPremultiply(plain), 1);
    EXPECT_TRUE(PicturesEqual(plainBefore, plain));

    CVoraDib narrow = UniformYuv(3, 3, 24, {100, 178, 78}, YUVBM_PREMULTIPLIED);
    const CVoraDib narrowBefore = narrow;
    EXPECT_EQ(ViewerAccess::UnPremultiply(narrow), 1);
    EXPECT_TRUE(PicturesEqual(narrowBefore, narrow));
    EXPECT_EQ(Info(narrow).dwFlags & YUVBM_PREMULTIPLIED, YUVBM_PREMULTIPLIED);
}

TEST(ViewerUnPremultiply, RefusesMarkedRgbAndEmptyPictures)
{
    CVoraDib rgb = UniformRgb(2, 2, 32, {10, 20, 30, 40}, YUVBM_PREMULTIPLIED);
    const CVoraDib before = rgb;
    EXPECT_EQ(ViewerAccess::UnPremultiply(rgb), 0);
    EXPECT_TRUE(PicturesEqual(before, rgb));
    CVoraDib empty;
    EXPECT_EQ(ViewerAccess::UnPremultiply(empty), 0);
}

TEST(ViewerUnPremultiply, KeepsAlphaAndClearsTheFlag)
{
    CVoraDib yuv = UniformYuv(2, 2, 32, {100, 178, 78, 128}, YUVBM_PREMULTIPLIED);
    EXPECT_EQ(ViewerAccess::UnPremultiply(yuv), 1);
    EXPECT_EQ(Info(yuv).dwFlags & YUVBM_PREMULTIPLIED, 0u);
    EXPECT_TRUE(PixelIs(yuv, 1, 1, {200, 228, 28, 128}));
}

// ---- AddBorder ------------------------------------------------------------------------

TEST(ViewerAddBorder, BorderIsCutToLessThanHalfThePicture)
{
    CVoraDib rgb = UniformRgb(6, 6, 24, {1, 2, 3});
    EXPECT_EQ(ViewerAccess::AddBorder(rgb, 0xFF8000, 5), 1);
    for (int row = 0; row < 6; ++row)
        for (int x = 0; x < 6; ++x) {
            const bool border = x < 2 || x >= 4 || row < 2 || row >= 4;
            if (border)
                ASSERT_TRUE(PixelIs(rgb, x, row, {0, 128, 255}));
            else
                ASSERT_TRUE(PixelIs(rgb, x, row, {1, 2, 3}));
        }
}

TEST(ViewerAddBorder, LowPictureCutsByItsHeight)
{
    CVoraDib rgb = UniformRgb(20, 6, 24, {9, 9, 9});
    EXPECT_EQ(ViewerAccess::AddBorder(rgb, 0x030201, 4), 1);
    // A border of 2 (6 / 2 - 1), not 4.
    EXPECT_TRUE(PixelIs(rgb, 1, 3, {1, 2, 3}));
    EXPECT_TRUE(PixelIs(rgb, 2, 3, {9, 9, 9}));
    EXPECT_TRUE(PixelIs(rgb, 17, 3, {9, 9, 9}));
    EXPECT_TRUE(PixelIs(rgb, 18, 3, {1, 2, 3}));
    EXPECT_TRUE(PixelIs(rgb, 10, 1, {1, 2, 3}));
    EXPECT_TRUE(PixelIs(rgb, 10, 2, {9, 9, 9}));
    EXPECT_TRUE(PixelIs(rgb, 10, 4, {1, 2, 3}));
}

TEST(ViewerAddBorder, ZeroBorderAndTinyPicturesDrawNothing)
{
    CVoraDib rgb = UniformRgb(6, 6, 24, {1, 2, 3});
    const CVoraDib before = rgb;
    EXPECT_EQ(ViewerAccess::AddBorder(rgb, 0xFF8000, 0), 1);
    EXPECT_TRUE(PicturesEqual(before, rgb));

    CVoraDib dot = UniformRgb(1, 1, 24, {1, 2, 3});
    const CVoraDib dotBefore = dot;
    EXPECT_EQ(ViewerAccess::AddBorder(dot, 0xFF8000, 5), 1);
    EXPECT_TRUE(PicturesEqual(dotBefore, dot));

    CVoraDib empty;
    EXPECT_EQ(ViewerAccess::AddBorder(empty, 0xFF8000, 5), 0);
}

TEST(ViewerAddBorder, FourthByteIsKept)
{
    CVoraDib rgb = UniformRgb(8, 8, 32, {1, 2, 3, 44});
    EXPECT_EQ(ViewerAccess::AddBorder(rgb, 0xFF8000, 1), 1);
    EXPECT_TRUE(PixelIs(rgb, 0, 0, {0, 128, 255, 44}));
}

// ---- AddSplit ---------------------------------------------------------------------------

TEST(ViewerAddSplit, NegativeXAndPositiveYCopyTheTopOfTheRightEdge)
{
    CVoraDib dst = UniformYuv(720, 576, 24, {16, 128, 128});
    CVoraDib ref = PatternYuv(720, 576, 24, 30);
    const CVoraDib before = dst;
    EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, -100, 50), 1);
    EXPECT_TRUE(AreaCopied(ref, 620, 526, dst, 620, 526, 100, 50));
    EXPECT_TRUE(UnchangedOutside(before, dst, 620, 526, 100, 50));
}

TEST(ViewerAddSplit, EachCornerIsMeasuredFromEachPicturesOwnEdges)
{
    CVoraDib ref = PatternYuv(12, 9, 32, 31);
    struct Case {
        int x, y;
        int dstX0, dstRow0, refX0, refRow0;
    };
    // dst 10 x 8, ref 12 x 9, a 3 x 2 corner.
    const Case cases[] = {
        {3, 2, 0, 6, 0, 7},    // left, top
        {-3, 2, 7, 6, 9, 7},   // right, top
        {3, -2, 0, 0, 0, 0},   // left, bottom
        {-3, -2, 7, 0, 9, 0},  // right, bottom
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "split " << c.x << ", " << c.y);
        CVoraDib dst = UniformYuv(10, 8, 24, {16, 128, 128});
        const CVoraDib before = dst;
        EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, c.x, c.y), 1);
        EXPECT_TRUE(AreaCopied(ref, c.refX0, c.refRow0, dst, c.dstX0, c.dstRow0, 3, 2));
        EXPECT_TRUE(UnchangedOutside(before, dst, c.dstX0, c.dstRow0, 3, 2));
    }
}

TEST(ViewerAddSplit, SizesBeyondThePicturesAreCut)
{
    CVoraDib dst = UniformYuv(720, 8, 24, {16, 128, 128});
    CVoraDib ref = PatternYuv(720, 8, 24, 32);
    EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, 800, 3), 1);
    EXPECT_TRUE(AreaCopied(ref, 0, 5, dst, 0, 5, 720, 3));

    CVoraDib small = UniformYuv(4, 4, 24, {16, 128, 128});
    EXPECT_EQ(ViewerAccess::AddSplit(small, ref, INT_MIN, INT_MIN), 1);
    EXPECT_TRUE(AreaCopied(ref, 716, 0, small, 0, 0, 4, 4));
}

TEST(ViewerAddSplit, ZeroSplitCopiesNothing)
{
    CVoraDib dst = UniformYuv(8, 8, 24, {16, 128, 128});
    CVoraDib ref = PatternYuv(8, 8, 24, 33);
    const CVoraDib before = dst;
    EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, 0, 5), 1);
    EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, 5, 0), 1);
    EXPECT_TRUE(PicturesEqual(before, dst));
}

TEST(ViewerAddSplit, DifferentFormatsOrEmptyPicturesCopyNothing)
{
    CVoraDib dst = UniformYuv(8, 8, 24, {16, 128, 128});
    CVoraDib ref = UniformRgb(8, 8, 24, {1, 2, 3});
    const CVoraDib before = dst;
    EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, 4, 4), 0);
    EXPECT_TRUE(PicturesEqual(before, dst));
    CVoraDib empty;
    EXPECT_EQ(ViewerAccess::AddSplit(dst, empty, 4, 4), 0);
    EXPECT_EQ(ViewerAccess::AddSplit(empty, dst, 4, 4), 0);
}

TEST(ViewerAddSplit, FourthByteOfTheDestinationIsKept)
{
    CVoraDib dst = UniformYuv(4, 4, 32, {16, 128, 128, 99});
    CVoraDib ref = UniformYuv(4, 4, 24, {1, 2, 3});
    EXPECT_EQ(ViewerAccess::AddSplit(dst, ref, 2, 2), 1);
    EXPECT_TRUE(PixelIs(dst, 0, 3, {1, 2, 3, 99}));
}
