// The filter's contract apart from pixel values: record checks, what a set-up
// rebuilds, refused allocations, copies, picture headers and row ranges.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "filter_access.h"

using namespace colorcorrect::test;
using Rec = tagCOLORCORRINFO&;

namespace {

// The object's bytes, to see whether a call changed anything at all.
std::vector<unsigned char> Snapshot(const FilterAccess& f)
{
    std::vector<unsigned char> bytes(sizeof f);
    std::memcpy(bytes.data(), static_cast<const void*>(&f), sizeof f);
    return bytes;
}

YuvPicture Corrected(CBaseColorCorrectionFilter& f, const YuvPicture& in)
{
    YuvPicture source = in, out = in;
    EXPECT_TRUE(f.Process(&source.header, source.pixels.data(), out.pixels.data()));
    return out;
}

YuvPicture RandomPicture(int width, int height, int bits, unsigned seed)
{
    std::mt19937 rng(seed);
    YuvPicture p = MakeYuvPicture(width, height, bits);
    FillRandom(p, rng);
    return p;
}

} // namespace

TEST(SetupFilter, MalformedRecordsAreRefusedWithNothingChanged)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(EveryStage(0xF)));
    const std::vector<unsigned char> before = Snapshot(f);
    for (auto edit : {+[](Rec c) { c.dwSize = 563; }, +[](Rec c) { c.Base.dwSize = 35; },
                      +[](Rec c) { c.Vector6.dwSize = 60; }, +[](Rec c) { c.Match.dwCount = 17; }}) {
        tagCOLORCORRINFO cc = PrimaryWithCurves();
        edit(cc);
        EXPECT_FALSE(f.SetupFilter(cc));
        EXPECT_EQ(Snapshot(f), before);
    }
    tagBASECOLORCORRINFO b = PrimaryWithCurves().Base;
    b.dwSize = 564;
    EXPECT_FALSE(f.SetupFilter(b));
    EXPECT_EQ(Snapshot(f), before);
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Match.dwSize = 1; // not checked
    EXPECT_TRUE(f.SetupFilter(cc));

    // The base record alone: always its clipping, never a vector stage.
    cc.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    ASSERT_TRUE(f.SetupFilter(cc.Base));
    EXPECT_EQ(OnePixel(f, {0, 1, 128}), (std::array<int, 3>{16, 44, 128}));
    EXPECT_STREQ(f.ProcessPathName(), "primary-plain");
}

TEST(SetupFilter, MatchIndexIsRebuiltOnlyWhenItsInputsChange)
{
    const struct {
        const char* what;
        void (*change)(FilterAccess&, Rec);
        bool rebuilt;
    } rows[] = {
        {"other controls", [](FilterAccess&, Rec c) { c.Base.sHue = 30, c.Vector6.sSat[2] = 77; }, false},
        {"the same isolate setting", [](FilterAccess& f, Rec) { f.SetIsolate(0, 0); }, false},
        {"an unused vector slot", [](FilterAccess&, Rec c) { c.Match.Vector[9].byFlags = 1; }, true},
        {"the isolate setting", [](FilterAccess& f, Rec) { f.SetIsolate(1, 4); }, true},
        {"video range", [](FilterAccess&, Rec c) { c.Base.wRangeFlags = RANGE_VIDEO_LUMA; }, true},
    };
    for (const auto& r : rows) {
        FilterAccess f;
        tagCOLORCORRINFO cc = EveryStage(0xF);
        ASSERT_TRUE(f.SetupFilter(cc));
        f.m_pMatchIndex[0] = 0x1234; // a rebuild overwrites it
        r.change(f, cc);
        ASSERT_TRUE(f.SetupFilter(cc));
        EXPECT_EQ(f.m_pMatchIndex[0] != 0x1234, r.rebuilt) << r.what;
    }
}

TEST(FilterCopy, CopiesOwnTheirBuffersAndOutliveTheOriginal)
{
    const YuvPicture in = ChromaPlane(24, 120);
    auto original = std::make_unique<FilterAccess>();
    original->SetIsolate(1, 4);
    ASSERT_TRUE(original->SetupFilter(EveryStage(0xF)));
    const YuvPicture expected = Corrected(*original, in);
    FilterAccess copy(*original), assigned, reused;
    ASSERT_TRUE(reused.SetupFilter(EveryStage(0xF)));
    uint16_t* own = reused.m_pMatchIndex;
    assigned = *original;
    reused = *original;
    EXPECT_EQ(reused.m_pMatchIndex, own); // assigning onto a buffer reuses it
    original.reset();
    for (FilterAccess* f : {&copy, &assigned, &reused}) {
        EXPECT_STREQ(f->ProcessPathName(), "primary-curves+six-blend+match");
        EXPECT_TRUE(SameBytes(expected, Corrected(*f, in)));
        EXPECT_EQ(f->m_bIsolate, 1); // what a derived class's isolate display reads
    }
    // A copy that cannot get buffers goes without, then builds them again
    // with the isolate setting it copied.
    colorcorrect::SetPageAllocationBudget(0);
    FilterAccess poor(assigned);
    colorcorrect::SetPageAllocationBudget(-1);
    EXPECT_TRUE(poor.m_pSixIndex == nullptr && poor.m_pMatchIndex == nullptr);
    Corrected(poor, in);
    ASSERT_TRUE(poor.SetupFilter(EveryStage(0xF)));
    EXPECT_TRUE(SameBytes(expected, Corrected(poor, in)));

    // Assigning a plainer filter drops the buffers and the loop.
    FilterAccess plain;
    ASSERT_TRUE(plain.SetupFilter(DefaultRecord(CC_PRIMARY)));
    copy = plain;
    copy = copy;
    EXPECT_TRUE(copy.m_pSixIndex == nullptr && copy.m_pMatchIndex == nullptr);
    EXPECT_STREQ(copy.ProcessPathName(), "primary-plain");
}

TEST(IsDefault, BaseRecordBytesUpToItsSizeAndTheFlagsOfTheFullOne)
{
    const struct {
        uint32_t size;
        size_t changed; // offset of a byte set to 1, 0 for none
        BOOL isDefault;
    } rows[] = {{36, 0, 1}, {36, 7, 0}, {8, 8, 1}, {9, 8, 0}, {4, 4, 1}, {3, 0, 0}, {0, 0, 0},
                {0xFFFFFFFFu, 0, 1}, {0xFFFFFFFFu, 35, 0}};
    for (const auto& r : rows) {
        // An exact-size heap copy: the address sanitizer reports any read past it.
        auto b = std::make_unique<tagBASECOLORCORRINFO>(DefaultRecord().Base);
        b->dwSize = r.size;
        if (r.changed != 0)
            reinterpret_cast<BYTE*>(b.get())[r.changed] = 1;
        EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(*b), r.isDefault)
            << "size " << r.size << ", byte " << r.changed;
    }
    tagCOLORCORRINFO cc = PrimaryWithCurves(0);
    cc.dwFlags = 0;
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(cc), 1);
    EXPECT_EQ(CBaseColorCorrectionFilter::IsDefault(DefaultRecord(CC_CLIPPING)), 0);
}

// ---- pictures ----------------------------------------------------------------------

TEST(ProcessHeader, RefusedHeadersAndBuffersWriteNothing)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(EveryStage(0xF)));
    YuvPicture in = MakeYuvPicture(4, 2, 32, 0, 90);
    const std::vector<BYTE> untouched(in.pixels.size(), 7);
    std::vector<BYTE> out = untouched;
    EXPECT_FALSE(f.Process(nullptr, in.pixels.data(), out.data()));
    EXPECT_FALSE(f.Process(&in.header, nullptr, out.data()));
    EXPECT_FALSE(f.Process(&in.header, in.pixels.data(), nullptr));
    in.header.biWidth = -4;
    EXPECT_FALSE(f.Process(&in.header, in.pixels.data(), out.data()));
    in.header.biWidth = 4;
    in.header.biCompression = 0;
    EXPECT_FALSE(f.Process(&in.header, in.pixels.data(), out.data()));
    EXPECT_FALSE(f.ProcessRows(&in.header, in.pixels.data(), out.data(), 0, 2));
    EXPECT_EQ(out, untouched);
}

TEST(ProcessHeader, PicturesWithoutPixelsSucceedAtOnce)
{
    // No row of a zero-width picture has a pixel: a height at the int limits
    // must not be walked row by row (that took 11 s for INT_MAX rows).
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(EveryStage(0xF)));
    BYTE dummy[4] = {1, 2, 3, 4};
    tagYUVBMINFOHEADER h{};
    h.biCompression = colorcorrect::YUV_COMPRESSION;
    for (const int bits : {24, 32})
        for (const auto& [width, height] : {std::pair{0, INT32_MAX}, std::pair{0, INT32_MIN},
                                            std::pair{0, -1}, std::pair{5, 0}}) {
            h.biBitCount = static_cast<uint16_t>(bits);
            h.biWidth = width, h.biHeight = height;
            EXPECT_TRUE(f.Process(&h, dummy, dummy)) << bits << " bits, " << width << " x " << height;
        }
    EXPECT_EQ(std::vector<BYTE>(dummy, dummy + 4), (std::vector<BYTE>{1, 2, 3, 4}));
}

TEST(ProcessHeader, PaddingAndPremultipliedPixels)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(EveryStage(0xF)));
    // The padding of 24-bit rows is never written; they have no alpha to
    // divide by even with the premultiplied flag.
    YuvPicture in = RandomPicture(3, 4, 24, 9), padded = MakeYuvPicture(3, 4, 24, 0, 0xA5);
    ASSERT_TRUE(f.Process(&in.header, in.pixels.data(), padded.pixels.data()));
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(padded.Pixel(3, row)[i], 0xA5) << "row " << row;
    YuvPicture flagged = in;
    flagged.header.dwFlags = colorcorrect::YUVBM_PREMULTIPLIED;
    EXPECT_TRUE(SameBytes(Corrected(f, in), Corrected(f, flagged)));

    // Premultiplied through the identity: alpha 128 comes back as it was,
    // alpha 0 black without colour; out-of-range colour is clamped first.
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    YuvPicture p = MakeYuvPicture(3, 1, 32, colorcorrect::YUVBM_PREMULTIPLIED);
    p.pixels = {64, 160, 128, 128, 90, 17, 240, 0, 200, 0, 255, 100};
    EXPECT_EQ(Corrected(f, p).pixels,
              (std::vector<BYTE>{64, 160, 128, 128, 0, 128, 128, 0, 99, 78, 177, 100}));
}

TEST(ProcessRows, RowRangesMakeUpTheWholePicture)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(EveryStage(0xF)));
    for (int bits : {24, 32}) {
        YuvPicture in = RandomPicture(27, 19, bits, 44), pieces = in, beyond = in;
        for (const auto& [first, count] : {std::pair<size_t, size_t>{0, 5}, {5, 1}, {6, 0},
                                           {6, 10}, {16, 100}})
            ASSERT_TRUE(f.ProcessRows(&in.header, in.pixels.data(), pieces.pixels.data(), first, count));
        EXPECT_TRUE(SameBytes(Corrected(f, in), pieces));
        EXPECT_TRUE(f.ProcessRows(&in.header, in.pixels.data(), beyond.pixels.data(), 19, 4));
        EXPECT_TRUE(SameBytes(in, beyond)); // rows beyond the picture: nothing written
    }
}
