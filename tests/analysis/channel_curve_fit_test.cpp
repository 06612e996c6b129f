#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "analysis/analysis_access.h"

using colorcorrect::test::AnalysisAccess;

namespace {

// The fixed-point rule as written for non-negative numerators.
int TruncatingD(long long n)
{
    return static_cast<int>((n + 1048832) / 512) - 2048;
}

struct Fit {
    int black = 12345, gamma = 12345, white = 12345;
};

Fit RunFit(int c0, int c1, int c2, int d0, int d1, int d2)
{
    Fit r;
    colorcorrect::FitChannelCurve(c0, c1, c2, d0, d1, d2, r.black, r.gamma, r.white);
    return r;
}

} // namespace

// ---- integer colour arithmetic ------------------------------------------------------

TEST(ColourArithmetic, RoundsHalvesUpward)
{
    EXPECT_EQ(colorcorrect::RoundDiv512(0), 0);
    EXPECT_EQ(colorcorrect::RoundDiv512(255), 0);
    EXPECT_EQ(colorcorrect::RoundDiv512(256), 1);
    EXPECT_EQ(colorcorrect::RoundDiv512(-256), 0);
    EXPECT_EQ(colorcorrect::RoundDiv512(-257), -1);
    EXPECT_EQ(colorcorrect::RoundDiv512(512 * 100), 100);
    EXPECT_EQ(colorcorrect::RoundDiv512(-512 * 100 - 256), -100);
}

TEST(ColourArithmetic, MatchesTheTruncatingRuleWhereItIsDefined)
{
    for (long long n = -1048832; n <= 1048832; n += 37)
        ASSERT_EQ(colorcorrect::RoundDiv512(n), TruncatingD(n)) << "n = " << n;
    for (long long n = -1048832; n < -1048832 + 1024; ++n)
        ASSERT_EQ(colorcorrect::RoundDiv512(n), TruncatingD(n)) << "n = " << n;
}

TEST(ColourArithmetic, HugeNumeratorsSaturateInsteadOfWrapping)
{
    EXPECT_EQ(colorcorrect::RoundDiv512(std::numeric_limits<long long>::max() / 2),
              std::numeric_limits<int>::max());
    EXPECT_EQ(colorcorrect::RoundDiv512(std::numeric_limits<long long>::min() / 2),
              std::numeric_limits<int>::min());
}

TEST(ColourArithmetic, ChannelValuesOfKnownColours)
{
    EXPECT_EQ(colorcorrect::RedValue(128, 0, 0), 128);
    EXPECT_EQ(colorcorrect::GreenValue(128, 0, 0), 128);
    EXPECT_EQ(colorcorrect::BlueValue(128, 0, 0), 128);
    // 512*100 + 2*10 + 719*(-10) = 44030 -> 86.0 -> 86
    EXPECT_EQ(colorcorrect::RedValue(100, 10, -10), 86);
    // 51200 - 1760 + 3650 = 53090 -> 103.69 -> 104
    EXPECT_EQ(colorcorrect::GreenValue(100, 10, -10), 104);
    // 51200 + 9080 + 10 = 60290 -> 117.75 -> 118
    EXPECT_EQ(colorcorrect::BlueValue(100, 10, -10), 118);
    EXPECT_EQ(colorcorrect::RedOffset(10, -10), colorcorrect::RoundDiv512(-20 + 7190));
    EXPECT_EQ(colorcorrect::GreenOffset(10, -10), colorcorrect::RoundDiv512(1760 - 3650));
    EXPECT_EQ(colorcorrect::BlueOffset(10, -10), colorcorrect::RoundDiv512(-10 - 9080));
}

TEST(ColourArithmetic, ValuePlusOffsetGivesTheLumaBack)
{
    for (int y = 0; y < 256; y += 15)
        for (int u = -128; u < 128; u += 9)
            for (int v = -128; v < 128; v += 11) {
                EXPECT_NEAR(colorcorrect::RedValue(y, u, v) + colorcorrect::RedOffset(u, v), y, 1);
                EXPECT_NEAR(colorcorrect::GreenValue(y, u, v) + colorcorrect::GreenOffset(u, v), y,
                            1);
                EXPECT_NEAR(colorcorrect::BlueValue(y, u, v) + colorcorrect::BlueOffset(u, v), y,
                            1);
            }
}

TEST(ColourArithmetic, NeutralChromaHasNoOffsets)
{
    EXPECT_EQ(colorcorrect::RedOffset(0, 0), 0);
    EXPECT_EQ(colorcorrect::GreenOffset(0, 0), 0);
    EXPECT_EQ(colorcorrect::BlueOffset(0, 0), 0);
}

TEST(ColourArithmetic, ScaledChromaTruncatesAndIsLimited)
{
    EXPECT_EQ(colorcorrect::ScaleChroma(10, 256.0 / 100.0), 25);
    EXPECT_EQ(colorcorrect::ScaleChroma(-10, 256.0 / 100.0), -25);
    EXPECT_EQ(colorcorrect::ScaleChroma(10, std::numeric_limits<double>::infinity()), 1000000);
    EXPECT_EQ(colorcorrect::ScaleChroma(0, std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(colorcorrect::LimitedTrunc(std::nan(""), -5, 5), 0);
    EXPECT_EQ(colorcorrect::LimitedTrunc(-7.9, -5, 5), -5);
    EXPECT_EQ(colorcorrect::LimitedTrunc(-2.9, -5, 5), -2);
}

// ---- gamma control convention ---------------------------------------------------------

TEST(GammaControl, EncodesBothSidesOfOne)
{
    EXPECT_EQ(colorcorrect::GammaControlValue(1.0), 0);
    EXPECT_EQ(colorcorrect::GammaControlValue(2.0), 50);
    EXPECT_EQ(colorcorrect::GammaControlValue(1.5), 25);
    EXPECT_EQ(colorcorrect::GammaControlValue(0.5), -130);
    EXPECT_EQ(colorcorrect::GammaControlValue(0.2), -208);
    EXPECT_EQ(colorcorrect::GammaControlValue(5.0), 200);
    // truncation toward zero on both sides
    EXPECT_EQ(colorcorrect::GammaControlValue(1.019), 0);
    EXPECT_EQ(colorcorrect::GammaControlValue(0.999), 0);
}

TEST(GammaControl, NoNumberGivesNeutral)
{
    EXPECT_EQ(colorcorrect::GammaControlValue(std::nan("")), 0);
    EXPECT_EQ(colorcorrect::GammaControlValue(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(colorcorrect::GammaControlValue(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(colorcorrect::GammaControlValue(1e300), 32767);
    EXPECT_EQ(colorcorrect::GammaControlValue(-1e300), -32768);
}

TEST(GammaControl, DecodesToTheExponentItCameFrom)
{
    EXPECT_DOUBLE_EQ(colorcorrect::GammaFromControl(0), 1.0);
    EXPECT_DOUBLE_EQ(colorcorrect::GammaFromControl(50), 2.0);
    EXPECT_DOUBLE_EQ(colorcorrect::GammaFromControl(-130), 0.5);
    // Nudged away from one so that truncation toward zero keeps k.
    for (int k = -208; k <= 200; ++k) {
        const double nudge = k < 0 ? -1e-9 : 1e-9;
        EXPECT_EQ(colorcorrect::GammaControlValue(colorcorrect::GammaFromControl(k) + nudge), k)
            << "k = " << k;
    }
}

// ---- FitChannelCurve ----------------------------------------------------------------------

TEST(FitChannelCurve, NoChangeGivesTheNeutralCurve)
{
    const Fit r = RunFit(64, 128, 192, 0, 0, 0);
    EXPECT_EQ(r.black, 0);
    EXPECT_EQ(r.gamma, 0);
    EXPECT_EQ(r.white, 0);
}

TEST(FitChannelCurve, StraightLineThroughCollinearTargets)
{
    // Targets 74, 143, 212 lie on a line over 64, 128, 192: p = 1 at once,
    // B = 5/256, W = 0.078125 + 5/256.
    const Fit r = RunFit(64, 128, 192, 10, 15, 20);
    EXPECT_EQ(r.black, 5);
    EXPECT_EQ(r.gamma, 0);
    EXPECT_EQ(r.white, 25);
}

TEST(FitChannelCurve, MemberOperationIsTheSharedFit)
{
    int black = 1, gamma = 1, white = 1;
    AnalysisAccess::FitChannelCurve(64, 128, 192, 10, 15, 20, black, gamma, white);
    EXPECT_EQ(black, 5);
    EXPECT_EQ(gamma, 0);
    EXPECT_EQ(white, 25);
}

TEST(FitChannelCurve, PowerCurveIsFound)
{
    // Targets 256 * t^(1/2) of the present values: s^2 = t, so p = 2.
    const int c[3] = {64, 100, 196};
    int d[3];
    for (int i = 0; i < 3; ++i)
        d[i] = static_cast<int>(std::lround(256.0 * std::sqrt(c[i] / 256.0))) - c[i];
    const Fit r = RunFit(c[0], c[1], c[2], d[0], d[1], d[2]);
    EXPECT_NEAR(r.gamma, 50, 2);
    EXPECT_NEAR(r.black, 0, 3);
    EXPECT_NEAR(r.white, 0, 3);
}

TEST(FitChannelCurve, FallbackLineWhenTargetsAreNotMonotonic)
{
    // s = 144, 128, 192: not monotonic. p = 1 through the middle point, but
    // the line through the outer points misses the middle one less.
    const Fit r = RunFit(64, 128, 192, 80, 0, 0);
    EXPECT_EQ(r.black, 120);
    EXPECT_EQ(r.white, -39); // trunc(-39.5): negative values round toward zero
    EXPECT_EQ(r.gamma, 0);
}

TEST(FitChannelCurve, FallbackLineWhenThePowerIsOutOfRange)
{
    // Middle target 3/256 gives p = ln(0.5) / ln(3/256), about 0.156.
    const Fit r = RunFit(64, 128, 192, 10, -125, 20);
    EXPECT_EQ(r.black, 5);
    EXPECT_EQ(r.white, 25);
    EXPECT_EQ(r.gamma, 0);
}

TEST(FitChannelCurve, FallbackPowerWhenTheLineMissesMore)
{
    // Equal outer present values: the line's slope is undefined, so the
    // power that carries the middle point is taken, black and white 0.
    const Fit r = RunFit(100, 128, 100, 10, 40, 10);
    const double p = std::log(128.0 / 256.0) / std::log(168.0 / 256.0);
    EXPECT_EQ(r.black, 0);
    EXPECT_EQ(r.white, 0);
    EXPECT_EQ(r.gamma, colorcorrect::GammaControlValue(p));
    EXPECT_NE(r.gamma, 0);
}

TEST(FitChannelCurve, EqualOuterValuesWithThePowerOutOfRangeGiveZeroBlackAndWhite)
{
    // t0 == t2 and the middle point needs no power (t1 == s1 == 1: ln 0 / ln 0).
    const Fit r = RunFit(100, 256, 100, 30, 0, -20);
    EXPECT_EQ(r.black, 0);
    EXPECT_EQ(r.white, 0);
    EXPECT_EQ(r.gamma, 0);
}

TEST(FitChannelCurve, ThreeEqualPointsTakeTheFallback)
{
    const Fit r = RunFit(100, 100, 100, 12, 12, 12);
    EXPECT_EQ(r.black, 0);
    EXPECT_EQ(r.white, 0);
    EXPECT_EQ(r.gamma,
              colorcorrect::GammaControlValue(std::log(100.0 / 256.0) / std::log(112.0 / 256.0)));
}

TEST(FitChannelCurve, ZeroAndNegativeValuesStayFinite)
{
    const int cases[][6] = {
        {0, 0, 0, 0, 0, 0},       {0, 128, 255, 0, 0, 0},   {0, 128, 255, -5, 0, 0},
        {-10, 0, 10, 0, 0, 0},    {64, 128, 192, -64, -128, -192},
        {64, 128, 192, -80, -200, -250}, {255, 128, 0, 0, 0, 0}, {10, 20, 30, 300, 300, 300},
        {-200, -100, -50, 0, 0, 0}, {128, 128, 128, -128, -128, -128}};
    for (const auto& c : cases) {
        const Fit r = RunFit(c[0], c[1], c[2], c[3], c[4], c[5]);
        EXPECT_GE(r.black, -256) << c[0] << " " << c[1] << " " << c[2];
        EXPECT_LE(r.black, 256);
        EXPECT_GE(r.white, -256);
        EXPECT_LE(r.white, 256);
        EXPECT_GE(r.gamma, -208);
        EXPECT_LE(r.gamma, 200);
    }
}

TEST(FitChannelCurve, RandomInputsGiveBoundedResults)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> value(-200, 450);
    std::uniform_int_distribution<int> diff(-300, 300);
    for (int i = 0; i < 20000; ++i) {
        const int c0 = value(rng), c1 = value(rng), c2 = value(rng);
        const Fit r = RunFit(c0, c1, c2, diff(rng), diff(rng), diff(rng));
        ASSERT_TRUE(r.black >= -256 && r.black <= 256 && r.white >= -256 && r.white <= 256 &&
                    r.gamma >= -208 && r.gamma <= 200)
            << "case " << i << ": black " << r.black << " gamma " << r.gamma << " white "
            << r.white;
    }
}

TEST(FitChannelCurve, FittedCurveCarriesThePointsOntoTheirTargets)
{
    // Targets made by a curve of the kind the fit produces: the fitted curve,
    // evaluated, reproduces them within a few 8-bit steps.
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> level(20, 235);
    std::uniform_real_distribution<double> expo(0.6, 1.8);
    std::uniform_real_distribution<double> offs(-0.08, 0.08);
    int fitted = 0;
    for (int i = 0; i < 300; ++i) {
        int c[3] = {level(rng), level(rng), level(rng)};
        if (c[0] == c[1] || c[1] == c[2] || c[0] == c[2])
            continue;
        std::sort(c, c + 3);
        const double g = expo(rng), B = offs(rng), A = 1.0 + offs(rng);
        int d[3];
        bool usable = true;
        for (int j = 0; j < 3; ++j) {
            const double base = A * c[j] / 256.0 + B;
            if (base <= 0.0) {
                usable = false;
                break;
            }
            const double s = std::pow(base, 1.0 / g) * 256.0;
            if (s > 250.0)
                usable = false;
            d[j] = static_cast<int>(std::lround(s)) - c[j];
        }
        if (!usable || d[0] + c[0] >= d[1] + c[1] || d[1] + c[1] >= d[2] + c[2])
            continue;
        const Fit r = RunFit(c[0], c[1], c[2], d[0], d[1], d[2]);
        ++fitted;
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(colorcorrect::ApplyChannelCurve(c[j], r.black, r.gamma, r.white), d[j], 4)
                << "case " << i << " point " << j << ": c " << c[j] << " d " << d[j]
                << " fit black " << r.black << " gamma " << r.gamma << " white " << r.white;
    }
    EXPECT_GT(fitted, 100);
}

// ---- ApplyChannelCurve ---------------------------------------------------------------------

TEST(ApplyChannelCurve, NeutralCurveChangesNothing)
{
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(colorcorrect::ApplyChannelCurve(c, 0, 0, 0), 0) << "c = " << c;
}

TEST(ApplyChannelCurve, BelowZeroGivesZero)
{
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(0, -10, 0, 0), 0);
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(5, -10, 0, 0), -5);
}

TEST(ApplyChannelCurve, AboveFullScaleGivesFullScale)
{
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(255, 0, 0, 30), 0);
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(250, 0, 0, 30), 5);
}

TEST(ApplyChannelCurve, GammaBendsTheMiddle)
{
    // k = 50: power 1/2; sqrt(0.5) * 256 + 0.5 = 181.5
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(128, 0, 50, 0), 53);
    // k = -130: power 2; 0.25 * 256 + 0.5 = 64.5
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(128, 0, -130, 0), -64);
    EXPECT_EQ(AnalysisAccess::ApplyChannelCurve(128, 0, -130, 0), -64);
}

TEST(ApplyChannelCurve, ControlsBeyondTheirRangeAreClamped)
{
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(128, 0, -300, 0),
              colorcorrect::ApplyChannelCurve(128, 0, -255, 0));
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(128, 0, -260, 0),
              colorcorrect::ApplyChannelCurve(128, 0, -255, 0));
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(100, 400, 0, 0),
              colorcorrect::ApplyChannelCurve(100, 255, 0, 0));
    EXPECT_EQ(colorcorrect::ApplyChannelCurve(100, 0, 0, -32768),
              colorcorrect::ApplyChannelCurve(100, 0, 0, -255));
}

TEST(ToInt16Field, LimitsToTheFieldRange)
{
    EXPECT_EQ(colorcorrect::ToInt16Field(100000), 32767);
    EXPECT_EQ(colorcorrect::ToInt16Field(-100000), -32768);
    EXPECT_EQ(colorcorrect::ToInt16Field(-12), -12);
}
