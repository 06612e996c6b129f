#pragma once
// The viewer: the object behind the host's interactive correction view.
//
// It keeps the source picture being corrected and a reference picture to
// match against (each as handed in, prepared as packed YUV, and reduced for
// the scope displays), the current correction, up to 32 saved corrections and
// the state of a running mouse gesture. A worker thread renders the corrected
// full-size preview of the source whenever the correction changes, splits a
// corner of the reference into it and hands it to the host's callback.
//
// Threads: the host calls every public operation from one thread at a time;
// only the preview worker runs beside it. The viewer lock guards what the
// worker reads (the current correction, the full-size pictures, the split,
// the display options and the callback); it is never held while rendering or
// inside the callback.
//
// Where each section of the class is implemented:
//   construction, display options, state       viewer/color_correction_viewer.cpp
//   preview worker                             viewer/preview_worker.cpp
//   gestures                                   viewer/adjust_gestures.cpp (levels, colour,
//                                              hue/saturation, histogram grid),
//                                              viewer/match_gestures.cpp (match vector shape),
//                                              viewer/rotation_gestures.cpp (cube view)
//   source, reference and split,               viewer/picture_preparation.cpp
//   picture preparation
//   correction sets                            viewer/correction_sets.cpp
//   analysis from picked points                analysis/pixel_sampling.cpp, gray_balance.cpp,
//                                              tone_balance.cpp, color_balance.cpp,
//                                              contrast.cpp, viewer_curve_fit.cpp
//   matching and match vectors                 analysis/histo_match.cpp, hue_match.cpp,
//                                              match_regions.cpp, match_vectors.cpp

#include <memory>

#include "../display/color_correction_filter.h"
#include "../display/rt_lut_pack.h"
#include "../engine/band_processor.h"
#include "../host/os_critical_section.h"
#include "../host/os_event.h"
#include "../host/thread.h"
#include "../host/vora_dib.h"
#include "../host/win_types.h"
#include "../records/correction_records.h"

namespace colorcorrect {

// The host's preview callback. Receives each finished preview: a packed YUV
// picture ("@YUV") of the source's size, owned by the worker and valid only
// during the call (the host copies what it wants to keep; it may change the
// picture, the worker restores its format before the next render), and the
// value given to SetPreview. The result is ignored. It runs on the worker
// thread at below-normal priority. An exception it throws ends the worker.
using PreviewCallback = int (*)(CVoraDib& picture, unsigned long value);

// Number of correction sets a viewer keeps.
inline constexpr unsigned int VIEWER_SET_COUNT = 32;
// m_nStartX while no gesture runs.
inline constexpr int VIEWER_NO_GESTURE = 0x7FFFFFFF;
// m_nInlayWidth meaning "half the source's width and height".
inline constexpr int VIEWER_HALF_SIZE = -1;
// How long stopping a preview worker waits for it to end, in milliseconds.
inline constexpr DWORD VIEWER_STOP_WAIT_MS = 1000;
// Colour (0x00BBGGRR) and width in pixels of the frame around the reduced
// reference picture that is split into the displays.
inline constexpr unsigned long VIEWER_INLAY_BORDER_COLOUR = 0xFF8000;
inline constexpr unsigned int VIEWER_INLAY_BORDER = 5;
// The default picture's path relative to the library's folder.
inline constexpr const wchar_t* VIEWER_DEFAULT_PICTURE = L"RESOURCE/COLORNTSC.BMP";

// Waits until no preview worker of any viewer runs any more, for at most
// `timeoutMs` milliseconds (INFINITE waits without limit). A worker that did
// not stop in time when its viewer stopped it (its callback blocked) is left
// to end on its own when the callback returns; a host that unloads the
// library calls this first. Returns WAIT_OBJECT_0 when none runs, else
// WAIT_TIMEOUT.
DWORD WaitForPreviewWorkers(DWORD timeoutMs);

// What a viewer shares with its preview workers (preview_shared_state.h).
struct PreviewSharedState;
struct PreviewSetup;

} // namespace colorcorrect

class CColorCorrectionViewer {
public:
    // Empty pictures, the default correction in the current record, every set
    // and the gesture start record; the filter set up with the default
    // correction and the cube turned to its starting view. No worker runs.
    CColorCorrectionViewer();
    // Stops the worker as SetPreview(nullptr, 0) does (returns after about a
    // second at most), then releases everything.
    ~CColorCorrectionViewer();

    CColorCorrectionViewer(const CColorCorrectionViewer&) = delete;
    CColorCorrectionViewer& operator=(const CColorCorrectionViewer&) = delete;

    // ---- preview worker ------------------------------------------------------

    // Stops a running worker: clears the callback, wakes the worker and waits
    // up to one second for it to end. A worker still inside the callback then
    // is abandoned (never killed): it calls back no more and ends by itself
    // when the callback returns, touching nothing of this viewer. With a
    // non-null pfnCallback, installs it with dwData (handed back with every
    // preview) and starts a new worker, which renders at once. Always 1 (when
    // no thread can be started, no callback stays installed).
    int SetPreview(colorcorrect::PreviewCallback pfnCallback, unsigned long dwData);
    // Makes cc the current correction and wakes the worker. 0, with nothing
    // changed and no render, when cc.dwSize is not 564 or the filter refuses
    // the record (see CBaseColorCorrectionFilter::SetupFilter); 1 otherwise.
    // Corrections handed in during a render cause exactly one further render,
    // with the last of them.
    int SetCorrection(const tagCOLORCORRINFO& cc);

    // ---- display options -------------------------------------------------------

    // Forwards nField to the filter (field of the real-time display). Bit value
    // 2 of nField (0 or 1) also chooses the field the reduced pictures are
    // taken from; when it changes, source and reference are prepared again.
    // Always 1.
    int SetDisplayField(unsigned int nField);
    // Size of the reduced pictures in pixels; nWidth 0xFFFFFFFF (-1) selects
    // half the source's width and height (nHeight is then ignored). Prepares
    // source and reference again. 0, with nothing changed, when either is 0,
    // when a size does not fit a positive int (other than the -1 width), or
    // when width * height * 4 bytes exceed colorcorrect::MAX_PICTURE_BYTES.
    int SetInlaySize(unsigned int nWidth, unsigned int nHeight);
    // The corrected reduced source as an RGB picture in dibDisplay, with the
    // bordered reference split into the corner chosen by SetSplit (scaled to
    // the reduced size), and the scope display of nType in dibReference (see
    // CColorCorrectionFilter::ProcessDisplay: 0 none, 1 vector, 2 waveform,
    // 4 histogram, 5 lightning, 6 3D cube, 7 vector and lightning). With
    // nType 0, dibReference receives the reduced reference picture (RGB)
    // instead; a missing reference is loaded from the default picture for
    // later calls. Loads the default picture as source when there is none.
    // 0 when that fails or the filter refuses the type.
    int GetDisplay(CVoraDib& dibDisplay, CVoraDib& dibReference, unsigned int nType);
    // Width and height of the full-size source in pixels, loading the default
    // picture when there is none. 0, with both outputs 1, when there is no
    // source and the default picture cannot be loaded.
    int GetImageSize(int& nWidth, int& nHeight);
    // The real-time package of the current correction's primary part.
    int GetRTLUT(tagBCC_RTLUTPACK& pack);

    // Forwarding setters: they change the viewer's filter (scope displays) and
    // the settings the next preview is rendered with; none wakes the worker.

    // Brightness of the scope displays' sample counts (see
    // CColorCorrectionFilter::SetVectorIntensity).
    void SetIntensity(int n);
    // Channel view of previews and displays: 0 off, 1 red, 2 green, 3 blue,
    // 4 luma. 0 (no change) for other values.
    int SetChannel(unsigned int n);
    // The six-vector segment the gestures work on: n modulo 6. Always 1.
    int Set6Vector(unsigned int n);
    // The match vector the isolate display and the gestures work on, 0..15.
    // 0 (no change) for larger values.
    int SetIsolateVector(unsigned int n);
    // The isolate display type, 0 (off)..7. 0 (no change) for larger values.
    int SetIsolateType(unsigned int n);
    // Colour of the selected match vector before and after the correction, as
    // 0x00BBGGRR (see CColorCorrectionFilter::GetIsolateColors).
    int GetIsolateColors(unsigned long& a, unsigned long& b);

    // ---- gestures ----
    //
    // Mouse drags over the 384 x 288 displays (y grows downward; the vector
    // display's centre is (192, 144)). Each drag is a Begin when the button
    // goes down, a move for every mouse move and an End when it is released.
    // Begin keeps the start point and a copy of the caller's record; every
    // move recomputes the result from that copy and the total displacement
    // and writes the whole record into cc, which the host then normally hands
    // to SetCorrection. None of them wakes the worker or takes the lock. All
    // drags share one start point: a Begin replaces any other drag's. Results
    // of the record's controls are kept within -255..255 (hue wraps round
    // instead). A move or End while no drag runs returns 0 and leaves cc as
    // it was. cc must be a full record (dwSize 564, checked where said).

    // Cube rotation: remembers the cube's angles and the start point (x, y).
    void BeginRotate(int x, int y);
    // Turns the cube from its angles at BeginRotate about the screen-plane
    // axis perpendicular to the drag, one degree per two pixels of mouse
    // movement. Drags of less than four degrees in all (|dx| + |dy|) leave
    // the last larger turn in place.
    // Nothing without a running rotation.
    void Rotate(int x, int y);
    // Spins the cube from its angles at BeginRotate about the luma axis, one
    // degree per two pixels of horizontal movement; y is not used. Nothing
    // without a running rotation.
    void RotateZ(int x, int y);
    // Ends the rotation (and any other drag: the start point is cleared).
    void EndRotate();
    // The cube's angles in degrees: alpha and gamma -180..180, beta 0..180.
    // A new viewer shows (90, 90, -90).
    void GetAngles(int& alpha, int& beta, int& gamma);
    // Sets the cube's angles in degrees; the cube takes them normalised, and
    // GetAngles then reports them as the cube holds them.
    void SetAngles(int alpha, int beta, int gamma);

    // Coupled adjustment of levels and colour balance. dwTarget: 1 the
    // primary correction (Base), 2 the six-vector segment chosen by
    // Set6Vector, 4 the match vector chosen by SetIsolateVector, 0 or any
    // other single bit accepted but changing nothing. dwValues: the fields
    // to change, bits as follows, where v is the vertical step (a third of
    // the pixels moved up) and u the horizontal one (a third of the pixels
    // moved right):
    //   0x1000 / 0x2000 / 0x4000: luma black / gamma / white of the target
    //     (Base.sY..., Vector6.s...[i], or the match vector's s...) + v;
    //   target 1 only: (u, v) read as a chroma shift (U, V) and turned into
    //     an RGB shift (r, g, b) by the YUV-to-RGB matrix; 0x1 / 0x2 / 0x4:
    //     red black / gamma / white + r; 0x10 / 0x20 / 0x40 the green ones
    //     + g; 0x100 / 0x200 / 0x400 the blue ones + b;
    //   target 4 only: 0x10000: sUOffset + pixels moved right and sVOffset +
    //     pixels moved up (whole pixels).
    // 0 (nothing kept) when cc.dwSize is not 564 or dwTarget has more than
    // one bit set; 1 otherwise.
    int BeginCoupledAdjust(int x, int y, unsigned long dwTarget, unsigned long dwValues,
                           tagCOLORCORRINFO& cc);
    // Writes the start record changed by the drag to (x, y) into cc (all 564
    // bytes; cc's size is not looked at). 0, cc untouched, without a running
    // coupled drag. For target 4 with a match vector that is not in use
    // (at or beyond the start record's Match.dwCount): 0 with cc holding the
    // start record. 1 otherwise.
    int CoupledAdjust(int x, int y, tagCOLORCORRINFO& cc);
    // Makes the last move to (x, y) and ends the drag; 1 (also when that move
    // was refused), or 0, cc untouched, without a running coupled drag.
    int EndCoupledAdjust(int x, int y, tagCOLORCORRINFO& cc);

    // Hue/saturation drag round the vector display's centre. dwTarget as for
    // BeginCoupledAdjust; dwValues: 0x100000 turns the hue by the angle the
    // mouse sweeps round the centre (255 units a half turn; counter-clockwise
    // on screen lowers it; the result wraps round within -255..255),
    // 0x200000 changes the saturation with the ratio of the mouse's distance
    // from the centre to the start's (see GetSatAdjust). 0 (nothing kept)
    // when cc.dwSize is not 564, dwTarget has more than one bit set or
    // dwValues has neither bit; 1 otherwise.
    int BeginHueSatAdjust(int x, int y, unsigned long dwTarget, unsigned long dwValues,
                          tagCOLORCORRINFO& cc);
    // Writes the start record changed by the drag to (x, y) into cc. 0, cc
    // untouched, when cc.dwSize is not 564 or no drag runs. 0 with cc holding
    // the start record when the start point lies within 2 pixels of the
    // centre (no direction to turn from), or for target 4 with a match vector
    // not in use in the start record. 1 otherwise (also for a target other
    // than 1, 2, 4: cc then holds the start record).
    int HueSatAdjust(int x, int y, tagCOLORCORRINFO& cc);
    // Makes the last move to (x, y) (its result ignored) and ends the drag;
    // 1, or 0 with cc untouched when cc.dwSize is not 564 or no drag runs.
    int EndHueSatAdjust(int x, int y, tagCOLORCORRINFO& cc);

    // Drag on the histogram display, a grid of 3 x 3 cells of 128 x 96
    // pixels: rows red, green, blue from the top, columns black, gamma,
    // white from the left. The cell under the start point chooses the
    // primary correction's curve control; a third of the pixels moved right
    // is added to it (vertical movement is ignored). 0 (nothing kept) when
    // cc.dwSize is not 564 or (x, y) lies outside 0..383 x 0..287; 1
    // otherwise.
    int BeginHistAdjust(int x, int y, tagCOLORCORRINFO& cc);
    // Writes the start record changed by the drag to (x, y) into cc; 1. 0, cc
    // untouched, when cc.dwSize is not 564, no drag runs or the start point
    // (another drag's) lies outside the grid.
    int HistAdjust(int x, int y, tagCOLORCORRINFO& cc);
    // Makes the last move to (x, y) and ends the drag; 1, or 0 with cc
    // untouched when cc.dwSize is not 564 or no drag runs.
    int EndHistAdjust(int x, int y, tagCOLORCORRINFO& cc);

    // Shaping the match vector chosen by SetIsolateVector on the vector
    // display. nMode, with d1 half and d2 about half (a multiple of 2) of the
    // pixels moved up:
    //   0 cU, cV at the mouse (relative to the centre, each -127..127);
    //   1 byY + d1 (0..255);
    //   2 cU, cV turned about the centre by the angle the mouse sweeps;
    //   3 distance of (cU, cV) from the centre + d1, direction kept;
    //   4 byHueWidth + d1 (0..255);
    //   5 lower luma edge (byY - byYRange) + d2, upper edge kept;
    //   6 upper luma edge (byY + byYRange) + d2, lower edge kept (<= 255);
    //   7 inner radial edge (distance - bySatWidth) + d2, outer edge kept;
    //   8 outer radial edge (distance + bySatWidth) + d2, inner edge kept.
    // Modes 3, 7 and 8 keep cU, cV of a vector at (0, 0), which has no
    // direction (7 and 8 still change bySatWidth). 0 (nothing kept) when
    // cc.dwSize is not 564, the chosen vector is the background vector 0 or
    // not in use (at or beyond cc.Match.dwCount); 1 otherwise. Any nMode is
    // kept; moves refuse those above 8. In mode 2 a start point within 5
    // pixels of the centre's row or column is moved 5 pixels away from it.
    int BeginMatchAdjust(int x, int y, unsigned int nMode, tagCOLORCORRINFO& cc);
    // Writes the start record with the vector shaped by the drag to (x, y)
    // into cc; 1. 0, cc untouched, when cc.dwSize is not 564, no drag runs,
    // or the chosen vector is 0 or not in use in the start record. 0 with cc
    // holding the start record for a mode above 8. Mode 2 leaves the vector
    // as it started while the mouse is within 1 pixel of the centre.
    int MatchAdjust(int x, int y, tagCOLORCORRINFO& cc);
    // Makes the last move to (x, y) (its result ignored) and ends the drag;
    // 1, or 0 with cc untouched under the first refusals of MatchAdjust.
    int EndMatchAdjust(int x, int y, tagCOLORCORRINFO& cc);

    // ---- source, reference and split ---------------------------------------------

    // Replaces the source with a prepared copy of dib (24- or 32-bit, RGB or
    // packed YUV, premultiplied alpha or not): stored as 24-bit packed YUV
    // with the alpha undone, plus a reduced copy for the displays. 0 when dib
    // is empty or has no size, or a step fails; the source is then empty
    // (except that a failed format conversion leaves the unconverted copy).
    // dib is not changed (it may be the viewer's own source).
    int SetSource(CVoraDib& dib);
    // Replaces the reference likewise, with a reduced RGB copy, the bordered
    // inlay for the displays, and the histogram background of the filter.
    // Results as SetSource; a failed call keeps the previous inlay.
    int SetReference(CVoraDib& dib);
    // Signed size in pixels of the corner of the preview that shows the
    // reference: x > 0 the left edge, x < 0 the right edge; y > 0 the top,
    // y < 0 the bottom; 0 in either shows no reference. Sizes beyond the
    // pictures are cut to them. Takes effect at the next render. Always 1.
    int SetSplit(int x, int y);

    // ---- analysis from picked points ----
    //
    // Each operation computes a correction into the caller's record cc and
    // neither applies it nor hands it to the viewer (pass it to SetCorrection
    // for that). Points are (x, y) in pixels of the full-size pictures, x from
    // the left, y from the top; points outside a picture are moved to its
    // nearest inner pixel. A sample is the average of the 3 x 3 pixels around
    // the point (a single pixel in pictures under 3 pixels wide or high).
    // Every operation returns 0 with cc untouched when cc.dwSize is not 564.
    // Curve fields written are in 1/256 of full scale (white, black) and
    // gamma control values, -255..255 unless said otherwise; 0 is neutral.
    // Where a sample gives no meaningful number (luma 0, e.g. no source
    // picture; equal lumas where two must differ) the affected fields get 0.
    // They run on the host's thread and take no lock: they read the stored
    // pictures and the current correction directly, so SetSource,
    // SetReference and SetCorrection must not run at the same time.

    // Makes the source's sample at (x, y) gray by writing the nine red, green
    // and blue curve fields (all others untouched), cleared first. mode 0:
    // the white fields; 1: the black fields; 2: the gamma fields; 3: white and
    // black fields, each channel's pair equal; above 3: nothing but the
    // clearing. 1 for every mode.
    int GrayBalance_1pt(tagCOLORCORRINFO& cc, int x, int y, unsigned int mode);
    // Makes a dark and a bright gray point neutral: the darker sample (the
    // second point when the lumas are equal) sets the black fields, the other
    // the white fields; gamma fields 0. 1.
    int GrayBalance_2pt(tagCOLORCORRINFO& cc, int x1, int y1, int x2, int y2);
    // Makes three gray points neutral: per channel, black, gamma and white
    // fitted through the three samples ordered by luma (equal lumas keep
    // their argument order). Black and white may reach -256..256 here. 1.
    int GrayBalance_3pt(tagCOLORCORRINFO& cc, int x1, int y1, int x2, int y2, int x3, int y3);
    // Makes the source point (xs, ys) take the colour of the reference point
    // (xr, yr) by writing the nine curve fields, cleared first. mode 0: the
    // white fields, from the chroma difference (source minus reference) with
    // each sample's chroma scaled to full luma; 2: the gamma fields, from
    // both colours at mid luma; 3: white and black fields, each channel's
    // pair equal, from the difference at mid luma; 1 and above 3: nothing
    // but the clearing. 0 (cc untouched) when there is no source or no
    // reference picture; 1 otherwise.
    int ToneBalance_1pt(tagCOLORCORRINFO& cc, int xs, int ys, int xr, int yr, unsigned int mode);
    // Copies the current correction into cc and changes its red, green and
    // blue curves so that the source point (xs, ys) takes the colour of the
    // reference point (xr, yr), while each curve keeps its present effect at
    // the two of the levels 42, 128, 213 farthest from the reference's luma.
    // 0 (cc untouched) without a source or reference picture; 1 otherwise.
    int ColorBalance_1pt(tagCOLORCORRINFO& cc, int xs, int ys, int xr, int yr);
    // Copies the current correction into cc and fits its red, green and blue
    // curves so that the three source points (xs[i], ys[i]) take the colours
    // of the three reference points (xr[i], yr[i]), i = 0..2. Each pointer
    // must address three ints. 0 (cc untouched) without a source or
    // reference picture or with a null pointer; 1 otherwise.
    int ColorBalance_3pt(tagCOLORCORRINFO& cc, int* const xs, int* const ys, int* const xr,
                         int* const yr);
    // Stretches the luma between the darker and the brighter of two source
    // points (the second is the darker when their lumas are equal): writes
    // only cc.Base.sYBlack and cc.Base.sYWhite, for the video or full luma
    // range as the current correction's RANGE_VIDEO_LUMA flag says. Both 0
    // when the lumas are equal. 1.
    int Contrast(tagCOLORCORRINFO& cc, int x1, int y1, int x2, int y2);

    // ---- correction sets ---------------------------------------------------------------

    // Saves the current correction and returns its slot (0..31). Once all 32
    // slots are used, saves go round: the 33rd overwrites slot 0, and so on.
    unsigned int DefineSet();
    // Removes set nSet, moving the later ones down. 0 (nothing changed) when
    // nSet is not a set in use.
    int DeleteSet(unsigned int nSet);
    // Number of sets in use, 0..32.
    unsigned int QueryNSet();
    // Copies set nSet into cc and returns 1; for a set not in use copies the
    // current correction into cc and returns 0.
    int GetSet(unsigned int nSet, tagCOLORCORRINFO& cc);
    // Empties the list.
    void ClearListSet();

    // ---- matching and match vectors ----
    //
    // Regions are tagRECT (left, top, right exclusive, bottom exclusive) in
    // pixels of the full-size pictures, rows counted from the top.

    // Sets the red, green and blue curves of cc so that the value histograms
    // of the source region land on those of the reference region. prcReference
    // is the region of the reference picture, prcSource that of the source;
    // null means the whole picture. Regions are cut to the picture; each must
    // keep at least 10 x 10 pixels. The source is compared as the current
    // correction's hue rotation turns it (cc's hue then gets that rotation).
    // cc becomes the default correction (clipping settings kept) with only
    // CC_PRIMARY active, plus the matched fields. 0, with cc untouched, when
    // cc.dwSize is not 564, a picture is missing or memory cannot be had; 0,
    // with cc already reset, for a region below 10 x 10 (a debug line is
    // printed then). 1 otherwise.
    int HistoMatch(tagCOLORCORRINFO& cc, tagRECT* prcReference, tagRECT* prcSource);
    // Sets cc's hue rotation (Base.sHue, 256 = 180 degrees) so that the hues
    // of the source region land on those of the reference region (only
    // pixels with a chroma radius above 10 count; none gives 0). Regions,
    // reset and results as HistoMatch.
    int HueMatch(tagCOLORCORRINFO& cc, tagRECT* prcReference, tagRECT* prcSource);
    // Fills the selection fields of mv (byY, byYRange, cU, cV, byHueWidth,
    // bySatWidth) so that it selects the colours of the source rectangle rc
    // as the current correction (without match vectors and clipping) shows
    // them. Reads mv's byHueSoft and bySatSoft; other fields stay. A click
    // (a rectangle under 3 pixels wide or high) is widened to 3 pixels around
    // it; the rectangle is then brought inside the picture (edges at most
    // width - 1 and height - 1). 0, mv untouched, without a source, for a
    // null rc or when the rectangle collapses to a line; else 1.
    int GetMatchVector(tagMATCHVECTOR& mv, tagRECT* rc);
    // Widens mv's selection (luma window, hue wedge, saturation ring) so that
    // it also covers the colours GetMatchVector finds in rc. 0, mv untouched,
    // when that analysis fails; else 1.
    int AddToMatchVector(tagMATCHVECTOR& mv, tagRECT* rc);
    // Sets mv's correction (sWhite, sGamma, sBlack, sHue, sSat, sUOffset,
    // sVOffset) so that its colour (byY, cU, cV) is carried to the average
    // colour of the reference rectangle rc (prepared as in GetMatchVector; a
    // rectangle that collapses samples a 3 x 3 point instead). 0, mv
    // untouched, without a reference or for a null rc; else 1.
    int SetMatchVectorTo(tagMATCHVECTOR& mv, tagRECT* rc);
    // The 3 x 3 average at (x, y) (column, row from the top; clamped into the
    // picture) of the reference (bReference nonzero) or the source: Y 0..255,
    // U and V -128..127. 0, outputs untouched, when the picture is missing;
    // 0 with all three 0 when it is not YUV.
    int GetPixelAveragedYUV(int x, int y, int& Y, int& U, int& V, int bReference);
    // As GetPixelAveragedYUV, converted to R, G, B with the fixed-point rule
    // over 512, rounded to nearest and not limited (values may lie outside
    // 0..255).
    int GetPixelAveragedRGB(int x, int y, int& R, int& G, int& B, int bReference);

protected:
    // ---- picture preparation ---------------------------------------------------

    // Copies dib into stored and brings the copy to 24-bit packed YUV with
    // premultiplied alpha undone (before the alpha byte is dropped). 0 when
    // the copy or the change to 24 bits fails; stored then keeps what it got.
    static int PreparePicture(CVoraDib& stored, const CVoraDib& dib);

    // Reduced packed YUV copy of dibSrc into dibDst: the size of
    // SetInlaySize, half size by default; when the height shrinks, one field
    // (every second memory row, the field of SetDisplayField and dibSrc's
    // field order) is taken before scaling. 0 (dibDst empty) when dibSrc is
    // not a packed YUV picture or a step fails. dibDst must not be dibSrc.
    int GetQuartYUV(CVoraDib& dibDst, const CVoraDib& dibSrc);
    // As GetQuartYUV, then converted to RGB (compression 0) in place.
    int GetQuartRGB(CVoraDib& dibDst, const CVoraDib& dibSrc);
    // Undoes premultiplied alpha of a 32-bit packed YUV picture in place and
    // clears its flag. 1, unchanged, for a picture not marked premultiplied
    // or not 32-bit; 0 for a marked 32-bit picture that is not YUV, or none.
    static int UnPremultiply(CVoraDib& dib);
    // Paints the outer nBorder pixels of every edge with the low three bytes
    // of dwColour (lowest byte into byte 0; 0x00BBGGRR for RGB pictures);
    // the fourth byte of 32-bit pixels is kept. nBorder is cut to less than
    // half the width and half the height. 0 for an empty picture.
    static int AddBorder(CVoraDib& dib, unsigned long dwColour, unsigned int nBorder);
    // Copies bytes 0..2 of the corner of dibRef chosen by (x, y) (see
    // SetSplit) over the same corner of dibDst; each picture's corner is
    // measured from its own edges. 1 with nothing copied when x or y is 0; 0
    // when a picture is empty or their compressions differ. dibDst and dibRef
    // may be the same picture.
    static int AddSplit(CVoraDib& dibDst, CVoraDib& dibRef, int x, int y);
    // Loads the default picture from beside the library as source (0) or
    // reference (nonzero). 0 when it cannot be loaded or prepared.
    int GetDefaultBMP(int bReference);

    // ---- gestures ----

    // Saturation step of the hue/saturation drag for r, the ratio of the
    // mouse's current to its start distance from the vector display's centre
    // (1.0: no change). Inward (r < 1) lowers the saturation linearly, 255
    // per whole ratio, down to -255 at the centre; outward raises it along
    // the inverse of 128 * (e^p + p - 1), about half the linear amount for
    // small drags and less and less for larger ones, up to 255 (1.0 gives 0,
    // 0.5 gives -127, 2.0 gives 101, 3.0 gives 166). A ratio that is not a
    // number gives 0.
    static int GetSatAdjust(double r);

    // ---- preview worker ------------------------------------------------------------

    // Makes cc the current correction and publishes with it a copy of
    // m_filter's tables, just set up from cc, for the worker to adopt (none
    // when the copy cannot be made: the worker then sets up its own). Takes
    // the lock; the copy is made outside it.
    void PublishSetup(const tagCOLORCORRINFO& cc);

    // The worker thread's start routine; p is the worker's start block, which
    // it takes over. Returns the worker's exit code.
    static unsigned long PreviewStart(void* p);
    // The worker's loop (see preview_worker.cpp). Returns 0.
    static unsigned long Preview(std::shared_ptr<colorcorrect::PreviewSharedState> shared,
                                 unsigned long generation);

    // ---- matching and match vectors ----

    // Common start of HistoMatch and HueMatch: checks cc and the pictures (0,
    // cc untouched), cuts both regions to their pictures and checks their
    // size (0 with cc reset by ResetForMatch), and copies them out of the
    // pictures into dibReference and dibSource (0, cc untouched, when there is
    // no memory for them). On success cc is untouched: the match resets it
    // only once its result is certain, so that a failure on the way (no
    // memory) leaves the caller's record as it was.
    int CutMatchRegions(tagCOLORCORRINFO& cc, const tagRECT* prcReference,
                        const tagRECT* prcSource, CVoraDib& dibReference, CVoraDib& dibSource);
    // The record a match starts from: the default with CC_PRIMARY.
    static void ResetForMatch(tagCOLORCORRINFO& cc);
    // Cuts *prc (null: the whole picture) to a picture of width x height into
    // rc. 0, printing the minimum-size debug line when debugging is on, when
    // fewer than 10 x 10 pixels are left.
    static int CutMatchRegion(const tagRECT* prc, int width, int height, tagRECT& rc);
    // Brings a match vector rectangle into a picture of width x height: edges
    // put in order, a width or height under 3 widened to 3 around its first
    // edge, moved inside when that starts before column (row) 0, each edge
    // limited to 0..width-1 (0..height-1). 0 when the result is a line.
    static int PrepareMatchRect(tagRECT& rc, int width, int height);

    // Prepares the stored source and reference again (after a change of field
    // or reduced size).
    void PrepareAgain();

    // ---- analysis from picked points ----

    // Samples dib (a copy: the caller's picture stays untouched) at (x, y):
    // Y 0..255 and U, V -128..127, each the truncated average of the 3 x 3
    // window around the point, the point clamped so the window lies inside;
    // a picture under 3 pixels wide or high gives the single pixel at the
    // clamped point. Y, U, V are 0 and the result 0 when dib is empty, has
    // no size or is not a packed YUV picture; 1 otherwise.
    static int GetPixelAveraged(CVoraDib dib, int x, int y, int& Y, int& U, int& V);
    // See colorcorrect::FitChannelCurve.
    static void FitChannelCurve(int c0, int c1, int c2, int d0, int d1, int d2, int& black,
                                int& gamma, int& white);
    // See colorcorrect::ApplyChannelCurve.
    static int ApplyChannelCurve(int c, int black, int gamma, int white);

    // ---- state ----------------------------------------------------------------------

    CVoraDib m_dibSource;         // full-size source: 24-bit packed YUV, alpha undone; guarded by the lock
    CVoraDib m_dibSourceQuart;    // reduced source, packed YUV: input of the displays
    CVoraDib m_dibReference;      // full-size reference, as the source; guarded by the lock
    CVoraDib m_dibReferenceQuart; // reduced reference, RGB
    CVoraDib m_dibReferenceInlay; // reduced reference, 24-bit RGB, with an orange border
    int m_nAngles[3];             // cube angles alpha, beta, gamma in degrees
    int m_nAnglesStart[3];        // cube angles when a rotation gesture began
    int m_nStartX, m_nStartY;     // start point of the running gesture; VIEWER_NO_GESTURE in m_nStartX: none
    int m_nSplitX, m_nSplitY;     // signed size of the split corner in source pixels; guarded by the lock
    unsigned int m_nField;        // field (0, 1) the reduced pictures are taken from
    int m_nInlayWidth, m_nInlayHeight; // size of the reduced pictures; width VIEWER_HALF_SIZE: half size
    unsigned int m_nChannel;      // channel view 0..4; guarded by the lock
    unsigned int m_n6Vector;      // six-vector segment of the gestures, 0..5
    unsigned int m_nIsolateVector; // selected match vector 0..15; guarded by the lock
    unsigned int m_nIsolateType;  // isolate display type 0..7; guarded by the lock
    unsigned int m_dwMatchMode;   // mode of the running match-vector gesture
    tagCOLORCORRINFO m_ccStart;   // correction when the running gesture began
    tagCOLORCORRINFO m_ccCurrent; // current correction; guarded by the lock
    tagCOLORCORRINFO m_ccSets[colorcorrect::VIEWER_SET_COUNT]; // saved corrections
    unsigned int m_nSets;         // sets in use below 32; from 32 on 32 + the slot the next save takes
    unsigned long m_dwAdjustFlags;  // values the running adjustment gesture changes, 0 = none
    unsigned long m_dwAdjustTarget; // target of the running adjustment gesture
    colorcorrect::PreviewCallback m_pfnPreview; // host callback, null = none; guarded by the lock
    unsigned long m_dwPreviewData; // value handed to the callback; guarded by the lock
    // Lock, wake-up event and worker bookkeeping, kept apart from the viewer so
    // that a worker that outlives it (abandoned in its callback) still finds them.
    std::shared_ptr<colorcorrect::PreviewSharedState> m_pShared;
    COSCriticalSection& m_csLock; // the viewer lock (lives in m_pShared)
    COSEvent& m_evPreview;        // the worker's manual-reset wake-up event (lives in m_pShared)
    CThread* m_pThread;           // the running worker's thread object, or null
    // Threads that share the per-pair work of m_filter's set-ups, made at
    // the first correction (null when they could not be had); host thread
    // only. Declared first, so that it outlives the filter that uses it.
    std::unique_ptr<colorcorrect::BandProcessor> m_pSetupBands;
    CColorCorrectionFilter m_filter; // the viewer's own filter: host thread only
    // The tables m_filter was last set up with, for the worker to adopt, or
    // null; guarded by the lock (the block itself never changes).
    std::shared_ptr<const colorcorrect::PreviewSetup> m_pSetup;
    // Count the changes of m_dibSource and m_dibReference, so that the worker
    // copies a picture only when it changed; guarded by the lock.
    unsigned long m_nSourceVersion;
    unsigned long m_nReferenceVersion;
};
