#pragma once
// Scope displays of a picture under a correction, drawn by the library's
// display filter as a host's correction view draws them.

#include <colorcorrect/colorcorrect.h>

#include <optional>
#include <string>
#include <string_view>

namespace colorcorrect::formats {

// The displays, with the filter's mode numbers.
enum class ScopeMode : unsigned {
    Vector = 1,    // chroma plane (Cb across, Cr up)
    Waveform = 2,  // luma against picture column
    Histogram = 4, // R, G, B distributions (the reference's in blue)
    Lightning = 5, // chroma against luma
    Cube = 6,      // turnable 3D colour cube
    Combined = 7,  // vector, lightning halves and waveform in four panels
};

struct ScopeModeEntry {
    ScopeMode mode;
    const char* name;
};
// Every mode with its command-line name, in display order.
inline constexpr ScopeModeEntry kScopeModes[] = {
    {ScopeMode::Vector, "vector"},       {ScopeMode::Waveform, "waveform"}, {ScopeMode::Histogram, "histogram"},
    {ScopeMode::Lightning, "lightning"}, {ScopeMode::Cube, "cube"},         {ScopeMode::Combined, "combined"},
};

std::optional<ScopeMode> ScopeModeFromName(std::string_view name);
const char* ScopeModeName(ScopeMode mode);

// Size of every scope display, in pixels.
inline constexpr int kScopeWidth = 384;
inline constexpr int kScopeHeight = 288;

// The cube's view when none is given: the one a new viewer starts with
// (a quarter turn from the plain angles, so that the cube looks like the
// vector scope from above).
struct CubeAngles {
    int alpha; // -180..180 degrees
    int beta;  // 0..180 degrees
    int gamma; // -180..180 degrees
};
CubeAngles DefaultCubeAngles();

struct ScopeSettings {
    ScopeMode mode = ScopeMode::Vector;
    std::optional<CubeAngles> angles; // cube only; empty: DefaultCubeAngles()
    int intensity = 120;              // brightness of the counts, -12..255
    // Match vector whose samples are counted apart (drawn in blue, and as a
    // wireframe in the cube); empty: none. Must be below the correction's
    // match vector count with its match vectors on.
    std::optional<unsigned> isolateVector;
    unsigned isolateType = 0; // 0..7: how the corrected picture shows it
    unsigned channel = 0;     // corrected picture: 0 all, 1 red, 2 green, 3 blue, 4 luma
};

// Empty when the settings suit the correction; otherwise the message.
std::string ScopeSettingsProblem(const tagCOLORCORRINFO& record, const ScopeSettings& settings);

// Runs one display pass over `source` (packed YUV, 24 or 32 bits):
// `display` receives the 384 x 288 RGB scope, `corrected` the corrected
// picture as RGB with the channel view and isolation applied. `reference`
// (packed YUV, or null) is drawn in blue into the histogram. False with a
// message when the correction or the picture is refused.
bool RenderScope(const tagCOLORCORRINFO& record, const CVoraDib& source, const CVoraDib* reference,
                 const ScopeSettings& settings, CVoraDib& display, CVoraDib& corrected, std::string& error);

} // namespace colorcorrect::formats
