#pragma once
// Benchmarks of the stream path: one 1080p frame of a YUV4MPEG2 stream
// corrected in place from its planes (4:2:0 and 4:4:4, each stream YUV),
// beside the whole-picture path it replaces.

namespace colorcorrect::bench {

// Registers nothing when the formats library is not built.
void RegisterStreamBenchmarks();

} // namespace colorcorrect::bench
