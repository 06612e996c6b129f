#include "yuv_conversion.h"

#include <algorithm>
#include <cmath>

namespace colorcorrect::formats {

namespace {

struct Coefficients {
    double kr, kb;
};
constexpr Coefficients kBt601{0.299, 0.114};
constexpr Coefficients kBt709{0.2126, 0.0722};

// R'G'B' (0..1) from normalised Y' (0..1) and Cb, Cr (-0.5..0.5).
void RgbFromYcc(const Coefficients& k, double m[3][3])
{
    const double kg = 1.0 - k.kr - k.kb;
    const double rows[3][3] = {{1.0, 0.0, 2.0 * (1.0 - k.kr)},
                               {1.0, -2.0 * k.kb * (1.0 - k.kb) / kg, -2.0 * k.kr * (1.0 - k.kr) / kg},
                               {1.0, 2.0 * (1.0 - k.kb), 0.0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = rows[i][j];
}

// Normalised Y'CbCr from R'G'B'.
void YccFromRgb(const Coefficients& k, double m[3][3])
{
    const double kg = 1.0 - k.kr - k.kb;
    const double rows[3][3] = {{k.kr, kg, k.kb},
                               {-k.kr / (2.0 * (1.0 - k.kb)), -kg / (2.0 * (1.0 - k.kb)), 0.5},
                               {0.5, -kg / (2.0 * (1.0 - k.kr)), -k.kb / (2.0 * (1.0 - k.kr))}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = rows[i][j];
}

void Multiply(const double a[3][3], const double b[3][3], double out[3][3])
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}

void Invert(const double m[3][3], double out[3][3])
{
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                       m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                       m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // Cofactor of (j, i), by cyclic indices.
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            out[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
        }
}

} // namespace

std::optional<YuvMatrix> ParseYuvMatrix(std::string_view name)
{
    if (name == "bt601")
        return YuvMatrix::Bt601;
    if (name == "bt709")
        return YuvMatrix::Bt709;
    return std::nullopt;
}

std::optional<YuvRange> ParseYuvRange(std::string_view name)
{
    if (name == "full")
        return YuvRange::Full;
    if (name == "limited")
        return YuvRange::Limited;
    return std::nullopt;
}

YuvConversion::YuvConversion(YuvMatrix matrix, YuvRange range)
    : m_identity(matrix == YuvMatrix::Bt601 && range == YuvRange::Full),
      m_separable(matrix == YuvMatrix::Bt601)
{
    // Stored samples to normalised Y'CbCr: (sample - offset) / scale.
    const bool limited = range == YuvRange::Limited;
    const double lumaScale = limited ? 219.0 : 255.0, chromaScale = limited ? 224.0 : 255.0;
    const double streamOffset[3] = {limited ? 16.0 : 0.0, 128.0, 128.0};
    const double libraryOffset[3] = {0.0, 128.0, 128.0};

    // The library's YUV is full-range BT.601; its integer coefficients are
    // that matrix rounded, so a BT.601 stream differs from it by the range
    // alone and no colour mixes into another.
    double toRgb[3][3], toLibrary[3][3], m[3][3];
    RgbFromYcc(matrix == YuvMatrix::Bt709 ? kBt709 : kBt601, toRgb);
    YccFromRgb(kBt601, toLibrary);
    Multiply(toLibrary, toRgb, m);
    const double scale[3] = {255.0 / lumaScale, 255.0 / chromaScale, 255.0 / chromaScale};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = m_separable ? (i == j ? scale[i] : 0.0) : m[i][j] * scale[j];
    double inverse[3][3];
    Invert(m, inverse);
    Build(m, libraryOffset, streamOffset, m_to);
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
            for (int d = -255; d <= 255; ++d)
                m_back[k][c][d + 255] = static_cast<int32_t>(std::lround(inverse[k][c] * d * 65536.0));
    m_chromaBack = inverse[1][1];
    for (int k = 0; k < 3; ++k)
        for (int d = 0; d < 511; ++d)
            m_step[k][d] = static_cast<int16_t>((m_back[k][k][d] + 32768) >> 16);
    for (int v = 0; v < 1536; ++v)
        m_clamp[v] = static_cast<uint8_t>(std::clamp(v - 512, 0, 255));
}

void YuvConversion::Build(const double m[3][3], const double offset[3], const double inOffset[3], Tables& t)
{
    constexpr double kOne = 65536.0;
    for (int k = 0; k < 3; ++k) {
        for (int c = 0; c < 3; ++c) {
            for (int v = 0; v < 256; ++v) {
                double term = m[k][c] * (v - inOffset[c]);
                if (c == 0)
                    term += offset[k] + 0.5; // the rounding rides on the first look-up
                t.mix[k][c][v] = static_cast<int32_t>(std::lround(term * kOne));
            }
        }
        for (int v = 0; v < 256; ++v) {
            const long s = std::lround(std::floor(m[k][k] * (v - inOffset[k]) + offset[k] + 0.5));
            t.bytes[k][v] = static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
        }
    }
}

void YuvConversion::ToLibrary(const uint8_t* in, uint8_t* out, size_t pixels, size_t pixelBytes) const
{
    // Local table pointers and restrict: byte stores may alias anything,
    // which would make the compiler reload the members for every sample.
    const uint8_t* __restrict src = in;
    uint8_t* __restrict dst = out;
    if (m_separable) {
        const uint8_t* __restrict ty = m_to.bytes[0];
        const uint8_t* __restrict tu = m_to.bytes[1];
        const uint8_t* __restrict tv = m_to.bytes[2];
        for (size_t i = 0; i < pixels; ++i, src += pixelBytes, dst += pixelBytes) {
            dst[0] = ty[src[0]];
            dst[1] = tu[src[1]];
            dst[2] = tv[src[2]];
            if (pixelBytes == 4)
                dst[3] = src[3];
        }
        return;
    }
    for (size_t i = 0; i < pixels; ++i, src += pixelBytes, dst += pixelBytes) {
        Mix(m_to, src, dst);
        if (pixelBytes == 4)
            dst[3] = src[3];
    }
}

void YuvConversion::FromLibrary(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut,
                                uint8_t* out, size_t pixels, size_t pixelBytes) const
{
    if (pixelBytes == 4)
        FromLibraryRow<4>(original, libIn, libOut, out, pixels);
    else
        FromLibraryRow<3>(original, libIn, libOut, out, pixels);
}

template <size_t Pixel>
void YuvConversion::FromLibraryRow(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut,
                                   uint8_t* out, size_t pixels) const
{
    const uint8_t* __restrict o = original;
    const uint8_t* __restrict a = libIn;
    const uint8_t* __restrict b = libOut;
    uint8_t* __restrict dst = out;
    if (m_separable) {
        const int16_t* __restrict sy = m_step[0] + 255;
        const int16_t* __restrict su = m_step[1] + 255;
        const int16_t* __restrict sv = m_step[2] + 255;
        const uint8_t* __restrict clamp = m_clamp + 512;
        for (size_t at = 0; at < pixels * Pixel; at += Pixel) {
            dst[at] = clamp[o[at] + sy[b[at] - a[at]]];
            dst[at + 1] = clamp[o[at + 1] + su[b[at + 1] - a[at + 1]]];
            dst[at + 2] = clamp[o[at + 2] + sv[b[at + 2] - a[at + 2]]];
            if constexpr (Pixel == 4)
                dst[at + 3] = b[at + 3];
        }
        return;
    }
    for (size_t at = 0; at < pixels * Pixel; at += Pixel) {
        FromLibrary(o + at, a + at, b + at, dst + at);
        if constexpr (Pixel == 4)
            dst[at + 3] = b[at + 3];
    }
}

void YuvConversion::PackToLibrary(const uint8_t* y, const uint8_t* u, const uint8_t* v, const uint8_t* a,
                                  uint8_t* out, size_t pixels, size_t pixelBytes) const
{
    const uint8_t* __restrict ys = y;
    const uint8_t* __restrict us = u;
    const uint8_t* __restrict vs = v;
    uint8_t* __restrict dst = out;
    const uint8_t* __restrict ty = m_to.bytes[0];
    const uint8_t* __restrict tu = m_to.bytes[1];
    const uint8_t* __restrict tv = m_to.bytes[2];
    for (size_t x = 0; x < pixels; ++x, dst += pixelBytes) {
        dst[0] = ty[ys[x]];
        dst[1] = tu[us[x]];
        dst[2] = tv[vs[x]];
        if (pixelBytes == 4)
            dst[3] = a[x];
    }
}

void YuvConversion::UnpackFromLibrary(const uint8_t* libIn, const uint8_t* libOut, uint8_t* y, uint8_t* u,
                                      uint8_t* v, size_t pixels, size_t pixelBytes) const
{
    const uint8_t* __restrict a = libIn;
    const uint8_t* __restrict b = libOut;
    uint8_t* __restrict ys = y;
    uint8_t* __restrict us = u;
    uint8_t* __restrict vs = v;
    const int16_t* __restrict sy = m_step[0] + 255;
    const int16_t* __restrict su = m_step[1] + 255;
    const int16_t* __restrict sv = m_step[2] + 255;
    const uint8_t* __restrict clamp = m_clamp + 512;
    for (size_t x = 0, at = 0; x < pixels; ++x, at += pixelBytes) {
        ys[x] = clamp[ys[x] + sy[b[at] - a[at]]];
        us[x] = clamp[us[x] + su[b[at + 1] - a[at + 1]]];
        vs[x] = clamp[vs[x] + sv[b[at + 2] - a[at + 2]]];
    }
}

void YuvConversion::ChromaLimits(int& lo, int& hi) const
{
    if (m_identity)
        return;
    // 1..255 is no clipping at all (the library's chroma stops at -127):
    // it leaves the stream's samples alone, those outside its range too.
    lo = lo <= 1 ? 0 : 128 + int(std::lround((lo - 128) * m_chromaBack));
    hi = hi >= 255 ? 255 : 128 + int(std::lround((hi - 128) * m_chromaBack));
}

} // namespace colorcorrect::formats
