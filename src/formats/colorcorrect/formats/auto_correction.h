#pragma once
// Corrections computed from pictures: the viewer's automatic analyses (gray,
// tone and colour balance, contrast, histogram and hue matching, match
// vectors from regions) driven as a host's correction view drives them.

#include <colorcorrect/colorcorrect.h>

#include <optional>
#include <string>
#include <vector>

namespace colorcorrect::formats {

enum class AutoKind { Gray, Tone, Colour, Contrast, HistMatch, HueMatch, Vector };

// "gray", "tone", "colour" (or "color"), "contrast", "histmatch",
// "huematch", "vector".
std::optional<AutoKind> AutoKindFromName(const std::string& name);

// A point in picture pixels: x from the left, y from the top.
struct PicturePoint {
    int x = 0;
    int y = 0;
};

// A source point and the reference point it is to match.
struct PointPair {
    PicturePoint source;
    PicturePoint reference;
};

// A region in picture pixels: left and top inclusive, right and bottom
// exclusive, rows counted from the top.
struct PictureRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct AutoRequest {
    AutoKind kind = AutoKind::Gray;
    // gray: one to three points; contrast: two.
    std::vector<PicturePoint> points;
    // tone: one pair; colour: one or three.
    std::vector<PointPair> pairs;
    // gray with one point: 0 white, 1 black, 2 gamma, 3 white and black;
    // tone: 0 white, 2 gamma, 3 white and black.
    unsigned mode = 0;
    // histmatch, huematch: the regions compared (empty: the whole picture).
    std::optional<PictureRect> sourceRect;
    std::optional<PictureRect> referenceRect;
    // vector: the source region the match vector selects, regions it is
    // widened to cover, a reference region whose colour it is carried to,
    // and the vector's number (empty: the next free one, at least 1).
    std::optional<PictureRect> rect;
    std::vector<PictureRect> widen;
    std::optional<PictureRect> to;
    std::optional<unsigned> index;
};

// Whether the kind reads the reference picture.
bool AutoNeedsReference(const AutoRequest& request);

// Empty when the request's points and regions suit its kind and lie inside
// the pictures (the reference may be null when the kind needs none);
// otherwise the message.
std::string AutoRequestProblem(const AutoRequest& request, const CVoraDib& source, const CVoraDib* reference);

// Runs the analysis on a viewer holding `source` and `reference` with
// `start` as its current correction, and gives the correction it computes:
//  gray, tone, contrast  `start` with the analysis's fields written and the
//                        primary group switched on;
//  colour                the current correction with new channel curves
//                        (primary group on);
//  histmatch, huematch   a new correction with only the primary group on
//                        (start's clipping settings kept);
//  vector                `start` with the match vector set (match vectors on,
//                        the count raised to cover it).
// Curve controls the analyses may leave one step beyond the range the engine
// uses are limited to it. False with a message when the request does not
// suit the pictures or the analysis fails.
bool RunAutoAnalysis(const AutoRequest& request, const tagCOLORCORRINFO& start, const CVoraDib& source,
                     const CVoraDib* reference, tagCOLORCORRINFO& result, std::string& error);

} // namespace colorcorrect::formats
