#pragma once
// What a viewer shares with the preview workers it starts.
//
// A worker that does not stop in time (its host callback blocks) is abandoned,
// not killed, and may outlive its viewer. So the lock, the wake-up event and
// the record of which worker is the viewer's current one live in this block,
// which stays alive as long as the viewer or any of its workers holds it. A
// worker touches the viewer only while holding the lock and only while it is
// still current; the viewer stops being reachable (viewer null) before it is
// destroyed.

#include <memory>

#include "../host/os_critical_section.h"
#include "../host/os_event.h"
#include "../host/win_types.h"

class CColorCorrectionViewer;

namespace colorcorrect {

struct PreviewSharedState {
    explicit PreviewSharedState(CColorCorrectionViewer* owner)
        : lock(0), wake(nullptr, 1, 0, nullptr), viewer(owner)
    {
    }

    COSCriticalSection lock; // the viewer lock
    COSEvent wake;           // manual reset, initially clear

    // Guarded by lock.
    CColorCorrectionViewer* viewer; // null once the viewer is being destroyed
    // Counts the workers stopped so far. A worker is the current one while
    // this still holds the value it was started with.
    unsigned long generation = 0;

    // True (lock held) while the worker started at `started` may still touch
    // the viewer and call back.
    bool IsCurrent(unsigned long started) const { return viewer != nullptr && generation == started; }
};

// Handed to a new worker thread, which takes it over.
struct PreviewWorkerStart {
    std::shared_ptr<PreviewSharedState> shared;
    unsigned long generation = 0;
};

} // namespace colorcorrect
