#pragma once
// Checks that abort (libFuzzer keeps the input like any sanitizer finding),
// and arguments from the fuzzer's bytes: mostly small ordinary values so that
// the library does real work, the rest the edges where faults hide.

#include <colorcorrect/colorcorrect.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace colorcorrect::fuzz {

[[noreturn]] void Fail(const char* file, int line, const char* condition);
[[noreturn]] void Fail(const char* file, int line, const char* condition, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// FUZZ_CHECK(condition) or FUZZ_CHECK(condition, "format", values...)
#define FUZZ_CHECK(condition, ...)                                                                 \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::colorcorrect::fuzz::Fail(__FILE__, __LINE__, #condition __VA_OPT__(, ) __VA_ARGS__); \
    } while (0)

// An empty picture is all zeros; any other 24 or 32 bits, its increments and block right.
void CheckPicture(const CVoraDib& dib);
std::vector<BYTE> BlockBytes(const CVoraDib& dib); // header included; empty for an empty picture
void CheckUnchanged(const CVoraDib& dib, const std::vector<BYTE>& before, const char* operation);
// Same size, bit count, compression and pixel bytes (padding not compared).
void CheckSamePixels(const CVoraDib& expected, const CVoraDib& actual, const char* what);
unsigned PixelStep(const CVoraDib& dib);
BYTE* PixelAt(const CVoraDib& dib, int x, int y); // pixel x of memory row y
bool IsYuv(const CVoraDib& dib);

// Pictures an input may have the library make stay below this many bytes.
inline constexpr uint64_t kMaxPictureBytes = uint64_t{1} << 17;

int PickDimension(FuzzedDataProvider& in);  // mostly 0..40, else an edge size or any int
int PickCoordinate(FuzzedDataProvider& in); // mostly -8..56, likewise
int PickBits(FuzzedDataProvider& in);       // mostly 24 or 32
unsigned long PickFlags(FuzzedDataProvider& in);
unsigned PickSmallOrAny(FuzzedDataProvider& in, unsigned hi); // 0..hi or any
// The library would make this picture, and it is larger than kMaxPictureBytes.
bool TooLargeToTry(int w, int h, int bits);
// Mostly a small RGB or packed YUV picture, sometimes an empty one or one whose header was changed behind its back.
CVoraDib MakePicture(FuzzedDataProvider& in);
// A frame header: any size (negative heights too), bit count, compression (mostly "@YUV"), flags and field order.
tagYUVBMINFOHEADER MakeHeader(FuzzedDataProvider& in);
// A pattern in exactly `size` bytes (at least one allocated), so that the address sanitizer sees overruns.
std::unique_ptr<BYTE[]> Pattern(uint64_t size, FuzzedDataProvider& in);

// One edit of a record: every byte, the default, the sizes put right, the groups, a match vector, a few values.
void EditCorrection(tagCOLORCORRINFO& cc, FuzzedDataProvider& in);
bool WellFormedCorrection(const tagCOLORCORRINFO& cc); // the engine must accept it

inline void CopyIn(void* to, const std::vector<uint8_t>& raw)
{
    if (!raw.empty())
        std::memcpy(to, raw.data(), raw.size());
}

template <typename T>
bool SameBytes(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace colorcorrect::fuzz
