// Contrast: a luma curve that stretches the luma between a picked dark and a
// picked bright point of the source.

#include "../records/correction_records.h"
#include "../viewer/color_correction_viewer.h"
#include "channel_curve_fit.h"

int CColorCorrectionViewer::Contrast(tagCOLORCORRINFO& cc, int x1, int y1, int x2, int y2)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    int Y1 = 0, U1 = 0, V1 = 0, Y2 = 0, U2 = 0, V2 = 0;
    GetPixelAveraged(m_dibSource, x1, y1, Y1, U1, V1);
    GetPixelAveraged(m_dibSource, x2, y2, Y2, U2, V2);
    // With equal lumas the second point is the dark one.
    const int dark = Y1 < Y2 ? Y1 : Y2;
    const int bright = Y1 < Y2 ? Y2 : Y1;

    int black = 0, white = 0; // equal lumas give no span to stretch: no change
    if (bright > dark) {
        const double span = bright - dark;
        if (m_ccCurrent.Base.wRangeFlags & RANGE_VIDEO_LUMA) {
            const double f = 219.0 / span;
            black = colorcorrect::LimitedTrunc((16 - dark) * f, -255.0, 255.0);
            white = colorcorrect::LimitedTrunc((255 - bright) * f - 20.0, -255.0, 255.0);
        } else {
            const double f = 255.0 / span;
            black = colorcorrect::LimitedTrunc(-dark * f, -255.0, 255.0);
            white = colorcorrect::LimitedTrunc((255 - bright) * f, -255.0, 255.0);
        }
    }
    cc.Base.sYBlack = static_cast<int16_t>(black);
    cc.Base.sYWhite = static_cast<int16_t>(white);
    return 1;
}
