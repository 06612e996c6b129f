// Turning the 3D colour cube with the mouse. The angles belong to the
// viewer's filter, which draws the cube; the viewer keeps a copy to start
// each move from.

#include "color_correction_viewer.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Degrees of turn for a mouse movement from `from` to `to`: one per two
// pixels. Computed wide, so that no pair of ints overflows; the result always
// fits an int.
int HalfSteps(int to, int from)
{
    return static_cast<int>((static_cast<int64_t>(to) - from) / 2);
}

} // namespace

void CColorCorrectionViewer::BeginRotate(int x, int y)
{
    for (int i = 0; i < 3; ++i)
        m_nAnglesStart[i] = m_nAngles[i];
    m_nStartX = x;
    m_nStartY = y;
}

void CColorCorrectionViewer::Rotate(int x, int y)
{
    if (m_nStartX == colorcorrect::VIEWER_NO_GESTURE)
        return;
    const int dx = HalfSteps(x, m_nStartX);
    const int dy = -HalfSteps(y, m_nStartY);
    // Small jitter round the start point keeps the last larger turn.
    if (std::llabs(dx) + std::llabs(dy) < 4)
        return;
    for (int i = 0; i < 3; ++i)
        m_nAngles[i] = m_nAnglesStart[i];
    m_filter.SetNewAngles(m_nAngles[0], m_nAngles[1], m_nAngles[2], dx, dy);
}

void CColorCorrectionViewer::RotateZ(int x, int /*y*/)
{
    if (m_nStartX == colorcorrect::VIEWER_NO_GESTURE)
        return;
    for (int i = 0; i < 3; ++i)
        m_nAngles[i] = m_nAnglesStart[i];
    m_filter.SetNewAngles(m_nAngles[0], m_nAngles[1], m_nAngles[2], HalfSteps(x, m_nStartX));
}

void CColorCorrectionViewer::EndRotate()
{
    m_nStartX = colorcorrect::VIEWER_NO_GESTURE;
    m_nStartY = colorcorrect::VIEWER_NO_GESTURE;
}

void CColorCorrectionViewer::GetAngles(int& alpha, int& beta, int& gamma)
{
    alpha = m_nAngles[0];
    beta = m_nAngles[1];
    gamma = m_nAngles[2];
}

void CColorCorrectionViewer::SetAngles(int alpha, int beta, int gamma)
{
    m_nAngles[0] = alpha;
    m_nAngles[1] = beta;
    m_nAngles[2] = gamma;
    m_filter.SetNewAngles(m_nAngles[0], m_nAngles[1], m_nAngles[2], 0, 0);
}
