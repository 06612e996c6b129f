#pragma once
// The correction engine set up from one correction record, as programs use
// it: a picture processor for stills, streams and LUTs.

#include <colorcorrect/colorcorrect.h>

#include <memory>
#include <string>

#include "stream_pipeline.h"

namespace colorcorrect::formats {

// The stored-byte range of chroma after a correction's output clipping:
// 44..212 with chroma reduced, 16..240 at legal levels, 1..255 otherwise
// (clipping only applies when the record has CC_CLIPPING).
struct ChromaRange {
    int lo;
    int hi;
};
ChromaRange OutputChromaRange(const tagCOLORCORRINFO& record);

class CorrectionProcessor {
public:
    CorrectionProcessor();
    ~CorrectionProcessor();
    CorrectionProcessor(const CorrectionProcessor&) = delete;
    CorrectionProcessor& operator=(const CorrectionProcessor&) = delete;

    // Builds the engine's tables. False with a message when the engine
    // refuses the record or cannot get its memory.
    bool Setup(const tagCOLORCORRINFO& record, std::string& error);

    // Corrects one packed YUV picture (see CBaseColorCorrectionFilter::
    // Process); `in` and `out` may be the same buffer. Safe to call from
    // several threads at once after Setup.
    bool Process(tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out) const;

    // As Process, with the rows shared out among `threads` threads (the
    // caller included; 0: one per processor core). Same bytes as Process.
    bool ProcessInBands(tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out, unsigned threads) const;

    // Process as a PictureProcessor (refers to this object).
    PictureProcessor Processor() const;

    ChromaRange Range() const { return m_range; }

private:
    std::unique_ptr<CBaseColorCorrectionFilter> m_filter;
    ChromaRange m_range{1, 255};
};

} // namespace colorcorrect::formats
