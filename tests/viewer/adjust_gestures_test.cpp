#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "support/record_bytes.h"
#include "viewer/gesture_access.h"

using colorcorrect::test::GestureAccess;
using colorcorrect::test::JunkRecord;
using colorcorrect::test::SameBytes;

namespace {

constexpr unsigned long kPrimary = 0x1, kSixVector = 0x2, kMatchVector = 0x4;
constexpr unsigned long kRedAll = 0x7, kGreenAll = 0x70, kBlueAll = 0x700;
constexpr unsigned long kLumaBlack = 0x1000, kLumaGamma = 0x2000, kLumaWhite = 0x4000;
constexpr unsigned long kChromaOffset = 0x10000;
constexpr unsigned long kHue = 0x100000, kSat = 0x200000;

tagCOLORCORRINFO Default()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    return cc;
}

// A default record with `count` match vectors in use.
tagCOLORCORRINFO WithVectors(uint32_t count)
{
    tagCOLORCORRINFO cc = Default();
    cc.dwFlags = CC_MATCH_VECTOR;
    cc.Match.dwCount = count;
    return cc;
}

// A record a refused call must leave alone, size field included.
tagCOLORCORRINFO Untouchable()
{
    tagCOLORCORRINFO cc = JunkRecord(7);
    cc.dwSize = sizeof(tagCOLORCORRINFO);
    return cc;
}

// Sets the control at byte `offset` of the primary correction (the record is
// packed, so it is not reached through a member pointer).
void SetBaseField(tagBASECOLORCORRINFO& base, size_t offset, int16_t value)
{
    std::memcpy(reinterpret_cast<unsigned char*>(&base) + offset, &value, sizeof value);
}

} // namespace

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

// ---- coupled adjustment: primary correction ------------------------------------

TEST(ViewerCoupledAdjust, VerticalStepIsAThirdOfThePixelsMovedUp)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sYBlack = 7;
    ASSERT_EQ(viewer.BeginCoupledAdjust(100, 100, kPrimary, kLumaBlack, start), 1);
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.CoupledAdjust(100, 40, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sYBlack = 27;
    EXPECT_TRUE(SameBytes(expected, cc));
    // One pixel is less than a step.
    ASSERT_EQ(viewer.CoupledAdjust(100, 99, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
    // Down is negative.
    ASSERT_EQ(viewer.CoupledAdjust(100, 130, cc), 1);
    EXPECT_EQ(cc.Base.sYBlack, -3);
}

TEST(ViewerCoupledAdjust, LumaBitsChooseTheirFields)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 30, kPrimary, kLumaGamma | kLumaWhite, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(0, 0, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sYGamma = 10;
    expected.Base.sYWhite = 10;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerCoupledAdjust, MovingUpShiftsRedAndGreen)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(50, 60, kPrimary, kRedAll, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(50, 30, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sRBlack = expected.Base.sRGamma = expected.Base.sRWhite = 14;
    EXPECT_TRUE(SameBytes(expected, cc));

    cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(50, 60, kPrimary, kRedAll | kGreenAll | kBlueAll, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(50, 30, cc), 1);
    expected.Base.sGBlack = expected.Base.sGGamma = expected.Base.sGWhite = -7;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerCoupledAdjust, MovingRightShiftsGreenAndBlue)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(50, 60, kPrimary,
                                        kRedAll | kGreenAll | kBlueAll | kLumaBlack, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(80, 60, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sGBlack = expected.Base.sGGamma = expected.Base.sGWhite = -3;
    expected.Base.sBBlack = expected.Base.sBGamma = expected.Base.sBWhite = 18;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerCoupledAdjust, EachColourBitChangesOnlyItsField)
{
    const struct {
        unsigned long bit;
        size_t field;
    } bits[] = {
        {0x1, offsetof(tagBASECOLORCORRINFO, sRBlack)},
        {0x2, offsetof(tagBASECOLORCORRINFO, sRGamma)},
        {0x4, offsetof(tagBASECOLORCORRINFO, sRWhite)},
        {0x10, offsetof(tagBASECOLORCORRINFO, sGBlack)},
        {0x20, offsetof(tagBASECOLORCORRINFO, sGGamma)},
        {0x40, offsetof(tagBASECOLORCORRINFO, sGWhite)},
        {0x100, offsetof(tagBASECOLORCORRINFO, sBBlack)},
        {0x200, offsetof(tagBASECOLORCORRINFO, sBGamma)},
        {0x400, offsetof(tagBASECOLORCORRINFO, sBWhite)},
    };
    for (const auto& b : bits) {
        GestureAccess viewer;
        const tagCOLORCORRINFO start = Default();
        tagCOLORCORRINFO cc = start;
        ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kPrimary, b.bit, cc), 1);
        // Up and right by 60: u = v = 20 gives r 28, g -21, b 35.
        ASSERT_EQ(viewer.CoupledAdjust(60, -60, cc), 1);
        tagCOLORCORRINFO expected = start;
        SetBaseField(expected.Base, b.field,
                     static_cast<int16_t>(b.bit < 0x10 ? 28 : b.bit < 0x100 ? -21 : 35));
        EXPECT_TRUE(SameBytes(expected, cc)) << "bit 0x" << std::hex << b.bit;
    }
}

TEST(ViewerCoupledAdjust, ResultsAreClamped)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sYBlack = 250;
    start.Base.sYWhite = -250;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 100, kPrimary, kLumaBlack, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(0, 70, cc), 1);
    EXPECT_EQ(cc.Base.sYBlack, 255);

    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 100, kPrimary, kLumaWhite, start), 1);
    ASSERT_EQ(viewer.CoupledAdjust(0, 130, cc), 1);
    EXPECT_EQ(cc.Base.sYWhite, -255);
}

TEST(ViewerCoupledAdjust, ExtremeCoordinatesClampWithoutOverflow)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginCoupledAdjust(INT_MIN, INT_MAX - 1, kPrimary,
                                        kRedAll | kGreenAll | kBlueAll | kLumaBlack, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(INT_MAX - 1, INT_MIN, cc), 1);
    EXPECT_EQ(cc.Base.sYBlack, 255);
    EXPECT_EQ(cc.Base.sRBlack, 255);
    EXPECT_EQ(cc.Base.sGBlack, -255);
    EXPECT_EQ(cc.Base.sBBlack, 255);
}

TEST(ViewerCoupledAdjust, EveryMoveStartsFromTheStartRecord)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 100, kPrimary, kLumaBlack, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(0, 70, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(0, 70, cc), 1);
    EXPECT_EQ(cc.Base.sYBlack, 10);
}

TEST(ViewerCoupledAdjust, MoveOverwritesTheWholeRecordWhateverItsSize)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO begin = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kPrimary, kLumaBlack, begin), 1);
    tagCOLORCORRINFO cc = JunkRecord(3);
    ASSERT_EQ(viewer.CoupledAdjust(0, 0, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
}

// ---- coupled adjustment: six-vector and match vector ---------------------------

TEST(ViewerCoupledAdjust, SixVectorTargetChangesTheSelectedSegment)
{
    GestureAccess viewer;
    viewer.Set6Vector(3);
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    // Colour bits do nothing on this target.
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kSixVector,
                                        kLumaBlack | kLumaGamma | kLumaWhite | kRedAll |
                                            kChromaOffset, cc), 1);
    ASSERT_EQ(viewer.CoupledAdjust(30, -15, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Vector6.sBlack[3] = 5;
    expected.Vector6.sGamma[3] = 5;
    expected.Vector6.sWhite[3] = 5;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerCoupledAdjust, MatchVectorTargetChangesTheSelectedVector)
{
    GestureAccess viewer;
    ASSERT_EQ(viewer.SetIsolateVector(2), 1);
    tagCOLORCORRINFO start = WithVectors(3);
    start.Match.Vector[2].sUOffset = 250;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(100, 100, kMatchVector,
                                        kLumaWhite | kChromaOffset | kBlueAll, cc), 1);
    // Whole pixels for the offsets, thirds for the luma.
    ASSERT_EQ(viewer.CoupledAdjust(93, 88, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Match.Vector[2].sWhite = 4;
    expected.Match.Vector[2].sUOffset = 243;
    expected.Match.Vector[2].sVOffset = 12;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(viewer.CoupledAdjust(120, 100, cc), 1);
    EXPECT_EQ(cc.Match.Vector[2].sUOffset, 255);
}

TEST(ViewerCoupledAdjust, MatchVectorNotInUseIsRefused)
{
    GestureAccess viewer;
    ASSERT_EQ(viewer.SetIsolateVector(3), 1);
    const tagCOLORCORRINFO start = WithVectors(3);
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kMatchVector, kLumaBlack | kChromaOffset, cc), 1);
    cc = Untouchable();
    EXPECT_EQ(viewer.CoupledAdjust(30, -30, cc), 0);
    EXPECT_TRUE(SameBytes(start, cc));
    // The drag still ends.
    EXPECT_EQ(viewer.EndCoupledAdjust(30, -30, cc), 1);
    EXPECT_EQ(viewer.m_dwAdjustFlags, 0u);
}

TEST(ViewerCoupledAdjust, OtherSingleBitTargetsKeepTheStartRecord)
{
    for (unsigned long target : {0ul, 0x8ul, 0x100ul}) {
        GestureAccess viewer;
        tagCOLORCORRINFO start = Default();
        start.Base.sYBlack = 11;
        tagCOLORCORRINFO cc = start;
        ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, target, kLumaBlack | kRedAll, cc), 1);
        cc = Untouchable();
        EXPECT_EQ(viewer.CoupledAdjust(30, -30, cc), 1);
        EXPECT_TRUE(SameBytes(start, cc)) << "target " << target;
    }
}

// ---- coupled adjustment: refusals and end ---------------------------------------

TEST(ViewerCoupledAdjust, BeginRefusesSeveralTargetsAndWrongSizes)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    cc.Base.sYBlack = 99;
    EXPECT_EQ(viewer.BeginCoupledAdjust(1, 2, 3, kLumaBlack, cc), 0);
    EXPECT_EQ(viewer.BeginCoupledAdjust(1, 2, 0x5, kLumaBlack, cc), 0);
    cc.dwSize = 563;
    EXPECT_EQ(viewer.BeginCoupledAdjust(1, 2, kPrimary, kLumaBlack, cc), 0);
    cc.dwSize = 565;
    EXPECT_EQ(viewer.BeginCoupledAdjust(1, 2, kPrimary, kLumaBlack, cc), 0);
    // The viewer is untouched.
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_nStartY, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_dwAdjustFlags, 0u);
    EXPECT_TRUE(SameBytes(Default(), viewer.m_ccStart));
}

TEST(ViewerCoupledAdjust, BeginKeepsTheDragsState)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    cc.Base.sHue = 5;
    ASSERT_EQ(viewer.BeginCoupledAdjust(12, 34, kSixVector, 0x12345, cc), 1);
    EXPECT_EQ(viewer.m_nStartX, 12);
    EXPECT_EQ(viewer.m_nStartY, 34);
    EXPECT_EQ(viewer.m_dwAdjustFlags, 0x12345u);
    EXPECT_EQ(viewer.m_dwAdjustTarget, kSixVector);
    EXPECT_TRUE(SameBytes(cc, viewer.m_ccStart));
}

TEST(ViewerCoupledAdjust, MoveAndEndWithoutBeginAreRefused)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO before = Untouchable();
    tagCOLORCORRINFO cc = before;
    EXPECT_EQ(viewer.CoupledAdjust(10, 10, cc), 0);
    EXPECT_EQ(viewer.EndCoupledAdjust(10, 10, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));

    // No value bits: nothing to adjust, so no drag runs.
    tagCOLORCORRINFO start = Default();
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kPrimary, 0, start), 1);
    EXPECT_EQ(viewer.CoupledAdjust(10, 10, cc), 0);
    EXPECT_EQ(viewer.EndCoupledAdjust(10, 10, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));

    // A drag whose start point another drag's End cleared.
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kPrimary, kLumaBlack, start), 1);
    viewer.EndRotate();
    EXPECT_EQ(viewer.CoupledAdjust(10, 10, cc), 0);
    EXPECT_EQ(viewer.EndCoupledAdjust(10, 10, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));
}

TEST(ViewerCoupledAdjust, EndMakesTheLastMoveAndEndsTheDrag)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginCoupledAdjust(0, 0, kPrimary, kLumaBlack, cc), 1);
    ASSERT_EQ(viewer.EndCoupledAdjust(0, -60, cc), 1);
    EXPECT_EQ(cc.Base.sYBlack, 20);
    EXPECT_EQ(viewer.m_dwAdjustFlags, 0u);
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_nStartY, colorcorrect::VIEWER_NO_GESTURE);
    const tagCOLORCORRINFO after = cc;
    EXPECT_EQ(viewer.CoupledAdjust(0, -90, cc), 0);
    EXPECT_TRUE(SameBytes(after, cc));
}

// ---- hue and saturation ------------------------------------------------------------

TEST(ViewerHueSatAdjust, QuarterTurnsGiveHalfSteps)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sHue = 10;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kPrimary, kHue | kSat, cc), 1);
    // Counter-clockwise with y up lowers the hue; the distance is kept.
    ASSERT_EQ(viewer.HueSatAdjust(192, 44, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sHue = 10 - 127;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(viewer.HueSatAdjust(192, 244, cc), 1);
    expected.Base.sHue = 10 + 127;
    EXPECT_TRUE(SameBytes(expected, cc));
    // Half a turn.
    ASSERT_EQ(viewer.HueSatAdjust(92, 144, cc), 1);
    EXPECT_EQ(cc.Base.sHue, 10 + 255 - 510); // wrapped round
}

TEST(ViewerHueSatAdjust, HueWrapsRound)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sHue = 250;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kPrimary, kHue, cc), 1);
    // A clockwise turn of about 0.2525 radians: a step of 20.
    ASSERT_EQ(viewer.HueSatAdjust(192 + 968, 144 + 250, cc), 1);
    EXPECT_EQ(cc.Base.sHue, -240);

    start.Base.sHue = -250;
    cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kPrimary, kHue, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(192 + 968, 144 - 250, cc), 1);
    EXPECT_EQ(cc.Base.sHue, 240);
}

TEST(ViewerHueSatAdjust, HueFromOutsideTheRangeWrapsIntoIt)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sHue = 1000;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kPrimary, kHue, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(292, 144, cc), 1);
    EXPECT_EQ(cc.Base.sHue, 1000 - 2 * 510);
}

TEST(ViewerHueSatAdjust, SaturationFollowsTheDistanceRatio)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sSat = 20;
    start.Base.sHue = 3;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(192, 94, kPrimary, kSat, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(192, 44, cc), 1); // twice as far
    tagCOLORCORRINFO expected = start;
    expected.Base.sSat = 20 + 101;
    EXPECT_TRUE(SameBytes(expected, cc));
    ASSERT_EQ(viewer.HueSatAdjust(192, 119, cc), 1); // half as far
    EXPECT_EQ(cc.Base.sSat, 20 - 127);
    // At the centre: no turn, all the saturation off.
    ASSERT_EQ(viewer.HueSatAdjust(192, 144, cc), 1);
    EXPECT_EQ(cc.Base.sSat, -235);
    // Only the saturation bit: the hue stays whatever the turn.
    ASSERT_EQ(viewer.HueSatAdjust(92, 144, cc), 1);
    EXPECT_EQ(cc.Base.sHue, 3);
    EXPECT_EQ(cc.Base.sSat, 20 + 101);
}

TEST(ViewerHueSatAdjust, SaturationIsClamped)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sSat = 200;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(192, 94, kPrimary, kSat, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(192, -56, cc), 1); // three times as far
    EXPECT_EQ(cc.Base.sSat, 255);
}

TEST(ViewerHueSatAdjust, SixVectorAndMatchVectorTargets)
{
    GestureAccess viewer;
    viewer.Set6Vector(5);
    ASSERT_EQ(viewer.SetIsolateVector(1), 1);
    const tagCOLORCORRINFO start = WithVectors(2);
    tagCOLORCORRINFO cc = start;

    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kSixVector, kHue | kSat, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(192, 344, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Vector6.sHue[5] = 127;
    expected.Vector6.sSat[5] = 101;
    EXPECT_TRUE(SameBytes(expected, cc));

    cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kMatchVector, kHue | kSat, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(192, 344, cc), 1);
    expected = start;
    expected.Match.Vector[1].sHue = 127;
    expected.Match.Vector[1].sSat = 101;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerHueSatAdjust, MatchVectorNotInUseIsRefused)
{
    for (uint32_t count : {0u, 1u}) {
        GestureAccess viewer;
        ASSERT_EQ(viewer.SetIsolateVector(1), 1);
        const tagCOLORCORRINFO start = WithVectors(count);
        tagCOLORCORRINFO cc = start;
        ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kMatchVector, kHue, cc), 1);
        cc = Untouchable();
        EXPECT_EQ(viewer.HueSatAdjust(192, 44, cc), 0);
        EXPECT_TRUE(SameBytes(start, cc));
    }
}

TEST(ViewerHueSatAdjust, OtherTargetsKeepTheStartRecord)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, 0x8, kHue | kSat, cc), 1);
    cc = Untouchable();
    EXPECT_EQ(viewer.HueSatAdjust(192, 44, cc), 1);
    EXPECT_TRUE(SameBytes(start, cc));
}

TEST(ViewerHueSatAdjust, StartNearTheCentreHasNoDirection)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHueSatAdjust(193, 145, kPrimary, kHue | kSat, cc), 1);
    cc = Untouchable();
    EXPECT_EQ(viewer.HueSatAdjust(292, 144, cc), 0);
    EXPECT_TRUE(SameBytes(start, cc));
    // Two pixels away is far enough.
    ASSERT_EQ(viewer.BeginHueSatAdjust(194, 144, kPrimary, kSat, cc), 1);
    EXPECT_EQ(viewer.HueSatAdjust(196, 144, cc), 1);
    EXPECT_EQ(cc.Base.sSat, 101);
}

TEST(ViewerHueSatAdjust, BeginRefusals)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    cc.Base.sSat = 1;
    EXPECT_EQ(viewer.BeginHueSatAdjust(0, 0, 0x6, kHue, cc), 0);
    EXPECT_EQ(viewer.BeginHueSatAdjust(0, 0, kPrimary, 0x1000 | 0x400000, cc), 0);
    cc.dwSize = 0;
    EXPECT_EQ(viewer.BeginHueSatAdjust(0, 0, kPrimary, kHue, cc), 0);
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_dwAdjustFlags, 0u);
    EXPECT_TRUE(SameBytes(Default(), viewer.m_ccStart));
}

TEST(ViewerHueSatAdjust, BeginKeepsOnlyTheHueAndSaturationBits)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginHueSatAdjust(3, 4, kMatchVector, kHue | kLumaBlack | 0x1, cc), 1);
    EXPECT_EQ(viewer.m_dwAdjustFlags, kHue);
    EXPECT_EQ(viewer.m_dwAdjustTarget, kMatchVector);
    EXPECT_EQ(viewer.m_nStartX, 3);
    EXPECT_EQ(viewer.m_nStartY, 4);
}

TEST(ViewerHueSatAdjust, MoveAndEndRefuseWrongSizesAndMissingBegin)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO before = Untouchable();
    tagCOLORCORRINFO cc = before;
    EXPECT_EQ(viewer.HueSatAdjust(10, 10, cc), 0);
    EXPECT_EQ(viewer.EndHueSatAdjust(10, 10, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));

    tagCOLORCORRINFO start = Default();
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kPrimary, kHue, start), 1);
    tagCOLORCORRINFO wrong = before;
    wrong.dwSize = 36;
    const tagCOLORCORRINFO wrongBefore = wrong;
    EXPECT_EQ(viewer.HueSatAdjust(10, 10, wrong), 0);
    EXPECT_EQ(viewer.EndHueSatAdjust(10, 10, wrong), 0);
    EXPECT_TRUE(SameBytes(wrongBefore, wrong));
    EXPECT_EQ(viewer.m_nStartX, 292); // still running
}

TEST(ViewerHueSatAdjust, EndMakesTheLastMoveAndClearsOnlyTheStartPoint)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginHueSatAdjust(292, 144, kPrimary, kHue, cc), 1);
    ASSERT_EQ(viewer.EndHueSatAdjust(192, 244, cc), 1);
    EXPECT_EQ(cc.Base.sHue, 127);
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_nStartY, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_dwAdjustFlags, kHue);
    // An End whose last move is refused still ends the drag.
    ASSERT_EQ(viewer.BeginHueSatAdjust(192, 144, kPrimary, kHue, cc), 1);
    EXPECT_EQ(viewer.EndHueSatAdjust(300, 300, cc), 1);
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
}

TEST(ViewerHueSatAdjust, ExtremeCoordinatesStayInRange)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginHueSatAdjust(INT_MIN, INT_MAX - 1, kPrimary, kHue | kSat, cc), 1);
    ASSERT_EQ(viewer.HueSatAdjust(INT_MAX - 1, INT_MIN, cc), 1);
    EXPECT_GE(cc.Base.sHue, -255);
    EXPECT_LE(cc.Base.sHue, 255);
    EXPECT_GE(cc.Base.sSat, -255);
    EXPECT_LE(cc.Base.sSat, 255);
}

// ---- histogram ----------------------------------------------------------------------

TEST(ViewerHistAdjust, BeginOnlyOnTheDisplay)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    EXPECT_EQ(viewer.BeginHistAdjust(384, 10, cc), 0);
    EXPECT_EQ(viewer.BeginHistAdjust(-1, 10, cc), 0);
    EXPECT_EQ(viewer.BeginHistAdjust(10, 288, cc), 0);
    EXPECT_EQ(viewer.BeginHistAdjust(10, -1, cc), 0);
    cc.dwSize = 1;
    EXPECT_EQ(viewer.BeginHistAdjust(10, 10, cc), 0);
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_TRUE(SameBytes(Default(), viewer.m_ccStart));
}

TEST(ViewerHistAdjust, CornerCellIsBlueWhite)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO start = Default();
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHistAdjust(383, 287, cc), 1);
    ASSERT_EQ(viewer.HistAdjust(413, 287, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sBWhite = 10;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerHistAdjust, VerticalMovementIsIgnored)
{
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    start.Base.sGGamma = -4;
    tagCOLORCORRINFO cc = start;
    ASSERT_EQ(viewer.BeginHistAdjust(130, 100, cc), 1);
    ASSERT_EQ(viewer.HistAdjust(160, 300, cc), 1);
    tagCOLORCORRINFO expected = start;
    expected.Base.sGGamma = 6;
    EXPECT_TRUE(SameBytes(expected, cc));
}

TEST(ViewerHistAdjust, EveryCellChoosesItsControl)
{
    const size_t cells[3][3] = {
        {offsetof(tagBASECOLORCORRINFO, sRBlack), offsetof(tagBASECOLORCORRINFO, sRGamma),
         offsetof(tagBASECOLORCORRINFO, sRWhite)},
        {offsetof(tagBASECOLORCORRINFO, sGBlack), offsetof(tagBASECOLORCORRINFO, sGGamma),
         offsetof(tagBASECOLORCORRINFO, sGWhite)},
        {offsetof(tagBASECOLORCORRINFO, sBBlack), offsetof(tagBASECOLORCORRINFO, sBGamma),
         offsetof(tagBASECOLORCORRINFO, sBWhite)},
    };
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            for (int corner = 0; corner < 2; ++corner) {
                GestureAccess viewer;
                const tagCOLORCORRINFO start = Default();
                tagCOLORCORRINFO cc = start;
                const int x = column * 128 + corner * 127;
                const int y = row * 96 + corner * 95;
                ASSERT_EQ(viewer.BeginHistAdjust(x, y, cc), 1);
                ASSERT_EQ(viewer.HistAdjust(x - 10, y, cc), 1);
                tagCOLORCORRINFO expected = start;
                SetBaseField(expected.Base, cells[row][column], -3);
                EXPECT_TRUE(SameBytes(expected, cc)) << "at (" << x << ", " << y << ")";
            }
}

TEST(ViewerHistAdjust, ResultsAreClamped)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    cc.Base.sRBlack = -250;
    ASSERT_EQ(viewer.BeginHistAdjust(0, 0, cc), 1);
    ASSERT_EQ(viewer.HistAdjust(INT_MIN, 0, cc), 1);
    EXPECT_EQ(cc.Base.sRBlack, -255);
}

TEST(ViewerHistAdjust, MoveAndEndRefusals)
{
    GestureAccess viewer;
    const tagCOLORCORRINFO before = Untouchable();
    tagCOLORCORRINFO cc = before;
    EXPECT_EQ(viewer.HistAdjust(10, 10, cc), 0);
    EXPECT_EQ(viewer.EndHistAdjust(10, 10, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));

    tagCOLORCORRINFO start = Default();
    ASSERT_EQ(viewer.BeginHistAdjust(10, 10, start), 1);
    tagCOLORCORRINFO wrong = before;
    wrong.dwSize = 0;
    const tagCOLORCORRINFO wrongBefore = wrong;
    EXPECT_EQ(viewer.HistAdjust(40, 10, wrong), 0);
    EXPECT_EQ(viewer.EndHistAdjust(40, 10, wrong), 0);
    EXPECT_TRUE(SameBytes(wrongBefore, wrong));
}

TEST(ViewerHistAdjust, StartPointOffTheGridIsRefused)
{
    // Another drag's start point replaces the histogram's; off the grid it
    // names no control.
    GestureAccess viewer;
    tagCOLORCORRINFO start = Default();
    ASSERT_EQ(viewer.BeginCoupledAdjust(500, -20, kPrimary, kLumaBlack, start), 1);
    const tagCOLORCORRINFO before = Untouchable();
    tagCOLORCORRINFO cc = before;
    EXPECT_EQ(viewer.HistAdjust(530, -20, cc), 0);
    EXPECT_TRUE(SameBytes(before, cc));
}

TEST(ViewerHistAdjust, EndMakesTheLastMoveAndClearsTheStartPoint)
{
    GestureAccess viewer;
    tagCOLORCORRINFO cc = Default();
    ASSERT_EQ(viewer.BeginHistAdjust(0, 0, cc), 1);
    ASSERT_EQ(viewer.EndHistAdjust(9, 0, cc), 1);
    EXPECT_EQ(cc.Base.sRBlack, 3);
    EXPECT_EQ(viewer.m_nStartX, colorcorrect::VIEWER_NO_GESTURE);
    EXPECT_EQ(viewer.m_nStartY, colorcorrect::VIEWER_NO_GESTURE);
    const tagCOLORCORRINFO after = cc;
    EXPECT_EQ(viewer.HistAdjust(30, 0, cc), 0);
    EXPECT_TRUE(SameBytes(after, cc));
}
