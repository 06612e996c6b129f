#include "scope_render.h"

#include <memory>
#include <new>

namespace colorcorrect::formats {

std::optional<ScopeMode> ScopeModeFromName(std::string_view name)
{
    for (const ScopeModeEntry& m : kScopeModes)
        if (name == m.name)
            return m.mode;
    return std::nullopt;
}

const char* ScopeModeName(ScopeMode mode)
{
    for (const ScopeModeEntry& m : kScopeModes)
        if (m.mode == mode)
            return m.name;
    return "?";
}

CubeAngles DefaultCubeAngles()
{
    // A viewer turns its cube from (0, 0, 0) by a drag of (0, 90).
    auto filter = std::make_unique<CColorCorrectionFilter>();
    CubeAngles a{0, 0, 0};
    filter->SetNewAngles(a.alpha, a.beta, a.gamma, 0, 90);
    return a;
}

std::string ScopeSettingsProblem(const tagCOLORCORRINFO& record, const ScopeSettings& settings)
{
    if (settings.isolateVector) {
        const unsigned k = *settings.isolateVector;
        if (k > 15)
            return "--isolate: vector " + std::to_string(k) + " is outside 0..15";
        if ((record.dwFlags & CC_MATCH_VECTOR) == 0)
            return "--isolate needs the correction's match vectors on (flags.match_vector)";
        if (k >= record.Match.dwCount)
            return "--isolate: vector " + std::to_string(k) + " is not in use: the correction has " +
                   std::to_string(record.Match.dwCount) + " match vectors (match.count)";
    }
    if (settings.isolateType > 7)
        return "--isolate: type " + std::to_string(settings.isolateType) + " is outside 0..7";
    if (settings.channel > 4)
        return "--channel: " + std::to_string(settings.channel) + " is outside 0..4";
    if (settings.intensity < -12 || settings.intensity > 255)
        return "--intensity " + std::to_string(settings.intensity) + " is outside -12..255";
    if (settings.angles) {
        const CubeAngles& a = *settings.angles;
        if (a.alpha < -180 || a.alpha > 180 || a.beta < 0 || a.beta > 180 || a.gamma < -180 || a.gamma > 180)
            return "--angles: alpha and gamma must lie in -180..180 and beta in 0..180";
    }
    return {};
}

bool RenderScope(const tagCOLORCORRINFO& record, const CVoraDib& source, const CVoraDib* reference,
                 const ScopeSettings& settings, CVoraDib& display, CVoraDib& corrected, std::string& error)
{
    const std::string problem = ScopeSettingsProblem(record, settings);
    if (!problem.empty()) {
        error = problem;
        return false;
    }
    try {
        // The filter holds large tables: keep it off the stack.
        auto filter = std::make_unique<CColorCorrectionFilter>();
        filter->SetVectorIntensity(settings.intensity);
        // The isolate settings reach the match index only through the next
        // full SetupFilter.
        if (settings.isolateVector) {
            filter->SetIsolateVector(*settings.isolateVector);
            filter->SetIsolateType(settings.isolateType);
            filter->SetIsolateParam(&record.Match.Vector[*settings.isolateVector]);
        }
        if (!filter->SetupFilter(record)) {
            error = "the correction engine refused the correction";
            return false;
        }
        filter->SetChannel(settings.channel);
        if (reference != nullptr && !filter->SetReference(*reference)) {
            error = "the reference picture could not be prepared";
            return false;
        }
        // Keep the viewer's starting view unless angles are given. A spin by
        // 0 degrees stores the angles as they are.
        CubeAngles a{0, 0, 0};
        if (settings.angles) {
            a = *settings.angles;
            filter->SetNewAngles(a.alpha, a.beta, a.gamma, 0);
        } else {
            filter->SetNewAngles(a.alpha, a.beta, a.gamma, 0, 90);
        }
        CVoraDib in = source;
        if (static_cast<const tagDIBINFO*>(in) == nullptr && static_cast<const tagDIBINFO*>(source) != nullptr) {
            error = "not enough memory for the picture";
            return false;
        }
        CVoraDib out, scope;
        if (!filter->ProcessDisplay(in, out, scope, static_cast<unsigned>(settings.mode))) {
            error = "the display filter refused the picture";
            return false;
        }
        display = std::move(scope);
        corrected = std::move(out);
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the display filter";
        return false;
    }
}

} // namespace colorcorrect::formats
