// The command line of `colorcorrect`: subcommands, options and help texts.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <map>
#include <new>
#include <string>

#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/file_io.h>

#include "commands.h"

#ifndef COLORCORRECT_CLI_VERSION
#define COLORCORRECT_CLI_VERSION "unknown"
#endif

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

const char* const kDescription =
    "colorcorrect: correct pictures and YUV4MPEG2 video with a correction file, draw scope\n"
    "displays, convert and describe correction files, and export corrections as 3D LUTs or\n"
    "real-time packages.";

const char* const kFooter =
    "Correction files are JSON (see docs/correction-file.md) or the 564-byte binary record;\n"
    "either is recognised by its content. \"-\" stands for standard input or output.\n"
    "Run 'colorcorrect SUBCOMMAND --help' for the options of a subcommand.\n"
    "\n"
    "Examples:\n"
    "  colorcorrect demo -o out\n"
    "  colorcorrect apply -c look.json in.png out.png\n"
    "  ffmpeg -i in.mov -pix_fmt yuv444p -f yuv4mpegpipe - |\n"
    "    colorcorrect apply -c look.json - - | ffmpeg -f yuv4mpegpipe -i - out.mov\n"
    "  colorcorrect scope waveform -c look.json in.png -o waveform.png\n"
    "  colorcorrect lut -c look.json --cube 33 look.cube\n"
    "  colorcorrect lut -c look.json --rt look.rtlut\n"
    "  colorcorrect auto gray 120,80 -s shot.png -o gray.json\n"
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
    "interpolated to every pixel at the siting the stream declares, corrected, and averaged back\n"
    "onto the 4:2:0 samples; samples whose pixels the correction leaves alone stay exactly as\n"
    "they were. Interlaced 4:2:0 (It, Ib) is resampled field by field; a stream that mixes\n"
    "progressive and interlaced frames (Im) needs --progressive. A progress line (frames, frames\n"
    "per second) goes to standard error when it is a terminal, or with --progress.\n"
    "\n"
    "A stream's YUV is taken as BT.601 (--matrix bt709 for BT.709) in the range its XCOLORRANGE\n"
    "tag gives, limited when it has none (--range overrides both), and converted to the library's\n"
    "full-range BT.601 for the correction and back; pixels the correction leaves alone keep\n"
    "their bytes.\n"
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

int ParseAndRun(int argc, char** argv)
{
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
    applyCmd->add_option("-j,--threads", apply.threads, "Threads: stream workers, or threads sharing the rows of a still (default: one per core)")
        ->check(Quiet(CLI::Range(0u, 1024u)))
        ->type_name("N");
    applyCmd->add_option("--matrix", apply.matrix, "Streams: the YUV matrix, bt601 or bt709 (default bt601)")
        ->transform(Quiet(CLI::CheckedTransformer(
            Choices<formats::YuvMatrix>({{"bt601", formats::YuvMatrix::Bt601}, {"bt709", formats::YuvMatrix::Bt709}}),
            CLI::ignore_case)))
        ->type_name("M");
    applyCmd->add_option("--range", apply.range,
                         "Streams: full or limited (default: the stream's XCOLORRANGE, else limited)")
        ->transform(Quiet(CLI::CheckedTransformer(
            Choices<formats::YuvRange>({{"full", formats::YuvRange::Full}, {"limited", formats::YuvRange::Limited}}),
            CLI::ignore_case)))
        ->type_name("R");
    applyCmd->add_flag("--progressive", apply.progressive,
                       "Streams: resample interlaced (It, Ib) and mixed (Im) 4:2:0 as progressive");
    applyCmd->add_flag("--progress", progressOn, "Show the progress line even when stderr is not a terminal");
    applyCmd->add_flag("--no-progress", progressOff, "Never show the progress line");
    applyCmd->footer(kApplyFooter);

    LutOptions lut;
    CLI::App* lutCmd = app.add_subcommand("lut", "Export a correction as a 3D LUT (.cube)");
    lutCmd->add_option("-c,--correction", lut.correction, "Correction file (JSON or binary record)")
        ->required()
        ->type_name("FILE");
    CLI::Option* cubeOpt = lutCmd->add_option("--cube", lut.cubeSize, "Points along each axis, 2..256 (default 33)")
                               ->check(Quiet(CLI::Range(kMinCubeSize, kMaxCubeSize)))
                               ->type_name("N");
    CLI::Option* titleOpt =
        lutCmd->add_option("--title", lut.title, "TITLE line of the file (default: the correction's name)")
            ->type_name("TEXT");
    lutCmd->add_flag("--rt", lut.realTime, "Write the 2052-byte real-time package instead of a .cube table")
        ->excludes(cubeOpt)
        ->excludes(titleOpt);
    lutCmd->add_option("OUT", lut.output, "Output file (.cube table, or the package with --rt); - for stdout")
        ->required()
        ->type_name("");
    lutCmd->footer(
        "The .cube table samples the correction: each grid colour goes to the library's YUV, through\n"
        "the correction and back to RGB with the library's formulas. Red changes fastest. Sizes N\n"
        "with N - 1 dividing 255 (for example 18, 52, 86, 256) sample exact 8-bit colours.\n"
        "\n"
        "With --rt the output is the binary real-time package a playback consumer applies with table\n"
        "look-ups alone (docs/rt-lut-package.md): the primary part of the correction (luma curve,\n"
        "hue, saturation, red, green and blue curves, clipping range), with a mode byte and a CRC-32\n"
        "check value. The six-vector and match-vector groups are not part of it.");

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

    ScopeOptions scope;
    CLI::App* scopeCmd = app.add_subcommand("scope", "Draw a scope display of a picture under a correction");
    scopeCmd->add_option("MODE", scope.mode, "vector, waveform, histogram, lightning, cube or combined")
        ->required()
        ->type_name("");
    scopeCmd->add_option("IN", scope.input, "PNG, JPEG or BMP picture; - for stdin")->required()->type_name("");
    scopeCmd->add_option("-o,--output", scope.output, "The display, 384 x 288 (PNG; JPEG or BMP by extension); - for stdout")
        ->required()
        ->type_name("OUT");
    scopeCmd->add_option("-c,--correction", scope.correction, "Correction file (default: no correction)")
        ->type_name("FILE");
    scopeCmd->add_option("--reference", scope.reference, "Reference picture, drawn in blue into the histogram")
        ->type_name("REF");
    scopeCmd->add_option("--angles", scope.angles, "Cube view: alpha,beta,gamma in degrees (default 90,90,-90)")
        ->type_name("A,B,G");
    scopeCmd->add_option("--intensity", scope.intensity, "Brightness of the sample counts, -12..255 (default 120)")
        ->type_name("N");
    scopeCmd->add_option("--isolate", scope.isolate, "Count match vector N apart (blue); TYPE 0..7 isolates it in --picture")
        ->type_name("N[:TYPE]");
    scopeCmd->add_option("--channel", scope.channel, "--picture shows one channel: all, red, green, blue or luma")
        ->type_name("NAME");
    scopeCmd->add_option("--picture", scope.picture, "Also write the corrected picture of the display pass")
        ->type_name("FILE");
    scopeCmd->footer(
        "The display filter corrects the picture and counts its samples in one pass, as a correction\n"
        "view does; ordinary samples show in green over the red graticule. The displays:\n"
        "  vector     chroma plane: Cb to the right, Cr up; the match vectors' regions in blue\n"
        "  waveform   luma (up) against the picture column (across)\n"
        "  histogram  R, G, B distributions (bottom to top: B, G, R); the reference's in blue\n"
        "  lightning  Cb (upper half) and Cr (lower half) against luma\n"
        "  cube       the colours as a cloud in a turnable Cr, Cb, Y cube, with the axes and the\n"
        "             isolated match vector's region drawn in\n"
        "  combined   vector, both lightning halves and the waveform in four panels\n"
        "\n"
        "--isolate N counts the samples that match vector N selects apart, in blue. Its TYPE (default\n"
        "0) changes only --picture: 1 shows the vector's luma window, 2-6 its region, 7 its region\n"
        "fading out toward the edges; everything else turns grey.");

    AutoOptions autoOptions;
    CLI::App* autoCmd =
        app.add_subcommand("auto", "Compute a correction from picked points or regions of pictures");
    autoCmd->add_option("KIND", autoOptions.kind,
                        "gray, tone, colour, contrast, histmatch, huematch or vector")
        ->required()
        ->type_name("");
    autoCmd->add_option("POINTS", autoOptions.points, "Points X,Y of the source, or pairs SX,SY:RX,RY")
        ->type_name("");
    autoCmd->add_option("-s,--source", autoOptions.source, "The picture to correct (PNG, JPEG or BMP); - for stdin")
        ->required()
        ->type_name("PIC");
    autoCmd->add_option("-r,--reference", autoOptions.reference, "The picture to match (tone, colour, histmatch, huematch, vector --to)")
        ->type_name("REF");
    autoCmd->add_option("-c,--correction", autoOptions.correction, "Starting correction (default: none)")
        ->type_name("FILE");
    autoCmd->add_option("-o,--output", autoOptions.output, "Correction file written: JSON, or binary for .ccr/.bin; - for stdout")
        ->required()
        ->type_name("OUT");
    autoCmd->add_option("--mode", autoOptions.mode, "gray with one point, tone: white (default), black (gray), gamma or both")
        ->type_name("MODE");
    autoCmd->add_option("--source-rect", autoOptions.sourceRect, "histmatch, huematch: source region (default: all)")
        ->type_name("L,T,R,B");
    autoCmd->add_option("--reference-rect", autoOptions.referenceRect, "histmatch, huematch: reference region (default: all)")
        ->type_name("L,T,R,B");
    autoCmd->add_option("--rect", autoOptions.rect, "vector: the source region whose colours it selects")
        ->type_name("L,T,R,B");
    autoCmd->add_option("--widen", autoOptions.widen, "vector: widen it to cover this source region too (repeatable)")
        ->type_name("L,T,R,B");
    autoCmd->add_option("--to", autoOptions.to, "vector: carry its colour to that of this reference region")
        ->type_name("L,T,R,B");
    autoCmd->add_option("--index", autoOptions.index, "vector: its number 1..15 (default: the next free one)")
        ->type_name("N");
    autoCmd->footer(
        "Points and regions are in pixels of the full-size pictures, x from the left, y from the top;\n"
        "regions are LEFT,TOP,RIGHT,BOTTOM with right and bottom exclusive. Each sample is the\n"
        "average of the 3 x 3 pixels around its point.\n"
        "\n"
        "  gray P [P [P]]        make one to three gray points of the source neutral (red, green and\n"
        "                        blue curves); one point: --mode white, black, gamma or both\n"
        "  tone S:R              make source point S take the colour of reference point R;\n"
        "                        --mode white, gamma or both\n"
        "  colour S:R [S:R S:R]  change the curves of the starting correction so that each source\n"
        "                        point takes the colour of its reference point\n"
        "  contrast P P          stretch the luma between a dark and a bright source point\n"
        "  histmatch             make the R, G, B histograms of the source (region) land on those\n"
        "                        of the reference (region); a new correction, clipping kept\n"
        "  huematch              turn the source's hues onto the reference's (a new correction)\n"
        "  vector --rect R       a match vector selecting the colours of the source region, as the\n"
        "                        starting correction shows them; --widen adds regions, --to sets\n"
        "                        its correction so that it takes the reference region's colour\n"
        "\n"
        "gray, tone, colour and contrast switch the primary group on; vector switches the match\n"
        "vectors on. Apply the result with 'colorcorrect apply -c OUT ...'.\n"
        "\n"
        "Examples:\n"
        "  colorcorrect auto gray 120,80 -s shot.png -o gray.json\n"
        "  colorcorrect auto colour 40,60:52,61 -s shot.png -r ref.png -c look.json -o look2.json\n"
        "  colorcorrect auto vector --rect 300,200,340,230 --to 10,10,30,30 -s shot.png -r ref.png -o v.json");

    DemoOptions demo;
    CLI::App* demoCmd = app.add_subcommand("demo", "Correct the built-in colour-bar picture and draw every display");
    demoCmd->add_option("-o,--output", demo.outputDir, "Folder for the results (default: out)")->type_name("DIR");
    demoCmd->footer(
        "Corrects the library's default picture (a colour-bar pattern) with a sample correction that\n"
        "uses the primary, six-vector and match-vector stages, drives a viewer as a host's correction\n"
        "view does, and writes into DIR: source.png, reference.png (the picture with a warm grade),\n"
        "corrected.png, preview.png (the viewer's preview with the reference split into the top\n"
        "right), display.png (the reduced corrected picture with the reference inlay), one\n"
        "scope-MODE.png for each display (vector, waveform, histogram, lightning, cube, combined) and\n"
        "correction.json (the sample correction). Nothing is written unless everything was made.");
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
    serveCmd->add_option("--publish", serve.publish,
                         "Write the correction to FILE (JSON, replaced whole) after each change, for a running "
                         "GStreamer pipeline with colorcorrect correction=FILE to follow")
        ->type_name("FILE");
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
        // One line, so that a script's log keeps the error with its cause.
        std::fprintf(stderr, "%s: %s (see '%s')\n", where.c_str(), StripCli11Prefix(e.what()).c_str(),
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
    if (scopeCmd->parsed())
        return RunScope(scope);
    if (demoCmd->parsed())
        return RunDemo(demo);
    if (autoCmd->parsed())
        return RunAuto(autoOptions);
    if (serveCmd->parsed()) {
        serve.maxUploadBytes = serveUploadMb << 20;
        return RunServe(serve);
    }
    return 2;
}

} // namespace

int RunCli(int argc, char** argv)
{
    InstallOutputCleanupHandlers();
    // Each command reports running out of memory in its own words; this is
    // the last line for what happens outside them (parsing the options), so
    // that no allocation failure ends the program with an abort.
    try {
        return ParseAndRun(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("colorcorrect: not enough memory\n", stderr);
        return 1;
    }
}

} // namespace colorcorrect::cli
