// The scope displays: refusals, what every mode counts and where it may draw,
// the histogram charts with a reference, the fallbacks, and the corrected
// picture produced alongside.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "support/display_access.h"
#include "support/picture_compare.h"
#include "support/random_record.h"

namespace colorcorrect::test {
namespace {

// Every test background: blue 7, green 9, red 77, so that what a scope writes
// (blue and green only) and what it leaves can be told apart.
const std::vector<int> kBack = {7, 9, 77};
CVoraDib Background(int width = kScopeWidth, int height = kScopeHeight, int bits = 24)
{
    CVoraDib dib;
    dib.Alloc(width, height, bits, 0);
    FillUniform(dib, {7, 9, 77});
    return dib;
}

using Cells = std::map<size_t, int>; // buffer offset -> count
constexpr size_t L = kGridSide, W = kWaveformStride;

class ScopeDisplay : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(f->SetupFilter(Record(CC_PRIMARY))); }
    // The non-zero counters of the current mode's buffer.
    Cells Counted() const
    {
        Cells cells;
        for (size_t i = 0; i < ScopeBufferBytes(f->m_uDisplayMode); ++i)
            if (f->Count(i) != 0)
                cells[i] = f->Count(i);
        return cells;
    }
    uint32_t Histo(int channel, int value) const
    {
        return reinterpret_cast<const uint32_t*>(f->m_pDisplayBuffer)[channel * 256 + value];
    }

    BackgroundSwap swap{Background()};
    std::unique_ptr<DisplayAccess> f = std::make_unique<DisplayAccess>(); // its histogram display shows the swapped background
    CVoraDib out, display;
};

TEST_F(ScopeDisplay, FasterLoopGivesTheReferencePicturesAndCounts)
{
    std::mt19937 rng(99);
    for (int look = 0; look < 16; ++look) {
        tagCOLORCORRINFO cc = RandomRecord(rng);
        if (look % 2 == 0) // the faster loop's conditions: the primary stage, full-range output
            cc.dwFlags = (cc.dwFlags | CC_PRIMARY) & ~static_cast<DWORD>(CC_CLIPPING);
        // and the words counted at once: no selection to mark, no channel view; at 24 bits, and at 32
        // bits in opaque pictures, whose runs are stored four pixels at a time
        const bool words = look % 4 == 2 || look % 8 == 0;
        if (words)
            cc.dwFlags &= ~static_cast<DWORD>(CC_MATCH_VECTOR);
        for (unsigned mode : {0u, 1u, 2u, 4u, 5u, 6u, 7u}) {
            auto g = std::make_unique<DisplayAccess>();
            ASSERT_TRUE(g->SetChannel(words ? 0 : rng() % 5) && g->SetIsolateVector(rng() % 4) && g->SetIsolateType(look % 3 == 0 ? rng() % 8 : 0));
            ASSERT_TRUE(g->SetupFilter(cc));
            for (int32_t& angle : g->m_aAngles) // the cube turned, so that every term of its projection counts
                angle = static_cast<int32_t>(rng() % 360);
            CVoraDib in;
            in.AllocYUV(1 + 2 * static_cast<int>(rng() % 300), 1 + static_cast<int>(rng() % 5), look % 4 < 2 ? 32 : 24, 0);
            FillPattern(in, static_cast<unsigned>(rng()));
            if (look % 8 != 0)
                MixAlpha(in);
            CVoraDib outs[2], displays[2];
            std::vector<BYTE> counts[2];
            for (int fast = 0; fast < 2; ++fast) {
                g->m_bDisplayReference = fast == 0;
                ASSERT_EQ(g->ProcessDisplay(in, outs[fast], displays[fast], mode), 1);
                if (g->m_pDisplayBuffer != nullptr)
                    counts[fast].assign(g->m_pDisplayBuffer, g->m_pDisplayBuffer + ScopeBufferBytes(mode));
            }
            EXPECT_TRUE(PicturesEqual(outs[0], outs[1]) && PicturesEqual(displays[0], displays[1])) << look << " mode " << mode;
            EXPECT_TRUE(counts[0] == counts[1]) << look << " mode " << mode;
        }
    }
}

TEST_F(ScopeDisplay, CubeCountsOnlyWhatFallsOnItsCanvasInBothLoops)
{
    // The corners of the YUV cube, twice over: turned towards the viewer some
    // project off the canvas.
    CVoraDib in;
    in.AllocYUV(16, 1, 24, 0);
    for (int corner = 0; corner < 16; ++corner)
        SetPixel(in, corner, 0, {corner & 1 ? 255 : 0, corner & 2 ? 255 : 0, corner & 4 ? 255 : 0});
    int offCanvas = 0;
    for (const auto& angles : {std::array{0, 0, 0}, std::array{45, 35, 0}, std::array{135, 325, 0}, std::array{30, 60, 90}}) {
        std::vector<BYTE> counts[2];
        for (int fast = 0; fast < 2; ++fast) {
            std::copy(angles.begin(), angles.end(), f->m_aAngles);
            f->m_bDisplayReference = fast == 0;
            ASSERT_EQ(f->ProcessDisplay(in, out, display, kScopeCube), 1);
            counts[fast].assign(f->m_pDisplayBuffer, f->m_pDisplayBuffer + ScopeBufferBytes(kScopeCube));
        }
        EXPECT_EQ(counts[0], counts[1]) << angles[0] << " " << angles[1];
        int total = 0;
        for (const auto& [offset, n] : Counted())
            total += n;
        offCanvas += 16 - total;
    }
    EXPECT_GT(offCanvas, 0); // the case above happened
}

TEST_F(ScopeDisplay, RefusalsChangeNothing)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0), rgb, empty;
    rgb.Alloc(4, 2, 24, 0);
    ASSERT_EQ(f->ProcessDisplay(in, out, display, 1), 1);
    const CVoraDib shown = display, corrected = out, source = in;
    const struct { CVoraDib* in; CVoraDib* display; unsigned mode; } cases[] = {
        {&rgb, &display, 1}, {&empty, &display, 0}, {&in, &display, 3}, {&in, &display, 8},
        {&in, &display, 0xFFFFFFFFu}, {&in, &in, 1}, {&in, &out, 7}};
    for (const auto& c : cases) {
        EXPECT_EQ(f->ProcessDisplay(*c.in, out, *c.display, c.mode), 0) << c.mode;
        EXPECT_TRUE(PicturesEqual(shown, display) && PicturesEqual(corrected, out) && PicturesEqual(source, in));
        EXPECT_EQ(f->m_uDisplayMode, 1u);
    }
    EXPECT_EQ(f->ProcessDisplay(in, out, out, 0), 1); // mode 0 never touches the display
    g_dibWaveform.Free();
    EXPECT_EQ(f->ProcessDisplay(in, out, display, 2), 0);
}

TEST_F(ScopeDisplay, EveryModeCountsEverySampleAndDrawsOnlyInItsArea)
{
    CVoraDib in, plain, none, later = Uniform(5, 3, 24, 90, 20, -20);
    in.AllocYUV(37, 11, 24, 0);
    FillPattern(in, 7);
    SetPixel(in, 0, 0, {255, 128, 128}); // white: its lightning rows would reach the histogram counts
    ASSERT_EQ(f->ProcessDisplay(in, plain, none, 0), 1);
    uint32_t histogram[3][256] = {};
    for (int row = 0; row < 11; ++row)
        for (int x = 0; x < 37; ++x)
            for (int c = 0, i = 2; c < 3; ++c, --i)
                histogram[c][PixelAt(plain, x, row)[i]] += PixelAt(plain, x, row)[i] != 0;
    const struct { unsigned mode; int perSample, left, right, low, high; } modes[] = {
        {1, 1, 64, 319, 16, 271}, {2, 1, 12, 371, 16, 271}, {4, 0, 64, 319, 3, 284},
        {5, 2, 64, 318, 16, 271}, {6, 1, 0, 383, 0, 287},   {7, 4, 42, 339, 10, 275}};
    for (const auto& m : modes) {
        SCOPED_TRACE(m.mode);
        ASSERT_EQ(f->ProcessDisplay(in, out, display, m.mode), 1);
        EXPECT_TRUE(f->m_uDisplayMode == m.mode && PicturesEqual(plain, out));
        int total = 0;
        for (const auto& [offset, n] : Counted())
            total += n;
        // Values beyond 255 are clipped in the picture but not counted.
        for (int c = 0; c < 3 && m.mode == kScopeHistogram; ++c)
            for (int i = 0; i < 255; ++i)
                ASSERT_EQ(Histo(c, i), histogram[c][i]) << "channel " << c << " value " << i;
        EXPECT_TRUE(m.mode == kScopeHistogram || total == m.perSample * 37 * 11) << total;
        for (int line = 0; line < kScopeHeight; ++line)
            for (int x = 0; x < kScopeWidth; ++x) {
                const std::vector<int> p = PixelAt(display, x, line);
                const bool inside = x >= m.left && x <= m.right && line >= m.low && line <= m.high;
                ASSERT_TRUE(inside ? m.mode == kScopeCube || p[2] == 77 : p == kBack) << x << ", " << line;
            }
        // The next frame starts from a clean buffer and a fresh background.
        ASSERT_EQ(f->ProcessDisplay(later, out, display, m.mode), 1);
        auto fresh = std::make_unique<DisplayAccess>();
        CVoraDib freshOut, freshDisplay;
        ASSERT_TRUE(fresh->SetupFilter(Record(CC_PRIMARY)) && fresh->ProcessDisplay(later, freshOut, freshDisplay, m.mode));
        EXPECT_TRUE(PicturesEqual(freshDisplay, display));
    }
}

TEST_F(ScopeDisplay, WideSourcesSpreadOverAllWaveformColumns)
{
    CVoraDib in = Uniform(2000, 2, 32, 100, 0, 0);
    ASSERT_EQ(f->ProcessDisplay(in, out, display, 2), 1);
    EXPECT_EQ(f->Count(100 * W + 359) * 1000 + f->Count(100 * W + 360), 10000); // columns 1995..1999
    in = Uniform(4000, 1, 24, 100, 0, 0);
    ASSERT_EQ(f->ProcessDisplay(in, out, display, 7), 1);
    EXPECT_EQ(f->Count(178 * L + 255) * 1000 + f->Count(178 * L + 128), 31032); // columns 3969..3999
}

TEST_F(ScopeDisplay, WaveformCountsStopAt255HoweverTheyAreCounted)
{
    // Grey 100 at x = 1, waveform column 180: counted as the engine's words
    // in wider counters, as pixels where a row's run is not opaque (pixel 0
    // of row 0 made transparent), and one by one in a frame too tall for
    // the wider counters (65,536 counts).
    const struct { int height; bool hole; int count; } cases[] = {{100, true, 100}, {300, false, 255}, {65536, false, 255}};
    for (const auto& c : cases) {
        CVoraDib in = Uniform(2, c.height, 32, 100, 0, 0);
        if (c.hole)
            SetPixel(in, 0, 0, {100, 128, 128, 0});
        for (int fast = 0; fast < 2; ++fast) {
            f->m_bDisplayReference = fast == 0;
            ASSERT_EQ(f->ProcessDisplay(in, out, display, kScopeWaveform), 1);
            EXPECT_EQ(f->Count(100 * W + 180), c.count) << c.height << (fast ? " fast" : " reference");
        }
    }
}

TEST_F(ScopeDisplay, HistogramChartsOverTheReferencesInBlue)
{
    // Reference: 100 pixels, a column fills at 2 samples, so a count of 1
    // reaches every chart line.
    CVoraDib ref = Uniform(10, 10, 24, 100, 0, 0), in = Uniform(90, 50, 24, 150, 0, 0), rgb;
    SetPixel(ref, 0, 0, {60, 128, 128});
    ASSERT_EQ(f->SetReference(ref), 1);
    // 4500 pixels: line j of a chart needs a count of j. Black is not counted.
    for (int row = 25; row < 50; ++row)
        for (int x = 0; x < 90; ++x)
            SetPixel(in, x, row, {0, 128, 128});
    ASSERT_EQ(f->ProcessDisplay(in, out, display, 4), 1);
    const int bar = f->m_ILUT[90] >> 8;
    for (int first : {3, 99, 195}) {
        const int pixels[][5] = {{150, 89, 0, bar, 77}, {100, 89, 208, 0, 77}, {60, 89, 208, 0, 77},
                                 {10, 0, 208, bar, 77}, {0, 45, 0, 0, 77},     {150, 90, 7, 9, 77}};
        for (const auto& p : pixels)
            EXPECT_TRUE(PixelIs(display, 64 + p[0], first + p[1], {p[2], p[3], p[4]}));
    }
    // With the legal range, values beyond it count at its ends.
    tagCOLORCORRINFO cc = Record(CC_PRIMARY);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    in = Uniform(90, 50, 24, 5, 0, 0);
    for (int row = 0; row < 50; ++row)
        SetPixel(in, 0, row, {250, 128, 128});
    ASSERT_TRUE(f->SetupFilter(cc) && f->ProcessDisplay(in, out, display, 4));
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(std::vector<uint32_t>({Histo(c, 5), Histo(c, 250), Histo(c, 16), Histo(c, 235)}),
                  std::vector<uint32_t>({0, 0, 4450, 50}));
    // A reference that is not YUV leaves the plain background.
    rgb.Alloc(10, 10, 24, 0);
    EXPECT_EQ(f->SetReference(rgb), 0);
    EXPECT_TRUE(PicturesEqual(g_dibHistogram, f->m_HistoBack));
}

// A filter that never had a scope buffer: mode 0 corrects without touching
// (or computing offsets into) the missing buffer; clang's undefined-behaviour
// checker once caught the channel counters being placed behind a null pointer.
TEST_F(ScopeDisplay, ModeZeroCorrectsWithoutAScopeBuffer)
{
    CVoraDib in = Uniform(3, 2, 32, 100, 0, 0, 128);
    for (unsigned mode : {0u, 1u, 0u, 0u}) {
        const CVoraDib sentinel = display = Background(10, 10);
        out.Free();
        ASSERT_EQ(f->ProcessDisplay(in, out, display, mode), 1);
        EXPECT_TRUE(PixelIs(out, 2, 1, {50, 50, 50}) && f->m_uDisplayMode == mode);
        EXPECT_EQ(f->m_pDisplayBuffer != nullptr, mode != 0);
        EXPECT_EQ(PicturesEqual(sentinel, display), mode == 0);
    }
}

struct PageBudget {
    explicit PageBudget(long count) { SetPageAllocationBudget(count); }
    ~PageBudget() { SetPageAllocationBudget(-1); }
};

TEST_F(ScopeDisplay, WithoutACanvasOrBufferTheDisplayIsThePlainBackground)
{
    CVoraDib in = Uniform(4, 2, 24, 100, 0, 0), yuv;
    yuv.AllocYUV(kScopeWidth, kScopeHeight, 24, 0);
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(f->ProcessDisplay(in, out, display, 5), 1);
        g_dibLightning = c == 0 ? Background(200, 100) : c == 1 ? yuv : Background();
        PageBudget none(c == 2 ? 0 : -1);
        ASSERT_EQ(f->ProcessDisplay(in, out, display, c == 2 ? 7 : 5), 1) << c; // a new mode allocates again
        EXPECT_TRUE(PicturesEqual(c == 2 ? g_dibVectLight : g_dibLightning, display));
        EXPECT_TRUE(f->m_uDisplayMode == 0 && f->m_pDisplayBuffer == nullptr && PixelIs(out, 3, 1, {100, 100, 100}));
        g_dibLightning = Background();
    }
}

TEST_F(ScopeDisplay, CubeFollowsTheAnglesAndTheDisplayObjectOfEveryFrame)
{
    CVoraDib in = Uniform(1, 1, 24, 200, 0, 0);
    auto first = std::make_unique<CVoraDib>();
    ASSERT_EQ(f->ProcessDisplay(in, out, *first, 6), 1);
    EXPECT_EQ(Counted(), (Cells{{178 * L + 128, 1}}));
    // The cloud is OR-ed over the luma axis (red 180); the blank background is cleared.
    EXPECT_TRUE(PixelIs(*first, 192, 16 + 178, {0, f->m_ILUT[1] >> 8, 180}) && PixelIs(*first, 192, 100, {0, 0, 180}) &&
                PixelIs(*first, 5, 5, {0, 0, 0}));
    first.reset();
    int a = 0, b = 0, g = 0;
    f->SetNewAngles(a, b, g, 0, 90); // screen y now follows Cr
    ASSERT_EQ(f->ProcessDisplay(in, out, display, 6), 1);
    EXPECT_EQ(Counted(), (Cells{{128 * L + 128, 1}}));
    EXPECT_TRUE(PixelIs(display, 5, 5, {0, 0, 0}));
}

TEST_F(ScopeDisplay, CorrectedPictureMatchesTheInputAndShowsChannelAndAlpha)
{
    CVoraDib in = Uniform(5, 3, 32, 100, 40, -30), small, yuvOut = Uniform(5, 3, 32, 0, 0, 0);
    small.Alloc(2, 2, 24, 0);
    for (CVoraDib* o : {&out, &small, &yuvOut, &in}) { // made to match the input, or the input itself
        ASSERT_EQ(f->ProcessDisplay(in, *o, display, 1), 1);
        const tagDIBINFO* h = *o;
        EXPECT_EQ(std::vector<int>({o->GetWidth(), o->GetHeight(), h->bmiHeader.biBitCount}),
                  std::vector<int>({5, 3, 32}));
        EXPECT_EQ(+h->bmiHeader.biCompression, 0u); // by value: the field is packed
        EXPECT_TRUE(PixelIs(*o, 4, 2, {171, 108, 58})); // R 58, G 108, B 171
    }
    EXPECT_EQ(Counted(), (Cells{{98 * L + 168, 15}}));
    // (100, 0, 50): R 170, G 64, B 100; the scope still sees the colour.
    const struct { unsigned channel; int alpha, b, g, r; } cases[] = {
        {0, 255, 100, 64, 170}, {1, 255, 170, 170, 170}, {2, 255, 64, 64, 64}, {3, 255, 100, 100, 100},
        {4, 255, 100, 100, 100}, {0, 0, 0, 0, 0}, {4, 128, 50, 50, 50}};
    for (const auto& c : cases) {
        in = Uniform(2, 1, 32, 100, 0, 50, c.alpha);
        ASSERT_TRUE(f->SetChannel(c.channel) && f->ProcessDisplay(in, out, display, 1));
        EXPECT_TRUE(PixelIs(out, 1, 0, {c.b, c.g, c.r})) << c.channel << " " << c.alpha;
        EXPECT_EQ(Counted(), (Cells{{178 * L + 128, 2}}));
    }
}

} // namespace
} // namespace colorcorrect::test
