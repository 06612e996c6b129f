#include "support/fuzz_support.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace colorcorrect::fuzz {

void Fail(const char* file, int line, const char* condition) { Fail(file, line, condition, "%s", ""); }

void Fail(const char* file, int line, const char* condition, const char* format, ...)
{
    std::fprintf(stderr, "fuzz check failed at %s:%d: %s: ", file, line, condition);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::abort();
}

unsigned PixelStep(const CVoraDib& dib) { return unsigned(PixelAt(dib, 1, 0) - PixelAt(dib, 0, 0)); }
BYTE* PixelAt(const CVoraDib& dib, int x, int y)
{
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    return const_cast<BYTE*>(static_cast<const BYTE*>(dib)) + uint64_t(y) * line + uint64_t(x) * step;
}

bool IsYuv(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    return hd != nullptr && hd->bmiHeader.biCompression == YUV_COMPRESSION;
}

void CheckPicture(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    unsigned step = 99, line = 99;
    dib.GetIncrements(step, line);
    const int w = dib.GetWidth(), h = dib.GetHeight();
    if (hd == nullptr) {
        FUZZ_CHECK(static_cast<const BYTE*>(dib) == nullptr && w == 0 && h == 0 && step == 0 && line == 0);
        return;
    }
    const tagYUVBMINFOHEADER& bi = hd->bmiHeader;
    FUZZ_CHECK(w > 0 && h > 0 && w == bi.biWidth && h == bi.biHeight && (bi.biBitCount == 24 || bi.biBitCount == 32) && step == bi.biBitCount / 8u && line == RowStride(w, bi.biBitCount) && static_cast<const BYTE*>(dib) == reinterpret_cast<const BYTE*>(hd) + hd->bfOffBits && hd->bfOffBits + uint64_t{line} * uint64_t(h) <= dib.GetMemory().GetSize());
    volatile BYTE sink = PixelAt(dib, w - 1, h - 1)[step - 1]; // the address sanitizer sees a block too small
    (void)sink;
}

std::vector<BYTE> BlockBytes(const CVoraDib& dib)
{
    const BYTE* p = dib.GetMemory();
    return p == nullptr ? std::vector<BYTE>() : std::vector<BYTE>(p, p + dib.GetMemory().GetSize());
}

void CheckUnchanged(const CVoraDib& dib, const std::vector<BYTE>& before, const char* operation)
{
    FUZZ_CHECK(BlockBytes(dib) == before, "%s", operation);
}

void CheckSamePixels(const CVoraDib& expected, const CVoraDib& actual, const char* what)
{
    const tagDIBINFO* e = expected;
    const tagDIBINFO* a = actual;
    FUZZ_CHECK((e == nullptr) == (a == nullptr));
    if (e == nullptr)
        return;
    FUZZ_CHECK(std::memcmp(&e->bmiHeader.biWidth, &a->bmiHeader.biWidth, 12) == 0 &&
               e->bmiHeader.biCompression == a->bmiHeader.biCompression, "%s", what); // size, planes and bit count
    for (int y = 0; y < e->bmiHeader.biHeight; ++y)
        FUZZ_CHECK(!std::memcmp(PixelAt(expected, 0, y), PixelAt(actual, 0, y), PixelStep(expected) * e->bmiHeader.biWidth),
                   "%s: memory row %d", what, y);
}

namespace {

// An edge size (0, negatives, the int limits, sizes just past the library's
// limits), any int, or a value in lo..hi.
int PickSized(FuzzedDataProvider& in, int lo, int hi)
{
    constexpr int kEdges[] = {0,       -1,      -2,      INT_MIN, INT_MAX, INT_MAX / 3, INT_MAX / 4, 1 << 14, 1 << 15, 1 << 16,
                              1 << 18, 1 << 20, 1 << 28, 1 << 29, 1 << 30, -65536,      16385,       89478486, 268435456};
    const int kind = in.ConsumeIntegralInRange(0, 7);
    return kind == 0 ? kEdges[in.ConsumeIntegralInRange<size_t>(0, std::size(kEdges) - 1)]
                     : kind == 1 ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(lo, hi);
}

} // namespace

int PickDimension(FuzzedDataProvider& in) { return PickSized(in, 0, 40); }
int PickCoordinate(FuzzedDataProvider& in) { return PickSized(in, -8, 56); }

int PickBits(FuzzedDataProvider& in)
{
    constexpr int kOdd[] = {0, 1, 8, 16, 23, 25, 31, 33, 48, 64, -24, -32, 24 + 65536};
    const int kind = in.ConsumeIntegralInRange(0, 7);
    return kind == 0 ? in.ConsumeIntegral<int>() : kind == 1 ? kOdd[in.ConsumeIntegralInRange<size_t>(0, std::size(kOdd) - 1)] : in.ConsumeBool() ? 24 : 32;
}

unsigned long PickFlags(FuzzedDataProvider& in) { return in.ConsumeBool() ? 0 : in.ConsumeBool() ? YUVBM_PREMULTIPLIED : in.ConsumeIntegral<unsigned long>(); }
unsigned PickSmallOrAny(FuzzedDataProvider& in, unsigned hi) { return in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, hi) : in.ConsumeIntegral<unsigned>(); }

bool TooLargeToTry(int w, int h, int bits)
{
    // RowStride's 32-bit result wraps for the widest pictures: count in 64 bits.
    const uint64_t stride = bits == 24 ? (uint64_t(w) * 3 + 3) & ~uint64_t{3} : uint64_t(w) * 4;
    return w > 0 && h > 0 && (bits == 24 || bits == 32) && stride <= MAX_PICTURE_BYTES &&
           uint64_t(h) <= (MAX_PICTURE_BYTES - PICTURE_PIXEL_OFFSET) / stride && PICTURE_PIXEL_OFFSET + stride * uint64_t(h) > kMaxPictureBytes;
}

CVoraDib MakePicture(FuzzedDataProvider& in)
{
    CVoraDib dib;
    if (in.ConsumeIntegralInRange(0, 15) == 0)
        return dib;
    const int w = in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(1, 24) : PickDimension(in);
    const int h = in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(1, 24) : PickDimension(in);
    const int bits = PickBits(in);
    const bool yuv = in.ConsumeIntegralInRange(0, 3) != 0;
    const unsigned long flags = PickFlags(in);
    if (TooLargeToTry(w, h, bits) || !(yuv ? dib.AllocYUV(w, h, bits, flags) : dib.Alloc(w, h, bits, flags)))
        return dib;
    const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>(), c = in.ConsumeIntegral<uint8_t>();
    const unsigned rowBytes = unsigned(w) * PixelStep(dib);
    for (int y = 0; y < h; ++y) {
        BYTE* row = PixelAt(dib, 0, y);
        for (unsigned x = 0; x < rowBytes; ++x)
            row[x] = static_cast<BYTE>(a + x * b + y * c + ((x * y) >> 3) * (a | 1));
    }
    tagYUVBMINFOHEADER& bi = static_cast<tagDIBINFO*>(dib)->bmiHeader; // now and then changed behind its back
    constexpr size_t kFields[] = {offsetof(tagYUVBMINFOHEADER, biCompression), offsetof(tagYUVBMINFOHEADER, dwFieldOrder),
                                  offsetof(tagYUVBMINFOHEADER, dwFlags), offsetof(tagYUVBMINFOHEADER, biBitCount)};
    const int field = in.ConsumeIntegralInRange(0, 15);
    const uint32_t value = field < 4 ? in.ConsumeIntegral<uint32_t>() : 1; // 4: the other field order
    if (field <= 4)
        std::memcpy(reinterpret_cast<BYTE*>(&bi) + kFields[field % 4 + field / 4], &value, field == 3 ? 2 : 4);
    return dib;
}

tagYUVBMINFOHEADER MakeHeader(FuzzedDataProvider& in)
{
    tagYUVBMINFOHEADER hd{};
    hd.biSize = 40;
    hd.biPlanes = 1;
    hd.biWidth = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 32) : PickDimension(in);
    hd.biHeight = in.ConsumeBool() ? in.ConsumeIntegralInRange(-12, 24) : PickDimension(in);
    if (hd.biHeight != INT_MIN && in.ConsumeIntegralInRange(0, 3) == 0)
        hd.biHeight = -hd.biHeight;
    hd.biBitCount = static_cast<uint16_t>(PickBits(in));
    hd.biCompression = in.ConsumeIntegralInRange(0, 7) != 0 ? YUV_COMPRESSION : in.ConsumeIntegral<uint32_t>();
    hd.dwFlags = static_cast<uint32_t>(PickFlags(in));
    hd.dwFieldOrder = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 1) : in.ConsumeIntegral<uint32_t>();
    return hd;
}

std::unique_ptr<BYTE[]> Pattern(uint64_t size, FuzzedDataProvider& in)
{
    std::unique_ptr<BYTE[]> p(new BYTE[std::max<uint64_t>(size, 1)]);
    const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
    for (uint64_t i = 0; i < size; ++i)
        p[i] = static_cast<BYTE>(a + i * b + (i * i >> 5) * (a | 1) + (i >> 8));
    return p;
}

void EditCorrection(tagCOLORCORRINFO& cc, FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: CopyIn(&cc, in.ConsumeBytes<uint8_t>(sizeof cc)); break;
    case 1: cc.Init(564); break;
    case 2: cc.dwSize = 564, cc.Base.dwSize = 36, cc.Vector6.dwSize = 64, cc.Match.dwSize = 456, cc.Match.dwCount %= 17; break;
    case 3: cc.dwFlags = PickSmallOrAny(in, 15); break;
    case 4: {
        const uint32_t k = in.ConsumeIntegralInRange<uint32_t>(0, 15);
        CopyIn(&cc.Match.Vector[k], in.ConsumeBytes<uint8_t>(sizeof(tagMATCHVECTOR)));
        cc.Match.dwCount = std::max<uint32_t>(cc.Match.dwCount % 17, k + 1);
        cc.dwFlags |= CC_MATCH_VECTOR;
        break;
    }
    default:
        for (int i = 0, n = in.ConsumeIntegralInRange(1, 4); i < n; ++i) {
            const size_t at = in.ConsumeIntegralInRange<size_t>(0, sizeof cc - 2);
            const uint16_t value = in.ConsumeIntegral<uint16_t>();
            std::memcpy(reinterpret_cast<BYTE*>(&cc) + at, &value, in.ConsumeBool() ? 2 : 1);
        }
    }
}

bool WellFormedCorrection(const tagCOLORCORRINFO& cc)
{
    return cc.dwSize == 564 && cc.Base.dwSize == 36 && cc.Vector6.dwSize == 64 && cc.Match.dwCount <= 16;
}

} // namespace colorcorrect::fuzz
