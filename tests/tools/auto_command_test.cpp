// End-to-end tests of `colorcorrect auto`.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include "support/run_process.h"

using namespace colorcorrect::formats;
using colorcorrect::test::FileExists;
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

// Bars of gray levels with a colour cast (red up, blue down), and the same
// without the cast.
RgbImage Bars(int cast)
{
    RgbImage image;
    image.width = 120;
    image.height = 60;
    image.channels = 3;
    image.pixels.resize(size_t(120) * 60 * 3);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 120; ++x) {
            const int level = 30 + (x / 20) * 40;
            uint8_t* p = &image.pixels[(size_t(y) * 120 + x) * 3];
            p[0] = static_cast<uint8_t>(std::min(255, level + cast));
            p[1] = static_cast<uint8_t>(level);
            p[2] = static_cast<uint8_t>(std::max(0, level - cast));
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

tagCOLORCORRINFO ReadCorrection(const std::string& path)
{
    const std::string bytes = ReadFile(path);
    tagCOLORCORRINFO record = DefaultCorrection();
    CorrectionFormat format;
    std::string error;
    EXPECT_TRUE(ParseCorrection(bytes.data(), bytes.size(), record, format, error)) << path << ": " << error;
    return record;
}

class AutoCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(F("cast.png"), Png(Bars(24)));
        WriteFile(F("clean.png"), Png(Bars(0)));
    }
    std::string F(const std::string& name) const { return dir.File(name); }
    TempDir dir;
};

} // namespace

TEST_F(AutoCommand, GrayBalanceTakesTheCastOut)
{
    const ProcessResult r = Cli({"auto", "gray", "70,30", "-s", F("cast.png"), "-o", F("gray.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const tagCOLORCORRINFO cc = ReadCorrection(F("gray.json"));
    EXPECT_NE(cc.dwFlags & CC_PRIMARY, 0u);
    EXPECT_LT(cc.Base.sRWhite, 0) << "red comes down";
    EXPECT_GT(cc.Base.sBWhite, 0) << "blue goes up";

    // Applying it makes the picked bar (nearly) gray.
    ASSERT_EQ(Cli({"apply", "-c", F("gray.json"), F("cast.png"), F("fixed.png")}).exitCode, 0);
    const std::string bytes = ReadFile(F("fixed.png"));
    RgbImage fixed;
    std::string error;
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), fixed, error)) << error;
    const uint8_t* p = &fixed.pixels[(size_t(30) * 120 + 70) * 3];
    EXPECT_LE(std::abs(int(p[0]) - int(p[2])), 4) << "red " << int(p[0]) << " blue " << int(p[2]);
}

TEST_F(AutoCommand, EveryKindWritesACorrection)
{
    const std::vector<std::vector<std::string>> runs = {
        {"gray", "10,10", "50,10", "110,10"},
        {"gray", "10,10", "110,10"},
        {"gray", "50,10", "--mode", "gamma"},
        {"tone", "50,10:50,10", "-r", F("clean.png"), "--mode", "both"},
        {"colour", "50,10:50,10", "-r", F("clean.png")},
        {"color", "10,10:10,10", "50,10:50,10", "110,10:110,10", "-r", F("clean.png")},
        {"contrast", "10,10", "110,50"},
        {"histmatch", "-r", F("clean.png"), "--source-rect", "0,0,60,60", "--reference-rect", "0,0,60,60"},
        {"huematch", "-r", F("clean.png")},
        {"vector", "--rect", "40,10,60,30", "--widen", "60,10,80,30", "--to", "40,10,60,30", "-r", F("clean.png")},
    };
    int n = 0;
    for (std::vector<std::string> args : runs) {
        const int i = n++;
        const std::string out = F("r" + std::to_string(i) + (i % 2 == 1 ? ".ccr" : ".json"));
        args.insert(args.begin(), "auto");
        args.insert(args.end(), {"-s", F("cast.png"), "-o", out});
        const ProcessResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0) << args[1] << ": " << r.err;
        const std::string bytes = ReadFile(out);
        if (out.ends_with(".ccr"))
            EXPECT_EQ(bytes.size(), 564u) << args[1];
        else
            EXPECT_EQ(bytes.rfind("{", 0), 0u) << args[1];
        ReadCorrection(out);
    }
    const tagCOLORCORRINFO v = ReadCorrection(F("r9.ccr"));
    EXPECT_EQ(v.Match.dwCount, 2u);
    EXPECT_NE(v.dwFlags & CC_MATCH_VECTOR, 0u);
}

TEST_F(AutoCommand, StartingCorrectionIsKeptAndOutputCanBeStdout)
{
    tagCOLORCORRINFO look = DefaultCorrection();
    look.dwFlags = CC_SIX_VECTOR;
    look.Vector6.sSat[3] = -40;
    WriteFile(F("look.json"), CorrectionToJson(look));
    const ProcessResult r = Cli({"auto", "gray", "70,30", "-s", F("cast.png"), "-c", F("look.json"), "-o", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    tagCOLORCORRINFO cc;
    CorrectionFormat format;
    std::string error;
    ASSERT_TRUE(ParseCorrection(r.out.data(), r.out.size(), cc, format, error)) << error;
    EXPECT_EQ(format, CorrectionFormat::Json);
    EXPECT_EQ(cc.Vector6.sSat[3], -40);
    EXPECT_EQ(cc.dwFlags, uint32_t(CC_SIX_VECTOR | CC_PRIMARY));
}

TEST_F(AutoCommand, BadInputFailsWithOneLineAndNoOutput)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    WriteFile(F("junk.png"), "junk");
    const std::vector<Case> cases = {
        {{"auto", "sharpen", "-s", F("cast.png"), "-o", F("o.json")}, "auto: unknown analysis 'sharpen'"},
        {{"auto", "gray", "1;2", "-s", F("cast.png"), "-o", F("o.json")}, "auto: point '1;2'"},
        {{"auto", "tone", "1,2:3", "-r", F("clean.png"), "-s", F("cast.png"), "-o", F("o.json")},
         "auto: point pair '1,2:3'"},
        {{"auto", "gray", "500,2", "-s", F("cast.png"), "-o", F("o.json")},
         "auto: " + F("cast.png") + ": point 500,2 lies outside the 120 x 60 source picture"},
        {{"auto", "gray", "5,5", "-s", F("missing.png"), "-o", F("o.json")}, "auto: " + F("missing.png") + ": "},
        {{"auto", "gray", "5,5", "-s", F("junk.png"), "-o", F("o.json")}, "auto: " + F("junk.png") + ": "},
        {{"auto", "gray", "5,5", "-s", F("cast.png"), "-c", F("missing.json"), "-o", F("o.json")}, F("missing.json")},
        {{"auto", "histmatch", "-s", F("cast.png"), "-o", F("o.json")}, "needs a reference picture"},
        {{"auto", "gray", "5,5", "-r", F("clean.png"), "-s", F("cast.png"), "-o", F("o.json")},
         "does not use a reference picture"},
        {{"auto", "histmatch", "-r", F("clean.png"), "--source-rect", "0,0,5,5", "-s", F("cast.png"), "-o",
          F("o.json")},
         "smaller than 10 x 10"},
        {{"auto", "vector", "-s", F("cast.png"), "-o", F("o.json")}, "--rect"},
        {{"auto", "vector", "--rect", "1,2,3", "-s", F("cast.png"), "-o", F("o.json")}, "--rect '1,2,3'"},
        {{"auto", "gray", "5,5", "--mode", "bright", "-s", F("cast.png"), "-o", F("o.json")}, "--mode 'bright'"},
        {{"auto", "contrast", "5,5", "6,6", "--mode", "gamma", "-s", F("cast.png"), "-o", F("o.json")},
         "--mode is for gray and tone"},
        {{"auto", "gray", "5,5", "-s", F("cast.png"), "-o", F("nodir/o.json")}, F("nodir/o.json")},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << "expected '" << c.message << "' in: " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(FileExists(F("o.json"))) << c.message;
    }
    EXPECT_EQ(Cli({"auto", "gray", "5,5", "-o", F("o.json")}).exitCode, 2) << "no source: usage error";
    EXPECT_EQ(Cli({"auto", "--help"}).exitCode, 0);
}
