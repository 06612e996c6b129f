#pragma once
// The output levels a record's clipping settings give: what the engine's
// output tables clip to, and what the tools limit resampled chroma to and
// describe. One rule, so that the engine and the programs around it agree.

#include "correction_records.h"

namespace colorcorrect {

struct OutputLevels {
    int lumaMin;     // 0, or 16 at legal levels
    int lumaMax;     // 255, or 235 at legal levels
    int chromaLimit; // chroma within -limit..limit around neutral: 127, 112 legal, 84 reduced
    bool legalLuma;  // luma limited to legal levels (the luma knee applies)
    bool reducedChroma; // chroma narrower than full range (the chroma knee applies)
};

// The levels of the range bits `rangeFlags` (RANGE_*; only the low byte
// counts) when `clipping` is on; full range when it is off.
OutputLevels OutputLevelsOf(unsigned rangeFlags, bool clipping);

// The levels the record's output is clipped to (its CC_CLIPPING decides).
OutputLevels OutputLevelsOf(const tagCOLORCORRINFO& record);

} // namespace colorcorrect
