#pragma once
// The correction engine set up from one correction record, as programs use
// it: a picture processor for stills, streams and LUTs.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "rgb_image.h"
#include "stream_pipeline.h"

namespace colorcorrect::formats {

// Packed pixels in a caller's memory: `height` rows of `width` pixels of
// `channels` (3 or 4) bytes, top row first, each row `rowBytes` after the
// one before (at least width * channels). Rows need not be padded the way
// the library's pictures are, so a caller's array is used as it lies.
struct PixelRows {
    uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int channels = 3;
    size_t rowBytes = 0;
};

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

    // Corrects packed YUV pixels (Y, U+128, V+128, and straight alpha with 4
    // channels) from `in` into `out`, which has the same size and may be the
    // same memory. Same bytes as Process on a picture of those pixels; rows
    // are shared out as in ProcessInBands. False when the geometries differ
    // or are not pictures.
    bool ProcessPixels(const PixelRows& in, const PixelRows& out, unsigned threads) const;

    // Corrects RGB(A) pixels the way still pictures are corrected: each
    // pixel taken to the library's YUV (RgbImageToYuvPicture), corrected and
    // taken back (YuvPictureToRgbImage), alpha kept. `out` may be `in`.
    bool ProcessRgbPixels(const PixelRows& in, const PixelRows& out, unsigned threads) const;

    // ProcessRgbPixels on a decoded picture, in place (its colour profile
    // stays: a correction does not change the colour space).
    bool ProcessImage(RgbImage& image, unsigned threads) const;

    // Runs a stream whose header `reader` has read (and `writer` written)
    // through the stream pipeline, with 4:2:0 chroma limited to this
    // correction's output range.
    PipelineResult ProcessStream(Y4mReader& reader, Y4mWriter& writer, PipelineOptions options) const;

    // Process as a PictureProcessor (refers to this object).
    PictureProcessor Processor() const;

    ChromaRange Range() const { return m_range; }

private:
    std::unique_ptr<CBaseColorCorrectionFilter> m_filter;
    ChromaRange m_range{1, 255};
};

} // namespace colorcorrect::formats
