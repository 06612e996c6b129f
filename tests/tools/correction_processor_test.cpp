// CorrectionProcessor on a caller's memory: rows of any stride, corrected on
// one thread or several, hold the bytes Process gives on the engine's own
// padded pictures, and the padding between rows is left alone.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include "support/random_record.h"
#include "support/yuv_picture.h"

using namespace colorcorrect::formats;
using namespace colorcorrect::test;

TEST(CorrectionProcessor, PixelRowsOfAnyStrideGiveProcessBytes)
{
    std::mt19937 rng(21);
    constexpr int kHeight = 37;
    for (int channels : {3, 4})
        for (int width : {1, 2, 3, 5, 17})
            for (unsigned threads : {1u, 3u}) {
                CorrectionProcessor processor;
                std::string error;
                ASSERT_TRUE(processor.Setup(RandomRecord(rng), error)) << error;
                YuvPicture picture = MakeYuvPicture(width, kHeight, channels * 8);
                FillRandom(picture, rng);
                const size_t used = size_t(width) * channels, rowBytes = used + 5;
                std::vector<uint8_t> rows(rowBytes * kHeight, 0xAB);
                for (int y = 0; y < kHeight; ++y)
                    std::memcpy(rows.data() + rowBytes * y, picture.Pixel(0, y), used);
                YuvPicture expected = picture;
                ASSERT_TRUE(processor.Process(expected.header, picture.pixels.data(), expected.pixels.data()));

                const PixelRows view{rows.data(), width, kHeight, channels, rowBytes};
                ASSERT_TRUE(processor.ProcessPixels(view, view, threads));
                for (int y = 0; y < kHeight; ++y)
                    for (size_t i = 0; i < rowBytes; ++i) {
                        const int want = i < used ? expected.Pixel(0, y)[i] : 0xAB;
                        ASSERT_EQ(rows[rowBytes * y + i], want)
                            << "width " << width << ", " << channels << " channels, " << threads
                            << " threads: row " << y << ", byte " << i;
                    }
            }
}

TEST(CorrectionProcessor, RefusesRowsThatAreNotAPicture)
{
    CorrectionProcessor processor;
    std::string error;
    ASSERT_TRUE(processor.Setup(DefaultCorrection(), error)) << error;
    uint8_t bytes[48] = {};
    const PixelRows good{bytes, 4, 2, 3, 12};
    for (const PixelRows& bad : {PixelRows{nullptr, 4, 2, 3, 12}, PixelRows{bytes, 0, 2, 3, 12},
                                 PixelRows{bytes, 4, 2, 2, 8}, PixelRows{bytes, 4, 2, 3, 11}}) {
        EXPECT_FALSE(processor.ProcessPixels(bad, bad, 1));
        EXPECT_FALSE(processor.ProcessRgbPixels(good, bad, 1));
    }
    EXPECT_FALSE(processor.ProcessPixels(good, PixelRows{bytes, 4, 1, 3, 12}, 1));
}
