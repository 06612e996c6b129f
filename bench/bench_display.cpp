#include "bench_display.h"

#include <benchmark/benchmark.h>

#include <colorcorrect/colorcorrect.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench_frames.h"
#include "bench_records.h"

namespace colorcorrect::bench {

// A benchmark frame as a packed YUV picture object.
CVoraDib BenchPicture(int width, int height, int bits, Content content)
{
    const Frame frame = MakeFrame(width, height, bits, content);
    CVoraDib dib;
    dib.AllocYUV(width, height, bits, 0);
    unsigned pixel = 0, line = 0;
    dib.GetIncrements(pixel, line);
    BYTE* to = dib;
    for (int row = 0; row < height; ++row)
        std::memcpy(to + static_cast<size_t>(row) * line,
                    frame.pixels.data() + static_cast<size_t>(row) * frame.stride,
                    static_cast<size_t>(width) * pixel);
    return dib;
}

namespace {

struct Size {
    int width;
    int height;
    std::string Name() const { return std::to_string(width) + "x" + std::to_string(height); }
};

constexpr Size kFullHD{1920, 1080};
// The reduced picture the viewer hands to the scope displays by default
// (half of a 720 x 576 source).
constexpr Size kReduced{360, 288};

void SetPixelRate(benchmark::State& state, double pixels)
{
    state.counters["pixels"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
}

// channel: the channel view (0 off); isolate: the isolate display type of
// match vector 1 (0 off).
void Preview(benchmark::State& state, tagCOLORCORRINFO record, int bits, unsigned channel,
             unsigned isolate)
{
    CVoraDib in = BenchPicture(kFullHD.width, kFullHD.height, bits);
    CVoraDib out = in;
    CColorCorrectionFilter filter;
    filter.SetChannel(channel);
    filter.SetIsolateVector(1);
    filter.SetIsolateType(isolate);
    filter.SetupFilter(record);
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.ProcessPreview(in, out));
    SetPixelRate(state, static_cast<double>(kFullHD.width) * kFullHD.height);
}

void Display(benchmark::State& state, Size size, unsigned mode)
{
    CVoraDib in = BenchPicture(size.width, size.height, 32);
    CVoraDib out, display;
    CColorCorrectionFilter filter;
    filter.SetupFilter(PrimaryRecord());
    for (auto _ : state)
        benchmark::DoNotOptimize(filter.ProcessDisplay(in, out, display, mode));
    SetPixelRate(state, static_cast<double>(size.width) * size.height);
}

// flags: 0 half size, 1 one field at full width, 3 the whole frame. The
// overlay, when used, is a second natural frame with a weight ramp in its
// fourth byte.
void RealTime(benchmark::State& state, unsigned long flags, bool overlay)
{
    const Frame frame = MakeFrame(kFullHD.width, kFullHD.height, 32, Content::Natural);
    std::vector<BYTE> src = frame.pixels, dst(frame.pixels.size());
    std::vector<BYTE> over = frame.pixels;
    for (size_t i = 3; i < over.size(); i += 4)
        over[i] = static_cast<BYTE>(i / 4);
    tagYUVBMINFOHEADER header = frame.header;
    CColorCorrectionFilter filter;
    filter.SetupFilter(PrimaryRecord());
    for (auto _ : state) {
        benchmark::DoNotOptimize(filter.ProcessRTDisplay(&header, dst.data(), src.data(),
                                                         overlay ? over.data() : nullptr, flags));
        benchmark::ClobberMemory();
    }
    // Input pixels per second: the work is a quarter or a half of them.
    SetPixelRate(state, static_cast<double>(kFullHD.width) * kFullHD.height);
}

} // namespace

void RegisterDisplayBenchmarks()
{
    const std::string fullHD = "/natural/" + kFullHD.Name();
    for (int bits : {24, 32})
        for (const RecordCase& c : ProcessCases()) {
            if (c.name != "primary" && c.name != "all")
                continue;
            benchmark::RegisterBenchmark(
                ("ProcessPreview/" + c.name + fullHD + "/" + std::to_string(bits)).c_str(), Preview,
                c.record, bits, 0u, 0u)
                ->Unit(benchmark::kMillisecond);
            // The display aids: the green channel as grey, and the isolate
            // display of vector 1 (the corrected vector on grey).
            benchmark::RegisterBenchmark(("ProcessPreview/" + c.name + "+channel" + fullHD + "/" +
                                          std::to_string(bits))
                                             .c_str(),
                                         Preview, c.record, bits, 2u, 0u)
                ->Unit(benchmark::kMillisecond);
            if (c.name == "all")
                benchmark::RegisterBenchmark(("ProcessPreview/" + c.name + "+isolate" + fullHD +
                                              "/" + std::to_string(bits))
                                                 .c_str(),
                                             Preview, c.record, bits, 0u, 7u)
                    ->Unit(benchmark::kMillisecond);
        }
    for (const Size size : {kReduced, kFullHD})
        for (unsigned mode : {0u, 1u, 2u, 4u, 5u, 6u, 7u})
            benchmark::RegisterBenchmark(("ProcessDisplay/mode:" + std::to_string(mode) +
                                          "/primary/natural/" + size.Name() + "/32")
                                             .c_str(),
                                         Display, size, mode)
                ->Unit(benchmark::kMillisecond);
    const struct {
        const char* name;
        unsigned long flags;
    } geometries[] = {{"half", 0}, {"field", 1}, {"frame", 3}};
    for (const auto& g : geometries)
        for (bool overlay : {false, true})
            benchmark::RegisterBenchmark(("ProcessRTDisplay/" + std::string(g.name) +
                                          (overlay ? "+overlay" : "") + "/primary" + fullHD + "/32")
                                             .c_str(),
                                         RealTime, g.flags, overlay)
                ->Unit(benchmark::kMillisecond);
}

} // namespace colorcorrect::bench
