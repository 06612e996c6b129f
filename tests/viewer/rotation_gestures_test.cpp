#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>

#include "viewer/gesture_access.h"

using colorcorrect::test::FilterOf;
using colorcorrect::test::GestureAccess;
using colorcorrect::test::ViewerFilterAccess;

namespace {

struct Angles {
    int a[3];
};

Angles AnglesOf(GestureAccess& viewer)
{
    Angles angles{};
    viewer.GetAngles(angles.a[0], angles.a[1], angles.a[2]);
    return angles;
}

// What the cube makes of a turn by (dx, dy) from `from`.
Angles Turned(const Angles& from, int dx, int dy)
{
    CColorCorrectionFilter filter;
    Angles angles = from;
    filter.SetNewAngles(angles.a[0], angles.a[1], angles.a[2], dx, dy);
    return angles;
}

// What the cube makes of a spin by d from `from`.
Angles Spun(const Angles& from, int d)
{
    CColorCorrectionFilter filter;
    Angles angles = from;
    filter.SetNewAngles(angles.a[0], angles.a[1], angles.a[2], d);
    return angles;
}

void ExpectAngles(const Angles& expected, GestureAccess& viewer)
{
    const Angles actual = AnglesOf(viewer);
    EXPECT_EQ(actual.a[0], expected.a[0]);
    EXPECT_EQ(actual.a[1], expected.a[1]);
    EXPECT_EQ(actual.a[2], expected.a[2]);
    // The filter draws the cube with the same angles.
    const ViewerFilterAccess filter = FilterOf(viewer);
    EXPECT_EQ(filter.m_aAngles[0], expected.a[0]);
    EXPECT_EQ(filter.m_aAngles[1], expected.a[1]);
    EXPECT_EQ(filter.m_aAngles[2], expected.a[2]);
}

} // namespace

// ---- angles ---------------------------------------------------------------------

TEST(ViewerAngles, NewViewerShowsTheStartingView)
{
    GestureAccess viewer;
    const Angles angles = AnglesOf(viewer);
    EXPECT_EQ(angles.a[0], 90);
    EXPECT_EQ(angles.a[1], 90);
    EXPECT_EQ(angles.a[2], -90);
}

TEST(ViewerAngles, SetAnglesGoesThroughTheCube)
{
    GestureAccess viewer;
    viewer.SetAngles(30, 40, 50);
    ExpectAngles(Turned(Angles{{30, 40, 50}}, 0, 0), viewer);
    // The gesture state is not touched.
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_nAnglesStart[0], 0);
}

// ---- rotation ---------------------------------------------------------------------

TEST(ViewerRotate, BeginKeepsTheAnglesAndTheStartPoint)
{
    GestureAccess viewer;
    viewer.BeginRotate(100, 50);
    EXPECT_EQ(viewer.m_nStartX, 100);
    EXPECT_EQ(viewer.m_nStartY, 50);
    EXPECT_EQ(viewer.m_nAnglesStart[0], 90);
    EXPECT_EQ(viewer.m_nAnglesStart[1], 90);
    EXPECT_EQ(viewer.m_nAnglesStart[2], -90);
}

TEST(ViewerRotate, SmallMovesBelowTheThresholdChangeNothing)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.BeginRotate(100, 100);
    viewer.Rotate(103, 100); // dx 1
    ExpectAngles(start, viewer);
    viewer.Rotate(105, 103); // dx 2, dy -1: 3 in all
    ExpectAngles(start, viewer);
}

TEST(ViewerRotate, MovesTurnTheCubeByHalfThePixels)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.BeginRotate(100, 100);
    viewer.Rotate(108, 100);
    ExpectAngles(Turned(start, 4, 0), viewer);
    // Up is positive: 8 pixels up give dy 4.
    viewer.Rotate(100, 92);
    ExpectAngles(Turned(start, 0, 4), viewer);
    viewer.Rotate(90, 110);
    ExpectAngles(Turned(start, -5, -5), viewer);
}

TEST(ViewerRotate, EveryMoveStartsFromTheAnglesAtBegin)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.BeginRotate(0, 0);
    viewer.Rotate(40, 0);
    viewer.Rotate(40, 0);
    ExpectAngles(Turned(start, 20, 0), viewer);
}

TEST(ViewerRotate, MoveBackBelowTheThresholdKeepsTheLastLargerTurn)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.BeginRotate(0, 0);
    viewer.Rotate(20, 0);
    viewer.Rotate(2, 0);
    ExpectAngles(Turned(start, 10, 0), viewer);
}

TEST(ViewerRotate, NothingWithoutARunningRotation)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.Rotate(300, 300);
    viewer.RotateZ(300, 300);
    ExpectAngles(start, viewer);

    viewer.BeginRotate(0, 0);
    viewer.EndRotate();
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_nStartY, colorcorrect::VIEWER_NO_GESTURE);
    viewer.Rotate(300, 300);
    viewer.RotateZ(300, 300);
    ExpectAngles(start, viewer);
}

TEST(ViewerRotate, SpinUsesTheHorizontalMoveWithoutThreshold)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.BeginRotate(50, 50);
    viewer.RotateZ(52, 500); // d 1, y ignored
    ExpectAngles(Spun(start, 1), viewer);
    viewer.RotateZ(10, 0);
    ExpectAngles(Spun(start, -20), viewer);
}

TEST(ViewerRotate, SecondRotationStartsWhereTheFirstEnded)
{
    GestureAccess viewer;
    const Angles start = AnglesOf(viewer);
    viewer.BeginRotate(0, 0);
    viewer.Rotate(20, 0);
    viewer.EndRotate();
    const Angles middle = Turned(start, 10, 0);
    ExpectAngles(middle, viewer);
    viewer.BeginRotate(0, 0);
    viewer.Rotate(0, -20);
    ExpectAngles(Turned(middle, 0, 10), viewer);
}

TEST(ViewerRotate, ExtremeCoordinatesStayWithinTheAnglesRanges)
{
    GestureAccess viewer;
    viewer.BeginRotate(INT_MIN, INT_MAX - 1);
    viewer.Rotate(INT_MAX - 1, INT_MIN);
    Angles angles = AnglesOf(viewer);
    EXPECT_GE(angles.a[0], -180);
    EXPECT_LE(angles.a[0], 180);
    EXPECT_GE(angles.a[1], 0);
    EXPECT_LE(angles.a[1], 180);
    viewer.RotateZ(INT_MAX - 1, 0);
    angles = AnglesOf(viewer);
    EXPECT_GE(angles.a[2], -180);
    EXPECT_LE(angles.a[2], 180);
}
