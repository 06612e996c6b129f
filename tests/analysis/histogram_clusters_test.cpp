// Cluster (hill) analysis of value histograms.

#include <colorcorrect/colorcorrect.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// A 256-entry value histogram (index = value).
std::vector<uint32_t> Empty()
{
    return std::vector<uint32_t>(256, 0);
}

// Puts `mass` counts into coarse bin k (values 20 + 30k .. 49 + 30k), spread
// over its 30 values.
void FillCoarse(std::vector<uint32_t>& h, int k, uint32_t mass)
{
    for (uint32_t i = 0; i < mass; ++i)
        h[20 + 30 * k + i % 30] += 1;
}

TEST(FindHistogramClusters, OneHill)
{
    auto h = Empty();
    FillCoarse(h, 2, 300);
    FillCoarse(h, 3, 900);
    FillCoarse(h, 4, 300);
    int b[2] = {-1, -1};
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 1);
    EXPECT_EQ(b[0], -1) << "boundaries are written for two or three clusters only";
    EXPECT_EQ(b[1], -1);
}

TEST(FindHistogramClusters, TwoEqualHillsGetTheBoundaryHalfWay)
{
    auto h = Empty();
    FillCoarse(h, 1, 1000);
    FillCoarse(h, 5, 1000);
    int b[2] = {-1, -1};
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 2);
    // (5 * 1000 + 1 * 1000) / 2000 * 30 + 20
    EXPECT_EQ(b[0], 110);
    EXPECT_EQ(b[1], -1);
}

TEST(FindHistogramClusters, TheBoundarySitsNearerTheLighterHill)
{
    auto h = Empty();
    FillCoarse(h, 1, 3000);
    FillCoarse(h, 5, 1000);
    int b[2] = {-1, -1};
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 2);
    // (5 * 3000 + 1 * 1000) / 4000 = 4 coarse bins: 4 * 30 + 20
    EXPECT_EQ(b[0], 140);
}

TEST(FindHistogramClusters, ThreeHills)
{
    auto h = Empty();
    FillCoarse(h, 0, 1000);
    FillCoarse(h, 3, 1000);
    FillCoarse(h, 6, 1000);
    int b[2] = {-1, -1};
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 3);
    EXPECT_EQ(b[0], 65); // 1.5 * 30 + 20
    EXPECT_EQ(b[1], 155); // 4.5 * 30 + 20
}

TEST(FindHistogramClusters, SmallHillsBelowAFifthOfTheLargestDoNotCount)
{
    auto h = Empty();
    FillCoarse(h, 1, 1000);
    FillCoarse(h, 5, 199);
    int b[2] = {-1, -1};
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 1);
    FillCoarse(h, 5, 1); // exactly a fifth counts
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 2);
}

TEST(FindHistogramClusters, AHillCollapsesToItsCentreOfMass)
{
    // Coarse bins 2, 3, 4 rising then falling: one hill at bin 3.
    auto h = Empty();
    FillCoarse(h, 2, 500);
    FillCoarse(h, 3, 600);
    FillCoarse(h, 4, 100);
    auto list = colorcorrect::FindClusterList(h.data());
    ASSERT_EQ(list.nCount, 1);
    // (2 * 500 + 3 * 600 + 4 * 100) / 1200 = 2.67, rounded to bin 3
    EXPECT_EQ(list.dPosition[0], 3.0);
    EXPECT_EQ(list.dMass[0], 1200.0);
}

TEST(FindHistogramClusters, ADarkHistogramCountsSevenClusters)
{
    auto h = Empty();
    for (int v = 0; v < 20; ++v)
        h[v] = 1000;
    for (int v = 230; v < 256; ++v)
        h[v] = 1000;
    int b[2] = {-1, -1};
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 7);
    EXPECT_EQ(b[0], -1);
}

TEST(FindHistogramClusters, FewerThanFiveCountsGiveSeven)
{
    auto h = Empty();
    h[100] = 4;
    int b[2];
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 7);
    h[100] = 5;
    EXPECT_EQ(FindHistogramClusters(h.data(), b), 1);
}

TEST(MergeClusters, JoinsTheLightestNeighboursAtTheirMassCentre)
{
    colorcorrect::HistogramClusters c;
    c.nCount = 4;
    const double positions[4] = {0, 2, 4, 6};
    const double masses[4] = {100, 10, 30, 100};
    for (int i = 0; i < 4; ++i) {
        c.dPosition[i] = positions[i];
        c.dMass[i] = masses[i];
    }
    colorcorrect::MergeClusters(c, 3);
    ASSERT_EQ(c.nCount, 3);
    EXPECT_EQ(c.dPosition[0], 0.0);
    EXPECT_DOUBLE_EQ(c.dPosition[1], (2 * 10 + 4 * 30) / 40.0);
    EXPECT_EQ(c.dMass[1], 40.0);
    EXPECT_EQ(c.dPosition[2], 6.0);
    EXPECT_EQ(c.dMass[2], 100.0);

    colorcorrect::MergeClusters(c, 2);
    ASSERT_EQ(c.nCount, 2);
    // 40 + 100 on either side: the first pair joins.
    EXPECT_EQ(c.dMass[0], 140.0);
    EXPECT_EQ(c.dMass[1], 100.0);

    int b[2] = {-1, -1};
    colorcorrect::ClusterBoundaries(c, b);
    EXPECT_GE(b[0], colorcorrect::HISTOGRAM_WORK_FIRST);
    EXPECT_LE(b[0], colorcorrect::HISTOGRAM_WORK_LAST);
    EXPECT_EQ(b[1], -1);
}

TEST(MergeClusters, NothingToDoWithFewerClusters)
{
    colorcorrect::HistogramClusters c;
    c.nCount = 2;
    c.dPosition[0] = 1;
    c.dPosition[1] = 5;
    c.dMass[0] = c.dMass[1] = 7;
    colorcorrect::MergeClusters(c, 3);
    EXPECT_EQ(c.nCount, 2);
    EXPECT_EQ(c.dPosition[1], 5.0);
}

} // namespace
