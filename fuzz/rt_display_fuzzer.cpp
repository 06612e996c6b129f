// ProcessRTDisplay with any flags, display field, geometry, bit count, field
// order and overlay, after any correction, on buffers of exactly the sizes
// the documented geometry gives (so that the address sanitizer sees any
// access outside them).
//
// Promises checked:
//  - 0, with nothing written, for a null header, source or destination, a
//    header that is not "@YUV", a negative width or a frame larger than any
//    picture; 1 otherwise;
//  - only bytes 0..2 of the destination pixels of the chosen geometry are
//    written; the source and the overlay are only read;
//  - in place (destination = source) gives the same pixels;
//  - the three geometries agree: a half-size pixel is the full-frame result
//    of the source pixel it is taken from, a field line the full-frame
//    result of its source line (bit 1 without bit 0 is ignored);
//  - the result does not depend on what the destination held.

#include <colorcorrect/colorcorrect.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "support/fuzz_check.h"
#include "support/fuzz_pick.h"
#include "support/fuzz_record.h"

using namespace colorcorrect::fuzz;

namespace {

constexpr int kMaxOperations = 24;
constexpr uint64_t kMaxFrameBytes = uint64_t{1} << 15;
// Set-ups build the engine's tables and are the slow part of an input.
constexpr int kMaxSetups = 3;

struct Geometry {
    uint64_t width = 0, height = 0, pixel = 0, line = 0; // source
    uint64_t pixels = 0, lines = 0, dstLine = 0, first = 0, srcStep = 0, srcLine = 0;
    uint64_t srcBytes = 0, dstBytes = 0;
    bool tooLarge = false;
};

// The documented geometry of a call.
Geometry Describe(const tagYUVBMINFOHEADER& hd, unsigned long flags, unsigned displayField)
{
    Geometry g;
    g.width = hd.biWidth < 0 ? 0 : uint64_t(hd.biWidth);
    const int64_t h = hd.biHeight;
    g.height = uint64_t(h < 0 ? -h : h);
    g.pixel = hd.biBitCount == 24 ? 3 : 4;
    g.line = hd.biBitCount == 24 ? (g.width * 3 + 3) & ~uint64_t{3} : g.width * 4;
    g.tooLarge = g.height != 0 && g.line > colorcorrect::MAX_PICTURE_BYTES / g.height;
    if (g.tooLarge)
        return g;
    g.srcBytes = g.line * g.height;
    // The field shown: the header's field order says which comes first in
    // memory, the display field picks one of the two.
    const uint64_t fieldStart = ((hd.dwFieldOrder == 0) != (displayField == 1)) ? g.line : 0;
    if ((flags & 1) == 0) {
        g.srcStep = 2 * g.pixel;
        g.srcLine = 2 * g.line;
        g.first = fieldStart;
        g.pixels = g.width / 2;
        g.lines = g.height / 2;
        g.dstLine = g.pixel == 3 ? ((g.width / 2) * 3 + 3) & ~uint64_t{3} : g.width * 2;
        g.dstBytes = g.dstLine * g.lines;
    } else if ((flags & 2) != 0) {
        g.srcStep = g.pixel;
        g.srcLine = g.line;
        g.pixels = g.width;
        g.lines = g.height;
        g.dstLine = g.line;
        g.dstBytes = g.srcBytes;
    } else {
        g.srcStep = g.pixel;
        g.srcLine = 2 * g.line;
        g.first = fieldStart;
        g.pixels = g.width;
        g.lines = g.height / 2;
        g.dstLine = 2 * g.line;
        g.dstBytes = g.srcBytes;
    }
    if (g.pixels == 0)
        g.lines = 0;
    return g;
}

std::vector<uint8_t> Pattern(uint64_t size, FuzzedDataProvider& in)
{
    std::vector<uint8_t> v(size);
    const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
    const uint8_t c = in.ConsumeIntegral<uint8_t>();
    for (uint64_t i = 0; i < size; ++i)
        v[i] = static_cast<uint8_t>(a + i * b + (i * i >> 5) * c + (i >> 8));
    return v;
}

// Exactly-sized heap copies, so that the address sanitizer sees overruns.
std::unique_ptr<uint8_t[]> Exact(const std::vector<uint8_t>& v)
{
    std::unique_ptr<uint8_t[]> p(new uint8_t[std::max<size_t>(v.size(), 1)]);
    std::copy(v.begin(), v.end(), p.get());
    return p;
}

bool Written(const Geometry& g, uint64_t at)
{
    if (g.dstLine == 0)
        return false;
    const uint64_t j = at / g.dstLine, x = at % g.dstLine;
    return j < g.lines && x < g.pixels * g.pixel && x % g.pixel < 3;
}

struct State {
    CColorCorrectionFilter filter;
    tagCOLORCORRINFO record{};
    unsigned displayField = 1; // a new filter shows field 1
    int setups = 0;
};

void DoProcess(State& st, FuzzedDataProvider& in)
{
    tagYUVBMINFOHEADER hd{};
    hd.biSize = 40;
    hd.biPlanes = 1;
    hd.biWidth = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 24) : PickDimension(in);
    if (in.ConsumeBool()) {
        hd.biHeight = in.ConsumeIntegralInRange(-12, 24);
    } else {
        hd.biHeight = PickDimension(in);
        if (in.ConsumeBool() && hd.biHeight != INT_MIN)
            hd.biHeight = -hd.biHeight;
    }
    hd.biBitCount = static_cast<uint16_t>(PickBits(in));
    hd.biCompression = in.ConsumeIntegralInRange(0, 7) != 0 ? colorcorrect::YUV_COMPRESSION
                                                            : in.ConsumeIntegral<uint32_t>();
    hd.dwFieldOrder = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 1)
                                       : in.ConsumeIntegral<uint32_t>();
    const unsigned long flags = in.ConsumeBool() ? in.ConsumeIntegralInRange<unsigned long>(0, 3)
                                                 : in.ConsumeIntegral<unsigned long>();
    const int nulls = in.ConsumeIntegralInRange(0, 15); // 1 header, 2 dst, 4 src
    const bool withOverlay = in.ConsumeBool();

    const Geometry g = Describe(hd, flags, st.displayField);
    const bool acceptable = hd.biCompression == colorcorrect::YUV_COMPRESSION &&
                            hd.biWidth >= 0 && !g.tooLarge && nulls >= 7;
    if (acceptable && (g.srcBytes > kMaxFrameBytes || g.dstBytes > kMaxFrameBytes))
        return; // would be accepted but is larger than this target hands out
    const bool refusedAnyway = !acceptable;

    // Refused calls get small buffers: nothing may be touched.
    const uint64_t srcSize = refusedAnyway ? 16 : g.srcBytes;
    const uint64_t dstSize = refusedAnyway ? 16 : g.dstBytes;
    const std::vector<uint8_t> src = Pattern(srcSize, in);
    const std::vector<uint8_t> overlay = Pattern(srcSize, in);
    const std::vector<uint8_t> dstBefore = Pattern(dstSize, in);
    auto srcBuf = Exact(src), overlayBuf = Exact(overlay), dstBuf = Exact(dstBefore);
    const tagYUVBMINFOHEADER given = hd;

    const int nullHeader = nulls == 0 || nulls == 1 || nulls == 3 || nulls == 5;
    const int nullDst = nulls == 2 || nulls == 3 || nulls == 6;
    const int nullSrc = nulls == 4 || nulls == 5 || nulls == 6;
    const int ok = st.filter.ProcessRTDisplay(nullHeader ? nullptr : &hd,
                                              nullDst ? nullptr : dstBuf.get(),
                                              nullSrc ? nullptr : srcBuf.get(),
                                              withOverlay ? overlayBuf.get() : nullptr, flags);
    if (std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "  %d x %d x %u, compression 0x%x, flags 0x%lx, nulls %d -> %d\n",
                     hd.biWidth, hd.biHeight, hd.biBitCount, hd.biCompression, flags, nulls, ok);
    FUZZ_CHECK(std::memcmp(&hd, &given, sizeof hd) == 0, "ProcessRTDisplay changed the header");
    FUZZ_CHECK(std::equal(src.begin(), src.end(), srcBuf.get()),
               "ProcessRTDisplay changed its source");
    FUZZ_CHECK(std::equal(overlay.begin(), overlay.end(), overlayBuf.get()),
               "ProcessRTDisplay changed the overlay");
    FUZZ_CHECK(ok == (acceptable ? 1 : 0),
               "ProcessRTDisplay returned %d (width %d, height %d, compression 0x%x, nulls %d)", ok,
               hd.biWidth, hd.biHeight, hd.biCompression, nulls);
    if (!ok) {
        FUZZ_CHECK(std::equal(dstBefore.begin(), dstBefore.end(), dstBuf.get()),
                   "a refused ProcessRTDisplay wrote its destination");
        return;
    }
    for (uint64_t at = 0; at < dstSize; ++at)
        if (!Written(g, at))
            FUZZ_CHECK(dstBuf[at] == dstBefore[at],
                       "ProcessRTDisplay wrote byte %llu (line %llu), outside its pixels",
                       static_cast<unsigned long long>(at),
                       static_cast<unsigned long long>(at / std::max<uint64_t>(g.dstLine, 1)));

    auto sameWritten = [&](const uint8_t* a, const uint8_t* b) {
        for (uint64_t at = 0; at < dstSize; ++at)
            if (Written(g, at) && a[at] != b[at])
                return false;
        return true;
    };

    // Another destination content: the same result.
    {
        std::vector<uint8_t> other(dstSize, 0x5A);
        auto otherBuf = Exact(other);
        FUZZ_CHECK(st.filter.ProcessRTDisplay(&hd, otherBuf.get(), srcBuf.get(),
                                              withOverlay ? overlayBuf.get() : nullptr,
                                              flags) == 1,
                   "a repeated ProcessRTDisplay failed");
        FUZZ_CHECK(sameWritten(otherBuf.get(), dstBuf.get()),
                   "the result depends on what the destination held");
    }

    // In place: the destination is the source (it holds at least as much).
    if (g.dstBytes <= g.srcBytes) {
        auto inPlace = Exact(src);
        FUZZ_CHECK(st.filter.ProcessRTDisplay(&hd, inPlace.get(), inPlace.get(),
                                              withOverlay ? overlayBuf.get() : nullptr,
                                              flags) == 1,
                   "in-place ProcessRTDisplay failed");
        FUZZ_CHECK(sameWritten(inPlace.get(), dstBuf.get()),
                   "in-place ProcessRTDisplay differs from one into another buffer");
    }

    // The geometries agree with the full frame (where the overlay is used
    // alike: a 24-bit frame uses it only at half size).
    if ((flags & 3) == 3 || (g.pixel == 3 && withOverlay))
        return;
    std::vector<uint8_t> full(g.srcBytes, 0);
    auto fullBuf = Exact(full);
    FUZZ_CHECK(st.filter.ProcessRTDisplay(&hd, fullBuf.get(), srcBuf.get(),
                                          withOverlay ? overlayBuf.get() : nullptr, 3) == 1,
               "full-frame ProcessRTDisplay failed");
    const uint64_t stepPixels = g.srcStep / g.pixel;
    for (uint64_t j = 0; j < g.lines; ++j)
        for (uint64_t i = 0; i < g.pixels; ++i) {
            const uint64_t from = g.first + j * g.srcLine + i * g.srcStep;
            const uint64_t to = j * g.dstLine + i * g.pixel;
            for (int k = 0; k < 3; ++k)
                FUZZ_CHECK(dstBuf[to + k] == fullBuf[from + k],
                           "flags 0x%lx: pixel %llu of line %llu byte %d is %u, the full frame's "
                           "pixel %llu of line %llu has %u",
                           flags, static_cast<unsigned long long>(i),
                           static_cast<unsigned long long>(j), k, dstBuf[to + k],
                           static_cast<unsigned long long>(i * stepPixels),
                           static_cast<unsigned long long>(from / g.line), fullBuf[from + k]);
        }
}

enum Operation { kSetup, kProcess, kField, kLast = kField };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    State st;
    st.record.Init(564);
    for (int n = 0; n < kMaxOperations && in.remaining_bytes() > 0; ++n) {
        switch (in.ConsumeIntegralInRange(0, int(kLast))) {
        case kSetup: {
            EditCorrection(st.record, in);
            if (++st.setups > kMaxSetups)
                break;
            const BOOL ok = st.filter.SetupFilter(st.record);
            FUZZ_CHECK(ok == (WellFormedCorrection(st.record) ? 1 : 0),
                       "SetupFilter returned %d", ok);
            break;
        }
        case kProcess:
            DoProcess(st, in);
            break;
        case kField: {
            const unsigned field = in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, 3u)
                                                    : in.ConsumeIntegral<unsigned>();
            FUZZ_CHECK(st.filter.SetDisplayField(field) == 1, "SetDisplayField failed");
            st.displayField = (field >> 1) & 1;
            break;
        }
        }
    }
    return 0;
}
