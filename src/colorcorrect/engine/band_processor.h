#pragma once
// Corrects one frame on several threads: the frame's rows are cut into bands
// that the calling thread and a pool of worker threads correct at the same
// time with one set-up filter (correcting only reads the filter). The worker
// threads are started once and wait between frames, so a frame costs no
// thread creation.
//
// Threads: one frame at a time per object; calls from several threads are
// served one after the other. The filter must not be set up while a frame
// is being corrected with it.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "../host/dib_info.h"
#include "../host/win_types.h"

class CBaseColorCorrectionFilter;

namespace colorcorrect {

class BandProcessor {
public:
    // `threads` threads take part in each frame, the caller included
    // (threads - 1 workers are started here). 0 means one per processor
    // core (std::thread::hardware_concurrency, at least 1).
    explicit BandProcessor(unsigned threads = 0);
    // Stops and joins the workers.
    ~BandProcessor();
    BandProcessor(const BandProcessor&) = delete;
    BandProcessor& operator=(const BandProcessor&) = delete;

    // Threads taking part in a frame, the caller included (1 or more).
    unsigned Threads() const { return static_cast<unsigned>(m_workers.size()) + 1; }

    // Corrects the picture exactly as filter.Process(header, in, out) does
    // (same checks, same result, same bytes; `in` and `out` may be the same
    // buffer), with the rows shared out among the threads. Prints the
    // frame's timing line once when debug lines are on.
    BOOL Process(CBaseColorCorrectionFilter& filter, tagYUVBMINFOHEADER* header, BYTE* in,
                 BYTE* out);

    // Runs job(firstRow, rowCount) over rows 0 .. rows - 1 cut into bands
    // of at least `minBand` rows, on all threads; returns when every band
    // is done. Each row belongs to exactly one call. `job` must not throw
    // and must be safe to run on several threads at once.
    void ForEachBand(size_t rows, size_t minBand,
                     const std::function<void(size_t firstRow, size_t rowCount)>& job);

private:
    void WorkerLoop();
    // Takes bands of the current frame until none is left.
    void RunBands();

    std::vector<std::thread> m_workers;
    std::mutex m_frameLock; // one frame at a time

    // The current frame, guarded by m_lock.
    std::mutex m_lock;
    std::condition_variable m_wake; // workers: a new frame or the end
    std::condition_variable m_done; // caller: the last worker finished
    unsigned long m_generation = 0; // counts frames
    unsigned m_busy = 0;            // workers not yet finished with the frame
    bool m_stop = false;
    const std::function<void(size_t, size_t)>* m_job = nullptr;
    size_t m_rows = 0;
    size_t m_minBand = 1; // rows a band has at least (the last may have fewer)
    size_t m_shares = 1;  // a band is the rows left divided by this
    size_t m_nextRow = 0; // first row not yet handed out
};

} // namespace colorcorrect
