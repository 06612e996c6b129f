#include "dib_draw.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "bitmap_font.h"

namespace {

// The selected picture's pixels as found at the time of a drawing call.
struct Canvas {
    BYTE* pixels = nullptr;
    int64_t width = 0;
    int64_t height = 0;
    unsigned step = 0;
    unsigned stride = 0;

    BYTE* At(int64_t x, int64_t y) const
    {
        return pixels + static_cast<uint64_t>(y) * stride + static_cast<uint64_t>(x) * step;
    }
};

bool Drawable(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    return hd != nullptr && hd->bmiHeader.biCompression == 0;
}

bool GetCanvas(CVoraDib* dib, Canvas& canvas)
{
    if (dib == nullptr || !Drawable(*dib))
        return false;
    canvas.pixels = *dib;
    canvas.width = dib->GetWidth();
    canvas.height = dib->GetHeight();
    dib->GetIncrements(canvas.step, canvas.stride);
    return true;
}

void Plot(const Canvas& c, int64_t x, int64_t y, DWORD colour)
{
    BYTE* p = c.At(x, y);
    p[0] = static_cast<BYTE>(colour >> 16);
    p[1] = static_cast<BYTE>(colour >> 8);
    p[2] = static_cast<BYTE>(colour);
}

// Draws the Bresenham line from (x0, y0) to (x1, y1). Step i (0..n) along the
// longer axis moves the shorter one by k(i) = floor(i * shortLen / n + 1/2).
// Only the steps inside the picture are visited: k is monotone, so the first
// and last visible step are found by bisection, which keeps far-away end
// points cheap and the visible pixels exactly those of the whole line.
void DrawSegment(const Canvas& c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, DWORD colour)
{
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t n = xMajor ? adx : ady;
    const int64_t shortLen = xMajor ? ady : adx;
    if (n == 0) {
        if (x0 >= 0 && x0 < c.width && y0 >= 0 && y0 < c.height)
            Plot(c, x0, y0, colour);
        return;
    }
    const int64_t majorStart = xMajor ? x0 : y0, minorStart = xMajor ? y0 : x0;
    const int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const int64_t majorLimit = xMajor ? c.width : c.height;
    const int64_t minorLimit = xMajor ? c.height : c.width;

    auto k = [&](int64_t i) {
        return static_cast<int64_t>((static_cast<__int128>(2 * shortLen) * i + n) /
                                    (static_cast<__int128>(2) * n));
    };
    // Steps whose major coordinate lies inside the picture.
    int64_t lo = majorSign > 0 ? -majorStart : majorStart - (majorLimit - 1);
    int64_t hi = majorSign > 0 ? majorLimit - 1 - majorStart : majorStart;
    lo = std::max<int64_t>(lo, 0);
    hi = std::min<int64_t>(hi, n);
    // Minor offsets inside the picture.
    const int64_t kLo = minorSign > 0 ? -minorStart : minorStart - (minorLimit - 1);
    const int64_t kHi = minorSign > 0 ? minorLimit - 1 - minorStart : minorStart;
    if (lo > hi || k(hi) < kLo || k(lo) > kHi)
        return;
    int64_t a = lo, b = hi; // first step with k >= kLo
    while (a < b) {
        const int64_t m = a + (b - a) / 2;
        if (k(m) >= kLo)
            b = m;
        else
            a = m + 1;
    }
    const int64_t first = a;
    a = lo;
    b = hi; // last step with k <= kHi
    while (a < b) {
        const int64_t m = a + (b - a + 1) / 2;
        if (k(m) <= kHi)
            a = m;
        else
            b = m - 1;
    }
    const int64_t last = a;
    for (int64_t i = first; i <= last; ++i) {
        const int64_t major = majorStart + majorSign * i;
        const int64_t minor = minorStart + minorSign * k(i);
        if (xMajor)
            Plot(c, major, minor, colour);
        else
            Plot(c, minor, major, colour);
    }
}

// Splits text into lines of code points. A final newline does not start an
// empty last line.
template <typename Unit>
std::vector<std::u32string> SplitLines(const Unit* text)
{
    std::vector<std::u32string> lines;
    if (text == nullptr || *text == 0)
        return lines;
    lines.emplace_back();
    for (const Unit* p = text; *p != 0; ++p) {
        char32_t c = static_cast<char32_t>(static_cast<std::make_unsigned_t<Unit>>(*p));
        if (c >= 0xD800 && c <= 0xDBFF) {
            const char32_t next = static_cast<char32_t>(static_cast<std::make_unsigned_t<Unit>>(p[1]));
            if (next >= 0xDC00 && next <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++p;
            }
        }
        if (c == U'\r')
            continue;
        if (c == U'\n') {
            if (p[1] != 0)
                lines.emplace_back();
            continue;
        }
        lines.back().push_back(c);
    }
    return lines;
}

int32_t Saturate(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

int CDIBDraw::Select(CVoraDib& dib, int /*mode*/)
{
    if (!Drawable(dib)) {
        Release();
        return 0;
    }
    m_pDib = &dib;
    m_nX = 0;
    m_nY = 0;
    return 1;
}

void CDIBDraw::Release()
{
    m_pDib = nullptr;
}

void CDIBDraw::SetColor(DWORD rgb, int /*mode*/)
{
    m_dwColor = rgb & 0x00FFFFFFu;
}

void CDIBDraw::SetBkMode(int mode)
{
    if (mode == colorcorrect::BK_TRANSPARENT || mode == colorcorrect::BK_OPAQUE)
        m_nBkMode = mode;
}

void CDIBDraw::Move(int x, int y)
{
    m_nX = x;
    m_nY = y;
}

void CDIBDraw::Line(int x, int y)
{
    Canvas canvas;
    if (GetCanvas(m_pDib, canvas))
        DrawSegment(canvas, m_nX, m_nY, x, y, m_dwColor);
    m_nX = x;
    m_nY = y;
}

void CDIBDraw::Draw(int x1, int y1, int x2, int y2)
{
    Move(x1, y1);
    Line(x2, y2);
}

void CDIBDraw::Flush()
{
}

void CDIBDraw::Clear()
{
    Canvas c;
    if (!GetCanvas(m_pDib, c))
        return;
    for (int64_t y = 0; y < c.height; ++y) {
        BYTE* p = c.At(0, y);
        for (int64_t x = 0; x < c.width; ++x, p += c.step) {
            p[0] = p[1] = p[2] = 0;
            if (c.step == 4)
                p[3] = 255;
        }
    }
}

int CDIBDraw::DrawTextW(tagRECT& rc, const wchar_t* text, unsigned int format)
{
    try {
        return DrawLines(rc, SplitLines(text), format);
    } catch (const std::bad_alloc&) {
        return 0; // text too long to hold as lines: nothing measured or drawn
    }
}

int CDIBDraw::DrawTextW(tagRECT& rc, const unsigned short* text, unsigned int format)
{
    try {
        return DrawLines(rc, SplitLines(text), format);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int CDIBDraw::DrawLines(tagRECT& rc, const std::vector<std::u32string>& lines, unsigned int format)
{
    using colorcorrect::FONT_CELL_HEIGHT;
    using colorcorrect::FONT_CELL_WIDTH;
    size_t longest = 0;
    for (const std::u32string& line : lines)
        longest = std::max(longest, line.size());
    const int64_t width = static_cast<int64_t>(std::min<size_t>(longest, INT32_MAX)) * FONT_CELL_WIDTH;
    const int64_t height = static_cast<int64_t>(std::min<size_t>(lines.size(), INT32_MAX)) * FONT_CELL_HEIGHT;
    const int result = Saturate(height);
    if ((format & colorcorrect::DT_CALCRECT) != 0) {
        rc.right = Saturate(int64_t{rc.left} + width);
        rc.bottom = Saturate(int64_t{rc.top} + height);
        return result;
    }
    Canvas c;
    if (!GetCanvas(m_pDib, c) || lines.empty())
        return result;

    // Visible area: the picture, and the rectangle unless it is empty.
    int64_t xMin = 0, xMax = c.width - 1, yMin = 0, yMax = c.height - 1;
    const bool clipToRect = rc.right > rc.left && rc.bottom > rc.top;
    if (clipToRect) {
        xMin = std::max<int64_t>(xMin, rc.left);
        xMax = std::min<int64_t>(xMax, int64_t{rc.right} - 1);
        yMin = std::max<int64_t>(yMin, rc.top);
        yMax = std::min<int64_t>(yMax, int64_t{rc.bottom} - 1);
    }
    if (xMin > xMax || yMin > yMax)
        return result;
    // Glyph row 0 (the top on screen) lies on the highest memory line.
    const int64_t topLine = clipToRect ? int64_t{rc.bottom} - 1 : int64_t{rc.top} + height - 1;
    const bool opaque = m_nBkMode == colorcorrect::BK_OPAQUE;

    for (size_t l = 0; l < lines.size(); ++l) {
        const int64_t cellTop = topLine - static_cast<int64_t>(l) * FONT_CELL_HEIGHT;
        if (cellTop < yMin)
            break;
        if (cellTop - (FONT_CELL_HEIGHT - 1) > yMax)
            continue;
        const std::u32string& line = lines[l];
        // Only the characters whose cells reach into the visible columns.
        const int64_t left = rc.left;
        const int64_t firstChar = std::max<int64_t>(0, (xMin - left) / FONT_CELL_WIDTH - 1);
        for (size_t j = static_cast<size_t>(firstChar); j < line.size(); ++j) {
            const int64_t cellX = left + static_cast<int64_t>(j) * FONT_CELL_WIDTH;
            if (cellX > xMax)
                break;
            for (int row = 0; row < FONT_CELL_HEIGHT; ++row) {
                const int64_t y = cellTop - row;
                if (y < yMin || y > yMax)
                    continue;
                for (int col = 0; col < FONT_CELL_WIDTH; ++col) {
                    const int64_t x = cellX + col;
                    if (x < xMin || x > xMax)
                        continue;
                    if (colorcorrect::FontPixel(line[j], col, row))
                        Plot(c, x, y, m_dwColor);
                    else if (opaque)
                        Plot(c, x, y, 0);
                }
            }
        }
    }
    return result;
}
