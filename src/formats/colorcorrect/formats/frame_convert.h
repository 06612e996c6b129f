#pragma once
// YUV4MPEG2 frames (planes) <-> the library's packed YUV pictures.
//
// 4:4:4 frames map sample for sample: Y, Cb, Cr (and alpha) become the bytes
// of each packed pixel and come back unchanged in position.
//
// 4:2:0 frames carry one Cb and one Cr sample for each 2 x 2 block of luma
// samples. The correction works on whole pixels, so:
//  - Up: every pixel gets chroma interpolated linearly (separably, in each
//    direction) between the two nearest chroma samples, at the positions
//    the colour space gives them: centred between two luma samples (weights
//    3/4 and 1/4) or co-sited with one (weights 1 or 1/2 and 1/2). 420jpeg is
//    centred in both directions, 420mpeg2 co-sited horizontally and centred
//    vertically, 420paldv co-sited in both. Edges repeat the outermost
//    sample. The result is rounded to nearest.
//  - Down: each chroma sample becomes the average of the corrected chroma of
//    the pixels around its position, with the matching weights (1, 3, 3, 1
//    over four pixels for centred positions; 1, 2, 1 over three for
//    co-sited ones; edges repeated), rounded half up and limited to the
//    range the correction's output clipping allows. So a correction changes
//    chroma detail as it would in a 4:4:4 picture: a full desaturation
//    leaves every sample at 128, not the detail the interpolation smoothed
//    away.
//  - Except: where the correction changed the chroma (Cb or Cr) of none of
//    the pixels a sample averages, the frame's own Cb and Cr samples are
//    kept, only limited to that range. Down-sampling interpolated values
//    would blur the chroma a little on every pass; this way a correction
//    that leaves colours alone leaves 4:2:0 chroma exactly as it was.
//
// Interlaced 4:2:0 (It, Ib) is resampled field by field vertically: the
// even luma rows with the even chroma rows, the odd with the odd, each field
// as a picture of its own with the same siting, so that the colours of one
// field never leak into the other. (A frame of one or two rows has chroma
// for one field only and is resampled as progressive.) Horizontally nothing
// changes. Streams that mix progressive and interlaced frames (Im) carry
// the kind of each frame in its FRAME line; they are refused (Refusal)
// unless the caller asks to treat every frame as progressive. 4:4:4 frames
// do not depend on the field order.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream_pipeline.h"
#include "y4m.h"
#include "yuv_conversion.h"

namespace colorcorrect::formats {

class FrameConverter {
public:
    // `asProgressive`: resample interlaced and mixed 4:2:0 as progressive.
    // `matrix` and `range`: the stream's YUV, converted to the library's
    // working YUV for the correction and back (see YuvConversion).
    explicit FrameConverter(const Y4mHeader& header, bool asProgressive = false,
                            YuvMatrix matrix = YuvMatrix::Bt601, YuvRange range = YuvRange::Full);

    // Why frames of this stream cannot be converted (one line, for a
    // message), or nullptr when they can.
    static const char* Refusal(const Y4mHeader& header, bool asProgressive);

    // The header of the packed pictures: 24 bits a pixel, or 32 with alpha
    // (444alpha), format colorcorrect::YUV_COMPRESSION, rows top to bottom,
    // not premultiplied. Process takes it as it is.
    const tagYUVBMINFOHEADER& PictureHeader() const { return m_info; }
    size_t PictureBytes() const { return m_stride * size_t(m_height); }
    size_t Stride() const { return m_stride; }

    // Packs the planes of one frame (Y4mHeader::FrameBytes bytes) into a
    // picture of PictureBytes bytes. Row padding is set to 0.
    void ToPicture(const uint8_t* frame, uint8_t* picture) const;

    // Writes a corrected picture back into the frame's planes. `before` is
    // the picture ToPicture made from this frame, `after` the corrected one
    // (they may not be the same buffer for 4:2:0). Luma, and 4:4:4 chroma,
    // are taken from `after`; 4:2:0 chroma is brought down as described
    // above and limited to chromaLo..chromaHi (stored bytes). Alpha is left
    // as it is.
    void FromPicture(const uint8_t* before, const uint8_t* after, uint8_t* frame, int chromaLo,
                     int chromaHi) const
    {
        FromPicture(before, after, after, frame, chromaLo, chromaHi);
    }
    // As above, with the values written taken from `corrected` while
    // `before` and `after` only tell which pixels the correction changed
    // (they are the library's YUV when the stream's is converted).
    void FromPicture(const uint8_t* before, const uint8_t* after, const uint8_t* corrected, uint8_t* frame,
                     int chromaLo, int chromaHi) const;

    // The most memory CorrectFrame's Scratch takes for frames of `header`.
    static size_t ScratchBytes(const Y4mHeader& header);

    // The rows of one 4:2:0 row's resampling.
    struct RowScratch {
        std::vector<uint16_t> upU, upV;              // its chroma, vertically interpolated
        std::vector<uint8_t> rowU, rowV, rowChanged; // its chroma at full width, and which pixels changed
        void Size(const Y4mHeader& header);
    };
    // Buffers of one thread's CorrectFrame calls, sized on first use and
    // then reused frame after frame.
    struct Scratch : RowScratch {
        std::vector<uint8_t> packed, out;  // a band of packed rows each: the correction's input and output
        std::vector<uint8_t> planes;       // a band of planar rows: the library's Y, U, V (converted
                                           // streams), then the stream's U and V at full width (4:2:0)
        std::vector<uint8_t> back;         // one corrected row taken apart, Y, U, V (converted streams)
        std::vector<uint16_t> sumU, sumV;  // ring of chroma rows' horizontal sums
        std::vector<uint8_t> changed;      // ... and whether any of their pixels changed
    };

    // Corrects one frame in place: the whole of the above (conversion to the
    // library's YUV and back included) a band of rows at a time, straight
    // from and to the planes, with `process` run on each band. The same
    // bytes as CorrectFrameWhole. chromaLo..chromaHi are the correction's
    // output chroma limits in the library's YUV. False when `process` fails.
    bool CorrectFrame(uint8_t* frame, const PictureProcessor& process, Scratch& scratch, int chromaLo,
                      int chromaHi) const;
    // The same through whole packed pictures: ToPicture, the conversion,
    // `process` on the whole picture, the conversion back, FromPicture.
    // Slower; the reference the band path is checked against.
    bool CorrectFrameWhole(uint8_t* frame, const PictureProcessor& process, int chromaLo, int chromaHi) const;

private:
    struct UpTap {
        int i0, i1; // chroma samples
        int w0, w1; // weights, w0 + w1 = 4
    };
    struct DownTap {
        int pos;    // luma position
        int weight;
    };

    static std::vector<UpTap> UpTaps(int lumaCount, int chromaCount, bool centred);
    static std::vector<std::vector<DownTap>> DownTaps(int lumaCount, int chromaCount, bool centred);
    // The vertical tables of interlaced frames: each field's own tables, on
    // the frame's rows.
    void FieldTaps(bool centred);

    // The 4:2:0 parts of CorrectFrame.
    // The chroma of row y of the frame at full resolution, into u and v.
    void UpChroma(const uint8_t* planeU, const uint8_t* planeV, int y, RowScratch& r, uint8_t* u, uint8_t* v) const;
    // Row y packed with its chroma at full resolution.
    void UpRow(const uint8_t* planeY, const uint8_t* planeU, const uint8_t* planeV, int y, RowScratch& r,
               uint8_t* row) const;
    // A corrected row's chroma (full width) and change flags into the
    // horizontal sums of its chroma samples and whether any of their pixels
    // changed.
    void SumRow(const uint8_t* u, const uint8_t* v, const uint8_t* changedPixels, uint16_t* sumU, uint16_t* sumV,
                uint8_t* changed) const;
    void DownRow(int j, const Scratch& s, int ring, uint8_t* planeU, uint8_t* planeV, int chromaLo,
                 int chromaHi) const;

    Y4mHeader m_header;
    YuvConversion m_conversion;
    tagYUVBMINFOHEADER m_info{};
    int m_width;
    int m_height;
    size_t m_stride;
    size_t m_pixel;
    std::vector<UpTap> m_upY; // vertical; horizontally the weights are written out
    std::vector<std::vector<DownTap>> m_downX, m_downY;
    int m_downShift = 0; // log2 of the sum of the 2-D down weights
    // CorrectFrame: chroma row j is written once luma row m_emitAfter[j] is
    // corrected (every row it averages is, and no row left to build reads
    // it); the horizontal sums of the last m_ring rows are kept.
    std::vector<int> m_emitAfter;
    int m_ring = 1;
};

} // namespace colorcorrect::formats
