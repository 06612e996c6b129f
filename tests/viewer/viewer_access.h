#pragma once
// Opens the viewer's protected operations and state to the tests.

#include <colorcorrect/colorcorrect.h>

namespace colorcorrect::test {

class ViewerAccess : public CColorCorrectionViewer {
public:
    using CColorCorrectionViewer::AddBorder;
    using CColorCorrectionViewer::AddSplit;
    using CColorCorrectionViewer::GetDefaultBMP;
    using CColorCorrectionViewer::GetQuartRGB;
    using CColorCorrectionViewer::GetQuartYUV;
    using CColorCorrectionViewer::PreparePicture;
    using CColorCorrectionViewer::UnPremultiply;

    using CColorCorrectionViewer::m_ccCurrent;
    using CColorCorrectionViewer::m_ccSets;
    using CColorCorrectionViewer::m_ccStart;
    using CColorCorrectionViewer::m_csLock;
    using CColorCorrectionViewer::m_dibReference;
    using CColorCorrectionViewer::m_dibReferenceInlay;
    using CColorCorrectionViewer::m_dibReferenceQuart;
    using CColorCorrectionViewer::m_dibSource;
    using CColorCorrectionViewer::m_dibSourceQuart;
    using CColorCorrectionViewer::m_dwAdjustFlags;
    using CColorCorrectionViewer::m_dwMatchMode;
    using CColorCorrectionViewer::m_dwPreviewData;
    using CColorCorrectionViewer::m_evPreview;
    using CColorCorrectionViewer::m_filter;
    using CColorCorrectionViewer::m_n6Vector;
    using CColorCorrectionViewer::m_nAngles;
    using CColorCorrectionViewer::m_nAnglesStart;
    using CColorCorrectionViewer::m_nChannel;
    using CColorCorrectionViewer::m_nField;
    using CColorCorrectionViewer::m_nInlayHeight;
    using CColorCorrectionViewer::m_nInlayWidth;
    using CColorCorrectionViewer::m_nIsolateType;
    using CColorCorrectionViewer::m_nIsolateVector;
    using CColorCorrectionViewer::m_nSets;
    using CColorCorrectionViewer::m_nSplitX;
    using CColorCorrectionViewer::m_nSplitY;
    using CColorCorrectionViewer::m_nStartX;
    using CColorCorrectionViewer::m_nStartY;
    using CColorCorrectionViewer::m_pfnPreview;
    using CColorCorrectionViewer::m_pThread;
};

// A filter with its protected state open.
class ViewerFilterAccess : public CColorCorrectionFilter {
public:
    ViewerFilterAccess() = default;
    // A copy of `filter` (the filter's own deep copy).
    explicit ViewerFilterAccess(const CColorCorrectionFilter& filter)
        : CColorCorrectionFilter(filter)
    {
    }

    using CColorCorrectionFilter::m_aAngles;
    using CColorCorrectionFilter::m_IsolateParam;
    using CColorCorrectionFilter::m_LumaClip;
    using CColorCorrectionFilter::m_uChannel;
    using CColorCorrectionFilter::m_uDisplayField;
    using CColorCorrectionFilter::m_uIsolateType;
    using CColorCorrectionFilter::m_uIsolateVector;
    using CColorCorrectionFilter::m_YLUT;
};

// A copy of the viewer's own filter, its state open for reading.
inline ViewerFilterAccess FilterOf(const ViewerAccess& viewer)
{
    return ViewerFilterAccess(viewer.m_filter);
}

} // namespace colorcorrect::test
