#pragma once
// The subcommands of the `colorcorrect` tool. Each takes its parsed options,
// does its work and returns the process exit code: 0 on success, 1 when it
// failed, after one line on standard error of the form
// "<command>: <file>: <problem>". "-" names standard input or output.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <colorcorrect/formats/yuv_conversion.h>

namespace colorcorrect::cli {

enum class ImageFormatChoice { Auto, Png, Jpeg, Bmp };
enum class ProgressChoice { Auto, On, Off };

struct ApplyOptions {
    std::string correction; // JSON or binary correction file
    std::string input;      // PNG, JPEG, BMP or YUV4MPEG2
    std::string output;
    ImageFormatChoice format = ImageFormatChoice::Auto; // stills: by output name, else the input's
    int jpegQuality = 95;
    unsigned threads = 0; // streams: workers; stills: threads sharing the rows; 0 = one per core
    ProgressChoice progress = ProgressChoice::Auto;
    bool progressive = false; // streams: resample interlaced and mixed 4:2:0 as progressive
    formats::YuvMatrix matrix = formats::YuvMatrix::Bt601; // streams: their YUV's matrix
    std::optional<formats::YuvRange> range; // streams: their range; unset: XCOLORRANGE, else limited
};
int RunApply(const ApplyOptions& options);

struct LutOptions {
    std::string correction;
    int cubeSize = 33;
    std::string output;
    std::string title; // empty: the correction file's name
    bool realTime = false; // write the 2052-byte real-time package instead of a .cube table
};
int RunLut(const LutOptions& options);

enum class CorrectionFormatChoice { Auto, Json, Binary };

struct ConvertOptions {
    std::string input;
    std::string output;
    CorrectionFormatChoice to = CorrectionFormatChoice::Auto;
};
int RunConvert(const ConvertOptions& options);

struct InfoOptions {
    std::string correction;
};
int RunInfo(const InfoOptions& options);

struct ScopeOptions {
    std::string mode;       // vector, waveform, histogram, lightning, cube, combined
    std::string input;      // PNG, JPEG or BMP picture
    std::string output;     // the scope display (PNG unless the name asks for JPEG or BMP)
    std::string correction; // empty: no correction
    std::string reference;  // empty: none (histogram: drawn in blue)
    std::string angles;     // "A,B,G" cube angles; empty: the viewer's starting view
    int intensity = 120;
    std::string isolate;    // "N" or "N:TYPE"; empty: none
    std::string channel;    // all, red, green, blue, luma; empty: all
    std::string picture;    // also write the corrected picture of the display pass; empty: no
};
int RunScope(const ScopeOptions& options);

struct AutoOptions {
    std::string kind;                // gray, tone, colour, contrast, histmatch, huematch, vector
    std::vector<std::string> points; // "X,Y" points or "SX,SY:RX,RY" pairs
    std::string source;              // the picture analysed
    std::string reference;           // the picture matched against; empty: none
    std::string correction;          // the starting correction; empty: the neutral one
    std::string output;              // correction file written (JSON, or binary for .ccr/.bin)
    std::string mode;                // gray: white, black, gamma, both; tone: white, gamma, both
    std::string sourceRect;          // histmatch, huematch: "L,T,R,B"; empty: whole picture
    std::string referenceRect;
    std::string rect;                // vector: the source region
    std::vector<std::string> widen;  // vector: further source regions
    std::string to;                  // vector: reference region whose colour it is carried to
    int index = -1;                  // vector: its number 1..15; -1: the next free one
};
int RunAuto(const AutoOptions& options);

struct DemoOptions {
    std::string outputDir = "out";
};
int RunDemo(const DemoOptions& options);

// ---- serve: the browser workstation ----

struct ServeOptions {
    std::string host = "127.0.0.1"; // address to listen on; loopback unless asked otherwise
    int port = 8080;                 // 0: any free port
    std::string source;              // picture to start every session with; empty: the default picture
    std::string reference;           // likewise for the reference
    size_t maxSessions = 8;          // browser sessions at once, 1..256
    size_t maxUploadBytes = size_t{64} << 20; // largest request body (uploads)
    int idleMinutes = 30;            // sessions unused this long are dropped
    std::string publish;             // file a session's correction is written to after each change; empty: none
};
int RunServe(const ServeOptions& options);

// Parses the command line and runs the subcommand. Help and version go to
// standard output (exit 0); usage errors to standard error (exit 2).
int RunCli(int argc, char** argv);

} // namespace colorcorrect::cli
