#include "band_processor.h"

#include <algorithm>

#include "../host/debug_output.h"
#include "../host/tick_count.h"
#include "base_color_correction_filter.h"

namespace colorcorrect {

namespace {

// Each band is this fraction of a thread's fair share of the rows still
// left: large bands while much is left, smaller and smaller ones towards
// the end, so that a thread slowed down (by the system or by harder
// content) leaves little for the others to wait for.
constexpr size_t kBandsPerShare = 2;
// Fewer rows than this are not worth waking a thread for.
constexpr size_t kMinBandRows = 8;

} // namespace

BandProcessor::BandProcessor(unsigned threads)
{
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    m_workers.reserve(threads - 1);
    for (unsigned i = 1; i < threads; ++i)
        m_workers.emplace_back([this] { WorkerLoop(); });
}

BandProcessor::~BandProcessor()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_workers)
        t.join();
}

void BandProcessor::WorkerLoop()
{
    unsigned long seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop)
                return;
            seen = m_generation;
        }
        RunBands();
        std::lock_guard<std::mutex> lock(m_lock);
        if (--m_busy == 0)
            m_done.notify_one();
    }
}

void BandProcessor::RunBands()
{
    for (;;) {
        size_t first, count;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_nextRow >= m_rows)
                return;
            first = m_nextRow;
            const size_t left = m_rows - first;
            const size_t share = (left + m_shares - 1) / m_shares;
            count = std::min(left, std::max(share, m_minBand));
            m_nextRow = first + count;
        }
        (*m_job)(first, count);
    }
}

void BandProcessor::ForEachBand(size_t rows, size_t minBand,
                                const std::function<void(size_t, size_t)>& job)
{
    if (rows == 0)
        return;
    std::lock_guard<std::mutex> frame(m_frameLock);
    const size_t threads = m_workers.size() + 1;
    minBand = std::max(minBand, size_t{1});
    if (m_workers.empty() || minBand >= rows) {
        job(0, rows); // one band: no thread to wake
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_job = &job;
        m_rows = rows;
        m_minBand = minBand;
        m_shares = threads * kBandsPerShare;
        m_nextRow = 0;
        m_busy = static_cast<unsigned>(m_workers.size());
        ++m_generation;
    }
    m_wake.notify_all();
    RunBands();
    std::unique_lock<std::mutex> lock(m_lock);
    m_done.wait(lock, [&] { return m_busy == 0; });
    m_job = nullptr;
}

BOOL BandProcessor::Process(CBaseColorCorrectionFilter& filter, tagYUVBMINFOHEADER* header,
                            BYTE* in, BYTE* out)
{
    const colorcorrect::DebugTimer timer;
    // Row 0 of 0 rows: the header checks alone.
    if (!filter.ProcessRows(header, in, out, 0, 0))
        return 0;
    // As in Process: a picture without pixels has no rows to visit.
    const int64_t h = header->biHeight;
    const size_t rows = header->biWidth == 0 ? 0 : static_cast<size_t>(h < 0 ? -h : h);
    ForEachBand(rows, kMinBandRows, [&](size_t first, size_t count) {
        filter.ProcessRows(header, in, out, first, count);
    });
    timer.Report(11, 10, L"\rFull processing time %ums\r\n");
    return 1;
}

} // namespace colorcorrect
