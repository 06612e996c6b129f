#pragma once
// The host's picture class.
//
// A picture owns one memory block (CPMemory) holding a tagDIBINFO header and,
// from the header's bfOffBits on (a 64-byte aligned offset), the pixels. Rows
// are stored bottom row first (positive biHeight): memory row 0 is the bottom
// row on screen. Row strides follow colorcorrect::RowStride: 24-bit rows are
// padded to a multiple of 4 bytes (padding bytes are 0), 32-bit rows are
// width * 4 bytes.
//
// Pixel formats, chosen by the header's compression word:
//  - 0 (RGB): bytes B, G, R, and at 32 bits a fourth byte (alpha, 255 opaque).
//  - colorcorrect::YUV_COMPRESSION ("@YUV"): bytes Y, U + 128, V + 128, and at
//    32 bits alpha. Y 0..255; U and V are signed chroma stored with a bias
//    of 128 (128 is neutral).
//
// Copies are independent. Every operation that fails leaves the picture as it
// was; none throws.

#include <cstddef>
#include <cstdint>

#include "dib_info.h"
#include "p_memory.h"
#include "win_types.h"

class CVoraDib {
public:
    CVoraDib() = default;
    // Independent copy (empty when the copy cannot be allocated).
    CVoraDib(const CVoraDib& other) = default;
    // Takes the other picture's block; the other picture is empty afterwards.
    CVoraDib(CVoraDib&& other) noexcept = default;
    CVoraDib& operator=(const CVoraDib& other) = default;
    CVoraDib& operator=(CVoraDib&& other) noexcept = default;
    ~CVoraDib() = default;

    // A black RGB picture of w x h pixels (w, h > 0) at `bits` (24 or 32):
    // every byte 0, the fourth byte 255 at 32 bits. `flags` goes into the
    // header's flags word (low 32 bits; YUVBM_PREMULTIPLIED = premultiplied
    // alpha); the field-order word is 0. Refuses (0) other bit counts,
    // nonpositive sizes and pictures above MAX_PICTURE_BYTES.
    int Alloc(int w, int h, int bits, unsigned long flags);
    // As Alloc, but a black YUV picture: Y 0, U 128, V 128, alpha 255 at 32 bits.
    int AllocYUV(int w, int h, int bits, unsigned long flags);

    // Reads a BMP file into an RGB picture of `bits` (24 or 32) bits.
    //  path   wide-character path, converted to UTF-8; when no file has that
    //         exact name it is looked up case-insensitively, component by
    //         component (colorcorrect::FindFileCaseInsensitive).
    //  w, h   size of the result; 0, 0 keeps the file's size, another size is
    //         scaled as SetDIB does. Both must be positive otherwise.
    //  flags  goes into the header's flags word.
    // Accepts uncompressed 24- and 32-bit files (plain or with the standard
    // R 0xFF0000, G 0xFF00, B 0xFF bit masks), bottom-up or top-down, and
    // 8-bit palettised files. The fourth byte of 32-bit files is kept as
    // alpha, except when the file has no alpha mask or all fourth bytes are 0,
    // which gives alpha 255; 24-bit and palettised files give alpha 255.
    // Returns 0 for a missing, unreadable or faulty file (truncated, wrong
    // offsets, bad palette, too large), leaving the picture unchanged.
    int LoadFromFile(const wchar_t* path, int w, int h, int bits, unsigned long flags);

    // Writes an RGB picture as an uncompressed bottom-up BMP file with the
    // picture's bit count. The file is written under a temporary name beside
    // the target and renamed, so a failed write leaves no partial file and an
    // older file of the same name intact. Refuses (0) an empty or YUV picture.
    int SaveToFile(const wchar_t* path) const;

    // Converts the picture's format in place. `bits` 24 or 32: a new fourth
    // byte is 255, a dropped one is discarded. w = h = 0 keeps the size,
    // another (positive) size scales as SetDIB. The compression word is kept;
    // the flags word becomes `flags`; the field-order word is kept. The result
    // always owns a fresh block, so Realloc(0, 0, 24, 0) leaves a 24-bit
    // picture of its own with the same size and content. 0 when the picture is
    // empty, `bits` is not 24 or 32, or the allocation is refused.
    int Realloc(int w, int h, int bits, unsigned long flags);

    // Fills this picture from another picture's header, with the pixels at
    // `bfOffBits` from the header's start as a CVoraDib hands them out.
    //  src    header of a 24- or 32-bit RGB or YUV picture; may be this
    //         picture's own header.
    //  w, h   size of the result; 0, 0 keeps the source's size.
    //  bits   24 or 32 (a new fourth byte is 255).
    //  flags  goes into the flags word; compression and field order are
    //         taken from the source.
    // Scaling is an area-averaging (box) filter: every destination pixel is
    // the average of the source area it covers exactly (fractional pixels
    // weighted by their covered part), byte by byte and rounded to nearest
    // (YUV pictures are averaged byte-wise as well). Returns 0 for a null or
    // implausible header (sizes, bit count, compression, offsets not
    // matching bfSize) or a refused allocation.
    int SetDIB(const tagDIBINFO* src, int w, int h, int bits, unsigned long flags);

    // A copy of the w x h rectangle whose top-left pixel is column x of
    // picture row y counted from the top (storage row height - 1 - y), in the
    // same format, flags and field order. The part outside the picture is cut
    // off; when nothing is left (or w, h <= 0) the result is empty.
    CVoraDib GetDIB(int x, int y, int w, int h) const;

    // Converts an RGB picture to YUV in place, with fixed point over 512:
    //  Y = floor((153R + 301G + 58B + 256) / 512)
    //  U = floor((-86R - 170G + 256B + 256) / 512) + 128
    //  V = floor((256R - 214G - 42B + 256) / 512) + 128
    // each clamped to 0..255; the fourth byte is kept; the compression word
    // becomes YUV_COMPRESSION. A YUV picture is left as it is (1); an empty
    // picture gives 0.
    int ToYUV();

    // Width and height in pixels; 0 when empty.
    int GetWidth() const;
    int GetHeight() const;
    // Byte step from one pixel to the next (3 or 4) and from one memory row
    // to the next (the row stride); 0, 0 when empty.
    void GetIncrements(unsigned& pixel, unsigned& line) const;

    // Releases the block; the picture is empty afterwards.
    void Free();

    // The header; null when the picture is empty (or its block does not hold
    // a consistent header and pixels).
    operator tagDIBINFO*();
    operator const tagDIBINFO*() const;
    // The first pixel byte (bottom row, left pixel); null when empty.
    operator BYTE*();
    operator const BYTE*() const;

    // The block itself, for callers that manage it directly. A caller that
    // resizes it below what the header describes makes the picture empty.
    CPMemory& GetMemory() { return m_Memory; }
    const CPMemory& GetMemory() const { return m_Memory; }

protected:
    CPMemory m_Memory;
};

namespace colorcorrect {

// Largest block a picture may take (header and pixels), in bytes: 1 GiB.
inline constexpr uint64_t MAX_PICTURE_BYTES = uint64_t{1} << 30;
// Offset of the first pixel byte from the header's start in pictures this
// class makes (bfOffBits): the first 64-byte boundary after the header.
inline constexpr uint32_t PICTURE_PIXEL_OFFSET = 128;

} // namespace colorcorrect
