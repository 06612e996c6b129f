#pragma once
// The engine set-up the viewer hands to its preview worker.
//
// The viewer builds its filter's tables once per correction change and
// publishes a copy of them here: an immutable block, shared by reference
// count, that the worker takes under the viewer lock and adopts instead of
// building the same tables (match index and tables, pair tables) again. A
// block is complete before it is published and never changes afterwards, so
// the worker never sees a set-up half built; a block the worker cannot use
// (another record or isolate display, or a copy that lacks a buffer) leaves
// it to set up its own filter as before.

#include <cstring>
#include <memory>

#include "../engine/base_color_correction_filter.h"
#include "../records/correction_records.h"

namespace colorcorrect {

struct PreviewSetup {
    tagCOLORCORRINFO cc{};          // the record the tables were built from
    unsigned int isolateVector = 0; // isolate settings in force in the match index
    unsigned int isolateType = 0;
    CBaseColorCorrectionFilter engine; // the tables, indexes and fast-path tables

    // A copy of `filter`'s engine, set up from cc with the given isolate
    // settings, or null when memory for a complete copy cannot be had.
    static std::shared_ptr<const PreviewSetup> Make(const CBaseColorCorrectionFilter& filter,
                                                    const tagCOLORCORRINFO& cc,
                                                    unsigned int isolateVector,
                                                    unsigned int isolateType);

    // True when these tables are what a set-up from `record` with these
    // isolate settings builds.
    bool Serves(const tagCOLORCORRINFO& record, unsigned int vector, unsigned int type) const
    {
        return isolateVector == vector && isolateType == type &&
               std::memcmp(&cc, &record, sizeof cc) == 0;
    }
};

} // namespace colorcorrect
