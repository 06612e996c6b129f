#include "correction_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace colorcorrect::formats {

namespace {

std::string Signed(int v)
{
    // Appended rather than "+" + string, which GCC 12 at -O3 warns about
    // wrongly (-Wrestrict).
    std::string s = v > 0 ? "+" : "";
    return s.append(std::to_string(v));
}

std::string HueText(int hue)
{
    return Signed(hue) + " (" + Signed(HueDegrees(hue)) + " degrees)";
}

std::string Curve(int white, int gamma, int black)
{
    if (white == 0 && gamma == 0 && black == 0)
        return "neutral";
    return "white " + Signed(white) + ", gamma " + Signed(gamma) + ", black " + Signed(black);
}

std::string OnOff(const tagCOLORCORRINFO& r, DWORD flag)
{
    return (r.dwFlags & flag) != 0 ? "on" : "off";
}

std::string Correction(int white, int gamma, int black, int hue, int sat)
{
    std::vector<std::string> parts;
    if (white != 0 || gamma != 0 || black != 0)
        parts.push_back("luma " + Curve(white, gamma, black));
    if (hue != 0)
        parts.push_back("hue " + HueText(hue));
    if (sat != 0)
        parts.push_back("saturation " + Signed(sat));
    if (parts.empty())
        return "neutral";
    std::string text;
    for (const std::string& p : parts)
        text += (text.empty() ? "" : "; ") + p;
    return text;
}

} // namespace

int HueDegrees(int hue)
{
    return std::clamp(hue * 180 / 256, -180, 180);
}

std::string DescribeCorrection(const tagCOLORCORRINFO& r)
{
    std::string text;
    std::vector<std::string> active;
    if (r.dwFlags & CC_PRIMARY)
        active.emplace_back("primary");
    if (r.dwFlags & CC_SIX_VECTOR)
        active.emplace_back("six-vector");
    if (r.dwFlags & CC_MATCH_VECTOR)
        active.emplace_back("match vectors");
    if (r.dwFlags & CC_CLIPPING)
        active.emplace_back("clipping");
    text += "active groups: ";
    if (active.empty()) {
        text += "none (only the full-range output limits apply)\n";
    } else {
        for (size_t i = 0; i < active.size(); ++i)
            text += (i ? ", " : "") + active[i];
        text += "\n";
    }

    const tagBASECOLORCORRINFO& b = r.Base;
    text += "primary: " + OnOff(r, CC_PRIMARY) + "\n";
    text += "  luma curve:  " + Curve(b.sYWhite, b.sYGamma, b.sYBlack) + "\n";
    text += "  hue:         " + (b.sHue == 0 ? std::string("neutral") : HueText(b.sHue)) + "\n";
    text += "  saturation:  " + (b.sSat == 0 ? std::string("neutral") : Signed(b.sSat)) + "\n";
    text += "  red curve:   " + Curve(b.sRWhite, b.sRGamma, b.sRBlack) + "\n";
    text += "  green curve: " + Curve(b.sGWhite, b.sGGamma, b.sGBlack) + "\n";
    text += "  blue curve:  " + Curve(b.sBWhite, b.sBGamma, b.sBBlack) + "\n";
    if (b.wRangeFlags & RANGE_VIDEO_LUMA)
        text += "  luma curves work on the video range 16..235\n";

    text += "clipping: " + OnOff(r, CC_CLIPPING) + "\n";
    // The levels the settings give once clipping is switched on.
    const colorcorrect::OutputLevels levels = colorcorrect::OutputLevelsOf(b.wRangeFlags, true);
    text += "  luma:   " + std::to_string(levels.lumaMin) + ".." + std::to_string(levels.lumaMax) +
            ", knee softness " + std::to_string(b.bySoftY) + "\n";
    text += "  chroma: +-" + std::to_string(levels.chromaLimit) + ", knee softness " +
            std::to_string(b.bySoftC) + "\n";

    static const char* const kSegments[6] = {"magenta", "red", "yellow", "green", "cyan", "blue"};
    text += "six-vector: " + OnOff(r, CC_SIX_VECTOR) + "\n";
    bool anySegment = false;
    for (int s = 0; s < 6; ++s) {
        const tagVECTOR6INFO& v = r.Vector6;
        const std::string c = Correction(v.sWhite[s], v.sGamma[s], v.sBlack[s], v.sHue[s], v.sSat[s]);
        if (c == "neutral")
            continue;
        anySegment = true;
        char name[16];
        std::snprintf(name, sizeof name, "%-8s", kSegments[s]);
        text += std::string("  ") + name + " " + c + "\n";
    }
    if (!anySegment)
        text += "  all segments neutral\n";

    const uint32_t count = UsedVectorCount(r.Match);
    text += "match vectors: " + OnOff(r, CC_MATCH_VECTOR) + ", " + std::to_string(count) + " in use\n";
    for (uint32_t i = 0; i < count; ++i) {
        const tagMATCHVECTOR& m = r.Match.Vector[i];
        std::string c = Correction(m.sWhite, m.sGamma, m.sBlack, m.sHue, m.sSat);
        if (m.sUOffset != 0 || m.sVOffset != 0) {
            const std::string offset = "chroma offset U " + Signed(m.sUOffset) + ", V " + Signed(m.sVOffset);
            c = c == "neutral" ? offset : c + "; " + offset;
        }
        if (i == 0) {
            text += "  0 (background): " + c + "\n";
            continue;
        }
        const double angle = std::atan2(double(m.cV), double(m.cU)) * 180.0 / 3.14159265358979323846;
        char where[200];
        std::snprintf(where, sizeof where,
                      "colour U %d V %d (angle %.1f degrees, radius %.1f), luma %d +-%d, "
                      "hue width +-%d, saturation width +-%d, softness luma %d hue %d saturation %d",
                      m.cU, m.cV, angle < 0 ? angle + 360.0 : angle, std::hypot(double(m.cU), double(m.cV)),
                      m.byY, m.byYRange, m.byHueWidth, m.bySatWidth, m.byYSoft, m.byHueSoft, m.bySatSoft);
        text += "  " + std::to_string(i) + ": " + where + "\n     " + c + "\n";
    }
    return text;
}

} // namespace colorcorrect::formats
