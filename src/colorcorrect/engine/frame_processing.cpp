// The reference correction loop: every pixel runs the stages in their fixed
// order (read, primary, range clamp, six-vector, match-vector, output).

#include <cstddef>
#include <cstdint>

#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "base_color_correction_filter.h"

BOOL CBaseColorCorrectionFilter::Process(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out)
{
    const DWORD start = GetTickCount();

    if (header == nullptr || in == nullptr || out == nullptr)
        return 0;
    if (header->biCompression != colorcorrect::YUV_COMPRESSION || header->biWidth < 0)
        return 0;

    const size_t width = static_cast<size_t>(header->biWidth);
    const int64_t h = header->biHeight;
    // Rows without pixels need no visit: a zero-width header with a height
    // near the int limits would otherwise spin through 2^31 empty rows.
    const size_t height = width == 0 ? 0 : static_cast<size_t>(h < 0 ? -h : h);
    const bool threeBytes = header->biBitCount == 24;
    const size_t pixelSize = threeBytes ? 3 : 4;
    const size_t stride = threeBytes ? (width * 3 + 3) & ~static_cast<size_t>(3) : width * 4;
    // 24-bit pixels carry no alpha byte to divide by.
    const bool premultiplied =
        !threeBytes && (header->dwFlags & colorcorrect::YUVBM_PREMULTIPLIED) != 0;

    // Decided once per call: a stage whose index is missing (a set-up that
    // failed half-way) is skipped rather than read through a null pointer.
    const bool primary = m_bPrimary != 0;
    const bool vector = m_bVector != 0;
    const bool six = m_bSixVector != 0 && m_pSixIndex != nullptr;
    const bool match = m_bMatchVector != 0 && m_pMatchIndex != nullptr;

    for (size_t row = 0; row < height; ++row) {
        const BYTE* src = in + row * stride;
        BYTE* dst = out + row * stride;
        for (size_t x = 0; x < width; ++x, src += pixelSize, dst += pixelSize) {
            int y, u, v;
            int alpha = 0;
            if (premultiplied)
                alpha = ReadPremultipliedPixel(src, y, u, v);
            else
                ReadPixel(src, y, u, v);
            // For in-place calls src and dst are the same bytes: keep the
            // alpha byte before anything is written.
            const BYTE alphaByte = threeBytes ? 0 : src[3];

            if (primary)
                PrimaryStage(y, u, v);
            if (vector) {
                ClampRange(y, u, v);
                if (six)
                    SixVectorStage(y, u, v);
                if (match)
                    MatchVectorStage(y, u, v);
            }

            if (premultiplied)
                WritePremultipliedPixel(dst, y, u, v, alpha);
            else
                WritePixel(dst, y, u, v);
            if (!threeBytes)
                dst[3] = alphaByte;
        }
    }

    if (IsDebugOn())
        wPrintf(11, 10, L"\rFull processing time %ums\r\n",
                static_cast<unsigned>(GetTickCount() - start));
    return 1;
}
