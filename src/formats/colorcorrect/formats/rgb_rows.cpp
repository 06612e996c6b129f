#include "rgb_rows.h"

#include <colorcorrect/colorcorrect.h>

#include "vector_dispatch.h"

namespace colorcorrect::formats {

namespace {

template <bool ToYuv>
[[gnu::always_inline]] inline void Convert(BYTE a, BYTE b, BYTE c, BYTE& x, BYTE& y, BYTE& z)
{
    if constexpr (ToYuv)
        RgbBytesToYuvBytes(a, b, c, x, y, z);
    else
        YuvBytesToRgbBytes(a, b, c, x, y, z);
}

template <bool ToYuv, size_t Step>
COLORCORRECT_ROW_BODY void InPlaceRow(uint8_t* row, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x) {
        uint8_t* p = row + Step * x;
        const uint8_t a = p[0], b = p[1], c = p[2];
        Convert<ToYuv>(a, b, c, p[0], p[1], p[2]);
    }
}

template <bool ToYuv, size_t InStep, size_t OutStep>
COLORCORRECT_ROW_BODY void CopyRow(const uint8_t* __restrict in, uint8_t* __restrict out, size_t pixels)
{
    for (size_t x = 0; x < pixels; ++x) {
        const uint8_t* p = in + InStep * x;
        uint8_t* q = out + OutStep * x;
        Convert<ToYuv>(p[0], p[1], p[2], q[0], q[1], q[2]);
        if constexpr (InStep == 4 && OutStep == 4)
            q[3] = p[3];
    }
}

template <bool ToYuv>
void InPlace(uint8_t* row, size_t step, size_t pixels)
{
    if (step == 4)
        RunRow<InPlaceRow<ToYuv, 4>>(row, pixels);
    else
        RunRow<InPlaceRow<ToYuv, 3>>(row, pixels);
}

template <bool ToYuv>
void Copy(const uint8_t* in, size_t inStep, uint8_t* out, size_t outStep, size_t pixels)
{
    if (inStep == 4)
        outStep == 4 ? RunRow<CopyRow<ToYuv, 4, 4>>(in, out, pixels) : RunRow<CopyRow<ToYuv, 4, 3>>(in, out, pixels);
    else
        outStep == 4 ? RunRow<CopyRow<ToYuv, 3, 4>>(in, out, pixels) : RunRow<CopyRow<ToYuv, 3, 3>>(in, out, pixels);
}

} // namespace

void RgbRowToYuvInPlace(uint8_t* row, size_t step, size_t pixels)
{
    InPlace<true>(row, step, pixels);
}

void YuvRowToRgbInPlace(uint8_t* row, size_t step, size_t pixels)
{
    InPlace<false>(row, step, pixels);
}

void RgbRowToYuv(const uint8_t* in, size_t inStep, uint8_t* out, size_t outStep, size_t pixels)
{
    Copy<true>(in, inStep, out, outStep, pixels);
}

void YuvRowToRgb(const uint8_t* in, size_t inStep, uint8_t* out, size_t outStep, size_t pixels)
{
    Copy<false>(in, inStep, out, outStep, pixels);
}

} // namespace colorcorrect::formats
