#include "png_codec.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "codec_guard.h"

namespace colorcorrect::formats {

namespace {

// The state libpng's callbacks see. libpng reports errors by longjmp, so the
// functions that call into it (ReadInfo, ReadRows, WriteAll) hold no C++
// objects with destructors between their setjmp and the libpng calls.
struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    std::vector<uint8_t>* out = nullptr;
    // The colour profile: read, it points into libpng's memory until the
    // state is destroyed; written, into the image's.
    png_bytep icc = nullptr;
    png_uint_32 iccBytes = 0;
    char message[256] = {};
};

void OnError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    if (state != nullptr && state->message[0] == '\0')
        std::snprintf(state->message, sizeof state->message, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, size_t count)
{
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (count > state->size - state->pos)
        png_error(png, "the file is truncated");
    std::memcpy(out, state->data + state->pos, count);
    state->pos += count;
}

void OnWrite(png_structp png, png_bytep data, size_t count)
{
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    bool ok = true;
    try {
        state->out->insert(state->out->end(), data, data + count);
    } catch (...) {
        ok = false;
    }
    if (!ok)
        png_error(png, "out of memory");
}

void OnFlush(png_structp) {}

bool ReadInfo(PngState& s, png_uint_32& width, png_uint_32& height, int& channels)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_set_read_fn(s.png, &s, OnRead);
    // Our own size check follows; this keeps libpng from allocating for
    // absurd sizes before we see them.
    png_set_user_limits(s.png, 1u << 24, 1u << 24);
    png_read_info(s.png, s.info);
    png_charp iccName = nullptr;
    int iccCompression = 0;
    if (png_get_iCCP(s.png, s.info, &iccName, &iccCompression, &s.icc, &s.iccBytes) == 0)
        s.icc = nullptr;
    width = png_get_image_width(s.png, s.info);
    height = png_get_image_height(s.png, s.info);
    const int colorType = png_get_color_type(s.png, s.info);
    const int depth = png_get_bit_depth(s.png, s.info);
    if (depth == 16)
        png_set_scale_16(s.png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(s.png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(s.png);
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(s.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(s.png);
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    channels = png_get_channels(s.png, s.info);
    return true;
}

bool ReadRows(PngState& s, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_read_image(s.png, rows);
    png_read_end(s.png, nullptr);
    return true;
}

bool WriteAll(PngState& s, png_uint_32 width, png_uint_32 height, int channels, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(s.png)))
        return false;
    png_set_write_fn(s.png, &s, OnWrite, OnFlush);
    png_set_IHDR(s.png, s.info, width, height, 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (s.icc != nullptr) {
        // A profile libpng finds malformed is left out with a warning rather
        // than failing the picture.
        png_set_benign_errors(s.png, 1);
        png_set_iCCP(s.png, s.info, "icc", PNG_COMPRESSION_TYPE_BASE, s.icc, s.iccBytes);
    }
    png_write_info(s.png, s.info);
    png_write_image(s.png, rows);
    png_write_end(s.png, nullptr);
    return true;
}

std::string Message(const PngState& s, const char* fallback)
{
    return s.message[0] != '\0' ? std::string(s.message) : std::string(fallback);
}

} // namespace

bool DecodePng(const uint8_t* data, size_t size, RgbImage& image, std::string& error, uint64_t maxPixels,
               bool* tooLarge) noexcept
{
    if (tooLarge != nullptr)
        *tooLarge = false;
    return GuardCodec(error, CodecStep::Reading, "PNG", [&] {
        PngState s;
        s.data = data;
        s.size = data == nullptr ? 0 : size;
        s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
        if (s.png == nullptr) {
            error = "out of memory";
            return false;
        }
        s.info = png_create_info_struct(s.png);
        struct Cleanup {
            PngState& s;
            ~Cleanup() { png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr); }
        } cleanup{s};
        if (s.info == nullptr) {
            error = "out of memory";
            return false;
        }
        png_uint_32 width = 0, height = 0;
        int channels = 0;
        if (!ReadInfo(s, width, height, channels)) {
            error = "damaged PNG: " + Message(s, "cannot read the header");
            return false;
        }
        error = ImageSizeProblem(width, height, maxPixels, tooLarge);
        if (!error.empty())
            return false;
        if (channels != 3 && channels != 4) {
            error = "unsupported PNG layout";
            return false;
        }
        RgbImage result;
        result.Resize(static_cast<int>(width), static_cast<int>(height), channels);
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = result.Row(static_cast<int>(y));
        if (!ReadRows(s, rows.data())) {
            error = "damaged PNG: " + Message(s, "cannot read the pixels");
            return false;
        }
        if (s.icc != nullptr)
            result.icc.assign(s.icc, s.icc + s.iccBytes);
        image = std::move(result);
        return true;
    });
}

bool EncodePng(const RgbImage& image, std::vector<uint8_t>& out, std::string& error) noexcept
{
    return GuardCodec(error, CodecStep::Writing, "PNG", [&] {
        if (!image.Valid()) {
            error = "no picture to write";
            return false;
        }
        std::vector<uint8_t> bytes;
        PngState s;
        s.out = &bytes;
        if (!image.icc.empty() && image.icc.size() <= 0xFFFFFFu) {
            s.icc = const_cast<png_bytep>(image.icc.data());
            s.iccBytes = static_cast<png_uint_32>(image.icc.size());
        }
        s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning);
        if (s.png == nullptr) {
            error = "out of memory";
            return false;
        }
        s.info = png_create_info_struct(s.png);
        struct Cleanup {
            PngState& s;
            ~Cleanup() { png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr); }
        } cleanup{s};
        if (s.info == nullptr) {
            error = "out of memory";
            return false;
        }
        std::vector<png_bytep> rows(static_cast<size_t>(image.height));
        for (size_t y = 0; y < rows.size(); ++y)
            rows[y] = const_cast<png_bytep>(image.Row(static_cast<int>(y)));
        if (!WriteAll(s, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                      image.channels, rows.data())) {
            error = "cannot encode PNG: " + Message(s, "unknown error");
            return false;
        }
        out = std::move(bytes);
        return true;
    });
}

} // namespace colorcorrect::formats
