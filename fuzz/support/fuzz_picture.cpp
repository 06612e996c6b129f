#include "support/fuzz_picture.h"

#include "support/fuzz_pick.h"

namespace colorcorrect::fuzz {

CVoraDib MakePicture(FuzzedDataProvider& in)
{
    CVoraDib dib;
    if (in.ConsumeIntegralInRange(0, 15) == 0)
        return dib; // empty
    const int w = in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(1, 24)
                                                       : PickDimension(in);
    const int h = in.ConsumeIntegralInRange(0, 3) != 0 ? in.ConsumeIntegralInRange(1, 24)
                                                       : PickDimension(in);
    const int bits = PickBits(in);
    const bool yuv = in.ConsumeIntegralInRange(0, 3) != 0;
    const unsigned long flags = PickFlags(in);
    if (TooLargeToTry(w, h, bits))
        return dib;
    if (!(yuv ? dib.AllocYUV(w, h, bits, flags) : dib.Alloc(w, h, bits, flags)))
        return dib;
    // Content: a pattern over every pixel byte (alpha included).
    BYTE* pixels = dib;
    unsigned step = 0, line = 0;
    dib.GetIncrements(step, line);
    const uint8_t a = in.ConsumeIntegral<uint8_t>(), b = in.ConsumeIntegral<uint8_t>();
    const uint8_t c = in.ConsumeIntegral<uint8_t>();
    for (int y = 0; y < dib.GetHeight(); ++y)
        for (unsigned x = 0; x < unsigned(dib.GetWidth()) * step; ++x)
            pixels[size_t(y) * line + x] =
                static_cast<BYTE>(a + x * b + y * c + ((x * y) >> 3) * (a | 1));
    // Now and then a header word changed behind the picture's back.
    tagDIBINFO* hd = dib;
    switch (in.ConsumeIntegralInRange(0, 15)) {
    case 0:
        hd->bmiHeader.biCompression = in.ConsumeIntegral<uint32_t>();
        break;
    case 1:
        hd->bmiHeader.dwFieldOrder = in.ConsumeIntegral<uint32_t>();
        break;
    case 2:
        hd->bmiHeader.dwFlags = in.ConsumeIntegral<uint32_t>();
        break;
    case 3:
        hd->bmiHeader.biBitCount = in.ConsumeIntegral<uint16_t>();
        break;
    case 4:
        hd->bmiHeader.dwFieldOrder = 1;
        break;
    default:
        break;
    }
    return dib;
}

} // namespace colorcorrect::fuzz
