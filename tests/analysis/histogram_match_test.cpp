// Red, green and blue curves from the value histograms of two regions.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

#include "analysis/matching_access.h"
#include "colorcorrect/analysis/region_pixels.h"
#include "support/picture_pattern.h"

using colorcorrect::test::ApplyCorrection;
using colorcorrect::test::CurvesOf;
using colorcorrect::test::CurvesWithin;
using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::MatchingAccess;
using colorcorrect::test::ResetRecord;
using colorcorrect::test::SameRecord;
using colorcorrect::test::SetYuv;

namespace {

// A picture whose lumas follow `luma(i)` for pixel i (column-major over the
// lines), with chroma (u, v).
CVoraDib LumaPicture(int w, int h, const std::function<int(int)>& luma, int u = 0, int v = 0)
{
    CVoraDib dib = FlatYuv(w, h, 0, u, v);
    for (int x = 0; x < w; ++x)
        for (int line = 0; line < h; ++line)
            SetYuv(dib, x, line, std::clamp(luma(x * h + line), 0, 255), u, v);
    return dib;
}

// Luma of a bimodal picture: 60 % around 70, 40 % around 170, each a
// triangle 17 values wide.
int TwoHills(int i)
{
    const int k = i % 100;
    const int spread = (i / 100) % 17 - 8;
    return (k < 60 ? 70 : 170) + spread / 2 + (spread > 0 ? spread % 3 : 0);
}

int OneHill(int i)
{
    return 110 + (i % 21) - 10 + ((i / 21) % 7) - 3;
}

// Mean of one channel (0 red, 1 green, 2 blue) over a picture.
double ChannelMean(const CVoraDib& dib, int channel)
{
    double sum = 0;
    long count = 0;
    colorcorrect::ForEachYuvPixel(dib, [&](int y, int u, int v) {
        const int value = channel == 0   ? colorcorrect::RedValue(y, u, v)
                          : channel == 1 ? colorcorrect::GreenValue(y, u, v)
                                         : colorcorrect::BlueValue(y, u, v);
        sum += value;
        ++count;
    });
    return sum / static_cast<double>(count);
}

class HistoMatchTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("COLORCORRECT_DEBUG"); }
    MatchingAccess viewer;
};

TEST_F(HistoMatchTest, IdenticalPicturesGiveNeutralCurvesForAnyClusterCount)
{
    std::vector<CVoraDib> pictures;
    pictures.push_back(LumaPicture(50, 40, OneHill, 10, -20));
    pictures.push_back(LumaPicture(50, 40, TwoHills, -15, 25));
    CVoraDib pattern = FlatYuv(50, 40, 0, 0, 0);
    colorcorrect::test::FillPattern(pattern, 17);
    pictures.push_back(pattern);
    for (size_t i = 0; i < pictures.size(); ++i) {
        viewer.m_dibSource = pictures[i];
        viewer.m_dibReference = pictures[i];
        tagCOLORCORRINFO cc = DefaultRecord();
        cc.Base.sRWhite = 5;
        ASSERT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 1) << "picture " << i;
        EXPECT_TRUE(SameRecord(ResetRecord(DefaultRecord()), cc)) << "picture " << i;
    }
}

TEST_F(HistoMatchTest, AVeryDarkSourceGivesNeutralChannels)
{
    viewer.m_dibSource = FlatYuv(40, 40, 5, 0, 0);
    viewer.m_dibReference = LumaPicture(40, 40, OneHill);
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 1);
    EXPECT_TRUE(SameRecord(ResetRecord(DefaultRecord()), cc));
}

TEST_F(HistoMatchTest, RegionsSelectWhatIsCompared)
{
    // Left half dark, right half bright, in both pictures.
    auto halves = [](int i) { return i < 20 * 40 ? 60 + i % 9 : 180 + i % 9; };
    viewer.m_dibSource = LumaPicture(40, 40, halves);
    viewer.m_dibReference = LumaPicture(40, 40, halves);
    tagRECT left{0, 0, 20, 40}, right{20, 0, 40, 40};
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HistoMatch(cc, &right, &right), 1);
    EXPECT_TRUE(CurvesWithin(cc, 0));
    ASSERT_EQ(viewer.HistoMatch(cc, &right, &left), 1) << "bright reference, dark source";
    const auto curves = CurvesOf(cc);
    for (int ch = 0; ch < 3; ++ch) {
        const int white = curves.f[3 * ch], gamma = curves.f[3 * ch + 1],
                  black = curves.f[3 * ch + 2];
        BYTE lut[256];
        CBaseColorCorrectionFilter::BuildYLUT(lut, black, gamma, white, 0);
        EXPECT_NEAR(lut[64], 184, 6) << "channel " << ch << ": " << black << ", " << gamma
                                     << ", " << white;
    }
}

TEST_F(HistoMatchTest, TheCurrentHueRotationTurnsTheSourceFirst)
{
    const int hue = 40;
    const double theta = hue * colorcorrect::g_Pi / 256;
    CVoraDib reference = LumaPicture(40, 40, OneHill, 50, 10);
    // The source is the reference turned back by the rotation.
    const int su = static_cast<int>(std::lround(50 * std::cos(-theta) + 10 * std::sin(-theta)));
    const int sv = static_cast<int>(std::lround(10 * std::cos(-theta) - 50 * std::sin(-theta)));
    viewer.m_dibSource = LumaPicture(40, 40, OneHill, su, sv);
    viewer.m_dibReference = reference;
    viewer.m_ccCurrent.Base.sHue = hue;
    tagCOLORCORRINFO cc = DefaultRecord();
    ASSERT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 1);
    EXPECT_EQ(cc.Base.sHue, hue);
    EXPECT_TRUE(CurvesWithin(cc, 3));

    viewer.m_ccCurrent.Base.sHue = 0;
    ASSERT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 1);
    EXPECT_EQ(cc.Base.sHue, 0);
    EXPECT_FALSE(CurvesWithin(cc, 3)) << "without the rotation the colours differ";
}

TEST_F(HistoMatchTest, ASourceThatIsACurveOfTheReferenceIsBroughtBack)
{
    struct Case {
        const char* name;
        std::function<int(int)> luma;
        std::function<int(int)> curve;
    };
    const std::vector<Case> cases = {
        {"one hill shifted down", OneHill, [](int y) { return y - 25; }},
        {"one hill shifted up", OneHill, [](int y) { return y + 30; }},
        {"two hills shifted", TwoHills, [](int y) { return y - 15; }},
        {"two hills compressed", TwoHills, [](int y) { return 40 + y * 3 / 4; }},
        {"two hills darkened by a power",
         TwoHills, [](int y) { return static_cast<int>(255 * std::pow(y / 255.0, 1.3)); }},
    };
    for (const Case& c : cases) {
        CVoraDib reference = LumaPicture(60, 50, c.luma, 12, -8);
        CVoraDib source = LumaPicture(60, 50, [&](int i) { return c.curve(c.luma(i)); }, 12, -8);
        viewer.m_dibSource = source;
        viewer.m_dibReference = reference;
        tagCOLORCORRINFO cc = DefaultRecord();
        ASSERT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 1) << c.name;
        EXPECT_TRUE(CurvesWithin(cc, 255)) << c.name;
        CVoraDib corrected = source;
        ASSERT_EQ(ApplyCorrection(corrected, cc), 1) << c.name;
        for (int ch = 0; ch < 3; ++ch) {
            const double want = ChannelMean(reference, ch);
            const double before = ChannelMean(source, ch);
            const double after = ChannelMean(corrected, ch);
            EXPECT_LT(std::fabs(after - want), std::max(4.0, std::fabs(before - want) / 3))
                << c.name << ", channel " << ch << ": reference mean " << want
                << ", source " << before << ", corrected " << after;
        }
    }
}

TEST_F(HistoMatchTest, SmallSourceRegionFailsWithTheRecordReset)
{
    viewer.m_dibSource = LumaPicture(60, 60, OneHill);
    viewer.m_dibReference = LumaPicture(60, 60, TwoHills);
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR;
    cc.Base.sGGamma = 33;
    tagRECT small{5, 5, 14, 55};
    EXPECT_EQ(viewer.HistoMatch(cc, nullptr, &small), 0);
    EXPECT_TRUE(SameRecord(ResetRecord(DefaultRecord()), cc));
    EXPECT_EQ(cc.dwFlags, 1u);
}

TEST_F(HistoMatchTest, WrongSizeOrMissingPictureLeavesTheRecord)
{
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.Base.sRBlack = 7;
    const tagCOLORCORRINFO before = cc;
    EXPECT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 0);
    EXPECT_TRUE(SameRecord(before, cc));
    viewer.m_dibReference = LumaPicture(30, 30, OneHill);
    EXPECT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 0) << "no source";
    EXPECT_TRUE(SameRecord(before, cc));
    viewer.m_dibSource = LumaPicture(30, 30, OneHill);
    cc.dwSize = 0;
    EXPECT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 0);
    EXPECT_EQ(cc.Base.sRBlack, 7);
}

TEST_F(HistoMatchTest, RefusedTransformMemoryFailsAfterTheReset)
{
    viewer.m_dibSource = LumaPicture(30, 30, OneHill);
    viewer.m_dibReference = LumaPicture(30, 30, TwoHills);
    tagCOLORCORRINFO cc = DefaultRecord();
    cc.Base.sRBlack = 7;
    colorcorrect::SetPageAllocationBudget(0);
    const int result = viewer.HistoMatch(cc, nullptr, nullptr);
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(SameRecord(ResetRecord(DefaultRecord()), cc));
}

TEST_F(HistoMatchTest, ExtremeColoursStayWithinTheControlRange)
{
    std::mt19937 rng(5);
    for (int trial = 0; trial < 8; ++trial) {
        CVoraDib a = FlatYuv(40, 40, 0, 0, 0), b = FlatYuv(40, 40, 0, 0, 0);
        colorcorrect::test::FillPattern(a, rng());
        const int y = static_cast<int>(rng() % 256), u = static_cast<int>(rng() % 256) - 128,
                  v = static_cast<int>(rng() % 256) - 128;
        b = LumaPicture(40, 40, [&](int i) { return y + i % 5; }, u, v);
        viewer.m_dibSource = trial % 2 ? a : b;
        viewer.m_dibReference = trial % 2 ? b : a;
        viewer.m_ccCurrent.Base.sHue = static_cast<int16_t>(trial * 60 - 200);
        tagCOLORCORRINFO cc = DefaultRecord();
        ASSERT_EQ(viewer.HistoMatch(cc, nullptr, nullptr), 1);
        EXPECT_TRUE(CurvesWithin(cc, 255)) << "trial " << trial;
    }
}

} // namespace
