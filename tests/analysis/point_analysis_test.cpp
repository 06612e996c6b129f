// The analyses from picked points (gray, tone and colour balance, contrast)
// as a host calls them: pictures handed to the viewer, a record filled in,
// the record applied by the filter.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

#include "analysis/analysis_pictures.h"
#include "support/picture_pattern.h"


using namespace colorcorrect::test;

namespace {

using Viewer = CColorCorrectionViewer;
using Record = tagCOLORCORRINFO;

// The points every operation below picks: source patches 0..2, and the
// reference patches at the same places.
int g_x[3] = {10, 30, 50}, g_y[3] = {10, 20, 35};

// A 64 x 48 mid-grey picture with patches at the points above.
CVoraDib Patches(const std::vector<Yuv>& colours)
{
    CVoraDib dib = Flat(64, 48, {128, 0, 0});
    for (size_t i = 0; i < colours.size(); ++i)
        Paint(dib, g_x[i], g_y[i], colours[i]);
    return dib;
}

struct Operation { const char* name; std::function<int(Viewer&, Record&)> call; bool needsReference; };

const std::vector<Operation> kOperations = {
    {"gray 1 white", [](Viewer& v, Record& cc) { return v.GrayBalance_1pt(cc, 10, 10, 0); }, false},
    {"gray 1 black", [](Viewer& v, Record& cc) { return v.GrayBalance_1pt(cc, 10, 10, 1); }, false},
    {"gray 1 gamma", [](Viewer& v, Record& cc) { return v.GrayBalance_1pt(cc, 10, 10, 2); }, false},
    {"gray 1 both", [](Viewer& v, Record& cc) { return v.GrayBalance_1pt(cc, 10, 10, 3); }, false},
    {"gray 1 mode 4", [](Viewer& v, Record& cc) { return v.GrayBalance_1pt(cc, 10, 10, 4); }, false},
    {"gray 2", [](Viewer& v, Record& cc) { return v.GrayBalance_2pt(cc, 10, 10, 30, 20); }, false},
    {"gray 3", [](Viewer& v, Record& cc) { return v.GrayBalance_3pt(cc, 10, 10, 30, 20, 50, 35); }, false},
    {"contrast", [](Viewer& v, Record& cc) { return v.Contrast(cc, 10, 10, 30, 20); }, false},
    {"tone white", [](Viewer& v, Record& cc) { return v.ToneBalance_1pt(cc, 10, 10, 10, 10, 0); }, true},
    {"tone mode 1", [](Viewer& v, Record& cc) { return v.ToneBalance_1pt(cc, 10, 10, 10, 10, 1); }, true},
    {"tone gamma", [](Viewer& v, Record& cc) { return v.ToneBalance_1pt(cc, 10, 10, 10, 10, 2); }, true},
    {"tone both", [](Viewer& v, Record& cc) { return v.ToneBalance_1pt(cc, 10, 10, 10, 10, 3); }, true},
    {"tone mode 9", [](Viewer& v, Record& cc) { return v.ToneBalance_1pt(cc, 10, 10, 10, 10, 9); }, true},
    {"colour 1", [](Viewer& v, Record& cc) { return v.ColorBalance_1pt(cc, 10, 10, 10, 10); }, true},
    {"colour 3", [](Viewer& v, Record& cc) { return v.ColorBalance_3pt(cc, g_x, g_y, g_x, g_y); }, true},
    {"histogram match", [](Viewer& v, Record& cc) { return v.HistoMatch(cc, nullptr, nullptr); }, true},
    {"hue match", [](Viewer& v, Record& cc) { return v.HueMatch(cc, nullptr, nullptr); }, true},
};

const Operation& Op(const char* name)
{
    for (const Operation& op : kOperations)
        if (std::strcmp(op.name, name) == 0)
            return op;
    throw std::invalid_argument(name);
}

// R white, gamma, black, G ..., B ..., Y black, Y white.
std::vector<int16_t*> FieldsOf(Record& cc)
{
    tagBASECOLORCORRINFO& b = cc.Base;
    return {&b.sRWhite, &b.sRGamma, &b.sRBlack, &b.sGWhite, &b.sGGamma, &b.sGBlack,
            &b.sBWhite, &b.sBGamma, &b.sBBlack, &b.sYBlack, &b.sYWhite};
}

std::vector<int> Fields(Record cc)
{
    std::vector<int> values;
    for (int16_t* f : FieldsOf(cc))
        values.push_back(*f);
    return values;
}

// A record whose every curve field is 33, so that clearing shows.
Record Marked()
{
    Record cc = Neutral();
    for (int16_t* f : FieldsOf(cc))
        *f = 33;
    return cc;
}

// The fields `op` gives from a marked record, the patches handed to a viewer.
std::vector<int> Analyse(const char* op, const std::vector<Yuv>& source, const std::vector<Yuv>& reference,
                         const Record& current = Neutral())
{
    Viewer viewer;
    CVoraDib s = Patches(source), r = Patches(reference);
    EXPECT_EQ(viewer.SetSource(s) && viewer.SetReference(r) && viewer.SetCorrection(current), 1);
    Record cc = Marked();
    EXPECT_EQ(Op(op).call(viewer, cc), 1) << op;
    return Fields(cc);
}

struct Sampler : Viewer { using Viewer::GetPixelAveraged; };

TEST(FitChannelCurve, KnownPointsGiveKnownCurves)
{
    const int cases[][9] = {// present values, changes, black, gamma, white
                            {64, 128, 192, 0, 0, 0, 0, 0, 0},
                            {64, 128, 192, 10, 15, 20, 5, 0, 25},     // collinear: a line
                            {64, 128, 192, 80, 0, 0, 120, 0, -39},    // not monotonic: the outer line
                            {64, 128, 192, 10, -125, 20, 5, 0, 25},   // middle power out of range
                            {100, 128, 100, 10, 40, 10, 0, 32, 0},    // no slope: the middle power
                            {100, 256, 100, 30, 0, -20, 0, 0, 0},     // neither
                            {100, 100, 100, 12, 12, 12, 0, 6, 0}};
    for (const auto& c : cases) {
        int black = 999, gamma = 999, white = 999;
        colorcorrect::FitChannelCurve(c[0], c[1], c[2], c[3], c[4], c[5], black, gamma, white);
        EXPECT_TRUE(black == c[6] && gamma == c[7] && white == c[8]) << c[3] << ": " << black << " " << gamma << " " << white;
    }
}

TEST(PointSample, AveragesTheThreeByThreeWindowKeptInsideThePicture)
{
    const struct { int w, h, bits; std::function<void(CVoraDib&)> paint; int x, y; Yuv want; } cases[] = {
        {40, 30, 24, [](CVoraDib& d) { Paint(d, 10, 12, {100, 10, -10}); }, 10, 12, {100, 10, -10}},
        {40, 30, 24, [](CVoraDib& d) { PixelOf(d, 10, 9)[0] = 90; }, 11, 8, {10, 0, 0}}, // lines from the top
        {20, 20, 24, [](CVoraDib& d) { // truncated: U 1160 / 9, V 1142 / 9, Y 8 / 9
             Paint(d, 5, 5, {0, 1, 0}), PixelOf(d, 5, 5)[1] = 128, PixelOf(d, 5, 5)[2] = 118, PixelOf(d, 4, 4)[0] = 8;
         }, 5, 5, {0, 0, -2}},
        {64, 48, 24, [](CVoraDib& d) { Paint(d, 1, 1, {100, 10, -10}); }, -5, 0, {100, 10, -10}}, // before the corner
        {64, 48, 24, [](CVoraDib& d) { Paint(d, 62, 46, {200, -20, 30}); }, 9999, 47, {200, -20, 30}},
        {16, 16, 32, [](CVoraDib& d) { Paint(d, 7, 7, {99, 10, -10}); }, 9, 7, {33, 3, -4}},
        {2, 2, 24, [](CVoraDib& d) { Paint(d, 1, 0, {20, 20, -20}, 0); }, 5, -3, {20, 20, -20}}, // too small: one pixel
        {1, 7, 24, [](CVoraDib& d) { PixelOf(d, 0, 3)[0] = 77; }, 0, 3, {77, 0, 0}},
    };
    for (const auto& c : cases) {
        CVoraDib dib = Flat(c.w, c.h, {0, 0, 0}, c.bits);
        c.paint(dib);
        Yuv s{-1, -1, -1};
        EXPECT_EQ(Sampler::GetPixelAveraged(dib, c.x, c.y, s.y, s.u, s.v), 1);
        EXPECT_TRUE(s.y == c.want.y && s.u == c.want.u && s.v == c.want.v)
            << c.w << " x " << c.h << " at " << c.x << ", " << c.y << ": " << s.y << " " << s.u << " " << s.v;
    }
    CVoraDib rgb; // not packed YUV, or no picture: 0 with a black sample
    ASSERT_EQ(rgb.Alloc(10, 10, 24, 0), 1);
    for (const CVoraDib& dib : {rgb, CVoraDib()}) {
        Yuv s{-1, -1, -1};
        EXPECT_TRUE(Sampler::GetPixelAveraged(dib, 5, 5, s.y, s.u, s.v) == 0 && s.y == 0 && s.u == 0 && s.v == 0);
    }
    Viewer viewer; // the public sample converts without limiting: 250 + 71900 / 512, 250 - 36500 / 512
    CVoraDib reference = Flat(20, 20, {250, 0, 100});
    int r = -1, g = -1, b = -1;
    EXPECT_TRUE(viewer.GetPixelAveragedRGB(5, 5, r, g, b, 1) == 0 && r == -1 && viewer.SetReference(reference) &&
                viewer.GetPixelAveragedYUV(1, 1, r, g, b, 0) == 0 &&
                viewer.GetPixelAveragedRGB(5, 5, r, g, b, 1) == 1 && r == 390 && g == 179 && b == 250);
}

TEST(PointAnalyses, WrongRecordSizesAndMissingPicturesAreRefusedWithTheRecordKept)
{
    CVoraDib picture = Patches({{100, 10, -10}, {150, -5, 5}, {200, 5, 5}});
    for (const Operation& op : kOperations) {
        Viewer both, sourceOnly, referenceOnly;
        ASSERT_EQ(both.SetSource(picture) && both.SetReference(picture) && sourceOnly.SetSource(picture) &&
                      referenceOnly.SetReference(picture), 1);
        for (DWORD size : {0u, 36u, DWORD{sizeof(Record) - 1}}) {
            Record cc = Marked();
            cc.dwSize = size;
            const Record before = cc;
            EXPECT_TRUE(op.call(both, cc) == 0 && SameBytes(before, cc)) << op.name << ", size " << size;
        }
        for (Viewer* v : {&sourceOnly, &referenceOnly}) {
            Record cc = Marked();
            const int result = op.call(*v, cc);
            if (op.needsReference) {
                EXPECT_TRUE(result == 0 && SameBytes(Marked(), cc)) << op.name;
            } else if (v == &referenceOnly) {
                // Without a source every sample reads black: no change asked for.
                const bool contrast = std::strcmp(op.name, "contrast") == 0;
                std::vector<int> want(11, contrast ? 33 : 0);
                want[9] = want[10] = contrast ? 0 : 33;
                EXPECT_TRUE(result == 1 && Fields(cc) == want) << op.name;
            }
        }
    }
    Viewer viewer; // null point lists of the three-point colour balance
    ASSERT_EQ(viewer.SetSource(picture) && viewer.SetReference(picture), 1);
    for (int k = 0; k < 4; ++k) {
        int* l[4] = {g_x, g_y, g_x, g_y};
        l[k] = nullptr;
        Record cc = Marked();
        EXPECT_TRUE(viewer.ColorBalance_3pt(cc, l[0], l[1], l[2], l[3]) == 0 && SameBytes(Marked(), cc)) << k;
    }
}

TEST(PointAnalyses, KnownSamplesGiveKnownFields)
{
    Record video = Neutral();
    video.Base.wRangeFlags = RANGE_VIDEO_LUMA;
    const int m = 33; // kept
    const struct {
        const char* op;
        std::vector<Yuv> source, reference;
        std::vector<int> want; // R white, gamma, black, G ..., B ..., Y black, Y white
        Record current = Neutral();
    } cases[] = {
        // Chroma scaled to full luma (2.56): (25, -25); at luma 0 the black offsets of the chroma itself.
        {"gray 1 white", {{100, 10, -10}}, {}, {35, 0, 0, -9, 0, 0, -44, 0, 0, m, m}},
        {"gray 1 black", {{0, 30, -40}}, {}, {0, 0, 56, 0, 0, -18, 0, 0, -53, m, m}},
        {"gray 1 white", {{4, 120, -120}}, {}, {255, 0, 0, -255, 0, 0, -255, 0, 0, m, m}},
        // Channels 111, 132, 149 at mid luma carried onto 128.
        {"gray 1 gamma", {{100, 10, -10}}, {}, {0, 10, 0, 0, -11, 0, 0, -56, 0, m, m}},
        // 49 * (128 / 49) falls short of 128: the mid level is 127.
        {"gray 1 gamma", {{49, 10, 0}}, {}, {0, 0, 0, 0, 5, 0, 0, -114, 0, m, m}},
        // Blue lies below zero: no exponent reaches it.
        {"gray 1 gamma", {{128, -128, 0}}, {}, {0, 0, 0, 0, -110, 0, 0, 0, 0, m, m}},
        {"gray 2", {{40, 12, -6}, {200, -8, 14}}, {}, {-20, 0, 8, 7, 0, 0, 14, 0, -21, m, m}},
        // Equal lumas: the second point is the dark one; three keep their order.
        {"gray 2", {{100, 12, -6}, {100, -8, 14}}, {}, {8, 0, -20, 0, 0, 7, -21, 0, 14, m, m}},
        {"gray 3", {{100, 5, -10}, {100, -15, -30}, {100, 5, 25}}, {}, {-155, 0, 100, -155, 0, 100, 0, 16, 0, m, m}},
        {"gray 3", {{100, 5, 25}, {100, 5, -10}, {100, -15, -30}}, {}, {-155, 0, 100, -155, 0, 100, -155, 0, 100, m, m}},
        // Source (25, -25) minus reference (-8, 8) at full luma.
        {"tone white", {{100, 10, -10}}, {{150, -5, 5}}, {46, 0, 0, -12, 0, 0, -59, 0, 0, m, m}},
        {"tone gamma", {{100, 10, -10}}, {{150, -5, 5}}, {0, 14, 0, 0, -14, 0, 0, -72, 0, m, m}},
        // Reference lumas either side of the zone edges: the level 42, 128 or 213 replaced.
        {"colour 1", {{73, 9, -7}}, {{85, -3, 4}}, {-7, 0, 40, 4, -89, 65, -7, 21, -56, 0, 0}},
        {"colour 1", {{74, 9, -7}}, {{86, -3, 4}}, {-44, 62, -35, -10, 16, -19, 8, -85, 39, 0, 0}},
        {"colour 1", {{158, 9, -7}}, {{170, -3, 4}}, {-51, 72, -35, -11, 18, -21, 9, -104, 52, 0, 0}},
        {"colour 1", {{159, 9, -7}}, {{171, -3, 4}}, {56, 0, -10, 32, -91, 38, -41, 18, -15, 0, 0}},
        {"contrast", {{220, 0, 0}, {20, 0, 0}}, {}, {m, m, m, m, m, m, m, m, m, -25, 44}},
        {"contrast", {{20, 0, 0}, {220, 0, 0}}, {}, {m, m, m, m, m, m, m, m, m, -4, 18}, video},
        {"contrast", {{100, 0, 0}, {101, 0, 0}}, {}, {m, m, m, m, m, m, m, m, m, -255, 255}},
        {"contrast", {{90, 0, 0}, {90, 0, 0}}, {}, {m, m, m, m, m, m, m, m, m, 0, 0}, video},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Analyse(c.op, c.source, c.reference, c.current), c.want) << c.op;
}

TEST(PointAnalyses, SamplesWithoutAColourToCorrectGiveNeutralCurves)
{
    const std::vector<int> neutral(9, 0);
    const auto curves = [](std::vector<int> f) { return std::vector<int>(f.begin(), f.begin() + 9); };
    const std::vector<Yuv> grey = {{100, 0, 0}, {150, 0, 0}, {200, 0, 0}};
    for (const Operation& op : kOperations)
        EXPECT_TRUE(!std::strcmp(op.name, "contrast") || curves(Analyse(op.name, grey, grey)) == neutral) << op.name;
    // No luma to scale the chroma by, or a mode that only clears.
    for (const char* op : {"gray 1 white", "gray 1 gamma", "gray 1 both", "gray 1 mode 4", "tone white",
                           "tone gamma", "tone both", "tone mode 1", "tone mode 9"})
        EXPECT_EQ(curves(Analyse(op, {{0, 30, -40}}, {{150, -5, 5}})), neutral) << op;
    for (const char* op : {"tone white", "tone gamma", "tone both", "tone mode 1"})
        EXPECT_EQ(curves(Analyse(op, {{100, 20, -20}}, {{0, -5, 5}})), neutral) << op;
}

TEST(PointAnalyses, CorrectionsCarryThePickedColoursWhereTheyAskToGo)
{
    const struct {
        const char* op;
        std::vector<Yuv> source, reference; // no reference: the source patches turn grey
    } cases[] = {
        {"gray 1 white", {{120, 15, -10}}, {}},
        {"gray 1 both", {{120, 15, -10}}, {}},
        {"gray 2", {{40, 6, -4}, {210, 8, -6}}, {}},
        {"gray 3", {{50, 5, -4}, {120, 8, -6}, {200, 10, -8}}, {}},
        {"gray 3", {{200, 10, -8}, {50, 5, -4}, {120, 8, -6}}, {}},
        {"colour 1", {{120, 10, -8}}, {{130, -6, 5}}},
        {"colour 3", {{120, 8, -6}, {200, 6, -5}, {50, 6, -4}}, {{125, -4, 4}, {205, -3, 3}, {55, -3, 2}}},
        {"contrast", {{30, 0, 0}, {200, 0, 0}}, {{0, 0, 0}, {255, 0, 0}}},
    };
    for (const auto& c : cases) {
        Viewer viewer;
        CVoraDib source = Patches(c.source), reference = Patches(c.reference);
        ASSERT_EQ(viewer.SetSource(source) && viewer.SetReference(reference), 1);
        Record cc = Neutral();
        ASSERT_EQ(Op(c.op).call(viewer, cc), 1) << c.op;
        CVoraDib out = Corrected(source, cc);
        for (size_t i = 0; i < c.source.size(); ++i) {
            const Yuv got = PatchColour(out, g_x[i], g_y[i]);
            const Yuv want = c.reference.empty() ? Yuv{got.y, 0, 0} : c.reference[i];
            EXPECT_TRUE(std::abs(got.y - want.y) <= 3 && std::abs(got.u - want.u) <= 3 && std::abs(got.v - want.v) <= 3)
                << c.op << ", patch " << i << ": " << got.y << " " << got.u << " " << got.v;
        }
    }
}

TEST(ColourBalance, StartsFromThePresentCorrectionAndKeepsItsCurvesOutsideTheZone)
{
    Record current = Neutral();
    current.Base.sRBlack = 10, current.Base.sRWhite = -20, current.Base.sGGamma = 30, current.Base.sBBlack = -8;
    current.Base.sSat = 20;
    const std::vector<int> before = Fields(current), after = Analyse("colour 1", {{190, 6, -5}}, {{200, -4, 6}}, current);
    EXPECT_EQ(after[9], 0) << "the rest is the present correction";
    // Reference luma 200 replaces the level 213; the present curves stay at 42 and 128.
    for (int ch = 0; ch < 3; ++ch)
        for (int level : {42, 128}) {
            const int *p = &before[3 * ch], *q = &after[3 * ch];
            EXPECT_NEAR(colorcorrect::ApplyChannelCurve(level, q[2], q[1], q[0]),
                        colorcorrect::ApplyChannelCurve(level, p[2], p[1], p[0]), 3) << ch << ", " << level;
        }
}

TEST(AnalysisBounds, RandomPicturesAndPointsKeepEveryFieldInItsRange)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255), size(1, 40), pos(-10, 50);
    const auto within = [](int value, int lo, int hi) { return value >= lo && value <= hi; };
    for (int round = 0; round < 120; ++round) {
        CVoraDib pictures[2];
        for (CVoraDib& p : pictures) {
            p = Flat(size(rng), size(rng), {byte(rng), byte(rng) - 128, byte(rng) - 128});
            if (round % 3 == 0)
                colorcorrect::test::FillPattern(p, rng());
        }
        Viewer viewer; // pictures of one pixel may be refused: the analyses then refuse too
        static_cast<void>(viewer.SetSource(pictures[0]) + viewer.SetReference(pictures[1]));
        // A present correction anywhere within the controls' ranges.
        Record current = Neutral();
        for (int16_t* f : FieldsOf(current))
            *f = static_cast<int16_t>(2 * byte(rng) - 255);
        current.Base.sHue = static_cast<int16_t>(2 * byte(rng) - 255);
        current.Base.wRangeFlags = round % 2 ? RANGE_VIDEO_LUMA : 0;
        viewer.SetCorrection(current);
        g_x[round % 3] = pos(rng), g_y[round % 3] = pos(rng);
        for (const Operation& op : kOperations) {
            Record cc = Neutral();
            op.call(viewer, cc);
            for (int f : Fields(cc))
                ASSERT_TRUE(within(f, -256, 256)) << op.name << ", round " << round;
            ASSERT_TRUE(within(cc.Base.sYBlack, -255, 255) && within(cc.Base.sYWhite, -255, 255) &&
                        within(cc.Base.sHue, -256, 256)) << op.name << ", round " << round;
        }
        tagMATCHVECTOR mv{};
        mv.byHueSoft = static_cast<uint8_t>(byte(rng)), mv.bySatSoft = static_cast<uint8_t>(byte(rng));
        tagRECT rc[2] = {{pos(rng), pos(rng), pos(rng), pos(rng)}, {pos(rng), pos(rng), pos(rng), pos(rng)}};
        static_cast<void>(viewer.GetMatchVector(mv, &rc[0]) + viewer.AddToMatchVector(mv, &rc[1]) +
                          viewer.SetMatchVectorTo(mv, &rc[1]));
        for (int v : {mv.sHue, mv.sSat, mv.sGamma, mv.sWhite, mv.sBlack, mv.sUOffset, mv.sVOffset})
            ASSERT_TRUE(within(v, -255, 255)) << "round " << round << ": " << v;
    }
    g_x[0] = 10, g_x[1] = 30, g_x[2] = 50, g_y[0] = 10, g_y[1] = 20, g_y[2] = 35;
}

} // namespace
