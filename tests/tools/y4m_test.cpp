#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/y4m.h>

using colorcorrect::formats::FormatY4mHeader;
using colorcorrect::formats::MakeY4mHeader;
using colorcorrect::formats::MemorySink;
using colorcorrect::formats::MemorySource;
using colorcorrect::formats::ParseY4mHeader;
using colorcorrect::formats::ScanY4mStream;
using colorcorrect::formats::Y4mChroma;
using colorcorrect::formats::Y4mFrame;
using colorcorrect::formats::Y4mHeader;
using colorcorrect::formats::Y4mReader;
using colorcorrect::formats::Y4mWriter;

namespace {

std::string HeaderError(const std::string& line)
{
    Y4mHeader h;
    std::string error;
    if (ParseY4mHeader(line, h, error))
        return {};
    return error;
}

Y4mHeader Parsed(const std::string& line)
{
    Y4mHeader h;
    std::string error;
    EXPECT_TRUE(ParseY4mHeader(line, h, error)) << error;
    return h;
}

std::string Stream(const std::string& header, const std::vector<std::string>& frames)
{
    std::string s = header + "\n";
    for (const std::string& f : frames)
        s += f;
    return s;
}

// The outcome of reading a whole stream: frames read, and the error if any.
struct ReadOutcome {
    std::vector<Y4mFrame> frames;
    std::string error;
};

ReadOutcome ReadAll(const std::string& bytes)
{
    ReadOutcome outcome;
    MemorySource source(bytes.data(), bytes.size());
    Y4mReader reader(source);
    if (!reader.ReadHeader(outcome.error))
        return outcome;
    for (;;) {
        Y4mFrame frame;
        const auto r = reader.ReadFrame(frame, outcome.error);
        if (r != Y4mReader::Result::Frame)
            break;
        outcome.frames.push_back(frame);
    }
    return outcome;
}

} // namespace

// ---- header ----------------------------------------------------------------------

TEST(Y4mHeaderParse, StreamHeaderAsWrittenByCommonToolsIsKeptToTheByte)
{
    const std::string line = "YUV4MPEG2 W320 H240 F25:1 Ip A1:1 C444 XYSCSS=444 XCOLORRANGE=LIMITED";
    const Y4mHeader h = Parsed(line);
    EXPECT_EQ(h.width, 320);
    EXPECT_EQ(h.height, 240);
    EXPECT_EQ(h.chroma, Y4mChroma::C444);
    EXPECT_EQ(FormatY4mHeader(h), line + "\n");
    EXPECT_EQ(h.FrameBytes(), 320u * 240u * 3u);
}

TEST(Y4mHeaderParse, ColourSpaces)
{
    EXPECT_EQ(Parsed("YUV4MPEG2 W4 H4").chroma, Y4mChroma::C420Jpeg); // no C: 4:2:0, centred
    EXPECT_EQ(Parsed("YUV4MPEG2 W4 H4 C420").chroma, Y4mChroma::C420Jpeg);
    EXPECT_EQ(Parsed("YUV4MPEG2 W4 H4 C420jpeg").chroma, Y4mChroma::C420Jpeg);
    EXPECT_EQ(Parsed("YUV4MPEG2 W4 H4 C420mpeg2").chroma, Y4mChroma::C420Mpeg2);
    EXPECT_EQ(Parsed("YUV4MPEG2 W4 H4 C420paldv").chroma, Y4mChroma::C420Paldv);
    EXPECT_EQ(Parsed("YUV4MPEG2 W4 H4 C444alpha").chroma, Y4mChroma::C444Alpha);
}

TEST(Y4mHeaderParse, FrameSizesIncludingOddDimensions)
{
    const Y4mHeader h420 = Parsed("YUV4MPEG2 W5 H3 C420jpeg");
    EXPECT_EQ(h420.ChromaWidth(), 3);
    EXPECT_EQ(h420.ChromaHeight(), 2);
    EXPECT_EQ(h420.FrameBytes(), 15u + 2u * 6u);
    const Y4mHeader alpha = Parsed("YUV4MPEG2 W5 H3 C444alpha");
    EXPECT_EQ(alpha.FrameBytes(), 4u * 15u);
}

TEST(Y4mHeaderParse, MalformedHeadersAreRefusedWithTheReason)
{
    EXPECT_EQ(HeaderError("YUV4MPEG W4 H4"), "not a YUV4MPEG2 stream (it must start with \"YUV4MPEG2 \")");
    EXPECT_EQ(HeaderError("YUV4MPEG2"), "stream header: \"YUV4MPEG2\" must be followed by a space and the fields");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W320"), "stream header: no height (H)");
    EXPECT_EQ(HeaderError("YUV4MPEG2 H2"), "stream header: no width (W)");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W0 H2"), "stream header: width \"0\" is not a number in 1..65536");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W-4 H2"), "stream header: width \"-4\" is not a number in 1..65536");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4x H2"), "stream header: width \"4x\" is not a number in 1..65536");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H99999999999"),
              "stream header: height \"99999999999\" is not a number in 1..65536");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4  H2"),
              "stream header: empty field (two spaces in a row or a space at the end)");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 "),
              "stream header: empty field (two spaces in a row or a space at the end)");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 W4"), "stream header: field W appears twice");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 F25"), "stream header: frame rate \"25\" is not of the form N:D");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 A1:x"), "stream header: pixel aspect \"1:x\" is not of the form N:D");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 Iz"), "stream header: interlacing \"z\" is not one of p, t, b, m, ?");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 C422"),
              "stream header: colour space C422 is not supported (supported: 444, 444alpha, 420jpeg, 420mpeg2, "
              "420paldv; 8 bits)");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 C420p10").rfind("stream header: colour space C420p10 is not supported", 0),
              0u);
    EXPECT_EQ(HeaderError("YUV4MPEG2 W4 H2 Q1"), "stream header: unknown field \"Q1\"");
    EXPECT_EQ(HeaderError(std::string("YUV4MPEG2 W4 H2 X\x01", 18)),
              "stream header: field \"X?\" has a byte that is not printable ASCII");
    EXPECT_EQ(HeaderError("YUV4MPEG2 W65536 H65536 C444"),
              "stream header: frames of 65536 x 65536 pixels are too large");
}

TEST(Y4mHeaderParse, ExtensionsMayRepeat)
{
    const Y4mHeader h = Parsed("YUV4MPEG2 W4 H2 XA=1 XA=2");
    EXPECT_EQ(h.tokens.size(), 4u);
}

TEST(Y4mHeaderParse, MadeHeadersParseBack)
{
    for (Y4mChroma c : {Y4mChroma::C444, Y4mChroma::C444Alpha, Y4mChroma::C420Jpeg, Y4mChroma::C420Mpeg2,
                        Y4mChroma::C420Paldv}) {
        const Y4mHeader made = MakeY4mHeader(7, 5, c);
        std::string line = FormatY4mHeader(made);
        line.pop_back();
        const Y4mHeader back = Parsed(line);
        EXPECT_EQ(back.chroma, c);
        EXPECT_EQ(back.width, 7);
        EXPECT_EQ(back.height, 5);
    }
}

// ---- frames ------------------------------------------------------------------------

TEST(Y4mRead, FramesWithAndWithoutParameters)
{
    // 2 x 2 at 4:2:0: 4 luma + 1 + 1 chroma bytes per frame.
    const ReadOutcome r = ReadAll(Stream("YUV4MPEG2 W2 H2 C420jpeg", {"FRAME\nabcdef", "FRAME Ib XZ=1\nghijkl"}));
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(std::string(r.frames[0].data.begin(), r.frames[0].data.end()), "abcdef");
    EXPECT_EQ(r.frames[0].params, "");
    EXPECT_EQ(r.frames[1].params, " Ib XZ=1");
    EXPECT_EQ(std::string(r.frames[1].data.begin(), r.frames[1].data.end()), "ghijkl");
}

TEST(Y4mRead, HeaderOnlyIsAnEmptyStream)
{
    const ReadOutcome r = ReadAll("YUV4MPEG2 W2 H2\n");
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(r.frames.empty());
}

TEST(Y4mRead, DamagedStreamsSayWhere)
{
    EXPECT_EQ(ReadAll("").error, "empty input: no YUV4MPEG2 header");
    EXPECT_EQ(ReadAll("P6\n2 2\n255\n").error, "not a YUV4MPEG2 stream (it must start with \"YUV4MPEG2 \")");
    EXPECT_EQ(ReadAll("YUV4MPEG2 W2 H2").error, "stream header: the stream ends inside the line \"YUV4MPEG2 W2 H2\"");
    EXPECT_EQ(ReadAll(Stream("YUV4MPEG2 W2 H2", {"FRAME\nabcdef", "FRAME\nghij"})).error,
              "frame 2 is truncated: 4 of 6 bytes");
    EXPECT_EQ(ReadAll(Stream("YUV4MPEG2 W2 H2", {"FRAMX\nabcdef"})).error,
              "frame 1: expected a FRAME line, found \"FRAMX\"");
    EXPECT_EQ(ReadAll(Stream("YUV4MPEG2 W2 H2", {"FRAMES\nabcdef"})).error,
              "frame 1: expected a FRAME line, found \"FRAMES\"");
    EXPECT_EQ(ReadAll(Stream("YUV4MPEG2 W2 H2", {"FRAME\nabcdef", "FRA"})).error,
              "frame 2: the stream ends inside the line \"FRA\"");
    EXPECT_EQ(ReadAll(Stream("YUV4MPEG2 W2 H2", {"FRAME  \nabcdef"})).error,
              "frame 1: malformed FRAME parameters \"  \"");
    EXPECT_EQ(ReadAll(Stream("YUV4MPEG2 W2 H2", {"FRAME " + std::string(2000, 'X') + "\n"}))
                  .error.rfind("frame 1: line longer than 1024 bytes: \"FRAME XXX", 0),
              0u);
    EXPECT_EQ(ReadAll("YUV4MPEG2 " + std::string(5000, 'X')).error.rfind(
                  "stream header: line longer than 4096 bytes: \"YUV4MPEG2 XXX", 0),
              0u);
}

TEST(Y4mRead, LargeFramesPromisedByTheHeaderAreNotAllocatedUpFront)
{
    // 8192 x 8192 at 4:2:0 promises 96 MiB a frame; ten bytes arrive.
    const ReadOutcome r = ReadAll(Stream("YUV4MPEG2 W8192 H8192 C420jpeg", {"FRAME\n0123456789"}));
    EXPECT_EQ(r.error, "frame 1 is truncated: 10 of 100663296 bytes");
}

TEST(Y4mRead, FramesLargerThanTheReadBuffer)
{
    const Y4mHeader h = MakeY4mHeader(640, 480, Y4mChroma::C444Alpha);
    std::string bytes = FormatY4mHeader(h);
    std::mt19937 rng(3);
    std::vector<std::string> frames;
    for (int f = 0; f < 3; ++f) {
        std::string data(h.FrameBytes(), '\0');
        for (char& c : data)
            c = static_cast<char>(rng());
        frames.push_back(data);
        bytes += "FRAME\n" + data;
    }
    const ReadOutcome r = ReadAll(bytes);
    EXPECT_EQ(r.error, "");
    ASSERT_EQ(r.frames.size(), 3u);
    for (int f = 0; f < 3; ++f)
        EXPECT_TRUE(std::string(r.frames[f].data.begin(), r.frames[f].data.end()) == frames[f]) << f;
}

// ---- writing -------------------------------------------------------------------------

TEST(Y4mWrite, HeaderAndFramesAsRead)
{
    const std::string input = Stream("YUV4MPEG2 W2 H2 F30000:1001 It A0:0 C420mpeg2 XA=b",
                                     {"FRAME\nabcdef", "FRAME Ib\nghijkl"});
    MemorySource source(input.data(), input.size());
    Y4mReader reader(source);
    std::string error;
    ASSERT_TRUE(reader.ReadHeader(error)) << error;
    MemorySink sink;
    Y4mWriter writer(sink);
    ASSERT_TRUE(writer.WriteHeader(reader.Header(), error));
    Y4mFrame frame;
    while (reader.ReadFrame(frame, error) == Y4mReader::Result::Frame)
        ASSERT_TRUE(writer.WriteFrame(frame, error)) << error;
    EXPECT_EQ(std::string(sink.bytes.begin(), sink.bytes.end()), input);
}

TEST(Y4mWrite, FrameOfTheWrongSizeIsRefused)
{
    MemorySink sink;
    Y4mWriter writer(sink);
    std::string error;
    ASSERT_TRUE(writer.WriteHeader(MakeY4mHeader(2, 2, Y4mChroma::C444), error));
    Y4mFrame frame;
    frame.data.assign(5, 0);
    EXPECT_FALSE(writer.WriteFrame(frame, error));
    EXPECT_EQ(error, "frame of 5 bytes where the stream has 12");
}

// ---- arbitrary bytes ----------------------------------------------------------------

TEST(Y4mRobustness, MutatedStreamsNeverCrash)
{
    const std::string good = Stream("YUV4MPEG2 W3 H3 F25:1 Ip A1:1 C420paldv",
                                    {"FRAME\n" + std::string(9 + 8, 'a'), "FRAME Ip\n" + std::string(17, 'b')});
    std::mt19937 rng(17);
    for (int i = 0; i < 3000; ++i) {
        std::string s = good;
        const int edits = 1 + int(rng() % 4);
        for (int e = 0; e < edits && !s.empty(); ++e) {
            const size_t at = rng() % s.size();
            switch (rng() % 3) {
            case 0:
                s[at] = " \n0123456789WHFAICX:FRAME"[rng() % 25];
                break;
            case 1:
                s.erase(at, 1 + rng() % 6);
                break;
            default:
                s.insert(at, 1, static_cast<char>(rng()));
                break;
            }
        }
        uint64_t frames = 0;
        std::string error;
        if (!ScanY4mStream(reinterpret_cast<const uint8_t*>(s.data()), s.size(), frames, error)) {
            EXPECT_FALSE(error.empty());
        }
    }
}
