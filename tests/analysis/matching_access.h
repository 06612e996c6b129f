#pragma once
// Opens the viewer's matching helpers and the state they read to the tests,
// and builds coloured test pictures.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "analysis/analysis_access.h"

namespace colorcorrect::test {

class MatchingAccess : public CColorCorrectionViewer {
public:
    using CColorCorrectionViewer::CutMatchRegion;
    using CColorCorrectionViewer::PrepareMatchRect;

    using CColorCorrectionViewer::m_ccCurrent;
    using CColorCorrectionViewer::m_dibReference;
    using CColorCorrectionViewer::m_dibSource;
    using CColorCorrectionViewer::m_filter;
};

// Sets the pixel at column x of picture line `line` (from the top).
inline void SetYuv(CVoraDib& dib, int x, int line, int y, int u, int v)
{
    BYTE* p = PixelAtLine(dib, x, line);
    p[0] = static_cast<BYTE>(y);
    p[1] = static_cast<BYTE>(u + 128);
    p[2] = static_cast<BYTE>(v + 128);
}

// A default record of the right size.
inline tagCOLORCORRINFO DefaultRecord()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    return cc;
}

// The default record with only CC_PRIMARY active (what the matches reset to),
// keeping the clipping settings of `from`.
inline tagCOLORCORRINFO ResetRecord(const tagCOLORCORRINFO& from)
{
    tagCOLORCORRINFO cc = from;
    cc.ResetCC(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = CC_PRIMARY;
    return cc;
}

// Byte equality of two records, naming the first differing byte.
inline ::testing::AssertionResult SameRecord(const tagCOLORCORRINFO& expected,
                                             const tagCOLORCORRINFO& actual)
{
    const auto* e = reinterpret_cast<const unsigned char*>(&expected);
    const auto* a = reinterpret_cast<const unsigned char*>(&actual);
    for (size_t i = 0; i < sizeof(tagCOLORCORRINFO); ++i)
        if (e[i] != a[i])
            return ::testing::AssertionFailure() << "byte " << i << " is " << int{a[i]}
                                                 << ", expected " << int{e[i]};
    return ::testing::AssertionSuccess();
}

} // namespace colorcorrect::test
