#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

using colorcorrect::ToRGB;
using colorcorrect::YUV_COMPRESSION;

namespace {

// A w x h YUV picture whose pixel (x, row) holds the given bytes.
CVoraDib YuvPicture(int w, int h, int bits, BYTE y, BYTE u, BYTE v)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(w, h, bits, 0), 1);
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    BYTE* row = dib;
    for (int r = 0; r < h; ++r, row += stride)
        for (int x = 0; x < w; ++x) {
            BYTE* p = row + x * step;
            p[0] = y;
            p[1] = u;
            p[2] = v;
            if (bits == 32)
                p[3] = static_cast<BYTE>(10 + x);
        }
    return dib;
}

} // namespace

TEST(PictureRgb, ConvertsEveryPixelWithTheLibraryFormulas)
{
    // Y 76, U -43, V 127: R floor((38912 - 86 + 91313 + 256) / 512) = 254,
    // G 0 after clamping, B -1 clamped to 0.
    CVoraDib dib = YuvPicture(5, 3, 24, 76, 128 - 43, 255);
    ASSERT_EQ(ToRGB(dib), 1);
    const tagDIBINFO* info = dib;
    EXPECT_EQ(uint32_t{info->bmiHeader.biCompression}, 0u);
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    const BYTE* row = dib;
    for (int r = 0; r < 3; ++r, row += stride)
        for (int x = 0; x < 5; ++x) {
            const BYTE* p = row + x * step;
            BYTE er = 0, eg = 0, eb = 0;
            colorcorrect::YuvBytesToRgbBytes(76, 128 - 43, 255, er, eg, eb);
            ASSERT_EQ(p[0], eb) << "blue at x " << x << " row " << r;
            ASSERT_EQ(p[1], eg) << "green at x " << x << " row " << r;
            ASSERT_EQ(p[2], er) << "red at x " << x << " row " << r;
        }
    EXPECT_EQ(row[-static_cast<int>(stride) + 2], 254);
}

TEST(PictureRgb, NeutralGreyAndAlphaAreKept)
{
    CVoraDib dib = YuvPicture(4, 2, 32, 128, 128, 128);
    ASSERT_EQ(ToRGB(dib), 1);
    const BYTE* p = dib;
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(p[4 * x + 0], 128);
        EXPECT_EQ(p[4 * x + 1], 128);
        EXPECT_EQ(p[4 * x + 2], 128);
        EXPECT_EQ(p[4 * x + 3], 10 + x) << "alpha of pixel " << x;
    }
}

TEST(PictureRgb, RgbPicturesStayAsTheyAre)
{
    CVoraDib dib;
    ASSERT_EQ(dib.Alloc(3, 3, 24, 0), 1);
    BYTE* p = dib;
    p[0] = 1;
    p[1] = 2;
    p[2] = 3;
    EXPECT_EQ(ToRGB(dib), 1);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[1], 2);
    EXPECT_EQ(p[2], 3);
}

TEST(PictureRgb, RefusesEmptyAndForeignPictures)
{
    CVoraDib empty;
    EXPECT_EQ(ToRGB(empty), 0);
    CVoraDib other = YuvPicture(2, 2, 24, 10, 20, 30);
    tagDIBINFO* info = other;
    info->bmiHeader.biCompression = 0x32595559u; // some other packed format
    EXPECT_EQ(ToRGB(other), 0);
    const BYTE* p = other;
    EXPECT_EQ(p[0], 10) << "a refused picture is not touched";
}

TEST(PictureRgb, CopiesAreNotChanged)
{
    const CVoraDib original = YuvPicture(2, 2, 24, 200, 100, 150);
    CVoraDib copy = original;
    ASSERT_EQ(ToRGB(copy), 1);
    const tagDIBINFO* info = original;
    EXPECT_EQ(uint32_t{info->bmiHeader.biCompression}, YUV_COMPRESSION);
    const BYTE* p = original;
    EXPECT_EQ(p[0], 200);
}
