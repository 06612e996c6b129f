#include "support/fuzz_pick.h"

#include <colorcorrect/colorcorrect.h>

#include <climits>
#include <iterator>

namespace colorcorrect::fuzz {

namespace {

constexpr int kEdgeSizes[] = {
    0, -1, -2, INT_MIN, INT_MAX, INT_MAX / 3, INT_MAX / 4, 1 << 14, 1 << 15, 1 << 16,
    1 << 18, 1 << 20, 1 << 28, 1 << 29, 1 << 30, -(1 << 16), 16385, 89478486, 268435456,
};

template <size_t N>
int PickEdge(FuzzedDataProvider& in, const int (&edges)[N])
{
    return edges[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

} // namespace

int PickDimension(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return PickEdge(in, kEdgeSizes);
    case 1:
        return in.ConsumeIntegral<int>();
    default:
        return in.ConsumeIntegralInRange(0, 40);
    }
}

int PickBits(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return in.ConsumeIntegral<int>();
    case 1: {
        constexpr int odd[] = {0, 1, 8, 16, 23, 25, 31, 33, 48, 64, -24, -32, 24 + 65536};
        return PickEdge(in, odd);
    }
    default:
        return in.ConsumeBool() ? 24 : 32;
    }
}

int PickCoordinate(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0:
        return PickEdge(in, kEdgeSizes);
    case 1:
        return in.ConsumeIntegral<int>();
    default:
        return in.ConsumeIntegralInRange(-8, 56);
    }
}

unsigned long PickFlags(FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return in.ConsumeIntegral<unsigned long>();
    case 1:
        return YUVBM_PREMULTIPLIED;
    default:
        return 0;
    }
}

bool TooLargeToTry(int w, int h, int bits)
{
    if (w <= 0 || h <= 0 || (bits != 24 && bits != 32))
        return false;
    // RowStride's 32-bit result wraps for the widest pictures: count in 64 bits.
    const uint64_t stride = bits == 24 ? (uint64_t(w) * 3 + 3) & ~uint64_t{3} : uint64_t(w) * 4;
    const uint64_t limit = MAX_PICTURE_BYTES;
    if (stride > limit || static_cast<uint64_t>(h) > limit / stride)
        return false; // refused by the library
    const uint64_t bytes = PICTURE_PIXEL_OFFSET + stride * static_cast<uint64_t>(h);
    return bytes <= limit && bytes > kMaxPictureBytes;
}

} // namespace colorcorrect::fuzz
