#pragma once
// Library-internal pieces of the 3D colour cube's drawing (the cube itself
// is part of CColorCorrectionFilter).

namespace colorcorrect {

// Segments of the arcs that outline a match vector's solid in the cube: the
// whole 5-degree steps across the hue range of +-hueWidth * pi / 255
// (hueWidth 0..255, 255 spanning the full circle: 72 steps). A range
// narrower than one step gives 1, a single chord.
int CubeArcSteps(unsigned hueWidth);

} // namespace colorcorrect
