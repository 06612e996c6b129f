#include "support/picture_compare.h"

#include <algorithm>
#include <sstream>

namespace colorcorrect::test {

std::string BytesText(const std::vector<int>& bytes)
{
    std::ostringstream s;
    s << '(';
    for (size_t i = 0; i < bytes.size(); ++i)
        s << (i ? ", " : "") << bytes[i];
    s << ')';
    return s.str();
}

std::vector<int> PixelAt(const CVoraDib& dib, int x, int row)
{
    const BYTE* pixels = dib;
    if (pixels == nullptr || x < 0 || row < 0 || x >= dib.GetWidth() || row >= dib.GetHeight())
        return {};
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    const BYTE* p = pixels + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * step;
    return std::vector<int>(p, p + step);
}

::testing::AssertionResult PixelIs(const CVoraDib& dib, int x, int row,
                                   std::initializer_list<int> bytes)
{
    const std::vector<int> actual = PixelAt(dib, x, row);
    const std::vector<int> expected(bytes);
    if (actual.size() < expected.size())
        return ::testing::AssertionFailure()
               << "no pixel with " << expected.size() << " bytes at x " << x << ", memory row "
               << row << " (picture " << dib.GetWidth() << " x " << dib.GetHeight() << ")";
    if (std::equal(expected.begin(), expected.end(), actual.begin()))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel at x " << x << ", memory row " << row << ": expected "
           << BytesText(expected) << ", actual " << BytesText(actual);
}

::testing::AssertionResult PicturesEqual(const CVoraDib& expected, const CVoraDib& actual)
{
    const tagDIBINFO* e = expected;
    const tagDIBINFO* a = actual;
    if (e == nullptr || a == nullptr) {
        if (e == a)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << (e == nullptr ? "expected an empty picture, actual is not empty"
                                : "expected a picture, actual is empty");
    }
    const auto describe = [](const tagDIBINFO* h) {
        std::ostringstream s;
        s << h->bmiHeader.biWidth << " x " << h->bmiHeader.biHeight << " at "
          << h->bmiHeader.biBitCount << " bits, compression 0x" << std::hex
          << h->bmiHeader.biCompression;
        return s.str();
    };
    if (e->bmiHeader.biWidth != a->bmiHeader.biWidth ||
        e->bmiHeader.biHeight != a->bmiHeader.biHeight ||
        e->bmiHeader.biBitCount != a->bmiHeader.biBitCount ||
        e->bmiHeader.biCompression != a->bmiHeader.biCompression)
        return ::testing::AssertionFailure()
               << "format differs: expected " << describe(e) << ", actual " << describe(a);
    const int w = expected.GetWidth(), h = expected.GetHeight();
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            const std::vector<int> pe = PixelAt(expected, x, row);
            const std::vector<int> pa = PixelAt(actual, x, row);
            if (pe != pa)
                return ::testing::AssertionFailure()
                       << "first differing pixel at x " << x << ", memory row " << row
                       << " (row " << h - 1 - row << " from the top): expected "
                       << BytesText(pe) << ", actual " << BytesText(pa);
        }
    return ::testing::AssertionSuccess();
}

} // namespace colorcorrect::test
