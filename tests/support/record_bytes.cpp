#include "support/record_bytes.h"

#include <cstdio>
#include <cstring>

namespace colorcorrect::test {

std::string ColorCorrFieldAt(std::size_t offset)
{
    constexpr std::size_t kVectors = offsetof(tagCOLORCORRINFO, Match) + offsetof(tagMATCHVECTORINFO, Vector);
    const auto at = [](const char* group, std::size_t inside) { return group + std::string("+") + std::to_string(inside); };
    if (offset < offsetof(tagCOLORCORRINFO, Base))
        return at("record", offset);
    if (offset < offsetof(tagCOLORCORRINFO, Vector6))
        return at("Base", offset - offsetof(tagCOLORCORRINFO, Base));
    if (offset < offsetof(tagCOLORCORRINFO, Match))
        return at("Vector6", offset - offsetof(tagCOLORCORRINFO, Vector6));
    if (offset < kVectors)
        return at("Match", offset - offsetof(tagCOLORCORRINFO, Match));
    const std::size_t slot = (offset - kVectors) / sizeof(tagMATCHVECTOR);
    return at(("Match.Vector[" + std::to_string(slot) + "]").c_str(), (offset - kVectors) % sizeof(tagMATCHVECTOR));
}

::testing::AssertionResult BytesEqual(const void* expected, const void* actual, std::size_t size,
                                      std::string (*describe)(std::size_t))
{
    const auto* e = static_cast<const unsigned char*>(expected);
    const auto* a = static_cast<const unsigned char*>(actual);
    std::size_t first = size;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (e[i] != a[i]) {
            if (first == size)
                first = i;
            ++differing;
        }
    }
    if (differing == 0)
        return ::testing::AssertionSuccess();
    char bytes[64];
    std::snprintf(bytes, sizeof bytes, "expected 0x%02X, actual 0x%02X", e[first], a[first]);
    auto failure = ::testing::AssertionFailure();
    failure << "first difference at byte " << first;
    if (describe != nullptr)
        failure << " (" << describe(first) << ")";
    failure << ": " << bytes << "; " << differing << " of " << size << " bytes differ";
    return failure;
}

::testing::AssertionResult SameBytes(const tagCOLORCORRINFO& expected, const tagCOLORCORRINFO& actual)
{
    return BytesEqual(&expected, &actual, sizeof(tagCOLORCORRINFO), &ColorCorrFieldAt);
}

void FillJunk(void* data, std::size_t size, unsigned seed)
{
    auto* p = static_cast<unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<unsigned char>(1 + (i * 7 + seed * 31) % 255);
}

tagCOLORCORRINFO JunkRecord(unsigned seed)
{
    tagCOLORCORRINFO r;
    FillJunk(&r, sizeof r, seed);
    return r;
}

tagCOLORCORRINFO DefaultRecord()
{
    tagCOLORCORRINFO r = JunkRecord(99);
    r.Init(sizeof(tagCOLORCORRINFO));
    return r;
}

} // namespace colorcorrect::test
