#include "picture_scale.h"

#include <algorithm>
#include <vector>

namespace colorcorrect {

namespace {

// Which source pixels cover each destination pixel, and by how much. Source
// pixel i spans [i * dstLen, (i + 1) * dstLen) and destination pixel d spans
// [d * srcLen, (d + 1) * srcLen) on a common integer axis, so every overlap is
// an exact integer and the weights of one destination pixel add up to srcLen.
struct Footprints {
    std::vector<uint32_t> first;  // first source pixel of destination pixel d
    std::vector<uint32_t> offset; // weights of d are weight[offset[d] .. offset[d + 1])
    std::vector<uint32_t> weight;

    Footprints(uint32_t srcLen, uint32_t dstLen)
    {
        first.resize(dstLen);
        offset.resize(size_t{dstLen} + 1);
        weight.reserve(size_t{srcLen} + dstLen);
        for (uint32_t d = 0; d < dstLen; ++d) {
            const uint64_t lo = uint64_t{d} * srcLen;
            const uint64_t hi = lo + srcLen;
            const uint32_t i0 = static_cast<uint32_t>(lo / dstLen);
            first[d] = i0;
            offset[d] = static_cast<uint32_t>(weight.size());
            for (uint64_t i = i0; i * dstLen < hi; ++i) {
                const uint64_t a = std::max(i * dstLen, lo);
                const uint64_t b = std::min((i + 1) * dstLen, hi);
                weight.push_back(static_cast<uint32_t>(b - a));
            }
        }
        offset[dstLen] = static_cast<uint32_t>(weight.size());
    }
};

void CopyPixels(const BYTE* src, const PixelLayout& sl, BYTE* dst, const PixelLayout& dl)
{
    const unsigned sp = sl.bitCount == 32 ? 4 : 3;
    const unsigned dp = dl.bitCount == 32 ? 4 : 3;
    for (int y = 0; y < dl.height; ++y) {
        const BYTE* s = src + y * sl.stride;
        BYTE* d = dst + y * dl.stride;
        if (sp == dp) {
            std::copy(s, s + size_t{sp} * static_cast<unsigned>(dl.width), d);
            continue;
        }
        for (int x = 0; x < dl.width; ++x, s += sp, d += dp) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            if (dp == 4)
                d[3] = 255;
        }
    }
}

} // namespace

uint64_t ScaleCost(const PixelLayout& sl, const PixelLayout& dl, ScaleOrder order)
{
    const uint64_t sw = static_cast<uint64_t>(sl.width), sh = static_cast<uint64_t>(sl.height);
    const uint64_t dw = static_cast<uint64_t>(dl.width), dh = static_cast<uint64_t>(dl.height);
    // Footprints of one axis hold srcLen + dstLen weights at most; the rows
    // summed into all destination rows number at most sh + dh.
    if (order == ScaleOrder::kRowsFirst)
        return sh * (sw + dw) + (sh + dh) * dw;
    return (sh + dh) * sw + dh * (sw + dw);
}

ScaleOrder CheaperScaleOrder(const PixelLayout& sl, const PixelLayout& dl)
{
    return ScaleCost(sl, dl, ScaleOrder::kColumnsFirst) < ScaleCost(sl, dl, ScaleOrder::kRowsFirst)
               ? ScaleOrder::kColumnsFirst
               : ScaleOrder::kRowsFirst;
}

void ScalePixels(const BYTE* src, const PixelLayout& sl, BYTE* dst, const PixelLayout& dl)
{
    ScalePixels(src, sl, dst, dl, CheaperScaleOrder(sl, dl));
}

void ScalePixels(const BYTE* src, const PixelLayout& sl, BYTE* dst, const PixelLayout& dl,
                 ScaleOrder order)
{
    if (sl.width == dl.width && sl.height == dl.height) {
        CopyPixels(src, sl, dst, dl);
        return;
    }
    const unsigned sp = sl.bitCount == 32 ? 4 : 3;
    const unsigned dp = dl.bitCount == 32 ? 4 : 3;
    const unsigned channels = sp == 4 && dp == 4 ? 4 : 3;
    const uint32_t sw = static_cast<uint32_t>(sl.width), sh = static_cast<uint32_t>(sl.height);
    const uint32_t dw = static_cast<uint32_t>(dl.width), dh = static_cast<uint32_t>(dl.height);
    const Footprints columns(sw, dw);
    const Footprints rows(sh, dh);
    const uint64_t total = uint64_t{sw} * sh;

    // One destination row's weighted sums, and the rounded bytes from them.
    std::vector<uint64_t> sum(size_t{dw} * channels);
    auto writeRow = [&](uint32_t dy) {
        BYTE* d = dst + dy * dl.stride;
        for (uint32_t dx = 0; dx < dw; ++dx, d += dp) {
            for (unsigned c = 0; c < channels; ++c)
                d[c] = static_cast<BYTE>((sum[size_t{dx} * channels + c] + total / 2) / total);
            if (dp == 4 && channels == 3)
                d[3] = 255;
        }
    };
    // Filters a row of `pitch`-byte pixels of the source width (bytes or
    // sums) to the destination width: into[dx] = sum of weight * value.
    auto filterRow = [&](auto line, unsigned pitch, std::vector<uint64_t>& into) {
        for (uint32_t dx = 0; dx < dw; ++dx) {
            uint64_t acc[4] = {0, 0, 0, 0};
            auto s = line + size_t{columns.first[dx]} * pitch;
            for (uint32_t j = columns.offset[dx]; j < columns.offset[dx + 1]; ++j, s += pitch)
                for (unsigned c = 0; c < channels; ++c)
                    acc[c] += uint64_t{columns.weight[j]} * s[c];
            for (unsigned c = 0; c < channels; ++c)
                into[size_t{dx} * channels + c] = acc[c];
        }
    };

    if (order == ScaleOrder::kColumnsFirst) {
        // Source rows summed at the source width, then filtered once per
        // destination row.
        std::vector<uint64_t> gathered(size_t{sw} * channels);
        for (uint32_t dy = 0; dy < dh; ++dy) {
            std::fill(gathered.begin(), gathered.end(), 0);
            for (uint32_t k = rows.offset[dy]; k < rows.offset[dy + 1]; ++k) {
                const uint32_t sy = rows.first[dy] + (k - rows.offset[dy]);
                const uint64_t wy = rows.weight[k];
                const BYTE* s = src + sy * sl.stride;
                uint64_t* g = gathered.data();
                for (uint32_t sx = 0; sx < sw; ++sx, s += sp, g += channels)
                    for (unsigned c = 0; c < channels; ++c)
                        g[c] += wy * s[c];
            }
            filterRow(gathered.data(), channels, sum);
            writeRow(dy);
        }
        return;
    }

    // Rows first: one source row filtered horizontally, kept while
    // consecutive destination rows share it, weighted into the sums.
    std::vector<uint64_t> filtered(size_t{dw} * channels);
    int64_t filteredRow = -1;
    for (uint32_t dy = 0; dy < dh; ++dy) {
        std::fill(sum.begin(), sum.end(), 0);
        for (uint32_t k = rows.offset[dy]; k < rows.offset[dy + 1]; ++k) {
            const uint32_t sy = rows.first[dy] + (k - rows.offset[dy]);
            if (filteredRow != sy) {
                filterRow(src + sy * sl.stride, sp, filtered);
                filteredRow = sy;
            }
            const uint64_t wy = rows.weight[k];
            for (size_t i = 0; i < sum.size(); ++i)
                sum[i] += wy * filtered[i];
        }
        writeRow(dy);
    }
}

} // namespace colorcorrect
