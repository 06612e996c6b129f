// Red, green and blue curves that carry the value histograms of a source
// region onto those of a reference region.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "../engine/angles.h"
#include "../viewer/color_correction_viewer.h"
#include "channel_curve_fit.h"
#include "channel_histogram_match.h"
#include "fft_transform.h"
#include "region_pixels.h"

namespace {

// Entries of a value histogram; entry i counts the value i - kValueOffset.
constexpr int kValueEntries = 1024;
constexpr int kValueOffset = 512;

struct ChannelHistograms {
    uint32_t red[kValueEntries] = {};
    uint32_t green[kValueEntries] = {};
    uint32_t blue[kValueEntries] = {};

    void Add(int y, int u, int v)
    {
        Count(red, colorcorrect::RedValue(y, u, v));
        Count(green, colorcorrect::GreenValue(y, u, v));
        Count(blue, colorcorrect::BlueValue(y, u, v));
    }

    static void Count(uint32_t* hist, int value)
    {
        hist[std::clamp(value + kValueOffset, 0, kValueEntries - 1)] += 1;
    }
};

// round(x) limited to -127..127, through a positive bias so that the
// truncation rounds to nearest.
int RoundChroma(double x)
{
    const double biased = std::clamp(x + 512.5, 512.0 - 127.0, 512.0 + 127.0);
    return static_cast<int>(biased) - 512;
}

} // namespace

int CColorCorrectionViewer::HistoMatch(tagCOLORCORRINFO& cc, tagRECT* prcReference,
                                       tagRECT* prcSource)
{
    // Everything that can fail (no memory) comes before cc is written.
    try {
        CVoraDib reference, source;
        if (!CutMatchRegions(cc, prcReference, prcSource, reference, source))
            return 0;

        ChannelHistograms referenceHist, sourceHist;
        colorcorrect::ForEachYuvPixel(
            reference, [&referenceHist](int y, int u, int v) { referenceHist.Add(y, u, v); });

        // The source is compared as the current hue rotation shows it.
        const int hue = m_ccCurrent.Base.sHue;
        if (hue != 0) {
            const double theta = hue * colorcorrect::g_Pi / 256.0;
            const double c = std::cos(theta), s = std::sin(theta);
            colorcorrect::ForEachYuvPixel(source, [&](int y, int u, int v) {
                sourceHist.Add(y, RoundChroma(u * c + v * s), RoundChroma(v * c - u * s));
            });
        } else {
            colorcorrect::ForEachYuvPixel(
                source, [&sourceHist](int y, int u, int v) { sourceHist.Add(y, u, v); });
        }

        CFFTransform fft;
        if (!fft.Init(512))
            return 0;
        // The record's fields are packed: match into locals, then store.
        const uint32_t* refs[3] = {referenceHist.red, referenceHist.green, referenceHist.blue};
        const uint32_t* srcs[3] = {sourceHist.red, sourceHist.green, sourceHist.blue};
        int16_t black[3], gamma[3], white[3];
        for (int ch = 0; ch < 3; ++ch)
            MatchChannelHistogram(fft, refs[ch] + kValueOffset, srcs[ch] + kValueOffset, black[ch],
                                  gamma[ch], white[ch]);
        fft.Release();
        ResetForMatch(cc);
        // The result applies on top of the same rotation.
        cc.Base.sHue = static_cast<int16_t>(hue);
        cc.Base.sRBlack = black[0];
        cc.Base.sRGamma = gamma[0];
        cc.Base.sRWhite = white[0];
        cc.Base.sGBlack = black[1];
        cc.Base.sGGamma = gamma[1];
        cc.Base.sGWhite = white[1];
        cc.Base.sBBlack = black[2];
        cc.Base.sBGamma = gamma[2];
        cc.Base.sBWhite = white[2];
        return 1;
    } catch (...) {
        return 0;
    }
}
