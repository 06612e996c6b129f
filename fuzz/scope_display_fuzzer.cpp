// ProcessDisplay with any pictures in any roles and every mode, between the
// display settings: the documented refusals change nothing; `out` is an RGB
// picture of `in`'s size, `display` the 384 x 288 background (mode 0 leaves
// it), and a copy of the filter draws the same.

#include "support/fuzz_support.h"

using namespace colorcorrect;
using namespace colorcorrect::fuzz;

namespace {

void DoDisplay(CColorCorrectionFilter& filter, CVoraDib (&pictures)[3], FuzzedDataProvider& in)
{
    const int i = in.ConsumeIntegralInRange(0, 2), o = in.ConsumeIntegralInRange(0, 2), d = in.ConsumeIntegralInRange(0, 2);
    const unsigned mode = in.ConsumeIntegralInRange(0, 15) != 0 ? in.ConsumeIntegralInRange(0u, 7u) : in.ConsumeIntegral<unsigned>();
    const bool compareCopy = in.ConsumeBool();
    std::vector<BYTE> before[3];
    for (int k = 0; k < 3; ++k)
        before[k] = BlockBytes(pictures[k]);
    const bool inYuv = IsYuv(pictures[i]);
    const int w = pictures[i].GetWidth(), h = pictures[i].GetHeight();
    const bool bits24 = inYuv && static_cast<const tagDIBINFO*>(pictures[i])->bmiHeader.biBitCount == 24;
    CColorCorrectionFilter copy(filter);
    CVoraDib copies[3] = {pictures[0], pictures[1], pictures[2]};

    const int ok = filter.ProcessDisplay(pictures[i], pictures[o], pictures[d], mode);
    const bool refused = !inYuv || mode == 3 || mode > 7 || (mode != 0 && (d == i || d == o));
    FUZZ_CHECK(ok == !refused);
    for (int k = 0; k < 3; ++k) {
        CheckPicture(pictures[k]);
        if (!ok || (k == i && i != o) || (mode == 0 && k == d && d != i && d != o))
            CheckUnchanged(pictures[k], before[k], ok ? "ProcessDisplay's input" : "a refused ProcessDisplay");
    }
    if (!ok)
        return;
    const tagDIBINFO* hout = pictures[o];
    FUZZ_CHECK(pictures[o].GetWidth() == w && pictures[o].GetHeight() == h &&
                   hout->bmiHeader.biBitCount == (bits24 ? 24 : 32) && hout->bmiHeader.biCompression == 0,
               "out is %d x %d, not an RGB picture of in's %d x %d", pictures[o].GetWidth(), pictures[o].GetHeight(), w, h);
    FUZZ_CHECK(mode == 0 || (pictures[d].GetWidth() == 384 && pictures[d].GetHeight() == 288));
    if (!compareCopy)
        return;
    FUZZ_CHECK(copy.ProcessDisplay(copies[i], copies[o], copies[d], mode) == 1);
    CheckSamePixels(pictures[o], copies[o], "out of a copy of the filter");
    CheckSamePixels(pictures[d], copies[d], "display of a copy of the filter");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    CColorCorrectionFilter filter;
    tagCOLORCORRINFO record{};
    record.Init(564);
    CVoraDib pictures[3];
    int displays = 0, setups = 0;
    unsigned isolateVector = 0;
    for (int n = 0; n < 16 && in.remaining_bytes() > 0; ++n) {
        switch (in.ConsumeIntegralInRange(0, 6)) {
        case 0: pictures[in.ConsumeIntegralInRange(0, 2)] = MakePicture(in); break;
        case 1:
            EditCorrection(record, in);
            if (++setups <= 2) // set-ups and displays are the slow part of an input
                FUZZ_CHECK(filter.SetupFilter(record) == WellFormedCorrection(record));
            break;
        case 2:
            if (++displays <= 4)
                DoDisplay(filter, pictures, in);
            break;
        case 3:
        case 4: { // the settings' documented results and ranges
            filter.SetVectorIntensity(in.ConsumeBool() ? in.ConsumeIntegralInRange(-20, 300) : in.ConsumeIntegral<int>());
            const unsigned channel = PickSmallOrAny(in, 5), vector = PickSmallOrAny(in, 16), type = PickSmallOrAny(in, 8);
            FUZZ_CHECK(filter.SetChannel(channel) == (channel <= 4) && filter.SetIsolateVector(vector) == (vector <= 15) &&
                       filter.SetIsolateType(type) == (type <= 7));
            isolateVector = vector <= 15 ? vector : isolateVector;
            tagMATCHVECTOR mv;
            mv.Init();
            CopyIn(&mv, in.ConsumeBytes<uint8_t>(in.ConsumeBool() ? sizeof mv : 0));
            const bool null = in.ConsumeIntegralInRange(0, 7) == 0;
            FUZZ_CHECK(filter.SetIsolateParam(null ? nullptr : &mv) == !null);
            int a[3];
            for (int& v : a)
                v = in.ConsumeBool() ? in.ConsumeIntegralInRange(-400, 400) : in.ConsumeIntegral<int>();
            const int dx = in.ConsumeBool() ? in.ConsumeIntegralInRange(-50, 50) : PickCoordinate(in), dy = PickCoordinate(in);
            in.ConsumeBool() ? filter.SetNewAngles(a[0], a[1], a[2], dx, dy) : filter.SetNewAngles(a[0], a[1], a[2], dx);
            FUZZ_CHECK(a[0] >= -180 && a[0] <= 180 && a[1] >= 0 && a[1] <= 180 && a[2] >= -180 && a[2] <= 180);
            break;
        }
        case 5: {
            const CVoraDib& ref = pictures[in.ConsumeIntegralInRange(0, 2)];
            const std::vector<BYTE> before = BlockBytes(ref);
            FUZZ_CHECK(filter.SetReference(ref) == 0 || IsYuv(ref));
            CheckUnchanged(ref, before, "SetReference");
            break;
        }
        default: { // the colours of the isolated vector, or mid-gray without one
            unsigned long before = 1, after = 1;
            const int ok = filter.GetIsolateColors(record, before, after);
            FUZZ_CHECK(ok == ((record.dwFlags & CC_MATCH_VECTOR) && isolateVector < record.Match.dwCount) && before <= 0xFFFFFF &&
                       after <= 0xFFFFFF && (ok || (before == 0x808080 && after == 0x808080)));
            break;
        }
        }
    }
    return 0;
}
