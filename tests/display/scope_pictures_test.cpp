// Every scope of a 75 % colour-bar picture, neutral and with a visible
// correction. The checks look at what a viewer would see: one dot per bar in
// the vector scope, one step per bar in the waveform, distinct histograms,
// a cloud that turns with the cube's angles.
//
// With COLORCORRECT_SCOPE_PNG_DIR set to a folder, the displays and the
// corrected pictures are also written there as PNG files to be looked at.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "display/scope_access.h"
#include "support/color_bars.h"
#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/png_file.h"

namespace colorcorrect::test {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// U, V of an RGB colour with the picture class's conversion.
std::pair<int, int> Chroma(int r, int g, int b)
{
    return {(-86 * r - 170 * g + 256 * b + 256) >> 9, (256 * r - 214 * g - 42 * b + 256) >> 9};
}

// A background with a dark red frame around each scope area and, for the
// vector scope, small red boxes round the neutral bars' targets, so that the
// pictures can be read like the real displays.
CVoraDib Graticule(bool targets)
{
    CVoraDib dib;
    dib.Alloc(kScopeWidth, kScopeHeight, 24, 0);
    auto red = [&](int x, int line, int level) { SetPixel(dib, x, line, {0, 0, level}); };
    for (int x = 0; x < kScopeWidth; ++x) {
        red(x, 0, 90);
        red(x, kScopeHeight - 1, 90);
    }
    for (int line = 0; line < kScopeHeight; ++line) {
        red(0, line, 90);
        red(kScopeWidth - 1, line, 90);
    }
    if (targets) {
        for (const auto& rgb : kColorBarRgb) {
            const auto [u, v] = Chroma(rgb[0], rgb[1], rgb[2]);
            const int x = 64 + u + 128, line = 16 + v + 128;
            for (int d = -5; d <= 5; ++d) {
                red(x + d, line - 5, 200);
                red(x + d, line + 5, 200);
                red(x - 5, line + d, 200);
                red(x + 5, line + d, 200);
            }
        }
    }
    return dib;
}

class ScopePictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dibVector = Graticule(true);
        g_dibWaveform = Graticule(false);
        g_dibLightning = Graticule(false);
        g_dibHistogram = Graticule(false);
        g_dibVectLight = Graticule(false);
        g_dibBlank.Alloc(kScopeWidth, kScopeHeight, 24, 0);
        f.m_HistoBack = g_dibHistogram;
        bars = MakeColorBars(kWidth, kHeight, 24);
        ASSERT_EQ(bars.GetWidth(), kWidth);
        const char* dir = std::getenv("COLORCORRECT_SCOPE_PNG_DIR");
        if (dir != nullptr)
            folder = dir;
    }

    // The neutral correction.
    void Neutral()
    {
        tagCOLORCORRINFO cc;
        cc.Init(sizeof(tagCOLORCORRINFO));
        cc.dwFlags = CC_PRIMARY;
        ASSERT_TRUE(f.SetupFilter(cc));
    }

    // More saturation, a hue turn, brighter mid-tones and a match vector on
    // the red bar that pulls it toward orange; the red bar is the isolate
    // vector, so its samples show in blue.
    void Visible()
    {
        tagCOLORCORRINFO cc;
        cc.Init(sizeof(tagCOLORCORRINFO));
        cc.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR;
        cc.Base.sSat = 50;
        cc.Base.sHue = 16;
        cc.Base.sYGamma = 40;
        cc.Match.dwCount = 2;
        tagMATCHVECTOR& red = cc.Match.Vector[1];
        red.Init();
        const auto [u, v] = Chroma(191, 0, 0);
        red.cU = static_cast<int8_t>(u);
        red.cV = static_cast<int8_t>(v);
        red.byHueWidth = 25;
        red.bySatWidth = 40;
        red.sHue = 25;
        f.Isolate(1, 0);
        ASSERT_TRUE(f.SetupFilter(cc));
        f.m_IsolateParam = red;
    }

    void Save(const CVoraDib& picture, const std::string& name)
    {
        if (!folder.empty()) {
            EXPECT_TRUE(WritePng(picture, folder + "/" + name + ".png")) << name;
        }
    }

    // Count cells of plane `plane` of a 256 x 256 grid that are not zero.
    int Occupied(int plane)
    {
        int n = 0;
        for (int row = 0; row < 256; ++row)
            for (int column = 0; column < 256; ++column)
                n += f.Cell(plane, row, column) != 0;
        return n;
    }

    BackgroundSwap swap;
    ScopeFilter f;
    CVoraDib bars, out, display;
    std::string folder;
};

TEST_F(ScopePictures, VectorShowsOneDotPerBar)
{
    Neutral();
    ASSERT_EQ(f.ProcessDisplay(bars, out, display, 1), 1);
    Save(out, "neutral_picture");
    Save(display, "neutral_1_vector");
    // Each bar's dot sits in the middle of its target box; white and black
    // share the centre.
    for (const auto& rgb : kColorBarRgb) {
        const auto [u, v] = Chroma(rgb[0], rgb[1], rgb[2]);
        EXPECT_EQ(f.Cell(0, v + 128, u + 128), 255) << rgb[0] << " " << rgb[1] << " " << rgb[2];
    }
    EXPECT_EQ(Occupied(0), 7);

    Visible();
    ASSERT_EQ(f.ProcessDisplay(bars, out, display, 1), 1);
    Save(out, "corrected_picture");
    Save(display, "corrected_1_vector");
    // Still one dot per coloured bar, now away from the targets.
    EXPECT_EQ(Occupied(0), 7);
    const auto [u, v] = Chroma(0, 191, 191); // cyan
    EXPECT_EQ(f.Cell(0, v + 128, u + 128), 0);
}

TEST_F(ScopePictures, WaveformShowsOneStepPerBar)
{
    for (bool corrected : {false, true}) {
        if (corrected)
            Visible();
        else
            Neutral();
        ASSERT_EQ(f.ProcessDisplay(bars, out, display, 2), 1);
        Save(display, corrected ? "corrected_2_waveform" : "neutral_2_waveform");
        // Bar b covers 40 source columns and 45 waveform columns; each of
        // them holds its samples on one luma row only.
        std::set<int> levels;
        for (int bar = 0; bar < 8; ++bar) {
            const int column = bar * 45 + 20;
            int rows = 0, level = -1;
            for (int row = 0; row < 256; ++row)
                if (f.WaveCell(0, row, column) + f.WaveCell(1, row, column) != 0) {
                    ++rows;
                    level = row;
                }
            EXPECT_EQ(rows, 1) << "bar " << bar;
            levels.insert(level);
        }
        EXPECT_EQ(levels.size(), 8u); // eight distinct steps
        // The red bar (bar 5) is the isolate vector once corrected.
        int selected = 0;
        for (int row = 0; row < 256; ++row)
            selected += f.WaveCell(1, row, 5 * 45 + 20);
        EXPECT_EQ(selected != 0, corrected);
    }
}

TEST_F(ScopePictures, HistogramShowsThreeDistinctDistributions)
{
    CVoraDib reference = MakeColorBars(160, 120, 24);
    ASSERT_EQ(f.SetReference(reference), 1);
    Visible();
    ASSERT_EQ(f.ProcessDisplay(bars, out, display, 4), 1);
    Save(display, "corrected_4_histogram");
    std::vector<std::vector<uint32_t>> charts(3, std::vector<uint32_t>(256));
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            charts[c][i] = f.HistoCount(c, i);
    EXPECT_NE(charts[0], charts[1]);
    EXPECT_NE(charts[1], charts[2]);
    EXPECT_NE(charts[0], charts[2]);
    // The reference bars (blue) sit at 191; the corrected ones have moved.
    EXPECT_TRUE(PixelIs(display, 64 + 191, 195 + 60, {208, 0, 0}));
}

TEST_F(ScopePictures, LightningAndCombined)
{
    Visible();
    ASSERT_EQ(f.ProcessDisplay(bars, out, display, 5), 1);
    Save(display, "corrected_5_lightning");
    EXPECT_GT(Occupied(0), 7);
    EXPECT_GT(Occupied(1), 0); // the red bar, selected
    ASSERT_EQ(f.ProcessDisplay(bars, out, display, 7), 1);
    Save(display, "corrected_7_combined");
    EXPECT_GT(Occupied(0), 20);
    EXPECT_GT(Occupied(1), 0);
}

TEST_F(ScopePictures, CubeCloudTurnsWithTheAngles)
{
    Visible();
    struct View {
        int alpha, beta, gamma;
        const char* name;
    };
    std::vector<std::vector<int>> clouds;
    for (const View& view : {View{30, 60, 20, "corrected_6_cube_30_60_20"},
                             View{120, 70, -30, "corrected_6_cube_120_70_-30"},
                             View{90, 90, -90, "corrected_6_cube_top"},
                             View{0, 0, 0, "corrected_6_cube_side"}}) {
        f.SetAngles(view.alpha, view.beta, view.gamma);
        ASSERT_EQ(f.ProcessDisplay(bars, out, display, 6), 1);
        Save(display, view.name);
        std::vector<int> cells;
        for (int row = 0; row < 256; ++row)
            for (int column = 0; column < 256; ++column)
                if (f.Cell(0, row, column) + f.Cell(1, row, column) != 0)
                    cells.push_back(row * 256 + column);
        EXPECT_GE(cells.size(), 6u) << view.name;
        clouds.push_back(cells);
    }
    for (size_t i = 1; i < clouds.size(); ++i)
        EXPECT_NE(clouds[0], clouds[i]) << "view " << i;
}

TEST_F(ScopePictures, SoftBarsDrawThePathsBetweenTheBars)
{
    // Blended bar edges put samples on the straight chroma paths from one
    // bar's dot to the next.
    bars = MakeSoftColorBars(kWidth, kHeight, 24, 12);
    Neutral();
    ASSERT_EQ(f.ProcessDisplay(bars, out, display, 1), 1);
    Save(out, "soft_neutral_picture");
    Save(display, "soft_neutral_1_vector");
    EXPECT_GT(Occupied(0), 7 * 12);
    // The blend 6/13 of the way from yellow to cyan is on the path (within
    // the conversions' rounding).
    const int r = 191 + (0 - 191) * 6 / 13, g = 191, b = 0 + 191 * 6 / 13;
    const auto [u, v] = Chroma(r, g, b);
    int near = 0;
    for (int dv = -1; dv <= 1; ++dv)
        for (int du = -1; du <= 1; ++du)
            near += f.Cell(0, v + 128 + dv, u + 128 + du);
    EXPECT_EQ(near, kHeight); // one column of the picture

    Visible();
    const struct {
        unsigned mode;
        const char* name;
    } modes[] = {{1, "soft_corrected_1_vector"},    {2, "soft_corrected_2_waveform"},
                 {4, "soft_corrected_4_histogram"}, {5, "soft_corrected_5_lightning"},
                 {6, "soft_corrected_6_cube"},      {7, "soft_corrected_7_combined"}};
    f.SetAngles(30, 60, 20);
    for (const auto& m : modes) {
        ASSERT_EQ(f.ProcessDisplay(bars, out, display, m.mode), 1) << m.name;
        EXPECT_EQ(f.m_uDisplayMode, m.mode);
        Save(display, m.name);
    }
    Save(out, "soft_corrected_picture");
}

} // namespace
} // namespace colorcorrect::test
