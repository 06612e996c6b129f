// Frames corrected in row bands on several threads: the same bytes as one
// thread, every row exactly once, one frame at a time per pool.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "filter_access.h"
#include "support/random_record.h"
#include "support/timing_line.h"
#include "support/yuv_picture.h"

using colorcorrect::BandProcessor;
using colorcorrect::test::DefaultRecord;
using colorcorrect::test::FillRandom;
using colorcorrect::test::MakeYuvPicture;
using colorcorrect::test::MatchVector;
using colorcorrect::test::RandomRecord;
using colorcorrect::test::SameBytes;
using colorcorrect::test::YuvPicture;

namespace {

tagCOLORCORRINFO EveryStage()
{
    tagCOLORCORRINFO cc = DefaultRecord(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING);
    cc.Base.sYGamma = 35;
    cc.Base.sSat = 45;
    cc.Base.sRBlack = 9;
    cc.Base.wRangeFlags = RANGE_LEGAL;
    cc.Base.bySoftY = 70;
    cc.Vector6.sHue[2] = 40;
    cc.Vector6.sGamma[5] = -30;
    cc.Match.dwCount = 3;
    cc.Match.Vector[1] = MatchVector(35, -45, 40, 30, 90, 90);
    cc.Match.Vector[1].sSat = 70;
    cc.Match.Vector[2] = MatchVector(-50, 20, 30, 35, 60, 120);
    cc.Match.Vector[2].sHue = -40;
    return cc;
}

} // namespace

TEST(BandProcessorThreads, SameBytesAsOneThreadForEveryShape)
{
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage()));
    std::mt19937 rng(3);
    for (unsigned threads : {1u, 2u, 3u, 5u}) {
        BandProcessor pool(threads);
        EXPECT_EQ(pool.Threads(), threads);
        for (int bits : {24, 32})
            for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{33, 64},
                                       std::pair{130, 257}, std::pair{19, -45}}) {
                YuvPicture in = MakeYuvPicture(w, h, bits);
                FillRandom(in, rng);
                YuvPicture expected = in, actual = in;
                ASSERT_TRUE(filter.Process(&in.header, in.pixels.data(), expected.pixels.data()));
                ASSERT_TRUE(pool.Process(filter, &in.header, in.pixels.data(), actual.pixels.data()));
                EXPECT_TRUE(SameBytes(expected, actual))
                    << threads << " threads, " << w << " x " << h << ", " << bits << " bits";
                YuvPicture inPlace = in;
                ASSERT_TRUE(pool.Process(filter, &inPlace.header, inPlace.pixels.data(),
                                         inPlace.pixels.data()));
                EXPECT_TRUE(SameBytes(expected, inPlace)) << "in place, " << threads << " threads";
            }
    }
}

TEST(BandProcessorThreads, ManyFramesThroughOnePool)
{
    BandProcessor pool(3);
    CBaseColorCorrectionFilter filter;
    std::mt19937 rng(8);
    for (int frame = 0; frame < 60; ++frame) {
        if (frame % 10 == 0) {
            ASSERT_TRUE(filter.SetupFilter(RandomRecord(rng)));
        }
        YuvPicture in = MakeYuvPicture(40 + frame, 50, frame % 2 ? 24 : 32,
                                       frame % 3 ? 0 : colorcorrect::YUVBM_PREMULTIPLIED);
        FillRandom(in, rng);
        YuvPicture expected = in, actual = in;
        ASSERT_TRUE(filter.ProcessReference(&in.header, in.pixels.data(), expected.pixels.data()));
        ASSERT_TRUE(pool.Process(filter, &in.header, in.pixels.data(), actual.pixels.data()));
        ASSERT_TRUE(SameBytes(expected, actual)) << "frame " << frame;
    }
}

TEST(BandProcessorThreads, EveryRowExactlyOnce)
{
    for (unsigned threads : {1u, 2u, 4u}) {
        BandProcessor pool(threads);
        for (size_t rows : {size_t{0}, size_t{1}, size_t{9}, size_t{100}, size_t{2161}})
            for (size_t minBand : {size_t{1}, size_t{8}, size_t{5000}}) {
                std::vector<std::atomic<int>> seen(rows);
                std::atomic<int> calls{0};
                pool.ForEachBand(rows, minBand, [&](size_t first, size_t count) {
                    ++calls;
                    EXPECT_GE(count, 1u);
                    for (size_t r = first; r < first + count && r < rows; ++r)
                        ++seen[r];
                });
                for (size_t r = 0; r < rows; ++r)
                    ASSERT_EQ(seen[r].load(), 1) << "row " << r << " of " << rows;
                if (rows == 0) {
                    EXPECT_EQ(calls.load(), 0);
                } else if (minBand >= rows) {
                    EXPECT_EQ(calls.load(), 1);
                }
            }
    }
}

TEST(BandProcessorThreads, WorkersTakePartInAFrame)
{
    // With as many bands as threads and a job that waits until every
    // thread has joined, the frame can only finish when all took a band.
    constexpr unsigned kThreads = 3;
    BandProcessor pool(kThreads);
    std::mutex lock;
    std::condition_variable all;
    std::vector<std::thread::id> ids;
    pool.ForEachBand(kThreads, 1, [&](size_t, size_t) {
        std::unique_lock<std::mutex> guard(lock);
        ids.push_back(std::this_thread::get_id());
        all.notify_all();
        // Generous: only a broken pool would wait this long.
        all.wait_for(guard, std::chrono::seconds(30), [&] { return ids.size() >= kThreads; });
    });
    ASSERT_EQ(ids.size(), kThreads);
    EXPECT_NE(ids[0], ids[1]);
    EXPECT_NE(ids[1], ids[2]);
    EXPECT_NE(ids[0], ids[2]);
}

TEST(BandProcessorThreads, CallersOnSeveralThreadsAreServedInTurn)
{
    BandProcessor pool(2);
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage()));
    std::mt19937 rng(12);
    YuvPicture in = MakeYuvPicture(64, 90, 32);
    FillRandom(in, rng);
    YuvPicture expected = in;
    ASSERT_TRUE(filter.Process(&in.header, in.pixels.data(), expected.pixels.data()));

    constexpr int kCallers = 3;
    std::vector<YuvPicture> outs(kCallers, in);
    std::vector<int> ok(kCallers, 1);
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c)
        callers.emplace_back([&, c] {
            YuvPicture source = in;
            for (int round = 0; round < 10; ++round)
                ok[c] &= pool.Process(filter, &source.header, source.pixels.data(),
                                      outs[c].pixels.data());
        });
    for (std::thread& t : callers)
        t.join();
    for (int c = 0; c < kCallers; ++c) {
        EXPECT_TRUE(ok[c]) << "caller " << c;
        EXPECT_TRUE(SameBytes(expected, outs[c])) << "caller " << c;
    }
}

TEST(BandProcessorThreads, RefusedPicturesWriteNothing)
{
    BandProcessor pool(2);
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage()));
    YuvPicture in = MakeYuvPicture(16, 40, 24, 0, 7);
    YuvPicture out = MakeYuvPicture(16, 40, 24, 0, 9);
    in.header.biCompression = 0;
    EXPECT_FALSE(pool.Process(filter, &in.header, in.pixels.data(), out.pixels.data()));
    EXPECT_EQ(out.pixels, MakeYuvPicture(16, 40, 24, 0, 9).pixels);
    EXPECT_FALSE(pool.Process(filter, nullptr, in.pixels.data(), out.pixels.data()));
}

TEST(BandProcessorThreads, OneTimingLinePerFrame)
{
    setenv("COLORCORRECT_DEBUG", "1", 1);
    BandProcessor pool(3);
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage().Base));
    YuvPicture in = MakeYuvPicture(32, 200, 24);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(pool.Process(filter, &in.header, in.pixels.data(), in.pixels.data()));
    const std::string text = testing::internal::GetCapturedStderr();
    unsetenv("COLORCORRECT_DEBUG");
    EXPECT_TRUE(colorcorrect::test::IsTimingLine(text, "\rFull processing time ", "ms\r\n"));
}

TEST(BandProcessorThreads, DefaultUsesEveryCore)
{
    BandProcessor pool;
    EXPECT_EQ(pool.Threads(), std::max(1u, std::thread::hardware_concurrency()));
}
