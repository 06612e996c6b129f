#include "correction_records.h"

#include <cmath>
#include <cstddef>

namespace {

constexpr uint32_t kVectorSlots = 16;

// a + (b - a) * t in double precision, truncated toward zero. The field type
// carries the signedness (int8_t chroma reads as -128..127, uint8_t as
// 0..255). With t in 0..1 the blend lies between a and b, so it always fits
// back into the field's own width.
template <typename Field>
Field Blended(Field a, Field b, double t)
{
    const double xa = static_cast<double>(a);
    const double xb = static_cast<double>(b);
    return static_cast<Field>(static_cast<int>(xa + (xb - xa) * t));
}

// Members are reached through member pointers because the records are packed:
// their fields cannot be bound to references.
template <typename Record, typename Field>
void BlendMember(Record& into, const Record& from, Field Record::*member, double t)
{
    into.*member = Blended(into.*member, from.*member, t);
}

template <typename Record, typename Field, std::size_t N>
void BlendArrayMember(Record& into, const Record& from, Field (Record::*member)[N], double t)
{
    for (std::size_t i = 0; i < N; ++i)
        (into.*member)[i] = Blended((into.*member)[i], (from.*member)[i], t);
}

// The primary correction proper: every int16 of Base after the clipping settings.
constexpr int16_t tagBASECOLORCORRINFO::*kPrimaryFields[] = {
    &tagBASECOLORCORRINFO::sYWhite, &tagBASECOLORCORRINFO::sYGamma, &tagBASECOLORCORRINFO::sYBlack,
    &tagBASECOLORCORRINFO::sHue,    &tagBASECOLORCORRINFO::sSat,    &tagBASECOLORCORRINFO::sRWhite,
    &tagBASECOLORCORRINFO::sRGamma, &tagBASECOLORCORRINFO::sRBlack, &tagBASECOLORCORRINFO::sGWhite,
    &tagBASECOLORCORRINFO::sGGamma, &tagBASECOLORCORRINFO::sGBlack, &tagBASECOLORCORRINFO::sBWhite,
    &tagBASECOLORCORRINFO::sBGamma, &tagBASECOLORCORRINFO::sBBlack,
};

constexpr int16_t (tagVECTOR6INFO::*kSixVectorFields[])[6] = {
    &tagVECTOR6INFO::sWhite, &tagVECTOR6INFO::sGamma, &tagVECTOR6INFO::sBlack,
    &tagVECTOR6INFO::sHue,   &tagVECTOR6INFO::sSat,
};

// Selection fields read as 0..255.
constexpr uint8_t tagMATCHVECTOR::*kVectorUnsignedBytes[] = {
    &tagMATCHVECTOR::byY,       &tagMATCHVECTOR::byYRange, &tagMATCHVECTOR::byHueWidth,
    &tagMATCHVECTOR::bySatWidth, &tagMATCHVECTOR::byYSoft, &tagMATCHVECTOR::byHueSoft,
    &tagMATCHVECTOR::bySatSoft,
};

// The selected colour's chroma, read as -128..127.
constexpr int8_t tagMATCHVECTOR::*kVectorSignedBytes[] = {
    &tagMATCHVECTOR::cU,
    &tagMATCHVECTOR::cV,
};

constexpr int16_t tagMATCHVECTOR::*kVectorCorrections[] = {
    &tagMATCHVECTOR::sWhite, &tagMATCHVECTOR::sGamma,   &tagMATCHVECTOR::sBlack,
    &tagMATCHVECTOR::sHue,   &tagMATCHVECTOR::sSat,     &tagMATCHVECTOR::sUOffset,
    &tagMATCHVECTOR::sVOffset,
};

// Raises the vector count of a record to `count`. The slots that come into use
// become default vectors, so a vector present on one side only is blended
// against the default. A count past the sixteen slots is kept as it is, but
// only slots that exist are written.
void ExtendVectors(tagMATCHVECTORINFO& info, uint32_t count)
{
    for (uint32_t i = info.dwCount; i < count && i < kVectorSlots; ++i)
        info.Vector[i].Init();
    info.dwCount = count;
}

void BlendVector(tagMATCHVECTOR& into, const tagMATCHVECTOR& from, double t)
{
    for (auto member : kVectorUnsignedBytes)
        BlendMember(into, from, member, t);
    for (auto member : kVectorSignedBytes)
        BlendMember(into, from, member, t);
    for (auto member : kVectorCorrections)
        BlendMember(into, from, member, t);
}

} // namespace

BOOL tagCOLORCORRINFO::Interpolate(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b, double t)
{
    // b is taken first so that blending into b itself (this == &b) still sees
    // b's values after a has been copied in.
    tagCOLORCORRINFO B = b;
    *this = a;

    // Both ends are included; a NaN fails the range test as well.
    if (std::isnan(t) || !(0.0 <= t && t <= 1.0))
        return 0;

    if (*this == B)
        return 1;

    dwFlags |= B.dwFlags;
    Base.wRangeFlags = static_cast<uint16_t>(Base.wRangeFlags | B.Base.wRangeFlags);

    if (Match.dwCount < B.Match.dwCount)
        ExtendVectors(Match, B.Match.dwCount);
    else if (B.Match.dwCount < Match.dwCount)
        ExtendVectors(B.Match, Match.dwCount);

    const uint32_t used = colorcorrect::UsedVectorCount(Match);
    for (uint32_t i = 0; i < used; ++i)
        Match.Vector[i].byFlags = static_cast<uint8_t>(Match.Vector[i].byFlags | B.Match.Vector[i].byFlags);

    if (dwFlags & CC_CLIPPING) {
        BlendMember(Base, B.Base, &tagBASECOLORCORRINFO::bySoftY, t);
        BlendMember(Base, B.Base, &tagBASECOLORCORRINFO::bySoftC, t);
    }
    if (dwFlags & CC_PRIMARY) {
        for (auto member : kPrimaryFields)
            BlendMember(Base, B.Base, member, t);
    }
    if (dwFlags & CC_SIX_VECTOR) {
        for (auto member : kSixVectorFields)
            BlendArrayMember(Vector6, B.Vector6, member, t);
    }
    if (dwFlags & CC_MATCH_VECTOR) {
        for (uint32_t i = 0; i < used; ++i)
            BlendVector(Match.Vector[i], B.Match.Vector[i], t);
    }
    return 1;
}
