#pragma once
// Still pictures: PNG, JPEG and BMP files in memory <-> RgbImage, and
// RgbImage <-> the library's packed YUV pictures (CVoraDib), converted with
// the library's own fixed-point formulas (host/yuv_rgb.h).

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rgb_image.h"

namespace colorcorrect::formats {

enum class ImageFormat { Png, Jpeg, Bmp };

// "PNG", "JPEG", "BMP".
const char* ImageFormatName(ImageFormat format);

// The format the bytes start with (PNG signature, JPEG start-of-image
// marker, "BM"), if any.
std::optional<ImageFormat> SniffImageFormat(const uint8_t* data, size_t size);

// The format a file name asks for by its extension (.png, .jpg, .jpeg, .bmp;
// any case), if any.
std::optional<ImageFormat> ImageFormatFromPath(std::string_view path);

// Decodes a PNG, JPEG or BMP file image (recognised by its content). Gray
// pictures become RGB, pictures with transparency RGBA. A BMP keeps an alpha
// channel only when it has one that is not fully opaque. Safe on any bytes.
// The size the file's header declares is checked against `maxPixels` before
// any pixel is decoded or memory is taken for them; `tooLarge` (when given)
// tells that refusal from the others.
bool DecodeImage(const uint8_t* data, size_t size, RgbImage& image, std::string& error,
                 uint64_t maxPixels = kMaxImagePixels, bool* tooLarge = nullptr) noexcept;

struct EncodeOptions {
    int jpegQuality = 95; // 1..100
};

// Encodes in the given format. A BMP of an RGBA picture is written at 32 bits
// with an alpha mask; a JPEG drops the alpha channel.
bool EncodeImage(const RgbImage& image, ImageFormat format, const EncodeOptions& options,
                 std::vector<uint8_t>& out, std::string& error) noexcept;

// Compressed or not, a picture file larger than the largest picture plus
// room for headers is refused before it is read.
inline constexpr size_t kMaxImageFileBytes = size_t(kMaxImageBytes) + (size_t{1} << 20);

// Reads and decodes a PNG, JPEG or BMP file ("-": standard input). False
// with a message (the caller adds the file name) for an unreadable, empty,
// unknown or damaged picture.
bool ReadImageFile(const std::string& path, RgbImage& image, std::string& error);

// A packed YUV picture of `height` rows of `width` RGB (3 channels) or RGBA
// (4) pixels, rows `rowBytes` apart, top row first: as RgbImageToYuvPicture.
bool RgbPixelsToYuvPicture(const uint8_t* pixels, int width, int height, int channels, size_t rowBytes,
                           CVoraDib& picture, std::string& error);

// A packed YUV picture of the image: 24 bits (Y, U+128, V+128) for RGB, 32
// bits with straight alpha in the fourth byte for RGBA. False when the
// picture cannot be allocated.
bool RgbImageToYuvPicture(const RgbImage& image, CVoraDib& picture, std::string& error);

// The RGB(A) image of a 24- or 32-bit packed YUV picture: 3 channels, or 4
// (alpha from the fourth byte) when `channels` is 4. False for an empty or
// non-YUV picture.
bool YuvPictureToRgbImage(const CVoraDib& picture, int channels, RgbImage& image, std::string& error);

// The RGB image (3 channels) of a 24- or 32-bit RGB picture (compression 0,
// bytes B, G, R; a fourth byte is dropped), such as the library's scope
// displays and corrected display pictures. False for an empty or YUV picture.
bool RgbPictureToRgbImage(const CVoraDib& picture, RgbImage& image, std::string& error);

} // namespace colorcorrect::formats
