// End-to-end tests of the built `colorcorrect` tool: each runs the program
// on small generated inputs and checks its output files, standard output,
// standard error and exit code.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/stream_pipeline.h>
#include "support/run_process.h"
#include <colorcorrect/formats/y4m.h>

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

std::string Text(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

tagCOLORCORRINFO Look()
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING;
    r.Base.sYGamma = 30;
    r.Base.sSat = 50;
    r.Base.sHue = 18;
    r.Base.sBWhite = -20;
    r.Base.wRangeFlags = RANGE_LEGAL;
    r.Base.bySoftY = 20;
    r.Base.bySoftC = 20;
    r.Vector6.sSat[3] = -60;
    r.Match.dwCount = 2;
    r.Match.Vector[1].cU = -20;
    r.Match.Vector[1].cV = 40;
    r.Match.Vector[1].byHueWidth = 40;
    r.Match.Vector[1].sHue = 30;
    return r;
}

RgbImage Pattern(int w, int h, int channels, unsigned seed)
{
    RgbImage image;
    image.width = w;
    image.height = h;
    image.channels = channels;
    image.pixels.resize(size_t(w) * h * channels);
    std::mt19937 rng(seed);
    for (uint8_t& b : image.pixels)
        b = static_cast<uint8_t>(rng());
    return image;
}

std::string EncodeText(const RgbImage& image, ImageFormat format)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(EncodeImage(image, format, EncodeOptions{}, bytes, error)) << error;
    return Text(bytes);
}

RgbImage DecodeText(const std::string& text)
{
    RgbImage image;
    std::string error;
    EXPECT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(text.data()), text.size(), image, error)) << error;
    return image;
}

// What `apply` must make of a still picture: the library's conversion, the
// correction, the conversion back, computed in this process.
RgbImage Expected(const RgbImage& image, const tagCOLORCORRINFO& record)
{
    CorrectionProcessor processor;
    std::string error;
    EXPECT_TRUE(processor.Setup(record, error)) << error;
    CVoraDib picture;
    EXPECT_TRUE(RgbImageToYuvPicture(image, picture, error)) << error;
    tagDIBINFO* info = picture;
    BYTE* pixels = picture;
    EXPECT_TRUE(processor.Process(info->bmiHeader, pixels, pixels));
    RgbImage out;
    EXPECT_TRUE(YuvPictureToRgbImage(picture, image.channels, out, error)) << error;
    return out;
}

// A stream of `frames` frames of random planes; every chroma byte value
// (0 included) occurs.
std::string MakeStream(Y4mChroma chroma, int w, int h, int frames, unsigned seed)
{
    const Y4mHeader header = MakeY4mHeader(w, h, chroma);
    std::string s = FormatY4mHeader(header);
    std::mt19937 rng(seed);
    for (int f = 0; f < frames; ++f) {
        s += "FRAME\n";
        for (size_t i = 0; i < header.FrameBytes(); ++i)
            s += static_cast<char>(i < 256 ? i : rng());
    }
    return s;
}

// What `apply` must make of a stream, computed in this process.
std::string ExpectedStream(const std::string& input, const tagCOLORCORRINFO& record)
{
    CorrectionProcessor processor;
    std::string error;
    EXPECT_TRUE(processor.Setup(record, error)) << error;
    MemorySource source(input.data(), input.size());
    Y4mReader reader(source);
    EXPECT_TRUE(reader.ReadHeader(error)) << error;
    MemorySink sink;
    Y4mWriter writer(sink);
    EXPECT_TRUE(writer.WriteHeader(reader.Header(), error));
    PipelineOptions options;
    options.threads = 1;
    options.chromaLo = processor.Range().lo;
    options.chromaHi = processor.Range().hi;
    EXPECT_TRUE(RunStreamPipeline(reader, writer, processor.Processor(), options).Ok());
    return Text(sink.bytes);
}

// Offset of the first byte of frame data (after the header line and the
// first FRAME line), and the size of one frame with its FRAME line.
struct Layout {
    size_t first;
    size_t step;
    Y4mHeader header;
};

Layout StreamLayout(const std::string& s)
{
    Layout l;
    std::string error;
    EXPECT_TRUE(ParseY4mHeader(s.substr(0, s.find('\n')), l.header, error)) << error;
    l.first = s.find('\n') + 1 + 6;
    l.step = l.header.FrameBytes() + 6;
    return l;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.Path().empty());
        WriteFile(dir.File("look.json"), CorrectionToJson(Look()));
        WriteFile(dir.File("identity.json"), CorrectionToJson(DefaultCorrection()));
    }
    std::string F(const std::string& name) const { return dir.File(name); }

    TempDir dir;
};

} // namespace

// ---- help and usage ----------------------------------------------------------------

TEST_F(CliTest, HelpForTheToolAndEverySubcommand)
{
    const ProcessResult top = Cli({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    for (const char* text : {"Usage: colorcorrect [OPTIONS] SUBCOMMAND", "apply", "lut", "convert", "info",
                             "docs/correction-file.md", "Examples:"})
        EXPECT_NE(top.out.find(text), std::string::npos) << text << "\n" << top.out;
    for (const char* sub : {"apply", "lut", "convert", "info"}) {
        const ProcessResult r = Cli({sub, "--help"});
        EXPECT_EQ(r.exitCode, 0) << sub;
        EXPECT_NE(r.out.find(std::string("Usage: colorcorrect ") + sub), std::string::npos) << r.out;
        EXPECT_EQ(r.err, "");
    }
    const ProcessResult version = Cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("colorcorrect ", 0), 0u);
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndPointAtTheHelp)
{
    const ProcessResult none = Cli({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.err, "colorcorrect: A subcommand is required\nRun 'colorcorrect --help' for usage.\n");
    const ProcessResult noCorrection = Cli({"apply", "a.png", "b.png"});
    EXPECT_EQ(noCorrection.exitCode, 2);
    EXPECT_EQ(noCorrection.err,
              "colorcorrect apply: --correction is required\nRun 'colorcorrect apply --help' for usage.\n");
    const ProcessResult badSize = Cli({"lut", "-c", F("look.json"), "--cube", "1", F("x.cube")});
    EXPECT_EQ(badSize.exitCode, 2);
    EXPECT_NE(badSize.err.find("Run 'colorcorrect lut --help' for usage."), std::string::npos);
    EXPECT_FALSE(FileExists(F("x.cube")));
}

// ---- apply: still pictures --------------------------------------------------------------

TEST_F(CliTest, ApplyCorrectsPngExactlyAsTheLibraryDoes)
{
    const RgbImage image = Pattern(33, 17, 3, 1);
    WriteFile(F("in.png"), EncodeText(image, ImageFormat::Png));
    const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.png"), F("out.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const RgbImage out = DecodeText(ReadFile(F("out.png")));
    EXPECT_EQ(out.pixels, Expected(image, Look()).pixels);
    EXPECT_NE(out.pixels, image.pixels);
}

TEST_F(CliTest, ApplyKeepsAlpha)
{
    const RgbImage image = Pattern(8, 8, 4, 2);
    WriteFile(F("in.png"), EncodeText(image, ImageFormat::Png));
    const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.png"), F("out.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RgbImage out = DecodeText(ReadFile(F("out.bmp")));
    ASSERT_EQ(out.channels, 4);
    EXPECT_EQ(out.pixels, Expected(image, Look()).pixels);
    for (size_t i = 3; i < image.pixels.size(); i += 4)
        ASSERT_EQ(out.pixels[i], image.pixels[i]);
}

TEST_F(CliTest, ApplyReadsJpegAndBmpAndWritesJpeg)
{
    const RgbImage image = Pattern(16, 16, 3, 3);
    WriteFile(F("in.bmp"), EncodeText(image, ImageFormat::Bmp));
    ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.bmp"), F("out.jpg"), "--quality", "90"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RgbImage jpeg = DecodeText(ReadFile(F("out.jpg")));
    EXPECT_EQ(jpeg.width, 16);
    EXPECT_EQ(jpeg.height, 16);
    r = Cli({"apply", "-c", F("identity.json"), F("out.jpg"), F("again.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(DecodeText(ReadFile(F("again.png"))).width, 16);
}

TEST_F(CliTest, ApplyBetweenStandardInputAndOutput)
{
    const RgbImage image = Pattern(10, 6, 3, 4);
    const std::string png = EncodeText(image, ImageFormat::Png);
    // "-" out: the input's format; --format overrides.
    ProcessResult r = Cli({"apply", "-c", F("look.json"), "-", "-"}, png);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(DecodeText(r.out).pixels, Expected(image, Look()).pixels);
    EXPECT_EQ(r.out.substr(1, 3), "PNG");
    r = Cli({"apply", "-c", F("look.json"), "--format", "bmp", "-", "-"}, png);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 2), "BM");
}

TEST_F(CliTest, JpegOutputOfRgbaSaysAlphaIsLeftOut)
{
    WriteFile(F("in.png"), EncodeText(Pattern(4, 4, 4, 5), ImageFormat::Png));
    const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.png"), F("out.jpg")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "apply: " + F("out.jpg") + ": JPEG has no alpha channel; the alpha channel is left out\n");
}

// ---- apply: streams ----------------------------------------------------------------------

TEST_F(CliTest, IdentityLeaves444StreamUnchangedExceptTheChromaFloor)
{
    const std::string input = MakeStream(Y4mChroma::C444, 32, 16, 5, 6);
    const ProcessResult r = Cli({"apply", "-c", F("identity.json"), "-", "-"}, input);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out.size(), input.size());
    const Layout l = StreamLayout(input);
    size_t changed = 0;
    for (size_t i = 0; i < input.size(); ++i) {
        if (r.out[i] == input[i])
            continue;
        // The only change: chroma byte 0 (U or V of -128) becomes 1, the
        // engine's output limit of -127.
        ASSERT_GE(i, l.first);
        const size_t inFrame = (i - l.first) % l.step;
        ASSERT_GE(inFrame, l.header.LumaBytes()) << "luma changed at byte " << i;
        ASSERT_EQ(input[i], '\0') << "byte " << i;
        ASSERT_EQ(r.out[i], '\1') << "byte " << i;
        ++changed;
    }
    EXPECT_GT(changed, 0u);
}

TEST_F(CliTest, IdentityLeaves420StreamUnchangedExceptTheChromaFloor)
{
    for (const char* tag : {"C420jpeg", "C420mpeg2", "C420paldv"}) {
        std::string input = MakeStream(Y4mChroma::C420Jpeg, 21, 13, 3, 7);
        input.replace(input.find("C420jpeg"), 8, tag);
        const ProcessResult r = Cli({"apply", "-c", F("identity.json"), "-", "-"}, input);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_EQ(r.out.size(), input.size());
        for (size_t i = 0; i < input.size(); ++i)
            if (r.out[i] != input[i]) {
                ASSERT_EQ(input[i], '\0') << tag << " byte " << i;
                ASSERT_EQ(r.out[i], '\1') << tag << " byte " << i;
            }
    }
}

TEST_F(CliTest, StreamsAreCorrectedAsTheLibraryDoesInEveryFormat)
{
    for (Y4mChroma c : {Y4mChroma::C444, Y4mChroma::C444Alpha, Y4mChroma::C420Jpeg, Y4mChroma::C420Mpeg2,
                        Y4mChroma::C420Paldv}) {
        const std::string input = MakeStream(c, 19, 11, 7, 8);
        WriteFile(F("in.y4m"), input);
        const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.y4m"), F("out.y4m")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string out = ReadFile(F("out.y4m"));
        EXPECT_TRUE(out == ExpectedStream(input, Look())) << Y4mChromaTag(c);
        EXPECT_NE(out, input);
        if (c == Y4mChroma::C444Alpha) {
            const Layout l = StreamLayout(input);
            for (int f = 0; f < 7; ++f) {
                const size_t alpha = l.first + size_t(f) * l.step + 3 * l.header.LumaBytes();
                ASSERT_EQ(out.substr(alpha, l.header.LumaBytes()), input.substr(alpha, l.header.LumaBytes()));
            }
        }
    }
}

TEST_F(CliTest, ThreadCountDoesNotChangeTheResult)
{
    const std::string input = MakeStream(Y4mChroma::C420Jpeg, 40, 30, 12, 9);
    const ProcessResult one = Cli({"apply", "-c", F("look.json"), "-j", "1", "-", "-"}, input);
    const ProcessResult many = Cli({"apply", "-c", F("look.json"), "-j", "5", "-", "-"}, input);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    ASSERT_EQ(many.exitCode, 0) << many.err;
    EXPECT_TRUE(one.out == many.out);
}

TEST_F(CliTest, ProgressLineOnRequestOnly)
{
    const std::string input = MakeStream(Y4mChroma::C444, 8, 8, 3, 10);
    ProcessResult r = Cli({"apply", "-c", F("look.json"), "--progress", "-", "-"}, input);
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.rfind("\rframes ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("\rframes 3, "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - 5), " fps\n");
    r = Cli({"apply", "-c", F("look.json"), "-", "-"}, input); // standard error is a pipe here
    EXPECT_EQ(r.err, "");
    r = Cli({"apply", "-c", F("look.json"), "--progress", "--no-progress", "-", "-"}, input);
    EXPECT_EQ(r.exitCode, 2);
}

// ---- apply: bad input ---------------------------------------------------------------------

TEST_F(CliTest, MissingFilesAreNamed)
{
    ProcessResult r = Cli({"apply", "-c", F("none.json"), F("in.png"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("none.json") + ": cannot open: No such file or directory\n");
    r = Cli({"apply", "-c", F("look.json"), F("in.png"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("in.png") + ": cannot open: No such file or directory\n");
    EXPECT_FALSE(FileExists(F("out.png")));
}

TEST_F(CliTest, BadCorrectionFileIsExplained)
{
    WriteFile(F("bad.json"), R"({"format": "colorcorrect-correction", "version": 1, "base": {"y_gamma": 300}})");
    WriteFile(F("in.png"), EncodeText(Pattern(4, 4, 3, 11), ImageFormat::Png));
    const ProcessResult r = Cli({"apply", "-c", F("bad.json"), F("in.png"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("bad.json") + ": base.y_gamma 300 is outside -255..255\n");
    EXPECT_FALSE(FileExists(F("out.png")));
}

TEST_F(CliTest, DamagedPictureLeavesNoOutputAndKeepsAnOldOne)
{
    std::string png = EncodeText(Pattern(30, 30, 3, 12), ImageFormat::Png);
    png.resize(png.size() / 2);
    WriteFile(F("in.png"), png);
    WriteFile(F("out.png"), "old");
    const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.png"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("apply: " + F("in.png") + ": damaged PNG: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_EQ(ReadFile(F("out.png")), "old");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"identity.json", "in.png", "look.json", "out.png"}));
}

TEST_F(CliTest, TruncatedStreamLeavesNoOutput)
{
    std::string input = MakeStream(Y4mChroma::C444, 8, 8, 4, 13);
    input.resize(input.size() - 100);
    WriteFile(F("in.y4m"), input);
    const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.y4m"), F("out.y4m")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("in.y4m") + ": frame 4 is truncated: 92 of 192 bytes\n");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"identity.json", "in.y4m", "look.json"}));
}

TEST_F(CliTest, WrongStreamHeaderIsExplained)
{
    WriteFile(F("in.y4m"), "YUV4MPEG2 W4 H4 F25:1 C422\nFRAME\n");
    ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.y4m"), F("out.y4m")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("in.y4m") +
                         ": stream header: colour space C422 is not supported (supported: 444, 444alpha, 420jpeg, "
                         "420mpeg2, 420paldv; 8 bits)\n");
    r = Cli({"apply", "-c", F("look.json"), "-", "-"}, "YUV4MPEG2 W65536 H65536 C444\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: standard input: stream header: frames of 65536 x 65536 pixels are too large\n");
    EXPECT_FALSE(FileExists(F("out.y4m")));
}

TEST_F(CliTest, OtherInputsAreRefused)
{
    WriteFile(F("in.txt"), "hello");
    ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.txt"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("in.txt") + ": not a PNG, JPEG or BMP picture, nor a YUV4MPEG2 stream\n");
    r = Cli({"apply", "-c", F("look.json"), "-", F("out.png")}, "");
    EXPECT_EQ(r.err, "apply: standard input: empty input: no picture or stream\n");
    r = Cli({"apply", "-c", "-", "-", "-"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: the correction and the input cannot both come from standard input\n");
}

TEST_F(CliTest, OutputNamesMustFitTheInput)
{
    WriteFile(F("in.png"), EncodeText(Pattern(4, 4, 3, 14), ImageFormat::Png));
    ProcessResult r = Cli({"apply", "-c", F("look.json"), F("in.png"), F("out.tif")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("out.tif") +
                         ": cannot tell the picture format from the name: use .png, .jpg, .jpeg or .bmp, or "
                         "--format\n");
    WriteFile(F("in.y4m"), MakeStream(Y4mChroma::C444, 4, 4, 1, 15));
    r = Cli({"apply", "-c", F("look.json"), F("in.y4m"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("out.png") +
                         ": the input is a YUV4MPEG2 stream, which is written as one, but this name asks for a PNG "
                         "picture\n");
    EXPECT_FALSE(FileExists(F("out.png")));
    EXPECT_FALSE(FileExists(F("out.tif")));
}

TEST_F(CliTest, TooLargePictureIsRefused)
{
    // A PNG header claiming 100000 x 100000 pixels (with its checksum fixed).
    std::string png = EncodeText(Pattern(1, 1, 3, 16), ImageFormat::Png);
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 4; ++k)
            png[size_t(16 + 4 * i + k)] = static_cast<char>(uint32_t(100000) >> (24 - 8 * k));
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        c ^= static_cast<uint8_t>(png[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    c = ~c;
    for (int k = 0; k < 4; ++k)
        png[size_t(29 + k)] = static_cast<char>(c >> (24 - 8 * k));
    WriteFile(F("huge.png"), png);
    const ProcessResult r = Cli({"apply", "-c", F("look.json"), F("huge.png"), F("out.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "apply: " + F("huge.png") + ": the picture is too large (at most 1 GiB at 4 bytes a pixel)\n");
    EXPECT_FALSE(FileExists(F("out.png")));
}

// ---- convert and info ----------------------------------------------------------------------

TEST_F(CliTest, ConvertBothWaysGivesTheSameBytes)
{
    ProcessResult r = Cli({"convert", F("look.json"), F("look.ccr")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto binary = CorrectionToBinary(Look());
    EXPECT_EQ(ReadFile(F("look.ccr")), std::string(binary.begin(), binary.end()));
    r = Cli({"convert", F("look.ccr"), F("back.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(F("back.json")), CorrectionToJson(Look()));
    // Without an extension that says, the output is the other form.
    r = Cli({"convert", F("back.json"), "-"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, std::string(binary.begin(), binary.end()));
    r = Cli({"convert", "--to", "json", F("look.ccr"), "-"});
    EXPECT_EQ(r.out, CorrectionToJson(Look()));
    r = Cli({"convert", "-", "-"}, std::string(binary.begin(), binary.end()));
    EXPECT_EQ(r.out, CorrectionToJson(Look()));
}

TEST_F(CliTest, ConvertRefusesBadRecords)
{
    tagCOLORCORRINFO r = Look();
    r.Base.dwSize = 35;
    std::string bytes(reinterpret_cast<const char*>(&r), sizeof r);
    WriteFile(F("bad.ccr"), bytes);
    ProcessResult p = Cli({"convert", F("bad.ccr"), F("bad.json")});
    EXPECT_EQ(p.exitCode, 1);
    EXPECT_EQ(p.err, "convert: " + F("bad.ccr") + ": base size field is 35, expected 36\n");
    WriteFile(F("short.ccr"), bytes.substr(0, 500));
    p = Cli({"convert", F("short.ccr"), F("bad.json")});
    EXPECT_EQ(p.err, "convert: " + F("short.ccr") +
                         ": not a correction file: neither JSON (which starts with '{') nor a 564-byte binary record "
                         "(this has 500 bytes)\n");
    EXPECT_FALSE(FileExists(F("bad.json")));
}

TEST_F(CliTest, InfoDescribesTheCorrection)
{
    ProcessResult r = Cli({"info", F("look.json")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.rfind(F("look.json") + ": correction file (JSON, version 1)\n"
                                           "active groups: primary, six-vector, match vectors, clipping\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("  saturation:  +50\n"), std::string::npos);
    EXPECT_NE(r.out.find("  green    saturation -60\n"), std::string::npos);
    const auto binary = CorrectionToBinary(Look());
    r = Cli({"info", "-"}, std::string(binary.begin(), binary.end()));
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("standard input: correction record (binary, 564 bytes)\n", 0), 0u);
    r = Cli({"info", F("missing.json")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "info: " + F("missing.json") + ": cannot open: No such file or directory\n");
}

// ---- lut --------------------------------------------------------------------------------------

TEST_F(CliTest, LutOfTheIdentityIsTheIdentityWithinOneStep)
{
    const ProcessResult r = Cli({"lut", "-c", F("identity.json"), "--cube", "17", F("id.cube")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    CubeLut lut;
    std::string error;
    ASSERT_TRUE(ParseCube(ReadFile(F("id.cube")), lut, error)) << error;
    ASSERT_EQ(lut.size, 17);
    EXPECT_EQ(lut.title, "identity");
    size_t i = 0;
    for (int b = 0; b < 17; ++b)
        for (int g = 0; g < 17; ++g)
            for (int rr = 0; rr < 17; ++rr, i += 3) {
                ASSERT_LE(std::abs(int(lut.rgb[i]) - CubeGridValue(rr, 17)), 1);
                ASSERT_LE(std::abs(int(lut.rgb[i + 1]) - CubeGridValue(g, 17)), 1);
                ASSERT_LE(std::abs(int(lut.rgb[i + 2]) - CubeGridValue(b, 17)), 1);
            }
}

TEST_F(CliTest, LutDefaultsAndStandardOutput)
{
    const ProcessResult r = Cli({"lut", "-c", F("look.json"), "--title", "Warm", "-"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("TITLE \"Warm\"\nLUT_3D_SIZE 33\n"), std::string::npos);
    CubeLut lut;
    std::string error;
    ASSERT_TRUE(ParseCube(r.out, lut, error)) << error;
    EXPECT_EQ(lut.rgb.size(), 33u * 33u * 33u * 3u);
}
