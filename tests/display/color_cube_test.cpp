// The 3D colour cube: rotation matrix, trackball and spin turns with their
// angle extraction, the frame, the match vector's solid and label placement.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "display/scope_access.h"
#include "support/picture_compare.h"

namespace colorcorrect::test {
namespace {

constexpr float kTolerance = 1e-6f;

void ExpectMatrix(const ScopeFilter& f, std::initializer_list<float> expected)
{
    int i = 0;
    for (float e : expected) {
        EXPECT_NEAR(f.m_afRot[i], e, kTolerance) << "entry m" << i / 3 << i % 3;
        ++i;
    }
}

struct Angles {
    int alpha, beta, gamma;
};

Angles Drag(ScopeFilter& f, Angles a, int dx, int dy)
{
    f.SetNewAngles(a.alpha, a.beta, a.gamma, dx, dy);
    return a;
}

Angles Spin(ScopeFilter& f, Angles a, int d)
{
    f.SetNewAngles(a.alpha, a.beta, a.gamma, d);
    return a;
}

#define EXPECT_ANGLES(actual, a, b, g)                                                          \
    do {                                                                                        \
        const Angles got_ = (actual);                                                           \
        EXPECT_EQ(got_.alpha, a);                                                               \
        EXPECT_EQ(got_.beta, b);                                                                \
        EXPECT_EQ(got_.gamma, g);                                                               \
    } while (0)

// ---- matrix and angles -----------------------------------------------------------

TEST(CubeRotation, ZeroAnglesShowCbAcrossAndLumaUp)
{
    ScopeFilter f;
    f.BuildRot(0, 0, 0);
    ExpectMatrix(f, {0.7f, 0, 0, 0, 0.7f, 0, 0, 0, 0.7f});
}

TEST(CubeRotation, MatrixFollowsTheTable)
{
    ScopeFilter f;
    f.BuildRot(30, 60, 20);
    const double d = 3.14159265358979323846 / 180.0;
    const double ca = std::cos(30 * d), sa = std::sin(30 * d), cb = std::cos(60 * d),
                 sb = std::sin(60 * d), cg = std::cos(20 * d), sg = std::sin(20 * d);
    ExpectMatrix(f, {static_cast<float>(0.7 * (cg * ca - sg * cb * sa)),
                     static_cast<float>(0.7 * (-cg * sa - sg * cb * ca)),
                     static_cast<float>(0.7 * sg * sb),
                     static_cast<float>(0.7 * (sg * ca + cg * cb * sa)),
                     static_cast<float>(0.7 * (cg * cb * ca - sg * sa)),
                     static_cast<float>(0.7 * -cg * sb), static_cast<float>(0.7 * sb * sa),
                     static_cast<float>(0.7 * sb * ca), static_cast<float>(0.7 * cb)});
}

TEST(CubeRotation, QuarterDragShowsTheChromaPlane)
{
    ScopeFilter f;
    EXPECT_ANGLES(Drag(f, {0, 0, 0}, 0, 90), 90, 90, -90);
    EXPECT_EQ(f.m_aAngles[0], 90);
    EXPECT_EQ(f.m_aAngles[1], 90);
    EXPECT_EQ(f.m_aAngles[2], -90);
    // The matrix follows at the next BuildRot only.
    ExpectMatrix(f, {0, 0, 0, 0, 0, 0, 0, 0, 0});
    f.BuildRot(90, 90, -90);
    ExpectMatrix(f, {0, 0, -0.7f, 0, 0.7f, 0, 0.7f, 0, 0});
}

TEST(CubeRotation, SpinAddsToAlpha)
{
    ScopeFilter f;
    EXPECT_ANGLES(Spin(f, {30, 60, 20}, 10), 40, 60, 20);
    EXPECT_ANGLES(Spin(f, {30, 60, 20}, 370), 40, 60, 20);
    EXPECT_ANGLES(Spin(f, {30, 60, 20}, -10), 20, 60, 20);
    EXPECT_ANGLES(Spin(f, {30, 60, 20}, -370), 20, 60, 20);
    EXPECT_EQ(f.m_aAngles[0], 20);
}

TEST(CubeRotation, SpinWrapsAlphaIntoItsRange)
{
    ScopeFilter f;
    EXPECT_ANGLES(Spin(f, {170, 60, 20}, 30), -160, 60, 20);
}

TEST(CubeRotation, ZeroDragShrinksByCosOneDegree)
{
    ScopeFilter f;
    EXPECT_ANGLES(Drag(f, {30, 60, 20}, 0, 0), 30, 60, 20);
    EXPECT_ANGLES(Drag(f, {0, 0, 0}, 0, 0), 90, 1, 90);
}

TEST(CubeRotation, SidewaysDragTurnsGamma)
{
    ScopeFilter f;
    EXPECT_ANGLES(Drag(f, {0, 90, 0}, 10, 0), 0, 90, 10);
}

TEST(CubeRotation, DragsAndBackAgain)
{
    // The angles are whole degrees between the two drags, so the way back
    // may end a degree off.
    ScopeFilter f;
    const Angles there = Drag(f, {20, 50, -30}, 0, 25);
    EXPECT_NE(there.beta, 50);
    const Angles back = Drag(f, there, 0, -25);
    EXPECT_NEAR(back.alpha, 20, 1);
    EXPECT_NEAR(back.beta, 50, 1);
    EXPECT_NEAR(back.gamma, -30, 1);
}

TEST(CubeRotation, LumaAlongDepthGivesAllToAlpha)
{
    // (0, 30, 90) tips the luma axis 30 degrees sideways; dragging it back
    // lines it up with the depth direction (beta 0), where only the sum of
    // alpha and gamma is defined.
    ScopeFilter f;
    EXPECT_ANGLES(Drag(f, {0, 30, 90}, 0, 30), 90, 0, 0);
}

// ---- frame --------------------------------------------------------------------------

class CubeDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
        ASSERT_TRUE(f.m_Draw.Select(picture, 0));
    }

    void Build(int alpha, int beta, int gamma)
    {
        f.BuildRot(alpha, beta, gamma);
        f.BuildCube(picture);
    }

    CVoraDib picture;
    ScopeFilter f;
};

TEST_F(CubeDrawing, SideViewDrawsTheAxes)
{
    // (0, 0, 0): the luma axis at x 192 from line 55 to 233 (0.7f * 128 is
    // just below 89.6), the Cb axis on line 55 from x 104 to 280, Cr along
    // the depth only.
    Build(0, 0, 0);
    EXPECT_TRUE(PixelIs(picture, 192, 55, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 192, 144, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 192, 233, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 192, 234, {0, 0, 0}));
    EXPECT_TRUE(PixelIs(picture, 104, 55, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 280, 55, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 281, 55, {0, 0, 0}));
    // Luma arrow head: U +-10 at Y 110 lands on x 198 and 186, line 220.
    EXPECT_TRUE(PixelIs(picture, 198, 220, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 186, 220, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 10, 10, {0, 0, 0}));
}

TEST_F(CubeDrawing, TopViewTakesTheBackOrder)
{
    // (90, 90, -90): screen x follows Cb, screen y follows Cr, m02 < 0.
    Build(90, 90, -90);
    ASSERT_LT(f.m_afRot[2], 0.0f);
    // Diamond corners at (192, 131), (179, 144), (192, 157), (205, 144);
    // these edge pixels lie away from every axis.
    EXPECT_TRUE(PixelIs(picture, 186, 137, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 198, 151, {0, 0, 180}));
    // The Cr axis runs along x 192 from line 56 to 232.
    EXPECT_TRUE(PixelIs(picture, 192, 60, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 192, 232, {0, 0, 180}));
}

TEST_F(CubeDrawing, DiamondOnlyInTheBackOrder)
{
    f.BuildRot(90, 90, -90);
    f.DrawCube(0, 192, 144);
    EXPECT_TRUE(PixelIs(picture, 186, 137, {0, 0, 0}));
    EXPECT_TRUE(PixelIs(picture, 198, 151, {0, 0, 0}));
    f.DrawCube(1, 192, 144);
    EXPECT_TRUE(PixelIs(picture, 186, 137, {0, 0, 180}));
    EXPECT_TRUE(PixelIs(picture, 198, 151, {0, 0, 180}));
}

TEST_F(CubeDrawing, BackOrderDrawsLumaInDarkerRed)
{
    // Seen from below and a little aside, (90, 100, -80): the luma axis
    // runs diagonally from the black point near (207, 159) to the white end
    // near (177, 129), clear of the other axes.
    f.BuildRot(90, 100, -80);
    ASSERT_LT(f.m_afRot[2], 0.0f);
    f.DrawCube(1, 192, 144);
    int dark = 0;
    for (int line = 120; line < 166; ++line)
        for (int x = 170; x < 216; ++x)
            dark += PixelAt(picture, x, line)[2] == 120;
    EXPECT_GT(dark, 10);
}

TEST_F(CubeDrawing, LabelsSitBesideTheAxisEnds)
{
    Build(0, 0, 0);
    // Collect the red label pixels off the axes near the luma end (192, 233):
    // "Y" is 6 wide and 8 high, centred on x 192, above the axis end.
    int above = 0;
    for (int line = 200; line < 288; ++line)
        for (int x = 180; x < 205; ++x) {
            if (x == 192 && line <= 233)
                continue; // the axis itself
            const std::vector<int> p = PixelAt(picture, x, line);
            if (p[2] != 180)
                continue;
            if (line > 233) {
                ++above;
                EXPECT_GE(x, 189);
                EXPECT_LE(x, 194);
                EXPECT_LE(line, 241);
            }
        }
    EXPECT_GT(above, 0);
}

// ---- match vector solid --------------------------------------------------------------

TEST(CubeArcs, StepsOfFiveDegrees)
{
    EXPECT_EQ(CubeArcSteps(4), 1);
    EXPECT_EQ(CubeArcSteps(255), 72);
    EXPECT_EQ(CubeArcSteps(14), 3);
    EXPECT_EQ(CubeArcSteps(128), 36);
    // Narrower than one step: a single chord.
    EXPECT_EQ(CubeArcSteps(3), 1);
    EXPECT_EQ(CubeArcSteps(0), 1);
}

class VectorDrawing : public CubeDrawing {
protected:
    // Screen point of the solid point (r, a, z), as the cube projects it.
    std::vector<int> At(double r, double a, double z)
    {
        const double v = std::trunc(std::cos(a) * r), u = std::trunc(std::sin(a) * r);
        const int x = static_cast<int>(f.m_afRot[3] * v + f.m_afRot[4] * u + f.m_afRot[5] * z) +
                      192;
        const int y = static_cast<int>(f.m_afRot[6] * v + f.m_afRot[7] * u + f.m_afRot[8] * z) +
                      144;
        return {x, y};
    }
    std::vector<int> Pixel(const std::vector<int>& point)
    {
        return PixelAt(picture, point[0], point[1]);
    }
    void SetVector(int u, int v, int hueWidth, int satWidth, int y, int yRange)
    {
        f.m_IsolateParam.Init();
        f.m_IsolateParam.cU = static_cast<int8_t>(u);
        f.m_IsolateParam.cV = static_cast<int8_t>(v);
        f.m_IsolateParam.byHueWidth = static_cast<uint8_t>(hueWidth);
        f.m_IsolateParam.bySatWidth = static_cast<uint8_t>(satWidth);
        f.m_IsolateParam.byY = static_cast<uint8_t>(y);
        f.m_IsolateParam.byYRange = static_cast<uint8_t>(yRange);
        f.m_bMatchVector = 1;
    }
};

TEST_F(VectorDrawing, NothingWithoutTheMatchStage)
{
    SetVector(0, 60, 20, 20, 128, 40);
    f.m_bMatchVector = 0;
    f.BuildRot(0, 0, 0);
    f.DrawVector(0, 192, 144);
    for (int line = 0; line < kScopeHeight; ++line)
        for (int x = 0; x < kScopeWidth; ++x)
            ASSERT_TRUE(PixelIs(picture, x, line, {0, 0, 0}));
}

TEST_F(VectorDrawing, FacesAndSidesInTheirBlues)
{
    // Side view (0, 0, 0): each face is a horizontal line (upper at
    // Y - 128 = 40, lower at -40) and the side edges are vertical. The
    // vector points along Cr, so the faces are centred on x 192.
    SetVector(0, 60, 20, 20, 128, 40);
    f.BuildRot(0, 0, 0);
    const double hw = 20 * 3.14159265358979323846 / 255;
    const int upper = At(80, 0, 40)[1];
    const int lower = At(80, 0, -40)[1];
    const int side = At(80, -hw, -40)[0]; // the edge Q1-Q2
    ASSERT_GT(upper, lower + 40);
    f.DrawVector(0, 192, 144);
    EXPECT_EQ(PixelAt(picture, 192, upper), (std::vector<int>{160, 0, 0}));
    EXPECT_EQ(PixelAt(picture, 192, lower), (std::vector<int>{240, 0, 0}));
    EXPECT_EQ(PixelAt(picture, side, 144), (std::vector<int>{240, 0, 0}));

    ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
    f.DrawVector(1, 192, 144);
    EXPECT_EQ(PixelAt(picture, 192, upper), (std::vector<int>{160, 0, 0}));
    EXPECT_EQ(PixelAt(picture, 192, lower), (std::vector<int>{240, 0, 0}));
    EXPECT_EQ(PixelAt(picture, side, 144), (std::vector<int>{160, 0, 0}));
}

TEST_F(VectorDrawing, FullCircleVerticesLieOnTheArc)
{
    // Top view (90, 90, -90): x follows Cb, y follows Cr.
    SetVector(0, 60, 255, 20, 128, 40);
    f.BuildRot(90, 90, -90);
    f.DrawVector(0, 192, 144);
    const double pi = 3.14159265358979323846;
    const double step = 2 * pi / 72;
    for (int j : {5, 7, 40, 61}) {
        EXPECT_EQ(Pixel(At(80, -pi + j * step, 40))[0], 240) << "outer vertex " << j;
        EXPECT_EQ(Pixel(At(40, pi - j * step, 40))[0], 240) << "inner vertex " << j;
    }
}

TEST_F(VectorDrawing, NarrowHueDrawsChords)
{
    // Hue width 3: less than one 5-degree step, drawn as chords between the
    // corners; the corners themselves are well defined.
    SetVector(0, 90, 3, 20, 128, 40);
    f.BuildRot(90, 90, -90);
    f.DrawVector(0, 192, 144);
    const double hw = 3 * 3.14159265358979323846 / 255;
    for (const auto& corner : {At(110, -hw, 40), At(110, hw, 40), At(70, -hw, 40),
                               At(70, hw, 40)})
        EXPECT_EQ(Pixel(corner)[0], 240) << corner[0] << ", " << corner[1];
    int drawn = 0;
    for (int line = 0; line < kScopeHeight; ++line)
        for (int x = 0; x < kScopeWidth; ++x)
            drawn += PixelAt(picture, x, line)[0] != 0;
    EXPECT_GT(drawn, 0);
    EXPECT_LT(drawn, 200);
}

// ---- labels ---------------------------------------------------------------------------

class LabelPlacement : public CubeDrawing {
protected:
    // Bounding box of the drawn (non-black) pixels: left, right, lowest and
    // highest line; left > right when nothing is drawn.
    std::vector<int> Box()
    {
        int left = kScopeWidth, right = -1, low = kScopeHeight, high = -1;
        for (int line = 0; line < kScopeHeight; ++line)
            for (int x = 0; x < kScopeWidth; ++x) {
                const std::vector<int> p = PixelAt(picture, x, line);
                if (p[0] == 0 && p[1] == 0 && p[2] == 0)
                    continue;
                left = std::min(left, x);
                right = std::max(right, x);
                low = std::min(low, line);
                high = std::max(high, line);
            }
        return {left, right, low, high};
    }
    void Label(int x, int y, int cx, int cy)
    {
        static const unsigned short text[] = {'C', 'r', 0};
        f.m_Draw.SetColor(0xFFFFFF, 1);
        f.SetText(x, y, cx, cy, text);
    }
};

TEST_F(LabelPlacement, RightOfTheReferenceStartsThreeToTheRight)
{
    Label(100, 50, 50, 50);
    const std::vector<int> box = Box();
    EXPECT_GE(box[0], 103);
    EXPECT_LE(box[1], 114); // 12 wide
    EXPECT_GE(box[2], 46);  // 8 high, centred on line 50
    EXPECT_LE(box[3], 53);
    EXPECT_LE(box[0], 104);
}

TEST_F(LabelPlacement, LeftOfTheReferenceEndsThreeToTheLeft)
{
    Label(100, 50, 150, 52);
    const std::vector<int> box = Box();
    EXPECT_GE(box[0], 85);
    EXPECT_LE(box[1], 96);
    EXPECT_GE(box[1], 93);
    EXPECT_GE(box[2], 46);
    EXPECT_LE(box[3], 53);
}

TEST_F(LabelPlacement, AboveTheReferenceGoesAbove)
{
    // Lines grow upward on screen: the point is above its reference.
    Label(100, 100, 100, 50);
    const std::vector<int> box = Box();
    EXPECT_GE(box[0], 94);
    EXPECT_LE(box[1], 105);
    EXPECT_GE(box[2], 101);
    EXPECT_LE(box[3], 108);
}

TEST_F(LabelPlacement, BelowTheReferenceGoesBelow)
{
    Label(100, 50, 101, 100);
    const std::vector<int> box = Box();
    EXPECT_GE(box[0], 94);
    EXPECT_LE(box[1], 105);
    EXPECT_GE(box[2], 42);
    EXPECT_LE(box[3], 49);
}

TEST_F(LabelPlacement, OnItsReferenceGoesBelow)
{
    Label(100, 50, 100, 50);
    const std::vector<int> box = Box();
    EXPECT_GE(box[0], 94);
    EXPECT_LE(box[1], 105);
    EXPECT_GE(box[2], 42);
    EXPECT_LE(box[3], 49);
}

TEST_F(LabelPlacement, FrameLabelsInFrameRed)
{
    f.BuildRot(30, 60, 20);
    f.DrawCube(0, 192, 144);
    int labelled = 0;
    for (int line = 0; line < kScopeHeight; ++line)
        for (int x = 0; x < kScopeWidth; ++x) {
            const std::vector<int> p = PixelAt(picture, x, line);
            EXPECT_TRUE(p[0] == 0 && p[1] == 0 && (p[2] == 0 || p[2] == 180));
            labelled += p[2] == 180;
        }
    EXPECT_GT(labelled, 100);
}

} // namespace
} // namespace colorcorrect::test
