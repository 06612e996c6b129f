// The loops Process chooses at set-up against the reference loop: identical
// bytes for every loop over random and exhaustive inputs, and the rules by
// which a set-up or a derived class's own tables choose the loop.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <random>

#include "filter_access.h"
#include "support/random_record.h"

using namespace colorcorrect::test;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

namespace {

// Process and ProcessReference of `in`, out of place and in place, give the
// same bytes (padding included: neither writes it).
::testing::AssertionResult SameAsReference(CBaseColorCorrectionFilter& f, const YuvPicture& in)
{
    YuvPicture source = in, expected = in, actual = in, inPlace = in;
    if (!f.ProcessReference(&source.header, source.pixels.data(), expected.pixels.data()) ||
        !f.Process(&source.header, source.pixels.data(), actual.pixels.data()))
        return ::testing::AssertionFailure() << "picture refused";
    f.Process(&inPlace.header, inPlace.pixels.data(), inPlace.pixels.data());
    for (const YuvPicture* p : {&actual, &inPlace})
        if (::testing::AssertionResult same = SameBytes(expected, *p); !same)
            return same << (p == &actual ? " (out of place, " : " (in place, ")
                        << f.ProcessPathName() << ")";
    return ::testing::AssertionSuccess();
}

tagCOLORCORRINFO Clipping(WORD range, BYTE softY, DWORD extra = 0)
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_CLIPPING | extra);
    cc.Base.wRangeFlags = range, cc.Base.bySoftY = softY;
    return cc;
}

tagCOLORCORRINFO SoftLegalPlain()
{
    tagCOLORCORRINFO cc = Clipping(RANGE_LEGAL | RANGE_CHROMA_REDUCED, 120, CC_PRIMARY);
    cc.Base.sYGamma = -45, cc.Base.sYBlack = -10, cc.Base.sHue = 40, cc.Base.sSat = -70, cc.Base.bySoftC = 200;
    return cc;
}

tagCOLORCORRINFO VideoRangeThenClamp()
{
    tagCOLORCORRINFO cc = PrimaryWithCurves(CC_SIX_VECTOR | CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA, cc.Base.bySoftY = 60;
    return cc;
}

struct PathCase {
    const char* path; // the loop the set-up must choose
    tagCOLORCORRINFO cc;
    bool exhaustive = false; // all 2^24 inputs of the primary stage
};

const PathCase kPaths[] = {
    {"output-clamp", DefaultRecord(0)},
    {"output-clamp", Clipping(RANGE_LEGAL, 0)},
    {"output-clamp", Clipping(RANGE_CHROMA_REDUCED, 0)},
    {"output", Clipping(RANGE_LEGAL, 40)},
    {"primary-plain", DefaultRecord(CC_PRIMARY)},
    {"primary-curves", PrimaryWithCurves(), true},
    {"primary-plain", SoftLegalPlain(), true},
    {"primary-curves+six", VideoRangeThenClamp(), true},
    {"primary-curves+six", PrimaryWithCurves(CC_SIX_VECTOR)}, // six luma curves all equal
    {"primary-plain+six", DefaultRecord(CC_PRIMARY | CC_SIX_VECTOR | CC_CLIPPING)},
    {"primary-curves+six-blend", EveryStage(CC_PRIMARY | CC_SIX_VECTOR)},
    {"clamp", DefaultRecord(CC_MATCH_VECTOR)}, // no vector: only the range clamp
    {"clamp+match", EveryStage(CC_MATCH_VECTOR)},
    {"primary-curves+six-blend+match", EveryStage(0xF)},
    {"clamp+six-blend+match", EveryStage(CC_SIX_VECTOR | CC_MATCH_VECTOR)},
};

class FastPath : public ::testing::TestWithParam<PathCase> {};

} // namespace

TEST_P(FastPath, SameBytesAsTheReferenceLoop)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(GetParam().cc));
    ASSERT_STREQ(f.ProcessPathName(), GetParam().path);

    // Every width up to 40 (whole 16-byte blocks and the rests), both pixel
    // sizes, plain and premultiplied.
    std::mt19937 rng(4);
    for (int width = 1; width <= 40; ++width)
        for (int bits : {24, 32})
            for (uint32_t flags : {0u, colorcorrect::YUVBM_PREMULTIPLIED}) {
                YuvPicture in = MakeYuvPicture(width, 3, bits, flags);
                FillRandom(in, rng);
                ASSERT_TRUE(SameAsReference(f, in)) << width << " wide, " << bits << " bits";
            }
    // Every chroma pair at every 15th luma, or at every luma for the
    // exhaustive rows (not under a sanitizer); 3- and 4-byte pixels in turn.
    for (int y = 0; y < 256; y += GetParam().exhaustive && !kSanitized ? 1 : 15)
        ASSERT_TRUE(SameAsReference(f, ChromaPlane(y % 2 ? 32 : 24, y))) << "luma " << y;
    for (int alpha : {0, 1, 77}) // premultiplied, luma above alpha included
        ASSERT_TRUE(SameAsReference(f, ChromaPlane(32, 60, colorcorrect::YUVBM_PREMULTIPLIED, alpha)));
}

INSTANTIATE_TEST_SUITE_P(EveryLoop, FastPath, ::testing::ValuesIn(kPaths));

// ---- random records and pictures ------------------------------------------------------

TEST(FastPathRandom, ThousandsOfRecordsGiveTheReferenceBytes)
{
    std::mt19937 rng(2024);
    FilterAccess kept; // one filter through all set-ups: its caches see every change
    tagCOLORCORRINFO cc = RandomRecord(rng);
    std::uniform_int_distribution<int> width(1, 37), height(1, 5), coin(0, 1);
    for (int n = 0; n < (kSanitized ? 400 : 2000); ++n) {
        if (rng() % 5 == 0)
            cc = RandomRecord(rng);
        else
            MutateRecord(cc, rng, 0.25);
        if (rng() % 10 == 0) // isolate types, known and unknown, for any vector
            kept.SetIsolate(static_cast<uint32_t>(rng() % 16), static_cast<uint32_t>(rng() % 9));
        ASSERT_TRUE(rng() % 8 ? kept.SetupFilter(cc) : kept.SetupFilter(cc.Base)) << n;
        ASSERT_STRNE(kept.ProcessPathName(), "reference") << "record " << n;
        for (int k = 0; k < 3; ++k) {
            const int bits = coin(rng) ? 24 : 32;
            YuvPicture in = MakeYuvPicture(width(rng), height(rng), bits,
                                           coin(rng) ? colorcorrect::YUVBM_PREMULTIPLIED : 0);
            FillRandom(in, rng);
            ASSERT_TRUE(SameAsReference(kept, in)) << "record " << n << ", " << bits << " bits";
        }
        if (n % 100 == 0) {
            ASSERT_TRUE(SameAsReference(kept, ChromaPlane(n % 200 ? 24 : 32, n % 256))) << n;
        }
    }
}

// ---- how the loop is chosen -------------------------------------------------------------

TEST(FastPathChoice, RefusedAndFailedSetUpsAndMemory)
{
    FilterAccess f;
    EXPECT_STREQ(f.ProcessPathName(), "reference"); // nothing set up yet
    EXPECT_EQ(f.MemoryBytes(), sizeof f);
    colorcorrect::SetPageAllocationBudget(0); // failed half-way: the reference loop
    EXPECT_FALSE(f.SetupFilter(PrimaryWithCurves(CC_SIX_VECTOR)));
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_STREQ(f.ProcessPathName(), "reference");
    ASSERT_TRUE(f.SetupFilter(EveryStage(0xF)));
    EXPECT_LT(f.MemoryBytes(), 2u << 20);
    EXPECT_GT(f.MemoryBytes(), sizeof f + 2 * colorcorrect::kSegmentIndexBytes);
}
