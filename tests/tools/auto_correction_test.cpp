#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <colorcorrect/formats/auto_correction.h>
#include <colorcorrect/formats/correction_file.h>
#include "support/color_bars.h"

using namespace colorcorrect::formats;
using colorcorrect::test::MakeColorBars;

namespace {

// Colour bars with a warm cast, as a source to balance.
CVoraDib Tinted(int w, int h, int rWhite, int bWhite)
{
    CVoraDib bars = MakeColorBars(w, h, 24);
    tagCOLORCORRINFO cc = DefaultCorrection();
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sRWhite = static_cast<int16_t>(rWhite);
    cc.Base.sBWhite = static_cast<int16_t>(bWhite);
    auto filter = std::make_unique<CColorCorrectionFilter>();
    EXPECT_EQ(filter->SetupFilter(cc), 1);
    EXPECT_EQ(filter->Process(bars, bars), 1);
    return bars;
}

bool SameRecord(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A viewer holding the pictures and correction as RunAutoAnalysis sets them.
std::unique_ptr<CColorCorrectionViewer> Viewer(const CVoraDib& source, const CVoraDib* reference,
                                               const tagCOLORCORRINFO& current)
{
    auto viewer = std::make_unique<CColorCorrectionViewer>();
    CVoraDib s = source;
    EXPECT_EQ(viewer->SetSource(s), 1);
    if (reference != nullptr) {
        CVoraDib r = *reference;
        EXPECT_EQ(viewer->SetReference(r), 1);
    }
    EXPECT_EQ(viewer->SetCorrection(current), 1);
    return viewer;
}

class AutoCorrection : public ::testing::Test {
protected:
    CVoraDib source = Tinted(160, 80, 30, -25);
    CVoraDib reference = MakeColorBars(160, 80, 24);
    tagCOLORCORRINFO start = DefaultCorrection();
};

} // namespace

TEST_F(AutoCorrection, KindNames)
{
    EXPECT_EQ(AutoKindFromName("gray"), AutoKind::Gray);
    EXPECT_EQ(AutoKindFromName("grey"), AutoKind::Gray);
    EXPECT_EQ(AutoKindFromName("color"), AutoKind::Colour);
    EXPECT_EQ(AutoKindFromName("colour"), AutoKind::Colour);
    EXPECT_EQ(AutoKindFromName("histmatch"), AutoKind::HistMatch);
    EXPECT_EQ(AutoKindFromName("huematch"), AutoKind::HueMatch);
    EXPECT_EQ(AutoKindFromName("vector"), AutoKind::Vector);
    EXPECT_EQ(AutoKindFromName("contrast"), AutoKind::Contrast);
    EXPECT_EQ(AutoKindFromName("tone"), AutoKind::Tone);
    EXPECT_FALSE(AutoKindFromName("Gray").has_value());
}

TEST_F(AutoCorrection, GrayIsTheViewersGrayBalanceWithThePrimaryGroupOn)
{
    AutoRequest r;
    r.kind = AutoKind::Gray;
    r.points = {{5, 40}};
    r.mode = 3;
    tagCOLORCORRINFO result;
    std::string error;
    ASSERT_TRUE(RunAutoAnalysis(r, start, source, nullptr, result, error)) << error;
    tagCOLORCORRINFO expected = start;
    ASSERT_EQ(Viewer(source, nullptr, start)->GrayBalance_1pt(expected, 5, 40, 3), 1);
    expected.dwFlags |= CC_PRIMARY;
    EXPECT_TRUE(SameRecord(result, expected));
    EXPECT_NE(result.Base.sRWhite, 0) << "the tinted white bar needs a red correction";
    EXPECT_EQ(CheckCorrection(result), "");

    r.points = {{5, 40}, {150, 40}, {70, 40}};
    r.mode = 0;
    ASSERT_TRUE(RunAutoAnalysis(r, start, source, nullptr, result, error)) << error;
    expected = start;
    ASSERT_EQ(Viewer(source, nullptr, start)->GrayBalance_3pt(expected, 5, 40, 150, 40, 70, 40), 1);
    expected.dwFlags |= CC_PRIMARY;
    for (int16_t* v : {&expected.Base.sRWhite, &expected.Base.sRBlack, &expected.Base.sGWhite,
                       &expected.Base.sGBlack, &expected.Base.sBWhite, &expected.Base.sBBlack})
        *v = static_cast<int16_t>(std::clamp<int>(*v, -255, 255));
    EXPECT_TRUE(SameRecord(result, expected));
}

TEST_F(AutoCorrection, ColourKeepsTheStartingCorrection)
{
    start.dwFlags = CC_SIX_VECTOR;
    start.Vector6.sHue[2] = 20;
    AutoRequest r;
    r.kind = AutoKind::Colour;
    r.pairs = {{{30, 40}, {30, 40}}};
    tagCOLORCORRINFO result;
    std::string error;
    ASSERT_TRUE(RunAutoAnalysis(r, start, source, &reference, result, error)) << error;
    tagCOLORCORRINFO expected = start;
    ASSERT_EQ(Viewer(source, &reference, start)->ColorBalance_1pt(expected, 30, 40, 30, 40), 1);
    expected.dwFlags |= CC_PRIMARY;
    EXPECT_TRUE(SameRecord(result, expected));
    EXPECT_EQ(result.Vector6.sHue[2], 20);
    EXPECT_EQ(result.dwFlags, uint32_t(CC_SIX_VECTOR | CC_PRIMARY));
}

TEST_F(AutoCorrection, HistMatchGivesANewCorrection)
{
    start.dwFlags = CC_SIX_VECTOR | CC_CLIPPING;
    start.Base.wRangeFlags = RANGE_LEGAL;
    start.Vector6.sSat[1] = 50;
    AutoRequest r;
    r.kind = AutoKind::HistMatch;
    r.sourceRect = PictureRect{0, 0, 80, 40};
    tagCOLORCORRINFO result;
    std::string error;
    ASSERT_TRUE(RunAutoAnalysis(r, start, source, &reference, result, error)) << error;
    tagCOLORCORRINFO expected = start;
    tagRECT src{0, 0, 80, 40};
    ASSERT_EQ(Viewer(source, &reference, start)->HistoMatch(expected, nullptr, &src), 1);
    EXPECT_TRUE(SameRecord(result, expected));
    EXPECT_EQ(result.dwFlags, uint32_t(CC_PRIMARY));
    EXPECT_EQ(result.Base.wRangeFlags, RANGE_LEGAL) << "clipping settings are kept";
    EXPECT_EQ(result.Vector6.sSat[1], 0);
}

TEST_F(AutoCorrection, VectorTakesTheNextFreeSlotAndSwitchesMatchVectorsOn)
{
    AutoRequest r;
    r.kind = AutoKind::Vector;
    r.rect = PictureRect{105, 10, 115, 30}; // the red bar
    r.widen = {PictureRect{125, 10, 135, 30}};
    r.to = PictureRect{105, 10, 115, 30};
    tagCOLORCORRINFO result;
    std::string error;
    ASSERT_TRUE(RunAutoAnalysis(r, start, source, &reference, result, error)) << error;
    EXPECT_EQ(result.Match.dwCount, 2u);
    EXPECT_NE(result.dwFlags & CC_MATCH_VECTOR, 0u);

    auto viewer = Viewer(source, &reference, start);
    tagMATCHVECTOR mv;
    mv.Init();
    tagRECT rc{105, 10, 115, 30}, w{125, 10, 135, 30};
    ASSERT_EQ(viewer->GetMatchVector(mv, &rc), 1);
    ASSERT_EQ(viewer->AddToMatchVector(mv, &w), 1);
    ASSERT_EQ(viewer->SetMatchVectorTo(mv, &rc), 1);
    EXPECT_EQ(std::memcmp(&result.Match.Vector[1], &mv, sizeof mv), 0);
    tagMATCHVECTOR fresh;
    fresh.Init();
    EXPECT_EQ(std::memcmp(&result.Match.Vector[0], &fresh, sizeof fresh), 0) << "the background stays neutral";

    // A second vector goes into slot 2, an explicit index replaces.
    tagCOLORCORRINFO second;
    ASSERT_TRUE(RunAutoAnalysis(r, result, source, &reference, second, error)) << error;
    EXPECT_EQ(second.Match.dwCount, 3u);
    r.index = 1;
    ASSERT_TRUE(RunAutoAnalysis(r, second, source, &reference, second, error)) << error;
    EXPECT_EQ(second.Match.dwCount, 3u);

    tagCOLORCORRINFO full = result;
    full.Match.dwCount = 16;
    r.index.reset();
    EXPECT_FALSE(RunAutoAnalysis(r, full, source, &reference, second, error));
    EXPECT_NE(error.find("--index"), std::string::npos);
}

TEST_F(AutoCorrection, RequestProblemsAreNamed)
{
    struct Case {
        AutoRequest request;
        bool withReference;
        std::string message;
    };
    auto make = [](AutoKind kind) {
        AutoRequest r;
        r.kind = kind;
        return r;
    };
    AutoRequest gray = make(AutoKind::Gray);
    AutoRequest grayFour = gray;
    grayFour.points = {{1, 1}, {2, 2}, {3, 3}, {4, 4}};
    AutoRequest outside = gray;
    outside.points = {{160, 0}};
    AutoRequest twoWithMode = gray;
    twoWithMode.points = {{1, 1}, {2, 2}};
    twoWithMode.mode = 2;
    AutoRequest tone = make(AutoKind::Tone);
    tone.pairs = {{{1, 1}, {2, 2}}};
    AutoRequest toneBlack = tone;
    toneBlack.mode = 1;
    AutoRequest colourTwo = make(AutoKind::Colour);
    colourTwo.pairs = {{{1, 1}, {2, 2}}, {{1, 1}, {2, 2}}};
    AutoRequest contrastOne = make(AutoKind::Contrast);
    contrastOne.points = {{1, 1}};
    AutoRequest small = make(AutoKind::HistMatch);
    small.sourceRect = PictureRect{0, 0, 9, 40};
    AutoRequest vectorNoRect = make(AutoKind::Vector);
    AutoRequest vectorZero = make(AutoKind::Vector);
    vectorZero.rect = PictureRect{0, 0, 4, 4};
    vectorZero.index = 0;
    AutoRequest vectorBad = make(AutoKind::Vector);
    vectorBad.rect = PictureRect{10, 10, 5, 20};
    const Case cases[] = {
        {gray, false, "one, two or three points"},
        {grayFour, false, "one, two or three points"},
        {outside, false, "point 160,0 lies outside the 160 x 80 source picture"},
        {twoWithMode, false, "--mode is for gray with one point"},
        {tone, false, "needs a reference picture"},
        {toneBlack, true, "tone --mode is white, gamma or both"},
        {colourTwo, true, "one or three point pairs"},
        {contrastOne, false, "two points"},
        {small, true, "smaller than 10 x 10"},
        {vectorNoRect, false, "--rect"},
        {vectorZero, false, "outside 1..15"},
        {vectorBad, false, "is not a region of the 160 x 80 source picture"},
    };
    for (const Case& c : cases) {
        const std::string problem = AutoRequestProblem(c.request, source, c.withReference ? &reference : nullptr);
        EXPECT_NE(problem.find(c.message), std::string::npos) << "expected '" << c.message << "' in '" << problem << "'";
    }
}
