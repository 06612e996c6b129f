// Pictures corrected on several threads at once: in row bands of one frame
// through the band processor, and by concurrent Process calls on one
// set-up filter. Same bytes as one thread, every row exactly once.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "filter_access.h"
#include "support/random_record.h"

using colorcorrect::BandProcessor;
using namespace colorcorrect::test;

TEST(BandProcessorThreads, SameBytesAsOneThreadForEveryShape)
{
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage(0xF)));
    std::mt19937 rng(3);
    for (unsigned threads : {1u, 2u, 3u, 5u}) {
        BandProcessor pool(threads);
        EXPECT_EQ(pool.Threads(), threads);
        for (int bits : {24, 32})
            for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{33, 64},
                                       std::pair{130, 257}, std::pair{19, -45}}) {
                YuvPicture in = MakeYuvPicture(w, h, bits);
                FillRandom(in, rng);
                YuvPicture expected = in, actual = in, inPlace = in;
                ASSERT_TRUE(filter.Process(&in.header, in.pixels.data(), expected.pixels.data()));
                ASSERT_TRUE(pool.Process(filter, &in.header, in.pixels.data(), actual.pixels.data()));
                EXPECT_TRUE(SameBytes(expected, actual)) << threads << " threads, " << w << " x " << h;
                ASSERT_TRUE(pool.Process(filter, &inPlace.header, inPlace.pixels.data(),
                                         inPlace.pixels.data()));
                EXPECT_TRUE(SameBytes(expected, inPlace)) << "in place, " << threads << " threads";
            }
    }
    EXPECT_EQ(BandProcessor().Threads(), std::max(1u, std::thread::hardware_concurrency()));
}

// A set-up whose per-pair work is shared out over several threads builds the
// tables one thread builds: the match index entry by entry, for every
// isolate display, and the pair tables through a picture of every chroma
// pair, over a run of changed records.
TEST(BandProcessorThreads, SetUpInBandsBuildsTheSameTables)
{
    std::mt19937 rng(11);
    BandProcessor pool(3);
    FilterAccess banded, plain;
    banded.SetSetupBands(&pool);
    YuvPicture pairs = MakeYuvPicture(256, 256, 24);
    FillRandom(pairs, rng);
    for (int v = 0; v < 256; ++v)
        for (int u = 0; u < 256; ++u) {
            pairs.Pixel(u, v)[1] = static_cast<BYTE>(u);
            pairs.Pixel(u, v)[2] = static_cast<BYTE>(v);
        }
    tagCOLORCORRINFO cc = RandomRecord(rng);
    for (int change = 0; change < 24; ++change) {
        MutateRecord(cc, rng, 0.5);
        if (change % 3 != 0) // mostly with match vectors, whose index is the larger part
            cc.dwFlags |= CC_MATCH_VECTOR;
        const uint32_t vector = rng() % 4, type = change % 8;
        banded.SetIsolate(vector, type);
        plain.SetIsolate(vector, type);
        ASSERT_EQ(banded.SetupFilter(cc), plain.SetupFilter(cc));
        EXPECT_STREQ(banded.ProcessPathName(), plain.ProcessPathName());
        ASSERT_EQ(banded.m_pMatchIndex == nullptr, plain.m_pMatchIndex == nullptr);
        if (plain.m_pMatchIndex != nullptr) {
            EXPECT_EQ(std::memcmp(banded.m_pMatchIndex, plain.m_pMatchIndex, colorcorrect::kSegmentIndexBytes), 0)
                << "change " << change;
        }
        YuvPicture expected = pairs, actual = pairs;
        ASSERT_TRUE(plain.Process(&pairs.header, pairs.pixels.data(), expected.pixels.data()));
        ASSERT_TRUE(banded.Process(&pairs.header, pairs.pixels.data(), actual.pixels.data()));
        EXPECT_TRUE(SameBytes(expected, actual)) << "change " << change;
    }
}

TEST(BandProcessorThreads, BandsCoverEveryRowOnceAndKeepTheirLeastSize)
{
    struct Case {
        unsigned threads;
        size_t rows, minBand;
    };
    for (const Case& c : {Case{1, 100, 8}, Case{2, 1080, 8}, Case{2, 7, 8}, Case{2, 9, 8},
                          Case{3, 256, 32}, Case{3, 1000, 1}, Case{4, 33, 0}}) {
        BandProcessor pool(c.threads);
        std::mutex lock;
        std::vector<std::pair<size_t, size_t>> bands;
        pool.ForEachBand(c.rows, c.minBand, [&](size_t first, size_t count) {
            std::lock_guard<std::mutex> guard(lock);
            bands.emplace_back(first, count);
        });
        std::sort(bands.begin(), bands.end());
        const std::string name = std::to_string(c.threads) + " threads, " + std::to_string(c.rows) +
                                 " rows, bands of " + std::to_string(c.minBand);
        size_t next = 0;
        for (size_t i = 0; i < bands.size(); ++i) {
            EXPECT_EQ(bands[i].first, next) << name;
            EXPECT_GT(bands[i].second, 0u) << name;
            if (i + 1 < bands.size()) {
                EXPECT_GE(bands[i].second, c.minBand) << name;
            }
            next = bands[i].first + bands[i].second;
        }
        EXPECT_EQ(next, c.rows) << name;
    }
}

TEST(BandProcessorThreads, CallersOnSeveralThreadsAreServedInTurn)
{
    // Through one pool, and straight through Process: it only reads the filter.
    BandProcessor pool(2);
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage(0xF)));
    std::mt19937 rng(12);
    YuvPicture in = MakeYuvPicture(64, 90, 32);
    FillRandom(in, rng);
    YuvPicture expected = in;
    ASSERT_TRUE(filter.Process(&in.header, in.pixels.data(), expected.pixels.data()));

    std::vector<YuvPicture> outs(4, in);
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&, c] {
            YuvPicture source = in;
            for (int round = 0; round < 10; ++round)
                c % 2 ? pool.Process(filter, &source.header, source.pixels.data(), outs[c].pixels.data())
                      : filter.Process(&source.header, source.pixels.data(), outs[c].pixels.data());
        });
    for (int c = 0; c < 4; ++c) {
        callers[c].join();
        EXPECT_TRUE(SameBytes(expected, outs[c])) << "caller " << c;
    }
}

TEST(BandProcessorThreads, RefusedPicturesWriteNothingAndFramesReportOnce)
{
    BandProcessor pool(3);
    CBaseColorCorrectionFilter filter;
    ASSERT_TRUE(filter.SetupFilter(EveryStage(0xF).Base));
    YuvPicture in = MakeYuvPicture(16, 40, 24, 0, 7);
    const YuvPicture blank = MakeYuvPicture(16, 40, 24, 0, 9);
    YuvPicture out = blank;
    in.header.biCompression = 0;
    EXPECT_FALSE(pool.Process(filter, &in.header, in.pixels.data(), out.pixels.data()));
    EXPECT_FALSE(pool.Process(filter, nullptr, in.pixels.data(), out.pixels.data()));
    EXPECT_EQ(out.pixels, blank.pixels);
    in.header.biCompression = colorcorrect::YUV_COMPRESSION;
    setenv("COLORCORRECT_DEBUG", "1", 1);
    const DWORD start = GetTickCount();
    testing::internal::CaptureStderr();
    EXPECT_TRUE(pool.Process(filter, &in.header, in.pixels.data(), in.pixels.data()));
    const std::string text = testing::internal::GetCapturedStderr();
    const DWORD elapsed = GetTickCount() - start;
    unsetenv("COLORCORRECT_DEBUG");
    // One line: the text, a number of milliseconds, the line end.
    const std::string head = "\rFull processing time ", tail = "ms\r\n";
    EXPECT_TRUE(text.size() > head.size() + tail.size() && text.starts_with(head) && text.ends_with(tail) &&
                text.find_first_not_of("0123456789", head.size()) == text.size() - tail.size())
        << text;
    EXPECT_LE(PrintedMs(text), elapsed);
}
