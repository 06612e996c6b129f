// The host's pictures (making, converting, scaling and cutting them) and small services.
#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "colorcorrect/host/picture_scale.h"
#include "support/picture_compare.h"
#include "support/picture_pattern.h"

using colorcorrect::PixelLayout;
using colorcorrect::Utf8FromWide;
using colorcorrect::WideFromUtf8;
using colorcorrect::ScaleOrder;
using colorcorrect::YUV_COMPRESSION;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::PixelAt;
using colorcorrect::test::PixelIs;
using colorcorrect::test::SetPixel;

namespace {

// Header fields are packed: read them by value.
tagYUVBMINFOHEADER Info(const CVoraDib& dib)
{
    return static_cast<const tagDIBINFO*>(dib)->bmiHeader;
}

} // namespace

TEST(VoraDib, NewPicturesAreBlackWithTheirHeader)
{
    for (bool yuv : {false, true})
        for (int bits : {24, 32}) {
            CVoraDib dib;
            ASSERT_EQ(yuv ? dib.AllocYUV(5, 3, bits, 9) : dib.Alloc(5, 3, bits, 9), 1);
            const tagDIBINFO* hd = dib;
            const tagYUVBMINFOHEADER bi = Info(dib);
            const int64_t stride = bits == 24 ? 16 : 20;
            EXPECT_EQ(std::vector<int64_t>({hd->bfType, hd->bfSize, hd->bfOffBits, bi.biSize, bi.biWidth, bi.biHeight,
                                            bi.biPlanes, bi.biBitCount, bi.biCompression, bi.biSizeImage, bi.dwFlags,
                                            bi.dwFieldOrder}),
                      std::vector<int64_t>({0x4D42, 128 + 3 * stride, 128, 40, 5, 3, 1, bits, yuv ? YUV_COMPRESSION : 0,
                                            3 * stride, 9, 0}));
            EXPECT_EQ(reinterpret_cast<uintptr_t>(static_cast<const BYTE*>(dib)) % 64, 0u);
            EXPECT_EQ(static_cast<const BYTE*>(dib)[15], bits == 24 ? 0 : 255) << "row padding, or the fourth byte";
            std::vector<int> black = {0, yuv ? 128 : 0, yuv ? 128 : 0, 255};
            black.resize(bits / 8u);
            for (int i = 0; i < 15; ++i)
                ASSERT_EQ(PixelAt(dib, i % 5, i / 5), black) << (yuv ? "YUV " : "RGB ") << bits;
            // A block cut below what its header describes makes the picture empty.
            ASSERT_EQ(dib.GetMemory().Realloc(bits == 24 ? 60 : 150, 0, 1), 1);
            EXPECT_EQ(static_cast<const BYTE*>(std::as_const(dib)), nullptr);
            EXPECT_EQ(dib.GetWidth() + dib.GetHeight(), 0);
        }
}

// Realloc and SetDIB make a new block: the picture's own header may be the source.
TEST(VoraDib, ReallocAndSetDibKeepCompressionAndFieldOrderOnAFreshBlock)
{
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(5, 3, 24, colorcorrect::YUVBM_PREMULTIPLIED), 1);
    colorcorrect::test::FillPattern(dib, 3);
    static_cast<tagDIBINFO*>(dib)->bmiHeader.dwFieldOrder = 1;
    const CVoraDib before = dib;
    ASSERT_EQ(dib.Realloc(0, 0, 32, 0), 1);
    EXPECT_EQ(std::vector<uint32_t>({Info(dib).biCompression, Info(dib).dwFlags, Info(dib).dwFieldOrder}),
              std::vector<uint32_t>({YUV_COMPRESSION, 0, 1}));
    std::vector<int> corner = PixelAt(before, 4, 2);
    corner.push_back(255);
    EXPECT_EQ(PixelAt(dib, 4, 2), corner);
    ASSERT_EQ(dib.Realloc(0, 0, 24, colorcorrect::YUVBM_PREMULTIPLIED), 1);
    EXPECT_TRUE(PicturesEqual(before, dib));
    EXPECT_EQ(Info(dib).dwFlags, colorcorrect::YUVBM_PREMULTIPLIED);
    CVoraDib own;
    ASSERT_EQ(own.Alloc(4, 2, 24, 0), 1);
    colorcorrect::test::FillUniform(own, {40, 50, 60});
    SetPixel(own, 0, 0, {0, 0, 0});
    ASSERT_EQ(own.SetDIB(own, 2, 1, 24, 0), 1);
    EXPECT_TRUE(PixelIs(own, 0, 0, {30, 38, 45})); // three quarters of the values
    EXPECT_TRUE(PixelIs(own, 1, 0, {40, 50, 60}));
}

TEST(VoraDib, GetDibCutsRectanglesCountedFromTheTop)
{
    const int cases[][6] = {// x, y, w, h, then the result's width and height
                            {1, 0, 2, 2, 2, 2}, {-1, -1, 3, 3, 2, 2}, {3, 2, 5, 5, 1, 1}, {4, 0, 2, 2, 0, 0},
                            {0, 0, INT_MAX, INT_MAX, 4, 3}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0, 0},
                            {0, 3, 2, 2, 0, 0}, {-2, 0, 2, 2, 0, 0}, {0, 0, 0, 2, 0, 0}, {0, 0, 2, -1, 0, 0}};
    CVoraDib dib;
    ASSERT_EQ(dib.AllocYUV(4, 3, 32, 5), 1);
    static_cast<tagDIBINFO*>(dib)->bmiHeader.dwFieldOrder = 1;
    for (int i = 0; i < 12; ++i)
        SetPixel(dib, i % 4, i / 4, {i % 4, i / 4, 9, 7});
    for (const auto& [x, y, w, h, width, height] : cases) {
        const CVoraDib part = dib.GetDIB(x, y, w, h);
        ASSERT_EQ(std::vector({part.GetWidth(), part.GetHeight()}), std::vector({width, height})) << x << ", " << y;
        if (width == 0)
            continue;
        EXPECT_EQ(std::vector<uint32_t>({Info(part).dwFlags, Info(part).dwFieldOrder}), std::vector<uint32_t>({5, 1}));
        // Top-left and bottom-right corners as seen on screen.
        const int left = std::max(x, 0), top = std::max(y, 0);
        EXPECT_TRUE(PixelIs(part, 0, height - 1, {left, 2 - top, 9, 7}));
        EXPECT_TRUE(PixelIs(part, width - 1, 0, {left + width - 1, 3 - top - height, 9, 7}));
    }
}

// ToYUV then ToRGB gives every colour back within one step; the fourth byte
// stays and each conversion leaves a picture of its target format.
TEST(VoraDib, EveryColourComesBackThroughYuvWithinOneStep)
{
    CVoraDib dib;
    for (int r = 0; r < 256; ++r) {
        ASSERT_EQ(dib.Alloc(257, 256, 32, 0), 1); // every (G, B) pair at an odd width
        BYTE* p = dib;
        for (int i = 0; i < 257 * 256; ++i, p += 4)
            p[0] = BYTE(i / 257), p[1] = BYTE(i % 257), p[2] = BYTE(r), p[3] = BYTE(i % 251);
        ASSERT_EQ(dib.ToYUV() + dib.ToYUV(), 2);
        ASSERT_EQ(colorcorrect::ToRGB(dib) + colorcorrect::ToRGB(dib), 2);
        ASSERT_EQ(Info(dib).biCompression, 0u);
        p = dib;
        for (int i = 0; i < 257 * 256; ++i, p += 4)
            if (std::abs(p[0] - i / 257) > 1 || std::abs(p[1] - i % 257 % 256) > 1 || std::abs(p[2] - r) > 1 ||
                p[3] != i % 251)
                FAIL() << r << ", " << i % 257 % 256 << ", " << i / 257 << " came back as " << int(p[2]) << ", "
                       << int(p[1]) << ", " << int(p[0]) << ", alpha " << int(p[3]);
    }
}

// Both pass orders, straight from the definition: on a common axis source pixel
// i spans [i * dst, (i + 1) * dst) and destination pixel d spans [d * src, (d + 1) * src).
TEST(PictureScale, MatchesTheDirectAreaAverageForEverySmallShape)
{
    auto overlap = [](int a0, int a1, int b0, int b1) { return std::max(0, std::min(a1, b1) - std::max(a0, b0)); };
    unsigned state = 12345;
    for (const auto& [sbits, dbits] : {std::pair(24, 32), std::pair(32, 32), std::pair(32, 24)})
        for (int shape = 0; shape < 2 * 6 * 4 * 6 * 4; ++shape) {
            const int sw = 1 + shape % 6, sh = 1 + shape / 6 % 4, dw = 1 + shape / 24 % 6, dh = 1 + shape / 144 % 4;
            const ScaleOrder order = shape < 576 ? ScaleOrder::kRowsFirst : ScaleOrder::kColumnsFirst;
            const PixelLayout from{sw, sh, sbits, colorcorrect::RowStride(sw, sbits)},
                to{dw, dh, dbits, colorcorrect::RowStride(dw, dbits)};
            const unsigned sp = sbits / 8, dp = dbits / 8;
            std::vector<BYTE> src(from.stride * sh), dst(to.stride * dh, 0xAB);
            for (BYTE& b : src)
                b = static_cast<BYTE>((state = state * 1103515245u + 12345u) >> 16);
            colorcorrect::ScalePixels(src.data(), from, dst.data(), to, order);
            for (int i = 0; i < dw * dh * int(dp); ++i) {
                const int dx = i / dp % dw, dy = i / dp / dw, c = i % dp;
                long long sum = 0, total = sw * sh;
                for (int sy = 0; sy < sh; ++sy)
                    for (int sx = 0; sx < sw; ++sx)
                        sum += overlap(sx * dw, (sx + 1) * dw, dx * sw, (dx + 1) * sw) *
                               overlap(sy * dh, (sy + 1) * dh, dy * sh, (dy + 1) * sh) *
                               (c < int(sp) ? src[sy * from.stride + sx * sp + c] : 255);
                ASSERT_EQ(dst[dy * to.stride + dx * dp + c], (sum + total / 2) / total)
                    << sw << "x" << sh << "x" << sbits << " -> " << dw << "x" << dh << "x" << dbits << ", byte " << i;
            }
            for (size_t i = dw * dp; i < to.stride; ++i)
                ASSERT_EQ(dst[i], 0xAB) << "row padding is not written";
        }
}

// A tall, narrow picture scaled to a wide, flat one once took minutes: rows
// first adds up srcH * dstW products. The order chosen stays linear.
TEST(PictureScale, CheaperOrderStaysLinearForEveryShape)
{
    const int sides[] = {1, 2, 3, 17, 640, 4096, 65536, 1 << 20};
    for (int i = 0; i < 8 * 8 * 8 * 8; ++i) {
        const int sw = sides[i % 8], sh = sides[i / 8 % 8], dw = sides[i / 64 % 8], dh = sides[i / 512];
        const PixelLayout from{sw, sh, 32, uint64_t(sw) * 4}, to{dw, dh, 32, uint64_t(dw) * 4};
        ASSERT_LE(ScaleCost(from, to, CheaperScaleOrder(from, to)), 2 * (uint64_t(sw) * sh + uint64_t(dw) * dh) + 4)
            << sw << "x" << sh << " -> " << dw << "x" << dh;
    }
    CVoraDib column, row;
    ASSERT_EQ(column.Alloc(1, 20000, 24, 0), 1);
    for (int y = 1; y < 20000; y += 2)
        SetPixel(column, 0, y, {255, 255, 255});
    ASSERT_EQ(row.SetDIB(column, 20000, 1, 24, 0), 1);
    EXPECT_TRUE(PixelIs(row, 0, 0, {128, 128, 128}) && PixelIs(row, 19999, 0, {128, 128, 128})) << "the column's mean";
}

TEST(HostServices, WideTextKeepsEveryByteAndFileNamesStartAfterTheLastSeparator)
{
    // A lone continuation byte, a cut sequence, an overlong '/', an encoded
    // surrogate and a byte that never starts a character.
    const std::string bytes = "a\x80" "b\xE2\x82" "c\xC0\xAF" "d\xED\xA0\x80" "e\xFF";
    EXPECT_EQ(WideFromUtf8(bytes), std::wstring({L'a', 0xDC80, L'b', 0xDCE2, 0xDC82, L'c', 0xDCC0, 0xDCAF, L'd',
                                                 0xDCED, 0xDCA0, 0xDC80, L'e', 0xDCFF}));
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(bytes)), bytes);
    EXPECT_EQ(Utf8FromWide(std::wstring{wchar_t(0xD800), L'x', wchar_t(0xDC10), wchar_t(0x110000)}), "?x??");
    const wchar_t* path = L"C:\\Host/bin\\RESOURCE/X.BMP";
    const wchar_t* folder = L"/opt/";
    EXPECT_EQ(FU_FindFilename(path), path + 21) << "after the last separator of either kind";
    EXPECT_EQ(FU_FindFilename(folder), folder + 5);
    EXPECT_TRUE(FU_FindFilename(L"x.exe") == nullptr && FU_FindFilename(nullptr) == nullptr);
}

TEST(HostServices, MemoryBlocksAreZeroedAndKeptOnRefusal)
{
    CPMemory m;
    ASSERT_EQ(m.Realloc(100), 1);
    std::fill_n(static_cast<BYTE*>(m), 100, BYTE{7});
    ASSERT_EQ(m.Realloc(300, 0, 1) + m.Realloc(0xFFFFFFFF), 2); // all ones keeps size and content
    const BYTE* p = m;
    EXPECT_EQ(std::vector<int>({p[0], p[99], p[100], p[299]}), std::vector<int>({7, 7, 0, 0})) << "kept, then zero";
    colorcorrect::SetBlockAllocationBudget(0);
    EXPECT_EQ(m.Realloc(64, 0, 1), 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_EQ(std::pair(static_cast<const BYTE*>(m), m.GetSize()), std::pair(p, 300ul));
    ASSERT_EQ(m.Realloc(40, 0, 0), 1);
    EXPECT_EQ(static_cast<BYTE*>(m)[0], 0) << "not kept";
}

// A copy into a block of the same size reuses it (no allocation, so it works
// while allocations are refused); any other copy is a fresh, independent block.
TEST(HostServices, CopiesReuseABlockOfTheSameSizeOnly)
{
    CPMemory a, b, small;
    ASSERT_EQ(a.Realloc(64) + b.Realloc(64) + small.Realloc(16), 3);
    std::fill_n(static_cast<BYTE*>(a), 64, BYTE{5});
    const BYTE* kept = b;
    colorcorrect::SetBlockAllocationBudget(0);
    b = a;
    colorcorrect::SetBlockAllocationBudget(-1);
    EXPECT_EQ(std::pair(static_cast<const BYTE*>(b), b.GetSize()), std::pair(kept, 64ul));
    EXPECT_EQ(static_cast<const BYTE*>(b)[63], 5);
    small = a;
    ASSERT_EQ(small.GetSize(), 64ul);
    static_cast<BYTE*>(small)[0] = 9;
    EXPECT_EQ(static_cast<const BYTE*>(a)[0], 5) << "the copy shares nothing";
}
