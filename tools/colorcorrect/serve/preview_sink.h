#pragma once
// Where a session's previews arrive: the viewer's worker thread hands each
// finished preview to OnViewerPreview, which encodes it as JPEG and wakes the
// page's event streams waiting in WaitForNewer.
//
// The viewer's callback carries only a number, so sinks are found through a
// registry of weak references: a worker still inside a callback when its
// session goes away keeps the sink alive until the callback returns, and a
// callback for a sink that is gone does nothing.

#include <colorcorrect/colorcorrect.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace colorcorrect::cli {

// One encoded preview.
struct EncodedPreview {
    uint64_t sequence = 0;           // 1 for the first preview, then counting up; 0: none yet
    int width = 0, height = 0;       // pixels
    std::shared_ptr<const std::vector<uint8_t>> jpeg; // the picture; null when none
};

class PreviewSink : public std::enable_shared_from_this<PreviewSink> {
public:
    // Makes a sink and registers it; its Key() is what the viewer hands back.
    static std::shared_ptr<PreviewSink> Create();
    ~PreviewSink();

    PreviewSink(const PreviewSink&) = delete;
    PreviewSink& operator=(const PreviewSink&) = delete;

    // The value to give CColorCorrectionViewer::SetPreview with OnViewerPreview.
    unsigned long Key() const { return m_key; }

    // The viewer's preview callback (runs on its worker thread).
    static int OnViewerPreview(CVoraDib& picture, unsigned long key);

    // Encodes a packed YUV picture and makes it the latest preview. False
    // when it is not one or cannot be encoded.
    bool Store(const CVoraDib& picture);

    EncodedPreview Latest() const;
    // Waits until a preview newer than `after` exists, Close was called or
    // `timeout` has passed; returns the latest preview either way.
    EncodedPreview WaitForNewer(uint64_t after, std::chrono::milliseconds timeout);
    // Wakes every waiter for good (the session ends or the server stops).
    void Close();
    bool Closed() const;

private:
    explicit PreviewSink(unsigned long key) : m_key(key) {}

    const unsigned long m_key;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    EncodedPreview m_latest;
    bool m_closed = false;
};

} // namespace colorcorrect::cli
