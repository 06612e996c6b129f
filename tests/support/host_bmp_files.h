#pragma once
// BMP file images built byte by byte, for tests of the host's BMP reader.

#include <colorcorrect/colorcorrect.h>

#include <cstdint>
#include <vector>

namespace colorcorrect::test {

// Writes the low `bytes` bytes of `value` little-endian at `at`.
void PutLittleEndian(BYTE* at, uint32_t value, uint32_t bytes = 4);

// A BMP file image: file header, the first 40 bytes of an info header of
// `infoSize` bytes, then `table` (the rest of a longer info header, bit masks
// or palette), then `rows` as given (padded, in file order).
std::vector<BYTE> MakeBmpFile(int32_t width, int32_t height, int bits, uint32_t compression,
                              const std::vector<BYTE>& table, const std::vector<BYTE>& rows,
                              uint32_t coloursUsed = 0, uint32_t infoSize = 40);

// 3 x 2 pixels at 8 bits, palette of 4 (black, blue, green, B 10 G 20 R 30),
// rows 1 2 3 (bottom) and 3 0 1.
std::vector<BYTE> PalettisedBmpFile();

// The standard bit masks R 0xFF0000, G 0xFF00, B 0xFF and, when `alpha` is
// not negative, the alpha mask after them.
std::vector<BYTE> BmpMasks(int64_t alpha = -1);

} // namespace colorcorrect::test
