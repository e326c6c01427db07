// Estimates on fixed seeds against closed forms, each within the error the
// report gives at 99.9% (3.29 binomial standard deviations).
#include <gtest/gtest.h>

#include <cmath>

#include "engine/dataset.h"
#include "engine/estimate.h"
#include "engine/run.h"
#include "testhost.h"

using namespace korvex;
using korvex::testing::RecordingHost;

namespace {

struct Answer {
    double omega, error;
    RunTallies t;
};

Answer run(RunParameters prm, GeometryFlags flags, std::uint32_t seed, double emissions) {
    prm.emissions = emissions;
    auto gen = mtcreate(seed);
    RecordingHost host;
    const DatasetOutcome out = rundataset(prm, flags, *gen, host);
    EXPECT_EQ(out.problem, DatasetProblem::none);
    const RunTallies& t = out.tallies;
    const double full = flags.twopisrc ? 2 * pi : 4 * pi;
    const double sigma = std::sqrt((t.emitted - t.hits) * t.hits / t.emitted);
    return {full * t.hits / t.emitted, 3.29 * full * sigma / t.emitted, t};
}

GeometryFlags pointover(bool cyl, bool cub, bool sph) {
    return {.ptsrc = true, .cyldet = cyl, .cubdet = cub, .sphdet = sph};
}

double discangle(double h, double r) { return 2 * pi * (1 - h / std::sqrt(h * h + r * r)); }

double rectangle(double a, double b, double h) {
    return 4 * std::atan(a * b / (4 * h * std::sqrt(h * h + a * a / 4 + b * b / 4)));
}

// A disc of radius r seen from the axis, averaged over heights c to c + t.
double discfromline(double r, double c, double t) {
    return 2 * pi * (1 - (std::sqrt((c + t) * (c + t) + r * r) - std::sqrt(c * c + r * r)) / t);
}

}  // namespace

// Sources on the axis of a window, against the window's closed form.
TEST(Statistics, WindowsSeenFromTheirAxis) {
    const GeometryFlags pointdisc{.ptsrc = true, .discwindow = true};
    const GeometryFlags halfpointdisc{
        .ptsrc = true, .twopisrc = true, .fourpisrc = false, .discwindow = true};
    const struct {
        const char* what;
        GeometryFlags flags;
        RunParameters prm;
        std::uint32_t seed;
        double exact;
    } cases[] = {
        {"point over a disc", pointdisc, {.r2 = 1.5, .c = 2}, 4357, discangle(2, 1.5)},
        // 2 pi towards the window sees the same solid angle.
        {"2 pi point over a disc", halfpointdisc, {.r2 = 1.5, .c = 2}, 1, discangle(2, 1.5)},
        // Turned a quarter about Xs, half the window's rays leave the front face.
        {"2 pi point turned a quarter",
         halfpointdisc,
         {.r2 = 1.5, .c = 2, .rotx = degtorad(90)},
         2,
         discangle(2, 1.5) / 2},
        // A disc source of radius 0: every point on the axis.
        {"thick line over a disc",
         {.discwindow = true},
         {.t1 = 2, .r2 = 1, .c = 0.5},
         11,
         discfromline(1, 0.5, 2)},
        {"point over a rectangle",
         {.ptsrc = true, .cyldet = false, .cubdet = true, .rectwindow = true},
         {.a2 = 2, .b2 = 3, .c = 1.5},
         4357,
         rectangle(2, 3, 1.5)},
    };
    for (const auto& c : cases) {
        const Answer e = run(c.prm, c.flags, c.seed, 400000);
        EXPECT_NEAR(e.omega, c.exact, e.error) << c.what;
    }
}

TEST(Statistics, PointOutsideAndInsideASphere) {
    RunParameters p{.r2 = 1, .d = 1.2, .a3 = 1.2, .c = 2.1};
    const double dist = std::hypot(1.2, 2.1);
    const Answer out = run(p, pointover(false, false, true), 4357, 400000);
    EXPECT_NEAR(out.omega, 2 * pi * (1 - std::sqrt(1 - 1 / (dist * dist))), out.error);
    EXPECT_FALSE(out.t.sourceinside);
    // Mean chord of the sphere seen from outside: 4/3 r^3 pi / (pi r^2) averaged
    // over the disc of lines is not exact for a point; only bound it.
    EXPECT_GT(out.t.meanpath, 0);
    EXPECT_LT(out.t.meanpath, 2);

    p.a3 = p.c = 0;
    const Answer in = run(p, pointover(false, false, true), 1, 100000);
    EXPECT_EQ(in.omega, 4 * pi);
    EXPECT_NEAR(in.t.meanpath, 1, 1e-12);
    EXPECT_TRUE(in.t.sourceinside);
}

// Seen from its axis, a cylinder shows its top end and a cuboid its top
// face: every counted ray enters there and leaves through another surface.
TEST(Statistics, CylinderAndCuboidAlongTheirAxis) {
    RunParameters p{.r2 = 1, .t2 = 3, .c = 4};
    const Answer cyl = run(p, pointover(true, false, false), 4357, 400000);
    EXPECT_NEAR(cyl.omega, discangle(4, 1), cyl.error);
    EXPECT_EQ(cyl.t.tophits, cyl.t.hits);
    EXPECT_EQ(cyl.t.sidehits + cyl.t.bottomhits, cyl.t.hits);

    p.a2 = 1;
    p.b2 = 2;
    const Answer cub = run(p, pointover(false, true, false), 4357, 400000);
    EXPECT_NEAR(cub.omega, rectangle(1, 2, 4), cub.error);
    EXPECT_EQ(cub.t.topfacehits, cub.t.hits);
    EXPECT_GT(cub.t.bottomfacehits, 0);
    EXPECT_GT(cub.t.xplusfacehits, 0);
    EXPECT_GT(cub.t.yminusfacehits, 0);
}

// Extended, thick, rotated sources wholly outside the detector: every counted
// emission enters once and leaves once.
TEST(Statistics, WallAndFaceCountsAreTwiceTheHits) {
    const GeometryFlags cyl;
    const RunParameters p{.r1 = 0.8,
                          .t1 = 0.3,
                          .r2 = 1,
                          .t2 = 2,
                          .a3 = 1.5,
                          .c = 1,
                          .rotx = degtorad(30),
                          .roty = degtorad(-20)};
    const Answer c = run(p, cyl, 77, 300000);
    EXPECT_GT(c.t.hits, 10000);
    EXPECT_GT(c.t.sidehits, 0);
    EXPECT_GT(c.t.tophits, 0);
    EXPECT_GT(c.t.bottomhits, 0);
    EXPECT_EQ(c.t.sidehits + c.t.tophits + c.t.bottomhits, 2 * c.t.hits);
    EXPECT_FALSE(c.t.sourceinside);

    const GeometryFlags cub{.cylsrc = false, .cubsrc = true, .cyldet = false, .cubdet = true};
    const RunParameters q{.r1 = 0.8,
                          .a1 = 1,
                          .b1 = 0.5,
                          .t1 = 0.3,
                          .r2 = 1,
                          .a2 = 2,
                          .b2 = 1.5,
                          .t2 = 2,
                          .a3 = 0.7,
                          .b3 = -1.8,
                          .c = 0.2,
                          .rotx = degtorad(30),
                          .roty = degtorad(-20),
                          .rotz = degtorad(75)};
    const Answer b = run(q, cub, 78, 300000);
    const RunTallies& t = b.t;
    EXPECT_GT(t.hits, 10000);
    EXPECT_EQ(t.topfacehits + t.bottomfacehits + t.xplusfacehits + t.xminusfacehits +
                  t.yplusfacehits + t.yminusfacehits,
              2 * t.hits);
    EXPECT_FALSE(t.sourceinside);
}

// The spread of the path lengths through a sphere seen from a point outside
// it, against the chord-length distribution: a ray at angle theta from the
// centre's direction crosses 2 sqrt(R^2 - D^2 sin^2 theta), with cos theta
// uniform on [cos theta_max, 1]. The moments are integrated numerically.
TEST(Statistics, SpreadOfThePathThroughASphere) {
    const double r = 1, dist = 2;
    Dataset ds;
    ds.source = SourceShape::point;
    ds.detector = DetectorShape::sphere;
    ds[Value::r2] = r;
    ds[Value::c] = dist;
    ds[Value::emissions] = 400000;
    GeometryFlags flags;
    RunParameters prm;
    makerun(ds, flags, prm);
    const Answer a = run(prm, flags, 4357, prm.emissions);
    const korvex::Estimate e = estimate(flags, a.t);

    const double cmax = std::sqrt(1 - r * r / (dist * dist));
    const int steps = 200000;
    double m1 = 0, m2 = 0;
    for (int k = 0; k < steps; ++k) {  // midpoint rule in u = cos theta
        const double u = cmax + (1 - cmax) * (k + 0.5) / steps;
        const double chord = 2 * std::sqrt(std::max(0.0, r * r - dist * dist * (1 - u * u)));
        m1 += chord / steps;
        m2 += chord * chord / steps;
    }
    const double spread = std::sqrt(m2 - m1 * m1);
    // The standard error is the spread over the root of the hits, to the
    // statistical precision of the spread itself (a few per cent here).
    EXPECT_NEAR(e.meanpathsigma * std::sqrt(a.t.hits), spread, 0.02 * spread);
    EXPECT_NEAR(a.t.meanpath, m1, 3.29 * e.meanpathsigma);
    EXPECT_GT(e.meanpathsigma, 0);
}
