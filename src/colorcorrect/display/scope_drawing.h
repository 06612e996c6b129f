#pragma once
// Drawing of the scope displays' accumulated counts onto a display picture,
// and the geometry the scopes share. Library-internal.
//
// Positions are a pixel column x and a line in memory order (line 0 is the
// first row in memory, the bottom row on screen), as the display filter
// accumulates its grids row by row.

#include <cstddef>
#include <cstdint>

#include "../host/vora_dib.h"
#include "../host/win_types.h"

namespace colorcorrect {

// The only display size the scopes draw on.
inline constexpr int kScopeWidth = 384;
inline constexpr int kScopeHeight = 288;

// Scope modes of the display filter.
inline constexpr unsigned kScopeNone = 0;
inline constexpr unsigned kScopeVector = 1;
inline constexpr unsigned kScopeWaveform = 2;
inline constexpr unsigned kScopeHistogram = 4;
inline constexpr unsigned kScopeLightning = 5;
inline constexpr unsigned kScopeCube = 6;
inline constexpr unsigned kScopeCombined = 7;

// Counter grids: 256 x 256 byte counters, row-major. The waveform's grid is
// 512 counters wide (columns 360..511 stay zero).
inline constexpr size_t kGridSide = 256;
inline constexpr size_t kGridBytes = kGridSide * kGridSide;
// Chroma pairs (U and V bytes): the vector scope's second set of counters.
inline constexpr size_t kPairCount = 65536;
inline constexpr size_t kWaveformStride = 512;
inline constexpr size_t kWaveformColumns = 360;
inline constexpr size_t kWaveformPlaneBytes = kGridSide * kWaveformStride;
// The combined display's waveform panel is 128 columns wide.
inline constexpr size_t kCombinedColumns = 128;

// Histogram charts: 90 lines high, 6 lines apart; bars of the reference
// picture have this value (in blue).
inline constexpr int kChartLines = 90;
inline constexpr int kChartGap = 6;
inline constexpr BYTE kReferenceBar = 208;

// Bytes of the accumulation buffer of a scope mode; 0 for modes without one.
size_t ScopeBufferBytes(unsigned mode);

// Whether a display picture can carry a scope: a 24- or 32-bit RGB picture of
// kScopeWidth x kScopeHeight pixels.
bool IsScopeCanvas(const CVoraDib& display);

// The pixels of a display picture as they are when the view is made. Valid
// while the picture is neither changed in size nor freed.
struct ScopeCanvas {
    BYTE* pixels = nullptr;
    unsigned pixelStep = 0;
    unsigned lineStep = 0;
    int width = 0;
    int height = 0;

    // The pixel at column x of memory line `line` (both inside the picture).
    BYTE* At(int x, int line) const
    {
        return pixels + static_cast<size_t>(line) * lineStep + static_cast<size_t>(x) * pixelStep;
    }
};

// A view of an RGB display picture; pixels null when it is empty.
ScopeCanvas MakeScopeCanvas(CVoraDib& display);

// How a block of counters is written into the canvas.
enum class CountBlend {
    Store, // the value replaces the blue and green bytes
    Or,    // the value is OR-ed into the blue and green bytes (keeps a drawing)
};

// A rectangular block of a counter grid and where it lands on the canvas.
struct CountBlock {
    size_t gridStride = kGridSide; // counters per grid row
    size_t gridRow = 0;            // first grid row of the block
    size_t gridColumn = 0;         // first grid column of the block
    int rows = 0;                  // block height in grid rows (= canvas lines)
    int columns = 0;               // block width in grid columns (= canvas pixels)
    int line = 0;                  // canvas line of the block's first grid row
    int x = 0;                     // canvas column of the block's first grid column
};

// Draws a block of counts: each pixel receives the 16-bit value
// ilut[256 + selected] | ilut[ordinary] over its blue (low byte) and green
// (high byte) bytes; red is left alone. `selected` may be null (a one-plane
// grid: the value is ilut[ordinary] alone). `markers`, when not null, is a
// 16-bit table laid out like the grid whose low byte is OR-ed into blue.
// The block must lie inside both the grid and the canvas.
void DrawCounts(const ScopeCanvas& canvas, const BYTE* ordinary, const BYTE* selected,
                const uint16_t* markers, const CountBlock& block, const uint16_t* ilut,
                CountBlend blend);

// Folds the counts of values 0..15 into 16 and of 236..255 into 235 (legal
// levels), leaving the folded entries 0.
void FoldLegalRange(uint32_t* counts);

// Counts the values 1..255 of each channel of one pixel into counts (256
// entries per channel); others are not counted.
inline void CountChannelValues(uint32_t* redCounts, uint32_t* greenCounts, uint32_t* blueCounts,
                               int r, int g, int b)
{
    if (r >= 1 && r <= 255)
        ++redCounts[r];
    if (g >= 1 && g <= 255)
        ++greenCounts[g];
    if (b >= 1 && b <= 255)
        ++blueCounts[b];
}

// The three histogram charts, 256 columns wide and centred: the B counts on
// lines 3..92, G on 99..188 and R on 195..284 of a 288-line canvas (memory
// order, so B is the lowest chart on screen).
// On chart line j the threshold is (j * step) / 90, and column i gets `bar`
// in byte `channelByte` (0 blue, 1 green, 2 red) when its count reaches the
// threshold, 0 otherwise. step is the number of samples that fills a column
// (2 % of the picture's pixels).
void DrawHistogramCharts(const ScopeCanvas& canvas, const uint32_t* redCounts,
                         const uint32_t* greenCounts, const uint32_t* blueCounts, uint64_t step,
                         BYTE bar, int channelByte);

} // namespace colorcorrect
