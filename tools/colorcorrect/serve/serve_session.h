#pragma once
// One browser session of `colorcorrect serve`: a viewer with its preview
// worker, the correction being worked on with its undo and redo history,
// and the display options the page chose.
//
// Every public operation takes the session's lock, so requests of one
// session run one at a time on its viewer (the viewer's own rule) while other
// sessions go on undisturbed. Holding the lock from outside (Hold) lets a
// caller run several viewer operations as one step.

#include <colorcorrect/colorcorrect.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include <colorcorrect/formats/rgb_image.h>

#include "preview_sink.h"
#include "serve_request.h"
#include "serve_viewer.h"

namespace colorcorrect::cli {

// Number of corrections kept for undo (the oldest are dropped).
inline constexpr size_t kServeUndoDepth = 200;

struct SessionState {
    tagCOLORCORRINFO correction{};
    unsigned sets = 0;           // saved sets in use, 0..32
    size_t undo = 0, redo = 0;   // steps available
    int width = 0, height = 0;   // full-size source in pixels
    int referenceWidth = 0, referenceHeight = 0;
    int splitX = 0, splitY = 0;  // see CColorCorrectionViewer::SetSplit
    ViewOptions options;
    uint64_t preview = 0;        // sequence number of the latest preview
    std::string sourceName, referenceName; // "" for the default picture
};

class ServeSession {
public:
    using Clock = std::chrono::steady_clock;

    explicit ServeSession(std::string id);
    // Stops the preview worker and wakes the page's event streams.
    ~ServeSession();

    ServeSession(const ServeSession&) = delete;
    ServeSession& operator=(const ServeSession&) = delete;

    const std::string& Id() const { return m_id; }
    PreviewSink& Previews() { return *m_sink; }

    // Loads the default pictures and starts the preview worker. False with a
    // message when the default picture cannot be loaded.
    bool Start(std::string& error);

    // Marks the session as used now; LastUsed is what idle expiry looks at.
    void Touch();
    Clock::time_point LastUsed() const;

    // The event streams open on the session: a page that holds one is there
    // even while nobody touches it. AddStream is false, adding none, when
    // `most` are open already.
    bool AddStream(unsigned most);
    void RemoveStream();
    unsigned Streams() const { return m_streams; }

    SessionState State();

    // Makes `cc` the current correction. With `commit`, the correction before
    // the last commit goes onto the undo list (the in-between steps of a drag
    // or a slider are not kept) and the redo list is emptied. False, with
    // nothing changed, when the viewer refuses the record.
    bool SetCorrection(const tagCOLORCORRINFO& cc, bool commit, std::string& error);
    // One step back or forward. False when there is none.
    bool Undo();
    bool Redo();

    // Saved sets, as the viewer keeps them. RecallSet makes a set the current
    // (committed) correction; false when nSet is not in use.
    unsigned DefineSet();
    bool RecallSet(unsigned nSet);
    bool DeleteSet(unsigned nSet);
    void ClearSets();

    // New source or reference pictures. False with a message when the
    // viewer cannot take them.
    bool SetSource(const formats::RgbImage& image, const std::string& name, std::string& error);
    bool SetReference(const formats::RgbImage& image, const std::string& name, std::string& error);

    void SetSplit(int x, int y);
    // Options already checked by the caller (ranges of ViewOptions).
    void SetOptions(const ViewOptions& options);

    // The scope display of `type` (1, 2, 4, 5, 6, 7) as a 384 x 288 picture,
    // top row first. False when the viewer refuses.
    bool Scope(unsigned type, formats::RgbImage& scope);
    // The full-size source (uncorrected) or reference. False when there is none.
    bool SourceImage(formats::RgbImage& image);
    bool ReferenceImage(formats::RgbImage& image);
    // The full-size source with the current correction.
    bool CorrectedImage(formats::RgbImage& image, std::string& error);

    // Runs `step` with the session's lock held, handing it the viewer and the
    // current correction (a copy; SetCorrectionLocked makes a change current).
    // For gestures and analyses, which take several viewer calls.
    void WithViewer(const std::function<void(ServeViewer& viewer, const tagCOLORCORRINFO& current)>& step);
    // As SetCorrection, for use inside WithViewer.
    bool SetCorrectionLocked(const tagCOLORCORRINFO& cc, bool commit, std::string& error);

private:
    bool Commit();
    static bool DibToImage(const CVoraDib& dib, formats::RgbImage& image);

    const std::string m_id;
    std::shared_ptr<PreviewSink> m_sink;
    mutable std::mutex m_lock;          // serialises the viewer's operations
    mutable std::mutex m_usedLock;      // guards m_lastUsed only, so expiry never waits on a busy viewer
    Clock::time_point m_lastUsed;
    std::atomic<unsigned> m_streams{0};
    std::unique_ptr<ServeViewer> m_viewer;
    tagCOLORCORRINFO m_current{};       // as the viewer has it
    tagCOLORCORRINFO m_committed{};     // the correction at the last commit
    std::deque<tagCOLORCORRINFO> m_undo, m_redo;
    ViewOptions m_options;
    int m_splitX = 0, m_splitY = 0;
    std::string m_sourceName, m_referenceName;
};

} // namespace colorcorrect::cli
