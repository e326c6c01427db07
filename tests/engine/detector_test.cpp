#include <gtest/gtest.h>

#include <cmath>

#include "engine/detectors.h"

using namespace korvex;

namespace {

RunParameters sphere(double r2) {
    RunParameters p;
    p.r2 = r2;
    return p;
}

RunParameters cylinder(double r2, double t2) {
    RunParameters p;
    p.r2 = r2;
    p.t2 = t2;
    return p;
}

RunParameters box(double a2, double b2, double t2) {
    RunParameters p;
    p.a2 = a2;
    p.b2 = b2;
    p.t2 = t2;
    return p;
}

double walls(const RunTallies& t) { return t.sidehits + t.tophits + t.bottomhits; }

double faces(const RunTallies& t) {
    return t.topfacehits + t.bottomfacehits + t.xplusfacehits + t.xminusfacehits +
           t.yplusfacehits + t.yminusfacehits;
}

}  // namespace

TEST(Sphere, FromOutside) {
    const RunParameters p = sphere(1);
    RunTallies t;
    testsphere({0, 0, 5}, {0, 0, 4}, p, t);  // at the centre: the diameter
    EXPECT_EQ(t.hits, 1);
    EXPECT_DOUBLE_EQ(t.pathsum, 2);
    testsphere({0, 0, 5}, {0, 0, 6}, p, t);  // away: both roots behind
    testsphere({1, 0, 5}, {1, 0, 4}, p, t);  // touching: a miss
    testsphere({2, 0, 5}, {2, 0, 4}, p, t);  // passing outside
    EXPECT_EQ(t.hits, 1);
    EXPECT_DOUBLE_EQ(t.pathsum, 2);
    EXPECT_FALSE(t.sourceinside);
}

TEST(Sphere, FromInsideAndFromTheSurface) {
    const RunParameters p = sphere(2);
    RunTallies t;
    testsphere({0, 0, 0}, {0.6, 0, 0.8}, p, t);
    EXPECT_EQ(t.hits, 1);
    EXPECT_DOUBLE_EQ(t.pathsum, 2);
    EXPECT_TRUE(t.sourceinside);

    RunTallies in;
    testsphere({0, 0, 2}, {0, 0, 1}, p, in);  // on the surface, going in
    EXPECT_EQ(in.hits, 1);
    EXPECT_DOUBLE_EQ(in.pathsum, 4);
    EXPECT_TRUE(in.sourceinside);

    RunTallies out;
    testsphere({0, 0, 2}, {0, 0, 3}, p, out);  // on the surface, going out
    EXPECT_EQ(out.hits, 0);
    EXPECT_EQ(out.pathsum, 0);
    EXPECT_TRUE(out.sourceinside);
}

TEST(Cylinder, ThroughBothEndsNearTheAxis) {
    const RunParameters p = cylinder(1, 2);
    RunTallies t;
    const double nx = 1e-3, nz = -std::sqrt(1 - nx * nx);
    testcylinder({0, 0, 10}, {nx, 0, 10 + nz}, p, t);
    EXPECT_EQ(t.hits, 1);
    EXPECT_EQ(t.tophits, 1);
    EXPECT_EQ(t.bottomhits, 1);
    EXPECT_EQ(t.sidehits, 0);
    EXPECT_NEAR(t.pathsum, 2 / std::fabs(nz), 1e-12);
    EXPECT_FALSE(t.sourceinside);
}

TEST(Cylinder, GuardsOnExactlyZeroComponents) {
    const RunParameters p = cylinder(1, 2);
    RunTallies t;
    testcylinder({0.5, 0, 10}, {0.5, 0, 9}, p, t);    // straight down the axis side
    testcylinder({-5, 0, -1}, {-4, 0, -1}, p, t);     // level, through the side
    testcylinder({0, 0, -1}, {0, 1, -1.5}, p, t);     // from inside, x fixed
    EXPECT_EQ(t.hits, 0);
    EXPECT_FALSE(t.sourceinside);
}

TEST(Cylinder, RimsBelongToTheSide) {
    const RunParameters p = cylinder(1, 2);
    RunTallies t;
    // Enters at the top rim (1, 0, 0), leaves at the bottom rim (-1, 0, -2).
    testcylinder({3, 0, 2}, {2, 0, 1}, p, t);
    EXPECT_EQ(t.hits, 1);
    EXPECT_EQ(t.sidehits, 2);
    EXPECT_EQ(t.tophits + t.bottomhits, 0);
    EXPECT_DOUBLE_EQ(t.pathsum, 2 * std::sqrt(2.0));
}

TEST(Cylinder, TangentPlanLine) {
    const RunParameters p = cylinder(1, 2);
    RunTallies t;
    testcylinder({5, 1, 4}, {4, 1, 3}, p, t);  // touches the side at (0, 1, -1)
    EXPECT_EQ(t.hits, 1);
    EXPECT_EQ(t.sidehits, 2);
    EXPECT_EQ(t.pathsum, 0);
}

TEST(Cylinder, SingleRimContactIsAMiss) {
    const RunParameters p = cylinder(1, 2);
    RunTallies t;
    // The line meets the cylinder only at the rim point (1, 0, 0).
    testcylinder({0, 0, 1}, {1, 0, 0}, p, t);
    testcylinder({1, 0, 0}, {2, 0, -1}, p, t);
    EXPECT_EQ(t.hits, 0);
    EXPECT_EQ(walls(t), 0);
    EXPECT_FALSE(t.sourceinside);
}

TEST(Cylinder, StartInsideOrOnTheTop) {
    const RunParameters p = cylinder(1, 2);
    RunTallies t;
    testcylinder({0, 0, -1}, {0.6, 0, -1.8}, p, t);  // leaves through the bottom
    EXPECT_EQ(t.hits, 1);
    EXPECT_DOUBLE_EQ(t.pathsum, 1.25);
    EXPECT_TRUE(t.sourceinside);
    EXPECT_EQ(walls(t), 0);

    RunTallies down;
    testcylinder({0.2, 0, 0}, {0.8, 0, -0.8}, p, down);
    EXPECT_EQ(down.hits, 1);
    EXPECT_DOUBLE_EQ(down.pathsum, std::hypot(0.8, 0.8 * 4 / 3));  // to the side at x = 1
    EXPECT_TRUE(down.sourceinside);
    EXPECT_EQ(walls(down), 0);

    RunTallies up;
    testcylinder({0.2, 0, 0}, {0.8, 0, 0.8}, p, up);
    EXPECT_EQ(up.hits, 0);
    EXPECT_FALSE(up.sourceinside);
}

TEST(DiscWindow, FromAboveOnly) {
    const RunParameters p = cylinder(1, 0);
    RunTallies t;
    testdiscwindow({0, 0, 1}, {1, 0, 0}, p, t);         // crosses at x = 1: on the circle
    EXPECT_EQ(t.hits, 0);
    testdiscwindow({0, 0, 1}, {0.4, 0.1, 0}, p, t);     // inside
    testdiscwindow({0.5, 0.5, 0}, {0.5, 0.5, -1}, p, t);  // starting on the plane
    EXPECT_EQ(t.hits, 2);
    testdiscwindow({2, 0, -1}, {0, 0, 0}, p, t);        // from below
    testdiscwindow({0, 0, 1}, {0.5, 0, 1}, p, t);       // level
    EXPECT_EQ(t.hits, 2);
    EXPECT_EQ(t.pathsum, 0);
    EXPECT_FALSE(t.sourceinside);
}

TEST(DiscWindow, StartUnderneath) {
    const RunParameters p = cylinder(1, 0);
    RunTallies beside, on, under;
    testdiscwindow({1, 0, -1}, {1, 0, -2}, p, beside);  // at the distance r2: not under
    testdiscwindow({0, 0, 0}, {0, 0, 1}, p, on);
    testdiscwindow({0.5, 0.5, -3}, {0.5, 0.5, -2}, p, under);
    EXPECT_FALSE(beside.sourceinside);
    EXPECT_FALSE(on.sourceinside);
    EXPECT_TRUE(under.sourceinside);
    EXPECT_EQ(under.hits, 0);
}

TEST(Cuboid, StraightThroughAndBehind) {
    const RunParameters p = box(2, 2, 1);
    RunTallies t;
    testcuboid({0.1, 0.2, 3}, {0.1, 0.2, 2}, p, t);
    EXPECT_EQ(t.hits, 1);
    EXPECT_EQ(t.topfacehits, 1);
    EXPECT_EQ(t.bottomfacehits, 1);
    EXPECT_EQ(t.pathsum, 1);
    testcuboid({0.1, 0.2, 3}, {0.1, 0.2, 4}, p, t);  // going up: both behind
    EXPECT_EQ(t.hits, 1);
    EXPECT_EQ(faces(t), 2);
    EXPECT_FALSE(t.sourceinside);
}

TEST(Cuboid, SideFacesAndEdges) {
    const RunParameters p = box(2, 2, 1);
    RunTallies t;
    testcuboid({-5, 0, -0.5}, {-4, 0, -0.5}, p, t);  // level: x faces only
    EXPECT_EQ(t.hits, 1);
    EXPECT_EQ(t.xplusfacehits, 1);
    EXPECT_EQ(t.xminusfacehits, 1);
    EXPECT_EQ(t.pathsum, 2);
    testcuboid({0.5, -5, -0.5}, {0.5, -4, -0.5}, p, t);
    EXPECT_EQ(t.yplusfacehits, 1);
    EXPECT_EQ(t.yminusfacehits, 1);
    // Through the edge x = 1, z = 0 and the bottom face: one crossing, a miss.
    testcuboid({2, 0, 1}, {1, 0, 0}, p, t);
    EXPECT_EQ(t.hits, 2);
    EXPECT_EQ(faces(t), 2 * t.hits);
}

TEST(Cuboid, StartInsideOrOnTheTop) {
    const RunParameters p = box(2, 2, 1);
    RunTallies in;
    testcuboid({0, 0, -0.5}, {0, 0, -1.5}, p, in);
    EXPECT_EQ(in.hits, 1);
    EXPECT_EQ(in.pathsum, 0.5);
    EXPECT_TRUE(in.sourceinside);
    EXPECT_EQ(faces(in), 0);

    RunTallies down;
    testcuboid({0, 0, 0}, {0.1, 0, -1}, p, down);
    EXPECT_EQ(down.hits, 1);
    EXPECT_EQ(down.topfacehits, 1);
    EXPECT_EQ(down.bottomfacehits, 1);
    EXPECT_DOUBLE_EQ(down.pathsum, std::hypot(0.1, 1.0));
    EXPECT_TRUE(down.sourceinside);

    RunTallies up;
    testcuboid({0, 0, 0}, {0.1, 0, 1}, p, up);
    EXPECT_EQ(up.hits, 0);
    EXPECT_TRUE(up.sourceinside);
}

TEST(RectWindow, FromAboveOnly) {
    const RunParameters p = box(2, 4, 0);
    RunTallies t;
    testrectwindow({0, 0, 1}, {1, 0, 0}, p, t);      // crosses at x = a2/2 exactly
    EXPECT_EQ(t.hits, 0);
    testrectwindow({0, 0, 1}, {0.4, 1.9, 0}, p, t);
    testrectwindow({0.9, 1.9, 0}, {0.9, 1.9, -1}, p, t);  // starting on the plane
    testrectwindow({0, 0, 1}, {0.1, 0, 1}, p, t);    // level
    testrectwindow({0, 0, -1}, {0, 0, -2}, p, t);    // below: never counted
    EXPECT_EQ(t.hits, 2);
    EXPECT_EQ(t.pathsum, 0);
    EXPECT_EQ(faces(t), 0);
    EXPECT_TRUE(t.sourceinside);

    RunTallies outside;
    testrectwindow({1, 0, -1}, {1, 0, 0}, p, outside);
    EXPECT_FALSE(outside.sourceinside);
}
