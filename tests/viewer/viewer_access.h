#pragma once
// Opens the viewer's protected helpers and state to the tests; builds and compares pictures.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <initializer_list>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"

namespace colorcorrect::test {

class ViewerAccess : public CColorCorrectionViewer {
public:
    using CColorCorrectionViewer::AddSplit, CColorCorrectionViewer::GetSatAdjust;
    using CColorCorrectionViewer::m_dibSource, CColorCorrectionViewer::m_dibSourceQuart;
    using CColorCorrectionViewer::m_dibReference, CColorCorrectionViewer::m_dibReferenceQuart;
    using CColorCorrectionViewer::m_dibReferenceInlay, CColorCorrectionViewer::m_evPreview;
    using CColorCorrectionViewer::m_nStartX, CColorCorrectionViewer::m_nStartY, CColorCorrectionViewer::m_pThread;
    using CColorCorrectionViewer::m_ccCurrent;
};

// The header of a picture that has one; its fields are packed: compare them by value (unary +).
inline const tagYUVBMINFOHEADER& Info(const CVoraDib& d) { return static_cast<const tagDIBINFO*>(d)->bmiHeader; }
inline tagYUVBMINFOHEADER& Info(CVoraDib& d) { return static_cast<tagDIBINFO*>(d)->bmiHeader; }

// A packed YUV picture (RGB with `rgb`) with every pixel `bytes`.
inline CVoraDib Uniform(int width, int height, int bits, std::initializer_list<int> bytes,
                        unsigned long flags = 0, bool rgb = false)
{
    CVoraDib dib;
    EXPECT_EQ(rgb ? dib.Alloc(width, height, bits, flags) : dib.AllocYUV(width, height, bits, flags), 1);
    FillUniform(dib, bytes);
    return dib;
}

// A packed YUV picture with a pseudo-random pattern.
inline CVoraDib Pattern(int width, int height, unsigned seed)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(width, height, 24, 0), 1);
    FillPattern(dib, seed);
    return dib;
}

// `actual` holds, in bytes 0..2, the w x h area of `ref` at (refX, refRow) in
// its own area at (x0, row0), and `before` everywhere else.
inline ::testing::AssertionResult SplitInto(const CVoraDib& before, const CVoraDib& ref, int refX, int refRow,
                                            const CVoraDib& actual, int x0, int row0, int w, int h)
{
    for (int row = 0; row < actual.GetHeight(); ++row)
        for (int x = 0; x < actual.GetWidth(); ++x) {
            const bool inside = x >= x0 && x < x0 + w && row >= row0 && row < row0 + h;
            const auto e = inside ? PixelAt(ref, refX + x - x0, refRow + row - row0) : PixelAt(before, x, row);
            const auto a = PixelAt(actual, x, row);
            if (e.size() < 3 || a.size() < 3 || e[0] != a[0] || e[1] != a[1] || e[2] != a[2])
                return ::testing::AssertionFailure() << "pixel at x " << x << ", memory row " << row
                                                     << (inside ? " (split)" : "") << " is " << BytesText(a)
                                                     << ", expected " << BytesText(e);
        }
    return ::testing::AssertionSuccess();
}

} // namespace colorcorrect::test
