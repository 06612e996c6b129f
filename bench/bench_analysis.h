#pragma once
// Benchmarks of the viewer's automatic analyses: histogram and hue matching,
// match vectors from regions.

namespace colorcorrect::bench {

void RegisterAnalysisBenchmarks();

} // namespace colorcorrect::bench
