#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include "support/record_bytes.h"
#include "viewer/viewer_access.h"

using colorcorrect::test::SameBytes;
using colorcorrect::test::ViewerAccess;

namespace {

// A valid record told apart by `n` (its luma black level).
tagCOLORCORRINFO Numbered(int n)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sYBlack = static_cast<int16_t>(n);
    return cc;
}

// Saves the records numbered first .. first + count - 1, each made current
// first; returns the slots written.
std::vector<unsigned int> Save(ViewerAccess& viewer, int first, int count)
{
    std::vector<unsigned int> slots;
    for (int n = first; n < first + count; ++n) {
        EXPECT_EQ(viewer.SetCorrection(Numbered(n)), 1);
        slots.push_back(viewer.DefineSet());
    }
    return slots;
}

int NumberIn(ViewerAccess& viewer, unsigned int set)
{
    tagCOLORCORRINFO cc;
    EXPECT_EQ(viewer.GetSet(set, cc), 1) << "set " << set;
    return cc.Base.sYBlack;
}

} // namespace

TEST(ViewerSets, NewViewerHasNoSets)
{
    ViewerAccess viewer;
    EXPECT_EQ(viewer.QueryNSet(), 0u);
    EXPECT_EQ(viewer.m_nSets, 0u);
    for (const tagCOLORCORRINFO& set : viewer.m_ccSets)
        EXPECT_EQ(set.IsDefault(), 1);
}

TEST(ViewerSets, SavesFillTheSlotsInOrder)
{
    ViewerAccess viewer;
    const auto slots = Save(viewer, 1, 32);
    for (unsigned int i = 0; i < 32; ++i)
        EXPECT_EQ(slots[i], i);
    EXPECT_EQ(viewer.QueryNSet(), 32u);
    EXPECT_EQ(viewer.m_nSets, 32u);
    for (unsigned int i = 0; i < 32; ++i)
        EXPECT_EQ(NumberIn(viewer, i), static_cast<int>(i) + 1);
}

TEST(ViewerSets, SaveCopiesTheWholeCurrentRecord)
{
    ViewerAccess viewer;
    tagCOLORCORRINFO cc = Numbered(7);
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR;
    cc.Vector6.sHue[2] = 40;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].cU = -30;
    ASSERT_EQ(viewer.SetCorrection(cc), 1);
    EXPECT_EQ(viewer.DefineSet(), 0u);
    tagCOLORCORRINFO out;
    EXPECT_EQ(viewer.GetSet(0, out), 1);
    EXPECT_TRUE(SameBytes(cc, out));
}

TEST(ViewerSets, FullListWorksAsARing)
{
    ViewerAccess viewer;
    Save(viewer, 1, 32);
    EXPECT_EQ(Save(viewer, 33, 1).at(0), 0u) << "the 33rd save overwrites the first";
    EXPECT_EQ(viewer.QueryNSet(), 32u);
    EXPECT_EQ(viewer.m_nSets, 33u);
    EXPECT_EQ(NumberIn(viewer, 0), 33);
    EXPECT_EQ(NumberIn(viewer, 1), 2);

    const auto slots = Save(viewer, 34, 31); // saves 34 to 64
    EXPECT_EQ(slots.front(), 1u);
    EXPECT_EQ(slots.back(), 31u);
    EXPECT_EQ(viewer.m_nSets, 32u) << "after 64 saves the ring has come round";
    EXPECT_EQ(Save(viewer, 65, 1).at(0), 0u);
    EXPECT_EQ(viewer.QueryNSet(), 32u);
    EXPECT_EQ(NumberIn(viewer, 0), 65);
}

TEST(ViewerSets, DeleteClosesTheGap)
{
    ViewerAccess viewer;
    Save(viewer, 1, 3);
    const tagCOLORCORRINFO third = viewer.m_ccSets[2];
    EXPECT_EQ(viewer.DeleteSet(0), 1);
    EXPECT_EQ(viewer.QueryNSet(), 2u);
    EXPECT_EQ(NumberIn(viewer, 0), 2);
    EXPECT_EQ(NumberIn(viewer, 1), 3);
    EXPECT_TRUE(SameBytes(third, viewer.m_ccSets[1]));
}

TEST(ViewerSets, DeleteOfTheLastAndPastTheEnd)
{
    ViewerAccess viewer;
    Save(viewer, 1, 3);
    EXPECT_EQ(viewer.DeleteSet(3), 0);
    EXPECT_EQ(viewer.QueryNSet(), 3u);
    EXPECT_EQ(viewer.DeleteSet(2), 1);
    EXPECT_EQ(viewer.QueryNSet(), 2u);
    EXPECT_EQ(NumberIn(viewer, 1), 2);
    EXPECT_EQ(viewer.DeleteSet(0xFFFFFFFFu), 0);
}

TEST(ViewerSets, DeleteTurnsAWrappedRingIntoAList)
{
    ViewerAccess viewer;
    Save(viewer, 1, 40); // slots 0..7 hold 33..40, slots 8..31 hold 9..32
    ASSERT_EQ(viewer.m_nSets, 40u);
    EXPECT_EQ(viewer.DeleteSet(5), 1);
    EXPECT_EQ(viewer.QueryNSet(), 31u);
    EXPECT_EQ(viewer.m_nSets, 31u);
    EXPECT_EQ(NumberIn(viewer, 4), 37);
    EXPECT_EQ(NumberIn(viewer, 5), 39);
    EXPECT_EQ(NumberIn(viewer, 30), 32);
    EXPECT_EQ(Save(viewer, 41, 1).at(0), 31u);
    EXPECT_EQ(viewer.QueryNSet(), 32u);
}

TEST(ViewerSets, GetPastTheEndGivesTheCurrentCorrection)
{
    ViewerAccess viewer;
    Save(viewer, 1, 3);
    ASSERT_EQ(viewer.SetCorrection(Numbered(99)), 1);
    tagCOLORCORRINFO cc = Numbered(5);
    EXPECT_EQ(viewer.GetSet(3, cc), 0);
    EXPECT_TRUE(SameBytes(Numbered(99), cc));
}

TEST(ViewerSets, ClearEmptiesTheListButKeepsTheSlots)
{
    ViewerAccess viewer;
    Save(viewer, 1, 3);
    viewer.ClearListSet();
    EXPECT_EQ(viewer.QueryNSet(), 0u);
    tagCOLORCORRINFO cc;
    EXPECT_EQ(viewer.GetSet(0, cc), 0);
    EXPECT_EQ(+viewer.m_ccSets[0].Base.sYBlack, 1);
    EXPECT_EQ(Save(viewer, 8, 1).at(0), 0u);
    EXPECT_EQ(viewer.QueryNSet(), 1u);
}
