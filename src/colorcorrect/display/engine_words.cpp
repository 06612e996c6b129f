// Runs of pixels through the engine's chosen loop (see engine_words.h).

#include "engine_words.h"

#include <cstring>

namespace colorcorrect {

void EngineWords(CBaseColorCorrectionFilter& filter, const BYTE* src, size_t step, size_t n,
                 uint32_t* words)
{
    if (n == 0)
        return;
    // One row of n opaque 4-byte pixels: the engine's 32-bit loop reads
    // bytes 0..2 and carries byte 3 along, which the words leave unspecified.
    tagYUVBMINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = static_cast<int32_t>(n);
    header.biHeight = 1;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = YUV_COMPRESSION;
    BYTE* out = reinterpret_cast<BYTE*>(words);
    if (step == 4) {
        // Contiguous 4-byte pixels are read where they are.
        filter.ProcessRows(&header, const_cast<BYTE*>(src), out, 0, 1);
        return;
    }
    // Other layouts are gathered first; the engine then corrects in place.
    // Each pixel but the last is copied as a whole word: its fourth byte,
    // the next pixel's first or a byte between pixels, is not the caller's
    // colour, and the words leave it unspecified. The last pixel's three
    // bytes may end the caller's picture.
    for (size_t i = 0; i + 1 < n; ++i, src += step)
        std::memcpy(out + 4 * i, src, 4);
    const uint32_t last = static_cast<uint32_t>(src[0]) | static_cast<uint32_t>(src[1]) << 8 |
                          static_cast<uint32_t>(src[2]) << 16;
    std::memcpy(out + 4 * (n - 1), &last, 4);
    filter.ProcessRows(&header, out, out, 0, 1);
}

} // namespace colorcorrect
