// Frame processing: header checks, the choice between the fast loop chosen
// at set-up and the reference loop, and the reference loop itself, in which
// every pixel runs the stages in their fixed order (read, primary, range
// clamp, six-vector, match-vector, output).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "base_color_correction_filter.h"
#include "fast_process.h"
#include "front_words.h"
#include "pixel_stages.h"

namespace {

// The header's geometry, or false when the picture is refused.
struct Geometry {
    size_t width;
    size_t height;
    size_t stride;
    bool threeBytes;
    bool premultiplied;
};

bool ReadGeometry(const tagYUVBMINFOHEADER* header, const BYTE* in, const BYTE* out, Geometry& g)
{
    if (header == nullptr || in == nullptr || out == nullptr)
        return false;
    if (header->biCompression != colorcorrect::YUV_COMPRESSION || header->biWidth < 0)
        return false;
    g.width = static_cast<size_t>(header->biWidth);
    const int64_t h = header->biHeight;
    // Rows without pixels need no visit: a zero-width header with a height
    // near the int limits would otherwise spin through 2^31 empty rows.
    g.height = g.width == 0 ? 0 : static_cast<size_t>(h < 0 ? -h : h);
    g.threeBytes = header->biBitCount == 24;
    g.stride = static_cast<size_t>(colorcorrect::RowStride(header->biWidth, header->biBitCount));
    // 24-bit pixels carry no alpha byte to divide by.
    g.premultiplied =
        !g.threeBytes && (header->dwFlags & colorcorrect::YUVBM_PREMULTIPLIED) != 0;
    return true;
}

// The part of a kept words' key the geometry gives.
colorcorrect::FrontWords::Picture PictureOf(const Geometry& g)
{
    return {g.width, g.height, g.stride, g.threeBytes, g.premultiplied};
}

// The geometry of a call on rows firstRow .. firstRow + rowCount - 1, with
// rowCount cut to the picture (0 when firstRow lies beyond it); false when
// the picture is refused.
bool RowRange(const tagYUVBMINFOHEADER* header, const BYTE* in, const BYTE* out, size_t firstRow,
              size_t& rowCount, Geometry& g)
{
    if (!ReadGeometry(header, in, out, g))
        return false;
    rowCount = firstRow >= g.height ? 0 : std::min(rowCount, g.height - firstRow);
    return true;
}

} // namespace

BOOL CBaseColorCorrectionFilter::ProcessFrame(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out,
                                              bool reference) const
{
    const colorcorrect::DebugTimer timer;
    Geometry g;
    if (!ReadGeometry(header, in, out, g))
        return 0;
    ProcessRange(in, out, g.width, g.stride, g.threeBytes, g.premultiplied, g.height, reference);
    timer.Report(11, 10, L"\rFull processing time %ums\r\n");
    return 1;
}

BOOL CBaseColorCorrectionFilter::Process(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out)
{
    return ProcessFrame(header, in, out, false);
}

BOOL CBaseColorCorrectionFilter::ProcessReference(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out)
{
    return ProcessFrame(header, in, out, true);
}

BOOL CBaseColorCorrectionFilter::ProcessRows(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out,
                                             size_t firstRow, size_t rowCount)
{
    Geometry g;
    if (!RowRange(header, in, out, firstRow, rowCount, g))
        return 0;
    if (rowCount == 0)
        return 1;
    ProcessRange(in + firstRow * g.stride, out + firstRow * g.stride, g.width, g.stride,
                 g.threeBytes, g.premultiplied, rowCount, false);
    return 1;
}

const colorcorrect::FastPlan* CBaseColorCorrectionFilter::UsableFastPlan() const
{
    // The fast loop serves only the stage flags it was chosen for, with the
    // index buffers it reads present.
    const colorcorrect::FastPlan* plan =
        m_pFast != nullptr && m_pFast->plan.valid ? &m_pFast->plan : nullptr;
    if (plan == nullptr || colorcorrect::ReferenceLoopForced() ||
        plan->bPrimary != m_bPrimary || plan->bVector != m_bVector ||
        plan->bSix != m_bSixVector || plan->bMatch != m_bMatchVector ||
        (plan->six != colorcorrect::SixPath::Off && m_pSixIndex == nullptr) ||
        (plan->match && m_pMatchIndex == nullptr))
        return nullptr;
    return plan;
}

void CBaseColorCorrectionFilter::ProcessRange(const BYTE* in, BYTE* out, size_t width,
                                              size_t stride, bool threeBytes, bool premultiplied,
                                              size_t rowCount, bool reference) const
{
    const colorcorrect::FastPlan* plan = reference ? nullptr : UsableFastPlan();
    if (plan != nullptr) {
        const colorcorrect::FastRowsFn rows = threeBytes      ? plan->rows24
                                              : premultiplied ? plan->rows32Pre
                                                              : plan->rows32;
        rows(*this, in, out, stride, width, rowCount);
        return;
    }

    const size_t pixelSize = threeBytes ? 3 : 4;
    const StageSet stages = ActiveStages();
    const auto matchStage = [this](int& y, int& u, int& v) { return MatchVectorStage(y, u, v); };

    for (size_t row = 0; row < rowCount; ++row) {
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

            RunStages(y, u, v, stages, matchStage);

            if (premultiplied)
                WritePremultipliedPixel(dst, y, u, v, alpha);
            else
                WritePixel(dst, y, u, v);
            if (!threeBytes)
                dst[3] = alphaByte;
        }
    }
}

bool CBaseColorCorrectionFilter::PrepareFront(tagYUVBMINFOHEADER* header, const BYTE* in,
                                              colorcorrect::FrontWords& front) const
{
    Geometry g;
    const colorcorrect::FastPlan* plan = UsableFastPlan();
    if (!ReadGeometry(header, in, in, g) || plan == nullptr || !plan->vector)
        return false;
    // The words depend on the geometry and format, and on the tables of the
    // stages in front: the primary stage's curves, hue and saturation.
    colorcorrect::FrontWords::Key now;
    now.picture = PictureOf(g);
    now.primaryPath = static_cast<int>(plan->primary);
    std::memcpy(now.yCurve, m_YLUT, sizeof now.yCurve);
    std::memcpy(now.cosine, m_CosLUT, sizeof now.cosine);
    std::memcpy(now.sine, m_SinLUT, sizeof now.sine);
    std::memcpy(now.saturation, m_SatLUT, sizeof now.saturation);
    std::memcpy(now.red, m_RLUT, sizeof now.red);
    std::memcpy(now.green, m_GLUT, sizeof now.green);
    std::memcpy(now.blue, m_BLUT, sizeof now.blue);
    const bool same = now == front.m_key;
    using Use = colorcorrect::FrontWords::Use;
    constexpr unsigned kFillAfter = colorcorrect::FrontWords::kFillAfter;
    front.m_sameKey = same ? std::min(front.m_sameKey + 1, kFillAfter) : 0;
    front.m_use = front.m_valid && same                ? Use::Reuse
                  : front.m_sameKey == kFillAfter ? Use::Fill
                                                        : Use::None;
    const size_t words = g.width * g.height;
    if (front.m_use == Use::Fill && front.m_capacity < words) {
        front.m_words.reset(new (std::nothrow) uint32_t[words]);
        front.m_capacity = front.m_words ? words : 0;
        if (!front.m_words)
            front.m_use = Use::None;
    }
    if (!same) {
        front.m_valid = false;
        front.m_key = now;
    }
    return true;
}

BOOL CBaseColorCorrectionFilter::ProcessRowsWithFront(tagYUVBMINFOHEADER* header, BYTE* in,
                                                      BYTE* out, size_t firstRow, size_t rowCount,
                                                      colorcorrect::FrontWords& front) const
{
    Geometry g;
    if (!RowRange(header, in, out, firstRow, rowCount, g))
        return 0;
    if (rowCount == 0)
        return 1;
    const colorcorrect::FastPlan* plan = UsableFastPlan();
    // Without words to fill or reuse, or for a picture PrepareFront did not
    // make them ready for (they would not cover it): the rows as ProcessRows
    // corrects them.
    if (plan == nullptr || !plan->vector || front.m_use == colorcorrect::FrontWords::Use::None ||
        front.m_key.picture != PictureOf(g)) {
        ProcessRange(in + firstRow * g.stride, out + firstRow * g.stride, g.width, g.stride,
                     g.threeBytes, g.premultiplied, rowCount, false);
        return 1;
    }
    const colorcorrect::FastFrontRowsFn rows = g.threeBytes      ? plan->front24
                                               : g.premultiplied ? plan->front32Pre
                                                                 : plan->front32;
    rows(*this, in + firstRow * g.stride, out + firstRow * g.stride, g.stride, g.width, rowCount,
         colorcorrect::FrontRows{front.m_words.get() + firstRow * g.width,
                                 front.m_use == colorcorrect::FrontWords::Use::Reuse});
    return 1;
}

void CBaseColorCorrectionFilter::FinishFront(colorcorrect::FrontWords& front)
{
    front.m_valid = front.m_use != colorcorrect::FrontWords::Use::None;
}
