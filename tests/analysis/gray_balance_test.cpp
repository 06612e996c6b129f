#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "analysis/analysis_access.h"

using colorcorrect::test::AnalysisAccess;
using colorcorrect::test::ApplyCorrection;
using colorcorrect::test::CurvesOf;
using colorcorrect::test::CurvesSetTo;
using colorcorrect::test::CurvesWithin;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::PaintPatch;
using colorcorrect::test::SampleOf;
using colorcorrect::test::YuvSample;

namespace {

// A 64 x 48 source of mid gray with the 3 x 3 patch at (20, 20) set to
// (y, u, v).
void SetPatchSource(AnalysisAccess& viewer, int y, int u, int v)
{
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 20, 20, y, u, v);
}

// Record fields outside the nine curve fields, marked so changes show.
tagCOLORCORRINFO MarkedRecord()
{
    tagCOLORCORRINFO cc = CurvesSetTo(33);
    cc.dwFlags = CC_PRIMARY | CC_CLIPPING;
    cc.Base.sYWhite = 7;
    cc.Base.sSat = -9;
    return cc;
}

void ExpectOtherFieldsKept(const tagCOLORCORRINFO& cc)
{
    EXPECT_EQ(cc.dwFlags, CC_PRIMARY | CC_CLIPPING);
    EXPECT_EQ(cc.Base.sYWhite, 7);
    EXPECT_EQ(cc.Base.sSat, -9);
}

} // namespace

// ---- record checks and clearing ---------------------------------------------------

TEST(GrayBalance, WrongRecordSizeLeavesTheRecordUntouched)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 10, -10);
    tagCOLORCORRINFO cc = MarkedRecord();
    cc.dwSize = 560;
    tagCOLORCORRINFO before;
    std::memcpy(&before, &cc, sizeof cc);
    EXPECT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 0), 0);
    EXPECT_EQ(viewer.GrayBalance_2pt(cc, 20, 20, 1, 1), 0);
    EXPECT_EQ(viewer.GrayBalance_3pt(cc, 20, 20, 1, 1, 5, 5), 0);
    EXPECT_EQ(std::memcmp(&before, &cc, sizeof cc), 0);
}

TEST(GrayBalance, ModeAboveThreeClearsTheCurvesAndSucceeds)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 10, -10);
    tagCOLORCORRINFO cc = MarkedRecord();
    EXPECT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 7), 1);
    EXPECT_TRUE(CurvesWithin(cc, 0));
    ExpectOtherFieldsKept(cc);
}

TEST(GrayBalance, NeutralSampleGivesNeutralCurves)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 0, 0);
    for (unsigned mode = 0; mode <= 3; ++mode) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
        ExpectOtherFieldsKept(cc);
    }
    tagCOLORCORRINFO cc = MarkedRecord();
    EXPECT_EQ(viewer.GrayBalance_2pt(cc, 20, 20, 40, 40), 1);
    EXPECT_TRUE(CurvesWithin(cc, 0));
    cc = MarkedRecord();
    EXPECT_EQ(viewer.GrayBalance_3pt(cc, 20, 20, 40, 40, 5, 5), 1);
    EXPECT_TRUE(CurvesWithin(cc, 0));
}

// ---- one point: exact values ------------------------------------------------------------

TEST(GrayBalance1pt, WhiteModeUsesChromaScaledToFullLuma)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 10, -10);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 0), 1);
    // f = 2.56: u = 25, v = -25; offsets D(17925), D(-4725), D(-22725)
    EXPECT_EQ(cc.Base.sRWhite, 35);
    EXPECT_EQ(cc.Base.sGWhite, -9);
    EXPECT_EQ(cc.Base.sBWhite, -44);
    EXPECT_EQ(cc.Base.sRBlack, 0);
    EXPECT_EQ(cc.Base.sRGamma, 0);
    EXPECT_EQ(cc.Base.sGBlack, 0);
    EXPECT_EQ(cc.Base.sBGamma, 0);
    ExpectOtherFieldsKept(cc);
}

TEST(GrayBalance1pt, BlackModeUsesChromaScaledToTheRemainingRange)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 10, -10);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 1), 1);
    // f = 256 / 156: u = 16, v = -16; offsets D(11472), D(-3024), D(-14544)
    EXPECT_EQ(cc.Base.sRBlack, 22);
    EXPECT_EQ(cc.Base.sGBlack, -6);
    EXPECT_EQ(cc.Base.sBBlack, -28);
    EXPECT_EQ(cc.Base.sRWhite, 0);
    EXPECT_EQ(cc.Base.sGGamma, 0);
}

TEST(GrayBalance1pt, GammaModeCarriesEachChannelOntoMidLuma)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 10, -10);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 2), 1);
    // f = 1.28: y' = 128, u = 12, v = -12.
    const int red = colorcorrect::RoundDiv512(65536 + 24 - 8628);
    const int green = colorcorrect::RoundDiv512(65536 - 2112 + 4380);
    const int blue = colorcorrect::RoundDiv512(65536 + 10896 + 12);
    EXPECT_EQ(red, 111);
    const auto control = [](int c) {
        const double g = std::log(c / 256.0) / std::log(128.0 / 256.0);
        return static_cast<int>(g < 1 ? (g - 1) * 260 : (g - 1) * 50);
    };
    EXPECT_EQ(cc.Base.sRGamma, control(red));
    EXPECT_EQ(cc.Base.sGGamma, control(green));
    EXPECT_EQ(cc.Base.sBGamma, control(blue));
    EXPECT_GT(cc.Base.sRGamma, 0);
    EXPECT_LT(cc.Base.sBGamma, 0);
    EXPECT_EQ(cc.Base.sRWhite, 0);
    EXPECT_EQ(cc.Base.sRBlack, 0);
}

TEST(GrayBalance1pt, GammaModeScalesTheLumaLikeTheChroma)
{
    // Y = 49: 49 * (128 / 49) falls just below 128, so the mid level is 127.
    AnalysisAccess viewer;
    SetPatchSource(viewer, 49, 10, 0);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 2), 1);
    const int u = static_cast<int>(10 * (128.0 / 49));
    ASSERT_EQ(u, 26);
    const int blue = colorcorrect::RoundDiv512(512 * 127 + 908 * u);
    const double g = std::log(blue / 256.0) / std::log(127.0 / 256.0);
    EXPECT_EQ(cc.Base.sBGamma, static_cast<int>((g - 1) * 260));
    const double g128 = std::log(colorcorrect::RoundDiv512(512 * 128 + 908 * u) / 256.0) /
                        std::log(128.0 / 256.0);
    EXPECT_NE(cc.Base.sBGamma, static_cast<int>((g128 - 1) * 260));
}

TEST(GrayBalance1pt, WhiteAndBlackModeSetsBothToTheMidLumaOffset)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 100, 10, -10);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 3), 1);
    // f = 1.28: u = 12, v = -12; offsets D(8604), D(-2268), D(-10908)
    EXPECT_EQ(cc.Base.sRWhite, 17);
    EXPECT_EQ(cc.Base.sRBlack, 17);
    EXPECT_EQ(cc.Base.sGWhite, -4);
    EXPECT_EQ(cc.Base.sGBlack, -4);
    EXPECT_EQ(cc.Base.sBWhite, -21);
    EXPECT_EQ(cc.Base.sBBlack, -21);
    EXPECT_EQ(cc.Base.sRGamma, 0);
}

TEST(GrayBalance1pt, LargeOffsetsAreClamped)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 4, 120, -120);
    for (unsigned mode = 0; mode <= 3; ++mode) {
        tagCOLORCORRINFO cc = MarkedRecord();
        ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 255)) << "mode " << mode;
    }
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 0), 1);
    EXPECT_EQ(cc.Base.sRWhite, 255);
    EXPECT_EQ(cc.Base.sBWhite, -255);
}

TEST(GrayBalance1pt, WithoutASourceEveryModeGivesNeutralCurves)
{
    AnalysisAccess viewer; // no source: every sample reads (0, 0, 0)
    for (unsigned mode = 0; mode <= 4; ++mode) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(viewer.GrayBalance_1pt(cc, 5, 5, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
    }
}

TEST(GrayBalance1pt, ZeroLumaWithChromaGivesNeutralCurvesWhereTheScaleIsUndefined)
{
    AnalysisAccess viewer;
    SetPatchSource(viewer, 0, 30, -40);
    for (unsigned mode : {0u, 2u, 3u}) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
    }
    // The black mode scales by 256 / 256 and is defined.
    tagCOLORCORRINFO cc = MarkedRecord();
    EXPECT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 1), 1);
    EXPECT_EQ(cc.Base.sRBlack, colorcorrect::RedOffset(30, -40));
}

// ---- two points ---------------------------------------------------------------------------

TEST(GrayBalance2pt, DarkPointSetsBlackBrightPointSetsWhite)
{
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 10, 10, 40, 12, -6);  // dark
    PaintPatch(viewer.m_dibSource, 40, 30, 200, -8, 14); // bright
    for (int swap = 0; swap < 2; ++swap) {
        tagCOLORCORRINFO cc = MarkedRecord();
        const int r = swap ? viewer.GrayBalance_2pt(cc, 40, 30, 10, 10)
                           : viewer.GrayBalance_2pt(cc, 10, 10, 40, 30);
        ASSERT_EQ(r, 1);
        EXPECT_EQ(cc.Base.sRBlack, colorcorrect::RedOffset(12, -6));
        EXPECT_EQ(cc.Base.sGBlack, colorcorrect::GreenOffset(12, -6));
        EXPECT_EQ(cc.Base.sBBlack, colorcorrect::BlueOffset(12, -6));
        EXPECT_EQ(cc.Base.sRWhite, colorcorrect::RedOffset(-8, 14));
        EXPECT_EQ(cc.Base.sGWhite, colorcorrect::GreenOffset(-8, 14));
        EXPECT_EQ(cc.Base.sBWhite, colorcorrect::BlueOffset(-8, 14));
        EXPECT_EQ(cc.Base.sRGamma, 0);
        EXPECT_EQ(cc.Base.sGGamma, 0);
        EXPECT_EQ(cc.Base.sBGamma, 0);
        ExpectOtherFieldsKept(cc);
    }
}

TEST(GrayBalance2pt, EqualLumaMakesTheSecondPointTheDarkOne)
{
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 10, 10, 100, 12, -6);
    PaintPatch(viewer.m_dibSource, 40, 30, 100, -8, 14);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.GrayBalance_2pt(cc, 10, 10, 40, 30), 1);
    EXPECT_EQ(cc.Base.sRBlack, colorcorrect::RedOffset(-8, 14));
    EXPECT_EQ(cc.Base.sRWhite, colorcorrect::RedOffset(12, -6));
    EXPECT_EQ(cc.Base.sBBlack, colorcorrect::BlueOffset(-8, 14));
    EXPECT_EQ(cc.Base.sBWhite, colorcorrect::BlueOffset(12, -6));
}

// ---- three points -----------------------------------------------------------------------------

namespace {

struct Patch {
    int x, y, Y, U, V;
};

// The curves the three-point balance should store for three samples in
// darkest-first order.
colorcorrect::test::Curves ExpectedThreePoint(const Patch (&p)[3])
{
    colorcorrect::test::Curves c{};
    for (int ch = 0; ch < 3; ++ch) {
        int value[3], offset[3];
        for (int i = 0; i < 3; ++i) {
            value[i] = ch == 0   ? colorcorrect::RedValue(p[i].Y, p[i].U, p[i].V)
                       : ch == 1 ? colorcorrect::GreenValue(p[i].Y, p[i].U, p[i].V)
                                 : colorcorrect::BlueValue(p[i].Y, p[i].U, p[i].V);
            offset[i] = ch == 0   ? colorcorrect::RedOffset(p[i].U, p[i].V)
                        : ch == 1 ? colorcorrect::GreenOffset(p[i].U, p[i].V)
                                  : colorcorrect::BlueOffset(p[i].U, p[i].V);
        }
        int black = 0, gamma = 0, white = 0;
        colorcorrect::FitChannelCurve(value[0], value[1], value[2], offset[0], offset[1],
                                      offset[2], black, gamma, white);
        c.f[ch * 3 + 0] = white;
        c.f[ch * 3 + 1] = gamma;
        c.f[ch * 3 + 2] = black;
    }
    return c;
}

void ExpectCurves(const tagCOLORCORRINFO& cc, const colorcorrect::test::Curves& expected)
{
    const colorcorrect::test::Curves actual = CurvesOf(cc);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(actual.f[i], expected.f[i]) << "curve field " << i;
}

} // namespace

TEST(GrayBalance3pt, PointsAreOrderedDarkestFirst)
{
    const Patch p[3] = {{10, 10, 200, -6, 9}, {30, 20, 50, 12, -4}, {50, 35, 120, 3, 7}};
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    for (const Patch& q : p)
        PaintPatch(viewer.m_dibSource, q.x, q.y, q.Y, q.U, q.V);
    const Patch sorted[3] = {p[1], p[2], p[0]};
    const colorcorrect::test::Curves expected = ExpectedThreePoint(sorted);
    // Every argument order gives the same curves.
    const int perm[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& o : perm) {
        tagCOLORCORRINFO cc = MarkedRecord();
        ASSERT_EQ(viewer.GrayBalance_3pt(cc, p[o[0]].x, p[o[0]].y, p[o[1]].x, p[o[1]].y,
                                         p[o[2]].x, p[o[2]].y),
                  1);
        ExpectCurves(cc, expected);
        ExpectOtherFieldsKept(cc);
    }
}

TEST(GrayBalance3pt, EqualLumasKeepTheirArgumentOrder)
{
    // Chroma chosen so that the channel targets differ by their rounding and
    // the fit depends on the order.
    const Patch p[3] = {{10, 10, 100, 5, -10}, {30, 20, 100, -15, -30}, {50, 35, 100, 5, 25}};
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    for (const Patch& q : p)
        PaintPatch(viewer.m_dibSource, q.x, q.y, q.Y, q.U, q.V);
    const Patch orders[2][3] = {{p[0], p[1], p[2]}, {p[2], p[0], p[1]}};
    colorcorrect::test::Curves results[2];
    for (int k = 0; k < 2; ++k) {
        const Patch (&o)[3] = orders[k];
        tagCOLORCORRINFO cc = MarkedRecord();
        ASSERT_EQ(viewer.GrayBalance_3pt(cc, o[0].x, o[0].y, o[1].x, o[1].y, o[2].x, o[2].y), 1);
        ExpectCurves(cc, ExpectedThreePoint(o));
        results[k] = CurvesOf(cc);
    }
    // The order matters here, so the test can tell a sort that moves them.
    EXPECT_NE(std::memcmp(results[0].f, results[1].f, sizeof results[0].f), 0);
}

TEST(GrayBalance3pt, WithoutASourceTheCurvesStayNeutral)
{
    AnalysisAccess viewer;
    tagCOLORCORRINFO cc = MarkedRecord();
    EXPECT_EQ(viewer.GrayBalance_3pt(cc, 1, 1, 2, 2, 3, 3), 1);
    EXPECT_TRUE(CurvesWithin(cc, 0));
}

// ---- properties -------------------------------------------------------------------------

namespace {

// Corrects the source with cc and returns the patch's chroma afterwards.
YuvSample CorrectedPatch(const AnalysisAccess& viewer, const tagCOLORCORRINFO& cc, int x, int y)
{
    CVoraDib out = viewer.m_dibSource;
    EXPECT_EQ(ApplyCorrection(out, cc), 1);
    return SampleOf(out, x, y);
}

} // namespace

TEST(GrayBalanceProperty, OnePointWhiteMakesTheGrayPatchNeutral)
{
    const int casts[][3] = {{120, 15, -10}, {180, -12, 8}, {90, 6, 14}, {220, -5, -9}};
    for (const auto& c : casts) {
        AnalysisAccess viewer;
        SetPatchSource(viewer, c[0], c[1], c[2]);
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.GrayBalance_1pt(cc, 20, 20, 0), 1);
        const YuvSample s = CorrectedPatch(viewer, cc, 20, 20);
        // The white offset is a straight-line approximation: a few steps of
        // the cast remain, far less than there was.
        EXPECT_NEAR(s.U, 0, 4) << "cast " << c[0] << " " << c[1] << " " << c[2];
        EXPECT_NEAR(s.V, 0, 4) << "cast " << c[0] << " " << c[1] << " " << c[2];
        EXPECT_LT(std::abs(s.U) + std::abs(s.V), (std::abs(c[1]) + std::abs(c[2])) / 3);
    }
}

TEST(GrayBalanceProperty, TwoPointsMakeBothGrayPatchesNeutral)
{
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 10, 10, 40, 6, -4);
    PaintPatch(viewer.m_dibSource, 40, 30, 210, 8, -6);
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.GrayBalance_2pt(cc, 10, 10, 40, 30), 1);
    for (const auto& at : {std::pair{10, 10}, std::pair{40, 30}}) {
        const YuvSample s = CorrectedPatch(viewer, cc, at.first, at.second);
        EXPECT_NEAR(s.U, 0, 3) << "patch at " << at.first << ", " << at.second;
        EXPECT_NEAR(s.V, 0, 3) << "patch at " << at.first << ", " << at.second;
    }
}

TEST(GrayBalanceProperty, ThreePointsMakeAllGrayPatchesNeutral)
{
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    const Patch p[3] = {{10, 10, 50, 5, -4}, {30, 20, 120, 8, -6}, {50, 35, 200, 10, -8}};
    for (const Patch& q : p)
        PaintPatch(viewer.m_dibSource, q.x, q.y, q.Y, q.U, q.V);
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.GrayBalance_3pt(cc, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y), 1);
    for (const Patch& q : p) {
        const YuvSample s = CorrectedPatch(viewer, cc, q.x, q.y);
        EXPECT_NEAR(s.U, 0, 3) << "patch of luma " << q.Y;
        EXPECT_NEAR(s.V, 0, 3) << "patch of luma " << q.Y;
    }
}

TEST(GrayBalanceProperty, RandomSamplesGiveBoundedFields)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> luma(0, 255), chroma(-128, 127), pos(-20, 80);
    AnalysisAccess viewer;
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    for (int round = 0; round < 300; ++round) {
        for (int k = 0; k < 3; ++k)
            PaintPatch(viewer.m_dibSource, 10 + 20 * k, 10 + 12 * k, luma(rng), chroma(rng),
                       chroma(rng));
        for (unsigned mode = 0; mode <= 3; ++mode) {
            tagCOLORCORRINFO cc = CurvesSetTo(0);
            ASSERT_EQ(viewer.GrayBalance_1pt(cc, pos(rng), pos(rng), mode), 1);
            ASSERT_TRUE(CurvesWithin(cc, 255)) << "round " << round << " mode " << mode;
        }
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.GrayBalance_2pt(cc, 10, 10, 30, 22), 1);
        ASSERT_TRUE(CurvesWithin(cc, 255)) << "round " << round;
        cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.GrayBalance_3pt(cc, 10, 10, 30, 22, 50, 34), 1);
        ASSERT_TRUE(CurvesWithin(cc, 256)) << "round " << round;
    }
}
