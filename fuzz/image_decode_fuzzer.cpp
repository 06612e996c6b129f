// DecodeImage (the PNG, JPEG and BMP readers of uploads and picture files) on
// any bytes, under a small pixel limit: the verdict agrees with the format's
// own decoder; a decoded picture is valid, within the limit, and refused as
// too large, from its header, by a limit one pixel smaller; a refusal says why
// and calls nothing too large that was not. A decoded PNG written again reads
// back the same; a decoded JPEG written again, the same size and profile.

#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/jpeg_codec.h>
#include <colorcorrect/formats/png_codec.h>

#include "support/fuzz_support.h"

using namespace colorcorrect::formats;

namespace {

// Small enough that a decode is quick, large enough for the seeds' pictures.
constexpr uint64_t kFuzzMaxPixels = 64 * 64;

bool DecodeAs(ImageFormat format, const uint8_t* data, size_t size, RgbImage& image, std::string& error,
              uint64_t maxPixels, bool* tooLarge)
{
    switch (format) {
    case ImageFormat::Png: return DecodePng(data, size, image, error, maxPixels, tooLarge);
    case ImageFormat::Jpeg: return DecodeJpeg(data, size, image, error, maxPixels, tooLarge);
    case ImageFormat::Bmp: break;
    }
    return DecodeImage(data, size, image, error, maxPixels, tooLarge);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RgbImage image;
    std::string error;
    bool tooLarge = true;
    const bool ok = DecodeImage(data, size, image, error, kFuzzMaxPixels, &tooLarge);
    const auto format = SniffImageFormat(data, size);
    FUZZ_CHECK(ok || !error.empty());
    FUZZ_CHECK(!ok || !tooLarge);
    FUZZ_CHECK(format || (!ok && !tooLarge));
    if (!format)
        return 0;

    RgbImage direct;
    std::string directError;
    bool directTooLarge = true;
    FUZZ_CHECK(DecodeAs(*format, data, size, direct, directError, kFuzzMaxPixels, &directTooLarge) == ok &&
               directTooLarge == tooLarge, "%s: DecodeImage and the format's decoder disagree", ImageFormatName(*format));
    if (!ok)
        return 0;
    FUZZ_CHECK(image.Valid() && uint64_t(image.width) * uint64_t(image.height) <= kFuzzMaxPixels);
    FUZZ_CHECK(direct.width == image.width && direct.height == image.height && direct.pixels == image.pixels);

    // The limit is checked on the header's size: one pixel fewer refuses it.
    const uint64_t pixels = uint64_t(image.width) * uint64_t(image.height);
    RgbImage smaller;
    bool refusedAsLarge = false;
    FUZZ_CHECK(!DecodeImage(data, size, smaller, error, pixels - 1, &refusedAsLarge) && refusedAsLarge,
               "a %d x %d picture under a limit of %llu pixels", image.width, image.height,
               static_cast<unsigned long long>(pixels - 1));

    if (*format == ImageFormat::Jpeg) { // written again: the same size and profile
        std::vector<uint8_t> jpeg;
        RgbImage again;
        const int quality = 1 + int(size % 100);
        FUZZ_CHECK(EncodeJpeg(image, quality, jpeg, error) && DecodeJpeg(jpeg.data(), jpeg.size(), again, error, pixels),
                   "writing the decoded JPEG again at quality %d: %s", quality, error.c_str());
        FUZZ_CHECK(again.width == image.width && again.height == image.height && again.channels == 3 &&
                   again.icc == image.icc);
    }
    if (*format != ImageFormat::Png)
        return 0;
    std::vector<uint8_t> png;
    RgbImage again;
    FUZZ_CHECK(EncodePng(image, png, error) && DecodePng(png.data(), png.size(), again, error, pixels),
               "writing the decoded PNG again: %s", error.c_str());
    FUZZ_CHECK(again.width == image.width && again.height == image.height && again.channels == image.channels &&
               again.pixels == image.pixels);
    return 0;
}
