#pragma once
// Correction records: plain, size-prefixed, packed little-endian values that
// cross the library boundary and are stored by the host, so their byte layout
// is binding. Every signed control is neutral at 0. Readers check the size
// fields before trusting the rest.
//
// Copy construction and assignment are the implicit ones: a plain copy of
// every byte, unused vector slots included, returning the target. The records
// are trivially copyable aggregates and may be copied with memcpy.
//
// Units used below:
//  - curve controls (white, gamma, black) and saturation: -255..255, 0 neutral;
//    the builders clamp larger values. A gamma control g maps to the exponent
//    1 / (1 + g/50) for g > 0 and 1 / (1 + g/260) otherwise.
//  - hue: 256 units = 180 degrees, converted to whole degrees by truncation
//    and clamped to -180..180.
//  - chroma U (Cb) and V (Cr): signed, the stored picture byte minus 128.

#include <cstddef>
#include <cstdint>

#include "../host/win_types.h"

// Active groups of a tagCOLORCORRINFO (its dwFlags).
inline constexpr DWORD CC_PRIMARY = 0x1;      // luma curve, hue, saturation, RGB curves of Base
inline constexpr DWORD CC_SIX_VECTOR = 0x2;   // Vector6
inline constexpr DWORD CC_MATCH_VECTOR = 0x4; // Match
inline constexpr DWORD CC_CLIPPING = 0x8;     // clipping settings of Base

// Range bits of tagBASECOLORCORRINFO::wRangeFlags.
inline constexpr WORD RANGE_VIDEO_LUMA = 0x1;     // luma curves on 16..235; legal output clipping
inline constexpr WORD RANGE_LEGAL = 0x2;          // legal output clipping (luma 16..235, chroma +-112)
inline constexpr WORD RANGE_CHROMA_REDUCED = 0x4; // chroma clipped to +-84

#pragma pack(push, 1)

// Primary correction with its clipping settings. 36 bytes.
struct tagBASECOLORCORRINFO {
    uint32_t dwSize;      // 0: 36
    uint16_t wRangeFlags; // 4: RANGE_* bits, default 0
    uint8_t  bySoftY;     // 6: luma clip knee softness 0..255 (0 = hard clip)
    uint8_t  bySoftC;     // 7: chroma clip knee softness 0..255
    int16_t  sYWhite;     // 8: luma white offset -255..255
    int16_t  sYGamma;     // 10: luma gamma -255..255 (positive brightens mid-tones)
    int16_t  sYBlack;     // 12: luma black offset -255..255
    int16_t  sHue;        // 14: hue rotation, 256 = 180 degrees
    int16_t  sSat;        // 16: saturation -255..255 (-255 removes all colour)
    int16_t  sRWhite;     // 18: red curve white -255..255
    int16_t  sRGamma;     // 20: red curve gamma
    int16_t  sRBlack;     // 22: red curve black
    int16_t  sGWhite;     // 24: green curve white
    int16_t  sGGamma;     // 26
    int16_t  sGBlack;     // 28
    int16_t  sBWhite;     // 30: blue curve white
    int16_t  sBGamma;     // 32
    int16_t  sBBlack;     // 34
};

// Six-vector correction, one entry per hue segment in the order magenta, red,
// yellow, green, cyan, blue. 64 bytes.
struct tagVECTOR6INFO {
    uint32_t dwSize;     // 0: 64
    int16_t  sWhite[6];  // 4
    int16_t  sGamma[6];  // 16
    int16_t  sBlack[6];  // 28
    int16_t  sHue[6];    // 40: 256 = 180 degrees
    int16_t  sSat[6];    // 52

    // dwSize = 64; every entry of each array set to the matching argument.
    void Init(short white, short gamma, short black, short hue, short sat);
};

// One match vector: a selected region of colour space (a hue wedge intersected
// with a saturation ring and a luma window, all with soft edges) and the
// correction applied there. 28 bytes. Defaults are those written by Init().
struct tagMATCHVECTOR {
    uint32_t dwSize;     // 0: 28
    uint8_t  byFlags;    // 4: flag byte, OR-merged when records are blended; default 0
    uint8_t  byY;        // 5: luma centre 0..255; default 128
    int8_t   cU;         // 6: U of the selected colour -128..127; default 0
    int8_t   cV;         // 7: V of the selected colour; default 0
    uint8_t  byYRange;   // 8: luma half-width; default 128
    uint8_t  byHueWidth; // 9: angular half-width, 0..255 for 0..pi; default 14
    uint8_t  bySatWidth; // 10: radial half-width in chroma units; default 20
    uint8_t  byYSoft;    // 11: softness of the luma edges 0..255; default 10
    uint8_t  byHueSoft;  // 12: softness of the angular edges, fraction of 256; default 50
    uint8_t  bySatSoft;  // 13: softness of the radial edges, fraction of 256; default 50
    int16_t  sWhite;     // 14: luma white offset; default 0
    int16_t  sGamma;     // 16: luma gamma; default 0
    int16_t  sBlack;     // 18: luma black offset; default 0
    int16_t  sHue;       // 20: hue rotation, 256 = 180 degrees; default 0
    int16_t  sSat;       // 22: saturation; default 0
    int16_t  sUOffset;   // 24: added to U after the correction (-255..255 used); default 0
    int16_t  sVOffset;   // 26: added to V likewise; default 0

    void Init();
};

// Up to sixteen match vectors. Entry 0 is the background: it corrects pixels
// that belong to no other vector and its selection fields are unused. 456 bytes.
struct tagMATCHVECTORINFO {
    uint32_t       dwSize;     // 0: 456
    uint32_t       dwCount;    // 4: vectors in use, 0..16 (readers treat more as 16)
    tagMATCHVECTOR Vector[16]; // 8

    // dwSize = 456, dwCount = 0, Init() on all sixteen entries.
    void Init();
    // Equal when dwSize and dwCount match and the used entries are byte-equal.
    BOOL operator==(const tagMATCHVECTORINFO& other) const;
    // 0 when equal as above; 1 when dwSize or dwCount differ; otherwise -1 or 1
    // as the first differing byte of the used entries is smaller or larger here.
    int operator!=(const tagMATCHVECTORINFO& other) const;
};

// The full correction. 564 bytes.
struct tagCOLORCORRINFO {
    uint32_t             dwSize;  // 0: 564
    uint32_t             dwFlags; // 4: CC_* bits of the active groups; default 0
    tagBASECOLORCORRINFO Base;    // 8
    tagVECTOR6INFO       Vector6; // 44
    tagMATCHVECTORINFO   Match;   // 108

    // dwSize: the caller's idea of the record size. Does nothing (not a byte
    // written) unless it is 564; then makes this the default record: dwFlags 0,
    // Base all zero with its size 36, Vector6 all zero, Match.Init().
    void Init(unsigned long dwSize);
    // As Init, but keeps the clipping settings (wRangeFlags, bySoftY, bySoftC);
    // any dwSize other than 564 leaves the record unchanged.
    void ResetCC(unsigned long dwSize);
    // TRUE when the first dwSize bytes equal the default record's, unused
    // vector slots included (never reads past the record; any size other than
    // 564 differs within the size field itself; size 0 compares nothing and
    // is TRUE).
    BOOL IsDefault() const;
    // Tests only the groups named in dwMask (CC_* bits; bits above CC_CLIPPING
    // are ignored) that are also active in dwFlags; a named but inactive group
    // counts as default. FALSE for a zero mask. Per group:
    //  - CC_PRIMARY: Base equals the default's, clipping settings left out;
    //  - CC_SIX_VECTOR: all 64 bytes of Vector6 equal the default's;
    //  - CC_MATCH_VECTOR: Match.dwCount is 0 (vector contents not looked at);
    //  - CC_CLIPPING: wRangeFlags, bySoftY and bySoftC are all 0.
    BOOL IsDefault(unsigned long dwMask) const;
    // TRUE when dwSize, dwFlags, all of Base, all of Vector6 and Match (as
    // tagMATCHVECTORINFO::operator==) are equal; stops at the first difference.
    BOOL operator==(const tagCOLORCORRINFO& other) const;
    // The negation of operator==, always 0 or 1.
    BOOL operator!=(const tagCOLORCORRINFO& other) const;
    // Makes this record the blend of a (t = 0) and b (t = 1); this may be the
    // same object as a or b. Active groups and range bits of both are merged
    // (OR), the vector counts are raised to the larger one (slots new to a side
    // blend against a default vector), match vector byFlags are merged (OR),
    // and every control of a merged active group becomes
    // trunc(a + (b - a) * t), truncated toward zero at the field's own width.
    // Size fields and the groups active in neither record keep a's values.
    // t: 0.0..1.0, both ends included. Returns FALSE when t is outside that
    // range or not a number; the record then holds a. TRUE otherwise.
    BOOL Interpolate(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b, double t);
};

#pragma pack(pop)

static_assert(sizeof(tagBASECOLORCORRINFO) == 36);
static_assert(sizeof(tagVECTOR6INFO) == 64);
static_assert(sizeof(tagMATCHVECTOR) == 28);
static_assert(sizeof(tagMATCHVECTORINFO) == 456);
static_assert(sizeof(tagCOLORCORRINFO) == 564);

static_assert(offsetof(tagBASECOLORCORRINFO, wRangeFlags) == 4);
static_assert(offsetof(tagBASECOLORCORRINFO, bySoftY) == 6);
static_assert(offsetof(tagBASECOLORCORRINFO, bySoftC) == 7);
static_assert(offsetof(tagBASECOLORCORRINFO, sYWhite) == 8);
static_assert(offsetof(tagBASECOLORCORRINFO, sYGamma) == 10);
static_assert(offsetof(tagBASECOLORCORRINFO, sYBlack) == 12);
static_assert(offsetof(tagBASECOLORCORRINFO, sHue) == 14);
static_assert(offsetof(tagBASECOLORCORRINFO, sSat) == 16);
static_assert(offsetof(tagBASECOLORCORRINFO, sRWhite) == 18);
static_assert(offsetof(tagBASECOLORCORRINFO, sRGamma) == 20);
static_assert(offsetof(tagBASECOLORCORRINFO, sRBlack) == 22);
static_assert(offsetof(tagBASECOLORCORRINFO, sGWhite) == 24);
static_assert(offsetof(tagBASECOLORCORRINFO, sGGamma) == 26);
static_assert(offsetof(tagBASECOLORCORRINFO, sGBlack) == 28);
static_assert(offsetof(tagBASECOLORCORRINFO, sBWhite) == 30);
static_assert(offsetof(tagBASECOLORCORRINFO, sBGamma) == 32);
static_assert(offsetof(tagBASECOLORCORRINFO, sBBlack) == 34);

static_assert(offsetof(tagVECTOR6INFO, sWhite) == 4);
static_assert(offsetof(tagVECTOR6INFO, sGamma) == 16);
static_assert(offsetof(tagVECTOR6INFO, sBlack) == 28);
static_assert(offsetof(tagVECTOR6INFO, sHue) == 40);
static_assert(offsetof(tagVECTOR6INFO, sSat) == 52);

static_assert(offsetof(tagMATCHVECTOR, byFlags) == 4);
static_assert(offsetof(tagMATCHVECTOR, byY) == 5);
static_assert(offsetof(tagMATCHVECTOR, cU) == 6);
static_assert(offsetof(tagMATCHVECTOR, cV) == 7);
static_assert(offsetof(tagMATCHVECTOR, byYRange) == 8);
static_assert(offsetof(tagMATCHVECTOR, byHueWidth) == 9);
static_assert(offsetof(tagMATCHVECTOR, bySatWidth) == 10);
static_assert(offsetof(tagMATCHVECTOR, byYSoft) == 11);
static_assert(offsetof(tagMATCHVECTOR, byHueSoft) == 12);
static_assert(offsetof(tagMATCHVECTOR, bySatSoft) == 13);
static_assert(offsetof(tagMATCHVECTOR, sWhite) == 14);
static_assert(offsetof(tagMATCHVECTOR, sGamma) == 16);
static_assert(offsetof(tagMATCHVECTOR, sBlack) == 18);
static_assert(offsetof(tagMATCHVECTOR, sHue) == 20);
static_assert(offsetof(tagMATCHVECTOR, sSat) == 22);
static_assert(offsetof(tagMATCHVECTOR, sUOffset) == 24);
static_assert(offsetof(tagMATCHVECTOR, sVOffset) == 26);

static_assert(offsetof(tagMATCHVECTORINFO, dwCount) == 4);
static_assert(offsetof(tagMATCHVECTORINFO, Vector) == 8);

static_assert(offsetof(tagCOLORCORRINFO, dwFlags) == 4);
static_assert(offsetof(tagCOLORCORRINFO, Base) == 8);
static_assert(offsetof(tagCOLORCORRINFO, Vector6) == 44);
static_assert(offsetof(tagCOLORCORRINFO, Match) == 108);

namespace colorcorrect {

// The number of match vectors a reader may use: dwCount, limited to the
// sixteen slots the record has.
inline constexpr uint32_t UsedVectorCount(const tagMATCHVECTORINFO& info)
{
    return info.dwCount > 16u ? 16u : info.dwCount;
}

} // namespace colorcorrect
