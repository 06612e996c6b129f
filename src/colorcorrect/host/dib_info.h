#pragma once
// Picture headers as the host stores them: a BMP file header followed by a BMP
// info header extended with the host's flags and field-order words. The byte
// layout is binding: raw playback frames are described by these headers.

#include <cstddef>
#include <cstdint>

#include "win_types.h"

#pragma pack(push, 1)
struct tagYUVBMINFOHEADER {
    uint32_t biSize;          // 0: 40 (the BMP part); the host words follow it
    int32_t  biWidth;         // 4: pixels per row
    int32_t  biHeight;        // 8: rows (positive: bottom row first in memory)
    uint16_t biPlanes;        // 12: 1
    uint16_t biBitCount;      // 14: 24 or 32
    uint32_t biCompression;   // 16: 0 = RGB (B, G, R[, A]); YUV_COMPRESSION = packed Y, U, V[, A]
    uint32_t biSizeImage;     // 20: bytes of pixel data
    int32_t  biXPelsPerMeter; // 24
    int32_t  biYPelsPerMeter; // 28
    uint32_t biClrUsed;       // 32
    uint32_t biClrImportant;  // 36
    uint8_t  byReserved[12];  // 40
    uint32_t dwFlags;         // 52: YUVBM_PREMULTIPLIED = alpha is premultiplied
    uint32_t dwFieldOrder;    // 56: which field comes first (host-defined; 0 or not 0)
};

struct tagDIBINFO {
    uint16_t bfType;          // 0: 'BM'
    uint32_t bfSize;          // 2: size of header and pixels
    uint16_t bfReserved1;     // 6
    uint16_t bfReserved2;     // 8
    uint32_t bfOffBits;       // 10: offset of the first pixel byte from the start of this record
    tagYUVBMINFOHEADER bmiHeader; // 14
};
#pragma pack(pop)

static_assert(sizeof(tagYUVBMINFOHEADER) == 60);
static_assert(offsetof(tagYUVBMINFOHEADER, biWidth) == 4);
static_assert(offsetof(tagYUVBMINFOHEADER, biHeight) == 8);
static_assert(offsetof(tagYUVBMINFOHEADER, biPlanes) == 12);
static_assert(offsetof(tagYUVBMINFOHEADER, biBitCount) == 14);
static_assert(offsetof(tagYUVBMINFOHEADER, biCompression) == 16);
static_assert(offsetof(tagYUVBMINFOHEADER, byReserved) == 40);
static_assert(offsetof(tagYUVBMINFOHEADER, dwFlags) == 52);
static_assert(offsetof(tagYUVBMINFOHEADER, dwFieldOrder) == 56);
static_assert(sizeof(tagDIBINFO) == 74);
static_assert(offsetof(tagDIBINFO, bmiHeader) == 14);

namespace colorcorrect {

// "@YUV" read as a little-endian 32-bit word: the packed Y, U+128, V+128 format.
inline constexpr uint32_t YUV_COMPRESSION = 0x56555940u;
// Flags-word bit: the colour bytes are premultiplied by alpha.
inline constexpr uint32_t YUVBM_PREMULTIPLIED = 0x2u;

// Bytes per row of a picture: 24-bit rows are padded to a multiple of 4,
// other bit counts use 4 bytes a pixel without padding. In 64 bits, so that
// a header's width, whatever it says, cannot wrap the product; a negative
// width has no bytes. The one place a stride is derived from a width.
inline constexpr uint64_t RowStride(int64_t width, int bitCount)
{
    const uint64_t w = width < 0 ? 0u : static_cast<uint64_t>(width);
    return bitCount == 24 ? (w * 3u + 3u) & ~uint64_t{3} : w * 4u;
}

} // namespace colorcorrect
