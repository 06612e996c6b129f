#include "support/record_bytes.h"

#include <cstdio>
#include <cstring>

namespace colorcorrect::test {

namespace {

struct FieldName {
    std::size_t offset;
    std::size_t size;
    const char* name;
};

#define CC_FIELD(record, member) {offsetof(record, member), sizeof(record::member), #member}

const FieldName kBaseFields[] = {
    CC_FIELD(tagBASECOLORCORRINFO, dwSize),  CC_FIELD(tagBASECOLORCORRINFO, wRangeFlags),
    CC_FIELD(tagBASECOLORCORRINFO, bySoftY), CC_FIELD(tagBASECOLORCORRINFO, bySoftC),
    CC_FIELD(tagBASECOLORCORRINFO, sYWhite), CC_FIELD(tagBASECOLORCORRINFO, sYGamma),
    CC_FIELD(tagBASECOLORCORRINFO, sYBlack), CC_FIELD(tagBASECOLORCORRINFO, sHue),
    CC_FIELD(tagBASECOLORCORRINFO, sSat),    CC_FIELD(tagBASECOLORCORRINFO, sRWhite),
    CC_FIELD(tagBASECOLORCORRINFO, sRGamma), CC_FIELD(tagBASECOLORCORRINFO, sRBlack),
    CC_FIELD(tagBASECOLORCORRINFO, sGWhite), CC_FIELD(tagBASECOLORCORRINFO, sGGamma),
    CC_FIELD(tagBASECOLORCORRINFO, sGBlack), CC_FIELD(tagBASECOLORCORRINFO, sBWhite),
    CC_FIELD(tagBASECOLORCORRINFO, sBGamma), CC_FIELD(tagBASECOLORCORRINFO, sBBlack),
};

const FieldName kVector6Fields[] = {
    CC_FIELD(tagVECTOR6INFO, dwSize), CC_FIELD(tagVECTOR6INFO, sWhite), CC_FIELD(tagVECTOR6INFO, sGamma),
    CC_FIELD(tagVECTOR6INFO, sBlack), CC_FIELD(tagVECTOR6INFO, sHue),   CC_FIELD(tagVECTOR6INFO, sSat),
};

const FieldName kVectorFields[] = {
    CC_FIELD(tagMATCHVECTOR, dwSize),     CC_FIELD(tagMATCHVECTOR, byFlags),
    CC_FIELD(tagMATCHVECTOR, byY),        CC_FIELD(tagMATCHVECTOR, cU),
    CC_FIELD(tagMATCHVECTOR, cV),         CC_FIELD(tagMATCHVECTOR, byYRange),
    CC_FIELD(tagMATCHVECTOR, byHueWidth), CC_FIELD(tagMATCHVECTOR, bySatWidth),
    CC_FIELD(tagMATCHVECTOR, byYSoft),    CC_FIELD(tagMATCHVECTOR, byHueSoft),
    CC_FIELD(tagMATCHVECTOR, bySatSoft),  CC_FIELD(tagMATCHVECTOR, sWhite),
    CC_FIELD(tagMATCHVECTOR, sGamma),     CC_FIELD(tagMATCHVECTOR, sBlack),
    CC_FIELD(tagMATCHVECTOR, sHue),       CC_FIELD(tagMATCHVECTOR, sSat),
    CC_FIELD(tagMATCHVECTOR, sUOffset),   CC_FIELD(tagMATCHVECTOR, sVOffset),
};

#undef CC_FIELD

template <std::size_t N>
std::string NameIn(const FieldName (&fields)[N], std::size_t offset)
{
    for (const FieldName& f : fields) {
        if (offset >= f.offset && offset < f.offset + f.size) {
            std::string name = f.name;
            const std::size_t inside = offset - f.offset;
            if (inside != 0)
                name += "+" + std::to_string(inside);
            return name;
        }
    }
    return "?";
}

} // namespace

std::string ColorCorrFieldAt(std::size_t offset)
{
    constexpr std::size_t kBase = offsetof(tagCOLORCORRINFO, Base);
    constexpr std::size_t kVector6 = offsetof(tagCOLORCORRINFO, Vector6);
    constexpr std::size_t kMatch = offsetof(tagCOLORCORRINFO, Match);
    constexpr std::size_t kVectors = kMatch + offsetof(tagMATCHVECTORINFO, Vector);
    if (offset < 4)
        return "dwSize";
    if (offset < kBase)
        return "dwFlags";
    if (offset < kVector6)
        return "Base." + NameIn(kBaseFields, offset - kBase);
    if (offset < kMatch)
        return "Vector6." + NameIn(kVector6Fields, offset - kVector6);
    if (offset < kMatch + 4)
        return "Match.dwSize";
    if (offset < kVectors)
        return "Match.dwCount";
    if (offset < sizeof(tagCOLORCORRINFO)) {
        const std::size_t slot = (offset - kVectors) / sizeof(tagMATCHVECTOR);
        const std::size_t inside = (offset - kVectors) % sizeof(tagMATCHVECTOR);
        return "Match.Vector[" + std::to_string(slot) + "]." + NameIn(kVectorFields, inside);
    }
    return "beyond the record";
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
