// The file formats the tool reads and writes, at their edges: pictures
// (PNG, BMP, JPEG), YUV4MPEG2 headers and frames, .cube tables, and output
// files that appear only when complete. Whole files the tool writes are
// checked by tests/golden.

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <tuple>
#include <string>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/frame_convert.h>
#include <colorcorrect/formats/image_io.h>
#include "support/random_record.h"
#include "support/run_process.h"
#include <colorcorrect/formats/y4m.h>

using namespace colorcorrect::formats;
using colorcorrect::test::ReadFile;
using colorcorrect::test::TempDir;
using colorcorrect::test::WriteFile;

namespace {

RgbImage Pattern(int w, int h, int channels, unsigned seed)
{
    RgbImage image{w, h, channels, std::vector<uint8_t>(size_t(w) * h * channels)};
    std::mt19937 rng(seed);
    for (uint8_t& b : image.pixels)
        b = static_cast<uint8_t>(rng());
    return image;
}

std::vector<uint8_t> Encode(const RgbImage& image, ImageFormat format, int quality = 95)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(EncodeImage(image, format, EncodeOptions{quality}, bytes, error)) << error;
    return bytes;
}

std::string DecodeError(const std::vector<uint8_t>& bytes, RgbImage* out = nullptr)
{
    RgbImage image;
    std::string error;
    const bool ok = DecodeImage(bytes.data(), bytes.size(), image, error);
    if (out)
        *out = image;
    return ok ? "" : error;
}

// Reads a whole stream; the frames read and the error that ended it.
std::string ReadStream(const std::string& bytes, std::vector<Y4mFrame>* frames = nullptr)
{
    MemorySource source(bytes.data(), bytes.size());
    Y4mReader reader(source);
    std::string error;
    if (!reader.ReadHeader(error))
        return error;
    for (Y4mFrame frame; reader.ReadFrame(frame, error) == Y4mReader::Result::Frame;)
        if (frames)
            frames->push_back(frame);
    return error;
}

} // namespace

TEST(Pictures, LosslessFormatsKeepEveryByteAndFormatsAreRecognised)
{
    for (ImageFormat f : {ImageFormat::Png, ImageFormat::Bmp})
        for (int channels : {3, 4}) {
            RgbImage image = Pattern(17, 9, channels, 2);
            RgbImage back;
            const std::vector<uint8_t> bytes = Encode(image, f);
            ASSERT_EQ(DecodeError(bytes, &back), "");
            EXPECT_EQ(SniffImageFormat(bytes.data(), bytes.size()), f);
            EXPECT_EQ(back.width, 17);
            EXPECT_EQ(back.channels, channels);
            EXPECT_TRUE(back.pixels == image.pixels) << ImageFormatName(f) << " " << channels;
        }
    RgbImage opaque = Pattern(4, 4, 4, 4);
    for (size_t i = 3; i < opaque.pixels.size(); i += 4)
        opaque.pixels[i] = 255;
    RgbImage back;
    ASSERT_EQ(DecodeError(Encode(opaque, ImageFormat::Bmp), &back), "");
    EXPECT_EQ(back.channels, 3);
    EXPECT_FALSE(SniffImageFormat(nullptr, 0).has_value());
}

TEST(Pictures, JpegAtFullQualityIsCloseAndLeavesAlphaOut)
{
    RgbImage image{16, 16, 4, {}};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) // smooth: JPEG keeps it within 3 steps
            for (int c = 0; c < 4; ++c)
                image.pixels.push_back(static_cast<uint8_t>(40 + 8 * x + 4 * y + 20 * c));
    const std::vector<uint8_t> bytes = Encode(image, ImageFormat::Jpeg, 100);
    EXPECT_EQ(SniffImageFormat(bytes.data(), bytes.size()), ImageFormat::Jpeg);
    RgbImage back;
    ASSERT_EQ(DecodeError(bytes, &back), "");
    ASSERT_EQ(back.channels, 3);
    for (size_t i = 0; i < 256; ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(image.pixels[4 * i + c], back.pixels[3 * i + c], 3) << "pixel " << i;
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(EncodeImage(image, ImageFormat::Jpeg, EncodeOptions{101}, out, error));
    EXPECT_EQ(error, "JPEG quality must be 1..100");
}

TEST(Pictures, DamagedAndEmptyPicturesAreRefused)
{
    std::vector<uint8_t> png = Encode(Pattern(40, 40, 3, 6), ImageFormat::Png);
    png.resize(png.size() / 2);
    EXPECT_EQ(DecodeError(png).rfind("damaged PNG: ", 0), 0u);
    std::vector<uint8_t> jpeg = Encode(Pattern(64, 64, 3, 9), ImageFormat::Jpeg);
    jpeg.resize(jpeg.size() * 2 / 3);
    EXPECT_EQ(DecodeError(jpeg).rfind("damaged JPEG: ", 0), 0u) << DecodeError(jpeg);
    EXPECT_EQ(DecodeError({0xFF, 0xD8, 0xFF, 0xE0, 1, 2}).rfind("damaged JPEG: ", 0), 0u);
    std::vector<uint8_t> bmp = Encode(Pattern(9, 9, 3, 10), ImageFormat::Bmp);
    bmp.resize(bmp.size() - 5);
    EXPECT_EQ(DecodeError(bmp), "damaged, truncated, too large or unsupported BMP file");
    for (const auto& [at, value, message] : // unsupported variants named: bit count at 28, compression at 30
         {std::tuple{28, 16, "16-bit BMP files are not supported (only 8-, 24- and 32-bit)"},
          {28, 1, "1-bit BMP files are not supported (only 8-, 24- and 32-bit)"},
          {30, 1, "run-length compressed BMP files are not supported (only uncompressed 8-, 24- and 32-bit)"}}) {
        std::vector<uint8_t> variant = Encode(Pattern(9, 9, 3, 10), ImageFormat::Bmp);
        variant[size_t(at)] = uint8_t(value);
        EXPECT_EQ(DecodeError(variant), message);
    }
    // A CMYK JPEG, as print work writes them, is named as such rather than damaged.
    tjhandle tj = tjInitCompress();
    std::vector<uint8_t> cmyk(8 * 8 * 4, 100);
    unsigned char* cmykJpeg = nullptr;
    unsigned long cmykBytes = 0;
    ASSERT_EQ(tjCompress2(tj, cmyk.data(), 8, 0, 8, TJPF_CMYK, &cmykJpeg, &cmykBytes, TJSAMP_444, 90, 0), 0);
    cmyk.assign(cmykJpeg, cmykJpeg + cmykBytes);
    tjFree(cmykJpeg);
    tjDestroy(tj);
    EXPECT_EQ(DecodeError(cmyk), "CMYK JPEG files are not supported: convert the picture to RGB first");
    EXPECT_EQ(DecodeError({'G', 'I', 'F', '8', '9', 'a'}), "not a PNG, JPEG or BMP picture");
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {0, 0}})
        EXPECT_STREQ(ImageSizeProblem(w, h), "the picture has no pixels") << w << " x " << h;
    EXPECT_STREQ(ImageSizeProblem(1u << 20, 1u << 20), "the picture is too large (at most 1 GiB at 4 bytes a pixel)");
    EXPECT_EQ(ImageSizeProblem(1, 1), nullptr);
}

TEST(Y4m, HeadersAreReadToTheByteOrRefusedWithTheReason)
{
    const std::string line = "YUV4MPEG2 W33 H17 F30000:1001 It A128:117 C420paldv XYSCSS=420PALDV XA=1 XA=2";
    Y4mHeader h;
    std::string error;
    ASSERT_TRUE(ParseY4mHeader(line, h, error)) << error;
    EXPECT_EQ(FormatY4mHeader(h), line + "\n");
    EXPECT_EQ(h.FrameBytes(), 33u * 17 + 2 * 17u * 9);
    const std::pair<std::string, std::string> refused[] = {
        {"YUV4MPEG W4 H4", "not a YUV4MPEG2 stream (it must start with \"YUV4MPEG2 \")"},
        {"YUV4MPEG2", "stream header: \"YUV4MPEG2\" must be followed by a space and the fields"},
        {"YUV4MPEG2 W320", "stream header: no height (H)"},
        {"YUV4MPEG2 H2", "stream header: no width (W)"},
        {"YUV4MPEG2 W0 H2", "stream header: width \"0\" is not a number in 1..65536"},
        {"YUV4MPEG2 W4x H2", "stream header: width \"4x\" is not a number in 1..65536"},
        {"YUV4MPEG2 W4 H99999999999", "stream header: height \"99999999999\" is not a number in 1..65536"},
        {"YUV4MPEG2 W4 H2 ", "stream header: empty field (two spaces in a row or a space at the end)"},
        {"YUV4MPEG2 W4 H2 W4", "stream header: field W appears twice"},
        {"YUV4MPEG2 W4 H2 F25", "stream header: frame rate \"25\" is not of the form N:D"},
        {"YUV4MPEG2 W4 H2 A1:x", "stream header: pixel aspect \"1:x\" is not of the form N:D"},
        {"YUV4MPEG2 W4 H2 Iz", "stream header: interlacing \"z\" is not one of p, t, b, m, ?"},
        {"YUV4MPEG2 W4 H2 Q1", "stream header: unknown field \"Q1\""},
        {std::string("YUV4MPEG2 W4 H2 X\x01", 18), "stream header: field \"X?\" has a byte that is not printable ASCII"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_FALSE(ParseY4mHeader(text, h, error));
        EXPECT_EQ(error, message);
    }
}

TEST(Y4m, DamagedStreamsSayWhere)
{
    const std::string head = "YUV4MPEG2 W2 H2\n";
    const std::pair<std::string, std::string> cases[] = {
        {"", "empty input: no YUV4MPEG2 header"},
        {"YUV4MPEG2 W2 H2", "stream header: the stream ends inside the line \"YUV4MPEG2 W2 H2\""},
        {head + "FRAME\nabcdefFRAME\nghij", "frame 2 is truncated: 4 of 6 bytes"},
        {head + "FRAMES\nabcdef", "frame 1: expected a FRAME line, found \"FRAMES\""},
        {head + "FRAME\nabcdefFRA", "frame 2: the stream ends inside the line \"FRA\""},
        {head + "FRAME  \nabcdef", "frame 1: malformed FRAME parameters \"  \""},
        {"YUV4MPEG2 W8192 H8192 C420jpeg\nFRAME\n0123456789", "frame 1 is truncated: 10 of 100663296 bytes"},
    };
    for (const auto& [bytes, message] : cases)
        EXPECT_EQ(ReadStream(bytes), message);
    EXPECT_EQ(ReadStream(head + "FRAME " + std::string(2000, 'X') + "\n").rfind(
                  "frame 1: line longer than 1024 bytes: \"FRAME XXX", 0), 0u);
}

TEST(Y4m, FramesLargerThanTheReadBufferArriveWhole)
{
    const Y4mHeader h = MakeY4mHeader(640, 480, Y4mChroma::C444Alpha);
    std::string bytes = FormatY4mHeader(h);
    std::vector<std::string> sent;
    std::mt19937 rng(3);
    for (int f = 0; f < 3; ++f) {
        sent.emplace_back(h.FrameBytes(), '\0');
        for (char& c : sent.back())
            c = static_cast<char>(rng());
        bytes += "FRAME\n" + sent.back();
    }
    std::vector<Y4mFrame> frames;
    EXPECT_EQ(ReadStream(bytes, &frames), "");
    ASSERT_EQ(frames.size(), 3u);
    for (int f = 0; f < 3; ++f)
        EXPECT_TRUE(std::string(frames[f].data.begin(), frames[f].data.end()) == sent[f]) << f;
}

TEST(Cube, WrittenTablesParseBackAndMalformedOnesAreRefused)
{
    CubeLut lut;
    lut.size = 2;
    lut.title = "a \"quoted\"\ntitle";
    for (int i = 0; i < 24; ++i)
        lut.rgb.push_back(static_cast<uint8_t>(i * 11));
    CubeLut back;
    std::string error;
    ASSERT_TRUE(ParseCube(FormatCube(lut), back, error)) << error;
    EXPECT_EQ(back.title, "a quoted\\x0atitle");
    EXPECT_EQ(back.rgb, lut.rgb);
    std::string nine = "LUT_3D_SIZE 2\n";
    for (int i = 0; i < 9; ++i)
        nine += "0 0 0\n";
    const std::pair<std::string, std::string> refused[] = {
        {"", "no LUT_3D_SIZE"},
        {"LUT_3D_SIZE 1\n", "line 1: LUT_3D_SIZE must be given once, as a number in 2..256"},
        {"LUT_3D_SIZE 257\n", "line 1: LUT_3D_SIZE must be given once, as a number in 2..256"},
        {"LUT_3D_SIZE 2\nLUT_3D_SIZE 2\n", "line 2: LUT_3D_SIZE must be given once, as a number in 2..256"},
        {"LUT_1D_SIZE 2\n", "line 1: 1D tables are not read"},
        {"0 0 0\n", "line 1: values before LUT_3D_SIZE"},
        {"LUT_3D_SIZE 2\nDOMAIN_MAX 2 2 2\n", "line 2: only the domain 0..1 is read"},
        {"LUT_3D_SIZE 2\n0 0\n", "line 2: expected three numbers"},
        {"LUT_3D_SIZE 2\n0 0 1.5\n", "line 2: value outside 0..1"},
        {"LUT_3D_SIZE 2\n0 0 0\n", "1 entries where LUT_3D_SIZE 2 needs 8"},
        {nine, "line 10: more than 8 entries"},
    };
    for (const auto& [text, message] : refused) {
        EXPECT_FALSE(ParseCube(text, back, error)) << text;
        EXPECT_EQ(error, message);
    }
}

TEST(OutputFiles, AppearOnlyWhenCommittedAndAbandonedOnesLeaveNothing)
{
    TempDir dir;
    WriteFile(dir.File("keep.txt"), "old");
    {
        OutputFile out;
        std::string error;
        ASSERT_TRUE(out.Open(dir.File("keep.txt"), error));
        ASSERT_TRUE(out.Sink().Write("new but unfinished", 18));
    }
    EXPECT_EQ(ReadFile(dir.File("keep.txt")), "old");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.txt"});
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.Open(dir.File("out.bin"), error)) << error;
    ASSERT_TRUE(out.Sink().Write("hello", 5));
    EXPECT_EQ(dir.Entries().size(), 2u);
    EXPECT_EQ(ReadFile(dir.File("out.bin")), "");
    ASSERT_TRUE(out.Commit(error)) << error;
    out.Discard();
    EXPECT_EQ(ReadFile(dir.File("out.bin")), "hello");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"keep.txt", "out.bin"}));
    EXPECT_FALSE(WriteWholeFile(dir.File("no/such/folder"), "x", 1, error));
    EXPECT_TRUE(WriteWholeFile(dir.File("whole"), "x", 1, error)) << error;
    EXPECT_EQ(ReadFile(dir.File("whole")), "x");
}

TEST(OutputFiles, LinksKeepPointingAndPipesAreWrittenThrough)
{
    TempDir dir;
    std::string error;
    WriteFile(dir.File("real"), "old");
    std::filesystem::create_symlink("real", dir.File("link"));
    std::filesystem::create_symlink("later", dir.File("dangling"));
    ASSERT_TRUE(WriteWholeFile(dir.File("link"), "new", 3, error) && WriteWholeFile(dir.File("dangling"), "1st", 3, error));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")) && std::filesystem::is_symlink(dir.File("dangling")));
    EXPECT_EQ(ReadFile(dir.File("real")) + ReadFile(dir.File("later")), "new1st");
    // With a reader waiting on the pipe, the bytes must arrive through it, and it stays a pipe.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    const int fd = ::open(dir.File("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_TRUE(WriteWholeFile(dir.File("fifo"), "through", 7, error)) << error;
    char got[16] = {};
    EXPECT_EQ(::read(fd, got, sizeof got), 7);
    ::close(fd);
    EXPECT_TRUE(std::string(got) == "through" && std::filesystem::is_fifo(dir.File("fifo")));
}

// The colour profile a file carries comes out again, in either format and through the tool.
TEST(Pictures, ColourProfilesAreCarried)
{
    // A display profile's header (PNG checks it), no tags, data PNG cannot squeeze below its minimum.
    std::vector<uint8_t> icc(400), large(150000, 7);
    for (size_t i = 132; i < icc.size(); ++i)
        icc[i] = uint8_t(i * i * 31 >> 3);
    for (auto [at, v] : {std::pair{0u, 400u}, {8u, 0x02100000u}, {68u, 0xF6D6u}, {72u, 0x10000u}, {76u, 0xD32Du}})
        for (unsigned k = 0; k < 4; ++k)
            icc[at + k] = uint8_t(v >> (24 - 8 * k));
    for (auto [at, tag] : {std::pair{12, "mntr"}, {16, "RGB "}, {20, "XYZ "}, {36, "acsp"}})
        std::copy(tag, tag + 4, icc.begin() + at);
    for (const auto& [format, profile] : {std::pair{ImageFormat::Png, icc}, {ImageFormat::Jpeg, icc}, {ImageFormat::Jpeg, large}}) {
        RgbImage image = Pattern(8, 8, 3, 2), back;
        image.icc = profile;
        EXPECT_EQ(DecodeError(Encode(image, format), &back), "");
        EXPECT_TRUE(back.icc == profile) << ImageFormatName(format) << " " << profile.size();
    }
    TempDir dir;
    RgbImage image = Pattern(8, 8, 3, 3), back;
    image.icc = icc;
    const std::vector<uint8_t> png = Encode(image, ImageFormat::Png);
    WriteFile(dir.File("in.png"), std::string(png.begin(), png.end()));
    WriteFile(dir.File("look.json"), R"({"format": "colorcorrect-correction", "version": 1, "base": {"sat": 40}})");
    ASSERT_EQ(colorcorrect::test::RunProcess({COLORCORRECT_CLI_PATH, "apply", "-c", dir.File("look.json"), dir.File("in.png"), dir.File("out.jpg")}).exitCode, 0);
    const std::string out = ReadFile(dir.File("out.jpg"));
    EXPECT_EQ(DecodeError(std::vector<uint8_t>(out.begin(), out.end()), &back), "");
    EXPECT_TRUE(back.icc == icc);
}


// Frames corrected a band of rows at a time, straight from the planes, are
// the bytes of the whole-picture path: every siting and field order, odd
// sizes, every stream YUV, random looks.
TEST(FrameConverter, BandsGiveTheBytesOfWholePictures)
{
    using namespace colorcorrect::formats;
    std::mt19937 rng(7);
    const std::tuple<Y4mChroma, Y4mInterlace, int, int> cases[] = {
        {Y4mChroma::C420Jpeg, Y4mInterlace::Progressive, 96, 64}, {Y4mChroma::C420Mpeg2, Y4mInterlace::Progressive, 33, 37},
        {Y4mChroma::C420Paldv, Y4mInterlace::TopFirst, 35, 41},   {Y4mChroma::C420Jpeg, Y4mInterlace::BottomFirst, 7, 3},
        {Y4mChroma::C444, Y4mInterlace::Progressive, 33, 19},     {Y4mChroma::C444Alpha, Y4mInterlace::Progressive, 5, 18}};
    const std::pair<YuvMatrix, YuvRange> spaces[] = {{YuvMatrix::Bt601, YuvRange::Full},
                                                     {YuvMatrix::Bt601, YuvRange::Limited},
                                                     {YuvMatrix::Bt709, YuvRange::Limited}};
    for (const auto& [chroma, interlace, width, height] : cases)
        for (const auto& [matrix, range] : spaces) {
            Y4mHeader h = MakeY4mHeader(width, height, chroma);
            h.interlace = interlace;
            const FrameConverter converter(h, false, matrix, range);
            CorrectionProcessor processor;
            std::string error;
            ASSERT_TRUE(processor.Setup(colorcorrect::test::RandomRecord(rng), error)) << error;
            std::vector<uint8_t> frame(h.FrameBytes());
            for (uint8_t& b : frame)
                b = uint8_t(rng());
            std::vector<uint8_t> whole = frame;
            FrameConverter::Scratch scratch;
            const auto [lo, hi] = processor.Range();
            ASSERT_TRUE(converter.CorrectFrameWhole(whole.data(), processor.Processor(), lo, hi));
            ASSERT_TRUE(converter.CorrectFrame(frame.data(), processor.Processor(), scratch, lo, hi));
            ASSERT_EQ(frame, whole) << Y4mChromaTag(chroma) << " " << width << "x" << height << " "
                                    << int(interlace) << " " << int(matrix) << int(range);
        }
}
