#include "support/random_record.h"

#include <cstdint>

namespace colorcorrect::test {

namespace {

int Uniform(std::mt19937& rng, int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

bool Chance(std::mt19937& rng, double p)
{
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < p;
}

// A control: mostly small, sometimes anywhere in -255..255, sometimes far
// outside (the builders clamp), sometimes neutral.
int16_t Control(std::mt19937& rng)
{
    switch (Uniform(rng, 0, 7)) {
    case 0:
        return 0;
    case 1:
        return static_cast<int16_t>(Uniform(rng, -32768, 32767));
    case 2:
    case 3:
        return static_cast<int16_t>(Uniform(rng, -255, 255));
    default:
        return static_cast<int16_t>(Uniform(rng, -60, 60));
    }
}

uint8_t Byte(std::mt19937& rng)
{
    return static_cast<uint8_t>(Uniform(rng, 0, 255));
}

void RandomBase(tagBASECOLORCORRINFO& b, std::mt19937& rng)
{
    b.wRangeFlags = static_cast<uint16_t>(Chance(rng, 0.5) ? Uniform(rng, 0, 7) : Uniform(rng, 0, 0xFFFF));
    b.bySoftY = Chance(rng, 0.3) ? 0 : Byte(rng);
    b.bySoftC = Chance(rng, 0.3) ? 0 : Byte(rng);
    int16_t* controls[] = {&b.sYWhite, &b.sYGamma, &b.sYBlack, &b.sHue,    &b.sSat,
                           &b.sRWhite, &b.sRGamma, &b.sRBlack, &b.sGWhite, &b.sGGamma,
                           &b.sGBlack, &b.sBWhite, &b.sBGamma, &b.sBBlack};
    const bool neutralCurves = Chance(rng, 0.3); // the channel curves stay neutral
    for (int i = 0; i < 14; ++i)
        *controls[i] = (neutralCurves && i >= 5) ? 0 : Control(rng);
}

void RandomSix(tagVECTOR6INFO& s, std::mt19937& rng)
{
    const bool sameLuma = Chance(rng, 0.3); // one luma curve for all segments
    const int16_t w = Control(rng), g = Control(rng), k = Control(rng);
    for (int i = 0; i < 6; ++i) {
        s.sWhite[i] = sameLuma ? w : Control(rng);
        s.sGamma[i] = sameLuma ? g : Control(rng);
        s.sBlack[i] = sameLuma ? k : Control(rng);
        s.sHue[i] = Control(rng);
        s.sSat[i] = Control(rng);
    }
}

void RandomMatch(tagMATCHVECTORINFO& m, std::mt19937& rng)
{
    m.Init();
    m.dwCount = static_cast<uint32_t>(Uniform(rng, 0, 16));
    for (int i = 0; i < 16; ++i) {
        tagMATCHVECTOR& v = m.Vector[i];
        v.byFlags = Byte(rng);
        v.byY = Byte(rng);
        v.cU = static_cast<int8_t>(Uniform(rng, -128, 127));
        v.cV = static_cast<int8_t>(Uniform(rng, -128, 127));
        v.byYRange = Chance(rng, 0.1) ? 0 : Byte(rng);
        v.byHueWidth = Chance(rng, 0.05) ? 0 : static_cast<uint8_t>(Uniform(rng, 1, 80));
        v.bySatWidth = Chance(rng, 0.05) ? 0 : static_cast<uint8_t>(Uniform(rng, 1, 90));
        v.byYSoft = Byte(rng);
        v.byHueSoft = Chance(rng, 0.2) ? 0 : Byte(rng);
        v.bySatSoft = Chance(rng, 0.2) ? 0 : Byte(rng);
        v.sWhite = Control(rng);
        v.sGamma = Control(rng);
        v.sBlack = Control(rng);
        v.sHue = Control(rng);
        v.sSat = Control(rng);
        v.sUOffset = Control(rng);
        v.sVOffset = Control(rng);
    }
}

} // namespace

tagCOLORCORRINFO RandomRecord(std::mt19937& rng)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = static_cast<uint32_t>(Uniform(rng, 0, 15));
    RandomBase(cc.Base, rng);
    RandomSix(cc.Vector6, rng);
    RandomMatch(cc.Match, rng);
    return cc;
}

void MutateRecord(tagCOLORCORRINFO& cc, std::mt19937& rng, double chance)
{
    if (Chance(rng, chance))
        cc.dwFlags = static_cast<uint32_t>(Uniform(rng, 0, 15));
    if (Chance(rng, chance))
        RandomBase(cc.Base, rng);
    if (Chance(rng, chance))
        RandomSix(cc.Vector6, rng);
    if (Chance(rng, chance))
        RandomMatch(cc.Match, rng);
}

} // namespace colorcorrect::test
