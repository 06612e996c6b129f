#pragma once
// The chroma part of the conversion to RGB as a table over chroma pairs, for
// display loops that convert every corrected pixel. Internal.

#include <cstdint>

#include "../host/yuv_rgb.h"

namespace colorcorrect {

// Entry ub | vb << 8 (the stored chroma bytes, U + 128 and V + 128) holds
// R - Y, G - Y and B - Y of YuvToRgb(Y, U, V) plus 512 in bits 0..9, 10..19
// and 20..29: the luma term 512 * Y of each numerator is a whole multiple of
// the denominator, so the difference does not depend on Y. Adding
// Y * 0x100401 (Y 0..255) gives R, G, B + 512 in the same fields. 256 KB,
// made once per process at the first call; thread-safe.
const uint32_t* RgbOffsetPairs();

// The chroma pair (U + 128 | (V + 128) << 8) of an engine output word (Y,
// U + 128, V + 128 in bits 0..7, 8..15, 16..23): the index of the tables here.
inline uint32_t PairOfWord(uint32_t word)
{
    return (word >> 8) & 0xFFFFu;
}

// R, G, B + 512 of an engine output word in bits 0..9, 10..19 and 20..29,
// through the table above.
inline uint32_t RgbFieldsOfWord(const uint32_t* rgbPairs, uint32_t word)
{
    return rgbPairs[PairOfWord(word)] + (word & 0xFFu) * 0x100401u;
}

// R, G, B (not clamped) of an engine output word.
inline RgbValue RgbOfWord(const uint32_t* rgbPairs, uint32_t word)
{
    const uint32_t c = RgbFieldsOfWord(rgbPairs, word);
    return {static_cast<int>(c & 0x3FFu) - 512, static_cast<int>((c >> 10) & 0x3FFu) - 512,
            static_cast<int>(c >> 20) - 512};
}

// The YUV a scope counts for such a pixel, when the output tables only clamp
// to the range: RgbToYuv of the R, G, B above is (Y + dY, U', V'), exactly,
// since the luma row of the matrix sums to the denominator and the chroma
// rows to 0. Entry ub | vb << 8 holds ClampChroma(U') + 128 in bits 0..7,
// ClampChroma(V') + 128 in bits 8..15 and dY + 512 in bits 16..25; the
// scope's luma is ClampLuma(Y + dY). 256 KB, made once per process at the
// first call; thread-safe.
const uint32_t* ScopeSamplePairs();

// dY above is 0 for all but a few pairs, where the roundings of the
// conversion there and back move the luma by one: elsewhere the scope's luma
// of a word is its Y. Entry ub holds the chroma bits (word & 0xFFFF00) of the
// one pair with that U whose luma moves, or ~0u when there is none. Null if
// some U had two such pairs, which the conversion does not give. 1 KB, made
// once per process at the first call; thread-safe.
const uint32_t* ScopeMovedLumaPairs();

} // namespace colorcorrect
