// The preview worker: what reaches the host's callback, on which thread, and
// how workers stop, also while a callback blocks. Waits are generous, never sleeps.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "viewer/viewer_access.h"

using colorcorrect::WAIT_OBJECT_0;
using colorcorrect::test::Info;
using colorcorrect::test::Pattern;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::ViewerAccess;

namespace {

constexpr auto kGenerous = std::chrono::seconds(60);
constexpr DWORD kGenerousMs = 60000;

// What the host's callback saw and how it behaves, shared with the worker under the mutex.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CVoraDib> pictures;
    std::string thread; // name and niceness of the delivering thread
    int nice = 0;
    bool hold = false, entered = false, released = false; // the next call blocks until released
    bool throwNext = false; // the next call throws

    template <typename Ready> bool WaitFor(Ready ready)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kGenerous, ready);
    }
    bool WaitForCount(size_t n) { return WaitFor([&] { return pictures.size() >= n; }); }
    bool WaitUntilHeld() { return WaitFor([&] { return entered; }); }
    std::vector<CVoraDib> Pictures()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pictures;
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        changed.notify_all();
    }
    unsigned long Value() { return reinterpret_cast<unsigned long>(this); }
};

int Record(CVoraDib& picture, unsigned long value)
{
    auto& r = *reinterpret_cast<Recorder*>(value);
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    std::unique_lock<std::mutex> lock(r.mutex);
    r.pictures.push_back(picture);
    r.thread = name;
    r.nice = nice;
    r.changed.notify_all();
    if (r.hold) {
        r.entered = true;
        r.changed.notify_all();
        r.changed.wait(lock, [&] { return r.released; });
        r.hold = r.entered = r.released = false;
    }
    if (r.throwNext)
        throw std::runtime_error("host callback fault");
    return 1;
}

tagCOLORCORRINFO Primary(int black)
{
    tagCOLORCORRINFO cc = g_ccDefault;
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sYBlack = static_cast<int16_t>(black);
    return cc;
}

// The preview of a prepared source, without split, from a filter of its own.
CVoraDib Rendered(const CVoraDib& prepared, const tagCOLORCORRINFO& cc, unsigned channel = 0,
                  unsigned isolateVector = 0, unsigned isolateType = 0)
{
    CColorCorrectionFilter filter;
    filter.SetIsolateVector(isolateVector);
    filter.SetIsolateType(isolateType);
    filter.SetupFilter(cc);
    filter.SetChannel(channel);
    CVoraDib in = prepared, out = prepared;
    EXPECT_EQ(filter.ProcessPreview(in, out), 1);
    return out;
}

} // namespace

TEST(PreviewWorker, DeliversTheCorrectedSourceWithTheSplitOnALabelledThread)
{
    ViewerAccess viewer;
    CVoraDib source = Pattern(16, 8, 1), reference = Pattern(16, 8, 7);
    ASSERT_EQ(viewer.SetSource(source), 1);
    ASSERT_EQ(viewer.SetReference(reference), 1);
    ASSERT_EQ(viewer.SetSplit(-4, 3), 1);
    tagCOLORCORRINFO cc = Primary(25);
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].cU = 30; // the isolate display shows vector 1
    cc.Match.Vector[1].byHueWidth = 60;
    ASSERT_EQ(viewer.SetChannel(4), 1);
    ASSERT_EQ(viewer.SetIsolateVector(1), 1);
    ASSERT_EQ(viewer.SetIsolateType(2), 1);
    ASSERT_EQ(viewer.SetCorrection(cc), 1);
    Recorder recorder;
    EXPECT_EQ(viewer.SetPreview(Record, recorder.Value()), 1);
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
    const CVoraDib preview = recorder.Pictures().at(0);
    // Packed YUV with the split: the right edge, the top rows (last in memory).
    EXPECT_EQ(+Info(preview).biCompression, colorcorrect::YUV_COMPRESSION);
    EXPECT_TRUE(colorcorrect::test::SplitInto(Rendered(viewer.m_dibSource, cc, 4, 1, 2), viewer.m_dibReference,
                                              12, 5, preview, 12, 5, 4, 3));
    std::lock_guard<std::mutex> lock(recorder.mutex);
    EXPECT_EQ(recorder.thread, std::string("CColorCorrectionViewer::Preview").substr(0, 15)); // as Linux keeps it
    EXPECT_EQ(recorder.nice, colorcorrect::NiceForPriority(THREAD_PRIORITY_BELOW_NORMAL));
}

TEST(PreviewWorker, CorrectionsDuringARenderGiveExactlyOneMoreWithTheLast)
{
    Recorder recorder; // outlives the viewer
    auto viewer = std::make_unique<ViewerAccess>();
    CVoraDib source = Pattern(16, 8, 3), larger = Pattern(24, 10, 10);
    ASSERT_EQ(viewer->SetSource(source), 1);
    recorder.hold = true;
    viewer->SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitUntilHeld());
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(viewer->SetCorrection(Primary(10 + i)), 1);
    recorder.Release();
    ASSERT_TRUE(recorder.WaitForCount(2));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer->m_dibSource, Primary(19)), recorder.Pictures().at(1)));

    ASSERT_EQ(viewer->SetSource(larger), 1); // a preview of another size
    ASSERT_EQ(viewer->SetCorrection(Primary(70)), 1);
    ASSERT_TRUE(recorder.WaitForCount(3));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer->m_dibSource, Primary(70)), recorder.Pictures().at(2)));
    viewer.reset(); // stops the waiting worker
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(recorder.Pictures().size(), 3u);
}

TEST(PreviewWorker, NoPreviewOfAnUnconvertedSourceAndNoneAfterACallbackThrew)
{
    ViewerAccess viewer;
    Recorder recorder;
    recorder.throwNext = true;
    CVoraDib rgba = colorcorrect::test::Uniform(8, 4, 32, {10, 20, 30, 40}, 0, true), source = Pattern(8, 4, 5);
    // A failed SetSource leaves the unconverted copy, which the filter refuses to correct.
    colorcorrect::SetBlockAllocationBudget(1); // the copy, not its change to 24 bits
    EXPECT_EQ(viewer.SetSource(rgba), 0);
    colorcorrect::SetBlockAllocationBudget(-1);
    ASSERT_EQ(+Info(viewer.m_dibSource).biCompression, 0u);
    viewer.SetPreview(Record, recorder.Value());
    // The worker clears its event before each snapshot: once it cleared it
    // for a second correction, its render of the first is over.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(viewer.SetCorrection(Primary(20 + i)), 1);
        const auto deadline = std::chrono::steady_clock::now() + kGenerous;
        while (viewer.m_evPreview.Wait(0) == WAIT_OBJECT_0) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the worker never woke";
            std::this_thread::yield();
        }
    }
    EXPECT_EQ(recorder.Pictures().size(), 0u);
    // The worker lives on and delivers once there is a source; the callback throws, which ends it.
    ASSERT_EQ(viewer.SetSource(source), 1);
    ASSERT_EQ(viewer.SetCorrection(Primary(30)), 1);
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0) << "the worker still runs";
    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
    EXPECT_EQ(viewer.m_pThread, nullptr);
    EXPECT_EQ(recorder.Pictures().size(), 1u);
}

TEST(PreviewWorker, WorkersBlockedInTheCallbackAreAbandonedAndNeverCallBackAgain)
{
    Recorder first, second; // outlive the viewer: abandoned workers still use them
    auto viewer = std::make_unique<ViewerAccess>();
    CVoraDib source = Pattern(16, 8, 14);
    ASSERT_EQ(viewer->SetSource(source), 1);
    first.hold = second.hold = true;
    // Each stop waits a second for the held worker, then abandons it: on a
    // new worker's start, and when the viewer goes.
    const auto waitedASecond = [](auto stop) {
        const auto start = std::chrono::steady_clock::now();
        stop();
        return std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(1000);
    };
    viewer->SetPreview(Record, first.Value());
    ASSERT_TRUE(first.WaitUntilHeld());
    EXPECT_TRUE(waitedASecond([&] { EXPECT_EQ(viewer->SetPreview(Record, second.Value()), 1); }));
    ASSERT_TRUE(second.WaitUntilHeld());
    first.Release();
    EXPECT_TRUE(waitedASecond([&] { viewer.reset(); }));
    second.Release();
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0)
        << "an abandoned worker did not end when its callback returned";
    EXPECT_EQ(first.Pictures().size(), 1u);
    EXPECT_EQ(second.Pictures().size(), 1u);
}

// Each preview equals a fresh filter's, whether the worker adopted the
// viewer's tables or, its isolate display changed without a new correction,
// built its own; and it is made from the source as it was last set.
TEST(PreviewWorker, PreviewsEqualAFreshFiltersAfterASequenceOfChanges)
{
    ViewerAccess viewer;
    Recorder recorder;
    CVoraDib pictures[2] = {Pattern(16, 8, 2), Pattern(16, 8, 9)};
    ASSERT_EQ(viewer.SetSource(pictures[0]), 1);
    ASSERT_EQ(viewer.SetIsolateVector(1), 1);
    tagCOLORCORRINFO cc = Primary(12);
    cc.dwFlags |= CC_SIX_VECTOR | CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].byHueWidth = 60;
    // restart: a new worker renders the current correction at once.
    struct Step { int hue, matchU; unsigned isolateType, source; bool restart; };
    const Step steps[] = {{0, 30, 0, 0, true},   {40, 30, 0, 0, false},  {40, -20, 0, 0, false},
                          {40, -20, 2, 0, true}, {-60, 25, 2, 1, false}, {-60, 25, 0, 1, true},
                          {-60, 25, 0, 0, false}};
    size_t delivered = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(delivered);
        cc.Base.sHue = static_cast<int16_t>(s.hue);
        cc.Match.Vector[1].cU = static_cast<int8_t>(s.matchU);
        ASSERT_EQ(viewer.SetIsolateType(s.isolateType), 1);
        ASSERT_EQ(viewer.SetSource(pictures[s.source]), 1);
        if (s.restart)
            ASSERT_EQ(viewer.SetPreview(Record, recorder.Value()), 1);
        else
            ASSERT_EQ(viewer.SetCorrection(cc), 1);
        ASSERT_TRUE(recorder.WaitForCount(++delivered));
        EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, viewer.m_ccCurrent, 0, 1, s.isolateType),
                                  recorder.Pictures().at(delivered - 1)));
    }
    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
}

TEST(PreviewWorker, PreviewsThroughTheSourcesColoursFollowANewSource)
{
    // From a source's second render on, the worker corrects its colours:
    // a new source of the same size must not be shown through the old one's.
    ViewerAccess viewer;
    Recorder recorder;
    CVoraDib sources[2];
    for (unsigned i = 0; i < 2; ++i) {
        ASSERT_EQ(sources[i].AllocYUV(45, 30, 24, 0), 1);
        colorcorrect::test::FillFewColours(sources[i], 60, i);
    }
    tagCOLORCORRINFO cc = Primary(12);
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].byHueWidth = 60;
    // Each step's correction is delivered once, from the step's source.
    struct Step { int hue; unsigned source, isolateType; };
    const Step steps[] = {{0, 0, 0}, {30, 0, 0}, {-50, 0, 3}, {-50, 1, 3}, {20, 1, 0}, {20, 1, 0}};
    ASSERT_EQ(viewer.SetIsolateVector(1), 1);
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        const Step& s = steps[i];
        cc.Base.sHue = static_cast<int16_t>(s.hue);
        ASSERT_EQ(viewer.SetIsolateType(s.isolateType), 1);
        if (i == 0 || steps[i - 1].source != s.source) {
            ASSERT_EQ(viewer.SetSource(sources[s.source]), 1);
        }
        ASSERT_EQ(viewer.SetCorrection(cc), 1);
        // The first worker renders the correction in force as it starts.
        if (i == 0) {
            ASSERT_EQ(viewer.SetPreview(Record, recorder.Value()), 1);
        }
        ASSERT_TRUE(recorder.WaitForCount(i + 1));
        EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, viewer.m_ccCurrent, 0, 1, s.isolateType),
                                  recorder.Pictures().at(i)));
    }
    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
}
