#pragma once
// The JSON the page receives for a session's state: the correction in the
// correction file's form plus what the page shows around it.

#include <nlohmann/json.hpp>

#include "serve_session.h"

namespace colorcorrect::cli {

// {"correction": {...}, "sets", "undo", "redo", "source": {width, height,
// name}, "reference": {...}, "split": {x, y}, "options": {...}, "preview"};
// "correction_problem" when the correction cannot be written to a file as it is.
nlohmann::json StateToJson(const SessionState& state);

// The field catalogue, from which the page takes its controls' limits:
// {"groups": {"base" | "vector6" | "vectors": {"offset", "count", "stride",
// "fields": [{"name", "offset", "type", "min", "max", "neutral"}]}},
// "segments": [names], "flags": [{"name", "value"}], "range_flags": [...],
// "match_count": {"min", "max"}}.
nlohmann::json FieldCatalogueToJson();

} // namespace colorcorrect::cli
