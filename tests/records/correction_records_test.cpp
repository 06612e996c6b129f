// Correction records as the host sees them: fixed defaults, checks that
// refuse without touching anything, and comparisons that see every byte that
// counts and none that does not.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "support/record_bytes.h"

using namespace colorcorrect::test;
using Rec = tagCOLORCORRINFO&;

namespace {

constexpr std::size_t kVectorsAt = 116; // first match vector in tagCOLORCORRINFO

unsigned char* BytesOf(void* r)
{
    return static_cast<unsigned char*>(r);
}

} // namespace

TEST(RecordInit, AnyContentsBecomeTheDefaults)
{
    // The library's default record was made from zeroed memory.
    const tagCOLORCORRINFO r = DefaultRecord(); // Init(564) over junk
    EXPECT_TRUE(SameBytes(g_ccDefault, r));
    EXPECT_EQ(r.IsDefault(), 1);
    tagMATCHVECTORINFO m;
    FillJunk(&m, sizeof m, 13);
    m.Init();
    EXPECT_TRUE(BytesEqual(&g_ccDefault.Match, &m, sizeof m));
    // Binding defaults: sizes, no group, a vector's selection fields (size,
    // flags, Y, U, V, Y range, hue and saturation widths, softnesses).
    EXPECT_TRUE(r.dwSize == 564 && r.dwFlags == 0 && r.Base.dwSize == 36 &&
                r.Vector6.dwSize == 64 && r.Match.dwSize == 456 && r.Match.dwCount == 0);
    const unsigned char vector[] = {28, 0, 0, 0, 0, 128, 0, 0, 128, 14, 20, 10, 50, 50};
    EXPECT_TRUE(BytesEqual(vector, &m.Vector[15], sizeof vector));
}

TEST(RecordInit, ResetKeepsExactlyTheThreeClippingFields)
{
    tagCOLORCORRINFO r = JunkRecord(17);
    r.Base.wRangeFlags = 0xFFFF, r.Base.bySoftY = 40, r.Base.bySoftC = 7;
    r.ResetCC(564);
    tagCOLORCORRINFO expected = DefaultRecord();
    expected.Base.wRangeFlags = 0xFFFF, expected.Base.bySoftY = 40, expected.Base.bySoftC = 7;
    EXPECT_TRUE(SameBytes(expected, r));
}

// ---- refusals ------------------------------------------------------------------------

namespace {

struct Refusal {
    const char* what;
    uint32_t size; // written into a default record first; 0: a junk record instead
    BOOL (*call)(Rec);
};

BOOL Blend(Rec r, double t)
{
    // Refused: r holds a afterwards.
    const tagCOLORCORRINFO a = r;
    r = JunkRecord(4);
    return r.Interpolate(a, JunkRecord(5), t);
}

const Refusal kRefusals[] = {
    {"Init(0)", 0, [](Rec r) { return r.Init(0), BOOL{0}; }},
    {"Init(563)", 0, [](Rec r) { return r.Init(563), BOOL{0}; }},
    {"Init(564 + 2^32)", 0, [](Rec r) { return r.Init(564ul + (1ul << 32)), BOOL{0}; }},
    {"ResetCC(564 + 2^32)", 0, [](Rec r) { return r.ResetCC(564ul + (1ul << 32)), BOOL{0}; }},
    // Any size but 564 differs from the default within the size field.
    {"IsDefault, size 1", 1, [](Rec r) { return r.IsDefault(); }},
    {"IsDefault, size 563", 563, [](Rec r) { return r.IsDefault(); }},
    {"IsDefault, size 0xFFFFFFFF", 0xFFFFFFFF, [](Rec r) { return r.IsDefault(); }},
    {"IsDefault(no group)", 564, [](Rec r) { return r.IsDefault(0); }},
    {"Interpolate(-0.1)", 0, [](Rec r) { return Blend(r, -0.1); }},
    {"Interpolate(1.1)", 0, [](Rec r) { return Blend(r, 1.1); }},
    {"Interpolate(1 + ulp)", 0, [](Rec r) { return Blend(r, std::nextafter(1.0, 2.0)); }},
    {"Interpolate(-inf)", 0, [](Rec r) { return Blend(r, -std::numeric_limits<double>::infinity()); }},
    {"Interpolate(NaN)", 0, [](Rec r) { return Blend(r, std::nan("")); }},
};

} // namespace

TEST(RecordRefusals, FalseAndNothingChanged)
{
    for (const Refusal& c : kRefusals) {
        // Exactly sized on the heap: the address sanitizer sees any access past it.
        auto r = std::make_unique<tagCOLORCORRINFO>(c.size == 0 ? JunkRecord(3) : DefaultRecord());
        if (c.size != 0)
            r->dwSize = c.size;
        const tagCOLORCORRINFO before = *r;
        EXPECT_EQ(c.call(*r), 0) << c.what;
        EXPECT_TRUE(SameBytes(before, *r)) << c.what;
    }
}

// ---- IsDefault -----------------------------------------------------------------------

TEST(RecordIsDefault, EveryByteCountsUnusedSlotsIncluded)
{
    for (std::size_t at = 0; at < sizeof(tagCOLORCORRINFO); ++at) {
        tagCOLORCORRINFO r = DefaultRecord();
        BytesOf(&r)[at] ^= 0x01;
        EXPECT_EQ(r.IsDefault(), 0) << ColorCorrFieldAt(at);
    }
    tagCOLORCORRINFO r = JunkRecord(29);
    r.dwSize = 0; // compares nothing
    EXPECT_EQ(r.IsDefault(), 1);
}

TEST(RecordIsDefault, ByGroup)
{
    const struct {
        DWORD flags;
        void (*edit)(Rec);
        unsigned long mask;
        BOOL isDefault;
    } rows[] = {
        {0, [](Rec r) { r.Base.sSat = -3, r.Vector6.sHue[2] = 9, r.Match.dwCount = 2, r.Base.bySoftC = 4; },
         0xF, 1}, // inactive groups count as default
        {0xF, [](Rec r) { r.Match.dwCount = 1; }, 0xC, 0},
        {CC_MATCH_VECTOR, [](Rec r) { r.Match.dwCount = 0xFFFFFFFF; }, CC_MATCH_VECTOR, 0},
        {CC_MATCH_VECTOR, [](Rec r) { FillJunk(r.Match.Vector, sizeof r.Match.Vector, 31); },
         CC_MATCH_VECTOR, 1}, // only the count is looked at
        {CC_PRIMARY, [](Rec r) { r.Base.wRangeFlags = 6, r.Base.bySoftY = 255, r.Base.bySoftC = 1; },
         0x9, 1}, // the clipping settings are not the primary group's
        {0x9, [](Rec r) { r.Base.bySoftY = 30; }, 0x9, 0},
        {CC_CLIPPING, [](Rec r) { r.Base.wRangeFlags = 0x8000; }, CC_CLIPPING, 0}, // an unused bit
        {0xFFFFFFFF, [](Rec r) { r = JunkRecord(37), r.dwFlags = 0xFFFFFFFF; }, 0xFFFFFFF0, 1},
        {0xFFFFFFFF, [](Rec r) { r = JunkRecord(37), r.dwFlags = 0xFFFFFFFF; }, 0x14, 0},
    };
    for (const auto& row : rows) {
        tagCOLORCORRINFO r = DefaultRecord();
        r.dwFlags = row.flags;
        row.edit(r);
        EXPECT_EQ(r.IsDefault(row.mask), row.isDefault) << "mask " << std::hex << row.mask;
    }
    // The primary group sees its controls and Base's size; the six-vector
    // group all 64 bytes of its record.
    for (std::size_t at = 8; at < 108; ++at) {
        tagCOLORCORRINFO r = DefaultRecord();
        r.dwFlags = 0xF;
        BytesOf(&r)[at] ^= 0x40;
        const bool clipping = at >= 12 && at < 16;
        EXPECT_EQ(r.IsDefault(at < 44 ? CC_PRIMARY : CC_SIX_VECTOR), clipping) << ColorCorrFieldAt(at);
        EXPECT_EQ(r.IsDefault(at < 44 ? CC_SIX_VECTOR | CC_MATCH_VECTOR : 0xD), 1) << ColorCorrFieldAt(at);
    }
}

// ---- comparison ------------------------------------------------------------------------

TEST(RecordCompare, EveryByteUpToTheUsedVectorsCountsBothWays)
{
    // A count beyond the sixteen slots compares the slots there are.
    for (uint32_t count : {3u, 17u, 0xFFFFFFFFu}) {
        tagCOLORCORRINFO a = JunkRecord(53);
        a.Match.dwCount = count;
        const std::size_t usedEnd = kVectorsAt + std::min(count, 16u) * sizeof(tagMATCHVECTOR);
        for (std::size_t at = 0; at < sizeof a; ++at) {
            tagCOLORCORRINFO b = a;
            BytesOf(&b)[at] ^= at % 2 ? 0x80 : 0x01;
            const BOOL equal = at < usedEnd ? 0 : 1;
            EXPECT_TRUE((a == b) == equal && (b == a) == equal && (a != b) == !equal &&
                        (b != a) == !equal) << ColorCorrFieldAt(at);
            if (at >= 108) { // the vector list alone: the first differing byte's order
                const int order = at < 116 ? 1 : equal ? 0 : BytesOf(&a)[at] < BytesOf(&b)[at] ? -1 : 1;
                EXPECT_EQ(a.Match != b.Match, order) << ColorCorrFieldAt(at);
            }
        }
    }
}
