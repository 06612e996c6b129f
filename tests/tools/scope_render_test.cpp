#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/scope_render.h>
#include "support/color_bars.h"

using namespace colorcorrect::formats;
using colorcorrect::test::MakeColorBars;

namespace {

tagCOLORCORRINFO WithMatchVector()
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR;
    r.Base.sSat = 30;
    r.Match.dwCount = 2;
    r.Match.Vector[1].byY = 63;
    r.Match.Vector[1].cU = -37;
    r.Match.Vector[1].cV = 110;
    r.Match.Vector[1].bySatWidth = 40;
    r.Match.Vector[1].byHueWidth = 20;
    r.Match.Vector[1].sSat = -200;
    return r;
}

bool SameBytes(const CVoraDib& a, const CVoraDib& b)
{
    const tagDIBINFO* ha = a;
    const tagDIBINFO* hb = b;
    if (ha == nullptr || hb == nullptr || a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    unsigned step = 0, stride = 0;
    a.GetIncrements(step, stride);
    return std::memcmp(static_cast<const BYTE*>(a), static_cast<const BYTE*>(b),
                       size_t(stride) * size_t(a.GetHeight())) == 0;
}

} // namespace

TEST(ScopeRender, ModeNamesRoundTrip)
{
    for (const ScopeModeEntry& m : kScopeModes) {
        ASSERT_TRUE(ScopeModeFromName(m.name).has_value()) << m.name;
        EXPECT_EQ(*ScopeModeFromName(m.name), m.mode);
        EXPECT_STREQ(ScopeModeName(m.mode), m.name);
    }
    EXPECT_FALSE(ScopeModeFromName("Vector").has_value());
    EXPECT_FALSE(ScopeModeFromName("").has_value());
    EXPECT_EQ(static_cast<unsigned>(*ScopeModeFromName("combined")), 7u);
    EXPECT_EQ(static_cast<unsigned>(*ScopeModeFromName("histogram")), 4u);
}

TEST(ScopeRender, DefaultViewIsTheViewersStartingView)
{
    const CubeAngles a = DefaultCubeAngles();
    EXPECT_EQ(a.alpha, 90);
    EXPECT_EQ(a.beta, 90);
    EXPECT_EQ(a.gamma, -90);
}

TEST(ScopeRender, SettingsProblems)
{
    const tagCOLORCORRINFO plain = DefaultCorrection();
    const tagCOLORCORRINFO matched = WithMatchVector();
    ScopeSettings s;
    EXPECT_EQ(ScopeSettingsProblem(plain, s), "");
    s.isolateVector = 1;
    EXPECT_NE(ScopeSettingsProblem(plain, s).find("match vectors on"), std::string::npos);
    EXPECT_EQ(ScopeSettingsProblem(matched, s), "");
    s.isolateVector = 2;
    EXPECT_NE(ScopeSettingsProblem(matched, s).find("has 2 match vectors"), std::string::npos);
    s.isolateVector = 16;
    EXPECT_NE(ScopeSettingsProblem(matched, s).find("outside 0..15"), std::string::npos);
    s.isolateVector = 1;
    s.isolateType = 8;
    EXPECT_NE(ScopeSettingsProblem(matched, s).find("outside 0..7"), std::string::npos);
    s.isolateType = 7;
    s.intensity = -13;
    EXPECT_NE(ScopeSettingsProblem(matched, s).find("-12..255"), std::string::npos);
    s.intensity = 255;
    s.angles = CubeAngles{0, 181, 0};
    EXPECT_NE(ScopeSettingsProblem(matched, s).find("--angles"), std::string::npos);
    s.angles = CubeAngles{-180, 0, 180};
    EXPECT_EQ(ScopeSettingsProblem(matched, s), "");
    s.channel = 5;
    EXPECT_NE(ScopeSettingsProblem(matched, s).find("--channel"), std::string::npos);
}

TEST(ScopeRender, EveryModeGivesAScopeAndTheCorrectedPicture)
{
    const CVoraDib bars = MakeColorBars(80, 40, 24);
    for (const ScopeModeEntry& m : kScopeModes) {
        ScopeSettings s;
        s.mode = m.mode;
        CVoraDib display, corrected;
        std::string error;
        ASSERT_TRUE(RenderScope(WithMatchVector(), bars, nullptr, s, display, corrected, error)) << m.name << error;
        EXPECT_EQ(display.GetWidth(), kScopeWidth) << m.name;
        EXPECT_EQ(display.GetHeight(), kScopeHeight) << m.name;
        const tagDIBINFO* info = corrected;
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(uint32_t{info->bmiHeader.biCompression}, 0u) << "the corrected picture is RGB";
        EXPECT_EQ(corrected.GetWidth(), 80);
        EXPECT_EQ(corrected.GetHeight(), 40);
    }
}

TEST(ScopeRender, DrawsWhatTheDisplayFilterDraws)
{
    const CVoraDib bars = MakeColorBars(64, 32, 24);
    const tagCOLORCORRINFO record = WithMatchVector();
    ScopeSettings s;
    s.mode = ScopeMode::Vector;
    s.isolateVector = 1;
    s.intensity = 60;
    CVoraDib display, corrected;
    std::string error;
    ASSERT_TRUE(RenderScope(record, bars, nullptr, s, display, corrected, error)) << error;

    auto filter = std::make_unique<CColorCorrectionFilter>();
    filter->SetVectorIntensity(60);
    filter->SetIsolateVector(1);
    ASSERT_EQ(filter->SetupFilter(record), 1);
    CVoraDib in = bars, out, expected;
    ASSERT_EQ(filter->ProcessDisplay(in, out, expected, 1), 1);
    EXPECT_TRUE(SameBytes(display, expected));
    EXPECT_TRUE(SameBytes(corrected, out));
}

TEST(ScopeRender, SettingsChangeTheDrawing)
{
    const CVoraDib bars = MakeColorBars(64, 32, 24);
    const tagCOLORCORRINFO record = WithMatchVector();
    std::string error;
    ScopeSettings s;
    s.mode = ScopeMode::Cube;
    CVoraDib first, second, corrected;
    ASSERT_TRUE(RenderScope(record, bars, nullptr, s, first, corrected, error)) << error;
    s.angles = CubeAngles{30, 60, 20};
    ASSERT_TRUE(RenderScope(record, bars, nullptr, s, second, corrected, error)) << error;
    EXPECT_FALSE(SameBytes(first, second)) << "another view of the cube";

    s = ScopeSettings{};
    s.mode = ScopeMode::Histogram;
    ASSERT_TRUE(RenderScope(record, bars, nullptr, s, first, corrected, error)) << error;
    const CVoraDib reference = MakeColorBars(32, 16, 24);
    ASSERT_TRUE(RenderScope(record, bars, &reference, s, second, corrected, error)) << error;
    EXPECT_FALSE(SameBytes(first, second)) << "the reference's histogram is drawn in";

    s = ScopeSettings{};
    s.channel = 4;
    CVoraDib grey;
    ASSERT_TRUE(RenderScope(record, bars, nullptr, s, first, grey, error)) << error;
    const BYTE* p = grey;
    unsigned step = 0, stride = 0;
    grey.GetIncrements(step, stride);
    for (int x = 0; x < grey.GetWidth(); ++x) {
        const BYTE* q = p + x * step;
        ASSERT_EQ(q[0], q[1]) << "luma view is grey at x " << x;
        ASSERT_EQ(q[1], q[2]) << "luma view is grey at x " << x;
    }
}

TEST(ScopeRender, RefusesPicturesThatAreNotYuvAndBadSettings)
{
    CVoraDib rgb;
    ASSERT_EQ(rgb.Alloc(8, 8, 24, 0), 1);
    ScopeSettings s;
    CVoraDib display, corrected;
    std::string error;
    EXPECT_FALSE(RenderScope(DefaultCorrection(), rgb, nullptr, s, display, corrected, error));
    EXPECT_FALSE(error.empty());
    s.isolateVector = 0;
    error.clear();
    EXPECT_FALSE(RenderScope(DefaultCorrection(), MakeColorBars(8, 8, 24), nullptr, s, display, corrected, error));
    EXPECT_NE(error.find("--isolate"), std::string::npos);
}
