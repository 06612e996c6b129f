// The stream pipeline's threads: frames that finish out of order are written
// in order, and a failure anywhere stops every thread.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/stream_pipeline.h>
#include <colorcorrect/formats/y4m.h>

using namespace colorcorrect::formats;

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
        for (size_t i = 0; i < h.FrameBytes(); ++i)
            s += i < h.LumaBytes() ? static_cast<char>(f) : static_cast<char>(rng());
    }
    return s;
}

PipelineResult RunPipeline(Y4mReader& reader, ByteSink& sink, const PictureProcessor& process, unsigned threads,
                   std::function<void(uint64_t)> progress = {})
{
    std::string error;
    EXPECT_TRUE(reader.ReadHeader(error)) << error;
    Y4mWriter writer(sink);
    EXPECT_TRUE(writer.WriteHeader(reader.Header(), error));
    PipelineOptions options;
    options.threads = threads;
    options.range = YuvRange::Full; // the library's own YUV: frames reach `process` as they are
    options.onFrameWritten = std::move(progress);
    return RunStreamPipeline(reader, writer, process, options);
}

bool Copy(tagYUVBMINFOHEADER& h, BYTE* in, BYTE* out)
{
    std::memcpy(out, in, colorcorrect::RowStride(h.biWidth, h.biBitCount) * size_t(h.biHeight));
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
        const size_t n = colorcorrect::RowStride(h.biWidth, h.biBitCount) * size_t(h.biHeight);
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<BYTE>(255 - in[i]); // touches luma, chroma and padding alike
        lock.lock();
        done.insert(f);
        cv.notify_all();
        return true;
    };
    const Y4mHeader h = MakeY4mHeader(5, 3, Y4mChroma::C444);
    const std::string input = MakeStream(h, 40, 2);
    MemorySource source(input.data(), input.size());
    Y4mReader reader(source);
    MemorySink sink;
    std::vector<uint64_t> written;
    const PipelineResult r = RunPipeline(reader, sink, process, 4, [&written](uint64_t n) { written.push_back(n); });
    ASSERT_TRUE(r.Ok()) << r.error;
    EXPECT_FALSE(hung);
    ASSERT_EQ(r.frames, 40u);
    EXPECT_EQ(r.threads, 4u);
    ASSERT_EQ(written.size(), 40u);
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(written[i], i + 1);
    // The same stream, FRAME lines kept, every plane byte inverted.
    std::string expected = FormatY4mHeader(h);
    for (size_t at = expected.size(); at < input.size();) {
        const size_t nl = input.find('\n', at);
        expected += input.substr(at, nl + 1 - at);
        for (size_t i = 0; i < h.FrameBytes(); ++i)
            expected += static_cast<char>(255 - static_cast<unsigned char>(input[nl + 1 + i]));
        at = nl + 1 + h.FrameBytes();
    }
    EXPECT_TRUE(std::string(sink.bytes.begin(), sink.bytes.end()) == expected);
}

TEST(StreamPipelineThreads, ProcessingOrWritingFailureStopsEverything)
{
    const PictureProcessor failAtFive = [](tagYUVBMINFOHEADER& h, BYTE* in, BYTE* out) {
        return in[0] != 5 && Copy(h, in, out);
    };
    const std::string input = MakeStream(MakeY4mHeader(4, 4, Y4mChroma::C420Jpeg), 30, 3);
    MemorySource source(input.data(), input.size());
    Y4mReader reader(source);
    MemorySink sink;
    PipelineResult r = RunPipeline(reader, sink, failAtFive, 2);
    EXPECT_EQ(r.failure, PipelineResult::Failure::Process);
    EXPECT_EQ(r.error, "frame 6 could not be corrected");
    EXPECT_LE(r.frames, 5u);

    const Y4mHeader h = MakeY4mHeader(4, 4, Y4mChroma::C444);
    // Room for the header and two frames ("FRAME\n" and "FRAME Ib\n").
    FailingSink full(FormatY4mHeader(h).size() + 6 + 9 + 2 * h.FrameBytes());
    const std::string twenty = MakeStream(h, 20, 5);
    MemorySource source2(twenty.data(), twenty.size());
    Y4mReader reader2(source2);
    r = RunPipeline(reader2, full, Copy, 2);
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
    FailingSink sink(FormatY4mHeader(h).size());
    EXPECT_EQ(RunPipeline(reader, sink, Copy, 2).failure, PipelineResult::Failure::Write);
    ::close(fds[0]);
    ::close(fds[1]);
}
