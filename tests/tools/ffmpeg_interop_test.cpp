// The tool between ffmpeg processes: streams pass through a pipe, ffmpeg
// reads what the tool writes, and ffmpeg's lut3d with the tool's .cube
// table nearly gives what `apply` gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/frame_convert.h>
#include <colorcorrect/formats/image_io.h>
#include "support/run_process.h"

using colorcorrect::test::ProcessResult;
using colorcorrect::test::ReadFile;
using colorcorrect::test::RunShell;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

namespace {

const std::string kCli = std::string("'") + COLORCORRECT_CLI_PATH + "'";
const std::string kSource = "ffmpeg -v error -f lavfi -i testsrc2=size=96x64:rate=25 -frames:v ";

// A smooth look: interpolation between grid points can follow it.
const char* const kLook = R"({"format": "colorcorrect-correction", "version": 1,
 "flags": {"primary": true, "clipping": true}, "base": {"range_flags": {"legal": true}, "soft_y": 30,
 "y_gamma": 30, "sat": 40, "hue": 20, "r_black": 10}})";

ProcessResult Sh(const std::string& command)
{
    ProcessResult r = RunShell("set -e; " + command);
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
    return r;
}

// Peak signal-to-noise ratio of two pictures of one size, in dB.
double Psnr(const std::string& a, const std::string& b)
{
    colorcorrect::formats::RgbImage pa, pb;
    std::string error;
    const std::string ba = ReadFile(a), bb = ReadFile(b);
    EXPECT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(ba.data()), ba.size(), pa, error)) << error;
    EXPECT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(bb.data()), bb.size(), pb, error)) << error;
    EXPECT_EQ(pa.pixels.size(), pb.pixels.size());
    double sum = 0;
    for (size_t i = 0; i < std::min(pa.pixels.size(), pb.pixels.size()); ++i)
        sum += (double(pa.pixels[i]) - pb.pixels[i]) * (double(pa.pixels[i]) - pb.pixels[i]);
    const double mse = sum / double(std::max<size_t>(1, pa.pixels.size()));
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

class Ffmpeg : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!colorcorrect::test::ProgramOnPath("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed";
        WriteFile(dir.File("look.json"), kLook);
        WriteFile(dir.File("identity.json"), R"({"format": "colorcorrect-correction", "version": 1})");
    }
    std::string F(const std::string& name) const { return "'" + dir.File(name) + "'"; }
    TempDir dir;
};

} // namespace

// FFmpeg's streams carry no range tag and are limited range: a neutral
// correction moves no sample by more than 1 (the library's chroma floor),
// and taken as the library's own full range it moves only that floor.
TEST_F(Ffmpeg, IdentityPipeBetweenTwoFfmpegsKeepsTheVideo)
{
    for (const std::string format : {"yuv444p", "yuv420p"})
        for (const std::string range : {"", " --range full"}) {
            const std::string reference = Sh(kSource + "6 -pix_fmt " + format + " -f rawvideo -").out;
            const std::string piped = Sh(kSource + "6 -pix_fmt " + format + " -f yuv4mpegpipe - | " + kCli +
                                         " apply -c " + F("identity.json") + range + " - - | ffmpeg -v error -f "
                                         "yuv4mpegpipe -i - -f rawvideo -pix_fmt " + format + " -").out;
            ASSERT_EQ(piped.size(), reference.size()) << format;
            ASSERT_EQ(reference.size(), 96u * 64u * 6u * (format == "yuv444p" ? 6u : 3u) / 2u);
            for (size_t i = 0; i < reference.size(); ++i) {
                const int a = uint8_t(reference[i]), b = uint8_t(piped[i]);
                ASSERT_LE(std::abs(a - b), 1) << format << range << " byte " << i;
                // In full range only the chroma floor moves: -128 comes out as -127.
                ASSERT_TRUE(range.empty() || a == b || (a == 0 && b == 1)) << format << " byte " << i;
            }
        }
}

// One look on one picture, delivered as a PNG and as a BT.709 limited-range
// stream made by FFmpeg: the stream's samples are read as what they are, so
// the two results agree.
TEST_F(Ffmpeg, PngAndBt709LimitedStreamOfOnePictureGetTheSameLook)
{
    Sh("ffmpeg -v error -f lavfi -i testsrc2=size=160x120 -frames:v 1 -pix_fmt rgb24 " + F("in.png"));
    const std::string toStream = "ffmpeg -v error -i " + F("in.png") + " -vf scale=out_color_matrix=bt709:out_range=tv "
                                 "-pix_fmt yuv444p -color_range tv -f yuv4mpegpipe - | " + kCli + " apply -c " + F("look.json");
    const std::string toPng = " - - | ffmpeg -v error -f yuv4mpegpipe -i - -vf scale=in_color_matrix=bt709:in_range=tv "
                              "-pix_fmt rgb24 ";
    Sh(kCli + " apply -c " + F("look.json") + " " + F("in.png") + " " + F("png.png"));
    Sh(toStream + " --matrix bt709" + toPng + F("y4m.png"));
    Sh(toStream + " --range full" + toPng + F("misread.png"));
    const double agreed = Psnr(dir.File("png.png"), dir.File("y4m.png"));
    EXPECT_GE(agreed, 40.0);
    EXPECT_LT(Psnr(dir.File("png.png"), dir.File("misread.png")), agreed - 10.0) << "the stream's YUV made no difference";
}

TEST_F(Ffmpeg, Lut3dWithOurCubeGivesNearlyWhatApplyGives)
{
    Sh("ffmpeg -v error -f lavfi -i testsrc2=size=160x120 -frames:v 1 -pix_fmt rgb24 " + F("in.png"));
    Sh(kCli + " apply -c " + F("look.json") + " " + F("in.png") + " " + F("apply.png"));
    Sh(kCli + " lut -c " + F("look.json") + " --cube 33 " + F("look.cube"));
    Sh("ffmpeg -v error -i " + F("in.png") + " -vf \"lut3d=file=" + F("look.cube") +
       ":interp=tetrahedral\" -pix_fmt rgb24 " + F("lut.png"));
    colorcorrect::formats::RgbImage a, b;
    std::string error;
    const std::string applyBytes = ReadFile(dir.File("apply.png")), lutBytes = ReadFile(dir.File("lut.png"));
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(applyBytes.data()), applyBytes.size(), a, error)) << error;
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(lutBytes.data()), lutBytes.size(), b, error)) << error;
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    std::vector<int> diff;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        diff.push_back(std::abs(int(a.pixels[i]) - int(b.pixels[i])));
        sum += diff.back();
    }
    std::sort(diff.begin(), diff.end());
    EXPECT_LE(sum / double(diff.size()), 1.0);
    EXPECT_LE(diff[diff.size() * 99 / 100], 5);
    EXPECT_LE(diff.back(), 16);
    EXPECT_GT(diff.back(), 0) << "the two pictures are identical: was the look applied at all?";
}

// At every siting, a 4:2:0 hue turn is the 4:4:4 turn of the interpolation averaged down with these weights.
TEST_F(Ffmpeg, HueTurnOf420ChromaIsThe444TurnAveragedDown)
{
    using namespace colorcorrect::formats;
    const std::string y4m = Sh(kSource + "1 -pix_fmt yuv420p -f yuv4mpegpipe -").out, header = y4m.substr(0, y4m.find('\n'));
    const std::string json = R"({"format": "colorcorrect-correction", "version": 1, "flags": {"primary": true}, "base": {"hue": 64}})";
    const std::vector<uint8_t> frame(y4m.begin() + std::ptrdiff_t(header.size() + 7), y4m.end()); // after "FRAME\n"
    Y4mHeader h;
    tagCOLORCORRINFO record;
    CorrectionProcessor processor;
    std::string error;
    ASSERT_TRUE(ParseY4mHeader(header, h, error) && ParseCorrectionJson(json.data(), json.size(), record, error) &&
                processor.Setup(record, error) && frame.size() == h.FrameBytes()) << error;
    const int centred[] = {1, 3, 3, 1}, cosited[] = {1, 2, 1, 0};
    for (const Y4mChroma siting : {Y4mChroma::C420Jpeg, Y4mChroma::C420Mpeg2, Y4mChroma::C420Paldv}) {
        h.chroma = siting;
        const FrameConverter converter(h);
        const int *wx = siting == Y4mChroma::C420Jpeg ? centred : cosited, *wy = siting == Y4mChroma::C420Paldv ? cosited : centred;
        std::vector<uint8_t> before(converter.PictureBytes()), after(before.size()), out = frame;
        tagYUVBMINFOHEADER info = converter.PictureHeader();
        converter.ToPicture(frame.data(), before.data());
        ASSERT_TRUE(processor.Process(info, before.data(), after.data()));
        converter.FromPicture(before.data(), after.data(), out.data(), 1, 255);
        for (size_t k = h.LumaBytes(); k < out.size(); ++k) {
            const int c = 1 + int(k >= h.LumaBytes() + h.ChromaBytes()), s = int((k - h.LumaBytes()) % h.ChromaBytes());
            int sum = 0, total = 0;
            for (int dy = 0; dy < 4; ++dy)
                for (int dx = 0; dx < 4; ++dx) {
                    const int y = std::clamp(2 * (s / h.ChromaWidth()) - 1 + dy, 0, h.height - 1);
                    const int x = std::clamp(2 * (s % h.ChromaWidth()) - 1 + dx, 0, h.width - 1);
                    sum += wy[dy] * wx[dx] * after[converter.Stride() * size_t(y) + 3 * size_t(x) + size_t(c)];
                    total += wy[dy] * wx[dx];
                }
            ASSERT_NEAR(out[k], (sum + total / 2) / total, 1) << Y4mChromaTag(siting) << " plane " << c << " sample " << s;
        }
    }
}
