// colorcorrect auto: computes a correction from picked points or regions of
// a source picture (and a reference picture) with the viewer's analyses.

#include <charconv>
#include <new>
#include <string_view>

#include <colorcorrect/formats/auto_correction.h>
#include <colorcorrect/formats/file_io.h>

#include "command_support.h"
#include "commands.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "auto";

// Whole decimal numbers separated by commas, exactly `count` of them.
bool ParseInts(std::string_view text, int* values, int count)
{
    for (int i = 0; i < count; ++i) {
        const size_t comma = text.find(',');
        const bool last = i == count - 1;
        if (last != (comma == std::string_view::npos))
            return false;
        std::string_view part = text.substr(0, comma);
        if (!part.empty() && part.front() == '+')
            part.remove_prefix(1);
        const char* end = part.data() + part.size();
        const auto [ptr, ec] = std::from_chars(part.data(), end, values[i]);
        if (part.empty() || ec != std::errc() || ptr != end)
            return false;
        if (!last)
            text.remove_prefix(comma + 1);
    }
    return true;
}

bool ParsePoint(std::string_view text, PicturePoint& p)
{
    int v[2];
    if (!ParseInts(text, v, 2))
        return false;
    p = {v[0], v[1]};
    return true;
}

bool ParseRect(const std::string& text, const char* option, std::optional<PictureRect>& rect, std::string& error)
{
    if (text.empty())
        return true;
    int v[4];
    if (!ParseInts(text, v, 4)) {
        error = std::string(option) + " '" + text + "': expected a region LEFT,TOP,RIGHT,BOTTOM in pixels";
        return false;
    }
    rect = PictureRect{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseRequest(const AutoOptions& o, AutoRequest& r, std::string& error)
{
    const std::optional<AutoKind> kind = AutoKindFromName(o.kind);
    if (!kind) {
        error = "unknown analysis '" + o.kind + "': expected gray, tone, colour, contrast, histmatch, huematch or vector";
        return false;
    }
    r.kind = *kind;
    for (const std::string& text : o.points) {
        const size_t colon = text.find(':');
        if (colon == std::string::npos) {
            PicturePoint p;
            if (!ParsePoint(text, p)) {
                error = "point '" + text + "': expected X,Y in pixels (or a pair SX,SY:RX,RY)";
                return false;
            }
            r.points.push_back(p);
        } else {
            PointPair pair;
            if (!ParsePoint(std::string_view(text).substr(0, colon), pair.source) ||
                !ParsePoint(std::string_view(text).substr(colon + 1), pair.reference)) {
                error = "point pair '" + text + "': expected SX,SY:RX,RY in pixels";
                return false;
            }
            r.pairs.push_back(pair);
        }
    }
    if (!o.mode.empty()) {
        if (o.mode == "white")
            r.mode = 0;
        else if (o.mode == "black")
            r.mode = 1;
        else if (o.mode == "gamma")
            r.mode = 2;
        else if (o.mode == "both")
            r.mode = 3;
        else {
            error = "--mode '" + o.mode + "': expected white, black, gamma or both";
            return false;
        }
        if (r.kind != AutoKind::Gray && r.kind != AutoKind::Tone) {
            error = "--mode is for gray and tone";
            return false;
        }
    }
    if (!ParseRect(o.sourceRect, "--source-rect", r.sourceRect, error) ||
        !ParseRect(o.referenceRect, "--reference-rect", r.referenceRect, error) ||
        !ParseRect(o.rect, "--rect", r.rect, error) || !ParseRect(o.to, "--to", r.to, error))
        return false;
    for (const std::string& w : o.widen) {
        std::optional<PictureRect> rect;
        if (!ParseRect(w, "--widen", rect, error))
            return false;
        if (rect)
            r.widen.push_back(*rect);
    }
    if (o.index >= 0)
        r.index = static_cast<unsigned>(o.index);
    return true;
}

} // namespace

int RunAuto(const AutoOptions& o)
{
    try {
        AutoRequest request;
        std::string error;
        if (!ParseRequest(o, request, error))
            return Fail(kCommand, error);
        int fromStdin = 0;
        for (const std::string* path : {&o.correction, &o.source, &o.reference})
            fromStdin += IsStdio(*path) ? 1 : 0;
        if (fromStdin > 1)
            return Fail(kCommand, "only one of the inputs can come from standard input");
        if (AutoNeedsReference(request) && o.reference.empty())
            return Fail(kCommand, "this analysis needs a reference picture (--reference)");
        if (!AutoNeedsReference(request) && !o.reference.empty())
            return Fail(kCommand, "--reference: this analysis does not use a reference picture");

        tagCOLORCORRINFO start = DefaultCorrection();
        if (!o.correction.empty() && !LoadCorrection(kCommand, o.correction, start))
            return 1;
        CVoraDib source, reference;
        if (!LoadYuvPicture(kCommand, o.source, source))
            return 1;
        if (!o.reference.empty() && !LoadYuvPicture(kCommand, o.reference, reference))
            return 1;

        tagCOLORCORRINFO result;
        if (!RunAutoAnalysis(request, start, source, o.reference.empty() ? nullptr : &reference, result, error))
            return Fail(kCommand, DisplayName(o.source, "standard input"), error);
        return WriteCorrectionFile(kCommand, o.output, result) ? 0 : 1;
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
