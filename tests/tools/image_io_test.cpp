#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <colorcorrect/formats/image_io.h>
#include "support/picture_compare.h"

using colorcorrect::formats::DecodeImage;
using colorcorrect::formats::EncodeImage;
using colorcorrect::formats::EncodeOptions;
using colorcorrect::formats::ImageFormat;
using colorcorrect::formats::ImageFormatFromPath;
using colorcorrect::formats::RgbImage;
using colorcorrect::formats::RgbImageToYuvPicture;
using colorcorrect::formats::SniffImageFormat;
using colorcorrect::formats::YuvPictureToRgbImage;
using colorcorrect::test::PixelIs;

namespace {

RgbImage Pattern(int w, int h, int channels, unsigned seed)
{
    RgbImage image;
    image.width = w;
    image.height = h;
    image.channels = channels;
    image.pixels.resize(size_t(w) * h * channels);
    std::mt19937 rng(seed);
    for (uint8_t& b : image.pixels)
        b = static_cast<uint8_t>(rng());
    return image;
}

// First differing byte of two images, or success.
::testing::AssertionResult SameImage(const RgbImage& a, const RgbImage& b)
{
    if (a.width != b.width || a.height != b.height || a.channels != b.channels)
        return ::testing::AssertionFailure() << "shape " << a.width << "x" << a.height << "x" << a.channels
                                             << " vs " << b.width << "x" << b.height << "x" << b.channels;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        if (a.pixels[i] != b.pixels[i]) {
            const size_t px = i / a.channels;
            return ::testing::AssertionFailure() << "pixel (" << px % a.width << ", " << px / a.width
                                                 << ") channel " << i % a.channels << ": " << int(a.pixels[i])
                                                 << " vs " << int(b.pixels[i]);
        }
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Encode(const RgbImage& image, ImageFormat format, int quality = 95)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EncodeOptions options;
    options.jpegQuality = quality;
    EXPECT_TRUE(EncodeImage(image, format, options, bytes, error)) << error;
    return bytes;
}

RgbImage Decode(const std::vector<uint8_t>& bytes)
{
    RgbImage image;
    std::string error;
    EXPECT_TRUE(DecodeImage(bytes.data(), bytes.size(), image, error)) << error;
    return image;
}

std::string DecodeError(const std::vector<uint8_t>& bytes)
{
    RgbImage image;
    std::string error;
    if (DecodeImage(bytes.data(), bytes.size(), image, error))
        return {};
    return error;
}

// A PNG of any colour type and depth, written with libpng directly. `rows`
// holds the packed samples (big-endian at 16 bits).
struct PngSpec {
    int width, height, depth, colorType;
    std::vector<uint8_t> samples;
    std::vector<png_color> palette;
    std::vector<uint8_t> trnsAlpha; // palette transparency
};

void WriteToVector(png_structp png, png_bytep data, size_t n)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> MakePng(const PngSpec& spec)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const size_t rowBytes = spec.samples.size() / size_t(spec.height);
    std::vector<png_bytep> rows(size_t(spec.height));
    for (int y = 0; y < spec.height; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(spec.samples.data() + rowBytes * size_t(y));
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, WriteToVector, nullptr);
        png_set_IHDR(png, info, spec.width, spec.height, spec.depth, spec.colorType, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!spec.palette.empty())
            png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
        if (!spec.trnsAlpha.empty())
            png_set_tRNS(png, info, spec.trnsAlpha.data(), int(spec.trnsAlpha.size()), nullptr);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
    } else {
        out.clear();
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

uint32_t Crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

} // namespace

// ---- recognising formats --------------------------------------------------------

TEST(ImageFormats, RecognisedByContent)
{
    const RgbImage image = Pattern(3, 2, 3, 1);
    for (ImageFormat f : {ImageFormat::Png, ImageFormat::Jpeg, ImageFormat::Bmp}) {
        const std::vector<uint8_t> bytes = Encode(image, f);
        const auto found = SniffImageFormat(bytes.data(), bytes.size());
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(*found, f);
    }
    const uint8_t text[] = "YUV4MPEG2 W1";
    EXPECT_FALSE(SniffImageFormat(text, sizeof text).has_value());
    EXPECT_FALSE(SniffImageFormat(nullptr, 0).has_value());
}

TEST(ImageFormats, RecognisedByFileName)
{
    EXPECT_EQ(ImageFormatFromPath("a/b.PNG"), ImageFormat::Png);
    EXPECT_EQ(ImageFormatFromPath("x.jpg"), ImageFormat::Jpeg);
    EXPECT_EQ(ImageFormatFromPath("x.Jpeg"), ImageFormat::Jpeg);
    EXPECT_EQ(ImageFormatFromPath("x.bmp"), ImageFormat::Bmp);
    EXPECT_FALSE(ImageFormatFromPath("x.y4m").has_value());
    EXPECT_FALSE(ImageFormatFromPath("png").has_value());
}

// ---- lossless formats keep every byte --------------------------------------------

TEST(ImageRoundTrip, PngRgbAndRgba)
{
    for (int channels : {3, 4}) {
        const RgbImage image = Pattern(17, 9, channels, 2);
        EXPECT_TRUE(SameImage(image, Decode(Encode(image, ImageFormat::Png))));
    }
}

TEST(ImageRoundTrip, BmpRgbAndRgba)
{
    for (int channels : {3, 4}) {
        RgbImage image = Pattern(5, 7, channels, 3);
        if (channels == 4)
            image.pixels[3] = 17; // surely not all opaque
        EXPECT_TRUE(SameImage(image, Decode(Encode(image, ImageFormat::Bmp)))) << channels;
    }
}

TEST(ImageRoundTrip, OpaqueRgbaBmpComesBackAsRgb)
{
    RgbImage image = Pattern(4, 4, 4, 4);
    for (size_t i = 3; i < image.pixels.size(); i += 4)
        image.pixels[i] = 255;
    EXPECT_EQ(Decode(Encode(image, ImageFormat::Bmp)).channels, 3);
}

TEST(ImageRoundTrip, JpegAtFullQualityIsClose)
{
    RgbImage image;
    image.width = 16;
    image.height = 16;
    image.channels = 3;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) // a smooth picture: JPEG keeps it closely
            for (int c = 0; c < 3; ++c)
                image.pixels.push_back(static_cast<uint8_t>(40 + 8 * x + 4 * y + 20 * c));
    const RgbImage back = Decode(Encode(image, ImageFormat::Jpeg, 100));
    ASSERT_EQ(back.width, 16);
    ASSERT_EQ(back.height, 16);
    ASSERT_EQ(back.channels, 3);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        ASSERT_NEAR(image.pixels[i], back.pixels[i], 3) << "byte " << i;
}

TEST(ImageRoundTrip, JpegLeavesAlphaOut)
{
    const RgbImage back = Decode(Encode(Pattern(8, 8, 4, 5), ImageFormat::Jpeg));
    EXPECT_EQ(back.channels, 3);
}

// ---- PNG variants ---------------------------------------------------------------

TEST(ImagePngVariants, GrayBecomesRgb)
{
    const PngSpec spec{3, 1, 8, PNG_COLOR_TYPE_GRAY, {0, 100, 255}, {}, {}};
    const RgbImage image = Decode(MakePng(spec));
    ASSERT_EQ(image.channels, 3);
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{0, 0, 0, 100, 100, 100, 255, 255, 255}));
}

TEST(ImagePngVariants, SixteenBitSamplesAreRoundedToEightBits)
{
    // 0x8080 is exactly 128 * 257; 0x807F rounds to 128 as well, 0x807E... to 128;
    // 0x0080 = 128/65535 * 255 = 0.498 -> 0, 0x0081 -> 0.502 -> 1.
    const PngSpec spec{2, 1, 16, PNG_COLOR_TYPE_RGB, {0x80, 0x80, 0x00, 0x80, 0x00, 0x81, 0xFF, 0xFF, 0x00, 0x00, 0x7F, 0xFF}, {}, {}};
    const RgbImage image = Decode(MakePng(spec));
    ASSERT_EQ(image.channels, 3);
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{128, 0, 1, 255, 0, 127}));
}

TEST(ImagePngVariants, PaletteWithTransparencyBecomesRgba)
{
    PngSpec spec{2, 1, 8, PNG_COLOR_TYPE_PALETTE, {1, 0}, {}, {}};
    spec.palette = {{10, 20, 30}, {200, 100, 50}};
    spec.trnsAlpha = {0}; // entry 0 transparent, entry 1 opaque
    const RgbImage image = Decode(MakePng(spec));
    ASSERT_EQ(image.channels, 4);
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{200, 100, 50, 255, 10, 20, 30, 0}));
}

TEST(ImagePngVariants, OneBitGray)
{
    const PngSpec spec{8, 1, 1, PNG_COLOR_TYPE_GRAY, {0xA5}, {}, {}};
    const RgbImage image = Decode(MakePng(spec));
    ASSERT_EQ(image.width, 8);
    const uint8_t bits[8] = {1, 0, 1, 0, 0, 1, 0, 1};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(image.pixels[size_t(3 * x)], bits[x] ? 255 : 0) << x;
}

// ---- damaged files --------------------------------------------------------------

TEST(ImageDamage, TruncatedPngIsRefused)
{
    std::vector<uint8_t> bytes = Encode(Pattern(40, 40, 3, 6), ImageFormat::Png);
    bytes.resize(bytes.size() / 2);
    const std::string error = DecodeError(bytes);
    EXPECT_EQ(error.rfind("damaged PNG: ", 0), 0u) << error;
}

TEST(ImageDamage, PngWithBadChecksumIsRefused)
{
    std::vector<uint8_t> bytes = Encode(Pattern(8, 8, 3, 7), ImageFormat::Png);
    bytes[40] ^= 0xFF; // inside IDAT
    EXPECT_FALSE(DecodeError(bytes).empty());
}

TEST(ImageDamage, HugePngIsRefusedBeforeDecoding)
{
    std::vector<uint8_t> bytes = Encode(Pattern(1, 1, 3, 8), ImageFormat::Png);
    // IHDR data starts at 16: width and height, big-endian; then its CRC at 29.
    const uint32_t side = 100000;
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 4; ++k)
            bytes[size_t(16 + 4 * i + k)] = static_cast<uint8_t>(side >> (24 - 8 * k));
    const uint32_t crc = Crc32(bytes.data() + 12, 17);
    for (int k = 0; k < 4; ++k)
        bytes[size_t(29 + k)] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    EXPECT_EQ(DecodeError(bytes), "the picture is too large (at most 1 GiB at 4 bytes a pixel)");
}

TEST(ImageDamage, TruncatedJpegIsRefused)
{
    std::vector<uint8_t> bytes = Encode(Pattern(64, 64, 3, 9), ImageFormat::Jpeg);
    bytes.resize(bytes.size() * 2 / 3);
    const std::string error = DecodeError(bytes);
    EXPECT_EQ(error.rfind("damaged JPEG: ", 0), 0u) << error;
}

TEST(ImageDamage, TruncatedBmpIsRefused)
{
    std::vector<uint8_t> bytes = Encode(Pattern(9, 9, 3, 10), ImageFormat::Bmp);
    bytes.resize(bytes.size() - 5);
    EXPECT_EQ(DecodeError(bytes), "damaged, truncated, too large or unsupported BMP file");
}

TEST(ImageDamage, OtherDataIsNamed)
{
    const std::vector<uint8_t> bytes = {'G', 'I', 'F', '8', '9', 'a'};
    EXPECT_EQ(DecodeError(bytes), "not a PNG, JPEG or BMP picture");
}

TEST(ImageDamage, RandomBytesBehindSignaturesNeverCrash)
{
    std::mt19937 rng(11);
    const std::vector<std::vector<uint8_t>> seeds = {Encode(Pattern(6, 5, 4, 1), ImageFormat::Png),
                                                      Encode(Pattern(6, 5, 3, 1), ImageFormat::Jpeg),
                                                      Encode(Pattern(6, 5, 4, 1), ImageFormat::Bmp)};
    for (int i = 0; i < 600; ++i) {
        std::vector<uint8_t> bytes = seeds[size_t(i) % seeds.size()];
        const int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits; ++e)
            bytes[8 + rng() % (bytes.size() - 8)] = static_cast<uint8_t>(rng());
        if (i % 4 == 0)
            bytes.resize(8 + rng() % (bytes.size() - 8));
        RgbImage image;
        std::string error;
        if (DecodeImage(bytes.data(), bytes.size(), image, error)) {
            EXPECT_EQ(image.pixels.size(), size_t(image.width) * image.height * image.channels);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

// ---- to and from the library's YUV -------------------------------------------------

TEST(ImageYuv, ConvertsWithTheLibrarysFormulasTopRowLast)
{
    RgbImage image;
    image.width = 2;
    image.height = 2;
    image.channels = 3;
    // top row: red, white; bottom row: black, (10, 20, 30)
    image.pixels = {255, 0, 0, 255, 255, 255, 0, 0, 0, 10, 20, 30};
    CVoraDib picture;
    std::string error;
    ASSERT_TRUE(RgbImageToYuvPicture(image, picture, error)) << error;
    const tagDIBINFO* info = picture;
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(+info->bmiHeader.biCompression, colorcorrect::YUV_COMPRESSION);
    EXPECT_EQ(+info->bmiHeader.biBitCount, 24);
    // Memory row 1 is the top row. Red: Y 76, U -43, V 128 (clamped to 255).
    EXPECT_TRUE(PixelIs(picture, 0, 1, {76, 85, 255}));
    EXPECT_TRUE(PixelIs(picture, 1, 1, {255, 128, 128}));
    EXPECT_TRUE(PixelIs(picture, 0, 0, {0, 128, 128}));
    // (10, 20, 30): Y floor((1530 + 6020 + 1740 + 256) / 512) = 18,
    // U floor((-860 - 3400 + 7680 + 256) / 512) = 7, V floor((2560 - 4280 - 1260 + 256) / 512) = -6.
    EXPECT_TRUE(PixelIs(picture, 1, 0, {18, 135, 122}));
}

TEST(ImageYuv, BackToRgbWithTheLibrarysFormulas)
{
    CVoraDib picture;
    ASSERT_EQ(picture.AllocYUV(2, 1, 32, 0), 1);
    BYTE* p = picture;
    const BYTE pixels[8] = {76, 85, 255, 7, 18, 135, 122, 200};
    std::memcpy(p, pixels, 8);
    RgbImage image;
    std::string error;
    ASSERT_TRUE(YuvPictureToRgbImage(picture, 4, image, error)) << error;
    ASSERT_EQ(image.channels, 4);
    // Y 76, U -43, V 127: R floor(130395 / 512) = 254, G floor(381 / 512) = 0, B floor(-3 / 512) -> 0.
    // Y 18, U 7, V -6: R floor((9216 + 14 - 4314 + 256) / 512) = 10,
    // G floor((9216 - 1232 + 2190 + 256) / 512) = 20, B floor((9216 + 6356 + 6 + 256) / 512) = 30.
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{254, 0, 0, 7, 10, 20, 30, 200}));
    ASSERT_TRUE(YuvPictureToRgbImage(picture, 3, image, error));
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{254, 0, 0, 10, 20, 30}));
}

TEST(ImageYuv, AlphaTravelsInTheFourthByte)
{
    const RgbImage image = Pattern(3, 3, 4, 12);
    CVoraDib picture;
    std::string error;
    ASSERT_TRUE(RgbImageToYuvPicture(image, picture, error));
    RgbImage back;
    ASSERT_TRUE(YuvPictureToRgbImage(picture, 4, back, error));
    for (size_t i = 3; i < image.pixels.size(); i += 4)
        EXPECT_EQ(image.pixels[i], back.pixels[i]) << i;
}

TEST(ImageYuv, InGamutColoursComeBackWithinOneStep)
{
    const RgbImage image = Pattern(64, 64, 3, 14);
    CVoraDib picture;
    std::string error;
    ASSERT_TRUE(RgbImageToYuvPicture(image, picture, error));
    RgbImage back;
    ASSERT_TRUE(YuvPictureToRgbImage(picture, 3, back, error));
    int worst = 0;
    for (size_t i = 0; i < image.pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(image.pixels[i]) - int(back.pixels[i])));
    EXPECT_LE(worst, 1);
}

TEST(ImageYuv, RefusesPicturesThatAreNotYuv)
{
    CVoraDib rgb;
    ASSERT_EQ(rgb.Alloc(2, 2, 24, 0), 1);
    RgbImage image;
    std::string error;
    EXPECT_FALSE(YuvPictureToRgbImage(rgb, 3, image, error));
    EXPECT_FALSE(YuvPictureToRgbImage(CVoraDib(), 3, image, error));
}
