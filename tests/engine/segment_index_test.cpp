#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "filter_access.h"

using colorcorrect::g_Pi;
using colorcorrect::g_TwoPi;
using colorcorrect::kSixSegmentBoundaries;
using colorcorrect::test::FilterAccess;
using colorcorrect::test::MatchVector;

namespace {

struct SixEntry {
    int a, b, w;
};

SixEntry Six(const FilterAccess& f, int u, int v)
{
    const unsigned e = f.SixEntry(u, v);
    return {static_cast<int>(e & 0xF), static_cast<int>((e >> 4) & 0xF), static_cast<int>(e >> 8)};
}

// A chroma pair at the given angle and radius, rounded to the nearest
// integers.
void PairAt(double angle, double radius, int& u, int& v)
{
    u = static_cast<int>(std::lround(radius * std::cos(angle)));
    v = static_cast<int>(std::lround(radius * std::sin(angle)));
}

tagMATCHVECTORINFO MatchInfo(std::initializer_list<tagMATCHVECTOR> vectors)
{
    tagMATCHVECTORINFO info;
    info.Init();
    uint32_t n = 0;
    for (const tagMATCHVECTOR& v : vectors)
        info.Vector[n++] = v;
    info.dwCount = n;
    return info;
}

} // namespace

// ---- six-vector index --------------------------------------------------------

TEST(SixIndex, NeutralPairBlendsCyanWithGreen)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    const SixEntry e = Six(f, 0, 0);
    EXPECT_EQ(e.a, 4);
    EXPECT_EQ(e.b, 3);
    EXPECT_EQ(e.w, 64);
    EXPECT_EQ(f.SixEntry(0, 0), (64 << 8) | (3 << 4) | 4);
}

TEST(SixIndex, ColourBarHuesLieInTheirSegments)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    // Signed U, V of the 100% colour bars (8-bit studio levels).
    EXPECT_EQ(Six(f, 74, 94).a, 0);    // magenta
    EXPECT_EQ(Six(f, -38, 112).a, 1);  // red
    EXPECT_EQ(Six(f, -112, 18).a, 2);  // yellow
    EXPECT_EQ(Six(f, -74, -94).a, 3);  // green
    EXPECT_EQ(Six(f, 38, -112).a, 4);  // cyan
    EXPECT_EQ(Six(f, 112, -18).a, 5);  // blue
}

TEST(SixIndex, EveryEntryNamesTwoNeighbouringSegments)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    for (int v = -128; v < 128; ++v)
        for (int u = -128; u < 128; ++u) {
            const SixEntry e = Six(f, u, v);
            ASSERT_LT(e.a, 6);
            ASSERT_TRUE(e.b == (e.a + 1) % 6 || e.b == (e.a + 5) % 6) << u << ", " << v;
            ASSERT_LE(e.w, 128);
        }
}

TEST(SixIndex, WeightRisesTowardTheBoundaries)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    for (int i = 0; i < 6; ++i) {
        // Just below boundary i lies segment i - 1 blending with i; just
        // above, segment i blending with i - 1. Integer pairs never lie
        // exactly on a boundary (where the weight would be 128); pairs close
        // to one at a large radius come near it.
        const double boundary = kSixSegmentBoundaries[i];
        int u, v;
        PairAt(boundary - 0.004, 120, u, v);
        SixEntry below = Six(f, u, v);
        EXPECT_EQ(below.a, (i + 5) % 6) << "boundary " << i;
        EXPECT_EQ(below.b, i) << "boundary " << i;
        EXPECT_GE(below.w, 120) << "boundary " << i;
        PairAt(boundary + 0.004, 120, u, v);
        SixEntry above = Six(f, u, v);
        EXPECT_EQ(above.a, i) << "boundary " << i;
        EXPECT_EQ(above.b, (i + 5) % 6) << "boundary " << i;
        EXPECT_GE(above.w, 120) << "boundary " << i;
    }
}

TEST(SixIndex, WeightIsZeroInTheMiddleOfASegment)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    for (int i = 0; i < 6; ++i) {
        const double lo = kSixSegmentBoundaries[i];
        const double hi = i < 5 ? kSixSegmentBoundaries[i + 1] : kSixSegmentBoundaries[0] + g_TwoPi;
        int u, v;
        PairAt((lo + hi) / 2, 100, u, v);
        const SixEntry e = Six(f, u, v);
        EXPECT_EQ(e.a, i) << "segment " << i;
        EXPECT_EQ(e.w, 0) << "segment " << i;
    }
}

TEST(SixIndex, BuiltOncePerObject)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_six());
    uint16_t* first = f.m_pSixIndex;
    first[0] = 0xBEEF;
    colorcorrect::SetPageAllocationBudget(0); // a rebuild could not allocate
    EXPECT_TRUE(f.BuildSegmentIndex_six());
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(f.m_pSixIndex, first);
    EXPECT_EQ(first[0], 0xBEEF);
}

TEST(SixIndex, RefusedAllocationFails)
{
    FilterAccess f;
    colorcorrect::SetPageAllocationBudget(0);
    EXPECT_FALSE(f.BuildSegmentIndex_six());
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(f.m_pSixIndex, nullptr);
}

// ---- match-vector index: normal selection -----------------------------------

TEST(MatchIndex, NoVectorOrOnlyTheBackgroundSelectsNothing)
{
    for (uint32_t count : {0u, 1u}) {
        FilterAccess f;
        tagMATCHVECTORINFO info = MatchInfo({MatchVector(40, 40, 255, 255, 0, 0)});
        info.dwCount = count;
        ASSERT_TRUE(f.BuildSegmentIndex_match(info));
        for (size_t i = 0; i < colorcorrect::kSegmentIndexEntries; ++i)
            ASSERT_EQ(f.m_pMatchIndex[i], 0) << "entry " << i << ", count " << count;
        EXPECT_FALSE(f.m_bIsolate);
    }
}

TEST(MatchIndex, HardEdgedVectorCoversExactlyItsWedgeAndRing)
{
    FilterAccess f;
    const tagMATCHVECTOR mv = MatchVector(-30, 50, 20, 15, 0, 0);
    ASSERT_TRUE(f.BuildSegmentIndex_match(MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), mv})));

    const double centre = ChromaAngle(-30, 50);
    const double alpha = 20 * g_Pi / 255;
    const double r = std::sqrt(30.0 * 30 + 50.0 * 50);
    int inside = 0;
    for (int v = -128; v < 128; ++v)
        for (int u = -128; u < 128; ++u) {
            const double r2 = u * u + v * v;
            const bool inWedge = AngleDistance(ChromaAngle(u, v), centre) <= alpha;
            const bool inRing = (r - 15) * (r - 15) <= r2 && r2 <= (r + 15) * (r + 15);
            const uint16_t expected = inWedge && inRing ? (1 | 0xD0) : 0;
            ASSERT_EQ(f.MatchEntry(u, v), expected) << "pair " << u << ", " << v;
            inside += expected != 0;
        }
    EXPECT_GT(inside, 100);
}

TEST(MatchIndex, SoftEdgeCarriesTheBackgroundShare)
{
    FilterAccess f;
    // Vector 1 around (60, 0): alpha = 32 pi / 255, ring 40..80, soft 50/256.
    ASSERT_TRUE(f.BuildSegmentIndex_match(
        MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), MatchVector(60, 0, 32, 20, 50, 50)})));
    EXPECT_EQ(f.MatchEntry(60, 0), 1 | 0xD0);

    // (60, 20): angular position 0.816 beyond 1 - 50/256, so the hue edge decides.
    const double an = ChromaAngle(60, 20) / (32 * g_Pi / 255);
    const double hs = 50 / 256.0;
    const int w = static_cast<int>((an - (1 - hs)) * 256 / hs);
    EXPECT_GT(w, 0);
    EXPECT_EQ(f.MatchEntry(60, 20), (w << 8) | 1 | 0x80);

    // (77, 0): radial position 17/20 beyond 1 - 50/256.
    const double rn = 17 / 20.0;
    const int ws = static_cast<int>((rn - (1 - hs)) * 256 / hs);
    EXPECT_EQ(f.MatchEntry(77, 0), (ws << 8) | 1 | 0x80);
}

TEST(MatchIndex, PairOnTheOuterEdgeGetsWeight255)
{
    FilterAccess f;
    // Centre (30, 40), radius 50, ring 40..60; the wedge takes every angle.
    ASSERT_TRUE(f.BuildSegmentIndex_match(
        MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), MatchVector(30, 40, 255, 10, 0, 128)})));
    EXPECT_EQ(f.MatchEntry(36, 48), (255 << 8) | 1 | 0x80); // radius 60: position 1.0
    EXPECT_EQ(f.MatchEntry(24, 32), (255 << 8) | 1 | 0x80); // radius 40
    EXPECT_EQ(f.MatchEntry(30, 40), 1 | 0xD0);
    EXPECT_EQ(f.MatchEntry(42, 56), 0); // radius 70
}

TEST(MatchIndex, TieGoesToTheHigherVector)
{
    FilterAccess f;
    const tagMATCHVECTOR mv = MatchVector(50, -50, 30, 25, 60, 60);
    ASSERT_TRUE(f.BuildSegmentIndex_match(MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), mv, mv})));
    int selected = 0;
    for (int v = -128; v < 128; ++v)
        for (int u = -128; u < 128; ++u) {
            const uint16_t e = f.MatchEntry(u, v);
            if (e != 0) {
                ASSERT_EQ(e & 0xF, 2) << "pair " << u << ", " << v;
                ++selected;
            }
        }
    EXPECT_GT(selected, 100);
}

TEST(MatchIndex, CloserVectorWins)
{
    FilterAccess f;
    // Two overlapping wedges on one ring: each pair goes to the vector whose
    // centre angle is nearer.
    ASSERT_TRUE(f.BuildSegmentIndex_match(MatchInfo({MatchVector(0, 0, 0, 0, 0, 0),
                                                     MatchVector(80, 0, 40, 30, 0, 0),
                                                     MatchVector(0, 80, 40, 30, 0, 0)})));
    EXPECT_EQ(f.MatchEntry(80, 20) & 0xF, 1);
    EXPECT_EQ(f.MatchEntry(20, 80) & 0xF, 2);
}

TEST(MatchIndex, ZeroWidthSelectsNothing)
{
    FilterAccess f;
    ASSERT_TRUE(f.BuildSegmentIndex_match(MatchInfo({MatchVector(0, 0, 0, 0, 0, 0),
                                                     MatchVector(50, 0, 0, 20, 0, 0),
                                                     MatchVector(0, 50, 30, 0, 0, 0)})));
    for (size_t i = 0; i < colorcorrect::kSegmentIndexEntries; ++i)
        ASSERT_EQ(f.m_pMatchIndex[i], 0) << "entry " << i;
}

TEST(MatchIndex, CountAboveSixteenUsesTheSixteenSlots)
{
    FilterAccess f;
    tagMATCHVECTORINFO info = MatchInfo({MatchVector(0, 0, 0, 0, 0, 0)});
    for (int i = 1; i < 16; ++i)
        info.Vector[i] = MatchVector(i * 7, -i * 5, 10, 10, 0, 0);
    info.dwCount = 0xFFFFFFF0u;
    ASSERT_TRUE(f.BuildSegmentIndex_match(info));
    EXPECT_EQ(f.MatchEntry(15 * 7, -15 * 5), 15 | 0xD0);
}

TEST(MatchIndex, ReusesItsBufferAndFailsWithoutOne)
{
    FilterAccess f;
    const tagMATCHVECTORINFO info = MatchInfo({MatchVector(0, 0, 0, 0, 0, 0)});
    colorcorrect::SetPageAllocationBudget(0);
    EXPECT_FALSE(f.BuildSegmentIndex_match(info));
    EXPECT_EQ(f.m_pMatchIndex, nullptr);
    colorcorrect::SetPageAllocationBudget(-1);
    ASSERT_TRUE(f.BuildSegmentIndex_match(info));
    uint16_t* buffer = f.m_pMatchIndex;
    colorcorrect::SetPageAllocationBudget(0);
    EXPECT_TRUE(f.BuildSegmentIndex_match(info));
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_EQ(f.m_pMatchIndex, buffer);
}

// ---- match-vector index: isolate types ---------------------------------------

namespace {

// Vector 1 around (60, 0) with a 0.394 rad wedge and the ring 40..80.
// Probe pairs: its centre, a soft-edge pair, one in the wedge but inside the
// ring's hole, one on the ring but outside the wedge, and one opposite.
struct IsolateProbe {
    uint16_t centre, soft, wedgeOnly, ringOnly, opposite;
};

IsolateProbe Probe(uint32_t vector, uint32_t type, BOOL* isolate = nullptr)
{
    FilterAccess f;
    f.SetIsolate(vector, type);
    EXPECT_TRUE(f.BuildSegmentIndex_match(
        MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), MatchVector(60, 0, 32, 20, 50, 50)})));
    if (isolate)
        *isolate = f.m_bIsolate;
    return {f.MatchEntry(60, 0), f.MatchEntry(60, 20), f.MatchEntry(20, 0), f.MatchEntry(0, 60),
            f.MatchEntry(-60, 0)};
}

uint16_t SoftWeight()
{
    const double an = ChromaAngle(60, 20) / (32 * g_Pi / 255);
    const double hs = 50 / 256.0;
    return static_cast<uint16_t>(static_cast<int>((an - (1 - hs)) * 256 / hs) << 8);
}

} // namespace

TEST(MatchIsolate, TypeZeroIsTheNormalSelection)
{
    BOOL isolate = 1;
    const IsolateProbe p = Probe(1, 0, &isolate);
    EXPECT_FALSE(isolate);
    EXPECT_EQ(p.centre, 1 | 0xD0);
    EXPECT_EQ(p.soft, SoftWeight() | 0x81);
    EXPECT_EQ(p.wedgeOnly, 0);
    EXPECT_EQ(p.ringOnly, 0);
    EXPECT_EQ(p.opposite, 0);
}

TEST(MatchIsolate, TypeOneMakesEveryPairBackground)
{
    FilterAccess f;
    f.SetIsolate(1, 1);
    ASSERT_TRUE(f.BuildSegmentIndex_match(
        MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), MatchVector(60, 0, 32, 20, 50, 50)})));
    EXPECT_TRUE(f.m_bIsolate);
    for (size_t i = 0; i < colorcorrect::kSegmentIndexEntries; ++i)
        ASSERT_EQ(f.m_pMatchIndex[i], 0) << "entry " << i;
}

TEST(MatchIsolate, HueTypesMarkTheWedge)
{
    for (uint32_t type : {2u, 3u}) {
        BOOL isolate = 0;
        const IsolateProbe p = Probe(1, type, &isolate);
        EXPECT_TRUE(isolate);
        EXPECT_EQ(p.centre, 0x81) << type;
        EXPECT_EQ(p.soft, 0x81) << type;
        EXPECT_EQ(p.wedgeOnly, 0x81) << type;
        EXPECT_EQ(p.ringOnly, 0) << type;
        EXPECT_EQ(p.opposite, 0) << type;

        const IsolateProbe b = Probe(0, type);
        EXPECT_EQ(b.centre, 0) << type;
        EXPECT_EQ(b.wedgeOnly, 0) << type;
        EXPECT_EQ(b.ringOnly, 0x80) << type;
        EXPECT_EQ(b.opposite, 0x80) << type;
    }
}

TEST(MatchIsolate, RingTypesMarkTheRing)
{
    for (uint32_t type : {4u, 5u}) {
        const IsolateProbe p = Probe(1, type);
        EXPECT_EQ(p.centre, 0x81) << type;
        EXPECT_EQ(p.soft, 0x81) << type;
        EXPECT_EQ(p.wedgeOnly, 0) << type;
        EXPECT_EQ(p.ringOnly, 0x81) << type;
        EXPECT_EQ(p.opposite, 0x81) << type;

        const IsolateProbe b = Probe(0, type);
        EXPECT_EQ(b.centre, 0) << type;
        EXPECT_EQ(b.wedgeOnly, 0x80) << type;
        EXPECT_EQ(b.ringOnly, 0) << type;
        EXPECT_EQ(b.opposite, 0) << type;
    }
}

TEST(MatchIsolate, WedgeAndRingTypes)
{
    for (uint32_t type : {6u, 7u}) {
        const IsolateProbe p = Probe(1, type);
        EXPECT_EQ(p.centre, 1 | 0xD0) << type;
        EXPECT_EQ(p.soft, SoftWeight() | 0x81) << type;
        EXPECT_EQ(p.wedgeOnly, 0) << type;
        EXPECT_EQ(p.ringOnly, 0) << type;
        EXPECT_EQ(p.opposite, 0) << type;

        // The background's view: inside a vector 0, its soft edge marked
        // with the weight, everything else fully background.
        const IsolateProbe b = Probe(0, type);
        EXPECT_EQ(b.centre, 0) << type;
        EXPECT_EQ(b.soft, SoftWeight() | 0x80) << type;
        EXPECT_EQ(b.wedgeOnly, 0xD0) << type;
        EXPECT_EQ(b.ringOnly, 0xD0) << type;
        EXPECT_EQ(b.opposite, 0xD0) << type;
    }
}

TEST(MatchIsolate, StrictHueEdgeForAnIsolatedVector)
{
    // A pair exactly on the wedge's edge is accepted by the normal selection
    // but not by types 6 and 7: with the widest wedge (255 pi / 255, exactly
    // pi) the pair opposite the centre lies at distance pi.
    const tagMATCHVECTORINFO info =
        MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), MatchVector(60, 0, 255, 20, 0, 0)});
    FilterAccess normal;
    ASSERT_TRUE(normal.BuildSegmentIndex_match(info));
    EXPECT_EQ(normal.MatchEntry(-60, 0), 1 | 0xD0);
    FilterAccess isolated;
    isolated.SetIsolate(1, 6);
    ASSERT_TRUE(isolated.BuildSegmentIndex_match(info));
    EXPECT_EQ(isolated.MatchEntry(-60, 0), 0);
    EXPECT_EQ(isolated.MatchEntry(60, 0), 1 | 0xD0);
}

TEST(MatchIsolate, VectorBeyondTheCountIgnoresTheType)
{
    BOOL isolate = 1;
    const IsolateProbe p = Probe(2, 1, &isolate); // count is 2
    EXPECT_FALSE(isolate);
    EXPECT_EQ(p.centre, 1 | 0xD0);
    EXPECT_EQ(p.soft, SoftWeight() | 0x81);
}

TEST(MatchIsolate, UnknownTypeLeavesTheIndexAsItIs)
{
    FilterAccess f;
    const tagMATCHVECTORINFO info =
        MatchInfo({MatchVector(0, 0, 0, 0, 0, 0), MatchVector(60, 0, 32, 20, 50, 50)});
    ASSERT_TRUE(f.BuildSegmentIndex_match(info));
    f.m_pMatchIndex[5] = 0xABCD;
    f.SetIsolate(1, 8);
    ASSERT_TRUE(f.BuildSegmentIndex_match(info));
    EXPECT_TRUE(f.m_bIsolate);
    EXPECT_EQ(f.m_pMatchIndex[5], 0xABCD);
    EXPECT_EQ(f.MatchEntry(60, 0), 1 | 0xD0);
}
