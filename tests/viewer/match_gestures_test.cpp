#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "support/record_bytes.h"
#include "viewer/gesture_access.h"

using colorcorrect::test::GestureAccess;
using colorcorrect::test::JunkRecord;
using colorcorrect::test::SameBytes;

namespace {

// A record with three match vectors in use; vector 2 is the one shaped.
tagCOLORCORRINFO ThreeVectors()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = CC_MATCH_VECTOR;
    cc.Match.dwCount = 3;
    return cc;
}

tagCOLORCORRINFO WithVector(int u, int v, int satWidth = 20)
{
    tagCOLORCORRINFO cc = ThreeVectors();
    cc.Match.Vector[2].cU = static_cast<int8_t>(u);
    cc.Match.Vector[2].cV = static_cast<int8_t>(v);
    cc.Match.Vector[2].bySatWidth = static_cast<uint8_t>(satWidth);
    return cc;
}

// A record a refused call must leave alone, size field included.
tagCOLORCORRINFO Untouchable()
{
    tagCOLORCORRINFO cc = JunkRecord(11);
    cc.dwSize = sizeof(tagCOLORCORRINFO);
    return cc;
}

// A viewer shaping vector 2.
struct Shaping {
    GestureAccess viewer;
    Shaping() { EXPECT_EQ(viewer.SetIsolateVector(2), 1); }

    // Begins a drag at (x, y) in `mode` on `start` and moves to (toX, toY);
    // returns the record the move writes.
    tagCOLORCORRINFO Drag(const tagCOLORCORRINFO& start, unsigned int mode, int x, int y,
                          int toX, int toY)
    {
        tagCOLORCORRINFO cc = start;
        EXPECT_EQ(viewer.BeginMatchAdjust(x, y, mode, cc), 1);
        cc = Untouchable();
        EXPECT_EQ(viewer.MatchAdjust(toX, toY, cc), 1);
        return cc;
    }
};

} // namespace

// ---- begin ------------------------------------------------------------------------

TEST(ViewerMatchAdjust, BeginRefusesTheBackgroundVectorAndUnusedOnes)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = ThreeVectors();
    // Vector 0 whatever the record holds.
    EXPECT_EQ(viewer.BeginMatchAdjust(10, 10, 0, cc), 0);
    cc.Match.dwCount = 16;
    EXPECT_EQ(viewer.BeginMatchAdjust(10, 10, 0, cc), 0);

    ASSERT_EQ(viewer.SetIsolateVector(3), 1);
    cc.Match.dwCount = 3;
    EXPECT_EQ(viewer.BeginMatchAdjust(10, 10, 0, cc), 0);
    cc.Match.dwCount = 4;
    cc.dwSize = 563;
    EXPECT_EQ(viewer.BeginMatchAdjust(10, 10, 0, cc), 0);

    // The viewer is untouched.
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_dwMatchMode, 0u);
    tagCOLORCORRINFO fresh;
    fresh.Init(sizeof(tagCOLORCORRINFO));
    EXPECT_TRUE(SameBytes(fresh, viewer.m_ccStart));

    cc.dwSize = sizeof(tagCOLORCORRINFO);
    EXPECT_EQ(viewer.BeginMatchAdjust(10, 10, 0, cc), 1);
}

TEST(ViewerMatchAdjust, BeginKeepsTheStartAndAnyMode)
{
    Shaping s;
    tagCOLORCORRINFO cc = ThreeVectors();
    ASSERT_EQ(s.viewer.BeginMatchAdjust(10, 20, 77, cc), 1);
    EXPECT_EQ(s.viewer.m_dwMatchMode, 77u);
    EXPECT_EQ(s.viewer.m_nStartX, 10);
    EXPECT_EQ(s.viewer.m_nStartY, 20);
    EXPECT_TRUE(SameBytes(cc, s.viewer.m_ccStart));
}

TEST(ViewerMatchAdjust, TurnStartIsKeptAwayFromTheCentre)
{
    Shaping s;
    tagCOLORCORRINFO cc = ThreeVectors();
    ASSERT_EQ(s.viewer.BeginMatchAdjust(190, 146, 2, cc), 1);
    EXPECT_EQ(s.viewer.m_nStartX, 187);
    EXPECT_EQ(s.viewer.m_nStartY, 149);
    ASSERT_EQ(s.viewer.BeginMatchAdjust(192, 140, 2, cc), 1);
    EXPECT_EQ(s.viewer.m_nStartX, 197);
    EXPECT_EQ(s.viewer.m_nStartY, 139);
    // Five pixels away is far enough.
    ASSERT_EQ(s.viewer.BeginMatchAdjust(197, 139, 2, cc), 1);
    EXPECT_EQ(s.viewer.m_nStartX, 197);
    EXPECT_EQ(s.viewer.m_nStartY, 139);
    // Other modes keep the start as it is.
    ASSERT_EQ(s.viewer.BeginMatchAdjust(190, 146, 3, cc), 1);
    EXPECT_EQ(s.viewer.m_nStartX, 190);
    EXPECT_EQ(s.viewer.m_nStartY, 146);
}

// ---- modes ------------------------------------------------------------------------

TEST(ViewerMatchAdjust, PositionFollowsTheMouse)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(30, 40);
    tagCOLORCORRINFO cc = s.Drag(start, 0, 0, 0, 400, 0);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].cU = 127;
    expected.Match.Vector[2].cV = 127;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(192, 144, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 0);
    EXPECT_EQ(cc.Match.Vector[2].cV, 0);
    ASSERT_EQ(s.viewer.MatchAdjust(INT_MIN, INT_MAX, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, -127);
    EXPECT_EQ(cc.Match.Vector[2].cV, -127);
}

TEST(ViewerMatchAdjust, LumaCentreMovesByHalfThePixels)
{
    Shaping s;
    const tagCOLORCORRINFO start = ThreeVectors();
    tagCOLORCORRINFO cc = s.Drag(start, 1, 50, 50, 60, 30);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].byY = 138;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(50, 49, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(50, -1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].byY, 255);
    ASSERT_EQ(s.viewer.MatchAdjust(50, 1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].byY, 0);
}

TEST(ViewerMatchAdjust, TurnFollowsTheSweptAngle)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(50, 0);
    // A quarter turn counter-clockwise with y up.
    tagCOLORCORRINFO cc = s.Drag(start, 2, 292, 244, 292, 44);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].cU = 0;
    expected.Match.Vector[2].cV = 50;
    EXPECT_TRUE(SameBytes(expected, cc));
    // The other way round.
    ASSERT_EQ(s.viewer.MatchAdjust(92, 244, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 0);
    EXPECT_EQ(cc.Match.Vector[2].cV, -50);
}

TEST(ViewerMatchAdjust, TurnNearTheCentreKeepsTheVector)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(50, 0);
    tagCOLORCORRINFO cc = s.Drag(start, 2, 292, 244, 193, 144);
    EXPECT_TRUE(SameBytes(start, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(192, 144, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
}

TEST(ViewerMatchAdjust, TurnFromAStartAtTheCentreKeepsTheVector)
{
    // Another drag replaced the turn's start point with the centre.
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(50, 0);
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(s.viewer.BeginMatchAdjust(292, 244, 2, cc), 1);
    ASSERT_EQ(s.viewer.BeginHistAdjust(192, 144, cc), 1);
    cc = Untouchable();
    EXPECT_EQ(s.viewer.MatchAdjust(292, 44, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
}

TEST(ViewerMatchAdjust, DistanceChangesAlongTheDirection)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(30, 40);
    tagCOLORCORRINFO cc = s.Drag(start, 3, 100, 100, 100, 80);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].cU = 36;
    expected.Match.Vector[2].cV = 48;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(100, -1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 127);
    EXPECT_EQ(cc.Match.Vector[2].cV, 127);
}

TEST(ViewerMatchAdjust, DistanceOfAVectorAtTheCentreStays)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(0, 0);
    const tagCOLORCORRINFO cc = s.Drag(start, 3, 100, 100, 100, 40);
    EXPECT_TRUE(SameBytes(start, cc));
}

TEST(ViewerMatchAdjust, AngularWidthMovesByHalfThePixels)
{
    Shaping s;
    const tagCOLORCORRINFO start = ThreeVectors();
    tagCOLORCORRINFO cc = s.Drag(start, 4, 0, 0, 0, -20);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].byHueWidth = 14 + 10;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(0, 100, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].byHueWidth, 0);
}

TEST(ViewerMatchAdjust, LowerLumaEdge)
{
    Shaping s;
    const tagCOLORCORRINFO start = ThreeVectors();
    tagCOLORCORRINFO cc = s.Drag(start, 5, 0, 0, 0, -8);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].byY = 130;
    expected.Match.Vector[2].byYRange = 126;
    EXPECT_TRUE(SameBytes(expected, cc));
    // Below 0 the edge stops at 0.
    ASSERT_EQ(s.viewer.MatchAdjust(0, 8, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
    // Past the upper edge it stops there.
    ASSERT_EQ(s.viewer.MatchAdjust(0, -1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].byY, 255); // (256 + 256) / 2, limited
    EXPECT_EQ(cc.Match.Vector[2].byYRange, 0);
}

TEST(ViewerMatchAdjust, UpperLumaEdge)
{
    Shaping s;
    const tagCOLORCORRINFO start = ThreeVectors();
    // The default band reaches 256, one beyond the top: even no movement
    // brings it back to 255.
    tagCOLORCORRINFO cc = s.Drag(start, 6, 0, 0, 0, 0);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].byY = 127;
    expected.Match.Vector[2].byYRange = 127;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(s.viewer.MatchAdjust(0, 100, cc), 1); // d2 -50
    EXPECT_EQ(cc.Match.Vector[2].byY, 103);
    EXPECT_EQ(cc.Match.Vector[2].byYRange, 103);
    ASSERT_EQ(s.viewer.MatchAdjust(0, 1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].byY, 0);
    EXPECT_EQ(cc.Match.Vector[2].byYRange, 0);
}

TEST(ViewerMatchAdjust, InnerRadialEdge)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(30, 40, 20);
    tagCOLORCORRINFO cc = s.Drag(start, 7, 0, 0, 0, -8);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].cU = 31;
    expected.Match.Vector[2].cV = 41;
    expected.Match.Vector[2].bySatWidth = 18;
    EXPECT_TRUE(SameBytes(expected, cc));
    // The inner edge stops at the centre...
    ASSERT_EQ(s.viewer.MatchAdjust(0, 1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 21); // distance 35
    EXPECT_EQ(cc.Match.Vector[2].cV, 28);
    EXPECT_EQ(cc.Match.Vector[2].bySatWidth, 35);
    // ... and at the outer edge.
    ASSERT_EQ(s.viewer.MatchAdjust(0, -1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 42); // distance 70
    EXPECT_EQ(cc.Match.Vector[2].cV, 56);
    EXPECT_EQ(cc.Match.Vector[2].bySatWidth, 0);
}

TEST(ViewerMatchAdjust, OuterRadialEdge)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(30, 40, 20);
    tagCOLORCORRINFO cc = s.Drag(start, 8, 0, 0, 0, -8);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].cU = 31; // distance 52
    expected.Match.Vector[2].cV = 41;
    expected.Match.Vector[2].bySatWidth = 22;
    EXPECT_TRUE(SameBytes(expected, cc));
    // The outer edge stops at the inner one.
    ASSERT_EQ(s.viewer.MatchAdjust(0, 1000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 18); // distance 30
    EXPECT_EQ(cc.Match.Vector[2].cV, 24);
    EXPECT_EQ(cc.Match.Vector[2].bySatWidth, 0);
    // No upper limit for the edge; the results are limited.
    ASSERT_EQ(s.viewer.MatchAdjust(0, -2000, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].cU, 127);
    EXPECT_EQ(cc.Match.Vector[2].cV, 127);
    EXPECT_EQ(cc.Match.Vector[2].bySatWidth, 255);
}

TEST(ViewerMatchAdjust, RadialEdgesOfAVectorAtTheCentreChangeOnlyTheWidth)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(0, 0, 20);
    tagCOLORCORRINFO cc = s.Drag(start, 7, 0, 0, 0, -8);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].bySatWidth = 10; // inner edge -16 stops at 0
    EXPECT_TRUE(SameBytes(expected, cc));

    cc = s.Drag(start, 8, 0, 0, 0, -8);
    expected.Match.Vector[2].bySatWidth = 22;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerMatchAdjust, OnlyTheShapedVectorChanges)
{
    Shaping s;
    tagCOLORCORRINFO start = WithVector(10, 10);
    start.Match.Vector[1].cU = 5;
    start.Match.Vector[1].byY = 7;
    for (unsigned int mode = 0; mode <= 8; ++mode) {
        tagCOLORCORRINFO cc = s.Drag(start, mode, 250, 250, 300, 40);
        // Put back vector 2 and the rest must be the start record.
        cc.Match.Vector[2] = start.Match.Vector[2];
        EXPECT_TRUE(SameBytes(start, cc)) << "mode " << mode;
    }
}

// ---- refusals and end ------------------------------------------------------------

TEST(ViewerMatchAdjust, ModesAboveEightWriteTheStartRecordAndRefuse)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(30, 40);
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(s.viewer.BeginMatchAdjust(0, 0, 9, cc), 1);
    cc = Untouchable();
    EXPECT_EQ(s.viewer.MatchAdjust(100, 100, cc), 0);
    EXPECT_TRUE(SameBytes(start, cc));
    // End still ends the drag.
    EXPECT_EQ(s.viewer.EndMatchAdjust(100, 100, cc), 1);
    EXPECT_EQ(s.viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
}

TEST(ViewerMatchAdjust, MoveAndEndWithoutBeginAreRefused)
{
    Shaping s;
    const tagCOLORCORRINFO before = []() {
        tagCOLORCORRINFO cc = Untouchable();
        cc.Match.dwCount = 3;
        return cc;
    }();
    tagCOLORCORRINFO cc = before;
    // The start record would have vector 2 in use; no drag runs.
    s.viewer.m_ccStart = ThreeVectors();
    EXPECT_EQ(s.viewer.MatchAdjust(10, 10, cc), 0);
    EXPECT_EQ(s.viewer.EndMatchAdjust(10, 10, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));
}

TEST(ViewerMatchAdjust, MovesCheckTheStartRecordNotTheCallers)
{
    Shaping s;
    const tagCOLORCORRINFO start = WithVector(30, 40);
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(s.viewer.BeginMatchAdjust(0, 0, 1, cc), 1);
    // The caller's record has no vectors; the start record has.
    tagCOLORCORRINFO caller;
    caller.Init(sizeof(tagCOLORCORRINFO));
    EXPECT_EQ(s.viewer.MatchAdjust(0, -20, caller), 1);
    EXPECT_EQ(caller.Match.dwCount, 3u);
    EXPECT_EQ(caller.Match.Vector[2].byY, 138);

    // A vector chosen after Begin that the start record does not use.
    ASSERT_EQ(s.viewer.SetIsolateVector(5), 1);
    const tagCOLORCORRINFO before = Untouchable();
    cc = before;
    EXPECT_EQ(s.viewer.MatchAdjust(0, -20, cc), 0);
    EXPECT_EQ(s.viewer.EndMatchAdjust(0, -20, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));
    ASSERT_EQ(s.viewer.SetIsolateVector(0), 1);
    EXPECT_EQ(s.viewer.MatchAdjust(0, -20, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));
}

TEST(ViewerMatchAdjust, WrongSizesAreRefused)
{
    Shaping s;
    tagCOLORCORRINFO cc = ThreeVectors();
    ASSERT_EQ(s.viewer.BeginMatchAdjust(0, 0, 1, cc), 1);
    tagCOLORCORRINFO wrong = Untouchable();
    wrong.dwSize = 456;
    const tagCOLORCORRINFO before = wrong;
    EXPECT_EQ(s.viewer.MatchAdjust(0, -20, wrong), 0);
    EXPECT_EQ(s.viewer.EndMatchAdjust(0, -20, wrong), 0);
    EXPECT_TRUE(SameBytes(before, wrong));
    EXPECT_EQ(s.viewer.m_nStartX, 0); // still running
}

TEST(ViewerMatchAdjust, EndMakesTheLastMoveAndKeepsTheMode)
{
    Shaping s;
    tagCOLORCORRINFO cc = ThreeVectors();
    ASSERT_EQ(s.viewer.BeginMatchAdjust(0, 0, 4, cc), 1);
    ASSERT_EQ(s.viewer.EndMatchAdjust(0, -10, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].byHueWidth, 14 + 5);
    EXPECT_EQ(s.viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(s.viewer.m_nStartY, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(s.viewer.m_dwMatchMode, 4u);
    const tagCOLORCORRINFO after = cc;
    EXPECT_EQ(s.viewer.MatchAdjust(0, -40, cc), 0);
    EXPECT_TRUE(SameBytes(after, cc));
}

TEST(ViewerMatchAdjust, ExtremeCoordinatesStayInRange)
{
    for (unsigned int mode = 0; mode <= 8; ++mode) {
        Shaping s;
        const tagCOLORCORRINFO start = WithVector(-30, 70, 200);
        // INT_MAX itself as a start coordinate means "no drag".
        const struct {
            int from, to;
        } drags[] = {{INT_MAX - 1, INT_MIN}, {INT_MIN, INT_MAX}};
        for (const auto& drag : drags) {
            tagCOLORCORRINFO cc = start;
            ASSERT_EQ(s.viewer.BeginMatchAdjust(INT_MIN, drag.from, mode, cc), 1);
            EXPECT_EQ(s.viewer.MatchAdjust(INT_MAX, drag.to, cc), 1) << "mode " << mode;
            EXPECT_GE(cc.Match.Vector[2].cU, -127) << "mode " << mode;
            EXPECT_GE(cc.Match.Vector[2].cV, -127) << "mode " << mode;
        }
    }
}
