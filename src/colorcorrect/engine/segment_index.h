#pragma once
// Formats of the two hue segment indexes a filter owns.
//
// Both indexes are 256 x 256 tables of 16-bit entries, one per chroma pair
// (U, V) with U and V signed in -128..127: rows by V, columns by U.
//
// Six-vector index entry: bits 0..3 segment a (0..5), bits 4..7 the
// neighbouring segment b, bits 8..15 the neighbour's weight w (0..128). A
// pixel takes (256 - w)/256 of segment a's correction and w/256 of b's.
//
// Match-vector index entry: 0 means background (no vector). Otherwise bits
// 0..3 name the vector k and bits 8..15 hold the background's share W
// (0 = vector k fully, up to 255). Bits 4..7 are markers for the isolate
// display; the correction ignores them.

#include <cstddef>
#include <cstdint>

namespace colorcorrect {

// Entries and bytes of one index (128 KB, from the page allocator).
inline constexpr size_t kSegmentIndexEntries = 256 * 256;
inline constexpr size_t kSegmentIndexBytes = kSegmentIndexEntries * sizeof(uint16_t);

// Position of the pair (u, v), both in -128..127, inside an index.
inline constexpr size_t SegmentIndexPosition(int u, int v)
{
    return static_cast<size_t>(v + 128) * 256u + static_cast<size_t>(u + 128);
}

// Lower boundary angles (radians) of the six hue segments magenta, red,
// yellow, green, cyan and blue; segment i runs up to boundary i + 1, and
// segment 5 wraps round to boundary 0 + 2*pi. Each boundary bisects two
// neighbouring colour-bar hues.
inline constexpr double kSixSegmentBoundaries[6] = {
    0.37044057, 1.3988929, 2.43859, 3.5120332, 4.5404855, 5.5801827};

// Match index markers (bits 4..7 with the edge bit 0x80).
inline constexpr uint16_t kMatchEdge = 0x80;   // in a vector's soft edge (weight in bits 8..15)
inline constexpr uint16_t kMatchInside = 0xD0; // fully inside a vector (bits 0x80, 0x40, 0x10)

} // namespace colorcorrect
