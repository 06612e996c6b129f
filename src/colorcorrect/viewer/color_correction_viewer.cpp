#include "color_correction_viewer.h"

#include <climits>
#include <cstdint>

#include "preview_setup.h"
#include "preview_shared_state.h"

using colorcorrect::CriticalSectionLock;

CColorCorrectionViewer::CColorCorrectionViewer()
    : m_nAngles{0, 0, 0},
      m_nAnglesStart{0, 0, 0},
      m_nStartX(colorcorrect::VIEWER_NO_GESTURE),
      m_nStartY(colorcorrect::VIEWER_NO_GESTURE),
      // The host sets the split and the display options before its first
      // preview; until then nothing is split in and no display aid is on.
      m_nSplitX(0),
      m_nSplitY(0),
      m_nField(0),
      m_nInlayWidth(colorcorrect::VIEWER_HALF_SIZE),
      m_nInlayHeight(colorcorrect::VIEWER_HALF_SIZE),
      m_nChannel(0),
      m_n6Vector(0),
      m_nIsolateVector(0),
      m_nIsolateType(0),
      m_dwMatchMode(0),
      m_ccStart{},
      m_ccCurrent{},
      m_ccSets{},
      m_nSets(0),
      m_dwAdjustFlags(0),
      m_dwAdjustTarget(0),
      m_pfnPreview(nullptr),
      m_dwPreviewData(0),
      m_pShared(std::make_shared<colorcorrect::PreviewSharedState>(this)),
      m_csLock(m_pShared->lock),
      m_evPreview(m_pShared->wake),
      m_pThread(nullptr),
      m_nSourceVersion(0),
      m_nReferenceVersion(0)
{
    m_ccStart.Init(sizeof(tagCOLORCORRINFO));
    m_ccCurrent.Init(sizeof(tagCOLORCORRINFO));
    for (tagCOLORCORRINFO& set : m_ccSets)
        set.Init(sizeof(tagCOLORCORRINFO));
    // Displays asked for before the first SetCorrection use the neutral
    // correction rather than the filter's blank tables.
    if (m_filter.SetupFilter(m_ccCurrent) != 0)
        PublishSetup(m_ccCurrent);
    m_filter.SetNewAngles(m_nAngles[0], m_nAngles[1], m_nAngles[2], 0, 90);
}

CColorCorrectionViewer::~CColorCorrectionViewer()
{
    SetPreview(nullptr, 0);
    // A worker abandoned in its callback keeps the shared block alive; make
    // sure it can never find its way back here.
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    m_pShared->viewer = nullptr;
}

int CColorCorrectionViewer::SetDisplayField(unsigned int nField)
{
    if (m_filter.SetDisplayField(nField) == 0)
        return 0;
    const unsigned int field = (nField >> 1) & 1u;
    if (field != m_nField) {
        m_nField = field;
        PrepareAgain();
    }
    return 1;
}

int CColorCorrectionViewer::SetInlaySize(unsigned int nWidth, unsigned int nHeight)
{
    if (nWidth == 0 || nHeight == 0)
        return 0;
    const int width = static_cast<int>(nWidth);
    const int height = static_cast<int>(nHeight);
    // A negative size cannot be made; taking it would lose the pictures at
    // the next preparation.
    if (width != colorcorrect::VIEWER_HALF_SIZE && (width < 0 || height < 0))
        return 0;
    // Nor can a reduced picture beyond the picture limit (counted at four
    // bytes a pixel, the widest the reduced copies get).
    if (width != colorcorrect::VIEWER_HALF_SIZE &&
        uint64_t{4} * static_cast<uint64_t>(width) * static_cast<uint64_t>(height) >
            colorcorrect::MAX_PICTURE_BYTES)
        return 0;
    m_nInlayWidth = width;
    m_nInlayHeight = height;
    PrepareAgain();
    return 1;
}

void CColorCorrectionViewer::PrepareAgain()
{
    SetSource(m_dibSource);
    SetReference(m_dibReference);
}

int CColorCorrectionViewer::GetDisplay(CVoraDib& dibDisplay, CVoraDib& dibReference,
                                       unsigned int nType)
{
    if (static_cast<const BYTE*>(m_dibSource.GetMemory()) == nullptr && GetDefaultBMP(0) == 0)
        return 0;
    if (m_filter.ProcessDisplay(m_dibSourceQuart, dibDisplay, dibReference, nType) == 0)
        return 0;

    // The split is kept in source pixels; the display shows the reduced source.
    const auto scale = [](int split, int reduced, int full) -> int {
        if (reduced == 0 || full == 0)
            return 0;
        return static_cast<int>(static_cast<int64_t>(split) * reduced / full);
    };
    const int splitX = scale(m_nSplitX, m_dibSourceQuart.GetWidth(), m_dibSource.GetWidth());
    const int splitY = scale(m_nSplitY, m_dibSourceQuart.GetHeight(), m_dibSource.GetHeight());
    AddSplit(dibDisplay, m_dibReferenceInlay, splitX, splitY);

    if (nType == 0) {
        if (static_cast<const BYTE*>(m_dibReferenceInlay.GetMemory()) == nullptr)
            GetDefaultBMP(1);
        dibReference = m_dibReferenceQuart;
    }
    return 1;
}

int CColorCorrectionViewer::GetImageSize(int& nWidth, int& nHeight)
{
    nWidth = 1;
    nHeight = 1;
    if (static_cast<const BYTE*>(m_dibSource.GetMemory()) == nullptr && GetDefaultBMP(0) == 0)
        return 0;
    const tagDIBINFO* header = m_dibSource;
    if (header == nullptr)
        return 0;
    nWidth = header->bmiHeader.biWidth;
    nHeight = header->bmiHeader.biHeight;
    return 1;
}

int CColorCorrectionViewer::GetRTLUT(tagBCC_RTLUTPACK& pack)
{
    return m_filter.GetRTLUT(pack, m_ccCurrent.Base);
}

void CColorCorrectionViewer::SetIntensity(int n)
{
    m_filter.SetVectorIntensity(n);
}

// The worker reads the channel and isolate settings under the lock for its
// snapshot, so they are stored under it too.

int CColorCorrectionViewer::SetChannel(unsigned int n)
{
    if (m_filter.SetChannel(n) == 0)
        return 0;
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    m_nChannel = n;
    return 1;
}

int CColorCorrectionViewer::Set6Vector(unsigned int n)
{
    m_n6Vector = n % 6;
    return 1;
}

int CColorCorrectionViewer::SetIsolateVector(unsigned int n)
{
    if (m_filter.SetIsolateVector(n) == 0)
        return 0;
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    m_nIsolateVector = n;
    return 1;
}

int CColorCorrectionViewer::SetIsolateType(unsigned int n)
{
    if (m_filter.SetIsolateType(n) == 0)
        return 0;
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    m_nIsolateType = n;
    return 1;
}

int CColorCorrectionViewer::GetIsolateColors(unsigned long& a, unsigned long& b)
{
    return m_filter.GetIsolateColors(m_ccCurrent, a, b);
}
