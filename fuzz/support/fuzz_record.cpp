#include "support/fuzz_record.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace colorcorrect::fuzz {

namespace {

void CopyIn(void* to, const std::vector<uint8_t>& raw)
{
    if (!raw.empty())
        std::memcpy(to, raw.data(), raw.size());
}

void FixSizes(tagCOLORCORRINFO& cc)
{
    cc.dwSize = 564;
    cc.Base.dwSize = 36;
    cc.Vector6.dwSize = 64;
    cc.Match.dwSize = 456;
    cc.Match.dwCount %= 17;
}

} // namespace

void EditCorrection(tagCOLORCORRINFO& cc, FuzzedDataProvider& in)
{
    BYTE* bytes = reinterpret_cast<BYTE*>(&cc);
    switch (in.ConsumeIntegralInRange(0, 5)) {
    case 0:
        CopyIn(bytes, in.ConsumeBytes<uint8_t>(sizeof cc));
        break;
    case 1:
        cc.Init(564);
        break;
    case 2:
        cc.dwFlags = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 15)
                                      : in.ConsumeIntegral<uint32_t>();
        break;
    case 3: {
        const uint32_t k = in.ConsumeIntegralInRange<uint32_t>(0, 15);
        CopyIn(&cc.Match.Vector[k], in.ConsumeBytes<uint8_t>(sizeof(tagMATCHVECTOR)));
        cc.Match.dwCount = std::max<uint32_t>(cc.Match.dwCount % 17, k + 1);
        cc.dwFlags |= CC_MATCH_VECTOR;
        break;
    }
    default: {
        const int n = in.ConsumeIntegralInRange(1, 4);
        for (int i = 0; i < n; ++i) {
            const size_t at = in.ConsumeIntegralInRange<size_t>(0, sizeof cc - 2);
            const uint16_t value = in.ConsumeIntegral<uint16_t>();
            std::memcpy(bytes + at, &value, 2);
        }
        if (in.ConsumeBool())
            FixSizes(cc);
        break;
    }
    }
}

bool WellFormedCorrection(const tagCOLORCORRINFO& cc)
{
    return cc.dwSize == 564 && cc.Base.dwSize == 36 && cc.Vector6.dwSize == 64 &&
           cc.Match.dwCount <= 16;
}

} // namespace colorcorrect::fuzz
