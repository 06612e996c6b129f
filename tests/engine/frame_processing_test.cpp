#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/engine/pixel_stages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "filter_access.h"
#include "support/timing_line.h"
#include "support/yuv_picture.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FillRandom;
using colorcorrect::test::FilterAccess;
using colorcorrect::test::MakeYuvPicture;
using colorcorrect::test::MatchVector;
using colorcorrect::test::SameBytes;
using colorcorrect::test::YuvPicture;

namespace {

// Processes `in` into a fresh picture whose bytes start as `fill`.
YuvPicture ProcessInto(CBaseColorCorrectionFilter& f, YuvPicture& in, BYTE fill = 0, BOOL* result = nullptr)
{
    YuvPicture out = in;
    std::fill(out.pixels.begin(), out.pixels.end(), fill);
    const BOOL ok = f.Process(&in.header, in.pixels.data(), out.pixels.data());
    if (result)
        *result = ok;
    else
        EXPECT_TRUE(ok);
    return out;
}

// One pixel through the filter: (Y, U+128, V+128) in, bytes out.
struct Bytes {
    int y, u, v;
};

Bytes One(CBaseColorCorrectionFilter& f, int y, int u, int v)
{
    YuvPicture p = MakeYuvPicture(1, 1, 24);
    p.pixels[0] = static_cast<BYTE>(y);
    p.pixels[1] = static_cast<BYTE>(u);
    p.pixels[2] = static_cast<BYTE>(v);
    EXPECT_TRUE(f.Process(&p.header, p.pixels.data(), p.pixels.data()));
    return {p.pixels[0], p.pixels[1], p.pixels[2]};
}

class IdentityFilter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(filter.SetupFilter(DefaultRecord(CC_PRIMARY))); }
    FilterAccess filter;
};

} // namespace

// ---- headers and buffers -----------------------------------------------------

TEST(ProcessHeader, WrongFormatTagWritesNothing)
{
    CBaseColorCorrectionFilter f;
    YuvPicture in = MakeYuvPicture(4, 2, 32, 0, 90);
    in.header.biCompression = 0;
    BOOL ok = 1;
    const YuvPicture out = ProcessInto(f, in, 0x5A, &ok);
    EXPECT_FALSE(ok);
    for (BYTE b : out.pixels)
        ASSERT_EQ(b, 0x5A);
}

TEST(ProcessHeader, NullPointersAreRefused)
{
    CBaseColorCorrectionFilter f;
    YuvPicture in = MakeYuvPicture(2, 2, 24);
    std::vector<BYTE> out(in.pixels.size(), 7);
    EXPECT_FALSE(f.Process(nullptr, in.pixels.data(), out.data()));
    EXPECT_FALSE(f.Process(&in.header, nullptr, out.data()));
    EXPECT_FALSE(f.Process(&in.header, in.pixels.data(), nullptr));
    for (BYTE b : out)
        ASSERT_EQ(b, 7);
}

TEST(ProcessHeader, NegativeWidthIsMalformed)
{
    CBaseColorCorrectionFilter f;
    YuvPicture in = MakeYuvPicture(3, 2, 32, 0, 40);
    std::vector<BYTE> out(in.pixels.size(), 7);
    in.header.biWidth = -3;
    EXPECT_FALSE(f.Process(&in.header, in.pixels.data(), out.data()));
    for (BYTE b : out)
        ASSERT_EQ(b, 7);
}

TEST(ProcessHeader, EmptyPicturesSucceed)
{
    CBaseColorCorrectionFilter f;
    BYTE dummy[4] = {1, 2, 3, 4};
    tagYUVBMINFOHEADER h{};
    h.biCompression = colorcorrect::YUV_COMPRESSION;
    h.biBitCount = 32;
    h.biWidth = 0;
    h.biHeight = 5;
    EXPECT_TRUE(f.Process(&h, dummy, dummy));
    h.biWidth = 5;
    h.biHeight = 0;
    EXPECT_TRUE(f.Process(&h, dummy, dummy));
    EXPECT_EQ(dummy[0], 1);
}

TEST(ProcessHeader, ZeroWidthWithAnyHeightIsDoneAtOnce)
{
    // No row of a zero-width picture has a pixel: the buffers may be empty,
    // and a height at the int limits must not be walked row by row (that
    // took 11 s for INT_MAX rows).
    CBaseColorCorrectionFilter f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    BYTE dummy[4] = {1, 2, 3, 4};
    tagYUVBMINFOHEADER h{};
    h.biCompression = colorcorrect::YUV_COMPRESSION;
    h.biWidth = 0;
    for (const int bits : {24, 32})
        for (const int32_t height : {INT32_MAX, INT32_MIN, -1}) {
            h.biBitCount = static_cast<uint16_t>(bits);
            h.biHeight = height;
            EXPECT_TRUE(f.Process(&h, dummy, dummy)) << bits << " bits, height " << height;
        }
    EXPECT_EQ(dummy[0], 1);
    EXPECT_EQ(dummy[3], 4);
}

TEST(ProcessHeader, NegativeHeightCountsTheSameRows)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sYGamma = 70;
    ASSERT_TRUE(f.SetupFilter(cc));
    std::mt19937 rng(5);
    YuvPicture up = MakeYuvPicture(7, 5, 24);
    FillRandom(up, rng);
    YuvPicture down = up;
    down.header.biHeight = -5;
    EXPECT_TRUE(SameBytes(ProcessInto(f, up), ProcessInto(f, down)));
}

TEST(ProcessHeader, RowPaddingOf24BitPicturesIsNeverWritten)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY | CC_CLIPPING)));
    YuvPicture in = MakeYuvPicture(3, 4, 24);
    ASSERT_EQ(in.stride, 12u);
    std::mt19937 rng(9);
    FillRandom(in, rng);
    const YuvPicture out = ProcessInto(f, in, 0xA5);
    for (int row = 0; row < 4; ++row)
        for (size_t i = 9; i < 12; ++i)
            EXPECT_EQ(out.pixels[row * 12 + i], 0xA5) << "row " << row << " byte " << i;
    // In place the padding keeps the input's bytes.
    YuvPicture same = in;
    ASSERT_TRUE(f.Process(&same.header, same.pixels.data(), same.pixels.data()));
    for (int row = 0; row < 4; ++row)
        for (size_t i = 9; i < 12; ++i)
            EXPECT_EQ(same.pixels[row * 12 + i], in.pixels[row * 12 + i]);
}

TEST(ProcessHeader, AlphaByteIsCopiedFromTheInput)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    YuvPicture in = MakeYuvPicture(6, 2, 32);
    std::mt19937 rng(3);
    FillRandom(in, rng);
    const YuvPicture out = ProcessInto(f, in, 0x11);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(out.Pixel(x, row)[3], in.Pixel(x, row)[3]);
}

// ---- identity ----------------------------------------------------------------

TEST_F(IdentityFilter, MidGreyIsUnchanged)
{
    const Bytes b = One(filter, 128, 128, 128);
    EXPECT_EQ(b.y, 128);
    EXPECT_EQ(b.u, 128);
    EXPECT_EQ(b.v, 128);
}

TEST_F(IdentityFilter, EveryPixelComesOutWithinOne)
{
    // Every (Y, U, V) with chroma in -127..127 comes out within 1 of its
    // input. Inside the RGB gamut almost all are unchanged: the floors of the
    // round trip lose a unit for 715 of the 3,961,284 in-gamut pixels (for
    // example Y 24, U 95, V -17 gives R = floor(511/512) = 0 and comes back
    // with U 96).
    YuvPicture p = MakeYuvPicture(256, 256, 24);
    long inGamut = 0, changedInGamut = 0;
    for (int y = 0; y < 256; ++y) {
        for (int v = 0; v < 256; ++v)
            for (int u = 0; u < 256; ++u) {
                BYTE* px = p.Pixel(u, v);
                px[0] = static_cast<BYTE>(y);
                px[1] = static_cast<BYTE>(u);
                px[2] = static_cast<BYTE>(v);
            }
        ASSERT_TRUE(filter.Process(&p.header, p.pixels.data(), p.pixels.data()));
        for (int v = 1; v < 256; ++v)
            for (int u = 1; u < 256; ++u) {
                const BYTE* px = p.Pixel(u, v);
                const int d = std::max({std::abs(px[0] - y), std::abs(px[1] - u),
                                        std::abs(px[2] - v)});
                ASSERT_LE(d, 1) << y << ", " << u << ", " << v;
                int r, g, b;
                FilterAccess::YUVToRGB(y, u - 128, v - 128, r, g, b);
                if (r >= 0 && r <= 255 && g >= 0 && g <= 255 && b >= 0 && b <= 255) {
                    ++inGamut;
                    changedInGamut += d != 0;
                }
            }
    }
    EXPECT_EQ(inGamut, 3961284);
    EXPECT_EQ(changedInGamut, 715);
    const Bytes example = One(filter, 24, 95 + 128, -17 + 128);
    EXPECT_EQ(example.y, 24);
    EXPECT_EQ(example.u, 96 + 128);
    EXPECT_EQ(example.v, -17 + 128);
}

TEST_F(IdentityFilter, ChromaByteZeroComesOutAsOne)
{
    const Bytes b = One(filter, 128, 0, 128);
    EXPECT_EQ(b.u, 1);
    EXPECT_EQ(b.v, 128);
    const Bytes c = One(filter, 128, 128, 0);
    EXPECT_EQ(c.v, 1);
}

// ---- premultiplied alpha -----------------------------------------------------

TEST(PremultipliedAlpha, ReadDividesByAlpha)
{
    const BYTE px[4] = {64, 160, 128, 128};
    int y, u, v;
    EXPECT_EQ(FilterAccess::ReadPremultipliedPixel(px, y, u, v), 128);
    EXPECT_EQ(y, 128);
    EXPECT_EQ(u, 64);
    EXPECT_EQ(v, 0);

    const BYTE clamped[4] = {200, 0, 255, 100}; // 512, -327, 325 before clamping
    FilterAccess::ReadPremultipliedPixel(clamped, y, u, v);
    EXPECT_EQ(y, 255);
    EXPECT_EQ(u, -127);
    EXPECT_EQ(v, 127);

    const BYTE truncates[4] = {10, 125, 131, 7}; // -3*256/7 = -109.7 -> -109
    FilterAccess::ReadPremultipliedPixel(truncates, y, u, v);
    EXPECT_EQ(y, 255);
    EXPECT_EQ(u, -109);
    EXPECT_EQ(v, 109);
}

TEST(PremultipliedAlpha, IdentityRoundTrip)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    YuvPicture p = MakeYuvPicture(2, 1, 32, colorcorrect::YUVBM_PREMULTIPLIED);
    const BYTE pixels[8] = {64, 160, 128, 128, 90, 17, 240, 0};
    std::copy(pixels, pixels + 8, p.pixels.begin());
    const YuvPicture out = ProcessInto(f, p, 0x33);
    EXPECT_EQ(out.pixels[0], 64);
    EXPECT_EQ(out.pixels[1], 160);
    EXPECT_EQ(out.pixels[2], 128);
    EXPECT_EQ(out.pixels[3], 128);
    // Alpha 0: black without colour, alpha kept.
    EXPECT_EQ(out.pixels[4], 0);
    EXPECT_EQ(out.pixels[5], 128);
    EXPECT_EQ(out.pixels[6], 128);
    EXPECT_EQ(out.pixels[7], 0);
}

TEST(PremultipliedAlpha, ThreeBytePixelsAreReadAsPlain)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sYGamma = 50;
    ASSERT_TRUE(f.SetupFilter(cc));
    YuvPicture plain = MakeYuvPicture(3, 2, 24);
    std::mt19937 rng(17);
    FillRandom(plain, rng);
    YuvPicture flagged = plain;
    flagged.header.dwFlags = colorcorrect::YUVBM_PREMULTIPLIED;
    EXPECT_TRUE(SameBytes(ProcessInto(f, plain), ProcessInto(f, flagged)));
}

TEST(PremultipliedAlpha, OtherFlagBitsAreIgnored)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    YuvPicture plain = MakeYuvPicture(4, 3, 32);
    std::mt19937 rng(23);
    FillRandom(plain, rng);
    YuvPicture flagged = plain;
    flagged.header.dwFlags = ~colorcorrect::YUVBM_PREMULTIPLIED;
    EXPECT_TRUE(SameBytes(ProcessInto(f, plain), ProcessInto(f, flagged)));
}

// ---- stages ------------------------------------------------------------------

TEST(PrimaryStage, RedBlackOffsetOnGrey)
{
    // R = G = B = 100. The red curve (slope 235/255, black 20) maps 100 to
    // trunc(100 * 235/255 + 20.5) = 112 (even input, kept even). Back to YUV:
    // Y = floor(53292 / 512) = 104, U = floor(-776 / 512) = -2,
    // V = floor(3328 / 512) = 6.
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sRBlack = 20;
    ASSERT_TRUE(f.SetupFilter(cc));
    const Bytes b = One(f, 100, 128, 128);
    EXPECT_EQ(b.y, 104);
    EXPECT_EQ(b.u, 126);
    EXPECT_EQ(b.v, 134);
}

TEST(PrimaryStage, OffWhenTheRecordDoesNotAskForIt)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_CLIPPING);
    cc.Base.sRBlack = 200;
    cc.Base.sSat = -255;
    ASSERT_TRUE(f.SetupFilter(cc));
    const Bytes b = One(f, 100, 60, 200);
    EXPECT_EQ(b.y, 100);
    EXPECT_EQ(b.u, 60);
    EXPECT_EQ(b.v, 200);
}

TEST(PrimaryStage, SplitIntoRgbAndBack)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY);
    cc.Base.sHue = 40;
    cc.Base.sGGamma = -30;
    ASSERT_TRUE(f.SetupFilter(cc));
    int r, g, b;
    f.PrimaryToRGB(90, -40, 70, r, g, b);
    int y1, u1, v1;
    FilterAccess::RGBToYUV(r, g, b, y1, u1, v1);
    int y2 = 90, u2 = -40, v2 = 70;
    f.PrimaryStage(y2, u2, v2);
    EXPECT_EQ(y1, y2);
    EXPECT_EQ(u1, u2);
    EXPECT_EQ(v1, v2);
}

TEST(PrimaryStage, FixedPointConversionFloors)
{
    int r, g, b;
    FilterAccess::YUVToRGB(100, 0, 50, r, g, b);
    EXPECT_EQ(r, 170); // 87406 / 512 = 170.7
    EXPECT_EQ(g, 64);  // 33206 / 512 = 64.9
    EXPECT_EQ(b, 100); // 51406 / 512 = 100.4
    FilterAccess::YUVToRGB(0, -100, 0, r, g, b);
    EXPECT_EQ(r, 0);    // 56 / 512
    EXPECT_EQ(g, 34);   // 17856 / 512 = 34.9
    EXPECT_EQ(b, -177); // -90544 / 512 = -176.8, floored
    int y, u, v;
    FilterAccess::RGBToYUV(-10, 0, 0, y, u, v);
    EXPECT_EQ(y, -3); // -1274 / 512 = -2.5
    EXPECT_EQ(u, 2);  // 1116 / 512 = 2.2
    EXPECT_EQ(v, -5); // -2304 / 512 = -4.5
}

TEST(RangeClamp, LimitsLumaAndChroma)
{
    int y = 300, u = -128, v = 200;
    FilterAccess::ClampRange(y, u, v);
    EXPECT_EQ(y, 255);
    EXPECT_EQ(u, -127);
    EXPECT_EQ(v, 127);
    y = -4;
    u = 5;
    v = -500;
    FilterAccess::ClampRange(y, u, v);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(u, 5);
    EXPECT_EQ(v, -127);
}

TEST(SixVectorStage, NeutralVectorsChangeNothing)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_SIX_VECTOR)));
    for (int v = -127; v < 128; v += 3)
        for (int u = -127; u < 128; u += 5) {
            int y1 = 77, u1 = u, v1 = v;
            f.SixVectorStage(y1, u1, v1);
            ASSERT_EQ(y1, 77);
            ASSERT_EQ(u1, u);
            ASSERT_EQ(v1, v);
        }
}

TEST(SixVectorStage, DesaturatedSegmentBlendsWithItsNeighbour)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(CC_SIX_VECTOR);
    cc.Vector6.sSat[4] = -255; // cyan loses its colour
    cc.Vector6.sBlack[4] = 40; // and is lifted
    ASSERT_TRUE(f.SetupFilter(cc));
    // Middle of the cyan segment: weight 0, cyan's tables alone.
    const double mid = (colorcorrect::kSixSegmentBoundaries[4] + colorcorrect::kSixSegmentBoundaries[5]) / 2;
    const int u0 = static_cast<int>(std::lround(100 * std::cos(mid)));
    const int v0 = static_cast<int>(std::lround(100 * std::sin(mid)));
    ASSERT_EQ(f.SixEntry(u0, v0) >> 8, 0);
    const Bytes mid1 = One(f, 100, u0 + 128, v0 + 128);
    EXPECT_EQ(mid1.y, f.m_SixYLUT[4][100]);
    EXPECT_EQ(mid1.u, 128);
    EXPECT_EQ(mid1.v, 128);

    // The neutral pair: cyan with weight 192, green (neutral) with 64.
    int y = 100, u = 0, v = 0;
    f.SixVectorStage(y, u, v);
    EXPECT_EQ(y, (f.m_SixYLUT[4][100] * 192 + 100 * 64) >> 8);
    EXPECT_EQ(u, 0);

    // A pair near the cyan/green boundary keeps about half its colour.
    const double b4 = colorcorrect::kSixSegmentBoundaries[4];
    const int u1 = static_cast<int>(std::lround(100 * std::cos(b4 + 0.004)));
    const int v1 = static_cast<int>(std::lround(100 * std::sin(b4 + 0.004)));
    const unsigned e = f.SixEntry(u1, v1);
    const int w = static_cast<int>(e >> 8);
    ASSERT_EQ(e & 0xF, 4u);
    ASSERT_EQ((e >> 4) & 0xF, 3u);
    y = 100;
    u = u1;
    v = v1;
    f.SixVectorStage(y, u, v);
    EXPECT_EQ(u, (u1 * w) >> 8);
    EXPECT_EQ(v, (v1 * w) >> 8);
}

namespace {

// Vector 1 selects a hard-edged region round (40, -40) for luma 200..210 and
// pushes its U up by 50; the background pulls V down by 20.
tagCOLORCORRINFO MatchRecord()
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[0].sVOffset = -20;
    cc.Match.Vector[1] = MatchVector(40, -40, 30, 20, 0, 0);
    cc.Match.Vector[1].byY = 205;
    cc.Match.Vector[1].byYRange = 5;
    cc.Match.Vector[1].byYSoft = 0;
    cc.Match.Vector[1].sUOffset = 50;
    return cc;
}

} // namespace

TEST(MatchVectorStage, VectorBackgroundAndLumaWindow)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(MatchRecord()));
    ASSERT_EQ(f.MatchEntry(40, -40), 1 | 0xD0);
    ASSERT_EQ(f.MatchEntry(-40, 40), 0);

    int y = 205, u = 40, v = -40;
    EXPECT_EQ(f.MatchVectorStage(y, u, v), 1);
    EXPECT_EQ(y, 205);
    EXPECT_EQ(u, 90);
    EXPECT_EQ(v, -40);

    y = 100; // outside the vector's luma window: left as it is
    u = 40;
    v = -40;
    EXPECT_EQ(f.MatchVectorStage(y, u, v), -1);
    EXPECT_EQ(y, 100);
    EXPECT_EQ(u, 40);
    EXPECT_EQ(v, -40);

    y = 0; // background: vector 0's curve lifts luma 0 to 1
    u = -40;
    v = 40;
    EXPECT_EQ(f.MatchVectorStage(y, u, v), 0);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(u, -40);
    EXPECT_EQ(v, 20);

    // Through Process: only the output tables apply to the untouched pixel.
    const Bytes kept = One(f, 100, 168, 88);
    EXPECT_EQ(kept.y, 100);
    EXPECT_EQ(kept.u, 168);
    EXPECT_EQ(kept.v, 88);
    const Bytes moved = One(f, 205, 168, 88);
    EXPECT_EQ(moved.u, 218);
}

TEST(MatchVectorStage, SoftEdgeBlendsTowardTheBackground)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = MatchRecord();
    cc.Match.Vector[1].byHueSoft = 200;
    cc.Match.Vector[1].bySatSoft = 200;
    cc.Match.Vector[1].byYRange = 128;
    cc.Match.Vector[1].byY = 128;
    ASSERT_TRUE(f.SetupFilter(cc));
    // Find a pair in the soft edge and check the blend of step by step.
    for (int v = -128; v < 128; ++v)
        for (int u = -128; u < 128; ++u) {
            const unsigned e = f.MatchEntry(u, v);
            if ((e & 0xF) != 1 || (e >> 8) == 0)
                continue;
            const int w = static_cast<int>(e >> 8);
            int y1 = 128, u1 = u, v1 = v;
            ASSERT_EQ(f.MatchVectorStage(y1, u1, v1), 1);
            // Both hue tables are the identity: chroma keeps its value, then
            // the vector's offset applies with the vector's share.
            EXPECT_EQ(u1, std::clamp(((u + 50) * (256 - w) + u * w) >> 8, -127, 127));
            EXPECT_EQ(v1, v);
            EXPECT_EQ(y1, 128);
        }
}

// ---- in place, concurrency of calls, debug line --------------------------------

TEST(ProcessProperties, InPlaceEqualsOutOfPlace)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = MatchRecord();
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;
    cc.Base.sSat = 60;
    cc.Base.sHue = -20;
    cc.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    cc.Base.bySoftY = 100;
    cc.Vector6.sHue[2] = 50;
    std::mt19937 rng(99);
    for (int bits : {24, 32})
        for (uint32_t flags : {0u, colorcorrect::YUVBM_PREMULTIPLIED}) {
            ASSERT_TRUE(f.SetupFilter(cc));
            YuvPicture in = MakeYuvPicture(13, 7, bits, flags);
            FillRandom(in, rng);
            const YuvPicture apart = ProcessInto(f, in);
            YuvPicture same = in;
            ASSERT_TRUE(f.Process(&same.header, same.pixels.data(), same.pixels.data()));
            // Padding differs by construction (untouched input vs. zero fill).
            for (int row = 0; row < 7; ++row)
                for (int x = 0; x < 13; ++x)
                    for (size_t c = 0; c < same.pixelSize; ++c)
                        ASSERT_EQ(same.Pixel(x, row)[c], apart.Pixel(x, row)[c])
                            << "bits " << bits << " flags " << flags << " pixel " << x << ", "
                            << row << " byte " << c;
        }
}

TEST(ProcessDebugLine, ReportsTheFullProcessingTime)
{
    FilterAccess f;
    ASSERT_TRUE(f.SetupFilter(DefaultRecord(CC_PRIMARY)));
    YuvPicture in = MakeYuvPicture(8, 8, 32);
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    ProcessInto(f, in);
    in.header.biCompression = 0; // refused: no line
    BOOL ok = 1;
    ProcessInto(f, in, 0, &ok);
    const std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_FALSE(ok);
    EXPECT_TRUE(colorcorrect::test::IsTimingLine(text, "\rFull processing time ", "ms\r\n"));
}

// ---- random records and pictures -----------------------------------------------

namespace {

int16_t RandomControl(std::mt19937& rng)
{
    switch (rng() % 4) {
    case 0:
        return static_cast<int16_t>(rng()); // anything
    case 1:
        return static_cast<int16_t>(static_cast<int>(rng() % 2001) - 1000);
    default:
        return static_cast<int16_t>(static_cast<int>(rng() % 511) - 255);
    }
}

tagCOLORCORRINFO RandomRecord(std::mt19937& rng)
{
    tagCOLORCORRINFO cc = DefaultRecord(rng() % 4 == 0 ? static_cast<DWORD>(rng()) : rng() % 16);
    cc.Base.wRangeFlags = static_cast<uint16_t>(rng() % 3 == 0 ? rng() : rng() % 8);
    cc.Base.bySoftY = static_cast<uint8_t>(rng());
    cc.Base.bySoftC = static_cast<uint8_t>(rng());
    int16_t* controls = &cc.Base.sYWhite;
    for (int i = 0; i < 14; ++i)
        controls[i] = RandomControl(rng);
    int16_t* six = cc.Vector6.sWhite;
    for (int i = 0; i < 30; ++i)
        six[i] = RandomControl(rng);
    cc.Match.dwCount = rng() % 17;
    for (tagMATCHVECTOR& mv : cc.Match.Vector) {
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&mv);
        for (size_t i = 4; i < 14; ++i)
            bytes[i] = static_cast<unsigned char>(rng());
        int16_t* fields = &mv.sWhite;
        for (int i = 0; i < 7; ++i)
            fields[i] = RandomControl(rng);
    }
    return cc;
}

} // namespace

TEST(ProcessRandom, RandomRecordsStayInsideTheBuffers)
{
    std::mt19937 rng(20261206);
    FilterAccess f;
    for (int round = 0; round < 240; ++round) {
        const tagCOLORCORRINFO cc = RandomRecord(rng);
        f.SetIsolate(rng() % 18, rng() % 10);
        if (rng() % 8 == 0)
            ASSERT_TRUE(f.SetupFilter(cc.Base));
        else
            ASSERT_TRUE(f.SetupFilter(cc)) << "round " << round;

        for (int pic = 0; pic < 3; ++pic) {
            const int width = static_cast<int>(rng() % 19);
            const int height = static_cast<int>(rng() % 19) - 9;
            const int bits = rng() % 2 ? 24 : 32;
            const uint32_t flags = rng() % 2 ? colorcorrect::YUVBM_PREMULTIPLIED : rng() % 4;
            YuvPicture in = MakeYuvPicture(width, height, bits, flags);
            if (in.pixels.empty()) {
                // Nothing to process: TRUE, and no byte is touched.
                BYTE sentinel[4] = {1, 2, 3, 4};
                ASSERT_TRUE(f.Process(&in.header, sentinel, sentinel));
                ASSERT_EQ(sentinel[0], 1);
                continue;
            }
            FillRandom(in, rng);
            const YuvPicture out = ProcessInto(f, in);
            YuvPicture same = in;
            ASSERT_TRUE(f.Process(&same.header, same.pixels.data(), same.pixels.data()));
            for (int row = 0; row < in.Rows(); ++row)
                for (int x = 0; x < width; ++x)
                    for (size_t c = 0; c < in.pixelSize; ++c)
                        ASSERT_EQ(same.Pixel(x, row)[c], out.Pixel(x, row)[c])
                            << "round " << round << " pixel " << x << ", " << row;
        }
    }
}
