// ProcessRTDisplay with any flags, geometry and overlay on exactly-sized
// buffers: refusals (null pointers, not "@YUV", negative width, too large)
// write nothing; it writes only bytes 0..2 of the chosen geometry's pixels,
// reads its source and overlay, and gives the same in place and over any
// destination.

#include <algorithm>

#include "support/fuzz_support.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

// The destination a call writes: `lines` lines of `pixels` pixels, `dstLine`
// bytes apart. Bit 0 of the flags: full size (else half size, one field);
// with it, bit 1: the whole frame (else one field, every other line).
struct Geometry {
    uint64_t pixel = 0, pixels = 0, lines = 0, dstLine = 0, srcBytes = 0, dstBytes = 0;
    bool tooLarge = false;
    Geometry(const tagYUVBMINFOHEADER& hd, unsigned long flags)
    {
        const uint64_t width = hd.biWidth < 0 ? 0 : uint64_t(hd.biWidth);
        const uint64_t height = uint64_t(std::abs(int64_t{hd.biHeight}));
        pixel = hd.biBitCount == 24 ? 3 : 4;
        const uint64_t line = pixel == 3 ? (width * 3 + 3) & ~uint64_t{3} : width * 4;
        tooLarge = height != 0 && line > MAX_PICTURE_BYTES / height;
        srcBytes = dstBytes = tooLarge ? 0 : line * height;
        const bool full = (flags & 1) != 0, frame = (flags & 2) != 0;
        pixels = full ? width : width / 2;
        lines = pixels == 0 ? 0 : full && frame ? height : height / 2;
        dstLine = !full ? (pixel == 3 ? ((width / 2) * 3 + 3) & ~uint64_t{3} : width * 2) : frame ? line : 2 * line;
        dstBytes = full || tooLarge ? dstBytes : dstLine * (height / 2);
    }
    bool Written(uint64_t at) const
    {
        return dstLine != 0 && at / dstLine < lines && at % dstLine < pixels * pixel && at % dstLine % pixel < 3;
    }
};

void DoProcess(CColorCorrectionFilter& filter, FuzzedDataProvider& in)
{
    tagYUVBMINFOHEADER hd = MakeHeader(in);
    const unsigned long flags = in.ConsumeBool() ? in.ConsumeIntegralInRange(0ul, 3ul) : in.ConsumeIntegral<unsigned long>();
    const int nulls = in.ConsumeIntegralInRange(0, 15); // below 7: one or more null pointers
    const bool withOverlay = in.ConsumeBool();
    const Geometry g(hd, flags);
    const bool acceptable = hd.biCompression == YUV_COMPRESSION && hd.biWidth >= 0 && !g.tooLarge && nulls >= 7;
    if (acceptable && std::max(g.srcBytes, g.dstBytes) > (32 << 10))
        return;
    const uint64_t srcSize = acceptable ? g.srcBytes : 16, dstSize = acceptable ? g.dstBytes : 16;
    const auto src = Pattern(srcSize, in), overlay = Pattern(srcSize, in), dst = Pattern(dstSize, in);
    const std::vector<uint8_t> srcBefore(src.get(), src.get() + srcSize);
    const std::vector<uint8_t> overlayBefore(overlay.get(), overlay.get() + srcSize);
    const std::vector<uint8_t> dstBefore(dst.get(), dst.get() + dstSize);
    const tagYUVBMINFOHEADER given = hd;
    uint8_t* over = withOverlay ? overlay.get() : nullptr;
    const bool some = nulls < 7, nullHeader = some && (nulls == 0 || (nulls & 1));
    const int ok = filter.ProcessRTDisplay(nullHeader ? nullptr : &hd, some && (nulls & 2) ? nullptr : dst.get(),
                                           some && (nulls & 4) ? nullptr : src.get(), over, flags);
    FUZZ_CHECK(SameBytes(hd, given) && std::equal(srcBefore.begin(), srcBefore.end(), src.get()) &&
                   std::equal(overlayBefore.begin(), overlayBefore.end(), overlay.get()),
               "ProcessRTDisplay changed its header, source or overlay");
    FUZZ_CHECK(ok == acceptable);
    for (uint64_t at = 0; at < dstSize; ++at)
        FUZZ_CHECK(dst[at] == dstBefore[at] || (ok && g.Written(at)));
    if (!ok || g.dstBytes > g.srcBytes)
        return;
    std::unique_ptr<BYTE[]> other(new BYTE[srcSize]); // in place, over what the source held
    std::copy(srcBefore.begin(), srcBefore.end(), other.get());
    FUZZ_CHECK(filter.ProcessRTDisplay(&hd, other.get(), other.get(), over, flags) == 1);
    for (uint64_t at = 0; at < dstSize; ++at)
        FUZZ_CHECK(!g.Written(at) || other[at] == dst[at], "in place, byte %llu", static_cast<unsigned long long>(at));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CColorCorrectionFilter filter;
    tagCOLORCORRINFO record{};
    record.Init(564);
    int setups = 0;
    for (int n = 0; n < 24 && in.remaining_bytes() > 0; ++n) {
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            EditCorrection(record, in);
            if (++setups <= 2) // set-ups are the slow part of an input
                FUZZ_CHECK(filter.SetupFilter(record) == WellFormedCorrection(record));
            break;
        case 1: DoProcess(filter, in); break;
        case 2: FUZZ_CHECK(filter.SetDisplayField(PickSmallOrAny(in, 3)) == 1); break;
        }
    }
    return 0;
}
