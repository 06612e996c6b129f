// End-to-end tests of `colorcorrect scope` and `colorcorrect lut --rt`.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/rt_package.h>
#include <colorcorrect/formats/scope_render.h>
#include "support/run_process.h"

using namespace colorcorrect::formats;
using colorcorrect::test::FileExists;
using colorcorrect::test::ProcessResult;
using colorcorrect::test::ReadFile;
using colorcorrect::test::RunProcess;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

namespace {

ProcessResult Cli(std::vector<std::string> args, const std::string& input = {})
{
    args.insert(args.begin(), COLORCORRECT_CLI_PATH);
    ProcessResult r = RunProcess(args, input);
    EXPECT_TRUE(r.started) << "cannot run " << COLORCORRECT_CLI_PATH;
    return r;
}

tagCOLORCORRINFO Look()
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR;
    r.Base.sYGamma = 30;
    r.Base.sSat = 40;
    r.Base.sRBlack = 12;
    r.Vector6.sHue[3] = 24;
    r.Match.dwCount = 2;
    r.Match.Vector[1].cU = -37;
    r.Match.Vector[1].cV = 110;
    r.Match.Vector[1].byHueWidth = 20;
    r.Match.Vector[1].sSat = -200;
    return r;
}

// A picture with a horizontal ramp of hues and a vertical ramp of luma.
RgbImage Ramp(int w, int h)
{
    RgbImage image;
    image.width = w;
    image.height = h;
    image.channels = 3;
    image.pixels.resize(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &image.pixels[(size_t(y) * w + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / (w - 1));
            p[1] = static_cast<uint8_t>(y * 255 / (h - 1));
            p[2] = static_cast<uint8_t>(255 - x * 255 / (w - 1));
        }
    return image;
}

std::string Png(const RgbImage& image)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(EncodeImage(image, ImageFormat::Png, EncodeOptions{}, bytes, error)) << error;
    return std::string(bytes.begin(), bytes.end());
}

// Decodes a PNG file; width 0 when it is none.
RgbImage ReadPng(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    RgbImage image;
    std::string error;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (SniffImageFormat(data, bytes.size()) != ImageFormat::Png || !DecodeImage(data, bytes.size(), image, error))
        return RgbImage{};
    return image;
}

class ScopeCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(F("look.json"), CorrectionToJson(Look()));
        WriteFile(F("in.png"), Png(Ramp(96, 48)));
        WriteFile(F("ref.png"), Png(Ramp(32, 16)));
    }
    std::string F(const std::string& name) const { return dir.File(name); }
    TempDir dir;
};

} // namespace

// ---- scope ------------------------------------------------------------------

TEST_F(ScopeCommand, EveryModeWritesA384By288Png)
{
    for (const ScopeModeEntry& m : kScopeModes) {
        const std::string out = F(std::string(m.name) + ".png");
        const ProcessResult r = Cli({"scope", m.name, "-c", F("look.json"), F("in.png"), "-o", out});
        ASSERT_EQ(r.exitCode, 0) << m.name << ": " << r.err;
        EXPECT_EQ(r.err, "");
        const RgbImage image = ReadPng(out);
        EXPECT_EQ(image.width, kScopeWidth) << m.name;
        EXPECT_EQ(image.height, kScopeHeight) << m.name;
    }
}

TEST_F(ScopeCommand, WritesWhatTheDisplayFilterDraws)
{
    const ProcessResult r = Cli({"scope", "cube", "-c", F("look.json"), F("in.png"), "-o", F("cube.png"),
                                 "--angles", "30,60,20", "--intensity", "80", "--isolate", "1:7", "--channel",
                                 "luma", "--picture", F("picture.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    CVoraDib source;
    std::string error;
    ASSERT_TRUE(RgbImageToYuvPicture(Ramp(96, 48), source, error)) << error;
    ScopeSettings s;
    s.mode = ScopeMode::Cube;
    s.angles = CubeAngles{30, 60, 20};
    s.intensity = 80;
    s.isolateVector = 1;
    s.isolateType = 7;
    s.channel = 4;
    CVoraDib display, corrected;
    ASSERT_TRUE(RenderScope(Look(), source, nullptr, s, display, corrected, error)) << error;
    RgbImage expectedScope, expectedPicture;
    ASSERT_TRUE(RgbPictureToRgbImage(display, expectedScope, error));
    ASSERT_TRUE(RgbPictureToRgbImage(corrected, expectedPicture, error));

    const RgbImage scope = ReadPng(F("cube.png"));
    EXPECT_EQ(scope.pixels, expectedScope.pixels);
    const RgbImage picture = ReadPng(F("picture.png"));
    EXPECT_EQ(picture.width, 96);
    EXPECT_EQ(picture.height, 48);
    EXPECT_EQ(picture.pixels, expectedPicture.pixels);
}

TEST_F(ScopeCommand, ReferenceGoesIntoTheHistogram)
{
    ASSERT_EQ(Cli({"scope", "histogram", F("in.png"), "-o", F("plain.png")}).exitCode, 0);
    const ProcessResult r = Cli({"scope", "histogram", F("in.png"), "--reference", F("ref.png"), "-o", F("ref-h.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RgbImage plain = ReadPng(F("plain.png"));
    const RgbImage withRef = ReadPng(F("ref-h.png"));
    ASSERT_EQ(plain.width, kScopeWidth);
    ASSERT_EQ(withRef.width, kScopeWidth);
    EXPECT_NE(plain.pixels, withRef.pixels);
}

TEST_F(ScopeCommand, StandardOutputAndOtherFormats)
{
    const ProcessResult r = Cli({"scope", "vector", "-", "-o", "-"}, ReadFile(F("in.png")));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(SniffImageFormat(reinterpret_cast<const uint8_t*>(r.out.data()), r.out.size()), ImageFormat::Png);
    ASSERT_EQ(Cli({"scope", "waveform", F("in.png"), "-o", F("w.bmp")}).exitCode, 0);
    const std::string bmp = ReadFile(F("w.bmp"));
    EXPECT_EQ(bmp.substr(0, 2), "BM");
}

TEST_F(ScopeCommand, BadInputFailsWithOneLineAndNoOutput)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    WriteFile(F("junk.png"), "not a picture at all");
    const std::vector<Case> cases = {
        {{"scope", "sideways", F("in.png"), "-o", F("o.png")}, "scope: unknown display 'sideways'"},
        {{"scope", "vector", F("missing.png"), "-o", F("o.png")}, "scope: " + F("missing.png") + ": "},
        {{"scope", "vector", F("junk.png"), "-o", F("o.png")}, "scope: " + F("junk.png") + ": not a PNG, JPEG or BMP"},
        {{"scope", "cube", F("in.png"), "-o", F("o.png"), "--angles", "1,2"}, "scope: --angles '1,2'"},
        {{"scope", "cube", F("in.png"), "-o", F("o.png"), "--angles", "0,200,0"}, "beta in 0..180"},
        {{"scope", "vector", F("in.png"), "-o", F("o.png"), "--isolate", "x"}, "scope: --isolate 'x'"},
        {{"scope", "vector", "-c", F("look.json"), F("in.png"), "-o", F("o.png"), "--isolate", "5"},
         "scope: " + F("look.json") + ": --isolate: vector 5 is not in use"},
        {{"scope", "vector", F("in.png"), "-o", F("o.png"), "--isolate", "1"}, "match vectors on"},
        {{"scope", "vector", F("in.png"), "-o", F("o.png"), "--channel", "purple"}, "scope: --channel 'purple'"},
        {{"scope", "vector", F("in.png"), "-o", F("o.png"), "--intensity", "300"}, "-12..255"},
        {{"scope", "vector", "-c", F("missing.json"), F("in.png"), "-o", F("o.png")}, F("missing.json")},
        {{"scope", "vector", F("in.png"), "-o", F("nodir/o.png")}, F("nodir/o.png")},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << "expected '" << c.message << "' in: " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(FileExists(F("o.png"))) << c.message;
    }
    const ProcessResult both = Cli({"scope", "vector", "-", "--reference", "-", "-o", F("o.png")});
    EXPECT_EQ(both.exitCode, 1);
    EXPECT_NE(both.err.find("standard input"), std::string::npos);
}

TEST_F(ScopeCommand, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(Cli({"scope", "vector", F("in.png")}).exitCode, 2) << "no -o";
    EXPECT_EQ(Cli({"scope"}).exitCode, 2);
}

// ---- lut --rt -------------------------------------------------------------

TEST_F(ScopeCommand, RealTimePackageIsTheBinaryLayout)
{
    const ProcessResult r = Cli({"lut", "-c", F("look.json"), "--rt", F("look.rtlut")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string bytes = ReadFile(F("look.rtlut"));
    ASSERT_EQ(bytes.size(), 2052u);
    std::array<uint8_t, kRtPackageBytes> expected{};
    std::string error;
    ASSERT_TRUE(MakeRtPackage(Look(), expected, error)) << error;
    EXPECT_EQ(bytes, std::string(expected.begin(), expected.end()));
    EXPECT_EQ(static_cast<uint8_t>(bytes[7]), 0) << "full-range mode byte";

    // A neutral correction: mode 4 and identity curves.
    WriteFile(F("neutral.json"), CorrectionToJson(DefaultCorrection()));
    const ProcessResult n = Cli({"lut", "-c", F("neutral.json"), "--rt", "-"});
    ASSERT_EQ(n.exitCode, 0) << n.err;
    ASSERT_EQ(n.out.size(), 2052u);
    EXPECT_EQ(static_cast<uint8_t>(n.out[7]), 4);
    for (int i : {0, 1, 128, 255}) {
        EXPECT_EQ(static_cast<uint8_t>(n.out[4 + 4 * i]), i);
        EXPECT_EQ(static_cast<uint8_t>(n.out[4 + 4 * i + 2]), i);
    }
    // The check value is the CRC of the package with its own field zero.
    std::string zeroed = n.out;
    zeroed.replace(0, 4, std::string(4, '\0'));
    const uint32_t crc = GetCRC1615(zeroed.data(), static_cast<unsigned long>(zeroed.size()));
    EXPECT_EQ(static_cast<uint8_t>(n.out[0]), crc & 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(n.out[3]), crc >> 24);
}

TEST_F(ScopeCommand, RealTimePackageNotesAPrimaryGroupThatIsOff)
{
    tagCOLORCORRINFO off = Look();
    off.dwFlags = CC_SIX_VECTOR;
    WriteFile(F("off.json"), CorrectionToJson(off));
    const ProcessResult r = Cli({"lut", "-c", F("off.json"), "--rt", F("off.rtlut")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("note: the primary group is off"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(F("off.rtlut")).size(), 2052u);
}

TEST_F(ScopeCommand, RealTimePackageExcludesCubeOptions)
{
    const ProcessResult r = Cli({"lut", "-c", F("look.json"), "--rt", "--cube", "17", F("x.rtlut")});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("excludes"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(F("x.rtlut")));
    const ProcessResult bad = Cli({"lut", "-c", F("missing.json"), "--rt", F("x.rtlut")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.err.rfind("lut: " + F("missing.json") + ": ", 0), 0u) << bad.err;
    EXPECT_FALSE(FileExists(F("x.rtlut")));
}
