#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <colorcorrect/formats/frame_convert.h>
#include <colorcorrect/formats/y4m.h>

using colorcorrect::formats::FrameConverter;
using colorcorrect::formats::MakeY4mHeader;
using colorcorrect::formats::Y4mChroma;
using colorcorrect::formats::Y4mHeader;

namespace {

constexpr Y4mChroma k420[] = {Y4mChroma::C420Jpeg, Y4mChroma::C420Mpeg2, Y4mChroma::C420Paldv};

std::vector<uint8_t> RandomFrame(const Y4mHeader& h, unsigned seed)
{
    std::vector<uint8_t> frame(h.FrameBytes());
    std::mt19937 rng(seed);
    for (uint8_t& b : frame)
        b = static_cast<uint8_t>(rng());
    return frame;
}

// Linear interpolation of one chroma plane at luma position (x, y), from the
// sample positions directly, edges held: the reference for ToPicture.
int ReferenceUp(const std::vector<uint8_t>& plane, int cw, int ch, int x, int y, bool centredX, bool centredY)
{
    auto weights = [](int pos, int count, bool centred, int& i0, int& i1, double& f) {
        // Sample i sits at luma position 2i (+ 1/2 when centred). Take the
        // last sample at or before pos and the fraction towards the next.
        const double s = (pos - (centred ? 0.5 : 0.0)) / 2.0;
        const int base = static_cast<int>(std::floor(s));
        f = s - base;
        i0 = std::clamp(base, 0, count - 1);
        i1 = std::clamp(base + 1, 0, count - 1);
    };
    int x0, x1, y0, y1;
    double fx, fy;
    weights(x, cw, centredX, x0, x1, fx);
    weights(y, ch, centredY, y0, y1, fy);
    auto at = [&](int i, int j) { return double(plane[size_t(j) * cw + i]); };
    const double v = (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x1, y0)) + fy * ((1 - fx) * at(x0, y1) + fx * at(x1, y1));
    return static_cast<int>(std::floor(v + 0.5));
}

bool CentredX(Y4mChroma c)
{
    return c == Y4mChroma::C420Jpeg;
}

bool CentredY(Y4mChroma c)
{
    return c != Y4mChroma::C420Paldv;
}

} // namespace

// ---- 4:4:4 ---------------------------------------------------------------------------

TEST(FrameConvert444, PlanesBecomePixelsAndComeBack)
{
    const Y4mHeader h = MakeY4mHeader(3, 2, Y4mChroma::C444);
    const std::vector<uint8_t> frame = RandomFrame(h, 1);
    const FrameConverter conv(h);
    EXPECT_EQ(conv.Stride(), 12u); // 9 bytes padded to 12
    EXPECT_EQ(+conv.PictureHeader().biBitCount, 24);
    EXPECT_EQ(+conv.PictureHeader().biCompression, colorcorrect::YUV_COMPRESSION);
    EXPECT_EQ(+conv.PictureHeader().dwFlags, 0u);
    std::vector<uint8_t> picture(conv.PictureBytes(), 0xEE);
    conv.ToPicture(frame.data(), picture.data());
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const uint8_t* p = picture.data() + 12 * y + 3 * x;
            const size_t i = size_t(3 * y + x);
            EXPECT_EQ(p[0], frame[i]);
            EXPECT_EQ(p[1], frame[6 + i]);
            EXPECT_EQ(p[2], frame[12 + i]);
        }
        for (int pad = 9; pad < 12; ++pad)
            EXPECT_EQ(picture[size_t(12 * y + pad)], 0) << "padding";
    }
    std::vector<uint8_t> back(frame.size(), 0);
    conv.FromPicture(picture.data(), picture.data(), back.data(), 0, 255);
    EXPECT_EQ(back, frame);
}

TEST(FrameConvert444, AlphaIsTheFourthByteAndIsLeftInThePlane)
{
    const Y4mHeader h = MakeY4mHeader(2, 2, Y4mChroma::C444Alpha);
    const std::vector<uint8_t> frame = RandomFrame(h, 2);
    const FrameConverter conv(h);
    EXPECT_EQ(+conv.PictureHeader().biBitCount, 32);
    std::vector<uint8_t> picture(conv.PictureBytes());
    conv.ToPicture(frame.data(), picture.data());
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(picture[4 * i + 3], frame[12 + i]);
    std::vector<uint8_t> back = frame;
    for (size_t i = 0; i < 4; ++i)
        picture[4 * i + 3] = 0; // whatever the picture says, the alpha plane stays
    conv.FromPicture(picture.data(), picture.data(), back.data(), 0, 255);
    EXPECT_EQ(back, frame);
}

// ---- 4:2:0 up -------------------------------------------------------------------------

TEST(FrameConvert420, UpsamplingMatchesInterpolationAtTheSamplePositions)
{
    for (Y4mChroma c : k420) {
        for (auto [w, hgt] : {std::pair{8, 6}, std::pair{7, 5}, std::pair{1, 1}, std::pair{2, 3}}) {
            const Y4mHeader h = MakeY4mHeader(w, hgt, c);
            const std::vector<uint8_t> frame = RandomFrame(h, unsigned(w * 100 + hgt));
            const FrameConverter conv(h);
            std::vector<uint8_t> picture(conv.PictureBytes());
            conv.ToPicture(frame.data(), picture.data());
            const int cw = h.ChromaWidth(), ch = h.ChromaHeight();
            const std::vector<uint8_t> u(frame.begin() + long(h.LumaBytes()), frame.begin() + long(h.LumaBytes() + h.ChromaBytes()));
            const std::vector<uint8_t> v(frame.begin() + long(h.LumaBytes() + h.ChromaBytes()), frame.end());
            for (int y = 0; y < hgt; ++y)
                for (int x = 0; x < w; ++x) {
                    const uint8_t* p = picture.data() + conv.Stride() * size_t(y) + 3 * size_t(x);
                    ASSERT_EQ(p[0], frame[size_t(y * w + x)]);
                    ASSERT_EQ(p[1], ReferenceUp(u, cw, ch, x, y, CentredX(c), CentredY(c)))
                        << colorcorrect::formats::Y4mChromaTag(c) << " " << w << "x" << hgt << " at " << x << "," << y;
                    ASSERT_EQ(p[2], ReferenceUp(v, cw, ch, x, y, CentredX(c), CentredY(c)));
                }
        }
    }
}

TEST(FrameConvert420, CentredExampleByHand)
{
    // 4 x 2 luma, chroma 2 x 1: U = 0, 64. Columns interpolate as
    // 0, 3/4*0 + 1/4*64 = 16, 3/4*64 + 1/4*0 = 48, 64.
    Y4mHeader h = MakeY4mHeader(4, 2, Y4mChroma::C420Jpeg);
    std::vector<uint8_t> frame(h.FrameBytes(), 128);
    frame[8] = 0;
    frame[9] = 64;
    const FrameConverter conv(h);
    std::vector<uint8_t> picture(conv.PictureBytes());
    conv.ToPicture(frame.data(), picture.data());
    const int want[4] = {0, 16, 48, 64};
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(picture[conv.Stride() * size_t(row) + 3 * size_t(x) + 1], want[x]) << x;
}

// ---- 4:2:0 down --------------------------------------------------------------------------

TEST(FrameConvert420, UnchangedPicturesLeaveChromaExactlyAsItWas)
{
    for (Y4mChroma c : k420) {
        const Y4mHeader h = MakeY4mHeader(9, 7, c);
        const std::vector<uint8_t> frame = RandomFrame(h, 3);
        const FrameConverter conv(h);
        std::vector<uint8_t> before(conv.PictureBytes()), after(conv.PictureBytes());
        conv.ToPicture(frame.data(), before.data());
        after = before;
        std::vector<uint8_t> back = frame;
        conv.FromPicture(before.data(), after.data(), back.data(), 0, 255);
        EXPECT_EQ(back, frame) << colorcorrect::formats::Y4mChromaTag(c);
    }
}

TEST(FrameConvert420, AUniformChangeMovesEverySample)
{
    for (Y4mChroma c : k420) {
        const Y4mHeader h = MakeY4mHeader(6, 4, c);
        std::vector<uint8_t> frame(h.FrameBytes(), 100);
        const FrameConverter conv(h);
        std::vector<uint8_t> before(conv.PictureBytes()), after;
        conv.ToPicture(frame.data(), before.data());
        after = before;
        for (size_t row = 0; row < 4; ++row)
            for (size_t x = 0; x < 6; ++x) {
                after[conv.Stride() * row + 3 * x + 0] = 7;
                after[conv.Stride() * row + 3 * x + 1] += 10;
                after[conv.Stride() * row + 3 * x + 2] -= 20;
            }
        conv.FromPicture(before.data(), after.data(), frame.data(), 0, 255);
        for (size_t i = 0; i < h.LumaBytes(); ++i)
            EXPECT_EQ(frame[i], 7);
        for (size_t i = 0; i < h.ChromaBytes(); ++i) {
            EXPECT_EQ(frame[h.LumaBytes() + i], 110);
            EXPECT_EQ(frame[h.LumaBytes() + h.ChromaBytes() + i], 80);
        }
    }
}

TEST(FrameConvert420, ChangeOfOnePixelSpreadsWithTheSitingWeights)
{
    struct Case {
        Y4mChroma chroma;
        int weights[3][3]; // [j][i]: weight of luma (2, 2) in chroma sample (i, j)
        int total;         // sum of all weights of one sample
    };
    // Centred taps 1 3 3 1 cover luma 2i-1..2i+2: luma 2 has weight 1 in
    // sample 0 and 3 in sample 1. Co-sited taps 1 2 1 cover 2i-1..2i+1: luma 2
    // has weight 2 in sample 1 only.
    const Case cases[] = {
        {Y4mChroma::C420Jpeg, {{1, 3, 0}, {3, 9, 0}, {0, 0, 0}}, 64},
        {Y4mChroma::C420Paldv, {{0, 0, 0}, {0, 4, 0}, {0, 0, 0}}, 16},
        {Y4mChroma::C420Mpeg2, {{0, 2, 0}, {0, 6, 0}, {0, 0, 0}}, 32},
    };
    for (const Case& k : cases) {
        const Y4mHeader h = MakeY4mHeader(6, 6, k.chroma);
        std::vector<uint8_t> frame(h.FrameBytes(), 128);
        const FrameConverter conv(h);
        std::vector<uint8_t> before(conv.PictureBytes());
        conv.ToPicture(frame.data(), before.data());
        std::vector<uint8_t> after = before;
        after[conv.Stride() * 2 + 3 * 2 + 1] += 64; // U of luma pixel (2, 2)
        conv.FromPicture(before.data(), after.data(), frame.data(), 0, 255);
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) {
                // Rounded half up.
                const int share = (64 * k.weights[j][i] + k.total / 2) / k.total;
                EXPECT_EQ(frame[h.LumaBytes() + size_t(j * 3 + i)], 128 + share)
                    << colorcorrect::formats::Y4mChromaTag(k.chroma) << " sample " << i << "," << j;
            }
    }
}

TEST(FrameConvert420, ResultIsLimitedToTheClippingRange)
{
    const Y4mHeader h = MakeY4mHeader(4, 4, Y4mChroma::C420Jpeg);
    std::vector<uint8_t> frame(h.FrameBytes(), 250);
    frame[h.LumaBytes()] = 5;
    const FrameConverter conv(h);
    std::vector<uint8_t> before(conv.PictureBytes());
    conv.ToPicture(frame.data(), before.data());
    conv.FromPicture(before.data(), before.data(), frame.data(), 16, 240);
    EXPECT_EQ(frame[h.LumaBytes()], 16);
    EXPECT_EQ(frame[h.LumaBytes() + 1], 240);
    EXPECT_EQ(frame[0], 250); // luma is not limited here: the correction's own tables did that
}
