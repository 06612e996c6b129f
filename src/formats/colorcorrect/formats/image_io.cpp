#include "image_io.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "codec_guard.h"
#include "file_io.h"
#include "jpeg_codec.h"
#include "png_codec.h"
#include "rgb_rows.h"

namespace colorcorrect::formats {

const char* ImageSizeProblem(uint64_t width, uint64_t height)
{
    if (width == 0 || height == 0)
        return "the picture has no pixels";
    if (width > kMaxImageBytes / 4 || height > kMaxImageBytes / 4 / width)
        return "the picture is too large (at most 1 GiB at 4 bytes a pixel)";
    return nullptr;
}

std::string ImageSizeProblem(uint64_t width, uint64_t height, uint64_t maxPixels, bool* tooLarge)
{
    if (tooLarge != nullptr)
        *tooLarge = false;
    const char* problem = ImageSizeProblem(width, height);
    if (problem == nullptr && width * height <= maxPixels)
        return {};
    if (tooLarge != nullptr)
        *tooLarge = width > 0 && height > 0;
    if (problem != nullptr && (width == 0 || height == 0 || maxPixels >= kMaxImagePixels))
        return problem;
    std::string limit = maxPixels >= 1000000 ? std::to_string(maxPixels / 1000000) + " million"
                                             : std::to_string(maxPixels);
    return "the picture is " + std::to_string(width) + " x " + std::to_string(height) + ", more than the " +
           limit + " pixels allowed";
}

namespace {

// Row y of a picture counted from the top: the picture class keeps the
// bottom row first in memory.
template <typename Byte>
Byte* RowFromTop(Byte* base, unsigned stride, int height, int y)
{
    return base + static_cast<size_t>(height - 1 - y) * stride;
}

// Writes every pixel of `image` into `dib` (allocated at its size):
// pixel(p, q) turns the image's R, G, B(, A) bytes at p into the picture's
// bytes at q.
template <typename Pixel>
void FillPicture(const RgbImage& image, CVoraDib& dib, Pixel pixel)
{
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    BYTE* base = dib;
    for (int y = 0; y < image.height; ++y) {
        BYTE* q = RowFromTop(base, stride, image.height, y);
        const uint8_t* p = image.Row(y);
        for (int x = 0; x < image.width; ++x, p += image.channels, q += step)
            pixel(p, q);
    }
}

// The kind of BMP the picture class does not read, named, or empty when the
// header asks for nothing unusual (the file is then damaged or too large).
std::string UnsupportedBmpVariant(const uint8_t* data, size_t size)
{
    if (size < 14 + 20)
        return {};
    const auto u16 = [data](size_t at) { return unsigned(data[at] | data[at + 1] << 8); };
    const unsigned bits = u16(14 + 14);
    const unsigned compression = u16(14 + 16) | u16(14 + 18) << 16;
    if (compression == 1 || compression == 2)
        return "run-length compressed BMP files are not supported (only uncompressed 8-, 24- and 32-bit)";
    if (compression != 0 && compression != 3)
        return "this BMP compression is not supported (only uncompressed 8-, 24- and 32-bit)";
    if (bits != 8 && bits != 24 && bits != 32)
        return std::to_string(bits) + "-bit BMP files are not supported (only 8-, 24- and 32-bit)";
    return {};
}

bool DecodeBmp(const uint8_t* data, size_t size, RgbImage& image, std::string& error, uint64_t maxPixels,
               bool* tooLarge)
{
    int64_t width = 0, height = 0;
    if (size >= 14 + 12) {
        const auto s32 = [data](size_t at) {
            return int32_t(uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 | uint32_t(data[at + 2]) << 16 |
                           uint32_t(data[at + 3]) << 24);
        };
        width = s32(14 + 4);
        height = s32(14 + 8);
        height = height < 0 ? -height : height;
        if (width > 0 && height > 0) {
            error = ImageSizeProblem(uint64_t(width), uint64_t(height), maxPixels, tooLarge);
            if (!error.empty())
                return false;
        }
    }
    CVoraDib dib;
    if (!LoadBmpFromMemory(dib, data, size, 32)) {
        const std::string variant = UnsupportedBmpVariant(data, size);
        error = variant.empty() ? "damaged, truncated, too large or unsupported BMP file" : variant;
        // The reader does not say why it failed: when the picture's own
        // buffer cannot be had now, memory is the likely cause, and the
        // message must not blame a good file.
        CVoraDib probe;
        if (variant.empty() && width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX &&
            !probe.Alloc(int(width), int(height), 32, 0))
            error = "not enough memory for the picture";
        return false;
    }
    const int w = dib.GetWidth(), h = dib.GetHeight();
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    const BYTE* base = dib;
    bool opaque = true;
    for (int row = 0; row < h && opaque; ++row) {
        const BYTE* p = base + static_cast<size_t>(row) * stride;
        for (int x = 0; x < w; ++x)
            opaque = opaque && p[4 * x + 3] == 255;
    }
    RgbImage result;
    result.Resize(w, h, opaque ? 3 : 4);
    for (int y = 0; y < h; ++y) {
        const BYTE* p = RowFromTop(base, stride, h, y);
        uint8_t* q = result.Row(y);
        for (int x = 0; x < w; ++x, p += 4, q += result.channels) {
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
            if (result.channels == 4)
                q[3] = p[3];
        }
    }
    image = std::move(result);
    return true;
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// 32-bit BMP with a version 4 header whose masks name the alpha byte, so
// that readers keep the alpha channel.
std::vector<uint8_t> EncodeBmpWithAlpha(const RgbImage& image)
{
    const uint32_t headerBytes = 14 + 108;
    const uint64_t pixelBytes = uint64_t(image.width) * uint64_t(image.height) * 4;
    std::vector<uint8_t> out;
    out.reserve(headerBytes + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    PutLe(out, static_cast<uint32_t>(headerBytes + pixelBytes), 4);
    PutLe(out, 0, 4);
    PutLe(out, headerBytes, 4);
    PutLe(out, 108, 4);
    PutLe(out, static_cast<uint32_t>(image.width), 4);
    PutLe(out, static_cast<uint32_t>(image.height), 4); // bottom-up
    PutLe(out, 1, 2);
    PutLe(out, 32, 2);
    PutLe(out, 3, 4); // bit fields
    PutLe(out, static_cast<uint32_t>(pixelBytes), 4);
    PutLe(out, 2835, 4); // 72 dpi
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0x00FF0000, 4); // red
    PutLe(out, 0x0000FF00, 4); // green
    PutLe(out, 0x000000FF, 4); // blue
    PutLe(out, 0xFF000000, 4); // alpha
    PutLe(out, 0x73524742, 4); // colour space "sRGB"
    for (int i = 0; i < 12; ++i)
        PutLe(out, 0, 4); // end points and gamma, unused with sRGB
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t* p = image.Row(y);
        for (int x = 0; x < image.width; ++x, p += 4) {
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            out.push_back(p[3]);
        }
    }
    return out;
}

bool EncodeBmpImage(const RgbImage& image, std::vector<uint8_t>& out, std::string& error)
{
    if (image.channels == 4) {
        out = EncodeBmpWithAlpha(image);
        return true;
    }
    CVoraDib dib;
    if (!dib.Alloc(image.width, image.height, 24, 0)) {
        error = "not enough memory to encode the picture";
        return false;
    }
    FillPicture(image, dib, [](const uint8_t* p, BYTE* q) {
        q[0] = p[2];
        q[1] = p[1];
        q[2] = p[0];
    });
    out = EncodeBmp(dib);
    if (out.empty()) {
        error = "cannot encode BMP";
        return false;
    }
    return true;
}

bool HasExtension(std::string_view path, std::string_view ext)
{
    if (path.size() < ext.size())
        return false;
    const std::string_view tail = path.substr(path.size() - ext.size());
    for (size_t i = 0; i < ext.size(); ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != ext[i])
            return false;
    }
    return true;
}

} // namespace

const char* ImageFormatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::Png:
        return "PNG";
    case ImageFormat::Jpeg:
        return "JPEG";
    case ImageFormat::Bmp:
        return "BMP";
    }
    return "?";
}

std::optional<ImageFormat> SniffImageFormat(const uint8_t* data, size_t size)
{
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data == nullptr)
        return std::nullopt;
    if (size >= 8 && std::memcmp(data, kPng, 8) == 0)
        return ImageFormat::Png;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return ImageFormat::Jpeg;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return ImageFormat::Bmp;
    return std::nullopt;
}

std::optional<ImageFormat> ImageFormatFromPath(std::string_view path)
{
    if (HasExtension(path, ".png"))
        return ImageFormat::Png;
    if (HasExtension(path, ".jpg") || HasExtension(path, ".jpeg"))
        return ImageFormat::Jpeg;
    if (HasExtension(path, ".bmp"))
        return ImageFormat::Bmp;
    return std::nullopt;
}

bool DecodeImage(const uint8_t* data, size_t size, RgbImage& image, std::string& error, uint64_t maxPixels,
                 bool* tooLarge) noexcept
{
    if (tooLarge != nullptr)
        *tooLarge = false;
    const std::optional<ImageFormat> format = SniffImageFormat(data, size);
    if (!format) {
        error = "not a PNG, JPEG or BMP picture";
        return false;
    }
    return GuardCodec(error, CodecStep::Reading, "the picture", [&] {
        switch (*format) {
        case ImageFormat::Png:
            return DecodePng(data, size, image, error, maxPixels, tooLarge);
        case ImageFormat::Jpeg:
            return DecodeJpeg(data, size, image, error, maxPixels, tooLarge);
        case ImageFormat::Bmp:
            return DecodeBmp(data, size, image, error, maxPixels, tooLarge);
        }
        return false;
    });
}

bool EncodeImage(const RgbImage& image, ImageFormat format, const EncodeOptions& options,
                 std::vector<uint8_t>& out, std::string& error) noexcept
{
    if (!image.Valid()) {
        error = "no picture to write";
        return false;
    }
    return GuardCodec(error, CodecStep::Writing, "the picture", [&] {
        switch (format) {
        case ImageFormat::Png:
            return EncodePng(image, out, error);
        case ImageFormat::Jpeg:
            return EncodeJpeg(image, options.jpegQuality, out, error);
        case ImageFormat::Bmp:
            return EncodeBmpImage(image, out, error);
        }
        return false;
    });
}

bool RgbPixelsToYuvPicture(const uint8_t* pixels, int width, int height, int channels, size_t rowBytes,
                           CVoraDib& picture, std::string& error)
{
    if (pixels == nullptr || (channels != 3 && channels != 4) || width <= 0 || height <= 0 ||
        rowBytes < size_t(width) * size_t(channels)) {
        error = "no picture";
        return false;
    }
    if (const char* problem = ImageSizeProblem(uint64_t(width), uint64_t(height))) {
        error = problem;
        return false;
    }
    const int bits = channels == 4 ? 32 : 24;
    CVoraDib dib;
    if (!dib.AllocYUV(width, height, bits, 0)) {
        error = "not enough memory for the picture";
        return false;
    }
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    BYTE* base = dib;
    for (int y = 0; y < height; ++y)
        RgbRowToYuv(pixels + rowBytes * size_t(y), size_t(channels), RowFromTop(base, stride, height, y), step,
                    size_t(width));
    picture = std::move(dib);
    return true;
}

bool RgbImageToYuvPicture(const RgbImage& image, CVoraDib& picture, std::string& error)
{
    if (!image.Valid()) {
        error = "no picture";
        return false;
    }
    return RgbPixelsToYuvPicture(image.pixels.data(), image.width, image.height, image.channels, image.RowBytes(),
                                 picture, error);
}

bool ReadImageFile(const std::string& path, RgbImage& image, std::string& error)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, kMaxImageFileBytes, bytes, error))
        return false;
    if (bytes.empty()) {
        error = "empty input: no picture";
        return false;
    }
    if (!SniffImageFormat(bytes.data(), bytes.size())) {
        error = "not a PNG, JPEG or BMP picture";
        return false;
    }
    return DecodeImage(bytes.data(), bytes.size(), image, error);
}

bool YuvPictureToRgbImage(const CVoraDib& picture, int channels, RgbImage& image, std::string& error)
{
    const tagDIBINFO* info = picture;
    if (info == nullptr || info->bmiHeader.biCompression != YUV_COMPRESSION ||
        (channels != 3 && channels != 4)) {
        error = "no YUV picture";
        return false;
    }
    const int w = picture.GetWidth(), h = picture.GetHeight();
    unsigned step = 0, stride = 0;
    picture.GetIncrements(step, stride);
    if (channels == 4 && step != 4) {
        error = "the picture has no alpha";
        return false;
    }
    RgbImage result;
    result.Resize(w, h, channels);
    const BYTE* base = picture;
    for (int y = 0; y < h; ++y)
        YuvRowToRgb(RowFromTop(base, stride, h, y), step, result.Row(y), size_t(channels), size_t(w));
    image = std::move(result);
    return true;
}

bool RgbPictureToRgbImage(const CVoraDib& picture, RgbImage& image, std::string& error)
{
    const tagDIBINFO* info = picture;
    if (info == nullptr || info->bmiHeader.biCompression != 0) {
        error = "no RGB picture";
        return false;
    }
    const int w = picture.GetWidth(), h = picture.GetHeight();
    unsigned step = 0, stride = 0;
    picture.GetIncrements(step, stride);
    RgbImage result;
    result.Resize(w, h, 3);
    const BYTE* base = picture;
    for (int y = 0; y < h; ++y) {
        const BYTE* p = RowFromTop(base, stride, h, y);
        uint8_t* q = result.Row(y);
        for (int x = 0; x < w; ++x, p += step, q += 3) {
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    }
    image = std::move(result);
    return true;
}

} // namespace colorcorrect::formats
