// The real-time display: the three geometries with both fields, the overlay
// mix, and the refusal of headers the library cannot trust.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/engine/pixel_stages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "support/display_access.h"
#include "support/random_record.h"
#include "support/yuv_picture.h"

namespace colorcorrect::test {
namespace {

class RtDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_CLIPPING);
        cc.Base.wRangeFlags = RANGE_LEGAL, cc.Base.sSat = 60, cc.Base.sHue = 20, cc.Base.sYGamma = 30, cc.Base.sBWhite = -40;
        ASSERT_TRUE(f->SetupFilter(cc));
    }
    YuvPicture Source(int width, int height, int bits)
    {
        YuvPicture p = MakeYuvPicture(width, height, bits);
        FillRandom(p, rng);
        return p;
    }
    // The engine's frame: the primary correction through the output tables.
    YuvPicture Engine(YuvPicture src)
    {
        src.header.biHeight = src.Rows();
        YuvPicture e = src;
        EXPECT_EQ(f->Process(&src.header, src.pixels.data(), e.pixels.data()), 1);
        return e;
    }

    std::unique_ptr<DisplayAccess> f = std::make_unique<DisplayAccess>();
    std::mt19937 rng{12345};
};

TEST_F(RtDisplay, FasterLoopGivesTheReferenceBytes)
{
    for (int look = 0; look < 24; ++look) {
        tagCOLORCORRINFO cc = RandomRecord(rng);
        if (look % 2 == 0) // the faster loop's condition: the primary stage without vector stages
            cc.dwFlags = (cc.dwFlags | CC_PRIMARY) & ~static_cast<DWORD>(CC_SIX_VECTOR | CC_MATCH_VECTOR);
        ASSERT_TRUE(f->SetupFilter(cc));
        for (unsigned long flags : {0ul, 1ul, 3ul})
            for (int bits : {24, 32}) {
                YuvPicture src = Source(1 + 2 * static_cast<int>(rng() % 300), 2 + static_cast<int>(rng() % 6), bits);
                YuvPicture over = Source(src.Width(), src.Rows(), bits);
                for (size_t i = 3; bits == 32 && i < src.pixels.size(); i += 4)
                    src.pixels[i] = i % 28 == 3 ? src.pixels[i] : 255; // runs of opaque pixels, a random one in seven
                for (BYTE* overlay : {static_cast<BYTE*>(nullptr), over.pixels.data()}) {
                    std::vector<BYTE> expected(src.pixels.size(), 0x55), actual = expected, inPlace = src.pixels;
                    f->m_bDisplayReference = true;
                    ASSERT_EQ(f->ProcessRTDisplay(&src.header, expected.data(), src.pixels.data(), overlay, flags), 1);
                    f->m_bDisplayReference = false;
                    ASSERT_EQ(f->ProcessRTDisplay(&src.header, actual.data(), src.pixels.data(), overlay, flags) +
                                  f->ProcessRTDisplay(&src.header, inPlace.data(), inPlace.data(), overlay, flags), 2);
                    EXPECT_TRUE(expected == actual) << look << " flags " << flags << " bits " << bits << (overlay ? " overlay" : "");
                    f->m_bDisplayReference = true;
                    std::vector<BYTE> inPlaceExpected = src.pixels;
                    f->ProcessRTDisplay(&src.header, inPlaceExpected.data(), inPlaceExpected.data(), overlay, flags);
                    EXPECT_TRUE(inPlace == inPlaceExpected) << look << " in place, flags " << flags << " bits " << bits;
                }
            }
    }
}

TEST_F(RtDisplay, EveryGeometryWritesTheEnginesColourBytesOnly)
{
    // flags bit 0: full size, bit 1 with it: the whole frame, else one field
    // on every other line. The field is bit value 2 of SetDisplayField; the
    // header's field order says which field comes first in memory.
    const struct { int bits; unsigned long flags; unsigned field; uint32_t order; int height; } cases[] = {
        {24, 3, 0, 0, 7}, {32, 3, 0, 0, 7},           {24, 3, 0, 0, -3}, {24, 1, 2, 0, 7}, {24, 1, 0xFFFFFFFFu, 1, 7},
        {32, 1, 1, 0, 7}, {32, 1, 0xFFFFFFFDu, 1, 6}, {24, 0, 0, 0, 7},  {32, 0, 2, 0, 7}, {32, 2, 2, 1, 7},
        {24, 0, 3, 0x80000000u, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, flags " << c.flags << ", field " << c.field
                                        << ", order " << c.order << ", height " << c.height);
        YuvPicture src = Source(9, c.height, c.bits);
        src.header.dwFieldOrder = c.order;
        YuvPicture overlay = Source(9, c.height, c.bits); // no room for a weight: ignored
        const YuvPicture e = Engine(src);
        const bool full = (c.flags & 1) != 0, whole = full && (c.flags & 2) != 0;
        const int first = !whole && (c.order == 0) != (((c.field >> 1) & 1) == 1) ? 1 : 0;
        const int pixels = full ? 9 : 4, lines = whole ? src.Rows() : src.Rows() / 2;
        const size_t step = src.pixelSize;
        const size_t dstLine = whole ? src.stride : full ? 2 * src.stride : c.bits == 24 ? 12 : 18;
        std::vector<BYTE> expected(full ? src.pixels.size() : dstLine * lines, 0xEE);
        for (int j = 0; j < lines; ++j)
            for (int i = 0; i < pixels; ++i) {
                const BYTE* from = e.Pixel(full ? i : 2 * i, whole ? j : 2 * j + first);
                std::copy(from, from + 3, expected.begin() + static_cast<long>(j * dstLine + i * step));
            }
        std::vector<BYTE> dst(expected.size(), 0xEE);
        ASSERT_EQ(f->SetDisplayField(c.field), 1);
        ASSERT_EQ(f->ProcessRTDisplay(&src.header, dst.data(), src.pixels.data(),
                                      c.bits == 24 && full ? overlay.pixels.data() : nullptr, c.flags),
                  1);
        EXPECT_EQ(dst, expected);
    }
}

TEST_F(RtDisplay, DestinationMayBeTheSource)
{
    for (unsigned long flags : {0ul, 1ul, 3ul}) {
        YuvPicture src = Source(10, 6, 32), overlay = Source(10, 6, 32);
        std::vector<BYTE> apart = src.pixels;
        ASSERT_EQ(f->ProcessRTDisplay(&src.header, apart.data(), src.pixels.data(), overlay.pixels.data(), flags) +
                      f->ProcessRTDisplay(&src.header, src.pixels.data(), src.pixels.data(), overlay.pixels.data(), flags), 2);
        EXPECT_EQ(src.pixels, apart) << "flags " << flags;
    }
}

TEST_F(RtDisplay, OverlayMixesByItsWeightAfterTheSourcesAlpha)
{
    ASSERT_TRUE(f->SetupFilter(Record(CC_PRIMARY))); // full-range tables: the identity
    const struct { BYTE src[4], overlay[4]; std::vector<int> yuv; } cases[] = {
        {{100, 168, 98, 255}, {0, 0, 0, 0}, {100, 168, 98, 0xEE}},      // weight 0: the source
        {{100, 168, 98, 0}, {0, 0, 0, 0}, {0, 128, 128, 0xEE}},         // transparent source: black
        {{200, 168, 88, 128}, {9, 9, 9, 0}, {100, 148, 108, 0xEE}},     // alpha scales Y, U and V
        {{100, 128, 128, 255}, {200, 100, 160, 255}, {199, 100, 159, 0xEE}},
        {{100, 148, 108, 255}, {50, 138, 118, 128}, {75, 143, 113, 0xEE}},
        {{100, 1, 128, 255}, {100, 0, 128, 255}, {100, 1, 128, 0xEE}},  // U -128 clamped to -127
    };
    const int n = static_cast<int>(std::size(cases));
    YuvPicture src = MakeYuvPicture(n, 1, 32), overlay = MakeYuvPicture(n, 1, 32);
    for (int i = 0; i < n; ++i) {
        std::copy(cases[i].src, cases[i].src + 4, src.Pixel(i, 0));
        std::copy(cases[i].overlay, cases[i].overlay + 4, overlay.Pixel(i, 0));
    }
    YuvPicture dst = MakeYuvPicture(n, 1, 32, 0, 0xEE);
    ASSERT_EQ(f->ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), overlay.pixels.data(), 3), 1);
    for (int i = 0; i < n; ++i)
        EXPECT_EQ(std::vector<int>(dst.Pixel(i, 0), dst.Pixel(i, 0) + 4), cases[i].yuv) << "case " << i;
}

TEST_F(RtDisplay, RefusesHeadersItCannotTrust)
{
    YuvPicture src = Source(4, 4, 32);
    std::vector<BYTE> dst(64, 0xEE);
    const std::vector<BYTE> untouched = dst;
    EXPECT_EQ(f->ProcessRTDisplay(nullptr, dst.data(), src.pixels.data(), nullptr, 3) +
                  f->ProcessRTDisplay(&src.header, nullptr, src.pixels.data(), nullptr, 3) +
                  f->ProcessRTDisplay(&src.header, dst.data(), nullptr, nullptr, 3), 0);
    // Frames larger than any picture are refused (the line offsets would pass
    // 32 bits); frames without a line or a pixel to process are done at once.
    const uint32_t Y = YUV_COMPRESSION;
    const struct { int32_t width, height; uint32_t compression; unsigned long flags; int result; } cases[] = {
        {4, 4, 0, 3, 0}, {-4, 4, Y, 3, 0}, {0x7FFFFFFF, 0x7FFFFFFF, Y, 0, 0}, {0x7FFFFFFF, -0x7FFFFFFF, Y, 3, 0},
        {1 << 20, 1 << 10, Y, 1, 0}, {1, 0x7FFFFFFF, Y, 3, 0}, {0, 0x7FFFFFFF, Y, 3, 1}, {1, 4, Y, 0, 1},
        {4, 1, Y, 0, 1}, {4, 1, Y, 1, 1}};
    for (const auto& c : cases) {
        tagYUVBMINFOHEADER h = src.header;
        h.biWidth = c.width, h.biHeight = c.height, h.biCompression = c.compression;
        EXPECT_EQ(f->ProcessRTDisplay(&h, dst.data(), src.pixels.data(), nullptr, c.flags), c.result)
            << c.width << " x " << c.height << " flags " << c.flags;
    }
    EXPECT_EQ(dst, untouched);
}

} // namespace
} // namespace colorcorrect::test
