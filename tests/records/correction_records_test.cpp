#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#include "support/record_bytes.h"

using colorcorrect::test::BytesEqual;
using colorcorrect::test::ColorCorrFieldAt;
using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FillJunk;
using colorcorrect::test::JunkRecord;
using colorcorrect::test::SameBytes;

// The host copies records as plain bytes.
static_assert(std::is_trivially_copyable_v<tagCOLORCORRINFO>);
static_assert(std::is_trivially_copyable_v<tagBASECOLORCORRINFO>);
static_assert(std::is_trivially_copyable_v<tagVECTOR6INFO>);
static_assert(std::is_trivially_copyable_v<tagMATCHVECTORINFO>);
static_assert(std::is_trivially_copyable_v<tagMATCHVECTOR>);
static_assert(std::is_standard_layout_v<tagCOLORCORRINFO>);
static_assert(std::is_aggregate_v<tagCOLORCORRINFO> && std::is_aggregate_v<tagMATCHVECTOR>);

namespace {

constexpr std::size_t kVectorsAt = 116; // first match vector in tagCOLORCORRINFO

// The default record written out byte by byte.
std::array<unsigned char, 564> DefaultImage()
{
    std::array<unsigned char, 564> image{};
    auto put32 = [&](std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            image[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(0, 564);
    put32(8, 36);
    put32(44, 64);
    put32(108, 456);
    for (std::size_t slot = 0; slot < 16; ++slot) {
        const std::size_t v = kVectorsAt + slot * 28;
        put32(v, 28);
        image[v + 5] = 128; // byY
        image[v + 8] = 128; // byYRange
        image[v + 9] = 14;  // byHueWidth
        image[v + 10] = 20; // bySatWidth
        image[v + 11] = 10; // byYSoft
        image[v + 12] = 50; // byHueSoft
        image[v + 13] = 50; // bySatSoft
    }
    return image;
}

tagCOLORCORRINFO FromImage(const std::array<unsigned char, 564>& image)
{
    tagCOLORCORRINFO r;
    std::memcpy(&r, image.data(), sizeof r);
    return r;
}

unsigned char* BytesOf(tagCOLORCORRINFO& r)
{
    return reinterpret_cast<unsigned char*>(&r);
}

// A default record on the heap in a block of exactly its size, so that the
// address sanitizer sees any access past its end.
std::unique_ptr<tagCOLORCORRINFO> HeapDefault()
{
    auto r = std::make_unique<tagCOLORCORRINFO>();
    *r = DefaultRecord();
    return r;
}

} // namespace

// ---- layout --------------------------------------------------------------

TEST(RecordLayout, DefaultRecordHasTheFixedByteImage)
{
    const auto image = DefaultImage();
    EXPECT_TRUE(BytesEqual(image.data(), &g_ccDefault, 564, &ColorCorrFieldAt));
    const tagCOLORCORRINFO r = DefaultRecord();
    EXPECT_TRUE(BytesEqual(image.data(), &r, 564, &ColorCorrFieldAt));
}

TEST(RecordLayout, FieldsAreLittleEndianAtTheirOffsets)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.dwFlags = 0x0A0B0C0D;
    r.Base.sHue = 0x1234;
    r.Base.sBBlack = -2;
    r.Vector6.sSat[5] = 0x0102;
    r.Match.dwCount = 3;
    r.Match.Vector[1].cU = -1;
    r.Match.Vector[15].sVOffset = 0x7F80;
    const unsigned char* b = BytesOf(r);
    EXPECT_EQ(b[4], 0x0D);
    EXPECT_EQ(b[7], 0x0A);
    EXPECT_EQ(b[8 + 14], 0x34);
    EXPECT_EQ(b[8 + 15], 0x12);
    EXPECT_EQ(b[8 + 34], 0xFE);
    EXPECT_EQ(b[8 + 35], 0xFF);
    EXPECT_EQ(b[44 + 52 + 10], 0x02);
    EXPECT_EQ(b[44 + 52 + 11], 0x01);
    EXPECT_EQ(b[112], 3);
    EXPECT_EQ(b[kVectorsAt + 28 + 6], 0xFF);
    EXPECT_EQ(b[kVectorsAt + 15 * 28 + 26], 0x80);
    EXPECT_EQ(b[563], 0x7F);
}

TEST(RecordLayout, ByteCopyAndAssignmentAgree)
{
    const tagCOLORCORRINFO junk = JunkRecord(1);
    tagCOLORCORRINFO copied;
    std::memcpy(&copied, &junk, sizeof copied);
    tagCOLORCORRINFO assigned = DefaultRecord();
    assigned = junk;
    EXPECT_TRUE(SameBytes(copied, assigned));
}

// ---- Init ------------------------------------------------------------------

TEST(RecordInit, Init564TurnsJunkIntoTheDefault)
{
    tagCOLORCORRINFO r = JunkRecord(7);
    r.Init(564);
    EXPECT_TRUE(SameBytes(FromImage(DefaultImage()), r));
}

TEST(RecordInit, AnyOtherSizeTouchesNothing)
{
    const unsigned long sizes[] = {0, 1, 4, 36, 456, 563, 565, 1128, 0xFFFFFFFFul, 564ul + (1ul << 32)};
    for (unsigned long size : sizes) {
        SCOPED_TRACE(size);
        const tagCOLORCORRINFO before = JunkRecord(3);
        tagCOLORCORRINFO r = before;
        r.Init(size);
        EXPECT_TRUE(SameBytes(before, r));
    }
}

TEST(RecordInit, Vector6InitFillsEveryArrayWithItsArgument)
{
    tagVECTOR6INFO v;
    FillJunk(&v, sizeof v, 5);
    v.Init(1, -2, 300, -400, 255);
    EXPECT_EQ(v.dwSize, 64u);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v.sWhite[i], 1);
        EXPECT_EQ(v.sGamma[i], -2);
        EXPECT_EQ(v.sBlack[i], 300);
        EXPECT_EQ(v.sHue[i], -400);
        EXPECT_EQ(v.sSat[i], 255);
    }
}

TEST(RecordInit, MatchVectorInitWritesTheDefaults)
{
    tagMATCHVECTOR v;
    FillJunk(&v, sizeof v, 11);
    v.Init();
    const auto image = DefaultImage();
    EXPECT_TRUE(BytesEqual(image.data() + kVectorsAt, &v, sizeof v));
}

TEST(RecordInit, MatchInfoInitEmptiesTheListAndResetsAllSixteenSlots)
{
    tagMATCHVECTORINFO m;
    FillJunk(&m, sizeof m, 13);
    m.Init();
    const auto image = DefaultImage();
    EXPECT_TRUE(BytesEqual(image.data() + 108, &m, sizeof m));
    EXPECT_EQ(m.dwSize, 456u);
    EXPECT_EQ(m.dwCount, 0u);
}

// ---- ResetCC ---------------------------------------------------------------

TEST(RecordResetCC, KeepsExactlyTheThreeClippingFields)
{
    tagCOLORCORRINFO r = JunkRecord(17);
    r.dwFlags = CC_PRIMARY | CC_CLIPPING | CC_MATCH_VECTOR;
    r.Base.wRangeFlags = 5;
    r.Base.bySoftY = 40;
    r.Base.bySoftC = 7;
    r.Base.sSat = -100;
    r.Match.dwCount = 4;
    r.ResetCC(564);

    auto image = DefaultImage();
    image[12] = 5; // wRangeFlags, low byte
    image[13] = 0;
    image[14] = 40; // bySoftY
    image[15] = 7;  // bySoftC
    EXPECT_TRUE(SameBytes(FromImage(image), r));
}

TEST(RecordResetCC, KeepsAllBitsOfTheRangeWord)
{
    tagCOLORCORRINFO r = JunkRecord(2);
    r.Base.wRangeFlags = 0xFFFF;
    r.ResetCC(564);
    EXPECT_EQ(r.Base.wRangeFlags, 0xFFFF);
    r.Base.wRangeFlags = 0;
    r.Base.bySoftY = 0;
    r.Base.bySoftC = 0;
    EXPECT_TRUE(SameBytes(FromImage(DefaultImage()), r));
}

TEST(RecordResetCC, AnyOtherSizeTouchesNothing)
{
    for (unsigned long size : {0ul, 36ul, 563ul, 565ul, 564ul + (1ul << 32)}) {
        SCOPED_TRACE(size);
        const tagCOLORCORRINFO before = JunkRecord(19);
        tagCOLORCORRINFO r = before;
        r.ResetCC(size);
        EXPECT_TRUE(SameBytes(before, r));
    }
}

// ---- assignment ------------------------------------------------------------

TEST(RecordAssignment, CopiesEveryByteAndReturnsTheTarget)
{
    const tagCOLORCORRINFO junk = JunkRecord(23);
    tagCOLORCORRINFO r = DefaultRecord();
    EXPECT_EQ(&(r = junk), &r);
    EXPECT_TRUE(SameBytes(junk, r));

    tagMATCHVECTORINFO m;
    m.Init();
    EXPECT_EQ(&(m = junk.Match), &m);
    EXPECT_TRUE(BytesEqual(&junk.Match, &m, sizeof m));

    tagMATCHVECTOR v;
    v.Init();
    EXPECT_EQ(&(v = junk.Match.Vector[15]), &v);
    EXPECT_TRUE(BytesEqual(&junk.Match.Vector[15], &v, sizeof v));

    tagVECTOR6INFO six;
    six.Init(0, 0, 0, 0, 0);
    EXPECT_EQ(&(six = junk.Vector6), &six);
    EXPECT_TRUE(BytesEqual(&junk.Vector6, &six, sizeof six));
}

// ---- plain IsDefault -------------------------------------------------------

TEST(RecordIsDefault, FreshRecord)
{
    const tagCOLORCORRINFO r = DefaultRecord();
    EXPECT_EQ(r.IsDefault(), 1);
    EXPECT_EQ(r.IsDefault(0), 0);
    EXPECT_EQ(r.IsDefault(0xF), 1);
    EXPECT_EQ(g_ccDefault.IsDefault(), 1);
}

TEST(RecordIsDefault, SeesAChangeInEveryByteUnusedSlotsIncluded)
{
    for (std::size_t at = 0; at < sizeof(tagCOLORCORRINFO); ++at) {
        tagCOLORCORRINFO r = DefaultRecord();
        BytesOf(r)[at] ^= 0x01;
        EXPECT_EQ(r.IsDefault(), 0) << "byte " << at << " (" << ColorCorrFieldAt(at) << ")";
    }
}

TEST(RecordIsDefault, SizeZeroComparesNothing)
{
    auto r = std::make_unique<tagCOLORCORRINFO>(JunkRecord(29));
    r->dwSize = 0;
    EXPECT_EQ(r->IsDefault(), 1);
}

TEST(RecordIsDefault, AnyOtherSizeIsNotDefaultAndReadsNothingBeyond)
{
    for (uint32_t size : {1u, 2u, 3u, 4u, 52u, 563u, 565u, 1000u, 0x10000234u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        auto r = HeapDefault();
        r->dwSize = size;
        EXPECT_EQ(r->IsDefault(), 0);
    }
}

// ---- IsDefault by group ----------------------------------------------------

TEST(RecordIsDefaultMask, InactiveGroupsCountAsDefault)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.dwFlags = 0;
    r.Base.sYWhite = 10;
    r.Base.sSat = -3;
    r.Vector6.sHue[2] = 9;
    r.Match.dwCount = 2;
    r.Base.bySoftC = 4;
    EXPECT_EQ(r.IsDefault(0xF), 1);
    EXPECT_EQ(r.IsDefault(), 0);
}

TEST(RecordIsDefaultMask, ZeroMaskIsNeverDefault)
{
    tagCOLORCORRINFO r = DefaultRecord();
    EXPECT_EQ(r.IsDefault(0), 0);
    r.dwFlags = 0xF;
    EXPECT_EQ(r.IsDefault(0), 0);
}

TEST(RecordIsDefaultMask, MatchGroupLooksOnlyAtTheCount)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.dwFlags = CC_MATCH_VECTOR;
    r.Match.dwCount = 1; // the vector itself holds the defaults
    EXPECT_EQ(r.IsDefault(CC_MATCH_VECTOR), 0);
    r.Match.dwCount = 0xFFFFFFFF;
    EXPECT_EQ(r.IsDefault(CC_MATCH_VECTOR), 0);

    r.Match.dwCount = 0;
    FillJunk(r.Match.Vector, sizeof r.Match.Vector, 31);
    EXPECT_EQ(r.IsDefault(CC_MATCH_VECTOR), 1);
}

TEST(RecordIsDefaultMask, SoftnessBelongsToClippingNotToPrimary)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.Base.bySoftY = 30;
    r.dwFlags = CC_PRIMARY;
    EXPECT_EQ(r.IsDefault(0x1), 1);
    EXPECT_EQ(r.IsDefault(0x9), 1);
    r.dwFlags = CC_PRIMARY | CC_CLIPPING;
    EXPECT_EQ(r.IsDefault(0x9), 0);
    EXPECT_EQ(r.IsDefault(0x1), 1);
}

TEST(RecordIsDefaultMask, PrimaryGroupSeesEveryControlAndTheBaseSize)
{
    // Bytes 8..35 of Base are the fourteen controls; 0..3 its size.
    for (std::size_t at = 0; at < sizeof(tagBASECOLORCORRINFO); ++at) {
        if (at >= 4 && at < 8)
            continue; // clipping settings
        tagCOLORCORRINFO r = DefaultRecord();
        r.dwFlags = CC_PRIMARY;
        BytesOf(r)[8 + at] ^= 0x40;
        EXPECT_EQ(r.IsDefault(CC_PRIMARY), 0) << ColorCorrFieldAt(8 + at);
        EXPECT_EQ(r.IsDefault(CC_PRIMARY | CC_CLIPPING | CC_SIX_VECTOR), 0) << ColorCorrFieldAt(8 + at);
        EXPECT_EQ(r.IsDefault(CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING), 1);
    }
}

TEST(RecordIsDefaultMask, PrimaryGroupIgnoresTheClippingSettings)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.dwFlags = CC_PRIMARY;
    r.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    r.Base.bySoftY = 255;
    r.Base.bySoftC = 1;
    EXPECT_EQ(r.IsDefault(CC_PRIMARY), 1);
}

TEST(RecordIsDefaultMask, SixVectorGroupSeesAllSixtyFourBytes)
{
    for (std::size_t at = 0; at < sizeof(tagVECTOR6INFO); ++at) {
        tagCOLORCORRINFO r = DefaultRecord();
        r.dwFlags = CC_SIX_VECTOR;
        BytesOf(r)[44 + at] ^= 0x80;
        EXPECT_EQ(r.IsDefault(CC_SIX_VECTOR), 0) << ColorCorrFieldAt(44 + at);
        EXPECT_EQ(r.IsDefault(CC_PRIMARY | CC_MATCH_VECTOR | CC_CLIPPING), 1);
        r.dwFlags = CC_PRIMARY;
        EXPECT_EQ(r.IsDefault(CC_SIX_VECTOR), 1) << "inactive, at " << ColorCorrFieldAt(44 + at);
    }
}

TEST(RecordIsDefaultMask, ClippingGroupSeesEachOfItsThreeFields)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.dwFlags = CC_CLIPPING;
    EXPECT_EQ(r.IsDefault(CC_CLIPPING), 1);
    r.Base.wRangeFlags = 0x8000; // an unused bit still counts
    EXPECT_EQ(r.IsDefault(CC_CLIPPING), 0);
    r.Base.wRangeFlags = 0;
    r.Base.bySoftY = 1;
    EXPECT_EQ(r.IsDefault(CC_CLIPPING), 0);
    r.Base.bySoftY = 0;
    r.Base.bySoftC = 1;
    EXPECT_EQ(r.IsDefault(CC_CLIPPING), 0);
    EXPECT_EQ(r.IsDefault(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR), 1);
}

TEST(RecordIsDefaultMask, BitsAboveClippingAreIgnored)
{
    tagCOLORCORRINFO r = JunkRecord(37);
    r.dwFlags = 0xFFFFFFFF;
    r.Match.dwCount = 5;
    EXPECT_EQ(r.IsDefault(0x10), 1);
    EXPECT_EQ(r.IsDefault(0xFFFFFFF0ul), 1);
    EXPECT_EQ(r.IsDefault(0x14), 0);
}

TEST(RecordIsDefaultMask, AnyFailingGroupMakesTheWholeTestFail)
{
    tagCOLORCORRINFO r = DefaultRecord();
    r.dwFlags = 0xF;
    r.Match.dwCount = 1; // only the match group is not default
    EXPECT_EQ(r.IsDefault(0xB), 1);
    EXPECT_EQ(r.IsDefault(0xF), 0);
    EXPECT_EQ(r.IsDefault(0x4), 0);
    EXPECT_EQ(r.IsDefault(0xC), 0);
}

// ---- tagMATCHVECTORINFO comparison -----------------------------------------

namespace {

tagMATCHVECTORINFO MatchWith(uint32_t count)
{
    tagMATCHVECTORINFO m;
    FillJunk(&m, sizeof m, 41);
    m.dwSize = 456;
    m.dwCount = count;
    return m;
}

unsigned char* BytesOf(tagMATCHVECTORINFO& m)
{
    return reinterpret_cast<unsigned char*>(&m);
}

} // namespace

TEST(MatchInfoCompare, SelfAndEmptyListsAreEqual)
{
    tagMATCHVECTORINFO m = MatchWith(3);
    EXPECT_EQ(m == m, 1);
    EXPECT_EQ(m != m, 0);

    tagMATCHVECTORINFO a = MatchWith(0);
    tagMATCHVECTORINFO b = MatchWith(0);
    FillJunk(b.Vector, sizeof b.Vector, 43); // differs in every slot byte
    EXPECT_EQ(a == b, 1);
    EXPECT_EQ(a != b, 0);
}

TEST(MatchInfoCompare, DifferentSizeOrCountGivesOneEitherWay)
{
    tagMATCHVECTORINFO a = MatchWith(2);
    tagMATCHVECTORINFO b = a;
    b.dwSize = 457;
    EXPECT_EQ(a != b, 1);
    EXPECT_EQ(b != a, 1);
    EXPECT_EQ(a == b, 0);

    b = a;
    b.dwCount = 3;
    EXPECT_EQ(a != b, 1);
    EXPECT_EQ(b != a, 1);
    EXPECT_EQ(a == b, 0);
}

TEST(MatchInfoCompare, SizeAndCountAreCheckedBeforeTheEntries)
{
    tagMATCHVECTORINFO a = MatchWith(2);
    a.Vector[0].byY = 100;
    tagMATCHVECTORINFO b = a;
    b.Vector[0].byY = 101; // a's byte smaller: -1 on its own
    EXPECT_EQ(a != b, -1);
    b.dwCount = 3;
    EXPECT_EQ(a != b, 1);
    b.dwCount = 2;
    b.dwSize = 0;
    EXPECT_EQ(a != b, 1);
}

TEST(MatchInfoCompare, FirstDifferingByteGivesTheOrder)
{
    tagMATCHVECTORINFO a = MatchWith(3);
    a.Vector[1].bySatSoft = 10;
    a.Vector[0].sVOffset = 0x1234;
    tagMATCHVECTORINFO b = a;
    b.Vector[1].bySatSoft = 11;
    EXPECT_EQ(a != b, -1);
    EXPECT_EQ(b != a, 1);
    EXPECT_EQ(a == b, 0);

    // An earlier difference decides even against a later one of the other sign.
    b.Vector[0].sVOffset = 0x1233;
    EXPECT_EQ(a != b, 1);
    EXPECT_EQ(b != a, -1);
}

TEST(MatchInfoCompare, BytesCompareUnsignedLowByteFirst)
{
    tagMATCHVECTORINFO a = MatchWith(1);
    tagMATCHVECTORINFO b = a;
    a.Vector[0].cU = -1; // byte 0xFF
    b.Vector[0].cU = 1;
    EXPECT_EQ(a != b, 1);
    EXPECT_EQ(b != a, -1);

    b = a;
    a.Vector[0].sWhite = 0x0100; // bytes 00 01
    b.Vector[0].sWhite = 0x00FF; // bytes FF 00: the larger first byte
    EXPECT_EQ(a != b, -1);
    EXPECT_EQ(b != a, 1);
}

TEST(MatchInfoCompare, EntrySizeFieldsAreCompared)
{
    tagMATCHVECTORINFO a = MatchWith(2);
    tagMATCHVECTORINFO b = a;
    b.Vector[1].dwSize = a.Vector[1].dwSize + 1;
    EXPECT_EQ(a == b, 0);
    EXPECT_NE(a != b, 0);
}

TEST(MatchInfoCompare, EntriesFromTheCountOnAreIgnored)
{
    tagMATCHVECTORINFO a = MatchWith(3);
    for (std::size_t at = 8; at < sizeof a; ++at) {
        tagMATCHVECTORINFO b = a;
        BytesOf(b)[at] ^= 0x10;
        const bool used = at < 8 + 3 * sizeof(tagMATCHVECTOR);
        EXPECT_EQ(a == b, used ? 0 : 1) << "byte " << at;
        EXPECT_EQ((a != b) == 0, !used) << "byte " << at;
    }
}

TEST(MatchInfoCompare, CountAboveSixteenComparesTheSixteenSlotsOnly)
{
    for (uint32_t count : {17u, 1000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        // Exactly-sized heap blocks: any read past a record trips the sanitizer.
        auto a = std::make_unique<tagMATCHVECTORINFO>(MatchWith(count));
        a->Vector[15].sVOffset = 0x0100;
        auto b = std::make_unique<tagMATCHVECTORINFO>(*a);
        EXPECT_EQ(*a == *b, 1);
        EXPECT_EQ(*a != *b, 0);
        b->Vector[15].sVOffset = 0x0200; // the last byte of the last slot
        EXPECT_EQ(*a == *b, 0);
        EXPECT_EQ(*a != *b, -1);
    }
}

// ---- tagCOLORCORRINFO comparison -------------------------------------------

TEST(RecordCompare, SelfComparison)
{
    tagCOLORCORRINFO r = DefaultRecord();
    EXPECT_EQ(r == r, 1);
    EXPECT_EQ(r != r, 0);
    r = JunkRecord(47);
    r.Match.dwCount = 4;
    EXPECT_EQ(r == r, 1);
    EXPECT_EQ(r != r, 0);
}

TEST(RecordCompare, EveryByteUpToTheUsedVectorsCounts)
{
    tagCOLORCORRINFO a = JunkRecord(53);
    a.Match.dwCount = 3;
    const std::size_t usedEnd = kVectorsAt + 3 * sizeof(tagMATCHVECTOR);
    for (std::size_t at = 0; at < sizeof a; ++at) {
        for (unsigned char flip : {0x01, 0x80}) {
            tagCOLORCORRINFO b = a;
            BytesOf(b)[at] ^= flip;
            const int expectEqual = at < usedEnd ? 0 : 1;
            EXPECT_EQ(a == b, expectEqual) << ColorCorrFieldAt(at);
            EXPECT_EQ(b == a, expectEqual) << ColorCorrFieldAt(at);
            EXPECT_EQ(a != b, 1 - expectEqual) << ColorCorrFieldAt(at);
            EXPECT_EQ(b != a, 1 - expectEqual) << ColorCorrFieldAt(at);
        }
    }
}

TEST(RecordCompare, DifferenceOnlyInAnUnusedSlot)
{
    tagCOLORCORRINFO a = DefaultRecord();
    a.dwFlags = CC_MATCH_VECTOR;
    a.Match.dwCount = 2;
    tagCOLORCORRINFO b = a;
    b.Match.Vector[2].sSat = 50;
    b.Match.Vector[15].byY = 0;
    EXPECT_EQ(a == b, 1);
    EXPECT_EQ(a != b, 0);

    tagCOLORCORRINFO c = DefaultRecord();
    tagCOLORCORRINFO d = c;
    d.Match.Vector[0].sHue = 1; // dwCount 0: every slot unused
    EXPECT_EQ(c == d, 1);
    EXPECT_EQ(c != d, 0);
    EXPECT_EQ(c.IsDefault(), 1);
    EXPECT_EQ(d.IsDefault(), 0);
}

TEST(RecordCompare, NotEqualIsAlwaysZeroOrOne)
{
    tagCOLORCORRINFO a = DefaultRecord();
    a.Match.dwCount = 1;
    tagCOLORCORRINFO b = a;
    b.Match.Vector[0].byY = 200; // a's byte is the smaller one
    ASSERT_EQ(a.Match != b.Match, -1);
    EXPECT_EQ(a != b, 1);
    EXPECT_EQ(b != a, 1);

    tagCOLORCORRINFO c = a;
    c.Base.sSat = 5;
    EXPECT_EQ(a != c, 1);
    EXPECT_EQ(c != a, 1);
}

TEST(RecordCompare, EarlierPartsDecideWhateverTheVectorListsHold)
{
    // Each earlier part decides alone, also when the vector lists would compare
    // the other way round or claim more vectors than there are slots.
    tagCOLORCORRINFO a = DefaultRecord();
    a.Match.dwCount = 0xFFFFFFFF;
    tagCOLORCORRINFO b = a;
    b.Match.Vector[0].byY = 0; // on its own, Match != gives 1 here

    auto differsAt = [&](auto change) {
        tagCOLORCORRINFO c = b;
        change(c);
        return std::make_pair(a == c, a != c);
    };
    EXPECT_EQ(differsAt([](tagCOLORCORRINFO& c) { c.dwSize = 0; }), std::make_pair(0, 1));
    EXPECT_EQ(differsAt([](tagCOLORCORRINFO& c) { c.dwFlags = 1; }), std::make_pair(0, 1));
    EXPECT_EQ(differsAt([](tagCOLORCORRINFO& c) { c.Base.dwSize = 0; }), std::make_pair(0, 1));
    EXPECT_EQ(differsAt([](tagCOLORCORRINFO& c) { c.Vector6.sSat[5] = -1; }), std::make_pair(0, 1));
    EXPECT_EQ(differsAt([](tagCOLORCORRINFO&) {}), std::make_pair(0, 1));

    b.Match.Vector[0].byY = a.Match.Vector[0].byY;
    EXPECT_EQ(a == b, 1);
    EXPECT_EQ(a != b, 0);
}

TEST(RecordCompare, CountAboveSixteenReadsNothingBeyondTheRecord)
{
    auto a = HeapDefault();
    a->dwFlags = CC_MATCH_VECTOR;
    a->Match.dwCount = 17;
    auto b = std::make_unique<tagCOLORCORRINFO>(*a);
    EXPECT_EQ(*a == *b, 1);
    EXPECT_EQ(*a != *b, 0);
    b->Match.Vector[15].sVOffset = 1;
    EXPECT_EQ(*a == *b, 0);
    EXPECT_EQ(*a != *b, 1);
    EXPECT_EQ(a->IsDefault(CC_MATCH_VECTOR), 0);
}
