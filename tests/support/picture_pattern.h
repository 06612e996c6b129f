#pragma once
// Picture builders for tests: deterministic content and single pixels.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <initializer_list>

namespace colorcorrect::test {

// Writes a deterministic pseudo-random byte pattern, different for each
// `seed`, into every pixel byte (the fourth byte included); padding stays.
void FillPattern(CVoraDib& dib, unsigned seed);

// Writes exactly `count` distinct pseudo-random colours (bytes 0..2, the
// darkest and the brightest among them) into the pixels, each into at least
// one pixel, at places that differ for each `seed`. `count` must lie within
// 1 .. the number of pixels.
void FillFewColours(CVoraDib& dib, size_t count, unsigned seed);

// Writes `bytes` (3 or 4 values) into every pixel.
void FillUniform(CVoraDib& dib, std::initializer_list<int> bytes);

// Writes `bytes` (3 or 4 values) into the pixel at column x of memory row
// `row`; does nothing outside the picture.
void SetPixel(CVoraDib& dib, int x, int row, std::initializer_list<int> bytes);

} // namespace colorcorrect::test
