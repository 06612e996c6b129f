// The viewer's mouse gestures: the drag protocol they share, and what each drag
// does to the record it started from.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "support/record_bytes.h"
#include "viewer/viewer_access.h"

using colorcorrect::VIEWER_NO_GESTURE;
using colorcorrect::test::SameBytes;
using colorcorrect::test::ViewerAccess;

namespace {

enum Family { Coupled, HueSat, Hist, Match, Rotation };
const char* const kFamily[] = {"coupled", "hue/saturation", "histogram", "match vector", "rotation"};

constexpr unsigned long kPrimary = 0x1, kSixVector = 0x2, kMatchVector = 0x4, kColour = 0x777;
constexpr unsigned long kYBlack = 0x1000, kYGamma = 0x2000, kYWhite = 0x4000, kOffset = 0x10000;
constexpr unsigned long kHue = 0x100000, kSat = 0x200000;

// A field of the (packed) record: byte offset and size; written as its low bytes.
struct Field { size_t offset, size; };
#define F(member) Field{offsetof(tagCOLORCORRINFO, member), sizeof(tagCOLORCORRINFO{}.member)}
#define B(member) F(Base.member)
#define V2(member) F(Match.Vector[2].member)
struct Set { Field field; int value; };
static_assert(std::endian::native == std::endian::little);

void Apply(tagCOLORCORRINFO& cc, const std::vector<Set>& sets)
{
    for (const Set& s : sets)
        std::memcpy(reinterpret_cast<unsigned char*>(&cc) + s.field.offset, &s.value, s.field.size);
}

// Every drag starts from this record: three match vectors in use, vector 2
// at (30, 40), and a few primary controls off zero.
tagCOLORCORRINFO Start(const std::vector<Set>& changes)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof cc);
    cc.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR;
    Apply(cc, {{F(Match.dwCount), 3}, {V2(cU), 30}, {V2(cV), 40}, {B(sYBlack), 7}, {B(sHue), 10}, {B(sSat), 20}});
    Apply(cc, changes);
    return cc;
}

// A record a refused call must leave alone.
const tagCOLORCORRINFO kJunk = [] {
    tagCOLORCORRINFO cc = colorcorrect::test::JunkRecord(7);
    cc.dwSize = sizeof cc;
    return cc;
}();

// A viewer working on six-vector segment 3 (9 modulo 6) and match vector 2.
struct Gesturing : ViewerAccess {
    Gesturing()
    {
        EXPECT_EQ(Set6Vector(9), 1);
        EXPECT_EQ(SetIsolateVector(2), 1);
        EXPECT_EQ(SetIsolateVector(16), 0) << "out of range, and vector 2 stays chosen";
    }
};

using Angles = std::array<int, 3>;
Angles AnglesOf(ViewerAccess& v)
{
    Angles a{};
    v.GetAngles(a[0], a[1], a[2]);
    return a;
}

// bits: the mode of a match-vector drag.
int Begin(ViewerAccess& v, Family f, int x, int y, unsigned long target, unsigned long bits, tagCOLORCORRINFO& cc)
{
    switch (f) {
    case Coupled: return v.BeginCoupledAdjust(x, y, target, bits, cc);
    case HueSat: return v.BeginHueSatAdjust(x, y, target, bits, cc);
    case Hist: return v.BeginHistAdjust(x, y, cc);
    case Match: return v.BeginMatchAdjust(x, y, static_cast<unsigned>(bits), cc);
    case Rotation: v.BeginRotate(x, y); return 1;
    }
    return -1;
}

// A move (or the End) of a drag; a turn of the cube gives 1 when it changed the angles.
int Move(ViewerAccess& v, Family f, int x, int y, tagCOLORCORRINFO& cc, bool end = false)
{
    switch (f) {
    case Coupled: return end ? v.EndCoupledAdjust(x, y, cc) : v.CoupledAdjust(x, y, cc);
    case HueSat: return end ? v.EndHueSatAdjust(x, y, cc) : v.HueSatAdjust(x, y, cc);
    case Hist: return end ? v.EndHistAdjust(x, y, cc) : v.HistAdjust(x, y, cc);
    case Match: return end ? v.EndMatchAdjust(x, y, cc) : v.MatchAdjust(x, y, cc);
    case Rotation:
        const Angles before = AnglesOf(v);
        end ? v.EndRotate() : v.Rotate(x, y);
        return AnglesOf(v) != before ? 1 : 0;
    }
    return -1;
}

} // namespace

TEST(ViewerGestures, EveryFamilyFollowsTheDragProtocol)
{
    const struct { Family family; unsigned long target, bits; } drags[] = {
        {Coupled, kPrimary, kColour | kYBlack}, {Coupled, kSixVector, kYBlack}, {Coupled, kMatchVector, kOffset},
        {HueSat, kPrimary, kHue | kSat}, {HueSat, kSixVector, kHue | kSat}, {HueSat, kMatchVector, kHue | kSat},
        {Hist, 0, 0}, {Match, 0, 0}, {Match, 0, 1}, {Match, 0, 2}, {Match, 0, 3}, {Match, 0, 4}, {Match, 0, 5},
        {Match, 0, 6}, {Match, 0, 7}, {Match, 0, 8}, {Rotation, 0, 0},
    };
    for (const auto& d : drags) {
        SCOPED_TRACE(::testing::Message() << kFamily[d.family] << ", target " << d.target << ", bits " << d.bits);
        const bool record = d.family != Rotation; // the cube's drag writes no record
        Gesturing v;
        tagCOLORCORRINFO cc = kJunk, start = Start({});
        EXPECT_EQ(Move(v, d.family, 300, 40, cc), 0) << "a move without Begin";
        EXPECT_EQ(Move(v, d.family, 300, 40, cc, true), 0) << "an End without Begin";
        EXPECT_TRUE(SameBytes(kJunk, cc));
        // End clears the start point that all drags share (the rows below show it makes the last move).
        ASSERT_EQ(Begin(v, d.family, 250, 100, d.target, d.bits, start), 1);
        EXPECT_EQ(Move(v, d.family, 300, 40, cc), 1);
        Move(v, d.family, 300, 40, cc, true);
        EXPECT_EQ(v.m_nStartX, VIEWER_NO_GESTURE);
        EXPECT_EQ(v.m_nStartY, VIEWER_NO_GESTURE);
        cc = kJunk;
        EXPECT_EQ(Move(v, d.family, 350, 0, cc), 0) << "a move after End";
        EXPECT_TRUE(SameBytes(kJunk, cc));
        // Extreme coordinates overflow nothing (INT_MAX itself starts no drag; the histogram's
        // starts on its grid); the exact limits are among the rows of the next test.
        const int extremes[][4] = {{INT_MIN, INT_MAX - 1, INT_MAX - 1, INT_MIN}, {INT_MAX - 1, INT_MIN, INT_MIN, INT_MAX}};
        for (const auto& e : extremes) {
            const bool grid = d.family == Hist;
            ASSERT_EQ(Begin(v, d.family, grid ? 0 : e[0], grid ? 0 : e[1], d.target, d.bits, start), 1);
            const int result = Move(v, d.family, e[2], e[3], cc);
            const Angles a = AnglesOf(v);
            EXPECT_EQ(record ? result : a[0] >= -180 && a[0] <= 180 && a[1] >= 0 && a[1] <= 180 && a[2] >= -180 && a[2] <= 180, 1);
        }
    }
}

TEST(ViewerGestures, EachDragChangesExactlyItsFields)
{
    struct Row {
        Family family;
        unsigned long target, bits; // bits: the mode of a match-vector drag
        int x0, y0, x1, y1;
        std::vector<Set> after, before = {}; // expected changes; changes to Start()
        int result = 1;
    };
    // Match vector 2's selection fields.
    const Field u = V2(cU), v = V2(cV), y = V2(byY), range = V2(byYRange), width = V2(byHueWidth), ring = V2(bySatWidth);
    const Row rows[] = {
        // Coupled: v a third of the pixels moved up, u a third of those moved right;
        // (u, v) read as a chroma shift gives the red, green and blue steps.
        {Coupled, kPrimary, kYBlack, 100, 100, 100, 40, {{B(sYBlack), 27}}}, {Coupled, kPrimary, kYBlack, 100, 100, 100, 131, {{B(sYBlack), -3}}},
        {Coupled, kPrimary, kYGamma | kYWhite, 0, 30, 0, 0, {{B(sYGamma), 10}, {B(sYWhite), 10}}},
        {Coupled, kPrimary, 0x421, 0, 0, 60, -60, {{B(sRBlack), 28}, {B(sGGamma), -21}, {B(sBWhite), 35}}},
        {Coupled, kPrimary, 0x142, 0, 0, 60, -60, {{B(sRGamma), 28}, {B(sGWhite), -21}, {B(sBBlack), 35}}},
        {Coupled, kPrimary, 0x214, 0, 0, 60, -60, {{B(sRWhite), 28}, {B(sGBlack), -21}, {B(sBGamma), 35}}},
        {Coupled, kPrimary, 0x111, 50, 60, 50, 30, {{B(sRBlack), 14}, {B(sGBlack), -7}}},
        {Coupled, kPrimary, 0x111, 50, 60, 80, 60, {{B(sGBlack), -3}, {B(sBBlack), 18}}},
        {Coupled, kPrimary, 0x1111, INT_MIN, INT_MAX - 1, INT_MAX - 1, INT_MIN,
         {{B(sYBlack), 255}, {B(sRBlack), 255}, {B(sGBlack), -255}, {B(sBBlack), 255}}},
        {Coupled, kSixVector, kYBlack | kYGamma | kYWhite | kColour | kOffset, 0, 0, 0, -30,
         {{F(Vector6.sBlack[3]), 10}, {F(Vector6.sGamma[3]), 10}, {F(Vector6.sWhite[3]), 10}}},
        {Coupled, kMatchVector, kYBlack | kOffset | kColour, 10, 10, 40, -20, {{V2(sBlack), 10}, {V2(sUOffset), 30}, {V2(sVOffset), 30}}},
        {Coupled, kMatchVector, kOffset, 0, 0, 1000, 1000, {{V2(sUOffset), 255}, {V2(sVOffset), -255}}},
        {Coupled, 0x8, 0x7777 | kOffset, 0, 0, 60, -60, {}}, {HueSat, 0x8, kHue | kSat, 292, 144, 192, 344, {}},
        {Coupled, kMatchVector, kYBlack, 0, 0, 0, -30, {}, {{F(Match.dwCount), 2}}, 0},
        // Hue and saturation round the centre (192, 144): 255 a half turn,
        // counter-clockwise lowers; the saturation follows the distance ratio.
        {HueSat, kPrimary, kHue | kSat, 292, 144, 192, 44, {{B(sHue), -117}}}, {HueSat, kPrimary, kHue, 292, 144, 192, 244, {{B(sHue), 137}}},
        {HueSat, kPrimary, kHue | kSat, 292, 144, 92, 144, {{B(sHue), -245}}},
        {HueSat, kSixVector, kHue, 292, 144, 1160, -106, {{F(Vector6.sHue[3]), 240}}, {{F(Vector6.sHue[3]), -250}}},
        {HueSat, kMatchVector, kHue, 292, 144, 1160, 394, {{V2(sHue), -240}}, {{V2(sHue), 250}}},
        {HueSat, kPrimary, kSat, 192, 94, 192, 44, {{B(sSat), 121}}}, {HueSat, kPrimary, kSat, 192, 94, 192, 119, {{B(sSat), -107}}},
        {HueSat, kPrimary, kHue | kSat, 192, 94, 192, 144, {{B(sSat), -235}}}, {HueSat, kPrimary, kSat, 192, 94, 192, -56, {{B(sSat), 255}}, {{B(sSat), 200}}},
        {HueSat, kPrimary, kHue | kSat, 194, 144, 196, 144, {{B(sSat), 121}}}, {HueSat, kPrimary, kHue | kSat, 193, 145, 292, 144, {}, {}, 0},
        {HueSat, kSixVector, kHue | kSat, 292, 144, 192, 344, {{F(Vector6.sHue[3]), 127}, {F(Vector6.sSat[3]), 101}}},
        {HueSat, kMatchVector, kHue | kSat, 292, 144, 192, 344, {{V2(sHue), 127}, {V2(sSat), 101}}},
        {HueSat, kMatchVector, kHue, 292, 144, 192, 44, {}, {{F(Match.dwCount), 2}}, 0},
        // The histogram's grid of 128 x 96 cells: rows red, green, blue from the
        // top, columns black, gamma, white; a third of the pixels moved right.
        {Hist, 0, 0, 0, 0, -10, 0, {{B(sRBlack), -3}}}, {Hist, 0, 0, 127, 95, 117, 95, {{B(sRBlack), -3}}},
        {Hist, 0, 0, 128, 0, 118, 0, {{B(sRGamma), -3}}}, {Hist, 0, 0, 255, 95, 245, 95, {{B(sRGamma), -3}}},
        {Hist, 0, 0, 256, 0, 246, 0, {{B(sRWhite), -3}}}, {Hist, 0, 0, 0, 96, -10, 96, {{B(sGBlack), -3}}},
        {Hist, 0, 0, 130, 100, 160, 300, {{B(sGGamma), 6}}, {{B(sGGamma), -4}}},
        {Hist, 0, 0, 383, 191, 373, 191, {{B(sGWhite), -3}}}, {Hist, 0, 0, 0, 192, -10, 192, {{B(sBBlack), -3}}},
        {Hist, 0, 0, 255, 287, 245, 287, {{B(sBGamma), -3}}}, {Hist, 0, 0, 383, 287, 413, 287, {{B(sBWhite), 10}}},
        {Hist, 0, 0, 0, 0, INT_MIN, 0, {{B(sRBlack), -255}}, {{B(sRBlack), -250}}},
        // Match vector 2, modes 0..8: d1 half the pixels moved up, d2 a multiple of 2.
        {Match, 0, 0, 0, 0, 400, 0, {{u, 127}, {v, 127}}}, {Match, 0, 0, 0, 0, 192, 144, {{u, 0}, {v, 0}}},
        {Match, 0, 1, 50, 50, 60, 31, {{y, 137}}}, {Match, 0, 1, 50, 50, 50, 1000, {{y, 0}}}, // 19 / 2 is 9
        {Match, 0, 2, 292, 244, 292, 44, {{u, 0}, {v, 50}}, {{u, 50}, {v, 0}}},
        {Match, 0, 2, 292, 244, 92, 244, {{u, 0}, {v, -50}}, {{u, 50}, {v, 0}}},
        {Match, 0, 2, 292, 244, 193, 144, {{u, 50}, {v, 0}}, {{u, 50}, {v, 0}}},
        // A turn's start within 5 pixels of the centre's row or column is moved 5 pixels away.
        {Match, 0, 2, 192, 143, 187, 139, {{u, 0}, {v, 50}}, {{u, 50}, {v, 0}}},
        {Match, 0, 2, 190, 144, 192, 139, {{u, -35}, {v, -35}}, {{u, 50}, {v, 0}}},
        {Match, 0, 3, 100, 100, 100, 80, {{u, 36}, {v, 48}}}, {Match, 0, 3, 100, 100, 100, -1000, {{u, 127}, {v, 127}}},
        {Match, 0, 3, 100, 100, 100, 40, {}, {{u, 0}, {v, 0}}},
        {Match, 0, 4, 0, 0, 0, -20, {{width, 24}}}, {Match, 0, 4, 0, 0, 0, 100, {{width, 0}}},
        {Match, 0, 5, 0, 0, 0, -8, {{y, 130}, {range, 126}}}, {Match, 0, 5, 0, 0, 0, 8, {}},
        {Match, 0, 5, 0, 0, 0, -1000, {{y, 255}, {range, 0}}}, {Match, 0, 6, 0, 0, 0, 0, {{y, 127}, {range, 127}}},
        {Match, 0, 6, 0, 0, 0, 100, {{y, 103}, {range, 103}}}, {Match, 0, 6, 0, 0, 0, 1000, {{y, 0}, {range, 0}}},
        {Match, 0, 7, 0, 0, 0, -8, {{u, 31}, {v, 41}, {ring, 18}}}, {Match, 0, 7, 0, 0, 0, 1000, {{u, 21}, {v, 28}, {ring, 35}}},
        {Match, 0, 7, 0, 0, 0, -1000, {{u, 42}, {v, 56}, {ring, 0}}}, {Match, 0, 7, 0, 0, 0, -8, {{ring, 10}}, {{u, 0}, {v, 0}}},
        {Match, 0, 8, 0, 0, 0, -8, {{u, 31}, {v, 41}, {ring, 22}}}, {Match, 0, 8, 0, 0, 0, 1000, {{u, 18}, {v, 24}, {ring, 0}}},
        {Match, 0, 8, 0, 0, 0, -2000, {{u, 127}, {v, 127}, {ring, 255}}}, {Match, 0, 8, 0, 0, 0, -8, {{ring, 22}}, {{u, 0}, {v, 0}}},
        {Match, 0, 9, 0, 0, 0, -8, {}, {}, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &r - rows << ", " << kFamily[r.family]);
        Gesturing g;
        tagCOLORCORRINFO cc = Start(r.before), expected = cc;
        Apply(expected, r.after);
        ASSERT_EQ(Begin(g, r.family, r.x0, r.y0, r.target, r.bits, cc), 1);
        // Every move starts again from the record kept at Begin; End makes the last move.
        for (const bool end : {false, false, true}) {
            cc = kJunk;
            EXPECT_EQ(Move(g, r.family, r.x1, r.y1, cc, end), end ? 1 : r.result);
            EXPECT_TRUE(SameBytes(expected, cc));
        }
    }
}

TEST(ViewerGestures, RefusalsKeepNothingAndLeaveTheCallersRecord)
{
    struct Refusal {
        const char* what;
        Family begin = Coupled, move = Rotation; // Rotation: the move of the family begun
        unsigned long target = kPrimary, bits = kYBlack;
        int x = 250, y = 100, size = sizeof(tagCOLORCORRINFO), count = 3, vector = 2, vectorAfter = 2;
        uint32_t moveSize = sizeof(tagCOLORCORRINFO);
        int began = 0, ended = 0;
    };
    const Refusal refusals[] = {
        {.what = "coupled: wrong size", .size = 563}, {.what = "coupled: two targets", .target = 0x6},
        {.what = "hue/sat: two targets", .begin = HueSat, .target = 0x6, .bits = kHue},
        {.what = "hue/sat: no hue or saturation bit", .begin = HueSat, .bits = 0x401000},
        {.what = "hue/sat: wrong size", .begin = HueSat, .bits = kHue, .size = 0}, {.what = "coupled: no value bits", .bits = 0, .began = 1},
        {.what = "hue/sat: move of the wrong size", .begin = HueSat, .bits = kHue, .moveSize = 36, .began = 1},
        {.what = "histogram: x 384", .begin = Hist, .x = 384, .y = 10}, {.what = "histogram: x -1", .begin = Hist, .x = -1},
        {.what = "histogram: y 288", .begin = Hist, .y = 288}, {.what = "histogram: y -1", .begin = Hist, .x = 10, .y = -1},
        {.what = "histogram: wrong size", .begin = Hist, .size = 1}, {.what = "match: wrong size", .begin = Match, .size = 563},
        {.what = "histogram: move of the wrong size", .begin = Hist, .moveSize = 0, .began = 1},
        {.what = "histogram: another drag's start off the grid", .move = Hist, .x = 500, .y = -20, .began = 1, .ended = 1},
        {.what = "match: the background vector", .begin = Match, .count = 16, .vector = 0, .vectorAfter = 0},
        {.what = "match: a vector not in use", .begin = Match, .vector = 3, .vectorAfter = 3},
        {.what = "match: move of the wrong size", .begin = Match, .bits = 1, .moveSize = 456, .began = 1},
        {.what = "match: chosen after Begin, not in use", .begin = Match, .vectorAfter = 5, .began = 1},
        {.what = "match: background chosen after Begin", .begin = Match, .vectorAfter = 0, .began = 1},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        ViewerAccess v;
        ASSERT_EQ(v.SetIsolateVector(r.vector), 1);
        tagCOLORCORRINFO cc = Start({{F(dwSize), r.size}, {F(Match.dwCount), r.count}}), junk = kJunk;
        EXPECT_EQ(Begin(v, r.begin, r.x, r.y, r.target, r.bits, cc), r.began);
        ASSERT_EQ(v.SetIsolateVector(r.vectorAfter), 1);
        junk.dwSize = r.moveSize;
        const tagCOLORCORRINFO before = junk;
        const Family move = r.move == Rotation ? r.begin : r.move;
        EXPECT_EQ(Move(v, move, 290, 40, junk), 0);
        EXPECT_EQ(Move(v, move, 290, 40, junk, true), r.ended);
        EXPECT_TRUE(SameBytes(before, junk));
    }
}

TEST(ViewerGestures, RotationTurnsTheCubeFromItsAnglesAtBegin)
{
    ViewerAccess fresh;
    EXPECT_EQ(AnglesOf(fresh), (Angles{90, 90, -90}));
    // Drags from (100, 100): a degree per two pixels, up positive; turns under 4
    // degrees in all (|dx| + |dy|) leave the cube as it was, spins have no threshold.
    const struct { bool spin; int x, y, dx, dy; bool turns; } rows[] = {
        {false, 108, 100, 4, 0, true}, {false, 90, 110, -5, -5, true}, {false, 105, 103, 0, 0, false},
        {false, 106, 102, 3, -1, true}, {true, 102, 600, 1, 0, true}, {true, 60, 0, -20, 0, true}};
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << &r - rows);
        ViewerAccess v;
        v.SetAngles(30, 40, 50);
        Angles a = AnglesOf(v); // and as the cube turns them
        v.BeginRotate(100, 100);
        for (int i = 0; i < 2; ++i)
            r.spin ? v.RotateZ(r.x, r.y) : v.Rotate(r.x, r.y);
        CColorCorrectionFilter cube;
        if (r.turns)
            r.spin ? cube.SetNewAngles(a[0], a[1], a[2], r.dx) : cube.SetNewAngles(a[0], a[1], a[2], r.dx, r.dy);
        EXPECT_EQ(AnglesOf(v), a);
    }
}

TEST(ViewerGestures, SaturationStepOfADistanceRatio)
{
    // Inward linear, outward along the inverse of 128 (e^p + p - 1); n is the linear step 255 r - 255.
    constexpr double kInf = std::numeric_limits<double>::infinity(), kN = 1.0 / 255 + 1e-9;
    const std::pair<double, int> rows[] = {
        {1.0, 0}, {0.5, -127}, {0.0, -255}, {0.9, -25}, {-kInf, -255}, {1.003, 0}, {1 + kN, 0}, {1 + 100 * kN, 45},
        {2.0, 101}, {3.0, 166}, {1 + 400 * kN, 141}, {6.0, 255}, {1e12, 255}, {kInf, 255}, {std::numeric_limits<double>::quiet_NaN(), 0}};
    for (const auto& [ratio, step] : rows)
        EXPECT_EQ(ViewerAccess::GetSatAdjust(ratio), step) << "ratio " << ratio;
}
