// Source and reference pictures: preparation, reduced copies, the bordered
// inlay, the split view and the default picture.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>
#include <utility>

#include "../host/exception_analysis.h"
#include "../host/yuv_rgb.h"
#include "color_correction_viewer.h"
#include "default_picture.h"

using colorcorrect::CriticalSectionLock;
using colorcorrect::YUV_COMPRESSION;
using colorcorrect::YuvBytesToRgbBytes;
using colorcorrect::YUVBM_PREMULTIPLIED;

namespace {

// A picture with a header and a size.
bool HasPicture(const CVoraDib& dib)
{
    const tagDIBINFO* header = dib;
    return header != nullptr && header->bmiHeader.biWidth > 0 && header->bmiHeader.biHeight > 0;
}

BYTE* PixelAt(BYTE* pixels, unsigned pixelStep, unsigned lineStep, int64_t x, int64_t row)
{
    return pixels + static_cast<size_t>(row) * lineStep + static_cast<size_t>(x) * pixelStep;
}

int ClampInt(int value, int lo, int hi)
{
    return value < lo ? lo : value > hi ? hi : value;
}

} // namespace

int CColorCorrectionViewer::SetSource(CVoraDib& dib)
{
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    ++m_nSourceVersion;
    // Preparing the stored source again: work from it, taken over before the
    // stored pictures are emptied.
    CVoraDib own;
    const CVoraDib* from = &dib;
    if (&dib == &m_dibSource) {
        own = std::move(m_dibSource);
        from = &own;
    }
    m_dibSource.Free();
    m_dibSourceQuart.Free();
    if (!HasPicture(*from))
        return 0;
    try {
        if (PreparePicture(m_dibSource, *from) == 0)
            return 0;
        if (GetQuartYUV(m_dibSourceQuart, m_dibSource) == 0) {
            m_dibSource.Free();
            return 0;
        }
    } catch (...) {
        // The picture is lost: report it as the failure it is.
        AnalyseException(std::current_exception(), 1);
        m_dibSource.Free();
        m_dibSourceQuart.Free();
        return 0;
    }
    return 1;
}

int CColorCorrectionViewer::SetReference(CVoraDib& dib)
{
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    ++m_nReferenceVersion;
    CVoraDib own;
    const CVoraDib* from = &dib;
    if (&dib == &m_dibReference) {
        own = std::move(m_dibReference);
        from = &own;
    }
    m_dibReference.Free();
    m_dibReferenceQuart.Free();
    if (!HasPicture(*from))
        return 0;
    try {
        if (PreparePicture(m_dibReference, *from) == 0)
            return 0;
        if (GetQuartYUV(m_dibReferenceQuart, m_dibReference) == 0) {
            m_dibReference.Free();
            return 0;
        }
        // The histogram display compares against the reduced YUV reference.
        m_filter.SetReference(m_dibReferenceQuart);
        if (GetQuartRGB(m_dibReferenceQuart, m_dibReference) == 0) {
            m_dibReference.Free();
            return 0;
        }
        m_dibReferenceInlay = m_dibReferenceQuart;
        m_dibReferenceInlay.Realloc(0, 0, 24, 0);
        AddBorder(m_dibReferenceInlay, colorcorrect::VIEWER_INLAY_BORDER_COLOUR,
                  colorcorrect::VIEWER_INLAY_BORDER);
    } catch (...) {
        AnalyseException(std::current_exception(), 1);
        m_dibReference.Free();
        m_dibReferenceQuart.Free();
        return 0;
    }
    return 1;
}

int CColorCorrectionViewer::SetSplit(int x, int y)
{
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    m_nSplitX = x;
    m_nSplitY = y;
    return 1;
}

int CColorCorrectionViewer::PreparePicture(CVoraDib& stored, const CVoraDib& dib)
{
    const tagDIBINFO* given = dib;
    const bool rgb = given != nullptr && given->bmiHeader.biCompression == 0;
    stored = dib;
    const tagDIBINFO* header = stored;
    if (header == nullptr)
        return 0;
    // The change to 24 bits drops the alpha byte, so premultiplied colours
    // are divided by their alpha first (in YUV, where that is defined).
    if (header->bmiHeader.biBitCount == 32 && (header->bmiHeader.dwFlags & YUVBM_PREMULTIPLIED) != 0) {
        if (rgb)
            stored.ToYUV();
        UnPremultiply(stored);
    }
    if (stored.Realloc(0, 0, 24, 0) == 0)
        return 0;
    if (rgb)
        stored.ToYUV();
    UnPremultiply(stored);
    return 1;
}

int CColorCorrectionViewer::GetQuartYUV(CVoraDib& dibDst, const CVoraDib& dibSrc)
{
    dibDst.Free();
    const tagDIBINFO* header = dibSrc;
    if (!HasPicture(dibSrc) || header->bmiHeader.biCompression != YUV_COMPRESSION)
        return 0;
    const int width = header->bmiHeader.biWidth;
    const int height = header->bmiHeader.biHeight;
    const int bits = header->bmiHeader.biBitCount;

    int targetWidth = m_nInlayWidth;
    int targetHeight = m_nInlayHeight;
    if (m_nInlayWidth == colorcorrect::VIEWER_HALF_SIZE) {
        targetWidth = width / 2;
        targetHeight = height / 2;
    }
    // A picture of one pixel's width or height has no half.
    if (targetWidth <= 0 || targetHeight <= 0)
        return 0;

    if (targetWidth == width && targetHeight == height) {
        dibDst = dibSrc;
        dibDst.Realloc(0, 0, 24, 0);
        return HasPicture(dibDst) ? 1 : 0;
    }
    if (targetHeight >= height)
        return dibDst.SetDIB(header, targetWidth, targetHeight, bits, 0);

    // Shrinking in height: take one field (every second line) first, so
    // that the lines of the two fields are not blended.
    CVoraDib field;
    if (field.AllocYUV(width, height / 2, bits, 0) == 0)
        return 0;
    const bool oddLines = (m_nField == 1) != (header->bmiHeader.dwFieldOrder == 0);
    const int start = oddLines ? 1 : 0;
    unsigned srcPixel = 0, srcLine = 0, dstPixel = 0, dstLine = 0;
    dibSrc.GetIncrements(srcPixel, srcLine);
    field.GetIncrements(dstPixel, dstLine);
    const BYTE* src = dibSrc;
    BYTE* dst = field;
    const size_t rowBytes = static_cast<size_t>(width) * srcPixel;
    for (int i = 0; i < height / 2; ++i)
        std::memcpy(dst + static_cast<size_t>(i) * dstLine,
                    src + static_cast<size_t>(start + 2 * i) * srcLine, rowBytes);
    return dibDst.SetDIB(field, targetWidth, targetHeight, bits, 0);
}

int CColorCorrectionViewer::GetQuartRGB(CVoraDib& dibDst, const CVoraDib& dibSrc)
{
    dibDst.Free();
    const tagDIBINFO* header = dibSrc;
    if (!HasPicture(dibSrc) || header->bmiHeader.biCompression == 0)
        return 0;
    if (GetQuartYUV(dibDst, dibSrc) == 0)
        return 0;
    tagDIBINFO* out = dibDst;
    out->bmiHeader.biCompression = 0;

    unsigned pixelStep = 0, lineStep = 0;
    dibDst.GetIncrements(pixelStep, lineStep);
    BYTE* pixels = dibDst;
    const int width = dibDst.GetWidth();
    const int height = dibDst.GetHeight();
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            BYTE* p = PixelAt(pixels, pixelStep, lineStep, x, row);
            BYTE r, g, b;
            YuvBytesToRgbBytes(p[0], p[1], p[2], r, g, b);
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
    return 1;
}

int CColorCorrectionViewer::UnPremultiply(CVoraDib& dib)
{
    tagDIBINFO* header = dib;
    if (header == nullptr)
        return 0;
    if ((header->bmiHeader.dwFlags & YUVBM_PREMULTIPLIED) == 0 || header->bmiHeader.biBitCount != 32)
        return 1;
    if (header->bmiHeader.biCompression != YUV_COMPRESSION)
        return 0;
    header->bmiHeader.dwFlags &= ~YUVBM_PREMULTIPLIED;

    unsigned pixelStep = 0, lineStep = 0;
    dib.GetIncrements(pixelStep, lineStep);
    BYTE* pixels = dib;
    const int width = dib.GetWidth();
    const int height = dib.GetHeight();
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            BYTE* p = PixelAt(pixels, pixelStep, lineStep, x, row);
            const int a = p[3];
            if (a == 0) {
                p[0] = 0;
                p[1] = 128;
                p[2] = 128;
                continue;
            }
            const int y = p[0] * 256 / a;
            const int u = (p[1] - 128) * 256 / a;
            const int v = (p[2] - 128) * 256 / a;
            p[0] = static_cast<BYTE>(std::min(y, 255));
            p[1] = static_cast<BYTE>(ClampInt(u, -127, 127) + 128);
            p[2] = static_cast<BYTE>(ClampInt(v, -127, 127) + 128);
        }
    }
    return 1;
}

int CColorCorrectionViewer::AddBorder(CVoraDib& dib, unsigned long dwColour, unsigned int nBorder)
{
    if (!HasPicture(dib))
        return 0;
    const int width = dib.GetWidth();
    const int height = dib.GetHeight();
    // Less than half of each side, so that some inside stays; a picture
    // narrower or lower than 2 pixels gets no border at all.
    const unsigned halfWidth = static_cast<unsigned>(width) / 2;
    const unsigned halfHeight = static_cast<unsigned>(height) / 2;
    if (nBorder >= halfWidth)
        nBorder = halfWidth == 0 ? 0 : halfWidth - 1;
    if (nBorder >= halfHeight)
        nBorder = halfHeight == 0 ? 0 : halfHeight - 1;
    if (nBorder == 0)
        return 1;

    const int border = static_cast<int>(nBorder);
    const BYTE c0 = static_cast<BYTE>(dwColour & 0xFF);
    const BYTE c1 = static_cast<BYTE>((dwColour >> 8) & 0xFF);
    const BYTE c2 = static_cast<BYTE>((dwColour >> 16) & 0xFF);
    unsigned pixelStep = 0, lineStep = 0;
    dib.GetIncrements(pixelStep, lineStep);
    BYTE* pixels = dib;
    const auto paint = [&](int x, int row) {
        BYTE* p = PixelAt(pixels, pixelStep, lineStep, x, row);
        p[0] = c0;
        p[1] = c1;
        p[2] = c2;
    };
    for (int row = 0; row < height; ++row) {
        if (row < border || row >= height - border) {
            for (int x = 0; x < width; ++x)
                paint(x, row);
        } else {
            for (int x = 0; x < border; ++x) {
                paint(x, row);
                paint(width - 1 - x, row);
            }
        }
    }
    return 1;
}

int CColorCorrectionViewer::AddSplit(CVoraDib& dibDst, CVoraDib& dibRef, int x, int y)
{
    if (x == 0 || y == 0)
        return 1;
    const tagDIBINFO* dstHeader = dibDst;
    const tagDIBINFO* refHeader = dibRef;
    if (dstHeader == nullptr || refHeader == nullptr ||
        dstHeader->bmiHeader.biCompression != refHeader->bmiHeader.biCompression)
        return 0;
    const int64_t dstWidth = dibDst.GetWidth(), dstHeight = dibDst.GetHeight();
    const int64_t refWidth = dibRef.GetWidth(), refHeight = dibRef.GetHeight();
    const int64_t columns = std::min<int64_t>(x < 0 ? -int64_t{x} : x, std::min(dstWidth, refWidth));
    const int64_t rows = std::min<int64_t>(y < 0 ? -int64_t{y} : y, std::min(dstHeight, refHeight));
    if (columns <= 0 || rows <= 0)
        return 1;

    // Each picture's corner is measured from its own edges: the left or
    // right columns, the top rows (last in memory) or the bottom rows.
    const int64_t dstX0 = x > 0 ? 0 : dstWidth - columns;
    const int64_t refX0 = x > 0 ? 0 : refWidth - columns;
    const int64_t dstRow0 = y > 0 ? dstHeight - rows : 0;
    const int64_t refRow0 = y > 0 ? refHeight - rows : 0;

    unsigned dstPixel = 0, dstLine = 0, refPixel = 0, refLine = 0;
    dibDst.GetIncrements(dstPixel, dstLine);
    dibRef.GetIncrements(refPixel, refLine);
    BYTE* dst = dibDst;
    BYTE* ref = dibRef;
    for (int64_t row = 0; row < rows; ++row) {
        for (int64_t col = 0; col < columns; ++col) {
            BYTE* d = PixelAt(dst, dstPixel, dstLine, dstX0 + col, dstRow0 + row);
            const BYTE* r = PixelAt(ref, refPixel, refLine, refX0 + col, refRow0 + row);
            d[0] = r[0];
            d[1] = r[1];
            d[2] = r[2];
        }
    }
    return 1;
}

int CColorCorrectionViewer::GetDefaultBMP(int bReference)
{
    CVoraDib picture;
    try {
        // The picture lies in a folder RESOURCE beside the library itself.
        const std::wstring path = colorcorrect::DefaultPicturePath();
        if (picture.LoadFromFile(path.c_str(), 0, 0, 24, 0) == 0)
            return 0;
    } catch (...) {
        AnalyseException(std::current_exception(), 1);
        return 0;
    }
    picture.ToYUV();
    return bReference != 0 ? SetReference(picture) : SetSource(picture);
}
