// The 3D colour cube: the view's orientation (three Euler angles and the
// matrix built from them), its two ways of being turned, and the frame drawn
// under the point cloud.
//
// Colour vectors are (V, U, Y - 128): Cr, Cb, luma. Matrix row 0 is depth,
// row 1 the screen x offset and row 2 the screen y offset (in the drawing
// object's y, which runs with the display's memory lines, so the frame and
// the point cloud accumulated by line coincide).

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

#include "../engine/angles.h"
#include "color_correction_filter.h"
#include "color_cube.h"

namespace {

using colorcorrect::g_Pi;

// Scale of the drawn cube: the colour space's +-128 fill about 90 pixels.
constexpr double kCubeScale = 0.7;

// Frame drawing colours (0x00BBGGRR): the frame in red, the match vector's
// solid in blue.
constexpr DWORD kFrameColor = 180;
constexpr DWORD kBackAxisColor = 120;
constexpr DWORD kVectorColor = 0xA00000;
constexpr DWORD kVectorFrontColor = 0xF00000;

struct Matrix3 {
    double m[3][3];
};

// Rz(gamma) * Rx(beta) * Rz(alpha), angles in degrees.
Matrix3 RotationMatrix(int alpha, int beta, int gamma)
{
    const double toRad = g_Pi / 180.0;
    const double a = alpha * toRad, b = beta * toRad, g = gamma * toRad;
    const double ca = std::cos(a), sa = std::sin(a);
    const double cb = std::cos(b), sb = std::sin(b);
    const double cg = std::cos(g), sg = std::sin(g);
    return Matrix3{{{cg * ca - sg * cb * sa, -cg * sa - sg * cb * ca, sg * sb},
                    {sg * ca + cg * cb * sa, cg * cb * ca - sg * sa, -cg * sb},
                    {sb * sa, sb * ca, cb}}};
}

// trunc(x + 0.5) of an angle in radians, in degrees.
int NearestDegrees(double radians)
{
    return static_cast<int>(radians * 180.0 / g_Pi + 0.5);
}

double ClampedAcos(double c)
{
    return std::acos(std::clamp(c, -1.0, 1.0));
}

// Angles of a rotation matrix built as in RotationMatrix: beta in 0..180,
// alpha and gamma in -180..180.
void ExtractAngles(const Matrix3& r, int& alpha, int& beta, int& gamma)
{
    const double b = ClampedAcos(r.m[2][2]);
    beta = NearestDegrees(b);
    const double s = std::sin(b);
    if (s >= 0.000001) {
        auto angle = [](double q) { return q >= 1.0 ? 0.0 : (q <= -1.0 ? g_Pi : std::acos(q)); };
        alpha = NearestDegrees(angle(r.m[2][1] / s));
        if (r.m[2][0] / s < 0.0)
            alpha = -alpha;
        gamma = NearestDegrees(angle(-r.m[1][2] / s));
        if (r.m[0][2] / s < 0.0)
            gamma = -gamma;
    } else {
        // The luma axis lies along the depth direction: only alpha + gamma
        // is defined, and it is all given to alpha.
        gamma = 0;
        alpha = NearestDegrees(ClampedAcos(r.m[0][0]));
        if (r.m[1][0] < 0.0)
            alpha = -alpha;
    }
}

} // namespace

int colorcorrect::CubeArcSteps(unsigned hueWidth)
{
    // The range spans 2 * hueWidth * 180 / 255 degrees; counted in integers
    // so that the full circle gives exactly 72 steps.
    const int steps = static_cast<int>((72u * std::min(hueWidth, 255u)) / 255u);
    return std::max(steps, 1);
}

void CColorCorrectionFilter::BuildRot(int alpha, int beta, int gamma)
{
    const Matrix3 r = RotationMatrix(alpha, beta, gamma);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m_afRot[i * 3 + j] = static_cast<float>(kCubeScale * r.m[i][j]);
}

void CColorCorrectionFilter::SetNewAngles(int& alpha, int& beta, int& gamma, int dx, int dy)
{
    const double fx = dx, fy = dy;
    const double length = (dx != 0 || dy != 0) ? std::sqrt(fx * fx + fy * fy) : 1.0;
    Matrix3 r = RotationMatrix(alpha, beta, gamma);

    // Axis in the screen plane, perpendicular to the drag; one degree per
    // unit of drag. A zero drag leaves the axis zero, which shrinks the
    // columns by cos(1 degree) instead of keeping them.
    const double k[3] = {0.0, -fy / length, fx / length};
    const double theta = length * g_Pi / 180.0;
    const double c = std::cos(theta), s = std::sin(theta);

    // Rodrigues' rotation of every column about k.
    for (int j = 0; j < 3; ++j) {
        const double v[3] = {r.m[0][j], r.m[1][j], r.m[2][j]};
        const double kv = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
        const double p[3] = {kv * k[0], kv * k[1], kv * k[2]};
        const double q[3] = {v[0] - p[0], v[1] - p[1], v[2] - p[2]};
        const double kq[3] = {k[1] * q[2] - k[2] * q[1], k[2] * q[0] - k[0] * q[2],
                              k[0] * q[1] - k[1] * q[0]};
        for (int i = 0; i < 3; ++i)
            r.m[i][j] = c * q[i] + s * kq[i] + p[i];
    }

    ExtractAngles(r, alpha, beta, gamma);
    m_aAngles[0] = alpha;
    m_aAngles[1] = beta;
    m_aAngles[2] = gamma;
}

void CColorCorrectionFilter::SetNewAngles(int& alpha, int& beta, int& gamma, int d)
{
    const double phi = (d % 360) * g_Pi / 180.0;
    const double c = std::cos(phi), s = std::sin(phi);
    const Matrix3 r = RotationMatrix(alpha, beta, gamma);

    // R * Z(phi): the colour space turns about its luma axis before the view
    // rotation, which adds phi to alpha.
    Matrix3 t;
    for (int i = 0; i < 3; ++i) {
        t.m[i][0] = r.m[i][0] * c + r.m[i][1] * s;
        t.m[i][1] = -r.m[i][0] * s + r.m[i][1] * c;
        t.m[i][2] = r.m[i][2];
    }

    ExtractAngles(t, alpha, beta, gamma);
    m_aAngles[0] = alpha;
    m_aAngles[1] = beta;
    m_aAngles[2] = gamma;
}

namespace {

struct ScreenPoint {
    int x;
    int y;
};

// The colour vector (v, u, yc) on screen, relative to the centre (cx, cy).
ScreenPoint Project(const float* rot, double v, double u, double yc, int cx, int cy)
{
    const double x = static_cast<double>(rot[3]) * v + static_cast<double>(rot[4]) * u +
                     static_cast<double>(rot[5]) * yc;
    const double y = static_cast<double>(rot[6]) * v + static_cast<double>(rot[7]) * u +
                     static_cast<double>(rot[8]) * yc;
    return ScreenPoint{static_cast<int>(x) + cx, static_cast<int>(y) + cy};
}

// Frame points: axis ends, arrow heads and the diamond round the black point.
constexpr int kFramePoints[16][3] = {
    {-127, 0, -128}, {127, 0, -128},  // Cr axis
    {0, -127, -128}, {0, 127, -128},  // Cb axis
    {0, 0, -128},    {0, 0, 128},     // luma axis
    {110, 10, -128}, {110, -10, -128}, // Cr arrow head
    {10, 110, -128}, {-10, 110, -128}, // Cb arrow head
    {0, 10, 110},    {0, -10, 110},    // luma arrow head
    {-20, 0, -128},  {0, -20, -128},  {20, 0, -128}, {0, 20, -128}, // diamond
};

constexpr unsigned short kLabelCr[] = {'C', 'r', 0};
constexpr unsigned short kLabelCb[] = {'C', 'b', 0};
constexpr unsigned short kLabelY[] = {'Y', 0};

} // namespace

void CColorCorrectionFilter::BuildCube(const tagDIBINFO* dib)
{
    if (dib == nullptr)
        return;
    const int cx = dib->bmiHeader.biWidth / 2;
    const int cy = dib->bmiHeader.biHeight / 2;
    m_Draw.Clear();
    // The part facing the viewer is drawn last.
    if (m_afRot[2] >= 0.0f) {
        DrawCube(0, cx, cy);
        DrawVector(0, cx, cy);
    } else {
        DrawVector(1, cx, cy);
        DrawCube(1, cx, cy);
    }
    m_Draw.Flush();
}

void CColorCorrectionFilter::DrawCube(int back, int cx, int cy)
{
    ScreenPoint p[16];
    for (int i = 0; i < 16; ++i)
        p[i] = Project(m_afRot, kFramePoints[i][0], kFramePoints[i][1], kFramePoints[i][2], cx, cy);
    auto polyline = [this, &p](std::initializer_list<int> points) {
        bool first = true;
        for (int i : points) {
            if (first)
                m_Draw.Move(p[i].x, p[i].y);
            else
                m_Draw.Line(p[i].x, p[i].y);
            first = false;
        }
    };

    m_Draw.SetBkMode(colorcorrect::BK_TRANSPARENT);
    m_Draw.SetColor(kFrameColor, 1);
    SetText(p[1].x, p[1].y, p[0].x, p[0].y, kLabelCr);
    SetText(p[3].x, p[3].y, p[2].x, p[2].y, kLabelCb);
    if (back == 1) {
        // Seen from below: the luma axis lies behind, darker, and the diamond
        // marks the black point.
        m_Draw.SetColor(kBackAxisColor, 1);
        SetText(p[5].x, p[5].y, p[4].x, p[4].y, kLabelY);
        m_Draw.SetBkMode(colorcorrect::BK_OPAQUE);
        polyline({4, 5, 10, 11, 5});
        m_Draw.SetColor(kFrameColor, 1);
        polyline({12, 13, 14, 15, 12});
    } else {
        SetText(p[5].x, p[5].y, p[4].x, p[4].y, kLabelY);
        m_Draw.SetBkMode(colorcorrect::BK_OPAQUE);
        polyline({4, 5, 10, 11, 5});
    }
    polyline({0, 1, 6, 7, 1});
    polyline({2, 3, 8, 9, 3});
}

void CColorCorrectionFilter::DrawVector(int back, int cx, int cy)
{
    if (!m_bMatchVector)
        return;
    const tagMATCHVECTOR& mv = m_IsolateParam;
    m_Draw.SetColor(kVectorColor, 1);

    const int yLo = std::max(mv.byY - mv.byYRange - 128, -128);
    const int yHi = std::min(mv.byY + mv.byYRange - 128, 127);

    // Hue measured from the Cr axis toward Cb.
    const double a0 = ChromaAngle(mv.cV, mv.cU);
    const double hw = mv.byHueWidth * g_Pi / 255.0;
    const double aLo = a0 - hw, aHi = a0 + hw;

    const double r0 = std::sqrt(static_cast<double>(mv.cU * mv.cU + mv.cV * mv.cV));
    const double rLo = std::max(r0 - mv.bySatWidth, 0.0);
    const double rHi = r0 + mv.bySatWidth;

    const int n = colorcorrect::CubeArcSteps(mv.byHueWidth);
    const double step = (aHi - aLo) / n;

    auto solid = [&](double r, double a, double z) {
        return Project(m_afRot, std::trunc(std::cos(a) * r), std::trunc(std::sin(a) * r),
                       std::trunc(z), cx, cy);
    };
    auto moveTo = [&](ScreenPoint q) { m_Draw.Move(q.x, q.y); };
    auto lineTo = [&](ScreenPoint q) { m_Draw.Line(q.x, q.y); };
    auto drawEdge = [&](ScreenPoint a, ScreenPoint b) { m_Draw.Draw(a.x, a.y, b.x, b.y); };
    // Outer arc at rHi from aLo to aHi, then the inner arc at rLo back again.
    auto arcs = [&](double z) {
        for (int j = 0; j <= n; ++j)
            lineTo(solid(rHi, aLo + j * step, z));
        lineTo(solid(rLo, aHi, z));
        for (int j = 0; j <= n; ++j)
            lineTo(solid(rLo, aHi - j * step, z));
    };

    const ScreenPoint q0 = solid(rLo, aLo, yLo), q1 = solid(rHi, aLo, yLo);
    const ScreenPoint q2 = solid(rHi, aLo, yHi), q3 = solid(rLo, aLo, yHi);
    const ScreenPoint q4 = solid(rLo, aHi, yLo), q5 = solid(rHi, aHi, yLo);
    const ScreenPoint q6 = solid(rHi, aHi, yHi), q7 = solid(rLo, aHi, yHi);

    // Upper face.
    moveTo(q3);
    lineTo(q2);
    arcs(yHi);

    if (back == 0)
        m_Draw.SetColor(kVectorFrontColor, 1);
    // Side edges.
    lineTo(q0);
    drawEdge(q1, q2);
    drawEdge(q5, q6);
    drawEdge(q4, q7);

    // Lower face.
    m_Draw.SetColor(kVectorFrontColor, 1);
    moveTo(q0);
    lineTo(q1);
    arcs(yLo);
}

void CColorCorrectionFilter::SetText(int x, int y, int cx, int cy, const unsigned short* text)
{
    tagRECT rc{0, 0, 0, 0};
    m_Draw.DrawTextW(rc, text, colorcorrect::DT_CALCRECT);
    const int w = rc.right - rc.left;
    const int h = rc.bottom - rc.top;
    const int dx = x - cx;
    const int dy = y - cy;

    int offX, offY;
    if (std::abs(dx) > std::abs(dy)) {
        offY = (rc.top - rc.bottom) >> 1;
        offX = dx > 0 ? 3 : -w - 3;
    } else {
        // y grows upward on screen: a label for a point above its reference
        // goes above the point (the lines after it), otherwise below it, so
        // that it never lies on the line from the reference to the point.
        offX = -(w >> 1);
        offY = dy > 0 ? 1 : -h;
    }
    rc.left += x + offX;
    rc.right += x + offX;
    rc.top += y + offY;
    rc.bottom += y + offY;
    m_Draw.DrawTextW(rc, text, 0);
}
