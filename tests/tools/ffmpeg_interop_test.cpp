// Interoperation with ffmpeg: streams piped between ffmpeg processes through
// `colorcorrect apply`, and ffmpeg's lut3d filter with our .cube files. The
// tests skip when ffmpeg is not installed.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/stream_pipeline.h>
#include "support/run_process.h"
#include <colorcorrect/formats/y4m.h>

using namespace colorcorrect::formats;
using colorcorrect::test::ProcessResult;
using colorcorrect::test::ReadFile;
using colorcorrect::test::RunShell;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

namespace {

const std::string kCli = COLORCORRECT_CLI_PATH;
const std::string kSource = "-f lavfi -i testsrc2=size=96x64:rate=25 -frames:v 6";

tagCOLORCORRINFO Look()
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_CLIPPING;
    r.Base.sYGamma = 25;
    r.Base.sSat = 45;
    r.Base.sHue = -20;
    r.Base.sRBlack = 10;
    r.Base.wRangeFlags = RANGE_LEGAL;
    r.Base.bySoftY = 30;
    r.Vector6.sSat[3] = -40;
    return r;
}

// A smooth look for the LUT comparison. (A look whose result jumps between
// neighbouring colours, as a strong saturation change at the gamut edge
// does, cannot be followed by interpolation between grid points.)
tagCOLORCORRINFO SmoothLook()
{
    tagCOLORCORRINFO r = DefaultCorrection();
    r.dwFlags = CC_PRIMARY | CC_CLIPPING;
    r.Base.sYGamma = 30;
    r.Base.sSat = 40;
    r.Base.sHue = 20;
    r.Base.sRBlack = 10;
    r.Base.wRangeFlags = RANGE_LEGAL;
    r.Base.bySoftY = 30;
    return r;
}

// The planes of every frame of a YUV4MPEG2 stream, one after the other: what
// ffmpeg's rawvideo output holds.
std::string Planes(const std::string& stream)
{
    MemorySource source(stream.data(), stream.size());
    Y4mReader reader(source);
    std::string error, planes;
    EXPECT_TRUE(reader.ReadHeader(error)) << error;
    Y4mFrame frame;
    while (reader.ReadFrame(frame, error) == Y4mReader::Result::Frame)
        planes.append(frame.data.begin(), frame.data.end());
    EXPECT_EQ(error, "");
    return planes;
}

std::string Corrected(const std::string& stream, const tagCOLORCORRINFO& record)
{
    CorrectionProcessor processor;
    std::string error;
    EXPECT_TRUE(processor.Setup(record, error)) << error;
    MemorySource source(stream.data(), stream.size());
    Y4mReader reader(source);
    EXPECT_TRUE(reader.ReadHeader(error)) << error;
    MemorySink sink;
    Y4mWriter writer(sink);
    EXPECT_TRUE(writer.WriteHeader(reader.Header(), error));
    PipelineOptions options;
    options.chromaLo = processor.Range().lo;
    options.chromaHi = processor.Range().hi;
    EXPECT_TRUE(RunStreamPipeline(reader, writer, processor.Processor(), options).Ok());
    return std::string(sink.bytes.begin(), sink.bytes.end());
}

class FfmpegTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!colorcorrect::test::ProgramOnPath("ffmpeg"))
            GTEST_SKIP() << "ffmpeg is not installed";
        WriteFile(dir.File("identity.json"), CorrectionToJson(DefaultCorrection()));
        WriteFile(dir.File("look.json"), CorrectionToJson(Look()));
        WriteFile(dir.File("smooth.json"), CorrectionToJson(SmoothLook()));
    }
    std::string F(const std::string& name) const { return "'" + dir.File(name) + "'"; }

    ProcessResult Sh(const std::string& command)
    {
        ProcessResult r = RunShell("set -e; " + command);
        EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
        return r;
    }

    TempDir dir;
};

} // namespace

TEST_F(FfmpegTest, IdentityPipeBetweenTwoFfmpegsKeeps444Video)
{
    const std::string reference =
        Sh("ffmpeg -v error " + kSource + " -pix_fmt yuv444p -f rawvideo -").out;
    const std::string piped =
        Sh("ffmpeg -v error " + kSource + " -pix_fmt yuv444p -f yuv4mpegpipe - | '" + kCli + "' apply -c " +
           F("identity.json") + " - - | ffmpeg -v error -f yuv4mpegpipe -i - -f rawvideo -pix_fmt yuv444p -")
            .out;
    ASSERT_EQ(piped.size(), reference.size());
    ASSERT_EQ(reference.size(), 96u * 64u * 3u * 6u);
    for (size_t i = 0; i < reference.size(); ++i)
        if (piped[i] != reference[i]) {
            // Only the engine's chroma floor may differ: -128 comes out as -127.
            ASSERT_EQ(reference[i], '\0') << "byte " << i;
            ASSERT_EQ(piped[i], '\1') << "byte " << i;
        }
}

TEST_F(FfmpegTest, FfmpegReadsOurCorrectedStreams)
{
    for (const char* format : {"yuv444p", "yuv420p"}) {
        const std::string input = Sh("ffmpeg -v error " + kSource + " -pix_fmt " + format + " -f yuv4mpegpipe -").out;
        WriteFile(dir.File("in.y4m"), input);
        const std::string decoded = Sh("'" + kCli + "' apply -c " + F("look.json") + " " + F("in.y4m") +
                                       " - | ffmpeg -v error -f yuv4mpegpipe -i - -f rawvideo -pix_fmt " + format +
                                       " -")
                                        .out;
        const std::string expected = Planes(Corrected(input, Look()));
        EXPECT_TRUE(decoded == expected) << format;
        EXPECT_NE(decoded, Planes(input));
    }
}

TEST_F(FfmpegTest, Lut3dWithOurCubeGivesNearlyWhatApplyGives)
{
    Sh("ffmpeg -v error -f lavfi -i testsrc2=size=160x120 -frames:v 1 -pix_fmt rgb24 " + F("in.png"));
    Sh("'" + kCli + "' apply -c " + F("smooth.json") + " " + F("in.png") + " " + F("apply.png"));
    Sh("'" + kCli + "' lut -c " + F("smooth.json") + " --cube 33 " + F("look.cube"));
    Sh("ffmpeg -v error -i " + F("in.png") + " -vf \"lut3d=file=" + F("look.cube") +
       ":interp=tetrahedral\" -pix_fmt rgb24 " + F("lut.png"));

    RgbImage a, b;
    std::string error;
    const std::string applyBytes = ReadFile(dir.File("apply.png"));
    const std::string lutBytes = ReadFile(dir.File("lut.png"));
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(applyBytes.data()), applyBytes.size(), a, error)) << error;
    ASSERT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(lutBytes.data()), lutBytes.size(), b, error)) << error;
    ASSERT_EQ(a.pixels.size(), b.pixels.size());
    std::vector<int> diff(a.pixels.size());
    double sum = 0;
    for (size_t i = 0; i < diff.size(); ++i) {
        diff[i] = std::abs(int(a.pixels[i]) - int(b.pixels[i]));
        sum += diff[i];
    }
    std::sort(diff.begin(), diff.end());
    // Interpolating between 33 grid points cannot follow the correction's
    // knees exactly; on the whole the pictures agree to about one step.
    EXPECT_LE(sum / double(diff.size()), 1.0);
    EXPECT_LE(diff[diff.size() * 99 / 100], 5);
    EXPECT_LE(diff.back(), 16);
    EXPECT_GT(diff.back(), 0) << "the two pictures are identical: was the look applied at all?";
}
