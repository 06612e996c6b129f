// Match vectors from picture regions, widening, setting them to a reference
// colour, and averaged samples.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "analysis/matching_access.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::MatchingAccess;
using colorcorrect::test::SetYuv;

namespace {

tagMATCHVECTOR Vector()
{
    tagMATCHVECTOR mv;
    mv.Init();
    return mv;
}

bool SameVector(const tagMATCHVECTOR& a, const tagMATCHVECTOR& b)
{
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

// ---- rectangle preparation ----

TEST(PrepareMatchRect, AClickIsWidenedAroundIt)
{
    tagRECT rc{10, 20, 10, 20};
    ASSERT_EQ(MatchingAccess::PrepareMatchRect(rc, 100, 100), 1);
    EXPECT_EQ(rc.left, 9);
    EXPECT_EQ(rc.right, 12);
    EXPECT_EQ(rc.top, 19);
    EXPECT_EQ(rc.bottom, 22);
}

TEST(PrepareMatchRect, EdgesArePutInOrder)
{
    tagRECT rc{50, 40, 10, 5};
    ASSERT_EQ(MatchingAccess::PrepareMatchRect(rc, 100, 100), 1);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.right, 50);
    EXPECT_EQ(rc.top, 5);
    EXPECT_EQ(rc.bottom, 40);
}

TEST(PrepareMatchRect, AClickInTheFirstColumnOrRowStaysInsideAndInOrder)
{
    tagRECT rc{0, 0, 0, 0};
    ASSERT_EQ(MatchingAccess::PrepareMatchRect(rc, 100, 80), 1);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.right, 3);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.bottom, 3);
}

TEST(PrepareMatchRect, PartsOutsideThePictureAreCut)
{
    tagRECT rc{-50, 70, 1000, 200};
    ASSERT_EQ(MatchingAccess::PrepareMatchRect(rc, 100, 80), 1);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.right, 99);
    EXPECT_EQ(rc.top, 70);
    EXPECT_EQ(rc.bottom, 79);
}

TEST(PrepareMatchRect, ARectangleWhollyOutsideCollapses)
{
    tagRECT rc{200, 10, 300, 50};
    EXPECT_EQ(MatchingAccess::PrepareMatchRect(rc, 100, 80), 0);
    EXPECT_EQ(rc.left, 99);
    EXPECT_EQ(rc.right, 99);
    tagRECT extreme{INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
    EXPECT_EQ(MatchingAccess::PrepareMatchRect(extreme, 100, 80), 1) << "widened click at -inf";
    EXPECT_GE(extreme.left, 0);
    EXPECT_LE(extreme.right, 99);
    tagRECT huge{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
    EXPECT_EQ(MatchingAccess::PrepareMatchRect(huge, 100, 80), 0);
}

// ---- GetMatchVector ----

TEST(GetMatchVector, AUniformColourGivesTheNarrowestVector)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 90, 40, 0);
    tagMATCHVECTOR mv = Vector();
    mv.byHueSoft = 0;
    mv.bySatSoft = 0;
    mv.sGamma = 17;
    mv.byYSoft = 3;
    tagRECT rc{5, 5, 30, 25};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    EXPECT_EQ(mv.cU, 40);
    EXPECT_EQ(mv.cV, 0);
    EXPECT_EQ(mv.byHueWidth, 3);
    EXPECT_EQ(mv.bySatWidth, 2);
    EXPECT_EQ(mv.byY, 90);
    EXPECT_EQ(mv.byYRange, 0);
    EXPECT_EQ(mv.sGamma, 17) << "correction fields stay";
    EXPECT_EQ(mv.byYSoft, 3);
    EXPECT_EQ(mv.byHueSoft, 0);
}

TEST(GetMatchVector, SoftnessWidensTheFoundWidths)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 90, 40, 0);
    for (int x = 0; x < 40; ++x)
        for (int line = 0; line < 30; ++line)
            SetYuv(viewer.m_dibSource, x, line, 90, 30 + x % 21, 0);
    tagMATCHVECTOR mv = Vector();
    mv.byHueSoft = 128;
    mv.bySatSoft = 128;
    tagRECT rc{0, 0, 40, 30};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    // Radii 30..50 (the last column, 50, lies outside the rectangle's
    // limit at width - 1, so 30..49): centre 30 + 10 = 40, half 10.
    EXPECT_EQ(mv.cU, 40);
    EXPECT_EQ(mv.cV, 0);
    EXPECT_EQ(mv.bySatWidth, 22); // trunc(10 / 0.5 + 2)
    EXPECT_EQ(mv.byHueWidth, 6);  // trunc(3 / 0.5)
}

TEST(GetMatchVector, AClickAnalysesTheThreeByThreeAroundIt)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 200, -30, -30);
    for (int x = 9; x < 12; ++x)
        for (int line = 19; line < 22; ++line)
            SetYuv(viewer.m_dibSource, x, line, 60, 0, 50);
    tagMATCHVECTOR mv = Vector();
    tagRECT rc{10, 20, 10, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    EXPECT_EQ(mv.byY, 60);
    EXPECT_EQ(mv.cU, 0);
    EXPECT_EQ(mv.cV, 50);
    EXPECT_EQ(mv.byYRange, 0);
}

TEST(GetMatchVector, LumaRangeCoversTheRegion)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 0, 20, 20);
    for (int x = 0; x < 40; ++x)
        for (int line = 0; line < 30; ++line)
            SetYuv(viewer.m_dibSource, x, line, 100 + x, 20, 20);
    tagMATCHVECTOR mv = Vector();
    tagRECT rc{0, 0, 40, 30};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    // Columns 0..38 (right edge limited to 39): lumas 100..138.
    EXPECT_EQ(mv.byYRange, 19); // (138 - 100 + 1) / 2
    EXPECT_EQ(mv.byY, 119);
}

TEST(GetMatchVector, AnalysesTheRegionAsCorrectedWithoutMatchVectors)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 100, 40, 0);
    tagCOLORCORRINFO current = DefaultRecord();
    current.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR | CC_CLIPPING;
    current.Base.sHue = 128; // 90 degrees: (40, 0) turns onto the V axis
    current.Match.dwCount = 2;
    current.Match.Vector[1].sUOffset = 60;
    current.Match.Vector[1].byHueWidth = 255;
    current.Match.Vector[1].bySatWidth = 255;
    current.Match.Vector[1].byYRange = 255;
    ASSERT_EQ(viewer.SetCorrection(current), 1);

    // What the viewer's filter does before the call.
    CVoraDib probeBefore = FlatYuv(8, 8, 120, 30, -20), probeAfter = probeBefore;
    viewer.m_filter.Process(probeBefore, probeBefore);

    tagMATCHVECTOR mv = Vector();
    tagRECT rc{0, 0, 30, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    // Turned onto the V axis by the primary hue; the vector's U offset of 60
    // (which covers every colour) is not applied.
    EXPECT_NEAR(mv.cU, 0, 1);
    EXPECT_NEAR(std::abs(mv.cV), 40, 1);

    viewer.m_filter.Process(probeAfter, probeAfter);
    EXPECT_EQ(std::memcmp(static_cast<const BYTE*>(probeBefore), static_cast<const BYTE*>(probeAfter),
                          8 * 3 * 8),
              0)
        << "the viewer's filter is set up as before";
}

TEST(GetMatchVector, FailsWithoutSourceOrForALine)
{
    MatchingAccess viewer;
    tagMATCHVECTOR mv = Vector();
    mv.cU = 5;
    const tagMATCHVECTOR before = mv;
    tagRECT rc{0, 0, 10, 10};
    EXPECT_EQ(viewer.GetMatchVector(mv, &rc), 0);
    EXPECT_TRUE(SameVector(before, mv));
    viewer.m_dibSource = FlatYuv(40, 30, 90, 40, 0);
    tagRECT outside{100, 0, 200, 20};
    EXPECT_EQ(viewer.GetMatchVector(mv, &outside), 0);
    EXPECT_TRUE(SameVector(before, mv));
    EXPECT_EQ(viewer.GetMatchVector(mv, nullptr), 0);
    EXPECT_TRUE(SameVector(before, mv));
}

TEST(GetMatchVector, GreyRegionGivesTheMinimumWedgeAroundBinZero)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 128, 0, 0);
    tagMATCHVECTOR mv = Vector();
    tagRECT rc{0, 0, 20, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    EXPECT_EQ(mv.cU, 0);
    EXPECT_EQ(mv.cV, 0);
    // Width 3; the grey colour's angle (3/2 pi, bin 384) lies 128 bins from
    // the centre 0.
    EXPECT_EQ(mv.byHueWidth, 3 + 128);
    EXPECT_EQ(mv.bySatWidth, 2);
}

TEST(GetMatchVector, VerySaturatedColoursAreLimitedToSignedBytes)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 128, 0, 0);
    // Equal weights at +-45 degrees, radius 179: centre 0, radius 179, which
    // does not fit a signed byte.
    for (int x = 0; x < 40; ++x)
        for (int line = 0; line < 30; ++line)
            SetYuv(viewer.m_dibSource, x, line, 128, 127, (x % 2) ? 127 : -127);
    tagMATCHVECTOR mv = Vector();
    tagRECT rc{0, 0, 20, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    EXPECT_EQ(mv.cU, 127);
    EXPECT_EQ(mv.cV, 0);
    viewer.m_dibSource = FlatYuv(40, 30, 128, -128, 127);
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    // Radius 180 at bin 192 (135 degrees): -127.3 and 127.3.
    EXPECT_EQ(mv.cU, -127);
    EXPECT_EQ(mv.cV, 127);
}

TEST(GetMatchVector, HuesAcrossBinZeroGiveACentreNearZero)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 128, 60, 0);
    for (int x = 0; x < 40; ++x)
        for (int line = 0; line < 30; ++line)
            SetYuv(viewer.m_dibSource, x, line, 128, 60, (x % 2) ? 6 : -6);
    tagMATCHVECTOR mv = Vector();
    mv.byHueSoft = 0;
    tagRECT rc{0, 0, 30, 30};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    EXPECT_EQ(mv.cV, 0);
    EXPECT_GE(mv.cU, 59);
    EXPECT_LT(mv.byHueWidth, 40) << "the wedge does not wrap round the circle";
}

// ---- AddToMatchVector ----

TEST(AddToMatchVector, TheSameColourKeepsTheVector)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 100, 40, 0);
    tagMATCHVECTOR mv = Vector();
    tagRECT rc{0, 0, 20, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &rc), 1);
    mv.byYRange = 30;
    const tagMATCHVECTOR before = mv;
    ASSERT_EQ(viewer.AddToMatchVector(mv, &rc), 1);
    EXPECT_EQ(mv.cU, 40);
    EXPECT_EQ(mv.cV, 0);
    EXPECT_EQ(mv.byY, before.byY);
    EXPECT_EQ(mv.byYRange, before.byYRange);
    EXPECT_GE(mv.byHueWidth, before.byHueWidth);
    EXPECT_GE(mv.bySatWidth, before.bySatWidth);
}

TEST(AddToMatchVector, AnotherColourWidensTowardIt)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 100, 40, 0);
    for (int x = 20; x < 40; ++x)
        for (int line = 0; line < 30; ++line)
            SetYuv(viewer.m_dibSource, x, line, 160, 0, 40);
    tagMATCHVECTOR mv = Vector();
    tagRECT left{0, 0, 15, 20}, right{22, 0, 38, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &left), 1);
    const tagMATCHVECTOR first = mv;
    ASSERT_EQ(viewer.AddToMatchVector(mv, &right), 1);
    // The merged wedge lies between 0 and 90 degrees and covers both.
    const double angle = std::atan2(mv.cV, mv.cU);
    EXPECT_NEAR(angle, std::atan(1.0), 0.05);
    EXPECT_GT(mv.byHueWidth, first.byHueWidth);
    EXPECT_GE(mv.byHueWidth, 64) << "half of 90 degrees at least";
    EXPECT_EQ(mv.byY, 130);
    EXPECT_EQ(mv.byYRange, 30);
}

TEST(AddToMatchVector, AWedgeAcrossTheZeroAngleStaysNarrow)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 100, 50, -5);
    for (int x = 20; x < 40; ++x)
        for (int line = 0; line < 30; ++line)
            SetYuv(viewer.m_dibSource, x, line, 100, 50, 5);
    tagMATCHVECTOR mv = Vector();
    tagRECT left{0, 0, 15, 20}, right{22, 0, 38, 20};
    ASSERT_EQ(viewer.GetMatchVector(mv, &left), 1);
    ASSERT_EQ(viewer.AddToMatchVector(mv, &right), 1);
    EXPECT_LT(mv.byHueWidth, 40);
    EXPECT_GE(mv.cU, 48);
}

TEST(AddToMatchVector, FailedAnalysisLeavesTheVector)
{
    MatchingAccess viewer;
    tagMATCHVECTOR mv = Vector();
    const tagMATCHVECTOR before = mv;
    tagRECT rc{0, 0, 20, 20};
    EXPECT_EQ(viewer.AddToMatchVector(mv, &rc), 0);
    EXPECT_TRUE(SameVector(before, mv));
}

TEST(AddToMatchVector, LumaWindowsBeyondTheEndsAreLimited)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(40, 30, 250, 40, 0);
    tagMATCHVECTOR mv = Vector();
    mv.byY = 10;
    mv.byYRange = 200;
    mv.cU = 40;
    tagRECT rc{0, 0, 20, 20};
    ASSERT_EQ(viewer.AddToMatchVector(mv, &rc), 1);
    // lo = -190, hi = 250: centre 30, range 220.
    EXPECT_EQ(mv.byY, 30);
    EXPECT_EQ(mv.byYRange, 220);
}

// ---- SetMatchVectorTo ----

struct SetCase {
    int byY, cU, cV;
    int refY, refU, refV;
};

tagMATCHVECTOR SetTo(const SetCase& c)
{
    MatchingAccess viewer;
    viewer.m_dibReference = FlatYuv(40, 30, c.refY, c.refU, c.refV);
    tagMATCHVECTOR mv = Vector();
    mv.byY = static_cast<uint8_t>(c.byY);
    mv.cU = static_cast<int8_t>(c.cU);
    mv.cV = static_cast<int8_t>(c.cV);
    tagRECT rc{2, 2, 20, 20};
    EXPECT_EQ(viewer.SetMatchVectorTo(mv, &rc), 1);
    return mv;
}

TEST(SetMatchVectorTo, AQuarterTurnGivesHueMinus127)
{
    const tagMATCHVECTOR mv = SetTo({128, 50, 0, 128, 0, 50});
    EXPECT_EQ(mv.sHue, -127);
    EXPECT_EQ(mv.sSat, 0);
    EXPECT_EQ(mv.sUOffset, 0);
    EXPECT_EQ(mv.sVOffset, 0);
    const tagMATCHVECTOR back = SetTo({128, 0, 50, 128, 50, 0});
    EXPECT_EQ(back.sHue, 127);
}

TEST(SetMatchVectorTo, EqualLumaGivesNeutralLumaFields)
{
    const tagMATCHVECTOR mv = SetTo({128, 30, 30, 128, 30, 30});
    EXPECT_EQ(mv.sGamma, 0);
    EXPECT_EQ(mv.sWhite, 0);
    EXPECT_EQ(mv.sBlack, 0);
    EXPECT_EQ(mv.sHue, 0);
    EXPECT_EQ(mv.sSat, 0);
}

TEST(SetMatchVectorTo, BrightAndDarkColoursUseWhiteAndBlack)
{
    const tagMATCHVECTOR bright = SetTo({200, 30, 0, 220, 30, 0});
    EXPECT_EQ(bright.sWhite, 25);
    EXPECT_EQ(bright.sBlack, 0);
    EXPECT_EQ(bright.sGamma, 0);
    const tagMATCHVECTOR dark = SetTo({40, 30, 0, 30, 30, 0});
    EXPECT_EQ(dark.sBlack, -11);
    EXPECT_EQ(dark.sWhite, 0);
    EXPECT_EQ(dark.sGamma, 0);
}

TEST(SetMatchVectorTo, MidTonesUseTheGamma)
{
    const tagMATCHVECTOR mv = SetTo({100, 30, 0, 140, 30, 0});
    // ln(100/256) / ln(140/256) = 1.5575: trunc(0.5575 * 50)
    EXPECT_EQ(mv.sGamma, 27);
    EXPECT_EQ(mv.sWhite, 0);
    EXPECT_EQ(mv.sBlack, 0);
    const tagMATCHVECTOR black = SetTo({100, 30, 0, 0, 30, 0});
    EXPECT_EQ(black.sGamma, 0) << "no gamma reaches luma 0";
    EXPECT_EQ(black.sBlack, -164); // trunc(0 - 100 * 256 / 156)
}

TEST(SetMatchVectorTo, ANeutralVectorIsShiftedInsteadOfTurned)
{
    const tagMATCHVECTOR mv = SetTo({128, 1, -1, 128, 20, -35});
    EXPECT_EQ(mv.sHue, 0);
    EXPECT_EQ(mv.sSat, 0);
    EXPECT_EQ(mv.sUOffset, 19);
    EXPECT_EQ(mv.sVOffset, -34);
}

TEST(SetMatchVectorTo, AGreyReferenceGivesNoTurnAndFullDesaturation)
{
    const tagMATCHVECTOR mv = SetTo({128, 40, 0, 128, 1, 1});
    EXPECT_EQ(mv.sHue, 0);
    EXPECT_LT(mv.sSat, -200);
}

TEST(SetMatchVectorTo, AClickSamplesThePoint)
{
    MatchingAccess viewer;
    viewer.m_dibReference = FlatYuv(40, 30, 128, 0, 0);
    for (int x = 4; x < 7; ++x)
        for (int line = 6; line < 9; ++line)
            SetYuv(viewer.m_dibReference, x, line, 128, 0, 50);
    tagMATCHVECTOR mv = Vector();
    mv.cU = 50;
    // A rectangle wholly right of the picture collapses onto its last column.
    tagRECT off{100, 7, 120, 7};
    ASSERT_EQ(viewer.SetMatchVectorTo(mv, &off), 1);
    EXPECT_EQ(mv.sHue, 0) << "the last column is grey";
    // A 3 x 3 area around (5, 7) averages the coloured patch.
    tagRECT rc{5, 7, 5, 7};
    ASSERT_EQ(viewer.SetMatchVectorTo(mv, &rc), 1);
    EXPECT_EQ(mv.sHue, -127);
}

TEST(SetMatchVectorTo, FailsWithoutReference)
{
    MatchingAccess viewer;
    tagMATCHVECTOR mv = Vector();
    const tagMATCHVECTOR before = mv;
    tagRECT rc{0, 0, 10, 10};
    EXPECT_EQ(viewer.SetMatchVectorTo(mv, &rc), 0);
    EXPECT_TRUE(SameVector(before, mv));
}

// ---- averaged samples ----

TEST(GetPixelAveragedRGB, ConvertsTheAverageWithoutLimiting)
{
    MatchingAccess viewer;
    viewer.m_dibSource = FlatYuv(20, 20, 128, 0, 0);
    viewer.m_dibReference = FlatYuv(20, 20, 250, 0, 100);
    int r = 0, g = 0, b = 0;
    ASSERT_EQ(viewer.GetPixelAveragedRGB(5, 5, r, g, b, 0), 1);
    EXPECT_EQ(r, 128);
    EXPECT_EQ(g, 128);
    EXPECT_EQ(b, 128);
    ASSERT_EQ(viewer.GetPixelAveragedRGB(5, 5, r, g, b, 1), 1);
    EXPECT_EQ(r, 390);
    EXPECT_EQ(g, (512 * 250 - 36500 + 1048832) / 512 - 2048);
    EXPECT_EQ(b, (512 * 250 - 100 + 1048832) / 512 - 2048);
}

TEST(GetPixelAveragedYUV, PicksThePictureAndFailsWithoutIt)
{
    MatchingAccess viewer;
    int y = -1, u = -1, v = -1;
    EXPECT_EQ(viewer.GetPixelAveragedYUV(1, 1, y, u, v, 0), 0);
    EXPECT_EQ(y, -1);
    int r = -1, g = -1, b = -1;
    EXPECT_EQ(viewer.GetPixelAveragedRGB(1, 1, r, g, b, 1), 0);
    EXPECT_EQ(r, -1);
    viewer.m_dibReference = FlatYuv(20, 20, 77, -3, 9);
    EXPECT_EQ(viewer.GetPixelAveragedYUV(1, 1, y, u, v, 0), 0) << "no source";
    ASSERT_EQ(viewer.GetPixelAveragedYUV(1, 1, y, u, v, 1), 1);
    EXPECT_EQ(y, 77);
    EXPECT_EQ(u, -3);
    EXPECT_EQ(v, 9);
}

} // namespace
