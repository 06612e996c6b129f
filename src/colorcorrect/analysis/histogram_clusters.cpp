#include "histogram_clusters.h"

#include <algorithm>

namespace colorcorrect {

HistogramClusters FindClusterList(const uint32_t* hist)
{
    constexpr int bins = HISTOGRAM_COARSE_BINS;
    uint64_t c[bins] = {};
    for (int k = 0; k < bins; ++k)
        for (int v = 0; v < HISTOGRAM_COARSE_WIDTH; ++v)
            c[k] += hist[HISTOGRAM_WORK_FIRST + HISTOGRAM_COARSE_WIDTH * k + v];

    // Direction of each bin: 0 at a strict local maximum, -1 falling, +1 rising.
    int d[bins];
    d[0] = c[1] < c[0] ? -1 : 1;
    d[bins - 1] = c[bins - 2] < c[bins - 1] ? 1 : -1;
    for (int k = 1; k < bins - 1; ++k) {
        if (c[k] > c[k - 1] && c[k] > c[k + 1])
            d[k] = 0;
        else
            d[k] = c[k + 1] < c[k - 1] ? -1 : 1;
    }

    // Each hill (a rising run followed by a falling run) collapses into one
    // bin at its centre of mass.
    uint64_t mass[bins] = {};
    int k = 0;
    while (k < bins) {
        const int start = k;
        while (k < bins && d[k] >= 0)
            ++k;
        while (k < bins && d[k] < 0)
            ++k;
        uint64_t m = 0;
        double moment = 0.0;
        for (int i = start; i < k; ++i) {
            m += c[i];
            moment += static_cast<double>(c[i]) * i;
        }
        if (m > 0) {
            const int centre = static_cast<int>(moment / static_cast<double>(m) + 0.5);
            mass[std::clamp(centre, start, k - 1)] = m;
        }
    }

    uint64_t largest = 0;
    for (int i = 0; i < bins; ++i)
        largest = std::max(largest, mass[i]);
    const uint64_t threshold = largest / 5;

    HistogramClusters result;
    for (int i = 0; i < bins; ++i)
        if (mass[i] >= threshold) {
            result.dPosition[result.nCount] = i;
            result.dMass[result.nCount] = static_cast<double>(mass[i]);
            ++result.nCount;
        }
    return result;
}

void MergeClusters(HistogramClusters& clusters, int count)
{
    count = std::max(count, 1);
    while (clusters.nCount > count) {
        int pair = 0;
        double lightest = clusters.dMass[0] + clusters.dMass[1];
        for (int i = 1; i + 1 < clusters.nCount; ++i) {
            const double joint = clusters.dMass[i] + clusters.dMass[i + 1];
            if (joint < lightest) {
                lightest = joint;
                pair = i;
            }
        }
        const double m0 = clusters.dMass[pair], m1 = clusters.dMass[pair + 1];
        double position = (clusters.dPosition[pair] + clusters.dPosition[pair + 1]) / 2;
        if (m0 + m1 > 0)
            position = (clusters.dPosition[pair] * m0 + clusters.dPosition[pair + 1] * m1) /
                       (m0 + m1);
        clusters.dPosition[pair] = position;
        clusters.dMass[pair] = m0 + m1;
        for (int i = pair + 1; i + 1 < clusters.nCount; ++i) {
            clusters.dPosition[i] = clusters.dPosition[i + 1];
            clusters.dMass[i] = clusters.dMass[i + 1];
        }
        --clusters.nCount;
    }
}

void ClusterBoundaries(const HistogramClusters& clusters, int boundaries[2])
{
    if (clusters.nCount != 2 && clusters.nCount != 3)
        return;
    for (int i = 0; i + 1 < clusters.nCount; ++i) {
        const double l0 = clusters.dPosition[i], l1 = clusters.dPosition[i + 1];
        const double m0 = clusters.dMass[i], m1 = clusters.dMass[i + 1];
        const double between = m0 + m1 > 0 ? (l1 * m0 + l0 * m1) / (m0 + m1) : (l0 + l1) / 2;
        const double value = between * HISTOGRAM_COARSE_WIDTH + HISTOGRAM_WORK_FIRST;
        boundaries[i] = static_cast<int>(
            std::clamp(value, double{HISTOGRAM_WORK_FIRST}, double{HISTOGRAM_WORK_LAST}));
    }
}

} // namespace colorcorrect

int FindHistogramClusters(const uint32_t* hist, int boundaries[2])
{
    const colorcorrect::HistogramClusters clusters = colorcorrect::FindClusterList(hist);
    colorcorrect::ClusterBoundaries(clusters, boundaries);
    return clusters.nCount;
}
