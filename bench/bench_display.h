#pragma once
// Benchmarks of the display filter: previews, scope displays in every mode
// and the real-time display, beside the engine's cases.

namespace colorcorrect::bench {

void RegisterDisplayBenchmarks();

} // namespace colorcorrect::bench
