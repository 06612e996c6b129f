// Hue rotation that carries the hues of a source region onto those of a
// reference region.

#include <cstdint>

#include "../engine/angles.h"
#include "../viewer/color_correction_viewer.h"
#include "fft_transform.h"
#include "histogram_correlation.h"
#include "region_pixels.h"

namespace {

constexpr int kHueBins = 512;
// Pixels this close to grey have no reliable hue: radius 10, squared.
constexpr int kMinimumChroma2 = 100;
constexpr int kHueSmoothing = 7;

void CountHues(const CVoraDib& dib, uint32_t* hist)
{
    colorcorrect::ForEachYuvPixel(dib, [hist](int, int u, int v) {
        if (u * u + v * v <= kMinimumChroma2)
            return;
        const double bin = ChromaAngle(u, v) * kHueBins / colorcorrect::g_TwoPi + 0.5;
        hist[static_cast<int>(bin) & (kHueBins - 1)] += 1;
    });
}

} // namespace

int CColorCorrectionViewer::HueMatch(tagCOLORCORRINFO& cc, tagRECT* prcReference,
                                     tagRECT* prcSource)
{
    // Everything that can fail (no memory) comes before cc is written.
    try {
        CVoraDib reference, source;
        if (!CutMatchRegions(cc, prcReference, prcSource, reference, source))
            return 0;

        uint32_t referenceHues[kHueBins] = {};
        uint32_t sourceHues[kHueBins] = {};
        CountHues(reference, referenceHues);
        CountHues(source, sourceHues);
        SmoothCircular(referenceHues, kHueBins, kHueSmoothing);
        SmoothCircular(sourceHues, kHueBins, kHueSmoothing);

        CFFTransform fft;
        if (!fft.Init(kHueBins))
            return 0;
        // The source is the first histogram: the lag says how far the source's
        // hues lie ahead of the reference's, in the record's hue unit.
        const int index =
            CorrelateHistograms(fft, sourceHues, referenceHues, 0, kHueBins, 0, kHueBins);
        fft.Release();
        ResetForMatch(cc);
        cc.Base.sHue = static_cast<int16_t>(colorcorrect::SignedLag(index, kHueBins));
        return 1;
    } catch (...) {
        return 0;
    }
}
