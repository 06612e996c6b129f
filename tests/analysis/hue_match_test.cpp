// Hue rotation from the hue histograms of two regions, and the region checks
// both matches share.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/matching_access.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::MatchingAccess;
using colorcorrect::test::ResetRecord;
using colorcorrect::test::SameRecord;
using colorcorrect::test::SetYuv;

namespace {

int BinOf(int u, int v)
{
    return static_cast<int>(ChromaAngle(u, v) * 512 / colorcorrect::g_TwoPi + 0.5) & 511;
}

// A chroma pair well away from grey whose hue bin is exactly `bin`.
void ChromaOfBin(int bin, int& u, int& v)
{
    const double a = bin * colorcorrect::g_TwoPi / 512;
    for (int r = 90; r < 128; ++r) {
        u = static_cast<int>(std::lround(r * std::cos(a)));
        v = static_cast<int>(std::lround(r * std::sin(a)));
        if (BinOf(u, v) == bin)
            return;
    }
    ADD_FAILURE() << "no chroma pair for bin " << bin;
}

// A w x h picture whose columns carry the hues of `bins` (bin i in column
// share weights[i]), luma 120.
CVoraDib HuePicture(int w, int h, const std::vector<int>& bins, const std::vector<int>& weights)
{
    CVoraDib dib = FlatYuv(w, h, 120, 0, 0);
    int total = 0;
    for (int weight : weights)
        total += weight;
    int x = 0;
    for (size_t i = 0; i < bins.size(); ++i) {
        int u = 0, v = 0;
        ChromaOfBin(bins[i], u, v);
        const int columns = w * weights[i] / total;
        for (int c = 0; c < columns && x < w; ++c, ++x)
            for (int line = 0; line < h; ++line)
                SetYuv(dib, x, line, 120, u, v);
    }
    return dib;
}

class HueMatchTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("COLORCORRECT_DEBUG"); }
    void TearDown() override { unsetenv("COLORCORRECT_DEBUG"); }
    MatchingAccess viewer;
};

TEST_F(HueMatchTest, ReferenceHuesAheadGiveANegativeRotation)
{
    viewer.m_dibSource = HuePicture(60, 20, {100, 130, 300}, {3, 1, 2});
    viewer.m_dibReference = HuePicture(60, 20, {120, 150, 320}, {3, 1, 2});
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 1);
    EXPECT_EQ(cc.Base.sHue, -20);
    tagCOLORCORRINFO expected = ResetRecord(DefaultRecord());
    expected.Base.sHue = -20;
    EXPECT_TRUE(SameRecord(expected, cc));
}

TEST_F(HueMatchTest, SourceHuesAheadGiveAPositiveRotationAcrossBinZero)
{
    viewer.m_dibSource = HuePicture(60, 20, {5, 40}, {2, 1});
    viewer.m_dibReference = HuePicture(60, 20, {480, 3}, {2, 1});
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 1);
    EXPECT_EQ(cc.Base.sHue, 37);
}

TEST_F(HueMatchTest, GreyRegionsGiveNoRotation)
{
    viewer.m_dibSource = FlatYuv(30, 30, 100, 7, -7);   // radius 9.9: not counted
    viewer.m_dibReference = FlatYuv(30, 30, 150, 10, 0); // radius 10: not counted
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.Base.sHue = 77;
    ASSERT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 1);
    EXPECT_EQ(cc.Base.sHue, 0);
    EXPECT_EQ(cc.dwFlags, CC_PRIMARY);
}

TEST_F(HueMatchTest, OnlyOneSideColouredGivesNoRotation)
{
    viewer.m_dibSource = FlatYuv(30, 30, 100, 0, 0);
    viewer.m_dibReference = HuePicture(30, 30, {200}, {1});
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 1);
    EXPECT_EQ(cc.Base.sHue, 0);
}

TEST_F(HueMatchTest, RegionsSelectWhatIsCompared)
{
    // Left half of each picture has one hue, right half another.
    CVoraDib source = HuePicture(40, 20, {50, 250}, {1, 1});
    CVoraDib reference = HuePicture(40, 20, {60, 200}, {1, 1});
    viewer.m_dibSource = source;
    viewer.m_dibReference = reference;
    tagRECT left{0, 0, 20, 20}, right{20, 0, 40, 20};
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HueMatch(cc, &left, &left), 1);
    EXPECT_EQ(cc.Base.sHue, -10);
    ASSERT_EQ(viewer.HueMatch(cc, &right, &right), 1);
    EXPECT_EQ(cc.Base.sHue, 50);
    // Reference region first, source second.
    ASSERT_EQ(viewer.HueMatch(cc, &right, &left), 1);
    EXPECT_EQ(cc.Base.sHue, -150);
}

TEST_F(HueMatchTest, ResetKeepsTheClippingSettings)
{
    viewer.m_dibSource = FlatYuv(30, 30, 100, 0, 0);
    viewer.m_dibReference = FlatYuv(30, 30, 100, 0, 0);
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR | CC_CLIPPING;
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftY = 30;
    cc.Base.sYGamma = 40;
    cc.Match.dwCount = 3;
    const tagCOLORCORRINFO before = cc;
    ASSERT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 1);
    EXPECT_TRUE(SameRecord(ResetRecord(before), cc));
    EXPECT_EQ(cc.Base.wRangeFlags, RANGE_LEGAL);
    EXPECT_EQ(cc.Base.bySoftY, 30);
}

TEST_F(HueMatchTest, WrongRecordSizeOrMissingPictureLeavesTheRecord)
{
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.Base.sHue = 12;
    const tagCOLORCORRINFO before = cc;
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 0) << "no pictures";
    EXPECT_TRUE(SameRecord(before, cc));
    viewer.m_dibSource = FlatYuv(30, 30, 100, 0, 0);
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 0) << "no reference";
    EXPECT_TRUE(SameRecord(before, cc));
    viewer.m_dibReference = FlatYuv(30, 30, 100, 0, 0);
    cc.dwSize = 563;
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, nullptr), 0) << "wrong size";
    EXPECT_EQ(cc.Base.sHue, 12);
}

TEST_F(HueMatchTest, RefusedTransformMemoryFailsAfterTheReset)
{
    viewer.m_dibSource = HuePicture(30, 30, {10}, {1});
    viewer.m_dibReference = HuePicture(30, 30, {40}, {1});
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.Base.sHue = 12;
    colorcorrect::SetPageAllocationBudget(0);
    const int result = viewer.HueMatch(cc, nullptr, nullptr);
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(SameRecord(ResetRecord(DefaultRecord()), cc));
}

TEST_F(HueMatchTest, SmallSourceRegionFailsWithTheRecordReset)
{
    viewer.m_dibSource = FlatYuv(60, 60, 100, 0, 0);
    viewer.m_dibReference = FlatYuv(60, 60, 100, 0, 0);
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.Base.sSat = 50;
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    tagRECT small{0, 0, 9, 50};
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, &small), 0);
    tagCOLORCORRINFO expected = DefaultRecord();
    expected.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    EXPECT_TRUE(SameRecord(ResetRecord(expected), cc));
    EXPECT_EQ(cc.dwFlags, 1u);
    tagRECT enough{0, 0, 10, 10};
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, &enough), 1);
    EXPECT_EQ(viewer.HueMatch(cc, &small, nullptr), 0) << "the reference region is checked too";
}

TEST_F(HueMatchTest, RegionsAreCutAtThePictureEdgesBeforeTheSizeTest)
{
    viewer.m_dibSource = FlatYuv(40, 40, 100, 0, 0);
    viewer.m_dibReference = FlatYuv(40, 40, 100, 0, 0);
    tagCOLORCORRINFO cc = DefaultRecord();
    tagRECT beyond{31, 0, 100, 40};
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, &beyond), 0) << "9 columns left";
    beyond.left = 30;
    EXPECT_EQ(viewer.HueMatch(cc, nullptr, &beyond), 1) << "10 columns left";
    tagRECT before{-100, -100, 10, 10};
    EXPECT_EQ(viewer.HueMatch(cc, &before, nullptr), 1);
    tagRECT reversed{30, 0, 10, 40};
    EXPECT_EQ(viewer.HueMatch(cc, &reversed, nullptr), 0) << "edges in the wrong order";
}

TEST_F(HueMatchTest, SmallRegionPrintsOneDebugLineWhenDebugging)
{
    viewer.m_dibSource = FlatYuv(40, 40, 100, 0, 0);
    viewer.m_dibReference = FlatYuv(40, 40, 100, 0, 0);
    tagCOLORCORRINFO cc = DefaultRecord();
    tagRECT small{0, 0, 5, 5};

    testing::internal::CaptureStderr();
    EXPECT_EQ(viewer.HueMatch(cc, &small, &small), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "debugging off: no line";

    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(viewer.HueMatch(cc, &small, &small), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "CColorCorrectionViewer::HistoRef: Minimum rectangle = 10 x 10\r\n");
}

TEST(CutMatchRegion, NullMeansTheWholePicture)
{
    tagRECT rc{};
    ASSERT_EQ(MatchingAccess::CutMatchRegion(nullptr, 72, 48, rc), 1);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.top, 0);
    EXPECT_EQ(rc.right, 72);
    EXPECT_EQ(rc.bottom, 48);
}

TEST(CutMatchRegion, ExtremeValuesAreCutWithoutOverflow)
{
    tagRECT in{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, rc{};
    ASSERT_EQ(MatchingAccess::CutMatchRegion(&in, 72, 48, rc), 1);
    EXPECT_EQ(rc.left, 0);
    EXPECT_EQ(rc.right, 72);
    EXPECT_EQ(rc.bottom, 48);
}

} // namespace
