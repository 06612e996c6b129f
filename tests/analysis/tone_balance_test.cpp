#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "analysis/analysis_access.h"

using colorcorrect::test::AnalysisAccess;
using colorcorrect::test::CurvesSetTo;
using colorcorrect::test::CurvesWithin;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::PaintPatch;

namespace {

// Source patch at (20, 20), reference patch at (30, 10), both in 64 x 48
// pictures of mid gray.
void SetPatches(AnalysisAccess& viewer, int ys, int us, int vs, int yr, int ur, int vr)
{
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 20, 20, ys, us, vs);
    viewer.m_dibReference = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibReference, 30, 10, yr, ur, vr);
}

tagCOLORCORRINFO MarkedRecord()
{
    tagCOLORCORRINFO cc = CurvesSetTo(33);
    cc.Base.sYBlack = -3;
    cc.Base.sHue = 11;
    return cc;
}

int ToneBalance(AnalysisAccess& viewer, tagCOLORCORRINFO& cc, unsigned mode)
{
    return viewer.ToneBalance_1pt(cc, 20, 20, 30, 10, mode);
}

// The gamma control of ln(a/256) / ln(b/256) as written out.
int Control(int a, int b)
{
    const double g = std::log(a / 256.0) / std::log(b / 256.0);
    return static_cast<int>(g < 1 ? (g - 1) * 260 : (g - 1) * 50);
}

} // namespace

TEST(ToneBalance, WrongRecordSizeLeavesTheRecordUntouched)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    tagCOLORCORRINFO cc = MarkedRecord();
    cc.dwSize = 0;
    tagCOLORCORRINFO before;
    std::memcpy(&before, &cc, sizeof cc);
    EXPECT_EQ(ToneBalance(viewer, cc, 0), 0);
    EXPECT_EQ(std::memcmp(&before, &cc, sizeof cc), 0);
}

TEST(ToneBalance, MissingPictureFailsWithTheRecordUntouched)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    viewer.m_dibReference.Free();
    tagCOLORCORRINFO cc = MarkedRecord();
    EXPECT_EQ(ToneBalance(viewer, cc, 0), 0);
    EXPECT_EQ(cc.Base.sRWhite, 33);

    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    viewer.m_dibSource.Free();
    EXPECT_EQ(ToneBalance(viewer, cc, 0), 0);
    EXPECT_EQ(cc.Base.sRWhite, 33);
    EXPECT_TRUE(CurvesWithin(cc, 33));
}

TEST(ToneBalance, ModeOneAndModesAboveThreeOnlyClear)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    for (unsigned mode : {1u, 4u, 99u}) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(ToneBalance(viewer, cc, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
        EXPECT_EQ(cc.Base.sYBlack, -3);
        EXPECT_EQ(cc.Base.sHue, 11);
    }
}

TEST(ToneBalance, IdenticalPointsGiveNeutralCurvesInEveryMode)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 128, 0, 0);
    viewer.m_dibReference = viewer.m_dibSource;
    for (unsigned mode = 0; mode <= 3; ++mode) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(viewer.ToneBalance_1pt(cc, 20, 20, 20, 20, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
    }
}

TEST(ToneBalance, WhiteModeUsesTheFullLumaChromaDifference)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(ToneBalance(viewer, cc, 0), 1);
    // Source scaled by 2.55: (25, -25); reference by 1.7: (-8, 8).
    EXPECT_EQ(cc.Base.sRWhite, colorcorrect::RedOffset(33, -33));
    EXPECT_EQ(cc.Base.sGWhite, colorcorrect::GreenOffset(33, -33));
    EXPECT_EQ(cc.Base.sBWhite, colorcorrect::BlueOffset(33, -33));
    EXPECT_EQ(cc.Base.sRWhite, 46);
    EXPECT_EQ(cc.Base.sRBlack, 0);
    EXPECT_EQ(cc.Base.sRGamma, 0);
    EXPECT_EQ(cc.Base.sBBlack, 0);
    EXPECT_EQ(cc.Base.sYBlack, -3);
}

TEST(ToneBalance, GammaModeComparesBothColoursAtMidLuma)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(ToneBalance(viewer, cc, 2), 1);
    // Source scaled by 1.28: (12, -12); reference by 128/150: (-4, 4).
    const int rs = colorcorrect::RedValue(128, 12, -12), rr = colorcorrect::RedValue(128, -4, 4);
    const int gs = colorcorrect::GreenValue(128, 12, -12),
              gr = colorcorrect::GreenValue(128, -4, 4);
    const int bs = colorcorrect::BlueValue(128, 12, -12), br = colorcorrect::BlueValue(128, -4, 4);
    EXPECT_EQ(rs, 111);
    EXPECT_EQ(rr, 134);
    EXPECT_EQ(cc.Base.sRGamma, Control(rs, rr));
    EXPECT_EQ(cc.Base.sGGamma, Control(gs, gr));
    EXPECT_EQ(cc.Base.sBGamma, Control(bs, br));
    EXPECT_NE(cc.Base.sRGamma, 0);
    EXPECT_EQ(cc.Base.sRWhite, 0);
    EXPECT_EQ(cc.Base.sRBlack, 0);
}

TEST(ToneBalance, WhiteAndBlackModeUsesThePlainMidLumaDifference)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(ToneBalance(viewer, cc, 3), 1);
    // (12, -12) minus (-4, 4)
    EXPECT_EQ(cc.Base.sRWhite, colorcorrect::RedOffset(16, -16));
    EXPECT_EQ(cc.Base.sRBlack, colorcorrect::RedOffset(16, -16));
    EXPECT_EQ(cc.Base.sGWhite, colorcorrect::GreenOffset(16, -16));
    EXPECT_EQ(cc.Base.sGBlack, colorcorrect::GreenOffset(16, -16));
    EXPECT_EQ(cc.Base.sBWhite, colorcorrect::BlueOffset(16, -16));
    EXPECT_EQ(cc.Base.sBBlack, colorcorrect::BlueOffset(16, -16));
    EXPECT_EQ(cc.Base.sRGamma, 0);
}

TEST(ToneBalance, ZeroLumaGivesNeutralCurves)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 0, 20, -20, 150, -5, 5);
    for (unsigned mode : {0u, 2u, 3u}) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(ToneBalance(viewer, cc, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
    }
    SetPatches(viewer, 100, 20, -20, 0, -5, 5);
    for (unsigned mode : {0u, 2u, 3u}) {
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(ToneBalance(viewer, cc, mode), 1);
        EXPECT_TRUE(CurvesWithin(cc, 0)) << "mode " << mode;
    }
}

TEST(ToneBalance, RandomSamplesGiveBoundedFields)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> luma(0, 255), chroma(-128, 127);
    AnalysisAccess viewer;
    for (int round = 0; round < 300; ++round) {
        SetPatches(viewer, luma(rng), chroma(rng), chroma(rng), luma(rng), chroma(rng),
                   chroma(rng));
        for (unsigned mode = 0; mode <= 3; ++mode) {
            tagCOLORCORRINFO cc = MarkedRecord();
            ASSERT_EQ(ToneBalance(viewer, cc, mode), 1);
            ASSERT_TRUE(CurvesWithin(cc, 255)) << "round " << round << " mode " << mode;
        }
    }
}
