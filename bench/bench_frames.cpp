#include "bench_frames.h"

#include <cmath>
#include <cstdint>

namespace colorcorrect::bench {

namespace {

// A small fast generator: the content only has to look like pictures.
struct XorShift {
    uint64_t state;
    uint32_t Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 16);
    }
};

BYTE ClampByte(double v)
{
    return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

} // namespace

Frame MakeFrame(int width, int height, int bits, Content content)
{
    Frame f;
    f.header.biSize = 40;
    f.header.biWidth = width;
    f.header.biHeight = height;
    f.header.biPlanes = 1;
    f.header.biBitCount = static_cast<uint16_t>(bits);
    f.header.biCompression = YUV_COMPRESSION;
    f.stride = RowStride(width, bits);
    f.pixels.assign(f.stride * static_cast<size_t>(height), 0);
    f.header.biSizeImage = static_cast<uint32_t>(f.pixels.size());
    const size_t pixelSize = bits == 24 ? 3 : 4;

    XorShift rng{0x9E3779B97F4A7C15ull};
    if (content == Content::Random) {
        for (BYTE& b : f.pixels)
            b = static_cast<BYTE>(rng.Next());
        return f;
    }

    // Luma: a diagonal ramp with soft round highlights. Chroma: slow waves
    // across the frame, so neighbouring pixels have nearby colours, as in a
    // photographed scene. Plus a few units of noise on every channel.
    const double sx = 1.0 / width, sy = 1.0 / height;
    for (int row = 0; row < height; ++row) {
        BYTE* p = f.pixels.data() + static_cast<size_t>(row) * f.stride;
        const double ty = row * sy;
        for (int x = 0; x < width; ++x, p += pixelSize) {
            const double tx = x * sx;
            const double blob = std::exp(-((tx - 0.3) * (tx - 0.3) + (ty - 0.6) * (ty - 0.6)) * 12);
            const double luma = 30 + 160 * (0.6 * tx + 0.4 * ty) + 60 * blob;
            const double u = 128 + 50 * std::sin(6.0 * tx + 2.0 * ty) * std::cos(3.0 * ty);
            const double v = 128 + 45 * std::cos(5.0 * ty - 3.0 * tx) + 20 * blob;
            const uint32_t n = rng.Next();
            p[0] = ClampByte(luma + static_cast<int>(n & 7) - 4);
            p[1] = ClampByte(u + static_cast<int>((n >> 3) & 3) - 2);
            p[2] = ClampByte(v + static_cast<int>((n >> 5) & 3) - 2);
            if (pixelSize == 4)
                p[3] = 255;
        }
    }
    return f;
}

std::string ContentName(Content content)
{
    return content == Content::Natural ? "natural" : "random";
}

} // namespace colorcorrect::bench
