#pragma once
// One negotiated video format corrected in place, frame after frame, the way
// `colorcorrect apply` corrects the same pictures: YUV formats as streams
// (FrameConverter: the stream's matrix and range converted, 4:2:0 chroma
// resampled with its siting, interlaced frames field by field), RGB formats
// as still pictures (CorrectionProcessor::ProcessRgbPixels).
//
// Free of GStreamer on purpose: the element hands over plane pointers and
// strides, so the formats' layouts are written once, here.

#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/frame_convert.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace colorcorrect::gst {

enum class VideoLayout {
    V308, // packed Y, Cb, Cr: the library's 24-bit pixels
    Ayuv, // packed alpha, Y, Cb, Cr
    I420, // planes Y, Cb, Cr; chroma halved both ways
    Nv12, // planes Y and interleaved Cb Cr; chroma halved both ways
    Y444, // planes Y, Cb, Cr
    Rgb,  // packed R, G, B
    Rgba, // packed R, G, B, straight alpha
    Bgrx  // packed B, G, R, unused byte
};

struct VideoFormat {
    VideoLayout layout = VideoLayout::I420;
    int width = 0;
    int height = 0;
    // YUV layouts only: the stream's YUV, and for 4:2:0 the chroma siting
    // (one of the C420 values; 4:4:4 layouts ignore it).
    formats::YuvMatrix matrix = formats::YuvMatrix::Bt601;
    formats::YuvRange range = formats::YuvRange::Limited;
    formats::Y4mChroma siting = formats::Y4mChroma::C420Mpeg2;
    bool interlaced = false; // fields interleaved row by row
};

// Where one frame lies: up to two planes (packed layouts use the first),
// each with its row stride in bytes.
struct VideoPlanes {
    uint8_t* data[3] = {nullptr, nullptr, nullptr};
    size_t stride[3] = {0, 0, 0};
};

class VideoCorrector {
public:
    // `threads`: threads that share a frame, the caller included (0: one per
    // processor core). May throw std::bad_alloc.
    VideoCorrector(const VideoFormat& format, unsigned threads);
    ~VideoCorrector();
    VideoCorrector(const VideoCorrector&) = delete;
    VideoCorrector& operator=(const VideoCorrector&) = delete;

    static bool IsYuv(VideoLayout layout) { return layout != VideoLayout::Rgb && layout != VideoLayout::Rgba && layout != VideoLayout::Bgrx; }

    // Corrects one frame in place with `look`. False when the engine fails.
    bool Correct(const formats::CorrectionProcessor& look, const VideoPlanes& planes);

private:
    // A horizontal stripe of the frame, corrected as a YUV4MPEG2 frame of its
    // own. 4:2:0 stripes carry `margin` extra rows above and below, so that
    // the resampling of the rows they write sees the same neighbours as in
    // the whole frame; only rows first..last - 1 are written back.
    struct Stripe {
        int first = 0, last = 0;    // rows written back
        int top = 0, bottom = 0;    // rows converted (with the margins)
        std::unique_ptr<formats::FrameConverter> converter;
        formats::Y4mHeader header;
        formats::FrameConverter::Scratch scratch;
        std::vector<uint8_t> frame; // the stripe's planes, YUV4MPEG2 layout
    };

    // Corrects a gathered stripe and writes its rows back.
    bool CorrectStripe(const formats::CorrectionProcessor& look, const VideoPlanes& planes, Stripe& s);
    void Gather(const VideoPlanes& planes, Stripe& s) const;
    void Scatter(const Stripe& s, const VideoPlanes& planes) const;

    VideoFormat m_format;
    unsigned m_threads;
    std::vector<Stripe> m_stripes;
    std::unique_ptr<BandProcessor> m_bands;
};

} // namespace colorcorrect::gst
