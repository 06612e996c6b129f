// Corrects a YUV4MPEG2 stream with the formats library, the way a program
// that handles files uses it: read a correction file, set a processor up from
// it, and run the frame-parallel pipeline from standard input to standard
// output.
//
//   correct_stream LOOK < in.y4m > out.y4m
//
// LOOK is a correction file, JSON or binary.

#include <colorcorrect/formats.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace colorcorrect::formats;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: correct_stream LOOK < in.y4m > out.y4m\n");
        return 2;
    }
    std::string error;
    std::vector<uint8_t> file;
    tagCOLORCORRINFO look;
    CorrectionFormat form;
    if (!ReadWholeFile(argv[1], 1 << 20, file, error) ||
        !ParseCorrection(file.data(), file.size(), look, form, error)) {
        std::fprintf(stderr, "correct_stream: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    CorrectionProcessor processor;
    if (!processor.Setup(look, error)) {
        std::fprintf(stderr, "correct_stream: %s: %s\n", argv[1], error.c_str());
        return 1;
    }

    FdSource in(STDIN_FILENO);
    FdSink out(STDOUT_FILENO);
    Y4mReader reader(in);
    Y4mWriter writer(out);
    if (!reader.ReadHeader(error) || !writer.WriteHeader(reader.Header(), error)) {
        std::fprintf(stderr, "correct_stream: %s\n", error.c_str());
        return 1;
    }
    PipelineOptions options; // one worker per core
    // 4:2:0 chroma is limited to the range the look's output clipping allows.
    options.chromaLo = processor.Range().lo;
    options.chromaHi = processor.Range().hi;
    const PipelineResult result = RunStreamPipeline(reader, writer, processor.Processor(), options);
    if (!result.Ok()) {
        std::fprintf(stderr, "correct_stream: %s (after %llu frames)\n", result.error.c_str(),
                     static_cast<unsigned long long>(result.frames));
        return 1;
    }
    std::fprintf(stderr, "correct_stream: %llu frames on %u workers\n",
                 static_cast<unsigned long long>(result.frames), result.threads);
    return 0;
}
