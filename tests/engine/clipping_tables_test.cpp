#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include "filter_access.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FilterAccess;

namespace {

struct ClipTable {
    int lut[1024];
    int operator()(int x) const { return lut[x + 512]; }
};

ClipTable Build(int lo, int loOut, int hi, int hiOut, BYTE soft)
{
    ClipTable t;
    for (int& e : t.lut)
        e = 0x7777;
    FilterAccess f;
    f.BuildClippingLUT(t.lut, lo, loOut, hi, hiOut, soft);
    return t;
}

} // namespace

TEST(BuildClippingLUT, FullRangeLumaClampsOutsideAndKeepsTheInside)
{
    const ClipTable t = Build(0, 0, 255, 255, 0);
    for (int x = -512; x <= 0; ++x)
        EXPECT_EQ(t(x), 0) << x;
    for (int x = 0; x <= 255; ++x)
        EXPECT_EQ(t(x), x) << x;
    for (int x = 255; x <= 511; ++x)
        EXPECT_EQ(t(x), 255) << x;
}

TEST(BuildClippingLUT, FullRangeChroma)
{
    const ClipTable t = Build(-127, -127, 127, 127, 0);
    EXPECT_EQ(t(-512), -127);
    EXPECT_EQ(t(-128), -127);
    for (int x = -127; x <= 127; ++x)
        EXPECT_EQ(t(x), x) << x;
    EXPECT_EQ(t(128), 127);
    EXPECT_EQ(t(511), 127);
}

TEST(BuildClippingLUT, HardLegalLumaKnees)
{
    const ClipTable t = Build(0, 16, 255, 235, 0);
    for (int x = -512; x <= 16; ++x)
        EXPECT_EQ(t(x), 16) << x;
    for (int x = 16; x <= 235; ++x)
        EXPECT_EQ(t(x), x) << x;
    for (int x = 235; x <= 511; ++x)
        EXPECT_EQ(t(x), 235) << x;
}

TEST(BuildClippingLUT, SoftestLumaKneeSpansTwiceTheDepth)
{
    // soft 255: black knee over 1..32 rising from 16 to 32; white knee over
    // 215..254 falling from 215 to 235.
    const ClipTable t = Build(0, 16, 255, 235, 255);
    EXPECT_EQ(t(0), 16);
    EXPECT_EQ(t(1), 16);
    EXPECT_EQ(t(2), 16);
    EXPECT_EQ(t(10), 18);
    EXPECT_EQ(t(16), 20);
    EXPECT_EQ(t(20), 22);
    EXPECT_EQ(t(31), 31);
    EXPECT_EQ(t(32), 32);
    EXPECT_EQ(t(33), 33);
    for (int x = 2; x <= 32; ++x)
        EXPECT_LE(t(x - 1), t(x)) << x;
    for (int x = 1; x <= 32; ++x) {
        EXPECT_GE(t(x), 16) << x;
        EXPECT_LE(t(x), 32) << x;
    }
    EXPECT_EQ(t(214), 214);
    EXPECT_EQ(t(215), 215);
    EXPECT_EQ(t(240), 232);
    EXPECT_EQ(t(254), 235);
    EXPECT_EQ(t(255), 235);
    for (int x = 216; x <= 255; ++x)
        EXPECT_LE(t(x - 1), t(x)) << x;
}

TEST(BuildClippingLUT, SoftReducedChromaKnees)
{
    const ClipTable t = Build(-127, -84, 127, 84, 100);
    EXPECT_EQ(t(-128), -84);
    EXPECT_EQ(t(-127), -84);
    EXPECT_EQ(t(-126), -84);
    EXPECT_EQ(t(-100), -81);
    EXPECT_EQ(t(-84), -77);
    EXPECT_EQ(t(-60), -60);
    EXPECT_EQ(t(-50), -50);
    EXPECT_EQ(t(0), 0);
    EXPECT_EQ(t(60), 60);
    EXPECT_EQ(t(100), 81);
    EXPECT_EQ(t(126), 84);
    EXPECT_EQ(t(127), 84);
}

TEST(BuildClippingLUT, EveryEntryIsWritten)
{
    for (int soft : {0, 1, 77, 255}) {
        const ClipTable t = Build(-127, -112, 127, 112, static_cast<BYTE>(soft));
        for (int x = -512; x <= 511; ++x) {
            EXPECT_GE(t(x), -112) << x;
            EXPECT_LE(t(x), 112) << x;
        }
    }
}

TEST(OutputTables, LegalClippingFromTheRecord)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    ASSERT_TRUE(f.SetupFilter(cc));
    for (int x = 0; x <= 16; ++x)
        EXPECT_EQ(f.m_LumaClip[x + 512], 16) << x;
    for (int x = 235; x <= 255; ++x)
        EXPECT_EQ(f.m_LumaClip[x + 512], 235) << x;
    EXPECT_EQ(f.m_ChromaClip[-127 + 512], -112);
    EXPECT_EQ(f.m_ChromaClip[127 + 512], 112);

    cc.Base.bySoftY = 255;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_LumaClip[1 + 512], 16);
    EXPECT_EQ(f.m_LumaClip[10 + 512], 18);
    EXPECT_EQ(f.m_LumaClip[32 + 512], 32);
}

TEST(OutputTables, ChromaReducedTakesPrecedenceOverLegal)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_EQ(f.m_ChromaClip[-127 + 512], -84);
    EXPECT_EQ(f.m_ChromaClip[127 + 512], 84);
    EXPECT_EQ(f.m_LumaClip[512], 16);
}

TEST(OutputTables, WithoutClippingTheRangeFlagsDoNotClip)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    cc.Base.bySoftY = 200;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(f.m_bLegalY);
    EXPECT_TRUE(f.m_bChromaReduced);
    EXPECT_EQ(f.m_LumaClip[512], 0);
    EXPECT_EQ(f.m_LumaClip[255 + 512], 255);
    EXPECT_EQ(f.m_ChromaClip[-127 + 512], -127);
    EXPECT_EQ(f.m_ChromaClip[127 + 512], 127);
}

TEST(OutputTables, FullRangeClippingIgnoresTheSoftness)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_CLIPPING);
    cc.Base.bySoftY = 255;
    cc.Base.bySoftC = 255;
    ASSERT_TRUE(f.SetupFilter(cc));
    for (int x = 0; x <= 255; ++x)
        EXPECT_EQ(f.m_LumaClip[x + 512], x) << x;
    for (int x = -127; x <= 127; ++x)
        EXPECT_EQ(f.m_ChromaClip[x + 512], x) << x;
}
