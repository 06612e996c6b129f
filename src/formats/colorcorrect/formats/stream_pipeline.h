#pragma once
// Frame-parallel correction of a YUV4MPEG2 stream.
//
// One reader thread reads frames, N worker threads each correct whole frames
// (packing the planes, running the picture processor, writing the result
// back into the planes), and the calling thread writes the frames out in
// their original order. A fixed set of frame buffers circulates between
// them (a few per worker), so memory stays bounded however long the stream
// and however uneven the workers. A failure to correct or to write stops all
// three at once: the reader is interrupted even if it is waiting for input.
// A damaged or cut input ends the stream where it fails: every complete frame
// before it is still corrected and written, in order, and the result then
// reports the read failure.

#include <colorcorrect/colorcorrect.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "y4m.h"
#include "yuv_conversion.h"

namespace colorcorrect::formats {

// Corrects one packed picture described by `header` from `in` into `out`
// (separate buffers of the picture's size). Called concurrently from all
// workers: it must be safe for that (CBaseColorCorrectionFilter::Process on
// one set-up filter is). Returns false on failure.
using PictureProcessor = std::function<bool(tagYUVBMINFOHEADER& header, BYTE* in, BYTE* out)>;

struct PipelineOptions {
    // Worker threads; 0 means one per processor core.
    unsigned threads = 0;
    // Frame buffers in circulation per worker (at least 1), plus two.
    unsigned framesPerThread = 2;
    // The stream's YUV; see YuvConversion. Unset, the range is the header's
    // XCOLORRANGE, else limited (FFmpeg's convention for untagged YUV).
    YuvMatrix matrix = YuvMatrix::Bt601;
    std::optional<YuvRange> range;
    // Limits of 4:2:0 chroma after the correction (stored bytes of the
    // library's YUV); see FrameConverter::CorrectFrame.
    int chromaLo = 0;
    int chromaHi = 255;
    // Resample interlaced and mixed 4:2:0 as progressive (see FrameConverter).
    bool asProgressive = false;
    // Called on the calling thread after each frame is written, with the
    // number of frames written so far.
    std::function<void(uint64_t frames)> onFrameWritten;
};

struct PipelineResult {
    enum class Failure { None, Read, Process, Write };
    Failure failure = Failure::None;
    std::string error;   // what went wrong, for the file the failure names
    uint64_t frames = 0; // frames written
    unsigned threads = 0; // workers used

    bool Ok() const { return failure == Failure::None; }
};

// Memory one worker takes for frames of this header: its share of the frames
// in circulation and its buffers of packed rows.
uint64_t PipelineBytesPerWorker(const Y4mHeader& header, const PipelineOptions& options);

// The workers RunStreamPipeline starts: options.threads, or one per core.
unsigned PipelineThreads(const PipelineOptions& options);

// Runs the stream: `reader` must have read the header, `writer` must have
// written it. A stream FrameConverter::Refusal names fails at once (Read).
// Returns when the input has ended and every frame is written, or at the
// first failure.
PipelineResult RunStreamPipeline(Y4mReader& reader, Y4mWriter& writer, const PictureProcessor& process,
                                 const PipelineOptions& options);

} // namespace colorcorrect::formats
