#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/picture_compare.h"
#include "support/picture_pattern.h"
#include "viewer/viewer_access.h"
#include "viewer/viewer_pictures.h"

using colorcorrect::WAIT_OBJECT_0;
using colorcorrect::YUV_COMPRESSION;
using colorcorrect::test::AreaCopied;
using colorcorrect::test::Info;
using colorcorrect::test::PatternYuv;
using colorcorrect::test::PicturesEqual;
using colorcorrect::test::UnchangedOutside;
using colorcorrect::test::UniformYuv;
using colorcorrect::test::ViewerAccess;

namespace {

constexpr auto kGenerous = std::chrono::seconds(60);
constexpr DWORD kGenerousMs = 60000;

// What the host's callback saw, and how it behaves. Shared with the worker
// thread under its mutex.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<CVoraDib> pictures;
    std::vector<std::string> threadNames;
    std::vector<int> niceValues;
    bool hold = false;      // the next call blocks until released
    bool entered = false;   // a held call is waiting
    bool released = false;
    bool throwNext = false; // the next call throws after recording
    bool spoil = false;     // the call turns the picture into "RGB"

    size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pictures.size();
    }

    CVoraDib Picture(size_t i)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pictures.at(i);
    }

    // Waits until at least n pictures arrived.
    bool WaitForCount(size_t n)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kGenerous, [&] { return pictures.size() >= n; });
    }

    // Waits until a call is held.
    bool WaitUntilHeld()
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kGenerous, [&] { return entered; });
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
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));

    std::unique_lock<std::mutex> lock(r.mutex);
    r.pictures.push_back(picture);
    r.threadNames.emplace_back(name);
    r.niceValues.push_back(nice);
    if (r.spoil)
        Info(picture).biCompression = 0;
    r.changed.notify_all();
    if (r.hold) {
        r.entered = true;
        r.changed.notify_all();
        r.changed.wait(lock, [&] { return r.released; });
        r.hold = r.entered = r.released = false;
    }
    if (r.throwNext) {
        r.throwNext = false;
        throw std::runtime_error("host callback fault");
    }
    return 1;
}

tagCOLORCORRINFO Primary(int black)
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof(tagCOLORCORRINFO));
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sYBlack = static_cast<int16_t>(black);
    cc.Base.sSat = static_cast<int16_t>(black / 2);
    return cc;
}

// The preview the worker should deliver for a prepared source, without split.
CVoraDib Rendered(const CVoraDib& prepared, const tagCOLORCORRINFO& cc, unsigned channel = 0,
                  unsigned isolateVector = 0, unsigned isolateType = 0)
{
    CColorCorrectionFilter filter;
    filter.SetIsolateVector(isolateVector);
    filter.SetIsolateType(isolateType);
    filter.SetupFilter(cc);
    filter.SetChannel(channel);
    CVoraDib in = prepared;
    CVoraDib out = prepared;
    filter.ProcessPreview(in, out);
    return out;
}

// Waits until the worker has cleared its wake-up event (it does so before it
// takes its snapshot).
bool WaitUntilEventCleared(ViewerAccess& viewer)
{
    const auto deadline = std::chrono::steady_clock::now() + kGenerous;
    while (viewer.m_evPreview.Wait(0) == WAIT_OBJECT_0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

// ---- the protocol --------------------------------------------------------------------

TEST(PreviewWorker, RendersAtOnceWhenStarted)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(16, 8, 24, 1);
    ASSERT_EQ(viewer.SetSource(source), 1);
    ASSERT_EQ(viewer.SetCorrection(Primary(40)), 1);
    Recorder recorder;
    EXPECT_EQ(viewer.SetPreview(Record, recorder.Value()), 1);
    ASSERT_TRUE(recorder.WaitForCount(1));

    const CVoraDib preview = recorder.Picture(0);
    ASSERT_NE(static_cast<const tagDIBINFO*>(preview), nullptr);
    EXPECT_EQ(+Info(preview).biCompression, YUV_COMPRESSION);
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(40)), preview));

    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
    EXPECT_EQ(viewer.m_pThread, nullptr);
    EXPECT_EQ(viewer.m_pfnPreview, nullptr);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST(PreviewWorker, DeliversOnALabelledThreadBelowNormalPriority)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(8, 8, 24, 2);
    ASSERT_EQ(viewer.SetSource(source), 1);
    Recorder recorder;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));
    viewer.SetPreview(nullptr, 0);
    std::lock_guard<std::mutex> lock(recorder.mutex);
    // Linux keeps 15 bytes of a thread's name.
    EXPECT_EQ(recorder.threadNames.at(0), std::string("CColorCorrectionViewer::Preview").substr(0, 15));
    EXPECT_EQ(recorder.niceValues.at(0), colorcorrect::NiceForPriority(THREAD_PRIORITY_BELOW_NORMAL));
}

TEST(PreviewWorker, TenCorrectionsDuringARenderGiveExactlyOneMoreWithTheLast)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(16, 8, 24, 3);
    ASSERT_EQ(viewer.SetSource(source), 1);
    Recorder recorder;
    recorder.hold = true;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitUntilHeld());

    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(viewer.SetCorrection(Primary(10 + i)), 1);
    recorder.Release();
    ASSERT_TRUE(recorder.WaitForCount(2));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(19)), recorder.Picture(1)));

    // The next delivery is that of the next correction: nothing came between.
    ASSERT_EQ(viewer.SetCorrection(Primary(77)), 1);
    ASSERT_TRUE(recorder.WaitForCount(3));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(77)), recorder.Picture(2)));
    viewer.SetPreview(nullptr, 0);
    EXPECT_EQ(recorder.Count(), 3u);
}

TEST(PreviewWorker, RefusedCorrectionsCauseNoDelivery)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(16, 8, 24, 4);
    ASSERT_EQ(viewer.SetSource(source), 1);
    Recorder recorder;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));

    tagCOLORCORRINFO wrong = Primary(30);
    wrong.dwSize = 563;
    EXPECT_EQ(viewer.SetCorrection(wrong), 0);
    wrong.dwSize = 565;
    EXPECT_EQ(viewer.SetCorrection(wrong), 0);
    tagCOLORCORRINFO refused = Primary(30);
    refused.Vector6.dwSize = 63;
    EXPECT_EQ(viewer.SetCorrection(refused), 0);

    ASSERT_EQ(viewer.SetCorrection(Primary(50)), 1);
    ASSERT_TRUE(recorder.WaitForCount(2));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(50)), recorder.Picture(1)));
    viewer.SetPreview(nullptr, 0);
    EXPECT_EQ(recorder.Count(), 2u);
}

TEST(PreviewWorker, NoSourceNoDelivery)
{
    ViewerAccess viewer;
    Recorder recorder;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(WaitUntilEventCleared(viewer)) << "the worker never woke";
    ASSERT_EQ(viewer.SetCorrection(Primary(20)), 1);
    ASSERT_TRUE(WaitUntilEventCleared(viewer));
    viewer.SetPreview(nullptr, 0);
    EXPECT_EQ(recorder.Count(), 0u);

    // With a source the same worker set-up delivers.
    CVoraDib source = PatternYuv(8, 4, 24, 5);
    ASSERT_EQ(viewer.SetSource(source), 1);
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));
    viewer.SetPreview(nullptr, 0);
}

TEST(PreviewWorker, SourceEmptiedDuringARenderStopsTheDeliveries)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(8, 4, 24, 6);
    ASSERT_EQ(viewer.SetSource(source), 1);
    Recorder recorder;
    recorder.hold = true;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitUntilHeld());
    CVoraDib empty;
    EXPECT_EQ(viewer.SetSource(empty), 0);
    ASSERT_EQ(viewer.SetCorrection(Primary(20)), 1);
    recorder.Release();
    ASSERT_TRUE(WaitUntilEventCleared(viewer));
    viewer.SetPreview(nullptr, 0);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST(PreviewWorker, SplitIsComposedIntoThePreview)
{
    ViewerAccess viewer;
    CVoraDib source = UniformYuv(16, 8, 24, {50, 128, 128});
    CVoraDib reference = PatternYuv(16, 8, 24, 7);
    ASSERT_EQ(viewer.SetSource(source), 1);
    ASSERT_EQ(viewer.SetReference(reference), 1);
    ASSERT_EQ(viewer.SetSplit(-4, 3), 1);
    Recorder recorder;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));
    viewer.SetPreview(nullptr, 0);

    const CVoraDib preview = recorder.Picture(0);
    // The right edge, the top rows (last in memory).
    EXPECT_TRUE(AreaCopied(viewer.m_dibReference, 12, 5, preview, 12, 5, 4, 3));
    EXPECT_TRUE(UnchangedOutside(Rendered(viewer.m_dibSource, g_ccDefault), preview, 12, 5, 4, 3));
}

TEST(PreviewWorker, DisplayOptionsReachTheRender)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(16, 8, 24, 8);
    ASSERT_EQ(viewer.SetSource(source), 1);
    tagCOLORCORRINFO cc = Primary(25);
    cc.dwFlags |= CC_MATCH_VECTOR;
    cc.Match.dwCount = 2;
    cc.Match.Vector[1].cU = 30;
    cc.Match.Vector[1].cV = -20;
    cc.Match.Vector[1].byHueWidth = 60;
    cc.Match.Vector[1].bySatWidth = 80;
    cc.Match.Vector[1].sSat = 100;
    ASSERT_EQ(viewer.SetChannel(4), 1);
    ASSERT_EQ(viewer.SetIsolateVector(1), 1);
    ASSERT_EQ(viewer.SetIsolateType(2), 1);
    ASSERT_EQ(viewer.SetCorrection(cc), 1);
    Recorder recorder;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));
    viewer.SetPreview(nullptr, 0);
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, cc, 4, 1, 2), recorder.Picture(0)));
}

TEST(PreviewWorker, NewSourceOfAnotherSizeAndSpoiledPicturesAreHandled)
{
    ViewerAccess viewer;
    CVoraDib small = PatternYuv(16, 8, 24, 9);
    ASSERT_EQ(viewer.SetSource(small), 1);
    Recorder recorder;
    recorder.spoil = true;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));

    // Same size: the host changed the delivered picture's format in its
    // callback; the next preview is packed YUV again.
    ASSERT_EQ(viewer.SetCorrection(Primary(60)), 1);
    ASSERT_TRUE(recorder.WaitForCount(2));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(60)), recorder.Picture(1)));

    CVoraDib large = PatternYuv(24, 10, 24, 10);
    ASSERT_EQ(viewer.SetSource(large), 1);
    ASSERT_EQ(viewer.SetCorrection(Primary(70)), 1);
    ASSERT_TRUE(recorder.WaitForCount(3));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(70)), recorder.Picture(2)));
    viewer.SetPreview(nullptr, 0);
}

TEST(PreviewWorker, CallbackThatThrowsEndsTheWorker)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(8, 4, 24, 11);
    ASSERT_EQ(viewer.SetSource(source), 1);
    Recorder recorder;
    recorder.throwNext = true;
    viewer.SetPreview(Record, recorder.Value());
    ASSERT_TRUE(recorder.WaitForCount(1));
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0)
        << "the worker still runs";
    EXPECT_EQ(viewer.SetCorrection(Primary(10)), 1);
    EXPECT_NE(viewer.m_pThread, nullptr) << "the ended thread's object stays until the next stop";
    EXPECT_EQ(viewer.SetPreview(nullptr, 0), 1);
    EXPECT_EQ(viewer.m_pThread, nullptr);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST(PreviewWorker, DestroyingTheViewerStopsAWaitingWorker)
{
    Recorder recorder;
    {
        ViewerAccess viewer;
        CVoraDib source = PatternYuv(8, 4, 24, 12);
        ASSERT_EQ(viewer.SetSource(source), 1);
        viewer.SetPreview(Record, recorder.Value());
        ASSERT_TRUE(recorder.WaitForCount(1));
    }
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(recorder.Count(), 1u);
}

// ---- workers that do not stop in time ------------------------------------------------------

TEST(PreviewWorker, BlockedCallbackIsAbandonedWhenTheViewerIsDestroyed)
{
    // Both outlive the viewer: the abandoned worker still uses the recorder
    // when its callback returns.
    auto recorder = std::make_unique<Recorder>();
    recorder->hold = true;
    auto viewer = std::make_unique<CColorCorrectionViewer>();
    CVoraDib source = PatternYuv(16, 8, 24, 13);
    ASSERT_EQ(viewer->SetSource(source), 1);
    viewer->SetPreview(Record, recorder->Value());
    ASSERT_TRUE(recorder->WaitUntilHeld());

    const auto start = std::chrono::steady_clock::now();
    viewer.reset();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(1000)) << "the stop waits a second for the worker";
    EXPECT_LT(took, kGenerous);

    recorder->Release();
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0)
        << "the abandoned worker did not end when its callback returned";
    EXPECT_EQ(recorder->Count(), 1u) << "an abandoned worker called back again";
}

TEST(PreviewWorker, AbandonedWorkerNeverCallsBackWhileANewOneRuns)
{
    ViewerAccess viewer;
    CVoraDib source = PatternYuv(16, 8, 24, 14);
    ASSERT_EQ(viewer.SetSource(source), 1);
    Recorder first, second;
    first.hold = true;
    viewer.SetPreview(Record, first.Value());
    ASSERT_TRUE(first.WaitUntilHeld());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(viewer.SetPreview(Record, second.Value()), 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    ASSERT_TRUE(second.WaitForCount(1));

    first.Release();
    ASSERT_EQ(viewer.SetCorrection(Primary(33)), 1);
    ASSERT_TRUE(second.WaitForCount(2));
    EXPECT_TRUE(PicturesEqual(Rendered(viewer.m_dibSource, Primary(33)), second.Picture(1)));

    viewer.SetPreview(nullptr, 0);
    EXPECT_EQ(colorcorrect::WaitForPreviewWorkers(kGenerousMs), WAIT_OBJECT_0);
    EXPECT_EQ(first.Count(), 1u);
    EXPECT_EQ(second.Count(), 2u);
}
