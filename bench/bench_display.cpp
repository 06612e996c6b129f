#include "bench_display.h"

#include <benchmark/benchmark.h>

#include <colorcorrect/colorcorrect.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_frames.h"
#include "bench_records.h"

namespace colorcorrect::bench {

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// The natural frame as a packed YUV picture object.
CVoraDib NaturalPicture(int bits)
{
    const Frame frame = MakeFrame(kWidth, kHeight, bits, Content::Natural);
    CVoraDib dib;
    dib.AllocYUV(kWidth, kHeight, bits, 0);
    unsigned pixel = 0, line = 0;
    dib.GetIncrements(pixel, line);
    BYTE* to = dib;
    for (int row = 0; row < kHeight; ++row)
        std::memcpy(to + static_cast<size_t>(row) * line,
                    frame.pixels.data() + static_cast<size_t>(row) * frame.stride,
                    static_cast<size_t>(kWidth) * pixel);
    return dib;
}

void SetPixelRate(benchmark::State& state)
{
    state.counters["pixels"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void Preview(benchmark::State& state, tagCOLORCORRINFO record, int bits)
{
    CVoraDib in = NaturalPicture(bits);
    CVoraDib out = in;
    CColorCorrectionFilter filter;
    filter.SetupFilter(record);
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.ProcessPreview(in, out));
    SetPixelRate(state);
}

void Display(benchmark::State& state, unsigned mode)
{
    CVoraDib in = NaturalPicture(32);
    CVoraDib out, display;
    CColorCorrectionFilter filter;
    filter.SetupFilter(PrimaryRecord());
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.ProcessDisplay(in, out, display, mode));
    SetPixelRate(state);
}

void RealTime(benchmark::State& state, unsigned long flags)
{
    const Frame frame = MakeFrame(kWidth, kHeight, 32, Content::Natural);
    std::vector<BYTE> src = frame.pixels, dst(frame.pixels.size());
    tagYUVBMINFOHEADER header = frame.header;
    CColorCorrectionFilter filter;
    filter.SetupFilter(PrimaryRecord());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            filter.ProcessRTDisplay(&header, dst.data(), src.data(), nullptr, flags));
        benchmark::ClobberMemory();
    }
    SetPixelRate(state);
}

} // namespace

void RegisterDisplayBenchmarks()
{
    const std::string frame = "/natural/" + std::to_string(kWidth) + "x" + std::to_string(kHeight);
    for (int bits : {24, 32})
        for (const RecordCase& c : ProcessCases()) {
            if (c.name != "primary" && c.name != "all")
                continue;
            benchmark::RegisterBenchmark(
                ("ProcessPreview/" + c.name + frame + "/" + std::to_string(bits)).c_str(), Preview,
                c.record, bits)
                ->Unit(benchmark::kMillisecond);
        }
    for (unsigned mode : {1u, 2u, 4u, 5u, 6u, 7u})
        benchmark::RegisterBenchmark(
            ("ProcessDisplay/mode:" + std::to_string(mode) + "/primary" + frame + "/32").c_str(),
            Display, mode)
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ProcessRTDisplay/full/primary" + frame + "/32").c_str(),
                                 RealTime, 1ul)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("ProcessRTDisplay/half/primary" + frame + "/32").c_str(),
                                 RealTime, 0ul)
        ->Unit(benchmark::kMillisecond);
}

} // namespace colorcorrect::bench
