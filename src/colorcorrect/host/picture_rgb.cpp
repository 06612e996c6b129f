#include "picture_rgb.h"

#include "dib_info.h"
#include "yuv_rgb.h"

namespace colorcorrect {

int ToRGB(CVoraDib& dib)
{
    tagDIBINFO* info = dib;
    if (info == nullptr)
        return 0;
    tagYUVBMINFOHEADER& header = info->bmiHeader;
    if (header.biCompression == 0)
        return 1;
    if (header.biCompression != YUV_COMPRESSION)
        return 0;
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    BYTE* row = dib;
    const int width = dib.GetWidth(), height = dib.GetHeight();
    for (int y = 0; y < height; ++y, row += stride) {
        BYTE* p = row;
        for (int x = 0; x < width; ++x, p += step) {
            BYTE r = 0, g = 0, b = 0;
            YuvBytesToRgbBytes(p[0], p[1], p[2], r, g, b);
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
    header.biCompression = 0;
    return 1;
}

} // namespace colorcorrect
