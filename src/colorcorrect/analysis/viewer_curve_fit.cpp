// The viewer's channel curve operations: the shared fit and evaluation.

#include "../viewer/color_correction_viewer.h"
#include "channel_curve_fit.h"

void CColorCorrectionViewer::FitChannelCurve(int c0, int c1, int c2, int d0, int d1, int d2,
                                             int& black, int& gamma, int& white)
{
    colorcorrect::FitChannelCurve(c0, c1, c2, d0, d1, d2, black, gamma, white);
}

int CColorCorrectionViewer::ApplyChannelCurve(int c, int black, int gamma, int white)
{
    return colorcorrect::ApplyChannelCurve(c, black, gamma, white);
}
