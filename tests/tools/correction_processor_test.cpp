#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>

using colorcorrect::formats::CorrectionProcessor;
using colorcorrect::formats::DefaultCorrection;
using colorcorrect::formats::OutputChromaRange;

namespace {

tagYUVBMINFOHEADER Header(int width, int height, int bits)
{
    tagYUVBMINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<uint16_t>(bits);
    h.biCompression = colorcorrect::YUV_COMPRESSION;
    return h;
}

} // namespace

TEST(CorrectionProcessorRange, FollowsTheClippingSettings)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    auto range = [&r] {
        const auto c = OutputChromaRange(r);
        return std::pair{c.lo, c.hi};
    };
    EXPECT_EQ(range(), (std::pair{1, 255}));
    r.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED;
    EXPECT_EQ(range(), (std::pair{1, 255})) << "clipping off: full range";
    r.dwFlags = CC_CLIPPING;
    EXPECT_EQ(range(), (std::pair{44, 212}));
    r.Base.wRangeFlags = RANGE_LEGAL;
    EXPECT_EQ(range(), (std::pair{16, 240}));
    r.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    EXPECT_EQ(range(), (std::pair{16, 240}));
    r.Base.wRangeFlags = RANGE_CHROMA_REDUCED;
    EXPECT_EQ(range(), (std::pair{44, 212}));
    r.Base.wRangeFlags = 0;
    EXPECT_EQ(range(), (std::pair{1, 255}));
}

TEST(CorrectionProcessorRange, MatchesWhatTheEngineProduces)
{
    // Every chroma value through the engine stays inside the range, and both
    // ends are reached.
    for (WORD flags : {WORD(0), WORD(RANGE_LEGAL), WORD(RANGE_VIDEO_LUMA), WORD(RANGE_CHROMA_REDUCED)}) {
        tagCOLORCORRINFO r = DefaultCorrection();
        r.dwFlags = CC_CLIPPING | CC_PRIMARY;
        r.Base.wRangeFlags = flags;
        r.Base.bySoftC = 100;
        CorrectionProcessor p;
        std::string error;
        ASSERT_TRUE(p.Setup(r, error)) << error;
        tagYUVBMINFOHEADER h = Header(256, 1, 24);
        std::vector<BYTE> in(768), out(768);
        for (int x = 0; x < 256; ++x) {
            in[3 * size_t(x)] = 128;
            in[3 * size_t(x) + 1] = BYTE(x);
            in[3 * size_t(x) + 2] = 128;
        }
        ASSERT_TRUE(p.Process(h, in.data(), out.data()));
        int lo = 255, hi = 0;
        for (int x = 0; x < 256; ++x) {
            lo = std::min(lo, int(out[3 * size_t(x) + 1]));
            hi = std::max(hi, int(out[3 * size_t(x) + 1]));
        }
        EXPECT_EQ(lo, p.Range().lo) << flags;
        EXPECT_EQ(hi, p.Range().hi) << flags;
    }
}

TEST(CorrectionProcessor, IdentityLeavesEverythingButTheChromaFloor)
{
    CorrectionProcessor p;
    std::string error;
    ASSERT_TRUE(p.Setup(DefaultCorrection(), error));
    tagYUVBMINFOHEADER h = Header(256, 3, 32);
    std::vector<BYTE> in(256 * 3 * 4), out(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = BYTE(i * 7 + i / 1024);
    ASSERT_TRUE(p.Process(h, in.data(), out.data()));
    for (size_t i = 0; i < in.size(); ++i) {
        const bool chroma = i % 4 == 1 || i % 4 == 2;
        const int want = chroma && in[i] == 0 ? 1 : in[i];
        ASSERT_EQ(out[i], want) << "byte " << i;
    }
}

TEST(CorrectionProcessor, RefusedRecordIsReported)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.Vector6.dwSize = 60;
    CorrectionProcessor p;
    std::string error;
    EXPECT_FALSE(p.Setup(r, error));
    EXPECT_EQ(error, "the correction engine refused the correction (bad sizes, or no memory for its tables)");
    tagYUVBMINFOHEADER h = Header(1, 1, 24);
    BYTE px[4] = {};
    EXPECT_FALSE(p.Process(h, px, px)) << "no set-up filter: nothing processed";
}

TEST(CorrectionProcessor, BandsGiveTheBytesOfOneThread)
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags |= CC_PRIMARY;
    r.Base.sYGamma = 40;
    r.Base.sHue = 30;
    r.Base.sRGamma = -20;
    CorrectionProcessor p;
    std::string error;
    ASSERT_TRUE(p.Setup(r, error));
    for (int bits : {24, 32}) {
        SCOPED_TRACE(bits);
        tagYUVBMINFOHEADER h = Header(67, 53, bits);
        const size_t stride = bits == 24 ? (67 * 3 + 3) & ~size_t{3} : 67 * 4;
        std::vector<BYTE> in(stride * 53), one(in.size()), banded(in.size());
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = BYTE(i * 131 + i / 97);
        ASSERT_TRUE(p.Process(h, in.data(), one.data()));
        for (unsigned threads : {0u, 1u, 3u}) {
            std::fill(banded.begin(), banded.end(), BYTE{0});
            ASSERT_TRUE(p.ProcessInBands(h, in.data(), banded.data(), threads));
            EXPECT_EQ(one, banded) << threads << " threads";
        }
        // In place, as the tool corrects stills (row padding keeps the
        // input's bytes then).
        std::vector<BYTE> single = in, inPlace = in;
        ASSERT_TRUE(p.Process(h, single.data(), single.data()));
        ASSERT_TRUE(p.ProcessInBands(h, inPlace.data(), inPlace.data(), 2));
        EXPECT_EQ(single, inPlace);
    }
}
