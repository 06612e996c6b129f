// The tool's YUV4MPEG2 reader on any bytes, read whole (ScanY4mStream) and in
// small pieces as from a pipe: both agree; frames hold the header's frame
// size; the header line written back parses to the same header.

#include <algorithm>
#include <string>

#include <colorcorrect/formats/byte_stream.h>
#include "support/fuzz_support.h"
#include <colorcorrect/formats/y4m.h>

using namespace colorcorrect::formats;

namespace {

class PieceSource : public ByteSource {
public:
    PieceSource(const uint8_t* data, size_t size, size_t piece) : m_data(data), m_size(size), m_piece(piece) {}
    bool Read(void* data, size_t size, size_t& got) override
    {
        got = std::min({size, m_piece, m_size - m_pos});
        std::copy(m_data + m_pos, m_data + m_pos + got, static_cast<uint8_t*>(data));
        m_pos += got;
        return true;
    }

private:
    const uint8_t* m_data;
    size_t m_size, m_piece, m_pos = 0;
};

bool SameHeader(const Y4mHeader& a, const Y4mHeader& b)
{
    return a.width == b.width && a.height == b.height && a.chroma == b.chroma && a.tokens == b.tokens;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint64_t scanned = 0;
    std::string error;
    const bool scanOk = ScanY4mStream(data, size, scanned, error);
    FUZZ_CHECK(scanOk || !error.empty());
    PieceSource source(data, size, 1 + size % 13);
    Y4mReader reader(source);
    error.clear();
    if (!reader.ReadHeader(error)) {
        FUZZ_CHECK(!scanOk && scanned == 0 && !error.empty());
        return 0;
    }
    const Y4mHeader header = reader.Header();
    FUZZ_CHECK(header.width > 0 && header.height > 0 && header.FrameBytes() <= kMaxY4mFrameBytes);
    const std::string line = FormatY4mHeader(header);
    Y4mHeader again;
    FUZZ_CHECK(line.rfind("YUV4MPEG2", 0) == 0 && line.back() == '\n' &&
                   ParseY4mHeader(std::string_view(line).substr(0, line.size() - 1), again, error) &&
                   SameHeader(header, again),
               "the written header line \"%s\" does not parse back: %s", line.c_str(), error.c_str());

    // The range token: the first XCOLORRANGE=FULL or =LIMITED counts.
    std::optional<YuvRange> range;
    for (const std::string& token : header.tokens)
        if (!range && (token == "XCOLORRANGE=FULL" || token == "XCOLORRANGE=LIMITED"))
            range = token == "XCOLORRANGE=FULL" ? YuvRange::Full : YuvRange::Limited;
    FUZZ_CHECK(Y4mColorRange(header) == range);
    const Y4mHeader made = MakeY4mHeader(header.width, header.height, header.chroma, "25:1");
    FUZZ_CHECK(ParseY4mHeader(std::string_view(FormatY4mHeader(made)).substr(0, FormatY4mHeader(made).size() - 1), again,
                              error) &&
               again.width == header.width && again.height == header.height && again.chroma == header.chroma);

    // Every frame read is written again; a well-formed stream so written scans alike.
    MemorySink sink;
    Y4mWriter writer(sink);
    FUZZ_CHECK(writer.WriteHeader(header, error));
    Y4mFrame frame;
    Y4mReader::Result r;
    while ((r = reader.ReadFrame(frame, error)) == Y4mReader::Result::Frame) {
        FUZZ_CHECK(frame.data.size() == header.FrameBytes());
        FUZZ_CHECK(writer.WriteFrame(frame, error));
    }
    const bool ended = r == Y4mReader::Result::End;
    FUZZ_CHECK(ended || !error.empty());
    FUZZ_CHECK(ended == scanOk && reader.FramesRead() == scanned);
    frame.data.resize(header.FrameBytes() + 1);
    FUZZ_CHECK(!writer.WriteFrame(frame, error), "a frame of the wrong size was written");
    uint64_t rescanned = 0;
    FUZZ_CHECK(!ended || (ScanY4mStream(sink.bytes.data(), sink.bytes.size(), rescanned, error) && rescanned == scanned),
               "the stream written again does not scan alike: %s", error.c_str());
    return 0;
}
