#pragma once
// The small set of platform types the host's interfaces are written in.
// BOOL results are 1 (true) or 0 (false); DWORD is exactly 32 bits (an
// `unsigned long` is 64 bits on this platform, so records never use it).

#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;

// An opaque module handle: the address of something inside the module.
typedef void* HMODULE;

#pragma pack(push, 1)
// A rectangle in picture coordinates (x to the right, y down from the top
// row), right and bottom exclusive.
struct tagRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};
#pragma pack(pop)
static_assert(sizeof(tagRECT) == 16);
