// What each stage does to a pixel, by example: a record, input pixels and
// the bytes that come out; then the table builders at their edges.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "filter_access.h"

using namespace colorcorrect::test;

namespace {

using Pixels = std::array<int, 6>; // Y, U + 128, V + 128 in; the same out

struct StageCase {
    const char* name;
    DWORD flags;
    void (*edit)(tagCOLORCORRINFO&);
    std::vector<Pixels> pixels;
};

using Rec = tagCOLORCORRINFO&;

const StageCase kStages[] = {
    // The neutral primary stage: the round trip through RGB floors, which
    // loses a unit now and then, and lifts chroma byte 0 (-128) to 1.
    {"NeutralPrimary", CC_PRIMARY, [](Rec) {},
     {{128, 128, 128, 128, 128, 128}, {24, 223, 111, 24, 224, 111}, {128, 0, 128, 128, 1, 128},
      {128, 128, 0, 128, 128, 1}}},
    // Grey pixels show the luma curve itself.
    {"LumaCurve", CC_PRIMARY,
     [](Rec c) { c.Base.sYBlack = 10, c.Base.sYGamma = -100, c.Base.sYWhite = -20; },
     {{0, 128, 128, 1, 128, 128}, {17, 128, 128, 5, 128, 128}, {64, 128, 128, 28, 128, 128},
      {128, 128, 128, 77, 128, 128}, {200, 128, 128, 152, 128, 128}, {255, 128, 128, 222, 128, 128}}},
    {"LumaCurveVideoRange", CC_PRIMARY,
     [](Rec c) {
         c.Base.wRangeFlags = RANGE_VIDEO_LUMA;
         c.Base.sYBlack = -30, c.Base.sYGamma = 120, c.Base.sYWhite = 40;
     },
     {{0, 128, 128, 16, 128, 128}, {17, 128, 128, 16, 128, 128}, {50, 128, 128, 115, 128, 128},
      {128, 128, 128, 199, 128, 128}, {200, 128, 128, 233, 128, 128}, {255, 128, 128, 235, 128, 128}}},
    {"LumaControlsClampedHigh", CC_PRIMARY,
     [](Rec c) { c.Base.sYBlack = 1000, c.Base.sYWhite = 1000, c.Base.sYGamma = -900; },
     {{0, 128, 128, 208, 128, 128}}}, // as black and white 255, gamma -255
    {"RedBlack20", CC_PRIMARY, [](Rec c) { c.Base.sRBlack = 20; }, {{100, 128, 128, 104, 126, 134}}},
    {"GreenWhite", CC_PRIMARY, [](Rec c) { c.Base.sGWhite = -100; }, {{200, 128, 128, 154, 154, 161}}},
    {"BlueGamma", CC_PRIMARY, [](Rec c) { c.Base.sBGamma = 60; }, {{64, 128, 128, 72, 164, 122}}},
    // Hue and saturation.
    {"SaturationMinus255", CC_PRIMARY, [](Rec c) { c.Base.sSat = -255; }, {{100, 200, 60, 100, 128, 128}}},
    {"Saturation128", CC_PRIMARY, [](Rec c) { c.Base.sSat = 128; },
     {{128, 138, 128, 128, 152, 128}, {128, 192, 128, 128, 255, 128}}},
    {"HueAndSaturation", CC_PRIMARY, [](Rec c) { c.Base.sHue = 53, c.Base.sSat = -60; },
     {{128, 178, 128, 128, 159, 105}, {128, 1, 255, 128, 109, 225}}},
    // Output clipping.
    {"LegalHardClip", CC_CLIPPING, [](Rec c) { c.Base.wRangeFlags = RANGE_LEGAL; },
     {{0, 0, 255, 16, 16, 240}, {255, 128, 128, 235, 128, 128}, {16, 20, 230, 16, 20, 230}}},
    {"LegalSoftestLuma", CC_CLIPPING, [](Rec c) { c.Base.wRangeFlags = RANGE_LEGAL, c.Base.bySoftY = 255; },
     {{1, 128, 128, 16, 128, 128}, {10, 128, 128, 18, 128, 128}, {16, 128, 128, 20, 128, 128},
      {32, 128, 128, 32, 128, 128}, {215, 128, 128, 215, 128, 128}, {240, 128, 128, 232, 128, 128},
      {254, 128, 128, 235, 128, 128}}},
    {"ReducedChromaSoft", CC_CLIPPING,
     [](Rec c) { c.Base.wRangeFlags = RANGE_CHROMA_REDUCED, c.Base.bySoftC = 100; },
     {{0, 28, 228, 0, 47, 209}, {255, 44, 188, 255, 51, 188}, {9, 1, 68, 9, 44, 68}}},
    {"ReducedBeforeLegal", CC_CLIPPING,
     [](Rec c) { c.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED; },
     {{0, 1, 255, 16, 44, 212}}},
    {"RangeFlagsWithoutClipping", CC_PRIMARY,
     [](Rec c) { c.Base.wRangeFlags = RANGE_LEGAL | RANGE_CHROMA_REDUCED, c.Base.bySoftY = 200; },
     {{0, 1, 255, 0, 1, 255}}},
    {"PrimaryOff", CC_CLIPPING, [](Rec c) { c.Base.sRBlack = 200, c.Base.sSat = -255; },
     {{100, 60, 200, 100, 60, 200}}},
    // Six vectors: neutral, then cyan without colour and lifted. (162, 34)
    // lies in the middle of cyan; the neutral pair blends cyan 3:1 with green.
    {"SixNeutral", CC_SIX_VECTOR, [](Rec) {}, {{77, 60, 200, 77, 60, 200}, {77, 0, 128, 77, 1, 128}}},
    {"SixCyan", CC_SIX_VECTOR, [](Rec c) { c.Vector6.sSat[4] = -255, c.Vector6.sBlack[4] = 40; },
     {{100, 162, 34, 124, 128, 128}, {100, 128, 128, 118, 128, 128}}},
    // A hard-edged vector round (40, -40) for luma 200..210 pushing U up by
    // 50; the background pulls V down by 20 and lifts luma 0 to 1. Luma
    // outside the vector's window leaves the pixel alone.
    {"MatchVector", CC_MATCH_VECTOR,
     [](Rec c) {
         c.Match.dwCount = 2;
         c.Match.Vector[0].sVOffset = -20;
         c.Match.Vector[1] = MatchVector(40, -40, 30, 20, 0, 0);
         c.Match.Vector[1].byY = 205, c.Match.Vector[1].byYRange = 5, c.Match.Vector[1].byYSoft = 0;
         c.Match.Vector[1].sUOffset = 50;
     },
     {{205, 168, 88, 205, 218, 88}, {100, 168, 88, 100, 168, 88}, {0, 88, 168, 1, 88, 148}}},
};

class Stage : public ::testing::TestWithParam<StageCase> {};

} // namespace

TEST_P(Stage, PixelsComeOutAsListed)
{
    FilterAccess f;
    tagCOLORCORRINFO cc = DefaultRecord(GetParam().flags);
    GetParam().edit(cc);
    ASSERT_TRUE(f.SetupFilter(cc));
    for (const Pixels& p : GetParam().pixels) {
        const std::array<int, 3> out = OnePixel(f, {p[0], p[1], p[2]});
        EXPECT_EQ(out, (std::array<int, 3>{p[3], p[4], p[5]}))
            << "input " << p[0] << ", " << p[1] << ", " << p[2];
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, Stage, ::testing::ValuesIn(kStages),
                         [](const auto& info) { return std::string(info.param.name); });
