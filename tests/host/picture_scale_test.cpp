#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <vector>

#include "colorcorrect/host/picture_scale.h"

using colorcorrect::PixelLayout;
using colorcorrect::ScalePixels;

TEST(PictureScale, TwoDimensionalBoxWeights)
{
    // 3 x 3 -> 2 x 2: along each axis the weights are (2, 1, 0) and (0, 1, 2).
    const int v[3][3] = {{0, 30, 90}, {30, 60, 120}, {90, 120, 255}};
    std::vector<BYTE> src(3 * 12);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            for (int c = 0; c < 4; ++c)
                src[y * 12 + x * 4 + c] = static_cast<BYTE>(c == 1 ? 255 - v[y][x] : v[y][x]);
    std::vector<BYTE> dst(2 * 8, 0xAB);
    ScalePixels(src.data(), PixelLayout{3, 3, 32, 12}, dst.data(), PixelLayout{2, 2, 32, 8});
    // (0, 0): 180 / 9; (1, 0) and (0, 1): 720 / 9; (1, 1): 1560 / 9 = 173.3
    const int expected[2][2] = {{20, 80}, {80, 173}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const BYTE* p = &dst[y * 8 + x * 4];
            EXPECT_EQ(p[0], expected[y][x]) << "x " << x << " row " << y;
            EXPECT_EQ(p[1], 255 - expected[y][x])
                << "x " << x << " row " << y;
            EXPECT_EQ(p[3], expected[y][x]) << "x " << x << " row " << y;
        }
}

TEST(PictureScale, LeavesDestinationPaddingAlone)
{
    const std::vector<BYTE> src = {10, 20, 30, 40, 50, 60, 0, 0};
    std::vector<BYTE> dst(8, 0xAB);
    ScalePixels(src.data(), PixelLayout{2, 1, 24, 8}, dst.data(), PixelLayout{1, 1, 24, 8});
    EXPECT_EQ(dst[0], 25);
    EXPECT_EQ(dst[1], 35);
    EXPECT_EQ(dst[2], 45);
    for (int i = 3; i < 8; ++i)
        EXPECT_EQ(dst[i], 0xAB) << "byte " << i;
}

TEST(PictureScale, FourthByteIsOpaqueWhenOnlyTheDestinationHasIt)
{
    const std::vector<BYTE> src = {1, 2, 3, 4, 5, 6, 0, 0};
    std::vector<BYTE> same(8, 0), half(4, 0);
    ScalePixels(src.data(), PixelLayout{2, 1, 24, 8}, same.data(), PixelLayout{2, 1, 32, 8});
    EXPECT_EQ(same, (std::vector<BYTE>{1, 2, 3, 255, 4, 5, 6, 255}));
    ScalePixels(src.data(), PixelLayout{2, 1, 24, 8}, half.data(), PixelLayout{1, 1, 32, 4});
    EXPECT_EQ(half, (std::vector<BYTE>{3, 4, 5, 255})); // 2.5, 3.5, 4.5 round up
}

TEST(PictureScale, EqualSizesCopyExactly)
{
    std::vector<BYTE> src(2 * 8);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<BYTE>(i * 37);
    std::vector<BYTE> dst(2 * 8, 0);
    ScalePixels(src.data(), PixelLayout{2, 2, 32, 8}, dst.data(), PixelLayout{2, 2, 32, 8});
    EXPECT_EQ(dst, src);
    std::vector<BYTE> narrow(2 * 8, 0xAB);
    ScalePixels(src.data(), PixelLayout{2, 2, 32, 8}, narrow.data(), PixelLayout{2, 2, 24, 8});
    EXPECT_EQ(narrow[3], src[4]);
    EXPECT_EQ(narrow[6], 0xAB); // padding
    EXPECT_EQ(narrow[8 + 5], src[8 + 6]);
}

namespace {

// Overlap of [a0, a1) and [b0, b1).
long long Overlap(long long a0, long long a1, long long b0, long long b1)
{
    const long long lo = a0 > b0 ? a0 : b0, hi = a1 < b1 ? a1 : b1;
    return hi > lo ? hi - lo : 0;
}

} // namespace

TEST(PictureScale, MatchesDirectAreaAverageForManySizes)
{
    // Straight from the definition: on a common axis source pixel i spans
    // [i * dst, (i + 1) * dst) and destination pixel d spans [d * src, (d + 1) * src).
    unsigned state = 12345;
    auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 16) & 0xFF; };
    for (int sw = 1; sw <= 7; ++sw)
        for (int sh = 1; sh <= 5; ++sh)
            for (int dw = 1; dw <= 7; ++dw)
                for (int dh = 1; dh <= 5; ++dh) {
                    const size_t sStride = static_cast<size_t>((sw * 3 + 3) & ~3);
                    std::vector<BYTE> src(sStride * sh);
                    for (BYTE& b : src)
                        b = static_cast<BYTE>(next());
                    const size_t dStride = static_cast<size_t>(dw * 4);
                    std::vector<BYTE> dst(dStride * dh);
                    ScalePixels(src.data(), PixelLayout{sw, sh, 24, sStride}, dst.data(),
                                PixelLayout{dw, dh, 32, dStride});
                    for (int dy = 0; dy < dh; ++dy)
                        for (int dx = 0; dx < dw; ++dx)
                            for (int c = 0; c < 3; ++c) {
                                long long sum = 0;
                                for (int sy = 0; sy < sh; ++sy)
                                    for (int sx = 0; sx < sw; ++sx)
                                        sum += Overlap(sx * dw, (sx + 1) * dw, dx * sw, (dx + 1) * sw) *
                                               Overlap(sy * dh, (sy + 1) * dh, dy * sh, (dy + 1) * sh) *
                                               src[sy * sStride + sx * 3 + c];
                                const long long total = static_cast<long long>(sw) * sh;
                                ASSERT_EQ(dst[dy * dStride + dx * 4 + c], (sum + total / 2) / total)
                                    << sw << "x" << sh << " -> " << dw << "x" << dh << " at (" << dx
                                    << ", " << dy << ") byte " << c;
                            }
                }
}
