#pragma once
// JPEG files in memory <-> RgbImage.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb_image.h"

namespace colorcorrect::formats {

// Decodes a baseline or progressive JPEG (colour or gray) to 8-bit RGB.
// Anything the decoder only warns about (a truncated file, corrupt data) is
// refused too. Safe on any bytes.
// A picture of more than `maxPixels` is refused from the header, with
// `tooLarge` (when given) set.
bool DecodeJpeg(const uint8_t* data, size_t size, RgbImage& image, std::string& error,
               uint64_t maxPixels = kMaxImagePixels, bool* tooLarge = nullptr) noexcept;

// Encodes RGB (an alpha channel is left out: JPEG has none) with quality
// 1..100 and full-resolution chroma (4:4:4), so the colours of a correction
// are not blurred.
bool EncodeJpeg(const RgbImage& image, int quality, std::vector<uint8_t>& out,
                std::string& error) noexcept;

} // namespace colorcorrect::formats
