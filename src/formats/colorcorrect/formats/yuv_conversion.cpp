#include "yuv_conversion.h"

#include <algorithm>
#include <cmath>

#include "vector_dispatch.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

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

// Planar rows through a map: into the library the stream's samples (`from`)
// are mapped into `out`; back the change the correction made (`to` -
// `from`) is mapped by the linear part and added to the samples `out` holds.
struct PlaneRows {
    const uint8_t* from[3];
    const uint8_t* to[3];
    uint8_t* out[3];
};

template <bool Back>
void MapPlanes(const PlaneRows& p, size_t begin, size_t end, const Map& map)
{
    for (size_t i = begin; i < end; ++i) {
        int32_t x[3];
        for (int c = 0; c < 3; ++c)
            x[c] = Back ? p.to[c][i] - p.from[c][i] : p.from[c][i];
        for (int k = 0; k < 3; ++k) {
            const int32_t r = Apply<false>(map, k, x[0], x[1], x[2]) >> 16;
            p.out[k][i] = Clamp(Back ? p.out[k][i] + r : r);
        }
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define COLORCORRECT_AVX2 __attribute__((target("avx2")))

// The loop above in 16-bit lanes, 32 pixels at a time, for maps whose
// coefficients are 1.0 +- 0.5 on the diagonal and below 0.5 elsewhere, as a
// range change and a change of matrix are. With the diagonal 65536 + a_kk,
// the others a_kc and the offset 65536 * high + low (|low| <= 32768), output
// k before the shift is exactly 65536 * (x_k + high) + sum a_kc * x_c + low,
// so the result is x_k + high + (sum a_kc * x_c + low >> 16): multiply-adds
// of 16-bit pairs, (x_k, 1) by (a_kk, low) for a separable map, (x_0, x_1)
// by (a_k0, a_k1) and (x_2, 1) by (a_k2, low) for one that mixes. The
// compiler's own vectorisation widens every product to 32 bits and back:
// two to three times the instructions.
// a_kc: coefficient (k, c) less 1.0 on the diagonal.
int32_t Excess(const Map& map, int k, int c)
{
    return map.m[k][c] - (k == c ? 65536 : 0);
}

bool FitsAvx2(const Map& map)
{
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
            if (Excess(map, k, c) < -32767 || Excess(map, k, c) > 32767)
                return false;
    return true;
}

COLORCORRECT_AVX2 inline __m256i Widen(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Two 16-bit coefficients as the pair a multiply-add takes them.
COLORCORRECT_AVX2 inline __m256i Pair(int32_t first, int32_t second)
{
    return _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(second) << 16 |
                                                  static_cast<uint16_t>(first)));
}

// The coefficients of MapPlanesAvx2 in the form its multiply-adds take them.
struct Avx2Map {
    __m256i highs[3], first[3], second[3];
};

// The three outputs, before saturation, of the 16 pixels from i.
template <bool Separable, bool Back>
COLORCORRECT_AVX2 inline void SixteenPixels(const PlaneRows& p, size_t i, const Avx2Map& c, __m256i r[3])
{
    const __m256i ones = _mm256_set1_epi16(1);
    __m256i x[3];
    for (int k = 0; k < 3; ++k) {
        x[k] = Widen(p.from[k] + i);
        if constexpr (Back)
            x[k] = _mm256_sub_epi16(Widen(p.to[k] + i), x[k]);
    }
    const __m256i lo01 = _mm256_unpacklo_epi16(x[0], x[1]), hi01 = _mm256_unpackhi_epi16(x[0], x[1]);
    const __m256i lo2 = _mm256_unpacklo_epi16(x[2], ones), hi2 = _mm256_unpackhi_epi16(x[2], ones);
    for (int k = 0; k < 3; ++k) {
        __m256i lo, hi;
        if constexpr (Separable) {
            lo = _mm256_madd_epi16(_mm256_unpacklo_epi16(x[k], ones), c.first[k]);
            hi = _mm256_madd_epi16(_mm256_unpackhi_epi16(x[k], ones), c.first[k]);
        } else {
            lo = _mm256_add_epi32(_mm256_madd_epi16(lo01, c.first[k]), _mm256_madd_epi16(lo2, c.second[k]));
            hi = _mm256_add_epi32(_mm256_madd_epi16(hi01, c.first[k]), _mm256_madd_epi16(hi2, c.second[k]));
        }
        r[k] = _mm256_packs_epi32(_mm256_srai_epi32(lo, 16), _mm256_srai_epi32(hi, 16));
        r[k] = _mm256_add_epi16(_mm256_add_epi16(r[k], x[k]), c.highs[k]);
        if constexpr (Back)
            r[k] = _mm256_add_epi16(r[k], Widen(p.out[k] + i));
    }
}

template <bool Separable, bool Back>
COLORCORRECT_AVX2 void MapPlanesAvx2(const PlaneRows& p, size_t n, const Map& map)
{
    Avx2Map c;
    for (int k = 0; k < 3; ++k) {
        const int32_t high = (map.offset[k] + 32768) >> 16, low = map.offset[k] - high * 65536;
        c.highs[k] = _mm256_set1_epi16(static_cast<int16_t>(high));
        c.first[k] = Separable ? Pair(Excess(map, k, k), low) : Pair(Excess(map, k, 0), Excess(map, k, 1));
        c.second[k] = Pair(Excess(map, k, 2), low);
    }
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        // Both halves are worked out before anything is stored: back, the
        // stores go over samples the second half reads.
        __m256i r0[3], r1[3];
        SixteenPixels<Separable, Back>(p, i, c, r0);
        SixteenPixels<Separable, Back>(p, i + 16, c, r1);
        for (int k = 0; k < 3; ++k) {
            // Saturated to bytes; the packs work within 128-bit lanes.
            const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(r0[k], r1[k]), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p.out[k] + i), bytes);
        }
    }
    MapPlanes<Back>(p, i, n, map);
}
#endif

template <bool Back>
void RunMapPlanes(const PlaneRows& p, size_t n, const Map& map, bool separable)
{
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (HasAvx2() && FitsAvx2(map))
        return separable ? MapPlanesAvx2<true, Back>(p, n, map) : MapPlanesAvx2<false, Back>(p, n, map);
#endif
    MapPlanes<Back>(p, 0, n, map);
}

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

void YuvConversion::ToLibraryPlanes(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* ly,
                                    uint8_t* lu, uint8_t* lv, size_t pixels) const
{
    RunMapPlanes<false>(PlaneRows{{y, u, v}, {}, {ly, lu, lv}}, pixels, m_to, m_separable);
}

void YuvConversion::FromLibraryPlanes(const uint8_t* ly, const uint8_t* lu, const uint8_t* lv, const uint8_t* oy,
                                      const uint8_t* ou, const uint8_t* ov, uint8_t* y, uint8_t* u, uint8_t* v,
                                      size_t pixels) const
{
    RunMapPlanes<true>(PlaneRows{{ly, lu, lv}, {oy, ou, ov}, {y, u, v}}, pixels, m_back, m_separable);
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
