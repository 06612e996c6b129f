#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

#include "filter_access.h"
#include "support/yuv_picture.h"

using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FillRandom;
using colorcorrect::test::MakeYuvPicture;
using colorcorrect::test::MatchVector;
using colorcorrect::test::SameBytes;
using colorcorrect::test::YuvPicture;

// Process only reads the filter: several threads may correct pictures with
// one set-up filter at once and get the bytes a single thread gets.
TEST(ProcessThreads, ConcurrentCallsOnOneFilterGiveTheSameBytes)
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING);
    cc.Base.sYGamma = 30;
    cc.Base.sSat = 40;
    cc.Vector6.sHue[3] = -60;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1] = MatchVector(30, -60, 40, 30, 90, 90);
    cc.Match.Vector[1].sSat = 80;
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(cc));

    std::mt19937 rng(7);
    YuvPicture in = MakeYuvPicture(61, 47, 32);
    FillRandom(in, rng);
    YuvPicture expected = in;
    ASSERT_TRUE(filter.Process(&in.header, in.pixels.data(), expected.pixels.data()));

    constexpr int kThreads = 4;
    std::vector<YuvPicture> inputs(kThreads, in);
    std::vector<YuvPicture> outputs(kThreads, in);
    std::vector<int> results(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5 && (round == 0 || results[t]); ++round)
                results[t] = filter.Process(&inputs[t].header, inputs[t].pixels.data(),
                                            outputs[t].pixels.data());
        });
    for (std::thread& t : threads)
        t.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_TRUE(results[t]) << "thread " << t;
        EXPECT_TRUE(SameBytes(expected, outputs[t])) << "thread " << t;
    }
}
