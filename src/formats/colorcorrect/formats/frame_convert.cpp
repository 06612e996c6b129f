#include "frame_convert.h"

#include <algorithm>
#include <cstring>

namespace colorcorrect::formats {

FrameConverter::FrameConverter(const Y4mHeader& header)
    : m_header(header), m_width(header.width), m_height(header.height)
{
    const int bits = header.HasAlpha() ? 32 : 24;
    m_pixel = bits / 8;
    m_stride = RowStride(m_width, bits);
    m_info.biSize = 40;
    m_info.biWidth = m_width;
    m_info.biHeight = m_height;
    m_info.biPlanes = 1;
    m_info.biBitCount = static_cast<uint16_t>(bits);
    m_info.biCompression = YUV_COMPRESSION;
    m_info.biSizeImage = static_cast<uint32_t>(PictureBytes());
    if (header.Is420()) {
        const bool centredX = header.chroma == Y4mChroma::C420Jpeg;
        const bool centredY = header.chroma != Y4mChroma::C420Paldv;
        const int cw = header.ChromaWidth(), ch = header.ChromaHeight();
        m_upX = UpTaps(m_width, cw, centredX);
        m_upY = UpTaps(m_height, ch, centredY);
        m_downX = DownTaps(m_width, cw, centredX);
        m_downY = DownTaps(m_height, ch, centredY);
        m_downShift = (centredX ? 3 : 2) + (centredY ? 3 : 2);
    }
}

std::vector<FrameConverter::UpTap> FrameConverter::UpTaps(int lumaCount, int chromaCount, bool centred)
{
    std::vector<UpTap> taps(static_cast<size_t>(lumaCount));
    auto at = [chromaCount](int i) { return std::clamp(i, 0, chromaCount - 1); };
    for (int x = 0; x < lumaCount; ++x) {
        const int i = x / 2;
        UpTap t;
        if (centred) {
            // Sample i sits at luma position 2i + 1/2.
            t = (x % 2 == 0) ? UpTap{at(i), at(i - 1), 3, 1} : UpTap{at(i), at(i + 1), 3, 1};
        } else {
            // Sample i sits on luma position 2i.
            t = (x % 2 == 0) ? UpTap{at(i), at(i), 4, 0} : UpTap{at(i), at(i + 1), 2, 2};
        }
        taps[static_cast<size_t>(x)] = t;
    }
    return taps;
}

std::vector<std::vector<FrameConverter::DownTap>> FrameConverter::DownTaps(int lumaCount, int chromaCount,
                                                                           bool centred)
{
    std::vector<std::vector<DownTap>> taps(static_cast<size_t>(chromaCount));
    auto at = [lumaCount](int x) { return std::clamp(x, 0, lumaCount - 1); };
    for (int i = 0; i < chromaCount; ++i) {
        auto& t = taps[static_cast<size_t>(i)];
        if (centred)
            t = {{at(2 * i - 1), 1}, {at(2 * i), 3}, {at(2 * i + 1), 3}, {at(2 * i + 2), 1}};
        else
            t = {{at(2 * i - 1), 1}, {at(2 * i), 2}, {at(2 * i + 1), 1}};
    }
    return taps;
}

void FrameConverter::ToPicture(const uint8_t* frame, uint8_t* picture) const
{
    const size_t lumaBytes = m_header.LumaBytes();
    const size_t chromaBytes = m_header.ChromaBytes();
    const uint8_t* planeY = frame;
    const uint8_t* planeU = frame + lumaBytes;
    const uint8_t* planeV = planeU + chromaBytes;
    const uint8_t* planeA = planeV + chromaBytes;
    const size_t cw = static_cast<size_t>(m_header.ChromaWidth());
    const size_t w = static_cast<size_t>(m_width);

    for (int y = 0; y < m_height; ++y) {
        uint8_t* row = picture + m_stride * size_t(y);
        const size_t used = w * m_pixel;
        std::memset(row + used, 0, m_stride - used);
        const uint8_t* ys = planeY + w * size_t(y);
        if (!m_header.Is420()) {
            const uint8_t* us = planeU + w * size_t(y);
            const uint8_t* vs = planeV + w * size_t(y);
            const uint8_t* as = planeA + w * size_t(y);
            for (size_t x = 0; x < w; ++x) {
                uint8_t* p = row + x * m_pixel;
                p[0] = ys[x];
                p[1] = us[x];
                p[2] = vs[x];
                if (m_pixel == 4)
                    p[3] = as[x];
            }
            continue;
        }
        const UpTap& ty = m_upY[size_t(y)];
        const uint8_t* u0 = planeU + cw * size_t(ty.i0);
        const uint8_t* u1 = planeU + cw * size_t(ty.i1);
        const uint8_t* v0 = planeV + cw * size_t(ty.i0);
        const uint8_t* v1 = planeV + cw * size_t(ty.i1);
        for (size_t x = 0; x < w; ++x) {
            const UpTap& tx = m_upX[x];
            const int u = ty.w0 * (tx.w0 * u0[tx.i0] + tx.w1 * u0[tx.i1]) +
                          ty.w1 * (tx.w0 * u1[tx.i0] + tx.w1 * u1[tx.i1]);
            const int v = ty.w0 * (tx.w0 * v0[tx.i0] + tx.w1 * v0[tx.i1]) +
                          ty.w1 * (tx.w0 * v1[tx.i0] + tx.w1 * v1[tx.i1]);
            uint8_t* p = row + x * m_pixel;
            p[0] = ys[x];
            p[1] = static_cast<uint8_t>((u + 8) >> 4);
            p[2] = static_cast<uint8_t>((v + 8) >> 4);
        }
    }
}

void FrameConverter::FromPicture(const uint8_t* before, const uint8_t* after, uint8_t* frame,
                                 int chromaLo, int chromaHi) const
{
    const size_t lumaBytes = m_header.LumaBytes();
    const size_t chromaBytes = m_header.ChromaBytes();
    uint8_t* planeY = frame;
    uint8_t* planeU = frame + lumaBytes;
    uint8_t* planeV = planeU + chromaBytes;
    const size_t w = static_cast<size_t>(m_width);

    for (int y = 0; y < m_height; ++y) {
        const uint8_t* row = after + m_stride * size_t(y);
        uint8_t* ys = planeY + w * size_t(y);
        if (!m_header.Is420()) {
            uint8_t* us = planeU + w * size_t(y);
            uint8_t* vs = planeV + w * size_t(y);
            for (size_t x = 0; x < w; ++x) {
                const uint8_t* p = row + x * m_pixel;
                ys[x] = p[0];
                us[x] = p[1];
                vs[x] = p[2];
            }
        } else {
            for (size_t x = 0; x < w; ++x)
                ys[x] = row[x * m_pixel];
        }
    }
    if (!m_header.Is420())
        return;

    const size_t cw = static_cast<size_t>(m_header.ChromaWidth());
    const int round = 1 << (m_downShift - 1);
    for (size_t j = 0; j < m_downY.size(); ++j) {
        for (size_t i = 0; i < cw; ++i) {
            int du = 0, dv = 0;
            for (const DownTap& ty : m_downY[j]) {
                const size_t offset = m_stride * size_t(ty.pos);
                const uint8_t* b = before + offset;
                const uint8_t* a = after + offset;
                int ru = 0, rv = 0;
                for (const DownTap& tx : m_downX[i]) {
                    const size_t px = size_t(tx.pos) * m_pixel;
                    ru += tx.weight * (int(a[px + 1]) - int(b[px + 1]));
                    rv += tx.weight * (int(a[px + 2]) - int(b[px + 2]));
                }
                du += ty.weight * ru;
                dv += ty.weight * rv;
            }
            uint8_t& u = planeU[cw * j + i];
            uint8_t& v = planeV[cw * j + i];
            // Arithmetic shifts: the change is rounded half up.
            u = static_cast<uint8_t>(std::clamp(int(u) + ((du + round) >> m_downShift), chromaLo, chromaHi));
            v = static_cast<uint8_t>(std::clamp(int(v) + ((dv + round) >> m_downShift), chromaLo, chromaHi));
        }
    }
}

} // namespace colorcorrect::formats
