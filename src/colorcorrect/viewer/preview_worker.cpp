// The preview worker: its loop, and the operations that start, stop and wake it.

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <utility>

#include "../engine/band_processor.h"
#include "../engine/fast_process.h"
#include "../engine/front_words.h"
#include "../host/exception_analysis.h"
#include "../host/thread_priority.h"
#include "../host/wait_codes.h"
#include "color_correction_viewer.h"
#include "picture_colours.h"
#include "preview_setup.h"
#include "preview_shared_state.h"

using colorcorrect::CriticalSectionLock;
using colorcorrect::PreviewSharedState;
using colorcorrect::PreviewWorkerStart;

namespace {

// The label the worker threads carry (cut to what the platform keeps).
constexpr const char* kWorkerLabel = "CColorCorrectionViewer::Preview";

// Counts the preview workers of all viewers that have not ended yet, so that
// a host can wait for abandoned ones before it unloads the library.
class WorkerCount {
public:
    static WorkerCount& Instance()
    {
        // Never destroyed: an abandoned worker may still end while the
        // process shuts down.
        static WorkerCount* const instance = new WorkerCount;
        return *instance;
    }

    void Started()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_nRunning;
    }

    void Ended()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_nRunning;
        m_changed.notify_all();
    }

    DWORD WaitForNone(DWORD timeoutMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const auto none = [this] { return m_nRunning == 0; };
        if (timeoutMs == colorcorrect::INFINITE) {
            m_changed.wait(lock, none);
            return colorcorrect::WAIT_OBJECT_0;
        }
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), none)
                   ? colorcorrect::WAIT_OBJECT_0
                   : colorcorrect::WAIT_TIMEOUT;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    unsigned long m_nRunning = 0;
};

bool HasHeader(const CVoraDib& dib)
{
    return static_cast<const tagDIBINFO*>(dib) != nullptr;
}

} // namespace

namespace colorcorrect {

DWORD WaitForPreviewWorkers(DWORD timeoutMs)
{
    return WorkerCount::Instance().WaitForNone(timeoutMs);
}

} // namespace colorcorrect

int CColorCorrectionViewer::SetPreview(colorcorrect::PreviewCallback pfnCallback,
                                       unsigned long dwData)
{
    unsigned long generation = 0;
    {
        CriticalSectionLock lock(m_csLock, ::GetAddress());
        m_pfnPreview = nullptr;
        // From here on the running worker is no longer the current one: it
        // neither calls back nor touches this viewer again.
        generation = ++m_pShared->generation;
    }
    m_evPreview.Set();

    if (m_pThread != nullptr) {
        // A worker that is still inside the host's callback after the wait is
        // abandoned, not killed: killing it could leave locks taken and
        // memory half-written. It ends by itself once the callback returns.
        if (m_pThread->Wait(colorcorrect::VIEWER_STOP_WAIT_MS) != colorcorrect::WAIT_OBJECT_0)
            m_pThread->Terminate(0);
        delete m_pThread;
        m_pThread = nullptr;
    }

    if (pfnCallback == nullptr)
        return 1;

    {
        CriticalSectionLock lock(m_csLock, ::GetAddress());
        m_pfnPreview = pfnCallback;
        m_dwPreviewData = dwData;
    }
    // The stop above left the event set. Clear it until the new thread carries
    // its label, so that every preview is delivered on a labelled thread, then
    // set it so that the worker renders at once.
    m_evPreview.Reset();

    auto* start = new (std::nothrow) PreviewWorkerStart{m_pShared, generation};
    CThread* thread = nullptr;
    if (start != nullptr) {
        WorkerCount::Instance().Started();
        thread = new (std::nothrow) CThread(nullptr, 0, PreviewStart, start, 0);
        if (thread == nullptr || thread->IsCreated() == 0) {
            // The routine never ran: the start block and the count are ours.
            delete thread;
            thread = nullptr;
            delete start;
            WorkerCount::Instance().Ended();
        }
    }
    if (thread == nullptr) {
        CriticalSectionLock lock(m_csLock, ::GetAddress());
        m_pfnPreview = nullptr;
        return 1;
    }
    thread->Label(kWorkerLabel);
    m_pThread = thread;
    m_evPreview.Set();
    return 1;
}

int CColorCorrectionViewer::SetCorrection(const tagCOLORCORRINFO& cc)
{
    if (cc.dwSize != sizeof(tagCOLORCORRINFO))
        return 0;
    // The preview waits on this set-up: its per-pair work (the match index
    // and tables above all, while a match vector is dragged) is shared out
    // over the processor cores. Without the threads it runs here alone.
    if (m_pSetupBands == nullptr) {
        try {
            m_pSetupBands = std::make_unique<colorcorrect::BandProcessor>();
            m_filter.SetSetupBands(m_pSetupBands.get());
        } catch (...) {
            m_pSetupBands.reset();
        }
    }
    if (m_filter.SetupFilter(cc) == 0)
        return 0;
    if (m_nIsolateVector < cc.Match.dwCount && m_nIsolateVector < 16)
        m_filter.SetIsolateParam(&cc.Match.Vector[m_nIsolateVector]);
    PublishSetup(cc);
    m_evPreview.Set();
    return 1;
}

void CColorCorrectionViewer::PublishSetup(const tagCOLORCORRINFO& cc)
{
    // The isolate settings are written on this thread only, so reading them
    // here needs no lock.
    std::shared_ptr<const colorcorrect::PreviewSetup> setup =
        colorcorrect::PreviewSetup::Make(m_filter, cc, m_nIsolateVector, m_nIsolateType);
    CriticalSectionLock lock(m_csLock, ::GetAddress());
    m_ccCurrent = cc;
    // The block replaced is released with `setup`, after the lock (unless
    // the worker still holds it).
    m_pSetup.swap(setup);
}

unsigned long CColorCorrectionViewer::PreviewStart(void* p)
{
    unsigned long code = 0;
    {
        std::unique_ptr<PreviewWorkerStart> start(static_cast<PreviewWorkerStart*>(p));
        code = Preview(std::move(start->shared), start->generation);
    }
    // Everything of the worker (its filter, pictures and its hold on the
    // shared block) is gone by now.
    WorkerCount::Instance().Ended();
    return code;
}

unsigned long CColorCorrectionViewer::Preview(std::shared_ptr<PreviewSharedState> shared,
                                              unsigned long generation)
{
    PreviewSharedState& state = *shared;
    for (;;) {
        try {
            CColorCorrectionFilter filter;
            // The preview's rows are shared out over the processor cores, so
            // that it follows a dragged control closely.
            colorcorrect::BandProcessor bands;
            filter.SetSetupBands(&bands); // a set-up of its own shares its rows the same way
            CVoraDib source;    // snapshot of the source
            CVoraDib reference; // snapshot of the reference, for the split
            CVoraDib preview;   // the picture handed to the callback
            // The source's words in front of the vector stages: a six or
            // match vector dragged over the same source reuses them.
            colorcorrect::FrontWords front;
            // The source's distinct colours, found at its second render: from
            // then on a preview corrects the colours rather than the pixels.
            colorcorrect::PictureColours colours;
            unsigned rendersOfSource = 0;
            // The viewer's picture versions the snapshots were taken at: a
            // picture is copied again only when it changed (none taken yet).
            unsigned long sourceVersion = 0, referenceVersion = 0;
            bool snapshots = false;

            for (;;) {
                // A worker abandoned in its callback ends here, before it could
                // wait on an event nobody sets for it any more.
                {
                    CriticalSectionLock lock(state.lock, ::GetAddress());
                    if (!state.IsCurrent(generation))
                        break;
                }
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
                if (state.wake.Wait(colorcorrect::INFINITE) != colorcorrect::WAIT_OBJECT_0)
                    break;
                {
                    CriticalSectionLock lock(state.lock, ::GetAddress());
                    if (!state.IsCurrent(generation) || state.viewer->m_pfnPreview == nullptr)
                        break;
                }
                SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
                // Reset before the snapshot: a correction handed in from now on
                // sets the event again and causes exactly one more render.
                state.wake.Reset();

                tagCOLORCORRINFO cc{};
                std::shared_ptr<const colorcorrect::PreviewSetup> setup;
                int splitX = 0, splitY = 0;
                unsigned int channel = 0, isolateVector = 0, isolateType = 0;
                bool current = true;
                try {
                    CriticalSectionLock lock(state.lock, ::GetAddress());
                    current = state.IsCurrent(generation);
                    if (current) {
                        const CColorCorrectionViewer& viewer = *state.viewer;
                        cc = viewer.m_ccCurrent;
                        setup = viewer.m_pSetup;
                        // Copies of whole pictures, made under the lock: only
                        // after a change (a failed copy leaves an empty picture,
                        // to be copied again next time).
                        if (!snapshots || sourceVersion != viewer.m_nSourceVersion) {
                            front.Clear();
                            colours.Clear();
                            rendersOfSource = 0;
                            source = viewer.m_dibSource;
                            sourceVersion = HasHeader(source) ? viewer.m_nSourceVersion
                                                              : viewer.m_nSourceVersion - 1;
                        }
                        if (!snapshots || referenceVersion != viewer.m_nReferenceVersion) {
                            reference = viewer.m_dibReference;
                            referenceVersion = HasHeader(reference) ? viewer.m_nReferenceVersion
                                                                    : viewer.m_nReferenceVersion - 1;
                        }
                        snapshots = true;
                        splitX = viewer.m_nSplitX;
                        splitY = viewer.m_nSplitY;
                        channel = viewer.m_nChannel;
                        isolateVector = viewer.m_nIsolateVector;
                        isolateType = viewer.m_nIsolateType;
                    }
                } catch (...) {
                    AnalyseException(std::current_exception(), 1);
                    continue;
                }
                if (!current)
                    break;
                if (!HasHeader(source)) {
                    preview.Free();
                    continue;
                }

                // A fault while rendering skips this render; the worker waits for
                // the next correction.
                try {
                    const tagDIBINFO* src = source;
                    const tagDIBINFO* out = preview;
                    if (out != nullptr && out->bmiHeader.biWidth == src->bmiHeader.biWidth &&
                        out->bmiHeader.biHeight == src->bmiHeader.biHeight &&
                        out->bmiHeader.biBitCount == src->bmiHeader.biBitCount) {
                        tagDIBINFO* writable = preview;
                        if (writable->bmiHeader.biCompression != colorcorrect::YUV_COMPRESSION)
                            writable->bmiHeader.biCompression = colorcorrect::YUV_COMPRESSION;
                    } else {
                        // Own pixel memory, so that processing never writes into
                        // the source.
                        preview = source;
                        preview.GetMemory().Realloc(0xFFFFFFFFul, 0, 0);
                        if (!HasHeader(preview))
                            continue; // no memory for the output: nothing to show
                    }
                    // The viewer's tables for this very record serve as they are;
                    // otherwise (a changed isolate display, or no block) the
                    // worker builds its own, as the viewer's filter would.
                    bool adopted = false;
                    if (setup != nullptr && setup->Serves(cc, isolateVector, isolateType)) {
                        static_cast<CBaseColorCorrectionFilter&>(filter) = setup->engine;
                        adopted = filter.MemoryBytes() == setup->engine.MemoryBytes();
                    }
                    filter.SetIsolateVector(isolateVector);
                    filter.SetIsolateType(isolateType);
                    if (!adopted)
                        filter.SetupFilter(cc);
                    filter.SetChannel(channel);
                    // Finding the colours costs about as much as a render:
                    // worth it once the source is rendered again (a control
                    // being dragged), not for a source shown once. The
                    // reference loops correct every pixel.
                    if (rendersOfSource < 2 && ++rendersOfSource == 2 && !colorcorrect::ReferenceLoopForced())
                        colours.Build(source, &bands);
                    // A source the filter cannot correct (a failed SetSource can
                    // leave an unconverted copy) has no preview to show.
                    if (colours.Preview(filter, preview, &bands) == 0 &&
                        filter.ProcessPreview(source, preview, &bands, &front) == 0)
                        continue;
                    AddSplit(preview, reference, splitX, splitY);
                } catch (...) {
                    AnalyseException(std::current_exception(), 1);
                    continue;
                }

                colorcorrect::PreviewCallback callback = nullptr;
                unsigned long data = 0;
                {
                    CriticalSectionLock lock(state.lock, ::GetAddress());
                    if (state.IsCurrent(generation)) {
                        callback = state.viewer->m_pfnPreview;
                        data = state.viewer->m_dwPreviewData;
                    }
                }
                if (callback == nullptr)
                    break;
                try {
                    callback(preview, data);
                } catch (...) {
                    AnalyseException(std::current_exception(), 1);
                    break;
                }
            }
            return 0;
        } catch (...) {
            // Setting up the worker's own filter or pictures failed (no
            // memory). Ending here would leave the viewer without previews
            // for good: wait for the next wake and set up again. The check
            // after the reset catches a stop that came before it.
            AnalyseException(std::current_exception(), 1);
            state.wake.Reset();
            {
                CriticalSectionLock lock(state.lock, ::GetAddress());
                if (!state.IsCurrent(generation))
                    return 0;
            }
            if (state.wake.Wait(colorcorrect::INFINITE) != colorcorrect::WAIT_OBJECT_0)
                return 0;
        }
    }
}
