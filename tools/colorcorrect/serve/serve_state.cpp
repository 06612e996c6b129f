#include "serve_state.h"

#include <colorcorrect/formats/correction_file.h>

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

nlohmann::json StateToJson(const SessionState& s)
{
    nlohmann::json state;
    const std::string problem = CheckCorrection(s.correction);
    state["correction"] = nlohmann::json::parse(CorrectionToJson(s.correction), nullptr, false);
    if (!problem.empty())
        state["correction_problem"] = problem;
    state["sets"] = s.sets;
    state["undo"] = s.undo;
    state["redo"] = s.redo;
    state["source"] = {{"width", s.width}, {"height", s.height}, {"name", s.sourceName}};
    state["reference"] = {{"width", s.referenceWidth}, {"height", s.referenceHeight}, {"name", s.referenceName}};
    state["split"] = {{"x", s.splitX}, {"y", s.splitY}};
    state["options"] = {{"channel", s.options.channel},
                        {"intensity", s.options.intensity},
                        {"six_vector", s.options.sixVector},
                        {"isolate_vector", s.options.isolateVector},
                        {"isolate_type", s.options.isolateType}};
    state["preview"] = s.preview;
    return state;
}

} // namespace colorcorrect::cli
