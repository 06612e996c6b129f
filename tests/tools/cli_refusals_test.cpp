// The tool's refusals, each with its exit code and its whole message; a
// refused command leaves no file behind and an existing output untouched.
// What the tool writes when it succeeds is checked by tests/golden.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/scope_render.h>
#include "support/run_process.h"
#include <colorcorrect/formats/y4m.h>

using namespace colorcorrect::formats;
using colorcorrect::test::ProcessResult;
using colorcorrect::test::ReadFile;
using colorcorrect::test::RunProcess;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

namespace {

struct Refusal {
    std::vector<std::string> args; // "@" stands for the scratch folder
    int exitCode;
    std::string err;               // the whole of standard error, "@" likewise
    std::string input = {};        // standard input
};

const Refusal kRefusals[] = {
    // Usage errors: exit 2 and a pointer to the help.
    {{}, 2, "colorcorrect: A subcommand is required (see 'colorcorrect --help')\n"},
    {{"apply", "a.png", "b.png"}, 2,
     "colorcorrect apply: --correction is required (see 'colorcorrect apply --help')\n"},
    {{"lut", "-c", "@look.json", "--cube", "1", "@x.cube"}, 2,
     "colorcorrect lut: --cube: Value 1 not in range 2 to 256 (see 'colorcorrect lut --help')\n"},
    {{"lut", "-c", "@look.json", "--rt", "--cube", "17", "@x.rtlut"}, 2,
     "colorcorrect lut: --cube excludes --rt (see 'colorcorrect lut --help')\n"},
    {{"apply", "-c", "@look.json", "--progress", "--no-progress", "@in.y4m", "@o.y4m"}, 2,
     "colorcorrect apply: --progress and --no-progress exclude each other\n"},
    {{"apply", "-c", "@look.json", "--quality", "101", "@in.png", "@o.jpg"}, 2,
     "colorcorrect apply: --quality: Value 101 not in range 1 to 100 (see 'colorcorrect apply --help')\n"},
    {{"scope", "vector", "@in.png"}, 2,
     "colorcorrect scope: --output is required (see 'colorcorrect scope --help')\n"},
    {{"auto", "gray", "5,5", "-o", "@o.json"}, 2,
     "colorcorrect auto: --source is required (see 'colorcorrect auto --help')\n"},
    // apply
    {{"apply", "-c", "@none.json", "@in.png", "@o.png"}, 1, "apply: @none.json: cannot open: No such file or directory\n"},
    {{"apply", "-c", "@look.json", "-j", "1024", "@huge.y4m", "@o.y4m"}, 1,
     "apply: -j 1024 needs 385 MB a worker for these frames, more than half this machine's memory holds: use -j \n"},
    {{"apply", "-c", "@look.json", "@none.png", "@o.png"}, 1, "apply: @none.png: cannot open: No such file or directory\n"},
    {{"apply", "-c", "@range.json", "@in.png", "@o.png"}, 1, "apply: @range.json: base.y_gamma 300 is outside -255..255\n"},
    {{"apply", "-c", "@look.json", "@damaged.png", "@old.png"}, 1, "apply: @damaged.png: damaged PNG: \n"},
    {{"apply", "-c", "@look.json", "@c422.y4m", "@o.y4m"}, 1,
     "apply: @c422.y4m: stream header: colour space C422 is not supported (supported: 444, 444alpha, 420jpeg, "
     "420mpeg2, 420paldv; 8 bits)\n"},
    {{"apply", "-c", "@look.json", "-", "@o.y4m"}, 1,
     "apply: standard input: stream header: frames of 65536 x 65536 pixels are too large\n",
     "YUV4MPEG2 W65536 H65536 C444\n"},
    {{"apply", "-c", "@look.json", "@look.json", "@o.png"}, 1,
     "apply: @look.json: not a PNG, JPEG or BMP picture, nor a YUV4MPEG2 stream\n"},
    {{"apply", "-c", "@look.json", "-", "@o.png"}, 1, "apply: standard input: empty input: no picture or stream\n"},
    {{"apply", "-c", "-", "-", "-"}, 1, "apply: the correction and the input cannot both come from standard input\n"},
    {{"apply", "-c", "@look.json", "@in.png", "@o.tif"}, 1,
     "apply: @o.tif: cannot tell the picture format from the name: use .png, .jpg, .jpeg or .bmp, or --format\n"},
    {{"apply", "-c", "@look.json", "@in.y4m", "@o.png"}, 1,
     "apply: @o.png: the input is a YUV4MPEG2 stream, which is written as one, but this name asks for a PNG "
     "picture\n"},
    {{"apply", "-c", "@look.json", "@huge.png", "@o.png"}, 1,
     "apply: @huge.png: the picture is too large (at most 1 GiB at 4 bytes a pixel)\n"},
    {{"apply", "-c", "@look.json", "@in.png", "@nodir/o.png"}, 1, "apply: @nodir/o.png: cannot create: No such file or directory\n"},
    {{"serve", "@big.png"}, 1, "serve: @big.png: the picture is 8000 x 8000, more than the 40 million pixels allowed\n"},
    // Successes that say something, or must say nothing.
    {{"apply", "-c", "@look.json", "@alpha.png", "@o.jpg"}, 0,
     "apply: @o.jpg: JPEG has no alpha channel; the alpha channel is left out\n"},
    {{"apply", "-c", "@look.json", "@in.y4m", "@o.y4m"}, 0, ""}, // no progress line into a pipe
    {{"lut", "-c", "@off.json", "--rt", "@o.rtlut"}, 0, "lut: @off.json: note: the primary group is off, but the package carries base's settings as they are\n"},
    // convert, info, lut, demo
    {{"convert", "@size.ccr", "@o.json"}, 1, "convert: @size.ccr: base size field is 35, expected 36\n"},
    {{"convert", "@short.ccr", "@o.json"}, 1,
     "convert: @short.ccr: not a correction file: neither JSON (which starts with '{') nor a 564-byte binary "
     "record (this has 500 bytes)\n"},
    {{"info", "@none.json"}, 1, "info: @none.json: cannot open: No such file or directory\n"},
    {{"lut", "-c", "@none.json", "--rt", "@o.rtlut"}, 1, "lut: @none.json: cannot open: No such file or directory\n"},
    {{"demo", "-o", "@look.json/out"}, 1, "demo: @look.json/out: cannot create the folder: Not a directory\n"},
    // scope
    {{"scope", "sideways", "@in.png", "-o", "@o.png"}, 1, "scope: unknown display 'sideways': expected vector, waveform, histogram, lightning, cube or combined\n"},
    {{"scope", "vector", "@look.json", "-o", "@o.png"}, 1, "scope: @look.json: not a PNG, JPEG or BMP picture\n"},
    {{"scope", "cube", "@in.png", "-o", "@o.png", "--angles", "1,2"}, 1, "scope: --angles '1,2': expected three whole numbers of degrees, A,B,G (for example 90,90,-90)\n"},
    {{"scope", "cube", "@in.png", "-o", "@o.png", "--angles", "0,200,0"}, 1,
     "scope: --angles: alpha and gamma must lie in -180..180 and beta in 0..180\n"},
    {{"scope", "vector", "@in.png", "-o", "@o.png", "--isolate", "x"}, 1, "scope: --isolate 'x': expected a match vector number N or N:TYPE (for example 1 or 1:7)\n"},
    {{"scope", "vector", "-c", "@look.json", "@in.png", "-o", "@o.png", "--isolate", "5"}, 1,
     "scope: @look.json: --isolate: vector 5 is not in use: the correction has 2 match vectors (match.count)\n"},
    {{"scope", "vector", "@in.png", "-o", "@o.png", "--isolate", "1"}, 1,
     "scope: --isolate needs the correction's match vectors on (flags.match_vector)\n"},
    {{"scope", "vector", "@in.png", "-o", "@o.png", "--channel", "purple"}, 1, "scope: --channel 'purple': expected all, red, green, blue or luma\n"},
    {{"scope", "vector", "@in.png", "-o", "@o.png", "--intensity", "300"}, 1, "scope: --intensity 300 is outside -12..255\n"},
    {{"scope", "vector", "-", "--reference", "-", "-o", "@o.png"}, 1, "scope: only one of the inputs can come from standard input\n"},
    // auto
    {{"auto", "sharpen", "-s", "@in.png", "-o", "@o.json"}, 1, "auto: unknown analysis 'sharpen': expected gray, tone, colour, contrast, histmatch, huematch or vector\n"},
    {{"auto", "gray", "1;2", "-s", "@in.png", "-o", "@o.json"}, 1, "auto: point '1;2': expected X,Y in pixels (or a pair SX,SY:RX,RY)\n"},
    {{"auto", "tone", "1,2:3", "-r", "@in.png", "-s", "@in.png", "-o", "@o.json"}, 1, "auto: point pair '1,2:3': expected SX,SY:RX,RY in pixels\n"},
    {{"auto", "gray", "500,2", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: point 500,2 lies outside the 24 x 16 source picture\n"},
    {{"auto", "gray", "1,1", "2,2", "3,3", "4,4", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: gray takes one, two or three points X,Y of the source\n"},
    {{"auto", "gray", "1,1", "2,2", "--mode", "gamma", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: --mode is for gray with one point\n"},
    {{"auto", "gray", "5,5", "--mode", "bright", "-s", "@in.png", "-o", "@o.json"}, 1, "auto: --mode 'bright': expected white, black, gamma or both\n"},
    {{"auto", "contrast", "5,5", "6,6", "--mode", "gamma", "-s", "@in.png", "-o", "@o.json"}, 1, "auto: --mode is for gray and tone\n"},
    {{"auto", "tone", "1,1:2,2", "--mode", "black", "-r", "@in.png", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: tone --mode is white, gamma or both\n"},
    {{"auto", "colour", "1,1:2,2", "3,3:4,4", "-r", "@in.png", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: colour takes one or three point pairs SX,SY:RX,RY (source point, reference point)\n"},
    {{"auto", "contrast", "5,5", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: contrast takes two points X,Y of the source (a dark and a bright one)\n"},
    {{"auto", "gray", "5,5", "-r", "@in.png", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: --reference: this analysis does not use a reference picture\n"},
    {{"auto", "histmatch", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: this analysis needs a reference picture (--reference)\n"},
    {{"auto", "histmatch", "-r", "@in.png", "--source-rect", "0,0,5,5", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: region 0,0,5,5 of the source picture is smaller than 10 x 10 pixels\n"},
    {{"auto", "vector", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: vector needs the source region it selects (--rect L,T,R,B)\n"},
    {{"auto", "vector", "--rect", "1,2,3", "-s", "@in.png", "-o", "@o.json"}, 1, "auto: --rect '1,2,3': expected a region LEFT,TOP,RIGHT,BOTTOM in pixels\n"},
    {{"auto", "vector", "--rect", "10,10,5,14", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: region 10,10,5,14 is not a region of the 24 x 16 source picture (left,top,right,bottom with "
     "right and bottom exclusive)\n"},
    {{"auto", "vector", "--rect", "0,0,4,4", "--index", "0", "-s", "@in.png", "-o", "@o.json"}, 1,
     "auto: @in.png: --index 0 is outside 1..15 (vector 0 is the background)\n"},
    {{"auto", "gray", "5,5", "-s", "@in.png", "-c", "@none.json", "-o", "@o.json"}, 1,
     "auto: @none.json: cannot open: No such file or directory\n"},
    {{"auto", "gray", "5,5", "-s", "@look.json", "-o", "@o.json"}, 1, "auto: @look.json: not a PNG, JPEG or BMP picture\n"},
};

void PrintTo(const Refusal& r, std::ostream* os)
{
    for (const std::string& a : r.args)
        *os << a << " ";
}

std::string At(std::string text, const std::string& dir)
{
    for (size_t at = text.find('@'); at != std::string::npos; at = text.find('@', at + dir.size()))
        text.replace(at, 1, dir + "/");
    return text;
}

std::string Png(int w, int h, int channels, bool flat)
{
    RgbImage image{w, h, channels, {}};
    for (int i = 0; i < w * h * channels; ++i)
        image.pixels.push_back(static_cast<uint8_t>(flat ? 100 : i * 37 % 251));
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(EncodeImage(image, ImageFormat::Png, EncodeOptions{}, bytes, error)) << error;
    return std::string(bytes.begin(), bytes.end());
}

// A 1 x 1 PNG whose header claims side x side pixels (checksum fixed).
std::string HugePng(uint32_t side)
{
    std::string png = Png(1, 1, 3, true);
    for (int k = 0; k < 8; ++k)
        png[size_t(16 + k)] = static_cast<char>(side >> (24 - 8 * (k % 4)));
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        c ^= static_cast<uint8_t>(png[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    for (int k = 0; k < 4; ++k)
        png[size_t(29 + k)] = static_cast<char>(~c >> (24 - 8 * k));
    return png;
}

class CliRefusal : public ::testing::TestWithParam<Refusal> {
protected:
    void SetUp() override
    {
        const std::string d = dir.Path() + "/";
        tagCOLORCORRINFO look = DefaultCorrection();
        look.dwFlags = CC_PRIMARY | CC_MATCH_VECTOR;
        look.Match.dwCount = 2;
        WriteFile(d + "look.json", CorrectionToJson(look));
        look.dwFlags = CC_SIX_VECTOR;
        WriteFile(d + "off.json", CorrectionToJson(look));
        WriteFile(d + "range.json", R"({"format": "colorcorrect-correction", "version": 1, "base": {"y_gamma": 300}})");
        look.Base.dwSize = 35;
        const std::string record(reinterpret_cast<const char*>(&look), sizeof look);
        WriteFile(d + "size.ccr", record);
        WriteFile(d + "short.ccr", record.substr(0, 500));
        WriteFile(d + "in.png", Png(24, 16, 3, false));
        WriteFile(d + "alpha.png", Png(4, 4, 4, false));
        WriteFile(d + "damaged.png", Png(24, 16, 3, false).substr(0, 60));
        WriteFile(d + "huge.png", HugePng(100000));
        WriteFile(d + "big.png", HugePng(8000));
        WriteFile(d + "old.png", "old");
        std::string stream = FormatY4mHeader(MakeY4mHeader(8, 8, Y4mChroma::C444));
        for (int f = 0; f < 2; ++f)
            stream += "FRAME\n" + std::string(192, char(f * 90));
        WriteFile(d + "in.y4m", stream);
        WriteFile(d + "huge.y4m", "YUV4MPEG2 W8192 H8192 F25:1 C444\n");
        WriteFile(d + "c422.y4m", "YUV4MPEG2 W4 H4 F25:1 C422\nFRAME\n");
        before = dir.Entries();
    }

    TempDir dir;
    std::vector<std::string> before;
};

} // namespace

TEST_P(CliRefusal, ExitCodeAndWholeMessage)
{
    const Refusal& c = GetParam();
    std::vector<std::string> argv{COLORCORRECT_CLI_PATH};
    for (const std::string& a : c.args)
        argv.push_back(At(a, dir.Path()));
    const ProcessResult r = RunProcess(argv, c.input);
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, c.exitCode);
    const std::string err = At(c.err, dir.Path());
    if (err.size() > 2 && err.compare(err.size() - 2, 2, " \n") == 0) // the library's words follow
        EXPECT_EQ(r.err.substr(0, err.size() - 1), err.substr(0, err.size() - 1)) << r.err;
    else
        EXPECT_EQ(r.err, err);
    if (c.exitCode != 0) {
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(dir.Entries(), before) << "a refused command left a file";
        EXPECT_EQ(ReadFile(dir.File("old.png")), "old");
    }
}

INSTANTIATE_TEST_SUITE_P(Tool, CliRefusal, ::testing::ValuesIn(kRefusals));

TEST(ScopeRender, NoPictureIsTheFiltersRefusalNotAShortageOfMemory)
{
    CVoraDib none, display, corrected;
    std::string error;
    EXPECT_FALSE(RenderScope(DefaultCorrection(), none, nullptr, ScopeSettings{}, display, corrected, error));
    EXPECT_EQ(error, "the display filter refused the picture");
}

// A cut input: every complete frame before the cut is written, in order, whatever -j; the cut is reported.
TEST(CutStream, KeepsEveryCompleteFrameWithAnyNumberOfWorkers)
{
    TempDir dir;
    WriteFile(dir.File("look.json"), R"({"format": "colorcorrect-correction", "version": 1, "base": {"y_gamma": 40}})");
    const Y4mHeader header = MakeY4mHeader(16, 16, Y4mChroma::C420Jpeg);
    const size_t frame = 6 + header.FrameBytes();
    std::string stream = FormatY4mHeader(header);
    for (int f = 0; f < 20; ++f)
        stream += "FRAME\n" + std::string(header.FrameBytes(), char(f * 11));
    WriteFile(dir.File("whole.y4m"), stream);
    WriteFile(dir.File("cut.y4m"), stream.substr(0, stream.size() - 3 * frame - frame / 2));
    const auto apply = [&](const std::string& in, const std::string& out, const char* threads) {
        return RunProcess({COLORCORRECT_CLI_PATH, "apply", "-c", dir.File("look.json"), "-j", threads, dir.File(in), dir.File(out)});
    };
    ASSERT_EQ(apply("whole.y4m", "whole-out.y4m", "1").exitCode, 0);
    const std::string whole = ReadFile(dir.File("whole-out.y4m"));
    for (const char* threads : {"1", "2", "4"}) {
        const ProcessResult r = apply("cut.y4m", "cut-out.y4m", threads);
        EXPECT_EQ(r.exitCode, 1) << threads;
        EXPECT_EQ(r.err, "apply: " + dir.File("cut.y4m") + ": frame 17 is truncated: " + std::to_string(frame / 2 - 6) +
                             " of 384 bytes (the 16 complete frames before it were corrected and written)\n");
        EXPECT_TRUE(ReadFile(dir.File("cut-out.y4m")) == whole.substr(0, whole.size() - 4 * frame)) << threads;
    }
}
