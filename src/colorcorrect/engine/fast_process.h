#pragma once
// Tables of the faster correction loops. Process chooses one specialised
// loop per set-up; every loop gives exactly the bytes of the reference loop
// (the per-pixel stages of pixel_stages.h run one after the other), only
// with more of the work moved to set-up time:
//
//  - Primary stage. The hue rotation and saturation depend on the chroma pair
//    alone, and so do the chroma terms of the conversion to RGB: R, G and B
//    are the corrected luma plus a per-pair offset (the luma term 512 * Y of
//    the numerator is a whole multiple of the denominator). A 65,536-entry
//    table holds the three offsets per (U, V). The channel curves and the
//    conversion back to YUV are fused into three 1024-entry tables whose
//    entries carry all three output sums side by side in one 64-bit word,
//    each biased to stay positive, so one addition of three words does the
//    whole matrix and each sum's floor division is a shift.
//  - With neutral channel curves the back conversion collapses: the output
//    chroma depends on the pair alone and the output luma is the corrected
//    luma plus a per-pair offset, so the pair table holds the final chroma
//    bytes and that offset.
//  - Vector stages. After the range clamp, the chroma results of the
//    six-vector and match-vector steps and the output chroma bytes depend on
//    the pair alone as long as the match step's weight comes from the index
//    entry (the luma window's weight does not exceed it); a second pair table
//    holds them with the match vector and weight. Luma follows the stages per
//    pixel, and the rare pixels whose luma window decides the weight or
//    excludes the pixel take the stage functions themselves.
//  - Output tables are stored as bytes already in their place in the pixel.
//
// The tables are rebuilt at set-up only when what they are made from
// changed, so a repeated set-up with the same record costs little.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "../host/win_types.h"

class CBaseColorCorrectionFilter;

namespace colorcorrect {

// How the primary stage is done by the chosen loop.
enum class PrimaryPath : uint8_t {
    Off,    // stage off
    Plain,  // neutral channel curves: per-pair chroma and luma offset
    Curves, // general: per-pair RGB offsets, fused curve and matrix tables
};

// How the six-vector luma is done by the chosen loop.
enum class SixPath : uint8_t {
    Off,   // stage off
    Same,  // all six luma curves are equal: one curve, no blend
    Blend, // blend of two segments' curves by the segment index
};

// One specialised loop: corrects `rows` rows of `width` pixels, rows `stride`
// bytes apart. `in` may equal `out`.
using FastRowsFn = void (*)(const CBaseColorCorrectionFilter& filter, const BYTE* in, BYTE* out,
                            size_t stride, size_t width, size_t rows);

// Words in front of the vector stages (PrimaryEnd::VectorInput), one a
// pixel from the first row of a call on, `width` a row, that a caller keeps
// between corrections of one picture (FrontWords): read from `words` when
// `reuse`, else worked out and stored there.
struct FrontRows {
    uint32_t* words = nullptr;
    bool reuse = false;
};
using FastFrontRowsFn = void (*)(const CBaseColorCorrectionFilter& filter, const BYTE* in, BYTE* out,
                                 size_t stride, size_t width, size_t rows, FrontRows front);

// True when the environment variable COLORCORRECT_REFERENCE_LOOP is "1"
// (read once, at the first call): every correction then takes the reference
// loop, so one test suite checks both loops' results against the same
// expectations.
bool ReferenceLoopForced();

// The loop chosen at set-up, and the stage flags it was chosen for.
struct FastPlan {
    bool valid = false;
    PrimaryPath primary = PrimaryPath::Off;
    bool vector = false;
    SixPath six = SixPath::Off;
    bool match = false;
    bool outputClamp = false; // no stage, and each output table clamps bytes
    FastRowsFn rows24 = nullptr;     // 3-byte pixels
    FastRowsFn rows32 = nullptr;     // 4-byte pixels
    FastRowsFn rows32Pre = nullptr;  // 4-byte pixels with premultiplied alpha
    // With vector stages, the same loops keeping the words in front of them.
    FastFrontRowsFn front24 = nullptr;
    FastFrontRowsFn front32 = nullptr;
    FastFrontRowsFn front32Pre = nullptr;
    // The filter's flags when the plan was made; Process falls back to the
    // reference loop when they differ (a caller changed them since).
    int32_t bPrimary = 0, bVector = 0, bSix = 0, bMatch = 0;
    char name[48] = "reference";
};

// A 65,536-entry table indexed by a chroma pair's stored bytes, U + 128 in
// the low byte and V + 128 in the high byte (the segment index order).
struct alignas(64) PairTable {
    uint32_t entry[65536];
};

// The six-vector step's chroma of each pair, in the pair tables' order:
// U + 128 in the low byte, V + 128 in the high byte. It depends on the six
// vectors' tables alone, so it is kept between set-ups: a change of the
// match vectors rebuilds the vector pair table without working it out again.
struct alignas(64) SixChromaTable {
    uint16_t entry[65536];
};

// What a pair table currently holds.
enum class PairContents : uint8_t {
    None,
    PrimaryCurves,      // R, G, B offsets (+512) in bits 0..9, 10..19, 20..29
    PrimaryPlain,       // luma offset (+512) in bits 0..15, output U and V bytes above
    PrimaryPlainClamped, // luma offset (+512), then U and V clamped to -127..127 (+128)
};

// A vector pair table entry: the output U and V bytes in bits 0..15; with
// the match-vector stage also the background's share W (0..256, where 256
// stands for a background pair) in bits 16..24 and the vector k in bits
// 25..28. A background pair thus follows the vector formula with k = 0 and
// W = 256, which gives vector 0's luma curve.
inline constexpr int kVectorShareShift = 16;
inline constexpr int kVectorNumberShift = 25;

// Everything of the fast tables but the pair tables: plain data, copied in
// one assignment, so that a field added here cannot be left out of a copy.
struct alignas(64) FastTableData {
    FastPlan plan;

    PairContents primaryContents = PairContents::None;
    bool vectorValid = false;   // vectorPairs matches the snapshot below
    bool vectorSix = false;     // made with the six-vector step
    bool vectorMatch = false;   // made with the match-vector step
    bool sixChromaValid = false; // sixChroma matches snapSix* below

    // Channel curve c (0 R, 1 G, 2 B) times its three back-conversion
    // coefficients, entry v + 512: the Y sum in bits 0..20, U in 21..41, V in
    // 42..62, each biased by 512 * 512 (plus the rounding 256 in the red
    // table) so that (field >> 9) is the rounded result + 512.
    uint64_t matrix[3][1024];
    // Output tables by value + 512, as pixel words: luma in bits 0..7, U and
    // V (clipped chroma + 128) in bits 8..15 and 16..23.
    uint32_t outY[1024];
    uint32_t outU[1024];
    uint32_t outV[1024];
    // The range clamp by value + 512: luma 0..255, chroma -127..127 + 128;
    // as bytes, and as words with the byte in its place in a word of Y, U
    // and V (bits 0..7, 8..15, 16..23).
    uint8_t clampY[1024];
    uint8_t clampC[1024];
    uint32_t clampU[1024];
    uint32_t clampV[1024];
    // Without any stage, when the output tables keep each byte within
    // [byteLo, byteHi] and pass it unchanged in between (Y, U, V).
    uint8_t byteLo[3];
    uint8_t byteHi[3];
    // Low byte of the background vector's luma table.
    uint8_t matchY0[256];
    // The output word of a background pair's luma: outY[matchY0[y] + 512],
    // one look-up less on the chain of a background pixel.
    uint32_t matchOut0[256];
    // The luma curves of two six-vector segments side by side, row
    // a + 16 * b (the low byte of a six index entry): segment a's curve in
    // the low byte, b's in the high byte.
    uint16_t sixLuma[6 + 16 * 5][256];

    // What the pair tables were made from.
    int8_t snapCos[256];
    int8_t snapSin[256];
    uint16_t snapSat[256];
    uint8_t snapPrimaryChroma[1024]; // output chroma bytes (plain contents only)
    int8_t snapSixCos[6][256];
    int8_t snapSixSin[6][256];
    int16_t snapSixSat[6][256];
    uint8_t snapVectorChroma[1024];  // output chroma bytes
};

struct FastTables : FastTableData {
    FastTables();

    // Pair tables, allocated on first need.
    std::unique_ptr<PairTable> primaryPairs;
    std::unique_ptr<PairTable> vectorPairs;
    std::unique_ptr<SixChromaTable> sixChroma;

    // A deep copy, or null when memory is refused.
    std::unique_ptr<FastTables> Clone() const;
    // Makes this a deep copy of other, reusing the pair tables already held
    // (a copy made for every preview need not allocate). A pair table that
    // cannot be had is left out, with the plan that needs it.
    void Assign(const FastTables& other);
    // Bytes held, pair tables and the six-vector chroma included.
    size_t Bytes() const;
};

} // namespace colorcorrect
