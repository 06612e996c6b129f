#include "bench_records.h"

#include <cmath>
#include <cstdint>

namespace colorcorrect::bench {

namespace {

tagCOLORCORRINFO Blank()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    return cc;
}

void SetPrimary(tagCOLORCORRINFO& cc)
{
    tagBASECOLORCORRINFO& b = cc.Base;
    b.sYWhite = -10;
    b.sYGamma = 25;
    b.sYBlack = 6;
    b.sHue = 12;
    b.sSat = 40;
    b.sRWhite = 8;
    b.sRGamma = -15;
    b.sGGamma = 5;
    b.sGBlack = 3;
    b.sBWhite = -12;
    b.sBGamma = 10;
    b.sBBlack = 4;
}

void SetSoftLegalClip(tagCOLORCORRINFO& cc)
{
    cc.dwFlags |= CC_CLIPPING;
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftY = 80;
    cc.Base.bySoftC = 60;
}

void SetSix(tagCOLORCORRINFO& cc)
{
    cc.dwFlags |= CC_SIX_VECTOR;
    tagVECTOR6INFO& s = cc.Vector6;
    const int16_t hue[6] = {10, -8, 6, 0, -12, 14};
    const int16_t sat[6] = {-30, 25, 0, 40, -20, 10};
    const int16_t gamma[6] = {0, 12, -10, 0, 8, 0};
    for (int i = 0; i < 6; ++i) {
        s.sHue[i] = hue[i];
        s.sSat[i] = sat[i];
        s.sGamma[i] = gamma[i];
    }
    s.sBlack[1] = 5;
    s.sWhite[4] = -6;
}

void SetMatch(tagCOLORCORRINFO& cc, unsigned count, int variant)
{
    cc.dwFlags |= CC_MATCH_VECTOR;
    tagMATCHVECTORINFO& m = cc.Match;
    m.dwCount = count;
    m.Vector[0].sSat = -10; // the background a little less saturated
    for (unsigned i = 1; i < count && i < 16; ++i) {
        tagMATCHVECTOR& v = m.Vector[i];
        // Selected colours spread round the hue circle at varied saturation.
        const double angle = 6.2831853 * i / 15.0;
        const double radius = 25 + 7 * (i % 6);
        v.cU = static_cast<int8_t>(radius * std::cos(angle));
        v.cV = static_cast<int8_t>(radius * std::sin(angle) + (i == 1 ? variant : 0));
        v.byY = static_cast<uint8_t>(60 + 9 * i);
        v.byYRange = 110;
        v.byYSoft = 30;
        v.byHueWidth = static_cast<uint8_t>(10 + i % 4);
        v.bySatWidth = static_cast<uint8_t>(12 + i % 5);
        v.byHueSoft = 80;
        v.bySatSoft = 80;
        v.sHue = static_cast<int16_t>(i % 2 ? 10 : -10);
        v.sSat = static_cast<int16_t>(20 - 3 * static_cast<int>(i));
        v.sGamma = static_cast<int16_t>(i % 3 == 0 ? 15 : 0);
        v.sUOffset = static_cast<int16_t>(i % 4 == 1 ? 3 : 0);
        v.sVOffset = static_cast<int16_t>(i % 4 == 2 ? -3 : 0);
    }
}

} // namespace

tagCOLORCORRINFO PrimaryRecord()
{
    tagCOLORCORRINFO cc = Blank();
    cc.dwFlags = CC_PRIMARY;
    SetPrimary(cc);
    return cc;
}

tagCOLORCORRINFO VectorRecord(unsigned count, int variant)
{
    tagCOLORCORRINFO cc = Blank();
    SetSix(cc);
    SetMatch(cc, count, variant);
    return cc;
}

tagCOLORCORRINFO AllStagesRecord(int variant)
{
    tagCOLORCORRINFO cc = PrimaryRecord();
    SetSoftLegalClip(cc);
    SetSix(cc);
    SetMatch(cc, 16, variant);
    return cc;
}

std::vector<RecordCase> ProcessCases()
{
    std::vector<RecordCase> cases;
    cases.push_back({"identity", Blank()});
    cases.push_back({"primary", PrimaryRecord()});

    tagCOLORCORRINFO plain = PrimaryRecord();
    plain.Base.sRWhite = plain.Base.sRGamma = plain.Base.sRBlack = 0;
    plain.Base.sGWhite = plain.Base.sGGamma = plain.Base.sGBlack = 0;
    plain.Base.sBWhite = plain.Base.sBGamma = plain.Base.sBBlack = 0;
    cases.push_back({"primary-no-rgb", plain});

    tagCOLORCORRINFO soft = PrimaryRecord();
    SetSoftLegalClip(soft);
    cases.push_back({"primary-softclip", soft});

    tagCOLORCORRINFO six = Blank();
    SetSix(six);
    cases.push_back({"six", six});

    tagCOLORCORRINFO match4 = Blank();
    SetMatch(match4, 4, 0);
    cases.push_back({"match4", match4});
    tagCOLORCORRINFO match16 = Blank();
    SetMatch(match16, 16, 0);
    cases.push_back({"match16", match16});

    cases.push_back({"all", AllStagesRecord()});
    return cases;
}

} // namespace colorcorrect::bench
