// The real-time lookup package: its bytes as a consumer outside the library
// reads them, the mode byte, the channel curves and agreement with the
// filter's own primary tables.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "support/display_access.h"
#include "support/picture_compare.h"

namespace colorcorrect::test {
namespace {

tagBASECOLORCORRINFO NeutralBase()
{
    tagBASECOLORCORRINFO b{};
    b.dwSize = sizeof b;
    return b;
}

// The package of `b`, written over bytes that all hold `fill`.
tagBCC_RTLUTPACK Pack(const tagBASECOLORCORRINFO& b, unsigned char fill = 0)
{
    tagBCC_RTLUTPACK pack;
    std::memset(&pack, fill, sizeof pack);
    auto f = std::make_unique<CColorCorrectionFilter>();
    EXPECT_EQ(f->GetRTLUT(pack, b), 1);
    return pack;
}

// The check value as a consumer verifies it: bytes 0..3 little-endian against
// a bitwise CRC-32/ISO-HDLC of the package with those bytes zeroed.
bool Verifies(const tagBCC_RTLUTPACK& pack)
{
    unsigned char bytes[sizeof pack];
    std::memcpy(bytes, &pack, sizeof bytes);
    const uint32_t stored = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t{bytes[3]} << 24;
    std::memset(bytes, 0, 4);
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return (crc ^ 0xFFFFFFFFu) == stored;
}

TEST(RtLut, NeutralRecordIsTheIdentityInModeFour)
{
    // The mode byte is entry 0's reserved byte; the others are not written.
    // Saturation is a signed byte limited to -127..127.
    tagBCC_RTLUTPACK pack = Pack(NeutralBase(), 0xA5);
    for (int i = 0; i < 256; ++i) {
        const int chroma = static_cast<int8_t>(i);
        ASSERT_EQ(std::vector<int>({pack.RGB[i][0], pack.RGB[i][1], pack.RGB[i][2], pack.RGB[i][3], pack.YUV[i][0],
                                    pack.YUV[i][1], pack.YUV[i][2], static_cast<int8_t>(pack.YUV[i][3])}),
                  std::vector<int>({i, i, i, i == 0 ? 4 : 0xA5, 0, i, i, chroma < -127 ? -127 : chroma}))
            << i;
    }
    ASSERT_TRUE(Verifies(pack));
    // The reserved bytes enter the check value as they stand.
    pack.RGB[17][3] ^= 1;
    EXPECT_FALSE(Verifies(pack));
    EXPECT_NE(Pack(NeutralBase(), 0x3C).dwCRC, Pack(NeutralBase(), 0x3D).dwCRC);
}

TEST(RtLut, ModeByteFollowsTheRangeFlags)
{
    const struct { uint16_t flags; int mode; } cases[] = {
        {RANGE_CHROMA_REDUCED | RANGE_VIDEO_LUMA, 2}, {RANGE_CHROMA_REDUCED, 2}, {RANGE_CHROMA_REDUCED | RANGE_LEGAL, 2},
        {RANGE_VIDEO_LUMA, 1}, {RANGE_LEGAL, 1}, {RANGE_VIDEO_LUMA | RANGE_LEGAL, 1}, {0x8, 0}}; // 0x8: unused, not neutral
    for (const auto& c : cases) {
        tagBASECOLORCORRINFO b = NeutralBase();
        b.wRangeFlags = c.flags;
        const tagBCC_RTLUTPACK pack = Pack(b);
        EXPECT_EQ(pack.RGB[0][3], c.mode) << "flags " << c.flags;
        EXPECT_TRUE(Verifies(pack));
    }
    // Any non-zero control (any of the 15 words after the range flags) ends the neutral mode.
    for (size_t word = 1; word < 16; ++word) {
        tagBASECOLORCORRINFO b = NeutralBase();
        reinterpret_cast<unsigned char*>(&b)[4 + 2 * word + word % 2] = 1;
        EXPECT_EQ(Pack(b).RGB[0][3], 0) << "word " << word;
    }
}

TEST(RtLut, PrimaryTablesAreThoseOfTheFilterWhichKeepsItsOwn)
{
    tagBASECOLORCORRINFO b = NeutralBase();
    b.wRangeFlags = RANGE_VIDEO_LUMA, b.sYWhite = -30, b.sYGamma = 45, b.sYBlack = 12, b.sHue = -100, b.sSat = 70;
    auto f = std::make_unique<DisplayAccess>();
    ASSERT_TRUE(f->SetupFilter(b));
    const tagBCC_RTLUTPACK pack = Pack(b);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(std::vector<int>({static_cast<int8_t>(pack.YUV[i][0]), static_cast<int8_t>(pack.YUV[i][1]),
                                    pack.YUV[i][2], pack.YUV[i][3], pack.YUV[i][2] >= 16 && pack.YUV[i][2] <= 235}),
                  std::vector<int>({f->m_SinLUT[i], f->m_CosLUT[i], f->m_YLUT[i], f->m_SatLUT[i] & 0xFF, 1}))
            << i; // video-range luma
    // Packing another record leaves the filter's correction as it was.
    CVoraDib in = Uniform(31, 17, 24, 0, 0, 0), before, after;
    FillPattern(in, 4);
    before = after = in;
    tagBASECOLORCORRINFO other = NeutralBase();
    other.sHue = -90, other.sYWhite = 100, other.sRBlack = other.sGGamma = other.sBWhite = 200;
    tagBCC_RTLUTPACK unused;
    ASSERT_EQ(f->Process(in, before) + f->GetRTLUT(unused, other) + f->Process(in, after), 3);
    EXPECT_TRUE(PicturesEqual(before, after));
}

TEST(RtLut, ChannelCurvesGoToTheirBytes)
{
    // Each curve runs on the input doubled to nine bits and is halved at the
    // end. Case k sets red, green or blue (k % 3), the others stay the identity.
    const struct { int16_t black, gamma, white; int input, output; } cases[] = {
        {0, 0, 255, 100, 200},  {0, 0, 255, 200, 255},  {10, 0, 0, 0, 5}, // white 255 doubles; black on nine bits
        {-10, 0, 0, 5, 0},      {-10, 0, 0, 6, 1},      {0, 50, 0, 32, 64}, // gamma 50: square root
        {0, 50, 0, 64, 90},     {0, -130, 0, 64, 32},   {0, -130, 0, 128, 128}, // gamma -130: square
        {255, -255, 255, 0, 104}, {255, -255, 255, 20, 255}, {32767, -32768, 0, 10, 104}, // steep; clamped
    };
    for (size_t k = 0; k < std::size(cases); ++k) {
        const auto& c = cases[k];
        tagBASECOLORCORRINFO b = NeutralBase();
        if (k % 3 == 0)
            b.sRBlack = c.black, b.sRGamma = c.gamma, b.sRWhite = c.white;
        else if (k % 3 == 1)
            b.sGBlack = c.black, b.sGGamma = c.gamma, b.sGWhite = c.white;
        else
            b.sBBlack = c.black, b.sBGamma = c.gamma, b.sBWhite = c.white;
        const tagBCC_RTLUTPACK pack = Pack(b);
        std::vector<int> expected(3, c.input);
        expected[2 - k % 3] = c.output;
        EXPECT_EQ(std::vector<int>({pack.RGB[c.input][0], pack.RGB[c.input][1], pack.RGB[c.input][2]}), expected)
            << c.black << " " << c.gamma << " " << c.white << " at " << c.input;
    }
}

} // namespace
} // namespace colorcorrect::test
