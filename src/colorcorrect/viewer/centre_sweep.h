#pragma once
// Drags on the vector display measured about its centre: shared by the
// hue/saturation drag and the match-vector turn.

#include <algorithm>
#include <cmath>

namespace colorcorrect {

// The vector display's centre, in display coordinates (384 x 288).
inline constexpr int kVectorCentreX = 192, kVectorCentreY = 144;

struct CentreSweep {
    double ra = 0.0; // distance of the drag's start from the centre
    double rb = 0.0; // distance of the pointer from the centre
    // The angle from the start to the pointer, radians in -pi..pi: negative
    // when the pointer lies anticlockwise of the start (y up). 0 when either
    // point is the centre itself.
    double angle = 0.0;
};

inline CentreSweep SweepAboutCentre(int startX, int startY, int x, int y)
{
    // Relative to the centre, y up. Doubles hold the products of any two
    // ints exactly enough for an angle.
    const double ax = static_cast<double>(startX) - kVectorCentreX;
    const double ay = kVectorCentreY - static_cast<double>(startY);
    const double bx = static_cast<double>(x) - kVectorCentreX;
    const double by = kVectorCentreY - static_cast<double>(y);
    CentreSweep s;
    s.ra = std::sqrt(ax * ax + ay * ay);
    s.rb = std::sqrt(bx * bx + by * by);
    if (s.ra == 0.0 || s.rb == 0.0)
        return s;
    // Rounding can carry the cosine a hair beyond +-1, where acos has no value.
    s.angle = std::acos(std::clamp((ax * bx + ay * by) / (s.rb * s.ra), -1.0, 1.0));
    if (ax * by - ay * bx > 0.0)
        s.angle = -s.angle;
    return s;
}

} // namespace colorcorrect
