#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "display_filter_access.h"

using colorcorrect::test::DisplayFilterAccess;

namespace {

tagBASECOLORCORRINFO NeutralBase()
{
    tagBASECOLORCORRINFO b;
    std::memset(&b, 0, sizeof b);
    b.dwSize = sizeof b;
    return b;
}

// A package whose every byte is `fill`.
tagBCC_RTLUTPACK Filled(unsigned char fill)
{
    tagBCC_RTLUTPACK pack;
    std::memset(&pack, fill, sizeof pack);
    return pack;
}

// CRC-32/ISO-HDLC written bit by bit, independent of the library's table.
uint32_t Crc32(const unsigned char* data, size_t length)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1u) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

// A package verifies as a consumer outside the library checks it: the
// stored value, read little-endian, against the CRC with the field zeroed.
bool Verifies(const tagBCC_RTLUTPACK& pack)
{
    unsigned char copy[sizeof(tagBCC_RTLUTPACK)];
    std::memcpy(copy, &pack, sizeof copy);
    const uint32_t stored = uint32_t{copy[0]} | uint32_t{copy[1]} << 8 | uint32_t{copy[2]} << 16 |
                            uint32_t{copy[3]} << 24;
    std::memset(copy, 0, 4);
    return Crc32(copy, sizeof copy) == stored;
}

// The real-time curve of the given controls for input i, from its definition
// (controls within -255..255).
int CurveEntry(int i, int black, int gamma, int white)
{
    const double scale = (white - black + 255) / 255.0;
    const double e = gamma > 0 ? 1.0 / (gamma / 50.0 + 1.0) : 1.0 / (gamma / 260.0 + 1.0);
    const int t = static_cast<int>(2 * i * scale + black + 0.5);
    if (t < 0)
        return 0;
    const double v = std::pow(t / 256.0, e) * 256.0 + 0.5;
    if (v >= 1e9)
        return 255;
    const int half = static_cast<int>(v) / 2;
    return half > 255 ? 255 : half;
}

} // namespace

// ---- layout ------------------------------------------------------------------------

TEST(RtLutPackLayout, IsByteExact)
{
    EXPECT_EQ(sizeof(tagBCC_RTLUTPACK), 2052u);
    EXPECT_EQ(offsetof(tagBCC_RTLUTPACK, dwCRC), 0u);
    EXPECT_EQ(offsetof(tagBCC_RTLUTPACK, RGB), 4u);
    EXPECT_EQ(offsetof(tagBCC_RTLUTPACK, YUV), 1028u);
    tagBCC_RTLUTPACK pack{};
    const auto* base = reinterpret_cast<const unsigned char*>(&pack);
    EXPECT_EQ(&pack.RGB[0][3] - base, 7);
    EXPECT_EQ(&pack.RGB[255][3] - base, 1027);
    EXPECT_EQ(&pack.YUV[255][3] - base, 2051);
}

// ---- a neutral record ------------------------------------------------------------------

TEST(RtLut, NeutralRecordIsTheIdentityWithModeFour)
{
    DisplayFilterAccess f;
    tagBCC_RTLUTPACK pack = Filled(0xA5);
    EXPECT_EQ(f.GetRTLUT(pack, NeutralBase()), 1);
    EXPECT_EQ(pack.RGB[0][3], 4);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(pack.RGB[i][0], i) << i;
        ASSERT_EQ(pack.RGB[i][1], i) << i;
        ASSERT_EQ(pack.RGB[i][2], i) << i;
        const int chroma = static_cast<int8_t>(static_cast<uint8_t>(i));
        ASSERT_EQ(pack.YUV[i][0], 0) << "sine " << i;
        ASSERT_EQ(pack.YUV[i][1], i) << "cosine " << i;
        ASSERT_EQ(pack.YUV[i][2], i) << "luma " << i;
        // Saturation is clamped to -127..127: -128 becomes -127.
        ASSERT_EQ(static_cast<int8_t>(pack.YUV[i][3]), chroma < -127 ? -127 : chroma) << i;
    }
    EXPECT_TRUE(Verifies(pack));
}

TEST(RtLut, ReservedBytesStayAndAreCoveredByTheCheckValue)
{
    DisplayFilterAccess f;
    tagBCC_RTLUTPACK pack = Filled(0x3C);
    ASSERT_EQ(f.GetRTLUT(pack, NeutralBase()), 1);
    for (int i = 1; i < 256; ++i)
        ASSERT_EQ(pack.RGB[i][3], 0x3C) << i;
    ASSERT_TRUE(Verifies(pack));
    const uint32_t first = pack.dwCRC;
    pack.RGB[17][3] ^= 1;
    EXPECT_FALSE(Verifies(pack));

    // Other reserved bytes give another check value.
    tagBCC_RTLUTPACK other = Filled(0x3D);
    ASSERT_EQ(f.GetRTLUT(other, NeutralBase()), 1);
    EXPECT_TRUE(Verifies(other));
    const uint32_t second = other.dwCRC;
    EXPECT_NE(first, second);
}

TEST(RtLut, CheckValueIsTheLibrarysChecksumWithTheFieldZeroed)
{
    DisplayFilterAccess f;
    tagBASECOLORCORRINFO b = NeutralBase();
    b.sHue = 30;
    b.sRGamma = -40;
    tagBCC_RTLUTPACK pack = Filled(0);
    ASSERT_EQ(f.GetRTLUT(pack, b), 1);
    tagBCC_RTLUTPACK copy = pack;
    copy.dwCRC = 0;
    const uint32_t stored = pack.dwCRC; // packed field: read into an aligned value
    EXPECT_EQ(stored, GetCRC1615(&copy, sizeof copy));
    EXPECT_TRUE(Verifies(pack));
}

// ---- mode byte ---------------------------------------------------------------------

TEST(RtLut, ModeByteFollowsTheRangeFlags)
{
    DisplayFilterAccess f;
    struct Case {
        uint16_t flags;
        int mode;
    } const cases[] = {
        {RANGE_CHROMA_REDUCED | RANGE_VIDEO_LUMA, 2},
        {RANGE_CHROMA_REDUCED, 2},
        {RANGE_CHROMA_REDUCED | RANGE_LEGAL, 2},
        {RANGE_VIDEO_LUMA, 1},
        {RANGE_LEGAL, 1},
        {RANGE_VIDEO_LUMA | RANGE_LEGAL, 1},
        {0x8, 0}, // an unused bit: not neutral, no range
    };
    for (const Case& c : cases) {
        tagBASECOLORCORRINFO b = NeutralBase();
        b.wRangeFlags = c.flags;
        tagBCC_RTLUTPACK pack = Filled(0);
        ASSERT_EQ(f.GetRTLUT(pack, b), 1);
        EXPECT_EQ(pack.RGB[0][3], c.mode) << "flags " << c.flags;
        EXPECT_TRUE(Verifies(pack));
    }
}

TEST(RtLut, AnyNonZeroWordEndsTheNeutralMode)
{
    DisplayFilterAccess f;
    // Each of the sixteen words after the size, one at a time.
    for (size_t word = 0; word < 16; ++word) {
        tagBASECOLORCORRINFO b = NeutralBase();
        if (word == 0)
            continue; // the range flags have their own modes
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&b);
        bytes[4 + 2 * word + (word % 2)] = 1;
        tagBCC_RTLUTPACK pack = Filled(0);
        ASSERT_EQ(f.GetRTLUT(pack, b), 1);
        EXPECT_EQ(pack.RGB[0][3], 0) << "word " << word;
    }
}

// ---- content -----------------------------------------------------------------------

TEST(RtLut, PrimaryTablesEqualThoseOfThePrimarySetup)
{
    tagBASECOLORCORRINFO b = NeutralBase();
    b.wRangeFlags = RANGE_VIDEO_LUMA;
    b.sYWhite = -30;
    b.sYGamma = 45;
    b.sYBlack = 12;
    b.sHue = -100;
    b.sSat = 70;
    DisplayFilterAccess reference;
    ASSERT_TRUE(reference.SetupFilter(b));

    DisplayFilterAccess f;
    tagBCC_RTLUTPACK pack = Filled(0);
    ASSERT_EQ(f.GetRTLUT(pack, b), 1);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(static_cast<int8_t>(pack.YUV[i][0]), reference.m_SinLUT[i]) << i;
        ASSERT_EQ(static_cast<int8_t>(pack.YUV[i][1]), reference.m_CosLUT[i]) << i;
        ASSERT_EQ(pack.YUV[i][2], reference.m_YLUT[i]) << i;
        ASSERT_EQ(pack.YUV[i][3], reference.m_SatLUT[i] & 0xFF) << i;
    }
    // The video-range luma curve stays within 16..235.
    for (int i = 0; i < 256; ++i) {
        ASSERT_GE(pack.YUV[i][2], 16) << i;
        ASSERT_LE(pack.YUV[i][2], 235) << i;
    }
    EXPECT_EQ(pack.YUV[0][2], 16);
}

TEST(RtLut, ChannelCurvesGoToTheirBytes)
{
    tagBASECOLORCORRINFO b = NeutralBase();
    b.sRWhite = 0;
    b.sRGamma = 0;
    b.sRBlack = 10; // red: entry 0 is 5
    b.sGWhite = 255; // green: doubled
    b.sBGamma = 50; // blue: square root
    DisplayFilterAccess f;
    tagBCC_RTLUTPACK pack = Filled(0);
    ASSERT_EQ(f.GetRTLUT(pack, b), 1);
    EXPECT_EQ(pack.RGB[0][2], 5);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(pack.RGB[i][2], CurveEntry(i, 10, 0, 0)) << i;
        ASSERT_EQ(pack.RGB[i][1], std::min(255, 2 * i)) << i;
        ASSERT_EQ(pack.RGB[i][0], CurveEntry(i, 0, 50, 0)) << i;
    }
    EXPECT_EQ(pack.RGB[0][3], 0);
}

TEST(RtLut, LeavesTheFiltersOwnTablesAlone)
{
    tagCOLORCORRINFO cc = colorcorrect::test::Record(CC_PRIMARY);
    cc.Base.sHue = 40;
    cc.Base.sYGamma = -60;
    cc.Base.sRBlack = 30;
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(cc));
    DisplayFilterAccess before(f);

    tagBASECOLORCORRINFO other = NeutralBase();
    other.sHue = -90;
    other.sYWhite = 100;
    other.sGGamma = 200;
    tagBCC_RTLUTPACK pack = Filled(0);
    ASSERT_EQ(f.GetRTLUT(pack, other), 1);
    EXPECT_EQ(std::memcmp(f.m_YLUT, before.m_YLUT, sizeof f.m_YLUT), 0);
    EXPECT_EQ(std::memcmp(f.m_CosLUT, before.m_CosLUT, sizeof f.m_CosLUT), 0);
    EXPECT_EQ(std::memcmp(f.m_SinLUT, before.m_SinLUT, sizeof f.m_SinLUT), 0);
    EXPECT_EQ(std::memcmp(f.m_SatLUT, before.m_SatLUT, sizeof f.m_SatLUT), 0);
    EXPECT_EQ(std::memcmp(f.m_RLUT, before.m_RLUT, sizeof f.m_RLUT), 0);
    EXPECT_EQ(std::memcmp(f.m_GLUT, before.m_GLUT, sizeof f.m_GLUT), 0);
}

// ---- the real-time channel curve ----------------------------------------------------------

TEST(RtChannelCurve, NeutralIsTheIdentity)
{
    DisplayFilterAccess f;
    unsigned char dst[1024];
    std::memset(dst, 0xEE, sizeof dst);
    f.BuildRGBLUT_RT(dst, 0, 0, 0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(dst[4 * i], i) << i;
        // Only every fourth byte is written.
        if (i < 255) {
            ASSERT_EQ(dst[4 * i + 1], 0xEE);
            ASSERT_EQ(dst[4 * i + 2], 0xEE);
            ASSERT_EQ(dst[4 * i + 3], 0xEE);
        }
    }
}

TEST(RtChannelCurve, WhiteAtFullScaleDoubles)
{
    DisplayFilterAccess f;
    unsigned char dst[1024] = {};
    f.BuildRGBLUT_RT(dst, 0, 0, 255);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(dst[4 * i], std::min(255, 2 * i)) << i;
}

TEST(RtChannelCurve, BlackIsAddedOnNineBits)
{
    DisplayFilterAccess f;
    unsigned char dst[1024] = {};
    f.BuildRGBLUT_RT(dst, 10, 0, 0);
    EXPECT_EQ(dst[0], 5);
    f.BuildRGBLUT_RT(dst, -10, 0, 0);
    EXPECT_EQ(dst[0], 0); // below zero
    EXPECT_EQ(dst[4 * 5], 0);
    EXPECT_EQ(dst[4 * 6], 1);
}

TEST(RtChannelCurve, FollowsItsDefinitionAcrossTheControls)
{
    DisplayFilterAccess f;
    unsigned char dst[1024] = {};
    for (int black : {-255, -80, 0, 33, 255})
        for (int gamma : {-255, -120, -1, 0, 1, 77, 255})
            for (int white : {-255, -40, 0, 90, 255}) {
                f.BuildRGBLUT_RT(dst, black, gamma, white);
                for (int i = 0; i < 256; ++i)
                    ASSERT_EQ(dst[4 * i], CurveEntry(i, black, gamma, white))
                        << "black " << black << " gamma " << gamma << " white " << white
                        << " input " << i;
            }
}

TEST(RtChannelCurve, SteepCurvesSaturate)
{
    DisplayFilterAccess f;
    unsigned char dst[1024] = {};
    // An exponent of about 52 on values up to 3: far beyond any integer.
    f.BuildRGBLUT_RT(dst, 255, -255, 255);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(dst[4 * i], CurveEntry(i, 255, -255, 255)) << i;
    EXPECT_LT(dst[0], 255);
    for (int i = 20; i < 256; ++i)
        ASSERT_EQ(dst[4 * i], 255) << i;
}

TEST(RtChannelCurve, OutOfRangeControlsAreClamped)
{
    DisplayFilterAccess f;
    unsigned char clamped[1024] = {}, wild[1024] = {};
    f.BuildRGBLUT_RT(clamped, -255, -255, 255);
    // Unclamped, -260 would make the exponent infinite and -300 negative.
    f.BuildRGBLUT_RT(wild, -30000, -260, 30000);
    EXPECT_EQ(std::memcmp(clamped, wild, sizeof wild), 0);
    f.BuildRGBLUT_RT(wild, -256, -300, 256);
    EXPECT_EQ(std::memcmp(clamped, wild, sizeof wild), 0);

    tagBASECOLORCORRINFO b = NeutralBase();
    b.sRBlack = 32767;
    b.sRGamma = -32768;
    tagBCC_RTLUTPACK pack = Filled(0);
    ASSERT_EQ(f.GetRTLUT(pack, b), 1);
    f.BuildRGBLUT_RT(clamped, 255, -255, 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(pack.RGB[i][2], clamped[4 * i]) << i;
}
