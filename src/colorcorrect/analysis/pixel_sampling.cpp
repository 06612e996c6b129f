// Sampling of one point of a packed YUV picture for the point analyses.

#include <algorithm>

#include "../host/dib_info.h"
#include "../viewer/color_correction_viewer.h"

int CColorCorrectionViewer::GetPixelAveraged(CVoraDib dib, int x, int y, int& Y, int& U, int& V)
{
    Y = 0;
    U = 0;
    V = 0;
    const tagDIBINFO* header = dib;
    if (header == nullptr || header->bmiHeader.biCompression == 0)
        return 0;
    const BYTE* pixels = dib;
    const int w = header->bmiHeader.biWidth;
    const int h = header->bmiHeader.biHeight;
    // A picture without rows or columns (or stored top-down) has no pixel
    // to read at the place the bottom-up row arithmetic would compute.
    if (pixels == nullptr || w <= 0 || h <= 0)
        return 0;
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);

    if (w >= 3 && h >= 3) {
        x = std::clamp(x, 1, w - 2);
        y = std::clamp(y, 1, h - 2);
        int sum0 = 0, sum1 = 0, sum2 = 0;
        // Storage rows h-y-2 .. h-y are picture lines y+1 .. y-1.
        for (int row = h - y - 2; row <= h - y; ++row) {
            const BYTE* p = pixels + static_cast<size_t>(row) * line +
                            static_cast<size_t>(x - 1) * step;
            for (int i = 0; i < 3; ++i, p += step) {
                sum0 += p[0];
                sum1 += p[1];
                sum2 += p[2];
            }
        }
        Y = sum0 / 9;
        U = sum1 / 9 - 128;
        V = sum2 / 9 - 128;
        return 1;
    }

    x = std::clamp(x, 0, w - 1);
    y = std::clamp(y, 0, h - 1);
    const BYTE* p = pixels + static_cast<size_t>(h - 1 - y) * line + static_cast<size_t>(x) * step;
    Y = p[0];
    U = p[1] - 128;
    V = p[2] - 128;
    return 1;
}
