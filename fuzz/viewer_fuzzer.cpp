// A viewer driven by any sequence of operations: source and reference
// pictures of any kind, corrections (well-formed or not), displays of every
// type into any pictures (the same one for both outputs too), split, inlay
// size, display field, the forwarding setters, the correction sets, the
// real-time package, the mouse gestures (in any order, with any points), the
// balances and contrast from picked points and the matches and match vectors
// from regions, with a preview worker running in some inputs (its callback
// checks each preview and sometimes changes or frees it).
//
// Promises checked:
//  - documented results of every operation, including refusals;
//  - pictures handed in are not changed; pictures handed out are well formed;
//  - the sets behave as a list of 32 that turns into a ring when full;
//  - GetRTLUT packs the current correction as a filter does;
//  - each preview is a well-formed packed YUV picture of the source's size;
//  - gestures and analyses refuse a record whose size is not 564 and leave
//    it untouched; what they write into a full record keeps its sizes, so
//    that SetCorrection takes it; the cube's angles stay in range;
//  - averaged samples lie in their documented ranges.

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
    kClearSets, kRTLUT, kImageSize, kPreview, kRotate, kAngles, kCoupled, kHueSat, kHist,
    kMatchDrag, kGrayBalance, kToneBalance, kColorBalance, kContrast, kMatch, kMatchVector,
    kSample, kLast = kSample
};

int Coordinate(FuzzedDataProvider& in)
{
    return in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(-10, 400)
                                                : PickCoordinate(in);
}

// The record an operation writes into: the current correction, sometimes
// edited (and then perhaps malformed).
tagCOLORCORRINFO Argument(const Viewer& viewer, FuzzedDataProvider& in)
{
    tagCOLORCORRINFO cc = viewer.Current();
    if (in.ConsumeIntegralInRange(0, 3) == 0)
        EditCorrection(cc, in);
    return cc;
}

tagRECT Rect(FuzzedDataProvider& in)
{
    tagRECT rc;
    rc.left = Coordinate(in);
    rc.top = Coordinate(in);
    rc.right = Coordinate(in);
    rc.bottom = Coordinate(in);
    return rc;
}

// Checks an operation that writes a correction into cc: refused with cc
// untouched for a record of another size; a full record stays one.
void CheckWritten(const char* what, int ok, const tagCOLORCORRINFO& before,
                  const tagCOLORCORRINFO& after, Viewer& viewer, bool apply)
{
    if (before.dwSize != 564) {
        FUZZ_CHECK(ok == 0, "%s accepted a record of size %u", what, before.dwSize);
        FUZZ_CHECK(SameRecord(before, after), "%s changed a record it refused", what);
        return;
    }
    if (!WellFormedCorrection(before))
        return;
    FUZZ_CHECK(WellFormedCorrection(after), "%s made a record the filter refuses", what);
    if (apply)
        FUZZ_CHECK(viewer.SetCorrection(after) == 1, "SetCorrection refused what %s wrote", what);
}

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
            // Sizes whose reduced picture cannot be made are refused too.
            const bool valid =
                w != 0 && h != 0 &&
                (half || (w <= INT_MAX && h <= INT_MAX &&
                          uint64_t{4} * w * h <= colorcorrect::MAX_PICTURE_BYTES));
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
        case kRotate: {
            const int kind = in.ConsumeIntegralInRange(0, 3);
            const int x = Coordinate(in), y = Coordinate(in);
            if (kind == 0)
                viewer.BeginRotate(x, y);
            else if (kind == 1)
                viewer.Rotate(x, y);
            else if (kind == 2)
                viewer.RotateZ(x, y);
            else
                viewer.EndRotate();
            break;
        }
        case kAngles: {
            if (in.ConsumeBool())
                viewer.SetAngles(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(),
                                 in.ConsumeIntegral<int>());
            int a = 999, b = 999, g = 999;
            viewer.GetAngles(a, b, g);
            FUZZ_CHECK(a >= -180 && a <= 180 && b >= 0 && b <= 180 && g >= -180 && g <= 180,
                       "GetAngles gave %d %d %d", a, b, g);
            break;
        }
        case kCoupled:
        case kHueSat:
        case kHist:
        case kMatchDrag: {
            const int phase = in.ConsumeIntegralInRange(0, 2); // begin, move, end
            const int x = Coordinate(in), y = Coordinate(in);
            unsigned long target = 0, values = 0;
            unsigned mode = 0;
            if (phase == 0 && (op == kCoupled || op == kHueSat)) {
                target = in.ConsumeBool() ? (1ul << in.ConsumeIntegralInRange(0, 2))
                                          : in.ConsumeIntegral<uint32_t>();
                values = in.ConsumeBool() ? in.ConsumeIntegralInRange<unsigned long>(0, 0x3FFFFF)
                                          : in.ConsumeIntegral<uint32_t>();
            }
            if (phase == 0 && op == kMatchDrag)
                mode = PickSmallOrAny(in, 9);
            const bool apply = in.ConsumeBool();
            const tagCOLORCORRINFO before = Argument(viewer, in);
            tagCOLORCORRINFO cc = before;
            int ok = 0;
            const char* what = "a gesture";
            switch (op * 3 + phase) {
            case kCoupled * 3: ok = viewer.BeginCoupledAdjust(x, y, target, values, cc); what = "BeginCoupledAdjust"; break;
            case kCoupled * 3 + 1: ok = viewer.CoupledAdjust(x, y, cc); what = "CoupledAdjust"; break;
            case kCoupled * 3 + 2: ok = viewer.EndCoupledAdjust(x, y, cc); what = "EndCoupledAdjust"; break;
            case kHueSat * 3: ok = viewer.BeginHueSatAdjust(x, y, target, values, cc); what = "BeginHueSatAdjust"; break;
            case kHueSat * 3 + 1: ok = viewer.HueSatAdjust(x, y, cc); what = "HueSatAdjust"; break;
            case kHueSat * 3 + 2: ok = viewer.EndHueSatAdjust(x, y, cc); what = "EndHueSatAdjust"; break;
            case kHist * 3: ok = viewer.BeginHistAdjust(x, y, cc); what = "BeginHistAdjust"; break;
            case kHist * 3 + 1: ok = viewer.HistAdjust(x, y, cc); what = "HistAdjust"; break;
            case kHist * 3 + 2: ok = viewer.EndHistAdjust(x, y, cc); what = "EndHistAdjust"; break;
            case kMatchDrag * 3: ok = viewer.BeginMatchAdjust(x, y, mode, cc); what = "BeginMatchAdjust"; break;
            case kMatchDrag * 3 + 1: ok = viewer.MatchAdjust(x, y, cc); what = "MatchAdjust"; break;
            default: ok = viewer.EndMatchAdjust(x, y, cc); what = "EndMatchAdjust"; break;
            }
            if (trace)
                std::fprintf(stderr, "  %s(%d, %d) -> %d\n", what, x, y, ok);
            // Moves and ends write the start record's changes, whatever the
            // size of the record handed in; only the begins look at it.
            if (phase == 0)
                CheckWritten(what, ok, before, cc, viewer, apply);
            else if (ok && apply && WellFormedCorrection(cc))
                FUZZ_CHECK(viewer.SetCorrection(cc) == 1, "SetCorrection refused what %s wrote",
                           what);
            break;
        }
        case kGrayBalance:
        case kToneBalance:
        case kColorBalance:
        case kContrast: {
            const int kind = in.ConsumeIntegralInRange(0, 2);
            int x[3], y[3], xr[3], yr[3];
            for (int i = 0; i < 3; ++i) {
                x[i] = Coordinate(in);
                y[i] = Coordinate(in);
                xr[i] = Coordinate(in);
                yr[i] = Coordinate(in);
            }
            const unsigned mode = PickSmallOrAny(in, 4);
            const int nulls = in.ConsumeIntegralInRange(0, 7); // ColorBalance_3pt: one pointer null
            const bool apply = in.ConsumeBool();
            const tagCOLORCORRINFO before = Argument(viewer, in);
            tagCOLORCORRINFO cc = before;
            int ok = 0;
            const char* what = "";
            if (op == kGrayBalance) {
                if (kind == 0) { ok = viewer.GrayBalance_1pt(cc, x[0], y[0], mode); what = "GrayBalance_1pt"; }
                else if (kind == 1) { ok = viewer.GrayBalance_2pt(cc, x[0], y[0], x[1], y[1]); what = "GrayBalance_2pt"; }
                else { ok = viewer.GrayBalance_3pt(cc, x[0], y[0], x[1], y[1], x[2], y[2]); what = "GrayBalance_3pt"; }
                if (before.dwSize == 564)
                    FUZZ_CHECK(ok == 1, "%s returned %d", what, ok);
            } else if (op == kToneBalance) {
                ok = viewer.ToneBalance_1pt(cc, x[0], y[0], xr[0], yr[0], mode);
                what = "ToneBalance_1pt";
            } else if (op == kColorBalance) {
                if (kind != 2) {
                    ok = viewer.ColorBalance_1pt(cc, x[0], y[0], xr[0], yr[0]);
                    what = "ColorBalance_1pt";
                } else {
                    ok = viewer.ColorBalance_3pt(cc, nulls == 0 ? nullptr : x, nulls == 1 ? nullptr : y,
                                                 nulls == 2 ? nullptr : xr, nulls == 3 ? nullptr : yr);
                    what = "ColorBalance_3pt";
                    if (nulls < 4)
                        FUZZ_CHECK(ok == 0 && SameRecord(cc, before),
                                   "ColorBalance_3pt with a null pointer returned %d", ok);
                }
            } else {
                ok = viewer.Contrast(cc, x[0], y[0], x[1], y[1]);
                what = "Contrast";
                if (before.dwSize == 564)
                    FUZZ_CHECK(ok == 1, "Contrast returned %d", ok);
            }
            if (trace)
                std::fprintf(stderr, "  %s -> %d\n", what, ok);
            if (ok == 0 && before.dwSize == 564)
                FUZZ_CHECK(SameRecord(cc, before), "a refused %s changed the record", what);
            CheckWritten(what, ok, before, cc, viewer, apply && ok);
            break;
        }
        case kMatch: {
            const bool hue = in.ConsumeBool();
            tagRECT rr = Rect(in), rs = Rect(in);
            const bool nullRef = in.ConsumeBool(), nullSrc = in.ConsumeBool();
            const bool apply = in.ConsumeBool();
            const tagCOLORCORRINFO before = Argument(viewer, in);
            tagCOLORCORRINFO cc = before;
            const int ok = hue ? viewer.HueMatch(cc, nullRef ? nullptr : &rr, nullSrc ? nullptr : &rs)
                               : viewer.HistoMatch(cc, nullRef ? nullptr : &rr, nullSrc ? nullptr : &rs);
            if (trace)
                std::fprintf(stderr, "  %s -> %d\n", hue ? "HueMatch" : "HistoMatch", ok);
            CheckWritten(hue ? "HueMatch" : "HistoMatch", ok, before, cc, viewer, apply && ok);
            break;
        }
        case kMatchVector: {
            const int kind = in.ConsumeIntegralInRange(0, 2);
            tagRECT rc = Rect(in);
            const bool null = in.ConsumeIntegralInRange(0, 7) == 0;
            tagMATCHVECTOR mv;
            mv.Init();
            const std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(in.ConsumeBool() ? sizeof mv : 0);
            if (!raw.empty())
                std::memcpy(&mv, raw.data(), raw.size());
            const tagMATCHVECTOR before = mv;
            const int ok = kind == 0   ? viewer.GetMatchVector(mv, null ? nullptr : &rc)
                           : kind == 1 ? viewer.AddToMatchVector(mv, null ? nullptr : &rc)
                                       : viewer.SetMatchVectorTo(mv, null ? nullptr : &rc);
            if (trace)
                std::fprintf(stderr, "  match vector %d -> %d\n", kind, ok);
            if (null)
                FUZZ_CHECK(ok == 0, "a match vector operation took a null rectangle");
            if (ok == 0)
                FUZZ_CHECK(std::memcmp(&mv, &before, sizeof mv) == 0,
                           "a refused match vector operation changed the vector");
            break;
        }
        case kSample: {
            const int x = Coordinate(in), y = Coordinate(in);
            const int reference = in.ConsumeBool() ? 1 : 0;
            int a = -999, b = -999, c = -999;
            if (in.ConsumeBool()) {
                const int ok = viewer.GetPixelAveragedYUV(x, y, a, b, c, reference);
                if (ok)
                    FUZZ_CHECK(a >= 0 && a <= 255 && b >= -128 && b <= 127 && c >= -128 && c <= 127,
                               "GetPixelAveragedYUV gave %d %d %d", a, b, c);
                else
                    FUZZ_CHECK((a == -999 && b == -999 && c == -999) || (a == 0 && b == 0 && c == 0),
                               "a failed GetPixelAveragedYUV gave %d %d %d", a, b, c);
            } else {
                viewer.GetPixelAveragedRGB(x, y, a, b, c, reference);
            }
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
