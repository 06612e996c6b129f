#pragma once
// BMP file images in memory: reading them into pictures and writing pictures
// as BMP files.

#include <cstddef>
#include <vector>

#include "vora_dib.h"
#include "win_types.h"

namespace colorcorrect {

// Reads a BMP file image of `size` bytes at `data` into `dib`, at the file's
// own size and at `bits` (24 or 32) bits, RGB, flags word 0. Accepted: 24- and
// 32-bit uncompressed images (plain, or bit masks R 0xFF0000, G 0xFF00,
// B 0xFF with alpha mask 0 or 0xFF000000), bottom-up or top-down, and 8-bit
// palettised images (up to 256 palette entries; every pixel must index one).
// Info headers of 40, 52, 56, 108 and 124 bytes are read. The fourth byte of a
// 32-bit image is kept as alpha unless there is no alpha mask or every fourth
// byte is 0; other images get alpha 255. Every offset and size is checked
// against `size`; a faulty or too large image returns 0 with `dib` unchanged.
int LoadBmpFromMemory(CVoraDib& dib, const void* data, size_t size, int bits);

// The file image of an RGB picture as an uncompressed bottom-up BMP with the
// picture's bit count (24, or 32 with the fourth byte as stored): a 14-byte
// file header, a 40-byte info header, the rows. Empty for an empty or YUV
// picture. May throw std::bad_alloc.
std::vector<BYTE> EncodeBmp(const CVoraDib& dib);

} // namespace colorcorrect
