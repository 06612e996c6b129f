#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "support/record_bytes.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FillJunk;
using colorcorrect::test::JunkRecord;
using colorcorrect::test::SameBytes;

namespace {

constexpr std::size_t kVectorsAt = 116; // first match vector in tagCOLORCORRINFO

// A junk record with well-formed size fields, so that it differs from another
// such record in every control but never in a size.
tagCOLORCORRINFO Mixed(unsigned seed, DWORD flags, uint32_t count)
{
    tagCOLORCORRINFO r = JunkRecord(seed);
    r.dwSize = 564;
    r.dwFlags = flags;
    r.Base.dwSize = 36;
    r.Vector6.dwSize = 64;
    r.Match.dwSize = 456;
    r.Match.dwCount = count;
    for (tagMATCHVECTOR& v : r.Match.Vector)
        v.dwSize = 28;
    return r;
}

// ---- an independent model of the blend, working on raw record bytes ------

enum class Kind { U8, S8, S16 };

struct Field {
    std::size_t offset;
    Kind kind;
};

std::vector<Field> FieldsOf(DWORD group, uint32_t count)
{
    std::vector<Field> fields;
    switch (group) {
    case CC_CLIPPING:
        fields = {{14, Kind::U8}, {15, Kind::U8}};
        break;
    case CC_PRIMARY:
        for (std::size_t at = 16; at < 44; at += 2)
            fields.push_back({at, Kind::S16});
        break;
    case CC_SIX_VECTOR:
        for (std::size_t at = 48; at < 108; at += 2)
            fields.push_back({at, Kind::S16});
        break;
    case CC_MATCH_VECTOR:
        for (uint32_t i = 0; i < count && i < 16; ++i) {
            const std::size_t v = kVectorsAt + 28 * i;
            fields.push_back({v + 5, Kind::U8});
            fields.push_back({v + 6, Kind::S8});
            fields.push_back({v + 7, Kind::S8});
            for (std::size_t at = 8; at < 14; ++at)
                fields.push_back({v + at, Kind::U8});
            for (std::size_t at = 14; at < 28; at += 2)
                fields.push_back({v + at, Kind::S16});
        }
        break;
    }
    return fields;
}

long Read(const unsigned char* p, Kind kind)
{
    switch (kind) {
    case Kind::U8:
        return p[0];
    case Kind::S8:
        return static_cast<signed char>(p[0]);
    case Kind::S16:
        return static_cast<int16_t>(p[0] | (p[1] << 8));
    }
    return 0;
}

void Write(unsigned char* p, Kind kind, long value)
{
    p[0] = static_cast<unsigned char>(value & 0xFF);
    if (kind == Kind::S16)
        p[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

// The expected blend of two records with equal vector counts.
tagCOLORCORRINFO Model(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b, double t)
{
    tagCOLORCORRINFO r = a;
    r.dwFlags |= b.dwFlags;
    r.Base.wRangeFlags |= b.Base.wRangeFlags;
    for (uint32_t i = 0; i < r.Match.dwCount && i < 16; ++i)
        r.Match.Vector[i].byFlags |= b.Match.Vector[i].byFlags;
    auto* out = reinterpret_cast<unsigned char*>(&r);
    const auto* from = reinterpret_cast<const unsigned char*>(&b);
    for (DWORD group : {CC_PRIMARY, CC_SIX_VECTOR, CC_MATCH_VECTOR, CC_CLIPPING}) {
        if ((r.dwFlags & group) == 0)
            continue;
        for (const Field& f : FieldsOf(group, r.Match.dwCount)) {
            const long xa = Read(out + f.offset, f.kind);
            const long xb = Read(from + f.offset, f.kind);
            // At one half the exact blend is (xa + xb) / 2, which integer
            // division truncates toward zero as well.
            const long blended = t == 0.5 ? (xa + xb) / 2 : static_cast<long>(std::trunc(xa + (xb - xa) * t));
            Write(out + f.offset, f.kind, blended);
        }
    }
    return r;
}

// The midpoint of two match vectors, field by field, truncated toward zero.
tagMATCHVECTOR HalfwayVector(const tagMATCHVECTOR& a, const tagMATCHVECTOR& b)
{
    tagMATCHVECTOR r = a;
    r.byFlags = static_cast<uint8_t>(a.byFlags | b.byFlags);
    r.byY = static_cast<uint8_t>((a.byY + b.byY) / 2);
    r.cU = static_cast<int8_t>((a.cU + b.cU) / 2);
    r.cV = static_cast<int8_t>((a.cV + b.cV) / 2);
    r.byYRange = static_cast<uint8_t>((a.byYRange + b.byYRange) / 2);
    r.byHueWidth = static_cast<uint8_t>((a.byHueWidth + b.byHueWidth) / 2);
    r.bySatWidth = static_cast<uint8_t>((a.bySatWidth + b.bySatWidth) / 2);
    r.byYSoft = static_cast<uint8_t>((a.byYSoft + b.byYSoft) / 2);
    r.byHueSoft = static_cast<uint8_t>((a.byHueSoft + b.byHueSoft) / 2);
    r.bySatSoft = static_cast<uint8_t>((a.bySatSoft + b.bySatSoft) / 2);
    r.sWhite = static_cast<int16_t>((a.sWhite + b.sWhite) / 2);
    r.sGamma = static_cast<int16_t>((a.sGamma + b.sGamma) / 2);
    r.sBlack = static_cast<int16_t>((a.sBlack + b.sBlack) / 2);
    r.sHue = static_cast<int16_t>((a.sHue + b.sHue) / 2);
    r.sSat = static_cast<int16_t>((a.sSat + b.sSat) / 2);
    r.sUOffset = static_cast<int16_t>((a.sUOffset + b.sUOffset) / 2);
    r.sVOffset = static_cast<int16_t>((a.sVOffset + b.sVOffset) / 2);
    return r;
}

tagMATCHVECTOR DefaultVector()
{
    tagMATCHVECTOR v;
    v.Init();
    return v;
}

// The result of blending the primary saturation alone.
int16_t BlendSat(int16_t a, int16_t b, double t)
{
    tagCOLORCORRINFO ra = DefaultRecord();
    tagCOLORCORRINFO rb = DefaultRecord();
    ra.dwFlags = rb.dwFlags = CC_PRIMARY;
    ra.Base.sSat = a;
    rb.Base.sSat = b;
    tagCOLORCORRINFO r = JunkRecord(1);
    EXPECT_EQ(r.Interpolate(ra, rb, t), 1);
    return r.Base.sSat;
}

} // namespace

// ---- the parameter ---------------------------------------------------------

TEST(InterpolateRange, OutsideZeroToOneFailsAndLeavesA)
{
    const tagCOLORCORRINFO a = Mixed(2, CC_PRIMARY | CC_MATCH_VECTOR, 3);
    const tagCOLORCORRINFO b = Mixed(3, CC_SIX_VECTOR | CC_CLIPPING, 5);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double refused[] = {-0.1, 1.1, -1e-300, std::nextafter(1.0, 2.0), -1.0, 2.0, inf, -inf, nan, -nan};
    for (double t : refused) {
        SCOPED_TRACE(t);
        tagCOLORCORRINFO r = JunkRecord(4);
        EXPECT_EQ(r.Interpolate(a, b, t), 0);
        EXPECT_TRUE(SameBytes(a, r));
    }
}

TEST(InterpolateRange, BothEndsAreIncluded)
{
    const tagCOLORCORRINFO a = Mixed(2, CC_PRIMARY, 0);
    const tagCOLORCORRINFO b = Mixed(3, CC_PRIMARY, 0);
    for (double t : {0.0, -0.0, 1.0}) {
        SCOPED_TRACE(t);
        tagCOLORCORRINFO r;
        EXPECT_EQ(r.Interpolate(a, b, t), 1);
    }
}

// ---- truncation ------------------------------------------------------------

TEST(InterpolateTruncation, TowardZeroOnBothSides)
{
    EXPECT_EQ(BlendSat(10, -5, 0.5), 2);   // 2.5
    EXPECT_EQ(BlendSat(-10, 5, 0.5), -2);  // -2.5
    EXPECT_EQ(BlendSat(0, 1, 0.999), 0);   // 0.999
    EXPECT_EQ(BlendSat(0, -1, 0.999), 0);  // -0.999, not -1
    EXPECT_EQ(BlendSat(-5, -6, 0.5), -5);  // -5.5
    EXPECT_EQ(BlendSat(5, 4, 0.5), 4);     // 4.5: toward zero, which here is b
    EXPECT_EQ(BlendSat(-5, -4, 0.5), -4);  // -4.5
    EXPECT_EQ(BlendSat(0, 1, 1.0), 1);
    EXPECT_EQ(BlendSat(0, 100, 0.25), 25);
    EXPECT_EQ(BlendSat(0, 100, 0.255), 25); // 25.5
    EXPECT_EQ(BlendSat(0, -100, 0.255), -25);
}

TEST(InterpolateTruncation, FullInt16RangeStaysInTheField)
{
    EXPECT_EQ(BlendSat(-32768, 32767, 0.5), 0); // -0.5
    EXPECT_EQ(BlendSat(32767, -32768, 0.5), 0); // -0.5
    EXPECT_EQ(BlendSat(-32768, 32767, 1.0), 32767);
    EXPECT_EQ(BlendSat(32767, -32768, 1.0), -32768);
    EXPECT_EQ(BlendSat(-32768, 32767, 0.0), -32768);
}

TEST(InterpolateTruncation, BytesReadWithTheirOwnSign)
{
    tagCOLORCORRINFO a = DefaultRecord();
    tagCOLORCORRINFO b = DefaultRecord();
    a.dwFlags = CC_MATCH_VECTOR | CC_CLIPPING;
    b.dwFlags = CC_MATCH_VECTOR | CC_CLIPPING;
    a.Match.dwCount = b.Match.dwCount = 1;
    tagMATCHVECTOR& va = a.Match.Vector[0];
    tagMATCHVECTOR& vb = b.Match.Vector[0];
    va.cU = -100;
    vb.cU = 100;
    va.cV = -128;
    vb.cV = 127;
    va.byY = 200;
    vb.byY = 100;
    va.byHueSoft = 255;
    vb.byHueSoft = 0;
    va.bySatWidth = 0;
    vb.bySatWidth = 255;
    a.Base.bySoftY = 250;
    b.Base.bySoftY = 10;
    a.Base.bySoftC = 0;
    b.Base.bySoftC = 255;

    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);
    const tagMATCHVECTOR& v = r.Match.Vector[0];
    EXPECT_EQ(v.cU, 0);
    EXPECT_EQ(v.cV, 0); // -0.5
    EXPECT_EQ(v.byY, 150);
    EXPECT_EQ(v.byHueSoft, 127);
    EXPECT_EQ(v.bySatWidth, 127);
    EXPECT_EQ(r.Base.bySoftY, 130);
    EXPECT_EQ(r.Base.bySoftC, 127);

    ASSERT_EQ(r.Interpolate(a, b, 1.0), 1);
    EXPECT_EQ(r.Match.Vector[0].cV, 127);
    EXPECT_EQ(r.Match.Vector[0].cU, 100);
    EXPECT_EQ(r.Match.Vector[0].byHueSoft, 0);
    EXPECT_EQ(r.Base.bySoftC, 255);
}

// ---- every field of every merged group -------------------------------------

TEST(InterpolateFields, EachGroupBlendsExactlyItsOwnFields)
{
    for (DWORD group : {CC_PRIMARY, CC_SIX_VECTOR, CC_MATCH_VECTOR, CC_CLIPPING}) {
        for (double t : {0.5, 0.3, 1.0}) {
            SCOPED_TRACE(testing::Message() << "group " << group << ", t " << t);
            tagCOLORCORRINFO a = Mixed(5, group, 16);
            tagCOLORCORRINFO b = Mixed(6, 0, 16);
            tagCOLORCORRINFO r;
            ASSERT_EQ(r.Interpolate(a, b, t), 1);
            EXPECT_TRUE(SameBytes(Model(a, b, t), r));
        }
    }
}

TEST(InterpolateFields, AllGroupsTogether)
{
    for (double t : {0.0, 0.1, 0.5, 0.77, 1.0}) {
        SCOPED_TRACE(t);
        const tagCOLORCORRINFO a = Mixed(8, CC_PRIMARY | CC_MATCH_VECTOR, 7);
        const tagCOLORCORRINFO b = Mixed(9, CC_SIX_VECTOR | CC_CLIPPING, 7);
        tagCOLORCORRINFO r;
        ASSERT_EQ(r.Interpolate(a, b, t), 1);
        EXPECT_TRUE(SameBytes(Model(a, b, t), r));
    }
}

TEST(InterpolateFields, OneReproducesBInEveryBlendedField)
{
    const tagCOLORCORRINFO a = Mixed(10, 0xF, 16);
    const tagCOLORCORRINFO b = Mixed(11, 0, 16);
    tagCOLORCORRINFO expected = b;
    expected.dwFlags = 0xF;
    expected.Base.wRangeFlags = static_cast<uint16_t>(a.Base.wRangeFlags | b.Base.wRangeFlags);
    for (int i = 0; i < 16; ++i)
        expected.Match.Vector[i].byFlags = static_cast<uint8_t>(a.Match.Vector[i].byFlags | b.Match.Vector[i].byFlags);
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 1.0), 1);
    EXPECT_TRUE(SameBytes(expected, r));
}

TEST(InterpolateFields, ZeroKeepsAsValuesButStillMergesSwitches)
{
    const tagCOLORCORRINFO a = Mixed(12, CC_PRIMARY, 2);
    const tagCOLORCORRINFO b = Mixed(13, CC_MATCH_VECTOR | CC_CLIPPING, 5);
    tagCOLORCORRINFO expected = a;
    expected.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR | CC_CLIPPING;
    expected.Base.wRangeFlags = static_cast<uint16_t>(a.Base.wRangeFlags | b.Base.wRangeFlags);
    expected.Match.dwCount = 5;
    for (int i = 2; i < 5; ++i)
        expected.Match.Vector[i].Init(); // a's side of the vectors only b has
    for (int i = 0; i < 5; ++i)
        expected.Match.Vector[i].byFlags |= b.Match.Vector[i].byFlags;

    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.0), 1);
    EXPECT_TRUE(SameBytes(expected, r));
}

TEST(InterpolateFields, GroupsActiveInNeitherKeepAsValues)
{
    tagCOLORCORRINFO a = Mixed(14, CC_CLIPPING, 4);
    tagCOLORCORRINFO b = Mixed(15, CC_CLIPPING, 4);
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);

    tagCOLORCORRINFO expected = a;
    expected.Base.wRangeFlags = static_cast<uint16_t>(a.Base.wRangeFlags | b.Base.wRangeFlags);
    expected.Base.bySoftY = static_cast<uint8_t>((a.Base.bySoftY + b.Base.bySoftY) / 2);
    expected.Base.bySoftC = static_cast<uint8_t>((a.Base.bySoftC + b.Base.bySoftC) / 2);
    for (int i = 0; i < 4; ++i) // merged even though the vectors are not blended
        expected.Match.Vector[i].byFlags |= b.Match.Vector[i].byFlags;
    EXPECT_TRUE(SameBytes(expected, r));
}

TEST(InterpolateFields, AGroupActiveOnlyInBIsBlended)
{
    tagCOLORCORRINFO a = Mixed(16, 0, 0);
    tagCOLORCORRINFO b = Mixed(17, CC_SIX_VECTOR, 0);
    a.Vector6.sHue[3] = -300;
    b.Vector6.sHue[3] = 101;
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);
    EXPECT_EQ(r.dwFlags, CC_SIX_VECTOR);
    EXPECT_EQ(r.Vector6.sHue[3], -99); // -99.5
    EXPECT_TRUE(SameBytes(Model(a, b, 0.5), r));
}

TEST(InterpolateFields, SizeFieldsKeepAsValues)
{
    tagCOLORCORRINFO a = Mixed(18, 0xF, 2);
    tagCOLORCORRINFO b = Mixed(19, 0xF, 2);
    b.dwSize = 5;
    b.Base.dwSize = 1;
    b.Vector6.dwSize = 99;
    b.Match.dwSize = 2;
    b.Match.Vector[0].dwSize = 3;
    b.Match.Vector[1].dwSize = 0xFFFFFFFF;
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 1.0), 1);
    EXPECT_EQ(r.dwSize, 564u);
    EXPECT_EQ(r.Base.dwSize, 36u);
    EXPECT_EQ(r.Vector6.dwSize, 64u);
    EXPECT_EQ(r.Match.dwSize, 456u);
    EXPECT_EQ(r.Match.Vector[0].dwSize, 28u);
    EXPECT_EQ(r.Match.Vector[1].dwSize, 28u);
    EXPECT_EQ(r.Base.sBBlack, b.Base.sBBlack);
}

// ---- switches --------------------------------------------------------------

TEST(InterpolateSwitches, FlagsAndRangeBitsAreOred)
{
    tagCOLORCORRINFO a = DefaultRecord();
    tagCOLORCORRINFO b = DefaultRecord();
    a.dwFlags = CC_PRIMARY | 0x100;
    b.dwFlags = CC_CLIPPING;
    a.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    b.Base.wRangeFlags = RANGE_CHROMA_REDUCED;
    for (double t : {0.0, 0.5, 1.0}) {
        tagCOLORCORRINFO r;
        ASSERT_EQ(r.Interpolate(a, b, t), 1);
        EXPECT_EQ(r.dwFlags, CC_PRIMARY | CC_CLIPPING | 0x100u);
        EXPECT_EQ(r.Base.wRangeFlags, RANGE_VIDEO_LUMA | RANGE_CHROMA_REDUCED);
    }
}

TEST(InterpolateSwitches, VectorFlagBytesAreOredForUsedEntriesOnly)
{
    tagCOLORCORRINFO a = DefaultRecord();
    tagCOLORCORRINFO b = DefaultRecord();
    a.dwFlags = b.dwFlags = CC_MATCH_VECTOR;
    a.Match.dwCount = 1;
    b.Match.dwCount = 2;
    a.Match.Vector[0].byFlags = 0x05;
    b.Match.Vector[0].byFlags = 0x12;
    a.Match.Vector[1].byFlags = 0x40; // unused in a: replaced by a default vector
    b.Match.Vector[1].byFlags = 0x81;
    a.Match.Vector[2].byFlags = 0x01; // unused on both sides
    b.Match.Vector[2].byFlags = 0x02;
    for (double t : {0.0, 0.5, 1.0}) {
        SCOPED_TRACE(t);
        tagCOLORCORRINFO r;
        ASSERT_EQ(r.Interpolate(a, b, t), 1);
        EXPECT_EQ(r.Match.Vector[0].byFlags, 0x17);
        EXPECT_EQ(r.Match.Vector[1].byFlags, 0x81);
        EXPECT_EQ(r.Match.Vector[2].byFlags, 0x01);
    }
}

// ---- vector counts ---------------------------------------------------------

TEST(InterpolateCounts, DefaultAgainstThreeVectorsGivesTheMidpoints)
{
    const tagCOLORCORRINFO a = DefaultRecord();
    tagCOLORCORRINFO b = DefaultRecord();
    b.dwFlags = CC_MATCH_VECTOR;
    b.Match.dwCount = 3;
    for (int i = 0; i < 3; ++i) {
        tagMATCHVECTOR& v = b.Match.Vector[i];
        v.byFlags = static_cast<uint8_t>(1 << i);
        v.byY = static_cast<uint8_t>(255 - 60 * i);
        v.cU = static_cast<int8_t>(-127 + 50 * i);
        v.cV = static_cast<int8_t>(33 - 40 * i);
        v.byYRange = static_cast<uint8_t>(3 + i);
        v.byHueWidth = 255;
        v.bySatWidth = static_cast<uint8_t>(21 + i);
        v.byYSoft = 0;
        v.byHueSoft = 201;
        v.bySatSoft = 51;
        v.sWhite = static_cast<int16_t>(-255 + i);
        v.sGamma = 255;
        v.sBlack = -1;
        v.sHue = static_cast<int16_t>(-256 + 100 * i);
        v.sSat = 77;
        v.sUOffset = -3;
        v.sVOffset = 3;
    }
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);
    EXPECT_EQ(r.dwFlags, CC_MATCH_VECTOR);
    EXPECT_EQ(r.Match.dwCount, 3u);

    tagCOLORCORRINFO expected = a;
    expected.dwFlags = CC_MATCH_VECTOR;
    expected.Match.dwCount = 3;
    for (int i = 0; i < 3; ++i)
        expected.Match.Vector[i] = HalfwayVector(DefaultVector(), b.Match.Vector[i]);
    EXPECT_TRUE(SameBytes(expected, r));
    // A few of them written out.
    EXPECT_EQ(r.Match.Vector[0].byY, 191);     // (128 + 255) / 2 = 191.5
    EXPECT_EQ(r.Match.Vector[0].cU, -63);      // -63.5
    EXPECT_EQ(r.Match.Vector[0].sWhite, -127); // -127.5
    EXPECT_EQ(r.Match.Vector[2].sHue, -28);
    EXPECT_EQ(r.Match.Vector[1].byHueWidth, 134); // (14 + 255) / 2 = 134.5
}

TEST(InterpolateCounts, FewerVectorsInAAreFilledWithDefaults)
{
    tagCOLORCORRINFO a = Mixed(20, CC_MATCH_VECTOR, 1); // stale junk in a's slots 1..15
    const tagCOLORCORRINFO b = Mixed(21, CC_MATCH_VECTOR, 3);
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);

    tagCOLORCORRINFO expected = a;
    expected.Match.dwCount = 3;
    expected.Base.wRangeFlags = static_cast<uint16_t>(a.Base.wRangeFlags | b.Base.wRangeFlags);
    expected.Match.Vector[0] = HalfwayVector(a.Match.Vector[0], b.Match.Vector[0]);
    expected.Match.Vector[1] = HalfwayVector(DefaultVector(), b.Match.Vector[1]);
    expected.Match.Vector[2] = HalfwayVector(DefaultVector(), b.Match.Vector[2]);
    EXPECT_TRUE(SameBytes(expected, r));
}

TEST(InterpolateCounts, FewerVectorsInBAreFilledWithDefaults)
{
    const tagCOLORCORRINFO a = Mixed(22, CC_MATCH_VECTOR, 3);
    const tagCOLORCORRINFO b = Mixed(23, CC_MATCH_VECTOR, 1); // stale junk in b's slots 1..15
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);

    tagCOLORCORRINFO expected = a;
    expected.Base.wRangeFlags = static_cast<uint16_t>(a.Base.wRangeFlags | b.Base.wRangeFlags);
    expected.Match.Vector[0] = HalfwayVector(a.Match.Vector[0], b.Match.Vector[0]);
    expected.Match.Vector[1] = HalfwayVector(a.Match.Vector[1], DefaultVector());
    expected.Match.Vector[2] = HalfwayVector(a.Match.Vector[2], DefaultVector());
    EXPECT_TRUE(SameBytes(expected, r));
    EXPECT_EQ(r.Match.dwCount, 3u);
}

TEST(InterpolateCounts, CountsAreEqualisedEvenWithoutTheMatchGroup)
{
    tagCOLORCORRINFO a = Mixed(24, 0, 0);
    const tagCOLORCORRINFO b = Mixed(25, 0, 2);
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);
    EXPECT_EQ(r.Match.dwCount, 2u);
    for (int i = 0; i < 2; ++i) {
        tagMATCHVECTOR expected = DefaultVector();
        expected.byFlags = b.Match.Vector[i].byFlags;
        EXPECT_EQ(std::memcmp(&expected, &r.Match.Vector[i], sizeof expected), 0) << "slot " << i;
    }
}

TEST(InterpolateCounts, NoVectorsMeansNothingToBlend)
{
    const tagCOLORCORRINFO a = Mixed(26, CC_MATCH_VECTOR, 0);
    const tagCOLORCORRINFO b = Mixed(27, CC_MATCH_VECTOR, 0);
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);
    EXPECT_EQ(std::memcmp(&a.Match, &r.Match, sizeof a.Match), 0);
}

TEST(InterpolateCounts, CountAboveSixteenInAStaysWithinTheRecord)
{
    // Exactly-sized heap blocks: any access past a record trips the sanitizer.
    auto a = std::make_unique<tagCOLORCORRINFO>(Mixed(28, CC_MATCH_VECTOR, 20));
    auto b = std::make_unique<tagCOLORCORRINFO>(Mixed(29, CC_MATCH_VECTOR, 2));
    auto r = std::make_unique<tagCOLORCORRINFO>();
    ASSERT_EQ(r->Interpolate(*a, *b, 0.5), 1);
    EXPECT_EQ(r->Match.dwCount, 20u);
    for (int i = 0; i < 16; ++i) {
        const tagMATCHVECTOR expected =
            HalfwayVector(a->Match.Vector[i], i < 2 ? b->Match.Vector[i] : DefaultVector());
        EXPECT_EQ(std::memcmp(&expected, &r->Match.Vector[i], sizeof expected), 0) << "slot " << i;
    }
}

TEST(InterpolateCounts, CountAboveSixteenInBStaysWithinTheRecord)
{
    auto a = std::make_unique<tagCOLORCORRINFO>(Mixed(30, CC_MATCH_VECTOR, 2));
    auto b = std::make_unique<tagCOLORCORRINFO>(Mixed(31, CC_MATCH_VECTOR, 0xFFFFFFFF));
    auto r = std::make_unique<tagCOLORCORRINFO>();
    ASSERT_EQ(r->Interpolate(*a, *b, 0.5), 1);
    EXPECT_EQ(r->Match.dwCount, 0xFFFFFFFFu);
    for (int i = 0; i < 16; ++i) {
        const tagMATCHVECTOR expected =
            HalfwayVector(i < 2 ? a->Match.Vector[i] : DefaultVector(), b->Match.Vector[i]);
        EXPECT_EQ(std::memcmp(&expected, &r->Match.Vector[i], sizeof expected), 0) << "slot " << i;
    }
    // Both sides past sixteen.
    a->Match.dwCount = 17;
    ASSERT_EQ(r->Interpolate(*a, *b, 1.0), 1);
    EXPECT_EQ(r->Match.dwCount, 0xFFFFFFFFu);
    EXPECT_EQ(r->Match.Vector[15].sVOffset, b->Match.Vector[15].sVOffset);
}

// ---- equal inputs and aliasing ----------------------------------------------

TEST(InterpolateInputs, EqualRecordsGiveAExactly)
{
    tagCOLORCORRINFO a = Mixed(32, 0xF, 2);
    tagCOLORCORRINFO b = a;
    FillJunk(&b.Match.Vector[2], 14 * sizeof(tagMATCHVECTOR), 33); // slots nobody uses
    ASSERT_EQ(a == b, 1);
    tagCOLORCORRINFO r = JunkRecord(34);
    EXPECT_EQ(r.Interpolate(a, b, 0.5), 1);
    EXPECT_TRUE(SameBytes(a, r));
}

TEST(InterpolateInputs, TargetMayBeEitherInput)
{
    const tagCOLORCORRINFO a = Mixed(35, CC_PRIMARY | CC_MATCH_VECTOR, 2);
    const tagCOLORCORRINFO b = Mixed(36, CC_SIX_VECTOR | CC_CLIPPING, 4);
    tagCOLORCORRINFO expected;
    ASSERT_EQ(expected.Interpolate(a, b, 0.5), 1);

    tagCOLORCORRINFO intoA = a;
    ASSERT_EQ(intoA.Interpolate(intoA, b, 0.5), 1);
    EXPECT_TRUE(SameBytes(expected, intoA));

    tagCOLORCORRINFO intoB = b;
    ASSERT_EQ(intoB.Interpolate(a, intoB, 0.5), 1);
    EXPECT_TRUE(SameBytes(expected, intoB));

    tagCOLORCORRINFO both = a;
    ASSERT_EQ(both.Interpolate(both, both, 0.5), 1);
    EXPECT_TRUE(SameBytes(a, both));
}

TEST(InterpolateInputs, InputsAreNotChanged)
{
    const tagCOLORCORRINFO a0 = Mixed(37, CC_MATCH_VECTOR, 1);
    const tagCOLORCORRINFO b0 = Mixed(38, CC_MATCH_VECTOR, 3);
    tagCOLORCORRINFO a = a0;
    tagCOLORCORRINFO b = b0;
    tagCOLORCORRINFO r;
    ASSERT_EQ(r.Interpolate(a, b, 0.5), 1);
    ASSERT_EQ(r.Interpolate(b, a, 0.5), 1);
    EXPECT_TRUE(SameBytes(a0, a));
    EXPECT_TRUE(SameBytes(b0, b));
}
