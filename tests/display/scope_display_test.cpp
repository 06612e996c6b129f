// The scope displays: accumulation at known grid cells, drawing positions,
// saturation, the selected-vector plane, histograms, mode handling and the
// corrected picture produced alongside.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "display/scope_access.h"
#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/timing_line.h"

namespace colorcorrect::test {
namespace {

// Background of every test display: blue 7, green 9 and a red "graticule"
// of 77, so that what the scopes write and what they leave can be told apart.
constexpr int kBackBlue = 7, kBackGreen = 9, kBackRed = 77;

CVoraDib Background(int width = kScopeWidth, int height = kScopeHeight, int bits = 24)
{
    CVoraDib dib;
    dib.Alloc(width, height, bits, 0);
    FillUniform(dib, {kBackBlue, kBackGreen, kBackRed});
    return dib;
}

// A packed YUV picture with every pixel (y, u + 128, v + 128[, alpha]).
CVoraDib Uniform(int width, int height, int bits, int y, int u, int v, int alpha = 255)
{
    CVoraDib dib;
    dib.AllocYUV(width, height, bits, 0);
    if (bits == 32)
        FillUniform(dib, {y, u + 128, v + 128, alpha});
    else
        FillUniform(dib, {y, u + 128, v + 128});
    return dib;
}

tagCOLORCORRINFO Record(DWORD flags)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = flags;
    return cc;
}

// A match vector selecting the colour (u, v), no correction of its own.
tagMATCHVECTOR Selection(int u, int v, int hueWidth, int satWidth)
{
    tagMATCHVECTOR mv;
    mv.Init();
    mv.cU = static_cast<int8_t>(u);
    mv.cV = static_cast<int8_t>(v);
    mv.byHueWidth = static_cast<uint8_t>(hueWidth);
    mv.bySatWidth = static_cast<uint8_t>(satWidth);
    mv.byHueSoft = 0;
    mv.bySatSoft = 0;
    mv.byYSoft = 0;
    return mv;
}

// Header fields read by value (the header is packed); -1 or ~0 when empty.
int Bits(const CVoraDib& dib)
{
    const tagDIBINFO* h = dib;
    return h == nullptr ? -1 : static_cast<int>(h->bmiHeader.biBitCount);
}
uint32_t Compression(const CVoraDib& dib)
{
    const tagDIBINFO* h = dib;
    return h == nullptr ? ~0u : static_cast<uint32_t>(h->bmiHeader.biCompression);
}

// The blue-and-green value a display pixel carries for the given counts.
unsigned GridValue(const ScopeFilter& f, int ordinary, int selected)
{
    return f.m_ILUT[ordinary] | f.m_ILUT[256 + selected];
}

::testing::AssertionResult ShowsValue(const CVoraDib& display, int x, int line, unsigned value,
                                      int red = kBackRed)
{
    return PixelIs(display, x, line,
                   {static_cast<int>(value & 0xFF), static_cast<int>(value >> 8), red});
}

// Swaps the backgrounds for the test's and sets a neutral filter up.
class ScopeDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_dibVector = Background();
        g_dibWaveform = Background();
        g_dibLightning = Background();
        g_dibHistogram = Background();
        g_dibBlank = Background();
        g_dibVectLight = Background();
        f.m_HistoBack = g_dibHistogram;
        ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
        f.SetAngles(0, 0, 0);
    }

    BackgroundSwap swap;
    ScopeFilter f;
    CVoraDib out;
    CVoraDib display;
};

// ---- vector ---------------------------------------------------------------------

TEST_F(ScopeDisplay, NeutralTablesAreTheIdentity)
{
    for (int y = 0; y < 256; ++y)
        ASSERT_EQ(f.m_LumaClip[512 + y], y) << "luma " << y;
    for (int c = -127; c <= 127; ++c)
        ASSERT_EQ(f.m_ChromaClip[512 + c], c) << "chroma " << c;
}

TEST_F(ScopeDisplay, VectorCountsNeutralPixelAtGridCentre)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    ASSERT_NE(f.m_pDisplayBuffer, nullptr);
    EXPECT_EQ(f.m_uDisplayMode, 1u);
    EXPECT_EQ(f.Cell(0, 128, 128), 8);
    EXPECT_EQ(f.Cell(0, 128, 127), 0);
    // Grid cell (128, 128) lands at x 64 + 128, line 16 + 128; red stays.
    EXPECT_TRUE(ShowsValue(display, 192, 144, f.m_ILUT[8]));
    EXPECT_NE(f.m_ILUT[8] >> 8, 0);
    EXPECT_TRUE(ShowsValue(display, 64, 16, f.m_ILUT[0]));
    EXPECT_TRUE(ShowsValue(display, 319, 271, f.m_ILUT[0]));
    // Outside the grid the background is untouched.
    EXPECT_TRUE(PixelIs(display, 63, 144, {kBackBlue, kBackGreen, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 320, 144, {kBackBlue, kBackGreen, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 192, 15, {kBackBlue, kBackGreen, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 192, 272, {kBackBlue, kBackGreen, kBackRed}));
}

TEST_F(ScopeDisplay, VectorCountsAtChromaOfTheSample)
{
    // Y 100, U 40, V -30 survives the neutral round trip unchanged.
    CVoraDib in = Uniform(3, 1, 24, 100, 40, -30);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_EQ(f.Cell(0, -30 + 128, 40 + 128), 3);
    EXPECT_TRUE(ShowsValue(display, 64 + 168, 16 + 98, f.m_ILUT[3]));
}

TEST_F(ScopeDisplay, CountersStopAt255)
{
    CVoraDib in = Uniform(20, 20, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_EQ(f.Cell(0, 128, 128), 255);
    EXPECT_TRUE(ShowsValue(display, 192, 144, f.m_ILUT[255]));
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_EQ(f.Cell(0, 128 + 50, 127), 255);
    EXPECT_EQ(f.Cell(0, 128 - 50, 127), 255);
}

TEST_F(ScopeDisplay, VectorShowsMatchRegionsInBlue)
{
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[1] = Selection(-40, 60, 30, 30);
    ASSERT_TRUE(f.SetupFilter(cc));
    CVoraDib in = Uniform(2, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    const unsigned inside = f.m_pMatchIndex[SegmentIndexPosition(-40, 60)];
    ASSERT_EQ(inside & 0xF, 1u);
    // Row V + 128 = 188, column U + 128 = 88.
    EXPECT_TRUE(ShowsValue(display, 64 + 88, 16 + 188, f.m_ILUT[0] | (inside & 0xFF)));
    EXPECT_TRUE(ShowsValue(display, 192, 144, f.m_ILUT[4]));
}

// ---- lightning ------------------------------------------------------------------

TEST_F(ScopeDisplay, LightningPutsWhiteOnRows255And1)
{
    CVoraDib in = Uniform(3, 1, 24, 255, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_EQ(f.Cell(0, 255, 127), 3); // Us part
    EXPECT_EQ(f.Cell(0, 1, 127), 3);   // Vs part
    EXPECT_EQ(f.Cell(1, 255, 127), 0);
    EXPECT_TRUE(ShowsValue(display, 64 + 127, 16 + 255, GridValue(f, 3, 0)));
    EXPECT_TRUE(ShowsValue(display, 64 + 127, 16 + 1, GridValue(f, 3, 0)));
}

TEST_F(ScopeDisplay, LightningPutsBlackOnRow128Twice)
{
    CVoraDib in = Uniform(3, 1, 24, 0, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_EQ(f.Cell(0, 128, 127), 6);
    EXPECT_TRUE(ShowsValue(display, 64 + 127, 16 + 128, GridValue(f, 6, 0)));
    // Grid column 255 is not drawn.
    EXPECT_TRUE(PixelIs(display, 64 + 255, 16 + 128, {kBackBlue, kBackGreen, kBackRed}));
}

TEST_F(ScopeDisplay, LightningClearsBit0OfLuma)
{
    CVoraDib in = Uniform(1, 1, 24, 101, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_EQ(f.Cell(0, 128 + 50, 127), 1);
    EXPECT_EQ(f.Cell(0, 128 - 50, 127), 1);
}

// ---- waveform and the selected-vector plane -------------------------------------

TEST_F(ScopeDisplay, WaveformCountsLumaAgainstColumn)
{
    CVoraDib in = Uniform(720, 2, 24, 100, 0, 0);
    SetPixel(in, 719, 0, {200, 128, 128});
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 2), 1);
    ASSERT_EQ(f.m_ColumnTable.size(), 720u);
    EXPECT_EQ(f.m_ColumnTable[1], 0u);
    EXPECT_EQ(f.m_ColumnTable[2], 1u);
    EXPECT_EQ(f.m_ColumnTable[719], 359u);
    EXPECT_EQ(f.WaveCell(0, 100, 0), 4);
    EXPECT_EQ(f.WaveCell(0, 100, 359), 3);
    EXPECT_EQ(f.WaveCell(0, 200, 359), 1);
    EXPECT_EQ(f.WaveCell(1, 100, 0), 0);
    // 360 columns at x 12, grid row r at line 16 + r.
    EXPECT_TRUE(ShowsValue(display, 12, 116, GridValue(f, 4, 0)));
    EXPECT_TRUE(ShowsValue(display, 12 + 359, 216, GridValue(f, 1, 0)));
    EXPECT_TRUE(PixelIs(display, 11, 116, {kBackBlue, kBackGreen, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 372, 116, {kBackBlue, kBackGreen, kBackRed}));
}

class ScopeSelection : public ScopeDisplay {
protected:
    // Vector 1 selects the colour U -40, V 60 (a red); the picture has that
    // colour in column 0 and gray in column 1.
    void SetUpSelection(uint32_t isolateVector, uint32_t isolateType)
    {
        tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_MATCH_VECTOR);
        cc.Match.dwCount = 2;
        cc.Match.Vector[1] = Selection(-40, 60, 30, 30);
        f.Isolate(isolateVector, isolateType);
        ASSERT_TRUE(f.SetupFilter(cc));
        in = Uniform(2, 1, 24, 100, 0, 0);
        SetPixel(in, 0, 0, {100, 128 - 40, 128 + 60});
    }
    CVoraDib in;
};

TEST_F(ScopeSelection, VectorSamplesGoToTheSecondPlane)
{
    SetUpSelection(1, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 2), 1);
    // Both pixels keep luma 100; column 0 -> grid column 0, column 1 -> 180.
    EXPECT_EQ(f.WaveCell(1, 100, 0), 1);
    EXPECT_EQ(f.WaveCell(0, 100, 0), 0);
    EXPECT_EQ(f.WaveCell(0, 100, 180), 1);
    EXPECT_EQ(f.WaveCell(1, 100, 180), 0);
    EXPECT_TRUE(ShowsValue(display, 12, 116, GridValue(f, 0, 1)));
    EXPECT_TRUE(ShowsValue(display, 12 + 180, 116, GridValue(f, 1, 0)));
    EXPECT_NE(GridValue(f, 0, 1) & 0xFF, 0u); // selected counts show in blue
}

TEST_F(ScopeSelection, BackgroundIsSelectedForVectorZero)
{
    SetUpSelection(0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 2), 1);
    EXPECT_EQ(f.WaveCell(0, 100, 0), 1);
    EXPECT_EQ(f.WaveCell(1, 100, 180), 1);
}

TEST_F(ScopeSelection, IsolatedVectorIsSelectedAndTheRestTurnsGray)
{
    SetUpSelection(1, 2);
    ASSERT_TRUE(f.m_bIsolate);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    // The vector's pixel: Ys 100 -> rows 128 +- 50, selected plane.
    EXPECT_EQ(f.Cell(1, 178, -40 + 127), 1);
    EXPECT_EQ(f.Cell(1, 78, 60 + 127), 1);
    // The gray pixel is outside every vector: turned gray (Y 128), not selected.
    EXPECT_EQ(f.Cell(0, 128 + 64, 127), 1);
    EXPECT_EQ(f.Cell(0, 128 - 64, 127), 1);
    EXPECT_TRUE(PixelIs(out, 1, 0, {128, 128, 128}));
}

TEST_F(ScopeSelection, NoFlagWhenTheMatchStageIsOff)
{
    SetUpSelection(1, 0);
    ASSERT_TRUE(f.SetupFilter(Record(CC_PRIMARY)));
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 2), 1);
    EXPECT_EQ(f.WaveCell(0, 100, 0), 1);
    EXPECT_EQ(f.WaveCell(1, 100, 0), 0);
}

// ---- wide sources -----------------------------------------------------------------

TEST_F(ScopeDisplay, WideSourceGrowsTheColumnTableForWaveform)
{
    CVoraDib in = Uniform(2000, 2, 32, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 2), 1);
    ASSERT_EQ(f.m_ColumnTable.size(), 2000u);
    EXPECT_EQ(f.m_ColumnTable[1999], 359u);
    EXPECT_EQ(f.WaveCell(0, 100, 359), 2 * 5); // columns 1995..1999, two rows
    EXPECT_EQ(f.WaveCell(0, 100, 360), 0);
}

TEST_F(ScopeDisplay, WideSourceGrowsTheColumnTableForCombined)
{
    CVoraDib in = Uniform(4000, 1, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 7), 1);
    ASSERT_EQ(f.m_ColumnTable.size(), 4000u);
    EXPECT_EQ(f.m_ColumnTable[3999], 127u);
    // Waveform panel: row 128 + 50, column 128 + xcol.
    EXPECT_EQ(f.Cell(0, 178, 255), 31); // columns 3969..3999
    EXPECT_EQ(f.Cell(0, 178, 128), 32);
}

// ---- combined ---------------------------------------------------------------------

TEST_F(ScopeDisplay, CombinedFillsFourPanels)
{
    CVoraDib in = Uniform(4, 1, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 7), 1);
    // h = 50, u = v = 63; columns 0..3 -> xcol 0, 32, 64, 96.
    EXPECT_EQ(f.Cell(0, 63, 63), 4);   // vector
    EXPECT_EQ(f.Cell(0, 178, 63), 4);  // U lightning
    EXPECT_EQ(f.Cell(0, 63, 178), 4);  // V lightning
    EXPECT_EQ(f.Cell(0, 178, 160), 1); // waveform, column 1
    // Rows < 128 at line 10 + r, rows >= 128 at line 20 + r; columns < 128 at
    // x 42 + c, columns >= 128 at x 84 + c.
    EXPECT_TRUE(ShowsValue(display, 42 + 63, 10 + 63, GridValue(f, 4, 0)));
    EXPECT_TRUE(ShowsValue(display, 42 + 63, 20 + 178, GridValue(f, 4, 0)));
    EXPECT_TRUE(ShowsValue(display, 84 + 178, 10 + 63, GridValue(f, 4, 0)));
    EXPECT_TRUE(ShowsValue(display, 84 + 160, 20 + 178, GridValue(f, 1, 0)));
    // The gaps between the panels keep the background.
    EXPECT_TRUE(PixelIs(display, 42 + 130, 73, {kBackBlue, kBackGreen, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 105, 10 + 130, {kBackBlue, kBackGreen, kBackRed}));
}

// ---- histogram ----------------------------------------------------------------------

TEST_F(ScopeDisplay, HistogramChartsOfAUniformPicture)
{
    // 4500 pixels: step 90, so chart line j needs a count of j.
    CVoraDib in = Uniform(90, 50, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 4), 1);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(f.HistoCount(c, 100), 4500u);
        EXPECT_EQ(f.HistoCount(c, 99), 0u);
    }
    const int bar = f.m_ILUT[90] >> 8;
    EXPECT_EQ(bar, 213);
    for (int first : {3, 99, 195}) {
        EXPECT_TRUE(PixelIs(display, 64 + 100, first, {kBackBlue, bar, kBackRed}));
        EXPECT_TRUE(PixelIs(display, 64 + 100, first + 89, {kBackBlue, bar, kBackRed}));
        // Line 0 of a chart is a full base line; above it empty columns are 0.
        EXPECT_TRUE(PixelIs(display, 64, first, {kBackBlue, bar, kBackRed}));
        EXPECT_TRUE(PixelIs(display, 64 + 99, first + 1, {kBackBlue, 0, kBackRed}));
        EXPECT_TRUE(PixelIs(display, 64 + 100, first + 90, {kBackBlue, kBackGreen, kBackRed}));
    }
    EXPECT_TRUE(PixelIs(display, 63, 50, {kBackBlue, kBackGreen, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 64 + 256, 50, {kBackBlue, kBackGreen, kBackRed}));
}

TEST_F(ScopeDisplay, HistogramChartsInBlueGreenRedOrder)
{
    // R 191, G 0, B 0 after conversion: only the R chart (the third) has a bar.
    CVoraDib rgb;
    rgb.Alloc(90, 50, 24, 0);
    FillUniform(rgb, {0, 0, 200});
    ASSERT_TRUE(rgb.ToYUV());
    ASSERT_EQ(f.ProcessDisplay(rgb, out, display, 4), 1);
    const std::vector<int> px = PixelAt(out, 0, 0);
    ASSERT_EQ(px.size(), 3u);
    const int red = px[2];
    ASSERT_GT(red, 150);
    EXPECT_EQ(f.HistoCount(0, red), 4500u);
    const int bar = f.m_ILUT[90] >> 8;
    EXPECT_TRUE(PixelIs(display, 64 + red, 195 + 89, {kBackBlue, bar, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 64 + red, 99 + 89, {kBackBlue, 0, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 64 + red, 3 + 89, {kBackBlue, 0, kBackRed}));
}

TEST_F(ScopeDisplay, HistogramSkipsChannelValueZero)
{
    CVoraDib in = Uniform(10, 10, 24, 0, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 4), 1);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(f.HistoCount(c, i), 0u) << "channel " << c << " value " << i;
}

TEST_F(ScopeDisplay, HistogramFoldsIntoLegalRange)
{
    tagCOLORCORRINFO cc = Record(CC_PRIMARY);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    ASSERT_TRUE(f.SetupFilter(cc));
    ASSERT_TRUE(f.m_bLegalY);
    CVoraDib in = Uniform(90, 50, 24, 5, 0, 0);
    for (int x = 0; x < 45; ++x)
        for (int row = 0; row < 50; ++row)
            SetPixel(in, x, row, {250, 128, 128});
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 4), 1);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(f.HistoCount(c, 5), 0u);
        EXPECT_EQ(f.HistoCount(c, 250), 0u);
        EXPECT_EQ(f.HistoCount(c, 16), 2250u);
        EXPECT_EQ(f.HistoCount(c, 235), 2250u);
    }
    const int bar = f.m_ILUT[90] >> 8;
    for (int first : {3, 99, 195}) {
        for (int i : {0, 5, 15, 236, 250, 255})
            EXPECT_TRUE(PixelIs(display, 64 + i, first + 1, {kBackBlue, 0, kBackRed})) << i;
        EXPECT_TRUE(PixelIs(display, 64 + 16, first + 89, {kBackBlue, bar, kBackRed}));
        EXPECT_TRUE(PixelIs(display, 64 + 235, first + 89, {kBackBlue, bar, kBackRed}));
    }
}

TEST_F(ScopeDisplay, ReferenceHistogramsInBlueUnderTheCurrentOnes)
{
    CVoraDib ref = Uniform(90, 50, 24, 100, 0, 0);
    ASSERT_EQ(f.SetReference(ref), 1);
    for (int first : {3, 99, 195}) {
        EXPECT_TRUE(PixelIs(f.m_HistoBack, 64 + 100, first + 89, {208, kBackGreen, kBackRed}));
        EXPECT_TRUE(PixelIs(f.m_HistoBack, 64 + 50, first, {208, kBackGreen, kBackRed}));
        EXPECT_TRUE(PixelIs(f.m_HistoBack, 64 + 50, first + 1, {0, kBackGreen, kBackRed}));
    }
    EXPECT_TRUE(PixelIs(f.m_HistoBack, 10, 10, {kBackBlue, kBackGreen, kBackRed}));

    // The histogram display then shows both: reference blue, current green.
    CVoraDib in = Uniform(90, 50, 24, 150, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 4), 1);
    const int bar = f.m_ILUT[90] >> 8;
    EXPECT_TRUE(PixelIs(display, 64 + 100, 3 + 50, {208, 0, kBackRed}));
    EXPECT_TRUE(PixelIs(display, 64 + 150, 3 + 50, {0, bar, kBackRed}));
}

TEST_F(ScopeDisplay, ReferenceThresholdsFollowTheReferenceSize)
{
    // 100 pixels: step 2, so chart line j needs a count of j * 2 / 90.
    CVoraDib ref = Uniform(10, 10, 24, 100, 0, 0);
    SetPixel(ref, 0, 0, {60, 128, 128});
    ASSERT_EQ(f.SetReference(ref), 1);
    // A count of 1 reaches the lines with (j * 2) / 90 <= 1, that is j < 90.
    EXPECT_TRUE(PixelIs(f.m_HistoBack, 64 + 60, 3 + 89, {208, kBackGreen, kBackRed}));
}

TEST_F(ScopeDisplay, ReferenceThatIsNotYuvLeavesThePlainBackground)
{
    CVoraDib good = Uniform(10, 10, 24, 100, 0, 0);
    ASSERT_EQ(f.SetReference(good), 1);
    CVoraDib rgb;
    rgb.Alloc(10, 10, 24, 0);
    EXPECT_EQ(f.SetReference(rgb), 0);
    EXPECT_TRUE(PicturesEqual(g_dibHistogram, f.m_HistoBack));
    EXPECT_EQ(f.SetReference(CVoraDib()), 0);
    EXPECT_TRUE(PicturesEqual(g_dibHistogram, f.m_HistoBack));
}

TEST_F(ScopeDisplay, ReferenceOn32BitBackgroundGives24BitPicture)
{
    g_dibHistogram = Background(kScopeWidth, kScopeHeight, 32);
    CVoraDib ref = Uniform(10, 10, 32, 100, 0, 0);
    ASSERT_EQ(f.SetReference(ref), 1);
    EXPECT_EQ(Bits(f.m_HistoBack), 24);
    EXPECT_TRUE(PixelIs(f.m_HistoBack, 64 + 100, 3 + 89, {208, kBackGreen, kBackRed}));
}

// ---- cube -------------------------------------------------------------------------

TEST_F(ScopeDisplay, CubeCloudCoincidesWithTheFrame)
{
    // With angles (0, 0, 0) screen x follows Cb and screen y follows luma.
    CVoraDib in = Uniform(2, 2, 24, 200, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 6), 1);
    EXPECT_FLOAT_EQ(f.m_afRot[8], 0.7f);
    // py = trunc(0.7 * 72 + 128) = 178, px = 128.
    EXPECT_EQ(f.Cell(0, 178, 128), 4);
    // The luma axis runs at x 192 from line 55 to 233 in red 180; the cloud's
    // cell (178, 128) is drawn at x 192, line 194, on the axis.
    const unsigned v = GridValue(f, 4, 0);
    EXPECT_TRUE(PixelIs(display, 192, 194, {static_cast<int>(v & 0xFF),
                                            static_cast<int>(v >> 8), 180}));
    EXPECT_TRUE(PixelIs(display, 192, 100, {0, 0, 180}));
    // The blank background was cleared to black by the cube.
    EXPECT_TRUE(PixelIs(display, 5, 5, {0, 0, 0}));
}

TEST_F(ScopeDisplay, CubeCountsWhiteAtTheTopOfTheLumaAxis)
{
    CVoraDib in = Uniform(2, 1, 24, 255, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 6), 1);
    EXPECT_EQ(f.Cell(0, 216, 128), 2); // trunc(0.7 * 127 + 128)
}

TEST_F(ScopeDisplay, CubeDropsSamplesProjectedOffTheGrid)
{
    // Seen along a diagonal, the corner (V -127, U -127, Y 0) lands about
    // 152 units from the centre, beyond the 256 x 256 grid.
    f.SetAngles(45, 135, 0);
    CVoraDib in = Uniform(2, 1, 24, 128, 0, 0);
    SetPixel(in, 0, 0, {0, 1, 1});
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 6), 1);
    int total = 0;
    for (int plane = 0; plane < 2; ++plane)
        for (int row = 0; row < 256; ++row)
            for (int column = 0; column < 256; ++column)
                total += f.Cell(plane, row, column);
    EXPECT_EQ(total, 1);
    EXPECT_EQ(f.Cell(0, 128, 128), 1);
}

TEST_F(ScopeDisplay, CubeFollowsTheCurrentDisplayObject)
{
    CVoraDib in = Uniform(2, 2, 24, 200, 0, 0);
    auto first = std::make_unique<CVoraDib>();
    ASSERT_EQ(f.ProcessDisplay(in, out, *first, 6), 1);
    EXPECT_TRUE(PixelIs(*first, 192, 100, {0, 0, 180}));
    first.reset();
    CVoraDib second;
    ASSERT_EQ(f.ProcessDisplay(in, out, second, 6), 1);
    EXPECT_TRUE(PixelIs(second, 192, 100, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(second, 5, 5, {0, 0, 0}));
}

TEST_F(ScopeDisplay, CubeUsesTheAnglesOfEveryFrame)
{
    CVoraDib in = Uniform(1, 1, 24, 200, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 6), 1);
    EXPECT_EQ(f.Cell(0, 178, 128), 1);
    int a = 0, b = 0, g = 0;
    f.SetNewAngles(a, b, g, 0, 90); // screen y now follows Cr
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 6), 1);
    EXPECT_EQ(f.Cell(0, 178, 128), 0);
    EXPECT_EQ(f.Cell(0, 128, 128), 1);
}

// ---- modes ------------------------------------------------------------------------

TEST_F(ScopeDisplay, ModeZeroTwiceLeavesTheDisplayAlone)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    ASSERT_NE(f.m_pDisplayBuffer, nullptr);
    CVoraDib sentinel = Background(10, 10);
    display = sentinel;
    for (int i = 0; i < 2; ++i) {
        out.Free();
        ASSERT_EQ(f.ProcessDisplay(in, out, display, 0), 1);
        EXPECT_TRUE(PicturesEqual(sentinel, display));
        EXPECT_EQ(f.m_pDisplayBuffer, nullptr);
        EXPECT_EQ(f.m_uDisplayMode, 0u);
        EXPECT_TRUE(PixelIs(out, 3, 1, {100, 100, 100}));
    }
}

// A filter that never had a scope buffer: mode 0 corrects without touching
// (or computing offsets into) the missing buffer; clang's undefined-behaviour
// checker once caught the channel counters being placed behind a null pointer.
TEST_F(ScopeDisplay, ModeZeroOnAFreshFilterNeedsNoScopeBuffer)
{
    ASSERT_EQ(f.m_pDisplayBuffer, nullptr);
    CVoraDib in = Uniform(3, 2, 32, 100, 0, 0, 128);
    CVoraDib sentinel = Background(10, 10);
    display = sentinel;
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 0), 1);
    EXPECT_EQ(f.m_pDisplayBuffer, nullptr);
    EXPECT_TRUE(PicturesEqual(sentinel, display));
    EXPECT_TRUE(PixelIs(out, 2, 1, {50, 50, 50}));
}

TEST_F(ScopeDisplay, ModeThreeAndAboveSevenAreRefused)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    const CVoraDib shown = display;
    const CVoraDib corrected = out;
    for (unsigned mode : {3u, 8u, 9u, 100u, 0xFFFFFFFFu}) {
        EXPECT_EQ(f.ProcessDisplay(in, out, display, mode), 0) << mode;
        EXPECT_TRUE(PicturesEqual(shown, display)) << mode;
        EXPECT_TRUE(PicturesEqual(corrected, out)) << mode;
        EXPECT_EQ(f.m_uDisplayMode, 1u) << mode;
    }
}

TEST_F(ScopeDisplay, BackgroundOfAnotherSizeGivesPlainDisplay)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    g_dibVector = Background(200, 100);
    out.Free();
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_TRUE(PicturesEqual(g_dibVector, display));
    EXPECT_EQ(f.m_uDisplayMode, 0u);
    EXPECT_EQ(f.m_pDisplayBuffer, nullptr);
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 100, 100}));
}

TEST_F(ScopeDisplay, YuvBackgroundGivesPlainDisplay)
{
    g_dibLightning.Free();
    g_dibLightning.AllocYUV(kScopeWidth, kScopeHeight, 24, 0);
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_TRUE(PicturesEqual(g_dibLightning, display));
    EXPECT_EQ(f.m_uDisplayMode, 0u);
}

TEST_F(ScopeDisplay, EmptyBackgroundFails)
{
    g_dibWaveform.Free();
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    EXPECT_EQ(f.ProcessDisplay(in, out, display, 2), 0);
}

struct PageBudget {
    explicit PageBudget(long count) { SetPageAllocationBudget(count); }
    ~PageBudget() { SetPageAllocationBudget(-1); }
};

TEST_F(ScopeDisplay, FailedBufferAllocationGivesPlainDisplay)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    {
        PageBudget none(0);
        ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    }
    EXPECT_TRUE(PicturesEqual(g_dibLightning, display));
    EXPECT_EQ(f.m_uDisplayMode, 0u);
    EXPECT_EQ(f.m_pDisplayBuffer, nullptr);
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 100, 100}));
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_EQ(f.m_uDisplayMode, 5u);
}

TEST_F(ScopeDisplay, BufferIsKeptPerModeAndClearedPerFrame)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    BYTE* const buffer = f.m_pDisplayBuffer;
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 5), 1);
    EXPECT_EQ(f.m_pDisplayBuffer, buffer);
    EXPECT_EQ(f.Cell(0, 178, 127), 8);
    {
        // A mode change must allocate again: with no pages left it fails.
        PageBudget none(0);
        ASSERT_EQ(f.ProcessDisplay(in, out, display, 7), 1);
        EXPECT_EQ(f.m_pDisplayBuffer, nullptr);
    }
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 7), 1);
    EXPECT_EQ(f.m_uDisplayMode, 7u);
}

TEST_F(ScopeDisplay, InputThatIsNotYuvIsRefused)
{
    CVoraDib rgb;
    rgb.Alloc(4, 2, 24, 0);
    EXPECT_EQ(f.ProcessDisplay(rgb, out, display, 1), 0);
    CVoraDib empty;
    EXPECT_EQ(f.ProcessDisplay(empty, out, display, 1), 0);
    EXPECT_EQ(static_cast<const tagDIBINFO*>(out), nullptr);
}

TEST_F(ScopeDisplay, DisplayThatIsAProcessedPictureIsRefused)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    const CVoraDib before = in;
    EXPECT_EQ(f.ProcessDisplay(in, out, in, 1), 0);
    EXPECT_EQ(f.ProcessDisplay(in, out, out, 1), 0);
    EXPECT_TRUE(PicturesEqual(before, in));
    // Mode 0 does not touch the display at all.
    EXPECT_EQ(f.ProcessDisplay(in, out, out, 0), 1);
}

// ---- the corrected picture ----------------------------------------------------------

TEST_F(ScopeDisplay, AlphaZeroIsWrittenBlackButCounted)
{
    CVoraDib in = Uniform(3, 2, 32, 200, 0, 0, 0);
    SetPixel(in, 0, 0, {200, 128, 128, 128});
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_EQ(f.Cell(0, 128, 128), 6);
    EXPECT_TRUE(PixelIs(out, 1, 0, {0, 0, 0, 255}));
    EXPECT_TRUE(PixelIs(out, 2, 1, {0, 0, 0, 255}));
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 100, 100, 255})); // (128 * 200) >> 8
}

TEST_F(ScopeDisplay, OutputIsMadeToMatchTheInput)
{
    CVoraDib in = Uniform(5, 3, 32, 100, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 0), 1); // out was empty
    EXPECT_EQ(out.GetWidth(), 5);
    EXPECT_EQ(out.GetHeight(), 3);
    EXPECT_EQ(Bits(out), 32);
    EXPECT_EQ(Compression(out), 0u);

    CVoraDib small;
    small.Alloc(2, 2, 24, 0);
    ASSERT_EQ(f.ProcessDisplay(in, small, display, 0), 1);
    EXPECT_EQ(small.GetWidth(), 5);
    EXPECT_EQ(small.GetHeight(), 3);
    EXPECT_EQ(Bits(small), 32);

    // A YUV output of the right size is kept and marked RGB.
    CVoraDib yuvOut = Uniform(5, 3, 32, 0, 0, 0);
    ASSERT_EQ(f.ProcessDisplay(in, yuvOut, display, 0), 1);
    EXPECT_EQ(Compression(yuvOut), 0u);
    EXPECT_TRUE(PixelIs(yuvOut, 4, 2, {100, 100, 100, 255}));
}

TEST_F(ScopeDisplay, OutputMayBeTheInput)
{
    CVoraDib in = Uniform(5, 3, 24, 100, 40, -30);
    CVoraDib expected;
    ASSERT_EQ(f.ProcessDisplay(in, expected, display, 1), 1);
    ASSERT_EQ(f.ProcessDisplay(in, in, display, 1), 1);
    EXPECT_TRUE(PicturesEqual(expected, in));
    EXPECT_EQ(f.Cell(0, 98, 168), 15);
}

TEST_F(ScopeDisplay, ChannelViewAfterAccumulation)
{
    // R = 100 + 719*50/512, G = 100 - 365*50/512, B = 100 - 50/512, rounded.
    CVoraDib in = Uniform(2, 1, 24, 100, 0, 50);
    f.m_uChannel = 1;
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {170, 170, 170}));
    EXPECT_EQ(f.Cell(0, 128 + 50, 128), 2); // the scope still sees the colour
    f.m_uChannel = 2;
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {64, 64, 64}));
    f.m_uChannel = 3;
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 100, 100}));
    f.m_uChannel = 4;
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 1), 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {100, 100, 100}));
}

TEST_F(ScopeDisplay, CorrectedPictureAgreesWithTheEngine)
{
    tagCOLORCORRINFO cc = Record(CC_PRIMARY);
    cc.Base.sSat = 80;
    cc.Base.sHue = 30;
    cc.Base.sYGamma = 40;
    cc.Base.sRWhite = -30;
    ASSERT_TRUE(f.SetupFilter(cc));
    CVoraDib in;
    ASSERT_TRUE(in.AllocYUV(37, 11, 24, 0));
    FillPattern(in, 7);
    ASSERT_EQ(f.ProcessDisplay(in, out, display, 2), 1);

    // The engine's YUV result through the full-range output tables, then to
    // RGB: the same corrected colour.
    CVoraDib yuv = in;
    ASSERT_TRUE(f.CBaseColorCorrectionFilter::Process(&static_cast<tagDIBINFO*>(yuv)->bmiHeader,
                                                      static_cast<BYTE*>(in),
                                                      static_cast<BYTE*>(yuv)));
    for (int row = 0; row < 11; ++row) {
        for (int x = 0; x < 37; ++x) {
            const std::vector<int> p = PixelAt(yuv, x, row);
            const int y = p[0], u = p[1] - 128, v = p[2] - 128;
            auto clamp = [](int c) { return c < 0 ? 0 : (c > 255 ? 255 : c); };
            const int r = clamp((512 * y + 2 * u + 719 * v + 256) >> 9);
            const int g = clamp((512 * y - 176 * u - 365 * v + 256) >> 9);
            const int b = clamp((512 * y + 908 * u - v + 256) >> 9);
            ASSERT_TRUE(PixelIs(out, x, row, {b, g, r}));
        }
    }
}

TEST_F(ScopeDisplay, PrintsTheTimingLine)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0);
    setenv("COLORCORRECT_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    const int result = f.ProcessDisplay(in, out, display, 1);
    const std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(IsTimingLine(text, "\rDisplay processing time ", "ms\r\n"));
}

} // namespace
} // namespace colorcorrect::test
