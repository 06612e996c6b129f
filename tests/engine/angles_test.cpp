#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>

using colorcorrect::g_HalfPi;
using colorcorrect::g_MinusPi;
using colorcorrect::g_Pi;
using colorcorrect::g_ThreeHalfPi;
using colorcorrect::g_TwoPi;

TEST(AngleConstants, ComputedFromTheArctangentAtLoad)
{
    EXPECT_EQ(g_Pi, 4.0 * std::atan(1.0));
    EXPECT_EQ(g_TwoPi, 2.0 * g_Pi);
    EXPECT_EQ(g_HalfPi, g_Pi / 2.0);
    EXPECT_EQ(g_ThreeHalfPi, 3.0 * g_Pi / 2.0);
    EXPECT_EQ(g_MinusPi, -g_Pi);
    EXPECT_NEAR(g_Pi, 3.14159265358979, 1e-14);
}

TEST(ChromaAngle, AxesAndTheNeutralPair)
{
    EXPECT_EQ(ChromaAngle(1, 0), 0.0);
    EXPECT_EQ(ChromaAngle(0, 1), g_HalfPi);
    EXPECT_EQ(ChromaAngle(-1, 0), g_Pi);
    EXPECT_EQ(ChromaAngle(0, -1), g_ThreeHalfPi);
    EXPECT_EQ(ChromaAngle(0, 0), g_ThreeHalfPi);
}

TEST(ChromaAngle, QuadrantsFollowTheArctangentRule)
{
    EXPECT_EQ(ChromaAngle(3, 4), std::atan(4.0 / 3.0));
    EXPECT_EQ(ChromaAngle(3, -4), std::atan(-4.0 / 3.0) + g_TwoPi);
    EXPECT_EQ(ChromaAngle(-3, 4), std::atan(4.0 / -3.0) + g_Pi);
    EXPECT_EQ(ChromaAngle(-3, -4), std::atan(-4.0 / -3.0) + g_Pi);
    EXPECT_NEAR(ChromaAngle(-5, -5), 5 * g_Pi / 4, 1e-15);
    EXPECT_NEAR(ChromaAngle(5, -5), 7 * g_Pi / 4, 1e-15);
}

TEST(ChromaAngle, EveryChromaPairLiesInTheHalfOpenCircle)
{
    for (int v = -128; v < 128; ++v)
        for (int u = -128; u < 128; ++u) {
            const double a = ChromaAngle(u, v);
            ASSERT_GE(a, 0.0) << u << ", " << v;
            ASSERT_LT(a, g_TwoPi) << u << ", " << v;
        }
}

TEST(AngleDistance, ShortWayRoundTheCircle)
{
    EXPECT_EQ(AngleDistance(1.0, 0.5), 0.5);
    EXPECT_EQ(AngleDistance(0.5, 1.0), 0.5);
    EXPECT_EQ(AngleDistance(0.1, 6.2), (0.1 - 6.2) + g_TwoPi);
    EXPECT_EQ(AngleDistance(6.2, 0.1), g_TwoPi - (6.2 - 0.1));
    EXPECT_EQ(AngleDistance(g_Pi, 0.0), g_Pi);
    EXPECT_EQ(AngleDistance(0.0, g_Pi), g_Pi);
    EXPECT_EQ(AngleDistance(2.0, 2.0), 0.0);
}

TEST(AngleDistance, StaysWithinZeroAndPi)
{
    for (double a = 0.0; a < g_TwoPi; a += 0.37)
        for (double b = 0.0; b < g_TwoPi; b += 0.41) {
            const double d = AngleDistance(a, b);
            EXPECT_GE(d, 0.0);
            EXPECT_LE(d, g_Pi);
            EXPECT_EQ(d, AngleDistance(b, a));
        }
}

TEST(AngleDifference, SignedAndWrapped)
{
    EXPECT_EQ(AngleDifference(1.0, 2.0), -1.0);
    EXPECT_EQ(AngleDifference(2.0, 1.0), 1.0);
    EXPECT_EQ(AngleDifference(0.1, 6.2), (0.1 - 6.2) + g_TwoPi);
    EXPECT_EQ(AngleDifference(6.2, 0.1), (6.2 - 0.1) - g_TwoPi);
    EXPECT_EQ(AngleDifference(g_Pi, 0.0), g_Pi); // exactly pi is not wrapped
    EXPECT_EQ(AngleDifference(0.0, g_Pi), -g_Pi);
}
