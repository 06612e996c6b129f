#include "correction_records.h"

#include <cstring>

#include "../library/library_globals.h"

namespace {

constexpr uint32_t kColorCorrSize = sizeof(tagCOLORCORRINFO);
constexpr uint32_t kBaseSize = sizeof(tagBASECOLORCORRINFO);
constexpr uint32_t kMatchInfoSize = sizeof(tagMATCHVECTORINFO);
constexpr uint32_t kMatchVectorSize = sizeof(tagMATCHVECTOR);

// Base with the clipping settings (wRangeFlags, bySoftY, bySoftC) left out:
// those belong to the clipping group, not to the primary correction.
bool PrimaryEqual(const tagBASECOLORCORRINFO& a, const tagBASECOLORCORRINFO& b)
{
    constexpr size_t kClipEnd = offsetof(tagBASECOLORCORRINFO, sYWhite);
    return a.dwSize == b.dwSize &&
           std::memcmp(reinterpret_cast<const BYTE*>(&a) + kClipEnd,
                       reinterpret_cast<const BYTE*>(&b) + kClipEnd, kBaseSize - kClipEnd) == 0;
}

} // namespace

void tagVECTOR6INFO::Init(short white, short gamma, short black, short hue, short sat)
{
    dwSize = sizeof(tagVECTOR6INFO);
    for (int i = 0; i < 6; ++i) {
        sWhite[i] = white;
        sGamma[i] = gamma;
        sBlack[i] = black;
        sHue[i] = hue;
        sSat[i] = sat;
    }
}

void tagMATCHVECTOR::Init()
{
    dwSize = kMatchVectorSize;
    byFlags = 0;
    byY = 128;
    cU = 0;
    cV = 0;
    byYRange = 128;
    byHueWidth = 14;
    bySatWidth = 20;
    byYSoft = 10;
    byHueSoft = 50;
    bySatSoft = 50;
    sWhite = 0;
    sGamma = 0;
    sBlack = 0;
    sHue = 0;
    sSat = 0;
    sUOffset = 0;
    sVOffset = 0;
}

void tagMATCHVECTORINFO::Init()
{
    dwSize = kMatchInfoSize;
    dwCount = 0;
    for (tagMATCHVECTOR& v : Vector)
        v.Init();
}

BOOL tagMATCHVECTORINFO::operator==(const tagMATCHVECTORINFO& other) const
{
    return (*this != other) == 0 ? 1 : 0;
}

int tagMATCHVECTORINFO::operator!=(const tagMATCHVECTORINFO& other) const
{
    if (dwSize != other.dwSize || dwCount != other.dwCount)
        return 1;
    // A count beyond the sixteen slots compares the slots that exist.
    const size_t used = colorcorrect::UsedVectorCount(*this) * size_t{kMatchVectorSize};
    const int c = std::memcmp(Vector, other.Vector, used);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void tagCOLORCORRINFO::Init(unsigned long size)
{
    if (size != kColorCorrSize)
        return;
    dwSize = kColorCorrSize;
    dwFlags = 0;
    std::memset(&Base, 0, sizeof Base);
    Base.dwSize = kBaseSize;
    Vector6.Init(0, 0, 0, 0, 0);
    Match.Init();
}

void tagCOLORCORRINFO::ResetCC(unsigned long size)
{
    const uint16_t range = Base.wRangeFlags;
    const uint8_t softY = Base.bySoftY;
    const uint8_t softC = Base.bySoftC;
    Init(size);
    Base.wRangeFlags = range;
    Base.bySoftY = softY;
    Base.bySoftC = softC;
}

BOOL tagCOLORCORRINFO::IsDefault() const
{
    // The size field is compared first, so any size other than 564 differs from
    // the default within its own four bytes; never compare past the record.
    const size_t n = dwSize < kColorCorrSize ? dwSize : kColorCorrSize;
    return std::memcmp(this, &g_ccDefault, n) == 0 ? 1 : 0;
}

BOOL tagCOLORCORRINFO::IsDefault(unsigned long dwMask) const
{
    if (dwMask == 0)
        return 0;
    for (DWORD bit = 0x1; bit <= 0x8; bit <<= 1) {
        if ((dwMask & bit) == 0 || (dwFlags & bit) == 0)
            continue; // not asked for, or inactive: counts as default
        bool isDefault = true;
        switch (bit) {
        case CC_PRIMARY:
            isDefault = PrimaryEqual(Base, g_ccDefault.Base);
            break;
        case CC_SIX_VECTOR:
            isDefault = std::memcmp(&Vector6, &g_ccDefault.Vector6, sizeof Vector6) == 0;
            break;
        case CC_MATCH_VECTOR:
            isDefault = Match.dwCount == 0;
            break;
        case CC_CLIPPING:
            isDefault = Base.wRangeFlags == 0 && Base.bySoftY == 0 && Base.bySoftC == 0;
            break;
        }
        if (!isDefault)
            return 0;
    }
    return 1;
}

BOOL tagCOLORCORRINFO::operator==(const tagCOLORCORRINFO& other) const
{
    return (dwSize == other.dwSize && dwFlags == other.dwFlags &&
            std::memcmp(&Base, &other.Base, sizeof Base) == 0 &&
            std::memcmp(&Vector6, &other.Vector6, sizeof Vector6) == 0 &&
            Match == other.Match)
               ? 1
               : 0;
}

BOOL tagCOLORCORRINFO::operator!=(const tagCOLORCORRINFO& other) const
{
    if (dwSize != other.dwSize || dwFlags != other.dwFlags ||
        std::memcmp(&Base, &other.Base, sizeof Base) != 0 ||
        std::memcmp(&Vector6, &other.Vector6, sizeof Vector6) != 0)
        return 1;
    return (Match != other.Match) != 0 ? 1 : 0;
}
