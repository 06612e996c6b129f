#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "display_filter_access.h"
#include "support/picture_compare.h"

using colorcorrect::test::DisplayFilterAccess;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::Record;

namespace {

// The intensity table of the given exponents, computed here from its
// definition.
void ExpectCurves(const unsigned short* table, double e1, double e2)
{
    for (int n = 0; n < 256; ++n) {
        const double x = n / 256.0;
        const int first = static_cast<int>(std::pow(x, e1) * 256.0) & 255;
        const int second = static_cast<int>(std::pow(x, e2) * 256.0);
        ASSERT_EQ(table[n], first << 8) << "first curve at " << n;
        ASSERT_EQ(table[256 + n], second) << "second curve at " << n;
    }
}

bool SameTable(const unsigned short* a, const unsigned short* b)
{
    return std::memcmp(a, b, 512 * sizeof(unsigned short)) == 0;
}

} // namespace

// ---- construction ----------------------------------------------------------------

TEST(DisplayFilterObject, StartsWithTheDocumentedState)
{
    DisplayFilterAccess f;
    EXPECT_EQ(f.m_pDisplayBuffer, nullptr);
    EXPECT_EQ(f.m_uDisplayMode, 0u);
    EXPECT_EQ(f.m_uDisplayField, 1u);
    EXPECT_EQ(f.m_uChannel, 0u);
    EXPECT_EQ(f.m_uIsolateVector, 0u);
    EXPECT_EQ(f.m_uIsolateType, 0u);
    EXPECT_EQ(f.m_dwMatchCRC, 0xFFFFFFFFu);
    for (int a : f.m_aAngles)
        EXPECT_EQ(a, 0);
    for (float m : f.m_afRot)
        EXPECT_EQ(m, 0.0f);

    tagMATCHVECTOR expected;
    expected.Init();
    EXPECT_EQ(std::memcmp(&f.m_IsolateParam, &expected, sizeof expected), 0);
    EXPECT_EQ(f.m_IsolateParam.byY, 128);
    EXPECT_EQ(f.m_IsolateParam.byHueWidth, 14);
    EXPECT_TRUE(PicturesEqual(g_dibHistogram, f.m_HistoBack));
}

TEST(DisplayFilterObject, IntensityTableStartsAt120)
{
    DisplayFilterAccess f;
    ExpectCurves(f.m_ILUT, 1.0 / (120 / 25.0 + 1.0), 1.0 / (240 / 25.0 + 1.0));
    // The histogram's bar value is the first curve at 90.
    EXPECT_EQ(f.m_ILUT[90] >> 8, 213);
}

TEST(DisplayFilterObject, CopiesCarryTheSettingsButNoBuffers)
{
    DisplayFilterAccess f;
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].cU = 40;
    ASSERT_TRUE(f.SetupFilter(cc));
    f.SetVectorIntensity(30);
    ASSERT_TRUE(f.SetChannel(3));
    ASSERT_TRUE(f.SetDisplayField(0));
    tagMATCHVECTOR param;
    param.Init();
    param.cV = -33;
    ASSERT_TRUE(f.SetIsolateParam(&param));
    f.m_aAngles[1] = 45;
    f.m_afRot[4] = 0.5f;

    auto check = [&](const DisplayFilterAccess& c) {
        EXPECT_TRUE(SameTable(f.m_ILUT, c.m_ILUT));
        EXPECT_EQ(c.m_uChannel, 3u);
        EXPECT_EQ(c.m_uDisplayField, 0u);
        EXPECT_EQ(c.m_IsolateParam.cV, -33);
        EXPECT_EQ(c.m_aAngles[1], 45);
        EXPECT_EQ(c.m_afRot[4], 0.5f);
        EXPECT_EQ(c.m_pDisplayBuffer, nullptr);
        EXPECT_EQ(c.m_uDisplayMode, 0u);
        ASSERT_NE(c.m_pMatchIndex, nullptr);
        EXPECT_NE(c.m_pMatchIndex, f.m_pMatchIndex);
        EXPECT_TRUE(PicturesEqual(f.m_HistoBack, c.m_HistoBack));
    };
    DisplayFilterAccess copy(f);
    check(copy);
    DisplayFilterAccess assigned;
    assigned = f;
    check(assigned);
    const DisplayFilterAccess& alias = assigned;
    assigned = alias; // self-assignment keeps everything
    check(assigned);
}

// ---- intensity table ---------------------------------------------------------------

TEST(IntensityTable, ZeroGivesStraightLines)
{
    DisplayFilterAccess f;
    f.SetVectorIntensity(0);
    for (int n = 0; n < 256; ++n) {
        ASSERT_EQ(f.m_ILUT[n], n << 8) << n;
        ASSERT_EQ(f.m_ILUT[256 + n], n) << n;
    }
}

TEST(IntensityTable, FollowsItsExponentsAcrossTheRange)
{
    DisplayFilterAccess f;
    for (int intensity : {-12, -5, 1, 25, 120, 200, 255}) {
        SCOPED_TRACE(intensity);
        unsigned short table[512];
        f.BuildILUT(table, intensity);
        ExpectCurves(table, 1.0 / (intensity / 25.0 + 1.0), 1.0 / (2.0 * intensity / 25.0 + 1.0));
    }
}

TEST(IntensityTable, ExtremeIntensitiesAreLimitedSoBothCurvesStayDefined)
{
    DisplayFilterAccess f;
    unsigned short lowest[512], highest[512], table[512];
    f.BuildILUT(lowest, -12);
    f.BuildILUT(highest, 255);
    for (int intensity : {-13, -25, -26, -255, -100000}) {
        f.BuildILUT(table, intensity);
        EXPECT_TRUE(SameTable(table, lowest)) << intensity;
    }
    for (int intensity : {256, 100000}) {
        f.BuildILUT(table, intensity);
        EXPECT_TRUE(SameTable(table, highest)) << intensity;
    }
    // At the lower limit both curves still rise from 0 toward full scale.
    EXPECT_EQ(lowest[0], 0);
    EXPECT_EQ(lowest[256], 0);
    for (int n = 1; n < 256; ++n) {
        ASSERT_GE(lowest[n], lowest[n - 1]) << n;
        ASSERT_GE(lowest[256 + n], lowest[256 + n - 1]) << n;
        ASSERT_LE(lowest[256 + n], 255) << n;
    }
    EXPECT_GT(lowest[255], 0);
}

TEST(IntensityTable, SetVectorIntensityRebuildsTheFilterTable)
{
    DisplayFilterAccess f;
    unsigned short expected[512];
    f.BuildILUT(expected, 60);
    f.SetVectorIntensity(60);
    EXPECT_TRUE(SameTable(f.m_ILUT, expected));
    f.SetVectorIntensity(-400);
    f.BuildILUT(expected, -12);
    EXPECT_TRUE(SameTable(f.m_ILUT, expected));
}
