// YUV4MPEG2 streams for the batch runner: whole streams between descriptors
// (FFmpeg's pipes) and byte ranges of one stream file, so that the frames of
// one long clip can be corrected on many machines into one output file. Both
// run the stream pipeline of `colorcorrect apply`.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "bindings.h"

namespace colorcorrect::python {

using namespace colorcorrect::formats;

namespace {

// Closes a descriptor on every way out.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The header line of a stream file (without its newline), parsed.
std::string ReadHeaderLine(int fd, const std::string& path, Y4mHeader& header)
{
    std::string line(kMaxY4mHeaderLine + 1, '\0');
    const ssize_t got = ::pread(fd, line.data(), line.size(), 0);
    if (got < 0)
        throw py::value_error(SystemError(path));
    line.resize(size_t(got));
    const size_t newline = line.find('\n');
    if (newline == std::string::npos)
        throw py::value_error(path + ": no YUV4MPEG2 header line");
    line.resize(newline);
    std::string error;
    if (line.rfind("YUV4MPEG2", 0) != 0 || !ParseY4mHeader(line, header, error))
        throw py::value_error(path + ": " + (error.empty() ? "not a YUV4MPEG2 stream" : error));
    return line;
}

// The header line, then bytes [offset, offset + length) of a file.
class RangeSource : public ByteSource {
public:
    RangeSource(std::string prefix, int fd, uint64_t offset, uint64_t length)
        : m_prefix(std::move(prefix)), m_fd(fd), m_offset(offset), m_left(length)
    {
    }
    bool Read(void* data, size_t size, size_t& got) override
    {
        got = 0;
        if (m_prefixPos < m_prefix.size()) {
            got = std::min(size, m_prefix.size() - m_prefixPos);
            std::memcpy(data, m_prefix.data() + m_prefixPos, got);
            m_prefixPos += got;
            return true;
        }
        const size_t want = size_t(std::min<uint64_t>(size, m_left));
        if (want == 0)
            return true;
        const ssize_t n = ::pread(m_fd, data, want, off_t(m_offset));
        if (n < 0) {
            m_error = SystemError("read");
            return false;
        }
        got = size_t(n);
        m_offset += uint64_t(n);
        m_left -= uint64_t(n);
        return true;
    }

private:
    std::string m_prefix;
    size_t m_prefixPos = 0;
    int m_fd;
    uint64_t m_offset;
    uint64_t m_left;
};

// Drops the first `skip` bytes (the header, which the whole file has once)
// and writes the rest from `offset` on.
class OffsetSink : public ByteSink {
public:
    OffsetSink(int fd, size_t skip, uint64_t offset) : m_fd(fd), m_skip(skip), m_offset(offset) {}
    bool Write(const void* data, size_t size) override
    {
        const auto* p = static_cast<const uint8_t*>(data);
        const size_t dropped = std::min(size, m_skip);
        m_skip -= dropped;
        p += dropped;
        size -= dropped;
        while (size > 0) {
            const ssize_t n = ::pwrite(m_fd, p, size, off_t(m_offset));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                m_error = SystemError("write");
                return false;
            }
            p += n;
            size -= size_t(n);
            m_offset += uint64_t(n);
        }
        return true;
    }

private:
    int m_fd;
    size_t m_skip;
    uint64_t m_offset;
};

uint64_t RunPipeline(const CorrectionProcessor& processor, Y4mReader& reader, ByteSink& sink, unsigned threads,
                     bool progressive)
{
    if (const char* refusal = FrameConverter::Refusal(reader.Header(), progressive))
        throw py::value_error(std::string(refusal) + "; pass progressive=True to take every frame as progressive");
    Y4mWriter writer(sink);
    std::string error;
    if (!writer.WriteHeader(reader.Header(), error))
        throw py::value_error(error);
    PipelineOptions options;
    options.threads = threads;
    options.asProgressive = progressive;
    const PipelineResult result = processor.ProcessStream(reader, writer, options);
    if (!result.Ok())
        throw py::value_error(result.error);
    return result.frames;
}

} // namespace

uint64_t CorrectStreamFds(const CorrectionProcessor& processor, int inFd, int outFd, unsigned threads,
                          bool progressive)
{
    FdSource source(inFd);
    Y4mReader reader(source);
    std::string error;
    if (!reader.ReadHeader(error))
        throw py::value_error(error);
    FdSink sink(outFd);
    return RunPipeline(processor, reader, sink, threads, progressive);
}

uint64_t CorrectY4mRange(const CorrectionProcessor& processor, const std::string& input, const std::string& output,
                         uint64_t offset, uint64_t length, unsigned threads, bool progressive)
{
    Fd in{::open(input.c_str(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0)
        throw py::value_error(SystemError(input));
    Y4mHeader header;
    const std::string line = ReadHeaderLine(in.fd, input, header) + "\n";
    const uint64_t frameBytes = 6 + header.FrameBytes();
    if (line != FormatY4mHeader(header) || offset < line.size() || (offset - line.size()) % frameBytes != 0 ||
        length % frameBytes != 0)
        throw py::value_error(input + ": the range does not hold whole frames of a stream that can be cut");
    Fd out{::open(output.c_str(), O_WRONLY | O_CLOEXEC)};
    if (out.fd < 0)
        throw py::value_error(SystemError(output));
    RangeSource source(line, in.fd, offset, length);
    Y4mReader reader(source);
    std::string error;
    if (!reader.ReadHeader(error))
        throw py::value_error(input + ": " + error);
    OffsetSink sink(out.fd, line.size(), offset);
    const uint64_t frames = RunPipeline(processor, reader, sink, threads, progressive);
    if (frames != length / frameBytes)
        throw py::value_error(input + ": the stream ended inside the range");
    return frames;
}

py::dict Y4mLayout(const std::string& path)
{
    Fd in{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st {};
    if (in.fd < 0 || ::fstat(in.fd, &st) != 0)
        throw py::value_error(SystemError(path));
    Y4mHeader header;
    const std::string line = ReadHeaderLine(in.fd, path, header) + "\n";
    const uint64_t frameBytes = 6 + header.FrameBytes();
    const uint64_t body = uint64_t(st.st_size) - line.size();
    bool uniform = line == FormatY4mHeader(header) && body % frameBytes == 0;
    for (uint64_t at = line.size(); uniform && at < uint64_t(st.st_size); at += frameBytes) {
        char tag[6];
        uniform = ::pread(in.fd, tag, 6, off_t(at)) == 6 && std::memcmp(tag, "FRAME\n", 6) == 0;
    }
    py::dict d;
    d["header"] = py::bytes(line);
    d["frame_bytes"] = frameBytes;
    d["frames"] = body / frameBytes;
    d["uniform"] = uniform;
    return d;
}

} // namespace colorcorrect::python
