#include <gtest/gtest.h>

#include <cmath>

#include "engine/detectors.h"
#include "testhost.h"

using namespace korvex;

namespace {

using DetectorTest = void (*)(Vec3, Vec3, const RunParameters&, RunTallies&);

// How closely the path sum must match: exactly, to within 4 ulps, or to a
// stated tolerance.
constexpr double exact = 0, rounded = -1;

// One ray from P through Q against a detector, and every tally it should leave.
struct Ray {
    const char* what;
    DetectorTest test;
    RunParameters size;
    Vec3 p, q;
    RunTallies expected;
    double pathtolerance = exact;
};

const RunParameters sphere1{.r2 = 1}, sphere2{.r2 = 2};
const RunParameters cylinder{.r2 = 1, .t2 = 2}, disc{.r2 = 1};
const RunParameters cuboid{.a2 = 2, .b2 = 2, .t2 = 1}, rectangle{.a2 = 2, .b2 = 4};
const RunTallies miss{};
const double nx = 1e-3, nz = -std::sqrt(1 - nx * nx);

const Ray rays[] = {
    // The sphere of radius 1 from outside.
    {"sphere, through the centre: the diameter",
     testsphere,
     sphere1,
     {0, 0, 5},
     {0, 0, 4},
     {.hits = 1, .pathsum = 2},
     rounded},
    {"sphere, going away: both roots behind", testsphere, sphere1, {0, 0, 5}, {0, 0, 6}, miss},
    {"sphere, touching: a miss", testsphere, sphere1, {1, 0, 5}, {1, 0, 4}, miss},
    {"sphere, passing outside", testsphere, sphere1, {2, 0, 5}, {2, 0, 4}, miss},
    // The sphere of radius 2 from inside and from its surface.
    {"sphere, from the centre",
     testsphere,
     sphere2,
     {0, 0, 0},
     {0.6, 0, 0.8},
     {.hits = 1, .pathsum = 2, .sourceinside = true},
     rounded},
    {"sphere, on the surface going in",
     testsphere,
     sphere2,
     {0, 0, 2},
     {0, 0, 1},
     {.hits = 1, .pathsum = 4, .sourceinside = true},
     rounded},
    {"sphere, on the surface going out",
     testsphere,
     sphere2,
     {0, 0, 2},
     {0, 0, 3},
     {.sourceinside = true}},

    // The cylinder of radius 1 from z = 0 down to z = -2.
    {"cylinder, through both ends near the axis",
     testcylinder,
     cylinder,
     {0, 0, 10},
     {nx, 0, 10 + nz},
     {.hits = 1, .pathsum = 2 / std::fabs(nz), .tophits = 1, .bottomhits = 1},
     1e-12},
    // Guards on exactly zero components: these rays are not followed.
    {"cylinder, straight down beside the axis",
     testcylinder,
     cylinder,
     {0.5, 0, 10},
     {0.5, 0, 9},
     miss},
    {"cylinder, level through the side", testcylinder, cylinder, {-5, 0, -1}, {-4, 0, -1}, miss},
    {"cylinder, from inside with x fixed", testcylinder, cylinder, {0, 0, -1}, {0, 1, -1.5}, miss},
    // The rims belong to the side.
    {"cylinder, in at the top rim (1, 0, 0), out at the bottom rim (-1, 0, -2)",
     testcylinder,
     cylinder,
     {3, 0, 2},
     {2, 0, 1},
     {.hits = 1, .pathsum = 2 * std::sqrt(2.0), .sidehits = 2},
     rounded},
    {"cylinder, tangent plan line touching the side at (0, 1, -1)",
     testcylinder,
     cylinder,
     {5, 1, 4},
     {4, 1, 3},
     {.hits = 1, .sidehits = 2}},
    // A line that meets the cylinder only at the rim point (1, 0, 0) misses.
    {"cylinder, to the rim from inside the circle",
     testcylinder,
     cylinder,
     {0, 0, 1},
     {1, 0, 0},
     miss},
    {"cylinder, from the rim outwards", testcylinder, cylinder, {1, 0, 0}, {2, 0, -1}, miss},
    // A start inside counts a hit but no walls; the top end counts as inside.
    {"cylinder, from inside out through the bottom",
     testcylinder,
     cylinder,
     {0, 0, -1},
     {0.6, 0, -1.8},
     {.hits = 1, .pathsum = 1.25, .sourceinside = true},
     rounded},
    {"cylinder, from the top end out through the side at x = 1",
     testcylinder,
     cylinder,
     {0.2, 0, 0},
     {0.8, 0, -0.8},
     {.hits = 1, .pathsum = std::hypot(0.8, 0.8 * 4 / 3), .sourceinside = true},
     rounded},
    {"cylinder, from the top end upwards",
     testcylinder,
     cylinder,
     {0.2, 0, 0},
     {0.8, 0, 0.8},
     miss},

    // The disc window of radius 1 counts rays from above only.
    {"disc, crossing on the circle", testdiscwindow, disc, {0, 0, 1}, {1, 0, 0}, miss},
    {"disc, crossing inside", testdiscwindow, disc, {0, 0, 1}, {0.4, 0.1, 0}, {.hits = 1}},
    {"disc, starting on its plane",
     testdiscwindow,
     disc,
     {0.5, 0.5, 0},
     {0.5, 0.5, -1},
     {.hits = 1}},
    {"disc, from below", testdiscwindow, disc, {2, 0, -1}, {0, 0, 0}, miss},
    {"disc, level", testdiscwindow, disc, {0, 0, 1}, {0.5, 0, 1}, miss},
    // A start strictly underneath it is noted.
    {"disc, below at the distance r2: not underneath",
     testdiscwindow,
     disc,
     {1, 0, -1},
     {1, 0, -2},
     miss},
    {"disc, at its centre", testdiscwindow, disc, {0, 0, 0}, {0, 0, 1}, miss},
    {"disc, underneath",
     testdiscwindow,
     disc,
     {0.5, 0.5, -3},
     {0.5, 0.5, -2},
     {.sourceinside = true}},

    // The cuboid 2 x 2, from z = 0 down to z = -1.
    {"cuboid, straight through",
     testcuboid,
     cuboid,
     {0.1, 0.2, 3},
     {0.1, 0.2, 2},
     {.hits = 1, .pathsum = 1, .topfacehits = 1, .bottomfacehits = 1}},
    {"cuboid, going up: both behind", testcuboid, cuboid, {0.1, 0.2, 3}, {0.1, 0.2, 4}, miss},
    {"cuboid, level through the x faces",
     testcuboid,
     cuboid,
     {-5, 0, -0.5},
     {-4, 0, -0.5},
     {.hits = 1, .pathsum = 2, .xplusfacehits = 1, .xminusfacehits = 1}},
    {"cuboid, level through the y faces",
     testcuboid,
     cuboid,
     {0.5, -5, -0.5},
     {0.5, -4, -0.5},
     {.hits = 1, .pathsum = 2, .yplusfacehits = 1, .yminusfacehits = 1}},
    {"cuboid, through the edge x = 1, z = 0 and the bottom face: one crossing",
     testcuboid,
     cuboid,
     {2, 0, 1},
     {1, 0, 0},
     miss},
    // A start inside or on the top face is inside; from the top face the
    // faces are counted.
    {"cuboid, from inside",
     testcuboid,
     cuboid,
     {0, 0, -0.5},
     {0, 0, -1.5},
     {.hits = 1, .pathsum = 0.5, .sourceinside = true}},
    {"cuboid, from the top face downwards",
     testcuboid,
     cuboid,
     {0, 0, 0},
     {0.1, 0, -1},
     {.hits = 1,
      .pathsum = std::hypot(0.1, 1.0),
      .topfacehits = 1,
      .bottomfacehits = 1,
      .sourceinside = true},
     rounded},
    {"cuboid, from the top face upwards",
     testcuboid,
     cuboid,
     {0, 0, 0},
     {0.1, 0, 1},
     {.sourceinside = true}},

    // The rectangular window 2 x 4 counts rays from above only.
    {"rectangle, crossing at x = a2/2 exactly",
     testrectwindow,
     rectangle,
     {0, 0, 1},
     {1, 0, 0},
     miss},
    {"rectangle, crossing inside",
     testrectwindow,
     rectangle,
     {0, 0, 1},
     {0.4, 1.9, 0},
     {.hits = 1}},
    {"rectangle, starting on its plane",
     testrectwindow,
     rectangle,
     {0.9, 1.9, 0},
     {0.9, 1.9, -1},
     {.hits = 1}},
    {"rectangle, level", testrectwindow, rectangle, {0, 0, 1}, {0.1, 0, 1}, miss},
    {"rectangle, underneath: never counted",
     testrectwindow,
     rectangle,
     {0, 0, -1},
     {0, 0, -2},
     {.sourceinside = true}},
    {"rectangle, below its edge: not underneath",
     testrectwindow,
     rectangle,
     {1, 0, -1},
     {1, 0, 0},
     miss},
};

TEST(Detectors, EveryTallyOfOneRay) {
    for (const Ray& r : rays) {
        RunTallies t;
        r.test(r.p, r.q, r.size, t);
        const RunTallies& e = r.expected;
        korvex::testing::expectsamecounts(t, e, r.what);
        if (r.pathtolerance == rounded) EXPECT_DOUBLE_EQ(t.pathsum, e.pathsum) << r.what;
        else EXPECT_NEAR(t.pathsum, e.pathsum, r.pathtolerance) << r.what;
    }
}

// Tallies add up over rays, and a start inside, once noted, stays noted.
TEST(Detectors, TalliesAddUpOverEmissionsAndSourceInsideStaysSet) {
    RunTallies t;
    testcuboid({0.1, 0.2, 3}, {0.1, 0.2, 2}, cuboid, t);
    testcuboid({-5, 0, -0.5}, {-4, 0, -0.5}, cuboid, t);
    testcuboid({0, 0, -0.5}, {0, 0, -1.5}, cuboid, t);
    testcuboid({0.1, 0.2, 3}, {0.1, 0.2, 2}, cuboid, t);
    EXPECT_EQ(t.hits, 4);
    EXPECT_EQ(t.pathsum, 4.5);
    EXPECT_EQ(t.topfacehits, 2);
    EXPECT_EQ(t.xplusfacehits, 1);
    EXPECT_TRUE(t.sourceinside);

    RunTallies w;
    testrectwindow({0, 0, -1}, {0, 0, -2}, rectangle, w);
    testrectwindow({0, 0, 1}, {0.4, 1.9, 0}, rectangle, w);
    testrectwindow({1, 0, -1}, {1, 0, 0}, rectangle, w);
    EXPECT_EQ(w.hits, 1);
    EXPECT_TRUE(w.sourceinside);
}

}  // namespace
