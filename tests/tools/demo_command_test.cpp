// End-to-end tests of `colorcorrect demo` and of the help texts of the
// subcommands added beside it.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/scope_render.h>
#include "support/run_process.h"

using namespace colorcorrect::formats;
using colorcorrect::test::ProcessResult;
using colorcorrect::test::ReadFile;
using colorcorrect::test::RunProcess;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

namespace {

ProcessResult Cli(std::vector<std::string> args)
{
    args.insert(args.begin(), COLORCORRECT_CLI_PATH);
    ProcessResult r = RunProcess(args);
    EXPECT_TRUE(r.started) << "cannot run " << COLORCORRECT_CLI_PATH;
    return r;
}

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

} // namespace

TEST(DemoCommand, WritesEveryPictureAndTheCorrection)
{
    TempDir dir;
    const std::string out = dir.File("results/deeper");
    const ProcessResult r = Cli({"demo", "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");

    CVoraDib original;
    ASSERT_EQ(original.LoadFromFile(colorcorrect::DefaultPicturePath().c_str(), 0, 0, 24, 0), 1);
    const int w = original.GetWidth(), h = original.GetHeight();
    struct Expected {
        std::string name;
        int width;
        int height;
    };
    std::vector<Expected> files = {{"source.png", w, h},     {"reference.png", w, h}, {"corrected.png", w, h},
                                   {"preview.png", w, h},    {"display.png", w / 2, h / 2}};
    for (const ScopeModeEntry& m : kScopeModes)
        files.push_back({std::string("scope-") + m.name + ".png", kScopeWidth, kScopeHeight});
    for (const Expected& e : files) {
        const std::string path = out + "/" + e.name;
        const RgbImage image = ReadPng(path);
        EXPECT_EQ(image.width, e.width) << e.name << " is not a PNG of the expected size";
        EXPECT_EQ(image.height, e.height) << e.name;
        EXPECT_NE(r.out.find("wrote " + path), std::string::npos) << "the demo names " << e.name << "\n" << r.out;
    }
    const std::string json = ReadFile(out + "/correction.json");
    tagCOLORCORRINFO record;
    CorrectionFormat format;
    std::string error;
    ASSERT_TRUE(ParseCorrection(json.data(), json.size(), record, format, error)) << error;
    EXPECT_EQ(record.dwFlags & (CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR),
              uint32_t(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR))
        << "the sample correction uses every stage";
    EXPECT_GE(record.Match.dwCount, 2u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"results"});

    // The source is the default picture as it is; the corrected picture and
    // the preview differ from it, and the preview has the reference in its
    // top-right third.
    const RgbImage source = ReadPng(out + "/source.png");
    const RgbImage corrected = ReadPng(out + "/corrected.png");
    const RgbImage preview = ReadPng(out + "/preview.png");
    const RgbImage reference = ReadPng(out + "/reference.png");
    EXPECT_NE(source.pixels, corrected.pixels);
    ASSERT_EQ(preview.pixels.size(), reference.pixels.size());
    const size_t row = size_t(w) * 3;
    const size_t topRight = row * 10 + size_t(w - 10) * 3;
    EXPECT_EQ(preview.pixels[topRight], reference.pixels[topRight]);
    EXPECT_EQ(preview.pixels[topRight + 1], reference.pixels[topRight + 1]);
    const size_t bottomLeft = row * size_t(h - 10) + 30;
    EXPECT_EQ(preview.pixels[bottomLeft], corrected.pixels[bottomLeft]);
    EXPECT_EQ(preview.pixels[bottomLeft + 1], corrected.pixels[bottomLeft + 1]);
}

TEST(DemoCommand, AFolderThatCannotBeMadeFailsWithoutFiles)
{
    TempDir dir;
    WriteFile(dir.File("plain"), "a file, not a folder");
    const ProcessResult r = Cli({"demo", "-o", dir.File("plain/out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("demo: " + dir.File("plain/out") + ": cannot create the folder", 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"plain"});
}

TEST(DemoCommand, HelpTextsNameTheNewSubcommands)
{
    const ProcessResult top = Cli({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    for (const char* text : {"demo", "scope", "--rt", "colorcorrect demo -o out"})
        EXPECT_NE(top.out.find(text), std::string::npos) << text << "\n" << top.out;
    for (const char* sub : {"demo", "scope", "lut"}) {
        const ProcessResult r = Cli({sub, "--help"});
        EXPECT_EQ(r.exitCode, 0) << sub;
        EXPECT_NE(r.out.find(std::string("Usage: colorcorrect ") + sub), std::string::npos) << r.out;
    }
    const ProcessResult scope = Cli({"scope", "--help"});
    for (const char* text : {"vector", "waveform", "histogram", "lightning", "cube", "combined", "--angles",
                             "--intensity", "--isolate", "--channel", "--reference"})
        EXPECT_NE(scope.out.find(text), std::string::npos) << text;
}
