#include "support/picture_pattern.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace colorcorrect::test {

namespace {

BYTE* PixelPointer(CVoraDib& dib, int x, int row)
{
    BYTE* pixels = dib;
    if (pixels == nullptr || x < 0 || row < 0 || x >= dib.GetWidth() || row >= dib.GetHeight())
        return nullptr;
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    return pixels + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * step;
}

} // namespace

void FillPattern(CVoraDib& dib, unsigned seed)
{
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    uint32_t state = 2463534242u ^ (seed * 2654435761u);
    for (int row = 0; row < dib.GetHeight(); ++row)
        for (int x = 0; x < dib.GetWidth(); ++x) {
            BYTE* p = PixelPointer(dib, x, row);
            for (unsigned c = 0; c < step; ++c) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                p[c] = static_cast<BYTE>(state >> 11);
            }
        }
}

void FillFewColours(CVoraDib& dib, size_t count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::array<int, 3>> colours = {{0, 0, 0}, {255, 255, 255}};
    std::uniform_int_distribution<int> byte(0, 255);
    while (colours.size() < count) {
        const std::array<int, 3> c = {byte(rng), byte(rng), byte(rng)};
        if (std::find(colours.begin(), colours.end(), c) == colours.end())
            colours.push_back(c);
    }
    colours.resize(count);
    const int width = dib.GetWidth();
    std::vector<size_t> order(static_cast<size_t>(width) * static_cast<size_t>(dib.GetHeight()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i < count ? i : std::uniform_int_distribution<size_t>(0, count - 1)(rng);
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t i = 0; i < order.size(); ++i) {
        const auto& c = colours[order[i]];
        SetPixel(dib, static_cast<int>(i % static_cast<size_t>(width)), static_cast<int>(i / static_cast<size_t>(width)),
                 {c[0], c[1], c[2]});
    }
}

void FillUniform(CVoraDib& dib, std::initializer_list<int> bytes)
{
    for (int row = 0; row < dib.GetHeight(); ++row)
        for (int x = 0; x < dib.GetWidth(); ++x)
            SetPixel(dib, x, row, bytes);
}

void SetPixel(CVoraDib& dib, int x, int row, std::initializer_list<int> bytes)
{
    BYTE* p = PixelPointer(dib, x, row);
    if (p == nullptr)
        return;
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    unsigned c = 0;
    for (int b : bytes)
        if (c < step)
            p[c++] = static_cast<BYTE>(b);
}

} // namespace colorcorrect::test
