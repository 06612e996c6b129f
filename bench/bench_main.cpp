// The benchmark suite. Every Process figure sits beside memcpy of the same
// frame (the memory-bandwidth limit) and the reference loop on the same
// frame, so it can be read as a ratio measured in the same run; absolute
// times on a shared machine are noisy.
//
//   Memcpy/<frame>                 copy of the frame
//   Process/<case>/<frame>         the loop Process chooses
//   Reference/<case>/<frame>       the straightforward per-pixel loop
//   ProcessPreview/<case>/<frame>  the display filter's preview
//   ProcessDisplay/mode:M/<frame>  corrected RGB picture and scope M
//   ProcessRTDisplay/<geometry>/<frame> the real-time display: half size,
//                                  one field or the whole frame, +overlay
//   ViewerLatency/<change>/<frame> SetCorrection to the delivered preview
//                                  (wall-clock time)
//   HistoMatch, HueMatch/<area>/<frame>  matching whole pictures or regions
//   GetMatchVector/<area>/<frame>  a match vector from a region
//   Bands/<case>/<frame>/threads:N one frame in row bands on N threads
//                                  (wall-clock time: compare N = 1 and 2)
//   StreamFrame/<C>/<yuv>/<look>/<size>  one stream frame corrected from
//                                  its planes in bands ("fps" counter)
//   StreamWhole/...                the same through whole packed pictures
//   SetupFilter/<kind>             first set-up, match rebuild (also with
//                                  its rows on two threads), cached
//   Memory/<case>                  bytes a set-up filter holds
//   Peers/<route>/<frame>          the `all` look exported as a .cube and
//                                  applied by OpenColorIO (ocio-cubeN-I, N
//                                  points, interpolation I) beside Process
//                                  on the same RGB frames (colorcorrect-rgb)
//                                  and YUV frames (colorcorrect-yuv)
//
// <frame> is <content>/<width>x<height>/<bits>. Rates are in pixels per
// second ("pixels" counter), from CPU time except for the Bands cases.

#include <benchmark/benchmark.h>

#include <colorcorrect/colorcorrect.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "bench_analysis.h"
#include "bench_display.h"
#include "bench_frames.h"
#include "bench_peers.h"
#include "bench_records.h"
#include "bench_streams.h"
#include "bench_viewer.h"

namespace colorcorrect::bench {
namespace {

struct FrameKind {
    int width;
    int height;
    int bits;
    Content content;
    std::string Name() const
    {
        return ContentName(content) + "/" + std::to_string(width) + "x" + std::to_string(height) +
               "/" + std::to_string(bits);
    }
};

// Frames are made once and shared by all cases.
const Frame& FrameOf(const FrameKind& k)
{
    static std::map<std::tuple<int, int, int, int>, std::unique_ptr<Frame>> frames;
    auto& slot = frames[{k.width, k.height, k.bits, static_cast<int>(k.content)}];
    if (!slot)
        slot = std::make_unique<Frame>(MakeFrame(k.width, k.height, k.bits, k.content));
    return *slot;
}

void SetPixelRate(benchmark::State& state, size_t pixels)
{
    state.counters["pixels"] = benchmark::Counter(static_cast<double>(pixels),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void Memcpy(benchmark::State& state, FrameKind kind)
{
    const Frame& in = FrameOf(kind);
    std::vector<BYTE> out(in.pixels.size(), 1);
    for (auto _ : state) {
        std::memcpy(out.data(), in.pixels.data(), in.pixels.size());
        benchmark::ClobberMemory();
    }
    SetPixelRate(state, in.Pixels());
}

void ProcessCase(benchmark::State& state, FrameKind kind, tagCOLORCORRINFO record, bool reference)
{
    Frame in = FrameOf(kind);
    std::vector<BYTE> out(in.pixels.size(), 1);
    CBaseColorCorrectionFilter filter;
    if (!filter.SetupFilter(record)) {
        state.SkipWithError("SetupFilter failed");
        return;
    }
    for (auto _ : state) {
        const BOOL ok = reference ? filter.ProcessReference(&in.header, in.pixels.data(), out.data())
                                  : filter.Process(&in.header, in.pixels.data(), out.data());
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    SetPixelRate(state, in.Pixels());
    state.SetLabel(reference ? "reference" : filter.ProcessPathName());
}

// One frame in row bands on `threads` threads (the caller included).
void Bands(benchmark::State& state, FrameKind kind, tagCOLORCORRINFO record, unsigned threads)
{
    Frame in = FrameOf(kind);
    std::vector<BYTE> out(in.pixels.size(), 1);
    CBaseColorCorrectionFilter filter;
    if (!filter.SetupFilter(record)) {
        state.SkipWithError("SetupFilter failed");
        return;
    }
    BandProcessor pool(threads);
    for (auto _ : state) {
        const BOOL ok = pool.Process(filter, &in.header, in.pixels.data(), out.data());
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    SetPixelRate(state, in.Pixels());
    state.SetLabel(filter.ProcessPathName());
}

// The first set-up of a new filter with six vectors: includes building the
// six-vector index.
void SetupFirstSix(benchmark::State& state)
{
    const tagCOLORCORRINFO cc = VectorRecord(1);
    for (auto _ : state) {
        CBaseColorCorrectionFilter filter;
        benchmark::DoNotOptimize(filter.SetupFilter(cc));
    }
}

// A set-up whose match record changed: six vectors and 16 match vectors,
// the match index and tables rebuilt on every call.
void SetupMatchRebuild(benchmark::State& state, unsigned threads)
{
    const tagCOLORCORRINFO a = AllStagesRecord(0);
    const tagCOLORCORRINFO b = AllStagesRecord(1);
    CBaseColorCorrectionFilter filter;
    BandProcessor pool(threads);
    if (threads > 1)
        filter.SetSetupBands(&pool);
    filter.SetupFilter(a);
    bool flip = false;
    for (auto _ : state) {
        flip = !flip;
        benchmark::DoNotOptimize(filter.SetupFilter(flip ? b : a));
    }
    state.counters["filter_bytes"] = static_cast<double>(filter.MemoryBytes());
}

// The same record again: everything cached that can be.
void SetupCached(benchmark::State& state)
{
    const tagCOLORCORRINFO a = AllStagesRecord(0);
    CBaseColorCorrectionFilter filter;
    filter.SetupFilter(a);
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.SetupFilter(a));
    state.counters["filter_bytes"] = static_cast<double>(filter.MemoryBytes());
}

// A primary change only (an interactive drag of the hue control): the
// primary tables change, the vector and match tables stay.
void SetupHueChange(benchmark::State& state)
{
    tagCOLORCORRINFO a = AllStagesRecord(0);
    CBaseColorCorrectionFilter filter;
    filter.SetupFilter(a);
    int hue = 0;
    for (auto _ : state) {
        a.Base.sHue = static_cast<int16_t>(hue++ % 64);
        benchmark::DoNotOptimize(filter.SetupFilter(a));
    }
}

void Memory(benchmark::State& state, tagCOLORCORRINFO record)
{
    CBaseColorCorrectionFilter filter;
    filter.SetupFilter(record);
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.MemoryBytes());
    state.counters["filter_bytes"] = static_cast<double>(filter.MemoryBytes());
}

void RegisterAll()
{
    const std::vector<RecordCase> cases = ProcessCases();
    for (const auto& [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}})
        for (int bits : {24, 32})
            for (Content content : {Content::Natural, Content::Random}) {
                const FrameKind kind{w, h, bits, content};
                benchmark::RegisterBenchmark(("Memcpy/" + kind.Name()).c_str(), Memcpy, kind)
                    ->Unit(benchmark::kMillisecond);
                for (const RecordCase& c : cases) {
                    benchmark::RegisterBenchmark(
                        ("Process/" + c.name + "/" + kind.Name()).c_str(), ProcessCase, kind,
                        c.record, false)
                        ->Unit(benchmark::kMillisecond);
                    benchmark::RegisterBenchmark(
                        ("Reference/" + c.name + "/" + kind.Name()).c_str(), ProcessCase, kind,
                        c.record, true)
                        ->Unit(benchmark::kMillisecond);
                }
            }
    for (const RecordCase& c : cases) {
        if (c.name != "primary" && c.name != "all")
            continue;
        const FrameKind kind{3840, 2160, 24, Content::Natural};
        for (unsigned threads : {1u, 2u})
            benchmark::RegisterBenchmark(
                ("Bands/" + c.name + "/" + kind.Name() + "/threads:" + std::to_string(threads))
                    .c_str(),
                Bands, kind, c.record, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    }
    benchmark::RegisterBenchmark("SetupFilter/first-six", SetupFirstSix)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("SetupFilter/match-rebuild-16", SetupMatchRebuild, 1u)
        ->Unit(benchmark::kMillisecond);
    // The per-pair rows shared out over two threads, as the viewer does
    // (wall-clock time).
    benchmark::RegisterBenchmark("SetupFilter/match-rebuild-16/threads:2", SetupMatchRebuild, 2u)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("SetupFilter/cached", SetupCached)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("SetupFilter/hue-change", SetupHueChange)
        ->Unit(benchmark::kMillisecond);
    for (const RecordCase& c : cases)
        benchmark::RegisterBenchmark(("Memory/" + c.name).c_str(), Memory, c.record)
            ->Iterations(1)
            ->Repetitions(1);
}

} // namespace
} // namespace colorcorrect::bench

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    colorcorrect::bench::RegisterAll();
    colorcorrect::bench::RegisterDisplayBenchmarks();
    colorcorrect::bench::RegisterViewerBenchmarks();
    colorcorrect::bench::RegisterAnalysisBenchmarks();
    colorcorrect::bench::RegisterStreamBenchmarks();
    colorcorrect::bench::RegisterPeerBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
