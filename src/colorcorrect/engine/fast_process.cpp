// The specialised correction loops and their tables (see fast_process.h).

#include "fast_process.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "base_color_correction_filter.h"

namespace colorcorrect {

using stages::ClampChroma;
using stages::ClampLuma;

FastTables::FastTables()
{
    for (int i = 0; i < 1024; ++i) {
        clampY[i] = static_cast<uint8_t>(ClampLuma(i - 512));
        clampC[i] = static_cast<uint8_t>(ClampChroma(i - 512) + 128);
    }
}

std::unique_ptr<FastTables> FastTables::Clone() const
{
    std::unique_ptr<FastTables> copy(new (std::nothrow) FastTables);
    if (!copy)
        return nullptr;
    // Everything but the pair tables is plain data.
    copy->plan = plan;
    copy->primaryContents = primaryContents;
    copy->vectorValid = vectorValid;
    copy->vectorSix = vectorSix;
    copy->vectorMatch = vectorMatch;
    std::memcpy(copy->matrix, matrix, sizeof matrix);
    std::memcpy(copy->outY, outY, sizeof outY);
    std::memcpy(copy->outU, outU, sizeof outU);
    std::memcpy(copy->outV, outV, sizeof outV);
    std::memcpy(copy->matchY0, matchY0, sizeof matchY0);
    std::memcpy(copy->snapCos, snapCos, sizeof snapCos);
    std::memcpy(copy->snapSin, snapSin, sizeof snapSin);
    std::memcpy(copy->snapSat, snapSat, sizeof snapSat);
    std::memcpy(copy->snapPrimaryChroma, snapPrimaryChroma, sizeof snapPrimaryChroma);
    std::memcpy(copy->snapSixCos, snapSixCos, sizeof snapSixCos);
    std::memcpy(copy->snapSixSin, snapSixSin, sizeof snapSixSin);
    std::memcpy(copy->snapSixSat, snapSixSat, sizeof snapSixSat);
    std::memcpy(copy->snapVectorChroma, snapVectorChroma, sizeof snapVectorChroma);

    if (primaryPairs) {
        copy->primaryPairs.reset(new (std::nothrow) PairTable);
        if (copy->primaryPairs)
            *copy->primaryPairs = *primaryPairs;
        else
            copy->primaryContents = PairContents::None;
    }
    if (vectorPairs) {
        copy->vectorPairs.reset(new (std::nothrow) PairTable);
        if (copy->vectorPairs)
            *copy->vectorPairs = *vectorPairs;
        else
            copy->vectorValid = false;
    }
    // A plan that needs a table the copy could not get is not usable.
    if ((plan.primary != PrimaryPath::Off && !copy->primaryPairs) ||
        (plan.vector && !copy->vectorPairs))
        copy->plan = FastPlan{};
    return copy;
}

size_t FastTables::Bytes() const
{
    return sizeof(FastTables) + (primaryPairs ? sizeof(PairTable) : 0) +
           (vectorPairs ? sizeof(PairTable) : 0);
}

// The loops. A friend of the filter: they read its tables directly.
struct FastKernels {
    using Filter = CBaseColorCorrectionFilter;

    // Everything a loop reads, as local pointers: stores to the output
    // cannot change them, so they stay in registers.
    struct Tables {
        const Filter& f;
        const uint32_t* primaryPairs;
        const uint32_t* vectorPairs;
        const uint8_t* yLut;
        const uint64_t* matrixR;
        const uint64_t* matrixG;
        const uint64_t* matrixB;
        const uint32_t* outY;
        const uint32_t* outU;
        const uint32_t* outV;
        const uint8_t* clampY;
        const uint8_t* clampC;
        const uint16_t* sixIndex;
        const uint8_t (*sixY)[256];
        const uint16_t (*matchY)[256];
        const uint8_t* matchY0;

        explicit Tables(const Filter& filter)
            : f(filter), primaryPairs(filter.m_pFast->primaryPairs
                                          ? filter.m_pFast->primaryPairs->entry
                                          : nullptr),
              vectorPairs(filter.m_pFast->vectorPairs ? filter.m_pFast->vectorPairs->entry
                                                      : nullptr),
              yLut(filter.m_YLUT), matrixR(filter.m_pFast->matrix[0]),
              matrixG(filter.m_pFast->matrix[1]), matrixB(filter.m_pFast->matrix[2]),
              outY(filter.m_pFast->outY), outU(filter.m_pFast->outU), outV(filter.m_pFast->outV),
              clampY(filter.m_pFast->clampY), clampC(filter.m_pFast->clampC),
              sixIndex(filter.m_pSixIndex), sixY(filter.m_SixYLUT), matchY(filter.m_MatchYLUT),
              matchY0(filter.m_pFast->matchY0)
        {
        }
    };

    // The pixel's output bytes 0..2 as a word (Y, U + 128, V + 128 after the
    // output tables; bits 24..31 clear) from its working values: Y 0..255
    // and the chroma bytes U + 128, V + 128 (1..255 or, without any stage,
    // 0..255).
    template <PrimaryPath P, bool Vec, SixPath S, bool Match>
    static uint32_t Correct(const Tables& t, int y, unsigned ub, unsigned vb)
    {
        uint32_t o = 0;
        if constexpr (P == PrimaryPath::Curves) {
            // One multiply adds the corrected luma to all three offsets
            // (each field stays below 1024, so no carries between them).
            const uint32_t e = t.primaryPairs[ub | vb << 8] + t.yLut[y] * 0x100401u;
            const uint64_t s =
                t.matrixR[e & 0x3FFu] + t.matrixG[(e >> 10) & 0x3FFu] + t.matrixB[e >> 20];
            const unsigned iy = static_cast<unsigned>(s >> 9) & 0x3FFu;
            const unsigned iu = static_cast<unsigned>(s >> 30) & 0x3FFu;
            const unsigned iv = static_cast<unsigned>(s >> 51);
            if constexpr (!Vec)
                return t.outY[iy] | t.outU[iu] | t.outV[iv];
            y = t.clampY[iy];
            ub = t.clampC[iu];
            vb = t.clampC[iv];
        } else if constexpr (P == PrimaryPath::Plain) {
            const uint32_t e = t.primaryPairs[ub | vb << 8];
            const unsigned i = t.yLut[y] + (e & 0xFFFFu);
            if constexpr (!Vec)
                return t.outY[i] | (e >> 16 << 8);
            y = t.clampY[i];
            ub = (e >> 16) & 0xFFu;
            vb = e >> 24;
        } else {
            if constexpr (!Vec)
                return t.outY[y + 512] | t.outU[ub + 384] | t.outV[vb + 384];
            // The range clamp: Y is a byte already, chroma -128 becomes -127.
            ub += ub == 0;
            vb += vb == 0;
        }

        if constexpr (Vec) {
            const unsigned pair = ub | vb << 8;
            int y6 = y;
            if constexpr (S == SixPath::Same) {
                y6 = t.sixY[0][y];
            } else if constexpr (S == SixPath::Blend) {
                const unsigned e = t.sixIndex[pair];
                const int w = static_cast<int>(e >> 8);
                y6 = (t.sixY[e & 0xFu][y] * (256 - w) + t.sixY[(e >> 4) & 0xFu][y] * w) >> 8;
            }
            const uint32_t ve = t.vectorPairs[pair];
            if constexpr (!Match) {
                o = t.outY[y6 + 512] | (ve & 0xFFFFu) << 8;
            } else if ((ve & kVectorMatched) == 0) {
                o = t.outY[t.matchY0[y6] + 512] | (ve & 0xFFFFu) << 8;
            } else {
                const unsigned l = t.matchY[(ve >> 24) & 0xFu][y6];
                const int wBack = static_cast<int>((ve >> 16) & 0xFFu);
                if (l != 0 && static_cast<int>(l >> 8) <= wBack) {
                    const int y7 =
                        (t.matchY0[y6] * wBack + static_cast<int>(l & 0xFFu) * (256 - wBack)) >> 8;
                    o = t.outY[y7 + 512] | (ve & 0xFFFFu) << 8;
                } else {
                    // The luma window decides: the stages themselves.
                    int yy = y, u = static_cast<int>(ub) - 128, v = static_cast<int>(vb) - 128;
                    if constexpr (S != SixPath::Off)
                        t.f.SixVectorStage(yy, u, v);
                    t.f.MatchVectorStage(yy, u, v);
                    o = t.outY[yy + 512] | t.outU[u + 512] | t.outV[v + 512];
                }
            }
        }
        return o;
    }

    template <int PixelSize, bool Premultiplied, PrimaryPath P, bool Vec, SixPath S, bool Match>
    static void Rows(const Filter& f, const BYTE* in, BYTE* out, size_t stride, size_t width,
                     size_t rows)
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
                    const uint32_t o0 = Correct<P, Vec, S, Match>(t, src[0], src[1], src[2]);
                    const uint32_t o1 = Correct<P, Vec, S, Match>(t, src[3], src[4], src[5]);
                    const uint32_t o2 = Correct<P, Vec, S, Match>(t, src[6], src[7], src[8]);
                    const uint32_t o3 = Correct<P, Vec, S, Match>(t, src[9], src[10], src[11]);
                    const uint32_t w0 = o0 | o1 << 24;
                    const uint32_t w1 = o1 >> 8 | o2 << 16;
                    const uint32_t w2 = o2 >> 16 | o3 << 8;
                    std::memcpy(dst, &w0, 4);
                    std::memcpy(dst + 4, &w1, 4);
                    std::memcpy(dst + 8, &w2, 4);
                }
            }
            for (; x < width; ++x, src += PixelSize, dst += PixelSize) {
                if constexpr (PixelSize == 3) {
                    const uint32_t o = Correct<P, Vec, S, Match>(t, src[0], src[1], src[2]);
                    dst[0] = static_cast<BYTE>(o);
                    dst[1] = static_cast<BYTE>(o >> 8);
                    dst[2] = static_cast<BYTE>(o >> 16);
                } else if constexpr (!Premultiplied) {
                    uint32_t w;
                    std::memcpy(&w, src, 4);
                    const uint32_t o =
                        Correct<P, Vec, S, Match>(t, static_cast<int>(w & 0xFFu), (w >> 8) & 0xFFu,
                                                  (w >> 16) & 0xFFu);
                    const uint32_t r = o | (w & 0xFF000000u);
                    std::memcpy(dst, &r, 4);
                } else {
                    int y, u, v;
                    const int a = Filter::ReadPremultipliedPixel(src, y, u, v);
                    const BYTE alpha = src[3];
                    const uint32_t o = Correct<P, Vec, S, Match>(
                        t, y, static_cast<unsigned>(u + 128), static_cast<unsigned>(v + 128));
                    // The output bytes hold the clipped values (luma 0..255,
                    // chroma -127..127 + 128): weight them by alpha.
                    dst[0] = static_cast<BYTE>((static_cast<int>(o & 0xFFu) * a) >> 8);
                    dst[1] = static_cast<BYTE>(
                        (((static_cast<int>((o >> 8) & 0xFFu) - 128) * a) >> 8) + 128);
                    dst[2] = static_cast<BYTE>(
                        (((static_cast<int>((o >> 16) & 0xFFu) - 128) * a) >> 8) + 128);
                    dst[3] = alpha;
                }
            }
        }
    }

    template <PrimaryPath P, bool Vec, SixPath S, bool Match>
    static void Choose(FastPlan& plan)
    {
        plan.rows24 = &Rows<3, false, P, Vec, S, Match>;
        plan.rows32 = &Rows<4, false, P, Vec, S, Match>;
        plan.rows32Pre = &Rows<4, true, P, Vec, S, Match>;
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
        // Coefficients of the back conversion per channel: Y, U, V.
        static constexpr int kCoef[3][3] = {{153, -86, 256}, {301, -170, -214}, {58, 256, -42}};
        const int16_t* curves[3] = {f.m_RLUT, f.m_GLUT, f.m_BLUT};
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 1024; ++i) {
                uint64_t word = 0;
                for (int k = 0; k < 3; ++k) {
                    const int coef = kCoef[c][k];
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

    // True when the curve outputs stay inside the range the biased fields
    // are made for (always, for tables made by the builders).
    static bool CurvesFitTheMatrix(const Filter& f)
    {
        for (int i = 0; i < 1024; ++i)
            if (f.m_RLUT[i] < -512 || f.m_RLUT[i] > 512 || f.m_GLUT[i] < -512 ||
                f.m_GLUT[i] > 512 || f.m_BLUT[i] < -512 || f.m_BLUT[i] > 512)
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
        uint32_t* entry = t.primaryPairs->entry;
        for (int vb = 0; vb < 256; ++vb)
            for (int ub = 0; ub < 256; ++ub) {
                int us, vs;
                PrimaryChroma(f, ub - 128, vb - 128, us, vs);
                // R = Y1 + cR exactly: 512 * Y1 is a whole multiple of 512.
                const int cR = (2 * us + 719 * vs + 256) >> 9;
                const int cG = (-176 * us - 365 * vs + 256) >> 9;
                const int cB = (908 * us - 1 * vs + 256) >> 9;
                uint32_t e;
                if (contents == PairContents::PrimaryCurves) {
                    e = static_cast<uint32_t>(cR + 512) | static_cast<uint32_t>(cG + 512) << 10 |
                        static_cast<uint32_t>(cB + 512) << 20;
                } else {
                    // Neutral curves: the luma term passes through the back
                    // conversion whole and drops out of U and V.
                    const int dY = (153 * cR + 301 * cG + 58 * cB + 256) >> 9;
                    const int u = (-86 * cR - 170 * cG + 256 * cB + 256) >> 9;
                    const int v = (256 * cR - 214 * cG - 42 * cB + 256) >> 9;
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

    static void BuildVectorPairs(const Filter& f, FastTables& t, bool six, bool match)
    {
        uint32_t* entry = t.vectorPairs->entry;
        for (int vb = 0; vb < 256; ++vb)
            for (int ub = 0; ub < 256; ++ub) {
                // Rows and columns of chroma -128 are never looked up (the
                // range clamp comes first); they hold the clamped pair's entry.
                int y = 0, u = ClampChroma(ub - 128), v = ClampChroma(vb - 128);
                if (six)
                    f.SixVectorStage(y, u, v);
                uint32_t extra = 0;
                if (match) {
                    const unsigned e = f.m_pMatchIndex[SegmentIndexPosition(u, v)];
                    if (e == 0) {
                        f.MatchBackgroundChroma(u, v);
                    } else {
                        const unsigned k = e & 0xFu;
                        const unsigned w = e >> 8;
                        f.MatchVectorChroma(u, v, k, static_cast<int>(w));
                        extra = kVectorMatched | k << 24 | w << 16;
                    }
                }
                *entry++ = extra | (t.outU[u + 512] >> 8) | t.outU[v + 512];
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
                for (int i = 0; i < 256; ++i)
                    t.matchY0[i] = static_cast<uint8_t>(f.m_MatchYLUT[0][i]);
            if (!t.vectorPairs) {
                t.vectorPairs.reset(new (std::nothrow) PairTable);
                t.vectorValid = false;
                if (!t.vectorPairs)
                    return;
            }
            const bool sixOn = plan.six != SixPath::Off;
            const bool same =
                t.vectorValid && t.vectorSix == sixOn && t.vectorMatch == plan.match &&
                std::memcmp(t.snapVectorChroma, chromaBytes, sizeof chromaBytes) == 0 &&
                (!sixOn ||
                 (std::memcmp(t.snapSixCos, f.m_SixCosLUT, sizeof t.snapSixCos) == 0 &&
                  std::memcmp(t.snapSixSin, f.m_SixSinLUT, sizeof t.snapSixSin) == 0 &&
                  std::memcmp(t.snapSixSat, f.m_SixSatLUT, sizeof t.snapSixSat) == 0));
            if (!same) {
                BuildVectorPairs(f, t, sixOn, plan.match);
                t.vectorValid = true;
                t.vectorSix = sixOn;
                t.vectorMatch = plan.match;
                std::memcpy(t.snapVectorChroma, chromaBytes, sizeof chromaBytes);
                std::memcpy(t.snapSixCos, f.m_SixCosLUT, sizeof t.snapSixCos);
                std::memcpy(t.snapSixSin, f.m_SixSinLUT, sizeof t.snapSixSin);
                std::memcpy(t.snapSixSat, f.m_SixSatLUT, sizeof t.snapSixSat);
            }
        }

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
