// The real-time display: geometries of the three flag settings, the field
// choice, the overlay mix and the refusals.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/engine/pixel_stages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "display/scope_access.h"
#include "support/timing_line.h"
#include "support/yuv_picture.h"

namespace colorcorrect::test {
namespace {

int Clamp(int v, int lo, int hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

class RtDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        tagCOLORCORRINFO cc;
        cc.Init(sizeof(tagCOLORCORRINFO));
        cc.dwFlags = CC_PRIMARY | CC_CLIPPING;
        cc.Base.wRangeFlags = RANGE_LEGAL;
        cc.Base.sSat = 60;
        cc.Base.sHue = 20;
        cc.Base.sYGamma = 30;
        cc.Base.sBWhite = -40;
        ASSERT_TRUE(f.SetupFilter(cc));
        ASSERT_EQ(f.m_LumaClip[512], 16);
    }

    // The corrected bytes of the source pixel p, mixed with the overlay pixel
    // o when it is not null.
    std::vector<int> Expected(const BYTE* p, bool alpha, const BYTE* o = nullptr)
    {
        int y = p[0], u = p[1] - 128, v = p[2] - 128;
        f.PrimaryStage(y, u, v);
        int yOut, uOut, vOut;
        if (o == nullptr) {
            yOut = f.m_LumaClip[y + 512];
            uOut = f.m_ChromaClip[u + 512];
            vOut = f.m_ChromaClip[v + 512];
        } else {
            if (alpha) {
                const int a = p[3];
                if (a == 0) {
                    y = u = v = 0;
                } else if (a < 255) {
                    y = (a * y) >> 8;
                    u = (a * u) >> 8;
                    v = (a * v) >> 8;
                }
            }
            const int yo = f.m_LumaClip[y + 512];
            const int uo = f.m_ChromaClip[u + 512];
            const int vo = f.m_ChromaClip[v + 512];
            const int w = o[3];
            yOut = yo + (((o[0] - yo) * w) >> 8);
            uOut = uo + (((o[1] - 128 - uo) * w) >> 8);
            vOut = vo + (((o[2] - 128 - vo) * w) >> 8);
        }
        return {Clamp(yOut, 0, 255), Clamp(uOut, -127, 127) + 128, Clamp(vOut, -127, 127) + 128};
    }

    static std::vector<int> Bytes(const BYTE* p) { return {p[0], p[1], p[2]}; }

    YuvPicture Source(int width, int height, int bits)
    {
        YuvPicture p = MakeYuvPicture(width, height, bits);
        FillRandom(p, rng);
        return p;
    }

    ScopeFilter f;
    std::mt19937 rng{12345};
};

// ---- geometries -------------------------------------------------------------------

TEST_F(RtDisplay, WholeFrameCorrectsEveryPixel)
{
    for (int bits : {24, 32}) {
        YuvPicture src = Source(9, 5, bits);
        YuvPicture dst = MakeYuvPicture(9, 5, bits, 0, 0xEE);
        ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), nullptr, 3),
                  1);
        for (int row = 0; row < 5; ++row)
            for (int x = 0; x < 9; ++x) {
                ASSERT_EQ(Bytes(dst.Pixel(x, row)), Expected(src.Pixel(x, row), bits == 32))
                    << bits << " bits, x " << x << " row " << row;
                if (bits == 32) {
                    ASSERT_EQ(dst.Pixel(x, row)[3], 0xEE);
                }
            }
        if (bits == 24) { // row padding is not written
            EXPECT_EQ(dst.pixels[27], 0xEE);
        }
    }
}

TEST_F(RtDisplay, HalfSizeTakesEveryOtherPixelOfOneField)
{
    for (int bits : {24, 32}) {
        YuvPicture src = Source(9, 7, bits);
        const size_t pixel = bits == 24 ? 3 : 4;
        // 4 pixels a line, 3 lines; 24-bit lines padded to 12 bytes, 32-bit
        // lines width * 2 = 18 bytes.
        const size_t line = bits == 24 ? 12 : 18;
        for (unsigned field : {0u, 1u}) {
            f.m_uDisplayField = field;
            std::vector<BYTE> dst(line * 3, 0xEE);
            ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.data(), src.pixels.data(), nullptr, 0),
                      1);
            // Field order 0: display field 1 starts at line 0, field 0 at line 1.
            const int first = field == 1 ? 0 : 1;
            for (int j = 0; j < 3; ++j)
                for (int i = 0; i < 4; ++i)
                    ASSERT_EQ(Bytes(dst.data() + j * line + i * pixel),
                              Expected(src.Pixel(2 * i, 2 * j + first), bits == 32))
                        << bits << " bits, field " << field << ", pixel " << i << ", line " << j;
            // 32-bit lines are width * 2 bytes: the two bytes after the
            // four pixels are not written.
            if (bits == 32) {
                EXPECT_EQ(dst[16], 0xEE);
                EXPECT_EQ(dst[17], 0xEE);
            }
        }
    }
}

TEST_F(RtDisplay, Flags2BehavesAsFlags0)
{
    YuvPicture src = Source(8, 6, 32);
    std::vector<BYTE> a(16 * 3, 0), b(16 * 3, 0);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, a.data(), src.pixels.data(), nullptr, 0), 1);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, b.data(), src.pixels.data(), nullptr, 2), 1);
    EXPECT_EQ(a, b);
}

TEST_F(RtDisplay, FieldModeFillsEveryOtherLine)
{
    for (unsigned order : {0u, 1u}) {
        YuvPicture src = Source(6, 7, 24);
        src.header.dwFieldOrder = order;
        YuvPicture dst = MakeYuvPicture(6, 7, 24, 0, 0xEE);
        f.m_uDisplayField = 1;
        ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), nullptr, 1),
                  1);
        const int first = order == 0 ? 0 : 1;
        for (int j = 0; j < 3; ++j)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(Bytes(dst.Pixel(x, 2 * j)), Expected(src.Pixel(x, 2 * j + first), false))
                    << "order " << order << " x " << x << " line " << j;
        for (int row : {1, 3, 5, 6})
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(Bytes(dst.Pixel(x, row)), (std::vector<int>{0xEE, 0xEE, 0xEE}));
    }
}

TEST_F(RtDisplay, DestinationMayBeTheSource)
{
    for (unsigned long flags : {0ul, 1ul, 3ul}) {
        YuvPicture src = Source(10, 6, 32);
        YuvPicture overlay = Source(10, 6, 32);
        std::vector<BYTE> expected = src.pixels;
        ASSERT_EQ(f.ProcessRTDisplay(&src.header, expected.data(), src.pixels.data(),
                                     overlay.pixels.data(), flags),
                  1);
        ASSERT_EQ(f.ProcessRTDisplay(&src.header, src.pixels.data(), src.pixels.data(),
                                     overlay.pixels.data(), flags),
                  1);
        EXPECT_EQ(src.pixels, expected) << "flags " << flags;
    }
}

TEST_F(RtDisplay, StageFlagsAreNotConsulted)
{
    YuvPicture src = Source(5, 3, 32);
    YuvPicture a = MakeYuvPicture(5, 3, 32), b = MakeYuvPicture(5, 3, 32);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, a.pixels.data(), src.pixels.data(), nullptr, 3), 1);
    f.m_bPrimary = 0;
    f.m_bVector = 1;
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, b.pixels.data(), src.pixels.data(), nullptr, 3), 1);
    EXPECT_TRUE(SameBytes(a, b));
}

// ---- overlay ------------------------------------------------------------------------

TEST_F(RtDisplay, FullSize24BitIgnoresTheOverlay)
{
    YuvPicture src = Source(7, 4, 24);
    YuvPicture overlay = Source(7, 4, 24);
    for (unsigned long flags : {1ul, 3ul}) {
        YuvPicture plain = MakeYuvPicture(7, 4, 24), mixed = MakeYuvPicture(7, 4, 24);
        ASSERT_EQ(f.ProcessRTDisplay(&src.header, plain.pixels.data(), src.pixels.data(), nullptr,
                                     flags),
                  1);
        ASSERT_EQ(f.ProcessRTDisplay(&src.header, mixed.pixels.data(), src.pixels.data(),
                                     overlay.pixels.data(), flags),
                  1);
        EXPECT_TRUE(SameBytes(plain, mixed)) << "flags " << flags;
    }
}

TEST_F(RtDisplay, WeightZeroWithOpaqueSourceEqualsThePlainPath)
{
    YuvPicture src = Source(7, 4, 32);
    YuvPicture overlay = Source(7, 4, 32);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 7; ++x) {
            src.Pixel(x, row)[3] = 255;
            overlay.Pixel(x, row)[3] = 0;
        }
    YuvPicture plain = MakeYuvPicture(7, 4, 32), mixed = MakeYuvPicture(7, 4, 32);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, plain.pixels.data(), src.pixels.data(), nullptr, 3),
              1);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, mixed.pixels.data(), src.pixels.data(),
                                 overlay.pixels.data(), 3),
              1);
    EXPECT_TRUE(SameBytes(plain, mixed));
}

TEST_F(RtDisplay, TransparentSourceUnderInvisibleOverlayIsTheBlackLevel)
{
    YuvPicture src = Source(3, 2, 32);
    YuvPicture overlay = Source(3, 2, 32);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x) {
            src.Pixel(x, row)[3] = 0;
            overlay.Pixel(x, row)[3] = 0;
        }
    YuvPicture dst = MakeYuvPicture(3, 2, 32);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(),
                                 overlay.pixels.data(), 3),
              1);
    const int luma = f.m_LumaClip[512];
    const int chroma = f.m_ChromaClip[512] + 128;
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Bytes(dst.Pixel(x, row)), (std::vector<int>{luma, chroma, chroma}));
    EXPECT_EQ(luma, 16);
}

TEST_F(RtDisplay, OverlayMixesByItsWeight)
{
    YuvPicture src = Source(8, 4, 32);
    YuvPicture overlay = Source(8, 4, 32);
    YuvPicture dst = MakeYuvPicture(8, 4, 32);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(),
                                 overlay.pixels.data(), 3),
              1);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(Bytes(dst.Pixel(x, row)),
                      Expected(src.Pixel(x, row), true, overlay.Pixel(x, row)))
                << "x " << x << " row " << row;

    // Full weight gives nearly the overlay pixel.
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 8; ++x) {
            overlay.Pixel(x, row)[0] = 200;
            overlay.Pixel(x, row)[1] = 100;
            overlay.Pixel(x, row)[2] = 160;
            overlay.Pixel(x, row)[3] = 255;
        }
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(),
                                 overlay.pixels.data(), 3),
              1);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 8; ++x) {
            const BYTE* p = dst.Pixel(x, row);
            EXPECT_NEAR(p[0], 200, 1);
            EXPECT_NEAR(p[1], 100, 1);
            EXPECT_NEAR(p[2], 160, 1);
        }
}

TEST_F(RtDisplay, HalfSize24BitWeightIsTheNeighboursFirstByte)
{
    YuvPicture src = Source(8, 4, 24);
    YuvPicture overlay = Source(8, 4, 24);
    const size_t line = 12; // 4 pixels of 3 bytes
    std::vector<BYTE> dst(line * 2, 0);
    f.m_uDisplayField = 1;
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.data(), src.pixels.data(),
                                 overlay.pixels.data(), 0),
              1);
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(Bytes(dst.data() + j * line + i * 3),
                      Expected(src.Pixel(2 * i, 2 * j), false, overlay.Pixel(2 * i, 2 * j)))
                << "pixel " << i << " line " << j;
}

// ---- field choice -----------------------------------------------------------------------

TEST_F(RtDisplay, FirstLineOffsetInAllFourCombinations)
{
    tagYUVBMINFOHEADER h{};
    h.dwFieldOrder = 0;
    f.m_uDisplayField = 0;
    EXPECT_EQ(f.uOffsFirstLine(&h, 1440), 1440u);
    f.m_uDisplayField = 1;
    EXPECT_EQ(f.uOffsFirstLine(&h, 1440), 0u);
    h.dwFieldOrder = 1;
    f.m_uDisplayField = 0;
    EXPECT_EQ(f.uOffsFirstLine(&h, 1440), 0u);
    f.m_uDisplayField = 1;
    EXPECT_EQ(f.uOffsFirstLine(&h, 1440), 1440u);
    h.dwFieldOrder = 0x80000000u;
    EXPECT_EQ(f.uOffsFirstLine(&h, 1440), 1440u);
    EXPECT_EQ(f.uOffsFirstLine(nullptr, 1440), 0u);
}

// ---- refusals and edges --------------------------------------------------------------------

TEST_F(RtDisplay, RefusesMissingOrWrongInput)
{
    YuvPicture src = Source(4, 4, 24);
    YuvPicture dst = MakeYuvPicture(4, 4, 24, 0, 0xEE);
    const YuvPicture untouched = dst;
    EXPECT_EQ(f.ProcessRTDisplay(nullptr, dst.pixels.data(), src.pixels.data(), nullptr, 3), 0);
    EXPECT_EQ(f.ProcessRTDisplay(&src.header, nullptr, src.pixels.data(), nullptr, 3), 0);
    EXPECT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), nullptr, nullptr, 3), 0);
    tagYUVBMINFOHEADER rgb = src.header;
    rgb.biCompression = 0;
    EXPECT_EQ(f.ProcessRTDisplay(&rgb, dst.pixels.data(), src.pixels.data(), nullptr, 3), 0);
    tagYUVBMINFOHEADER negative = src.header;
    negative.biWidth = -4;
    EXPECT_EQ(f.ProcessRTDisplay(&negative, dst.pixels.data(), src.pixels.data(), nullptr, 3), 0);
    EXPECT_TRUE(SameBytes(untouched, dst));
}

TEST_F(RtDisplay, RefusesAFrameLargerThanAnyPicture)
{
    YuvPicture src = Source(4, 4, 32);
    YuvPicture dst = MakeYuvPicture(4, 4, 32, 0, 0xEE);
    const YuvPicture untouched = dst;
    tagYUVBMINFOHEADER huge = src.header;
    huge.biWidth = 0x7FFFFFFF;
    huge.biHeight = 0x7FFFFFFF;
    EXPECT_EQ(f.ProcessRTDisplay(&huge, dst.pixels.data(), src.pixels.data(), nullptr, 0), 0);
    huge.biHeight = -0x7FFFFFFF;
    EXPECT_EQ(f.ProcessRTDisplay(&huge, dst.pixels.data(), src.pixels.data(), nullptr, 3), 0);
    huge.biWidth = 1 << 20;
    huge.biHeight = 1 << 10; // 4 GiB at 32 bits: the line offsets pass 32 bits
    EXPECT_EQ(f.ProcessRTDisplay(&huge, dst.pixels.data(), src.pixels.data(), nullptr, 1), 0);
    EXPECT_TRUE(SameBytes(untouched, dst));
}

TEST_F(RtDisplay, NoLinesToProcessWritesNothing)
{
    YuvPicture src = Source(6, 1, 32);
    YuvPicture dst = MakeYuvPicture(6, 1, 32, 0, 0xEE);
    const YuvPicture untouched = dst;
    EXPECT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), nullptr, 0), 1);
    EXPECT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), nullptr, 1), 1);
    EXPECT_TRUE(SameBytes(untouched, dst));
}

TEST_F(RtDisplay, ZeroWidthWithHugeHeightIsDoneAtOnce)
{
    YuvPicture src = Source(4, 4, 32);
    YuvPicture dst = MakeYuvPicture(4, 4, 32, 0, 0xEE);
    const YuvPicture untouched = dst;
    tagYUVBMINFOHEADER h = src.header;
    h.biWidth = 0;
    h.biHeight = 0x7FFFFFFF;
    EXPECT_EQ(f.ProcessRTDisplay(&h, dst.pixels.data(), src.pixels.data(), nullptr, 3), 1);
    h.biWidth = 1; // 8 GiB: refused
    EXPECT_EQ(f.ProcessRTDisplay(&h, dst.pixels.data(), src.pixels.data(), nullptr, 3), 0);
    h.biHeight = 4; // half size: no pixel on a line
    EXPECT_EQ(f.ProcessRTDisplay(&h, dst.pixels.data(), src.pixels.data(), nullptr, 0), 1);
    EXPECT_TRUE(SameBytes(untouched, dst));
}

TEST_F(RtDisplay, TopDownFramesUseTheLineCount)
{
    YuvPicture src = Source(4, -3, 24);
    YuvPicture dst = MakeYuvPicture(4, -3, 24);
    ASSERT_EQ(f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), nullptr, 3), 1);
    EXPECT_EQ(Bytes(dst.Pixel(3, 2)), Expected(src.Pixel(3, 2), false));
}

TEST_F(RtDisplay, PrintsTheTimingLine)
{
    YuvPicture src = Source(4, 4, 24);
    YuvPicture dst = MakeYuvPicture(4, 4, 24);
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    const int result =
        f.ProcessRTDisplay(&src.header, dst.pixels.data(), src.pixels.data(), nullptr, 3);
    const std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(IsTimingLine(text, "\rRTDisplay processing time: ", "ms\r\n"));
}

} // namespace
} // namespace colorcorrect::test
