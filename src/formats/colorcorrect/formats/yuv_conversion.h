#pragma once
// A stream's YUV (its matrix and range) <-> the library's working YUV (full
// range, the library's own BT.601 coefficients), in integer arithmetic.
//
// Into the library: one affine map of (Y, Cb, Cr) worked out once in double
// precision (stream samples to normalised Y'CbCr, to R'G'B' with the
// stream's matrix, to the library's YUV with its coefficients) and kept as
// 16.16 fixed-point coefficients: each output sample is three products (one
// when the map keeps the components apart, as a range change alone does)
// and an offset, rounded to nearest and clamped to a byte.
//
// Back: the change the correction made, mapped by the inverse's linear part
// (16.16 as well), is added to the stream's own samples. A pixel the
// correction left as it was keeps its bytes (a neutral correction changes
// nothing), and samples a limited-range stream holds outside its range,
// which the library's YUV cannot hold, keep their distance from it instead
// of being clipped.
//
// Products and not tables, so that the row loops vectorise.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace colorcorrect::formats {

enum class YuvMatrix { Bt601, Bt709 };
enum class YuvRange { Full, Limited };

// "bt601", "bt709"; "full", "limited" (as the tool's options spell them).
std::optional<YuvMatrix> ParseYuvMatrix(std::string_view name);
std::optional<YuvRange> ParseYuvRange(std::string_view name);

class YuvConversion {
public:
    // The stream's matrix and range. BT.601 full range is the library's own
    // YUV: Identity() is true and nothing is converted.
    YuvConversion(YuvMatrix matrix, YuvRange range);

    bool Identity() const { return m_identity; }

    // Packed pictures of `pixels` pixels, `pixelBytes` (3 or 4) apart; a
    // fourth byte (alpha) is copied. Back: `original` is the stream's
    // pixels, `libIn` what ToLibrary made of them, `libOut` the corrected
    // ones.
    void ToLibrary(const uint8_t* in, uint8_t* out, size_t pixels, size_t pixelBytes) const;
    void FromLibrary(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut, uint8_t* out,
                     size_t pixels, size_t pixelBytes) const;

    // The same on planar rows of `pixels` samples each, with the same bytes
    // (the frame path, which keeps its rows apart until they are packed for
    // the correction: no 3-byte pixels to take apart around the products).
    // Into the library: the stream's samples y, u, v into ly, lu, lv.
    void ToLibraryPlanes(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* ly, uint8_t* lu, uint8_t* lv,
                         size_t pixels) const;
    // Back: the change from (ly, lu, lv) to the corrected (oy, ou, ov) added
    // to the stream's samples y, u, v in place.
    void FromLibraryPlanes(const uint8_t* ly, const uint8_t* lu, const uint8_t* lv, const uint8_t* oy,
                           const uint8_t* ou, const uint8_t* ov, uint8_t* y, uint8_t* u, uint8_t* v,
                           size_t pixels) const;

    // The library's chroma limits lo..hi (stored bytes) as the stream's
    // chroma scale has them, for samples kept from the stream; 1..255, no
    // clipping, becomes 0..255.
    void ChromaLimits(int& lo, int& hi) const;

    // A map in 16.16: output k = (sum over c of m[k][c] * input c + offset[k]) >> 16.
    struct Map {
        int32_t m[3][3];
        int32_t offset[3];
    };

private:
    bool m_identity;
    bool m_separable; // BT.601: the map keeps the components apart
    double m_chromaBack; // the inverse's chroma scale
    // Into the library: from the stream's samples, offsets and rounding in
    // the offset. Back: from the change the correction made, the rounding
    // in the offset.
    Map m_to{};
    Map m_back{};
};

} // namespace colorcorrect::formats
