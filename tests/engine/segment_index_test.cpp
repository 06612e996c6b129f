// The hue segment indexes over every chroma pair, and the angle rules they
// are built on.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "filter_access.h"

using colorcorrect::g_Pi;
using colorcorrect::g_TwoPi;
using colorcorrect::kSixSegmentBoundaries;
using namespace colorcorrect::test;

namespace {

// Segment a, neighbour b and weight w of the pair at the given angle and radius.
std::array<unsigned, 3> Six(const FilterAccess& f, double angle, double radius)
{
    const unsigned e = f.SixEntry(static_cast<int>(std::lround(radius * std::cos(angle))),
                                  static_cast<int>(std::lround(radius * std::sin(angle))));
    return {e & 0xF, (e >> 4) & 0xF, e >> 8};
}

tagMATCHVECTORINFO MatchInfo(std::initializer_list<tagMATCHVECTOR> vectors)
{
    tagMATCHVECTORINFO info;
    info.Init();
    info.Vector[0] = MatchVector(0, 0, 0, 0, 0, 0);
    info.dwCount = 1;
    for (const tagMATCHVECTOR& v : vectors)
        info.Vector[info.dwCount++] = v;
    return info;
}

} // namespace

TEST(Angles, QuadrantsAndWrapping)
{
    EXPECT_EQ(ChromaAngle(0, 0), 3 * g_Pi / 2); // the neutral pair
    EXPECT_EQ(ChromaAngle(-3, 4), std::atan(4.0 / -3.0) + g_Pi);
    EXPECT_EQ(AngleDistance(0.1, 6.2), (0.1 - 6.2) + g_TwoPi);
    EXPECT_EQ(AngleDifference(0.1, 6.2), (0.1 - 6.2) + g_TwoPi);
    EXPECT_EQ(AngleDifference(6.2, 0.1), (6.2 - 0.1) - g_TwoPi);
    EXPECT_EQ(AngleDifference(g_Pi, 0.0), g_Pi); // exactly pi is not wrapped
}

// ---- six vectors ---------------------------------------------------------------------

TEST(SixIndex, SegmentsTheirBoundariesAndTheNeutralPair)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    // The neutral pair blends cyan with green at a quarter.
    EXPECT_EQ(f.SixEntry(0, 0), (64 << 8) | (3 << 4) | 4);
    for (int v = -128; v < 128; ++v)
        for (int u = -128; u < 128; ++u) {
            const unsigned e = f.SixEntry(u, v);
            const unsigned a = e & 0xF, b = (e >> 4) & 0xF;
            ASSERT_TRUE(a < 6 && (b == (a + 1) % 6 || b == (a + 5) % 6)) << u << ", " << v;
            ASSERT_LE(e >> 8, 128u) << u << ", " << v;
        }
    for (int i = 0; i < 6; ++i) {
        // Weight 0 in the middle of a segment, near 128 close to a boundary
        // (integer pairs never lie on one), blending with the other side.
        const double lo = kSixSegmentBoundaries[i];
        const double hi = i < 5 ? kSixSegmentBoundaries[i + 1] : kSixSegmentBoundaries[0] + g_TwoPi;
        const unsigned n = static_cast<unsigned>(i), prev = (n + 5) % 6;
        const auto mid = Six(f, (lo + hi) / 2, 100);
        EXPECT_TRUE(mid[0] == n && mid[2] == 0) << "segment " << i;
        const auto below = Six(f, lo - 0.004, 120), above = Six(f, lo + 0.004, 120);
        EXPECT_TRUE(below[0] == prev && below[1] == n && below[2] >= 120) << "boundary " << i;
        EXPECT_TRUE(above[0] == n && above[1] == prev && above[2] >= 120) << "boundary " << i;
    }
}

// ---- match vectors: the normal selection ----------------------------------------------

TEST(MatchIndex, HardEdgedVectorsCoverExactlyTheirWedgeAndRing)
{
    // The last one reaches past chroma -128.
    for (const tagMATCHVECTOR& mv : {MatchVector(-30, 50, 20, 15, 0, 0), MatchVector(90, 90, 60, 40, 0, 0),
                                     MatchVector(-100, 0, 40, 40, 0, 0)}) {
        FilterAccess f;
        ASSERT_TRUE(f.BuildSegmentIndex_match(MatchInfo({mv})));
        const double centre = ChromaAngle(mv.cU, mv.cV), alpha = mv.byHueWidth * g_Pi / 255;
        const double r = std::sqrt(mv.cU * mv.cU + mv.cV * mv.cV), lo = r - mv.bySatWidth,
                     hi = r + mv.bySatWidth;
        int inside = 0;
        for (int v = -128; v < 128; ++v)
            for (int u = -128; u < 128; ++u) {
                const double r2 = u * u + v * v;
                const bool in = AngleDistance(ChromaAngle(u, v), centre) <= alpha &&
                                lo * lo <= r2 && r2 <= hi * hi;
                ASSERT_EQ(f.MatchEntry(u, v), in ? (1 | 0xD0) : 0) << "pair " << u << ", " << v;
                inside += in;
            }
        EXPECT_GT(inside, 100);
    }
}

// ---- match vectors: the isolate displays ---------------------------------------------

namespace {

// Vector 1 around (60, 0): wedge 32 pi / 255, ring 40..80, soft 50/256.
// Probe pairs: its centre, a pair in the soft hue edge, one in the wedge
// inside the ring's hole, one on the ring outside the wedge, one opposite.
struct IsolateCase {
    uint32_t vector, type;
    BOOL isolate;
    uint16_t centre, soft, wedgeOnly, ringOnly, opposite;
};

constexpr uint16_t kSoft = 14 << 8;

const IsolateCase kIsolate[] = {
    {1, 0, 0, 0xD1, kSoft | 0x81, 0, 0, 0},          // the normal selection
    {2, 1, 0, 0xD1, kSoft | 0x81, 0, 0, 0},          // vector beyond the count: normal
    {1, 1, 1, 0, 0, 0, 0, 0},                        // everything background
    {1, 2, 1, 0x81, 0x81, 0x81, 0, 0},               // the wedge
    {0, 3, 1, 0, 0, 0, 0x80, 0x80},                  // outside every wedge
    {1, 4, 1, 0x81, 0x81, 0, 0x81, 0x81},            // the ring
    {0, 5, 1, 0, 0, 0x80, 0, 0},                     // outside every ring
    {1, 6, 1, 0xD1, kSoft | 0x81, 0, 0, 0},          // wedge and ring
    {0, 7, 1, 0, kSoft | 0x80, 0xD0, 0xD0, 0xD0},    // the background's view
};

class MatchIsolate : public ::testing::TestWithParam<IsolateCase> {};

} // namespace

TEST_P(MatchIsolate, ProbesAsListed)
{
    const IsolateCase& c = GetParam();
    FilterAccess f;
    f.SetIsolate(c.vector, c.type);
    ASSERT_TRUE(f.BuildSegmentIndex_match(MatchInfo({MatchVector(60, 0, 32, 20, 50, 50)})));
    EXPECT_EQ(f.m_bIsolate, c.isolate);
    EXPECT_EQ(f.MatchEntry(60, 0), c.centre);
    EXPECT_EQ(f.MatchEntry(60, 20), c.soft);
    EXPECT_EQ(f.MatchEntry(20, 0), c.wedgeOnly);
    EXPECT_EQ(f.MatchEntry(0, 60), c.ringOnly);
    EXPECT_EQ(f.MatchEntry(-60, 0), c.opposite);
}

INSTANTIATE_TEST_SUITE_P(EveryType, MatchIsolate, ::testing::ValuesIn(kIsolate));
