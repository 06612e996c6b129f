// colorcorrect apply: corrects a still picture or a YUV4MPEG2 stream.

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/frame_convert.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/stream_pipeline.h>
#include <colorcorrect/formats/y4m.h>

#include "command_support.h"
#include "commands.h"
#include "progress.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "apply";
constexpr std::string_view kStreamMagic = "YUV4MPEG2";

std::optional<ImageFormat> ExplicitFormat(ImageFormatChoice choice)
{
    switch (choice) {
    case ImageFormatChoice::Png:
        return ImageFormat::Png;
    case ImageFormatChoice::Jpeg:
        return ImageFormat::Jpeg;
    case ImageFormatChoice::Bmp:
        return ImageFormat::Bmp;
    case ImageFormatChoice::Auto:
        break;
    }
    return std::nullopt;
}

int ApplyToStream(const ApplyOptions& o, const CorrectionProcessor& processor, InputFile& in,
                  std::vector<uint8_t> head)
{
    const std::string inName = DisplayName(o.input, "standard input");
    const std::string outName = DisplayName(o.output, "standard output");
    if (o.format != ImageFormatChoice::Auto)
        return Fail(kCommand, "--format is for still pictures; a YUV4MPEG2 stream stays a stream");
    if (!IsStdio(o.output)) {
        if (const auto asked = ImageFormatFromPath(o.output))
            return Fail(kCommand, outName,
                        std::string("the input is a YUV4MPEG2 stream, which is written as one, but this name "
                                    "asks for a ") +
                            ImageFormatName(*asked) + " picture");
    }

    FdSource source(in.Fd(), std::move(head));
    Y4mReader reader(source);
    std::string error;
    if (!reader.ReadHeader(error))
        return Fail(kCommand, inName, error);
    if (const char* refusal = FrameConverter::Refusal(reader.Header(), o.progressive))
        return Fail(kCommand, inName, std::string(refusal) + "; give --progressive to take every frame as progressive");

    PipelineOptions options;
    options.threads = o.threads;
    options.threads = PipelineThreads(options);
    options.matrix = o.matrix;
    options.range = o.range;
    // Refuse a worker count the machine cannot hold rather than run out of
    // memory part-way through the stream.
    const uint64_t perWorker = PipelineBytesPerWorker(reader.Header(), options);
    const uint64_t budget = uint64_t(::sysconf(_SC_PHYS_PAGES)) * uint64_t(::sysconf(_SC_PAGESIZE)) / 2;
    if (uint64_t{options.threads} * perWorker > budget) {
        const uint64_t most = std::max<uint64_t>(1, budget / perWorker);
        return Fail(kCommand, "-j " + std::to_string(options.threads) + " needs " +
                                  std::to_string(perWorker >> 20) + " MB a worker for these frames, more than half "
                                  "this machine's memory holds: use -j " + std::to_string(most) + " or fewer");
    }

    OutputFile out;
    if (!out.Open(o.output, error))
        return Fail(kCommand, outName, error);
    Y4mWriter writer(out.Sink());
    if (!writer.WriteHeader(reader.Header(), error))
        return Fail(kCommand, outName, error);

    const bool show = o.progress == ProgressChoice::On ||
                      (o.progress == ProgressChoice::Auto && ::isatty(STDERR_FILENO) == 1);
    ProgressLine progress(stderr, show);
    options.asProgressive = o.progressive;
    options.onFrameWritten = [&progress](uint64_t frames) { progress.Update(frames); };
    const PipelineResult result = processor.ProcessStream(reader, writer, options);
    progress.Finish(result.frames);
    if (result.failure == PipelineResult::Failure::Read) {
        // The frames before the damage are a valid stream of their own: keep
        // them, and still say the input was not read to its end.
        if (!out.Commit(error))
            return Fail(kCommand, outName, error);
        return Fail(kCommand, inName,
                    result.error + " (the " + std::to_string(result.frames) +
                        " complete frames before it were corrected and written)");
    }
    if (!result.Ok()) {
        out.Discard();
        const bool atOutput = result.failure == PipelineResult::Failure::Write;
        return Fail(kCommand, atOutput ? outName : inName, result.error);
    }
    if (!out.Commit(error))
        return Fail(kCommand, outName, error);
    return 0;
}

int ApplyToPicture(const ApplyOptions& o, const CorrectionProcessor& processor, InputFile& in,
                   std::vector<uint8_t> head, ImageFormat inputFormat)
{
    const std::string inName = DisplayName(o.input, "standard input");
    const std::string outName = DisplayName(o.output, "standard output");

    std::optional<ImageFormat> format = ExplicitFormat(o.format);
    if (!format) {
        if (IsStdio(o.output)) {
            format = inputFormat;
        } else {
            format = ImageFormatFromPath(o.output);
            if (!format)
                return Fail(kCommand, outName,
                            "cannot tell the picture format from the name: use .png, .jpg, .jpeg or .bmp, "
                            "or --format");
        }
    }

    std::string error;
    std::vector<uint8_t> bytes = std::move(head);
    FdSource source(in.Fd());
    if (!ReadAll(source, kMaxImageFileBytes, bytes, error))
        return Fail(kCommand, inName, error);
    RgbImage image;
    if (!DecodeImage(bytes.data(), bytes.size(), image, error))
        return Fail(kCommand, inName, error);
    std::vector<uint8_t>().swap(bytes);

    if (!processor.ProcessImage(image, o.threads))
        return Fail(kCommand, inName, "the correction could not be applied to this picture");
    const int channels = image.channels;

    if (*format == ImageFormat::Jpeg && channels == 4)
        std::fprintf(stderr, "%s: %s: JPEG has no alpha channel; the alpha channel is left out\n", kCommand,
                     outName.c_str());
    std::vector<uint8_t> encoded;
    EncodeOptions encodeOptions;
    encodeOptions.jpegQuality = o.jpegQuality;
    if (!EncodeImage(image, *format, encodeOptions, encoded, error))
        return Fail(kCommand, outName, error);
    if (!WriteWholeFile(o.output, encoded.data(), encoded.size(), error))
        return Fail(kCommand, outName, error);
    return 0;
}

} // namespace

int RunApply(const ApplyOptions& o)
{
    try {
        if (IsStdio(o.correction) && IsStdio(o.input))
            return Fail(kCommand, "the correction and the input cannot both come from standard input");
        tagCOLORCORRINFO record;
        if (!LoadCorrection(kCommand, o.correction, record))
            return 1;
        CorrectionProcessor processor;
        std::string error;
        if (!processor.Setup(record, error))
            return Fail(kCommand, DisplayName(o.correction, "standard input"), error);

        const std::string inName = DisplayName(o.input, "standard input");
        InputFile in;
        if (!in.Open(o.input, error))
            return Fail(kCommand, inName, error);
        // Recognise the input by its first bytes; they are handed on.
        std::vector<uint8_t> head(16);
        size_t got = 0;
        {
            FdSource probe(in.Fd());
            if (!ReadFully(probe, head.data(), head.size(), got))
                return Fail(kCommand, inName, probe.Error());
        }
        head.resize(got);
        if (got == 0)
            return Fail(kCommand, inName, "empty input: no picture or stream");
        if (got >= kStreamMagic.size() && std::memcmp(head.data(), kStreamMagic.data(), kStreamMagic.size()) == 0)
            return ApplyToStream(o, processor, in, std::move(head));
        const std::optional<ImageFormat> inputFormat = SniffImageFormat(head.data(), head.size());
        if (!inputFormat)
            return Fail(kCommand, inName, "not a PNG, JPEG or BMP picture, nor a YUV4MPEG2 stream");
        return ApplyToPicture(o, processor, in, std::move(head), *inputFormat);
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
