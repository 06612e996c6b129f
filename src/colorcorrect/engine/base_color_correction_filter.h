#pragma once
// The correction engine: turns a correction record into lookup tables once
// (SetupFilter) and corrects packed YUV pictures with them (Process), using
// integer arithmetic only per pixel.
//
// Conventions of every table below:
//  - Signed chroma U, V is the stored byte minus 128. A table indexed by a
//    signed chroma value u uses the byte u & 0xFF: entries 0..127 hold
//    u = 0..127, entries 128..255 hold u = -128..-1.
//  - 1024-entry tables are indexed by value + 512 for values -512..511.
//  - A curve table built from neutral controls (all 0) is the identity.
//
// Threads: the object has no lock. SetupFilter writes it; Process only reads
// it, so several Process calls may run at once on one set-up filter as long
// as no SetupFilter runs at the same time.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "../host/dib_info.h"
#include "../host/win_types.h"
#include "../records/correction_records.h"

namespace colorcorrect {
class BandProcessor;
class FrontWords;
struct FastPlan;
struct FastTables;
struct FastKernels;
} // namespace colorcorrect

class CBaseColorCorrectionFilter {
public:
    // Primary stage on, vector stages off, every table zero (so a filter used
    // before its first SetupFilter reads only defined memory), no index
    // buffers, no match build yet.
    CBaseColorCorrectionFilter();
    // Releases the index buffers.
    ~CBaseColorCorrectionFilter();
    // The copy owns its own copies of the index buffers. When a buffer
    // cannot be obtained, the copy goes without it and its next SetupFilter
    // builds it again (the stage is skipped by Process until then).
    CBaseColorCorrectionFilter(const CBaseColorCorrectionFilter& other);
    CBaseColorCorrectionFilter& operator=(const CBaseColorCorrectionFilter& other);

    // Full set-up from a correction record. FALSE, with the object unchanged,
    // when cc.dwSize is not 564, cc.Base.dwSize not 36, cc.Vector6.dwSize not
    // 64 or cc.Match.dwCount above 16. FALSE also when an index buffer cannot
    // be obtained; the tables built up to that point are replaced then, and
    // Process skips any vector stage whose index is missing. TRUE otherwise.
    // The six-vector index is built once per object; the match-vector tables
    // and index are rebuilt only when the match record, the isolate settings
    // or the video-range flag changed since the last build.
    BOOL SetupFilter(const tagCOLORCORRINFO& cc);
    // Primary-only set-up: the primary stage on, both vector stages off, the
    // clipping settings of b always applied. FALSE (object unchanged) only
    // when b.dwSize is not 36.
    BOOL SetupFilter(const tagBASECOLORCORRINFO& b);

    // Corrects |header->biHeight| rows of header->biWidth packed YUV pixels
    // (bytes Y, U+128, V+128 and, unless biBitCount is 24, alpha) from `in`
    // into `out`. `in` and `out` may be the same buffer; otherwise they must
    // not overlap. Both use the picture's stride: width * 3 rounded up to a
    // multiple of 4 for 24-bit pixels, width * 4 otherwise. Row padding of
    // `out` is never written; its alpha bytes receive the input's alpha.
    // With the premultiplied flag (dwFlags bit 0x2) and 4-byte pixels the
    // colour is divided by alpha before and multiplied by it after the
    // correction; 24-bit pixels have no alpha and are always read as plain.
    // FALSE, with nothing written, when a pointer is null, the format tag is
    // not colorcorrect::YUV_COMPRESSION or the width is negative; TRUE
    // otherwise (also for an empty picture). Uses the tables of the last
    // SetupFilter (all-zero tables before the first). Reads the filter only.
    BOOL Process(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out);

    // ---- additions: reference loop, row ranges, inspection ---------------

    // Same contract and same bytes as Process, always through the
    // straightforward loop that runs the per-pixel stages one after the other
    // (Process takes a faster path chosen at set-up that gives identical
    // bytes). Kept as the reference the faster paths are checked against.
    BOOL ProcessReference(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out);
    // As Process, but corrects only the rows firstRow .. firstRow + rowCount
    // - 1 (in memory order; the range is cut to the picture) and prints no
    // timing line. Several threads may correct disjoint row ranges of one
    // picture at once with one set-up filter. `in` and `out` point at the
    // picture's first row, not at firstRow.
    BOOL ProcessRows(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out, size_t firstRow,
                     size_t rowCount);
    // For a caller that corrects one picture again and again while only the
    // six or match vectors change: the words the vector stages start from,
    // kept in `front` (colorcorrect::FrontWords). PrepareFront, once before
    // the rows, and not while rows are being corrected with `front`: true
    // when the loop Process takes has vector stages, with `front` ready for
    // the rows: they reuse its words when it holds this picture's under the
    // current stages in front of the vector ones, fill it when the picture
    // is corrected a third time in a row under them, and otherwise leave it
    // alone.
    // False when the rows are to be corrected with ProcessRows instead (no
    // vector stage, the reference loop, a refused header).
    bool PrepareFront(tagYUVBMINFOHEADER* header, const BYTE* in, colorcorrect::FrontWords& front) const;
    // As ProcessRows, the same bytes (several threads may correct disjoint
    // rows at once), reusing or filling `front` as PrepareFront made it
    // ready, with no set-up in between.
    BOOL ProcessRowsWithFront(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out, size_t firstRow,
                              size_t rowCount, colorcorrect::FrontWords& front) const;
    // After every row of the picture was corrected with `front`: its words
    // are now the picture's, to be reused.
    static void FinishFront(colorcorrect::FrontWords& front);
    // Name of the loop Process takes with the current set-up, for tests and
    // benchmarks: "reference" when no faster path applies, otherwise a short
    // name of the specialised loop (stable text, e.g. "primary-curves").
    const char* ProcessPathName() const;
    // Bytes this filter holds: the object, its index buffers and the tables
    // of its faster paths.
    size_t MemoryBytes() const;
    // Shares the per-pair work of SetupFilter (the match index and the pair
    // tables, 256 rows of chroma pairs each) out over the threads of
    // `bands`, for a caller that waits on the set-up; null, the default,
    // keeps it on the calling thread. The tables are the same either way.
    // Not copied with the filter; the processor must outlive its use here.
    void SetSetupBands(colorcorrect::BandProcessor* bands) { m_pSetupBands = bands; }

    // Primary luma curve into lut[0..255]. black, gamma and white are
    // clamped to -255..255 (0 neutral). videoRange nonzero: the curve works
    // on 16..235 and its output stays within 16..235; zero: full 0..255.
    static void BuildYLUT(BYTE* lut, int black, int gamma, int white, int videoRange);

    // TRUE when every byte of b from offset 4 up to b.dwSize is zero. Only
    // the 36 bytes of the record are ever read: a larger dwSize compares
    // bytes 4..35. A dwSize below 4 is malformed and gives FALSE; a dwSize
    // of exactly 4 compares nothing and gives TRUE.
    static BOOL IsDefault(const tagBASECOLORCORRINFO& b);
    // TRUE exactly when cc.dwFlags is 0 (no group active); the field values
    // are not looked at.
    static BOOL IsDefault(const tagCOLORCORRINFO& cc);

protected:
    // ---- table builders -------------------------------------------------

    // Hue and saturation tables for 256 signed chroma indexes: cosLut[n] and
    // sinLut[n] are the low bytes of x*cos(h) and x*sin(h) rounded half away
    // from zero (x the signed value of n); satLut[n] is x times the
    // saturation gain, rounded likewise. sat is clamped to -255..255 (0
    // neutral, -255 removes all colour), hueDegrees to -180..180 (0
    // neutral). clampSat nonzero: the saturated value is clamped to
    // -127..127 and stored as its low byte; zero: stored as a signed 16-bit
    // value.
    void BuildCosSinLUT(BYTE* cosLut, BYTE* sinLut, WORD* satLut, int sat, int hueDegrees,
                        int clampSat);
    // Channel curve into lut[0..1023] (entry v + 512 for inputs -512..511):
    // built on even inputs, interpolated on odd ones, odd-symmetric; inputs
    // -512, -511 and 511 are left as they are. Controls clamped to
    // -255..255, 0 neutral (the identity on -510..510).
    void BuildRGBLUT(short* lut, int black, int gamma, int white);
    // Output map into lut[0..1023] (entry v + 512): inputs up to lo give
    // loOut, from hi up give hiOut, the identity in between, with knees
    // whose length grows with soft (0 = hard clip, 255 = longest).
    void BuildClippingLUT(int* lut, int lo, int loOut, int hi, int hiOut, BYTE soft);
    // Luma table of one match vector into lut[0..255]: 0 outside the window
    // centre - range .. centre + range; inside, bits 0..7 the corrected luma
    // (never 0: at least 1, or 16 in video range) and bits 8..15 the
    // background's share (0 within the inner part, rising to 255 over the
    // soft edge). centre is limited to 255, range and soft to 0..255; the
    // curve controls as in BuildYLUT.
    void BuildYMatchLUT(WORD* lut, unsigned centre, unsigned range, unsigned soft, int black,
                        int gamma, int white, int videoRange);
    // Builds the six-vector index on first use; later calls return TRUE at
    // once. FALSE when the buffer cannot be obtained.
    BOOL BuildSegmentIndex_six();
    // Builds the match-vector index for info (at most its first 16 vectors)
    // and the isolate type in force (m_bIsolate). FALSE when the buffer
    // cannot be obtained.
    BOOL BuildSegmentIndex_match(const tagMATCHVECTORINFO& info);

    // ---- per-pixel stages ---------------------------------------------------
    // Defined inline in engine/pixel_stages.h, which only the processing
    // sources include: the stages are internal and not installed.
    // Working values: Y an integer luma, U and V signed chroma. Each stage
    // states the range it expects and the range it leaves.

    // Y 0..255, U and V -128..127 from a plain pixel.
    static void ReadPixel(const BYTE* p, int& y, int& u, int& v);
    // Un-premultiplies a 4-byte pixel: Y 0..255, U and V -127..127, all 0
    // when alpha is 0. Returns alpha.
    static int ReadPremultipliedPixel(const BYTE* p, int& y, int& u, int& v);
    // Fixed-point YUV -> RGB with denominator 512, each result the floor of
    // the rounded quotient.
    static void YUVToRGB(int y, int u, int v, int& r, int& g, int& b);
    // Fixed-point RGB -> YUV, same rounding. Not clamped.
    static void RGBToYUV(int r, int g, int b, int& y, int& u, int& v);
    // First half of the primary stage: luma curve, hue, saturation, RGB and
    // the channel curves. Y 0..255, U and V -128..127 in; R, G, B in
    // -510..510 out.
    void PrimaryToRGB(int y, int u, int v, int& r, int& g, int& b) const;
    // The whole primary stage: PrimaryToRGB, then back to YUV. Results lie
    // within -512..511 (not clamped).
    void PrimaryStage(int& y, int& u, int& v) const;
    // The clamp in front of the vector stages: Y to 0..255, U and V to
    // -127..127.
    static void ClampRange(int& y, int& u, int& v);
    // Six-vector step. Expects clamped values and a present m_pSixIndex;
    // leaves Y 0..255 and U, V -127..127.
    void SixVectorStage(int& y, int& u, int& v) const;
    // Chroma of the match-vector step for a pixel inside vector k (index
    // entry not 0) with the background's share wBack (0..255): the blended
    // hue rotation, then the vector's saturation and offsets with the
    // vector's share. U, V -127..127 in and out.
    void MatchVectorChroma(int& u, int& v, unsigned k, int wBack) const;
    // Chroma of the match-vector step for a background pixel (index entry 0):
    // vector 0's whole hue, saturation and offsets. U, V -127..127 in and out.
    void MatchBackgroundChroma(int& u, int& v) const;
    // Match-vector step. Expects clamped values and a present m_pMatchIndex;
    // leaves Y 0..255 and U, V -127..127. Returns the vector that corrected
    // the pixel (0 for the background) or -1 when the pixel's index entry
    // names a vector whose luma window excludes Y (values left unchanged).
    int MatchVectorStage(int& y, int& u, int& v) const;
    // The stages a call runs, decided once per call: a stage whose index is
    // missing (a set-up that failed half-way) is skipped rather than read
    // through a null pointer.
    struct StageSet {
        bool primary, vector, six, match;
    };
    StageSet ActiveStages() const;
    // The correction of one pixel, in the one order every loop follows: the
    // primary stage; then, with a vector stage, the range clamp, the
    // six-vector stage and `matchStage` (the match-vector stage, or what a
    // display shows in its place), whose result is returned (0 when it does
    // not run).
    template <typename MatchStage>
    int RunStages(int& y, int& u, int& v, const StageSet& s, MatchStage&& matchStage) const;
    // Output tables, then the pixel's bytes 0..2 (modulo 256). Y and U, V in
    // -512..511.
    void WritePixel(BYTE* p, int y, int u, int v) const;
    // As WritePixel, multiplying the colour by alpha a (0..255) again.
    void WritePremultipliedPixel(BYTE* p, int y, int u, int v, int a) const;

    // Process takes a loop chosen at set-up, with tables made from the ones
    // above. A derived class that writes any table or stage flag itself
    // after SetupFilter calls this before the next Process; until then
    // Process falls back to the reference loop only for changed stage
    // flags, not for changed table contents.
    void TablesChanged();

    // ---- index buffers -----------------------------------------------------

    // A zeroed 128 KB index buffer from the page allocator, or null.
    static WORD* AllocateSegmentIndex();
    // Returns the buffer to the page allocator (if any) and nulls the pointer.
    static void ReleaseSegmentIndex(WORD*& index);

    // ---- state -------------------------------------------------------------

    BOOL m_bPrimary;       // primary stage on (1 after construction)
    BOOL m_bVector;        // a vector stage was requested: clamp before the vector stages
    BOOL m_bSixVector;     // six-vector stage on
    BOOL m_bMatchVector;   // match-vector stage on
    BOOL m_bLegalY;        // RANGE_VIDEO_LUMA or RANGE_LEGAL: legal output levels
    BOOL m_bChromaReduced; // RANGE_CHROMA_REDUCED: chroma output within +-84

    uint8_t m_YLUT[256];    // primary luma curve, 0..255 -> 0..255
    int8_t m_CosLUT[256];   // chroma x cos(hue), by signed chroma index
    int8_t m_SinLUT[256];   // chroma x sin(hue), by signed chroma index
    uint16_t m_SatLUT[256]; // saturated chroma as a signed low byte (-127..127), high byte 0
    int16_t m_RLUT[1024];   // red curve, entry v + 512, outputs -510..510
    int16_t m_GLUT[1024];   // green curve
    int16_t m_BLUT[1024];   // blue curve

    uint8_t m_SixYLUT[6][256];     // luma curve per hue segment
    int8_t m_SixCosLUT[6][256];    // hue tables per segment
    int8_t m_SixSinLUT[6][256];
    int16_t m_SixSatLUT[6][256];   // saturated chroma per segment, not clamped

    uint16_t m_MatchYLUT[16][256];  // match luma tables (BuildYMatchLUT format)
    int8_t m_MatchCosLUT[16][256];  // hue tables per match vector
    int8_t m_MatchSinLUT[16][256];
    int16_t m_MatchSatLUT[16][256]; // saturated chroma per vector, not clamped
    int16_t m_MatchUOffset[16];     // added to U after the vector's correction, -255..255
    int16_t m_MatchVOffset[16];     // added to V likewise

    uint16_t* m_pSixIndex;   // six-vector index (segment_index.h), owned, or null
    uint16_t* m_pMatchIndex; // match-vector index (segment_index.h), owned, or null
    uint32_t m_dwMatchCRC;   // checksum of the match record of the last match build;
                             // 0xFFFFFFFF = none (forces the next build)

    int32_t m_LumaClip[1024];   // output luma, entry Y + 512 -> 0..255
    int32_t m_ChromaClip[1024]; // output chroma, entry U + 512 -> signed -127..127

    uint32_t m_uIsolateVector; // match vector 0..15 shown by the isolate display
    uint32_t m_uIsolateType;   // isolate display type 0..7 (0 = normal selection)
    BOOL m_bIsolate;           // an isolate type is in force in the match index

    uint32_t m_dwMatchRange;   // video-range flag (0 or 1) of the last match build

    // Tables of the faster loops Process chooses at set-up (fast_process.h),
    // owned, or null when they could not be obtained (then Process takes
    // the reference loop).
    colorcorrect::FastTables* m_pFast;

private:
    friend struct colorcorrect::FastKernels;

    colorcorrect::BandProcessor* m_pSetupBands = nullptr;
    // job(first, count) over the rows 0 .. rows - 1 of a set-up table, on
    // the set-up's bands when it has them; job must not throw.
    template <class Job>
    void ForSetupRows(size_t rows, const Job& job) const
    {
        if (m_pSetupBands == nullptr)
            job(0, rows);
        else // a closure of one reference: std::function holds it without allocating
            ForSetupBands(rows, [&job](size_t first, size_t count) { job(first, count); });
    }
    void ForSetupBands(size_t rows, const std::function<void(size_t first, size_t count)>& job) const;

    void CopyFrom(const CBaseColorCorrectionFilter& other);
    // Brings the fast-path tables up to date with the tables just built and
    // chooses the loop Process takes. matchRebuilt: the match index and its
    // tables were rebuilt by this set-up.
    void UpdateFastPath(bool matchRebuilt);
    // Process's work after the header checks: rowCount rows of `width`
    // pixels (3 bytes each when threeBytes, else 4), `stride` bytes apart,
    // from `in` into `out`, through the fast loop when it applies and
    // `reference` is false.
    void ProcessRange(const BYTE* in, BYTE* out, size_t width, size_t stride, bool threeBytes,
                      bool premultiplied, size_t rowCount, bool reference) const;
    // The plan of the fast loop when it serves the current flags and index
    // buffers and is not overridden for the reference loop; else null.
    const colorcorrect::FastPlan* UsableFastPlan() const;
    // Process and ProcessReference: the whole frame, timed for the debug line.
    BOOL ProcessFrame(tagYUVBMINFOHEADER* header, BYTE* in, BYTE* out, bool reference) const;
    // m_LumaClip and m_ChromaClip: legal or chroma-reduced levels with the
    // given knee softness when clipping is on, otherwise full range.
    void BuildOutputTables(WORD rangeFlags, bool clipping, BYTE softY, BYTE softC);
};

