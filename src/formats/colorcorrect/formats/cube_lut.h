#pragma once
// 3D lookup tables in the .cube text format that sample a correction.
//
// Grid point (i, j, k) of an N-point table stands for the RGB input
// (i, j, k) / (N - 1) in 0..1. The sampled value is the 8-bit RGB colour
// nearest to it (round(255 * i / (N - 1)), ...), taken to the library's YUV,
// corrected, and taken back to 8-bit RGB with the library's formulas; the
// table holds that result / 255. Red changes fastest, then green, then blue,
// as the format requires. The corrections work on 8-bit values, so a table
// with N - 1 dividing 255 (N = 2, 4, 6, 16, 18, 52, 86, 256) samples exact
// 8-bit inputs; other sizes are off by at most half an 8-bit step at a grid
// point.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "stream_pipeline.h"

namespace colorcorrect::formats {

inline constexpr int kMinCubeSize = 2;
inline constexpr int kMaxCubeSize = 256;

struct CubeLut {
    int size = 0;                // N points along each axis
    std::vector<uint8_t> rgb;    // N^3 entries of R, G, B (0..255), red fastest
    std::string title;
};

// The 8-bit input of grid index i of an N-point axis.
int CubeGridValue(int i, int size);

// Samples `process` (a correction of packed 24-bit YUV pictures) on an
// N-point grid. False with a message when N is outside 2..256 or the
// processor fails.
bool SampleCube(int size, const PictureProcessor& process, CubeLut& lut, std::string& error);

// The title a table gets from its correction file's name: "look" for
// "dir/look.json", "correction" for standard input ("-").
std::string CubeTitleForPath(const std::string& path);

// The .cube text: a comment line, TITLE (when set), LUT_3D_SIZE, the domain,
// then N^3 lines "r g b" with six decimals.
std::string FormatCube(const CubeLut& lut);

// The same text in parts, for a writer that sends it as it is made: the head
// (everything before the entries), then the lines of entries first..first +
// count - 1 (those past the end are left out) appended to `text`.
std::string FormatCubeHead(const CubeLut& lut);
void AppendCubeEntries(const CubeLut& lut, size_t first, size_t count, std::string& text);

// Reads .cube text with a LUT_3D_SIZE of 2..256 and a domain of 0..1 into
// 8-bit values (rounded). Comments, TITLE and DOMAIN_MIN/MAX lines are read;
// 1D tables and other domains are refused. Safe on any bytes.
bool ParseCube(std::string_view text, CubeLut& lut, std::string& error) noexcept;

} // namespace colorcorrect::formats
