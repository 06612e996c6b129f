// Matching whole regions (value histograms, hues), and match vectors taken
// from regions and carried to reference colours.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <vector>

#include "analysis/analysis_pictures.h"
#include "support/picture_pattern.h"


using namespace colorcorrect::test;

namespace {

using Record = tagCOLORCORRINFO;

// A w x h picture whose pixel (x, line) gets colour(x, line).
CVoraDib Picture(int w, int h, const std::function<Yuv(int, int)>& colour)
{
    CVoraDib dib = Flat(w, h, {});
    for (int x = 0; x < w; ++x)
        for (int line = 0; line < h; ++line)
            Paint(dib, x, line, colour(x, line), 0);
    return dib;
}

// Lumas luma(i) for pixel i, column by column, all of chroma (u, v).
CVoraDib LumaPicture(int w, int h, const std::function<int(int)>& luma, int u = 0, int v = 0)
{
    return Picture(w, h, [&](int x, int line) { return Yuv{std::clamp(luma(x * h + line), 0, 255), u, v}; });
}

int OneHill(int i)
{
    return 110 + i % 21 - 10 + (i / 21) % 7 - 3;
}

int TwoHills(int i) // 60 % around 70, 40 % around 170
{
    return (i % 100 < 60 ? 70 : 170) + ((i / 100) % 17 - 8) / 2 + ((i / 100) % 17 > 8 ? ((i / 100) % 17 - 8) % 3 : 0);
}

double ChannelMean(CVoraDib& dib, int channel)
{
    double sum = 0;
    for (int i = 0; i < dib.GetWidth() * dib.GetHeight(); ++i) {
        const BYTE* p = PixelOf(dib, i % dib.GetWidth(), i / dib.GetWidth());
        sum += (channel == 0 ? colorcorrect::RedValue : channel == 1 ? colorcorrect::GreenValue
                                                                     : colorcorrect::BlueValue)(p[0], p[1] - 128, p[2] - 128);
    }
    return sum / (dib.GetWidth() * dib.GetHeight());
}

// The record the matches start from: the default with only the primary
// group, the caller's clipping settings kept.
Record ResetFrom(Record cc)
{
    cc.ResetCC(sizeof(Record));
    return cc.dwFlags = CC_PRIMARY, cc;
}

class Matching : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("COLORCORRECT_DEBUG"); }
    void Set(CVoraDib source, CVoraDib reference) { ASSERT_TRUE(viewer.SetSource(source) && viewer.SetReference(reference)); }
    int Match(bool hue, Record& cc, tagRECT* reference, tagRECT* source)
    {
        return hue ? viewer.HueMatch(cc, reference, source) : viewer.HistoMatch(cc, reference, source);
    }
    CColorCorrectionViewer viewer;
};

TEST_F(Matching, ASourceThatIsACurveOfTheReferenceIsBroughtBack)
{
    const struct { const char* what; std::function<int(int)> luma, curve; int u = 12, v = -8, hue = 0; } cases[] = {
        {"one hill shifted down, green the lightest", OneHill, [](int y) { return y - 25; }, 0, -30},
        {"two hills compressed", TwoHills, [](int y) { return 40 + y * 3 / 4; }},
        {"two hills under a power", TwoHills, [](int y) { return static_cast<int>(255 * std::pow(y / 255.0, 1.3)); }},
        // Compared as the present rotation shows the source, which is the reference turned back.
        {"turned by the present hue", OneHill, [](int y) { return y; }, 50, 10, 40},
    };
    for (const auto& c : cases) {
        const double t = c.hue * colorcorrect::g_Pi / 256;
        CVoraDib reference = LumaPicture(60, 50, c.luma, c.u, c.v);
        CVoraDib source = LumaPicture(60, 50, [&](int i) { return c.curve(c.luma(i)); },
                                      static_cast<int>(std::lround(c.u * std::cos(t) - c.v * std::sin(t))),
                                      static_cast<int>(std::lround(c.v * std::cos(t) + c.u * std::sin(t))));
        Set(source, reference);
        Record current = Neutral(), cc = Neutral();
        current.Base.sHue = static_cast<int16_t>(c.hue);
        ASSERT_EQ(viewer.SetCorrection(current) && viewer.HistoMatch(cc, nullptr, nullptr), 1) << c.what;
        EXPECT_EQ(cc.Base.sHue, c.hue) << "the result applies on top of the rotation";
        CVoraDib corrected = Corrected(source, cc);
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_NEAR(ChannelMean(corrected, ch), ChannelMean(reference, ch), 2) << c.what << ", channel " << ch;
    }
}

// A w x h picture of luma 120 whose column shares carry the hue bins `bins`
// (of 512 round the circle) in proportion to `weights`.
CVoraDib HuePicture(int w, int h, std::vector<int> bins, std::vector<int> weights)
{
    CVoraDib dib = Flat(w, h, {120, 0, 0});
    int total = std::accumulate(weights.begin(), weights.end(), 0), x = 0;
    for (size_t i = 0; i < bins.size(); ++i) {
        const double a = bins[i] * colorcorrect::g_TwoPi / 512;
        int u = 0, v = 0; // well away from grey, exactly in the bin
        for (int r = 90; r < 128 && (r == 90 || (static_cast<int>(ChromaAngle(u, v) * 512 / colorcorrect::g_TwoPi + 0.5) & 511) != bins[i]); ++r)
            u = static_cast<int>(std::lround(r * std::cos(a))), v = static_cast<int>(std::lround(r * std::sin(a)));
        for (int end = x + w * weights[i] / total; x < end; ++x)
            for (int line = 0; line < h; ++line)
                Paint(dib, x, line, {120, u, v}, 0);
    }
    return dib;
}

TEST_F(Matching, HueRotationCarriesTheSourceHuesOntoTheReference)
{
    tagRECT left{0, 0, 20, 20}, right{20, 0, 40, 20};
    CVoraDib halves[2] = {HuePicture(40, 20, {50, 250}, {1, 1}), HuePicture(40, 20, {60, 200}, {1, 1})};
    const struct {
        const char* what;
        CVoraDib source, reference;
        tagRECT *sourceRegion, *referenceRegion;
        int hue;
    } cases[] = {
        {"reference ahead", HuePicture(60, 20, {100, 130, 300}, {3, 1, 2}), HuePicture(60, 20, {120, 150, 320}, {3, 1, 2}),
         nullptr, nullptr, -20},
        {"source ahead across bin 0", HuePicture(60, 20, {5, 40}, {2, 1}), HuePicture(60, 20, {480, 3}, {2, 1}), nullptr,
         nullptr, 37},
        {"grey within radius 10", Flat(30, 30, {100, 7, -7}), Flat(30, 30, {150, 10, 0}), nullptr, nullptr, 0},
        {"one side grey", Flat(30, 30, {100, 0, 0}), HuePicture(30, 30, {200}, {1}), nullptr, nullptr, 0},
        {"left halves", halves[0], halves[1], &left, &left, -10},
        {"right halves", halves[0], halves[1], &right, &right, 50},
        {"left source, right reference", halves[0], halves[1], &left, &right, -150},
    };
    for (const auto& c : cases) {
        Set(c.source, c.reference);
        Record cc = Neutral();
        cc.Base.sHue = 77;
        ASSERT_EQ(viewer.HueMatch(cc, c.referenceRegion, c.sourceRegion), 1) << c.what;
        EXPECT_EQ(cc.Base.sHue, c.hue) << c.what;
    }
}

TEST_F(Matching, RegionsUnderTenPixelsAreRefusedAfterTheResetAndNoMemoryBeforeIt)
{
    Set(LumaPicture(40, 40, OneHill), LumaPicture(40, 40, TwoHills));
    const struct { tagRECT reference, source; int result; } cases[] = {
        {{0, 0, 40, 40}, {5, 5, 14, 35}, 0},   {{0, 0, 40, 40}, {0, 0, 10, 10}, 1},
        {{0, 0, 9, 40}, {0, 0, 40, 40}, 0},    {{0, 0, 40, 40}, {31, 0, 100, 40}, 0},
        {{0, 0, 40, 40}, {30, 0, 100, 40}, 1}, {{-100, -100, 10, 10}, {0, 0, 40, 40}, 1},
        {{30, 0, 10, 40}, {0, 0, 40, 40}, 0},  {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 40, 40}, 1},
    };
    for (bool hue : {false, true})
        for (int memory : {-1, 0})
            for (auto c : cases) {
                Record cc = Neutral();
                cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR, cc.Base.wRangeFlags = RANGE_VIDEO_LUMA, cc.Base.sGGamma = 33;
                const Record before = cc;
                colorcorrect::SetPageAllocationBudget(memory); // none: the transform fails
                const int result = Match(hue, cc, &c.reference, &c.source);
                colorcorrect::SetPageAllocationBudget(-1);
                EXPECT_EQ(result, memory ? c.result : 0) << c.source.left << " " << c.reference.left;
                EXPECT_TRUE(result || SameBytes(memory == 0 && c.result ? before : ResetFrom(before), cc));
            }
}

TEST_F(Matching, ASmallRegionPrintsOneDebugLineWhenDebugging)
{
    Set(Flat(40, 40, {100, 0, 0}), Flat(40, 40, {100, 0, 0}));
    tagRECT small{0, 0, 5, 5};
    for (bool hue : {false, true})
        for (const char* debug : {"0", "1"}) {
            Record cc = Neutral();
            setenv("COLORCORRECT_DEBUG", debug, 1), testing::internal::CaptureStderr();
            EXPECT_EQ(Match(hue, cc, &small, &small), 0);
            EXPECT_EQ(testing::internal::GetCapturedStderr(),
                      *debug == '1' ? "CColorCorrectionViewer::HistoRef: Minimum rectangle = 10 x 10\r\n" : "");
        }
}

tagMATCHVECTOR Vector(int soft = 0)
{
    tagMATCHVECTOR mv;
    mv.Init();
    return mv.byHueSoft = mv.bySatSoft = static_cast<uint8_t>(soft), mv;
}

TEST(GetMatchVector, SelectsTheColoursOfTheRegion)
{
    // Colours, rectangle, softness; then luma, luma range, U, V, hue width, saturation width.
    const struct { const char* what; std::function<Yuv(int, int)> colour; tagRECT rc; int soft, y, yRange, u, v, hueWidth, satWidth; } cases[] = {
        // Radii 30..49 (the right edge is limited to column 39): 40 +- 10, widths halved by the softness.
        {"radii, lumas, softness", [](int x, int) { return Yuv{90 + x, 30 + x % 21, 0}; }, {0, 0, 40, 30}, 128, 109, 19, 40, 0, 6, 22},
        {"a click", [](int x, int l) { return x / 3 == 3 && l / 3 == 6 ? Yuv{60, 0, 50} : Yuv{200, -30, -30}; },
         {10, 19, 10, 19}, 0, 60, 0, 0, 50, 3, 2},
        // Grey: centre bin 0, but the colour's angle lies 128 bins away.
        {"grey", [](int, int) { return Yuv{128, 0, 0}; }, {0, 0, 20, 20}, 0, 128, 0, 0, 0, 131, 2},
        {"+-45 degrees, radius 179", [](int x, int) { return Yuv{128, 127, x % 2 ? 127 : -127}; }, {0, 0, 20, 20}, 0,
         128, 0, 127, 0, 255, 2},
    };
    for (const auto& c : cases) {
        CColorCorrectionViewer viewer;
        CVoraDib source = Picture(40, 30, c.colour);
        tagMATCHVECTOR mv = Vector(c.soft);
        tagRECT rc = c.rc;
        mv.sGamma = 17;
        ASSERT_TRUE(viewer.SetSource(source) && viewer.GetMatchVector(mv, &rc)) << c.what;
        EXPECT_TRUE(mv.byY == c.y && mv.byYRange == c.yRange && mv.cU == c.u && mv.cV == c.v &&
                    mv.byHueWidth == c.hueWidth && mv.bySatWidth == c.satWidth && mv.sGamma == 17)
            << c.what << ": " << int{mv.byY} << " " << int{mv.byYRange} << " " << int{mv.cU} << " " << int{mv.cV}
            << " " << int{mv.byHueWidth} << " " << int{mv.bySatWidth};
    }
}

TEST(MatchVector, RefusalsLeaveTheVector)
{
    CColorCorrectionViewer viewer;
    const tagMATCHVECTOR before = Vector(9);
    tagMATCHVECTOR mv = before;
    tagRECT inside{0, 0, 10, 10}, outside{100, 0, 200, 20};
    EXPECT_EQ(viewer.GetMatchVector(mv, &inside) + viewer.AddToMatchVector(mv, &inside), 0) << "no source";
    EXPECT_EQ(viewer.SetMatchVectorTo(mv, &inside), 0) << "no reference";
    CVoraDib picture = Flat(40, 30, {90, 40, 0});
    ASSERT_EQ(viewer.SetSource(picture) && viewer.SetReference(picture), 1);
    EXPECT_EQ(viewer.GetMatchVector(mv, &outside) + viewer.GetMatchVector(mv, nullptr) +
                  viewer.AddToMatchVector(mv, &outside) + viewer.SetMatchVectorTo(mv, nullptr), 0);
    EXPECT_TRUE(SameBytes(before, mv));
}

TEST(AddToMatchVector, WidensTheSelectionToCoverTheNewColours)
{
    // Colours left and right; the merged colour's angle, hue width range and luma window.
    const struct { Yuv left, right; double degrees; int minHueWidth, maxHueWidth, y, yRange; } cases[] = {{{100, 40, 0}, {100, 40, 0}, 0, 3, 6, 100, 0},     // the same colour
                 {{100, 40, 0}, {160, 0, 40}, 45, 64, 90, 130, 30}, // a quarter turn on
                 {{100, 50, -5}, {100, 50, 5}, 0, 6, 40, 100, 0}};  // either side of 0
    for (const auto& c : cases) {
        CColorCorrectionViewer viewer;
        CVoraDib source = Picture(40, 30, [&](int x, int) { return x < 20 ? c.left : c.right; });
        tagMATCHVECTOR mv = Vector();
        tagRECT left{0, 0, 15, 20}, right{22, 0, 38, 20};
        ASSERT_EQ(viewer.SetSource(source) && viewer.GetMatchVector(mv, &left), 1);
        const int first = mv.byHueWidth;
        ASSERT_EQ(viewer.AddToMatchVector(mv, &right), 1);
        EXPECT_NEAR(std::atan2(mv.cV, mv.cU) * 180 / colorcorrect::g_Pi, c.degrees, 3);
        EXPECT_NEAR(std::hypot(mv.cU, mv.cV), std::hypot(c.left.u, c.left.v) * std::cos(c.degrees * colorcorrect::g_Pi / 360), 3);
        EXPECT_TRUE(mv.byHueWidth >= std::max(first, c.minHueWidth) && mv.byHueWidth <= c.maxHueWidth)
            << c.degrees << ": " << int{mv.byHueWidth};
        EXPECT_TRUE(mv.byY == c.y && mv.byYRange == c.yRange) << c.degrees;
    }
}

TEST(SetMatchVectorTo, CarriesTheVectorColourToTheReference)
{
    const int cases[][15] = {
        // vector y, u, v; reference y, u, v; hue, sat, U and V offsets, gamma, white, black; click or rectangle
        {128, 50, 0, 128, 0, 50, -127, 0, 0, 0, 0, 0, 0, 0}, // a quarter turn
        {200, 30, 0, 220, 30, 0, 0, 0, 0, 0, 0, 25, 0, 0},   // brighter, bright: white
        {40, 30, 0, 30, 30, 0, 0, 0, 0, 0, 0, 0, -11, 0},    // darker, dark: black
        {100, 30, 0, 140, 30, 0, 0, 0, 0, 0, 27, 0, 0, 0},   // mid tone: ln(100/256) / ln(140/256)
        {100, 30, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, -164, 0},   // no gamma reaches 0
        {128, 1, -1, 128, 20, -35, 0, 0, 19, -34, 0, 0, 0, 0}, // nearly neutral: shifted
        {128, 40, 0, 128, 1, 1, 0, -245, 0, 0, 0, 0, 0, 0},  // a grey reference
        {128, 30, 0, 128, 60, 0, 0, 101, 0, 0, 0, 0, 0, 0},  // twice as saturated
        {128, 50, 0, 128, 0, 0, -127, 0, 0, 0, 0, 0, 0, 1},  // a click at the patch
        {128, 50, 0, 128, 0, 0, 0, -255, 0, 0, 0, 0, 0, 2},  // collapsed onto the grey last column
    };
    const tagRECT rects[3] = {{2, 2, 20, 20}, {35, 25, 35, 25}, {100, 7, 120, 7}};
    for (const auto& c : cases) {
        CColorCorrectionViewer viewer;
        CVoraDib reference = Flat(40, 30, {c[3], c[4], c[5]});
        Paint(reference, 35, 26, {128, 0, 50}); // a patch the click's rows 25..27 cover
        ASSERT_EQ(viewer.SetReference(reference), 1);
        tagMATCHVECTOR mv = Vector();
        mv.byY = static_cast<uint8_t>(c[0]), mv.cU = static_cast<int8_t>(c[1]), mv.cV = static_cast<int8_t>(c[2]);
        tagRECT rc = rects[c[13]];
        ASSERT_EQ(viewer.SetMatchVectorTo(mv, &rc), 1);
        EXPECT_TRUE(mv.sHue == c[6] && mv.sSat == c[7] && mv.sUOffset == c[8] && mv.sVOffset == c[9] &&
                    mv.sGamma == c[10] && mv.sWhite == c[11] && mv.sBlack == c[12])
            << c[0] << " " << c[1] << " " << c[2] << ": " << mv.sHue << " " << mv.sSat << " " << mv.sUOffset << " "
            << mv.sVOffset << " " << mv.sGamma << " " << mv.sWhite << " " << mv.sBlack;
    }
}

} // namespace
