#pragma once
// The library beside what a pipeline would use instead: the look exported
// as a .cube 3D LUT and applied to packed 8-bit RGB frames by OpenColorIO's
// CPU processor (when the bench is built with it), next to Process on the
// same RGB frames converted as still pictures are, and on YUV frames.

namespace colorcorrect::bench {

// Registers nothing when the formats library is not built.
void RegisterPeerBenchmarks();

} // namespace colorcorrect::bench
