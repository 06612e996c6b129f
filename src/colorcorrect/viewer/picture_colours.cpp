#include "picture_colours.h"

#include <bit>
#include <cstring>
#include <new>

#include "../display/color_correction_filter.h"
#include "../engine/band_processor.h"

namespace colorcorrect {

namespace {

bool IsYuv24(const CVoraDib& picture)
{
    const tagDIBINFO* header = picture;
    return header != nullptr && header->bmiHeader.biCompression == YUV_COMPRESSION &&
           header->bmiHeader.biBitCount == 24;
}

// A pixel's three bytes as one number, Y lowest.
uint32_t ColourOf(const BYTE* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
}

} // namespace

void PictureColours::Clear()
{
    m_index.reset();
    m_colours.Free();
    m_corrected.Free();
    m_count = 0;
    m_width = m_height = 0;
}

size_t PictureColours::Bytes() const
{
    if (!Built())
        return 0;
    return m_width * m_height * sizeof(uint32_t) + 2 * m_colours.GetMemory().GetSize();
}

bool PictureColours::Build(const CVoraDib& picture, BandProcessor* bands)
{
    Clear();
    if (!IsYuv24(picture))
        return false;
    const size_t width = static_cast<size_t>(picture.GetWidth());
    const size_t height = static_cast<size_t>(picture.GetHeight());
    unsigned step = 0, line = 0;
    picture.GetIncrements(step, line);
    const size_t pixels = width * height;
    if (pixels == 0)
        return false;
    const BYTE* const base = picture;

    // One bit for each of the 2^24 colours, and for each 64-bit word the
    // colours found in front of it: a colour's number is then the set bits
    // before its own, and the colours come out in order.
    constexpr size_t kWords = size_t{1} << 18;
    std::unique_ptr<uint64_t[]> seen(new (std::nothrow) uint64_t[kWords]());
    std::unique_ptr<uint32_t[]> before(new (std::nothrow) uint32_t[kWords]);
    if (!seen || !before)
        return false;
    for (size_t row = 0; row < height; ++row) {
        const BYTE* p = base + row * line;
        for (size_t x = 0; x < width; ++x, p += 3) {
            const uint32_t c = ColourOf(p);
            seen[c >> 6] |= uint64_t{1} << (c & 63);
        }
    }
    size_t count = 0;
    for (size_t w = 0; w < kWords; ++w) {
        before[w] = static_cast<uint32_t>(count);
        count += static_cast<size_t>(std::popcount(seen[w]));
    }
    if (2 * count > pixels)
        return false;
    std::unique_ptr<uint32_t[]> index(new (std::nothrow) uint32_t[pixels]);
    if (!index)
        return false;

    // One row more than the colours fill, so that a colour's bytes can be
    // read as a 4-byte word, the last one's too.
    const int rows = static_cast<int>(count / kRowPixels) + 1;
    CVoraDib colours;
    if (colours.AllocYUV(kRowPixels, rows, 24, 0) == 0)
        return false;
    unsigned colourStep = 0, colourLine = 0;
    colours.GetIncrements(colourStep, colourLine);
    if (colourLine != 3 * kRowPixels) // rows without padding: colour i at byte 3i
        return false;
    BYTE* out = colours;
    for (size_t w = 0; w < kWords; ++w)
        for (uint64_t bits = seen[w]; bits != 0; bits &= bits - 1) {
            const uint32_t c = static_cast<uint32_t>(w * 64 + static_cast<size_t>(std::countr_zero(bits)));
            *out++ = static_cast<BYTE>(c);
            *out++ = static_cast<BYTE>(c >> 8);
            *out++ = static_cast<BYTE>(c >> 16);
        }
    // Each pixel's number: rows apart, so they can go in bands.
    const auto numberRows = [&](size_t first, size_t n) {
        for (size_t row = first; row < first + n; ++row) {
            const BYTE* p = base + row * line;
            uint32_t* number = index.get() + row * width;
            for (size_t x = 0; x < width; ++x, p += 3) {
                const uint32_t c = ColourOf(p);
                const uint64_t lower = seen[c >> 6] & ((uint64_t{1} << (c & 63)) - 1);
                number[x] = before[c >> 6] + static_cast<uint32_t>(std::popcount(lower));
            }
        }
    };
    if (bands != nullptr)
        bands->ForEachBand(height, 8, numberRows);
    else
        numberRows(0, height);
    m_corrected = colours;
    if (static_cast<const tagDIBINFO*>(m_corrected) == nullptr)
        return false;
    m_colours = std::move(colours);
    m_index = std::move(index);
    m_count = count;
    m_width = width;
    m_height = height;
    return true;
}

int PictureColours::Preview(CColorCorrectionFilter& filter, CVoraDib& out, BandProcessor* bands)
{
    if (!Built() || !IsYuv24(out) || static_cast<size_t>(out.GetWidth()) != m_width ||
        static_cast<size_t>(out.GetHeight()) != m_height)
        return 0;
    if (filter.ProcessPreview(m_colours, m_corrected, bands) == 0)
        return 0;

    unsigned step = 0, line = 0;
    out.GetIncrements(step, line);
    const BYTE* const corrected = m_corrected;
    BYTE* const base = out;
    const auto rows = [&](size_t first, size_t n) {
        for (size_t row = first; row < first + n; ++row) {
            const uint32_t* number = m_index.get() + row * m_width;
            BYTE* dst = base + row * line;
            // Each pixel's bytes as one 4-byte word, whose fourth byte the
            // next pixel then replaces; the row's last pixel takes three.
            for (size_t x = 0; x + 1 < m_width; ++x)
                std::memcpy(dst + 3 * x, corrected + 3 * size_t{number[x]}, 4);
            std::memcpy(dst + 3 * (m_width - 1), corrected + 3 * size_t{number[m_width - 1]}, 3);
        }
    };
    if (bands != nullptr)
        bands->ForEachBand(m_height, 8, rows);
    else
        rows(0, m_height);
    return 1;
}

} // namespace colorcorrect
