#include "serve_actions.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <colorcorrect/formats/correction_file.h>

#include "serve_request.h"
#include "serve_session.h"
#include "serve_state.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

using nlohmann::json;

// Mouse coordinates may leave the 384 x 288 display during a drag; anything
// beyond this is not a mouse position.
constexpr long long kMaxCoordinate = 100000;

// Value bits of the coupled drag and of the hue/saturation drag.
constexpr unsigned long kCoupledBits = 0x777 | 0x7000 | 0x10000;
constexpr unsigned long kHueSatBits = 0x100000 | 0x200000;

struct RequestError {
    int status;
    std::string message;
};

long long Int(const json& body, const char* key, long long lo, long long hi, std::optional<long long> fallback = {})
{
    const auto it = body.find(key);
    if (it == body.end()) {
        if (fallback)
            return *fallback;
        throw RequestError{400, std::string("missing ") + key};
    }
    if (!JsonIntegerIn(*it, lo, hi))
        throw RequestError{400, std::string(key) + " must be an integer in " + std::to_string(lo) + ".." +
                                    std::to_string(hi)};
    return it->get<long long>();
}

std::string Str(const json& body, const char* key)
{
    const auto it = body.find(key);
    if (it == body.end() || !it->is_string())
        throw RequestError{400, std::string("missing ") + key + " (a string)"};
    return it->get<std::string>();
}

// The engine limits every curve control to -255..255; a few analyses may
// write one step beyond. Limiting them here changes nothing in the result
// and keeps the correction one the correction files can hold.
void LimitCurveFields(tagCOLORCORRINFO& cc)
{
    int16_t* fields[] = {&cc.Base.sYWhite, &cc.Base.sYGamma, &cc.Base.sYBlack, &cc.Base.sSat,
                         &cc.Base.sRWhite, &cc.Base.sRGamma, &cc.Base.sRBlack, &cc.Base.sGWhite,
                         &cc.Base.sGGamma, &cc.Base.sGBlack, &cc.Base.sBWhite, &cc.Base.sBGamma,
                         &cc.Base.sBBlack};
    for (int16_t* f : fields)
        *f = static_cast<int16_t>(std::clamp<int>(*f, -255, 255));
}

// ---- gestures ----------------------------------------------------------------------

enum class Phase { Begin, Move, End };

json RunGesture(ServeSession& session, const json& body)
{
    const std::string kind = Str(body, "kind");
    const std::string phaseName = Str(body, "phase");
    Phase phase;
    if (phaseName == "begin")
        phase = Phase::Begin;
    else if (phaseName == "move")
        phase = Phase::Move;
    else if (phaseName == "end")
        phase = Phase::End;
    else
        throw RequestError{400, "phase must be begin, move or end"};
    const int x = static_cast<int>(Int(body, "x", -kMaxCoordinate, kMaxCoordinate));
    const int y = static_cast<int>(Int(body, "y", -kMaxCoordinate, kMaxCoordinate));

    // Parameters of the Begin, checked for every phase so that a bad request
    // never reaches the viewer.
    unsigned long target = 0, values = 0;
    unsigned int mode = 0;
    if (kind == "coupled" || kind == "huesat") {
        target = static_cast<unsigned long>(Int(body, "target", 1, 4, 1));
        if (target == 3)
            throw RequestError{400, "target must be 1 (primary), 2 (six-vector segment) or 4 (match vector)"};
        const unsigned long allowed = kind == "coupled" ? kCoupledBits : kHueSatBits;
        values = static_cast<unsigned long>(Int(body, "values", 1, 0x3FFFFF));
        if ((values & ~allowed) != 0)
            throw RequestError{400, "values has bits the " + kind + " drag does not know"};
    } else if (kind == "match") {
        mode = static_cast<unsigned int>(Int(body, "mode", 0, 8));
    } else if (kind != "histogram" && kind != "rotate" && kind != "spin") {
        throw RequestError{400, "kind must be coupled, huesat, histogram, match, rotate or spin"};
    }

    std::optional<RequestError> refused;
    json extra = json::object();
    session.WithViewer([&](ServeViewer& viewer, const tagCOLORCORRINFO& current) {
        tagCOLORCORRINFO cc = current;
        int ok = 1;
        bool changes = phase != Phase::Begin;
        if (kind == "rotate" || kind == "spin") {
            changes = false;
            if (phase == Phase::Begin)
                viewer.BeginRotate(x, y);
            else if (kind == "rotate")
                viewer.Rotate(x, y);
            else
                viewer.RotateZ(x, y);
            if (phase == Phase::End)
                viewer.EndRotate();
            int a = 0, b = 0, g = 0;
            viewer.GetAngles(a, b, g);
            extra["angles"] = {a, b, g};
        } else if (kind == "coupled") {
            ok = phase == Phase::Begin  ? viewer.BeginCoupledAdjust(x, y, target, values, cc)
                 : phase == Phase::Move ? viewer.CoupledAdjust(x, y, cc)
                                        : viewer.EndCoupledAdjust(x, y, cc);
        } else if (kind == "huesat") {
            ok = phase == Phase::Begin  ? viewer.BeginHueSatAdjust(x, y, target, values, cc)
                 : phase == Phase::Move ? viewer.HueSatAdjust(x, y, cc)
                                        : viewer.EndHueSatAdjust(x, y, cc);
        } else if (kind == "histogram") {
            ok = phase == Phase::Begin  ? viewer.BeginHistAdjust(x, y, cc)
                 : phase == Phase::Move ? viewer.HistAdjust(x, y, cc)
                                        : viewer.EndHistAdjust(x, y, cc);
        } else {
            ok = phase == Phase::Begin  ? viewer.BeginMatchAdjust(x, y, mode, cc)
                 : phase == Phase::Move ? viewer.MatchAdjust(x, y, cc)
                                        : viewer.EndMatchAdjust(x, y, cc);
        }
        if (ok == 0) {
            if (phase == Phase::Begin) {
                std::string why = "the drag cannot start here";
                if (kind == "match")
                    why = "select a match vector other than the background (vector 0) first";
                else if (kind == "histogram")
                    why = "the drag must start on the histogram display";
                refused = RequestError{409, why};
            }
            // A move the viewer declines (no drag running, the pointer on the
            // centre) leaves the correction as it is.
            extra["applied"] = false;
            return;
        }
        extra["applied"] = true;
        if (changes && std::memcmp(&cc, &current, sizeof cc) != 0) {
            // A drag that changes a group switches it on, in the same undo
            // step: an edit that shows nothing looks like a fault.
            cc.dwFlags |= kind == "match" || target == 4 ? CC_MATCH_VECTOR
                          : target == 2                  ? CC_SIX_VECTOR
                                                         : CC_PRIMARY;
            std::string error;
            if (!session.SetCorrectionLocked(cc, phase == Phase::End, error))
                refused = RequestError{422, error};
        } else if (phase == Phase::End) {
            std::string error;
            session.SetCorrectionLocked(current, true, error); // the drag's steps become one undo step
        }
    });
    if (refused)
        throw *refused;
    return extra;
}

// ---- analyses ------------------------------------------------------------------------

struct Size {
    int width, height;
};

std::vector<std::array<int, 2>> Points(const json& body, const char* key, size_t count, Size size, const char* picture)
{
    std::vector<std::array<int, 2>> points;
    if (count == 0)
        return points;
    const auto it = body.find(key);
    if (it == body.end() || !it->is_array() || it->size() != count)
        throw RequestError{400, std::string(key) + " must hold " + std::to_string(count) + " point" +
                                    (count > 1 ? "s" : "") + " [x, y] on the " + picture};
    for (const json& p : *it) {
        if (!p.is_array() || p.size() != 2 || !p[0].is_number_integer() || !p[1].is_number_integer())
            throw RequestError{400, std::string(key) + ": a point is [x, y] with two integers"};
        const long long px = p[0].get<long long>(), py = p[1].get<long long>();
        if (px < 0 || py < 0 || px >= size.width || py >= size.height)
            throw RequestError{400, "point (" + std::to_string(px) + ", " + std::to_string(py) + ") is outside the " +
                                        std::to_string(size.width) + " x " + std::to_string(size.height) + " " +
                                        picture};
        points.push_back({int(px), int(py)});
    }
    return points;
}

tagRECT Rect(const json& body, const char* key, Size size, const char* picture)
{
    const auto it = body.find(key);
    if (it == body.end() || !it->is_array() || it->size() != 4 ||
        !std::all_of(it->begin(), it->end(), [](const json& v) { return v.is_number_integer(); }))
        throw RequestError{400, std::string(key) + " must be a region [left, top, right, bottom] on the " + picture};
    const long long l = (*it)[0], t = (*it)[1], r = (*it)[2], b = (*it)[3];
    if (l < 0 || t < 0 || r > size.width || b > size.height || l >= r || t >= b)
        throw RequestError{400, std::string(key) + " must lie within the " + std::to_string(size.width) + " x " +
                                    std::to_string(size.height) + " " + picture +
                                    " with left < right and top < bottom"};
    return tagRECT{int32_t(l), int32_t(t), int32_t(r), int32_t(b)};
}

json RunAnalysis(ServeSession& session, const json& body)
{
    const std::string kind = Str(body, "kind");
    struct Need {
        const char* kind;
        size_t src, ref;
        bool srcRect, refRect;
    };
    static const Need needs[] = {
        {"gray1", 1, 0, false, false},  {"gray2", 2, 0, false, false},  {"gray3", 3, 0, false, false},
        {"tone1", 1, 1, false, false},  {"color1", 1, 1, false, false}, {"color3", 3, 3, false, false},
        {"contrast", 2, 0, false, false}, {"histo", 0, 0, true, true},  {"hue", 0, 0, true, true},
        {"mv_get", 0, 0, true, false},  {"mv_add", 0, 0, true, false},  {"mv_set", 0, 0, false, true},
    };
    const Need* need = nullptr;
    for (const Need& n : needs)
        if (kind == n.kind)
            need = &n;
    if (need == nullptr)
        throw RequestError{400, "unknown analysis \"" + kind.substr(0, 40) + "\""};

    const SessionState state = session.State();
    const Size source{state.width, state.height};
    const Size reference{state.referenceWidth, state.referenceHeight};
    const auto src = Points(body, "source", need->src, source, "source");
    const auto ref = Points(body, "reference", need->ref, reference, "reference");
    tagRECT srcRect{}, refRect{};
    if (need->srcRect)
        srcRect = Rect(body, "source_rect", source, "source");
    if (need->refRect)
        refRect = Rect(body, "reference_rect", reference, "reference");
    unsigned int mode = 0;
    if (kind == "gray1")
        mode = static_cast<unsigned int>(Int(body, "mode", 0, 3));
    if (kind == "tone1") {
        mode = static_cast<unsigned int>(Int(body, "mode", 0, 3));
        if (mode == 1)
            throw RequestError{400, "mode must be 0 (white), 2 (gamma) or 3 (white and black)"};
    }
    unsigned int vector = 0;
    if (kind == "mv_add" || kind == "mv_set") {
        const uint32_t count = UsedVectorCount(state.correction.Match);
        if (count < 2)
            throw RequestError{409, "there is no match vector to change: take one from a region first"};
        vector = static_cast<unsigned int>(Int(body, "vector", 1, count - 1));
    }

    std::optional<RequestError> refused;
    json extra = json::object();
    session.WithViewer([&](ServeViewer& viewer, const tagCOLORCORRINFO& current) {
        tagCOLORCORRINFO cc = current;
        int ok = 0;
        bool primary = true;
        if (kind == "gray1") {
            ok = viewer.GrayBalance_1pt(cc, src[0][0], src[0][1], mode);
        } else if (kind == "gray2") {
            ok = viewer.GrayBalance_2pt(cc, src[0][0], src[0][1], src[1][0], src[1][1]);
        } else if (kind == "gray3") {
            ok = viewer.GrayBalance_3pt(cc, src[0][0], src[0][1], src[1][0], src[1][1], src[2][0], src[2][1]);
        } else if (kind == "tone1") {
            ok = viewer.ToneBalance_1pt(cc, src[0][0], src[0][1], ref[0][0], ref[0][1], mode);
        } else if (kind == "color1") {
            ok = viewer.ColorBalance_1pt(cc, src[0][0], src[0][1], ref[0][0], ref[0][1]);
        } else if (kind == "color3") {
            int xs[3], ys[3], xr[3], yr[3];
            for (int i = 0; i < 3; ++i) {
                xs[i] = src[i][0];
                ys[i] = src[i][1];
                xr[i] = ref[i][0];
                yr[i] = ref[i][1];
            }
            ok = viewer.ColorBalance_3pt(cc, xs, ys, xr, yr);
        } else if (kind == "contrast") {
            ok = viewer.Contrast(cc, src[0][0], src[0][1], src[1][0], src[1][1]);
        } else if (kind == "histo") {
            ok = viewer.HistoMatch(cc, &refRect, &srcRect);
        } else if (kind == "hue") {
            ok = viewer.HueMatch(cc, &refRect, &srcRect);
        } else {
            primary = false;
            tagMATCHVECTORINFO& match = cc.Match;
            if (kind == "mv_get") {
                uint32_t count = UsedVectorCount(match);
                if (count >= 16) {
                    refused = RequestError{409, "all 16 match vectors are in use"};
                    return;
                }
                if (count == 0) {
                    match.Vector[0].Init(); // the background
                    count = 1;
                }
                tagMATCHVECTOR mv;
                mv.Init();
                ok = viewer.GetMatchVector(mv, &srcRect);
                if (ok) {
                    match.Vector[count] = mv;
                    match.dwCount = count + 1;
                    extra["vector"] = count;
                }
            } else if (kind == "mv_add") {
                ok = viewer.AddToMatchVector(match.Vector[vector], &srcRect);
            } else {
                ok = viewer.SetMatchVectorTo(match.Vector[vector], &refRect);
            }
            if (ok)
                cc.dwFlags |= CC_MATCH_VECTOR;
        }
        if (ok == 0) {
            refused = RequestError{422, "the analysis found nothing to use there (a region needs at least 10 x 10 "
                                        "pixels; points must not be black)"};
            return;
        }
        // The balances write the primary fields; they only show with the
        // primary correction switched on.
        if (primary)
            cc.dwFlags |= CC_PRIMARY;
        if (!CheckCorrection(cc).empty())
            LimitCurveFields(cc);
        std::string error;
        if (!session.SetCorrectionLocked(cc, true, error))
            refused = RequestError{422, error};
        else if (extra.contains("vector"))
            viewer.SetIsolateVector(extra["vector"].get<unsigned>());
    });
    if (refused)
        throw *refused;
    if (extra.contains("vector")) {
        ViewOptions options = session.State().options;
        options.isolateVector = extra["vector"].get<unsigned>();
        session.SetOptions(options);
    }
    return extra;
}

template <typename Run>
void Handle(ServeSession& session, const httplib::Request& req, httplib::Response& res, Run run)
{
    const json body = json::parse(req.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        SendError(res, 400, "the request body must be a JSON object");
        return;
    }
    try {
        const json extra = run(session, body);
        json answer = StateToJson(session.State());
        for (const auto& [key, value] : extra.items())
            answer[key] = value;
        SendJson(res, answer);
    } catch (const RequestError& e) {
        SendError(res, e.status, e.message);
    } catch (const json::exception& e) {
        SendError(res, 400, std::string("bad request: ") + e.what());
    }
}

} // namespace

// The charset is named for a reason beyond correctness: for
// "application/json" alone the HTTP library compresses each answer with
// brotli at its slowest setting, some 10 ms for a state of a few kilobytes,
// on the way of every change. Uncompressed they are a few kilobytes on a
// local connection.
constexpr const char* kJsonType = "application/json; charset=utf-8";

void SendJson(httplib::Response& res, const json& body)
{
    res.status = 200;
    res.set_header("Cache-Control", "no-store");
    res.set_content(body.dump(), kJsonType);
}

void SendError(httplib::Response& res, int status, const std::string& message)
{
    res.status = status;
    res.set_content(json{{"error", message}}.dump(), kJsonType);
}

void HandleGesture(ServeSession& session, const httplib::Request& req, httplib::Response& res)
{
    Handle(session, req, res, RunGesture);
}

void HandleAnalysis(ServeSession& session, const httplib::Request& req, httplib::Response& res)
{
    Handle(session, req, res, RunAnalysis);
}

} // namespace colorcorrect::cli
