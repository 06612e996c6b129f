#pragma once
// Where a session's previews arrive: the viewer's worker thread hands each
// finished preview to OnViewerPreview, which keeps a copy and wakes the
// page's event streams waiting in WaitForNewer. The page then asks for the
// preview at the size it shows it (Encoded), so that a large picture is not
// sent whole to be shown small.
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

// One preview, and the JPEG of it that Encoded made.
struct EncodedPreview {
    uint64_t sequence = 0;           // 1 for the first preview, then counting up; 0: none yet
    int width = 0, height = 0;       // pixels of the full-size preview
    std::shared_ptr<const std::vector<uint8_t>> jpeg; // the picture (from Encoded only); null when none
    int jpegWidth = 0, jpegHeight = 0;                 // its size
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

    // Makes a packed YUV picture the latest preview, taking its block; the
    // picture gets the block of the preview before (empty when that is still
    // being read or there was none). False, the picture untouched, when
    // there is no memory for the hold on it or it is empty.
    bool Store(CVoraDib& picture);

    // The latest preview's number and size (no JPEG).
    EncodedPreview Latest() const;
    // The latest preview as JPEG, scaled down (area average) to fit within
    // maxWidth x maxHeight with its shape kept (0: no limit), never up. The
    // last one made is kept for the next request of the same size. No JPEG
    // when there is no preview yet or it cannot be encoded.
    EncodedPreview Encoded(int maxWidth, int maxHeight);
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
    EncodedPreview m_latest;                    // without a JPEG
    std::shared_ptr<CVoraDib> m_picture;        // its pixels, a block of its own
    const CVoraDib* m_reading = nullptr;        // the picture an encoding reads (guarded by m_mutex)
    std::mutex m_encodeMutex;                   // one encoding at a time; guards m_encoded
    EncodedPreview m_encoded;                   // the last JPEG made
    bool m_closed = false;
};

} // namespace colorcorrect::cli
