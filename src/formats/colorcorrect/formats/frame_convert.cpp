#include "frame_convert.h"

#include <algorithm>
#include <cstring>

#include "vector_dispatch.h"

namespace colorcorrect::formats {

namespace {

constexpr int kBand = 16; // rows CorrectFrame corrects at a time

// 4:4:4 rows between planes and packed pixels. Restrict pointers and a
// constant pixel size let the compiler keep everything in registers (byte
// stores could alias anything) and vectorise the interleaving.
template <size_t Pixel>
COLORCORRECT_ROW_BODY void PackRow(const uint8_t* __restrict y, const uint8_t* __restrict u,
                                   const uint8_t* __restrict v, const uint8_t* __restrict a, uint8_t* __restrict out,
                                   size_t w)
{
    for (size_t x = 0; x < w; ++x) {
        out[Pixel * x] = y[x];
        out[Pixel * x + 1] = u[x];
        out[Pixel * x + 2] = v[x];
        if constexpr (Pixel == 4)
            out[Pixel * x + 3] = a[x];
    }
}

template <size_t Pixel>
COLORCORRECT_ROW_BODY void UnpackRow(const uint8_t* __restrict in, uint8_t* __restrict y, uint8_t* __restrict u,
                                     uint8_t* __restrict v, size_t w)
{
    for (size_t x = 0; x < w; ++x) {
        y[x] = in[Pixel * x];
        u[x] = in[Pixel * x + 1];
        v[x] = in[Pixel * x + 2];
    }
}

// The two above for pixels of `pixel` bytes (3, or 4 with alpha).
void PackPixels(size_t pixel, const uint8_t* y, const uint8_t* u, const uint8_t* v, const uint8_t* a, uint8_t* out,
                size_t w)
{
    if (pixel == 4)
        RunRow<PackRow<4>>(y, u, v, a, out, w);
    else
        RunRow<PackRow<3>>(y, u, v, a, out, w);
}

void UnpackPixels(size_t pixel, const uint8_t* in, uint8_t* y, uint8_t* u, uint8_t* v, size_t w)
{
    if (pixel == 4)
        RunRow<UnpackRow<4>>(in, y, u, v, w);
    else
        RunRow<UnpackRow<3>>(in, y, u, v, w);
}

// The horizontal half of the 4:2:0 interpolation, for one of Cb and Cr:
// pixels 2i and 2i + 1 from the vertical sums (4 x the sample) around chroma
// sample i. Pixel 2i lies at or right of sample i and pixel 2i + 1 left of
// sample i + 1; at the edges the outermost sample repeats. The edges are done
// apart so that the loop over the inside has no branches.
template <bool Centred>
COLORCORRECT_ROW_BODY void UpPlane(const uint16_t* __restrict vs, uint8_t* __restrict out, size_t cw, size_t w)
{
    auto pair = [&](size_t i, size_t left, size_t right) {
        const int m = vs[i];
        out[2 * i] = static_cast<uint8_t>(((Centred ? 3 * m + vs[left] : 4 * m) + 8) >> 4);
        if (2 * i + 1 < w)
            out[2 * i + 1] = static_cast<uint8_t>(((Centred ? 3 * m + vs[right] : 2 * (m + vs[right])) + 8) >> 4);
    };
    pair(0, 0, cw > 1 ? 1 : 0);
    for (size_t i = 1; i + 1 < cw; ++i) {
        const int m = vs[i];
        out[2 * i] = static_cast<uint8_t>(((Centred ? 3 * m + vs[i - 1] : 4 * m) + 8) >> 4);
        out[2 * i + 1] = static_cast<uint8_t>(((Centred ? 3 * m + vs[i + 1] : 2 * (m + vs[i + 1])) + 8) >> 4);
    }
    if (cw > 1)
        pair(cw - 1, cw - 2, cw - 1);
}

// The horizontal half of the 4:2:0 average for chroma samples first..last - 1
// of one of Cb and Cr, whose pixels 2i - 1 .. 2i + 2 (co-sited: .. 2i + 1)
// all lie inside the row: the weighted sums of the corrected chroma.
template <bool Centred>
COLORCORRECT_ROW_BODY void SumPlane(const uint8_t* __restrict c, uint16_t* __restrict sum, size_t first, size_t last)
{
    for (size_t i = first; i < last; ++i) {
        const uint8_t* p = c + 2 * i - 1;
        sum[i] = uint16_t(Centred ? p[0] + 3 * (p[1] + p[2]) + p[3] : p[0] + 2 * p[1] + p[2]);
    }
}

// ... and whether the correction changed the chroma of any of those pixels.
template <bool Centred>
COLORCORRECT_ROW_BODY void AnyPlane(const uint8_t* __restrict c, uint8_t* __restrict any, size_t first, size_t last)
{
    for (size_t i = first; i < last; ++i) {
        const uint8_t* p = c + 2 * i - 1;
        any[i] = uint8_t((p[0] | p[1] | p[2] | (Centred ? p[3] : 0)) != 0);
    }
}

// Whether the correction changed a pixel's chroma: not 0 when it did.
COLORCORRECT_ROW_BODY void ChangedPixels(const uint8_t* __restrict u0, const uint8_t* __restrict v0,
                                         const uint8_t* __restrict u1, const uint8_t* __restrict v1,
                                         uint8_t* __restrict changed, size_t w)
{
    for (size_t x = 0; x < w; ++x)
        changed[x] = uint8_t((u0[x] ^ u1[x]) | (v0[x] ^ v1[x]));
}

// The vertical half of the 4:2:0 interpolation: two chroma rows weighted.
COLORCORRECT_ROW_BODY void UpColumns(const uint8_t* __restrict u0, const uint8_t* __restrict u1,
                                     const uint8_t* __restrict v0, const uint8_t* __restrict v1, int w0, int w1,
                                     uint16_t* __restrict vu, uint16_t* __restrict vv, size_t cw)
{
    for (size_t i = 0; i < cw; ++i) {
        vu[i] = uint16_t(w0 * u0[i] + w1 * u1[i]);
        vv[i] = uint16_t(w0 * v0[i] + w1 * v1[i]);
    }
}

// The vertical half of the 4:2:0 average, for one chroma row: four rows of
// horizontal sums weighted (a fourth of weight 0 where there are three), or
// the stream's own samples where none of the pixels changed, limited.
COLORCORRECT_ROW_BODY void DownColumns(const uint16_t* const* su, const uint16_t* const* sv, const uint8_t* const* ch,
                                       const int* weights, int shift, uint8_t* __restrict us, uint8_t* __restrict vs,
                                       int lo, int hi, size_t cw)
{
    const uint16_t *__restrict su0 = su[0], *__restrict su1 = su[1], *__restrict su2 = su[2], *__restrict su3 = su[3];
    const uint16_t *__restrict sv0 = sv[0], *__restrict sv1 = sv[1], *__restrict sv2 = sv[2], *__restrict sv3 = sv[3];
    const uint8_t *__restrict c0 = ch[0], *__restrict c1 = ch[1], *__restrict c2 = ch[2], *__restrict c3 = ch[3];
    // The weights add up to at most 8 and the horizontal sums to at most
    // 8 x 255, so every sum fits 16 bits: the loop runs on 16-bit lanes.
    const uint16_t w0 = uint16_t(weights[0]), w1 = uint16_t(weights[1]), w2 = uint16_t(weights[2]),
                   w3 = uint16_t(weights[3]), round = uint16_t(1 << (shift - 1));
    for (size_t i = 0; i < cw; ++i) {
        // Cb and Cr are kept or replaced together: a hue turn can leave one
        // of them as it was and still move the colour.
        const bool changed = (c0[i] | c1[i] | c2[i] | c3[i]) != 0;
        const int u = uint16_t(w0 * su0[i] + w1 * su1[i] + w2 * su2[i] + w3 * su3[i] + round) >> shift;
        const int v = uint16_t(w0 * sv0[i] + w1 * sv1[i] + w2 * sv2[i] + w3 * sv3[i] + round) >> shift;
        us[i] = static_cast<uint8_t>(std::clamp(changed ? u : int(us[i]), lo, hi));
        vs[i] = static_cast<uint8_t>(std::clamp(changed ? v : int(vs[i]), lo, hi));
    }
}

} // namespace

FrameConverter::FrameConverter(const Y4mHeader& header, bool asProgressive, YuvMatrix matrix, YuvRange range)
    : m_header(header), m_conversion(matrix, range), m_width(header.width), m_height(header.height)
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
        m_downX = DownTaps(m_width, cw, centredX);
        if (header.Interlaced() && !asProgressive && ch >= 2) {
            FieldTaps(centredY);
        } else {
            m_upY = UpTaps(m_height, ch, centredY);
            m_downY = DownTaps(m_height, ch, centredY);
        }
        m_downShift = (centredX ? 3 : 2) + (centredY ? 3 : 2);

        std::vector<int> lastUse(size_t(ch), 0);
        for (int y = 0; y < m_height; ++y) {
            lastUse[size_t(m_upY[size_t(y)].i0)] = y;
            lastUse[size_t(m_upY[size_t(y)].i1)] = y;
        }
        m_emitAfter.resize(size_t(ch));
        int reached = 0;
        for (int j = 0; j < ch; ++j) {
            int first = m_height, last = lastUse[size_t(j)];
            for (const DownTap& t : m_downY[size_t(j)]) {
                first = std::min(first, t.pos);
                last = std::max(last, t.pos);
            }
            m_emitAfter[size_t(j)] = last;
            reached = std::max(reached, last);
            m_ring = std::max(m_ring, reached - first + 1);
        }
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
    const size_t w = static_cast<size_t>(m_width);
    RowScratch rows;
    rows.Size(m_header);

    for (int y = 0; y < m_height; ++y) {
        uint8_t* row = picture + m_stride * size_t(y);
        const size_t used = w * m_pixel;
        std::memset(row + used, 0, m_stride - used);
        const size_t at = w * size_t(y);
        if (m_header.Is420())
            UpRow(planeY, planeU, planeV, y, rows, row);
        else
            PackPixels(m_pixel, planeY + at, planeU + at, planeV + at, m_pixel == 4 ? planeA + at : nullptr, row, w);
    }
}

void FrameConverter::FromPicture(const uint8_t* before, const uint8_t* after, const uint8_t* corrected,
                                 uint8_t* frame, int chromaLo, int chromaHi) const
{
    const size_t lumaBytes = m_header.LumaBytes();
    const size_t chromaBytes = m_header.ChromaBytes();
    uint8_t* planeY = frame;
    uint8_t* planeU = frame + lumaBytes;
    uint8_t* planeV = planeU + chromaBytes;
    const size_t w = static_cast<size_t>(m_width);

    if (!m_header.Is420()) {
        for (int y = 0; y < m_height; ++y) {
            const size_t at = w * size_t(y);
            UnpackPixels(m_pixel, corrected + m_stride * size_t(y), planeY + at, planeU + at, planeV + at, w);
        }
        return;
    }
    // The same filter as CorrectFrame's, over the whole picture at once.
    const size_t cw = size_t(m_header.ChromaWidth());
    Scratch rows;
    rows.Size(m_header);
    rows.sumU.resize(cw * size_t(m_height));
    rows.sumV.resize(rows.sumU.size());
    rows.changed.resize(rows.sumU.size());
    for (int y = 0; y < m_height; ++y) {
        const size_t at = m_stride * size_t(y), ring = cw * size_t(y);
        RunRow<UnpackRow<3>>(corrected + at, planeY + w * size_t(y), rows.rowU.data(), rows.rowV.data(), w);
        for (size_t x = 0; x < w; ++x) {
            const uint8_t* b = before + at + 3 * x;
            const uint8_t* a = after + at + 3 * x;
            rows.rowChanged[x] = uint8_t((b[1] ^ a[1]) | (b[2] ^ a[2]));
        }
        SumRow(rows.rowU.data(), rows.rowV.data(), rows.rowChanged.data(), &rows.sumU[ring], &rows.sumV[ring],
               &rows.changed[ring]);
    }
    for (size_t j = 0; j < m_downY.size(); ++j)
        DownRow(int(j), rows, m_height, planeU, planeV, chromaLo, chromaHi);
}

void FrameConverter::UpChroma(const uint8_t* planeU, const uint8_t* planeV, int y, RowScratch& r, uint8_t* u,
                              uint8_t* v) const
{
    // Vertically first, into a chroma row of 4 x the sample (upU, upV), then
    // horizontally into full-width rows: the same sums as the 2-D weights,
    // each vertical sum made once for the two pixels that share it.
    const size_t cw = size_t(m_header.ChromaWidth()), w = size_t(m_width);
    const UpTap& ty = m_upY[size_t(y)];
    RunRow<UpColumns>(planeU + cw * size_t(ty.i0), planeU + cw * size_t(ty.i1), planeV + cw * size_t(ty.i0),
                      planeV + cw * size_t(ty.i1), ty.w0, ty.w1, r.upU.data(), r.upV.data(), cw);
    const bool centred = m_header.chroma == Y4mChroma::C420Jpeg;
    for (auto [from, to] : {std::pair{r.upU.data(), u}, {r.upV.data(), v}}) {
        if (centred)
            RunRow<UpPlane<true>>(from, to, cw, w);
        else
            RunRow<UpPlane<false>>(from, to, cw, w);
    }
}

void FrameConverter::UpRow(const uint8_t* planeY, const uint8_t* planeU, const uint8_t* planeV, int y,
                           RowScratch& r, uint8_t* row) const
{
    const size_t w = size_t(m_width);
    UpChroma(planeU, planeV, y, r, r.rowU.data(), r.rowV.data());
    RunRow<PackRow<3>>(planeY + w * size_t(y), r.rowU.data(), r.rowV.data(), nullptr, row, w);
}

void FrameConverter::SumRow(const uint8_t* u, const uint8_t* v, const uint8_t* changedPixels, uint16_t* sumU,
                            uint16_t* sumV, uint8_t* changed) const
{
    // Samples whose pixels all lie inside the row are summed by the loops;
    // the edges take the clamped table.
    const bool centred = m_header.chroma == Y4mChroma::C420Jpeg;
    const int cw = m_header.ChromaWidth();
    const int inside = std::max(1, std::min(cw, (m_width - (centred ? 3 : 2)) / 2 + 1));
    auto edge = [&](int i) {
        int su = 0, sv = 0, ch = 0;
        for (const DownTap& tx : m_downX[size_t(i)]) {
            su += tx.weight * u[size_t(tx.pos)];
            sv += tx.weight * v[size_t(tx.pos)];
            ch |= changedPixels[size_t(tx.pos)];
        }
        sumU[i] = uint16_t(su);
        sumV[i] = uint16_t(sv);
        changed[i] = uint8_t(ch != 0);
    };
    edge(0);
    const size_t first = 1, last = size_t(inside);
    if (centred) {
        RunRow<SumPlane<true>>(u, sumU, first, last);
        RunRow<SumPlane<true>>(v, sumV, first, last);
        RunRow<AnyPlane<true>>(changedPixels, changed, first, last);
    } else {
        RunRow<SumPlane<false>>(u, sumU, first, last);
        RunRow<SumPlane<false>>(v, sumV, first, last);
        RunRow<AnyPlane<false>>(changedPixels, changed, first, last);
    }
    for (int i = inside; i < cw; ++i)
        edge(i);
}

void FrameConverter::DownRow(int j, const Scratch& s, int ring, uint8_t* planeU, uint8_t* planeV, int chromaLo,
                             int chromaHi) const
{
    const size_t cw = size_t(m_header.ChromaWidth());
    const std::vector<DownTap>& taps = m_downY[size_t(j)];
    const uint16_t* su[4];
    const uint16_t* sv[4];
    const uint8_t* ch[4];
    int weights[4];
    for (size_t t = 0; t < taps.size(); ++t) {
        const size_t at = cw * size_t(taps[t].pos % ring);
        su[t] = &s.sumU[at];
        sv[t] = &s.sumV[at];
        ch[t] = &s.changed[at];
        weights[t] = taps[t].weight;
    }
    for (size_t t = taps.size(); t < 4; ++t) {
        // A fourth row of weight 0 keeps the loop below one shape.
        su[t] = su[0];
        sv[t] = sv[0];
        ch[t] = ch[0];
        weights[t] = 0;
    }
    RunRow<DownColumns>(su, sv, ch, weights, m_downShift, planeU + cw * size_t(j), planeV + cw * size_t(j), chromaLo,
                        chromaHi, cw);
}

bool FrameConverter::CorrectFrameWhole(uint8_t* frame, const PictureProcessor& process, int chromaLo,
                                       int chromaHi) const
{
    const size_t bytes = PictureBytes(), w = size_t(m_width);
    std::vector<uint8_t> stream(bytes), out(bytes);
    ToPicture(frame, stream.data());
    std::vector<uint8_t> library = stream, back = out;
    const bool convert = !m_conversion.Identity();
    for (int y = 0; convert && y < m_height; ++y)
        m_conversion.ToLibrary(&stream[m_stride * size_t(y)], &library[m_stride * size_t(y)], w, m_pixel);
    tagYUVBMINFOHEADER header = m_info;
    if (!process(header, library.data(), out.data()))
        return false;
    for (int y = 0; convert && y < m_height; ++y) {
        const size_t at = m_stride * size_t(y);
        m_conversion.FromLibrary(&stream[at], &library[at], &out[at], &back[at], w, m_pixel);
    }
    m_conversion.ChromaLimits(chromaLo, chromaHi);
    FromPicture(library.data(), out.data(), convert ? back.data() : out.data(), frame, chromaLo, chromaHi);
    return true;
}


void FrameConverter::RowScratch::Size(const Y4mHeader& header)
{
    const size_t cw = size_t(header.ChromaWidth()), w = size_t(header.width);
    upU.resize(cw);
    upV.resize(cw);
    rowU.resize(w);
    rowV.resize(w);
    rowChanged.resize(w);
}

size_t FrameConverter::ScratchBytes(const Y4mHeader& header)
{
    // Two bands of packed rows, five of planar rows, one row taken apart,
    // per chroma sample of a ring of at most eight rows (the widest vertical
    // reach of the filters) two sums and a flag, and two more sums, and
    // three full-width rows.
    const size_t rowBytes = RowStride(header.width, header.HasAlpha() ? 32 : 24), w = size_t(header.width);
    return 2 * kBand * rowBytes + 5 * kBand * w + 3 * w + size_t(header.ChromaWidth()) * (8 * 5 + 4) + 3 * w;
}

bool FrameConverter::CorrectFrame(uint8_t* frame, const PictureProcessor& process, Scratch& s, int chromaLo,
                                  int chromaHi) const
{
    // Rows lie m_stride apart, as the engine reads them. Everything else
    // stays planar: the conversion into the library's YUV and back, the
    // 4:2:0 chroma at full width. Packing for the correction and taking its
    // output apart are the only passes over 3-byte pixels.
    const size_t w = size_t(m_width), rowBytes = m_stride, band = w * kBand;
    const bool is420 = m_header.Is420(), convert = !m_conversion.Identity();
    const size_t cw = size_t(m_header.ChromaWidth());
    s.packed.resize(rowBytes * kBand);
    s.out.resize(s.packed.size());
    s.planes.resize(band * ((convert ? 3 : 0) + (is420 ? 2 : 0)));
    if (convert)
        s.back.resize(3 * w);
    if (is420) {
        s.sumU.resize(cw * size_t(m_ring));
        s.sumV.resize(s.sumU.size());
        s.changed.resize(s.sumU.size());
        s.Size(m_header);
    }
    m_conversion.ChromaLimits(chromaLo, chromaHi);

    uint8_t* planeY = frame;
    uint8_t* planeU = frame + m_header.LumaBytes();
    uint8_t* planeV = planeU + m_header.ChromaBytes();
    const uint8_t* planeA = planeV + m_header.ChromaBytes();
    // Band rows: the library's Y, U, V, and the stream's U, V at full width.
    uint8_t* const libY = s.planes.data();
    uint8_t* const libU = libY + band;
    uint8_t* const libV = libU + band;
    uint8_t* const fullU = s.planes.data() + (convert ? 3 * band : 0);
    uint8_t* const fullV = fullU + band;
    int nextChroma = 0;
    for (int y0 = 0; y0 < m_height; y0 += kBand) {
        const int rows = std::min(kBand, m_height - y0);
        for (int r = 0; r < rows; ++r) {
            const size_t at = w * size_t(y0 + r), in = w * size_t(r);
            const uint8_t* y = planeY + at;
            const uint8_t* u = planeU + at;
            const uint8_t* v = planeV + at;
            if (is420) {
                UpChroma(planeU, planeV, y0 + r, s, fullU + in, fullV + in);
                u = fullU + in;
                v = fullV + in;
            }
            if (convert) {
                m_conversion.ToLibraryPlanes(y, u, v, libY + in, libU + in, libV + in, w);
                y = libY + in;
                u = libU + in;
                v = libV + in;
            }
            PackPixels(m_pixel, y, u, v, m_pixel == 4 ? planeA + at : nullptr, &s.packed[rowBytes * size_t(r)], w);
        }
        tagYUVBMINFOHEADER header = m_info;
        header.biHeight = rows;
        header.biSizeImage = static_cast<uint32_t>(rowBytes * size_t(rows));
        if (!process(header, s.packed.data(), s.out.data()))
            return false;

        for (int r = 0; r < rows; ++r) {
            const int row = y0 + r;
            const size_t at = w * size_t(row), in = w * size_t(r);
            // The stream's samples of the row, corrected in place below.
            uint8_t* y = planeY + at;
            uint8_t* u = is420 ? fullU + in : planeU + at;
            uint8_t* v = is420 ? fullV + in : planeV + at;
            // The correction's output taken apart: straight over the
            // stream's samples when nothing is converted and no change flags
            // are needed (4:4:4); 4:2:0 chroma into rows of its own.
            uint8_t* outY = convert ? s.back.data() : y;
            uint8_t* outU = convert ? outY + w : (is420 ? s.rowU.data() : u);
            uint8_t* outV = convert ? outU + w : (is420 ? s.rowV.data() : v);
            UnpackPixels(m_pixel, &s.out[rowBytes * size_t(r)], outY, outU, outV, w);
            if (convert)
                m_conversion.FromLibraryPlanes(libY + in, libU + in, libV + in, outY, outU, outV, y, u, v, w);
            if (!is420)
                continue;
            // The flags compare the correction's own input and output.
            RunRow<ChangedPixels>(convert ? libU + in : u, convert ? libV + in : v, outU, outV, s.rowChanged.data(),
                                  w);
            const size_t ring = cw * size_t(row % m_ring);
            SumRow(convert ? u : outU, convert ? v : outV, s.rowChanged.data(), &s.sumU[ring], &s.sumV[ring],
                   &s.changed[ring]);
            while (nextChroma < int(m_emitAfter.size()) && m_emitAfter[size_t(nextChroma)] <= row)
                DownRow(nextChroma++, s, m_ring, planeU, planeV, chromaLo, chromaHi);
        }
    }
    return true;
}

} // namespace colorcorrect::formats
