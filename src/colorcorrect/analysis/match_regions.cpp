// Regions of the matching operations and rectangles of the match vector
// operations, brought into their pictures.

#include <algorithm>
#include <cstdint>
#include <utility>

#include "../host/debug_output.h"
#include "../viewer/color_correction_viewer.h"

namespace {

// Smallest region width and height the matches accept, in pixels.
constexpr int kMinimumRegion = 10;
// Width and height a click is widened to by the match vector operations.
constexpr int64_t kClickSize = 3;

void LimitEdges(int64_t& first, int64_t& second, int64_t limit)
{
    if (first > second)
        std::swap(first, second);
    if (second - first < kClickSize) {
        first -= 1;
        second = first + kClickSize;
    }
    // A click at the first column or row would start before the picture:
    // keep its three pixels by moving it inside instead.
    if (first < 0) {
        second -= first;
        first = 0;
    }
    const int64_t last = std::max<int64_t>(limit - 1, 0);
    first = std::clamp<int64_t>(first, 0, last);
    second = std::clamp<int64_t>(second, 0, last);
}

} // namespace

int CColorCorrectionViewer::CutMatchRegion(const tagRECT* prc, int width, int height, tagRECT& rc)
{
    rc = prc != nullptr ? *prc : tagRECT{0, 0, width, height};
    rc.left = std::clamp(rc.left, 0, std::max(width, 0));
    rc.right = std::clamp(rc.right, 0, std::max(width, 0));
    rc.top = std::clamp(rc.top, 0, std::max(height, 0));
    rc.bottom = std::clamp(rc.bottom, 0, std::max(height, 0));
    if (rc.right - rc.left < kMinimumRegion || rc.bottom - rc.top < kMinimumRegion) {
        if (IsDebugOn())
            wPrintf(3, 5, L"CColorCorrectionViewer::HistoRef: Minimum rectangle = 10 x 10\r\n");
        return 0;
    }
    return 1;
}

int CColorCorrectionViewer::CutMatchRegions(tagCOLORCORRINFO& cc, const tagRECT* prcReference,
                                            const tagRECT* prcSource, CVoraDib& dibReference,
                                            CVoraDib& dibSource)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    if (static_cast<const BYTE*>(m_dibSource) == nullptr ||
        static_cast<const BYTE*>(m_dibReference) == nullptr)
        return 0;
    tagRECT source{}, reference{};
    if (!CutMatchRegion(prcSource, m_dibSource.GetWidth(), m_dibSource.GetHeight(), source) ||
        !CutMatchRegion(prcReference, m_dibReference.GetWidth(), m_dibReference.GetHeight(),
                        reference)) {
        // A region too small to match gives the neutral primary record.
        ResetForMatch(cc);
        return 0;
    }
    dibSource = m_dibSource.GetDIB(source.left, source.top, source.right - source.left,
                                   source.bottom - source.top);
    dibReference = m_dibReference.GetDIB(reference.left, reference.top,
                                         reference.right - reference.left,
                                         reference.bottom - reference.top);
    return static_cast<const BYTE*>(dibSource) != nullptr &&
           static_cast<const BYTE*>(dibReference) != nullptr;
}

void CColorCorrectionViewer::ResetForMatch(tagCOLORCORRINFO& cc)
{
    cc.ResetCC(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = CC_PRIMARY;
}

int CColorCorrectionViewer::PrepareMatchRect(tagRECT& rc, int width, int height)
{
    int64_t left = rc.left, right = rc.right, top = rc.top, bottom = rc.bottom;
    LimitEdges(left, right, width);
    LimitEdges(top, bottom, height);
    rc = tagRECT{static_cast<int32_t>(left), static_cast<int32_t>(top),
                 static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
    return left != right && top != bottom;
}
