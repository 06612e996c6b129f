// The loops Process chooses at set-up against the reference loop: identical
// bytes for random records and pictures, exhaustively for the primary stage,
// and across every change of set-up the cached tables have to notice.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "filter_access.h"
#include "support/random_record.h"
#include "support/yuv_picture.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FillRandom;
using colorcorrect::test::FilterAccess;
using colorcorrect::test::MakeYuvPicture;
using colorcorrect::test::MatchVector;
using colorcorrect::test::MutateRecord;
using colorcorrect::test::RandomRecord;
using colorcorrect::test::SameBytes;
using colorcorrect::test::YuvPicture;

#if defined(__SANITIZE_ADDRESS__)
#define CC_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CC_SANITIZED 1
#endif
#endif
#ifndef CC_SANITIZED
#define CC_SANITIZED 0
#endif

namespace {

// Process and ProcessReference of `in`, out of place and in place, give the
// same bytes (padding included: neither writes it).
::testing::AssertionResult SameAsReference(CBaseColorCorrectionFilter& f, const YuvPicture& in)
{
    YuvPicture source = in;
    YuvPicture expected = in, actual = in;
    if (!f.ProcessReference(&source.header, source.pixels.data(), expected.pixels.data()))
        return ::testing::AssertionFailure() << "ProcessReference refused the picture";
    if (!f.Process(&source.header, source.pixels.data(), actual.pixels.data()))
        return ::testing::AssertionFailure() << "Process refused the picture";
    ::testing::AssertionResult apart = SameBytes(expected, actual);
    if (!apart)
        return apart << " (out of place, " << f.ProcessPathName() << ")";
    YuvPicture inPlace = in;
    f.Process(&inPlace.header, inPlace.pixels.data(), inPlace.pixels.data());
    ::testing::AssertionResult same = SameBytes(expected, inPlace);
    if (!same)
        return same << " (in place, " << f.ProcessPathName() << ")";
    return ::testing::AssertionSuccess();
}

// A 256 x 256 picture holding every chroma pair once (U along the row, V by
// row) at the given luma.
YuvPicture ChromaPlane(int bits, int luma, uint32_t flags = 0, BYTE alpha = 255)
{
    YuvPicture p = MakeYuvPicture(256, 256, bits, flags);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            BYTE* px = p.Pixel(u, v);
            px[0] = static_cast<BYTE>(luma);
            px[1] = static_cast<BYTE>(u);
            px[2] = static_cast<BYTE>(v);
            if (bits != 24)
                px[3] = alpha;
        }
    return p;
}

// Every (Y, U, V) input through both loops (with `step` 1; otherwise every
// step-th luma); Y alternates between 3- and 4-byte pixels. Under a
// sanitizer every 15th luma is enough.
::testing::AssertionResult AllInputsSameAsReference(CBaseColorCorrectionFilter& f, int step = 1)
{
    if (CC_SANITIZED && step < 15)
        step = 15;
    for (int y = 0; y < 256; y += step) {
        const YuvPicture in = ChromaPlane(y % 2 ? 32 : 24, y);
        YuvPicture expected = in, actual = in;
        YuvPicture source = in;
        f.ProcessReference(&source.header, source.pixels.data(), expected.pixels.data());
        f.Process(&source.header, source.pixels.data(), actual.pixels.data());
        ::testing::AssertionResult same = SameBytes(expected, actual);
        if (!same)
            return same << " at luma " << y << " (" << f.ProcessPathName() << ")";
    }
    return ::testing::AssertionSuccess();
}

tagCOLORCORRINFO PrimaryWithCurves()
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sYWhite = -20;
    cc.Base.sYGamma = 70;
    cc.Base.sYBlack = 12;
    cc.Base.sHue = -300; // beyond 180 degrees: clamped
    cc.Base.sSat = 400;  // beyond 255: clamped
    cc.Base.sRWhite = 30;
    cc.Base.sRGamma = -90;
    cc.Base.sRBlack = -15;
    cc.Base.sGGamma = 40;
    cc.Base.sBWhite = -60;
    cc.Base.sBBlack = 25;
    return cc;
}

} // namespace

// ---- which loop -----------------------------------------------------------------

TEST(FastPath, EachSetUpChoosesItsLoop)
{
    FilterAccess f;
    EXPECT_STREQ(f.ProcessPathName(), "reference"); // nothing set up yet

    ASSERT_TRUE(f.SetupFilter(DefaultRecord(0)));
    EXPECT_STREQ(f.ProcessPathName(), "output-clamp");
    tagCOLORCORRINFO soft = DefaultRecord(CC_CLIPPING);
    soft.Base.wRangeFlags = RANGE_LEGAL;
    soft.Base.bySoftY = 40;
    ASSERT_TRUE(f.SetupFilter(soft));
    EXPECT_STREQ(f.ProcessPathName(), "output");
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    EXPECT_STREQ(f.ProcessPathName(), "primary-plain");
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    EXPECT_STREQ(f.ProcessPathName(), "primary-curves");

    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags |= CC_SIX_VECTOR;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_STREQ(f.ProcessPathName(), "primary-curves+six"); // six luma curves all neutral
    cc.Vector6.sGamma[2] = 30;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_STREQ(f.ProcessPathName(), "primary-curves+six-blend");

    cc = DefaultRecord(CC_MATCH_VECTOR);
    ASSERT_TRUE(f.SetupFilter(cc)); // no vector: only the range clamp
    EXPECT_STREQ(f.ProcessPathName(), "clamp");
    cc.Match.dwCount = 2;
    cc.Match.Vector[1] = MatchVector(30, 30, 20, 20, 50, 50);
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_STREQ(f.ProcessPathName(), "clamp+match");

    tagBASECOLORCORRINFO b = PrimaryWithCurves().Base;
    ASSERT_TRUE(f.SetupFilter(b));
    EXPECT_STREQ(f.ProcessPathName(), "primary-curves");
}

TEST(FastPath, StageFlagsChangedAfterSetUpFallBackToTheReference)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    std::mt19937 rng(5);
    YuvPicture in = MakeYuvPicture(33, 7, 24);
    FillRandom(in, rng);

    // As a derived class might: the clamp in front of the vector stages
    // without either stage, and then the primary stage off.
    f.m_bVector = 1;
    EXPECT_TRUE(SameAsReference(f, in));
    f.m_bPrimary = 0;
    EXPECT_TRUE(SameAsReference(f, in));
}

TEST(FastPath, TablesWrittenDirectlyAreTakenUpAfterTablesChanged)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1] = MatchVector(20, 60, 40, 40, 50, 50);
    ASSERT_TRUE(f.SetupFilter(cc));
    std::mt19937 rng(15);
    YuvPicture in = MakeYuvPicture(64, 32, 24);
    FillRandom(in, rng);

    // As a derived class might: its own output clip, hue table and match
    // saturation, written over the set-up's.
    for (int i = 0; i < 1024; ++i) {
        f.m_LumaClip[i] = std::clamp(i - 512 + 7, 20, 200);
        f.m_ChromaClip[i] = std::clamp((i - 512) / 2, -60, 60);
    }
    for (int i = 0; i < 256; ++i) {
        f.m_CosLUT[i] = static_cast<int8_t>(f.m_SinLUT[i]);
        f.m_MatchSatLUT[1][i] = static_cast<int16_t>(-f.m_MatchSatLUT[1][i]);
    }
    f.TablesChanged();
    EXPECT_TRUE(SameAsReference(f, in));
}

TEST(FastPath, CurveTablesBeyondTheBuildersRangeTakeTheReferenceLoop)
{
    // The fused tables are made for curve outputs within -510..510; a table
    // written with larger values is corrected by the stages themselves.
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    // One step beyond, where green = 388 (still inside the output tables in
    // the reference loop).
    f.m_GLUT[388 + 512] = 511;
    f.TablesChanged();
    EXPECT_STREQ(f.ProcessPathName(), "reference");
    std::mt19937 rng(16);
    YuvPicture in = MakeYuvPicture(30, 9, 32);
    FillRandom(in, rng);
    EXPECT_TRUE(SameAsReference(f, in));
}

TEST(FastPath, RefusedSetUpKeepsTheLoopOfTheLastGoodOne)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    tagCOLORCORRINFO bad = DefaultRecord(0);
    bad.Vector6.dwSize = 60;
    EXPECT_FALSE(f.SetupFilter(bad));
    EXPECT_STREQ(f.ProcessPathName(), "primary-curves");
}

TEST(FastPath, SetUpThatFailsHalfWayTakesTheReferenceLoop)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags |= CC_SIX_VECTOR;
    colorcorrect::SetPageAllocationBudget(0);
    EXPECT_FALSE(f.SetupFilter(cc));
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_STREQ(f.ProcessPathName(), "reference");
    std::mt19937 rng(6);
    YuvPicture in = MakeYuvPicture(20, 4, 32);
    FillRandom(in, rng);
    EXPECT_TRUE(SameAsReference(f, in));
}

TEST(FastPath, OutputTablesAloneAtEveryWidth)
{
    // Without a stage only the output tables apply: hard clips go sixteen
    // bytes at a time with a pixel-by-pixel rest, soft knees by look-up.
    FilterAccess f;
    std::mt19937 rng(4);
    tagCOLORCORRINFO cc = DefaultRecord(0);
    for (int clip = 0; clip < 4; ++clip) {
        cc.dwFlags = clip == 0 ? 0 : CC_CLIPPING;
        cc.Base.wRangeFlags = clip == 2 ? RANGE_CHROMA_REDUCED : RANGE_LEGAL;
        cc.Base.bySoftY = clip == 3 ? 90 : 0;
        ASSERT_TRUE(f.SetupFilter(cc));
        EXPECT_STREQ(f.ProcessPathName(), clip == 3 ? "output" : "output-clamp");
        for (int width = 1; width <= 40; ++width)
            for (int bits : {24, 32}) {
                YuvPicture in = MakeYuvPicture(width, 3, bits);
                FillRandom(in, rng);
                ASSERT_TRUE(SameAsReference(f, in)) << "width " << width << ", " << bits << " bits";
            }
    }
}

// ---- every input of the primary stage ---------------------------------------------

TEST(FastPathExhaustive, PrimaryWithChannelCurves)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    ASSERT_STREQ(f.ProcessPathName(), "primary-curves");
    EXPECT_TRUE(AllInputsSameAsReference(f));
}

TEST(FastPathExhaustive, PrimaryWithNeutralChannelCurvesAndSoftLegalClip)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | CC_CLIPPING);
    cc.Base.sYGamma = -45;
    cc.Base.sYBlack = -10;
    cc.Base.sHue = 40;
    cc.Base.sSat = -70;
    cc.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    cc.Base.bySoftY = 120;
    cc.Base.bySoftC = 200;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_STREQ(f.ProcessPathName(), "primary-plain");
    EXPECT_TRUE(AllInputsSameAsReference(f));
}

TEST(FastPathExhaustive, PrimaryInVideoRangeFollowedByTheRangeClamp)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags |= CC_SIX_VECTOR | CC_CLIPPING;
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    cc.Base.bySoftY = 60;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_STREQ(f.ProcessPathName(), "primary-curves+six");
    EXPECT_TRUE(AllInputsSameAsReference(f));

    // Neutral channel curves followed by the clamp take the other table
    // (every third luma: the table itself is the one tested exhaustively
    // above without the clamp).
    cc.Base.sRWhite = cc.Base.sRGamma = cc.Base.sRBlack = 0;
    cc.Base.sGGamma = 0;
    cc.Base.sBWhite = cc.Base.sBBlack = 0;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_STREQ(f.ProcessPathName(), "primary-plain+six");
    EXPECT_TRUE(AllInputsSameAsReference(f, 3));
}

// ---- vector stages over every chroma pair -------------------------------------------

TEST(FastPathVectors, EveryChromaPairAtSeveralLumas)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftC = 90;
    for (int i = 0; i < 6; ++i) {
        cc.Vector6.sHue[i] = static_cast<int16_t>(20 * i - 50);
        cc.Vector6.sSat[i] = static_cast<int16_t>(40 - 25 * i);
        cc.Vector6.sBlack[i] = static_cast<int16_t>(5 * i);
    }
    cc.Match.dwCount = 4;
    cc.Match.Vector[0].sHue = 15;
    cc.Match.Vector[0].sVOffset = 9;
    cc.Match.Vector[1] = MatchVector(40, -30, 30, 25, 120, 100);
    cc.Match.Vector[1].byY = 90;
    cc.Match.Vector[1].byYRange = 60;
    cc.Match.Vector[1].byYSoft = 200; // wide luma edges: the window decides often
    cc.Match.Vector[1].sSat = 90;
    cc.Match.Vector[2] = MatchVector(-50, 10, 20, 30, 0, 0);
    cc.Match.Vector[2].sGamma = -60;
    cc.Match.Vector[2].sUOffset = -40;
    cc.Match.Vector[3] = MatchVector(-20, -60, 40, 20, 255, 255);
    cc.Match.Vector[3].sHue = -100;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_STREQ(f.ProcessPathName(), "primary-curves+six-blend+match");
    for (int y : {0, 16, 45, 60, 90, 117, 150, 200, 235, 255})
        for (int bits : {24, 32})
            ASSERT_TRUE(SameAsReference(f, ChromaPlane(bits, y))) << "luma " << y;

    // Vector stages alone, with the clamp of chroma -128.
    cc.dwFlags = CC_SIX_VECTOR | CC_MATCH_VECTOR;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_STREQ(f.ProcessPathName(), "clamp+six-blend+match");
    for (int y : {0, 60, 90, 150, 255})
        ASSERT_TRUE(SameAsReference(f, ChromaPlane(24, y))) << "luma " << y;
}

TEST(FastPathVectors, IsolateMarkersWithoutAVectorNumber)
{
    // Isolate types write entries with vector number 0 and marker bits; the
    // correction treats them as vector 0 with the entry's weight.
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_MATCH_VECTOR);
    cc.Match.dwCount = 3;
    cc.Match.Vector[0].sSat = 120;
    cc.Match.Vector[0].sUOffset = 30;
    cc.Match.Vector[1] = MatchVector(40, 40, 30, 30, 100, 100);
    cc.Match.Vector[2] = MatchVector(-40, 20, 30, 30, 100, 100);
    for (uint32_t type = 1; type <= 7; ++type) {
        f.SetIsolate(0, type);
        ASSERT_TRUE(f.SetupFilter(cc));
        ASSERT_EQ(f.m_bIsolate, 1);
        for (int y : {20, 128})
            ASSERT_TRUE(SameAsReference(f, ChromaPlane(32, y))) << "type " << type;
    }
}

// ---- premultiplied alpha ------------------------------------------------------------

TEST(FastPathAlpha, PremultipliedPixelsAtEveryAlpha)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = PrimaryWithCurves();
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1] = MatchVector(-30, 50, 40, 40, 90, 90);
    cc.Match.Vector[1].sSat = -80;
    ASSERT_TRUE(f.SetupFilter(cc));
    std::mt19937 rng(9);
    for (int alpha : {0, 1, 2, 77, 128, 254, 255}) {
        YuvPicture p = ChromaPlane(32, 0, colorcorrect::YUVBM_PREMULTIPLIED, static_cast<BYTE>(alpha));
        for (int v = 0; v < 256; ++v)
            for (int u = 0; u < 256; ++u)
                p.Pixel(u, v)[0] = static_cast<BYTE>(rng());
        ASSERT_TRUE(SameAsReference(f, p)) << "alpha " << alpha;
    }
}

// ---- caches of the set-up ---------------------------------------------------------------

TEST(FastPathCache, ChangesOfOneTableAreNoticed)
{
    FilterAccess f;
    std::mt19937 rng(21);
    YuvPicture in = MakeYuvPicture(64, 64, 24);
    FillRandom(in, rng);

    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[1] = MatchVector(40, -40, 60, 60, 80, 80);
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_TRUE(SameAsReference(f, in));

    // Each change alone: the output chroma clip (which the pair tables hold),
    // the six-vector hue, the primary hue, the match record, the isolate
    // settings, the stage flags.
    cc.dwFlags |= CC_CLIPPING;
    cc.Base.wRangeFlags = RANGE_CHROMA_REDUCED;
    cc.Base.bySoftC = 100;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "chroma clip";
    cc.Vector6.sHue[1] = 70;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "six-vector hue";
    cc.Base.sHue = -50;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "primary hue";
    cc.Match.Vector[1].sSat = -200;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "match record";
    f.SetIsolate(1, 2);
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "isolate settings";
    cc.dwFlags &= ~CC_SIX_VECTOR;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "six-vector off";
    cc.dwFlags &= ~CC_PRIMARY;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "primary off";
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_TRUE(SameAsReference(f, in)) << "video range";
    ASSERT_TRUE(f.SetupFilter(cc.Base));
    EXPECT_TRUE(SameAsReference(f, in)) << "base record";
}

TEST(FastPathCache, CopiesAndAssignmentsCarryTheirTables)
{
    std::mt19937 rng(33);
    YuvPicture in = MakeYuvPicture(41, 13, 32);
    FillRandom(in, rng);
    tagCOLORCORRINFO a = RandomRecord(rng);
    a.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;
    a.Base.sRGamma = 35;
    a.Vector6.sBlack[0] = 10;
    a.Vector6.sBlack[1] = -10;
    a.Match.dwCount = 5;
    tagCOLORCORRINFO b = DefaultRecord(CC_PRIMARY);
    b.Base.sSat = 50;

    auto original = std::make_unique<FilterAccess>();
    ASSERT_TRUE(original->SetupFilter(a));
    YuvPicture expected = in;
    ASSERT_TRUE(original->ProcessReference(&in.header, in.pixels.data(), expected.pixels.data()));

    FilterAccess copy(*original);
    FilterAccess assigned;
    ASSERT_TRUE(assigned.SetupFilter(b));
    assigned = *original;
    original.reset(); // the copies own their tables
    for (FilterAccess* f : {&copy, &assigned}) {
        EXPECT_STREQ(f->ProcessPathName(), "primary-curves+six-blend+match");
        YuvPicture out = in;
        ASSERT_TRUE(f->Process(&in.header, in.pixels.data(), out.pixels.data()));
        EXPECT_TRUE(SameBytes(expected, out));
    }

    // Assigning a plainer filter replaces the loop too.
    FilterAccess plain;
    ASSERT_TRUE(plain.SetupFilter(b));
    copy = plain;
    EXPECT_STREQ(copy.ProcessPathName(), "primary-plain");
    EXPECT_TRUE(SameAsReference(copy, in));
}

// ---- random records and pictures ------------------------------------------------------

TEST(FastPathRandom, ThousandsOfRecordsGiveTheReferenceBytes)
{
    std::mt19937 rng(2024);
    FilterAccess kept;  // one filter through all set-ups: its caches see every change
    const int records = CC_SANITIZED ? 400 : 2000;
    tagCOLORCORRINFO cc = RandomRecord(rng);
    std::uniform_int_distribution<int> width(1, 37), height(1, 5), coin(0, 1);
    for (int n = 0; n < records; ++n) {
        if (std::uniform_int_distribution<int>(0, 4)(rng) == 0)
            cc = RandomRecord(rng);
        else
            MutateRecord(cc, rng, 0.25);
        if (std::uniform_int_distribution<int>(0, 9)(rng) == 0)
            kept.SetIsolate(static_cast<uint32_t>(rng() % 16), static_cast<uint32_t>(rng() % 9));
        ASSERT_TRUE(kept.SetupFilter(cc)) << "record " << n;
        ASSERT_STRNE(kept.ProcessPathName(), "reference") << "record " << n;

        for (int k = 0; k < 3; ++k) {
            const int bits = coin(rng) ? 24 : 32;
            const uint32_t flags = coin(rng) ? colorcorrect::YUVBM_PREMULTIPLIED : 0;
            YuvPicture in = MakeYuvPicture(width(rng), height(rng), bits, flags);
            FillRandom(in, rng);
            ASSERT_TRUE(SameAsReference(kept, in))
                << "record " << n << ", " << bits << " bits, flags " << flags;
        }
        // Now and then every chroma pair.
        if (n % 100 == 0) {
            ASSERT_TRUE(SameAsReference(kept, ChromaPlane(n % 200 ? 24 : 32, n % 256)))
                << "record " << n;
        }
    }
}

// ---- rows ----------------------------------------------------------------------------

TEST(ProcessRows, RowRangesMakeUpTheWholePicture)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    std::mt19937 rng(44);
    for (int bits : {24, 32}) {
        YuvPicture in = MakeYuvPicture(27, 19, bits);
        FillRandom(in, rng);
        YuvPicture whole = in;
        ASSERT_TRUE(f.Process(&in.header, in.pixels.data(), whole.pixels.data()));

        YuvPicture pieces = in;
        for (const auto& [first, count] : {std::pair<size_t, size_t>{0, 5}, {5, 1}, {6, 0},
                                           {6, 10}, {16, 100}})
            ASSERT_TRUE(f.ProcessRows(&in.header, in.pixels.data(), pieces.pixels.data(), first,
                                      count));
        EXPECT_TRUE(SameBytes(whole, pieces));

        // Rows beyond the picture: nothing written.
        YuvPicture untouched = in;
        EXPECT_TRUE(f.ProcessRows(&in.header, in.pixels.data(), untouched.pixels.data(), 19, 4));
        EXPECT_TRUE(SameBytes(in, untouched));
    }
}

TEST(ProcessRows, RefusesWhatProcessRefuses)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(PrimaryWithCurves()));
    YuvPicture in = MakeYuvPicture(4, 4, 24);
    YuvPicture out = in;
    EXPECT_FALSE(f.ProcessRows(nullptr, in.pixels.data(), out.pixels.data(), 0, 4));
    EXPECT_FALSE(f.ProcessRows(&in.header, nullptr, out.pixels.data(), 0, 4));
    in.header.biCompression = 0;
    EXPECT_FALSE(f.ProcessRows(&in.header, in.pixels.data(), out.pixels.data(), 0, 4));
}

// ---- memory --------------------------------------------------------------------------

TEST(FastPathMemory, AFilterWithEveryStageStaysUnderOneMegabyte)
{
    FilterAccess f;
    const size_t bare = f.MemoryBytes();
    EXPECT_EQ(bare, sizeof(CBaseColorCorrectionFilter));
    std::mt19937 rng(55);
    tagCOLORCORRINFO cc = RandomRecord(rng);
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;
    cc.Match.dwCount = 16;
    ASSERT_TRUE(f.SetupFilter(cc));
    EXPECT_LT(f.MemoryBytes(), 1u << 20);
    EXPECT_GT(f.MemoryBytes(), bare + 2 * colorcorrect::kSegmentIndexBytes);
}
