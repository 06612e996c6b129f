#pragma once
// YUV4MPEG2 streams: a header line, then frames, each a "FRAME" line followed
// by the planes (Y, then Cb and Cr, then alpha for 444alpha), 8 bits a
// sample, rows top to bottom.
//
// Header fields (tokens after "YUV4MPEG2", one space apart, each at most
// once except X): W width and H height (required, positive), F frame rate
// N:D, A pixel aspect N:D, I interlacing (p, t, b, m or ?), C colour space,
// X extensions (kept as they are). The colour spaces read are 444, 444alpha,
// 420jpeg (chroma centred between the luma samples, also the meaning of a
// bare "420" and of a header without C), 420mpeg2 (chroma co-sited with the
// left luma sample, centred vertically) and 420paldv (co-sited with the
// top-left luma sample). Anything else (an unknown field letter, a malformed
// number, another colour space, a control character) is refused.
//
// The readers take arbitrary bytes and never crash; sizes are checked before
// anything is allocated.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "byte_stream.h"
#include "yuv_conversion.h"

namespace colorcorrect::formats {

enum class Y4mChroma { C444, C444Alpha, C420Jpeg, C420Mpeg2, C420Paldv };

// The I field: Ip progressive (also the meaning of I? and of a header
// without I), It and Ib interlaced with the top or the bottom field first,
// Im progressive and interlaced frames mixed.
enum class Y4mInterlace { Progressive, TopFirst, BottomFirst, Mixed };

// Longest header line and frame line accepted, newline excluded.
inline constexpr size_t kMaxY4mHeaderLine = 4096;
inline constexpr size_t kMaxY4mFrameLine = 1024;
// Largest frame accepted: the same limit as for still pictures.
inline constexpr uint64_t kMaxY4mFrameBytes = uint64_t{1} << 30;

struct Y4mHeader {
    int width = 0;
    int height = 0;
    Y4mChroma chroma = Y4mChroma::C420Jpeg;
    Y4mInterlace interlace = Y4mInterlace::Progressive;
    // Every token after "YUV4MPEG2" as written ("W320", "F25:1",
    // "XYSCSS=444", ...), in order; FormatY4mHeader writes them back.
    std::vector<std::string> tokens;

    bool Is420() const { return chroma != Y4mChroma::C444 && chroma != Y4mChroma::C444Alpha; }
    bool HasAlpha() const { return chroma == Y4mChroma::C444Alpha; }
    bool Interlaced() const { return interlace == Y4mInterlace::TopFirst || interlace == Y4mInterlace::BottomFirst; }
    int ChromaWidth() const { return Is420() ? (width + 1) / 2 : width; }
    int ChromaHeight() const { return Is420() ? (height + 1) / 2 : height; }
    size_t LumaBytes() const { return size_t(width) * size_t(height); }
    size_t ChromaBytes() const { return size_t(ChromaWidth()) * size_t(ChromaHeight()); }
    // Y, Cb, Cr (and alpha) planes of one frame.
    size_t FrameBytes() const { return LumaBytes() * (HasAlpha() ? 2 : 1) + 2 * ChromaBytes(); }
};

// The range an XCOLORRANGE=FULL or =LIMITED token declares; none when the
// header has no such token (or another value).
std::optional<YuvRange> Y4mColorRange(const Y4mHeader& header);

// The "C" value for a colour space: "444", "444alpha", "420jpeg",
// "420mpeg2", "420paldv".
const char* Y4mChromaTag(Y4mChroma chroma);

// Parses a header line (without the newline). On failure `header` is
// unchanged and `error` names the problem.
bool ParseY4mHeader(std::string_view line, Y4mHeader& header, std::string& error);

// The header line with its newline.
std::string FormatY4mHeader(const Y4mHeader& header);

// A header for a new stream: W, H, F<rate>, Ip, A1:1, C<tag>.
Y4mHeader MakeY4mHeader(int width, int height, Y4mChroma chroma, std::string_view rate = "25:1");

struct Y4mFrame {
    std::string params;        // what followed "FRAME" on its line (with the leading space), kept
    std::vector<uint8_t> data; // the planes, Y4mHeader::FrameBytes() bytes
};

class Y4mReader {
public:
    explicit Y4mReader(ByteSource& source) : m_source(source) {}

    // Reads and checks the header line.
    bool ReadHeader(std::string& error);
    const Y4mHeader& Header() const { return m_header; }

    enum class Result { Frame, End, Error };
    // Reads the next frame into `frame` (its data resized to the frame
    // size). End when the input ends cleanly between frames; Error for a bad
    // frame line, a truncated frame or a read failure.
    Result ReadFrame(Y4mFrame& frame, std::string& error);
    uint64_t FramesRead() const { return m_frames; }
    // Makes a read waiting on another thread give up (ByteSource::Interrupt).
    void Interrupt() { m_source.Interrupt(); }

private:
    // Reads one line (without its newline) of at most `limit` bytes. False
    // with `error` set; `atEnd` is set when the input ended before any byte.
    bool ReadLine(std::string& line, size_t limit, bool& atEnd, std::string& error);
    bool Fill(std::string& error);

    ByteSource& m_source;
    Y4mHeader m_header;
    std::vector<uint8_t> m_buffer;
    size_t m_pos = 0;
    bool m_eof = false;
    uint64_t m_frames = 0;
};

class Y4mWriter {
public:
    explicit Y4mWriter(ByteSink& sink) : m_sink(sink) {}
    bool WriteHeader(const Y4mHeader& header, std::string& error);
    // Writes "FRAME", the frame's params and the data (which must have the
    // header's frame size).
    bool WriteFrame(const Y4mFrame& frame, std::string& error);

private:
    ByteSink& m_sink;
    size_t m_frameBytes = 0;
};

// Reads a whole stream from memory: header and every frame. For fuzzing and
// checks. True when the stream is well formed; `frames` gets the frame count.
bool ScanY4mStream(const uint8_t* data, size_t size, uint64_t& frames, std::string& error) noexcept;

} // namespace colorcorrect::formats
