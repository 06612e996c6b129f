// The specialised correction loops and their tables (see fast_process.h).

#include "fast_process.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base_color_correction_filter.h"
#include "pixel_stages.h"

namespace colorcorrect {

bool ReferenceLoopForced()
{
    static const bool forced = [] {
        const char* v = std::getenv("COLORCORRECT_REFERENCE_LOOP");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    return forced;
}

using stages::ClampChroma;
using stages::ClampLuma;

FastTables::FastTables()
{
    for (int i = 0; i < 1024; ++i) {
        clampY[i] = static_cast<uint8_t>(ClampLuma(i - 512));
        clampC[i] = static_cast<uint8_t>(ClampChroma(i - 512) + 128);
        clampU[i] = static_cast<uint32_t>(clampC[i]) << 8;
        clampV[i] = static_cast<uint32_t>(clampC[i]) << 16;
    }
}

std::unique_ptr<FastTables> FastTables::Clone() const
{
    std::unique_ptr<FastTables> copy(new (std::nothrow) FastTables);
    if (!copy)
        return nullptr;
    copy->Assign(*this);
    return copy;
}

void FastTables::Assign(const FastTables& other)
{
    if (this == &other)
        return;
    static_cast<FastTableData&>(*this) = other;

    // Each table: the other's copied into the one held (made when none
    // is), or dropped when the other has none.
    const auto copyPairs = []<typename Table>(std::unique_ptr<Table>& to, const std::unique_ptr<Table>& from) {
        if (!from) {
            to.reset();
            return true;
        }
        if (!to)
            to.reset(new (std::nothrow) Table);
        if (!to)
            return false;
        *to = *from;
        return true;
    };
    if (!copyPairs(primaryPairs, other.primaryPairs))
        primaryContents = PairContents::None;
    if (!copyPairs(vectorPairs, other.vectorPairs))
        vectorValid = false;
    if (!copyPairs(sixChroma, other.sixChroma))
        sixChromaValid = false;
    // A plan that needs a table the copy could not get is not usable.
    if ((plan.primary != PrimaryPath::Off && !primaryPairs) || (plan.vector && !vectorPairs))
        plan = FastPlan{};
}

size_t FastTables::Bytes() const
{
    return sizeof(FastTables) + (primaryPairs ? sizeof(PairTable) : 0) +
           (vectorPairs ? sizeof(PairTable) : 0) + (sixChroma ? sizeof(SixChromaTable) : 0);
}

// The loops. A friend of the filter: they read its tables directly.
struct FastKernels {
    using Filter = CBaseColorCorrectionFilter;

    // What a loop reads: the tables inside the filter and inside its fast
    // tables sit at fixed offsets from two pointers; the separately
    // allocated tables get a pointer each. Held in locals, so that stores to
    // the output (bytes, which may alias anything) do not force reloads.
    struct Tables {
        const Filter* f;
        const FastTables* ft;
        const uint32_t* primaryPairs;
        const uint32_t* vectorPairs;
        const uint16_t* sixIndex;

        explicit Tables(const Filter& filter)
            : f(&filter), ft(filter.m_pFast),
              primaryPairs(ft->primaryPairs ? ft->primaryPairs->entry : nullptr),
              vectorPairs(ft->vectorPairs ? ft->vectorPairs->entry : nullptr),
              sixIndex(filter.m_pSixIndex)
        {
        }
    };

    // ---- pixels in and out ----------------------------------------------------

    // Working values of one input pixel: Y 0..255, the chroma bytes U + 128
    // and V + 128 (plain pixels: as stored; premultiplied ones: divided by
    // alpha, so 1..255).
    template <int PixelSize, bool Premultiplied>
    static void Read(const BYTE* src, int& y, unsigned& ub, unsigned& vb)
    {
        if constexpr (Premultiplied) {
            int u, v;
            Filter::ReadPremultipliedPixel(src, y, u, v);
            ub = static_cast<unsigned>(u + 128);
            vb = static_cast<unsigned>(v + 128);
        } else {
            y = src[0];
            ub = src[1];
            vb = src[2];
        }
    }

    // Writes n pixels from their output words (bytes 0..2 of the pixel,
    // bits 24..31 clear). 4-byte pixels take their fourth byte from `src`
    // (which may be `dst`: every pixel of the range was read before).
    template <int PixelSize, bool Premultiplied>
    static void Store(const BYTE* src, BYTE* dst, const uint32_t* words, size_t n)
    {
        size_t i = 0;
        if constexpr (PixelSize == 3) {
            // Four pixels are twelve bytes: three word stores.
            for (; i + 4 <= n; i += 4, dst += 12) {
                const uint32_t w0 = words[i] | words[i + 1] << 24;
                const uint32_t w1 = words[i + 1] >> 8 | words[i + 2] << 16;
                const uint32_t w2 = words[i + 2] >> 16 | words[i + 3] << 8;
                std::memcpy(dst, &w0, 4);
                std::memcpy(dst + 4, &w1, 4);
                std::memcpy(dst + 8, &w2, 4);
            }
            for (; i < n; ++i, dst += 3) {
                dst[0] = static_cast<BYTE>(words[i]);
                dst[1] = static_cast<BYTE>(words[i] >> 8);
                dst[2] = static_cast<BYTE>(words[i] >> 16);
            }
        } else if constexpr (!Premultiplied) {
            for (; i < n; ++i, src += 4, dst += 4) {
                const uint32_t r = words[i] | static_cast<uint32_t>(src[3]) << 24;
                std::memcpy(dst, &r, 4);
            }
        } else {
            for (; i < n; ++i, src += 4, dst += 4) {
                // The output bytes hold the clipped values (luma 0..255,
                // chroma -127..127 + 128): weight them by alpha.
                const uint32_t o = words[i];
                const int a = src[3];
                dst[0] = static_cast<BYTE>((static_cast<int>(o & 0xFFu) * a) >> 8);
                dst[1] = static_cast<BYTE>((((static_cast<int>((o >> 8) & 0xFFu) - 128) * a) >> 8) +
                                           128);
                dst[2] = static_cast<BYTE>(
                    (((static_cast<int>((o >> 16) & 0xFFu) - 128) * a) >> 8) + 128);
                dst[3] = static_cast<BYTE>(a);
            }
        }
    }

    // ---- the stages ---------------------------------------------------------------

    // Which tables end the primary stage: the output tables when no vector
    // stage follows, or the range clamp in front of the vector stages.
    enum class PrimaryEnd { Output, VectorInput };

    // Entry i of the table E names for channel C (0 Y, 1 U, 2 V).
    template <PrimaryEnd E, int C>
    static uint32_t EndTable(const Tables& t, unsigned i)
    {
        if constexpr (E == PrimaryEnd::Output)
            return C == 0 ? t.ft->outY[i] : C == 1 ? t.ft->outU[i] : t.ft->outV[i];
        else
            return C == 0 ? t.ft->clampY[i] : C == 1 ? t.ft->clampU[i] : t.ft->clampV[i];
    }

    // The primary stage (if on) of a pixel's working values, ended by the
    // tables E names. PrimaryEnd::Output gives the output word;
    // PrimaryEnd::VectorInput gives Y 0..255 in bits 0..7 and the clamped
    // chroma pair (U + 128 in bits 8..15, V + 128 in bits 16..23: the index of
    // the pair tables shifted by 8).
    template <PrimaryPath P, PrimaryEnd E>
    [[gnu::always_inline]] static uint32_t PrimaryWord(const Tables& t, int y, unsigned ub, unsigned vb)
    {
        if constexpr (P == PrimaryPath::Curves) {
            // One multiply adds the corrected luma to all three offsets
            // (each field stays below 1024, so no carries between them).
            const uint32_t e = t.primaryPairs[ub | vb << 8] + t.f->m_YLUT[y] * 0x100401u;
            const uint64_t s = t.ft->matrix[0][e & 0x3FFu] + t.ft->matrix[1][(e >> 10) & 0x3FFu] +
                               t.ft->matrix[2][e >> 20];
            return EndTable<E, 0>(t, static_cast<unsigned>(s >> 9) & 0x3FFu) |
                   EndTable<E, 1>(t, static_cast<unsigned>(s >> 30) & 0x3FFu) |
                   EndTable<E, 2>(t, static_cast<unsigned>(s >> 51));
        } else if constexpr (P == PrimaryPath::Plain) {
            const uint32_t e = t.primaryPairs[ub | vb << 8];
            return EndTable<E, 0>(t, t.f->m_YLUT[y] + (e & 0xFFFFu)) | (e >> 16 << 8);
        } else if constexpr (E == PrimaryEnd::Output) {
            return t.ft->outY[y + 512] | t.ft->outU[ub + 384] | t.ft->outV[vb + 384];
        } else {
            // Y is a byte already; chroma -128 becomes -127.
            return static_cast<uint32_t>(y) | (ub + (ub == 0)) << 8 | (vb + (vb == 0)) << 16;
        }
    }

    // The vector stages and the output tables: the output word from the
    // PrimaryEnd::VectorInput word.
    template <SixPath S, bool Match>
    [[gnu::always_inline]] static uint32_t Vector(const Tables& t, uint32_t front)
    {
        const int y = static_cast<int>(front & 0xFFu);
        const unsigned pair = front >> 8;
        int y6 = y;
        if constexpr (S == SixPath::Same) {
            y6 = t.f->m_SixYLUT[0][y];
        } else if constexpr (S == SixPath::Blend) {
            // (La * (256 - w) + Lb * w) >> 8 is La + ((Lb - La) * w >> 8):
            // 256 * La is a whole multiple of 256.
            const unsigned e = t.sixIndex[pair];
            const unsigned curves = t.ft->sixLuma[e & 0xFFu][y];
            const int la = static_cast<int>(curves & 0xFFu);
            y6 = la + (((static_cast<int>(curves >> 8) - la) * static_cast<int>(e >> 8)) >> 8);
        }
        const uint32_t ve = t.vectorPairs[pair];
        if constexpr (!Match) {
            return t.ft->outY[y6 + 512] | (ve & 0xFFFFu) << 8;
        } else {
            const int wBack = static_cast<int>((ve >> kVectorShareShift) & 0x1FFu);
            if (wBack == 256) // a background pair: vector 0's luma curve
                return t.ft->matchOut0[y6] | (ve & 0xFFFFu) << 8;
            const unsigned l = t.f->m_MatchYLUT[ve >> kVectorNumberShift][y6];
            if (l != 0 && static_cast<int>(l >> 8) <= wBack) [[likely]] {
                const int y7 =
                    (t.ft->matchY0[y6] * wBack + static_cast<int>(l & 0xFFu) * (256 - wBack)) >> 8;
                return t.ft->outY[y7 + 512] | (ve & 0xFFFFu) << 8;
            }
            // The luma window decides the weight or excludes the pixel:
            // the stages themselves.
            int yy = y, u = static_cast<int>(pair & 0xFFu) - 128,
                v = static_cast<int>(pair >> 8) - 128;
            if constexpr (S != SixPath::Off)
                t.f->SixVectorStage(yy, u, v);
            t.f->MatchVectorStage(yy, u, v);
            return t.ft->outY[yy + 512] | t.ft->outU[u + 512] | t.ft->outV[v + 512];
        }
    }

    // ---- loops ---------------------------------------------------------------------

    // Without the vector stages: one pass, pixel by pixel.
    template <int PixelSize, bool Premultiplied, PrimaryPath P>
    static void PrimaryOnlyRows(const Filter& f, const BYTE* in, BYTE* out, size_t stride,
                           size_t width, size_t rows)
    {
        const Tables t(f);
        for (size_t row = 0; row < rows; ++row, in += stride, out += stride) {
            const BYTE* src = in;
            BYTE* dst = out;
            size_t x = 0;
            if constexpr (PixelSize == 3) {
                // Four pixels are twelve bytes: three word stores. All four
                // are read before any is written, so in-place calls work.
                for (; x + 4 <= width; x += 4, src += 12, dst += 12) {
                    const uint32_t o0 = PrimaryWord<P, PrimaryEnd::Output>(t, src[0], src[1], src[2]);
                    const uint32_t o1 = PrimaryWord<P, PrimaryEnd::Output>(t, src[3], src[4], src[5]);
                    const uint32_t o2 = PrimaryWord<P, PrimaryEnd::Output>(t, src[6], src[7], src[8]);
                    const uint32_t o3 = PrimaryWord<P, PrimaryEnd::Output>(t, src[9], src[10], src[11]);
                    const uint32_t w0 = o0 | o1 << 24;
                    const uint32_t w1 = o1 >> 8 | o2 << 16;
                    const uint32_t w2 = o2 >> 16 | o3 << 8;
                    std::memcpy(dst, &w0, 4);
                    std::memcpy(dst + 4, &w1, 4);
                    std::memcpy(dst + 8, &w2, 4);
                }
            }
            for (; x < width; ++x, src += PixelSize, dst += PixelSize) {
                int y;
                unsigned ub, vb;
                Read<PixelSize, Premultiplied>(src, y, ub, vb);
                const uint32_t o = PrimaryWord<P, PrimaryEnd::Output>(t, y, ub, vb);
                Store<PixelSize, Premultiplied>(src, dst, &o, 1);
            }
        }
    }

    // With the vector stages: in chunks of a row, the stages in front of
    // them, then the vector stages, then the stores. Each pass is a shorter
    // chain of look-ups, so the processor overlaps more pixels of it than of
    // one pass doing everything. The words of the first pass may be kept or
    // taken from `front`.
    template <int PixelSize, bool Premultiplied, PrimaryPath P, SixPath S, bool Match>
    static void VectorRowsKeepingFront(const Filter& f, const BYTE* in, BYTE* out, size_t stride,
                                       size_t width, size_t rows, FrontRows front)
    {
        constexpr size_t kChunk = 256;
        const Tables t(f);
        uint32_t words[kChunk];
        for (size_t row = 0; row < rows; ++row, in += stride, out += stride) {
            for (size_t x0 = 0; x0 < width; x0 += kChunk) {
                const size_t n = width - x0 < kChunk ? width - x0 : kChunk;
                uint32_t* const kept = front.words != nullptr ? front.words + row * width + x0 : nullptr;
                if (kept != nullptr && front.reuse) {
                    std::memcpy(words, kept, n * sizeof(uint32_t));
                } else {
                    const BYTE* src = in + x0 * PixelSize;
#pragma GCC unroll 4
                    for (size_t i = 0; i < n; ++i, src += PixelSize) {
                        int y;
                        unsigned ub, vb;
                        Read<PixelSize, Premultiplied>(src, y, ub, vb);
                        words[i] = PrimaryWord<P, PrimaryEnd::VectorInput>(t, y, ub, vb);
                    }
                    if (kept != nullptr)
                        std::memcpy(kept, words, n * sizeof(uint32_t));
                }
#pragma GCC unroll 4
                for (size_t i = 0; i < n; ++i)
                    words[i] = Vector<S, Match>(t, words[i]);
                Store<PixelSize, Premultiplied>(in + x0 * PixelSize, out + x0 * PixelSize, words,
                                                n);
            }
        }
    }
    template <int PixelSize, bool Premultiplied, PrimaryPath P, SixPath S, bool Match>
    static void VectorRows(const Filter& f, const BYTE* in, BYTE* out, size_t stride,
                           size_t width, size_t rows)
    {
        VectorRowsKeepingFront<PixelSize, Premultiplied, P, S, Match>(f, in, out, stride, width, rows, FrontRows{});
    }

    // Without any stage, with output tables that clamp bytes: sixteen bytes
    // at a time with byte minimum and maximum (SSE2, part of every x86-64
    // processor); elsewhere the look-up loop.
    template <int PixelSize>
    static void ClampRows(const Filter& f, const BYTE* in, BYTE* out, size_t stride,
                          size_t width, size_t rows)
    {
#if defined(__SSE2__)
        const FastTables& ft = *f.m_pFast;
        // 48 bytes are a whole number of 3- and of 4-byte pixels; the bounds
        // repeat with the pixel (alpha bytes pass unchanged).
        alignas(16) uint8_t lo[48], hi[48];
        for (int i = 0; i < 48; ++i) {
            const int c = i % PixelSize;
            lo[i] = c < 3 ? ft.byteLo[c] : 0;
            hi[i] = c < 3 ? ft.byteHi[c] : 255;
        }
        const __m128i lo0 = _mm_load_si128(reinterpret_cast<const __m128i*>(lo));
        const __m128i lo1 = _mm_load_si128(reinterpret_cast<const __m128i*>(lo + 16));
        const __m128i lo2 = _mm_load_si128(reinterpret_cast<const __m128i*>(lo + 32));
        const __m128i hi0 = _mm_load_si128(reinterpret_cast<const __m128i*>(hi));
        const __m128i hi1 = _mm_load_si128(reinterpret_cast<const __m128i*>(hi + 16));
        const __m128i hi2 = _mm_load_si128(reinterpret_cast<const __m128i*>(hi + 32));
        const Tables t(f);
        const size_t bytes = width * PixelSize;
        for (size_t row = 0; row < rows; ++row, in += stride, out += stride) {
            size_t i = 0;
            for (; i + 48 <= bytes; i += 48) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 16));
                const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i + 32));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                                 _mm_min_epu8(_mm_max_epu8(a, lo0), hi0));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16),
                                 _mm_min_epu8(_mm_max_epu8(b, lo1), hi1));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 32),
                                 _mm_min_epu8(_mm_max_epu8(c, lo2), hi2));
            }
            for (const BYTE* src = in + i; i < bytes; i += PixelSize, src += PixelSize) {
                const uint32_t o = PrimaryWord<PrimaryPath::Off, PrimaryEnd::Output>(t, src[0], src[1], src[2]);
                Store<PixelSize, false>(src, out + i, &o, 1);
            }
        }
#else
        PrimaryOnlyRows<PixelSize, false, PrimaryPath::Off>(f, in, out, stride, width, rows);
#endif
    }

    // True when each output table, over the stored bytes 0..255 of its
    // channel, keeps a byte within bounds and passes it unchanged between
    // them; the bounds go to byteLo and byteHi.
    static bool OutputTablesClampBytes(FastTables& t)
    {
        for (int c = 0; c < 3; ++c) {
            auto map = [&](int b) {
                return c == 0 ? t.outY[b + 512] & 0xFFu
                              : ((c == 1 ? t.outU[b + 384] : t.outV[b + 384] >> 8) >> 8) & 0xFFu;
            };
            const int lo = static_cast<int>(map(0)), hi = static_cast<int>(map(255));
            if (lo > hi)
                return false;
            for (int b = 0; b < 256; ++b)
                if (static_cast<int>(map(b)) != (b < lo ? lo : (b > hi ? hi : b)))
                    return false;
            t.byteLo[c] = static_cast<uint8_t>(lo);
            t.byteHi[c] = static_cast<uint8_t>(hi);
        }
        return true;
    }

    template <PrimaryPath P, bool Vec, SixPath S, bool Match>
    static void Choose(FastPlan& plan)
    {
        if constexpr (!Vec) {
            plan.rows24 = &PrimaryOnlyRows<3, false, P>;
            plan.rows32 = &PrimaryOnlyRows<4, false, P>;
            plan.rows32Pre = &PrimaryOnlyRows<4, true, P>;
        } else {
            plan.rows24 = &VectorRows<3, false, P, S, Match>;
            plan.rows32 = &VectorRows<4, false, P, S, Match>;
            plan.rows32Pre = &VectorRows<4, true, P, S, Match>;
            plan.front24 = &VectorRowsKeepingFront<3, false, P, S, Match>;
            plan.front32 = &VectorRowsKeepingFront<4, false, P, S, Match>;
            plan.front32Pre = &VectorRowsKeepingFront<4, true, P, S, Match>;
        }
    }

    template <PrimaryPath P>
    static void ChooseVector(FastPlan& plan)
    {
        if (!plan.vector)
            return Choose<P, false, SixPath::Off, false>(plan);
        switch (plan.six) {
        case SixPath::Off:
            return plan.match ? Choose<P, true, SixPath::Off, true>(plan)
                              : Choose<P, true, SixPath::Off, false>(plan);
        case SixPath::Same:
            return plan.match ? Choose<P, true, SixPath::Same, true>(plan)
                              : Choose<P, true, SixPath::Same, false>(plan);
        case SixPath::Blend:
            return plan.match ? Choose<P, true, SixPath::Blend, true>(plan)
                              : Choose<P, true, SixPath::Blend, false>(plan);
        }
    }

    static void ChooseLoops(FastPlan& plan)
    {
        if (plan.outputClamp) {
            plan.rows24 = &ClampRows<3>;
            plan.rows32 = &ClampRows<4>;
            plan.rows32Pre = &PrimaryOnlyRows<4, true, PrimaryPath::Off>;
            return;
        }
        switch (plan.primary) {
        case PrimaryPath::Off:
            return ChooseVector<PrimaryPath::Off>(plan);
        case PrimaryPath::Plain:
            return ChooseVector<PrimaryPath::Plain>(plan);
        case PrimaryPath::Curves:
            return ChooseVector<PrimaryPath::Curves>(plan);
        }
    }

    static void Name(FastPlan& plan)
    {
        const char* primary = plan.primary == PrimaryPath::Curves  ? "primary-curves"
                              : plan.primary == PrimaryPath::Plain ? "primary-plain"
                              : plan.vector                        ? "clamp"
                              : plan.outputClamp                   ? "output-clamp"
                                                                   : "output";
        const char* six = plan.six == SixPath::Blend  ? "+six-blend"
                          : plan.six == SixPath::Same ? "+six"
                                                      : "";
        const char* match = plan.match ? "+match" : "";
        std::snprintf(plan.name, sizeof plan.name, "%s%s%s", primary, six, match);
    }

    // ---- tables -----------------------------------------------------------

    static bool NeutralChannelCurves(const Filter& f)
    {
        for (int x = -510; x <= 510; ++x)
            if (f.m_RLUT[x + 512] != x || f.m_GLUT[x + 512] != x || f.m_BLUT[x + 512] != x)
                return false;
        return true;
    }

    static bool AllSixLumaCurvesEqual(const Filter& f)
    {
        for (int i = 1; i < 6; ++i)
            if (std::memcmp(f.m_SixYLUT[i], f.m_SixYLUT[0], sizeof f.m_SixYLUT[0]) != 0)
                return false;
        return true;
    }

    static void BuildOutputTables(const Filter& f, FastTables& t)
    {
        for (int i = 0; i < 1024; ++i) {
            t.outY[i] = static_cast<uint8_t>(f.m_LumaClip[i]);
            t.outU[i] = static_cast<uint32_t>(static_cast<uint8_t>(f.m_ChromaClip[i] + 128)) << 8;
            t.outV[i] = t.outU[i] << 8;
        }
    }

    static void BuildMatrix(const Filter& f, FastTables& t)
    {
        const int16_t* curves[3] = {f.m_RLUT, f.m_GLUT, f.m_BLUT};
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 1024; ++i) {
                uint64_t word = 0;
                for (int k = 0; k < 3; ++k) {
                    // Channel c's weight in output k of the back conversion.
                    const int coef = kYuvFromRgb[k][c];
                    // Curve outputs lie in -510..510; the bias |coef| * 512
                    // keeps each product positive, and the three biases of
                    // a sum add up to 512 * 512.
                    int64_t field = static_cast<int64_t>(coef) * curves[c][i] +
                                    (coef < 0 ? -coef : coef) * 512 + (c == 0 ? 256 : 0);
                    word |= static_cast<uint64_t>(field) << (21 * k);
                }
                t.matrix[c][i] = word;
            }
    }

    // True when the curve outputs stay within -510..510, the range the
    // biased fields are made for: then each field stays below 2^19 and its
    // quotient indexes the 1024-entry output tables. (Always, for tables
    // made by the builders.)
    static bool CurvesFitTheMatrix(const Filter& f)
    {
        for (int i = 0; i < 1024; ++i)
            if (f.m_RLUT[i] < -510 || f.m_RLUT[i] > 510 || f.m_GLUT[i] < -510 ||
                f.m_GLUT[i] > 510 || f.m_BLUT[i] < -510 || f.m_BLUT[i] > 510)
                return false;
        return true;
    }

    // Saturated chroma of the primary stage for the pair (u, v).
    static void PrimaryChroma(const Filter& f, int u, int v, int& us, int& vs)
    {
        using stages::ChromaByte;
        const int u1 = ClampChroma(f.m_CosLUT[ChromaByte(u)] + f.m_SinLUT[ChromaByte(v)]);
        const int v1 = ClampChroma(f.m_CosLUT[ChromaByte(v)] - f.m_SinLUT[ChromaByte(u)]);
        us = static_cast<int8_t>(f.m_SatLUT[ChromaByte(u1)] & 0xFFu);
        vs = static_cast<int8_t>(f.m_SatLUT[ChromaByte(v1)] & 0xFFu);
    }

    static void BuildPrimaryPairs(const Filter& f, FastTables& t, PairContents contents)
    {
        f.ForSetupRows(256, [&](size_t firstRow, size_t rowCount) {
            BuildPrimaryPairRows(f, t, contents, static_cast<int>(firstRow), static_cast<int>(rowCount));
        });
    }

    // Rows vb = first .. first + count - 1 of the primary pair table.
    static void BuildPrimaryPairRows(const Filter& f, FastTables& t, PairContents contents, int first, int count)
    {
        uint32_t* entry = t.primaryPairs->entry + static_cast<size_t>(first) * 256;
        for (int vb = first; vb < first + count; ++vb)
            for (int ub = 0; ub < 256; ++ub) {
                int us, vs;
                PrimaryChroma(f, ub - 128, vb - 128, us, vs);
                // R = Y1 + cR exactly: 512 * Y1 is a whole multiple of 512.
                const RgbValue c = YuvToRgb(0, us, vs);
                const int cR = c.r, cG = c.g, cB = c.b;
                uint32_t e;
                if (contents == PairContents::PrimaryCurves) {
                    e = static_cast<uint32_t>(cR + 512) | static_cast<uint32_t>(cG + 512) << 10 |
                        static_cast<uint32_t>(cB + 512) << 20;
                } else {
                    // Neutral curves: the luma term passes through the back
                    // conversion whole and drops out of U and V.
                    const YuvValue back = RgbToYuv(cR, cG, cB);
                    const int dY = back.y, u = back.u, v = back.v;
                    uint32_t bu, bv;
                    if (contents == PairContents::PrimaryPlain) {
                        bu = (t.outU[u + 512] >> 8) & 0xFFu;
                        bv = (t.outU[v + 512] >> 8) & 0xFFu;
                    } else {
                        bu = t.clampC[u + 512];
                        bv = t.clampC[v + 512];
                    }
                    e = static_cast<uint32_t>(dY + 512) | bu << 16 | bv << 24;
                }
                *entry++ = e;
            }
    }

    // How the vector pair table gets the six-vector step's chroma.
    enum class SixChroma { Off, Work, WorkAndKeep, Kept };

    static void BuildVectorPairs(const Filter& f, FastTables& t, SixChroma six, bool match)
    {
        f.ForSetupRows(256, [&](size_t firstRow, size_t rowCount) {
            BuildVectorPairRows(f, t, six, match, static_cast<int>(firstRow), static_cast<int>(rowCount));
        });
    }

    // Rows vb = first .. first + count - 1 of the vector pair table.
    static void BuildVectorPairRows(const Filter& f, FastTables& t, SixChroma six, bool match, int first,
                                    int count)
    {
        uint16_t* const kept = six == SixChroma::WorkAndKeep || six == SixChroma::Kept ? t.sixChroma->entry : nullptr;
        size_t at = static_cast<size_t>(first) * 256;
        for (int vb = first; vb < first + count; ++vb)
            for (int ub = 0; ub < 256; ++ub, ++at) {
                // Rows and columns of chroma -128 are never looked up (the
                // range clamp comes first); they hold the clamped pair's entry.
                int y = 0, u = ClampChroma(ub - 128), v = ClampChroma(vb - 128);
                if (six == SixChroma::Kept) {
                    u = static_cast<int>(kept[at] & 0xFFu) - 128;
                    v = static_cast<int>(kept[at] >> 8) - 128;
                } else if (six != SixChroma::Off) {
                    f.SixVectorStage(y, u, v);
                    if (six == SixChroma::WorkAndKeep)
                        kept[at] = static_cast<uint16_t>((u + 128) | (v + 128) << 8);
                }
                uint32_t extra = 0;
                if (match) {
                    const unsigned e = f.m_pMatchIndex[SegmentIndexPosition(u, v)];
                    if (e == 0) {
                        f.MatchBackgroundChroma(u, v);
                        extra = 256u << kVectorShareShift;
                    } else {
                        const unsigned k = e & 0xFu;
                        const unsigned w = e >> 8;
                        f.MatchVectorChroma(u, v, k, static_cast<int>(w));
                        extra = k << kVectorNumberShift | w << kVectorShareShift;
                    }
                }
                t.vectorPairs->entry[at] = extra | (t.outU[u + 512] >> 8) | t.outU[v + 512];
            }
    }

    static void Update(Filter& f)
    {
        FastTables& t = *f.m_pFast;
        FastPlan plan;
        plan.bPrimary = f.m_bPrimary;
        plan.bVector = f.m_bVector;
        plan.bSix = f.m_bSixVector;
        plan.bMatch = f.m_bMatchVector;
        plan.vector = f.m_bVector != 0;
        const bool six = plan.vector && f.m_bSixVector != 0 && f.m_pSixIndex != nullptr;
        plan.match = plan.vector && f.m_bMatchVector != 0 && f.m_pMatchIndex != nullptr;
        plan.six = !six ? SixPath::Off : AllSixLumaCurvesEqual(f) ? SixPath::Same : SixPath::Blend;
        if (f.m_bPrimary != 0) {
            if (NeutralChannelCurves(f))
                plan.primary = PrimaryPath::Plain;
            else if (CurvesFitTheMatrix(f))
                plan.primary = PrimaryPath::Curves;
            else
                return; // tables not made by the builders: the reference loop
        }

        BuildOutputTables(f, t);
        uint8_t chromaBytes[1024];
        for (int i = 0; i < 1024; ++i)
            chromaBytes[i] = static_cast<uint8_t>(t.outU[i] >> 8);

        if (plan.primary != PrimaryPath::Off) {
            const PairContents contents = plan.primary == PrimaryPath::Curves
                                              ? PairContents::PrimaryCurves
                                          : plan.vector ? PairContents::PrimaryPlainClamped
                                                        : PairContents::PrimaryPlain;
            if (plan.primary == PrimaryPath::Curves)
                BuildMatrix(f, t);
            if (!t.primaryPairs) {
                t.primaryPairs.reset(new (std::nothrow) PairTable);
                t.primaryContents = PairContents::None;
                if (!t.primaryPairs)
                    return;
            }
            const bool same =
                t.primaryContents == contents &&
                std::memcmp(t.snapCos, f.m_CosLUT, sizeof t.snapCos) == 0 &&
                std::memcmp(t.snapSin, f.m_SinLUT, sizeof t.snapSin) == 0 &&
                std::memcmp(t.snapSat, f.m_SatLUT, sizeof t.snapSat) == 0 &&
                (contents != PairContents::PrimaryPlain ||
                 std::memcmp(t.snapPrimaryChroma, chromaBytes, sizeof chromaBytes) == 0);
            if (!same) {
                BuildPrimaryPairs(f, t, contents);
                t.primaryContents = contents;
                std::memcpy(t.snapCos, f.m_CosLUT, sizeof t.snapCos);
                std::memcpy(t.snapSin, f.m_SinLUT, sizeof t.snapSin);
                std::memcpy(t.snapSat, f.m_SatLUT, sizeof t.snapSat);
                std::memcpy(t.snapPrimaryChroma, chromaBytes, sizeof chromaBytes);
            }
        }

        if (plan.vector) {
            if (plan.match)
                for (int i = 0; i < 256; ++i) {
                    t.matchY0[i] = static_cast<uint8_t>(f.m_MatchYLUT[0][i]);
                    t.matchOut0[i] = t.outY[t.matchY0[i] + 512];
                }
            if (plan.six == SixPath::Blend)
                for (int a = 0; a < 6; ++a)
                    for (int b = 0; b < 6; ++b)
                        for (int i = 0; i < 256; ++i)
                            t.sixLuma[a + 16 * b][i] =
                                static_cast<uint16_t>(f.m_SixYLUT[a][i] | f.m_SixYLUT[b][i] << 8);
            if (!t.vectorPairs) {
                t.vectorPairs.reset(new (std::nothrow) PairTable);
                t.vectorValid = false;
                if (!t.vectorPairs)
                    return;
            }
            const bool sixOn = plan.six != SixPath::Off;
            const bool sixSame = std::memcmp(t.snapSixCos, f.m_SixCosLUT, sizeof t.snapSixCos) == 0 &&
                                 std::memcmp(t.snapSixSin, f.m_SixSinLUT, sizeof t.snapSixSin) == 0 &&
                                 std::memcmp(t.snapSixSat, f.m_SixSatLUT, sizeof t.snapSixSat) == 0;
            const bool same = t.vectorValid && t.vectorSix == sixOn && t.vectorMatch == plan.match &&
                              std::memcmp(t.snapVectorChroma, chromaBytes, sizeof chromaBytes) == 0 &&
                              (!sixOn || sixSame);
            if (!same) {
                // Without memory for the six-vector chroma it is worked out
                // each time, as it would be without keeping it.
                if (sixOn && !t.sixChroma) {
                    t.sixChroma.reset(new (std::nothrow) SixChromaTable);
                    t.sixChromaValid = false;
                }
                const SixChroma six = !sixOn                              ? SixChroma::Off
                                      : !t.sixChroma                      ? SixChroma::Work
                                      : t.sixChromaValid && sixSame ? SixChroma::Kept
                                                                          : SixChroma::WorkAndKeep;
                BuildVectorPairs(f, t, six, plan.match);
                t.sixChromaValid = six == SixChroma::Kept || six == SixChroma::WorkAndKeep;
                t.vectorValid = true;
                t.vectorSix = sixOn;
                t.vectorMatch = plan.match;
                std::memcpy(t.snapVectorChroma, chromaBytes, sizeof chromaBytes);
                std::memcpy(t.snapSixCos, f.m_SixCosLUT, sizeof t.snapSixCos);
                std::memcpy(t.snapSixSin, f.m_SixSinLUT, sizeof t.snapSixSin);
                std::memcpy(t.snapSixSat, f.m_SixSatLUT, sizeof t.snapSixSat);
            }
        }

        plan.outputClamp =
            plan.primary == PrimaryPath::Off && !plan.vector && OutputTablesClampBytes(t);
        ChooseLoops(plan);
        Name(plan);
        plan.valid = true;
        t.plan = plan;
    }
};

} // namespace colorcorrect

using colorcorrect::FastKernels;
using colorcorrect::FastTables;

void CBaseColorCorrectionFilter::UpdateFastPath(bool matchRebuilt)
{
    if (m_pFast == nullptr) {
        m_pFast = new (std::nothrow) FastTables;
        if (m_pFast == nullptr)
            return; // the reference loop serves
    }
    m_pFast->plan = colorcorrect::FastPlan{};
    if (matchRebuilt)
        m_pFast->vectorValid = false;
    FastKernels::Update(*this);
}

void CBaseColorCorrectionFilter::TablesChanged()
{
    UpdateFastPath(true);
}

const char* CBaseColorCorrectionFilter::ProcessPathName() const
{
    if (m_pFast == nullptr || !m_pFast->plan.valid)
        return "reference";
    return m_pFast->plan.name;
}

size_t CBaseColorCorrectionFilter::MemoryBytes() const
{
    size_t bytes = sizeof(CBaseColorCorrectionFilter);
    if (m_pSixIndex != nullptr)
        bytes += colorcorrect::kSegmentIndexBytes;
    if (m_pMatchIndex != nullptr)
        bytes += colorcorrect::kSegmentIndexBytes;
    if (m_pFast != nullptr)
        bytes += m_pFast->Bytes();
    return bytes;
}
