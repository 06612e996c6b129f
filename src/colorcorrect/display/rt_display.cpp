// The real-time display: raw playback frames corrected with the primary stage
// and the output tables only, optionally reduced to half size or one field
// and mixed with an overlay.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../engine/pixel_stages.h"
#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "color_correction_filter.h"
#include "engine_words.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The overlay pixel o (Y, U + 128, V + 128, weight) mixed over the display's
// output (yo; uo and vo centred on 0) by its weight, into d.
inline void MixOverlay(int yo, int uo, int vo, const unsigned char* o, unsigned char* d)
{
    using namespace colorcorrect::stages;
    const int w = o[3];
    d[0] = static_cast<unsigned char>(ClampLuma(yo + (((o[0] - yo) * w) >> 8)));
    d[1] = static_cast<unsigned char>(ClampChroma(uo + (((o[1] - 128 - uo) * w) >> 8)) + 128);
    d[2] = static_cast<unsigned char>(ClampChroma(vo + (((o[2] - 128 - vo) * w) >> 8)) + 128);
}

#if defined(__SSE2__)
// Four 4-byte pixels `step` (4 or 8) bytes apart. At 8 the bytes after the
// fourth pixel are read too: the pixel beside it in the same row, which a
// row of a half-size frame always has.
inline __m128i LoadFour(const unsigned char* p, uint64_t step)
{
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (step == 4)
        return a;
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    return _mm_unpacklo_epi64(_mm_shuffle_epi32(a, _MM_SHUFFLE(3, 1, 2, 0)), _mm_shuffle_epi32(b, _MM_SHUFFLE(3, 1, 2, 0)));
}

// MixOverlay for four 4-byte pixels at once (SSE2, part of every x86-64
// processor): `words` are the display's outputs (the engine's words), `o8`
// the four overlay pixels. Bytes 0..2 of each pixel of d are written, byte 3
// is kept. Works on the biased bytes: o - c is the same difference for
// chroma, and (o - c) * w >> 8 is the high half of (o - c) * 128 times 2w.
inline void MixOverlay4(const uint32_t* words, __m128i o8, unsigned char* d)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_setr_epi16(0, 1, 1, 0, 0, 1, 1, 0);
    const __m128i hi = _mm_set1_epi16(255);
    const __m128i c8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words));
    const auto mix = [&](__m128i c, __m128i o) {
        const __m128i w = _mm_shufflehi_epi16(_mm_shufflelo_epi16(o, 0xFF), 0xFF);
        const __m128i m = _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(o, c), 7), _mm_slli_epi16(w, 1));
        return _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(c, m), lo), hi);
    };
    const __m128i mixed = _mm_packus_epi16(mix(_mm_unpacklo_epi8(c8, zero), _mm_unpacklo_epi8(o8, zero)),
                                           mix(_mm_unpackhi_epi8(c8, zero), _mm_unpackhi_epi8(o8, zero)));
    const __m128i keep = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i* const out = reinterpret_cast<__m128i*>(d);
    _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(out), keep), _mm_andnot_si128(keep, mixed)));
}
#endif

} // namespace

unsigned int CColorCorrectionFilter::uOffsFirstLine(const tagYUVBMINFOHEADER* hdr,
                                                    unsigned int lineLength)
{
    if (hdr == nullptr)
        return 0;
    // The field order says which field comes first in memory; the display
    // field picks one of the two.
    const bool firstOrder = hdr->dwFieldOrder == 0;
    const bool secondField = m_uDisplayField == 1;
    return firstOrder != secondField ? lineLength : 0;
}

int CColorCorrectionFilter::ProcessRTDisplay(const tagYUVBMINFOHEADER* hdr, unsigned char* dst,
                                             unsigned char* src, unsigned char* overlay,
                                             unsigned long flags)
{
    using namespace colorcorrect::stages;
    const colorcorrect::DebugTimer timer;

    if (hdr == nullptr || dst == nullptr || src == nullptr ||
        hdr->biCompression != colorcorrect::YUV_COMPRESSION || hdr->biWidth < 0)
        return 0;
    if ((flags & 1) == 0)
        flags &= ~2ul;

    // All offsets in 64 bits: the header describes buffers the library
    // cannot measure.
    const uint64_t width = static_cast<uint64_t>(hdr->biWidth);
    const int64_t signedHeight = hdr->biHeight;
    const uint64_t height = static_cast<uint64_t>(signedHeight < 0 ? -signedHeight : signedHeight);
    const bool threeBytes = hdr->biBitCount == 24;
    const uint64_t pixelSize = threeBytes ? 3 : 4;
    const uint64_t lineLength = colorcorrect::RowStride(hdr->biWidth, hdr->biBitCount);
    // A frame larger than any picture the host can hold is a corrupt header.
    if (height != 0 && lineLength > colorcorrect::MAX_PICTURE_BYTES / height)
        return 0;

    uint64_t srcStep, srcLine, first, pixels, lines, dstLine;
    if ((flags & 1) == 0) {
        // Half size: every other pixel of every other line of one field.
        srcStep = 2 * pixelSize;
        srcLine = 2 * lineLength;
        first = uOffsFirstLine(hdr, static_cast<unsigned>(lineLength));
        pixels = width / 2;
        lines = height / 2;
        dstLine = threeBytes ? ((width / 2) * 3 + 3) & ~uint64_t{3} : width * 2;
    } else if ((flags & 2) != 0) {
        // The whole frame.
        srcStep = pixelSize;
        srcLine = lineLength;
        first = 0;
        pixels = width;
        lines = height;
        dstLine = lineLength;
    } else {
        // One field, written to every other destination line from line 0.
        srcStep = pixelSize;
        srcLine = 2 * lineLength;
        first = uOffsFirstLine(hdr, static_cast<unsigned>(lineLength));
        pixels = width;
        lines = height / 2;
        dstLine = 2 * lineLength;
    }
    if (pixels == 0)
        lines = 0; // nothing to do on any line
    src += first;
    if (overlay != nullptr)
        overlay += first;
    // A 24-bit frame at full resolution has no room for an overlay weight.
    const bool useOverlay = overlay != nullptr && srcStep != 3;
    const bool alpha = pixelSize == 4;

    // One pixel as the display defines it: the primary stage, the output
    // tables, the overlay mixed in.
    const auto pixel = [&](const unsigned char* s, const unsigned char* o, unsigned char* d) {
        int y, u, v;
        ReadPixel(s, y, u, v);
        PrimaryStage(y, u, v);

        if (o == nullptr) {
            d[0] = static_cast<unsigned char>(ClampLuma(m_LumaClip[y + 512]));
            d[1] = static_cast<unsigned char>(ClampChroma(m_ChromaClip[u + 512]) + 128);
            d[2] = static_cast<unsigned char>(ClampChroma(m_ChromaClip[v + 512]) + 128);
            return;
        }
        // Under an overlay a translucent pixel is weighted by its alpha
        // before the output tables.
        if (alpha)
            WeightByAlpha(s[3], y, u, v);
        MixOverlay(m_LumaClip[y + 512], m_ChromaClip[u + 512], m_ChromaClip[v + 512], o, d);
    };

    // The faster loop: with the primary stage on and no vector stage the
    // engine's loop does exactly the primary stage and the output tables, and
    // with output tables inside the clamps below its bytes are the clamped
    // outputs. Only a translucent pixel under an overlay, whose weight applies
    // before the output tables, takes the stage itself.
    bool engineFront = !DisplayReferenceLoops() && m_bPrimary != 0 && m_bVector == 0;
    for (int i = 0; engineFront && i < 1024; ++i)
        engineFront = m_LumaClip[i] == ClampLuma(m_LumaClip[i]) &&
                      m_ChromaClip[i] == ClampChroma(m_ChromaClip[i]);

    uint32_t words[colorcorrect::kEngineWordRun];
    for (uint64_t j = 0; j < lines; ++j) {
        const unsigned char* s = src + j * srcLine;
        const unsigned char* o = useOverlay ? overlay + j * srcLine : nullptr;
        unsigned char* d = dst + j * dstLine;
        if (!engineFront) {
            for (uint64_t i = 0; i < pixels; ++i, s += srcStep, d += pixelSize) {
                pixel(s, o, d);
                if (o != nullptr)
                    o += srcStep;
            }
            continue;
        }
        for (uint64_t i0 = 0; i0 < pixels; i0 += colorcorrect::kEngineWordRun) {
            const size_t n = static_cast<size_t>(
                std::min<uint64_t>(pixels - i0, colorcorrect::kEngineWordRun));
            colorcorrect::EngineWords(*this, s, static_cast<size_t>(srcStep), n, words);
            if (o == nullptr && alpha) {
                colorcorrect::StoreColourBytes(words, d, n);
                s += n * srcStep;
                d += n * 4;
                continue;
            }
            for (size_t i = 0; i < n; ++i, s += srcStep, d += pixelSize) {
#if defined(__SSE2__)
                // Four opaque 4-byte pixels under the overlay at once; the
                // frame's pixels were read into the words, so `dst` may be `src`.
                if (o != nullptr && alpha && i + 4 <= n &&
                    (_mm_movemask_epi8(_mm_cmpeq_epi8(LoadFour(s, srcStep), _mm_set1_epi8(-1))) & 0x8888) == 0x8888) {
                    MixOverlay4(words + i, LoadFour(o, srcStep), d);
                    i += 3, s += 3 * srcStep, d += 3 * pixelSize, o += 4 * srcStep;
                    continue;
                }
#endif
                const uint32_t word = words[i];
                if (o == nullptr) {
                    d[0] = static_cast<unsigned char>(word);
                    d[1] = static_cast<unsigned char>(word >> 8);
                    d[2] = static_cast<unsigned char>(word >> 16);
                    continue;
                }
                if (alpha && s[3] != 255)
                    pixel(s, o, d);
                else
                    MixOverlay(static_cast<int>(colorcorrect::WordByte(word, 0)),
                               static_cast<int>(colorcorrect::WordByte(word, 1)) - 128,
                               static_cast<int>(colorcorrect::WordByte(word, 2)) - 128, o, d);
                o += srcStep;
            }
        }
    }

    timer.Report(11, 15, L"\rRTDisplay processing time: %ums\r\n");
    return 1;
}
