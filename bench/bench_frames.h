#pragma once
// Frames for the benchmarks, generated (no files): natural-looking content
// (smooth gradients with a little noise, the way camera pictures vary) and
// uniformly random bytes (every chroma pair equally likely: the worst case
// for tables indexed by chroma).

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <string>
#include <vector>

namespace colorcorrect::bench {

enum class Content { Natural, Random };

struct Frame {
    tagYUVBMINFOHEADER header{};
    std::vector<BYTE> pixels; // stride * height bytes
    size_t stride = 0;
    size_t Pixels() const
    {
        return static_cast<size_t>(header.biWidth) * static_cast<size_t>(header.biHeight);
    }
};

// A packed YUV frame of width x height pixels, 24 or 32 bits (alpha 255 for
// natural content, random for random content). Deterministic.
Frame MakeFrame(int width, int height, int bits, Content content);

// "natural" or "random".
std::string ContentName(Content content);

} // namespace colorcorrect::bench
