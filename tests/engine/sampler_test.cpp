#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/sampler.h"

using namespace korvex;

namespace {

// How many outputs took the generator from before to after (at most 16).
int drawsbetween(const MTRandomState& before, const MTRandomState& after) {
    MTRandomState s = before;
    for (int n = 0; n <= 16; ++n) {
        if (s.mti == after.mti && std::memcmp(s.mt, after.mt, sizeof s.mt) == 0) return n;
        mtnext(s);
    }
    return -1;
}

struct Source {
    RunParameters prm;
    GeometryFlags flags;
};

Source disc(double r1, double t1) {
    Source s;
    s.prm.r1 = r1;
    s.prm.t1 = t1;
    return s;
}

Source cuboid(double a1, double b1, double t1) {
    Source s;
    s.flags.cylsrc = false;
    s.flags.cubsrc = true;
    s.prm.a1 = a1;
    s.prm.b1 = b1;
    s.prm.t1 = t1;
    return s;
}

Source point(double t1) {
    Source s;
    s.flags.ptsrc = true;
    s.prm.t1 = t1;
    return s;
}

void expectdraws(const Source& s, int draws) {
    auto gen = mtcreate(777);
    const Frame frame = makeframe(s.prm, isrotated(s.prm));
    // Across the regeneration at the 625th output as well.
    for (int i = 0; i < 700; ++i) {
        const MTRandomState before = *gen;
        sampleemission(s.prm, s.flags, frame, *gen);
        ASSERT_EQ(drawsbetween(before, *gen), draws) << "emission " << i;
    }
}

}  // namespace

TEST(Sampler, DrawCountsForEverySourceKind) {
    expectdraws(disc(1, 0), 4);
    expectdraws(disc(1, 0.5), 5);
    expectdraws(disc(0, 0), 4);  // the lateral draws happen even at r1 = 0
    expectdraws(cuboid(1, 2, 0), 4);
    expectdraws(cuboid(1, 0, 0), 4);
    expectdraws(cuboid(1, 2, 3), 5);
    expectdraws(point(0), 2);
    expectdraws(point(1), 3);
    Source twopi = cuboid(1, 1, 1);
    twopi.flags.fourpisrc = false;
    twopi.flags.twopisrc = true;
    twopi.prm.rotx = 0.5;
    expectdraws(twopi, 5);
}

// u3, u4, u5, u6, u7 in this order, each for its own purpose.
TEST(Sampler, DrawOrderOfAThickRectangle) {
    Source s = cuboid(2, 4, 3);
    s.prm.a3 = 1;
    s.prm.b3 = 2;
    s.prm.c = 10;
    auto gen = mtcreate(4357);
    auto copy = mtcreate(4357);
    const Emission e = sampleemission(s.prm, s.flags, makeframe(s.prm, false), *gen);
    double u[5];
    for (double& x : u) x = randomreal(*copy);
    const double xs = ((2 * u[0] - 1) * 0.5) * 2;
    const double ys = ((2 * u[1] - 1) * 0.5) * 4;
    const double zs = u[2] * 3;
    const double w = 2 * u[3] - 1;
    EXPECT_EQ(e.p.x, xs + 1);
    EXPECT_EQ(e.p.y, ys + 2);
    EXPECT_EQ(e.p.z, zs + 10);
    EXPECT_EQ(e.q.z, (zs + w) + 10);
    const double phi = 2 * std::numbers::pi * u[4];
    EXPECT_NEAR(e.q.x - e.p.x, std::cos(phi) * std::sqrt(1 - w * w), 1e-14);
    EXPECT_NEAR(e.q.y - e.p.y, std::sin(phi) * std::sqrt(1 - w * w), 1e-14);
}

TEST(Sampler, PointsStayInsideTheSource) {
    auto gen = mtcreate(99);
    Source d = disc(2, 0);
    Source line = cuboid(3, 0, 0);
    Source p = point(0);
    p.prm.a3 = 0.25;
    p.prm.b3 = -0.5;
    p.prm.c = 7;
    double maxr = 0;
    for (int i = 0; i < 20000; ++i) {
        const Emission e = sampleemission(d.prm, d.flags, makeframe(d.prm, false), *gen);
        ASSERT_EQ(e.p.z, 0);
        maxr = std::max(maxr, std::hypot(e.p.x, e.p.y));
        const double len =
            std::sqrt((e.q.x - e.p.x) * (e.q.x - e.p.x) + (e.q.y - e.p.y) * (e.q.y - e.p.y) +
                      (e.q.z - e.p.z) * (e.q.z - e.p.z));
        ASSERT_NEAR(len, 1, 1e-14);

        const Emission l = sampleemission(line.prm, line.flags, makeframe(line.prm, false), *gen);
        ASSERT_EQ(l.p.y, 0);
        ASSERT_LE(std::fabs(l.p.x), 1.5);

        const Emission q = sampleemission(p.prm, p.flags, makeframe(p.prm, false), *gen);
        ASSERT_EQ(q.p.x, 0.25);
        ASSERT_EQ(q.p.y, -0.5);
        ASSERT_EQ(q.p.z, 7);
    }
    EXPECT_LE(maxr, 2);
    EXPECT_GT(maxr, 1.99);  // the disc is filled out to its rim
}

TEST(Sampler, TwoPiLeavesThroughTheFrontFace) {
    auto gen = mtcreate(5);
    Source s = disc(1, 0.5);
    s.flags.fourpisrc = false;
    s.flags.twopisrc = true;
    s.prm.c = 2;
    const Frame up = makeframe(s.prm, false);
    double minw = 0;
    for (int i = 0; i < 20000; ++i) {
        const Emission e = sampleemission(s.prm, s.flags, up, *gen);
        ASSERT_LE(e.q.z, e.p.z);
        ASSERT_GE(e.p.z, 2);
        ASSERT_LE(e.p.z, 2.5);
        minw = std::min(minw, e.q.z - e.p.z);
    }
    EXPECT_LT(minw, -0.999);
    // Turned by 180 degrees about Xs, the source emits upwards.
    s.prm.rotx = degtorad(180);
    const Frame down = makeframe(s.prm, true);
    for (int i = 0; i < 20000; ++i) {
        const Emission e = sampleemission(s.prm, s.flags, down, *gen);
        ASSERT_GE(e.q.z - e.p.z, -1e-15);
        ASSERT_LE(e.p.z, 2 + 1e-15);
    }
}

// The angle 2 pi u is formed in extended precision and rounded once.
TEST(Sampler, TurnUsesTheExtendedConstant) {
    EXPECT_EQ(turn(0), 0.0);
    EXPECT_EQ(turn(1), 2 * std::numbers::pi);
    EXPECT_EQ(turn(0.5), std::numbers::pi);
    // A value where the double product of the double constant differs.
    int differ = 0;
    auto gen = mtcreate(3);
    for (int i = 0; i < 10000; ++i) {
        const double u = randomreal(*gen);
        const long double exact = twopil * static_cast<long double>(u);
        ASSERT_LE(std::fabs(static_cast<long double>(turn(u)) - exact),
                  std::fabs(static_cast<long double>(2 * std::numbers::pi * u) - exact));
        differ += turn(u) != 2 * std::numbers::pi * u;
    }
    EXPECT_GT(differ, 0);
}
