#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/geometry.h"

using namespace korvex;

namespace {
using M3 = std::array<double, 9>;

M3 mul(const M3& a, const M3& b) {
    M3 r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
    return r;
}

// Counter-clockwise elementary rotations of the axes.
M3 rx(double a) { return {1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)}; }
M3 ry(double a) { return {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)}; }
M3 rz(double a) { return {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1}; }
}  // namespace

TEST(Geometry, DegreesToRadians) {
    EXPECT_EQ(degtorad(180), std::numbers::pi);
    EXPECT_EQ(degtorad(90), std::numbers::pi / 2);
    EXPECT_EQ(degtorad(0), 0.0);
    EXPECT_EQ(degtorad(-45), -std::numbers::pi / 4);
}

TEST(Geometry, ClearKeepsOnlyTheEmissionCount) {
    RunParameters p{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 1e7};
    clearparameters(p);
    EXPECT_EQ(p.emissions, 1e7);
    EXPECT_EQ(p.r1, 0);
    EXPECT_EQ(p.c, 0);
    EXPECT_EQ(p.rotz, 0);
}

TEST(Geometry, RotatedOnlyForAnAngleNotExactlyZero) {
    RunParameters p;
    EXPECT_FALSE(isrotated(p));
    p.rotz = degtorad(360);
    EXPECT_TRUE(isrotated(p));
    p.rotz = -0.0;
    EXPECT_FALSE(isrotated(p));
    p.roty = 1e-300;
    EXPECT_TRUE(isrotated(p));
}

TEST(Geometry, MatrixIsTheProductXThenYThenZ) {
    const double a = 0.3, b = -1.1, c = 2.4;
    const M3 r = rotmatrix(a, b, c);
    const M3 expected = mul(mul(rx(a), ry(b)), rz(c));
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(r[i], expected[i], 1e-15) << "entry " << i;
}

TEST(Geometry, UnrotatedFrameIsAnExactTranslation) {
    RunParameters p;
    p.a3 = 0.1;
    p.b3 = -0.7;
    p.c = 3.3;
    p.rotx = 1;  // ignored: the frame is built unrotated
    const Frame f = makeframe(p, false);
    const Vec3 d = todetector(f, {0.2, 0.4, 1e-17});
    EXPECT_EQ(d.x, 0.2 + 0.1);
    EXPECT_EQ(d.y, 0.4 + -0.7);
    EXPECT_EQ(d.z, 1e-17 + 3.3);
}

TEST(Geometry, QuarterTurnAboutSourceX) {
    RunParameters p;
    p.a3 = 1;
    p.b3 = 2;
    p.c = 5;
    p.rotx = degtorad(90);
    const Frame f = makeframe(p, true);
    // Ys points along -Zd, Zs along +Yd.
    const Vec3 y = todetector(f, {0, 1, 0});
    EXPECT_NEAR(y.x, 1, 1e-15);
    EXPECT_NEAR(y.y, 2, 1e-15);
    EXPECT_NEAR(y.z, 4, 1e-15);
    // The cosine of the converted angle is not exactly 0.
    EXPECT_NE(f.r[4], 0.0);
    const Vec3 z = todetector(f, {0, 0, 1});
    EXPECT_NEAR(z.x, 1, 1e-15);
    EXPECT_NEAR(z.y, 3, 1e-15);
    EXPECT_NEAR(z.z, 5, 1e-15);
}

TEST(Geometry, FullTurnIsIdentityUpToRounding) {
    const M3 r = rotmatrix(degtorad(360), degtorad(360), degtorad(360));
    const M3 id{1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int i = 0; i < 9; ++i) EXPECT_NEAR(r[i], id[i], 1e-15);
}

TEST(Geometry, RotationActsBeforeTranslation) {
    RunParameters p;
    p.a3 = 10;
    p.roty = degtorad(90);
    p.rotz = degtorad(30);
    const Frame f = makeframe(p, true);
    // The source origin stays at (a3, b3, c) whatever the angles.
    const Vec3 o = todetector(f, {0, 0, 0});
    EXPECT_EQ(o.x, 10);
    EXPECT_EQ(o.y, 0);
    EXPECT_EQ(o.z, 0);
    // Lengths are kept.
    const Vec3 v = todetector(f, {1, 2, 2});
    EXPECT_NEAR(std::hypot(v.x - 10, v.y, v.z), 3, 1e-14);
}
