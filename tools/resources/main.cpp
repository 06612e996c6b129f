// Draws the resource pictures the library loads at run time: the five scope
// backgrounds and the default picture.
//
//   colorcorrect_draw_resources <folder>
//
// writes vector.bmp, waveform.bmp, lightning.bmp, histogram.bmp, vectlight.bmp
// (384 x 288, 24 bits) and COLORNTSC.BMP (720 x 480, 24 bits) into <folder>.
//
// The scopes write only the blue and green bytes of their area, so every
// graticule is drawn in the red channel alone. Coordinates are those of
// CDIBDraw and of the scopes: x the pixel column, y the line in memory order
// (line 0 is the bottom line on screen), so a scope's grid row r lies on
// line top + r and higher values appear higher up on screen.

#include <colorcorrect/colorcorrect.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <numbers>
#include <string>

namespace {

constexpr int kScopeWidth = 384;
constexpr int kScopeHeight = 288;

// Red levels of the graticule: outlines, minor lines, text.
constexpr int kBright = 0xE0;
constexpr int kMedium = 0xA0;
constexpr int kDim = 0x60;

// A picture with a drawing object selected on it.
class Canvas {
public:
    Canvas(int width, int height)
    {
        m_ok = m_dib.Alloc(width, height, 24, 0) != 0 && m_draw.Select(m_dib, 0) != 0;
        m_draw.SetBkMode(colorcorrect::BK_TRANSPARENT);
    }

    bool Ok() const { return m_ok; }
    CVoraDib& Picture() { return m_dib; }

    // Red graticule colour of the given level (0..255).
    void Red(int level) { m_draw.SetColor(static_cast<DWORD>(level & 0xFF), 0); }
    // Any colour, 0x00BBGGRR.
    void Colour(DWORD rgb) { m_draw.SetColor(rgb, 0); }

    void Line(int x1, int y1, int x2, int y2) { m_draw.Draw(x1, y1, x2, y2); }

    // A horizontal or vertical line drawn as dashes of `on` pixels with gaps
    // of `off` pixels.
    void Dashed(int x1, int y1, int x2, int y2, int on = 4, int off = 3)
    {
        const int length = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
        const int dx = x2 > x1 ? 1 : (x2 < x1 ? -1 : 0);
        const int dy = y2 > y1 ? 1 : (y2 < y1 ? -1 : 0);
        for (int s = 0; s <= length; s += on + off) {
            const int e = std::min(s + on - 1, length);
            Line(x1 + dx * s, y1 + dy * s, x1 + dx * e, y1 + dy * e);
        }
    }

    void Rectangle(int x1, int y1, int x2, int y2)
    {
        m_draw.Move(x1, y1);
        m_draw.Line(x2, y1);
        m_draw.Line(x2, y2);
        m_draw.Line(x1, y2);
        m_draw.Line(x1, y1);
    }

    // A filled rectangle: columns x1..x2, lines y1..y2, both included.
    void Fill(int x1, int y1, int x2, int y2)
    {
        for (int y = y1; y <= y2; ++y)
            Line(x1, y, x2, y);
    }

    // A circle of radius r round (cx, cy) as a polygon of 180 sides.
    void Circle(double cx, double cy, double r)
    {
        constexpr int kSides = 180;
        auto at = [&](int i, int& x, int& y) {
            const double a = 2.0 * std::numbers::pi * i / kSides;
            x = static_cast<int>(std::lround(cx + r * std::cos(a)));
            y = static_cast<int>(std::lround(cy + r * std::sin(a)));
        };
        int x, y;
        at(0, x, y);
        m_draw.Move(x, y);
        for (int i = 1; i <= kSides; ++i) {
            at(i, x, y);
            m_draw.Line(x, y);
        }
    }

    // The four corners of a target box of half-size h round (x, y), open in
    // the middle of each side so that a trace through the centre stays
    // visible.
    void Target(int x, int y, int h)
    {
        const int c = std::max(1, h / 2);
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                Line(x + sx * h, y + sy * h, x + sx * (h - c), y + sy * h);
                Line(x + sx * h, y + sy * h, x + sx * h, y + sy * (h - c));
            }
    }

    // Text with its lower-left corner at (x, y): it covers lines y..y+7 and
    // reads upright on screen.
    void Text(int x, int y, const wchar_t* text)
    {
        tagRECT rc{x, y, x, y};
        m_draw.DrawTextW(rc, text, 0);
    }

    // Width of a one-line text in pixels.
    static int TextWidth(const wchar_t* text) { return 6 * static_cast<int>(std::wcslen(text)); }

    // Text centred on (x, y).
    void TextCentred(int x, int y, const wchar_t* text) { Text(x - TextWidth(text) / 2, y - 4, text); }

    bool Save(const std::wstring& path) { return m_ok && m_dib.SaveToFile(path.c_str()) != 0; }

private:
    CVoraDib m_dib;
    CDIBDraw m_draw;
    bool m_ok = false;
};

// ---- colour-bar values ------------------------------------------------------

// 75 % of full scale in 8 bits.
constexpr int kBar75 = 191;

struct Rgb {
    int r, g, b;
};

struct Bar {
    const wchar_t* label;
    Rgb rgb;
};

// The six hue bars of the test pattern, in the pattern's order after the
// grey bar.
const Bar kHueBars[6] = {
    {L"YL", {kBar75, kBar75, 0}}, {L"CY", {0, kBar75, kBar75}}, {L"G", {0, kBar75, 0}},
    {L"MG", {kBar75, 0, kBar75}}, {L"R", {kBar75, 0, 0}},       {L"B", {0, 0, kBar75}},
};

// Y, U, V (U and V signed) of an RGB colour, converted by the library's own
// picture conversion so the targets sit where the scopes put the bars.
struct Yuv {
    int y, u, v;
};

Yuv ToYuv(const Rgb& c)
{
    CVoraDib one;
    if (!one.Alloc(1, 1, 24, 0))
        return {0, 0, 0};
    BYTE* p = one;
    p[0] = static_cast<BYTE>(c.b);
    p[1] = static_cast<BYTE>(c.g);
    p[2] = static_cast<BYTE>(c.r);
    one.ToYUV();
    p = one;
    return {p[0], p[1] - 128, p[2] - 128};
}

// Places a label beside a target at (x, y), away from the point (cx, cy).
void LabelAway(Canvas& c, int x, int y, int cx, int cy, int distance, const wchar_t* text)
{
    const double dx = x - cx, dy = y - cy;
    const double len = std::hypot(dx, dy);
    const double ux = len > 0 ? dx / len : 0.0, uy = len > 0 ? dy / len : 1.0;
    c.TextCentred(static_cast<int>(std::lround(x + ux * distance)),
                  static_cast<int>(std::lround(y + uy * distance)), text);
}

// ---- vector scope -------------------------------------------------------------

// The chroma plane: a 256 x 256 grid at (64, 16), U to the right, V upward,
// the neutral point in the middle.
bool DrawVector(const std::wstring& path)
{
    Canvas c(kScopeWidth, kScopeHeight);
    const int left = (kScopeWidth - 255) / 2, bottom = (kScopeHeight - 255) / 2;
    const int cx = left + 128, cy = bottom + 128;

    // Axes with a tick every 8 chroma units.
    c.Red(kDim);
    c.Line(left + 1, cy, left + 255, cy);
    c.Line(cx, bottom + 1, cx, bottom + 255);
    for (int d = -120; d <= 120; d += 8) {
        const int t = d % 32 == 0 ? 3 : 1;
        c.Line(cx + d, cy - t, cx + d, cy + t);
        c.Line(cx - t, cy + d, cx + t, cy + d);
    }
    // The limit of the chroma range, and 75 % of it.
    c.Red(kMedium);
    c.Circle(cx, cy, 127);
    c.Red(kDim);
    c.Circle(cx, cy, 127 * 0.75);
    // Degree marks every 10 degrees on the outer circle.
    for (int deg = 0; deg < 360; deg += 10) {
        const double a = deg * std::numbers::pi / 180.0;
        const int inner = deg % 30 == 0 ? 119 : 123;
        c.Line(static_cast<int>(std::lround(cx + inner * std::cos(a))),
               static_cast<int>(std::lround(cy + inner * std::sin(a))),
               static_cast<int>(std::lround(cx + 127 * std::cos(a))),
               static_cast<int>(std::lround(cy + 127 * std::sin(a))));
    }
    // The skin-tone line (about 123 degrees from +U).
    const double skin = 123.0 * std::numbers::pi / 180.0;
    c.Red(kMedium);
    c.Line(cx, cy, static_cast<int>(std::lround(cx + 127 * std::cos(skin))),
           static_cast<int>(std::lround(cy + 127 * std::sin(skin))));

    // Targets of the 75 % bars.
    c.Red(kBright);
    for (const Bar& bar : kHueBars) {
        const Yuv p = ToYuv(bar.rgb);
        c.Target(cx + p.u, cy + p.v, 5);
        LabelAway(c, cx + p.u, cy + p.v, cx, cy, 14, bar.label);
    }

    c.Red(kMedium);
    c.Text(left + 255 + 6, cy - 4, L"Cb");
    c.Text(cx + 4, bottom + 255 + 2, L"Cr");
    c.Text(4, 4, L"VECTOR 75%");
    return c.Save(path);
}

// ---- waveform -----------------------------------------------------------------

// Luma against picture column: 360 x 256 at (12, 16), luma 0 at the bottom.
bool DrawWaveform(const std::wstring& path)
{
    Canvas c(kScopeWidth, kScopeHeight);
    const int left = (kScopeWidth - 360) / 2, bottom = (kScopeHeight - 256) / 2;
    const int right = left + 359;

    struct Level {
        int value;
        const wchar_t* label;
        int red;
        bool dashed;
    };
    const Level levels[] = {
        {0, L"0", kBright, false},     {16, L"16", kBright, true},  {64, L"64", kDim, false},
        {128, L"128", kMedium, false}, {192, L"192", kDim, false}, {235, L"235", kBright, true},
        {255, L"255", kBright, false},
    };
    for (const Level& l : levels) {
        c.Red(l.red);
        const int y = bottom + l.value;
        if (l.dashed)
            c.Dashed(left, y, right, y);
        else
            c.Line(left, y, right, y);
        c.Red(kMedium);
        c.Text(left + 2, y + 2, l.label);
    }
    // Minor lines every 32 levels where there is no labelled line.
    c.Red(kDim);
    for (int v = 32; v < 255; v += 64)
        c.Dashed(left, bottom + v, right, bottom + v, 1, 5);
    // Sides and tenths of the width.
    c.Red(kMedium);
    c.Line(left, bottom, left, bottom + 255);
    c.Line(right, bottom, right, bottom + 255);
    for (int i = 0; i <= 10; ++i) {
        const int x = left + (359 * i) / 10;
        c.Line(x, bottom - 1, x, bottom - (i % 5 == 0 ? 6 : 3));
    }
    c.Text(right + 1 - Canvas::TextWidth(L"WAVEFORM Y"), bottom + 255 + 3, L"WAVEFORM Y");
    return c.Save(path);
}

// ---- lightning ----------------------------------------------------------------

// Chroma against luma: 255 x 256 at (64, 16). Grid row 128 + Y/2 holds U
// (upper half, luma rising upward), row 128 - Y/2 holds V (lower half, luma
// rising downward); the column is the chroma value + 127.
bool DrawLightning(const std::wstring& path)
{
    Canvas c(kScopeWidth, kScopeHeight);
    const int left = (kScopeWidth - 255) / 2, bottom = (kScopeHeight - 255) / 2;
    const int cx = left + 127, cy = bottom + 128;

    c.Red(kMedium);
    c.Line(left, cy, left + 254, cy);
    c.Line(cx, bottom + 1, cx, bottom + 255);
    c.Red(kDim);
    c.Rectangle(left, bottom + 1, left + 254, bottom + 255);
    // Legal luma limits on both halves, and chroma ticks every 16 units.
    for (int level : {16, 235}) {
        const int h = (level & ~1) / 2;
        c.Dashed(left, cy + h, left + 254, cy + h, 2, 4);
        c.Dashed(left, cy - h, left + 254, cy - h, 2, 4);
    }
    for (int d = -112; d <= 112; d += 16) {
        c.Line(cx + d, cy - 2, cx + d, cy + 2);
    }

    // Targets of the 75 % bars and of 75 % grey, in both halves; the white
    // point sits at the top and bottom ends of the axis.
    c.Red(kBright);
    for (const Bar& bar : kHueBars) {
        const Yuv p = ToYuv(bar.rgb);
        const int h = (p.y & ~1) / 2;
        c.Target(cx + p.u, cy + h, 4);
        c.Target(cx + p.v, cy - h, 4);
        c.TextCentred(cx + p.u + (p.u < 0 ? -14 : 14), cy + h, bar.label);
        c.TextCentred(cx + p.v + (p.v < 0 ? -14 : 14), cy - h, bar.label);
    }
    const Yuv grey = ToYuv({kBar75, kBar75, kBar75});
    c.Target(cx, cy + (grey.y & ~1) / 2, 3);
    c.Target(cx, cy - (grey.y & ~1) / 2, 3);

    c.Red(kMedium);
    c.Text(4, cy + 60, L"Cb / Y");
    c.Text(4, cy - 68, L"Cr / Y");
    c.Text(4, 4, L"LIGHTNING");
    return c.Save(path);
}

// ---- histogram ----------------------------------------------------------------

// Three charts of 256 columns x 90 lines at x = 64: blue on lines 3..92, green
// on 99..188, red on 195..284; the chart's base line is its lowest line.
bool DrawHistogram(const std::wstring& path)
{
    Canvas c(kScopeWidth, kScopeHeight);
    const int left = (kScopeWidth - 256) / 2;
    const int first = (kScopeHeight - 288) / 2 + 3;
    const wchar_t* names[3] = {L"BLUE", L"GREEN", L"RED"};
    for (int chart = 0; chart < 3; ++chart) {
        const int base = first + chart * 96;
        const int top = base + 89;
        c.Red(kMedium);
        c.Rectangle(left - 1, base - 1, left + 256, top + 1);
        c.Red(kDim);
        for (int value : {64, 128, 192})
            c.Dashed(left + value, base, left + value, top, 1, 3);
        // Legal limits.
        for (int value : {16, 235})
            c.Dashed(left + value, base, left + value, top, 3, 3);
        c.Red(kMedium);
        c.TextCentred(left / 2, base + 45, names[chart]);
        c.Text(left - 8, base - 1, L"0");
        c.Text(left + 258, base - 1, L"255");
    }
    return c.Save(path);
}

// ---- vector and lightning combined ----------------------------------------------

// Four 128 x 128 panels: vector (bottom left), Cb against luma (top left),
// luma against Cr (bottom right) and a 128-column waveform (top right). Grid
// rows 0..127 lie from line 10, rows 128..255 from line 148; columns 0..127
// from x = 42, columns 128..255 from x = 212.
bool DrawVectLight(const std::wstring& path)
{
    Canvas c(kScopeWidth, kScopeHeight);
    const int x0 = (kScopeWidth - 256) / 3, y0 = (kScopeHeight - 256) / 3;
    const int leftX = x0, rightX = 128 + 2 * x0;
    const int lowY = y0, highY = 128 + 2 * y0;

    c.Red(kMedium);
    for (int px : {leftX, rightX})
        for (int py : {lowY, highY})
            c.Rectangle(px - 1, py - 1, px + 128, py + 128);

    // Half-scale chroma positions: (value + 127) >> 1, centre 63.
    auto half = [](int chroma) { return (chroma + 127) >> 1; };

    // Vector panel.
    const int vcx = leftX + 63, vcy = lowY + 63;
    c.Red(kDim);
    c.Line(leftX, vcy, leftX + 127, vcy);
    c.Line(vcx, lowY, vcx, lowY + 127);
    c.Circle(vcx, vcy, 63.5);
    // Cb / luma panel: the Cb axis continues up from the vector panel.
    c.Line(vcx, highY, vcx, highY + 127);
    // Luma / Cr panel: the Cr axis continues right from the vector panel.
    c.Line(rightX, vcy, rightX + 127, vcy);
    // Legal luma limits in the three luma panels.
    for (int level : {16, 235}) {
        const int h = level >> 1;
        c.Dashed(leftX, highY + h, leftX + 127, highY + h, 2, 3);
        c.Dashed(rightX + h, lowY, rightX + h, lowY + 127, 2, 3);
        c.Dashed(rightX, highY + h, rightX + 127, highY + h, 2, 3);
    }
    // Waveform levels.
    for (int level : {64, 128, 192})
        c.Dashed(rightX, highY + (level >> 1), rightX + 127, highY + (level >> 1), 1, 4);

    c.Red(kBright);
    for (const Bar& bar : kHueBars) {
        const Yuv p = ToYuv(bar.rgb);
        const int u = half(p.u), v = half(p.v), h = p.y >> 1;
        c.Target(leftX + u, lowY + v, 3);
        c.Target(leftX + u, highY + h, 3);
        c.Target(rightX + h, lowY + v, 3);
    }

    c.Red(kMedium);
    c.Text(leftX, highY + 128 + 2, L"Cb / Y");
    c.Text(rightX, highY + 128 + 2, L"WAVEFORM Y");
    c.Text(leftX, 0, L"VECTOR");
    c.Text(rightX, 0, L"Y / Cr");
    return c.Save(path);
}

// ---- the default picture --------------------------------------------------------

// A 720 x 480 colour-bar test pattern: 75 % bars over two thirds of the
// height, a strip of reverse bars, and at the bottom the -I, 100 % white and
// +Q patches, black, and a pluge (black, +4 %, +8 %) on black.
bool DrawColourBars(const std::wstring& path)
{
    constexpr int kWidth = 720, kHeight = 480;
    Canvas c(kWidth, kHeight);
    auto x = [](double bars) { return static_cast<int>(std::lround(bars * kWidth / 7.0)); };
    auto fill = [&](double fromBar, double toBar, int y1, int y2, Rgb rgb) {
        c.Colour(static_cast<DWORD>(rgb.r | rgb.g << 8 | rgb.b << 16));
        c.Fill(x(fromBar), y1, x(toBar) - 1, y2);
    };

    // Lines in memory order: the bottom patches first.
    const int bottomTop = kHeight / 4 - 1;           // lines 0..119
    const int stripTop = bottomTop + kHeight / 12;   // lines 120..159
    const Rgb black{0, 0, 0};
    const Rgb bars[7] = {{kBar75, kBar75, kBar75}, kHueBars[0].rgb, kHueBars[1].rgb,
                         kHueBars[2].rgb,          kHueBars[3].rgb, kHueBars[4].rgb,
                         kHueBars[5].rgb};
    for (int i = 0; i < 7; ++i)
        fill(i, i + 1, stripTop + 1, kHeight - 1, bars[i]);

    // Reverse bars (blue, black, magenta, black, cyan, black, grey): seen
    // through the blue channel alone, each strip matches the bar above it, so
    // chroma and hue can be set by eye.
    const Rgb strip[7] = {bars[6], black, bars[4], black, bars[2], black, bars[0]};
    for (int i = 0; i < 7; ++i)
        fill(i, i + 1, bottomTop + 1, stripTop, strip[i]);

    const Rgb minusI{0, 63, 105};  // the -I hue
    const Rgb white{255, 255, 255};
    const Rgb plusQ{68, 0, 126};   // the +Q hue
    fill(0.0, 1.25, 0, bottomTop, minusI);
    fill(1.25, 2.5, 0, bottomTop, white);
    fill(2.5, 3.75, 0, bottomTop, plusQ);
    fill(3.75, 5.0, 0, bottomTop, black);
    fill(5.0, 5.0 + 1.0 / 3, 0, bottomTop, black);
    fill(5.0 + 1.0 / 3, 5.0 + 2.0 / 3, 0, bottomTop, {10, 10, 10});
    fill(5.0 + 2.0 / 3, 6.0, 0, bottomTop, {20, 20, 20});
    fill(6.0, 7.0, 0, bottomTop, black);
    return c.Save(path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argc > 0 ? argv[0] : "draw_resources");
        return 2;
    }
    std::wstring folder = colorcorrect::WideFromUtf8(argv[1]);
    if (!folder.empty() && folder.back() != L'/')
        folder += L'/';

    struct Job {
        const wchar_t* name;
        bool (*draw)(const std::wstring&);
    };
    const Job jobs[] = {
        {L"vector.bmp", DrawVector},       {L"waveform.bmp", DrawWaveform},
        {L"lightning.bmp", DrawLightning}, {L"histogram.bmp", DrawHistogram},
        {L"vectlight.bmp", DrawVectLight}, {L"COLORNTSC.BMP", DrawColourBars},
    };
    int failures = 0;
    for (const Job& job : jobs) {
        if (!job.draw(folder + job.name)) {
            std::fprintf(stderr, "cannot write %s%ls\n", argv[1], job.name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
