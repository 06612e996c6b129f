// Saved correction sets: a list of up to 32 records that turns into a ring
// once full. m_nSets below 32 counts the sets; from the 33rd save on it holds
// 32 plus the slot the next save overwrites.

#include <algorithm>
#include <cstring>

#include "color_correction_viewer.h"

using colorcorrect::VIEWER_SET_COUNT;

unsigned int CColorCorrectionViewer::DefineSet()
{
    const unsigned int slot = m_nSets % VIEWER_SET_COUNT;
    m_ccSets[slot] = m_ccCurrent;
    if (m_nSets < VIEWER_SET_COUNT)
        ++m_nSets;
    else
        m_nSets = VIEWER_SET_COUNT + (slot + 1) % VIEWER_SET_COUNT;
    return slot;
}

int CColorCorrectionViewer::DeleteSet(unsigned int nSet)
{
    const unsigned int count = QueryNSet();
    if (nSet >= count)
        return 0;
    // A full ring becomes a plain list in slot order.
    std::memmove(&m_ccSets[nSet], &m_ccSets[nSet + 1],
                 static_cast<size_t>(count - nSet - 1) * sizeof(tagCOLORCORRINFO));
    m_nSets = count - 1;
    return 1;
}

unsigned int CColorCorrectionViewer::QueryNSet()
{
    return std::min(m_nSets, VIEWER_SET_COUNT);
}

int CColorCorrectionViewer::GetSet(unsigned int nSet, tagCOLORCORRINFO& cc)
{
    if (nSet < QueryNSet()) {
        cc = m_ccSets[nSet];
        return 1;
    }
    // The caller always gets a valid record.
    cc = m_ccCurrent;
    return 0;
}

void CColorCorrectionViewer::ClearListSet()
{
    m_nSets = 0;
}
