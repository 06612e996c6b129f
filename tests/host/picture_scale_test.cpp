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

TEST(PictureScale, BothPassOrdersGiveTheSameBytes)
{
    using colorcorrect::ScaleOrder;
    unsigned state = 777;
    auto next = [&] { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7FFF; };
    for (int round = 0; round < 300; ++round) {
        const int sw = 1 + next() % 12, sh = 1 + next() % 12;
        const int dw = 1 + next() % 12, dh = 1 + next() % 12;
        const int sbits = next() % 2 ? 24 : 32, dbits = next() % 2 ? 24 : 32;
        const size_t sStride = sbits == 24 ? (sw * 3 + 3) & ~3 : sw * 4;
        const size_t dStride = dbits == 24 ? (dw * 3 + 3) & ~3 : dw * 4;
        std::vector<BYTE> src(sStride * sh);
        for (BYTE& b : src)
            b = static_cast<BYTE>(next());
        std::vector<BYTE> rowsFirst(dStride * dh, 0xAB), columnsFirst(dStride * dh, 0xAB);
        const PixelLayout from{sw, sh, sbits, sStride}, to{dw, dh, dbits, dStride};
        ScalePixels(src.data(), from, rowsFirst.data(), to, ScaleOrder::kRowsFirst);
        ScalePixels(src.data(), from, columnsFirst.data(), to, ScaleOrder::kColumnsFirst);
        ASSERT_EQ(rowsFirst, columnsFirst)
            << sw << "x" << sh << "x" << sbits << " -> " << dw << "x" << dh << "x" << dbits;
    }
}

TEST(PictureScale, CheaperOrderStaysLinearForEveryShape)
{
    using colorcorrect::CheaperScaleOrder;
    using colorcorrect::ScaleCost;
    using colorcorrect::ScaleOrder;
    // A tall, narrow picture scaled to a wide, flat one: rows first would add
    // up srcH * dstW products (4.3e9 here), columns first a few per pixel.
    const PixelLayout tall{1, 65536, 24, 4}, wide{65536, 1, 24, 65536 * 3};
    EXPECT_EQ(CheaperScaleOrder(tall, wide), ScaleOrder::kColumnsFirst);
    EXPECT_GT(ScaleCost(tall, wide, ScaleOrder::kRowsFirst), uint64_t{4'000'000'000});
    EXPECT_EQ(CheaperScaleOrder(wide, tall), ScaleOrder::kRowsFirst);

    const int sides[] = {1, 2, 3, 17, 640, 4096, 65536, 1 << 20};
    for (int sw : sides)
        for (int sh : sides)
            for (int dw : sides)
                for (int dh : sides) {
                    const PixelLayout from{sw, sh, 32, uint64_t(sw) * 4};
                    const PixelLayout to{dw, dh, 32, uint64_t(dw) * 4};
                    const uint64_t pixels = uint64_t(sw) * sh + uint64_t(dw) * dh;
                    EXPECT_LE(ScaleCost(from, to, CheaperScaleOrder(from, to)), 2 * pixels + 4)
                        << sw << "x" << sh << " -> " << dw << "x" << dh;
                }
}

TEST(PictureScale, TallColumnToWideRowAveragesTheColumn)
{
    // Every destination pixel covers a slice of the single column's width and
    // all of its height: each is the column's mean. This shape took minutes
    // before the passes could run columns first.
    constexpr int n = 20000;
    std::vector<BYTE> src(size_t{n} * 4, 0);
    uint64_t sum[3] = {0, 0, 0};
    for (int y = 0; y < n; ++y)
        for (int c = 0; c < 3; ++c) {
            const BYTE v = static_cast<BYTE>((y * (c + 3) + c * 50) % 251);
            src[size_t(y) * 4 + c] = v;
            sum[c] += v;
        }
    std::vector<BYTE> dst(size_t{n} * 3);
    ScalePixels(src.data(), PixelLayout{1, n, 24, 4}, dst.data(), PixelLayout{n, 1, 24, n * 3});
    for (int c = 0; c < 3; ++c) {
        const int mean = static_cast<int>((sum[c] + n / 2) / n);
        for (int x = 0; x < n; ++x)
            ASSERT_EQ(dst[size_t(x) * 3 + c], mean) << "x " << x << " byte " << c;
    }
}
