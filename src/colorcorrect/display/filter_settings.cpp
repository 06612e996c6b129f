// The display filter's settings: channel view, isolate display, the cube's
// isolate parameter and the real-time display's field.

#include "color_correction_filter.h"

namespace {
constexpr unsigned int kMaxChannel = 4;
constexpr unsigned int kMaxIsolateVector = 15;
constexpr unsigned int kMaxIsolateType = 7;
constexpr uint32_t kNoMatchBuild = 0xFFFFFFFFu;
}

int CColorCorrectionFilter::SetChannel(unsigned int channel)
{
    if (channel > kMaxChannel)
        return 0;
    m_uChannel = channel;
    return 1;
}

int CColorCorrectionFilter::SetIsolateVector(unsigned int index)
{
    if (index > kMaxIsolateVector)
        return 0;
    if (index != m_uIsolateVector) {
        m_uIsolateVector = index;
        // The match index carries the isolate display: the next full
        // set-up must rebuild it even when the record is unchanged.
        m_dwMatchCRC = kNoMatchBuild;
    }
    return 1;
}

int CColorCorrectionFilter::SetIsolateType(unsigned int type)
{
    if (type > kMaxIsolateType)
        return 0;
    if (type != m_uIsolateType) {
        m_uIsolateType = type;
        m_dwMatchCRC = kNoMatchBuild;
    }
    return 1;
}

int CColorCorrectionFilter::SetIsolateParam(const tagMATCHVECTOR* p)
{
    if (p == nullptr)
        return 0;
    m_IsolateParam = *p;
    return 1;
}

int CColorCorrectionFilter::SetDisplayField(unsigned int field)
{
    m_uDisplayField = (field >> 1) & 1u;
    return 1;
}
