// The scope displays: one pass over a packed YUV picture corrects it into an
// RGB picture and accumulates the samples of the active scope, which is then
// drawn over a copy of the scope's background picture.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "../host/virtual_memory.h"
#include "../library/library_globals.h"
#include "color_correction_filter.h"
#include "engine_words.h"
#include "isolation_stage.h"
#include "rgb_offset_pairs.h"
#include "scope_drawing.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using namespace colorcorrect;

#if defined(__SSE2__)
// The RGB bytes (B, G, R, each clamped to 0..255) of the engine words into
// the first three bytes of 4-byte pixels at d, whose fourth bytes are kept:
// what the display writes for an opaque pixel without a view or a scope.
// Four pixels at a time with SSE2 (the signed saturations of the packs are
// the clamps); returns how many pixels it wrote, a multiple of four up to n.
// fields[i] receives RgbFieldsOfWord of each word written.
size_t StoreRgbOfWords(const uint32_t* words, const uint32_t* rgbPairs, BYTE* d, size_t n,
                       uint32_t* fields)
{
    const __m128i field = _mm_set1_epi32(0x3FF), bias = _mm_set1_epi32(512), lowByte = _mm_set1_epi32(0xFF);
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    size_t i = 0;
    for (; i + 4 <= n; i += 4, d += 16) {
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i));
        const __m128i y = _mm_and_si128(w, lowByte);
        // rgbPairs[pair] + Y * 0x100401, with the multiply as shifts.
        const __m128i c = _mm_add_epi32(
            _mm_setr_epi32(static_cast<int>(rgbPairs[PairOfWord(words[i])]), static_cast<int>(rgbPairs[PairOfWord(words[i + 1])]),
                           static_cast<int>(rgbPairs[PairOfWord(words[i + 2])]), static_cast<int>(rgbPairs[PairOfWord(words[i + 3])])),
            _mm_add_epi32(y, _mm_add_epi32(_mm_slli_epi32(y, 10), _mm_slli_epi32(y, 20))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(fields + i), c);
        const __m128i r = _mm_sub_epi32(_mm_and_si128(c, field), bias);
        const __m128i g = _mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(c, 10), field), bias);
        const __m128i b = _mm_sub_epi32(_mm_srli_epi32(c, 20), bias);
        // Bytes B0..B3 G0..G3 and R0..R3, then interleaved to B G R 0.
        const __m128i bg = _mm_packus_epi16(_mm_packs_epi32(b, g), _mm_setzero_si128());
        const __m128i rr = _mm_packus_epi16(_mm_packs_epi32(r, r), _mm_setzero_si128());
        const __m128i bgr = _mm_unpacklo_epi16(_mm_unpacklo_epi8(bg, _mm_srli_si128(bg, 4)),
                                               _mm_unpacklo_epi8(rr, _mm_setzero_si128()));
        __m128i* const out = reinterpret_cast<__m128i*>(d);
        _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(out), keep), bgr));
    }
    return i;
}
#else
size_t StoreRgbOfWords(const uint32_t*, const uint32_t*, BYTE*, size_t, uint32_t*)
{
    return 0; // the pixel loop does them all
}
#endif

// The scope's luma of an engine word, ClampLuma(Y + dY), by the sum of the
// word's Y and its sample pair's dY + 512 (0..1278): one look-up instead of
// the two clamps.
constexpr auto kSampleLuma = [] {
    std::array<uint8_t, 1280> luma{};
    for (int i = 0; i < 1280; ++i)
        luma[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(i - 512, 0, 255));
    return luma;
}();

// A word's entry in the scope's sample pairs, and the scope's luma of the
// word from that entry.
inline uint32_t SampleEntry(const uint32_t* samplePairs, uint32_t word)
{
    return samplePairs[PairOfWord(word)];
}
inline int SampleLuma(uint32_t word, uint32_t entry)
{
    return kSampleLuma[(word & 0xFFu) + (entry >> 16)];
}
// The same for a word whose pair is rare, kept out of the loops that test for it.
[[gnu::noinline, gnu::cold]] size_t RareSampleLuma(const uint32_t* samplePairs, uint32_t word)
{
    return static_cast<size_t>(SampleLuma(word, SampleEntry(samplePairs, word)));
}

// A byte counter that stops at 255.
inline void Count(BYTE& counter)
{
    counter = static_cast<BYTE>(counter + (counter != 255));
}

#if defined(__SSE2__)
// The colour cube's count of a run of the engine's words at `plane`, four
// pixels at a time: the samples are looked up one by one, and the projection
// runs in four lanes with the same float operations, in the same order, as
// the pixel loop, so every sample lands on the same counter. Returns how many
// words it counted, a multiple of four up to n.
size_t CountCubeWords(const uint32_t* words, size_t n, const uint32_t* samplePairs, const float* rot, BYTE* plane)
{
    const __m128i lowByte = _mm_set1_epi32(0xFF), bias = _mm_set1_epi32(128);
    const __m128 m10 = _mm_set1_ps(rot[3]), m11 = _mm_set1_ps(rot[4]), m12 = _mm_set1_ps(rot[5]);
    const __m128 m20 = _mm_set1_ps(rot[6]), m21 = _mm_set1_ps(rot[7]), m22 = _mm_set1_ps(rot[8]);
    const __m128 centre = _mm_set1_ps(128.0f);
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        uint32_t e[4];
        int32_t y[4];
        for (size_t k = 0; k < 4; ++k) {
            e[k] = SampleEntry(samplePairs, words[i + k]);
            y[k] = SampleLuma(words[i + k], e[k]);
        }
        const __m128i ev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e));
        const __m128 fu = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(ev, lowByte), bias));
        const __m128 fv = _mm_cvtepi32_ps(_mm_sub_epi32(_mm_and_si128(_mm_srli_epi32(ev, 8), lowByte), bias));
        const __m128 fy =
            _mm_cvtepi32_ps(_mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)), bias));
        const __m128i px = _mm_cvttps_epi32(
            _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(m10, fv), _mm_mul_ps(m11, fu)), _mm_mul_ps(m12, fy)), centre));
        const __m128i py = _mm_cvttps_epi32(
            _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(m20, fv), _mm_mul_ps(m21, fu)), _mm_mul_ps(m22, fy)), centre));
        // Off the canvas unless both are 0..255; then the counter is py * 256 + px.
        const __m128i off = _mm_andnot_si128(lowByte, _mm_or_si128(px, py));
        alignas(16) int32_t at[4], miss[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(at), _mm_add_epi32(_mm_slli_epi32(py, 8), px));
        _mm_store_si128(reinterpret_cast<__m128i*>(miss), off);
        for (size_t k = 0; k < 4; ++k)
            if (miss[k] == 0)
                Count(plane[at[k]]);
    }
    return i;
}
#else
size_t CountCubeWords(const uint32_t*, size_t, const uint32_t*, const float*, BYTE*)
{
    return 0; // the pixel loop counts them all
}
#endif

// Gives `out` the size and bit count of the source and marks it RGB. False
// when it cannot be given a header.
bool PrepareOutput(CVoraDib& out, int width, int height, int bits)
{
    const tagDIBINFO* ho = out;
    if (ho == nullptr || out.GetWidth() != width || out.GetHeight() != height ||
        ho->bmiHeader.biBitCount != bits) {
        // An empty picture cannot be converted: it is made instead.
        if (ho == nullptr || out.Realloc(width, height, bits, 0) == 0)
            out.Alloc(width, height, bits, 0);
    }
    tagDIBINFO* h = out;
    if (h == nullptr)
        return false;
    if (h->bmiHeader.biCompression != 0)
        h->bmiHeader.biCompression = 0;
    return true;
}

} // namespace

int CColorCorrectionFilter::ProcessDisplay(CVoraDib& in, CVoraDib& out, CVoraDib& display,
                                           unsigned int mode)
{
    using namespace colorcorrect::stages;
    const colorcorrect::DebugTimer timer;

    const tagDIBINFO* hin = in;
    if (hin == nullptr || hin->bmiHeader.biCompression != YUV_COMPRESSION)
        return 0;
    // Refused before anything is changed. The display receives a background
    // copy, so it cannot be one of the pictures being processed.
    if (mode == 3 || mode > kScopeCombined)
        return 0;
    if (mode != kScopeNone && (&display == &in || &display == &out))
        return 0;

    const int width = in.GetWidth();
    const int height = in.GetHeight();
    if (!PrepareOutput(out, width, height, hin->bmiHeader.biBitCount))
        return 0;

    // ---- mode set-up ----------------------------------------------------------
    unsigned scope = mode;
    if (mode == kScopeNone) {
        ReleaseDisplayBuffer();
        m_Draw.Release();
    } else {
        switch (mode) {
        case kScopeVector: display = g_dibVector; break;
        case kScopeWaveform: display = g_dibWaveform; break;
        case kScopeHistogram:
            display = static_cast<const tagDIBINFO*>(m_HistoBack) != nullptr ? m_HistoBack : g_dibHistogram;
            break;
        case kScopeLightning: display = g_dibLightning; break;
        case kScopeCube: display = g_dibBlank; break;
        default: display = g_dibVectLight; break;
        }
        if (static_cast<const tagDIBINFO*>(display) == nullptr)
            return 0;
        if (mode != m_uDisplayMode) {
            ReleaseDisplayBuffer();
            m_Draw.Release();
        }

        bool ready = IsScopeCanvas(display);
        if (ready && m_pDisplayBuffer == nullptr)
            m_pDisplayBuffer = static_cast<BYTE*>(
                VirtualAlloc(nullptr, ScopeBufferBytes(mode), MEM_COMMIT, PAGE_READWRITE));
        ready = ready && m_pDisplayBuffer != nullptr;
        if (ready && (mode == kScopeWaveform || mode == kScopeCombined)) {
            // The table follows the source width, so any width is served.
            try {
                m_ColumnTable.resize(static_cast<size_t>(width));
            } catch (const std::bad_alloc&) {
                ready = false;
            }
            const uint64_t span = mode == kScopeWaveform ? kWaveformColumns : kCombinedColumns;
            for (size_t x = 0; ready && x < m_ColumnTable.size(); ++x)
                m_ColumnTable[x] = static_cast<uint32_t>((x * span) / static_cast<uint64_t>(width));
        }
        if (ready && mode == kScopeCube) {
            // Selected on this frame's display every time: the owner may hand
            // in another picture object than on the previous frame.
            ready = m_Draw.Select(display, 0) != 0;
            BuildRot(m_aAngles[0], m_aAngles[1], m_aAngles[2]);
        }
        if (ready) {
            std::memset(m_pDisplayBuffer, 0, ScopeBufferBytes(mode));
            m_uDisplayMode = mode;
        } else {
            // No scope this frame: the display keeps its plain background.
            ReleaseDisplayBuffer();
            m_Draw.Release();
            scope = kScopeNone;
        }
    }

    // ---- one pass: correction, conversion, accumulation ----------------------
    const BYTE* srcBase = in;
    BYTE* dstBase = out;
    unsigned inStep = 0, inLine = 0, outStep = 0, outLine = 0;
    in.GetIncrements(inStep, inLine);
    out.GetIncrements(outStep, outLine);
    const bool alpha = inStep == 4;

    const StageSet stages = ActiveStages();
    const bool isolate = m_bIsolate != 0;
    const int isolateVector = static_cast<int>(m_uIsolateVector);
    // The match stage reports whether the pixel belongs to the selection the
    // scope marks: the isolated vector, or the pixels the isolation keeps.
    const auto matchStage = [this, isolate, isolateVector](int& y, int& u, int& v) {
        return static_cast<int>(isolate ? IsolationStage(y, u, v) : MatchVectorStage(y, u, v) == isolateVector);
    };
    const unsigned channel = m_uChannel;

    // The samples a scope sees: the corrected colour through the output tables.
    auto samples = [this](int r, int g, int b, int& ys, int& us, int& vs) {
        int y, u, v;
        RGBToYUV(r, g, b, y, u, v);
        ys = ClampLuma(m_LumaClip[y + 512]);
        us = ClampChroma(m_ChromaClip[u + 512]);
        vs = ClampChroma(m_ChromaClip[v + 512]);
    };

    // What follows the stages, from the RGB of the range-clamped result: the scope's
    // sample, the channel view, the alpha weight, the RGB bytes.
    auto finish = [channel](int r, int g, int b, int a, size_t x, bool selected, BYTE* d,
                            auto&& accumulate) {
        accumulate(r, g, b, x, selected);

        switch (channel) {
        case 1: g = b = r; break;
        case 2: r = b = g; break;
        case 3: r = g = b; break;
        case 4: r = g = b = RgbToYuv(r, g, b).y; break;
        default: break;
        }
        r = ClampLuma(r);
        g = ClampLuma(g);
        b = ClampLuma(b);
        WeightByAlpha(a, r, g, b);
        d[0] = static_cast<BYTE>(b);
        d[1] = static_cast<BYTE>(g);
        d[2] = static_cast<BYTE>(r);
    };

    // The faster loop takes the stages from the engine's loop: its output
    // word is the clamped stage result when the output tables do nothing but
    // the range clamp and the scope does not mark a selection the engine
    // does not report. Without the primary stage the scope's round trip
    // through RGB comes first, which the engine does not do.
    const bool selectionMarked = scope == kScopeWaveform || scope == kScopeLightning ||
                                 scope == kScopeCube || scope == kScopeCombined;
    const bool engineFront = !DisplayReferenceLoops() && stages.primary &&
                             !(stages.match && (isolate || selectionMarked)) &&
                             OutputTablesAreRangeClamps();

    // Instantiated once per scope, so the per-pixel work carries no mode test.
    // `accumulate` counts a pixel from its RGB, `countWords(words, n, x0)` a
    // run of n of the engine's words from column x0 (the faster loop, where
    // no pixel is selected). A count that also takes (fields, known) is
    // given the words' RGB fields (RgbFieldsOfWord) of the first `known`
    // words, which the store of the output has worked out.
    auto run = [&](auto&& accumulate, auto&& countWords) {
        if (engineFront) {
            // Locals: the output is written a byte at a time, and byte stores
            // may alias anything reached through a reference or a pointer.
            auto count = accumulate;
            auto countOfWords = countWords;
            const auto finishPixel = finish;
            const unsigned view = channel;
            const bool weighted = alpha;
            const size_t inS = inStep, outS = outStep;
            const uint32_t* const rgbPairs = RgbOffsetPairs();
            uint32_t words[kEngineWordRun], fields[kEngineWordRun];
            for (int row = 0; row < height; ++row) {
                const BYTE* rowIn = srcBase + static_cast<size_t>(row) * inLine;
                BYTE* rowOut = dstBase + static_cast<size_t>(row) * outLine;
                for (size_t x0 = 0; x0 < static_cast<size_t>(width); x0 += kEngineWordRun) {
                    const size_t n = std::min(static_cast<size_t>(width) - x0, kEngineWordRun);
                    const BYTE* s = rowIn + x0 * inS;
                    BYTE* d = rowOut + x0 * outS;
                    EngineWords(*this, s, inS, n, words);
                    if (view == 0 && (!weighted || AllOpaque(s, n))) {
                        // Opaque pixels without a view: the scope counts the
                        // words, and the output needs only their RGB bytes,
                        // four at a time where the pixels have four bytes.
                        size_t i = inS == 4 && outS == 4 ? StoreRgbOfWords(words, rgbPairs, d, n, fields) : 0;
                        if constexpr (std::is_invocable_v<decltype(countOfWords), const uint32_t*, size_t,
                                                          size_t, const uint32_t*, size_t>)
                            countOfWords(words, n, x0, fields, i);
                        else
                            countOfWords(words, n, x0);
                        for (d += i * outS; i < n; ++i, d += outS) {
                            const RgbValue c = RgbOfWord(rgbPairs, words[i]);
                            d[0] = static_cast<BYTE>(ClampLuma(c.b));
                            d[1] = static_cast<BYTE>(ClampLuma(c.g));
                            d[2] = static_cast<BYTE>(ClampLuma(c.r));
                        }
                        continue;
                    }
                    for (size_t i = 0; i < n; ++i, s += inS, d += outS) {
                        const RgbValue c = RgbOfWord(rgbPairs, words[i]);
                        finishPixel(c.r, c.g, c.b, weighted ? s[3] : 255, x0 + i, false, d, count);
                    }
                }
            }
            return;
        }
        for (int row = 0; row < height; ++row) {
            const BYTE* s = srcBase + static_cast<size_t>(row) * inLine;
            BYTE* d = dstBase + static_cast<size_t>(row) * outLine;
            for (int x = 0; x < width; ++x, s += inStep, d += outStep) {
                int y, u, v, r, g, b;
                ReadPixel(s, y, u, v);
                const int a = alpha ? s[3] : 255;

                // Without the primary stage a scope still sees the picture
                // through RGB and back, as the primary stage would pass it.
                if (!stages.primary) {
                    YUVToRGB(y, u, v, r, g, b);
                    RGBToYUV(r, g, b, y, u, v);
                }
                const bool selected = RunStages(y, u, v, stages, matchStage) != 0;
                if (!stages.vector)
                    ClampRange(y, u, v);
                YUVToRGB(y, u, v, r, g, b);
                finish(r, g, b, a, static_cast<size_t>(x), selected, d, accumulate);
            }
        }
    };

    // A scope that counts the YUV sample of each pixel, from its RGB or
    // from the engine's word: the word's pair gives the sample's chroma and
    // its luma offset from one table. runSamplesAndWords takes a count of
    // its own for the words.
    const uint32_t* const samplePairs = ScopeSamplePairs();
    auto runSamplesAndWords = [&](auto&& countSample, auto&& countWords) {
        run([=](int r, int g, int b, size_t x, bool selected) {
                int ys, us, vs;
                samples(r, g, b, ys, us, vs);
                countSample(ys, us, vs, x, selected);
            },
            countWords);
    };
    // Counts words[i..n), from column x0 + i, one by one through countSample.
    const auto countEachWord = [=](auto&& countSample, const uint32_t* words, size_t i, size_t n, size_t x0) {
        for (; i < n; ++i) {
            const uint32_t e = SampleEntry(samplePairs, words[i]);
            countSample(SampleLuma(words[i], e), static_cast<int>(e & 0xFFu) - 128,
                        static_cast<int>((e >> 8) & 0xFFu) - 128, x0 + i, false);
        }
    };
    auto runSamples = [&](auto&& countSample) {
        runSamplesAndWords(countSample, [=](const uint32_t* words, size_t n, size_t x0) {
            countEachWord(countSample, words, 0, n, x0);
        });
    };

    BYTE* const plane0 = m_pDisplayBuffer;
    const uint32_t* const xcol = m_ColumnTable.data();
    // Without a scope there is no buffer: no offsets from a null pointer.
    uint32_t* const redCounts = reinterpret_cast<uint32_t*>(m_pDisplayBuffer);
    uint32_t* const greenCounts = redCounts != nullptr ? redCounts + 256 : nullptr;
    uint32_t* const blueCounts = redCounts != nullptr ? redCounts + 512 : nullptr;

    switch (scope) {
    case kScopeVector: {
        // A word's sample chroma, all this scope shows of it, depends on its
        // chroma pair alone: the words are counted by pair, without the
        // saturation test, in the counters after the grid, which are then
        // added into the grid and left at zero.
        uint32_t* const pairCounts = reinterpret_cast<uint32_t*>(plane0 + kGridBytes);
        runSamplesAndWords(
            [=](int, int us, int vs, size_t, bool) {
                Count(plane0[static_cast<size_t>(vs + 128) * kGridSide + static_cast<size_t>(us + 128)]);
            },
            [=](const uint32_t* words, size_t n, size_t) {
                // A run of one pair is counted at once: neighbours often
                // share a pair, and adding to one counter pixel by pixel
                // would wait on each store.
                uint32_t pair = PairOfWord(words[0]), same = 0;
                for (size_t i = 0; i < n; ++i) {
                    const uint32_t next = PairOfWord(words[i]);
                    if (next != pair) {
                        pairCounts[pair] += same;
                        pair = next;
                        same = 0;
                    }
                    ++same;
                }
                pairCounts[pair] += same;
            });
        if (engineFront)
            for (size_t pair = 0; pair < kPairCount; ++pair) {
                if (pairCounts[pair] == 0)
                    continue;
                const uint32_t e = samplePairs[pair];
                BYTE& counter = plane0[((e >> 8) & 0xFFu) * kGridSide + (e & 0xFFu)];
                counter = static_cast<BYTE>(std::min<uint32_t>(255u, counter + pairCounts[pair]));
                pairCounts[pair] = 0;
            }
        break;
    }
    case kScopeWaveform: {
        const auto countSample = [=](int ys, int, int, size_t x, bool selected) {
            BYTE* plane = plane0 + (selected ? kWaveformPlaneBytes : 0);
            Count(plane[static_cast<size_t>(ys) * kWaveformStride + xcol[x]]);
        };
        // The engine's words are counted in 16-bit counters, a column's 256
        // levels side by side, without the test for 255: a word costs one
        // add. They are added into the plane at the end and left at zero. A
        // counter takes at most ceil(width / 360) counts a row, so a frame
        // too tall for 16 bits counts its words into the plane one by one.
        // A word's level is its Y but for the few chroma pairs whose luma
        // the conversion moves, found by one compare: the 256 KB table of
        // samples is read only for those, and stays out of the cache.
        const size_t perRow = (static_cast<size_t>(width) + kWaveformColumns - 1) / kWaveformColumns;
        const uint32_t* const movedPairs = ScopeMovedLumaPairs();
        uint16_t* const levels = static_cast<size_t>(height) * perRow <= 0xFFFFu && movedPairs != nullptr
                                     ? reinterpret_cast<uint16_t*>(plane0 + 2 * kWaveformPlaneBytes)
                                     : nullptr;
        runSamplesAndWords(countSample, [=](const uint32_t* words, size_t n, size_t x0) {
            if (levels == nullptr)
                return countEachWord(countSample, words, 0, n, x0);
            for (size_t i = 0; i < n; ++i) {
                const uint32_t word = words[i];
                size_t level = word & 0xFFu;
                if ((word & 0xFFFF00u) == movedPairs[(word >> 8) & 0xFFu]) [[unlikely]]
                    level = RareSampleLuma(samplePairs, word);
                ++levels[static_cast<size_t>(xcol[x0 + i]) * kGridSide + level];
            }
        });
        if (levels != nullptr && engineFront)
            for (size_t column = 0; column < kWaveformColumns; ++column)
                for (size_t level = 0; level < kGridSide; ++level) {
                    uint16_t& n = levels[column * kGridSide + level];
                    if (n == 0)
                        continue;
                    BYTE& counter = plane0[level * kWaveformStride + column];
                    counter = static_cast<BYTE>(std::min<unsigned>(255u, counter + n));
                    n = 0;
                }
        break;
    }
    case kScopeHistogram: {
        // The words are counted by their biased 10-bit fields (value + 512)
        // in counters of every field value, without a range test or a
        // branch; the values 1..255 are then added into the histogram.
        // Neighbouring pixels often share a value: pixels in turn go to two
        // sets of counters, so that an add need not wait for the one before.
        const uint32_t* const rgbPairs = RgbOffsetPairs();
        constexpr size_t kSet = 3 * 1024;
        std::array<uint32_t, 2 * kSet> fieldCounts{};
        uint32_t* const counters = fieldCounts.data();
        run([=](int r, int g, int b, size_t, bool) { CountChannelValues(redCounts, greenCounts, blueCounts, r, g, b); },
            [=](const uint32_t* words, size_t n, size_t, const uint32_t* known, size_t k) {
                const auto count = [](uint32_t* set, uint32_t c) {
                    ++set[c & 0x3FFu];
                    ++set[1024 + ((c >> 10) & 0x3FFu)];
                    ++set[2048 + (c >> 20)];
                };
                size_t i = 0;
                for (; i + 2 <= k; i += 2) {
                    count(counters, known[i]);
                    count(counters + kSet, known[i + 1]);
                }
                for (; i < n; ++i)
                    count(counters, RgbFieldsOfWord(rgbPairs, words[i]));
            });
        for (size_t value = 1; value < 256; ++value) {
            redCounts[value] += counters[512 + value] + counters[kSet + 512 + value];
            greenCounts[value] += counters[1024 + 512 + value] + counters[kSet + 1024 + 512 + value];
            blueCounts[value] += counters[2048 + 512 + value] + counters[kSet + 2048 + 512 + value];
        }
        break;
    }
    case kScopeLightning: {
        // A sample's two counters are in rows 128 + ys / 2 and 128 - ys / 2,
        // at its U and V columns; `centre` is row 128 moved by the columns'
        // bias.
        const auto countLightning = [](BYTE* centre, int ys, ptrdiff_t uColumn, ptrdiff_t vColumn) {
            const ptrdiff_t h = static_cast<ptrdiff_t>(ys >> 1) * static_cast<ptrdiff_t>(kGridSide);
            Count(centre[h + uColumn]);
            Count(centre[vColumn - h]);
        };
        runSamplesAndWords(
            [=](int ys, int us, int vs, size_t, bool selected) {
                // Columns U + 127 and V + 127.
                countLightning(plane0 + (selected ? kGridBytes : 0) + 128 * kGridSide + 127, ys, us, vs);
            },
            [=](const uint32_t* words, size_t n, size_t) {
                // The entry's chroma bytes, U + 128 and V + 128, are the
                // columns plus one: no signed sample needed.
                BYTE* const centre = plane0 + 128 * kGridSide - 1;
                for (size_t i = 0; i < n; ++i) {
                    const uint32_t e = SampleEntry(samplePairs, words[i]);
                    countLightning(centre, SampleLuma(words[i], e), static_cast<ptrdiff_t>(e & 0xFFu),
                                   static_cast<ptrdiff_t>((e >> 8) & 0xFFu));
                }
            });
        break;
    }
    case kScopeCube: {
        const float m10 = m_afRot[3], m11 = m_afRot[4], m12 = m_afRot[5];
        const float m20 = m_afRot[6], m21 = m_afRot[7], m22 = m_afRot[8];
        const auto countSample = [=](int ys, int us, int vs, size_t, bool selected) {
            const float fv = static_cast<float>(vs);
            const float fu = static_cast<float>(us);
            const float fy = static_cast<float>(ys - 128);
            const int px = static_cast<int>(m10 * fv + m11 * fu + m12 * fy + 128.0f);
            const int py = static_cast<int>(m20 * fv + m21 * fu + m22 * fy + 128.0f);
            if (px < 0 || px > 255 || py < 0 || py > 255)
                return;
            BYTE* plane = plane0 + (selected ? kGridBytes : 0);
            Count(plane[static_cast<size_t>(py) * kGridSide + static_cast<size_t>(px)]);
        };
        const float* const rot = m_afRot;
        runSamplesAndWords(countSample, [=](const uint32_t* words, size_t n, size_t x0) {
            countEachWord(countSample, words, CountCubeWords(words, n, samplePairs, rot, plane0),
                          n, x0);
        });
        break;
    }
    case kScopeCombined:
        runSamples([=](int ys, int us, int vs, size_t x, bool selected) {
            BYTE* plane = plane0 + (selected ? kGridBytes : 0);
            const size_t h = static_cast<size_t>(ys >> 1);
            const size_t cu = static_cast<size_t>((us + 127) >> 1);
            const size_t cv = static_cast<size_t>((vs + 127) >> 1);
            Count(plane[cv * kGridSide + cu]);
            Count(plane[(128 + h) * kGridSide + cu]);
            Count(plane[cv * kGridSide + 128 + h]);
            Count(plane[(128 + h) * kGridSide + 128 + xcol[x]]);
        });
        break;
    default:
        run([](int, int, int, size_t, bool) {}, [](const uint32_t*, size_t, size_t) {});
        break;
    }

    // ---- drawing --------------------------------------------------------------
    if (scope != kScopeNone) {
        const ScopeCanvas canvas = MakeScopeCanvas(display);
        const int w = canvas.width;
        const int h = canvas.height;
        // The lightning grid's last column (255) holds no sample.
        CountBlock grid{kGridSide, 0, 0, 256, 255, (h - 255) / 2, (w - 255) / 2};
        switch (scope) {
        case kScopeVector: {
            grid.columns = 256;
            // The match index shows the vectors' regions in blue.
            const uint16_t* markers = stages.match ? m_pMatchIndex : nullptr;
            DrawCounts(canvas, plane0, nullptr, markers, grid, m_ILUT, CountBlend::Store);
            break;
        }
        case kScopeWaveform: {
            const CountBlock wave{kWaveformStride, 0, 0, 256, static_cast<int>(kWaveformColumns),
                                  (h - 256) / 2, (w - static_cast<int>(kWaveformColumns)) / 2};
            DrawCounts(canvas, plane0, plane0 + kWaveformPlaneBytes, nullptr, wave, m_ILUT,
                       CountBlend::Store);
            break;
        }
        case kScopeHistogram: {
            if (m_bLegalY) {
                FoldLegalRange(redCounts);
                FoldLegalRange(greenCounts);
                FoldLegalRange(blueCounts);
            }
            const uint64_t step =
                static_cast<uint64_t>(width) * static_cast<uint64_t>(height) / 50;
            const BYTE bar = static_cast<BYTE>(m_ILUT[90] >> 8);
            DrawHistogramCharts(canvas, redCounts, greenCounts, blueCounts, step, bar, 1);
            break;
        }
        case kScopeLightning:
            DrawCounts(canvas, plane0, plane0 + kGridBytes, nullptr, grid, m_ILUT,
                       CountBlend::Store);
            break;
        case kScopeCube:
            // The frame first; the cloud is OR-ed over it so the frame stays visible.
            BuildCube(static_cast<const tagDIBINFO*>(display));
            DrawCounts(canvas, plane0, plane0 + kGridBytes, nullptr, grid, m_ILUT,
                       CountBlend::Or);
            break;
        case kScopeCombined: {
            const int x0 = (w - 256) / 3;
            const int y0 = (h - 256) / 3;
            for (size_t panelRow = 0; panelRow < 2; ++panelRow) {
                for (size_t panelColumn = 0; panelColumn < 2; ++panelColumn) {
                    const CountBlock panel{kGridSide,
                                           panelRow * 128,
                                           panelColumn * 128,
                                           128,
                                           128,
                                           static_cast<int>(panelRow) * (128 + y0) + y0,
                                           static_cast<int>(panelColumn) * (128 + x0) + x0};
                    DrawCounts(canvas, plane0, plane0 + kGridBytes, nullptr, panel, m_ILUT,
                               CountBlend::Store);
                }
            }
            break;
        }
        default:
            break;
        }
    }

    timer.Report(11, 10, L"\rDisplay processing time %ums\r\n");
    return 1;
}

int CColorCorrectionFilter::SetReference(const CVoraDib& ref)
{
    using namespace colorcorrect::stages;
    m_HistoBack = g_dibHistogram;
    const tagDIBINFO* h = ref;
    if (h == nullptr || h->bmiHeader.biCompression != YUV_COMPRESSION)
        return 0;
    // A picture of its own, at 24 bits, whatever the background was.
    if (m_HistoBack.Realloc(0, 0, 24, 0) == 0)
        return 0;
    if (!IsScopeCanvas(m_HistoBack))
        return 1; // the charts are drawn only on a background of the scope size

    std::array<uint32_t, 3 * 256> counts{};
    uint32_t* const redCounts = counts.data();
    uint32_t* const greenCounts = redCounts + 256;
    uint32_t* const blueCounts = redCounts + 512;

    const BYTE* base = ref;
    unsigned step = 0, line = 0;
    ref.GetIncrements(step, line);
    const int width = ref.GetWidth();
    const int height = ref.GetHeight();
    for (int row = 0; row < height; ++row) {
        const BYTE* p = base + static_cast<size_t>(row) * line;
        for (int x = 0; x < width; ++x, p += step) {
            int y, u, v, r, g, b;
            ReadPixel(p, y, u, v);
            YUVToRGB(y, u, v, r, g, b);
            CountChannelValues(redCounts, greenCounts, blueCounts, r, g, b);
        }
    }

    const uint64_t fill = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) / 50;
    DrawHistogramCharts(MakeScopeCanvas(m_HistoBack), redCounts, greenCounts, blueCounts, fill,
                        kReferenceBar, 0);
    return 1;
}
