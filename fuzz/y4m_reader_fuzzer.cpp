// The command-line tool's YUV4MPEG2 reader on arbitrary bytes: the whole
// stream from memory (ScanY4mStream), and the reader on a source that hands
// the same bytes out in small pieces, as a pipe does.
//
// Promises checked:
//  - both ways of reading agree: same verdict, same frame count;
//  - every frame read holds exactly the header's frame size;
//  - the header line written back from a parsed header parses to the same
//    header;
//  - a stream read to its end, written out again with the writer, reads back
//    to the same header and the same frames.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/y4m.h>

#include "support/fuzz_check.h"

using namespace colorcorrect::formats;

namespace {

// Hands out at most `piece` bytes a read.
class PieceSource : public ByteSource {
public:
    PieceSource(const uint8_t* data, size_t size, size_t piece)
        : m_data(data), m_size(size), m_piece(piece)
    {
    }
    bool Read(void* data, size_t size, size_t& got) override
    {
        got = std::min({size, m_piece, m_size - m_pos});
        if (got != 0)
            std::memcpy(data, m_data + m_pos, got);
        m_pos += got;
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_piece;
    size_t m_pos = 0;
};

bool SameHeader(const Y4mHeader& a, const Y4mHeader& b)
{
    return a.width == b.width && a.height == b.height && a.chroma == b.chroma &&
           a.tokens == b.tokens;
}

// Frames kept for the round trip; later ones are only counted.
constexpr size_t kMaxKeptBytes = size_t{1} << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint64_t scanned = 0;
    std::string scanError;
    const bool scanOk = ScanY4mStream(data, size, scanned, scanError);
    FUZZ_CHECK(scanOk || !scanError.empty(), "ScanY4mStream failed without a message");

    PieceSource source(data, size, 1 + size % 13);
    Y4mReader reader(source);
    std::string error;
    const bool headerOk = reader.ReadHeader(error);
    if (!headerOk) {
        FUZZ_CHECK(!scanOk && scanned == 0, "the header is refused in pieces but not whole");
        FUZZ_CHECK(!error.empty(), "ReadHeader failed without a message");
        return 0;
    }
    const Y4mHeader header = reader.Header();
    FUZZ_CHECK(header.width > 0 && header.height > 0, "a header of %d x %d was accepted",
               header.width, header.height);
    FUZZ_CHECK(header.FrameBytes() <= kMaxY4mFrameBytes, "a frame of %zu bytes was accepted",
               header.FrameBytes());

    // The header line written back parses to the same header.
    const std::string line = FormatY4mHeader(header);
    FUZZ_CHECK(!line.empty() && line.back() == '\n', "the header line has no newline");
    Y4mHeader again;
    std::string againError;
    FUZZ_CHECK(line.rfind("YUV4MPEG2", 0) == 0, "the header line does not start the stream");
    const std::string_view rest =
        std::string_view(line).substr(0, line.size() - 1); // without the newline
    FUZZ_CHECK(ParseY4mHeader(rest, again, againError),
               "the written header line \"%s\" is refused: %s", std::string(rest).c_str(),
               againError.c_str());
    FUZZ_CHECK(SameHeader(header, again), "the written header line parses differently");

    std::vector<Y4mFrame> kept;
    size_t keptBytes = 0;
    Y4mFrame frame;
    bool ended = false;
    for (;;) {
        const Y4mReader::Result r = reader.ReadFrame(frame, error);
        if (r == Y4mReader::Result::End) {
            ended = true;
            break;
        }
        if (r == Y4mReader::Result::Error) {
            FUZZ_CHECK(!error.empty(), "ReadFrame failed without a message");
            break;
        }
        FUZZ_CHECK(frame.data.size() == header.FrameBytes(), "a frame of %zu bytes, %zu expected",
                   frame.data.size(), header.FrameBytes());
        if (keptBytes + frame.data.size() <= kMaxKeptBytes) {
            keptBytes += frame.data.size();
            kept.push_back(frame);
        }
    }
    FUZZ_CHECK(ended == scanOk, "read in pieces the stream %s, whole it %s",
               ended ? "ends cleanly" : "fails", scanOk ? "ends cleanly" : "fails");
    FUZZ_CHECK(reader.FramesRead() == scanned, "%llu frames in pieces, %llu whole",
               static_cast<unsigned long long>(reader.FramesRead()),
               static_cast<unsigned long long>(scanned));
    if (!ended || kept.size() != reader.FramesRead())
        return 0;

    // Written out again, the stream reads back the same.
    MemorySink sink;
    Y4mWriter writer(sink);
    FUZZ_CHECK(writer.WriteHeader(header, error), "WriteHeader failed: %s", error.c_str());
    for (const Y4mFrame& f : kept)
        FUZZ_CHECK(writer.WriteFrame(f, error), "WriteFrame failed: %s", error.c_str());
    MemorySource written(sink.bytes.data(), sink.bytes.size());
    Y4mReader back(written);
    FUZZ_CHECK(back.ReadHeader(error), "the written stream's header is refused: %s",
               error.c_str());
    FUZZ_CHECK(SameHeader(back.Header(), header), "the written stream has another header");
    for (const Y4mFrame& f : kept) {
        FUZZ_CHECK(back.ReadFrame(frame, error) == Y4mReader::Result::Frame,
                   "a written frame is refused: %s", error.c_str());
        FUZZ_CHECK(frame.params == f.params && frame.data == f.data,
                   "a written frame reads back differently");
    }
    FUZZ_CHECK(back.ReadFrame(frame, error) == Y4mReader::Result::End,
               "the written stream does not end after its frames");
    return 0;
}
