#pragma once
// The display filter: the correction engine plus everything a correction view
// needs beyond correcting a YUV frame — a preview path with display aids
// (single-channel view, isolation of one match vector), the scope displays
// drawn on a 384 x 288 picture, the 3D colour cube, the host's fast playback
// path, and the real-time lookup package.
//
// Threads: no lock inside; an object is used by one thread at a time.

#include <cstdint>
#include <vector>

#include "../engine/base_color_correction_filter.h"
#include "../host/dib_draw.h"
#include "../host/vora_dib.h"
#include "rt_lut_pack.h"

namespace colorcorrect {
class BandProcessor;
class IsolationDisplay;
}

class CColorCorrectionFilter : public CBaseColorCorrectionFilter {
public:
    // Histogram background copied from the library's, vector intensity 120,
    // display field 1, channel view off, isolate parameter the default match
    // vector. The cube's angles and matrix start at zero until the owner
    // calls SetNewAngles.
    CColorCorrectionFilter();
    // Returns the scope buffer to the page allocator.
    ~CColorCorrectionFilter();
    // Deep copies: the copy never shares the segment indexes or the scope
    // buffer with the original (it makes its own scope buffer at its next
    // display frame).
    CColorCorrectionFilter(const CColorCorrectionFilter& other);
    CColorCorrectionFilter& operator=(const CColorCorrectionFilter& other);

    // ---- frames and previews ----------------------------------------------

    using CBaseColorCorrectionFilter::Process;
    // Corrects the packed YUV picture `in` into `out` with the engine. 0, with
    // nothing written, unless `in` is "@YUV" and `out` has a header with the
    // same compression, bit count and width and at least as many rows (rows
    // beyond `in`'s are left as they are); otherwise the engine's result.
    // `out` may be `in`.
    int Process(CVoraDib& in, CVoraDib& out);
    // As Process, with the display aids: the isolate display of the selected
    // match vector (after a SetupFilter that followed SetIsolateVector /
    // SetIsolateType), the channel view of SetChannel (the chosen channel as
    // grey, or the luma alone), and alpha weighting of 32-bit pixels: the
    // corrected colour is scaled by alpha / 256 (alpha 0 gives black, 255
    // leaves it). Premultiplied alpha is not undone. Writes bytes 0..2 of
    // each output pixel; the fourth byte is left as it was. 0, with nothing
    // written, unless `in` is "@YUV" and `out` agrees with it in compression,
    // bit count and width and has at least as many rows. `out` may be `in`.
    // Prints "Full processing time" when debug lines are on.
    int ProcessPreview(CVoraDib& in, CVoraDib& out);
    // As ProcessPreview(in, out), same bytes, corrected in row bands on
    // `bands` (null: on the calling thread alone). With `front`, a picture
    // without alpha shown without display aids keeps the words its pixels
    // enter the vector stages with, and the next call on the same picture
    // reuses them while the stages in front of the vector ones are
    // unchanged (see colorcorrect::FrontWords: Clear() it when the
    // picture's pixels change).
    int ProcessPreview(CVoraDib& in, CVoraDib& out, colorcorrect::BandProcessor* bands,
                       colorcorrect::FrontWords* front = nullptr);

    // ---- settings ---------------------------------------------------------

    // Rebuilds the scope intensity curves: positive values brighten low
    // sample counts. Limited to -12..255 so that both curve exponents stay
    // finite and positive (the default is 120).
    void SetVectorIntensity(int intensity);
    // Channel view: 0 off, 1 red, 2 green, 3 blue, 4 luma only. 0 for larger
    // values (setting unchanged), else 1.
    int SetChannel(unsigned int channel);
    // The match vector shown by the isolate display, 0..15. A changed value
    // takes effect at the next SetupFilter with a full record. 0 for larger
    // values, else 1.
    int SetIsolateVector(unsigned int index);
    // The isolate display type, 0 (off) ..7. A changed value takes effect at
    // the next SetupFilter with a full record. 0 for larger values, else 1.
    int SetIsolateType(unsigned int type);
    // The match vector drawn in the 3D cube (copied). 0 for null, else 1.
    int SetIsolateParam(const tagMATCHVECTOR* p);
    // Field shown by the real-time display: bit value 2 of `field` (0 or 1).
    // Always 1.
    int SetDisplayField(unsigned int field);

    // The isolate vector's colour (vector k = SetIsolateVector's: its byY,
    // cU, cV; mid grey for the background vector 0) as 0x00BBGGRR, each
    // channel clamped to 0..255: `before` as it is, `after` through this
    // filter's match-vector stage alone (the same when that stage is off).
    // Both are 0x808080 and the result is 0 unless cc has CC_MATCH_VECTOR
    // and k is below cc.Match.dwCount; otherwise 1. The filter's tables are
    // those of its last SetupFilter, not cc's.
    int GetIsolateColors(const tagCOLORCORRINFO& cc, unsigned long& before, unsigned long& after);

    // Packs the primary correction of cc (its controls and clipping flags;
    // out-of-range controls clamped to -255..255) into the real-time
    // package, with the mode byte and the check value. This filter's own
    // tables are not touched. The reserved bytes of RGB entries 1..255 are
    // not written and enter the check value as they stand. Always 1.
    int GetRTLUT(tagBCC_RTLUTPACK& pack, const tagBASECOLORCORRINFO& cc);

    // ---- scope displays -----------------------------------------------------

    // One pass over the packed YUV picture `in`: `out` receives the corrected
    // picture as 24/32-bit RGB (B, G, R; its fourth byte is not written) and
    // `display` a copy of the mode's background with the scope drawn on it:
    // 1 vector, 2 waveform, 4 histogram, 5 lightning, 6 3D cube, 7 vector and
    // lightning combined; 0 draws nothing, leaves `display` alone and
    // releases the scope buffer.
    //  in       "@YUV", 24 or 32 bits (32-bit pixels are weighted by their
    //           alpha in `out`; the scopes count them unweighted). Any width.
    //  out      made to match `in` in size and bit count when it does not
    //           (also when empty) and marked RGB. May be `in` itself, which
    //           then becomes the corrected RGB picture.
    //  display  must be another object than `in` and `out` in modes 1..7.
    //           The scope is drawn only on a 24/32-bit RGB background of
    //           384 x 288; on any other background `display` is the plain
    //           background copy.
    // 0, with nothing changed, when `in` is not "@YUV", for mode 3 or above
    // 7, or when `display` is `in` or `out`; 0 also when `out` or `display`
    // cannot be given a header. 1 otherwise, also when the background is not
    // a scope background or the scope buffer cannot be obtained (then
    // `display` keeps the plain background and no scope mode is kept).
    int ProcessDisplay(CVoraDib& in, CVoraDib& out, CVoraDib& display, unsigned int mode);
    // Draws the reference picture's R, G, B histograms in blue into the
    // histogram display's background (a 24-bit copy of the library's). 0,
    // leaving the plain background, when `ref` is not a packed YUV picture or
    // the copy cannot be made. The charts are drawn only on a 384 x 288
    // background; on another one the result is 1 with the plain copy.
    int SetReference(const CVoraDib& ref);

    // ---- real-time display ----------------------------------------------------

    // Corrects a raw frame (primary stage and output tables only) from `src`
    // into `dst`, mixing in `overlay` (same layout, byte 3 its weight) when
    // it is not null; only bytes 0..2 of a destination pixel are written.
    // flags bit 0: full resolution (else half width and height); bit 1 with
    // bit 0: the whole frame (else the field chosen by SetDisplayField and
    // the header's field order, written to every other line of `dst`).
    //  hdr      width, |height| (top-down frames count their lines the same),
    //           bit count (24: 3-byte pixels in lines padded to 4 bytes;
    //           otherwise 4-byte pixels), compression, field order.
    //  src      the whole frame as the header describes it; `overlay` the
    //           same, or null. A 24-bit frame at full resolution has no room
    //           for a weight and ignores the overlay.
    //  dst      the frame at the chosen geometry: the source's line length,
    //           or at half size the halved width's line length (24-bit) or
    //           width * 2 bytes (32-bit) per line. May be `src` itself
    //           (each pixel is read before anything is written over it);
    //           otherwise the two must not overlap.
    // The library cannot know the buffers' sizes; it trusts the header but
    // refuses (0) a negative width or a frame larger than any picture
    // (colorcorrect::MAX_PICTURE_BYTES). 0 also when the header is null or
    // not "@YUV" or `dst` or `src` is null; 1 otherwise (also when no line is
    // to be processed).
    int ProcessRTDisplay(const tagYUVBMINFOHEADER* hdr, unsigned char* dst, unsigned char* src,
                         unsigned char* overlay, unsigned long flags);

    // ---- 3D cube view -----------------------------------------------------------

    // Turns the view by a drag of (dx, dy) screen units, one degree per unit,
    // about the screen-plane axis perpendicular to the drag. The angles are
    // read and replaced (alpha, gamma in -180..180, beta in 0..180) and kept
    // for the next cube frame.
    void SetNewAngles(int& alpha, int& beta, int& gamma, int dx, int dy);
    // Spins the view by d degrees about the luma axis; angles as above.
    void SetNewAngles(int& alpha, int& beta, int& gamma, int d);

protected:
    // Real-time channel curve: for input i = 0..255 the output byte at
    // dst + 4 * i (dst must reach 1021 bytes). black, gamma and white work as
    // the engine's channel curve controls, -255..255 with 0 neutral (the
    // identity), larger values clamped; the curve runs on the input doubled
    // to nine bits and is halved at the end.
    void BuildRGBLUT_RT(unsigned char* dst, int black, int gamma, int white);
    // Scope intensity table of 512 entries: for a sample count n (0..255),
    // entry n holds the first curve x^e1 * 256 in its high byte and entry
    // 256 + n the second, brighter curve x^e2 * 256 in its low byte, with
    // x = n / 256, e1 = 1 / (intensity / 25 + 1), e2 = 1 / (2 * intensity /
    // 25 + 1). 0 gives straight lines; positive values brighten low counts.
    // intensity is limited to -12..255: below -12 the second exponent would
    // be infinite or negative.
    void BuildILUT(unsigned short* table, int intensity);
    // Byte offset of the first line of the field to show.
    unsigned int uOffsFirstLine(const tagYUVBMINFOHEADER* hdr, unsigned int lineLength);

    // The cube's rotation matrix from three angles in degrees.
    void BuildRot(int alpha, int beta, int gamma);
    // The cube's frame (axes, labels, diamond, the isolate vector's solid) on
    // the picture m_Draw is selected on, centred in a picture of dib's size.
    void BuildCube(const tagDIBINFO* dib);
    void DrawCube(int back, int cx, int cy);
    void DrawVector(int back, int cx, int cy);
    // A label beside (x, y), on the side away from (cx, cy). UTF-16 text.
    void SetText(int x, int y, int cx, int cy, const unsigned short* text);

    // Isolation variant of the match-vector step, used while m_bIsolate is
    // set (inline, in the internal isolation_stage.h). Expects clamped values (Y 0..255,
    // U, V -127..127) and a present match index; leaves them in range.
    // Returns whether the pixel counts as the isolated vector's (the
    // selected-vector flag of the scope displays).
    bool IsolationStage(int& y, int& u, int& v) const;
    // The same step as an object holding the settings, for loops over runs.
    colorcorrect::IsolationDisplay Isolation() const;

    uint16_t m_ILUT[512];         // scope intensity curves (see BuildILUT)
    BYTE* m_pDisplayBuffer;       // scope accumulation buffer (page allocator) or null
    uint32_t m_uDisplayMode;      // mode m_pDisplayBuffer was made for, 0 = none
    uint32_t m_uDisplayField;     // field of the real-time display, 0 or 1
    int32_t m_aAngles[3];         // cube angles alpha, beta, gamma in degrees
    float m_afRot[9];             // cube rotation matrix, row by row, scaled by 0.7
    tagMATCHVECTOR m_IsolateParam; // match vector drawn in the cube
    uint32_t m_uChannel;          // channel view 0..4
    // The display paths take their straightforward per-pixel loops (the
    // reference the faster ones are checked against); also when the
    // environment variable COLORCORRECT_REFERENCE_LOOP is "1".
    bool m_bDisplayReference;
    CDIBDraw m_Draw;              // drawing object of the cube display
    CVoraDib m_HistoBack;         // histogram background with the reference's histograms

    std::vector<uint32_t> m_ColumnTable; // waveform column of each source column; grows with the source

    // m_bDisplayReference, or the reference loop forced for every path.
    bool DisplayReferenceLoops() const;
    // True when the output tables only clamp: luma to 0..255, chroma to
    // -127..127 (no legal levels, no chroma reduction, no knees). Then the
    // engine's output bytes are the range-clamped stage results.
    bool OutputTablesAreRangeClamps() const;

private:
    void CopyDisplayState(const CColorCorrectionFilter& other);
    void ReleaseDisplayBuffer();
};

