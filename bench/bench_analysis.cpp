// The viewer's automatic analyses on full-HD pictures: histogram and hue
// matching of whole pictures and regions, and a match vector taken from a
// region. Rates count the pixels the analysis reads.

#include "bench_analysis.h"

#include <benchmark/benchmark.h>

#include <colorcorrect/colorcorrect.h>

#include <string>

#include "bench_display.h"
#include "bench_records.h"

namespace colorcorrect::bench {
namespace {

constexpr int kWidth = 1920, kHeight = 1080;
// The centre quarter of the picture.
constexpr tagRECT kRegion{kWidth / 4, kHeight / 4, 3 * kWidth / 4, 3 * kHeight / 4};

double RegionPixels(const tagRECT* rc)
{
    return rc == nullptr ? static_cast<double>(kWidth) * kHeight
                         : static_cast<double>(rc->right - rc->left) * (rc->bottom - rc->top);
}

// A viewer with the natural picture as source and, as reference, the same
// picture under the primary correction of the other benchmarks.
bool PrepareViewer(CColorCorrectionViewer& viewer)
{
    CVoraDib source = BenchPicture(kWidth, kHeight, 24);
    CVoraDib reference = source;
    CColorCorrectionFilter filter;
    if (!filter.SetupFilter(PrimaryRecord()) || !filter.Process(reference, reference))
        return false;
    return viewer.SetSource(source) && viewer.SetReference(reference);
}

enum class Match { Histogram, Hue };

void Matching(benchmark::State& state, Match kind, bool region)
{
    CColorCorrectionViewer viewer;
    if (!PrepareViewer(viewer)) {
        state.SkipWithError("pictures could not be prepared");
        return;
    }
    tagRECT source = kRegion, reference = kRegion;
    tagRECT* rcSource = region ? &source : nullptr;
    tagRECT* rcReference = region ? &reference : nullptr;
    for (auto _ : state) {
        tagCOLORCORRINFO cc;
        cc.Init(sizeof cc);
        const int ok = kind == Match::Histogram ? viewer.HistoMatch(cc, rcReference, rcSource)
                                                : viewer.HueMatch(cc, rcReference, rcSource);
        if (!ok) {
            state.SkipWithError("the match was refused");
            break;
        }
        benchmark::DoNotOptimize(cc);
    }
    // Both pictures' regions are read.
    state.counters["pixels"] = benchmark::Counter(
        RegionPixels(rcSource) + RegionPixels(rcReference), benchmark::Counter::kIsIterationInvariantRate);
}

void MatchVector(benchmark::State& state)
{
    CColorCorrectionViewer viewer;
    if (!PrepareViewer(viewer)) {
        state.SkipWithError("pictures could not be prepared");
        return;
    }
    tagRECT rc = kRegion;
    for (auto _ : state) {
        tagMATCHVECTOR mv{};
        if (!viewer.GetMatchVector(mv, &rc)) {
            state.SkipWithError("GetMatchVector refused the region");
            break;
        }
        benchmark::DoNotOptimize(mv);
    }
    state.counters["pixels"] =
        benchmark::Counter(RegionPixels(&rc), benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

void RegisterAnalysisBenchmarks()
{
    const std::string frame = "/natural/" + std::to_string(kWidth) + "x" + std::to_string(kHeight);
    for (bool region : {false, true}) {
        const std::string area = region ? "/centre-quarter" : "/whole";
        benchmark::RegisterBenchmark(("HistoMatch" + area + frame).c_str(), Matching, Match::Histogram,
                                     region)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("HueMatch" + area + frame).c_str(), Matching, Match::Hue, region)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark(("GetMatchVector/centre-quarter" + frame).c_str(), MatchVector)
        ->Unit(benchmark::kMillisecond);
}

} // namespace colorcorrect::bench
