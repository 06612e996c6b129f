#pragma once
// Area-averaging (box) scaling of packed pixel rows, shared by the picture
// operations that change a picture's size or bit count.

#include <cstdint>

#include "win_types.h"

namespace colorcorrect {

// Shape of a picture's pixel rows: `width` x `height` pixels (both > 0) of
// `bitCount` (24 or 32) bits, consecutive rows `stride` bytes apart.
struct PixelLayout {
    int width;
    int height;
    int bitCount;
    uint64_t stride;
};

// Writes the pixels of `dst` from those of `src`, scaled to dst's size with a
// box filter: each destination pixel is the average of the source area it
// covers exactly, fractional source pixels weighted by the part covered, each
// byte rounded to nearest (halves up). Equal sizes copy the pixels. Bytes 0..2
// are always averaged; the fourth byte is averaged when both pictures have it
// and set to 255 when only the destination has it. Row padding of `dst` is not
// written. The two buffers must not overlap. May throw std::bad_alloc (scratch
// rows of the size of one destination row).
void ScalePixels(const BYTE* src, const PixelLayout& srcLayout, BYTE* dst,
                 const PixelLayout& dstLayout);

} // namespace colorcorrect
