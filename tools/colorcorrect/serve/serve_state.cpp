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

namespace {

nlohmann::json GroupToJson(const FieldGroup& g)
{
    static constexpr const char* kTypes[] = {"u8", "i8", "i16"};
    nlohmann::json fields = nlohmann::json::array();
    for (const CorrectionField& f : g.fields)
        fields.push_back({{"name", f.name},
                          {"offset", f.offset},
                          {"type", kTypes[static_cast<int>(f.type)]},
                          {"min", f.min},
                          {"max", f.max},
                          {"neutral", f.neutral}});
    return {{"offset", g.offset}, {"count", g.count}, {"stride", g.stride}, {"fields", fields}};
}

nlohmann::json BitsToJson(std::span<const FlagBit> bits)
{
    nlohmann::json list = nlohmann::json::array();
    for (const FlagBit& b : bits)
        list.push_back({{"name", b.name}, {"value", b.value}});
    return list;
}

} // namespace

nlohmann::json FieldCatalogueToJson()
{
    nlohmann::json schema;
    for (const FieldGroup* g : {&kBaseGroup, &kSegmentGroup, &kMatchVectorGroup})
        schema["groups"][g->name] = GroupToJson(*g);
    schema["segments"] = SegmentNames();
    schema["flags"] = BitsToJson(CorrectionFlagBits());
    schema["range_flags"] = BitsToJson(RangeFlagBits());
    schema["match_count"] = {{"min", 0}, {"max", kMatchVectorSlots}};
    return schema;
}

} // namespace colorcorrect::cli
