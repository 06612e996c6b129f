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

// The two passes of the box filter, in either order. Both give exactly the
// same bytes (the sums are exact integers); only the work differs.
//  kRowsFirst:    each source row is filtered to the destination width, then
//                 the filtered rows are summed into destination rows.
//  kColumnsFirst: source rows are summed into one row of the source width per
//                 destination row, which is then filtered to the destination
//                 width.
enum class ScaleOrder { kRowsFirst, kColumnsFirst };

// Weighted additions per channel that scaling takes in `order` (exact up to
// a few per row). Rows first costs about srcH * dstW more than the pixels,
// columns first about srcW * dstH more.
uint64_t ScaleCost(const PixelLayout& srcLayout, const PixelLayout& dstLayout, ScaleOrder order);
// The order of lower cost. Its cost is at most twice the source and
// destination pixels together, whatever the shapes: a tall, narrow picture
// scaled to a wide, flat one would take srcH * dstW additions rows first
// (quadratic in the pictures' sizes).
ScaleOrder CheaperScaleOrder(const PixelLayout& srcLayout, const PixelLayout& dstLayout);

// Writes the pixels of `dst` from those of `src`, scaled to dst's size with a
// box filter: each destination pixel is the average of the source area it
// covers exactly, fractional source pixels weighted by the part covered, each
// byte rounded to nearest (halves up). Equal sizes copy the pixels. Bytes 0..2
// are always averaged; the fourth byte is averaged when both pictures have it
// and set to 255 when only the destination has it. Row padding of `dst` is not
// written. The two buffers must not overlap. The passes run in the cheaper
// order unless one is given. May throw std::bad_alloc (scratch rows of the
// size of one source or destination row).
void ScalePixels(const BYTE* src, const PixelLayout& srcLayout, BYTE* dst,
                 const PixelLayout& dstLayout);
void ScalePixels(const BYTE* src, const PixelLayout& srcLayout, BYTE* dst,
                 const PixelLayout& dstLayout, ScaleOrder order);

} // namespace colorcorrect
