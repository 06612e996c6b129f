// Picture and drawing operations with any arguments on three pictures: every
// picture stays consistent, a refusal happens exactly for unacceptable
// arguments (or limited blocks) and changes nothing, a success gives what was
// asked for.

#include <algorithm>
#include <utility>

#include "colorcorrect/host/bitmap_font.h"
#include "support/fuzz_support.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

uint64_t Stride64(int64_t width, int bits) { return bits == 24 ? (uint64_t(width) * 3 + 3) & ~uint64_t{3} : uint64_t(width) * 4; }

bool Makeable(int w, int h, int bits)
{
    return w > 0 && h > 0 && (bits == 24 || bits == 32) && Stride64(w, bits) <= MAX_PICTURE_BYTES &&
           uint64_t(h) <= (MAX_PICTURE_BYTES - PICTURE_PIXEL_OFFSET) / Stride64(w, bits);
}

// A header SetDIB must take: 24 or 32 bits, RGB or YUV, pixels after the header and within bfSize bytes.
bool Readable(const tagDIBINFO* hd)
{
    const tagYUVBMINFOHEADER& bi = hd->bmiHeader;
    return Makeable(bi.biWidth, bi.biHeight, bi.biBitCount) && (bi.biCompression == 0 || bi.biCompression == YUV_COMPRESSION) &&
           hd->bfOffBits >= sizeof(tagDIBINFO) &&
           uint64_t{hd->bfOffBits} + Stride64(bi.biWidth, bi.biBitCount) * uint64_t(bi.biHeight) <= hd->bfSize;
}

bool IsRgb(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    return hd != nullptr && hd->bmiHeader.biCompression == 0;
}

bool g_limited = false; // block allocations may fail from now on

// 0 Alloc, 1 AllocYUV, 2 SetDIB from src, 3 Realloc (src: the picture's own block).
void DoMake(CVoraDib& dib, const tagDIBINFO* src, FuzzedDataProvider& in, int kind)
{
    const bool sized = kind < 2 || in.ConsumeBool();
    const int w = sized ? PickDimension(in) : 0, h = sized ? PickDimension(in) : 0, bits = PickBits(in);
    const unsigned long flags = PickFlags(in);
    if (TooLargeToTry(w, h, bits))
        return;
    const bool readable = kind < 2 || (src != nullptr && Readable(src));
    const tagDIBINFO s = kind >= 2 && readable ? *src : tagDIBINFO{}; // src may be this picture's own block
    const bool keepSize = kind >= 2 && w == 0 && h == 0;
    const int dw = keepSize ? s.bmiHeader.biWidth : w, dh = keepSize ? s.bmiHeader.biHeight : h;
    const std::vector<BYTE> before = BlockBytes(dib);
    const int ok = kind == 0   ? dib.Alloc(w, h, bits, flags)
                   : kind == 1 ? dib.AllocYUV(w, h, bits, flags)
                   : kind == 2 ? dib.SetDIB(src, w, h, bits, flags)
                               : dib.Realloc(w, h, bits, flags);
    FUZZ_CHECK(ok == (readable && Makeable(dw, dh, bits)) || (ok == 0 && g_limited), "operation %d (%d, %d, %d)", kind, w, h, bits);
    const tagDIBINFO* hd = dib;
    if (ok == 0)
        CheckUnchanged(dib, before, "a refused Alloc, SetDIB or Realloc");
    else
        FUZZ_CHECK(dib.GetWidth() == dw && dib.GetHeight() == dh && hd->bmiHeader.biBitCount == bits &&
                   hd->bmiHeader.biCompression == (kind == 1 ? YUV_COMPRESSION : s.bmiHeader.biCompression) &&
                   hd->bmiHeader.dwFlags == uint32_t(flags) && hd->bmiHeader.dwFieldOrder == s.bmiHeader.dwFieldOrder);
}

// A made-up source: any header, of which bfSize (at most the buffer's length) says how many bytes may be read.
void DoSetDIBFromHeader(CVoraDib& dib, FuzzedDataProvider& in)
{
    const size_t length = in.ConsumeIntegralInRange<size_t>(sizeof(tagDIBINFO), 64 * 1024);
    const std::unique_ptr<BYTE[]> buffer = Pattern(length, in);
    tagDIBINFO hd{0x4D42, 0, 0, 0, 0, MakeHeader(in)};
    hd.bmiHeader.biCompression = in.ConsumeBool() ? 0 : hd.bmiHeader.biCompression;
    hd.bfOffBits = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(74, 200) : in.ConsumeIntegral<uint32_t>();
    const uint64_t needed = hd.bfOffBits + Stride64(std::max<int64_t>(hd.bmiHeader.biWidth, 0), hd.bmiHeader.biBitCount) *
                                               uint64_t(std::abs(int64_t{hd.bmiHeader.biHeight}));
    hd.bfSize = in.ConsumeBool() && needed <= length ? uint32_t(needed) : in.ConsumeIntegralInRange<uint32_t>(0, uint32_t(length));
    std::memcpy(buffer.get(), &hd, sizeof hd);
    DoMake(dib, reinterpret_cast<const tagDIBINFO*>(buffer.get()), in, 2);
}

void DoGetDIB(CVoraDib& to, const CVoraDib& src, FuzzedDataProvider& in)
{
    const int x = PickCoordinate(in), y = PickCoordinate(in), w = PickCoordinate(in), h = PickCoordinate(in);
    CVoraDib part = src.GetDIB(x, y, w, h);
    CheckPicture(part);
    const int64_t pw = std::min<int64_t>(int64_t{x} + w, src.GetWidth()) - std::max(x, 0);
    const int64_t ph = std::min<int64_t>(int64_t{y} + h, src.GetHeight()) - std::max(y, 0);
    const tagDIBINFO* hd = part;
    const tagDIBINFO* sh = src;
    FUZZ_CHECK((hd != nullptr) == (sh != nullptr && w > 0 && h > 0 && pw > 0 && ph > 0) || (!hd && g_limited));
    FUZZ_CHECK(!hd || (part.GetWidth() == pw && part.GetHeight() == ph && !std::memcmp(&hd->bmiHeader.biBitCount, &sh->bmiHeader.biBitCount, 6) &&
                       hd->bmiHeader.dwFlags == sh->bmiHeader.dwFlags)); // bit count and compression
    to = std::move(part);
}

// Kept bytes stay, new ones are zero; a refusal or 0xFFFFFFFF changes nothing.
void DoResizeBlock(CVoraDib& dib, FuzzedDataProvider& in)
{
    const std::vector<BYTE> before = BlockBytes(dib);
    const unsigned long size = in.ConsumeBool() ? 0xFFFFFFFFul : in.ConsumeIntegralInRange<unsigned long>(0, kMaxPictureBytes);
    const int keep = in.ConsumeBool() ? 1 : 0, ok = dib.GetMemory().Realloc(size, in.ConsumeIntegral<unsigned long>(), keep);
    const std::vector<BYTE> after = BlockBytes(dib);
    const size_t kept = ok == 0 || size == 0xFFFFFFFFul ? before.size() : keep != 0 ? std::min(before.size(), after.size()) : 0;
    FUZZ_CHECK((ok == 1 || g_limited) && (ok == 0 || size == 0xFFFFFFFFul ? before.size() : size) == after.size() &&
               std::equal(before.begin(), before.begin() + kept, after.begin()) &&
               std::all_of(after.begin() + kept, after.end(), [](BYTE b) { return b == 0; }), "Realloc(%lu, keep %d)", size, keep);
}

// Measuring fills in the bottom (and right) and draws nothing; drawing keeps the rectangle.
void DoDrawText(CDIBDraw& draw, const CVoraDib* target, FuzzedDataProvider& in)
{
    tagRECT rc{PickCoordinate(in), PickCoordinate(in), PickCoordinate(in), PickCoordinate(in)};
    const tagRECT given = rc;
    const unsigned format = in.ConsumeBool() ? DT_CALCRECT : in.ConsumeIntegral<unsigned>();
    draw.SetBkMode(in.ConsumeIntegralInRange(0, 3));
    std::wstring text; // any code points, printable ASCII and newlines most of the time
    for (size_t i = 0, length = in.ConsumeIntegralInRange<size_t>(0, 24); i < length; ++i)
        text.push_back(in.ConsumeBool() ? in.ConsumeIntegralInRange(1, 126) : in.ConsumeIntegralInRange(1, 0x7FFFFFFF));
    const std::vector<BYTE> before = target != nullptr ? BlockBytes(*target) : std::vector<BYTE>();
    const int height = draw.DrawTextW(rc, text.c_str(), format);
    FUZZ_CHECK(height >= 0 && height % FONT_CELL_HEIGHT == 0 && rc.left == given.left && rc.top == given.top &&
               ((format & DT_CALCRECT) ? int64_t{rc.bottom} == std::clamp<int64_t>(int64_t{given.top} + height, INT32_MIN, INT32_MAX)
                                       : SameBytes(rc, given)));
    FUZZ_CHECK(!(format & DT_CALCRECT) || !target || BlockBytes(*target) == before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CVoraDib pictures[3];
    CDIBDraw draw;
    int selected = -1; // the picture the drawing object was last given
    g_limited = false;
    SetBlockAllocationBudget(-1);
    for (int n = 0; n < 40 && in.remaining_bytes() > 0; ++n) {
        const int a = in.ConsumeIntegralInRange(0, 2), b = in.ConsumeIntegralInRange(0, 2);
        CVoraDib& dib = pictures[a];
        const std::vector<BYTE> before = BlockBytes(dib), other = BlockBytes(pictures[b]);
        const bool rgb = IsRgb(dib);
        const int x1 = PickCoordinate(in), y1 = PickCoordinate(in);
        const int op = in.ConsumeIntegralInRange(0, 15);
        switch (op) {
        case 0:
        case 1: DoMake(dib, nullptr, in, op); break;
        case 2: DoMake(dib, std::as_const(dib), in, 3); break;
        case 3: DoMake(dib, std::as_const(pictures[b]), in, 2); break;
        case 4: DoSetDIBFromHeader(dib, in); break;
        case 5: DoGetDIB(pictures[b], dib, in); break;
        case 6: // RGB pictures become YUV; YUV ones stay as they are
            FUZZ_CHECK(dib.ToYUV() == (rgb || IsYuv(dib)) && (rgb ? IsYuv(dib) : BlockBytes(dib) == before));
            break;
        case 7: // a copy that cannot be allocated leaves an empty picture
            dib = pictures[b];
            FUZZ_CHECK(BlockBytes(dib) == other || (g_limited && BlockBytes(dib).empty()));
            break;
        case 8:
            a != b ? void(dib = std::move(pictures[b])) : dib.Free();
            FUZZ_CHECK(BlockBytes(dib) == (a != b ? other : std::vector<BYTE>()) && BlockBytes(pictures[b]).empty());
            break;
        case 9: // a header field changed behind the picture's back
            if (before.size() >= sizeof(tagDIBINFO))
                static_cast<BYTE*>(dib.GetMemory())[in.ConsumeIntegralInRange<size_t>(0, sizeof(tagDIBINFO) - 1)] ^= in.ConsumeIntegral<uint8_t>();
            break;
        case 10: DoResizeBlock(dib, in); break;
        case 11:
            FUZZ_CHECK(draw.Select(dib, in.ConsumeIntegral<int>()) == rgb);
            selected = rgb ? a : -1;
            draw.SetColor(in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<int>());
            break;
        case 12: {
            const int kind = in.ConsumeIntegralInRange(0, 2), x2 = PickCoordinate(in), y2 = PickCoordinate(in);
            kind == 0 ? draw.Move(x1, y1) : kind == 1 ? draw.Line(x1, y1) : draw.Draw(x1, y1, x2, y2);
            break;
        }
        case 13: // every pixel of the drawn-on RGB picture black and opaque
            draw.Clear();
            for (int y = 0; selected >= 0 && IsRgb(pictures[selected]) && y < pictures[selected].GetHeight(); ++y)
                for (int x = 0; x < pictures[selected].GetWidth(); ++x)
                    FUZZ_CHECK(!std::memcmp(PixelAt(pictures[selected], x, y), "\0\0\0\xff", PixelStep(pictures[selected])));
            break;
        case 14: DoDrawText(draw, selected >= 0 ? &pictures[selected] : nullptr, in); break;
        case 15:
            g_limited = true;
            SetBlockAllocationBudget(in.ConsumeIntegralInRange(0, 3));
            break;
        }
        for (const CVoraDib& p : pictures)
            CheckPicture(p);
    }
    SetBlockAllocationBudget(-1);
    return 0;
}
