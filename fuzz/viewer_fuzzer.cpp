// A viewer driven by any sequence of operations: source and reference
// pictures of any kind, corrections (well-formed or not), displays of every
// type into any pictures (the same one for both outputs too), split, inlay
// size, display field, the forwarding setters, the correction sets and the
// real-time package, with a preview worker running in some inputs (its
// callback checks each preview and sometimes changes or frees it).
//
// Promises checked:
//  - documented results of every operation, including refusals;
//  - pictures handed in are not changed; pictures handed out are well formed;
//  - the sets behave as a list of 32 that turns into a ring when full;
//  - GetRTLUT packs the current correction as a filter does;
//  - each preview is a well-formed packed YUV picture of the source's size.

#include <colorcorrect/colorcorrect.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/fuzz_check.h"
#include "support/fuzz_pick.h"
#include "support/fuzz_picture.h"
#include "support/fuzz_record.h"

using namespace colorcorrect::fuzz;

namespace {

constexpr int kMaxOperations = 28;
constexpr int kMaxPictureCalls = 8;

// Reads the viewer's state for the checks.
class Viewer : public CColorCorrectionViewer {
public:
    const CVoraDib& Source() const { return m_dibSource; }
    const tagCOLORCORRINFO& Current() const { return m_ccCurrent; }
};

// The source's size as the worker sees it, for the callback's check (set
// while no worker renders: before SetSource the worker is stopped).
std::atomic<int> g_previews{0};

int Callback(CVoraDib& picture, unsigned long value)
{
    g_previews.fetch_add(1, std::memory_order_relaxed);
    CheckPicture(picture);
    const tagDIBINFO* hd = picture;
    FUZZ_CHECK(hd != nullptr, "an empty preview");
    FUZZ_CHECK(hd->bmiHeader.biCompression == colorcorrect::YUV_COMPRESSION,
               "a preview with compression 0x%x", hd->bmiHeader.biCompression);
    // The host may change the picture it is handed.
    switch (value % 4) {
    case 1: {
        BYTE* p = picture;
        p[0] ^= 0x55;
        break;
    }
    case 2:
        picture.Realloc(0, 0, 32, 0);
        break;
    case 3:
        picture.Free();
        break;
    default:
        break;
    }
    return static_cast<int>(value);
}

struct Model {
    tagCOLORCORRINFO sets[32];
    unsigned n = 0; // as the viewer's m_nSets: from 32 on, 32 + the next slot
    unsigned isolateVector = 0;
};

bool SameRecord(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

unsigned PickSmallOrAny(FuzzedDataProvider& in, unsigned hi)
{
    return in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, hi) : in.ConsumeIntegral<unsigned>();
}

// An inlay size: small, or an edge that the viewer refuses or cannot
// allocate (never one it would allocate at a huge size).
unsigned PickInlay(FuzzedDataProvider& in)
{
    constexpr unsigned kEdges[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu};
    if (in.ConsumeIntegralInRange(0, 3) != 0)
        return in.ConsumeIntegralInRange(1u, 48u);
    return kEdges[in.ConsumeIntegralInRange<size_t>(0, std::size(kEdges) - 1)];
}

enum Operation {
    kSource, kReference, kCorrection, kDisplay, kSplit, kInlay, kField, kIntensity, kChannel,
    kSixVector, kIsolateVector, kIsolateType, kIsolateColors, kDefineSet, kDeleteSet, kGetSet,
    kClearSets, kRTLUT, kImageSize, kPreview, kLast = kPreview
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool trace = std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr;
    FuzzedDataProvider in(data, size);
    Viewer viewer;
    Model model;
    tagCOLORCORRINFO record = viewer.Current();
    CVoraDib outputs[2];
    int pictureCalls = 0;

    for (int n = 0; n < kMaxOperations && in.remaining_bytes() > 0; ++n) {
        const int op = in.ConsumeIntegralInRange(0, int(kLast));
        if (trace)
            std::fprintf(stderr, "op %d\n", op);
        switch (op) {
        case kSource:
        case kReference: {
            if (++pictureCalls > kMaxPictureCalls)
                break;
            CVoraDib dib = MakePicture(in);
            const std::vector<BYTE> before = BlockBytes(dib);
            const tagDIBINFO* hd = dib;
            const int ok = op == kSource ? viewer.SetSource(dib) : viewer.SetReference(dib);
            CheckUnchanged(dib, before, op == kSource ? "SetSource" : "SetReference");
            if (hd == nullptr || dib.GetWidth() <= 0 || dib.GetHeight() <= 0)
                FUZZ_CHECK(ok == 0, "an empty picture was accepted");
            if (ok != 0 && op == kSource) {
                const CVoraDib& s = viewer.Source();
                const tagDIBINFO* sh = s;
                CheckPicture(s);
                FUZZ_CHECK(sh != nullptr && sh->bmiHeader.biBitCount == 24 &&
                               sh->bmiHeader.biCompression == colorcorrect::YUV_COMPRESSION &&
                               s.GetWidth() == dib.GetWidth() && s.GetHeight() == dib.GetHeight(),
                           "the stored source is not a 24-bit packed YUV copy of the picture");
            }
            break;
        }
        case kCorrection: {
            EditCorrection(record, in);
            const tagCOLORCORRINFO before = viewer.Current();
            const int ok = viewer.SetCorrection(record);
            FUZZ_CHECK(ok == (WellFormedCorrection(record) ? 1 : 0), "SetCorrection returned %d",
                       ok);
            FUZZ_CHECK(SameRecord(viewer.Current(), ok ? record : before),
                       "SetCorrection left another current correction");
            break;
        }
        case kDisplay: {
            const unsigned type = in.ConsumeIntegralInRange(0, 7) != 0
                                      ? in.ConsumeIntegralInRange(0u, 7u)
                                      : in.ConsumeIntegral<unsigned>();
            const bool same = in.ConsumeIntegralInRange(0, 7) == 0;
            if (in.ConsumeBool())
                outputs[in.ConsumeIntegralInRange(0, 1)] = MakePicture(in);
            const bool hadSource = viewer.Source().GetMemory().GetSize() != 0;
            CVoraDib& display = outputs[0];
            CVoraDib& reference = same ? outputs[0] : outputs[1];
            const int ok = viewer.GetDisplay(display, reference, type);
            if (trace)
                std::fprintf(stderr, "  GetDisplay(type %u, same %d) -> %d\n", type, same, ok);
            CheckPicture(outputs[0]);
            CheckPicture(outputs[1]);
            if (type == 3 || type > 7)
                FUZZ_CHECK(ok == 0, "GetDisplay accepted type %u", type);
            if (ok) {
                FUZZ_CHECK(hadSource || viewer.Source().GetMemory().GetSize() != 0,
                           "GetDisplay succeeded without a source");
                const tagDIBINFO* hd = display;
                FUZZ_CHECK(same || (hd != nullptr && hd->bmiHeader.biCompression == 0),
                           "the display is not an RGB picture");
            }
            break;
        }
        case kSplit: {
            const int x = in.ConsumeBool() ? in.ConsumeIntegralInRange(-30, 30) : PickCoordinate(in);
            const int y = in.ConsumeBool() ? in.ConsumeIntegralInRange(-30, 30) : PickCoordinate(in);
            FUZZ_CHECK(viewer.SetSplit(x, y) == 1, "SetSplit failed");
            break;
        }
        case kInlay: {
            const unsigned w = PickInlay(in), h = PickInlay(in);
            const int ok = viewer.SetInlaySize(w, h);
            const bool half = w == 0xFFFFFFFFu;
            // With the half-size width the height is ignored, except that 0 is refused.
            const bool valid = w != 0 && h != 0 && (half || (w <= INT_MAX && h <= INT_MAX));
            FUZZ_CHECK(ok == (valid ? 1 : 0), "SetInlaySize(%u, %u) returned %d", w, h, ok);
            break;
        }
        case kField:
            FUZZ_CHECK(viewer.SetDisplayField(PickSmallOrAny(in, 3)) == 1,
                       "SetDisplayField failed");
            break;
        case kIntensity:
            viewer.SetIntensity(in.ConsumeBool() ? in.ConsumeIntegralInRange(-20, 300)
                                                 : in.ConsumeIntegral<int>());
            break;
        case kChannel: {
            const unsigned c = PickSmallOrAny(in, 5);
            FUZZ_CHECK(viewer.SetChannel(c) == (c <= 4 ? 1 : 0), "SetChannel(%u)", c);
            break;
        }
        case kSixVector:
            FUZZ_CHECK(viewer.Set6Vector(PickSmallOrAny(in, 7)) == 1, "Set6Vector failed");
            break;
        case kIsolateVector: {
            const unsigned k = PickSmallOrAny(in, 16);
            FUZZ_CHECK(viewer.SetIsolateVector(k) == (k <= 15 ? 1 : 0), "SetIsolateVector(%u)",
                       k);
            if (k <= 15)
                model.isolateVector = k;
            break;
        }
        case kIsolateType: {
            const unsigned t = PickSmallOrAny(in, 8);
            FUZZ_CHECK(viewer.SetIsolateType(t) == (t <= 7 ? 1 : 0), "SetIsolateType(%u)", t);
            break;
        }
        case kIsolateColors: {
            unsigned long a = 1, b = 1;
            const int ok = viewer.GetIsolateColors(a, b);
            const tagCOLORCORRINFO& cc = viewer.Current();
            const bool present = (cc.dwFlags & CC_MATCH_VECTOR) != 0 &&
                                 model.isolateVector < cc.Match.dwCount;
            FUZZ_CHECK(ok == (present ? 1 : 0), "GetIsolateColors returned %d", ok);
            FUZZ_CHECK(a <= 0xFFFFFF && b <= 0xFFFFFF, "GetIsolateColors gave 0x%lx, 0x%lx", a,
                       b);
            break;
        }
        case kDefineSet: {
            const unsigned slot = viewer.DefineSet();
            const unsigned expected = model.n % 32;
            FUZZ_CHECK(slot == expected, "DefineSet used slot %u, expected %u", slot, expected);
            model.sets[slot] = viewer.Current();
            model.n = model.n < 32 ? model.n + 1 : 32 + (slot + 1) % 32;
            break;
        }
        case kDeleteSet: {
            const unsigned k = PickSmallOrAny(in, 33);
            const unsigned count = std::min(model.n, 32u);
            const int ok = viewer.DeleteSet(k);
            FUZZ_CHECK(ok == (k < count ? 1 : 0), "DeleteSet(%u) of %u returned %d", k, count, ok);
            if (ok) {
                for (unsigned i = k; i + 1 < count; ++i)
                    model.sets[i] = model.sets[i + 1];
                model.n = count - 1;
            }
            break;
        }
        case kGetSet: {
            const unsigned k = PickSmallOrAny(in, 33);
            tagCOLORCORRINFO cc;
            std::memset(&cc, 0xEE, sizeof cc);
            const unsigned count = std::min(model.n, 32u);
            FUZZ_CHECK(viewer.QueryNSet() == count, "QueryNSet gave %u, expected %u",
                       viewer.QueryNSet(), count);
            const int ok = viewer.GetSet(k, cc);
            FUZZ_CHECK(ok == (k < count ? 1 : 0), "GetSet(%u) of %u returned %d", k, count, ok);
            FUZZ_CHECK(SameRecord(cc, ok ? model.sets[k] : viewer.Current()),
                       "GetSet(%u) gave another record", k);
            break;
        }
        case kClearSets:
            viewer.ClearListSet();
            model.n = 0;
            FUZZ_CHECK(viewer.QueryNSet() == 0, "sets left after ClearListSet");
            break;
        case kRTLUT: {
            tagBCC_RTLUTPACK a, b;
            std::memset(&a, 0x3C, sizeof a);
            std::memset(&b, 0x3C, sizeof b);
            FUZZ_CHECK(viewer.GetRTLUT(a) == 1, "GetRTLUT failed");
            CColorCorrectionFilter filter;
            FUZZ_CHECK(filter.GetRTLUT(b, viewer.Current().Base) == 1, "a filter's GetRTLUT failed");
            FUZZ_CHECK(std::memcmp(&a, &b, sizeof a) == 0,
                       "the viewer's package differs from a filter's for its correction");
            break;
        }
        case kImageSize: {
            int w = -5, h = -5;
            const int ok = viewer.GetImageSize(w, h);
            if (ok)
                FUZZ_CHECK(w == viewer.Source().GetWidth() && h == viewer.Source().GetHeight(),
                           "GetImageSize gave %d x %d", w, h);
            else
                FUZZ_CHECK(w == 1 && h == 1, "a failed GetImageSize gave %d x %d", w, h);
            break;
        }
        case kPreview: {
            const bool on = in.ConsumeBool();
            const unsigned long value = in.ConsumeIntegral<uint8_t>();
            FUZZ_CHECK(viewer.SetPreview(on ? Callback : nullptr, value) == 1,
                       "SetPreview failed");
            break;
        }
        }
    }
    if (trace)
        std::fprintf(stderr, "previews so far: %d\n", g_previews.load());
    return 0;
}
