#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "filter_access.h"

using colorcorrect::test::FilterAccess;

namespace {

struct YTable {
    BYTE lut[256];
};

YTable BuildY(int black, int gamma, int white, int videoRange)
{
    YTable t;
    std::memset(t.lut, 0xEE, sizeof t.lut);
    CBaseColorCorrectionFilter::BuildYLUT(t.lut, black, gamma, white, videoRange);
    return t;
}

// A red/green/blue curve, with every entry first set to a marker so that
// entries left alone can be seen.
struct RgbTable {
    short lut[1024];
    int operator()(int x) const { return lut[x + 512]; }
};

constexpr short kUntouched = 0x7777;

RgbTable BuildRgb(int black, int gamma, int white)
{
    RgbTable t;
    for (short& e : t.lut)
        e = kUntouched;
    FilterAccess f;
    f.BuildRGBLUT(t.lut, black, gamma, white);
    return t;
}

struct MatchTable {
    WORD lut[256];
    int Weight(int y) const { return lut[y] >> 8; }
    int Level(int y) const { return lut[y] & 0xFF; }
};

MatchTable BuildMatch(unsigned centre, unsigned range, unsigned soft, int black, int gamma,
                      int white, int videoRange)
{
    MatchTable t;
    std::memset(t.lut, 0xEE, sizeof t.lut);
    FilterAccess f;
    f.BuildYMatchLUT(t.lut, centre, range, soft, black, gamma, white, videoRange);
    return t;
}

} // namespace

// ---- BuildYLUT -------------------------------------------------------------

TEST(BuildYLUT, NeutralFullRangeIsTheIdentity)
{
    const YTable t = BuildY(0, 0, 0, 0);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(t.lut[i], i) << "input " << i;
}

TEST(BuildYLUT, GammaFiftyIsASquareRoot)
{
    // Exponent 1 / (1 + 50/50) = 0.5: trunc(sqrt(64/256) * 256) = 128.
    EXPECT_EQ(BuildY(0, 50, 0, 0).lut[64], 128);
}

TEST(BuildYLUT, NeutralVideoRangeHoldsTheLegalLevels)
{
    const YTable t = BuildY(0, 0, 0, 1);
    for (int i = 0; i <= 16; ++i)
        EXPECT_EQ(t.lut[i], 16) << "input " << i;
    for (int i = 235; i < 256; ++i)
        EXPECT_EQ(t.lut[i], 235) << "input " << i;
    EXPECT_EQ(t.lut[100], 100);
    for (int i = 16; i <= 235; ++i)
        EXPECT_NEAR(t.lut[i], i, 1) << "input " << i;
}

TEST(BuildYLUT, KnownValuesOfAFullRangeCurve)
{
    // black 10, gamma -100, white -20: slope 225/255, exponent 1/(1 - 100/260).
    const YTable t = BuildY(10, -100, -20, 0);
    EXPECT_EQ(t.lut[0], 1);
    EXPECT_EQ(t.lut[1], 1);
    EXPECT_EQ(t.lut[17], 5);
    EXPECT_EQ(t.lut[64], 28);
    EXPECT_EQ(t.lut[128], 77);
    EXPECT_EQ(t.lut[200], 152);
    EXPECT_EQ(t.lut[255], 222);
}

TEST(BuildYLUT, KnownValuesOfAVideoRangeCurve)
{
    const YTable t = BuildY(-30, 120, 40, 1);
    EXPECT_EQ(t.lut[0], 16);
    EXPECT_EQ(t.lut[17], 16);
    EXPECT_EQ(t.lut[50], 115);
    EXPECT_EQ(t.lut[128], 199);
    EXPECT_EQ(t.lut[200], 233);
    EXPECT_EQ(t.lut[255], 235);
}

TEST(BuildYLUT, ControlsAreClampedToTheirRange)
{
    EXPECT_EQ(0, std::memcmp(BuildY(1000, -1000, 700, 0).lut, BuildY(255, -255, 255, 0).lut, 256));
    EXPECT_EQ(0, std::memcmp(BuildY(-900, 900, -300, 1).lut, BuildY(-255, 255, -255, 1).lut, 256));
}

TEST(BuildYLUT, NegativeLevelsGiveZeroAndHighLevelsSaturate)
{
    const YTable dark = BuildY(-255, 0, -255, 0); // y = i - 255
    for (int i = 0; i < 255; ++i)
        EXPECT_EQ(dark.lut[i], 0) << "input " << i;
    EXPECT_EQ(dark.lut[255], 0);
    const YTable bright = BuildY(255, 0, 255, 0); // y = i + 255, limited to 255
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(bright.lut[i], 255) << "input " << i;
}

// ---- BuildRGBLUT -------------------------------------------------------------

TEST(BuildRGBLUT, NeutralCurveIsTheIdentityOnEveryReachableInput)
{
    const RgbTable t = BuildRgb(0, 0, 0);
    for (int x = -510; x <= 510; ++x)
        EXPECT_EQ(t(x), x) << "input " << x;
}

TEST(BuildRGBLUT, TheInputsBeyondTheCurveAreLeftAlone)
{
    const RgbTable t = BuildRgb(40, -30, 12);
    EXPECT_EQ(t(-512), kUntouched);
    EXPECT_EQ(t(-511), kUntouched);
    EXPECT_EQ(t(511), kUntouched);
}

TEST(BuildRGBLUT, BlackOffsetOnTheRedCurve)
{
    const RgbTable t = BuildRgb(20, 0, 0);
    EXPECT_EQ(t(0), 20);
    EXPECT_EQ(t(1), 21);
    EXPECT_EQ(t(2), 22);
    EXPECT_EQ(t(-1), -21);
    EXPECT_EQ(t(-2), -22);
}

TEST(BuildRGBLUT, KnownValuesOfABentCurve)
{
    const RgbTable t = BuildRgb(-40, -70, 30);
    EXPECT_EQ(t(0), 0);
    EXPECT_EQ(t(3), 0);
    EXPECT_EQ(t(100), 58);
    EXPECT_EQ(t(101), 59);
    EXPECT_EQ(t(-101), -59);
    EXPECT_EQ(t(255), 296);
    EXPECT_EQ(t(509), 510);
    EXPECT_EQ(t(510), 510);
    EXPECT_EQ(t(-510), -510);
}

TEST(BuildRGBLUT, EvenInputsGiveEvenOutputsAndOddOnesInterpolate)
{
    const int controls[][3] = {{0, 0, 0}, {77, 0, -13}, {-200, 180, 255}, {255, -255, -255},
                               {-255, 255, 255}, {3, 99, -101}};
    for (const auto& c : controls) {
        const RgbTable t = BuildRgb(c[0], c[1], c[2]);
        for (int x = 0; x <= 510; x += 2) {
            EXPECT_EQ(t(x) % 2, 0) << "input " << x;
            EXPECT_GE(t(x), 0);
            EXPECT_LE(t(x), 510);
            if (x != 0) {
                EXPECT_EQ(t(-x), -t(x)) << "input " << x;
            }
        }
        for (int x = 1; x <= 509; x += 2) {
            EXPECT_EQ(t(x), (t(x - 1) + t(x + 1)) >> 1) << "input " << x;
            EXPECT_EQ(t(-x), -t(x)) << "input " << x;
        }
    }
}

TEST(BuildRGBLUT, NegativeLevelsGiveZeroOnBothSides)
{
    const RgbTable t = BuildRgb(-255, 0, -255); // y = x - 255
    for (int x = 0; x <= 254; x += 2) {
        EXPECT_EQ(t(x), 0) << "input " << x;
        EXPECT_EQ(t(-x), 0) << "input " << -x;
    }
    EXPECT_GT(t(300), 0);
}

// ---- BuildYMatchLUT ----------------------------------------------------------

TEST(BuildYMatchLUT, BackgroundVectorCoversEveryLumaWithWeightZero)
{
    const MatchTable t = BuildMatch(128, 128, 0, 0, 0, 0, 0);
    EXPECT_EQ(t.lut[0], 1); // the level is never 0
    for (int y = 1; y < 256; ++y)
        EXPECT_EQ(t.lut[y], y) << "luma " << y;
}

TEST(BuildYMatchLUT, WindowWithSoftEdges)
{
    // centre 100, range 40, soft 128: inner = (127 * 40) / 255 = 19, outer 21.
    const MatchTable t = BuildMatch(100, 40, 128, 15, 60, -25, 0);
    EXPECT_EQ(t.lut[59], 0);
    EXPECT_EQ(t.lut[141], 0);
    EXPECT_EQ(t.Weight(60), 255);
    EXPECT_EQ(t.Level(60), 138);
    EXPECT_EQ(t.Weight(61), 242);
    EXPECT_EQ(t.Weight(80), 12);
    EXPECT_EQ(t.Level(80), 152);
    EXPECT_EQ(t.Weight(81), 0);
    EXPECT_EQ(t.Weight(100), 0);
    EXPECT_EQ(t.Level(100), 166);
    EXPECT_EQ(t.Weight(119), 0);
    EXPECT_EQ(t.Weight(120), 12);
    EXPECT_EQ(t.Level(120), 178);
    EXPECT_EQ(t.Weight(139), 242);
    EXPECT_EQ(t.Weight(140), 255);
    EXPECT_EQ(t.Level(140), 190);
}

TEST(BuildYMatchLUT, VideoRangeLevels)
{
    const MatchTable t = BuildMatch(100, 40, 128, 15, 60, -25, 1);
    EXPECT_EQ(t.Level(60), 129);
    EXPECT_EQ(t.Level(61), 130);
    EXPECT_EQ(t.Level(100), 158);
    EXPECT_EQ(t.Level(140), 180);
    EXPECT_EQ(t.Weight(61), 242);
    const MatchTable n = BuildMatch(128, 128, 0, 0, 0, 0, 1);
    for (int y = 0; y < 256; ++y) {
        EXPECT_GE(n.Level(y), 16) << "luma " << y;
        EXPECT_LE(n.Level(y), 235) << "luma " << y;
    }
}

TEST(BuildYMatchLUT, RangeZeroSelectsTheCentreOnly)
{
    const MatchTable t = BuildMatch(77, 0, 200, 0, 0, 0, 0);
    for (int y = 0; y < 256; ++y) {
        if (y == 77)
            EXPECT_EQ(t.lut[y], 77);
        else
            EXPECT_EQ(t.lut[y], 0) << "luma " << y;
    }
}

TEST(BuildYMatchLUT, HardWindowHasWeightZeroThroughout)
{
    const MatchTable t = BuildMatch(50, 30, 0, 0, 0, 0, 0);
    for (int y = 20; y <= 80; ++y)
        EXPECT_EQ(t.Weight(y), 0) << "luma " << y;
    EXPECT_EQ(t.lut[19], 0);
    EXPECT_EQ(t.lut[81], 0);
}

TEST(BuildYMatchLUT, LevelsNeverZeroEvenForExtremeControls)
{
    const int controls[][3] = {{-255, 0, -255}, {255, 255, 255}, {255, -255, 255},
                               {-255, -255, -255}, {900, 900, -900}};
    for (const auto& c : controls)
        for (int video = 0; video < 2; ++video) {
            const MatchTable t = BuildMatch(128, 200, 90, c[0], c[1], c[2], video);
            for (int y = 0; y < 256; ++y) {
                ASSERT_NE(t.lut[y], 0) << "luma " << y;
                EXPECT_GE(t.Level(y), video ? 16 : 1);
                EXPECT_LE(t.Level(y), video ? 235 : 255);
            }
        }
}

TEST(BuildYMatchLUT, CentreAboveTheByteIsTakenAs255)
{
    const MatchTable a = BuildMatch(1000, 10, 0, 0, 0, 0, 0);
    const MatchTable b = BuildMatch(255, 10, 0, 0, 0, 0, 0);
    EXPECT_EQ(0, std::memcmp(a.lut, b.lut, sizeof a.lut));
    EXPECT_EQ(a.lut[244], 0);
    EXPECT_EQ(a.lut[245], 245);
}
