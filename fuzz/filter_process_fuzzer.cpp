// The correction engine with arbitrary records and picture headers:
// CBaseColorCorrectionFilter's two SetupFilter forms and Process, copies of a
// filter, the isolate settings the display filter writes, the static
// helpers, and page allocations that fail.
//
// Pixel buffers are allocated from the header's own width, height and bit
// count, exactly as large as Process is documented to read and write (up to
// a small maximum), so that any access beyond them is the library's.
//
// Checks beyond the sanitizers:
//  - SetupFilter fails exactly for malformed records (or a refused page
//    allocation) and then, when the record was malformed, leaves the filter
//    unchanged;
//  - Process fails exactly for a wrong format tag or a negative width, and
//    then writes nothing; otherwise it never writes row padding, copies the
//    alpha bytes, and gives the same result in place as into another buffer,
//    and the same as a copy of the filter;
//  - a filter's results depend only on its last set-up, not on what came
//    before: at the end, a fresh filter set up from the last record alone
//    corrects a probe picture exactly like the filter that went through the
//    whole sequence (catches stale cached tables and indexes).

#include <colorcorrect/colorcorrect.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "support/fuzz_check.h"
#include "support/fuzz_pick.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

constexpr int kMaxOperations = 16;
constexpr int kMaxSetups = 4;
// Largest pixel buffer a Process call gets, in bytes.
constexpr uint64_t kMaxPixelBytes = 64 * 1024;

// The engine with the isolate settings that the display filter sets.
class Filter : public CBaseColorCorrectionFilter {
public:
    // As the display filter's SetIsolateVector and SetIsolateType: a changed
    // value forces the next full set-up to rebuild the match index.
    void SetIsolate(uint32_t vector, uint32_t type)
    {
        if (vector != m_uIsolateVector || type != m_uIsolateType)
            m_dwMatchCRC = 0xFFFFFFFFu;
        m_uIsolateVector = vector;
        m_uIsolateType = type;
    }
    uint32_t IsolateVector() const { return m_uIsolateVector; }
    uint32_t IsolateType() const { return m_uIsolateType; }

    // The object's bytes: its tables, flags and buffer pointers.
    std::vector<BYTE> Bytes() const
    {
        const BYTE* p = reinterpret_cast<const BYTE*>(this);
        return std::vector<BYTE>(p, p + sizeof *this);
    }
};

// The last set-up that succeeded, to repeat on a fresh filter.
struct LastSetup {
    enum { kNone, kFull, kBase } kind = kNone;
    tagCOLORCORRINFO full{};
    tagBASECOLORCORRINFO base{};
    uint32_t isolateVector = 0, isolateType = 0;
};

struct State {
    Filter filter;
    tagCOLORCORRINFO record{};
    LastSetup last;
    int setups = 0;
    bool pagesLimited = false;
    // An isolate type above 7 leaves an existing match index as it was (the
    // display filter never sets one): results may then depend on history.
    bool historyMatters = false;
};

// Bytes taken from the input over the start of `to` (none when the input ran out).
void CopyIn(void* to, const std::vector<uint8_t>& raw)
{
    if (!raw.empty())
        std::memcpy(to, raw.data(), raw.size());
}

bool WellFormed(const tagCOLORCORRINFO& cc)
{
    return cc.dwSize == 564 && cc.Base.dwSize == 36 && cc.Vector6.dwSize == 64 &&
           cc.Match.dwCount <= 16;
}

// ---- records -------------------------------------------------------------------

// Changes the record: a few fields of it, the whole of it, or its sizes.
void EditRecord(tagCOLORCORRINFO& cc, FuzzedDataProvider& in)
{
    BYTE* bytes = reinterpret_cast<BYTE*>(&cc);
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0: { // every byte from the input
        const std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(sizeof cc);
        CopyIn(bytes, raw);
        break;
    }
    case 1: // start again from the default
        cc.Init(564);
        break;
    case 2: // the sizes right, the count within 0..16
        cc.dwSize = 564;
        cc.Base.dwSize = 36;
        cc.Vector6.dwSize = 64;
        cc.Match.dwSize = 456;
        cc.Match.dwCount %= 17;
        break;
    case 3: // the active groups
        cc.dwFlags = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 15)
                                      : in.ConsumeIntegral<uint32_t>();
        break;
    case 4: { // one match vector, in use
        const uint32_t k = in.ConsumeIntegralInRange<uint32_t>(0, 15);
        const std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(sizeof(tagMATCHVECTOR));
        CopyIn(&cc.Match.Vector[k], raw);
        cc.Match.dwCount = std::max<uint32_t>(cc.Match.dwCount, k + 1);
        cc.dwFlags |= CC_MATCH_VECTOR;
        break;
    }
    default: { // a few single bytes or 16-bit values
        const int n = in.ConsumeIntegralInRange(1, 4);
        for (int i = 0; i < n; ++i) {
            const size_t at = in.ConsumeIntegralInRange<size_t>(0, sizeof cc - 2);
            const uint16_t value = in.ConsumeIntegral<uint16_t>();
            if (in.ConsumeBool())
                std::memcpy(bytes + at, &value, 2);
            else
                bytes[at] = static_cast<BYTE>(value);
        }
        break;
    }
    }
}

void DoSetupFull(State& st, FuzzedDataProvider& in)
{
    EditRecord(st.record, in);
    const std::vector<BYTE> before = st.filter.Bytes();
    const BOOL ok = st.filter.SetupFilter(st.record);
    ++st.setups;
    if (std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "  -> %d\n", ok);
    const bool wellFormed = WellFormed(st.record);
    if (!wellFormed) {
        FUZZ_CHECK(ok == 0, "SetupFilter accepted a malformed record (sizes %u %u %u, count %u)",
                   st.record.dwSize, st.record.Base.dwSize, st.record.Vector6.dwSize,
                   st.record.Match.dwCount);
        FUZZ_CHECK(st.filter.Bytes() == before, "a refused record changed the filter");
        return;
    }
    FUZZ_CHECK(ok == 1 || (ok == 0 && st.pagesLimited), "SetupFilter returned %d", ok);
    if (ok == 1) {
        st.last.kind = LastSetup::kFull;
        st.last.full = st.record;
        st.last.isolateVector = st.filter.IsolateVector();
        st.last.isolateType = st.filter.IsolateType();
    } else {
        st.last.kind = LastSetup::kNone; // half-built: not a state to compare
    }
}

void DoSetupBase(State& st, FuzzedDataProvider& in)
{
    tagBASECOLORCORRINFO b = st.record.Base;
    if (in.ConsumeBool()) {
        const std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(sizeof b);
        CopyIn(&b, raw);
        if (in.ConsumeBool())
            b.dwSize = 36;
    }
    const std::vector<BYTE> before = st.filter.Bytes();
    const BOOL ok = st.filter.SetupFilter(b);
    ++st.setups;
    FUZZ_CHECK(ok == (b.dwSize == 36 ? 1 : 0), "SetupFilter(base) with size %u returned %d",
               b.dwSize, ok);
    if (ok == 0) {
        FUZZ_CHECK(st.filter.Bytes() == before, "a refused base record changed the filter");
        return;
    }
    st.last.kind = LastSetup::kBase;
    st.last.base = b;
}

// ---- pictures ------------------------------------------------------------------

// Bytes Process reads and writes for this header: |height| rows of the
// documented stride. 0 for a picture it must refuse or that is too large here.
uint64_t PixelBytes(const tagYUVBMINFOHEADER& hd)
{
    if (hd.biWidth < 0)
        return 0;
    const uint64_t w = static_cast<uint64_t>(hd.biWidth);
    const uint64_t stride = hd.biBitCount == 24 ? (w * 3 + 3) & ~uint64_t{3} : w * 4;
    const int64_t h = hd.biHeight;
    const uint64_t rows = static_cast<uint64_t>(h < 0 ? -h : h);
    if (stride != 0 && rows > kMaxPixelBytes / stride)
        return UINT64_MAX;
    return stride * rows;
}

std::unique_ptr<BYTE[]> Buffer(uint64_t size, FuzzedDataProvider& in)
{
    std::unique_ptr<BYTE[]> p(new BYTE[size]); // exactly size bytes, none to spare
    const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
    for (uint64_t i = 0; i < size; ++i)
        p[i] = static_cast<BYTE>(a + i * b + (i >> 7) * 29);
    return p;
}

tagYUVBMINFOHEADER PickHeader(FuzzedDataProvider& in)
{
    tagYUVBMINFOHEADER hd{};
    hd.biSize = 40;
    hd.biPlanes = 1;
    hd.biWidth = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 40) : PickDimension(in);
    if (in.ConsumeBool()) {
        hd.biHeight = in.ConsumeIntegralInRange(-8, 24);
    } else {
        const bool negative = in.ConsumeBool();
        const int d = PickDimension(in);
        hd.biHeight = negative && d != INT_MIN ? -d : d;
    }
    if (hd.biHeight == INT_MIN)
        hd.biHeight = in.ConsumeBool() ? INT_MIN : -1;
    hd.biBitCount = static_cast<uint16_t>(PickBits(in));
    hd.biCompression = in.ConsumeIntegralInRange(0, 7) != 0 ? YUV_COMPRESSION
                                                            : in.ConsumeIntegral<uint32_t>();
    hd.dwFlags = in.ConsumeBool() ? YUVBM_PREMULTIPLIED : in.ConsumeIntegral<uint32_t>();
    hd.dwFieldOrder = in.ConsumeIntegral<uint32_t>();
    return hd;
}

void DoProcess(State& st, FuzzedDataProvider& in)
{
    tagYUVBMINFOHEADER hd = PickHeader(in);
    const uint64_t size = PixelBytes(hd);
    if (size == UINT64_MAX)
        return; // larger than this target hands out
    const std::unique_ptr<BYTE[]> input = Buffer(size, in);
    const std::unique_ptr<BYTE[]> out = Buffer(size, in);
    const std::vector<BYTE> inBefore(input.get(), input.get() + size);
    const std::vector<BYTE> outBefore(out.get(), out.get() + size);
    const tagYUVBMINFOHEADER given = hd;

    const BOOL ok = st.filter.Process(&hd, input.get(), out.get());
    if (std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "  %d x %d x %u, compression 0x%x, flags 0x%x -> %d\n", hd.biWidth,
                     hd.biHeight, hd.biBitCount, hd.biCompression, hd.dwFlags, ok);
    FUZZ_CHECK(std::memcmp(&hd, &given, sizeof hd) == 0, "Process changed the header");
    FUZZ_CHECK(std::equal(inBefore.begin(), inBefore.end(), input.get()),
               "Process changed its input");
    const bool acceptable = hd.biCompression == YUV_COMPRESSION && hd.biWidth >= 0;
    FUZZ_CHECK(ok == (acceptable ? 1 : 0), "Process returned %d (compression 0x%x, width %d)", ok,
               hd.biCompression, hd.biWidth);
    if (ok == 0) {
        FUZZ_CHECK(std::equal(outBefore.begin(), outBefore.end(), out.get()),
                   "a refused Process wrote its output");
        return;
    }
    // Padding and alpha.
    const size_t width = static_cast<size_t>(hd.biWidth);
    const bool three = hd.biBitCount == 24;
    const size_t pixel = three ? 3 : 4;
    const size_t stride = three ? (width * 3 + 3) & ~size_t{3} : width * 4;
    for (size_t at = 0; at < size; ++at) {
        const size_t x = at % stride;
        if (x >= width * pixel)
            FUZZ_CHECK(out[at] == outBefore[at], "Process wrote padding byte %zu of a row", x);
        else if (!three && x % 4 == 3)
            FUZZ_CHECK(out[at] == inBefore[at], "alpha byte at %zu is %u, input %u", at, out[at],
                       inBefore[at]);
    }
    // In place, and with a copy of the filter: the same pixels (padding
    // stays whatever each buffer had).
    auto samePixels = [&](const BYTE* a, const BYTE* b) {
        for (size_t at = 0; at < size; ++at)
            if (at % stride < width * pixel && a[at] != b[at])
                return false;
        return true;
    };
    std::unique_ptr<BYTE[]> inPlace(new BYTE[size]);
    std::copy(inBefore.begin(), inBefore.end(), inPlace.get());
    FUZZ_CHECK(st.filter.Process(&hd, inPlace.get(), inPlace.get()) == 1, "in-place Process failed");
    FUZZ_CHECK(samePixels(inPlace.get(), out.get()),
               "in-place Process differs from Process into another buffer");
    // A copy made while page allocations are refused goes without the
    // indexes until its next set-up, by design: compare only unlimited ones.
    if (in.ConsumeBool() && !st.pagesLimited) {
        const Filter copy(st.filter);
        Filter assigned;
        assigned = st.filter;
        for (Filter* f : {const_cast<Filter*>(&copy), &assigned}) {
            FUZZ_CHECK(f->Process(&hd, input.get(), inPlace.get()) == 1, "a copy's Process failed");
            FUZZ_CHECK(samePixels(inPlace.get(), out.get()),
                       "a copy of the filter corrects differently");
        }
    }
}

// ---- the probe: every result of a filter, sampled ------------------------------

// 64 x 64 pixels over the whole chroma plane (U and V in steps of 4) with
// varied luma and alpha; corrected as plain, premultiplied and 24-bit pixels.
std::vector<BYTE> ProbeResults(Filter& f)
{
    constexpr int kSide = 64;
    std::vector<BYTE> probe(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            BYTE* p = &probe[(y * kSide + x) * 4];
            p[0] = static_cast<BYTE>(x * 7 + y * 11);
            p[1] = static_cast<BYTE>(x * 4 + 1);
            p[2] = static_cast<BYTE>(y * 4 + 2);
            p[3] = static_cast<BYTE>((x * y * 5) | 1);
        }
    std::vector<BYTE> results;
    for (int variant = 0; variant < 3; ++variant) {
        tagYUVBMINFOHEADER hd{};
        hd.biWidth = variant == 2 ? kSide - 1 : kSide; // a padded 24-bit row
        hd.biHeight = variant == 2 ? kSide * 4 / 3 : kSide;
        hd.biBitCount = variant == 2 ? 24 : 32;
        hd.biCompression = YUV_COMPRESSION;
        hd.dwFlags = variant == 1 ? YUVBM_PREMULTIPLIED : 0;
        std::vector<BYTE> out(probe.size());
        FUZZ_CHECK(f.Process(&hd, probe.data(), out.data()) == 1, "Process of the probe failed");
        results.insert(results.end(), out.begin(), out.end());
    }
    return results;
}

void CheckHistoryIndependence(State& st)
{
    if (st.last.kind == LastSetup::kNone || st.historyMatters)
        return;
    SetPageAllocationBudget(-1);
    Filter fresh;
    fresh.SetIsolate(st.last.isolateVector, st.last.isolateType);
    const BOOL ok = st.last.kind == LastSetup::kFull ? fresh.SetupFilter(st.last.full)
                                                     : fresh.SetupFilter(st.last.base);
    FUZZ_CHECK(ok == 1, "a fresh filter refused the last record");
    const std::vector<BYTE> expected = ProbeResults(fresh);
    const std::vector<BYTE> actual = ProbeResults(st.filter);
    for (size_t i = 0; i < expected.size(); ++i)
        FUZZ_CHECK(expected[i] == actual[i],
                   "after its history the filter corrects probe byte %zu (pixel %zu, variant %zu) "
                   "to %u, a fresh filter to %u",
                   i, (i % (64 * 64 * 4)) / 4, i / (64 * 64 * 4), actual[i], expected[i]);
}

// ---- the rest ----------------------------------------------------------------

void DoStatics(FuzzedDataProvider& in)
{
    BYTE lut[256];
    const int black = in.ConsumeIntegral<int>(), gamma = in.ConsumeIntegral<int>();
    const int white = in.ConsumeIntegral<int>(), video = in.ConsumeIntegral<int>();
    CBaseColorCorrectionFilter::BuildYLUT(lut, black, gamma, white, video);
    if (video != 0)
        for (int i = 0; i < 256; ++i)
            FUZZ_CHECK(lut[i] >= 16 && lut[i] <= 235, "video-range luma curve gives %u at %d",
                       lut[i], i);
    tagBASECOLORCORRINFO b{};
    const std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(sizeof b);
    CopyIn(&b, raw);
    const BOOL isDefault = CBaseColorCorrectionFilter::IsDefault(b);
    bool zero = b.dwSize >= 4;
    for (size_t i = 4; zero && i < std::min<size_t>(b.dwSize, sizeof b); ++i)
        zero = reinterpret_cast<const BYTE*>(&b)[i] == 0;
    FUZZ_CHECK(isDefault == (zero ? 1 : 0), "IsDefault(base) with size %u gave %d", b.dwSize,
               isDefault);
}

enum Operation { kSetupFull, kSetupBase, kProcess, kIsolate, kLimitPages, kStatics, kLast = kStatics };

// Names for the trace that COLORCORRECT_FUZZ_TRACE=1 prints (to check what a
// seed does).
const char* const kOperationNames[] = {"SetupFilter(full)", "SetupFilter(base)", "Process",
                                       "isolate", "limit pages", "statics"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool trace = std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr;
    FuzzedDataProvider in(data, size);
    State st;
    st.record.Init(564);
    for (int n = 0; n < kMaxOperations && in.remaining_bytes() > 0; ++n) {
        const int operation = in.ConsumeIntegralInRange(0, int(kLast));
        if (trace)
            std::fprintf(stderr, "%s (record flags 0x%x, %u vectors)\n", kOperationNames[operation],
                         st.record.dwFlags, st.record.Match.dwCount);
        switch (operation) {
        case kSetupFull:
            if (st.setups < kMaxSetups)
                DoSetupFull(st, in);
            break;
        case kSetupBase:
            if (st.setups < kMaxSetups)
                DoSetupBase(st, in);
            break;
        case kProcess:
            DoProcess(st, in);
            break;
        case kIsolate: {
            // Mostly what the display filter allows (vector 0..15, type 0..7).
            const bool wild = in.ConsumeIntegralInRange(0, 7) == 0;
            const uint32_t vector = wild ? in.ConsumeIntegral<uint32_t>()
                                         : in.ConsumeIntegralInRange<uint32_t>(0, 15);
            const uint32_t type = wild ? in.ConsumeIntegral<uint32_t>()
                                       : in.ConsumeIntegralInRange<uint32_t>(0, 7);
            st.filter.SetIsolate(vector, type);
            if (type > 7)
                st.historyMatters = true;
            break;
        }
        case kLimitPages:
            st.pagesLimited = true;
            SetPageAllocationBudget(in.ConsumeIntegralInRange(0, 2));
            break;
        case kStatics:
            DoStatics(in);
            break;
        }
    }
    SetPageAllocationBudget(-1);
    CheckHistoryIndependence(st);
    return 0;
}
