// The command line of `colorcorrect`: subcommands, options and help texts.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "commands.h"
#include "cube_lut.h"
#include "file_io.h"

#ifndef COLORCORRECT_CLI_VERSION
#define COLORCORRECT_CLI_VERSION "unknown"
#endif

namespace colorcorrect::cli {

namespace {

const char* const kDescription =
    "colorcorrect: correct pictures and YUV4MPEG2 video with a correction file, convert and\n"
    "describe correction files, and export corrections as 3D LUTs.";

const char* const kFooter =
    "Correction files are JSON (see docs/correction-file.md) or the 564-byte binary record;\n"
    "either is recognised by its content. \"-\" stands for standard input or output.\n"
    "Run 'colorcorrect SUBCOMMAND --help' for the options of a subcommand.\n"
    "\n"
    "Examples:\n"
    "  colorcorrect apply -c look.json in.png out.png\n"
    "  ffmpeg -i in.mov -pix_fmt yuv444p -f yuv4mpegpipe - |\n"
    "    colorcorrect apply -c look.json - - | ffmpeg -f yuv4mpegpipe -i - out.mov\n"
    "  colorcorrect lut -c look.json --cube 33 look.cube\n"
    "  colorcorrect convert look.json look.ccr\n"
    "  colorcorrect info look.ccr";

const char* const kApplyFooter =
    "Still pictures (PNG, JPEG, BMP; RGB or RGBA) are converted to the library's YUV with its own\n"
    "fixed-point formulas, corrected and converted back; alpha passes through unchanged. The\n"
    "output format follows OUT's extension (.png, .jpg, .jpeg, .bmp), --format, or for \"-\" the\n"
    "input's format.\n"
    "\n"
    "YUV4MPEG2 streams (8-bit C444, C444alpha, C420jpeg, C420mpeg2, C420paldv) are corrected\n"
    "frame by frame on all cores and written in order, in the input's format. 4:2:0 chroma is\n"
    "interpolated to every pixel for the correction, and the change the correction makes is\n"
    "averaged back onto the 4:2:0 samples, so chroma that the correction leaves alone stays\n"
    "exactly as it was. A progress line (frames, frames per second) goes to standard error when\n"
    "it is a terminal, or with --progress.\n"
    "\n"
    "Output files appear only when complete: a failure leaves no partial file.";

template <typename T>
std::map<std::string, T> Choices(std::initializer_list<std::pair<const std::string, T>> items)
{
    return std::map<std::string, T>(items);
}

// The help texts name each option's values and range themselves; the
// validators' own descriptions would repeat them less readably.
CLI::Validator Quiet(CLI::Validator validator)
{
    validator.description("");
    return validator;
}

std::string StripCli11Prefix(std::string message)
{
    // CLI11 sometimes ends its messages with a newline.
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

} // namespace

int RunCli(int argc, char** argv)
{
    InstallOutputCleanupHandlers();

    CLI::App app{kDescription, "colorcorrect"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("colorcorrect ") + COLORCORRECT_CLI_VERSION,
                         "Print the version and exit");
    app.footer(kFooter);
    app.get_formatter()->column_width(34);

    ApplyOptions apply;
    ImageFormatChoice applyFormat = ImageFormatChoice::Auto;
    bool progressOn = false, progressOff = false;
    CLI::App* applyCmd = app.add_subcommand("apply", "Correct a picture or a YUV4MPEG2 stream");
    applyCmd->add_option("-c,--correction", apply.correction, "Correction file (JSON or binary record)")
        ->required()
        ->type_name("FILE");
    applyCmd->add_option("IN", apply.input, "Input: PNG, JPEG or BMP picture, or YUV4MPEG2 stream; - for stdin")
        ->required()
        ->type_name("");
    applyCmd->add_option("OUT", apply.output, "Output file; - for stdout")->required()->type_name("");
    applyCmd
        ->add_option("--format", applyFormat, "Picture format of OUT: png, jpeg or bmp (default: from OUT)")
        ->transform(Quiet(CLI::CheckedTransformer(
            Choices<ImageFormatChoice>({{"png", ImageFormatChoice::Png},
                                        {"jpeg", ImageFormatChoice::Jpeg},
                                        {"jpg", ImageFormatChoice::Jpeg},
                                        {"bmp", ImageFormatChoice::Bmp}}),
            CLI::ignore_case)))
        ->type_name("FORMAT");
    applyCmd->add_option("--quality", apply.jpegQuality, "JPEG quality 1..100 (default 95)")
        ->check(Quiet(CLI::Range(1, 100)))
        ->type_name("Q");
    applyCmd->add_option("-j,--threads", apply.threads, "Worker threads for streams (default: one per core)")
        ->check(Quiet(CLI::Range(0u, 1024u)))
        ->type_name("N");
    applyCmd->add_flag("--progress", progressOn, "Show the progress line even when stderr is not a terminal");
    applyCmd->add_flag("--no-progress", progressOff, "Never show the progress line");
    applyCmd->footer(kApplyFooter);

    LutOptions lut;
    CLI::App* lutCmd = app.add_subcommand("lut", "Export a correction as a 3D LUT (.cube)");
    lutCmd->add_option("-c,--correction", lut.correction, "Correction file (JSON or binary record)")
        ->required()
        ->type_name("FILE");
    lutCmd->add_option("--cube", lut.cubeSize, "Points along each axis, 2..256 (default 33)")
        ->check(Quiet(CLI::Range(kMinCubeSize, kMaxCubeSize)))
        ->type_name("N");
    lutCmd->add_option("--title", lut.title, "TITLE line of the file (default: the correction's name)")
        ->type_name("TEXT");
    lutCmd->add_option("OUT", lut.output, "Output .cube file; - for stdout")->required()->type_name("");
    lutCmd->footer(
        "The table samples the correction: each grid colour goes to the library's YUV, through the\n"
        "correction and back to RGB with the library's formulas. Red changes fastest. Sizes N with\n"
        "N - 1 dividing 255 (for example 18, 52, 86, 256) sample exact 8-bit colours.");

    ConvertOptions convert;
    CLI::App* convertCmd =
        app.add_subcommand("convert", "Convert between the JSON correction file and the binary record");
    convertCmd->add_option("IN", convert.input, "Correction file (JSON or binary record); - for stdin")
        ->required()
        ->type_name("");
    convertCmd->add_option("OUT", convert.output, "Output file; - for stdout")->required()->type_name("");
    convertCmd
        ->add_option("--to", convert.to,
                     "Output form: json or binary (default: by OUT's extension, .json or .ccr/.bin; "
                     "else the form the input is not in)")
        ->transform(Quiet(CLI::CheckedTransformer(
            Choices<CorrectionFormatChoice>(
                {{"json", CorrectionFormatChoice::Json}, {"binary", CorrectionFormatChoice::Binary}}),
            CLI::ignore_case)))
        ->type_name("FORM");
    convertCmd->footer("Both forms hold the same record: converting there and back gives the same bytes.");

    InfoOptions info;
    CLI::App* infoCmd = app.add_subcommand("info", "Print a readable summary of a correction");
    infoCmd->add_option("CORRECTION", info.correction, "Correction file (JSON or binary record); - for stdin")
        ->required()
        ->type_name("");
    infoCmd->footer("Lists the active groups and every setting that is not neutral; groups that are off are\n"
                    "listed too, with the settings that would apply if they were switched on.");

    // ---- serve ----
    ServeOptions serve;
    size_t serveUploadMb = serve.maxUploadBytes >> 20;
    CLI::App* serveCmd = app.add_subcommand("serve", "Correct pictures interactively in a web browser");
    serveCmd->add_option("SOURCE", serve.source, "Picture to correct (PNG, JPEG or BMP; default: a test picture)")
        ->type_name("");
    serveCmd->add_option("REFERENCE", serve.reference, "Picture to match against (default: the test picture)")
        ->type_name("");
    serveCmd->add_option("--port", serve.port, "TCP port, 0..65535; 0 takes a free one (default 8080)")
        ->check(Quiet(CLI::Range(0, 65535)))
        ->type_name("N");
    serveCmd->add_option("--host", serve.host, "Address to listen on (default 127.0.0.1: this computer only)")
        ->type_name("ADDR");
    serveCmd->add_option("--max-sessions", serve.maxSessions, "Browser sessions at once, 1..256 (default 8)")
        ->check(Quiet(CLI::Range(size_t{1}, size_t{256})))
        ->type_name("N");
    serveCmd->add_option("--max-upload", serveUploadMb, "Largest upload in MiB, 1..1024 (default 64)")
        ->check(Quiet(CLI::Range(size_t{1}, size_t{1024})))
        ->type_name("MB");
    serveCmd->add_option("--idle", serve.idleMinutes, "Minutes after which an unused session ends, 1..1440 (default 30)")
        ->check(Quiet(CLI::Range(1, 1440)))
        ->type_name("MIN");
    serveCmd->footer("Prints the address to open. Each browser gets its own session with its own pictures,\n"
                     "correction, saved sets and undo history. Ctrl-C stops the server.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string where = "colorcorrect";
        std::string help = "colorcorrect --help";
        for (const CLI::App* sub : app.get_subcommands()) {
            where += " " + sub->get_name();
            help = "colorcorrect " + sub->get_name() + " --help";
        }
        std::fprintf(stderr, "%s: %s\nRun '%s' for usage.\n", where.c_str(), StripCli11Prefix(e.what()).c_str(),
                     help.c_str());
        return 2;
    }

    if (applyCmd->parsed()) {
        if (progressOn && progressOff) {
            std::fprintf(stderr, "colorcorrect apply: --progress and --no-progress exclude each other\n");
            return 2;
        }
        apply.format = applyFormat;
        apply.progress = progressOn ? ProgressChoice::On : progressOff ? ProgressChoice::Off : ProgressChoice::Auto;
        return RunApply(apply);
    }
    if (lutCmd->parsed())
        return RunLut(lut);
    if (convertCmd->parsed())
        return RunConvert(convert);
    if (infoCmd->parsed())
        return RunInfo(info);
    if (serveCmd->parsed()) {
        serve.maxUploadBytes = serveUploadMb << 20;
        return RunServe(serve);
    }
    return 2;
}

} // namespace colorcorrect::cli
