#pragma once
// The host's drawing object: lines and text drawn straight into a picture.
//
// Coordinates: x is the pixel column (0 = left); y is the line in memory order
// (line 0 is the first row in memory, which is the bottom row on screen), so
// drawings coincide with data written by memory line. Text is nevertheless
// drawn upright as seen on screen. Everything is clipped to the picture.

#include <string>
#include <vector>

#include "vora_dib.h"
#include "win_types.h"

namespace colorcorrect {

// DrawTextW format bit: measure the text only (fill in the rectangle).
inline constexpr unsigned int DT_CALCRECT = 1024;
// Background modes of SetBkMode.
inline constexpr int BK_TRANSPARENT = 1; // only the glyphs' pixels are drawn
inline constexpr int BK_OPAQUE = 2;      // each character cell is filled with black first

} // namespace colorcorrect

class CDIBDraw {
public:
    CDIBDraw() = default;
    // Copies the whole state, the selection included: the copy draws on the
    // same picture object.
    CDIBDraw(const CDIBDraw& other) = default;
    CDIBDraw& operator=(const CDIBDraw& other) = default;
    ~CDIBDraw() = default;

    // Selects the picture to draw on: a 24- or 32-bit RGB picture. The picture
    // object is referenced, not copied, and must outlive the selection; every
    // drawing call works on the picture's current content, so the picture may
    // be reassigned while selected (a call that finds it empty or not RGB
    // draws nothing). `mode` is the host's selection mode; every mode selects
    // alike. The current point becomes (0, 0). Returns 1, or 0 (and nothing
    // selected) for an empty or YUV picture.
    int Select(CVoraDib& dib, int mode);
    // Ends the selection; drawing calls then draw nothing.
    void Release();

    // Drawing colour, 0x00BBGGRR, written as the bytes B, G, R; the fourth
    // byte of 32-bit pictures is left as it is. `mode` is the host's colour
    // mode; every mode draws the colour as given. Initially black.
    void SetColor(DWORD rgb, int mode);
    // Text background: colorcorrect::BK_TRANSPARENT (1, initial) or
    // colorcorrect::BK_OPAQUE (2); other values are ignored.
    void SetBkMode(int mode);

    // Sets the current point.
    void Move(int x, int y);
    // Draws from the current point to (x, y), both end points included, then
    // makes (x, y) the current point. The pixels are those of a Bresenham line
    // (along the longer axis one pixel per step; across it the nearest pixel,
    // halves rounded away from the start), clipped without changing them.
    void Line(int x, int y);
    // A line from (x1, y1) to (x2, y2), as Move then Line.
    void Draw(int x1, int y1, int x2, int y2);
    // Drawing is immediate; nothing is left to finish.
    void Flush();
    // Fills the selected picture with black (B, G, R 0, fourth byte 255).
    void Clear();

    // Draws or measures text in the 6 x 8 cell bitmap font; '\n' starts a new
    // line ('\r' is ignored). Characters outside printable ASCII are boxes.
    //  rc      with format bit colorcorrect::DT_CALCRECT (1024): only measured,
    //          rc.right = rc.left + text width and rc.bottom = rc.top + text
    //          height, nothing drawn. Otherwise the text is drawn upright into
    //          rc, which spans columns left..right-1 and lines top..bottom-1:
    //          its first text line at the top on screen (line bottom - 1),
    //          starting at column left, clipped to rc. A measured rectangle
    //          moved into place is filled exactly. An empty rc (right <= left
    //          or bottom <= top) places the text on lines top..top+height-1
    //          from column left without clipping to rc. rc is not changed.
    //  text    null-terminated; null draws nothing and gives 0.
    //  format  only DT_CALCRECT has a meaning.
    // Returns the text height in lines (8 per text line; 0 for "").
    int DrawTextW(tagRECT& rc, const wchar_t* text, unsigned int format);
    // The same for UTF-16 text (surrogate pairs are one character).
    int DrawTextW(tagRECT& rc, const unsigned short* text, unsigned int format);

protected:
    // Measures or draws text already split into lines of code points.
    int DrawLines(tagRECT& rc, const std::vector<std::u32string>& lines, unsigned int format);

    CVoraDib* m_pDib = nullptr;
    DWORD m_dwColor = 0;
    int m_nBkMode = colorcorrect::BK_TRANSPARENT;
    int m_nX = 0;
    int m_nY = 0;
};
