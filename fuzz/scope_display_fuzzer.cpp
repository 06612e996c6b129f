// ProcessDisplay with any pictures (sizes, bit counts, compression, flags,
// field order, empty ones, the same object in two roles), every mode, and the
// display settings in any order: correction, vector intensity, channel view,
// isolate vector, type and parameter, cube angles and the reference
// histogram.
//
// Promises checked:
//  - 0, with every picture unchanged, when `in` is not "@YUV", for mode 3 or
//    above 7 and when `display` is `in` or `out` in modes 1..7; 1 for every
//    other call;
//  - after a success `out` is a well-formed RGB picture of `in`'s size and
//    bit count, `in` is unchanged (unless it is `out`), mode 0 leaves
//    `display` alone and modes 1..7 give it the 384 x 288 background;
//  - a copy of the filter draws the same `out` and the same display;
//  - the settings' documented results and ranges.

#include <colorcorrect/colorcorrect.h>

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

constexpr int kMaxOperations = 16;
constexpr int kMaxDisplays = 6;
// Set-ups build the engine's tables and are the slow part of an input.
constexpr int kMaxSetups = 3;

struct State {
    CColorCorrectionFilter filter;
    tagCOLORCORRINFO record{};
    CVoraDib pictures[3];
    int displays = 0;
    int setups = 0;
};

bool IsYuv(const CVoraDib& dib)
{
    const tagDIBINFO* hd = dib;
    return hd != nullptr && hd->bmiHeader.biCompression == colorcorrect::YUV_COMPRESSION;
}

void DoDisplay(State& st, FuzzedDataProvider& in)
{
    // Roles: which of the three pictures is in, out and display (the same
    // one may take several roles).
    const int inIndex = in.ConsumeIntegralInRange(0, 2);
    const int outIndex = in.ConsumeIntegralInRange(0, 2);
    const int displayIndex = in.ConsumeIntegralInRange(0, 2);
    const unsigned mode = in.ConsumeIntegralInRange(0, 15) != 0 ? in.ConsumeIntegralInRange(0u, 7u)
                                                                : in.ConsumeIntegral<unsigned>();
    const bool compareCopy = in.ConsumeBool();
    if (++st.displays > kMaxDisplays)
        return;
    CVoraDib& pin = st.pictures[inIndex];
    CVoraDib& pout = st.pictures[outIndex];
    CVoraDib& pdisplay = st.pictures[displayIndex];

    std::vector<BYTE> before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = BlockBytes(st.pictures[i]);
    const bool inYuv = IsYuv(pin);
    const int w = pin.GetWidth(), h = pin.GetHeight();
    const tagDIBINFO* hin = pin;
    const int bits = hin != nullptr ? hin->bmiHeader.biBitCount : 0;

    // The copy works on copies of the pictures, before anything changes.
    CColorCorrectionFilter copy(st.filter);
    CVoraDib copies[3] = {st.pictures[0], st.pictures[1], st.pictures[2]};

    const int ok = st.filter.ProcessDisplay(pin, pout, pdisplay, mode);
    if (std::getenv("COLORCORRECT_FUZZ_TRACE") != nullptr)
        std::fprintf(stderr, "  in %d (%d x %d x %d, yuv %d) out %d display %d mode %u -> %d\n",
                     inIndex, w, h, bits, inYuv, outIndex, displayIndex, mode, ok);
    const bool refused = !inYuv || mode == 3 || mode > 7 ||
                         (mode != 0 && (displayIndex == inIndex || displayIndex == outIndex));
    FUZZ_CHECK(ok == (refused ? 0 : 1), "ProcessDisplay returned %d (in yuv %d, mode %u, roles "
               "%d %d %d)", ok, inYuv, mode, inIndex, outIndex, displayIndex);
    for (int i = 0; i < 3; ++i)
        CheckPicture(st.pictures[i]);
    if (!ok) {
        for (int i = 0; i < 3; ++i)
            CheckUnchanged(st.pictures[i], before[i], "a refused ProcessDisplay");
        return;
    }
    if (inIndex != outIndex)
        CheckUnchanged(pin, before[inIndex], "ProcessDisplay's input");
    const tagDIBINFO* hout = pout;
    FUZZ_CHECK(hout != nullptr && pout.GetWidth() == w && pout.GetHeight() == h &&
                   hout->bmiHeader.biBitCount == (bits == 24 ? 24 : 32) &&
                   hout->bmiHeader.biCompression == 0,
               "out is %d x %d x %d, compression 0x%x; in %d x %d x %d", pout.GetWidth(),
               pout.GetHeight(), hout != nullptr ? hout->bmiHeader.biBitCount : 0,
               hout != nullptr ? hout->bmiHeader.biCompression : 0, w, h, bits);
    if (mode == 0) {
        if (displayIndex != inIndex && displayIndex != outIndex)
            CheckUnchanged(pdisplay, before[displayIndex], "ProcessDisplay in mode 0's display");
    } else {
        FUZZ_CHECK(pdisplay.GetWidth() == 384 && pdisplay.GetHeight() == 288,
                   "the display of mode %u is %d x %d", mode, pdisplay.GetWidth(),
                   pdisplay.GetHeight());
    }
    if (!compareCopy)
        return;
    FUZZ_CHECK(copy.ProcessDisplay(copies[inIndex], copies[outIndex], copies[displayIndex],
                                   mode) == 1,
               "a copy of the filter refused the display");
    CheckSamePixels(pout, copies[outIndex], "out of a copy of the filter");
    CheckSamePixels(pdisplay, copies[displayIndex], "display of a copy of the filter");
}

void DoAngles(State& st, FuzzedDataProvider& in)
{
    int angles[3];
    for (int& a : angles)
        a = in.ConsumeBool() ? in.ConsumeIntegralInRange(-400, 400) : in.ConsumeIntegral<int>();
    if (in.ConsumeBool()) {
        const int dx = in.ConsumeBool() ? in.ConsumeIntegralInRange(-50, 50) : PickCoordinate(in);
        const int dy = in.ConsumeBool() ? in.ConsumeIntegralInRange(-50, 50) : PickCoordinate(in);
        st.filter.SetNewAngles(angles[0], angles[1], angles[2], dx, dy);
    } else {
        const int d = in.ConsumeBool() ? in.ConsumeIntegralInRange(-400, 400) : PickCoordinate(in);
        st.filter.SetNewAngles(angles[0], angles[1], angles[2], d);
    }
    FUZZ_CHECK(angles[0] >= -180 && angles[0] <= 180 && angles[1] >= 0 && angles[1] <= 180 &&
                   angles[2] >= -180 && angles[2] <= 180,
               "SetNewAngles gave %d %d %d", angles[0], angles[1], angles[2]);
}

enum Operation {
    kPicture, kSetup, kDisplay, kIntensity, kChannel, kIsolateVector, kIsolateType,
    kIsolateParam, kAngles, kReference, kIsolateColors, kLast = kIsolateColors
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    State st;
    st.record.Init(564);
    unsigned isolateVector = 0;
    for (int n = 0; n < kMaxOperations && in.remaining_bytes() > 0; ++n) {
        switch (in.ConsumeIntegralInRange(0, int(kLast))) {
        case kPicture: {
            const int i = in.ConsumeIntegralInRange(0, 2);
            st.pictures[i] = MakePicture(in);
            break;
        }
        case kSetup: {
            EditCorrection(st.record, in);
            if (++st.setups > kMaxSetups)
                break;
            const BOOL ok = st.filter.SetupFilter(st.record);
            FUZZ_CHECK(ok == (WellFormedCorrection(st.record) ? 1 : 0),
                       "SetupFilter returned %d", ok);
            break;
        }
        case kDisplay:
            DoDisplay(st, in);
            break;
        case kIntensity:
            st.filter.SetVectorIntensity(in.ConsumeBool() ? in.ConsumeIntegralInRange(-20, 300)
                                                          : in.ConsumeIntegral<int>());
            break;
        case kChannel: {
            const unsigned c = in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, 5u)
                                                : in.ConsumeIntegral<unsigned>();
            FUZZ_CHECK(st.filter.SetChannel(c) == (c <= 4 ? 1 : 0), "SetChannel(%u)", c);
            break;
        }
        case kIsolateVector: {
            const unsigned k = in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, 16u)
                                                : in.ConsumeIntegral<unsigned>();
            FUZZ_CHECK(st.filter.SetIsolateVector(k) == (k <= 15 ? 1 : 0),
                       "SetIsolateVector(%u)", k);
            if (k <= 15)
                isolateVector = k;
            break;
        }
        case kIsolateType: {
            const unsigned t = in.ConsumeBool() ? in.ConsumeIntegralInRange(0u, 8u)
                                                : in.ConsumeIntegral<unsigned>();
            FUZZ_CHECK(st.filter.SetIsolateType(t) == (t <= 7 ? 1 : 0), "SetIsolateType(%u)", t);
            break;
        }
        case kIsolateParam: {
            tagMATCHVECTOR mv;
            mv.Init();
            const std::vector<uint8_t> raw = in.ConsumeBytes<uint8_t>(sizeof mv);
            if (!raw.empty())
                std::memcpy(&mv, raw.data(), raw.size());
            const bool null = in.ConsumeIntegralInRange(0, 7) == 0;
            FUZZ_CHECK(st.filter.SetIsolateParam(null ? nullptr : &mv) == (null ? 0 : 1),
                       "SetIsolateParam");
            break;
        }
        case kAngles:
            DoAngles(st, in);
            break;
        case kReference: {
            const CVoraDib& ref = st.pictures[in.ConsumeIntegralInRange(0, 2)];
            const std::vector<BYTE> before = BlockBytes(ref);
            const int ok = st.filter.SetReference(ref);
            FUZZ_CHECK(ok == 0 || IsYuv(ref), "SetReference accepted a picture that is not YUV");
            CheckUnchanged(ref, before, "SetReference");
            break;
        }
        case kIsolateColors: {
            tagCOLORCORRINFO cc = st.record;
            if (in.ConsumeBool())
                EditCorrection(cc, in);
            unsigned long before = 1, after = 1;
            const int ok = st.filter.GetIsolateColors(cc, before, after);
            const bool present = (cc.dwFlags & CC_MATCH_VECTOR) != 0 &&
                                 isolateVector < cc.Match.dwCount;
            FUZZ_CHECK(ok == (present ? 1 : 0), "GetIsolateColors returned %d", ok);
            FUZZ_CHECK(before <= 0xFFFFFF && after <= 0xFFFFFF,
                       "GetIsolateColors gave 0x%lx, 0x%lx", before, after);
            if (!ok)
                FUZZ_CHECK(before == 0x808080 && after == 0x808080,
                           "a refused GetIsolateColors gave 0x%lx, 0x%lx", before, after);
            break;
        }
        }
    }
    return 0;
}
