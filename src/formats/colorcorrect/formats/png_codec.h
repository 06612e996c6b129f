#pragma once
// PNG files in memory <-> RgbImage.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rgb_image.h"

namespace colorcorrect::formats {

// Decodes a PNG file image of any colour type and bit depth to 8-bit RGB
// (RGBA when the file has an alpha channel or a transparency chunk). 16-bit
// samples are scaled to 8 bits with rounding; palettes and gray are expanded.
// The samples are taken as they are stored: gamma and colour-profile chunks
// are not applied. False with a message for a damaged, truncated or too
// large file. Safe on any bytes.
// A picture of more than `maxPixels` is refused from the header, with
// `tooLarge` (when given) set.
bool DecodePng(const uint8_t* data, size_t size, RgbImage& image, std::string& error,
               uint64_t maxPixels = kMaxImagePixels, bool* tooLarge = nullptr) noexcept;

// Encodes 8-bit RGB or RGBA, non-interlaced. False with a message on failure.
bool EncodePng(const RgbImage& image, std::vector<uint8_t>& out, std::string& error) noexcept;

} // namespace colorcorrect::formats
