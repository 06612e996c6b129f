#pragma once
// Benchmarks of the viewer: the latency from a new correction to the
// delivered preview.

namespace colorcorrect::bench {

void RegisterViewerBenchmarks();

} // namespace colorcorrect::bench
