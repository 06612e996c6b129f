#pragma once
// Arguments for the library's operations, taken from the fuzzer's bytes. Most
// picks are small, ordinary values, so that the operations do real work; the
// rest are the edges where faults hide (0, negatives, the int limits, sizes
// just past the library's limits).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

namespace colorcorrect::fuzz {

// Largest picture block (header and pixels) an input may have the library
// make, in bytes. Keeps every input fast and far below libFuzzer's memory
// limit. Sizes the library must refuse (nonpositive ones, or above its own
// limit of 1 GiB) are still passed in; only sizes it would accept and that are
// larger than this are left out (see TooLargeToTry).
inline constexpr uint64_t kMaxPictureBytes = uint64_t{1} << 17;

// A picture width or height: mostly 0..40, otherwise an edge value.
int PickDimension(FuzzedDataProvider& in);
// A bit count: mostly 24 or 32, otherwise any value (8, 16, 0, -24, ...).
int PickBits(FuzzedDataProvider& in);
// A coordinate or rectangle size: mostly -8..56, otherwise an edge value.
int PickCoordinate(FuzzedDataProvider& in);
// A flags word: mostly 0 or the premultiplied bit, otherwise any value.
unsigned long PickFlags(FuzzedDataProvider& in);

// True when the library would make a w x h picture at `bits` (it does for
// w, h > 0, bits 24 or 32 and at most 1 GiB) and that picture is larger than
// kMaxPictureBytes: the input should not ask for it.
bool TooLargeToTry(int w, int h, int bits);

} // namespace colorcorrect::fuzz
