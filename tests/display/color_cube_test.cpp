// The 3D colour cube: the rotation of three angles, the drag and spin turns,
// the frame with its labels, and the match vector's solid.

#include <colorcorrect/colorcorrect.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "support/display_access.h"
#include "support/picture_compare.h"

namespace colorcorrect::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(CubeRotation, MatrixOfKnownAngles)
{
    // Rz(gamma) * Rx(beta) * Rz(alpha), scaled by 0.7; row 1 is screen x,
    // row 2 screen y of a colour vector (V, U, Y - 128).
    const struct { int alpha, beta, gamma; float m[9]; } cases[] = {
        {0, 0, 0, {1, 0, 0, 0, 1, 0, 0, 0, 1}}, {90, 0, 0, {0, -1, 0, 1, 0, 0, 0, 0, 1}},
        {0, 60, 0, {1, 0, 0, 0, 0.5f, -0.8660254f, 0, 0.8660254f, 0.5f}}, {90, 90, -90, {0, 0, -1, 0, 1, 0, 1, 0, 0}}};
    auto f = std::make_unique<DisplayAccess>();
    for (const auto& c : cases) {
        f->BuildRot(c.alpha, c.beta, c.gamma);
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(f->m_afRot[i], 0.7f * c.m[i], 1e-6f) << c.alpha << " " << c.beta << " " << c.gamma << " m" << i;
    }
}

TEST(CubeRotation, DragsAndSpinsGiveWholeDegrees)
{
    // Drags: (0, 90) shows the chroma plane from below, a sideways drag turns
    // gamma, a zero drag shrinks by cos(1 degree), with the luma axis along
    // the depth all goes to alpha. Spins add to alpha, which wraps.
    const struct { int alpha, beta, gamma; bool spin; int dx, dy, ea, eb, eg; } cases[] = {
        {0, 0, 0, false, 0, 90, 90, 90, -90},   {0, 90, 0, false, 10, 0, 0, 90, 10},   {30, 60, 20, false, 0, 0, 30, 60, 20},
        {0, 0, 0, false, 0, 0, 90, 1, 90},      {0, 30, 90, false, 0, 30, 90, 0, 0},   {30, 60, 20, true, 10, 0, 40, 60, 20},
        {30, 60, 20, true, 370, 0, 40, 60, 20}, {30, 60, 20, true, -10, 0, 20, 60, 20}, {30, 60, 20, true, -370, 0, 20, 60, 20},
        {170, 60, 20, true, 30, 0, -160, 60, 20}};
    auto f = std::make_unique<DisplayAccess>();
    for (const auto& c : cases) {
        int a = c.alpha, b = c.beta, g = c.gamma;
        c.spin ? f->SetNewAngles(a, b, g, c.dx) : f->SetNewAngles(a, b, g, c.dx, c.dy);
        EXPECT_EQ(std::vector<int>({a, b, g}), std::vector<int>({c.ea, c.eb, c.eg}))
            << c.alpha << " " << c.beta << " " << c.gamma << " by " << c.dx << ", " << c.dy;
    }
}

class CubeDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
        ASSERT_TRUE(f->m_Draw.Select(picture, 0));
    }
    // Box (left, right, lowest, highest line) of the pixels with red `red`
    // (or any non-black pixel for -1) within the given area.
    std::vector<int> Box(int red, int left = 0, int low = 0, int right = kScopeWidth - 1, int high = kScopeHeight - 1)
    {
        std::vector<int> box = {kScopeWidth, -1, kScopeHeight, -1};
        for (int line = low; line <= high; ++line)
            for (int x = left; x <= right; ++x) {
                const std::vector<int> p = PixelAt(picture, x, line);
                if (red >= 0 ? p[2] != red : p == std::vector<int>{0, 0, 0})
                    continue;
                box = {std::min(box[0], x), std::max(box[1], x), std::min(box[2], line), std::max(box[3], line)};
            }
        return box;
    }
    // Screen point of the solid's point (r, a, z) as the cube projects it.
    std::vector<int> At(double r, double a, double z)
    {
        const double v = std::trunc(std::cos(a) * r), u = std::trunc(std::sin(a) * r);
        const float* m = f->m_afRot;
        return {static_cast<int>(m[3] * v + m[4] * u + m[5] * z) + 192,
                static_cast<int>(m[6] * v + m[7] * u + m[8] * z) + 144};
    }

    CVoraDib picture;
    std::unique_ptr<DisplayAccess> f = std::make_unique<DisplayAccess>();
};

TEST_F(CubeDrawing, FrameLabelsSitBesideTheAxisEndsInFrameRed)
{
    // The frame's labels: "Y" above the luma axis end (192, 233), all in frame red.
    f->BuildRot(0, 0, 0);
    ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
    f->BuildCube(picture);
    EXPECT_EQ(Box(180, 180, 234, 205, kScopeHeight - 1), (std::vector<int>{189, 193, 235, 241}));
    f->BuildRot(30, 60, 20);
    ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
    f->DrawCube(0, 192, 144);
    for (int line = 0; line < kScopeHeight; ++line)
        for (int x = 0; x < kScopeWidth; ++x) {
            const std::vector<int> p = PixelAt(picture, x, line);
            ASSERT_TRUE(p == std::vector<int>({0, 0, 0}) || p == std::vector<int>({0, 0, 180})) << x << ", " << line;
        }
}

TEST_F(CubeDrawing, MatchVectorSolid)
{
    // Side view: the faces are lines at Y - 128 = +-40, the side edges
    // vertical; the front face and the sides facing the viewer in the
    // brighter blue.
    tagMATCHVECTOR mv; // (128, 0, 60), luma range 40, hue and saturation widths 20
    mv.Init();
    mv.cU = 0, mv.cV = 60, mv.byHueWidth = mv.bySatWidth = 20, mv.byY = 128, mv.byYRange = 40;
    ASSERT_EQ(f->SetIsolateParam(nullptr) * 10 + f->SetIsolateParam(&mv), 1);
    f->m_bMatchVector = 1;
    f->BuildRot(0, 0, 0);
    const double hw = 20 * kPi / 255;
    const int upper = At(80, 0, 40)[1], lower = At(80, 0, -40)[1], side = At(80, -hw, -40)[0];
    for (int back : {0, 1}) {
        ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
        f->DrawVector(back, 192, 144);
        EXPECT_TRUE(PixelIs(picture, 192, upper, {160, 0, 0}));
        EXPECT_TRUE(PixelIs(picture, 192, lower, {240, 0, 0}));
        EXPECT_TRUE(PixelIs(picture, side, 144, {back ? 160 : 240, 0, 0}));
    }
    // Nothing without the match stage.
    f->m_bMatchVector = 0;
    ASSERT_TRUE(picture.Alloc(kScopeWidth, kScopeHeight, 24, 0));
    f->DrawVector(0, 192, 144);
    EXPECT_EQ(Box(-1)[1], -1);
}

} // namespace
} // namespace colorcorrect::test
