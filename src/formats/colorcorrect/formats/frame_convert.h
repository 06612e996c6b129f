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
//  - Down: the correction's change of each pixel's chroma (corrected minus
//    interpolated) is averaged back to the chroma positions with the
//    matching weights (1, 3, 3, 1 over four pixels for centred positions;
//    1, 2, 1 over three for co-sited ones; edges repeated), rounded, and
//    added to the frame's own chroma sample, which is then limited to the
//    range the correction's output clipping allows.
// Working on the change rather than on the corrected values means a
// correction that leaves chroma alone leaves the 4:2:0 chroma exactly as it
// was (a plain down-sampling of interpolated values would blur it a little
// on every pass), while a correction that does change colours moves each
// chroma sample by the average change around it.
//
// Interlaced 4:2:0 streams are resampled like progressive ones.

#include <colorcorrect/colorcorrect.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "y4m.h"

namespace colorcorrect::formats {

class FrameConverter {
public:
    explicit FrameConverter(const Y4mHeader& header);

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
    // are taken from `after`; 4:2:0 chroma changes as described above and is
    // limited to chromaLo..chromaHi (stored bytes). Alpha is left as it is.
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
