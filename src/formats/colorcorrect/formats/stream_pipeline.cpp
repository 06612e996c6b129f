#include "stream_pipeline.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "frame_convert.h"

namespace colorcorrect::formats {

namespace {

struct Slot {
    Y4mFrame frame;
    uint64_t index = 0;
};

class Pipeline {
public:
    Pipeline(Y4mReader& reader, Y4mWriter& writer, const PictureProcessor& process,
             const PipelineOptions& options, unsigned threads)
        : m_reader(reader), m_writer(writer), m_process(process), m_options(options),
          m_converter(reader.Header(), options.asProgressive, options.matrix,
                      options.range.value_or(Y4mColorRange(reader.Header()).value_or(YuvRange::Limited))),
          m_threads(threads)
    {
    }

    PipelineResult Run()
    {
        const size_t slots = size_t(m_threads) * std::max(1u, m_options.framesPerThread) + 2;
        try {
            m_slots.resize(slots);
            for (Slot& s : m_slots)
                m_free.push_back(&s);
        } catch (const std::bad_alloc&) {
            Fail(PipelineResult::Failure::Process, "not enough memory");
        }

        std::vector<std::thread> threads;
        try {
            threads.emplace_back([this] { ReadLoop(); });
            for (unsigned i = 0; i < m_threads; ++i)
                threads.emplace_back([this] { WorkLoop(); });
        } catch (const std::exception&) {
            Fail(PipelineResult::Failure::Process, "cannot start the worker threads");
        }
        WriteLoop();
        for (std::thread& t : threads)
            t.join();

        PipelineResult result;
        result.failure = m_failure;
        result.error = m_error;
        if (m_failure == PipelineResult::Failure::None && !m_readError.empty()) {
            result.failure = PipelineResult::Failure::Read;
            result.error = m_readError;
        }
        result.frames = m_written;
        result.threads = m_threads;
        return result;
    }

private:
    void Fail(PipelineResult::Failure where, const std::string& message)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_failure != PipelineResult::Failure::None)
                return;
            m_failure = where;
            m_error = message;
        }
        m_changed.notify_all();
        m_reader.Interrupt();
    }

    bool Failed() const { return m_failure != PipelineResult::Failure::None; }

    void ReadLoop()
    {
        try {
            for (uint64_t index = 0;; ++index) {
                Slot* slot = nullptr;
                {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_changed.wait(lock, [this] { return Failed() || !m_free.empty(); });
                    if (Failed())
                        return;
                    slot = m_free.front();
                    m_free.pop_front();
                }
                std::string error;
                const Y4mReader::Result r = m_reader.ReadFrame(slot->frame, error);
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    if (r != Y4mReader::Result::Frame) {
                        // A damaged or cut input ends the stream like its end
                        // does: the complete frames before it are corrected
                        // and written first, and then the failure is reported.
                        m_free.push_back(slot);
                        m_readerDone = true;
                        m_total = index;
                        m_readError = error;
                    } else {
                        slot->index = index;
                        m_work.push_back(slot);
                    }
                }
                m_changed.notify_all();
                if (r != Y4mReader::Result::Frame)
                    return;
            }
        } catch (const std::bad_alloc&) {
            Fail(PipelineResult::Failure::Read, "not enough memory");
        } catch (const std::exception& e) {
            Fail(PipelineResult::Failure::Read, e.what());
        }
    }

    void WorkLoop()
    {
        try {
            FrameConverter::Scratch scratch;
            for (;;) {
                Slot* slot = nullptr;
                {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    m_changed.wait(lock, [this] { return Failed() || !m_work.empty() || m_readerDone; });
                    if (Failed() || m_work.empty())
                        return;
                    slot = m_work.front();
                    m_work.pop_front();
                }
                if (!m_converter.CorrectFrame(slot->frame.data.data(), m_process, scratch, m_options.chromaLo,
                                              m_options.chromaHi)) {
                    Fail(PipelineResult::Failure::Process,
                         "frame " + std::to_string(slot->index + 1) + " could not be corrected");
                    return;
                }
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_done.emplace(slot->index, slot);
                }
                m_changed.notify_all();
            }
        } catch (const std::bad_alloc&) {
            Fail(PipelineResult::Failure::Process, "not enough memory");
        } catch (const std::exception& e) {
            Fail(PipelineResult::Failure::Process, e.what());
        }
    }

    void WriteLoop()
    {
        for (uint64_t next = 0;; ++next) {
            Slot* slot = nullptr;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_changed.wait(lock, [this, next] {
                    return Failed() || m_done.count(next) != 0 || (m_readerDone && next == m_total);
                });
                if (Failed() || (m_readerDone && next == m_total && m_done.count(next) == 0))
                    return;
                const auto it = m_done.find(next);
                slot = it->second;
                m_done.erase(it);
            }
            std::string error;
            if (!m_writer.WriteFrame(slot->frame, error)) {
                Fail(PipelineResult::Failure::Write, error);
                return;
            }
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_free.push_back(slot);
                m_written = next + 1;
            }
            m_changed.notify_all();
            if (m_options.onFrameWritten)
                m_options.onFrameWritten(next + 1);
        }
    }

    Y4mReader& m_reader;
    Y4mWriter& m_writer;
    const PictureProcessor& m_process;
    const PipelineOptions& m_options;
    const FrameConverter m_converter;
    const unsigned m_threads;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Slot> m_slots;
    std::deque<Slot*> m_free;
    std::deque<Slot*> m_work;
    std::map<uint64_t, Slot*> m_done;
    bool m_readerDone = false;
    uint64_t m_total = 0;
    uint64_t m_written = 0;
    std::string m_readError; // the input's failure after its last complete frame
    PipelineResult::Failure m_failure = PipelineResult::Failure::None;
    std::string m_error;
};

} // namespace

uint64_t PipelineBytesPerWorker(const Y4mHeader& header, const PipelineOptions& options)
{
    return uint64_t{std::max(1u, options.framesPerThread)} * header.FrameBytes() + FrameConverter::ScratchBytes(header);
}

unsigned PipelineThreads(const PipelineOptions& options)
{
    return options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
}

PipelineResult RunStreamPipeline(Y4mReader& reader, Y4mWriter& writer, const PictureProcessor& process,
                                 const PipelineOptions& options)
{
    if (const char* refusal = FrameConverter::Refusal(reader.Header(), options.asProgressive)) {
        PipelineResult result;
        result.failure = PipelineResult::Failure::Read;
        result.error = refusal;
        return result;
    }
    Pipeline pipeline(reader, writer, process, options, PipelineThreads(options));
    return pipeline.Run();
}

} // namespace colorcorrect::formats
