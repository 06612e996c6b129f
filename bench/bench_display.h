#pragma once
// Benchmarks of the display filter: previews, scope displays in every mode
// and the real-time display in each geometry, beside the engine's cases.

#include <colorcorrect/colorcorrect.h>

#include "bench_frames.h"

namespace colorcorrect::bench {

void RegisterDisplayBenchmarks();

// One of the benchmark frames (natural-looking content unless `content` says
// otherwise, see MakeFrame) as a packed YUV picture.
CVoraDib BenchPicture(int width, int height, int bits, Content content = Content::Natural);

} // namespace colorcorrect::bench
