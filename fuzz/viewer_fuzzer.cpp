// A viewer driven by any sequence of operations, a preview worker running in
// some inputs: documented results and refusals; pictures handed in unchanged;
// the sets follow a model (a list of 32, then a ring); GetRTLUT packs as a
// filter does; what gestures and analyses write, SetCorrection takes.

#include <algorithm>
#include <climits>

#include "support/fuzz_support.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

class Viewer : public CColorCorrectionViewer {
public:
    const CVoraDib& Source() const { return m_dibSource; }
    const tagCOLORCORRINFO& Current() const { return m_ccCurrent; }
};
using V = CColorCorrectionViewer;

// Checks each preview; the host may change or free the picture it is handed.
int Callback(CVoraDib& picture, unsigned long value)
{
    CheckPicture(picture);
    FUZZ_CHECK(IsYuv(picture));
    value % 3 == 1 ? void(picture.Realloc(0, 0, 32, 0)) : value % 3 == 2 ? picture.Free() : void(*static_cast<BYTE*>(picture) ^= 0x55);
    return static_cast<int>(value);
}

// Setters taking 0..limit and refusing the rest.
constexpr struct {
    int (V::*set)(unsigned);
    unsigned limit;
} kSetters[] = {{&V::SetDisplayField, UINT_MAX}, {&V::Set6Vector, UINT_MAX}, {&V::SetChannel, 4},
                {&V::SetIsolateVector, 15},      {&V::SetIsolateType, 7}};
// Gesture moves and ends, and the begin of the histogram drag: the others' begins take more.
constexpr int (V::*kDrags[])(int, int, tagCOLORCORRINFO&) = {
    &V::CoupledAdjust,  &V::EndCoupledAdjust, &V::HueSatAdjust,    &V::EndHueSatAdjust, &V::HistAdjust,
    &V::EndHistAdjust, &V::MatchAdjust,      &V::EndMatchAdjust,  &V::BeginHistAdjust};

int Coordinate(FuzzedDataProvider& in)
{
    return in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(-10, 400) : PickCoordinate(in);
}

unsigned Inlay(FuzzedDataProvider& in) // small, or an edge the viewer refuses or cannot allocate
{
    constexpr unsigned kEdges[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu};
    return in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(1u, 48u)
                                                : kEdges[in.ConsumeIntegralInRange<size_t>(0, std::size(kEdges) - 1)];
}

// An operation writing into `cc`, handed `before` (the current correction,
// sometimes edited): a begin or an analysis refuses a record not of size 564
// untouched and keeps a well-formed one so; SetCorrection takes what it wrote.
void DoWriter(Viewer& viewer, FuzzedDataProvider& in)
{
    const int kind = in.ConsumeIntegralInRange(0, 12);
    tagCOLORCORRINFO before = viewer.Current(), cc;
    if (in.ConsumeIntegralInRange(0, 3) == 0)
        EditCorrection(before, in);
    cc = before;
    int p[12];
    for (int& v : p)
        v = Coordinate(in);
    const unsigned mode = PickSmallOrAny(in, kind == 3 ? 9 : 4);
    const unsigned long target = in.ConsumeBool() ? (1ul << in.ConsumeIntegralInRange(0, 2)) : in.ConsumeIntegral<uint32_t>();
    const unsigned long values = in.ConsumeBool() ? in.ConsumeIntegralInRange(0ul, 0x3FFFFFul) : in.ConsumeIntegral<uint32_t>();
    tagRECT r[2] = {{p[0], p[1], p[2], p[3]}, {p[4], p[5], p[6], p[7]}};
    const int nulls = in.ConsumeIntegralInRange(0, 7); // below 4: one of the pointers null
    int ok = 0;
    bool begin = true;
    const bool mustWork = kind >= 4 && kind <= 7;
    switch (kind) {
    case 0: ok = viewer.BeginCoupledAdjust(p[0], p[1], target, values, cc); break;
    case 1: ok = viewer.BeginHueSatAdjust(p[0], p[1], target, values, cc); break;
    case 2: ok = (viewer.*kDrags[mode % std::size(kDrags)])(p[0], p[1], cc), begin = mode % 9 == 8; break;
    case 3: ok = viewer.BeginMatchAdjust(p[0], p[1], mode, cc); break;
    case 4: ok = viewer.GrayBalance_1pt(cc, p[0], p[1], mode); break;
    case 5: ok = viewer.GrayBalance_2pt(cc, p[0], p[1], p[2], p[3]); break;
    case 6: ok = viewer.GrayBalance_3pt(cc, p[0], p[1], p[2], p[3], p[4], p[5]); break;
    case 7: ok = viewer.Contrast(cc, p[0], p[1], p[2], p[3]); break;
    case 8: ok = viewer.ToneBalance_1pt(cc, p[0], p[1], p[2], p[3], mode); break;
    case 9: ok = viewer.ColorBalance_1pt(cc, p[0], p[1], p[2], p[3]); break;
    case 10:
        ok = viewer.ColorBalance_3pt(cc, nulls == 0 ? nullptr : p, nulls == 1 ? nullptr : p + 3, nulls == 2 ? nullptr : p + 6,
                                     nulls == 3 ? nullptr : p + 9);
        FUZZ_CHECK(nulls >= 4 || (ok == 0 && SameBytes(cc, before)));
        break;
    case 11: ok = viewer.HueMatch(cc, nulls == 0 ? nullptr : &r[0], nulls == 1 ? nullptr : &r[1]); break;
    default: ok = viewer.HistoMatch(cc, nulls == 0 ? nullptr : &r[0], nulls == 1 ? nullptr : &r[1]); break;
    }
    FUZZ_CHECK(ok == 1 || before.dwSize != 564 || (!mustWork && (kind <= 3 || kind >= 11 || SameBytes(cc, before))));
    FUZZ_CHECK(!begin || before.dwSize == 564 || (ok == 0 && SameBytes(before, cc)));
    FUZZ_CHECK(!begin || !WellFormedCorrection(before) || WellFormedCorrection(cc));
    FUZZ_CHECK(!ok || !WellFormedCorrection(cc) || viewer.SetCorrection(cc) == 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Viewer viewer;
    tagCOLORCORRINFO sets[32]; // the model of the sets
    unsigned nSets = 0;        // as the viewer counts: from 32 on, 32 + the next slot
    unsigned isolateVector = 0, u = 0;
    tagCOLORCORRINFO record = viewer.Current(), cc;
    CVoraDib outputs[2];
    int pictureCalls = 0, setups = 0, workers = 0, x = 0, y = 0, ok = 0, a = 0, b = 0, c = 0;
    for (int n = 0; n < 28 && in.remaining_bytes() > 0; ++n) {
        const unsigned count = std::min(nSets, 32u);
        switch (in.ConsumeIntegralInRange(0, 15)) {
        case 0: {
            if (++pictureCalls > 8)
                break;
            const bool source = in.ConsumeBool();
            CVoraDib dib = MakePicture(in);
            const std::vector<BYTE> before = BlockBytes(dib);
            ok = source ? viewer.SetSource(dib) : viewer.SetReference(dib);
            CheckUnchanged(dib, before, "SetSource or SetReference");
            CheckPicture(viewer.Source());
            // Accepted: a picture, stored as a 24-bit packed YUV copy of the source.
            FUZZ_CHECK(ok == 0 || (dib.GetWidth() > 0 && (!source || (IsYuv(viewer.Source()) && PixelStep(viewer.Source()) == 3 &&
                       viewer.Source().GetWidth() == dib.GetWidth() && viewer.Source().GetHeight() == dib.GetHeight()))));
            break;
        }
        case 1:
            if (++setups > 3) // set-ups, here and in the writers, are the slow part of an input
                break;
            EditCorrection(record, in);
            cc = viewer.Current();
            ok = viewer.SetCorrection(record);
            FUZZ_CHECK(ok == WellFormedCorrection(record) && SameBytes(viewer.Current(), ok ? record : cc));
            break;
        case 2: {
            u = in.ConsumeIntegralInRange(0, 7) != 0 ? in.ConsumeIntegralInRange(0u, 7u) : in.ConsumeIntegral<unsigned>();
            const bool same = in.ConsumeIntegralInRange(0, 7) == 0;
            if (in.ConsumeBool())
                outputs[in.ConsumeIntegralInRange(0, 1)] = MakePicture(in);
            ok = viewer.GetDisplay(outputs[0], same ? outputs[0] : outputs[1], u);
            CheckPicture(outputs[0]);
            CheckPicture(outputs[1]);
            FUZZ_CHECK(!ok || (u != 3 && u <= 7 && (same || !IsYuv(outputs[0]))));
            break;
        }
        case 3: {
            const unsigned w = Inlay(in), h = Inlay(in);
            // The half-size width ignores the height, except that 0 is refused;
            // sizes whose reduced picture cannot be made are refused too.
            FUZZ_CHECK(viewer.SetInlaySize(w, h) == (w != 0 && h != 0 && (w == 0xFFFFFFFFu || (w <= INT_MAX && h <= INT_MAX &&
                                                                                              uint64_t{4} * w * h <= MAX_PICTURE_BYTES))));
            break;
        }
        case 4: {
            const auto& s = kSetters[in.ConsumeIntegralInRange<size_t>(0, std::size(kSetters) - 1)];
            u = PickSmallOrAny(in, std::min(s.limit, 15u) + 1);
            FUZZ_CHECK((viewer.*s.set)(u) == (u <= s.limit));
            isolateVector = s.set == &V::SetIsolateVector && u <= 15 ? u : isolateVector;
            viewer.SetIntensity(in.ConsumeBool() ? in.ConsumeIntegralInRange(-20, 300) : in.ConsumeIntegral<int>());
            FUZZ_CHECK(viewer.SetSplit(in.ConsumeIntegralInRange(-30, 30), Coordinate(in)) == 1);
            break;
        }
        case 5:
            u = viewer.DefineSet();
            FUZZ_CHECK(u == nSets % 32);
            sets[u] = viewer.Current();
            nSets = nSets < 32 ? nSets + 1 : 32 + (u + 1) % 32;
            break;
        case 6:
            u = PickSmallOrAny(in, 33);
            ok = viewer.DeleteSet(u);
            FUZZ_CHECK(ok == (u < count));
            if (ok)
                std::copy(sets + u + 1, sets + count, sets + u), nSets = count - 1;
            break;
        case 7:
            u = PickSmallOrAny(in, 33);
            std::memset(&cc, 0xEE, sizeof cc);
            FUZZ_CHECK(viewer.QueryNSet() == count);
            ok = viewer.GetSet(u, cc);
            FUZZ_CHECK(ok == (u < count) && SameBytes(cc, ok ? sets[u] : viewer.Current()));
            if (in.ConsumeIntegralInRange(0, 3) == 0)
                viewer.ClearListSet(), nSets = 0;
            break;
        case 8: {
            tagBCC_RTLUTPACK pa, pb; // padding alike
            std::memset(&pa, 0x3C, sizeof pa);
            std::memset(&pb, 0x3C, sizeof pb);
            CColorCorrectionFilter filter;
            FUZZ_CHECK(viewer.GetRTLUT(pa) == 1 && filter.GetRTLUT(pb, viewer.Current().Base) == 1 && SameBytes(pa, pb));
            x = y = -5;
            ok = viewer.GetImageSize(x, y);
            FUZZ_CHECK(ok ? x == viewer.Source().GetWidth() && y == viewer.Source().GetHeight() : x == 1 && y == 1);
            unsigned long ia = 1, ib = 1;
            ok = viewer.GetIsolateColors(ia, ib);
            FUZZ_CHECK(ok == ((viewer.Current().dwFlags & CC_MATCH_VECTOR) && isolateVector < viewer.Current().Match.dwCount) &&
                       ia <= 0xFFFFFF && ib <= 0xFFFFFF);
            break;
        }
        case 9: {
            const int kind = in.ConsumeIntegralInRange(0, 4);
            x = Coordinate(in);
            y = Coordinate(in);
            if (kind == 4)
                viewer.SetAngles(in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>());
            kind == 0 ? viewer.BeginRotate(x, y) : kind == 1 ? viewer.Rotate(x, y) : kind == 2 ? viewer.RotateZ(x, y) : viewer.EndRotate();
            viewer.GetAngles(a, b, c);
            FUZZ_CHECK(a >= -180 && a <= 180 && b >= 0 && b <= 180 && c >= -180 && c <= 180);
            break;
        }
        case 10: { // a failed match vector operation leaves the vector; a sample is a YUV colour
            const int kind = in.ConsumeIntegralInRange(0, 2);
            tagRECT rc{Coordinate(in), Coordinate(in), Coordinate(in), Coordinate(in)};
            tagRECT* r = in.ConsumeIntegralInRange(0, 7) == 0 ? nullptr : &rc;
            tagMATCHVECTOR mv, before;
            std::memset(&mv, in.ConsumeIntegral<uint8_t>(), sizeof mv);
            before = mv;
            ok = kind == 0 ? viewer.GetMatchVector(mv, r) : kind == 1 ? viewer.AddToMatchVector(mv, r) : viewer.SetMatchVectorTo(mv, r);
            FUZZ_CHECK((r || !ok) && (ok || SameBytes(mv, before)));
            a = b = c = 0;
            if (viewer.GetPixelAveragedYUV(rc.left, rc.top, a, b, c, in.ConsumeBool()))
                FUZZ_CHECK(a >= 0 && a <= 255 && b >= -128 && b <= 127 && c >= -128 && c <= 127);
            viewer.GetPixelAveragedRGB(rc.right, rc.bottom, a, b, c, in.ConsumeBool());
            break;
        }
        case 11: {
            // Each start is a new thread and a render: two at most.
            const bool on = in.ConsumeBool() && ++workers <= 2;
            FUZZ_CHECK(viewer.SetPreview(on ? Callback : nullptr, in.ConsumeIntegral<uint8_t>()) == 1);
            break;
        }
        default:
            if (++setups <= 3) // each may end in a set-up
                DoWriter(viewer, in);
            break;
        }
    }
    return 0;
}
