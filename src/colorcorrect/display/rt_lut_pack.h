#pragma once
// The real-time lookup package: a primary correction packed into 2052 bytes
// for a real-time consumer outside the library. The byte layout is binding;
// docs/rt-lut-package.md describes it for readers outside the library.

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct tagBCC_RTLUTPACK {
    // 0: CRC-32/ISO-HDLC (GetCRC1615) of all 2052 bytes, computed with this
    // field set to 0.
    uint32_t dwCRC;
    // 4: for input value i, the blue, green and red outputs of the channel
    // curves and a reserved byte. The reserved byte of entry 0 (offset 7)
    // carries the mode: 0 full range, 1 legal levels, 2 chroma reduced, 4 a
    // neutral correction. The other reserved bytes are not written.
    uint8_t RGB[256][4];
    // 1028: for input i, the sine term, the cosine term, the corrected luma
    // and the saturation term. The sine, cosine and saturation terms are
    // signed bytes for the chroma value i read as a signed byte.
    uint8_t YUV[256][4];
};
#pragma pack(pop)

static_assert(sizeof(tagBCC_RTLUTPACK) == 2052);
static_assert(offsetof(tagBCC_RTLUTPACK, dwCRC) == 0);
static_assert(offsetof(tagBCC_RTLUTPACK, RGB) == 4);
static_assert(offsetof(tagBCC_RTLUTPACK, YUV) == 1028);
