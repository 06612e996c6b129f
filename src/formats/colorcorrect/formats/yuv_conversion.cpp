#include "yuv_conversion.h"

#include <algorithm>
#include <cmath>

#include "vector_dispatch.h"

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

uint8_t Clamp(int32_t v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
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
    const int streamOffset[3] = {limited ? 16 : 0, 128, 128};
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
    constexpr double kOne = 65536.0;
    for (int k = 0; k < 3; ++k) {
        // The rounding (half up) rides on the offsets; the stream's offsets
        // are whole samples, so taking them out of the products is exact.
        m_to.offset[k] = static_cast<int32_t>(std::lround((libraryOffset[k] + 0.5) * kOne));
        m_back.offset[k] = 32768;
        for (int c = 0; c < 3; ++c) {
            m_to.m[k][c] = static_cast<int32_t>(std::lround(m[k][c] * kOne));
            m_back.m[k][c] = static_cast<int32_t>(std::lround(inverse[k][c] * kOne));
            m_to.offset[k] -= m_to.m[k][c] * streamOffset[c];
        }
    }
    // A coefficient rounded to 16.16 is a little off its scale, which can
    // carry a sample the exact scale puts half-way between two values below
    // that rounding (limited-range chroma 16: -127.5 + 128.5 is 1, but
    // 0.9995 after the products). Separable maps take the smallest nudge of
    // the offset that rounds every sample as the exact product does.
    for (int k = 0; m_separable && k < 3; ++k) {
        auto rounds = [&](int32_t nudge) {
            for (int v = 0; v < 256; ++v) {
                const double exact = std::floor(m[k][k] * (v - streamOffset[k]) + libraryOffset[k] + 0.5);
                if (Clamp((m_to.m[k][k] * v + m_to.offset[k] + nudge) >> 16) != std::clamp(exact, 0.0, 255.0))
                    return false;
            }
            return true;
        };
        for (int32_t nudge = 0; nudge <= 256; ++nudge)
            if (rounds(nudge)) {
                m_to.offset[k] += nudge;
                break;
            }
    }
    m_chromaBack = inverse[1][1];
}

namespace {

using Map = YuvConversion::Map;

// Output k of a map before the shift: three products and the offset, or one
// product and the offset where the map keeps the components apart. The map
// comes by value, so the loops keep it in registers: byte stores may alias
// anything reached through a pointer.
template <bool Separable>
[[gnu::always_inline]] inline int32_t Apply(const Map& t, int k, int32_t x0, int32_t x1, int32_t x2)
{
    if constexpr (Separable)
        return t.m[k][k] * (k == 0 ? x0 : (k == 1 ? x1 : x2)) + t.offset[k];
    else
        return t.m[k][0] * x0 + t.m[k][1] * x1 + t.m[k][2] * x2 + t.offset[k];
}

// The row loops; a fourth byte a pixel (alpha) is copied. Back, the map is
// applied to the change and added to the stream's sample.
struct ToLibraryRow {
    template <bool Separable, size_t Pixel>
    COLORCORRECT_ROW_BODY static void Body(const uint8_t* __restrict in, uint8_t* __restrict out, size_t pixels,
                                           Map to)
    {
        for (size_t at = 0; at < pixels * Pixel; at += Pixel) {
            const int32_t y = in[at], u = in[at + 1], v = in[at + 2];
            for (int k = 0; k < 3; ++k)
                out[at + k] = Clamp(Apply<Separable>(to, k, y, u, v) >> 16);
            if constexpr (Pixel == 4)
                out[at + 3] = in[at + 3];
        }
    }
};

struct FromLibraryRow {
    template <bool Separable, size_t Pixel>
    COLORCORRECT_ROW_BODY static void Body(const uint8_t* __restrict o, const uint8_t* __restrict a,
                                           const uint8_t* __restrict b, uint8_t* __restrict out, size_t pixels,
                                           Map back)
    {
        for (size_t at = 0; at < pixels * Pixel; at += Pixel) {
            const int32_t d0 = b[at] - a[at], d1 = b[at + 1] - a[at + 1], d2 = b[at + 2] - a[at + 2];
            for (int k = 0; k < 3; ++k)
                out[at + k] = Clamp(o[at + k] + (Apply<Separable>(back, k, d0, d1, d2) >> 16));
            if constexpr (Pixel == 4)
                out[at + 3] = b[at + 3];
        }
    }
};

struct PackToLibraryRow {
    template <bool Separable, size_t Pixel>
    COLORCORRECT_ROW_BODY static void Body(const uint8_t* __restrict ys, const uint8_t* __restrict us,
                                           const uint8_t* __restrict vs, const uint8_t* __restrict as,
                                           uint8_t* __restrict out, size_t pixels, Map to)
    {
        for (size_t x = 0; x < pixels; ++x) {
            const int32_t y = ys[x], u = us[x], v = vs[x];
            for (int k = 0; k < 3; ++k)
                out[Pixel * x + k] = Clamp(Apply<Separable>(to, k, y, u, v) >> 16);
            if constexpr (Pixel == 4)
                out[Pixel * x + 3] = as[x];
        }
    }
};

struct UnpackFromLibraryRow {
    template <bool Separable, size_t Pixel>
    COLORCORRECT_ROW_BODY static void Body(const uint8_t* __restrict a, const uint8_t* __restrict b,
                                           uint8_t* __restrict ys, uint8_t* __restrict us, uint8_t* __restrict vs,
                                           size_t pixels, Map back)
    {
        for (size_t x = 0; x < pixels; ++x) {
            const size_t at = Pixel * x;
            const int32_t d0 = b[at] - a[at], d1 = b[at + 1] - a[at + 1], d2 = b[at + 2] - a[at + 2];
            const int32_t y = ys[x], u = us[x], v = vs[x];
            ys[x] = Clamp(y + (Apply<Separable>(back, 0, d0, d1, d2) >> 16));
            us[x] = Clamp(u + (Apply<Separable>(back, 1, d0, d1, d2) >> 16));
            vs[x] = Clamp(v + (Apply<Separable>(back, 2, d0, d1, d2) >> 16));
        }
    }
};

// The four variants of a row loop, by map and pixel size.
template <class Loop, class... Args>
void RunVariant(bool separable, size_t pixelBytes, Args... args)
{
    if (separable)
        pixelBytes == 4 ? RunRow<Loop::template Body<true, 4>>(args...) : RunRow<Loop::template Body<true, 3>>(args...);
    else
        pixelBytes == 4 ? RunRow<Loop::template Body<false, 4>>(args...) : RunRow<Loop::template Body<false, 3>>(args...);
}

} // namespace

void YuvConversion::ToLibrary(const uint8_t* in, uint8_t* out, size_t pixels, size_t pixelBytes) const
{
    RunVariant<ToLibraryRow>(m_separable, pixelBytes, in, out, pixels, m_to);
}

void YuvConversion::FromLibrary(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut,
                                uint8_t* out, size_t pixels, size_t pixelBytes) const
{
    RunVariant<FromLibraryRow>(m_separable, pixelBytes, original, libIn, libOut, out, pixels, m_back);
}

void YuvConversion::PackToLibrary(const uint8_t* y, const uint8_t* u, const uint8_t* v, const uint8_t* a,
                                  uint8_t* out, size_t pixels, size_t pixelBytes) const
{
    RunVariant<PackToLibraryRow>(m_separable, pixelBytes, y, u, v, a, out, pixels, m_to);
}

void YuvConversion::UnpackFromLibrary(const uint8_t* libIn, const uint8_t* libOut, uint8_t* y, uint8_t* u,
                                      uint8_t* v, size_t pixels, size_t pixelBytes) const
{
    RunVariant<UnpackFromLibraryRow>(m_separable, pixelBytes, libIn, libOut, y, u, v, pixels, m_back);
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
