// The engine with any records and frame headers: SetupFilter (both forms),
// Process on exactly-sized buffers, copies, failing page allocations. Refusals
// change nothing; Process keeps padding and alpha, and corrects alike in place
// and through a copy.

#include <algorithm>

#include "support/fuzz_support.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

std::vector<BYTE> Bytes(const CBaseColorCorrectionFilter& f) // to tell that a refusal changed nothing
{
    return std::vector<BYTE>(reinterpret_cast<const BYTE*>(&f), reinterpret_cast<const BYTE*>(&f) + sizeof f);
}

void DoProcess(CBaseColorCorrectionFilter& filter, bool pagesLimited, FuzzedDataProvider& in)
{
    tagYUVBMINFOHEADER hd = MakeHeader(in);
    // |height| rows of the documented stride; none for a negative width.
    const uint64_t width = hd.biWidth < 0 ? 0 : uint64_t(hd.biWidth), pixel = hd.biBitCount == 24 ? 3 : 4;
    const uint64_t stride = pixel == 3 ? (width * 3 + 3) & ~uint64_t{3} : width * 4;
    const uint64_t rows = uint64_t(std::abs(int64_t{hd.biHeight})), size = stride * rows;
    if (stride != 0 && rows > (64 << 10) / stride)
        return;
    const std::unique_ptr<BYTE[]> input = Pattern(size, in), out = Pattern(size, in), other(new BYTE[size]);
    const std::vector<BYTE> inBefore(input.get(), input.get() + size), outBefore(out.get(), out.get() + size);
    const tagYUVBMINFOHEADER given = hd;
    const BOOL ok = filter.Process(&hd, input.get(), out.get());
    FUZZ_CHECK(SameBytes(hd, given) && std::equal(inBefore.begin(), inBefore.end(), input.get()));
    FUZZ_CHECK(ok == (hd.biCompression == YUV_COMPRESSION && hd.biWidth >= 0 ? 1 : 0));
    for (uint64_t at = 0; at < size; ++at) {
        const uint64_t x = at % stride;
        FUZZ_CHECK((ok && x < width * pixel) || out[at] == outBefore[at]);
        FUZZ_CHECK(!ok || pixel == 3 || x % 4 != 3 || out[at] == inBefore[at]);
    }
    if (ok == 0)
        return;
    auto sameAsOut = [&](const char* what) {
        for (uint64_t at = 0; at < size; ++at)
            FUZZ_CHECK(at % stride >= width * pixel || other[at] == out[at], "%s", what);
    };
    std::copy(inBefore.begin(), inBefore.end(), other.get());
    FUZZ_CHECK(filter.Process(&hd, other.get(), other.get()) == 1);
    sameAsOut("in place Process");
    // A copy made while page allocations are refused goes without the indexes
    // until its next set-up, by design.
    if (in.ConsumeBool() && !pagesLimited) {
        CBaseColorCorrectionFilter copy(filter), assigned;
        assigned = filter;
        for (CBaseColorCorrectionFilter* f : {&copy, &assigned}) {
            FUZZ_CHECK(f->Process(&hd, input.get(), other.get()) == 1);
            sameAsOut("a copy of the filter");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CBaseColorCorrectionFilter filter;
    tagCOLORCORRINFO record{};
    record.Init(564);
    int setups = 0; // accepted ones
    bool pagesLimited = false;
    for (int n = 0; n < 16 && in.remaining_bytes() > 0; ++n) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0:
        case 1:
        case 3: {
            const bool full = in.ConsumeBool();
            tagBASECOLORCORRINFO b = record.Base;
            if (full)
                EditCorrection(record, in);
            else
                CopyIn(&b, in.ConsumeBytes<uint8_t>(in.ConsumeBool() ? sizeof b : 0));
            const bool wellFormed = full ? WellFormedCorrection(record) : b.dwSize == 36;
            // A set-up that builds its tables is the slow part of an input: one
            // an input. Refusals cost little and are all tried; set-ups over
            // earlier tables are the viewer target's daily work.
            if (wellFormed && ++setups > 1)
                break;
            const std::vector<BYTE> before = Bytes(filter);
            const BOOL ok = full ? filter.SetupFilter(record) : filter.SetupFilter(b);
            FUZZ_CHECK(ok == wellFormed || (!ok && full && pagesLimited));
            FUZZ_CHECK(wellFormed || Bytes(filter) == before);
            break;
        }
        case 2: DoProcess(filter, pagesLimited, in); break;
        default:
            pagesLimited = true;
            SetPageAllocationBudget(in.ConsumeIntegralInRange(0, 2));
            break;
        }
    }
    SetPageAllocationBudget(-1);
    return 0;
}
