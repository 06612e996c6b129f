// Allocation failures inside the library: every allocation of a filter set-up
// and frame, of a viewer session and of two analyses is refused in turn. The
// call must refuse (or succeed with the unfailed result), nothing may escape,
// and the same object must work again once memory is back.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "alloc/counting_allocator.h"
#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "support/random_record.h"
#include "support/yuv_picture.h"

using colorcorrect::test::AllocationFault;
using colorcorrect::test::PicturesEqual;

namespace {

template <typename T> bool SameBytes(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

CVoraDib Pattern(int width, int height, unsigned seed)
{
    CVoraDib dib;
    EXPECT_EQ(dib.AllocYUV(width, height, 24, 0), 1);
    colorcorrect::test::FillPattern(dib, seed);
    return dib;
}

tagCOLORCORRINFO Record(unsigned seed)
{
    std::mt19937 rng(seed);
    return colorcorrect::test::RandomRecord(rng);
}

// Refuses allocation 1, 2, ... of `run(n)` (which arms an AllocationFault
// and answers whether it refused) until a run needs no refused allocation.
// Returns how many allocations the unfailed run made.
template <typename Run> long ForEveryAllocation(Run run)
{
    long n = 1;
    while (run(n))
        ++n;
    return n - 1;
}

} // namespace

TEST(AllocationFailures, FilterSetUpAndFrame)
{
    colorcorrect::test::YuvPicture in = colorcorrect::test::MakeYuvPicture(96, 8, 32);
    std::mt19937 rng(3);
    colorcorrect::test::FillRandom(in, rng);
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const tagCOLORCORRINFO cc = Record(seed);
        std::vector<BYTE> expected(in.pixels.size()), out(in.pixels.size());
        {
            CBaseColorCorrectionFilter filter;
            ASSERT_TRUE(filter.SetupFilter(cc) && filter.Process(&in.header, in.pixels.data(), expected.data()));
        }
        const long made = ForEveryAllocation([&](long n) {
            CBaseColorCorrectionFilter filter;
            std::fill(out.begin(), out.end(), BYTE{0});
            AllocationFault fault(n);
            const BOOL setup = filter.SetupFilter(cc);
            const BOOL processed = setup && filter.Process(&in.header, in.pixels.data(), out.data());
            fault.Disarm();
            if (setup && processed) {
                EXPECT_EQ(out, expected) << "allocation " << n << " refused, yet the frame differs";
            }
            EXPECT_TRUE(filter.SetupFilter(cc) && filter.Process(&in.header, in.pixels.data(), out.data()));
            EXPECT_EQ(out, expected) << "after allocation " << n << " was refused";
            return fault.Refused();
        });
        RecordProperty("filter_allocations", static_cast<int>(made));
    }
}

TEST(AllocationFailures, ViewerSession)
{
    const CVoraDib source = Pattern(64, 48, 5);
    const tagCOLORCORRINFO cc = Record(11);
    // Type 1 draws a scope beside the corrected picture.
    constexpr unsigned kType = 1;
    CVoraDib expected, expectedScope;
    {
        CVoraDib picture = source;
        CColorCorrectionViewer viewer;
        ASSERT_TRUE(viewer.SetSource(picture) && viewer.SetCorrection(cc) &&
                    viewer.GetDisplay(expected, expectedScope, kType));
    }
    const long made = ForEveryAllocation([&](long n) {
        CVoraDib picture = source, display, scope;
        std::unique_ptr<CColorCorrectionViewer> viewer;
        int results = 0;
        AllocationFault fault(n);
        try {
            viewer = std::make_unique<CColorCorrectionViewer>();
        } catch (const std::bad_alloc&) {
            // A constructor has no result to refuse with; it throws, like any
            // object's, and leaves nothing behind.
        }
        if (viewer)
            results = viewer->SetSource(picture) + viewer->SetCorrection(cc) +
                      viewer->GetDisplay(display, scope, kType);
        fault.Disarm();
        const bool refused = fault.Refused();
        if (results == 3) {
            EXPECT_TRUE(PicturesEqual(expected, display) && PicturesEqual(expectedScope, scope)) << n;
        }
        if (viewer) {
            EXPECT_EQ(viewer->SetSource(picture) + viewer->SetCorrection(cc) +
                          viewer->GetDisplay(display, scope, kType),
                      3)
                << "after allocation " << n << " was refused";
            EXPECT_TRUE(PicturesEqual(expected, display) && PicturesEqual(expectedScope, scope)) << n;
            AllocationFault counting(0);
            viewer.reset();
            EXPECT_EQ(counting.Count(), 0) << "destroying a viewer allocates nothing";
        }
        return refused;
    });
    EXPECT_GT(made, 0);
    RecordProperty("viewer_allocations", static_cast<int>(made));
}

TEST(AllocationFailures, Analyses)
{
    struct Analysis {
        const char* what;
        int (CColorCorrectionViewer::*run)(tagCOLORCORRINFO&, tagRECT*, tagRECT*);
    };
    const Analysis analyses[] = {{"histogram match", &CColorCorrectionViewer::HistoMatch},
                                 {"hue match", &CColorCorrectionViewer::HueMatch}};
    CVoraDib source = Pattern(64, 48, 21), reference = Pattern(64, 48, 22);
    CColorCorrectionViewer viewer;
    ASSERT_TRUE(viewer.SetSource(source) && viewer.SetReference(reference));
    tagCOLORCORRINFO start;
    start.Init(sizeof(start));
    for (const Analysis& a : analyses) {
        SCOPED_TRACE(a.what);
        tagCOLORCORRINFO expected = start;
        ASSERT_EQ((viewer.*a.run)(expected, nullptr, nullptr), 1);
        const long made = ForEveryAllocation([&](long n) {
            tagCOLORCORRINFO cc = start;
            AllocationFault fault(n);
            const int result = (viewer.*a.run)(cc, nullptr, nullptr);
            fault.Disarm();
            EXPECT_TRUE(SameBytes(cc, result ? expected : start))
                << "allocation " << n << ": result " << result << ", a refusal leaves the record as it was";
            cc = start;
            EXPECT_EQ((viewer.*a.run)(cc, nullptr, nullptr), 1);
            EXPECT_TRUE(SameBytes(cc, expected)) << "after allocation " << n << " was refused";
            return fault.Refused();
        });
        EXPECT_GT(made, 0);
        RecordProperty(std::string(a.what) + " allocations", static_cast<int>(made));
    }
}

namespace {

// What the preview callback was handed, for the test thread to wait on.
struct Previews {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CVoraDib> pictures;

    static int Keep(CVoraDib& picture, unsigned long data)
    {
        auto* self = reinterpret_cast<Previews*>(data);
        CVoraDib copy = picture; // empty when the copy gets no memory
        std::lock_guard<std::mutex> lock(self->mutex);
        self->pictures.push_back(copy);
        self->changed.notify_all();
        return 1;
    }

    // Waits (generously) until `done(pictures)` holds.
    template <typename Done> bool WaitFor(Done done)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), [&] { return done(pictures); });
    }
};

} // namespace

TEST(AllocationFailures, PreviewWorkerWithoutMemory)
{
    CVoraDib source = Pattern(64, 48, 31);
    const tagCOLORCORRINFO first = Record(41), second = Record(42);
    const auto same = [](const CVoraDib& a, const CVoraDib& b) { return bool(PicturesEqual(a, b)); };
    CVoraDib expected;
    {
        Previews unfailed;
        CColorCorrectionViewer viewer;
        ASSERT_TRUE(viewer.SetSource(source) && viewer.SetCorrection(second));
        ASSERT_EQ(viewer.SetPreview(Previews::Keep, reinterpret_cast<unsigned long>(&unfailed)), 1);
        ASSERT_TRUE(unfailed.WaitFor([](const auto& p) { return !p.empty(); }));
        viewer.SetPreview(nullptr, 0);
        expected = unfailed.pictures.front();
    }

    Previews previews;
    CColorCorrectionViewer viewer;
    ASSERT_TRUE(viewer.SetSource(source) && viewer.SetCorrection(first));
    {
        // The worker gets no memory at all for its first renders.
        AllocationFault fault(0, true);
        ASSERT_EQ(viewer.SetPreview(Previews::Keep, reinterpret_cast<unsigned long>(&previews)), 1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fault.Refused() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(fault.Refused()) << "the worker never asked for memory";
    }
    // Memory is back: the next correction is shown.
    ASSERT_EQ(viewer.SetCorrection(second), 1);
    EXPECT_TRUE(previews.WaitFor([&](const auto& p) { return !p.empty() && same(p.back(), expected); }))
        << "the worker shows nothing after running out of memory";
    viewer.SetPreview(nullptr, 0);
}
