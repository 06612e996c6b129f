#pragma once
// A stream's YUV (its matrix and range) <-> the library's working YUV (full
// range, the library's own BT.601 coefficients), with integer tables.
//
// Into the library: one affine map of (Y, Cb, Cr) worked out once in double
// precision (stream samples to normalised Y'CbCr, to R'G'B' with the
// stream's matrix, to the library's YUV with its coefficients): three table
// look-ups per output sample (one when the map keeps the components apart, as
// a range change alone does), summed in 16.16 fixed point, rounded to
// nearest and clamped to a byte.
//
// Back: the change the correction made, mapped by the inverse's linear part,
// is added to the stream's own samples. A pixel the correction left as it
// was keeps its bytes (a neutral correction changes nothing), and samples a
// limited-range stream holds outside its range, which the library's YUV
// cannot hold, keep their distance from it instead of being clipped.

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

    // One pixel (3 samples: Y, Cb, Cr as stored bytes) into the library's YUV.
    void ToLibrary(const uint8_t* in, uint8_t* out) const
    {
        if (m_separable) {
            out[0] = m_to.bytes[0][in[0]];
            out[1] = m_to.bytes[1][in[1]];
            out[2] = m_to.bytes[2][in[2]];
        } else {
            Mix(m_to, in, out);
        }
    }
    // One corrected pixel back to the stream's YUV: `original` is the
    // stream's pixel, `libIn` what ToLibrary made of it, `libOut` the
    // corrected one.
    void FromLibrary(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut, uint8_t* out) const
    {
        const int d0 = libOut[0] - libIn[0] + 255, d1 = libOut[1] - libIn[1] + 255, d2 = libOut[2] - libIn[2] + 255;
        for (int k = 0; k < 3; ++k) {
            const int32_t d = m_back[k][0][d0] + m_back[k][1][d1] + m_back[k][2][d2];
            const int32_t s = original[k] + ((d + 32768) >> 16);
            out[k] = static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
        }
    }

    // Packed pictures of `pixels` pixels, `pixelBytes` (3 or 4) apart; a
    // fourth byte (alpha) is copied. FromLibrary's buffers as above.
    void ToLibrary(const uint8_t* in, uint8_t* out, size_t pixels, size_t pixelBytes) const;
    void FromLibrary(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut, uint8_t* out,
                     size_t pixels, size_t pixelBytes) const;

    // BT.601 streams: the conversion keeps the components apart, and the two
    // calls below do it while moving samples between planes and packed rows
    // (4:4:4, `pixelBytes` 3 or 4 with alpha), with the same bytes as
    // ToLibrary and FromLibrary.
    bool Separable() const { return m_separable; }
    // Planes (y, u, v, and a for 4 bytes) into packed library pixels.
    void PackToLibrary(const uint8_t* y, const uint8_t* u, const uint8_t* v, const uint8_t* a, uint8_t* out,
                       size_t pixels, size_t pixelBytes) const;
    // The change from libIn to libOut added to the planes' samples in place.
    void UnpackFromLibrary(const uint8_t* libIn, const uint8_t* libOut, uint8_t* y, uint8_t* u, uint8_t* v,
                           size_t pixels, size_t pixelBytes) const;

    // The library's chroma limits lo..hi (stored bytes) as the stream's
    // chroma scale has them, for samples kept from the stream; 1..255, no
    // clipping, becomes 0..255.
    void ChromaLimits(int& lo, int& hi) const;

private:
    struct Tables {
        int32_t mix[3][3][256]; // output k from input c, 16.16, offset and rounding in [k][0]
        uint8_t bytes[3][256];  // the diagonal alone, rounded and clamped (separable maps)
    };
    template <size_t Pixel>
    void FromLibraryRow(const uint8_t* original, const uint8_t* libIn, const uint8_t* libOut, uint8_t* out,
                        size_t pixels) const;
    static void Build(const double m[3][3], const double offset[3], const double inOffset[3], Tables& t);
    // Output k from the change of input c (-255..255, at [change + 255]):
    // the change times the inverse, 16.16.
    using BackTables = int32_t[3][3][511];
    static void Mix(const Tables& t, const uint8_t* in, uint8_t* out)
    {
        for (int k = 0; k < 3; ++k) {
            const int32_t s = (t.mix[k][0][in[0]] + t.mix[k][1][in[1]] + t.mix[k][2][in[2]]) >> 16;
            out[k] = static_cast<uint8_t>(s < 0 ? 0 : (s > 255 ? 255 : s));
        }
    }

    bool m_identity;
    bool m_separable;
    double m_chromaBack; // the inverse's chroma scale
    // Separable maps: the change of each sample, rounded ([k][change + 255]),
    // and a clamp to a byte ([value + 512]).
    int16_t m_step[3][511]{};
    uint8_t m_clamp[1536]{};
    Tables m_to{};
    BackTables m_back{};
};

} // namespace colorcorrect::formats
