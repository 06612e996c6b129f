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

#include "y4m.h"

namespace colorcorrect::formats {

class FrameConverter {
public:
    // `asProgressive`: resample interlaced and mixed 4:2:0 as progressive.
    explicit FrameConverter(const Y4mHeader& header, bool asProgressive = false);

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
                     int chromaHi) const;

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
    // FromPicture's 4:2:0 chroma, for centred or co-sited horizontal siting.
    template <bool CentredX>
    void DownChroma(const uint8_t* before, const uint8_t* after, uint8_t* planeU, uint8_t* planeV, int chromaLo,
                    int chromaHi) const;

    Y4mHeader m_header;
    tagYUVBMINFOHEADER m_info{};
    int m_width;
    int m_height;
    size_t m_stride;
    size_t m_pixel;
    std::vector<UpTap> m_upX, m_upY;
    std::vector<std::vector<DownTap>> m_downX, m_downY;
    int m_downShift = 0; // log2 of the sum of the 2-D down weights
};

} // namespace colorcorrect::formats
