#pragma once
// A decoded still picture as the image codecs hand it over: 8-bit RGB or
// RGBA, rows top to bottom, no padding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <colorcorrect/colorcorrect.h>

namespace colorcorrect::formats {

struct RgbImage {
    int width = 0;    // pixels per row
    int height = 0;   // rows
    int channels = 0; // 3: R, G, B; 4: R, G, B, straight (not premultiplied) alpha
    std::vector<uint8_t> pixels; // width * height * channels bytes, top row first
    // The ICC colour profile the file carried (empty: none). The PNG and JPEG
    // writers embed it again: a correction does not change the colour space.
    std::vector<uint8_t> icc{};

    size_t RowBytes() const { return static_cast<size_t>(width) * static_cast<size_t>(channels); }
    uint8_t* Row(int y) { return pixels.data() + RowBytes() * static_cast<size_t>(y); }
    const uint8_t* Row(int y) const { return pixels.data() + RowBytes() * static_cast<size_t>(y); }
    // Sets the size and makes room for the pixels (may throw std::bad_alloc).
    void Resize(int w, int h, int c)
    {
        width = w;
        height = h;
        channels = c;
        pixels.assign(RowBytes() * static_cast<size_t>(h), 0);
    }
    // 3 or 4 channels, a positive size and exactly that many pixel bytes.
    bool Valid() const
    {
        return (channels == 3 || channels == 4) && width > 0 && height > 0 &&
               pixels.size() == RowBytes() * static_cast<size_t>(height);
    }
};

// The largest picture the codecs take: one the library's picture class can
// hold at 32 bits a pixel.
inline constexpr uint64_t kMaxImageBytes = colorcorrect::MAX_PICTURE_BYTES - 4096;

// The most pixels the codecs take: kMaxImageBytes at 4 bytes a pixel.
inline constexpr uint64_t kMaxImagePixels = kMaxImageBytes / 4;

// Empty when a width x height picture fits kMaxImageBytes at 4 bytes a
// pixel (and both are positive); otherwise the message to show.
const char* ImageSizeProblem(uint64_t width, uint64_t height);

// The readers' check of the size a file's header declares against a caller's
// limit of `maxPixels`, made before any pixel is decoded: empty when the
// picture is acceptable, otherwise the message ("the picture is 16000 x 16000,
// more than the 40 million pixels allowed"); `tooLarge` (when given) is set
// when the size, not the lack of pixels, is the problem.
std::string ImageSizeProblem(uint64_t width, uint64_t height, uint64_t maxPixels, bool* tooLarge);

} // namespace colorcorrect::formats
