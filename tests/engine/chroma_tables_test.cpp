#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "filter_access.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FilterAccess;

namespace {

struct HueSat {
    BYTE cosLut[256];
    BYTE sinLut[256];
    WORD satLut[256];

    int Cos(int x) const { return static_cast<int8_t>(cosLut[x & 0xFF]); }
    int Sin(int x) const { return static_cast<int8_t>(sinLut[x & 0xFF]); }
    // The clamped form: a signed low byte with a zero high byte.
    int SatClamped(int x) const { return static_cast<int8_t>(satLut[x & 0xFF] & 0xFF); }
    int SatFull(int x) const { return static_cast<int16_t>(satLut[x & 0xFF]); }
};

HueSat Build(int sat, int hueDegrees, int clampSat)
{
    HueSat t;
    std::memset(&t, 0xEE, sizeof t);
    FilterAccess f;
    f.BuildCosSinLUT(t.cosLut, t.sinLut, t.satLut, sat, hueDegrees, clampSat);
    return t;
}

} // namespace

TEST(BuildCosSinLUT, NeutralControlsPassChromaThrough)
{
    const HueSat t = Build(0, 0, 1);
    for (int x = -128; x < 128; ++x) {
        EXPECT_EQ(t.Cos(x), x) << x;
        EXPECT_EQ(t.Sin(x), 0) << x;
        EXPECT_EQ(t.SatClamped(x), x < -127 ? -127 : x) << x;
        EXPECT_EQ(t.satLut[x & 0xFF] >> 8, 0) << "high byte of " << x;
    }
}

TEST(BuildCosSinLUT, SaturationMinus255RemovesAllColour)
{
    for (int clamp = 0; clamp < 2; ++clamp) {
        const HueSat t = Build(-255, 0, clamp);
        for (int n = 0; n < 256; ++n)
            EXPECT_EQ(t.satLut[n], 0) << "index " << n;
    }
}

TEST(BuildCosSinLUT, Saturation128GrowsFasterThanLinear)
{
    // s' = trunc((e - 1 + 1) * 128) = 347, gain 602/255.
    const HueSat clamped = Build(128, 0, 1);
    EXPECT_EQ(clamped.SatClamped(64), 127);
    EXPECT_EQ(clamped.SatClamped(-64), -127);
    EXPECT_EQ(clamped.SatClamped(10), 24); // 23.6 rounded
    const HueSat full = Build(128, 0, 0);
    EXPECT_EQ(full.SatFull(64), 151);  // 151.09
    EXPECT_EQ(full.SatFull(-64), -151);
    EXPECT_EQ(full.SatFull(-128), -302); // 302.18
    const HueSat top = Build(255, 0, 0); // s' = 1065, gain 1320/255
    EXPECT_EQ(top.SatFull(127), 657);     // 657.41
}

TEST(BuildCosSinLUT, HalfTurnNegatesChroma)
{
    // 256 hue units = 180 degrees: cos = -x (as a byte, so -128 stays -128),
    // sin rounds to 0 everywhere.
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sHue = 256;
    ASSERT_TRUE(f.SetupFilter(cc));
    for (int x = -128; x < 128; ++x) {
        EXPECT_EQ(f.m_CosLUT[x & 0xFF], static_cast<int8_t>(-x & 0xFF)) << x;
        EXPECT_EQ(f.m_SinLUT[x & 0xFF], 0) << x;
    }
    EXPECT_EQ(f.m_CosLUT[0x80], -128);
}

TEST(BuildCosSinLUT, KnownValuesWithClamping)
{
    const HueSat t = Build(-60, 37, 1);
    EXPECT_EQ(t.Cos(1), 1);
    EXPECT_EQ(t.Sin(1), 1);
    EXPECT_EQ(t.SatClamped(1), 1);
    EXPECT_EQ(t.Cos(50), 40);
    EXPECT_EQ(t.Sin(50), 30);
    EXPECT_EQ(t.SatClamped(50), 38);
    EXPECT_EQ(t.Cos(127), 101);
    EXPECT_EQ(t.Sin(127), 76);
    EXPECT_EQ(t.SatClamped(127), 97);
    EXPECT_EQ(t.Cos(-128), -102);
    EXPECT_EQ(t.Sin(-128), -77);
    EXPECT_EQ(t.satLut[128], 158); // -98 as a low byte
    EXPECT_EQ(t.Cos(-56), -45);
    EXPECT_EQ(t.Sin(-56), -34);
    EXPECT_EQ(t.satLut[255], 255); // -1
}

TEST(BuildCosSinLUT, KnownValuesWithoutClamping)
{
    const HueSat t = Build(200, -150, 0);
    EXPECT_EQ(t.Cos(1), -1);
    EXPECT_EQ(t.Sin(1), -1);
    EXPECT_EQ(t.SatFull(1), 4);
    EXPECT_EQ(t.Cos(50), -43);
    EXPECT_EQ(t.Sin(50), -25);
    EXPECT_EQ(t.SatFull(50), 184);
    EXPECT_EQ(t.SatFull(127), 467);
    EXPECT_EQ(t.Cos(-128), 111);
    EXPECT_EQ(t.Sin(-128), 64);
    EXPECT_EQ(t.SatFull(-128), -470);
    EXPECT_EQ(t.SatFull(-56), -206);
}

TEST(BuildCosSinLUT, ControlsAreClamped)
{
    const HueSat a = Build(4000, 500, 0);
    const HueSat b = Build(255, 180, 0);
    EXPECT_EQ(0, std::memcmp(&a, &b, sizeof a));
    const HueSat c = Build(-4000, -999, 1);
    const HueSat d = Build(-255, -180, 1);
    EXPECT_EQ(0, std::memcmp(&c, &d, sizeof c));
}

TEST(BuildCosSinLUT, HueUnitsTruncateTowardZero)
{
    // -3 units = -2.1 degrees, truncated to -2; 3 units to 2.
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sHue = -3;
    ASSERT_TRUE(f.SetupFilter(cc));
    const HueSat minus2 = Build(0, -2, 1);
    EXPECT_EQ(0, std::memcmp(f.m_CosLUT, minus2.cosLut, 256));
    EXPECT_EQ(0, std::memcmp(f.m_SinLUT, minus2.sinLut, 256));
    const HueSat minus3 = Build(0, -3, 1);
    EXPECT_NE(0, std::memcmp(f.m_SinLUT, minus3.sinLut, 256));
}
