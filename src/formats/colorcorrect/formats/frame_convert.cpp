#include "frame_convert.h"

#include <algorithm>
#include <cstring>

namespace colorcorrect::formats {

FrameConverter::FrameConverter(const Y4mHeader& header, bool asProgressive)
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
        m_downX = DownTaps(m_width, cw, centredX);
        if (header.Interlaced() && !asProgressive && ch >= 2) {
            FieldTaps(centredY);
        } else {
            m_upY = UpTaps(m_height, ch, centredY);
            m_downY = DownTaps(m_height, ch, centredY);
        }
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

void FrameConverter::FieldTaps(bool centred)
{
    const int ch = m_header.ChromaHeight();
    m_upY.resize(size_t(m_height));
    m_downY.resize(size_t(ch));
    for (int field = 0; field < 2; ++field) {
        const int rows = (m_height + 1 - field) / 2, chromaRows = (ch + 1 - field) / 2;
        const std::vector<UpTap> up = UpTaps(rows, chromaRows, centred);
        for (int k = 0; k < rows; ++k) {
            UpTap t = up[size_t(k)];
            t.i0 = 2 * t.i0 + field;
            t.i1 = 2 * t.i1 + field;
            m_upY[size_t(2 * k + field)] = t;
        }
        std::vector<std::vector<DownTap>> down = DownTaps(rows, chromaRows, centred);
        for (int k = 0; k < chromaRows; ++k) {
            for (DownTap& t : down[size_t(k)])
                t.pos = 2 * t.pos + field;
            m_downY[size_t(2 * k + field)] = std::move(down[size_t(k)]);
        }
    }
}

const char* FrameConverter::Refusal(const Y4mHeader& header, bool asProgressive)
{
    if (header.Is420() && header.interlace == Y4mInterlace::Mixed && !asProgressive)
        return "4:2:0 streams that mix progressive and interlaced frames (Im) are not supported";
    return nullptr;
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
    if (m_header.chroma == Y4mChroma::C420Jpeg)
        DownChroma<true>(before, after, planeU, planeV, chromaLo, chromaHi);
    else
        DownChroma<false>(before, after, planeU, planeV, chromaLo, chromaHi);
}

template <bool CentredX>
void FrameConverter::DownChroma(const uint8_t* before, const uint8_t* after, uint8_t* planeU, uint8_t* planeV,
                                int chromaLo, int chromaHi) const
{
    // 4:2:0 pictures have no alpha: 3 bytes a pixel. Samples whose pixels
    // all lie inside the row (from 2i - 1 on) take the taps written out;
    // the edges take the clamped table.
    const int cw = m_header.ChromaWidth();
    const int inside = std::max(0, (m_width - (CentredX ? 3 : 2)) / 2 + 1);
    const int round = 1 << (m_downShift - 1);
    for (size_t j = 0; j < m_downY.size(); ++j) {
        size_t rows[4];
        int weights[4];
        const size_t taps = m_downY[j].size();
        for (size_t t = 0; t < taps; ++t) {
            rows[t] = m_stride * size_t(m_downY[j][t].pos);
            weights[t] = m_downY[j][t].weight;
        }
        for (int i = 0; i < cw; ++i) {
            int su = 0, sv = 0, changed = 0;
            for (size_t t = 0; t < taps; ++t) {
                const uint8_t* a = after + rows[t];
                const uint8_t* b = before + rows[t];
                int ru = 0, rv = 0;
                if (i >= 1 && i < inside) {
                    a += size_t(6 * i - 3);
                    b += size_t(6 * i - 3);
                    if (CentredX) {
                        ru = a[1] + 3 * (a[4] + a[7]) + a[10];
                        rv = a[2] + 3 * (a[5] + a[8]) + a[11];
                        changed |= (a[10] ^ b[10]) | (a[11] ^ b[11]);
                    } else {
                        ru = a[1] + 2 * a[4] + a[7];
                        rv = a[2] + 2 * a[5] + a[8];
                    }
                    changed |= (a[1] ^ b[1]) | (a[2] ^ b[2]) | (a[4] ^ b[4]) | (a[5] ^ b[5]) | (a[7] ^ b[7]) |
                               (a[8] ^ b[8]);
                } else {
                    for (const DownTap& tx : m_downX[size_t(i)]) {
                        const size_t px = size_t(tx.pos) * 3;
                        ru += tx.weight * a[px + 1];
                        rv += tx.weight * a[px + 2];
                        changed |= (a[px + 1] ^ b[px + 1]) | (a[px + 2] ^ b[px + 2]);
                    }
                }
                su += weights[t] * ru;
                sv += weights[t] * rv;
            }
            uint8_t& u = planeU[size_t(cw) * j + size_t(i)];
            uint8_t& v = planeV[size_t(cw) * j + size_t(i)];
            // Cb and Cr are kept or replaced together: a hue turn can leave
            // one of them as it was and still move the colour.
            const int newU = changed ? (su + round) >> m_downShift : u;
            const int newV = changed ? (sv + round) >> m_downShift : v;
            u = static_cast<uint8_t>(std::clamp(newU, chromaLo, chromaHi));
            v = static_cast<uint8_t>(std::clamp(newV, chromaLo, chromaHi));
        }
    }
}

} // namespace colorcorrect::formats
