// The viewer's latency: from SetCorrection on the host's thread to the
// corrected full-size preview arriving in the host's callback, as while a
// control is dragged. Wall-clock time; the worker runs at below-normal
// priority, so other load on the machine shows here first.

#include "bench_viewer.h"

#include <benchmark/benchmark.h>

#include <colorcorrect/colorcorrect.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "bench_display.h"
#include "bench_records.h"

namespace colorcorrect::bench {
namespace {

struct Deliveries {
    std::mutex mutex;
    std::condition_variable arrived;
    uint64_t count = 0;

    // Waits for delivery number `n`; false after a minute without it.
    bool WaitFor(uint64_t n)
    {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::minutes(1), [&] { return count >= n; });
    }
};

int OnPreview(CVoraDib&, unsigned long value)
{
    auto* d = reinterpret_cast<Deliveries*>(value);
    {
        std::lock_guard lock(d->mutex);
        ++d->count;
    }
    d->arrived.notify_all();
    return 1;
}

// `matchChange`: consecutive records differ in a match vector (the filter's
// match tables are rebuilt, as while dragging a vector); otherwise only in
// the primary hue (as while dragging the hue control). Natural content has
// few enough colours for the worker to correct them rather than the pixels;
// random content has not.
void Latency(benchmark::State& state, bool matchChange, Content content)
{
    constexpr int kWidth = 1920, kHeight = 1080;
    CVoraDib source = BenchPicture(kWidth, kHeight, 24, content);
    CColorCorrectionViewer viewer;
    if (!viewer.SetSource(source)) {
        state.SkipWithError("SetSource failed");
        return;
    }
    Deliveries d;
    viewer.SetPreview(OnPreview, reinterpret_cast<unsigned long>(&d));
    // The worker renders once as it starts.
    if (!d.WaitFor(1)) {
        state.SkipWithError("no first preview");
        return;
    }
    uint64_t expected = 1;
    int step = 0;
    for (auto _ : state) {
        ++step;
        tagCOLORCORRINFO cc = AllStagesRecord(matchChange ? step % 2 : 0);
        if (!matchChange)
            cc.Base.sHue = static_cast<int16_t>(step % 64);
        viewer.SetCorrection(cc);
        if (!d.WaitFor(++expected)) {
            state.SkipWithError("no preview within a minute");
            break;
        }
    }
    viewer.SetPreview(nullptr, 0);
    state.counters["pixels"] =
        benchmark::Counter(static_cast<double>(kWidth) * kHeight,
                           benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

void RegisterViewerBenchmarks()
{
    for (Content content : {Content::Natural, Content::Random})
        for (bool matchChange : {false, true}) {
            const std::string name = std::string("ViewerLatency/all-") +
                                     (matchChange ? "match" : "hue") + "-change/" +
                                     ContentName(content) + "/1920x1080/24";
            benchmark::RegisterBenchmark(name.c_str(), Latency, matchChange, content)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
}

} // namespace colorcorrect::bench
