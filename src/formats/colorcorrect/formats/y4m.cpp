#include "y4m.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "rgb_image.h"

namespace colorcorrect::formats {

namespace {

constexpr std::string_view kMagic = "YUV4MPEG2";
constexpr std::string_view kFrame = "FRAME";
constexpr int kMaxDimension = 1 << 16;
constexpr size_t kReadChunk = size_t{1} << 16;
constexpr size_t kFirstFrameChunk = size_t{1} << 20;

struct ChromaName {
    std::string_view tag;
    Y4mChroma chroma;
};

constexpr ChromaName kChromaNames[] = {
    {"444", Y4mChroma::C444},           {"444alpha", Y4mChroma::C444Alpha},
    {"420jpeg", Y4mChroma::C420Jpeg},   {"420", Y4mChroma::C420Jpeg},
    {"420mpeg2", Y4mChroma::C420Mpeg2}, {"420paldv", Y4mChroma::C420Paldv},
};

bool IsDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A decimal number without sign; false when it is not one or exceeds `max`.
bool ParseNumber(std::string_view s, long long max, long long& value)
{
    if (!IsDigits(s) || s.size() > 10)
        return false;
    value = 0;
    for (char c : s)
        value = value * 10 + (c - '0');
    return value <= max;
}

bool ParseRatio(std::string_view s)
{
    const size_t colon = s.find(':');
    long long n = 0, d = 0;
    return colon != std::string_view::npos && ParseNumber(s.substr(0, colon), 0x7FFFFFFF, n) &&
           ParseNumber(s.substr(colon + 1), 0x7FFFFFFF, d);
}

// Up to 24 characters of `text` for a message, anything unprintable as '?'.
std::string MessageExcerpt(std::string_view text)
{
    std::string excerpt;
    for (char c : text.substr(0, 24))
        excerpt += (c >= 0x20 && c < 0x7F) ? c : '?';
    if (text.size() > 24)
        excerpt += "...";
    return excerpt;
}

bool Printable(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

} // namespace

std::optional<YuvRange> Y4mColorRange(const Y4mHeader& header)
{
    for (const std::string& token : header.tokens) {
        if (token == "XCOLORRANGE=FULL")
            return YuvRange::Full;
        if (token == "XCOLORRANGE=LIMITED")
            return YuvRange::Limited;
    }
    return std::nullopt;
}

const char* Y4mChromaTag(Y4mChroma chroma)
{
    switch (chroma) {
    case Y4mChroma::C444:
        return "444";
    case Y4mChroma::C444Alpha:
        return "444alpha";
    case Y4mChroma::C420Jpeg:
        return "420jpeg";
    case Y4mChroma::C420Mpeg2:
        return "420mpeg2";
    case Y4mChroma::C420Paldv:
        return "420paldv";
    }
    return "?";
}

bool ParseY4mHeader(std::string_view line, Y4mHeader& header, std::string& error)
{
    if (line.substr(0, kMagic.size()) != kMagic) {
        error = "not a YUV4MPEG2 stream (it must start with \"YUV4MPEG2 \")";
        return false;
    }
    std::string_view rest = line.substr(kMagic.size());
    if (rest.empty() || rest[0] != ' ') {
        error = "stream header: \"YUV4MPEG2\" must be followed by a space and the fields";
        return false;
    }
    rest.remove_prefix(1);

    Y4mHeader result;
    bool seen[128] = {};
    while (true) {
        const size_t space = rest.find(' ');
        const std::string_view token = rest.substr(0, space);
        if (token.empty()) {
            error = "stream header: empty field (two spaces in a row or a space at the end)";
            return false;
        }
        if (!Printable(token)) {
            error = "stream header: field \"" + MessageExcerpt(token) + "\" has a byte that is not printable ASCII";
            return false;
        }
        const char letter = token[0];
        const std::string_view value = token.substr(1);
        if (letter != 'X') {
            if (seen[static_cast<unsigned char>(letter)]) {
                error = std::string("stream header: field ") + letter + " appears twice";
                return false;
            }
            seen[static_cast<unsigned char>(letter)] = true;
        }
        switch (letter) {
        case 'W':
        case 'H': {
            long long n = 0;
            if (!ParseNumber(value, kMaxDimension, n) || n == 0) {
                error = std::string("stream header: ") + (letter == 'W' ? "width" : "height") + " \"" +
                        MessageExcerpt(value) + "\" is not a number in 1.." + std::to_string(kMaxDimension);
                return false;
            }
            (letter == 'W' ? result.width : result.height) = static_cast<int>(n);
            break;
        }
        case 'F':
        case 'A':
            if (!ParseRatio(value)) {
                error = std::string("stream header: ") + (letter == 'F' ? "frame rate" : "pixel aspect") +
                        " \"" + MessageExcerpt(value) + "\" is not of the form N:D";
                return false;
            }
            break;
        case 'I':
            if (value.size() != 1 || std::string_view("ptbm?").find(value[0]) == std::string_view::npos) {
                error = "stream header: interlacing \"" + MessageExcerpt(value) + "\" is not one of p, t, b, m, ?";
                return false;
            }
            result.interlace = value[0] == 't'   ? Y4mInterlace::TopFirst
                               : value[0] == 'b' ? Y4mInterlace::BottomFirst
                               : value[0] == 'm' ? Y4mInterlace::Mixed
                                                 : Y4mInterlace::Progressive;
            break;
        case 'C': {
            bool known = false;
            for (const ChromaName& c : kChromaNames) {
                if (c.tag == value) {
                    result.chroma = c.chroma;
                    known = true;
                }
            }
            if (!known) {
                error = "stream header: colour space C" + MessageExcerpt(value) +
                        " is not supported (supported: 444, 444alpha, 420jpeg, 420mpeg2, 420paldv; 8 bits)";
                return false;
            }
            break;
        }
        case 'X':
            break;
        default:
            error = "stream header: unknown field \"" + MessageExcerpt(token) + "\"";
            return false;
        }
        result.tokens.emplace_back(token);
        if (space == std::string_view::npos)
            break;
        rest.remove_prefix(space + 1);
    }
    if (result.width == 0 || result.height == 0) {
        error = std::string("stream header: no ") + (result.width == 0 ? "width (W)" : "height (H)");
        return false;
    }
    if (uint64_t(result.FrameBytes()) > kMaxY4mFrameBytes ||
        ImageSizeProblem(uint64_t(result.width), uint64_t(result.height)) != nullptr) {
        error = "stream header: frames of " + std::to_string(result.width) + " x " +
                std::to_string(result.height) + " pixels are too large";
        return false;
    }
    header = std::move(result);
    return true;
}

std::string FormatY4mHeader(const Y4mHeader& header)
{
    std::string line(kMagic);
    for (const std::string& token : header.tokens)
        line += " " + token;
    line += "\n";
    return line;
}

Y4mHeader MakeY4mHeader(int width, int height, Y4mChroma chroma, std::string_view rate)
{
    Y4mHeader h;
    h.width = width;
    h.height = height;
    h.chroma = chroma;
    // Appended rather than "W" + string, which GCC 12 at -O3 warns about
    // wrongly (-Wrestrict).
    h.tokens = {std::string("W").append(std::to_string(width)), std::string("H").append(std::to_string(height)),
                std::string("F").append(rate), "Ip", "A1:1", std::string("C").append(Y4mChromaTag(chroma))};
    return h;
}

bool Y4mReader::Fill(std::string& error)
{
    if (m_eof)
        return true;
    if (m_pos == m_buffer.size()) {
        m_buffer.clear();
        m_pos = 0;
    }
    const size_t old = m_buffer.size();
    m_buffer.resize(old + kReadChunk);
    size_t got = 0;
    if (!m_source.Read(m_buffer.data() + old, kReadChunk, got)) {
        m_buffer.resize(old);
        error = m_source.Error();
        return false;
    }
    m_buffer.resize(old + got);
    if (got == 0)
        m_eof = true;
    return true;
}

bool Y4mReader::ReadLine(std::string& line, size_t limit, bool& atEnd, std::string& error)
{
    line.clear();
    atEnd = false;
    bool any = false;
    for (;;) {
        if (m_pos == m_buffer.size()) {
            if (!Fill(error))
                return false;
            if (m_pos == m_buffer.size()) { // end of input
                if (!any) {
                    atEnd = true;
                    error.clear();
                } else {
                    error = "the stream ends inside the line \"" + MessageExcerpt(line) + "\"";
                }
                return false;
            }
        }
        const uint8_t* start = m_buffer.data() + m_pos;
        const size_t available = m_buffer.size() - m_pos;
        const void* nl = std::memchr(start, '\n', available);
        const size_t take = nl ? static_cast<size_t>(static_cast<const uint8_t*>(nl) - start) : available;
        if (line.size() + take > limit) {
            error = "line longer than " + std::to_string(limit) + " bytes: \"" +
                    MessageExcerpt(std::string_view(reinterpret_cast<const char*>(start), take)) + "\"";
            return false;
        }
        any = true;
        line.append(reinterpret_cast<const char*>(start), take);
        m_pos += take;
        if (nl) {
            ++m_pos; // the newline
            return true;
        }
    }
}

bool Y4mReader::ReadHeader(std::string& error)
{
    // Look at the first bytes before reading a line, so that other data is
    // named as such rather than as an overlong line.
    while (m_buffer.size() - m_pos < kMagic.size() && !m_eof)
        if (!Fill(error))
            return false;
    const size_t have = std::min(kMagic.size(), m_buffer.size() - m_pos);
    if (have == 0) {
        error = "empty input: no YUV4MPEG2 header";
        return false;
    }
    if (std::memcmp(m_buffer.data() + m_pos, kMagic.data(), have) != 0) {
        error = "not a YUV4MPEG2 stream (it must start with \"YUV4MPEG2 \")";
        return false;
    }
    std::string line;
    bool atEnd = false;
    if (!ReadLine(line, kMaxY4mHeaderLine, atEnd, error)) {
        error = "stream header: " + error;
        return false;
    }
    return ParseY4mHeader(line, m_header, error);
}

Y4mReader::Result Y4mReader::ReadFrame(Y4mFrame& frame, std::string& error)
{
    const std::string number = std::to_string(m_frames + 1);
    std::string line;
    bool atEnd = false;
    if (!ReadLine(line, kMaxY4mFrameLine, atEnd, error)) {
        if (atEnd)
            return Result::End;
        error = "frame " + number + ": " + error;
        return Result::Error;
    }
    const std::string_view view(line);
    if (view.substr(0, kFrame.size()) != kFrame ||
        (view.size() > kFrame.size() && view[kFrame.size()] != ' ')) {
        error = "frame " + number + ": expected a FRAME line, found \"" + MessageExcerpt(view) + "\"";
        return Result::Error;
    }
    const std::string_view params = view.substr(kFrame.size());
    if (!params.empty()) {
        // Parameters are fields like those of the stream header.
        std::string_view rest = params.substr(1);
        bool ok = !rest.empty();
        while (ok) {
            const size_t space = rest.find(' ');
            const std::string_view token = rest.substr(0, space);
            ok = !token.empty() && Printable(token);
            if (space == std::string_view::npos)
                break;
            rest.remove_prefix(space + 1);
        }
        if (!ok) {
            error = "frame " + number + ": malformed FRAME parameters \"" + MessageExcerpt(params) + "\"";
            return Result::Error;
        }
    }
    const size_t size = m_header.FrameBytes();
    size_t have = 0;
    try {
        frame.params.assign(params);
        // A frame buffer of the right size is reused as it is. Otherwise the
        // buffer grows with the data that arrives, so that a header that
        // promises huge frames costs memory only once the data is there.
        if (frame.data.size() != size)
            frame.data.assign(std::min(size, kFirstFrameChunk), 0);
        while (have < size) {
            if (have == frame.data.size())
                frame.data.resize(std::min(size, 2 * have));
            size_t got = std::min(frame.data.size() - have, m_buffer.size() - m_pos);
            if (got != 0) {
                std::memcpy(frame.data.data() + have, m_buffer.data() + m_pos, got);
                m_pos += got;
            } else if (!ReadFully(m_source, frame.data.data() + have, frame.data.size() - have, got)) {
                error = "frame " + number + ": " + m_source.Error();
                return Result::Error;
            } else if (got == 0) {
                break;
            }
            have += got;
        }
    } catch (const std::bad_alloc&) {
        error = "frame " + number + ": not enough memory";
        return Result::Error;
    }
    if (have < size) {
        error = "frame " + number + " is truncated: " + std::to_string(have) + " of " +
                std::to_string(size) + " bytes";
        return Result::Error;
    }
    ++m_frames;
    return Result::Frame;
}

bool Y4mWriter::WriteHeader(const Y4mHeader& header, std::string& error)
{
    const std::string line = FormatY4mHeader(header);
    m_frameBytes = header.FrameBytes();
    if (!m_sink.Write(line.data(), line.size())) {
        error = m_sink.Error();
        return false;
    }
    return true;
}

bool Y4mWriter::WriteFrame(const Y4mFrame& frame, std::string& error)
{
    if (frame.data.size() != m_frameBytes) {
        error = "frame of " + std::to_string(frame.data.size()) + " bytes where the stream has " +
                std::to_string(m_frameBytes);
        return false;
    }
    const std::string line = std::string(kFrame) + frame.params + "\n";
    if (!m_sink.Write(line.data(), line.size()) || !m_sink.Write(frame.data.data(), frame.data.size())) {
        error = m_sink.Error();
        return false;
    }
    return true;
}

bool ScanY4mStream(const uint8_t* data, size_t size, uint64_t& frames, std::string& error) noexcept
{
    try {
        MemorySource source(data, size);
        Y4mReader reader(source);
        frames = 0;
        if (!reader.ReadHeader(error))
            return false;
        Y4mFrame frame;
        for (;;) {
            switch (reader.ReadFrame(frame, error)) {
            case Y4mReader::Result::Frame:
                ++frames;
                break;
            case Y4mReader::Result::End:
                return true;
            case Y4mReader::Result::Error:
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory";
    } catch (...) {
        error = "unexpected failure while reading the stream";
    }
    return false;
}

} // namespace colorcorrect::formats
