#include "scope_drawing.h"

namespace colorcorrect {

size_t ScopeBufferBytes(unsigned mode)
{
    switch (mode) {
    case kScopeVector:
        // The grid, then a 32-bit counter for each chroma pair.
        return kGridBytes + kPairCount * sizeof(uint32_t);
    case kScopeWaveform:
        // Two planes, then a 16-bit counter for each column and level.
        return 2 * kWaveformPlaneBytes + kWaveformColumns * kGridSide * sizeof(uint16_t);
    case kScopeHistogram:
        return 3 * 256 * sizeof(uint32_t);
    case kScopeLightning:
    case kScopeCube:
    case kScopeCombined:
        return 2 * kGridBytes;
    default:
        return 0;
    }
}

bool IsScopeCanvas(const CVoraDib& display)
{
    const tagDIBINFO* hd = display;
    if (hd == nullptr || hd->bmiHeader.biCompression != 0)
        return false;
    unsigned step = 0, line = 0;
    display.GetIncrements(step, line);
    return (step == 3 || step == 4) && display.GetWidth() == kScopeWidth &&
           display.GetHeight() == kScopeHeight;
}

ScopeCanvas MakeScopeCanvas(CVoraDib& display)
{
    ScopeCanvas canvas;
    canvas.pixels = display;
    if (canvas.pixels == nullptr)
        return canvas;
    display.GetIncrements(canvas.pixelStep, canvas.lineStep);
    canvas.width = display.GetWidth();
    canvas.height = display.GetHeight();
    return canvas;
}

void DrawCounts(const ScopeCanvas& canvas, const BYTE* ordinary, const BYTE* selected,
                const uint16_t* markers, const CountBlock& block, const uint16_t* ilut,
                CountBlend blend)
{
    for (int r = 0; r < block.rows; ++r) {
        const size_t cell = (block.gridRow + static_cast<size_t>(r)) * block.gridStride +
                            block.gridColumn;
        const BYTE* ord = ordinary + cell;
        const BYTE* sel = selected != nullptr ? selected + cell : nullptr;
        const uint16_t* mark = markers != nullptr ? markers + cell : nullptr;
        BYTE* p = canvas.At(block.x, block.line + r);
        for (int c = 0; c < block.columns; ++c, p += canvas.pixelStep) {
            unsigned value = ilut[ord[c]];
            if (sel != nullptr)
                value |= ilut[256 + sel[c]];
            if (mark != nullptr)
                value |= mark[c] & 0xFFu;
            if (blend == CountBlend::Store) {
                p[0] = static_cast<BYTE>(value);
                p[1] = static_cast<BYTE>(value >> 8);
            } else {
                p[0] |= static_cast<BYTE>(value);
                p[1] |= static_cast<BYTE>(value >> 8);
            }
        }
    }
}

void FoldLegalRange(uint32_t* counts)
{
    for (int i = 0; i < 16; ++i) {
        counts[16] += counts[i];
        counts[i] = 0;
    }
    for (int i = 236; i < 256; ++i) {
        counts[235] += counts[i];
        counts[i] = 0;
    }
}

void DrawHistogramCharts(const ScopeCanvas& canvas, const uint32_t* redCounts,
                         const uint32_t* greenCounts, const uint32_t* blueCounts, uint64_t step,
                         BYTE bar, int channelByte)
{
    const int x0 = (canvas.width - 256) / 2;
    const uint32_t* charts[3] = {blueCounts, greenCounts, redCounts};
    int line = (canvas.height - 288) / 2 + 3;
    for (const uint32_t* counts : charts) {
        for (int j = 0; j < kChartLines; ++j, ++line) {
            const uint64_t threshold = (static_cast<uint64_t>(j) * step) / kChartLines;
            BYTE* p = canvas.At(x0, line) + channelByte;
            for (int i = 0; i < 256; ++i, p += canvas.pixelStep)
                *p = counts[i] >= threshold ? bar : 0;
        }
        line += kChartGap;
    }
}

} // namespace colorcorrect
