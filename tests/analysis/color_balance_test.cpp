#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "analysis/analysis_access.h"

using colorcorrect::test::AnalysisAccess;
using colorcorrect::test::ApplyCorrection;
using colorcorrect::test::CurvesOf;
using colorcorrect::test::CurvesSetTo;
using colorcorrect::test::CurvesWithin;
using colorcorrect::test::FlatYuv;
using colorcorrect::test::PaintPatch;
using colorcorrect::test::SampleOf;
using colorcorrect::test::YuvSample;

namespace {

// Source patch at (20, 20), reference patch at (30, 10).
void SetPatches(AnalysisAccess& viewer, int ys, int us, int vs, int yr, int ur, int vr)
{
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibSource, 20, 20, ys, us, vs);
    viewer.m_dibReference = FlatYuv(64, 48, 128, 0, 0);
    PaintPatch(viewer.m_dibReference, 30, 10, yr, ur, vr);
}

// A current correction with fields outside the curves set, so that the
// copy shows.
tagCOLORCORRINFO CurrentRecord()
{
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sSat = 20;
    cc.Base.sYGamma = -15;
    cc.Vector6.sHue[2] = 9;
    return cc;
}

int ChannelValue(int ch, int y, int u, int v)
{
    return ch == 0 ? colorcorrect::RedValue(y, u, v)
           : ch == 1 ? colorcorrect::GreenValue(y, u, v)
                     : colorcorrect::BlueValue(y, u, v);
}

// Curves of the one-point balance for a neutral current correction and the
// given zone, written out from the rule.
colorcorrect::test::Curves OnePointCurves(int zone, int ys, int us, int vs, int yr, int ur, int vr)
{
    colorcorrect::test::Curves c{};
    for (int ch = 0; ch < 3; ++ch) {
        int value[3] = {42, 128, 213}, diff[3] = {0, 0, 0};
        const int cs = ChannelValue(ch, ys, us, vs), cr = ChannelValue(ch, yr, ur, vr);
        value[zone] = cs;
        diff[zone] = cr - cs;
        int black = 0, gamma = 0, white = 0;
        colorcorrect::FitChannelCurve(value[0], value[1], value[2], diff[0], diff[1], diff[2],
                                      black, gamma, white);
        c.f[ch * 3] = white;
        c.f[ch * 3 + 1] = gamma;
        c.f[ch * 3 + 2] = black;
    }
    return c;
}

bool SameCurves(const colorcorrect::test::Curves& a, const colorcorrect::test::Curves& b)
{
    return std::memcmp(a.f, b.f, sizeof a.f) == 0;
}

} // namespace

// ---- one point ----------------------------------------------------------------------

TEST(ColorBalance1pt, RefusesWrongSizeAndMissingPictures)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    tagCOLORCORRINFO cc = CurvesSetTo(44);
    cc.dwSize = 36;
    EXPECT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 0);
    EXPECT_EQ(cc.dwSize, 36u);
    EXPECT_TRUE(CurvesWithin(cc, 44));
    EXPECT_EQ(cc.Base.sRWhite, 44);

    cc = CurvesSetTo(44);
    viewer.m_dibReference.Free();
    EXPECT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 0);
    EXPECT_EQ(cc.Base.sRWhite, 44);
    SetPatches(viewer, 100, 10, -10, 150, -5, 5);
    viewer.m_dibSource.Free();
    EXPECT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 0);
    EXPECT_EQ(cc.Base.sRWhite, 44);
}

TEST(ColorBalance1pt, IdenticalPointsReproduceTheCurrentCorrection)
{
    AnalysisAccess viewer;
    SetPatches(viewer, 100, 10, -10, 128, 0, 0);
    viewer.m_dibReference = viewer.m_dibSource;
    viewer.m_ccCurrent = CurrentRecord();
    tagCOLORCORRINFO cc = CurvesSetTo(77);
    ASSERT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 20, 20), 1);
    EXPECT_EQ(std::memcmp(&cc, &viewer.m_ccCurrent, sizeof cc), 0);
}

TEST(ColorBalance1pt, ZoneFollowsTheReferenceLuma)
{
    const struct {
        int yr, zone;
    } cases[] = {{40, 0}, {85, 0}, {86, 1}, {170, 1}, {171, 2}, {230, 2}};
    for (const auto& k : cases) {
        const int ys = k.yr - 12, us = 9, vs = -7, ur = -3, vr = 4;
        AnalysisAccess viewer;
        SetPatches(viewer, ys, us, vs, k.yr, ur, vr);
        viewer.m_ccCurrent = CurrentRecord();
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 1);
        const auto actual = CurvesOf(cc);
        EXPECT_TRUE(SameCurves(actual, OnePointCurves(k.zone, ys, us, vs, k.yr, ur, vr)))
            << "reference luma " << k.yr;
        for (int other = 0; other < 3; ++other)
            if (other != k.zone) {
                EXPECT_FALSE(SameCurves(actual, OnePointCurves(other, ys, us, vs, k.yr, ur, vr)))
                    << "reference luma " << k.yr << " also matches zone " << other;
            }
        EXPECT_EQ(cc.Base.sSat, 20);
        EXPECT_EQ(cc.Base.sYGamma, -15);
        EXPECT_EQ(cc.Vector6.sHue[2], 9);
    }
}

TEST(ColorBalance1pt, PresentCurvesAreKeptAtTheOtherAnchors)
{
    AnalysisAccess viewer;
    // Reference luma 200: zone 2, the anchors 42 and 128 keep their change.
    SetPatches(viewer, 190, 6, -5, 200, -4, 6);
    tagCOLORCORRINFO current = CurrentRecord();
    current.Base.sRBlack = 10;
    current.Base.sRWhite = -20;
    current.Base.sGGamma = 30;
    current.Base.sBBlack = -8;
    viewer.m_ccCurrent = current;
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 1);
    const int present[3][3] = {{10, 0, -20}, {0, 30, 0}, {-8, 0, 0}}; // black, gamma, white
    const int fitted[3][3] = {{cc.Base.sRBlack, cc.Base.sRGamma, cc.Base.sRWhite},
                              {cc.Base.sGBlack, cc.Base.sGGamma, cc.Base.sGWhite},
                              {cc.Base.sBBlack, cc.Base.sBGamma, cc.Base.sBWhite}};
    for (int ch = 0; ch < 3; ++ch)
        for (int level : {42, 128}) {
            const int before = colorcorrect::ApplyChannelCurve(level, present[ch][0],
                                                               present[ch][1], present[ch][2]);
            const int after = colorcorrect::ApplyChannelCurve(level, fitted[ch][0],
                                                              fitted[ch][1], fitted[ch][2]);
            EXPECT_NEAR(after, before, 3) << "channel " << ch << " level " << level;
        }
}

TEST(ColorBalance1pt, CarriesTheSourceColourOntoTheReference)
{
    const int cases[][6] = {{120, 10, -8, 130, -6, 5},
                            {60, -6, 9, 70, 4, -4},
                            {200, 5, 6, 190, -5, -7}};
    for (const auto& k : cases) {
        AnalysisAccess viewer;
        SetPatches(viewer, k[0], k[1], k[2], k[3], k[4], k[5]);
        viewer.m_ccCurrent = CurrentRecord();
        viewer.m_ccCurrent.Base.sSat = 0;
        viewer.m_ccCurrent.Base.sYGamma = 0;
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 1);
        CVoraDib out = viewer.m_dibSource;
        ASSERT_EQ(ApplyCorrection(out, cc), 1);
        const YuvSample s = SampleOf(out, 20, 20);
        EXPECT_NEAR(s.Y, k[3], 3) << "source luma " << k[0];
        EXPECT_NEAR(s.U, k[4], 3) << "source luma " << k[0];
        EXPECT_NEAR(s.V, k[5], 3) << "source luma " << k[0];
    }
}

TEST(ColorBalance1pt, RandomSamplesGiveBoundedFields)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> luma(0, 255), chroma(-128, 127), control(-255, 255);
    AnalysisAccess viewer;
    for (int round = 0; round < 300; ++round) {
        SetPatches(viewer, luma(rng), chroma(rng), chroma(rng), luma(rng), chroma(rng),
                   chroma(rng));
        tagCOLORCORRINFO current = CurrentRecord();
        current.Base.sRBlack = static_cast<int16_t>(control(rng));
        current.Base.sGGamma = static_cast<int16_t>(control(rng));
        current.Base.sBWhite = static_cast<int16_t>(control(rng));
        viewer.m_ccCurrent = current;
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.ColorBalance_1pt(cc, 20, 20, 30, 10), 1);
        ASSERT_TRUE(CurvesWithin(cc, 256)) << "round " << round;
    }
}

// ---- three points -----------------------------------------------------------------------

namespace {

struct ThreePatches {
    int src[3][3]; // Y, U, V of the source patches
    int ref[3][3]; // of the reference patches
};

int g_xs[3] = {10, 30, 50}, g_ys[3] = {10, 20, 35};
int g_xr[3] = {50, 12, 30}, g_yr[3] = {12, 36, 24};

void SetThreePatches(AnalysisAccess& viewer, const ThreePatches& p)
{
    viewer.m_dibSource = FlatYuv(64, 48, 128, 0, 0);
    viewer.m_dibReference = FlatYuv(64, 48, 128, 0, 0);
    for (int i = 0; i < 3; ++i) {
        PaintPatch(viewer.m_dibSource, g_xs[i], g_ys[i], p.src[i][0], p.src[i][1], p.src[i][2]);
        PaintPatch(viewer.m_dibReference, g_xr[i], g_yr[i], p.ref[i][0], p.ref[i][1],
                   p.ref[i][2]);
    }
}

// Curves of the three-point balance with the pairs taken in `order`.
colorcorrect::test::Curves ThreePointCurves(const ThreePatches& p, const int (&order)[3][3])
{
    colorcorrect::test::Curves c{};
    for (int ch = 0; ch < 3; ++ch) {
        int s[3], r[3];
        for (int i = 0; i < 3; ++i) {
            const int k = order[ch][i];
            s[i] = ChannelValue(ch, p.src[k][0], p.src[k][1], p.src[k][2]);
            r[i] = ChannelValue(ch, p.ref[k][0], p.ref[k][1], p.ref[k][2]);
        }
        int black = 0, gamma = 0, white = 0;
        colorcorrect::FitChannelCurve(s[0], s[1], s[2], r[0] - s[0], r[1] - s[1], r[2] - s[2],
                                      black, gamma, white);
        c.f[ch * 3] = white;
        c.f[ch * 3 + 1] = gamma;
        c.f[ch * 3 + 2] = black;
    }
    return c;
}

} // namespace

TEST(ColorBalance3pt, RefusesWrongSizeMissingPicturesAndNullPoints)
{
    AnalysisAccess viewer;
    tagCOLORCORRINFO cc = CurvesSetTo(44);
    EXPECT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, g_yr), 0); // no pictures
    EXPECT_EQ(cc.Base.sRWhite, 44);
    SetThreePatches(viewer, ThreePatches{{{50, 0, 0}, {100, 0, 0}, {200, 0, 0}},
                                         {{50, 0, 0}, {100, 0, 0}, {200, 0, 0}}});
    EXPECT_EQ(viewer.ColorBalance_3pt(cc, nullptr, g_ys, g_xr, g_yr), 0);
    EXPECT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, nullptr), 0);
    EXPECT_EQ(cc.Base.sRWhite, 44);
    cc.dwSize = 565;
    EXPECT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, g_yr), 0);
    EXPECT_EQ(cc.Base.sRWhite, 44);
}

TEST(ColorBalance3pt, PairsAreOrderedByReferenceValue)
{
    // Reference lumas fall from pair 0 to pair 2: every channel sorts them
    // the other way round.
    const ThreePatches p{{{180, 4, -6}, {110, -3, 5}, {40, 6, 2}},
                         {{200, 0, 0}, {120, 2, -2}, {50, -2, 3}}};
    AnalysisAccess viewer;
    SetThreePatches(viewer, p);
    viewer.m_ccCurrent = CurrentRecord();
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, g_yr), 1);
    const int reversed[3][3] = {{2, 1, 0}, {2, 1, 0}, {2, 1, 0}};
    EXPECT_TRUE(SameCurves(CurvesOf(cc), ThreePointCurves(p, reversed)));
    EXPECT_EQ(cc.Base.sSat, 20);
    EXPECT_EQ(cc.Vector6.sHue[2], 9);
}

TEST(ColorBalance3pt, EqualReferenceValuesKeepTheirOrder)
{
    // Reference patches 0 and 1 are the same colour, patch 2 darker; the
    // source patches differ, so a sort that moved the equal pairs would
    // change the fit.
    const ThreePatches p{{{90, 8, -4}, {110, -6, 6}, {40, 3, 9}},
                         {{100, 0, 0}, {100, 0, 0}, {50, 0, 0}}};
    AnalysisAccess viewer;
    SetThreePatches(viewer, p);
    viewer.m_ccCurrent = CurrentRecord();
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, g_yr), 1);
    const int kept[3][3] = {{2, 0, 1}, {2, 0, 1}, {2, 0, 1}};
    const int moved[3][3] = {{2, 1, 0}, {2, 1, 0}, {2, 1, 0}};
    EXPECT_TRUE(SameCurves(CurvesOf(cc), ThreePointCurves(p, kept)));
    EXPECT_FALSE(SameCurves(ThreePointCurves(p, kept), ThreePointCurves(p, moved)));
}

TEST(ColorBalance3pt, CarriesTheSourceColoursOntoTheReferences)
{
    const ThreePatches p{{{50, 6, -4}, {120, 8, -6}, {200, 6, -5}},
                         {{55, -3, 2}, {125, -4, 4}, {205, -3, 3}}};
    AnalysisAccess viewer;
    SetThreePatches(viewer, p);
    viewer.m_ccCurrent = CurvesSetTo(0);
    tagCOLORCORRINFO cc = CurvesSetTo(0);
    ASSERT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, g_yr), 1);
    CVoraDib out = viewer.m_dibSource;
    ASSERT_EQ(ApplyCorrection(out, cc), 1);
    for (int i = 0; i < 3; ++i) {
        const YuvSample s = SampleOf(out, g_xs[i], g_ys[i]);
        EXPECT_NEAR(s.Y, p.ref[i][0], 4) << "patch " << i;
        EXPECT_NEAR(s.U, p.ref[i][1], 4) << "patch " << i;
        EXPECT_NEAR(s.V, p.ref[i][2], 4) << "patch " << i;
    }
}

TEST(ColorBalance3pt, RandomSamplesGiveBoundedFields)
{
    std::mt19937 rng(17);
    std::uniform_int_distribution<int> luma(0, 255), chroma(-128, 127);
    AnalysisAccess viewer;
    viewer.m_ccCurrent = CurvesSetTo(0);
    for (int round = 0; round < 200; ++round) {
        ThreePatches p{};
        for (int i = 0; i < 3; ++i) {
            p.src[i][0] = luma(rng);
            p.ref[i][0] = luma(rng);
            for (int j = 1; j < 3; ++j) {
                p.src[i][j] = chroma(rng);
                p.ref[i][j] = chroma(rng);
            }
        }
        SetThreePatches(viewer, p);
        tagCOLORCORRINFO cc = CurvesSetTo(0);
        ASSERT_EQ(viewer.ColorBalance_3pt(cc, g_xs, g_ys, g_xr, g_yr), 1);
        ASSERT_TRUE(CurvesWithin(cc, 256)) << "round " << round;
    }
}
