#pragma once
// The engine's correction of a run of pixels as output words, for the display
// paths that do more with a corrected pixel than store it. Internal: included
// by the display sources (and tests), not installed.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../engine/base_color_correction_filter.h"

namespace colorcorrect {

// Pixels a call takes at most: the words of one call stay in the first-level
// cache next to the tables.
inline constexpr size_t kEngineWordRun = 256;

// words[i] receives the engine's output for the pixel at src + i * step
// (Y, U + 128, V + 128 through every active stage and the output tables, in
// bits 0..7, 8..15, 16..23; bits 24..31 are not specified), for i < n <=
// kEngineWordRun. The pixels' bytes 0..2 are read as a plain (not
// premultiplied) pixel; step is at least 3. The filter's chosen loop does
// the work, or its reference loop where it has none, so the words are
// exactly what Process writes. Only reads the filter: several threads may
// call it with one set-up filter.
void EngineWords(CBaseColorCorrectionFilter& filter, const BYTE* src, size_t step, size_t n,
                 uint32_t* words);

// Byte c (0..3) of a word.
inline unsigned WordByte(uint32_t word, int c)
{
    return (word >> (8 * c)) & 0xFFu;
}

// True when each of the n 4-byte pixels at src has alpha (byte 3) 255.
inline bool AllOpaque(const BYTE* src, size_t n)
{
    uint32_t all = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        uint32_t pixel;
        std::memcpy(&pixel, src + 4 * i, 4);
        all &= pixel;
    }
    return (all >> 24) == 0xFFu;
}

// Bytes 0..2 of the n 4-byte pixels at dst from the words; their fourth
// bytes are kept. Plain loads and stores the compiler turns into vector ones.
inline void StoreColourBytes(const uint32_t* words, BYTE* dst, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        uint32_t shown;
        std::memcpy(&shown, dst + 4 * i, 4);
        shown = (shown & 0xFF000000u) | (words[i] & 0xFFFFFFu);
        std::memcpy(dst + 4 * i, &shown, 4);
    }
}

} // namespace colorcorrect
