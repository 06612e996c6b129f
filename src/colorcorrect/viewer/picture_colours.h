#pragma once
// The distinct colours of a picture, and which of them each pixel has. The
// preview of a picture without alpha is a function of each pixel's colour
// alone, so the preview of its colours, handed back to the pixels, is the
// preview of the picture, byte for byte. A picture of natural content has
// about a tenth as many colours as pixels: correcting the colours and then
// copying three bytes a pixel takes a fraction of correcting every pixel
// (the viewer's preview while any control is dragged over one source).
//
// The colours are the caller's to keep in step with the picture: Clear()
// or Build() again when its content changes.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "../host/vora_dib.h"

class CColorCorrectionFilter;

namespace colorcorrect {

class BandProcessor;

class PictureColours {
public:
    // Takes the colours of `picture`, a 24-bit YUV picture. Refuses (false,
    // holding nothing) another picture, one with more colours than half its
    // pixels (correcting them would save too little for the memory), and
    // a build the memory is short for. Part of the work goes in row bands
    // when `bands` is given.
    bool Build(const CVoraDib& picture, BandProcessor* bands = nullptr);
    // Forgets the colours and releases their memory.
    void Clear();
    bool Built() const { return m_index != nullptr; }
    // The distinct colours found (0 when nothing is built).
    size_t Count() const { return m_count; }
    // Bytes held: 4 a pixel for its colour's number, and the colours before
    // and after correction.
    size_t Bytes() const;

    // Writes filter.ProcessPreview(picture, out)'s bytes for the picture
    // the colours were built from: the colours are corrected (in row bands
    // when `bands` is given) and each pixel of `out` gets its colour's
    // result. `out` must be a 24-bit YUV picture of the same size. 0, with `out` untouched, when nothing is built, `out` does not
    // match or the filter refuses.
    int Preview(CColorCorrectionFilter& filter, CVoraDib& out, BandProcessor* bands);

private:
    // Colours are laid out in rows of this many pixels, so that they can be
    // corrected in row bands.
    static constexpr int kRowPixels = 1024;

    std::unique_ptr<uint32_t[]> m_index; // each pixel's colour, row by row in memory order
    CVoraDib m_colours;                  // the distinct colours, in rows of kRowPixels
    CVoraDib m_corrected;                // their preview
    size_t m_count = 0;
    size_t m_width = 0, m_height = 0;
};

} // namespace colorcorrect
