// A sequence of picture and drawing operations with arbitrary arguments on
// three pictures: Alloc, AllocYUV, Realloc, SetDIB (from another picture, from
// the picture itself, from a made-up header), GetDIB, ToYUV, copies, Free,
// writes into a picture's header and resizing of its block behind its back,
// and CDIBDraw selection, lines, clearing and text.
//
// After every operation each picture must be consistent (support/fuzz_check.h)
// and the operation must have kept its promises, checked against direct
// computations: a refused operation leaves the picture as it was and is
// refused exactly when its arguments are not acceptable; a successful one
// gives the size, format, flags and pixels it describes; lines are exactly
// the pixels of a naive Bresenham line; text changes nothing outside its
// rectangle.

#include <colorcorrect/colorcorrect.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "colorcorrect/host/bitmap_font.h"
#include "support/fuzz_check.h"
#include "support/fuzz_pick.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

constexpr int kPictures = 3;
constexpr int kMaxOperations = 40;
// Largest made-up source for SetDIB, header included, in bytes.
constexpr size_t kMaxRawSource = 64 * 1024;
// Scaled results are compared with a direct area average while the work
// (destination pixels times source pixels) stays below this.
constexpr uint64_t kMaxReferenceWork = 400000;
// Lines are compared with the naive line while it has at most this many steps.
constexpr int64_t kMaxReferenceSteps = 4096;

// Names for the trace that COLORCORRECT_FUZZ_TRACE=1 prints (to check what a
// seed does).
const char* const kOperationNames[] = {
    "Alloc", "AllocYUV", "Realloc", "SetDIB(picture)", "SetDIB(header)", "GetDIB", "ToYUV",
    "copy", "move", "Free", "poke header", "resize block", "fill", "Select", "line", "Clear",
    "DrawTextW", "limit blocks"};

enum Operation {
    kAlloc,
    kAllocYUV,
    kRealloc,
    kSetDIBFromPicture,
    kSetDIBFromHeader,
    kGetDIB,
    kToYUV,
    kCopy,
    kMove,
    kFree,
    kPokeHeader,
    kResizeBlock,
    kFillPixels,
    kSelect,
    kLine,
    kClear,
    kDrawText,
    kLimitBlocks,
    kLastOperation = kLimitBlocks
};

// Pixels of a picture header as the library's contract describes them,
// computed here independently: what a reader may rely on.
struct Layout {
    bool valid = false;
    int width = 0, height = 0, bits = 0;
    unsigned step = 0;
    uint64_t stride = 0;
    uint32_t offset = 0, compression = 0, fieldOrder = 0;
};

uint64_t Stride64(int64_t width, int bits)
{
    return bits == 24 ? (uint64_t(width) * 3 + 3) & ~uint64_t{3} : uint64_t(width) * 4;
}

// A header SetDIB must accept as a source: positive size, 24 or 32 bits, RGB
// or YUV, pixels after the header and within bfSize bytes, at most 1 GiB.
Layout SourceLayout(const tagDIBINFO* hd)
{
    Layout l;
    if (hd == nullptr)
        return l;
    const tagYUVBMINFOHEADER& bi = hd->bmiHeader;
    if (bi.biWidth <= 0 || bi.biHeight <= 0 || (bi.biBitCount != 24 && bi.biBitCount != 32))
        return l;
    if (bi.biCompression != 0 && bi.biCompression != YUV_COMPRESSION)
        return l;
    const uint64_t stride = Stride64(bi.biWidth, bi.biBitCount);
    if (stride > MAX_PICTURE_BYTES || uint64_t(bi.biHeight) > MAX_PICTURE_BYTES / stride)
        return l;
    if (hd->bfOffBits < sizeof(tagDIBINFO) ||
        uint64_t{hd->bfOffBits} + stride * uint64_t(bi.biHeight) > hd->bfSize)
        return l;
    l.valid = true;
    l.width = bi.biWidth;
    l.height = bi.biHeight;
    l.bits = bi.biBitCount;
    l.step = l.bits == 32 ? 4 : 3;
    l.stride = stride;
    l.offset = hd->bfOffBits;
    l.compression = bi.biCompression;
    l.fieldOrder = bi.dwFieldOrder;
    return l;
}

// A size the library makes pictures of (w, h > 0, 24 or 32 bits, <= 1 GiB).
bool Makeable(int w, int h, int bits)
{
    if (w <= 0 || h <= 0 || (bits != 24 && bits != 32))
        return false;
    const uint64_t stride = Stride64(w, bits);
    return stride <= MAX_PICTURE_BYTES && uint64_t(h) <= MAX_PICTURE_BYTES / stride &&
           PICTURE_PIXEL_OFFSET + stride * uint64_t(h) <= MAX_PICTURE_BYTES;
}

const BYTE* PixelOf(const BYTE* pixels, const Layout& l, int x, int y)
{
    return pixels + uint64_t(y) * l.stride + uint64_t(x) * l.step;
}

Layout PictureLayout(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    Layout l;
    if (hd == nullptr)
        return l;
    l.valid = true;
    l.width = dib.GetWidth();
    l.height = dib.GetHeight();
    l.bits = hd->bmiHeader.biBitCount;
    unsigned line = 0;
    dib.GetIncrements(l.step, line);
    l.stride = line;
    l.offset = hd->bfOffBits;
    l.compression = hd->bmiHeader.biCompression;
    l.fieldOrder = hd->bmiHeader.dwFieldOrder;
    return l;
}

void CheckMade(const CVoraDib& dib, int w, int h, int bits, uint32_t compression, uint32_t flags,
               uint32_t fieldOrder, const char* what)
{
    const tagDIBINFO* hd = dib;
    FUZZ_CHECK(hd != nullptr, "%s succeeded with an empty picture", what);
    FUZZ_CHECK(dib.GetWidth() == w && dib.GetHeight() == h && hd->bmiHeader.biBitCount == bits,
               "%s: %d x %d x %u, asked for %d x %d x %d", what, dib.GetWidth(), dib.GetHeight(),
               hd->bmiHeader.biBitCount, w, h, bits);
    FUZZ_CHECK(hd->bmiHeader.biCompression == compression && hd->bmiHeader.dwFlags == flags &&
                   hd->bmiHeader.dwFieldOrder == fieldOrder,
               "%s: compression 0x%x flags 0x%x field order %u, expected 0x%x, 0x%x, %u", what,
               hd->bmiHeader.biCompression, hd->bmiHeader.dwFlags, hd->bmiHeader.dwFieldOrder,
               compression, flags, fieldOrder);
}

// Set once an input has limited the memory blocks pictures may take: from then
// on any operation that allocates may fail, and must then leave its picture as
// it was.
bool g_blocksLimited = false;

struct State {
    CVoraDib pictures[kPictures];
    CDIBDraw draw;
    int selected = -1; // picture the drawing object was last given, or -1
    int64_t x = 0, y = 0; // the drawing object's current point
    uint32_t colour = 0;  // its colour, 0x00BBGGRR
};

// ---- making pictures ---------------------------------------------------------

void DoAlloc(CVoraDib& dib, FuzzedDataProvider& in, bool yuv)
{
    const int w = PickDimension(in), h = PickDimension(in), bits = PickBits(in);
    const unsigned long flags = PickFlags(in);
    if (TooLargeToTry(w, h, bits))
        return;
    const char* what = yuv ? "AllocYUV" : "Alloc";
    const std::vector<BYTE> before = BlockBytes(dib);
    const int ok = yuv ? dib.AllocYUV(w, h, bits, flags) : dib.Alloc(w, h, bits, flags);
    FUZZ_CHECK(ok == (Makeable(w, h, bits) ? 1 : 0) || (ok == 0 && g_blocksLimited),
               "%s(%d, %d, %d) returned %d", what, w, h,
               bits, ok);
    if (ok == 0) {
        CheckUnchanged(dib, before, what);
        return;
    }
    CheckMade(dib, w, h, bits, yuv ? YUV_COMPRESSION : 0, static_cast<uint32_t>(flags), 0, what);
    const BYTE expected[4] = {0, BYTE(yuv ? 128 : 0), BYTE(yuv ? 128 : 0), 255};
    const Layout l = PictureLayout(dib);
    const BYTE* pixels = dib;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const BYTE* p = PixelOf(pixels, l, x, y);
            FUZZ_CHECK(std::memcmp(p, expected, l.step) == 0, "%s: pixel x %d row %d is %u %u %u",
                       what, x, y, p[0], p[1], p[2]);
        }
}

// The area average of source channel c over destination pixel (dx, dy),
// rounded half up: source pixel i spans [i * dw, (i + 1) * dw) and destination
// pixel d spans [d * sw, (d + 1) * sw) on a common axis.
unsigned AreaAverage(const std::vector<BYTE>& src, const Layout& s, int dw, int dh, int dx, int dy,
                     unsigned c)
{
    auto overlap = [](uint64_t i, uint64_t d, uint64_t srcLen, uint64_t dstLen) -> uint64_t {
        const uint64_t a = std::max(i * dstLen, d * srcLen);
        const uint64_t b = std::min((i + 1) * dstLen, (d + 1) * srcLen);
        return b > a ? b - a : 0;
    };
    const uint64_t x0 = uint64_t(dx) * s.width / dw, x1 = (uint64_t(dx) + 1) * s.width / dw;
    const uint64_t y0 = uint64_t(dy) * s.height / dh, y1 = (uint64_t(dy) + 1) * s.height / dh;
    uint64_t sum = 0;
    for (uint64_t y = y0; y <= y1 && y < uint64_t(s.height); ++y) {
        const uint64_t oy = overlap(y, dy, s.height, dh);
        for (uint64_t x = x0; x <= x1 && x < uint64_t(s.width); ++x)
            sum += oy * overlap(x, dx, s.width, dw) *
                   PixelOf(src.data() + s.offset, s, int(x), int(y))[c];
    }
    const uint64_t total = uint64_t(s.width) * uint64_t(s.height);
    return unsigned((sum + total / 2) / total);
}

// SetDIB from `src`, or Realloc when `self` (which is SetDIB from the
// picture's own header).
void DoSetDIB(CVoraDib& dib, const tagDIBINFO* src, FuzzedDataProvider& in, bool realloc)
{
    int w = 0, h = 0;
    if (in.ConsumeBool()) {
        w = PickDimension(in);
        h = PickDimension(in);
    }
    const int bits = PickBits(in);
    const unsigned long flags = PickFlags(in);
    if (TooLargeToTry(w, h, bits))
        return;
    const char* what = realloc ? "Realloc" : "SetDIB";
    const Layout s = SourceLayout(src);
    // The source's bytes as they are now: it may be this picture's own block.
    std::vector<BYTE> source;
    if (s.valid) {
        const BYTE* p = reinterpret_cast<const BYTE*>(src);
        source.assign(p, p + s.offset + s.stride * uint64_t(s.height));
    }
    const bool keepSize = w == 0 && h == 0;
    const int dw = keepSize ? s.width : w, dh = keepSize ? s.height : h;
    const bool acceptable = s.valid && Makeable(dw, dh, bits);
    const std::vector<BYTE> before = BlockBytes(dib);
    const int ok = realloc ? dib.Realloc(w, h, bits, flags) : dib.SetDIB(src, w, h, bits, flags);
    FUZZ_CHECK(ok == (acceptable ? 1 : 0) || (ok == 0 && g_blocksLimited),
               "%s(%d, %d, %d) returned %d (source %s)", what, w, h,
               bits, ok, s.valid ? "readable" : "not readable");
    if (ok == 0) {
        CheckUnchanged(dib, before, what);
        return;
    }
    CheckMade(dib, dw, dh, bits, s.compression, static_cast<uint32_t>(flags), s.fieldOrder, what);
    const Layout d = PictureLayout(dib);
    const BYTE* pixels = dib;
    const bool direct = uint64_t(dw) * uint64_t(dh) * uint64_t(s.width) * uint64_t(s.height) <=
                        kMaxReferenceWork;
    const bool sameSize = dw == s.width && dh == s.height;
    if (!direct && !sameSize)
        return;
    const unsigned channels = s.step == 4 && d.step == 4 ? 4 : 3;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            const BYTE* p = PixelOf(pixels, d, x, y);
            for (unsigned c = 0; c < d.step; ++c) {
                unsigned expected = 255;
                if (c < channels)
                    expected = sameSize ? PixelOf(source.data() + s.offset, s, x, y)[c]
                                        : AreaAverage(source, s, dw, dh, x, y, c);
                FUZZ_CHECK(p[c] == expected,
                           "%s %d x %d -> %d x %d: pixel x %d row %d byte %u is %u, expected %u",
                           what, s.width, s.height, dw, dh, x, y, c, p[c], expected);
            }
        }
}

// A made-up source: a header with arbitrary fields and pixel bytes, of which
// bfSize (at most the buffer's length) says how many may be read.
void DoSetDIBFromHeader(CVoraDib& dib, FuzzedDataProvider& in)
{
    std::vector<BYTE> buffer(in.ConsumeIntegralInRange<size_t>(sizeof(tagDIBINFO), kMaxRawSource));
    tagDIBINFO hd{};
    hd.bfType = 0x4D42;
    hd.bmiHeader.biSize = 40;
    hd.bmiHeader.biPlanes = 1;
    hd.bmiHeader.biWidth = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 64) : PickDimension(in);
    hd.bmiHeader.biHeight = in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 64) : PickDimension(in);
    hd.bmiHeader.biBitCount = static_cast<uint16_t>(PickBits(in));
    hd.bmiHeader.biCompression = in.ConsumeBool() ? 0
                                 : in.ConsumeBool() ? YUV_COMPRESSION
                                                    : in.ConsumeIntegral<uint32_t>();
    hd.bmiHeader.dwFieldOrder = in.ConsumeIntegral<uint32_t>();
    hd.bfOffBits = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(74, 200)
                                    : in.ConsumeIntegral<uint32_t>();
    // Packed fields: copied out, never bound to references.
    const int32_t width = hd.bmiHeader.biWidth, height = hd.bmiHeader.biHeight;
    const uint64_t needed = uint64_t{hd.bfOffBits} +
                            Stride64(std::max(width, 0), hd.bmiHeader.biBitCount) *
                                uint64_t(std::max(height, 0));
    hd.bfSize = in.ConsumeBool() && needed <= buffer.size()
                    ? static_cast<uint32_t>(needed)
                    : in.ConsumeIntegralInRange<uint32_t>(0, static_cast<uint32_t>(buffer.size()));
    const uint8_t seed = in.ConsumeIntegral<uint8_t>();
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = static_cast<BYTE>(i * 7 + seed + (i >> 8));
    std::memcpy(buffer.data(), &hd, sizeof hd);
    DoSetDIB(dib, reinterpret_cast<const tagDIBINFO*>(buffer.data()), in, false);
}

void DoGetDIB(State& st, int from, int to, FuzzedDataProvider& in)
{
    const CVoraDib& src = st.pictures[from];
    const int x = PickCoordinate(in), y = PickCoordinate(in);
    const int w = PickCoordinate(in), h = PickCoordinate(in);
    CVoraDib part = src.GetDIB(x, y, w, h);
    CheckPicture(part);
    const Layout s = PictureLayout(src);
    const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
    const int64_t x1 = std::min<int64_t>(int64_t{x} + w, s.width);
    const int64_t y1 = std::min<int64_t>(int64_t{y} + h, s.height);
    const bool some = s.valid && w > 0 && h > 0 && x1 > x0 && y1 > y0;
    const tagDIBINFO* hd = part;
    FUZZ_CHECK((hd != nullptr) == some || (hd == nullptr && g_blocksLimited),
               "GetDIB(%d, %d, %d, %d) of %d x %d: %s", x, y, w, h,
               s.width, s.height, hd != nullptr ? "a picture" : "empty");
    if (hd != nullptr) {
        const tagDIBINFO* sh = src;
        CheckMade(part, int(x1 - x0), int(y1 - y0), s.bits, s.compression, sh->bmiHeader.dwFlags,
                  s.fieldOrder, "GetDIB");
        const Layout p = PictureLayout(part);
        const BYTE* pp = part;
        const BYTE* sp = src;
        for (int r = 0; r < p.height; ++r)
            for (int c = 0; c < p.width; ++c) {
                // Memory row r of the part is picture row y1 - 1 - r from the top.
                const BYTE* a = PixelOf(pp, p, c, r);
                const BYTE* b = PixelOf(sp, s, int(x0) + c, int(s.height - y1 + r));
                FUZZ_CHECK(std::memcmp(a, b, s.step) == 0,
                           "GetDIB(%d, %d, %d, %d): part pixel %d, %d differs", x, y, w, h, c, r);
            }
    }
    st.pictures[to] = std::move(part);
}

void DoToYUV(CVoraDib& dib)
{
    const Layout l = PictureLayout(dib);
    const std::vector<BYTE> before = BlockBytes(dib);
    const int ok = dib.ToYUV();
    const bool convertible = l.valid && (l.compression == 0 || l.compression == YUV_COMPRESSION);
    FUZZ_CHECK(ok == (convertible ? 1 : 0), "ToYUV returned %d for compression 0x%x", ok,
               l.compression);
    if (ok == 0 || l.compression == YUV_COMPRESSION) {
        CheckUnchanged(dib, before, "ToYUV");
        return;
    }
    const tagDIBINFO* hd = dib;
    FUZZ_CHECK(hd->bmiHeader.biCompression == YUV_COMPRESSION, "ToYUV left compression 0x%x",
               hd->bmiHeader.biCompression);
    const BYTE* pixels = dib;
    auto clamp = [](int v) { return unsigned(std::clamp(v, 0, 255)); };
    auto floorDiv512 = [](int v) { return v >= 0 ? v / 512 : -((-v + 511) / 512); };
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x) {
            const BYTE* old = PixelOf(before.data() + l.offset, l, x, y);
            const BYTE* now = PixelOf(pixels, l, x, y);
            const int b = old[0], g = old[1], r = old[2];
            const unsigned expected[4] = {
                clamp(floorDiv512(153 * r + 301 * g + 58 * b + 256)),
                clamp(floorDiv512(-86 * r - 170 * g + 256 * b + 256) + 128),
                clamp(floorDiv512(256 * r - 214 * g - 42 * b + 256) + 128),
                l.step == 4 ? old[3] : 0u};
            for (unsigned c = 0; c < l.step; ++c)
                FUZZ_CHECK(now[c] == expected[c], "ToYUV of %u %u %u: byte %u is %u, expected %u",
                           b, g, r, c, now[c], expected[c]);
        }
}

// ---- changes behind the picture's back ---------------------------------------

void DoPokeHeader(CVoraDib& dib, FuzzedDataProvider& in)
{
    CPMemory& block = dib.GetMemory();
    BYTE* p = block;
    if (p == nullptr || block.GetSize() < sizeof(tagDIBINFO))
        return;
    // One header field, set to a nearby or an arbitrary value.
    static constexpr struct {
        size_t offset, width;
    } fields[] = {{2, 4}, {10, 4}, {14 + 4, 4}, {14 + 8, 4}, {14 + 14, 2}, {14 + 16, 4},
                  {14 + 52, 4}, {14 + 56, 4}, {0, 2}, {14, 4}, {14 + 12, 2}, {14 + 20, 4}};
    const auto& f = fields[in.ConsumeIntegralInRange<size_t>(0, std::size(fields) - 1)];
    uint32_t value = 0;
    std::memcpy(&value, p + f.offset, f.width);
    if (in.ConsumeBool())
        value += static_cast<uint32_t>(in.ConsumeIntegralInRange(-8, 8));
    else
        value = in.ConsumeIntegral<uint32_t>();
    std::memcpy(p + f.offset, &value, f.width);
}

void DoResizeBlock(CVoraDib& dib, FuzzedDataProvider& in)
{
    CPMemory& block = dib.GetMemory();
    unsigned long size = 0;
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        size = 0xFFFFFFFFul;
        break;
    case 1:
        size = block.GetSize() + static_cast<unsigned long>(in.ConsumeIntegralInRange(-64, 64));
        if (size > kMaxPictureBytes)
            size = 0;
        break;
    default:
        size = in.ConsumeIntegralInRange<unsigned long>(0, kMaxPictureBytes);
        break;
    }
    const std::vector<BYTE> before = BlockBytes(dib);
    const int keep = in.ConsumeBool() ? 1 : 0;
    const int ok = block.Realloc(size, in.ConsumeIntegral<unsigned long>(), keep);
    FUZZ_CHECK(ok == 1 || (ok == 0 && g_blocksLimited), "CPMemory::Realloc(%lu) refused", size);
    const std::vector<BYTE> after = BlockBytes(dib);
    if (ok == 0) {
        FUZZ_CHECK(after == before, "a refused CPMemory::Realloc changed the block");
        return;
    }
    if (size == 0xFFFFFFFFul) {
        FUZZ_CHECK(after == before, "Realloc(0xFFFFFFFF) changed the block");
        return;
    }
    FUZZ_CHECK(after.size() == size, "block of %zu bytes after Realloc(%lu)", after.size(), size);
    const size_t kept = keep != 0 ? std::min(before.size(), after.size()) : 0;
    for (size_t i = 0; i < after.size(); ++i)
        FUZZ_CHECK(after[i] == (i < kept ? before[i] : 0), "block byte %zu is %u after Realloc", i,
                   after[i]);
}

void DoFillPixels(CVoraDib& dib, FuzzedDataProvider& in)
{
    const Layout l = PictureLayout(dib);
    if (!l.valid)
        return;
    BYTE* pixels = dib;
    const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x)
            for (unsigned c = 0; c < l.step; ++c)
                pixels[uint64_t(y) * l.stride + uint64_t(x) * l.step + c] =
                    static_cast<BYTE>(a * (x + 1) + b * (y + 3) + 85 * c + (x ^ y));
}

// ---- drawing -------------------------------------------------------------------

bool Drawable(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    return hd != nullptr && hd->bmiHeader.biCompression == 0;
}

void DoSelect(State& st, int which, FuzzedDataProvider& in)
{
    const int ok = st.draw.Select(st.pictures[which], in.ConsumeIntegral<int>());
    FUZZ_CHECK(ok == (Drawable(st.pictures[which]) ? 1 : 0), "Select returned %d", ok);
    st.selected = ok ? which : -1;
    if (ok) {
        st.x = 0;
        st.y = 0;
    }
    if (in.ConsumeBool()) {
        const uint32_t colour = in.ConsumeIntegral<uint32_t>();
        st.draw.SetColor(colour, in.ConsumeIntegral<int>());
        st.colour = colour & 0x00FFFFFF;
    }
}

// The naive line: n + 1 steps along the longer axis; across it the offset
// floor(i * short / n + 1/2).
void ReferenceLine(std::vector<BYTE>& block, const Layout& l, int64_t x0, int64_t y0, int64_t x1,
                   int64_t y1, uint32_t colour)
{
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t adx = std::abs(dx), ady = std::abs(dy);
    const int64_t n = std::max(adx, ady);
    for (int64_t i = 0; i <= n; ++i) {
        int64_t x = x0, y = y0;
        if (n > 0) {
            if (adx >= ady) {
                x = x0 + (dx < 0 ? -i : i);
                const int64_t k = (2 * ady * i + n) / (2 * n);
                y = y0 + (dy < 0 ? -k : k);
            } else {
                y = y0 + (dy < 0 ? -i : i);
                const int64_t k = (2 * adx * i + n) / (2 * n);
                x = x0 + (dx < 0 ? -k : k);
            }
        }
        if (x < 0 || y < 0 || x >= l.width || y >= l.height)
            continue;
        BYTE* p = block.data() + l.offset + uint64_t(y) * l.stride + uint64_t(x) * l.step;
        p[0] = BYTE(colour >> 16);
        p[1] = BYTE(colour >> 8);
        p[2] = BYTE(colour);
    }
}

// Move, Line or Draw (op 1, 2, 3), or a new colour (op 0).
void DoLine(State& st, FuzzedDataProvider& in)
{
    const int op = in.ConsumeIntegralInRange(0, 3);
    if (op == 0) {
        const uint32_t colour = in.ConsumeIntegral<uint32_t>();
        st.draw.SetColor(colour, in.ConsumeIntegral<int>());
        st.colour = colour & 0x00FFFFFF;
        return;
    }
    const int x1 = PickCoordinate(in), y1 = PickCoordinate(in);
    int x2 = x1, y2 = y1;
    if (op == 1) {
        st.draw.Move(x1, y1);
        st.x = x1;
        st.y = y1;
        return;
    }
    if (op == 3) {
        x2 = PickCoordinate(in);
        y2 = PickCoordinate(in);
    }
    const int64_t fromX = op == 3 ? x1 : st.x, fromY = op == 3 ? y1 : st.y;
    const CVoraDib* target = st.selected >= 0 ? &st.pictures[st.selected] : nullptr;
    const bool check = target != nullptr && Drawable(*target) &&
                       std::max(std::abs(x2 - fromX), std::abs(y2 - fromY)) <= kMaxReferenceSteps;
    std::vector<BYTE> expected;
    Layout l;
    if (check) {
        expected = BlockBytes(*target);
        l = PictureLayout(*target);
        ReferenceLine(expected, l, fromX, fromY, x2, y2, st.colour);
    }
    if (op == 2)
        st.draw.Line(x2, y2);
    else
        st.draw.Draw(x1, y1, x2, y2);
    st.x = x2;
    st.y = y2;
    if (check)
        CheckUnchanged(*target, expected, "line (pixels against the naive line)");
}

void DoClear(State& st)
{
    st.draw.Clear();
    if (st.selected < 0 || !Drawable(st.pictures[st.selected]))
        return;
    const CVoraDib& dib = st.pictures[st.selected];
    const Layout l = PictureLayout(dib);
    const BYTE* pixels = dib;
    const BYTE black[4] = {0, 0, 0, 255};
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x)
            FUZZ_CHECK(std::memcmp(PixelOf(pixels, l, x, y), black, l.step) == 0,
                       "Clear left pixel %d, %d", x, y);
}

void DoDrawText(State& st, FuzzedDataProvider& in)
{
    tagRECT rc{PickCoordinate(in), PickCoordinate(in), PickCoordinate(in), PickCoordinate(in)};
    const unsigned format = in.ConsumeBool() ? DT_CALCRECT : in.ConsumeIntegral<unsigned>();
    if (in.ConsumeBool())
        st.draw.SetBkMode(in.ConsumeIntegralInRange(0, 3));
    // Arbitrary code units, printable ASCII and newlines most of the time.
    const size_t length = in.ConsumeIntegralInRange<size_t>(0, 24);
    std::u16string text16;
    std::wstring text32;
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = 0;
        switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0:
            c = '\n';
            break;
        case 1:
            c = in.ConsumeIntegral<uint16_t>();
            break;
        case 2:
            c = in.ConsumeIntegral<uint32_t>() & 0x7FFFFFFF;
            break;
        default:
            c = in.ConsumeIntegralInRange<uint32_t>(32, 126);
        }
        if (c == 0)
            break;
        text16.push_back(static_cast<char16_t>(c));
        text32.push_back(static_cast<wchar_t>(c));
    }
    const tagRECT given = rc;
    const CVoraDib* target = st.selected >= 0 ? &st.pictures[st.selected] : nullptr;
    const std::vector<BYTE> before = target != nullptr ? BlockBytes(*target) : std::vector<BYTE>();
    const bool utf16 = in.ConsumeBool();
    const int height =
        utf16 ? st.draw.DrawTextW(rc, reinterpret_cast<const unsigned short*>(text16.c_str()), format)
              : st.draw.DrawTextW(rc, text32.c_str(), format);
    FUZZ_CHECK(height >= 0 && height % FONT_CELL_HEIGHT == 0, "text height %d", height);
    if ((format & DT_CALCRECT) != 0) {
        FUZZ_CHECK(rc.left == given.left && rc.top == given.top, "measuring moved the rectangle");
        FUZZ_CHECK(int64_t{rc.bottom} ==
                       std::clamp<int64_t>(int64_t{given.top} + height, INT32_MIN, INT32_MAX),
                   "measured bottom %d for top %d and height %d", rc.bottom, given.top, height);
        if (target != nullptr)
            CheckUnchanged(*target, before, "measuring text");
        return;
    }
    FUZZ_CHECK(std::memcmp(&rc, &given, sizeof rc) == 0, "drawing text changed the rectangle");
    if (target == nullptr || !Drawable(*target))
        return;
    // Nothing outside the text's area changes: the rectangle, or for an empty
    // one, from (left, top) as far as the text reaches.
    tagRECT measured = given;
    if (utf16)
        CDIBDraw().DrawTextW(measured, reinterpret_cast<const unsigned short*>(text16.c_str()),
                             DT_CALCRECT);
    else
        CDIBDraw().DrawTextW(measured, text32.c_str(), DT_CALCRECT);
    const bool clip = given.right > given.left && given.bottom > given.top;
    const int64_t left = given.left, top = given.top;
    const int64_t right = clip ? given.right : measured.right;
    const int64_t bottom = clip ? given.bottom : int64_t{given.top} + height;
    const Layout l = PictureLayout(*target);
    const BYTE* now = *target;
    for (int y = 0; y < l.height; ++y)
        for (int x = 0; x < l.width; ++x) {
            if (x >= left && x < right && y >= top && y < bottom)
                continue;
            FUZZ_CHECK(std::memcmp(PixelOf(now, l, x, y), PixelOf(before.data() + l.offset, l, x, y),
                                   l.step) == 0,
                       "text changed pixel %d, %d outside %lld..%lld x %lld..%lld", x, y,
                       (long long)left, (long long)right, (long long)top, (long long)bottom);
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool trace = std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr;
    FuzzedDataProvider in(data, size);
    State st;
    g_blocksLimited = false;
    SetBlockAllocationBudget(-1);
    for (int n = 0; n < kMaxOperations && in.remaining_bytes() > 0; ++n) {
        const int a = in.ConsumeIntegralInRange(0, kPictures - 1);
        const int b = in.ConsumeIntegralInRange(0, kPictures - 1);
        CVoraDib& dib = st.pictures[a];
        const int operation = in.ConsumeIntegralInRange(0, int(kLastOperation));
        switch (operation) {
        case kAlloc:
            DoAlloc(dib, in, false);
            break;
        case kAllocYUV:
            DoAlloc(dib, in, true);
            break;
        case kRealloc:
            DoSetDIB(dib, static_cast<const tagDIBINFO*>(std::as_const(dib)), in, true);
            break;
        case kSetDIBFromPicture:
            DoSetDIB(dib, static_cast<const tagDIBINFO*>(std::as_const(st.pictures[b])), in, false);
            break;
        case kSetDIBFromHeader:
            DoSetDIBFromHeader(dib, in);
            break;
        case kGetDIB:
            DoGetDIB(st, a, b, in);
            break;
        case kToYUV:
            DoToYUV(dib);
            break;
        case kCopy: {
            const std::vector<BYTE> source = BlockBytes(st.pictures[b]);
            dib = st.pictures[b];
            // A copy that cannot be allocated leaves an empty picture.
            FUZZ_CHECK(BlockBytes(dib) == source || (g_blocksLimited && BlockBytes(dib).empty()),
                       "a copied picture differs");
            break;
        }
        case kMove:
            if (a != b) {
                const std::vector<BYTE> source = BlockBytes(st.pictures[b]);
                dib = std::move(st.pictures[b]);
                FUZZ_CHECK(BlockBytes(dib) == source, "a moved picture differs");
                FUZZ_CHECK(BlockBytes(st.pictures[b]).empty(), "a moved-from picture is not empty");
            }
            break;
        case kFree:
            dib.Free();
            FUZZ_CHECK(BlockBytes(dib).empty(), "Free left a block");
            break;
        case kPokeHeader:
            DoPokeHeader(dib, in);
            break;
        case kResizeBlock:
            DoResizeBlock(dib, in);
            break;
        case kFillPixels:
            DoFillPixels(dib, in);
            break;
        case kSelect:
            DoSelect(st, a, in);
            break;
        case kLine:
            DoLine(st, in);
            break;
        case kClear:
            DoClear(st);
            break;
        case kDrawText:
            DoDrawText(st, in);
            break;
        case kLimitBlocks:
            g_blocksLimited = true;
            SetBlockAllocationBudget(in.ConsumeIntegralInRange(0, 3));
            break;
        }
        for (const CVoraDib& p : st.pictures)
            CheckPicture(p);
        if (trace) {
            std::fprintf(stderr, "%-16s on %d (other %d):", kOperationNames[operation], a, b);
            for (const CVoraDib& p : st.pictures) {
                const tagDIBINFO* hd = p;
                std::fprintf(stderr, "  %dx%dx%d%s", p.GetWidth(), p.GetHeight(),
                             hd ? hd->bmiHeader.biBitCount : 0,
                             hd && hd->bmiHeader.biCompression == YUV_COMPRESSION ? "Y" : "");
            }
            std::fputc('\n', stderr);
        }
    }
    SetBlockAllocationBudget(-1);
    return 0;
}
