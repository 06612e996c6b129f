#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "viewer/gesture_access.h"

using colorcorrect::test::GestureAccess;

// ---- saturation mapping -------------------------------------------------------

TEST(ViewerSatAdjust, KnownRatios)
{
    EXPECT_EQ(GestureAccess::GetSatAdjust(1.0), 0);
    EXPECT_EQ(GestureAccess::GetSatAdjust(0.5), -127);
    EXPECT_EQ(GestureAccess::GetSatAdjust(0.0), -255);
    EXPECT_EQ(GestureAccess::GetSatAdjust(2.0), 101);
    EXPECT_EQ(GestureAccess::GetSatAdjust(3.0), 166);
}

TEST(ViewerSatAdjust, OutwardStepsFollowTheCurve)
{
    // n = 100 and n = 400 as ratios: 255 * r - 255 = n.
    EXPECT_EQ(GestureAccess::GetSatAdjust((100.0 + 255.0) / 255.0 + 1e-9), 45);
    EXPECT_EQ(GestureAccess::GetSatAdjust((400.0 + 255.0) / 255.0 + 1e-9), 141);
    // n = 1: the smallest step that goes through the iteration.
    EXPECT_EQ(GestureAccess::GetSatAdjust(256.0 / 255.0 + 1e-9), 0);
}

TEST(ViewerSatAdjust, InwardIsLinearAndLimited)
{
    EXPECT_EQ(GestureAccess::GetSatAdjust(0.9), -25); // trunc(-25.5)
    EXPECT_EQ(GestureAccess::GetSatAdjust(-1.0), -255);
    EXPECT_EQ(GestureAccess::GetSatAdjust(-std::numeric_limits<double>::infinity()), -255);
    // Below one step of 1/255 the ratio counts as no change.
    EXPECT_EQ(GestureAccess::GetSatAdjust(1.003), 0);
}

TEST(ViewerSatAdjust, LargeRatiosReachTheTopWithoutOverflow)
{
    EXPECT_EQ(GestureAccess::GetSatAdjust(6.0), 255);
    EXPECT_EQ(GestureAccess::GetSatAdjust(1000.0), 255);
    EXPECT_EQ(GestureAccess::GetSatAdjust(1e12), 255);
    EXPECT_EQ(GestureAccess::GetSatAdjust(std::numeric_limits<double>::infinity()), 255);
    EXPECT_EQ(GestureAccess::GetSatAdjust(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ViewerSatAdjust, NeverFallsAsTheRatioGrows)
{
    int previous = GestureAccess::GetSatAdjust(0.0);
    for (int i = 1; i <= 2000; ++i) {
        const double r = i / 250.0;
        const int step = GestureAccess::GetSatAdjust(r);
        ASSERT_GE(step, previous) << "at r = " << r;
        ASSERT_LE(step, 255) << "at r = " << r;
        previous = step;
    }
    EXPECT_EQ(previous, 255);
}
