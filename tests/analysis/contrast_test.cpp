#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "analysis/analysis_access.h"

using colorcorrect::test::AnalysisAccess;
using colorcorrect::test::ApplyCorrection;
using colorcorrect::test::CurvesSetTo;
using colorcorrect::test::CurvesWithin;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::PaintPatch;
using colorcorrect::test::SampleOf;

namespace {

// Patches of luma y1 at (10, 10) and y2 at (40, 30).
void SetLumas(AnalysisAccess& viewer, int y1, int y2)
{
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 10, 10, y1, 0, 0);
    PaintPatch(viewer.m_dibSource, 40, 30, y2, 0, 0);
}

tagCOLORCORRINFO MarkedRecord()
{
    tagCOLORCORRINFO cc = CurvesSetTo(33);
    cc.Base.sYWhite = 5;
    cc.Base.sYBlack = 6;
    cc.Base.sYGamma = 7;
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA; // the caller's flags do not count
    return cc;
}

} // namespace

TEST(Contrast, FullRangeStretchesTheSpan)
{
    AnalysisAccess viewer;
    SetLumas(viewer, 20, 220);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 1);
    EXPECT_EQ(cc.Base.sYBlack, -25); // trunc(-25.5)
    EXPECT_EQ(cc.Base.sYWhite, 44);  // trunc(44.625)
    EXPECT_EQ(cc.Base.sYGamma, 7);
    EXPECT_TRUE(CurvesWithin(cc, 33));
    EXPECT_EQ(cc.Base.sRWhite, 33);
    EXPECT_EQ(cc.Base.wRangeFlags, RANGE_VIDEO_LUMA);

    cc = MarkedRecord();
    ASSERT_EQ(viewer.Contrast(cc, 40, 30, 10, 10), 1);
    EXPECT_EQ(cc.Base.sYBlack, -25);
    EXPECT_EQ(cc.Base.sYWhite, 44);
}

TEST(Contrast, VideoRangeFollowsTheCurrentCorrection)
{
    AnalysisAccess viewer;
    SetLumas(viewer, 20, 220);
    viewer.m_ccCurrent.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    tagCOLORCORRINFO cc = MarkedRecord();
    cc.Base.wRangeFlags = 0;
    ASSERT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 1);
    // f = 219 / 200: black trunc(-4.38), white trunc(38.325 - 20)
    EXPECT_EQ(cc.Base.sYBlack, -4);
    EXPECT_EQ(cc.Base.sYWhite, 18);
}

TEST(Contrast, EqualLumasGiveNoChange)
{
    AnalysisAccess viewer;
    SetLumas(viewer, 90, 90);
    for (WORD flags : {WORD{0}, RANGE_VIDEO_LUMA}) {
        viewer.m_ccCurrent.Base.wRangeFlags = flags;
        tagCOLORCORRINFO cc = MarkedRecord();
        EXPECT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 1);
        EXPECT_EQ(cc.Base.sYBlack, 0);
        EXPECT_EQ(cc.Base.sYWhite, 0);
        EXPECT_EQ(cc.Base.sYGamma, 7);
    }
    AnalysisAccess empty; // no source: both samples read luma 0
    tagCOLORCORRINFO cc = MarkedRecord();
    EXPECT_EQ(empty.Contrast(cc, 10, 10, 40, 30), 1);
    EXPECT_EQ(cc.Base.sYBlack, 0);
    EXPECT_EQ(cc.Base.sYWhite, 0);
}

TEST(Contrast, NarrowSpansAreClamped)
{
    AnalysisAccess viewer;
    SetLumas(viewer, 100, 101);
    tagCOLORCORRINFO cc = MarkedRecord();
    ASSERT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 1);
    EXPECT_EQ(cc.Base.sYBlack, -255);
    EXPECT_EQ(cc.Base.sYWhite, 255);
}

TEST(Contrast, WrongRecordSizeLeavesTheRecordUntouched)
{
    AnalysisAccess viewer;
    SetLumas(viewer, 20, 220);
    tagCOLORCORRINFO cc = MarkedRecord();
    cc.dwSize = 563;
    tagCOLORCORRINFO before;
    std::memcpy(&before, &cc, sizeof cc);
    EXPECT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 0);
    EXPECT_EQ(std::memcmp(&before, &cc, sizeof cc), 0);
}

TEST(Contrast, TheLumaCurveCarriesThePointsToBlackAndWhite)
{
    AnalysisAccess viewer;
    SetLumas(viewer, 30, 200);
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 1);
    CVoraDib out = viewer.m_dibSource;
    ASSERT_EQ(ApplyCorrection(out, cc), 1);
    EXPECT_NEAR(SampleOf(out, 10, 10).Y, 0, 3);
    EXPECT_NEAR(SampleOf(out, 40, 30).Y, 255, 3);
}

TEST(Contrast, RandomLumasGiveBoundedFields)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> luma(0, 255);
    AnalysisAccess viewer;
    for (int round = 0; round < 500; ++round) {
        SetLumas(viewer, luma(rng), luma(rng));
        viewer.m_ccCurrent.Base.wRangeFlags = (round & 1) ? RANGE_VIDEO_LUMA : 0;
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.Contrast(cc, 10, 10, 40, 30), 1);
        ASSERT_GE(cc.Base.sYBlack, -255);
        ASSERT_LE(cc.Base.sYBlack, 255);
        ASSERT_GE(cc.Base.sYWhite, -255);
        ASSERT_LE(cc.Base.sYWhite, 255);
    }
}
