#include "video_corrector.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace colorcorrect::gst {

using namespace colorcorrect::formats;

namespace {

// Stripes are cut at multiples of 4 rows, so that each keeps the frame's
// chroma rows and fields in step; they are at least kMinStripe rows tall,
// so that the margins stay a small part of the work.
constexpr int kStripeAlign = 4;
constexpr int kMinStripe = 32;
// 4:2:0 chroma rows read luma rows one away and are interpolated from chroma
// rows one away: two chroma rows (four luma rows) of context in each field,
// eight frame rows when the fields are interleaved. The rows at a stripe's
// edge, which repeat the edge instead, are never written back.
constexpr int kMargin420 = 8;

bool Is420(VideoLayout layout) { return layout == VideoLayout::I420 || layout == VideoLayout::Nv12; }

// The byte of Y within a packed YUV pixel, and the pixel's size.
int PackedLuma(VideoLayout layout) { return layout == VideoLayout::Ayuv ? 1 : 0; }
int PackedBytes(VideoLayout layout) { return layout == VideoLayout::Ayuv ? 4 : 3; }

void SwapRedBlue(const VideoPlanes& planes, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        uint8_t* p = planes.data[0] + planes.stride[0] * size_t(y);
        for (int x = 0; x < width; ++x, p += 4)
            std::swap(p[0], p[2]);
    }
}

} // namespace

VideoCorrector::VideoCorrector(const VideoFormat& format, unsigned threads) : m_format(format), m_threads(threads)
{
    if (!IsYuv(format.layout))
        return;
    m_bands = std::make_unique<BandProcessor>(threads);
    const bool is420 = Is420(format.layout);
    const int h = format.height;
    const int count = std::clamp(h / kMinStripe, 1, int(m_bands->Threads()));
    const int margin = is420 ? kMargin420 : 0;
    m_stripes.resize(size_t(count));
    for (int k = 0; k < count; ++k) {
        Stripe& s = m_stripes[size_t(k)];
        s.first = int(int64_t(h) * k / count) / kStripeAlign * kStripeAlign;
        s.last = k + 1 == count ? h : int(int64_t(h) * (k + 1) / count) / kStripeAlign * kStripeAlign;
        s.top = std::max(0, s.first - margin);
        s.bottom = std::min(h, s.last + margin);
        s.header = MakeY4mHeader(format.width, s.bottom - s.top, is420 ? format.siting : Y4mChroma::C444);
        s.header.interlace = format.interlaced ? Y4mInterlace::TopFirst : Y4mInterlace::Progressive;
        s.converter = std::make_unique<FrameConverter>(s.header, false, format.matrix, format.range);
        s.frame.resize(s.header.FrameBytes());
    }
}

VideoCorrector::~VideoCorrector() = default;

bool VideoCorrector::Correct(const CorrectionProcessor& look, const VideoPlanes& planes)
{
    const int w = m_format.width, h = m_format.height;
    switch (m_format.layout) {
    case VideoLayout::Rgb:
    case VideoLayout::Rgba: {
        const int channels = m_format.layout == VideoLayout::Rgb ? 3 : 4;
        const PixelRows rows{planes.data[0], w, h, channels, planes.stride[0]};
        return look.ProcessRgbPixels(rows, rows, m_threads);
    }
    case VideoLayout::Bgrx: {
        // The fourth byte goes through as alpha does: unchanged.
        SwapRedBlue(planes, w, h);
        const PixelRows rows{planes.data[0], w, h, 4, planes.stride[0]};
        const bool ok = look.ProcessRgbPixels(rows, rows, m_threads);
        SwapRedBlue(planes, w, h);
        return ok;
    }
    default:
        break;
    }
    if (m_stripes.size() == 1) {
        Gather(planes, m_stripes[0]);
        return CorrectStripe(look, planes, m_stripes[0]);
    }
    // Every stripe is gathered before any is written back: a stripe's
    // margins are its neighbours' rows, which must still be the input.
    m_bands->ForEachBand(m_stripes.size(), 1, [&](size_t first, size_t count) {
        for (size_t k = first; k < first + count; ++k)
            Gather(planes, m_stripes[k]);
    });
    std::atomic<bool> ok{true};
    m_bands->ForEachBand(m_stripes.size(), 1, [&](size_t first, size_t count) {
        for (size_t k = first; k < first + count; ++k) {
            if (!CorrectStripe(look, planes, m_stripes[k]))
                ok = false;
        }
    });
    return ok.load();
}

bool VideoCorrector::CorrectStripe(const CorrectionProcessor& look, const VideoPlanes& planes, Stripe& s)
{
    const ChromaRange range = look.Range();
    if (!s.converter->CorrectFrame(s.frame.data(), look.Processor(), s.scratch, range.lo, range.hi))
        return false;
    Scatter(s, planes);
    return true;
}

void VideoCorrector::Gather(const VideoPlanes& planes, Stripe& s) const
{
    const VideoLayout layout = m_format.layout;
    const size_t w = size_t(m_format.width), cw = size_t(s.header.ChromaWidth());
    const int rows = s.bottom - s.top;
    uint8_t* outY = s.frame.data();
    uint8_t* outU = outY + s.header.LumaBytes();
    uint8_t* outV = outU + s.header.ChromaBytes();
    if (layout == VideoLayout::V308 || layout == VideoLayout::Ayuv) {
        const int at = PackedLuma(layout), step = PackedBytes(layout);
        for (int r = 0; r < rows; ++r) {
            const uint8_t* p = planes.data[0] + planes.stride[0] * size_t(s.top + r) + at;
            for (size_t x = 0; x < w; ++x, p += step) {
                outY[w * size_t(r) + x] = p[0];
                outU[w * size_t(r) + x] = p[1];
                outV[w * size_t(r) + x] = p[2];
            }
        }
        return;
    }
    for (int r = 0; r < rows; ++r)
        std::memcpy(outY + w * size_t(r), planes.data[0] + planes.stride[0] * size_t(s.top + r), w);
    const int chromaTop = Is420(layout) ? s.top / 2 : s.top;
    for (int r = 0; r < s.header.ChromaHeight(); ++r) {
        const size_t row = size_t(chromaTop + r);
        if (layout == VideoLayout::Nv12) {
            const uint8_t* p = planes.data[1] + planes.stride[1] * row;
            for (size_t x = 0; x < cw; ++x) {
                outU[cw * size_t(r) + x] = p[2 * x];
                outV[cw * size_t(r) + x] = p[2 * x + 1];
            }
        } else {
            std::memcpy(outU + cw * size_t(r), planes.data[1] + planes.stride[1] * row, cw);
            std::memcpy(outV + cw * size_t(r), planes.data[2] + planes.stride[2] * row, cw);
        }
    }
}

void VideoCorrector::Scatter(const Stripe& s, const VideoPlanes& planes) const
{
    const VideoLayout layout = m_format.layout;
    const size_t w = size_t(m_format.width), cw = size_t(s.header.ChromaWidth());
    const uint8_t* inY = s.frame.data();
    const uint8_t* inU = inY + s.header.LumaBytes();
    const uint8_t* inV = inU + s.header.ChromaBytes();
    if (layout == VideoLayout::V308 || layout == VideoLayout::Ayuv) {
        const int at = PackedLuma(layout), step = PackedBytes(layout);
        for (int y = s.first; y < s.last; ++y) {
            const size_t r = size_t(y - s.top);
            uint8_t* p = planes.data[0] + planes.stride[0] * size_t(y) + at;
            for (size_t x = 0; x < w; ++x, p += step) {
                p[0] = inY[w * r + x];
                p[1] = inU[w * r + x];
                p[2] = inV[w * r + x];
            }
        }
        return;
    }
    for (int y = s.first; y < s.last; ++y)
        std::memcpy(planes.data[0] + planes.stride[0] * size_t(y), inY + w * size_t(y - s.top), w);
    const bool is420 = Is420(layout);
    const int first = is420 ? s.first / 2 : s.first, last = is420 ? (s.last + 1) / 2 : s.last;
    const int top = is420 ? s.top / 2 : s.top;
    for (int j = first; j < last; ++j) {
        const size_t r = size_t(j - top);
        if (layout == VideoLayout::Nv12) {
            uint8_t* p = planes.data[1] + planes.stride[1] * size_t(j);
            for (size_t x = 0; x < cw; ++x) {
                p[2 * x] = inU[cw * r + x];
                p[2 * x + 1] = inV[cw * r + x];
            }
        } else {
            std::memcpy(planes.data[1] + planes.stride[1] * size_t(j), inU + cw * r, cw);
            std::memcpy(planes.data[2] + planes.stride[2] * size_t(j), inV + cw * r, cw);
        }
    }
}

} // namespace colorcorrect::gst
