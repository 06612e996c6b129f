#include "output_levels.h"

namespace colorcorrect {

OutputLevels OutputLevelsOf(unsigned rangeFlags, bool clipping)
{
    const unsigned range = clipping ? rangeFlags & 0xFFu : 0u;
    const bool legal = (range & (RANGE_VIDEO_LUMA | RANGE_LEGAL)) != 0;
    const bool reduced = (range & RANGE_CHROMA_REDUCED) != 0;
    OutputLevels l{0, 255, 127, legal, legal || reduced};
    if (legal) {
        l.lumaMin = 16;
        l.lumaMax = 235;
        l.chromaLimit = 112;
    }
    if (reduced)
        l.chromaLimit = 84;
    return l;
}

OutputLevels OutputLevelsOf(const tagCOLORCORRINFO& record)
{
    return OutputLevelsOf(record.Base.wRangeFlags, (record.dwFlags & CC_CLIPPING) != 0);
}

} // namespace colorcorrect
