#pragma once
// Cluster (hill) analysis of channel value histograms.
//
// A value histogram here is addressed from the entry of value 0: hist[v]
// counts the pixels of channel value v. Only the working range
// HISTOGRAM_WORK_FIRST..HISTOGRAM_WORK_LAST takes part, split into seven
// coarse bins of 30 values each.

#include <cstdint>

namespace colorcorrect {

// The working range of channel values, both ends included.
inline constexpr int HISTOGRAM_WORK_FIRST = 20;
inline constexpr int HISTOGRAM_WORK_LAST = 229;
// Values per coarse bin and number of coarse bins.
inline constexpr int HISTOGRAM_COARSE_WIDTH = 30;
inline constexpr int HISTOGRAM_COARSE_BINS = 7;

// The clusters of a histogram: count 0..7, each with its position in coarse
// bins (0..6, fractional after merging) and its mass in pixels, in ascending
// order of position.
struct HistogramClusters {
    int nCount = 0;
    double dPosition[HISTOGRAM_COARSE_BINS] = {};
    double dMass[HISTOGRAM_COARSE_BINS] = {};
};

// Finds the clusters of hist (see FindHistogramClusters). Reads
// hist[20..229].
HistogramClusters FindClusterList(const uint32_t* hist);

// Joins neighbouring clusters until `count` (1 or more) are left, always the
// neighbouring pair with the smallest joint mass (the first such pair on
// ties); the joined cluster sits at the mass-weighted mean position. Does
// nothing when there are no more than `count`.
void MergeClusters(HistogramClusters& clusters, int count);

// The channel values separating the clusters, for two or three clusters:
// boundary i = trunc((L(i+1) * m(i) + L(i) * m(i+1)) / (m(i) + m(i+1)) * 30 + 20),
// each position weighted by the other cluster's mass, so a boundary sits
// nearer the lighter cluster. Always within the working range. Writes
// boundaries[0] (and boundaries[1] for three); other counts write nothing.
void ClusterBoundaries(const HistogramClusters& clusters, int boundaries[2]);

} // namespace colorcorrect

// Number of clusters (0..7) of the value histogram hist (hist[v] counts value
// v; hist[20..229] is read). For two or three clusters, boundaries[0] (and
// boundaries[1]) receive the values that separate them; otherwise the
// boundaries are not written. A histogram with fewer than 5 counts in the
// working range gives 7 (every coarse bin counts as a cluster).
int FindHistogramClusters(const uint32_t* hist, int boundaries[2]);
