#pragma once
// Angles of chroma pairs and the circle constants all angle code uses.
//
// Angles are in radians, measured from the +U (Cb) axis toward +V (Cr), and
// lie in [0, 2*pi). The constants are computed once when the library is
// loaded (pi as 4 * atan(1)), so every angle computation of the library uses
// the very same doubles.

namespace colorcorrect {

extern const double g_Pi;          // 4 * atan(1)
extern const double g_TwoPi;       // 2 * pi
extern const double g_HalfPi;      // pi / 2
extern const double g_ThreeHalfPi; // 3 * pi / 2
extern const double g_MinusPi;     // -pi

} // namespace colorcorrect

// Angle of the chroma pair (u, v) in [0, 2*pi). u and v are signed chroma
// values (any int). For u = 0 the angle is pi/2 when v > 0 and 3*pi/2
// otherwise, so the neutral pair (0, 0) lies at 3*pi/2.
double ChromaAngle(int u, int v);

// Unsigned distance between two angles on the circle, in [0, pi], for angles
// that differ by at most 2*pi (such as two results of ChromaAngle).
double AngleDistance(double a, double b);

// Signed difference a - b brought into [-pi, pi], for angles that differ by
// at most 3*pi.
double AngleDifference(double a, double b);
