// Host pictures through the display filter: refusals, agreement with the
// engine, the channel view and alpha of the preview, the isolate display and
// the isolated vector's colours, the settings and the scope intensity curves.

#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/display/isolation_stage.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "support/display_access.h"
#include "support/picture_compare.h"
#include "support/random_record.h"

namespace colorcorrect::test {
namespace {

// A pattern picture; 32-bit pixels opaque unless `alpha` says otherwise.
CVoraDib Pattern(int w, int h, int bits, unsigned seed, bool alpha = false)
{
    CVoraDib dib;
    dib.AllocYUV(w, h, bits, 0);
    FillPattern(dib, seed);
    for (int row = 0; row < h && bits == 32 && !alpha; ++row)
        for (int x = 0; x < w; ++x)
            static_cast<BYTE*>(dib)[static_cast<size_t>(row) * w * 4 + x * 4 + 3] = 255;
    return dib;
}

// Every stage with some correction in each.
tagCOLORCORRINFO BusyRecord()
{
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING);
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftY = 40, cc.Base.sYGamma = 30, cc.Base.sHue = 20, cc.Base.sSat = 50, cc.Base.sRWhite = -20;
    cc.Vector6.sSat[1] = 80, cc.Vector6.sHue[3] = -30;
    cc.Match.dwCount = 3;
    cc.Match.Vector[0].sSat = -40;
    cc.Match.Vector[1].cU = 50, cc.Match.Vector[1].cV = -30, cc.Match.Vector[1].sHue = 40;
    cc.Match.Vector[2].cU = -40, cc.Match.Vector[2].cV = 45, cc.Match.Vector[2].sSat = 90;
    return cc;
}

TEST(Preview, RefusesPicturesItCannotWalk)
{
    auto f = std::make_unique<DisplayAccess>();
    ASSERT_TRUE(f->SetupFilter(Record(CC_PRIMARY)));
    CVoraDib in = Uniform(4, 3, 24, 90, 10, -10), rgb, empty;
    rgb.Alloc(4, 3, 24, 0);
    CVoraDib outs[] = {rgb, empty, Uniform(4, 3, 32, 7, 7, 7), Uniform(5, 3, 24, 7, 7, 7), Uniform(4, 2, 24, 7, 7, 7)};
    for (CVoraDib& out : outs) {
        const CVoraDib untouched = out;
        EXPECT_EQ(f->ProcessPreview(in, out) + f->Process(in, out) + f->Process(rgb, in) + f->ProcessPreview(empty, in), 0);
        EXPECT_TRUE(PicturesEqual(untouched, out));
    }
    CVoraDib taller = Uniform(4, 4, 24, 7, 7, 7), tallerToo = taller; // keep their extra rows
    EXPECT_EQ(f->ProcessPreview(in, taller) + f->Process(in, tallerToo), 2);
    EXPECT_TRUE(PicturesEqual(taller, tallerToo));
    EXPECT_TRUE(PixelIs(taller, 3, 2, {90, 138, 118}) && PixelIs(taller, 3, 3, {7, 135, 135}));
}

TEST(Preview, AgreesWithTheEngineInBandsAndInPlace)
{
    auto f = std::make_unique<DisplayAccess>();
    ASSERT_TRUE(f->SetupFilter(BusyRecord()));
    BandProcessor bands(3);
    for (unsigned channel : {0u, 2u})
        for (int bits : {24, 32}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, channel " << channel);
            ASSERT_EQ(f->SetChannel(channel), 1);
            CVoraDib in = Pattern(41, 23, bits, 5, true), one = in, banded = in, inPlace = in;
            ASSERT_EQ(f->ProcessPreview(in, one) + f->ProcessPreview(in, banded, &bands) + f->ProcessPreview(inPlace, inPlace), 3);
            EXPECT_TRUE(PicturesEqual(one, banded) && PicturesEqual(one, inPlace));
            // Opaque pixels without display aids: the engine's per-pixel loop.
            in = Pattern(37, 23, bits, 11);
            CVoraDib preview = in, engine = in;
            ASSERT_EQ(f->ProcessPreview(in, preview) + f->ProcessReference(&static_cast<tagDIBINFO*>(in)->bmiHeader, in, engine), 2);
            EXPECT_EQ(PicturesEqual(engine, preview), channel == 0);
        }
}

TEST(Preview, ReusesTheWordsInFrontOfTheVectorStagesItIsGiven)
{
    // Words reused show the picture they were made from: after three previews
    // a match vector changes and another picture of the same size comes
    // without a Clear(), and the first one's colours are shown under the
    // new vector; after a Clear() the other picture's.
    auto f = std::make_unique<DisplayAccess>();
    tagCOLORCORRINFO cc = BusyRecord();
    ASSERT_TRUE(f->SetupFilter(cc));
    BandProcessor bands(3);
    FrontWords front;
    CVoraDib first = Pattern(41, 23, 24, 5), other = Pattern(41, 23, 24, 6), out = first;
    for (int pass = 0; pass < 3; ++pass) // the third keeps the words
        ASSERT_EQ(f->ProcessPreview(first, out, &bands, &front), 1);
    cc.Match.Vector[1].sHue += 30;
    ASSERT_TRUE(f->SetupFilter(cc));
    CVoraDib firstShown = first, otherShown = first;
    ASSERT_EQ(f->ProcessPreview(first, firstShown) + f->ProcessPreview(other, otherShown), 2);
    ASSERT_FALSE(PicturesEqual(firstShown, otherShown));
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 1)
            front.Clear();
        ASSERT_EQ(f->ProcessPreview(other, out, &bands, &front), 1);
        EXPECT_TRUE(PicturesEqual(pass == 0 ? firstShown : otherShown, out)) << pass;
    }
}

TEST(Preview, FasterLoopsGiveTheReferenceBytes)
{
    // Odd widths across the runs the loops work in; random alpha with runs of
    // opaque and transparent pixels; display aids that keep the reference loop.
    const struct { int bits; bool premultiplied; unsigned channel, isolate; } cases[] = {
        {24, false, 0, 0}, {32, false, 0, 0}, {32, true, 0, 0}, {32, false, 0, 7}, {32, false, 2, 0}, {24, false, 4, 3},
        {32, true, 1, 0}, {24, false, 3, 0}, {24, false, 0, 1}, {24, false, 0, 7}, {32, true, 2, 7}};
    std::mt19937 rng(314);
    BandProcessor bands(2);
    for (int look = 0; look < 30; ++look) {
        tagCOLORCORRINFO cc = RandomRecord(rng);
        // Also the faster loops' conditions: full-range output; the primary stage alone.
        if (look % 3 == 0)
            cc.dwFlags &= ~static_cast<DWORD>(CC_CLIPPING);
        else if (look % 3 == 1)
            cc.dwFlags = (cc.dwFlags | CC_PRIMARY) & ~static_cast<DWORD>(CC_SIX_VECTOR | CC_MATCH_VECTOR);
        for (const auto& c : cases) {
            auto f = std::make_unique<DisplayAccess>();
            ASSERT_TRUE(f->SetChannel(c.channel) && f->SetIsolateVector(rng() % 16) && f->SetIsolateType(c.isolate));
            ASSERT_TRUE(f->SetupFilter(cc));
            CVoraDib in;
            in.AllocYUV(1 + 2 * static_cast<int>(rng() % 300), 1 + static_cast<int>(rng() % 7), c.bits, 0);
            FillPattern(in, static_cast<unsigned>(rng()));
            MixAlpha(in);
            static_cast<tagDIBINFO*>(in)->bmiHeader.dwFlags = c.premultiplied ? YUVBM_PREMULTIPLIED : 0;
            CVoraDib expected = in, actual = in, banded = in, inPlace = in;
            f->m_bDisplayReference = true;
            ASSERT_EQ(f->ProcessPreview(in, expected), 1);
            f->m_bDisplayReference = false;
            ASSERT_EQ(f->ProcessPreview(in, actual) + f->ProcessPreview(in, banded, &bands) + f->ProcessPreview(inPlace, inPlace), 3);
            EXPECT_TRUE(PicturesEqual(expected, actual) && PicturesEqual(expected, banded) && PicturesEqual(expected, inPlace))
                << "look " << look << ", " << c.bits << " bits, channel " << c.channel << ", isolate " << c.isolate;
        }
    }
}

// The channel view under output clipping, and isolation, take their values
// from a copy of the filter (unclipped; without the match stage); a copy
// that cannot get the vector stages' indexes would skip them, so the
// preview keeps to the stages then.
TEST(Preview, DisplayAidsKeepEveryStageWhenTheFiltersCopyLacksMemory)
{
    const struct { unsigned channel, isolate; } aids[] = {{2, 0}, {0, 1}};
    for (const auto& aid : aids) {
        auto f = std::make_unique<DisplayAccess>();
        ASSERT_TRUE(f->SetChannel(aid.channel) && f->SetIsolateVector(1) && f->SetIsolateType(aid.isolate));
        ASSERT_TRUE(f->SetupFilter(BusyRecord()));
        CVoraDib in = Pattern(37, 5, 24, 11);
        CVoraDib expected = in, actual = in;
        f->m_bDisplayReference = true;
        ASSERT_EQ(f->ProcessPreview(in, expected), 1);
        f->m_bDisplayReference = false;
        SetPageAllocationBudget(0);
        const int done = f->ProcessPreview(in, actual);
        SetPageAllocationBudget(-1);
        ASSERT_EQ(done, 1);
        EXPECT_TRUE(PicturesEqual(expected, actual)) << "channel " << aid.channel << ", isolate " << aid.isolate;
    }
}

TEST(Preview, SkipsAVectorStageWhoseIndexIsMissing)
{
    auto f = std::make_unique<DisplayAccess>();
    ASSERT_TRUE(f->SetupFilter(Record(CC_MATCH_VECTOR | CC_SIX_VECTOR)));
    f->m_bSixVector = f->m_bMatchVector = 1;
    SetPageAllocationBudget(0); // as after a set-up that could not obtain its indexes
    auto copy = std::make_unique<DisplayAccess>(*f);
    SetPageAllocationBudget(-1);
    ASSERT_TRUE(copy->m_pSixIndex == nullptr && copy->m_pMatchIndex == nullptr);
    CVoraDib in = Uniform(2, 2, 24, 70, -128, 127), out = in;
    ASSERT_EQ(copy->ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 1, 1, {70, 1, 255})); // the range clamp and the output tables only
}

TEST(Preview, ChannelViewAndAlphaOfKnownPixels)
{
    enum { kNone, kPrimary, kLegal, kLegalReduced, kPrimaryLegal };
    const struct { int record; unsigned channel; int bits, y, u, v, alpha; bool premultiplied; std::vector<int> expected; } cases[] = {
        // (100, 0, 50): R 170, G 64, B 100; the luma view keeps Y.
        {kNone, 1, 24, 100, 0, 50, 255, false, {170, 128, 128}}, {kNone, 2, 24, 100, 0, 50, 255, false, {64, 128, 128}},
        {kNone, 3, 24, 100, 0, 50, 255, false, {100, 128, 128}}, {kNone, 4, 24, 100, 0, 50, 255, false, {100, 128, 128}},
        // R 390 and -130 go through the legal output table, not 0..255.
        {kLegal, 1, 24, 250, 0, 100, 255, false, {235, 128, 128}}, {kLegal, 1, 24, 10, 0, -100, 255, false, {16, 128, 128}},
        {kLegalReduced, 0, 24, 255, -128, 127, 255, false, {235, 44, 212}},
        {kNone, 0, 32, 100, -128, 0, 255, false, {100, 1, 128, 0x77}},           // chroma -128 leaves as -127
        {kPrimary, 0, 32, 200, 20, -60, 255, false, {200, 148, 68, 0x77}},       // opaque: fourth byte kept
        {kNone, 0, 32, 201, 51, -51, 128, false, {100, 153, 102, 0x77}},         // arithmetic shifts
        {kNone, 0, 32, 201, 51, -51, 128, true, {100, 153, 102, 0x77}},          // premultiplied: not divided first
        {kPrimaryLegal, 0, 32, 200, 40, -60, 0, false, {16, 128, 128, 0x77}},    // alpha 0: the tables' black
    };
    for (const auto& c : cases) {
        tagCOLORCORRINFO cc = Record((c.record == kPrimary || c.record == kPrimaryLegal ? CC_PRIMARY : 0) |
                                     (c.record >= kLegal ? CC_CLIPPING : 0));
        cc.Base.wRangeFlags = c.record < kLegal ? 0 : RANGE_LEGAL | (c.record == kLegalReduced ? RANGE_CHROMA_REDUCED : 0);
        auto f = std::make_unique<DisplayAccess>();
        ASSERT_TRUE(f->SetupFilter(cc) && f->SetChannel(c.channel));
        CVoraDib in = Uniform(3, 1, c.bits, c.y, c.u, c.v, c.alpha);
        static_cast<tagDIBINFO*>(in)->bmiHeader.dwFlags = c.premultiplied ? YUVBM_PREMULTIPLIED : 0;
        CVoraDib out = Uniform(3, 1, c.bits, 0x77, 0x77 - 128, 0x77 - 128, 0x77);
        ASSERT_EQ(f->ProcessPreview(in, out), 1);
        EXPECT_EQ(PixelAt(out, 2, 0), c.expected) << c.record << " " << c.channel << " " << c.y << " " << c.alpha;
    }
}

TEST(Preview, AnOutOfGamutPrimaryResultStaysWithinTheOutputTables)
{
    auto f = std::make_unique<DisplayAccess>();
    ASSERT_TRUE(f->SetupFilter(Record(CC_PRIMARY)));
    // Channel curves at their extremes for mid grey: the primary stage leaves
    // Y -301, U 458, V -138, whose blue is 512, one beyond the tables' reach.
    f->m_RLUT[128 + 512] = -494, f->m_GLUT[128 + 512] = -360, f->m_BLUT[128 + 512] = 510;
    CVoraDib in = Uniform(1, 1, 24, 128, 0, 0), out = in;
    for (unsigned channel : {3u, 1u}) {
        ASSERT_EQ(f->SetChannel(channel), 1);
        ASSERT_EQ(f->ProcessPreview(in, out), 1);
        EXPECT_TRUE(PixelIs(out, 0, 0, {channel == 3 ? 255 : 0, 128, 128}));
    }
}

// Vector 1 selects (60, 20) within the luma window 28..228, with a hard
// radial edge and a soft hue edge, and adds 10 to U; the background vector 0
// removes all colour.
tagCOLORCORRINFO KnownVector()
{
    tagCOLORCORRINFO cc = Record(CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[0].sSat = -255;
    tagMATCHVECTOR& v = cc.Match.Vector[1];
    v.byY = 128, v.byYRange = 100, v.cU = 60, v.cV = 20, v.byHueWidth = v.bySatWidth = 20, v.byHueSoft = 200;
    v.byYSoft = v.bySatSoft = 0, v.sUOffset = 10;
    return cc;
}

TEST(Isolation, EveryTypeOnFourProbes)
{
    // Probes: the vector's colour; the opposite hue at its radius; the
    // vector's colour below the luma window; the opposite hue above it.
    const int probes[4][3] = {{128, 60, 20}, {128, -60, -20}, {10, 60, 20}, {240, -60, -20}};
    const std::vector<int> grey = {128, 128, 128}, in = {128, 188, 148}, out = {128, 68, 108};
    // Types: 0 the ordinary correction; 1 the luma window, uncorrected; 2, 3 the vector's hue
    // wedge; 4, 5 its saturation ring; 6 wedge and ring; 7 the corrected vector on grey.
    const std::vector<int> expected[8][4] = {
        {{128, 198, 148}, grey, {10, 188, 148}, {240, 128, 128}}, {in, out, grey, grey},
        {in, grey, {10, 188, 148}, grey}, {in, grey, {10, 188, 148}, grey}, {in, out, {10, 188, 148}, {240, 68, 108}},
        {in, out, {10, 188, 148}, {240, 68, 108}}, {in, grey, {10, 188, 148}, grey}, {{128, 198, 148}, grey, grey, grey}};
    CVoraDib picture = Uniform(4, 1, 24, 0, 0, 0);
    for (int i = 0; i < 4; ++i)
        SetPixel(picture, i, 0, {probes[i][0], probes[i][1] + 128, probes[i][2] + 128});
    for (unsigned type = 0; type < 8; ++type) {
        auto f = std::make_unique<DisplayAccess>();
        ASSERT_TRUE(f->SetIsolateVector(1) && f->SetIsolateType(type) && f->SetupFilter(KnownVector()));
        ASSERT_EQ(static_cast<bool>(f->m_bIsolate), type != 0);
        CVoraDib shown = picture;
        ASSERT_EQ(f->ProcessPreview(picture, shown), 1);
        for (int i = 0; i < 4; ++i) {
            int y = probes[i][0], u = probes[i][1], v = probes[i][2];
            EXPECT_EQ(PixelAt(shown, i, 0), expected[type][i]) << "type " << type << " probe " << i;
            // The scopes' selected flag: the pixel was not turned grey.
            EXPECT_TRUE(type == 0 || f->IsolationStage(y, u, v) == (expected[type][i] != grey)) << type << " " << i;
        }
        if (type == 7) { // the engine's frame ignores the isolate display
            ASSERT_EQ(f->Process(picture, shown), 1);
            EXPECT_EQ(PixelAt(shown, 2, 0), expected[0][2]);
        }
    }
}

TEST(Isolation, SettingsTakeEffectAtTheNextSetup)
{
    auto f = std::make_unique<DisplayAccess>();
    ASSERT_TRUE(f->SetupFilter(KnownVector()));
    CVoraDib in = Uniform(1, 1, 24, 10, 60, 20), out = in;
    ASSERT_EQ(f->SetChannel(4) * 10 + f->SetChannel(5), 10); // 5 is refused: the luma view stays
    ASSERT_EQ(f->ProcessPreview(in, out) + f->SetChannel(0), 2);
    EXPECT_TRUE(PixelIs(out, 0, 0, {10, 128, 128}));
    const struct { unsigned vector, type; int vectorResult, typeResult; bool isolate; } steps[] = {
        {1, 7, 1, 1, true},  {16, 7, 0, 1, true}, {1, 8, 1, 0, true}, {0xFFFFFFFFu, 100, 0, 0, true},
        {2, 7, 1, 1, false}, {1, 0, 1, 1, false}}; // vector 2 is beyond the record's vectors
    bool isolated = false;
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << s.vector << " " << s.type);
        EXPECT_EQ(f->SetIsolateVector(s.vector) * 10 + f->SetIsolateType(s.type), s.vectorResult * 10 + s.typeResult);
        ASSERT_EQ(f->ProcessPreview(in, out), 1);
        EXPECT_EQ(PixelAt(out, 0, 0), isolated ? std::vector<int>({128, 128, 128}) : std::vector<int>({10, 188, 148}));
        ASSERT_TRUE(f->SetupFilter(KnownVector()));
        EXPECT_EQ(static_cast<bool>(f->m_bIsolate), isolated = s.isolate);
    }
}

TEST(Isolation, ColoursOfTheIsolatedVector)
{
    // Vector 1 is (100, 0, 50) with a U offset of 10, vector 0 adds 20 to U;
    // primary and six-vector corrections are present too.
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR);
    cc.Base.sHue = 64, cc.Base.sYGamma = 80;
    cc.Vector6.Init(20, 30, -10, 40, 100);
    cc.Match.dwCount = 2;
    cc.Match.Vector[0].sUOffset = 20;
    cc.Match.Vector[1].byY = 100, cc.Match.Vector[1].cU = 0, cc.Match.Vector[1].cV = 50, cc.Match.Vector[1].sUOffset = 10;
    tagCOLORCORRINFO off = cc, bright = cc;
    off.dwFlags &= ~CC_MATCH_VECTOR;
    bright.Match.Vector[1].byY = 250, bright.Match.Vector[1].cV = 100;
    auto rgb = [](int r, int g, int b) { return static_cast<unsigned long>(r | g << 8 | b << 16); };
    const struct { const tagCOLORCORRINFO* record; unsigned vector; bool setup; int result; unsigned long before, after; } cases[] = {
        {&off, 0, false, 0, 0x808080, 0x808080}, {&cc, 2, false, 0, 0x808080, 0x808080}, {&cc, 0, false, 1, 0x808080, 0x808080},
        {&cc, 1, false, 1, rgb(170, 64, 100), rgb(170, 64, 100)}, // the match stage off: both the same
        {&cc, 1, true, 1, rgb(170, 64, 100), rgb(170, 61, 118)},  // (100, 10, 50): the vector's offset only
        {&cc, 0, true, 1, 0x808080, rgb(128, 121, 163)},          // (128, 20, 0)
        {&bright, 1, false, 1, rgb(255, 179, 250), rgb(255, 179, 250)}, // R 390 shown as 255
    };
    for (const auto& c : cases) {
        auto f = std::make_unique<DisplayAccess>();
        ASSERT_EQ(f->SetIsolateVector(c.vector), 1);
        ASSERT_TRUE(!c.setup || f->SetupFilter(cc));
        unsigned long before = 1, after = 2;
        const int stages = f->m_bPrimary * 2 + f->m_bSixVector;
        EXPECT_EQ(f->GetIsolateColors(*c.record, before, after), c.result);
        EXPECT_EQ(std::vector<unsigned long>({before, after}), std::vector<unsigned long>({c.before, c.after}))
            << "vector " << c.vector << (c.setup ? " set up" : "");
        EXPECT_EQ(f->m_bPrimary * 2 + f->m_bSixVector, stages); // the stages it turns off come back
    }
}

TEST(DisplayFilter, ScopeIntensityCurves)
{
    // Entry n: x^e1 * 256 in the high byte, entry 256 + n: x^e2 * 256, with
    // x = n / 256, e1 = 1 / (i / 25 + 1), e2 = 1 / (2 i / 25 + 1).
    const struct { int intensity, n, first, second; } cases[] = {
        {0, 1, 1, 1},       {0, 200, 200, 200},   {25, 64, 128, 161},  {25, 1, 16, 40},      {120, 90, 213, 231},
        {-12, 255, 254, 232}, {-12, 200, 159, 0}, {-400, 255, 254, 232}, {255, 1, 156, 197}, {1000, 1, 156, 197}};
    auto f = std::make_unique<DisplayAccess>();
    EXPECT_EQ(f->m_ILUT[90] >> 8, 213); // 120 at the start
    for (const auto& c : cases) {
        f->SetVectorIntensity(c.intensity);
        EXPECT_EQ(std::vector<int>({f->m_ILUT[c.n], f->m_ILUT[256 + c.n]}), std::vector<int>({c.first << 8, c.second}))
            << c.intensity << " at " << c.n;
    }
}

} // namespace
} // namespace colorcorrect::test
