#include <colorcorrect/colorcorrect.h>
#include "colorcorrect/display/isolation_stage.h"

#include <gtest/gtest.h>

#include "display_filter_access.h"
#include "support/picture_compare.h"

using colorcorrect::test::DisplayFilterAccess;
using colorcorrect::test::PixelAt;
using colorcorrect::test::PixelIs;
using colorcorrect::test::Record;
using colorcorrect::test::YuvPicture;

namespace {

// Vector 1 selects the colour (60, 20) within a luma window of 28..228, with
// a hard radial edge and a soft hue edge, and adds 10 to U. The background
// vector 0 removes all colour.
tagCOLORCORRINFO KnownVector()
{
    tagCOLORCORRINFO cc = Record(CC_MATCH_VECTOR);
    cc.Match.dwCount = 2;
    cc.Match.Vector[0].sSat = -255;
    tagMATCHVECTOR& v = cc.Match.Vector[1];
    v.byY = 128;
    v.byYRange = 100;
    v.byYSoft = 0;
    v.cU = 60;
    v.cV = 20;
    v.byHueWidth = 20;
    v.bySatWidth = 20;
    v.byHueSoft = 200;
    v.bySatSoft = 0;
    v.sUOffset = 10;
    return cc;
}

struct Yuv {
    int y, u, v;
};

// The probe pixels, left to right.
constexpr Yuv kInside{128, 60, 20};    // in the vector, in its luma window
constexpr Yuv kOpposite{128, -60, -20}; // background: the opposite hue, same radius
constexpr Yuv kDark{10, 60, 20};        // the vector's colour below its luma window
constexpr Yuv kBright{240, -60, -20};   // background above the window
constexpr Yuv kProbes[4] = {kInside, kOpposite, kDark, kBright};

CVoraDib ProbePicture()
{
    CVoraDib dib = YuvPicture(4, 1, 24, 0, 0, 0);
    BYTE* p = dib;
    for (int i = 0; i < 4; ++i) {
        p[3 * i] = static_cast<BYTE>(kProbes[i].y);
        p[3 * i + 1] = static_cast<BYTE>(kProbes[i].u + 128);
        p[3 * i + 2] = static_cast<BYTE>(kProbes[i].v + 128);
    }
    return dib;
}

// The preview of the probes with the isolate display of vector 1 and `type`.
CVoraDib Isolated(DisplayFilterAccess& f, unsigned type)
{
    EXPECT_EQ(f.SetIsolateVector(1), 1);
    EXPECT_EQ(f.SetIsolateType(type), 1);
    EXPECT_TRUE(f.SetupFilter(KnownVector()));
    EXPECT_EQ(static_cast<bool>(f.m_bIsolate), type != 0);
    CVoraDib in = ProbePicture();
    CVoraDib out = in;
    EXPECT_EQ(f.ProcessPreview(in, out), 1);
    return out;
}

const std::initializer_list<int> kGray = {128, 128, 128};

} // namespace

TEST(IsolateDisplay, TypeZeroIsTheOrdinaryMatchCorrection)
{
    DisplayFilterAccess f;
    const CVoraDib out = Isolated(f, 0);
    EXPECT_TRUE(PixelIs(out, 0, 0, {128, 198, 148})); // the vector's offset
    EXPECT_TRUE(PixelIs(out, 1, 0, kGray));           // background: no colour
    EXPECT_TRUE(PixelIs(out, 2, 0, {10, 188, 148}));  // outside the luma window: kept
    EXPECT_TRUE(PixelIs(out, 3, 0, {240, 128, 128}));
}

TEST(IsolateDisplay, TypeOneShowsTheLumaWindowUncorrected)
{
    DisplayFilterAccess f;
    const CVoraDib out = Isolated(f, 1);
    EXPECT_TRUE(PixelIs(out, 0, 0, {128, 188, 148}));
    EXPECT_TRUE(PixelIs(out, 1, 0, {128, 68, 108}));
    EXPECT_TRUE(PixelIs(out, 2, 0, kGray));
    EXPECT_TRUE(PixelIs(out, 3, 0, kGray));
}

TEST(IsolateDisplay, HueTypesShowTheVectorsWedge)
{
    for (unsigned type : {2u, 3u}) {
        SCOPED_TRACE(type);
        DisplayFilterAccess f;
        const CVoraDib out = Isolated(f, type);
        EXPECT_TRUE(PixelIs(out, 0, 0, {128, 188, 148}));
        EXPECT_TRUE(PixelIs(out, 1, 0, kGray));
        EXPECT_TRUE(PixelIs(out, 2, 0, {10, 188, 148}));
        EXPECT_TRUE(PixelIs(out, 3, 0, kGray));
    }
}

TEST(IsolateDisplay, SaturationTypesShowTheVectorsRing)
{
    for (unsigned type : {4u, 5u}) {
        SCOPED_TRACE(type);
        DisplayFilterAccess f;
        const CVoraDib out = Isolated(f, type);
        EXPECT_TRUE(PixelIs(out, 0, 0, {128, 188, 148}));
        EXPECT_TRUE(PixelIs(out, 1, 0, {128, 68, 108}));
        EXPECT_TRUE(PixelIs(out, 2, 0, {10, 188, 148}));
        EXPECT_TRUE(PixelIs(out, 3, 0, {240, 68, 108}));
    }
}

TEST(IsolateDisplay, TypeSixShowsWedgeAndRing)
{
    DisplayFilterAccess f;
    const CVoraDib out = Isolated(f, 6);
    EXPECT_TRUE(PixelIs(out, 0, 0, {128, 188, 148}));
    EXPECT_TRUE(PixelIs(out, 1, 0, kGray));
    EXPECT_TRUE(PixelIs(out, 2, 0, {10, 188, 148}));
    EXPECT_TRUE(PixelIs(out, 3, 0, kGray));
}

TEST(IsolateDisplay, TypeSevenShowsTheCorrectedVectorOnGray)
{
    DisplayFilterAccess f;
    const CVoraDib out = Isolated(f, 7);
    EXPECT_TRUE(PixelIs(out, 0, 0, {128, 198, 148}));
    EXPECT_TRUE(PixelIs(out, 1, 0, kGray));
    EXPECT_TRUE(PixelIs(out, 2, 0, kGray));
    EXPECT_TRUE(PixelIs(out, 3, 0, kGray));
}

TEST(IsolateDisplay, TypeSevenFadesTheColourOutAcrossTheSoftEdge)
{
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetIsolateVector(1), 1);
    ASSERT_EQ(f.SetIsolateType(7), 1);
    ASSERT_TRUE(f.SetupFilter(KnownVector()));
    // A colour 9 degrees off the vector's hue lies in its soft hue edge.
    const int u = 58, v = 30;
    const unsigned e = f.MatchEntry(u, v);
    ASSERT_EQ(e & 0xFFu, 0x81u) << std::hex << e;
    const int w = static_cast<int>(e >> 8);
    ASSERT_GT(w, 0);
    CVoraDib in = YuvPicture(1, 1, 24, 128, u, v);
    CVoraDib isolated = in;
    ASSERT_EQ(f.ProcessPreview(in, isolated), 1);
    // Neutral hue and luma: U' = U, V' = V; the blend goes toward zero chroma.
    EXPECT_TRUE(PixelIs(isolated, 0, 0,
                        {128, (((u + 10) * (256 - w)) >> 8) + 128, ((v * (256 - w)) >> 8) + 128}));

    // The ordinary step blends toward the unsaturated, uncorrected colour.
    ASSERT_EQ(f.SetIsolateType(0), 1);
    ASSERT_TRUE(f.SetupFilter(KnownVector()));
    ASSERT_EQ(f.MatchEntry(u, v), e);
    CVoraDib ordinary = in;
    ASSERT_EQ(f.ProcessPreview(in, ordinary), 1);
    EXPECT_TRUE(PixelIs(ordinary, 0, 0,
                        {128, (((u + 10) * (256 - w) + u * w) >> 8) + 128,
                         ((v * (256 - w) + v * w) >> 8) + 128}));
}

TEST(IsolateDisplay, TakesEffectOnlyAfterTheNextSetup)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(KnownVector()));
    ASSERT_EQ(f.SetIsolateVector(1), 1);
    ASSERT_EQ(f.SetIsolateType(7), 1);
    CVoraDib in = ProbePicture();
    CVoraDib out = in;
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 2, 0, {10, 188, 148})); // still the ordinary step
    ASSERT_TRUE(f.SetupFilter(KnownVector()));
    ASSERT_EQ(f.ProcessPreview(in, out), 1);
    EXPECT_TRUE(PixelIs(out, 2, 0, kGray));
}

TEST(IsolateDisplay, TheEngineFrameIgnoresTheIsolateDisplay)
{
    DisplayFilterAccess f;
    const CVoraDib isolated = Isolated(f, 7);
    CVoraDib in = ProbePicture();
    CVoraDib frame = in;
    ASSERT_EQ(f.Process(in, frame), 1);
    EXPECT_TRUE(PixelIs(frame, 2, 0, {10, 188, 148}));
    EXPECT_TRUE(PixelIs(isolated, 2, 0, kGray));
}

TEST(IsolateDisplay, ChannelViewAppliesAfterTheIsolation)
{
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetChannel(4), 1);
    const CVoraDib out = Isolated(f, 7);
    EXPECT_TRUE(PixelIs(out, 0, 0, {128, 128, 128}));
    EXPECT_TRUE(PixelIs(out, 2, 0, kGray));
}

// ---- the selected-vector flag ---------------------------------------------------------

TEST(IsolationStage, ReportsWhetherThePixelBelongsToTheIsolatedVector)
{
    struct Case {
        unsigned type;
        Yuv pixel;
        bool flag;
    };
    const Case cases[] = {
        {1, kInside, true},   {1, kDark, false},    {2, kInside, true}, {2, kOpposite, false},
        {4, kOpposite, true}, {6, kDark, true},     {7, kInside, true}, {7, kDark, false},
        {7, kOpposite, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " pixel " << c.pixel.y << ", "
                                        << c.pixel.u << ", " << c.pixel.v);
        DisplayFilterAccess f;
        ASSERT_EQ(f.SetIsolateVector(1), 1);
        ASSERT_EQ(f.SetIsolateType(c.type), 1);
        ASSERT_TRUE(f.SetupFilter(KnownVector()));
        int y = c.pixel.y, u = c.pixel.u, v = c.pixel.v;
        EXPECT_EQ(f.IsolationStage(y, u, v), c.flag);
    }
}

TEST(IsolationStage, HueTypeMarksOnlyTheIsolatedVectorsPixels)
{
    // Two vectors; isolating vector 2 by hue gives index entries of vector 2
    // only, so vector 1's colour turns gray.
    tagCOLORCORRINFO cc = KnownVector();
    cc.Match.dwCount = 3;
    cc.Match.Vector[2] = cc.Match.Vector[1];
    cc.Match.Vector[2].cU = -60;
    cc.Match.Vector[2].cV = -20;
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetIsolateVector(2), 1);
    ASSERT_EQ(f.SetIsolateType(3), 1);
    ASSERT_TRUE(f.SetupFilter(cc));
    int y = 128, u = -60, v = -20;
    EXPECT_TRUE(f.IsolationStage(y, u, v));
    EXPECT_EQ(u, -60);
    y = 128, u = 60, v = 20;
    EXPECT_FALSE(f.IsolationStage(y, u, v));
    EXPECT_EQ(y, 128);
    EXPECT_EQ(u, 0);
    EXPECT_EQ(v, 0);
}

// ---- colours of the isolated vector ---------------------------------------------------------

namespace {

constexpr unsigned long Packed(int r, int g, int b)
{
    return static_cast<unsigned long>(r) | static_cast<unsigned long>(g) << 8 |
           static_cast<unsigned long>(b) << 16;
}

// Vector 1 is the colour (100, 0, 50) with a U offset of 10; vector 0 adds 20
// to U. Primary and six-vector corrections are present too.
tagCOLORCORRINFO ColourRecord()
{
    tagCOLORCORRINFO cc = Record(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR);
    cc.Base.sHue = 64;
    cc.Base.sYGamma = 80;
    cc.Vector6.Init(20, 30, -10, 40, 100);
    cc.Match.dwCount = 2;
    cc.Match.Vector[0].sUOffset = 20;
    cc.Match.Vector[1].byY = 100;
    cc.Match.Vector[1].cU = 0;
    cc.Match.Vector[1].cV = 50;
    cc.Match.Vector[1].sUOffset = 10;
    return cc;
}

} // namespace

TEST(IsolateColors, RefusedWithoutMatchVectors)
{
    DisplayFilterAccess f;
    tagCOLORCORRINFO cc = ColourRecord();
    cc.dwFlags &= ~CC_MATCH_VECTOR;
    unsigned long before = 1, after = 2;
    EXPECT_EQ(f.GetIsolateColors(cc, before, after), 0);
    EXPECT_EQ(before, 0x808080u);
    EXPECT_EQ(after, 0x808080u);
}

TEST(IsolateColors, RefusedForAVectorBeyondTheCount)
{
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetIsolateVector(2), 1);
    unsigned long before = 1, after = 2;
    EXPECT_EQ(f.GetIsolateColors(ColourRecord(), before, after), 0);
    EXPECT_EQ(before, 0x808080u);
    EXPECT_EQ(after, 0x808080u);
    tagCOLORCORRINFO none = ColourRecord();
    none.Match.dwCount = 0;
    ASSERT_EQ(f.SetIsolateVector(0), 1);
    EXPECT_EQ(f.GetIsolateColors(none, before, after), 0);
}

TEST(IsolateColors, BackgroundVectorIsMidGrey)
{
    DisplayFilterAccess f; // match stage off
    unsigned long before = 0, after = 0;
    EXPECT_EQ(f.GetIsolateColors(ColourRecord(), before, after), 1);
    EXPECT_EQ(before, 0x808080u);
    EXPECT_EQ(after, 0x808080u);
}

TEST(IsolateColors, WithoutTheMatchStageBothAreTheVectorsColour)
{
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetIsolateVector(1), 1);
    unsigned long before = 0, after = 0;
    EXPECT_EQ(f.GetIsolateColors(ColourRecord(), before, after), 1);
    // (100, 0, 50): R 170, G 64, B 100.
    EXPECT_EQ(before, Packed(170, 64, 100));
    EXPECT_EQ(after, before);
}

TEST(IsolateColors, AfterRunsTheMatchStageAlone)
{
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetIsolateVector(1), 1);
    ASSERT_TRUE(f.SetupFilter(ColourRecord()));
    unsigned long before = 0, after = 0;
    EXPECT_EQ(f.GetIsolateColors(ColourRecord(), before, after), 1);
    EXPECT_EQ(before, Packed(170, 64, 100));
    // (100, 10, 50): only the vector's offset, no hue, gamma or six-vector.
    EXPECT_EQ(after, Packed(170, 61, 118));
    EXPECT_TRUE(f.m_bPrimary);
    EXPECT_TRUE(f.m_bSixVector);
}

TEST(IsolateColors, BackgroundAfterTakesVectorZerosCorrection)
{
    DisplayFilterAccess f;
    ASSERT_TRUE(f.SetupFilter(ColourRecord()));
    unsigned long before = 0, after = 0;
    EXPECT_EQ(f.GetIsolateColors(ColourRecord(), before, after), 1);
    EXPECT_EQ(before, 0x808080u);
    // (128, 20, 0): R 128, G 121, B 163.
    EXPECT_EQ(after, Packed(128, 121, 163));
}

TEST(IsolateColors, ChannelsAreClamped)
{
    DisplayFilterAccess f;
    ASSERT_EQ(f.SetIsolateVector(1), 1);
    tagCOLORCORRINFO cc = ColourRecord();
    cc.Match.Vector[1].byY = 250;
    cc.Match.Vector[1].cV = 100;
    unsigned long before = 0, after = 0;
    EXPECT_EQ(f.GetIsolateColors(cc, before, after), 1);
    // R = 390 is shown as 255; G 179, B 250.
    EXPECT_EQ(before, Packed(255, 179, 250));
}
