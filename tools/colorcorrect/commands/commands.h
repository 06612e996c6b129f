#pragma once
// The subcommands of the `colorcorrect` tool. Each takes its parsed options,
// does its work and returns the process exit code: 0 on success, 1 when it
// failed, after one line on standard error of the form
// "<command>: <file>: <problem>". "-" names standard input or output.

#include <cstdio>
#include <string>

namespace colorcorrect::cli {

enum class ImageFormatChoice { Auto, Png, Jpeg, Bmp };
enum class ProgressChoice { Auto, On, Off };

struct ApplyOptions {
    std::string correction; // JSON or binary correction file
    std::string input;      // PNG, JPEG, BMP or YUV4MPEG2
    std::string output;
    ImageFormatChoice format = ImageFormatChoice::Auto; // stills: by output name, else the input's
    int jpegQuality = 95;
    unsigned threads = 0; // streams: workers, 0 = one per core
    ProgressChoice progress = ProgressChoice::Auto;
};
int RunApply(const ApplyOptions& options);

struct LutOptions {
    std::string correction;
    int cubeSize = 33;
    std::string output;
    std::string title; // empty: the correction file's name
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

// ---- serve: the browser workstation ----

struct ServeOptions {
    std::string host = "127.0.0.1"; // address to listen on; loopback unless asked otherwise
    int port = 8080;                 // 0: any free port
    std::string source;              // picture to start every session with; empty: the default picture
    std::string reference;           // likewise for the reference
    size_t maxSessions = 8;          // browser sessions at once, 1..256
    size_t maxUploadBytes = size_t{64} << 20; // largest request body (uploads)
    int idleMinutes = 30;            // sessions unused this long are dropped
};
int RunServe(const ServeOptions& options);

// Parses the command line and runs the subcommand. Help and version go to
// standard output (exit 0); usage errors to standard error (exit 2).
int RunCli(int argc, char** argv);

} // namespace colorcorrect::cli
