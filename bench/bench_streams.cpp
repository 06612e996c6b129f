#include "bench_streams.h"

#ifdef COLORCORRECT_BENCH_STREAMS

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/frame_convert.h>

namespace colorcorrect::bench {
namespace {

using namespace colorcorrect::formats;

// The looks of scripts/ffmpeg-compare.sh: luma gamma, hue and saturation,
// then the same with channel curves.
const char* const kPlainLook = R"({"format": "colorcorrect-correction", "version": 1, "flags": {"primary": true},
 "base": {"y_gamma": 25, "hue": 12, "sat": 40}})";
const char* const kCurvesLook = R"({"format": "colorcorrect-correction", "version": 1, "flags": {"primary": true},
 "base": {"y_gamma": 25, "hue": 12, "sat": 40, "r_gamma": -15, "g_gamma": 5, "b_gamma": 10}})";

struct StreamCase {
    Y4mChroma chroma;
    YuvMatrix matrix;
    YuvRange range;
    const char* look;
    bool whole; // the whole-picture path instead of bands
};

// A frame with smooth content and a little noise, as decoded video has.
std::vector<uint8_t> MakeStreamFrame(const Y4mHeader& h)
{
    std::vector<uint8_t> frame(h.FrameBytes());
    uint32_t state = 12345;
    const size_t luma = h.LumaBytes(), chroma = h.ChromaBytes();
    for (size_t i = 0; i < frame.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const size_t plane = i < luma ? 0 : (i < luma + chroma ? 1 : 2);
        const size_t at = plane == 0 ? i : (i - luma) % chroma;
        const int base = plane == 0 ? 40 + int(at * 160 / luma) : 128 + int(at % 97) - 48;
        frame[i] = uint8_t(base + int(state >> 29));
    }
    return frame;
}

void StreamFrame(benchmark::State& state, StreamCase c)
{
    const Y4mHeader h = MakeY4mHeader(1920, 1080, c.chroma);
    const FrameConverter converter(h, false, c.matrix, c.range);
    tagCOLORCORRINFO record;
    CorrectionProcessor processor;
    std::string error;
    if (!ParseCorrectionJson(c.look, std::char_traits<char>::length(c.look), record, error) ||
        !processor.Setup(record, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<uint8_t> source = MakeStreamFrame(h);
    std::vector<uint8_t> frame = source;
    FrameConverter::Scratch scratch;
    const PictureProcessor process = processor.Processor();
    const auto [lo, hi] = processor.Range();
    for (auto _ : state) {
        state.PauseTiming();
        frame = source;
        state.ResumeTiming();
        const bool ok = c.whole ? converter.CorrectFrameWhole(frame.data(), process, lo, hi)
                                : converter.CorrectFrame(frame.data(), process, scratch, lo, hi);
        if (!ok)
            state.SkipWithError("the frame was not corrected");
        benchmark::DoNotOptimize(frame.data());
    }
    state.counters["fps"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

void RegisterStreamBenchmarks()
{
    struct Space {
        const char* name;
        YuvMatrix matrix;
        YuvRange range;
    };
    const Space spaces[] = {{"bt601-full", YuvMatrix::Bt601, YuvRange::Full},
                            {"bt601-limited", YuvMatrix::Bt601, YuvRange::Limited},
                            {"bt709-limited", YuvMatrix::Bt709, YuvRange::Limited}};
    for (const Y4mChroma chroma : {Y4mChroma::C420Jpeg, Y4mChroma::C444})
        for (const Space& s : spaces)
            for (const bool curves : {false, true})
                for (const bool whole : {false, true}) {
                    const std::string name = std::string(whole ? "StreamWhole/" : "StreamFrame/") +
                                             Y4mChromaTag(chroma) + "/" + s.name + (curves ? "/curves" : "/plain") +
                                             "/1920x1080";
                    benchmark::RegisterBenchmark(name.c_str(), StreamFrame,
                                                 StreamCase{chroma, s.matrix, s.range, curves ? kCurvesLook : kPlainLook, whole})
                        ->Unit(benchmark::kMillisecond);
                }
}

} // namespace colorcorrect::bench

#else

namespace colorcorrect::bench {
void RegisterStreamBenchmarks() {}
} // namespace colorcorrect::bench

#endif
