#include "auto_correction.h"

#include <algorithm>
#include <memory>
#include <new>

namespace colorcorrect::formats {

namespace {

// The smallest region the histogram and hue matching work on.
constexpr int kMinMatchRegion = 10;

std::string Text(const PicturePoint& p)
{
    return std::to_string(p.x) + "," + std::to_string(p.y);
}

std::string Text(const PictureRect& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

std::string SizeText(const CVoraDib& picture)
{
    return std::to_string(picture.GetWidth()) + " x " + std::to_string(picture.GetHeight());
}

std::string PointProblem(const PicturePoint& p, const CVoraDib& picture, const char* which)
{
    if (p.x < 0 || p.y < 0 || p.x >= picture.GetWidth() || p.y >= picture.GetHeight())
        return "point " + Text(p) + " lies outside the " + SizeText(picture) + " " + which + " picture";
    return {};
}

std::string RectProblem(const PictureRect& r, const CVoraDib& picture, const char* which, int minSize)
{
    if (r.left < 0 || r.top < 0 || r.right > picture.GetWidth() || r.bottom > picture.GetHeight() ||
        r.left >= r.right || r.top >= r.bottom)
        return "region " + Text(r) + " is not a region of the " + SizeText(picture) + " " + which +
               " picture (left,top,right,bottom with right and bottom exclusive)";
    if (r.right - r.left < minSize || r.bottom - r.top < minSize)
        return "region " + Text(r) + " of the " + which + " picture is smaller than " + std::to_string(minSize) +
               " x " + std::to_string(minSize) + " pixels";
    return {};
}

tagRECT ToRect(const PictureRect& r)
{
    return {r.left, r.top, r.right, r.bottom};
}

int16_t Limit(int16_t value, int limit)
{
    return static_cast<int16_t>(std::clamp<int>(value, -limit, limit));
}

// The analyses may leave a curve control one step beyond the range the
// engine works with (it would limit it there anyway); correction files hold
// only that range.
void LimitControls(tagCOLORCORRINFO& cc)
{
    tagBASECOLORCORRINFO& b = cc.Base;
    for (int16_t* v : {&b.sYWhite, &b.sYGamma, &b.sYBlack, &b.sSat, &b.sRWhite, &b.sRGamma, &b.sRBlack,
                       &b.sGWhite, &b.sGGamma, &b.sGBlack, &b.sBWhite, &b.sBGamma, &b.sBBlack})
        *v = Limit(*v, 255);
    b.sHue = Limit(b.sHue, 256);
    for (tagMATCHVECTOR& m : cc.Match.Vector) {
        for (int16_t* v : {&m.sWhite, &m.sGamma, &m.sBlack, &m.sSat, &m.sUOffset, &m.sVOffset})
            *v = Limit(*v, 255);
        m.sHue = Limit(m.sHue, 256);
    }
}

// The vector number a request writes: the one asked for, else the next free
// one (vector 0 is the background).
unsigned VectorIndex(const AutoRequest& request, const tagCOLORCORRINFO& start)
{
    if (request.index)
        return *request.index;
    const bool on = (start.dwFlags & CC_MATCH_VECTOR) != 0;
    return on ? std::max<unsigned>(1, start.Match.dwCount) : 1;
}

} // namespace

std::optional<AutoKind> AutoKindFromName(const std::string& name)
{
    if (name == "gray" || name == "grey")
        return AutoKind::Gray;
    if (name == "tone")
        return AutoKind::Tone;
    if (name == "colour" || name == "color")
        return AutoKind::Colour;
    if (name == "contrast")
        return AutoKind::Contrast;
    if (name == "histmatch")
        return AutoKind::HistMatch;
    if (name == "huematch")
        return AutoKind::HueMatch;
    if (name == "vector")
        return AutoKind::Vector;
    return std::nullopt;
}

bool AutoNeedsReference(const AutoRequest& r)
{
    switch (r.kind) {
    case AutoKind::Tone:
    case AutoKind::Colour:
    case AutoKind::HistMatch:
    case AutoKind::HueMatch:
        return true;
    case AutoKind::Vector:
        return r.to.has_value();
    case AutoKind::Gray:
    case AutoKind::Contrast:
        break;
    }
    return false;
}

std::string AutoRequestProblem(const AutoRequest& r, const CVoraDib& source, const CVoraDib* reference)
{
    if (static_cast<const tagDIBINFO*>(source) == nullptr)
        return "no source picture";
    if (AutoNeedsReference(r) && (reference == nullptr || static_cast<const tagDIBINFO*>(*reference) == nullptr))
        return "this analysis needs a reference picture (--reference)";
    const size_t points = r.points.size(), pairs = r.pairs.size();
    switch (r.kind) {
    case AutoKind::Gray:
        if (points < 1 || points > 3 || pairs != 0)
            return "gray takes one, two or three points X,Y of the source";
        if (points > 1 && r.mode != 0)
            return "--mode is for gray with one point";
        if (r.mode > 3)
            return "gray --mode is white, black, gamma or both";
        break;
    case AutoKind::Tone:
        if (pairs != 1 || points != 0)
            return "tone takes one point pair SX,SY:RX,RY (source point, reference point)";
        if (r.mode == 1 || r.mode > 3)
            return "tone --mode is white, gamma or both";
        break;
    case AutoKind::Colour:
        if ((pairs != 1 && pairs != 3) || points != 0)
            return "colour takes one or three point pairs SX,SY:RX,RY (source point, reference point)";
        break;
    case AutoKind::Contrast:
        if (points != 2 || pairs != 0)
            return "contrast takes two points X,Y of the source (a dark and a bright one)";
        break;
    case AutoKind::HistMatch:
    case AutoKind::HueMatch:
    case AutoKind::Vector:
        if (points != 0 || pairs != 0)
            return "this analysis takes regions, not points";
        break;
    }
    if (r.kind != AutoKind::Gray && r.kind != AutoKind::Tone && r.mode != 0)
        return "--mode is for gray and tone";
    const bool matching = r.kind == AutoKind::HistMatch || r.kind == AutoKind::HueMatch;
    if (!matching && (r.sourceRect || r.referenceRect))
        return "--source-rect and --reference-rect are for histmatch and huematch";
    if (r.kind != AutoKind::Vector && (r.rect || !r.widen.empty() || r.to || r.index))
        return "--rect, --widen, --to and --index are for vector";
    if (r.kind == AutoKind::Vector && !r.rect)
        return "vector needs the source region it selects (--rect L,T,R,B)";
    if (r.index && (*r.index < 1 || *r.index > 15))
        return "--index " + std::to_string(*r.index) + " is outside 1..15 (vector 0 is the background)";

    for (const PicturePoint& p : r.points)
        if (std::string e = PointProblem(p, source, "source"); !e.empty())
            return e;
    for (const PointPair& p : r.pairs) {
        if (std::string e = PointProblem(p.source, source, "source"); !e.empty())
            return e;
        if (std::string e = PointProblem(p.reference, *reference, "reference"); !e.empty())
            return e;
    }
    if (r.sourceRect)
        if (std::string e = RectProblem(*r.sourceRect, source, "source", kMinMatchRegion); !e.empty())
            return e;
    if (r.referenceRect)
        if (std::string e = RectProblem(*r.referenceRect, *reference, "reference", kMinMatchRegion); !e.empty())
            return e;
    if (matching) {
        if (!r.sourceRect && (source.GetWidth() < kMinMatchRegion || source.GetHeight() < kMinMatchRegion))
            return "the source picture is smaller than 10 x 10 pixels";
        if (!r.referenceRect && (reference->GetWidth() < kMinMatchRegion || reference->GetHeight() < kMinMatchRegion))
            return "the reference picture is smaller than 10 x 10 pixels";
    }
    if (r.rect)
        if (std::string e = RectProblem(*r.rect, source, "source", 1); !e.empty())
            return e;
    for (const PictureRect& w : r.widen)
        if (std::string e = RectProblem(w, source, "source", 1); !e.empty())
            return e;
    if (r.to)
        if (std::string e = RectProblem(*r.to, *reference, "reference", 1); !e.empty())
            return e;
    return {};
}

bool RunAutoAnalysis(const AutoRequest& r, const tagCOLORCORRINFO& start, const CVoraDib& source,
                     const CVoraDib* reference, tagCOLORCORRINFO& result, std::string& error)
{
    error = AutoRequestProblem(r, source, reference);
    if (!error.empty())
        return false;
    if (r.kind == AutoKind::Vector && !r.index && VectorIndex(r, start) > 15) {
        error = "all 16 match vectors are in use: choose the one to replace with --index";
        return false;
    }
    try {
        auto viewer = std::make_unique<CColorCorrectionViewer>();
        CVoraDib copy = source;
        if (viewer->SetSource(copy) == 0) {
            error = "the viewer could not prepare the source picture";
            return false;
        }
        if (reference != nullptr) {
            CVoraDib refCopy = *reference;
            if (viewer->SetReference(refCopy) == 0) {
                error = "the viewer could not prepare the reference picture";
                return false;
            }
        }
        if (viewer->SetCorrection(start) == 0) {
            error = "the viewer refused the starting correction";
            return false;
        }

        tagCOLORCORRINFO cc = start;
        int ok = 0;
        switch (r.kind) {
        case AutoKind::Gray: {
            const std::vector<PicturePoint>& p = r.points;
            if (p.size() == 1)
                ok = viewer->GrayBalance_1pt(cc, p[0].x, p[0].y, r.mode);
            else if (p.size() == 2)
                ok = viewer->GrayBalance_2pt(cc, p[0].x, p[0].y, p[1].x, p[1].y);
            else
                ok = viewer->GrayBalance_3pt(cc, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            cc.dwFlags |= CC_PRIMARY;
            break;
        }
        case AutoKind::Tone: {
            const PointPair& p = r.pairs[0];
            ok = viewer->ToneBalance_1pt(cc, p.source.x, p.source.y, p.reference.x, p.reference.y, r.mode);
            cc.dwFlags |= CC_PRIMARY;
            break;
        }
        case AutoKind::Colour: {
            if (r.pairs.size() == 1) {
                const PointPair& p = r.pairs[0];
                ok = viewer->ColorBalance_1pt(cc, p.source.x, p.source.y, p.reference.x, p.reference.y);
            } else {
                int xs[3], ys[3], xr[3], yr[3];
                for (int i = 0; i < 3; ++i) {
                    xs[i] = r.pairs[i].source.x;
                    ys[i] = r.pairs[i].source.y;
                    xr[i] = r.pairs[i].reference.x;
                    yr[i] = r.pairs[i].reference.y;
                }
                ok = viewer->ColorBalance_3pt(cc, xs, ys, xr, yr);
            }
            cc.dwFlags |= CC_PRIMARY;
            break;
        }
        case AutoKind::Contrast: {
            const std::vector<PicturePoint>& p = r.points;
            ok = viewer->Contrast(cc, p[0].x, p[0].y, p[1].x, p[1].y);
            cc.dwFlags |= CC_PRIMARY;
            break;
        }
        case AutoKind::HistMatch:
        case AutoKind::HueMatch: {
            tagRECT ref{}, src{};
            if (r.referenceRect)
                ref = ToRect(*r.referenceRect);
            if (r.sourceRect)
                src = ToRect(*r.sourceRect);
            tagRECT* refPtr = r.referenceRect ? &ref : nullptr;
            tagRECT* srcPtr = r.sourceRect ? &src : nullptr;
            ok = r.kind == AutoKind::HistMatch ? viewer->HistoMatch(cc, refPtr, srcPtr)
                                               : viewer->HueMatch(cc, refPtr, srcPtr);
            break;
        }
        case AutoKind::Vector: {
            const unsigned index = VectorIndex(r, start);
            const bool inUse = (start.dwFlags & CC_MATCH_VECTOR) != 0 && index < start.Match.dwCount;
            tagMATCHVECTOR mv;
            if (inUse) {
                mv = start.Match.Vector[index];
            } else {
                mv.Init();
            }
            tagRECT rc = ToRect(*r.rect);
            ok = viewer->GetMatchVector(mv, &rc);
            for (size_t i = 0; ok != 0 && i < r.widen.size(); ++i) {
                tagRECT w = ToRect(r.widen[i]);
                ok = viewer->AddToMatchVector(mv, &w);
            }
            if (ok != 0 && r.to) {
                tagRECT t = ToRect(*r.to);
                ok = viewer->SetMatchVectorTo(mv, &t);
            }
            if (ok != 0) {
                if ((cc.dwFlags & CC_MATCH_VECTOR) == 0 || cc.Match.dwCount == 0) {
                    // Vectors beyond the count had no effect: start them afresh.
                    cc.Match.Init();
                    cc.Match.dwCount = 1;
                }
                cc.Match.Vector[index] = mv;
                cc.Match.dwCount = std::max<uint32_t>(cc.Match.dwCount, index + 1);
                cc.dwFlags |= CC_MATCH_VECTOR;
            }
            break;
        }
        }
        if (ok == 0) {
            error = "the analysis found no result for these points or regions";
            return false;
        }
        LimitControls(cc);
        result = cc;
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the analysis";
        return false;
    }
}

} // namespace colorcorrect::formats
