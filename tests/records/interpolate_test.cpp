// Blending two correction records: every control of a merged group moves
// from a to b, the switches are merged, and nothing else changes.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "support/record_bytes.h"

using namespace colorcorrect::test;

namespace {

// A junk record with well-formed size fields.
tagCOLORCORRINFO Mixed(unsigned seed, DWORD flags, uint32_t count)
{
    tagCOLORCORRINFO r = JunkRecord(seed);
    r.dwSize = 564, r.dwFlags = flags, r.Base.dwSize = 36, r.Vector6.dwSize = 64;
    r.Match.dwSize = 456, r.Match.dwCount = count;
    for (tagMATCHVECTOR& v : r.Match.Vector)
        v.dwSize = 28;
    return r;
}

// A blended field by its offset in the record and its width and sign.
struct Field {
    std::size_t at;
    int bytes;
    bool isSigned;
    DWORD group;
};


std::vector<Field> BlendedFields(uint32_t vectors)
{
    std::vector<Field> f = {{14, 1, false, CC_CLIPPING}, {15, 1, false, CC_CLIPPING}};
    for (std::size_t at = 16; at < 44; at += 2)
        f.push_back({at, 2, true, CC_PRIMARY});
    for (std::size_t at = 48; at < 108; at += 2)
        f.push_back({at, 2, true, CC_SIX_VECTOR});
    for (std::size_t i = 0; i < std::min(vectors, 16u); ++i) {
        const std::size_t v = 116 + 28 * i;
        for (std::size_t at = 5; at < 14; ++at) // U and V (6, 7) are signed
            f.push_back({v + at, 1, at == 6 || at == 7, CC_MATCH_VECTOR});
        for (std::size_t at = 14; at < 28; at += 2)
            f.push_back({v + at, 2, true, CC_MATCH_VECTOR});
    }
    return f;
}

long Get(const tagCOLORCORRINFO& r, const Field& f)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&r) + f.at;
    if (f.bytes == 2)
        return static_cast<int16_t>(p[0] | p[1] << 8);
    return f.isSigned ? static_cast<int8_t>(p[0]) : p[0];
}

// a with b's switches merged in: active groups, range bits, vector flags.
tagCOLORCORRINFO Merged(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b)
{
    tagCOLORCORRINFO r = a;
    r.dwFlags |= b.dwFlags;
    r.Base.wRangeFlags = static_cast<uint16_t>(a.Base.wRangeFlags | b.Base.wRangeFlags);
    for (uint32_t i = 0; i < std::min(r.Match.dwCount, 16u); ++i)
        r.Match.Vector[i].byFlags |= b.Match.Vector[i].byFlags;
    return r;
}

} // namespace

TEST(Interpolate, EveryFieldOfAMergedGroupMovesFromAToB)
{
    for (DWORD aFlags : {0x0u, 0x1u, 0x5u, 0xFu})
        for (DWORD bFlags : {0x0u, 0x2u, 0x8u})
            for (double t : {0.0, 0.3, 0.5, 0.77, 1.0}) {
                tagCOLORCORRINFO a = Mixed(8, aFlags, 7), b = Mixed(9, bFlags, 7);
                a.Base.sSat = -32768, b.Base.sSat = 32767; // the widest blends
                a.Match.Vector[6].cV = -128, b.Match.Vector[6].cV = 127;
                a.Match.Vector[6].byY = 255, b.Match.Vector[6].byY = 0;
                tagCOLORCORRINFO r = JunkRecord(1), expected = Merged(a, b);
                ASSERT_EQ(r.Interpolate(a, b, t), 1);
                for (const Field& f : BlendedFields(7)) {
                    if ((expected.dwFlags & f.group) == 0)
                        continue;
                    // Between a and b, truncated toward zero from the exact blend.
                    const long xa = Get(a, f), xb = Get(b, f), x = Get(r, f);
                    const double exact = xa + (xb - xa) * t;
                    EXPECT_TRUE(x >= std::min(xa, xb) && x <= std::max(xa, xb) &&
                                std::abs(exact - x) < 1 && std::abs(x) <= std::abs(exact))
                        << ColorCorrFieldAt(f.at) << ": " << xa << " to " << xb << " at " << t << " gave " << x;
                    EXPECT_EQ(x, t == 0 ? xa : t == 1 ? xb : x) << ColorCorrFieldAt(f.at);
                    std::memcpy(reinterpret_cast<unsigned char*>(&expected) + f.at,
                                reinterpret_cast<const unsigned char*>(&r) + f.at, f.bytes);
                }
                // Everything else: a's bytes (sizes, inactive groups, unused slots).
                EXPECT_TRUE(SameBytes(expected, r)) << std::hex << aFlags << " and " << bFlags;
            }
}

TEST(Interpolate, VectorsOnOneSideOnlyBlendAgainstDefaults)
{
    tagMATCHVECTOR def;
    def.Init();
    for (const auto& [countA, countB] : {std::pair{1u, 3u}, std::pair{3u, 1u}, std::pair{0u, 2u},
                                        std::pair{20u, 2u}, std::pair{2u, 0xFFFFFFFFu}}) {
        // Stale junk lies in the slots beyond each count; sixteen slots at
        // most. Without vectors in a the match group is off: counts are
        // equalised all the same, nothing is blended.
        const DWORD flags = countA == 0 ? 0 : CC_MATCH_VECTOR;
        auto a = std::make_unique<tagCOLORCORRINFO>(Mixed(20, flags, countA));
        auto b = std::make_unique<tagCOLORCORRINFO>(Mixed(21, 0, countB));
        auto aSide = std::make_unique<tagCOLORCORRINFO>(*a), bSide = std::make_unique<tagCOLORCORRINFO>(*b);
        for (uint32_t i = 0; i < 16; ++i) {
            if (i >= countA && i < countB)
                aSide->Match.Vector[i] = def;
            if (i >= countB && i < countA)
                bSide->Match.Vector[i] = def;
        }
        aSide->Match.dwCount = bSide->Match.dwCount = std::max(countA, countB);
        auto expected = std::make_unique<tagCOLORCORRINFO>(Merged(*aSide, *bSide));
        for (uint32_t i = 0; flags != 0 && i < std::min(std::max(countA, countB), 16u); ++i) {
            tagMATCHVECTOR& v = expected->Match.Vector[i];
            const uint8_t merged = v.byFlags;
            v = bSide->Match.Vector[i];
            v.byFlags = merged, v.dwSize = 28;
        }
        auto r = std::make_unique<tagCOLORCORRINFO>();
        ASSERT_EQ(r->Interpolate(*a, *b, 1.0), 1);
        EXPECT_TRUE(SameBytes(*expected, *r)) << countA << " and " << countB << " vectors";
    }
}

TEST(Interpolate, EqualRecordsAndAliasedTargets)
{
    const tagCOLORCORRINFO a = Mixed(35, CC_PRIMARY | CC_MATCH_VECTOR, 2);
    const tagCOLORCORRINFO b = Mixed(36, CC_SIX_VECTOR | CC_CLIPPING, 4);
    tagCOLORCORRINFO expected, intoA = a, intoB = b, same = a, equal = a;
    ASSERT_TRUE(expected.Interpolate(a, b, 0.5) && intoA.Interpolate(intoA, b, 0.5) &&
                intoB.Interpolate(a, intoB, 0.5));
    EXPECT_TRUE(SameBytes(expected, intoA) && SameBytes(expected, intoB));
    // Equal records (unused slots aside) give a exactly.
    FillJunk(&equal.Match.Vector[2], 14 * sizeof(tagMATCHVECTOR), 33);
    ASSERT_EQ(same.Interpolate(a, equal, 0.5), 1);
    EXPECT_TRUE(SameBytes(a, same));
}
