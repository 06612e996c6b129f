#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/rt_package.h>

using namespace colorcorrect::formats;

namespace {

std::array<uint8_t, kRtPackageBytes> Package(const tagCOLORCORRINFO& record)
{
    std::array<uint8_t, kRtPackageBytes> bytes{};
    std::string error;
    EXPECT_TRUE(MakeRtPackage(record, bytes, error)) << error;
    return bytes;
}

uint32_t Le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

TEST(RtPackage, HasTheBindingSize)
{
    EXPECT_EQ(kRtPackageBytes, 2052u);
}

TEST(RtPackage, NeutralCorrectionIsTheIdentityWithModeFour)
{
    const auto bytes = Package(DefaultCorrection());
    EXPECT_EQ(bytes[7], 4) << "mode byte of a neutral record";
    for (int i = 0; i < 256; ++i) {
        const uint8_t* e = &bytes[4 + 4 * i];
        ASSERT_EQ(e[0], i) << "blue of entry " << i;
        ASSERT_EQ(e[1], i) << "green of entry " << i;
        ASSERT_EQ(e[2], i) << "red of entry " << i;
        if (i > 0) {
            ASSERT_EQ(e[3], 0) << "the reserved byte of entry " << i << " is written as 0";
        }
        ASSERT_EQ(bytes[1028 + 4 * i + 2], i) << "luma of entry " << i;
    }
}

TEST(RtPackage, CheckValueCoversTheWholePackage)
{
    tagCOLORCORRINFO record = DefaultCorrection();
    record.Base.sYGamma = 40;
    record.Base.sHue = 30;
    auto bytes = Package(record);
    const uint32_t stored = Le32(bytes.data());
    std::memset(bytes.data(), 0, 4);
    EXPECT_EQ(stored, GetCRC1615(bytes.data(), static_cast<unsigned long>(bytes.size())));
}

TEST(RtPackage, ModeByteFollowsTheRangeFlags)
{
    tagCOLORCORRINFO record = DefaultCorrection();
    record.Base.wRangeFlags = RANGE_CHROMA_REDUCED | RANGE_VIDEO_LUMA;
    EXPECT_EQ(Package(record)[7], 2);
    record.Base.wRangeFlags = RANGE_LEGAL;
    EXPECT_EQ(Package(record)[7], 1);
    record.Base.wRangeFlags = 0;
    record.Base.sSat = 10;
    EXPECT_EQ(Package(record)[7], 0);
}

TEST(RtPackage, ChannelCurvesLandInTheirBytes)
{
    // Black 10 on the red curve: entry 0 is (10 / 256 * 256 + 0.5) / 2 = 5.
    tagCOLORCORRINFO record = DefaultCorrection();
    record.Base.sRBlack = 10;
    const auto bytes = Package(record);
    EXPECT_EQ(bytes[4 + 2], 5);
    EXPECT_EQ(bytes[4 + 0], 0) << "blue untouched";
    EXPECT_EQ(bytes[4 + 1], 0) << "green untouched";
}

TEST(RtPackage, IsWhatTheDisplayFilterPacks)
{
    tagCOLORCORRINFO record = DefaultCorrection();
    record.dwFlags = CC_PRIMARY;
    record.Base.sYWhite = -30;
    record.Base.sSat = 70;
    record.Base.sBGamma = 25;
    const auto bytes = Package(record);
    auto filter = std::make_unique<CColorCorrectionFilter>();
    tagBCC_RTLUTPACK pack;
    std::memset(&pack, 0, sizeof pack);
    ASSERT_EQ(filter->GetRTLUT(pack, record.Base), 1);
    EXPECT_EQ(std::memcmp(bytes.data(), &pack, sizeof pack), 0);
}
