#pragma once
// Checks for the fuzz targets. A broken promise of the library is reported
// with what was expected and where, then the process aborts, so libFuzzer
// keeps the input as a crash like any sanitizer finding.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace colorcorrect::fuzz {

// Prints "fuzz check failed at FILE:LINE: CONDITION: <printf-style message>"
// and aborts.
[[noreturn]] void Fail(const char* file, int line, const char* condition, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// FUZZ_CHECK(condition, format, ...): Fail unless the condition holds.
#define FUZZ_CHECK(condition, ...)                                                         \
    do {                                                                                   \
        if (!(condition))                                                                  \
            ::colorcorrect::fuzz::Fail(__FILE__, __LINE__, #condition, __VA_ARGS__);       \
    } while (0)

// Checks what every picture promises, empty or not, and reads every pixel byte
// (so a picture that claims more pixels than its block holds is caught by the
// address sanitizer):
//  - empty: null header and pixels, width and height 0, increments 0, 0;
//  - otherwise: width and height positive, bit count 24 or 32, pixel step 3
//    or 4 to match, line step RowStride(width, bits), and the block holding
//    bfOffBits plus all rows.
void CheckPicture(const CVoraDib& dib);

// The picture's whole block, header included (empty for an empty block), to
// compare a picture before and after an operation that must not change it.
std::vector<BYTE> BlockBytes(const CVoraDib& dib);

// Aborts unless `dib`'s block holds exactly `before` (an earlier BlockBytes).
void CheckUnchanged(const CVoraDib& dib, const std::vector<BYTE>& before, const char* operation);

// Aborts unless both pictures are empty, or both have the same width, height,
// bit count and compression and equal pixel bytes (padding not compared),
// reporting the first differing pixel.
void CheckSamePixels(const CVoraDib& expected, const CVoraDib& actual, const char* what);

} // namespace colorcorrect::fuzz
