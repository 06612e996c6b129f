#pragma once
// Rows of RGB pixels <-> the library's stored YUV pixels, with the library's
// own integer conversion (RgbBytesToYuvBytes, YuvBytesToRgbBytes): the same
// bytes, in loops the compiler vectorises (see vector_dispatch.h).

#include <cstddef>
#include <cstdint>

namespace colorcorrect::formats {

// `pixels` pixels of `step` bytes (3, or 4 with a fourth byte left as it is)
// converted where they are.
void RgbRowToYuvInPlace(uint8_t* row, size_t step, size_t pixels);
void YuvRowToRgbInPlace(uint8_t* row, size_t step, size_t pixels);

// From one buffer into another (they do not overlap), pixels `inStep` and
// `outStep` (3 or 4) bytes apart; a fourth byte is copied when both have one.
void RgbRowToYuv(const uint8_t* in, size_t inStep, uint8_t* out, size_t outStep, size_t pixels);
void YuvRowToRgb(const uint8_t* in, size_t inStep, uint8_t* out, size_t outStep, size_t pixels);

} // namespace colorcorrect::formats
