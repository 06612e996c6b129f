// The real-time lookup package: a primary correction packed for a consumer
// outside the library.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "../engine/curve_math.h"
#include "../host/checksum.h"
#include "color_correction_filter.h"

namespace {

// Modes carried by the reserved byte of the package's first RGB entry.
constexpr uint8_t kModeFullRange = 0;
constexpr uint8_t kModeLegal = 1;
constexpr uint8_t kModeChromaReduced = 2;
constexpr uint8_t kModeNeutral = 4;

// True when the sixteen 16-bit words after dwSize (clipping settings and
// every control) are all zero.
bool NeutralRecord(const tagBASECOLORCORRINFO& cc)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&cc);
    return std::all_of(bytes + 4, bytes + sizeof(tagBASECOLORCORRINFO),
                       [](unsigned char b) { return b == 0; });
}

} // namespace

void CColorCorrectionFilter::BuildRGBLUT_RT(unsigned char* dst, int black, int gamma, int white)
{
    // Out-of-range controls are clamped as everywhere else; unclamped they
    // would make the exponent infinite or negative.
    using colorcorrect::ClampControl;
    black = ClampControl(black);
    gamma = ClampControl(gamma);
    white = ClampControl(white);
    const double scale = (white - black + 255) / 255.0;
    const double exponent = colorcorrect::GammaExponent(gamma);
    for (int i = 0; i < 256; ++i) {
        // Worked on nine bits: the input doubled before black is added, the
        // result halved.
        const int t = static_cast<int>(2 * i * scale + black + 0.5);
        unsigned char entry = 0;
        if (t >= 0) {
            const double curve = std::pow(t / 256.0, exponent) * 256.0 + 0.5;
            // Compared before the conversion: steep curves leave the range of
            // an int.
            entry = curve >= 510.0 ? 255 : static_cast<unsigned char>(static_cast<int>(curve) / 2);
        }
        dst[4 * i] = entry;
    }
}

int CColorCorrectionFilter::GetRTLUT(tagBCC_RTLUTPACK& pack, const tagBASECOLORCORRINFO& cc)
{
    BuildRGBLUT_RT(&pack.RGB[0][2], cc.sRBlack, cc.sRGamma, cc.sRWhite);
    BuildRGBLUT_RT(&pack.RGB[0][1], cc.sGBlack, cc.sGGamma, cc.sGWhite);
    BuildRGBLUT_RT(&pack.RGB[0][0], cc.sBBlack, cc.sBGamma, cc.sBWhite);

    // The primary tables, built as the primary-only set-up would build them
    // but into local tables: the filter's own stay as they are.
    BYTE luma[256];
    BYTE cosLut[256];
    BYTE sinLut[256];
    WORD satLut[256];
    BuildYLUT(luma, cc.sYBlack, cc.sYGamma, cc.sYWhite, cc.wRangeFlags & RANGE_VIDEO_LUMA);
    BuildCosSinLUT(cosLut, sinLut, satLut, cc.sSat, (cc.sHue * 180) / 256, 1);
    for (int i = 0; i < 256; ++i) {
        pack.YUV[i][0] = sinLut[i];
        pack.YUV[i][1] = cosLut[i];
        pack.YUV[i][2] = luma[i];
        pack.YUV[i][3] = static_cast<uint8_t>(satLut[i] & 0xFFu);
    }

    uint8_t mode = kModeFullRange;
    if (cc.wRangeFlags & RANGE_CHROMA_REDUCED)
        mode = kModeChromaReduced;
    else if (cc.wRangeFlags & (RANGE_VIDEO_LUMA | RANGE_LEGAL))
        mode = kModeLegal;
    else if (NeutralRecord(cc))
        mode = kModeNeutral;
    pack.RGB[0][3] = mode;

    pack.dwCRC = 0;
    pack.dwCRC = GetCRC1615(&pack, sizeof(pack));
    return 1;
}
