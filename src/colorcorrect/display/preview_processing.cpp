// Correction of host pictures: the plain frame path, the preview with its
// display aids, and the colours of the isolated match vector.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "../engine/band_processor.h"
#include "../engine/fast_process.h"
#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "color_correction_filter.h"
#include "engine_words.h"
#include "isolation_stage.h"

using colorcorrect::YUV_COMPRESSION;

namespace {

// A YUV input and an output the pixels can be written to. The output must
// hold at least the input's rows: both pictures are walked with the input's
// size and steps.
bool MatchingPictures(const tagDIBINFO* in, const tagDIBINFO* out)
{
    if (in == nullptr || out == nullptr)
        return false;
    const tagYUVBMINFOHEADER& hi = in->bmiHeader;
    const tagYUVBMINFOHEADER& ho = out->bmiHeader;
    return hi.biCompression == YUV_COMPRESSION && ho.biCompression == hi.biCompression &&
           ho.biBitCount == hi.biBitCount && ho.biWidth == hi.biWidth &&
           ho.biHeight >= hi.biHeight;
}

// 0x00BBGGRR from R, G, B, each clamped to 0..255.
unsigned long PackRGB(int r, int g, int b)
{
    using colorcorrect::stages::ClampLuma;
    return static_cast<unsigned long>(ClampLuma(r)) |
           static_cast<unsigned long>(ClampLuma(g)) << 8 |
           static_cast<unsigned long>(ClampLuma(b)) << 16;
}

// The output tables cover -512..511 and are flat outside -256..255, so
// limiting a value to their reach changes no result.
int ClampTableInput(int value)
{
    return value < -512 ? -512 : (value > 511 ? 511 : value);
}

// A copy of a set-up filter whose output tables only clamp to the working
// range, with fast tables of its own: its engine words are the stage
// results before the original's output clipping, which the channel view
// needs; without the match stage, they are what the match stage (or the
// isolation display in its place) takes. Built for one preview call, so
// that it never lags behind a set-up.
struct UnclippedFilter : CBaseColorCorrectionFilter {
    UnclippedFilter(const CBaseColorCorrectionFilter& filter, bool withoutMatch) : CBaseColorCorrectionFilter(filter)
    {
        using colorcorrect::stages::ClampChroma;
        using colorcorrect::stages::ClampLuma;
        for (int i = 0; i < 1024; ++i) {
            m_LumaClip[i] = ClampLuma(i - 512);
            m_ChromaClip[i] = ClampChroma(i - 512);
        }
        if (withoutMatch)
            m_bMatchVector = 0;
        TablesChanged();
    }

    // Whether it corrects as the original does up to the output tables (or
    // the match stage): a copy that could not get a vector stage's index
    // would skip the stage.
    bool KeepsStages(const StageSet& original) const
    {
        const StageSet s = ActiveStages();
        return s.six == original.six && (s.match == original.match || m_bMatchVector == 0);
    }
};

} // namespace

int CColorCorrectionFilter::Process(CVoraDib& in, CVoraDib& out)
{
    tagDIBINFO* hin = in;
    tagDIBINFO* hout = out;
    if (!MatchingPictures(hin, hout))
        return 0;
    return CBaseColorCorrectionFilter::Process(&hin->bmiHeader, static_cast<BYTE*>(in),
                                               static_cast<BYTE*>(out));
}

int CColorCorrectionFilter::ProcessPreview(CVoraDib& in, CVoraDib& out)
{
    return ProcessPreview(in, out, nullptr);
}

int CColorCorrectionFilter::ProcessPreview(CVoraDib& in, CVoraDib& out,
                                           colorcorrect::BandProcessor* bands,
                                           colorcorrect::FrontWords* front)
{
    const colorcorrect::DebugTimer timer;

    const tagDIBINFO* hin = in;
    const tagDIBINFO* hout = out;
    if (!MatchingPictures(hin, hout))
        return 0;

    const size_t width = static_cast<size_t>(hin->bmiHeader.biWidth);
    const size_t height = static_cast<size_t>(hin->bmiHeader.biHeight);
    unsigned pixelStep = 0, lineStep = 0;
    in.GetIncrements(pixelStep, lineStep);
    const bool alpha = pixelStep == 4;
    const BYTE* const srcRow = static_cast<const BYTE*>(in);
    BYTE* const dstRow = static_cast<BYTE*>(out);

    const StageSet stages = ActiveStages();
    const bool isolate = m_bIsolate != 0;
    // With isolation on, the selection display stands in for the match stage.
    const auto matchStage = [this, isolate](int& y, int& u, int& v) {
        return isolate ? static_cast<int>(IsolationStage(y, u, v)) : MatchVectorStage(y, u, v);
    };
    const unsigned channel = m_uChannel;
    const bool aids = channel != 0 || (stages.match && isolate);

    // After the stages: the display aids, the alpha weight, the output tables.
    // Captures by value, so that copies of it keep everything in registers.
    const int32_t* const lumaOut = m_LumaClip;
    const int32_t* const chromaOut = m_ChromaClip;
    const auto finish = [channel, lumaOut, chromaOut](int y, int u, int v, int a, BYTE* dst) {
        if (channel != 0) {
            // One colour channel (or the luma alone) shown as grey.
            if (channel <= 3)
                // Not clamped to 0..255: the output tables clip it.
                y = ClampTableInput(colorcorrect::RoundOver512(
                    512 * y + colorcorrect::ChromaTermOfRgb(static_cast<int>(channel) - 1, u, v)));
            u = 0;
            v = 0;
        }
        colorcorrect::stages::WeightByAlpha(a, y, u, v);
        // WritePixel's bytes.
        dst[0] = static_cast<BYTE>(lumaOut[y + 512]);
        dst[1] = static_cast<BYTE>(chromaOut[u + 512] + 128);
        dst[2] = static_cast<BYTE>(chromaOut[v + 512] + 128);
    };
    // One pixel as the preview defines it.
    const auto pixel = [&](const BYTE* src, BYTE* dst) {
        int y, u, v;
        ReadPixel(src, y, u, v);
        // Read before anything is written: `in` may be `out`.
        const int a = alpha ? src[3] : 255;
        RunStages(y, u, v, stages, matchStage);
        finish(y, u, v, a, dst);
    };
    // The straightforward loop, the reference of the faster ones.
    const auto referenceRows = [&](size_t first, size_t count) {
        for (size_t row = first; row < first + count; ++row) {
            const BYTE* src = srcRow + row * lineStep;
            BYTE* dst = dstRow + row * lineStep;
            for (size_t x = 0; x < width; ++x, src += pixelStep, dst += pixelStep)
                pixel(src, dst);
        }
    };
    // 32-bit pixels without display aids: an opaque pixel is corrected
    // exactly as in a frame, so runs of pixels go through the engine's loop
    // and only translucent pixels, whose weight applies before the output
    // tables, take the stages one by one. Alpha 0 weights every colour to
    // (0, 0, 0).
    BYTE black[3];
    WritePixel(black, 0, 0, 0);
    tagYUVBMINFOHEADER* header = &static_cast<tagDIBINFO*>(in)->bmiHeader;
    BYTE* from = in;
    BYTE* to = out;
    const bool straightFrame = (header->dwFlags & colorcorrect::YUVBM_PREMULTIPLIED) == 0;
    const auto alphaRows = [&](size_t first, size_t count) {
        uint32_t words[colorcorrect::kEngineWordRun];
        for (size_t row = first; row < first + count; ++row) {
            // An opaque row, the usual one, of a picture the engine does not
            // take as premultiplied is a frame's row: the engine writes it
            // straight, without the words in between. It writes the fourth
            // bytes too (the input's), which the preview keeps: that changes
            // nothing where the output's are 255 as well.
            if (straightFrame && colorcorrect::AllOpaque(srcRow + row * lineStep, width) &&
                colorcorrect::AllOpaque(dstRow + row * lineStep, width)) {
                ProcessRows(header, from, to, row, 1);
                continue;
            }
            for (size_t x0 = 0; x0 < width; x0 += colorcorrect::kEngineWordRun) {
                const size_t n = std::min(width - x0, colorcorrect::kEngineWordRun);
                const BYTE* src = srcRow + row * lineStep + x0 * 4;
                BYTE* dst = dstRow + row * lineStep + x0 * 4;
                colorcorrect::EngineWords(*this, src, 4, n, words);
                // A run of opaque pixels, the usual frame, in vector loops.
                if (colorcorrect::AllOpaque(src, n)) {
                    colorcorrect::StoreColourBytes(words, dst, n);
                    continue;
                }
                const auto one = [&](size_t i) {
                    const unsigned a = src[4 * i + 3];
                    if (a == 255) {
                        dst[4 * i] = static_cast<BYTE>(words[i]);
                        dst[4 * i + 1] = static_cast<BYTE>(words[i] >> 8);
                        dst[4 * i + 2] = static_cast<BYTE>(words[i] >> 16);
                    } else if (a == 0) {
                        dst[4 * i] = black[0];
                        dst[4 * i + 1] = black[1];
                        dst[4 * i + 2] = black[2];
                    } else {
                        pixel(src + 4 * i, dst + 4 * i);
                    }
                };
                // Two opaque pixels at a time: one 8-byte merge that keeps
                // the output's fourth bytes.
                constexpr uint64_t kAlphas = 0xFF000000FF000000ull;
                size_t i = 0;
                for (; i + 2 <= n; i += 2) {
                    uint64_t pair;
                    std::memcpy(&pair, src + 4 * i, 8);
                    if ((pair & kAlphas) != kAlphas) {
                        one(i);
                        one(i + 1);
                        continue;
                    }
                    uint64_t kept;
                    std::memcpy(&kept, dst + 4 * i, 8);
                    const uint64_t colours = (words[i] | static_cast<uint64_t>(words[i + 1]) << 32) & ~kAlphas;
                    kept = (kept & kAlphas) | colours;
                    std::memcpy(dst + 4 * i, &kept, 8);
                }
                if (i < n)
                    one(i);
            }
        }
    };
    // With the display aids the stage results before the output tables are
    // needed. Three cases give them without the stages run pixel by pixel:
    // no stage at all; the primary stage alone on the engine's general
    // tables (its per-pair RGB offsets and fused curve-and-matrix tables give
    // Y, U, V + 512 in three 10-bit fields, exactly the stage's results); the
    // vector stages, whose results lie within the range the output tables
    // then pass unchanged, through the engine's loop (of an unclipped copy
    // when the output tables clip).
    const colorcorrect::FastTables* ft = m_pFast;
    const bool curveTables =
        stages.primary && !stages.vector && ft != nullptr && ft->plan.valid &&
        ft->plan.primary == colorcorrect::PrimaryPath::Curves && !ft->plan.vector &&
        ft->plan.bPrimary == m_bPrimary && ft->plan.bVector == m_bVector &&
        ft->primaryContents == colorcorrect::PairContents::PrimaryCurves && ft->primaryPairs;
    // Under output clipping the engine's words hold the clipped values: the
    // channel view takes them from an unclipped copy of the filter instead.
    // Isolation takes the words of a copy without the match stage and puts
    // the isolation display in its place pixel by pixel.
    const bool isolateWords = stages.vector && stages.match && isolate;
    std::unique_ptr<UnclippedFilter> unclipped;
    if (isolateWords || (channel != 0 && stages.vector && !OutputTablesAreRangeClamps())) {
        unclipped.reset(new (std::nothrow) UnclippedFilter(*this, isolateWords));
        if (unclipped && !unclipped->KeepsStages(stages))
            unclipped.reset();
    }
    CBaseColorCorrectionFilter& wordsFilter =
        unclipped ? static_cast<CBaseColorCorrectionFilter&>(*unclipped) : static_cast<CBaseColorCorrectionFilter&>(*this);
    const bool vectorWords = stages.vector && (unclipped || (!isolateWords && OutputTablesAreRangeClamps()));
    const bool noStage = !stages.primary && !stages.vector;
    // An opaque pixel's bytes are three words or-ed, one for each of Y, U
    // and V: the output tables' bytes in their places.
    uint32_t lumaWords[1024], uWords[1024], vWords[1024];
    for (size_t i = 0; aids && i < 1024; ++i) {
        const uint32_t c = static_cast<BYTE>(chromaOut[i] + 128);
        lumaWords[i] = static_cast<BYTE>(lumaOut[i]);
        uWords[i] = c << 8;
        vWords[i] = c << 16;
    }
    // The channel view's grey is a fixed mix of the stage results shown
    // without chroma, so its chroma bytes do not change with its luma.
    const bool rgbChannel = channel >= 1 && channel <= 3;
    const int viewU = rgbChannel ? colorcorrect::kRgbFromChroma[channel - 1][0] : 0;
    const int viewV = rgbChannel ? colorcorrect::kRgbFromChroma[channel - 1][1] : 0;
    const uint32_t greyChroma = aids ? uWords[512] | vWords[512] : 0;
    // A run of n pixels shown from their words, word(i) being the bytes the
    // output tables give the stage results y[i], u[i] and v[i] of an opaque
    // pixel. The run is read whole before it is written: `in` may be `out`.
    using Results = int32_t[colorcorrect::kEngineWordRun];
    const auto showRun = [&](const BYTE* src, BYTE* dst, size_t n, const auto& word,
                             const Results& y, const Results& u, const Results& v) {
        if (!alpha) {
            // 3-byte pixels: each word stored whole, its fourth byte then
            // replaced by the next pixel's.
            for (size_t i = 0; i + 1 < n; ++i) {
                const uint32_t w = word(i);
                std::memcpy(dst + 3 * i, &w, 4);
            }
            const uint32_t w = word(n - 1);
            std::memcpy(dst + 3 * (n - 1), &w, 3);
            return;
        }
        uint32_t shown[colorcorrect::kEngineWordRun];
        for (size_t i = 0; i < n; ++i)
            shown[i] = word(i);
        // Translucent pixels are weighted before the output tables.
        if (!colorcorrect::AllOpaque(src, n))
            for (size_t i = 0; i < n; ++i) {
                const int a = src[4 * i + 3];
                if (a != 255) {
                    BYTE bytes[3];
                    finish(y[i], u[i], v[i], a, bytes);
                    shown[i] = bytes[0] | bytes[1] << 8 | static_cast<uint32_t>(bytes[2]) << 16;
                }
            }
        colorcorrect::StoreColourBytes(shown, dst, n);
    };
    // The channel view: the grey of each pixel as an index into lumaWords,
    // in a plain loop the compiler vectorises.
    const auto viewRun = [&](const BYTE* src, BYTE* dst, size_t n, const Results& y,
                             const Results& u, const Results& v) {
        const int mixU = viewU, mixV = viewV;
        Results grey;
        for (size_t i = 0; i < n; ++i)
            grey[i] = ClampTableInput(colorcorrect::RoundOver512(512 * y[i] + mixU * u[i] +
                                                                 mixV * v[i])) +
                      512;
        const uint32_t* const words = lumaWords;
        const uint32_t chroma = greyChroma;
        showRun(src, dst, n, [words, chroma, &grey](size_t i) { return words[grey[i]] | chroma; }, y, u, v);
    };
    // Isolation alone: finish's bytes of an opaque pixel.
    const auto outputRun = [&](const BYTE* src, BYTE* dst, size_t n, const Results& y,
                               const Results& u, const Results& v) {
        const uint32_t* const ly = lumaWords;
        const uint32_t* const lu = uWords;
        const uint32_t* const lv = vWords;
        const auto word = [ly, lu, lv, &y, &u, &v](size_t i) {
            return ly[y[i] + 512] | lu[u[i] + 512] | lv[v[i] + 512];
        };
        showRun(src, dst, n, word, y, u, v);
    };
    const auto aidRows = [&](size_t first, size_t count) {
        const size_t step = pixelStep;
        const uint32_t* const pairs = curveTables ? ft->primaryPairs->entry : nullptr;
        const uint64_t* const matrixR = ft != nullptr ? ft->matrix[0] : nullptr;
        const uint64_t* const matrixG = ft != nullptr ? ft->matrix[1] : nullptr;
        const uint64_t* const matrixB = ft != nullptr ? ft->matrix[2] : nullptr;
        const uint8_t* const luma = m_YLUT;
        const colorcorrect::IsolationDisplay isolation = Isolation();
        uint32_t words[colorcorrect::kEngineWordRun];
        uint64_t sums[colorcorrect::kEngineWordRun];
        Results y, u, v;
        for (size_t row = first; row < first + count; ++row) {
            for (size_t x0 = 0; x0 < width; x0 += colorcorrect::kEngineWordRun) {
                const size_t n = std::min(width - x0, colorcorrect::kEngineWordRun);
                const BYTE* src = srcRow + row * lineStep + x0 * step;
                BYTE* dst = dstRow + row * lineStep + x0 * step;
                if (curveTables) {
                    // The look-ups one pixel at a time, the fields apart in
                    // a loop that vectorises.
                    for (size_t i = 0; i < n; ++i) {
                        const BYTE* p = src + i * step;
                        const uint32_t e = pairs[p[1] | p[2] << 8] + luma[p[0]] * 0x100401u;
                        sums[i] = matrixR[e & 0x3FFu] + matrixG[(e >> 10) & 0x3FFu] +
                                  matrixB[e >> 20];
                    }
                    for (size_t i = 0; i < n; ++i) {
                        y[i] = static_cast<int32_t>((sums[i] >> 9) & 0x3FFu) - 512;
                        u[i] = static_cast<int32_t>((sums[i] >> 30) & 0x3FFu) - 512;
                        v[i] = static_cast<int32_t>(sums[i] >> 51) - 512;
                    }
                } else if (vectorWords) {
                    colorcorrect::EngineWords(wordsFilter, src, step, n, words);
                    for (size_t i = 0; i < n; ++i) {
                        y[i] = static_cast<int32_t>(colorcorrect::WordByte(words[i], 0));
                        u[i] = static_cast<int32_t>(colorcorrect::WordByte(words[i], 1)) - 128;
                        v[i] = static_cast<int32_t>(colorcorrect::WordByte(words[i], 2)) - 128;
                    }
                } else {
                    for (size_t i = 0; i < n; ++i)
                        ReadPixel(src + i * step, y[i], u[i], v[i]);
                }
                if (isolateWords)
                    isolation.Run(y, u, v, n);
                if (channel != 0)
                    viewRun(src, dst, n, y, u, v);
                else
                    outputRun(src, dst, n, y, u, v);
            }
        }
    };
    // Without display aids an opaque picture is corrected exactly as a frame
    // is, so it takes the engine's loop.
    const auto engineRows = [&](size_t first, size_t count) {
        ProcessRows(header, from, to, first, count);
    };
    const auto run = [&](const auto& rows) {
        // Rows only read the filter: bands may run them on several threads.
        if (bands != nullptr)
            bands->ForEachBand(height, 8, rows);
        else
            rows(0, height);
    };
    if (DisplayReferenceLoops())
        run(referenceRows);
    else if (!aids && alpha)
        run(alphaRows);
    else if (!aids && front != nullptr && PrepareFront(header, from, *front)) {
        run([&](size_t first, size_t count) { ProcessRowsWithFront(header, from, to, first, count, *front); });
        FinishFront(*front);
    } else if (!aids)
        run(engineRows);
    else if (curveTables || vectorWords || noStage)
        run(aidRows);
    else
        run(referenceRows);

    timer.Report(11, 10, L"\rFull processing time %ums\r\n");
    return 1;
}

int CColorCorrectionFilter::GetIsolateColors(const tagCOLORCORRINFO& cc, unsigned long& before,
                                             unsigned long& after)
{
    constexpr unsigned long kGray = 0x808080;
    before = kGray;
    after = kGray;
    const uint32_t k = m_uIsolateVector;
    if ((cc.dwFlags & CC_MATCH_VECTOR) == 0 || k >= cc.Match.dwCount || k >= 16)
        return 0;

    // Vector 0 is the background: its selection fields mean nothing, so it
    // stands for mid grey.
    int y = 128, u = 0, v = 0;
    if (k != 0) {
        const tagMATCHVECTOR& mv = cc.Match.Vector[k];
        y = mv.byY;
        u = mv.cU;
        v = mv.cV;
    }
    auto toRGB = [](int cy, int cu, int cv) {
        int r, g, b;
        YUVToRGB(cy, cu, cv, r, g, b);
        return PackRGB(r, g, b);
    };
    before = toRGB(y, u, v);
    if (m_bMatchVector == 0) {
        after = before;
        return 1;
    }

    // The colour through the match-vector stage alone.
    tagYUVBMINFOHEADER header{};
    header.biWidth = 1;
    header.biHeight = 1;
    header.biBitCount = 24;
    header.biCompression = YUV_COMPRESSION;
    BYTE pixel[4] = {static_cast<BYTE>(y), static_cast<BYTE>(u + 128), static_cast<BYTE>(v + 128),
                     0};
    const BOOL primary = m_bPrimary;
    const BOOL six = m_bSixVector;
    m_bPrimary = 0;
    m_bSixVector = 0;
    CBaseColorCorrectionFilter::Process(&header, pixel, pixel);
    m_bPrimary = primary;
    m_bSixVector = six;
    after = toRGB(pixel[0], pixel[1] - 128, pixel[2] - 128);
    return 1;
}
