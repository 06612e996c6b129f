#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/stream_pipeline.h>
#include <colorcorrect/formats/y4m.h>

using colorcorrect::formats::ByteSink;
using colorcorrect::formats::FdSource;
using colorcorrect::formats::FormatY4mHeader;
using colorcorrect::formats::MakeY4mHeader;
using colorcorrect::formats::MemorySink;
using colorcorrect::formats::MemorySource;
using colorcorrect::formats::PictureProcessor;
using colorcorrect::formats::PipelineOptions;
using colorcorrect::formats::PipelineResult;
using colorcorrect::formats::RunStreamPipeline;
using colorcorrect::formats::Y4mChroma;
using colorcorrect::formats::Y4mHeader;
using colorcorrect::formats::Y4mReader;
using colorcorrect::formats::Y4mWriter;

namespace {

// Generous bound for waits that only guard against a hang.
constexpr auto kHangGuard = std::chrono::seconds(60);

// A stream whose frame f has every luma byte f and random chroma.
std::string MakeStream(const Y4mHeader& h, int frames, unsigned seed)
{
    std::string s = FormatY4mHeader(h);
    std::mt19937 rng(seed);
    for (int f = 0; f < frames; ++f) {
        s += (f % 3 == 1) ? "FRAME Ib\n" : "FRAME\n";
        std::string data(h.FrameBytes(), '\0');
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = i < h.LumaBytes() ? static_cast<char>(f) : static_cast<char>(rng());
        s += data;
    }
    return s;
}

PipelineResult RunCopyOf(const std::string& input, ByteSink& sink, const PictureProcessor& process, unsigned threads)
{
    MemorySource source(input.data(), input.size());
    Y4mReader reader(source);
    std::string error;
    EXPECT_TRUE(reader.ReadHeader(error)) << error;
    Y4mWriter writer(sink);
    EXPECT_TRUE(writer.WriteHeader(reader.Header(), error));
    PipelineOptions options;
    options.threads = threads;
    return RunStreamPipeline(reader, writer, process, options);
}

size_t PictureBytes(const tagYUVBMINFOHEADER& h)
{
    return colorcorrect::RowStride(h.biWidth, h.biBitCount) * size_t(h.biHeight);
}

// Copies the picture: the stream must come out as it went in.
bool Copy(tagYUVBMINFOHEADER& h, BYTE* in, BYTE* out)
{
    std::memcpy(out, in, PictureBytes(h));
    return true;
}

// A sink that fails once it has taken `limit` bytes.
class FailingSink : public ByteSink {
public:
    explicit FailingSink(size_t limit) : m_limit(limit) {}
    bool Write(const void*, size_t size) override
    {
        if (m_taken + size > m_limit) {
            m_error = "write failed: No space left on device";
            return false;
        }
        m_taken += size;
        return true;
    }

private:
    size_t m_limit;
    size_t m_taken = 0;
};

} // namespace

TEST(StreamPipelineThreads, EveryFormatPassesUnchangedThroughACopy)
{
    for (Y4mChroma c : {Y4mChroma::C444, Y4mChroma::C444Alpha, Y4mChroma::C420Jpeg, Y4mChroma::C420Mpeg2,
                        Y4mChroma::C420Paldv}) {
        const std::string input = MakeStream(MakeY4mHeader(11, 7, c), 9, 1);
        MemorySink sink;
        const PipelineResult r = RunCopyOf(input, sink, Copy, 3);
        ASSERT_TRUE(r.Ok()) << r.error;
        EXPECT_EQ(r.frames, 9u);
        EXPECT_EQ(r.threads, 3u);
        EXPECT_TRUE(std::string(sink.bytes.begin(), sink.bytes.end()) == input) << colorcorrect::formats::Y4mChromaTag(c);
    }
}

TEST(StreamPipelineThreads, FramesFinishedOutOfOrderAreWrittenInOrder)
{
    // Each even frame waits until the odd frame after it is done, so the
    // workers always finish pairs in reverse order.
    std::mutex mutex;
    std::condition_variable cv;
    std::set<int> done;
    bool hung = false;
    const PictureProcessor process = [&](tagYUVBMINFOHEADER& h, BYTE* in, BYTE* out) {
        const int f = in[0]; // the luma of frame f is f
        std::unique_lock<std::mutex> lock(mutex);
        if (f % 2 == 0 && f + 1 < 40 && !cv.wait_for(lock, kHangGuard, [&] { return done.count(f + 1) != 0; }))
            hung = true;
        lock.unlock();
        const size_t n = PictureBytes(h);
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<BYTE>(255 - in[i]); // touches luma, chroma and padding alike
        lock.lock();
        done.insert(f);
        cv.notify_all();
        return true;
    };
    const Y4mHeader h = MakeY4mHeader(5, 3, Y4mChroma::C444);
    const std::string input = MakeStream(h, 40, 2);
    MemorySink sink;
    const PipelineResult r = RunCopyOf(input, sink, process, 4);
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_FALSE(hung);
    ASSERT_EQ(r.frames, 40u);

    // Expected: the same stream with every plane byte inverted.
    std::string expected = FormatY4mHeader(h);
    size_t at = expected.size();
    for (int f = 0; f < 40; ++f) {
        const size_t nl = input.find('\n', at);
        expected += input.substr(at, nl + 1 - at);
        for (size_t i = 0; i < h.FrameBytes(); ++i)
            expected += static_cast<char>(255 - static_cast<unsigned char>(input[nl + 1 + i]));
        at = nl + 1 + h.FrameBytes();
    }
    EXPECT_TRUE(std::string(sink.bytes.begin(), sink.bytes.end()) == expected);
}

TEST(StreamPipelineThreads, ProcessingFailureStopsEverything)
{
    const PictureProcessor process = [](tagYUVBMINFOHEADER& h, BYTE* in, BYTE* out) {
        if (in[0] == 5)
            return false;
        return Copy(h, in, out);
    };
    MemorySink sink;
    const PipelineResult r = RunCopyOf(MakeStream(MakeY4mHeader(4, 4, Y4mChroma::C420Jpeg), 30, 3), sink, process, 2);
    EXPECT_EQ(r.failure, PipelineResult::Failure::Process);
    EXPECT_EQ(r.error, "frame 6 could not be corrected");
    EXPECT_LE(r.frames, 5u);
}

TEST(StreamPipelineThreads, TruncatedInputIsAReadFailure)
{
    std::string input = MakeStream(MakeY4mHeader(4, 4, Y4mChroma::C444), 4, 4);
    input.resize(input.size() - 10);
    MemorySink sink;
    const PipelineResult r = RunCopyOf(input, sink, Copy, 2);
    EXPECT_EQ(r.failure, PipelineResult::Failure::Read);
    EXPECT_EQ(r.error, "frame 4 is truncated: 38 of 48 bytes");
    EXPECT_LE(r.frames, 3u);
}

TEST(StreamPipelineThreads, WriteFailureIsReported)
{
    const Y4mHeader h = MakeY4mHeader(4, 4, Y4mChroma::C444);
    const std::string input = MakeStream(h, 20, 5);
    // Room for the header and two frames ("FRAME\n" and "FRAME Ib\n").
    FailingSink sink(FormatY4mHeader(h).size() + 6 + 9 + 2 * h.FrameBytes());
    const PipelineResult r = RunCopyOf(input, sink, Copy, 2);
    EXPECT_EQ(r.failure, PipelineResult::Failure::Write);
    EXPECT_EQ(r.error, "write failed: No space left on device");
    EXPECT_EQ(r.frames, 2u);
}

TEST(StreamPipelineThreads, WriteFailureInterruptsAReaderWaitingForInput)
{
    // The input pipe stays open: without the interrupt the reader would wait
    // for more frames for ever.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const Y4mHeader h = MakeY4mHeader(4, 4, Y4mChroma::C444);
    const std::string input = MakeStream(h, 3, 6);
    ASSERT_EQ(::write(fds[1], input.data(), input.size()), ssize_t(input.size()));

    FdSource source(fds[0]);
    Y4mReader reader(source);
    std::string error;
    ASSERT_TRUE(reader.ReadHeader(error)) << error;
    FailingSink sink(FormatY4mHeader(h).size());
    Y4mWriter writer(sink);
    ASSERT_TRUE(writer.WriteHeader(reader.Header(), error));
    PipelineOptions options;
    options.threads = 2;
    const PipelineResult r = RunStreamPipeline(reader, writer, Copy, options);
    EXPECT_EQ(r.failure, PipelineResult::Failure::Write);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST(StreamPipelineThreads, ProgressIsReportedForEveryFrameInOrder)
{
    const std::string input = MakeStream(MakeY4mHeader(3, 3, Y4mChroma::C444), 12, 7);
    MemorySource source(input.data(), input.size());
    Y4mReader reader(source);
    std::string error;
    ASSERT_TRUE(reader.ReadHeader(error));
    MemorySink sink;
    Y4mWriter writer(sink);
    ASSERT_TRUE(writer.WriteHeader(reader.Header(), error));
    std::vector<uint64_t> seen;
    PipelineOptions options;
    options.threads = 3;
    options.onFrameWritten = [&seen](uint64_t n) { seen.push_back(n); };
    const PipelineResult r = RunStreamPipeline(reader, writer, Copy, options);
    ASSERT_TRUE(r.Ok());
    ASSERT_EQ(seen.size(), 12u);
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], i + 1);
}

TEST(FdSourceThreads, InterruptWakesABlockedRead)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FdSource source(fds[0]);
    bool ok = true;
    std::string error;
    std::thread reader([&] {
        char buffer[16];
        size_t got = 0;
        ok = source.Read(buffer, sizeof buffer, got);
        error = source.Error();
    });
    source.Interrupt(); // before or during the read: either way it ends
    reader.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "reading was interrupted");
    ::close(fds[0]);
    ::close(fds[1]);
}
