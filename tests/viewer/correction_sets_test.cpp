// Saved correction sets against a model: a list of up to 32 in slot order that
// turns into a ring once full; sets not in use answer with the current correction.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/record_bytes.h"

TEST(ViewerSets, FollowTheModelOfAListThatTurnsIntoARing)
{
    const auto numbered = [](int n) { // valid records told apart by n in two groups
        tagCOLORCORRINFO cc = g_ccDefault;
        cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR;
        cc.Base.sYBlack = static_cast<int16_t>(n % 200);
        cc.Vector6.sHue[5] = static_cast<int16_t>(n / 200);
        return cc;
    };
    CColorCorrectionViewer viewer;
    std::vector<tagCOLORCORRINFO> sets; // the model, in slot order
    unsigned next = 0;                  // once full, the slot the next save overwrites
    tagCOLORCORRINFO current = g_ccDefault;
    std::mt19937 rng(5);
    for (int step = 1; step <= 2000; ++step) {
        const unsigned op = rng() % 200, i = rng() % 34;
        if (op < 110) {
            current = numbered(step);
            ASSERT_EQ(viewer.SetCorrection(current), 1);
            const unsigned slot = sets.size() < 32 ? sets.size() : next;
            ASSERT_EQ(viewer.DefineSet(), slot) << "save " << step;
            sets.resize(std::max<size_t>(sets.size(), slot + 1));
            sets[slot] = current;
            next = (slot + 1) % 32;
        } else if (op < 140) {
            ASSERT_EQ(viewer.DeleteSet(i), i < sets.size() ? 1 : 0);
            if (i < sets.size())
                sets.erase(sets.begin() + i);
        } else if (op < 141) {
            viewer.ClearListSet();
            sets.clear();
        } else if (op < 160) {
            tagCOLORCORRINFO refused = numbered(step); // refused: nothing changes
            (op % 2 != 0 ? refused.Base.dwSize : refused.dwSize) = 563;
            ASSERT_EQ(viewer.SetCorrection(refused), 0);
        }
        ASSERT_EQ(viewer.QueryNSet(), sets.size());
        tagCOLORCORRINFO cc = numbered(9999);
        ASSERT_EQ(viewer.GetSet(i, cc), i < sets.size() ? 1 : 0);
        ASSERT_TRUE(colorcorrect::test::SameBytes(i < sets.size() ? sets[i] : current, cc)) << "set " << i;
    }
}
