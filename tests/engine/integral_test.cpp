// The integral method: each per-point value against 30-digit references made
// by other formulas (tests/engine/integral_reference.py prints the table),
// the whole method against emission runs on random geometries, and the
// coverage of its 99.9% interval.
#include <gtest/gtest.h>

#include <boost/math/quadrature/gauss_kronrod.hpp>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "engine/integral/average.h"
#include "engine/integral/pointvalues.h"
#include "engine/kinds.h"
#include "engine/run.h"
#include "testhost.h"

using namespace korvex;

namespace {

constexpr DetectorKind cyl = DetectorKind::cylinder, cub = DetectorKind::cuboid,
                       sph = DetectorKind::sphere, dsc = DetectorKind::discwindow;

// dims r2, a2, b2, t2; zs (0, 0, 0) for 4 pi; path -1 when not checked; faces
// empty when withheld (p inside).
struct Row {
    DetectorKind kind;
    std::array<double, 4> dims;
    Vec3 p, zs;
    double omega, path;
    std::vector<double> faces;
};

// clang-format off
const Row rows[] = {
#include "integral_reference.inc"
};
// clang-format on

bool close(double got, double want, double rel) {
    return std::abs(got - want) <= rel * std::abs(want) + 1e-300;
}

}  // namespace

TEST(IntegralPoint, AgreesWithReferencesAtHardPoints) {
    for (const Row& r : rows) {
        const DetectorBody det{r.kind, r.dims[0], r.dims[1], r.dims[2], r.dims[3]};
        Emitting em;
        if (r.zs.x != 0 || r.zs.y != 0 || r.zs.z != 0) {
            em.fourpi = false;
            em.zs = r.zs;
        }
        const PointValues v = pointvalues(det, r.p, em);
        const std::string what = "kind " + std::to_string(int(r.kind)) + " p (" +
                                 std::to_string(r.p.x) + ", " + std::to_string(r.p.y) + ", " +
                                 std::to_string(r.p.z) + ")" + (em.fourpi ? "" : " 2 pi");
        EXPECT_TRUE(close(v.omega, r.omega, 1e-12)) << what << ": " << v.omega << " vs " << r.omega;
        if (r.path >= 0) {
            // The path integral is a sum over the faces whose terms cancel the
            // more the farther p is (and a face 1E-12 away adds h ln h):
            // 1E-11 relative near, 1E-10 at 1E5 sizes.
            const double tol = std::hypot(r.p.x, r.p.y, r.p.z) > 1e4 ? 1e-10 : 1e-11;
            EXPECT_TRUE(close(v.path, r.path, tol))
                << what << " path " << v.path << " vs " << r.path;
        }
        const bool inside =
            r.kind == sph ? std::sqrt(r.p.x * r.p.x + r.p.y * r.p.y + r.p.z * r.p.z) <= r.dims[0]
                          : r.faces.empty() && r.kind != dsc;
        EXPECT_EQ(v.inside, inside) << what;
        for (std::size_t f = 0; f < r.faces.size(); ++f) {
            EXPECT_TRUE(close(v.faces[f], r.faces[f], 1e-12))
                << what << " face " << f << ": " << v.faces[f] << " vs " << r.faces[f];
        }
    }
}

TEST(IntegralPoint, DiscSolidAngleAtTheNotedValues) {
    // Disc of radius 1 seen from (d, h): Paxton's form near the rim and in the
    // plane, the positive far form far away.
    const struct {
        double d, h, omega;
    } cases[] = {
        {0.5, 1.0, 1.637103549345426},      {0.9, 0.1, 4.283351833596151},
        {1, 1e-9, 3.141592630787086},       {1 - 1e-6, 1e-6, 4.7123734320239},
        {1 + 1e-6, 1e-6, 1.57078077850969}, {2, 1e-12, 5.417318486132803e-13},
        {1e5, 1, 3.141592653471984e-15},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(close(discsolidangle(1, c.d, c.h), c.omega, 1e-12)) << c.d << " " << c.h;
    }
}

TEST(IntegralPoint, WindowsCountOnlyFromAbove) {
    const DetectorBody disc{dsc, 2, 0, 0, 0};
    const DetectorBody rect{DetectorKind::rectwindow, 0, 2, 2, 0};
    Emitting four;
    Emitting tilted{false, {0, std::sin(0.5), std::cos(0.5)}};
    // Below: nothing, and underneath the outline the warning.
    for (const auto& det : {disc, rect}) {
        const PointValues below = pointvalues(det, {0.2, 0.1, -1e-9}, four);
        EXPECT_EQ(below.omega, 0);
        EXPECT_TRUE(below.inside);
        EXPECT_FALSE(pointvalues(det, {5, 0, -1}, four).inside);
        // In the plane inside the outline: every downward direction counts.
        EXPECT_DOUBLE_EQ(pointvalues(det, {0.2, 0.1, 0}, four).omega, 2 * pi);
        EXPECT_NEAR(pointvalues(det, {0.2, 0.1, 0}, tilted).omega, 2 * (pi - 0.5), 1e-15);
        EXPECT_EQ(pointvalues(det, {5, 0.1, 0}, four).omega, 0);
        EXPECT_FALSE(pointvalues(det, {0.2, 0.1, 0}, four).inside);
    }
}

TEST(IntegralPoint, OnAFaceTakesTheSideTheRayLeavesInto) {
    const DetectorBody c{cyl, 2, 0, 0, 3};
    const DetectorBody b{cub, 0, 2, 2, 3};
    for (const auto& det : {c, b}) {
        const PointValues top = pointvalues(det, {0.3, 0.2, 0}, {});
        EXPECT_DOUBLE_EQ(top.omega, 2 * pi);
        EXPECT_TRUE(top.inside);
        // The path integral is continuous across the face: just inside it.
        const PointValues in = pointvalues(det, {0.3, 0.2, -1e-13}, {});
        EXPECT_NEAR(top.path, in.path, 1e-9 * in.path);
        EXPECT_DOUBLE_EQ(in.omega, 4 * pi);
    }
}

namespace {

struct Geometry {
    GeometryFlags flags;
    RunParameters prm;
    std::string what;
};

// A geometry drawn at random: every source and detector kind in turn,
// rotations about all three axes, 2 pi and 4 pi, and placements chosen to
// straddle a face plane, lie partly inside, sit underneath a window or far
// away.
Geometry randomgeometry(std::mt19937_64& g, int i) {
    std::uniform_real_distribution<double> u(0, 1);
    auto in = [&](double a, double b) { return a + (b - a) * u(g); };
    Geometry x;
    GeometryFlags& f = x.flags;
    RunParameters& p = x.prm;
    const int src = i % 3, det = i % 5, place = (i / 5) % 5;
    f.cylsrc = src != 1;
    f.cubsrc = src == 1;
    f.ptsrc = src == 2;
    f.cyldet = det <= 1;
    f.cubdet = det == 2 || det == 3;
    f.sphdet = det == 4;
    f.twopisrc = (i / 2) % 2 == 1;
    f.fourpisrc = !f.twopisrc;
    if (f.ptsrc) {
    } else if (f.cylsrc) {
        p.r1 = in(0.2, 2);
    } else {
        p.a1 = in(0.2, 3);
        p.b1 = i % 7 == 0 ? 0 : in(0.2, 3);
    }
    if (!f.ptsrc && i % 4 != 0) p.t1 = in(0.1, 2);
    const bool window = det == 1 || det == 3;
    if (f.cyldet || f.sphdet) p.r2 = in(0.5, 3);
    if (f.cubdet) {
        p.a2 = in(1, 4);
        p.b2 = in(1, 4);
    }
    if (!f.sphdet && !window) p.t2 = in(0.5, 4);
    f.discwindow = f.cyldet && p.t2 == 0;
    f.rectwindow = f.cubdet && p.t2 == 0;
    if (i % 3 != 2 || place == 4) {
        p.rotx = in(-3.1, 3.1);
        p.roty = in(-1.5, 1.5);
        p.rotz = in(-3.1, 3.1);
    }
    const double lateral = in(-2, 2), other = in(-2, 2);
    const double top = f.sphdet ? p.r2 : 0;
    const char* names[] = {"above", "straddling a face plane", "partly inside", "underneath",
                           "far away"};
    switch (place) {
        case 0: p.c = top + in(0.5, 4); break;
        case 1: p.c = top + in(-0.5, 0.3); break;
        case 2: p.c = f.sphdet ? in(0, p.r2) : in(-p.t2 - 0.5, 0.2); break;
        case 3: p.c = top + in(-1.5, 0.3); break;
        case 4: p.c = top + in(20, 40); break;
    }
    if (f.cylsrc && (f.cyldet || f.sphdet)) {
        p.d = lateral;
        p.a3 = lateral;
    } else {
        p.a3 = lateral;
        p.b3 = other;
    }
    x.what = "geometry " + std::to_string(i) + " (" + names[place] + ", src " +
             std::to_string(src) + ", det " + std::to_string(det) +
             (f.twopisrc ? ", 2 pi" : ", 4 pi") + ")";
    return x;
}

class QuietIntegral : public IntegralHost {
public:
    void integralprogress(double, double) override {}
    bool pollabort() override { return false; }
};

// Asks to stop at its n-th poll, as the window does once the user says Yes;
// a poll after that means the stop went unheeded (it is answered again, so
// that such a run still ends).
class StopAt : public IntegralHost {
public:
    explicit StopAt(int n) : n_(n) {}
    void integralprogress(double, double) override {}
    bool pollabort() override {
        ++polls_;
        if (polls_ > n_) ++unheeded;
        return polls_ >= n_;
    }
    int unheeded = 0;

private:
    int n_, polls_ = 0;
};

class QuietLoop : public LoopHost {
public:
    void progressstep(const RunTallies&) override {}
    bool pollabort() override { return false; }
};

}  // namespace

// The two methods answer the same question: solid angle, every face share
// and the mean path agree within the emission run's error.
TEST(IntegralMethod, AgreesWithEmissionRuns) {
    std::mt19937_64 g(20261208);
    constexpr int parts = 8;
    constexpr double each = 250000;
    for (int i = 0; i < 45; ++i) {
        Geometry x = randomgeometry(g, i);
        QuietIntegral ih;
        const IntegralOutcome in = runintegral(x.prm, x.flags, 3e-3, ih, 2);
        RunTallies sum;
        std::vector<double> paths;
        auto gen = mtcreate(static_cast<std::uint32_t>(1000 + i));
        for (int k = 0; k < parts; ++k) {
            RunParameters p = x.prm;
            p.emissions = each;
            QuietLoop lh;
            const DatasetOutcome o = rundataset(p, x.flags, *gen, lh);
            for (auto field : countfields) sum.*field += o.tallies.*field;
            sum.pathsum += o.tallies.pathsum;
            sum.sourceinside = sum.sourceinside || o.tallies.sourceinside;
            if (o.tallies.hits > 0) paths.push_back(o.tallies.meanpath);
        }
        const double n = sum.emitted;
        const double full = x.flags.fourpisrc ? 4 * pi : 2 * pi;
        const double share = std::clamp(in.omega / full, 1e-12, 1.0);
        const double sigma = full * std::sqrt(share * (1 - share) / n);
        const double emomega = full * sum.hits / n;
        EXPECT_LE(std::abs(in.omega - emomega), 4 * sigma + in.omegaerror)
            << x.what << ": integral " << in.omega << " +/- " << in.omegaerror << ", emissions "
            << emomega;
        if (!in.sourceinside && !sum.sourceinside) {
            const DetectorKind kind = detectorkind(x.flags);
            std::vector<std::pair<double, double>> faces;
            if (kind == DetectorKind::cylinder) {
                faces = {{in.faces[0], sum.sidehits},
                         {in.faces[1], sum.tophits},
                         {in.faces[2], sum.bottomhits}};
            } else if (kind == DetectorKind::cuboid) {
                faces = {{in.faces[0], sum.topfacehits},   {in.faces[1], sum.bottomfacehits},
                         {in.faces[2], sum.xplusfacehits}, {in.faces[3], sum.xminusfacehits},
                         {in.faces[4], sum.yplusfacehits}, {in.faces[5], sum.yminusfacehits}};
            }
            for (std::size_t f = 0; f < faces.size(); ++f) {
                const double want = faces[f].first / full, got = faces[f].second / n;
                // A face may be crossed twice: the variance is at most 2 x mean.
                const double s = std::sqrt(2 * std::max(want, 1.0 / n) / n);
                EXPECT_LE(std::abs(want - got), 4 * s + 2 * in.omegaerror / full)
                    << x.what << " face " << f << ": integral " << want << ", emissions " << got;
            }
        }
        if (paths.size() == parts && !x.flags.discwindow && !x.flags.rectwindow) {
            double mean = 0, var = 0;
            for (double m : paths) mean += m;
            mean /= parts;
            for (double m : paths) var += (m - mean) * (m - mean);
            const double se = std::sqrt(var / (parts - 1) / parts);
            // Student's t, 7 degrees of freedom, 99.9%.
            EXPECT_LE(std::abs(in.meanpath - mean), 5.41 * se + in.meanpatherror + 1e-12)
                << x.what << ": mean path integral " << in.meanpath << ", emissions " << mean;
        }
        EXPECT_EQ(in.sourceinside, sum.sourceinside) << x.what;
    }
}

// Over independent randomisations the 99.9% interval covers the exact value
// in at least 99% of them.
TEST(IntegralMethod, IntervalCoversTheExactValue) {
    struct Case {
        Geometry x;
        double exact;
    };
    std::vector<Case> cases(2);
    // A coaxial disc source r1 = 1 over a disc window r2 = 2, c = 2.
    {
        GeometryFlags& f = cases[0].x.flags;
        f.discwindow = true;
        RunParameters& p = cases[0].x.prm;
        p.r1 = 1;
        p.r2 = 2;
        p.c = 2;
        cases[0].exact = 1.73777910378471;
    }
    // A line a1 = 4 over a rectangular window 2 x 3 at (0.5, 0.2), c = 1.5.
    {
        GeometryFlags& f = cases[1].x.flags;
        f.cylsrc = false;
        f.cubsrc = true;
        f.cyldet = false;
        f.cubdet = true;
        f.rectwindow = true;
        RunParameters& p = cases[1].x.prm;
        p.a1 = 4;
        p.a2 = 2;
        p.b2 = 3;
        p.a3 = 0.5;
        p.b3 = 0.2;
        p.c = 1.5;
        cases[1].exact = 1.12768454921411;
    }
    for (Case& c : cases) {
        int covered = 0;
        constexpr int trials = 200;
        for (int s = 1; s <= trials; ++s) {
            QuietIntegral h;
            const IntegralOutcome o = runintegral(c.x.prm, c.x.flags, 1e-3, h, 1, s);
            if (std::abs(o.omega - c.exact) <= o.omegaerror) ++covered;
        }
        EXPECT_GE(covered, trials * 99 / 100) << c.exact;
    }
}

// A stop is honoured in either rule and at any time, the first chunk of
// points included; an outcome stopped after a first estimate keeps it with
// its error, one stopped before has none.
TEST(IntegralMethod, StopsWhenAskedAtAnyTime) {
    Geometry smooth;  // a coaxial disc 2 above a disc window: the Gauss rule
    smooth.flags.discwindow = true;
    smooth.prm.r1 = 1;
    smooth.prm.r2 = 2;
    smooth.prm.c = 2;
    Geometry across;  // a disc across a cylinder's wall: randomised points
    across.prm.r1 = 1;
    across.prm.r2 = 2;
    across.prm.t2 = 1;
    across.prm.a3 = 2;
    across.prm.c = -0.5;
    for (const Geometry* x : {&smooth, &across}) {
        for (int poll : {1, 3, 10, 30}) {
            for (int threads : {1, 2}) {
                StopAt host(poll);
                GeometryFlags flags = x->flags;
                const IntegralOutcome o = runintegral(x->prm, flags, 1e-12, host, threads);
                SCOPED_TRACE(::testing::Message() << (x == &smooth ? "smooth" : "across")
                                                  << ", poll " << poll << ", threads " << threads);
                EXPECT_EQ(host.unheeded, 0);
                // The smooth case may reach the target before a late stop.
                EXPECT_TRUE(o.aborted || o.omegaerror <= 1e-12 * o.omega);
                if (o.order > 0 || o.perset > 0) {
                    EXPECT_GT(o.omega, 0);
                    EXPECT_GT(o.omegaerror, 0);
                } else {
                    EXPECT_TRUE(o.aborted);
                    EXPECT_EQ(o.omega, 0);
                }
            }
        }
    }
}

// A source that straddles a face plane or the mantle is cut there and each
// piece averaged by the Gauss rule: it agrees with randomised points over the
// whole source and with a one-dimensional integral along a disc's radius.
TEST(IntegralMethod, CutSourceAgreesWithOtherRules) {
    auto cuboidsource = [](GeometryFlags& f) {
        f.cylsrc = false;
        f.cubsrc = true;
    };
    std::vector<Geometry> cases(3);
    // A cuboid source half inside a cuboid detector.
    cuboidsource(cases[0].flags);
    cases[0].flags.cyldet = false;
    cases[0].flags.cubdet = true;
    cases[0].prm = {.a1 = 2, .b1 = 1, .t1 = 0.5, .a2 = 4, .b2 = 4, .t2 = 2, .c = -0.25};
    // A disc coaxial with a cylinder, wider than it, at mid-height.
    cases[1].prm = {.r1 = 2, .r2 = 1, .t2 = 2, .c = -0.5};
    // A 2 pi cuboid source beside a cylinder, straddling its top plane.
    cuboidsource(cases[2].flags);
    cases[2].flags.twopisrc = true;
    cases[2].flags.fourpisrc = false;
    cases[2].prm = {.a1 = 1, .b1 = 1, .t1 = 1, .r2 = 1, .t2 = 2, .a3 = 2, .c = -0.5};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Geometry& x = cases[i];
        QuietIntegral h;
        const IntegralOutcome cut = runintegral(x.prm, x.flags, 1e-8, h, 2);
        EXPECT_GT(cut.order, 0) << "case " << i << ": the rule was not used";
        EXPECT_LE(cut.omegaerror, 1e-8 * cut.omega) << "case " << i;
        if (i == 1) {
            // Inside the mantle every direction counts; outside, the radius.
            const DetectorBody det{cyl, 1, 0, 0, 2};
            auto f = [&](double rho) { return pointvalues(det, {rho, 0, -0.5}, {}).omega * rho; };
            const double outer =
                boost::math::quadrature::gauss_kronrod<double, 31>::integrate(f, 1, 2, 15, 1e-13);
            const double want = 4 * pi / 4 + 2 * outer / 4;
            EXPECT_NEAR(cut.omega, want, cut.omegaerror + 1e-12 * want);
            continue;
        }
        const IntegralOutcome qmc = runintegral(x.prm, x.flags, 1e-5, h, 2, 1);
        EXPECT_EQ(qmc.order, 0);
        EXPECT_NEAR(cut.omega, qmc.omega, cut.omegaerror + qmc.omegaerror) << "case " << i;
        EXPECT_NEAR(cut.meanpath, qmc.meanpath, cut.meanpatherror + qmc.meanpatherror)
            << "case " << i;
    }
}

// The warning follows from the geometry: a source touching the detector from
// outside does not warn, one barely inside does, and a plane source lying in
// a solid's face warns where the emission run finds its points on the face.
TEST(IntegralMethod, InsideWarningFromTheGeometry) {
    struct Case {
        bool cubsrc, cubdet, window;
        RunParameters prm;
        bool inside;
    };
    const Case cases[] = {
        // A cuboid resting on a cuboid's top, and sunk 1E-9 into it.
        {true,
         true,
         false,
         {.a1 = 1, .b1 = 1, .t1 = 0.5, .a2 = 2, .b2 = 2, .t2 = 1, .c = 0},
         false},
        {true,
         true,
         false,
         {.a1 = 1, .b1 = 1, .t1 = 0.5, .a2 = 2, .b2 = 2, .t2 = 1, .c = -1e-9},
         true},
        // Beside it, face to face, and overlapping by 1E-9.
        {true,
         true,
         false,
         {.a1 = 1, .b1 = 1, .t1 = 0.5, .a2 = 2, .b2 = 2, .t2 = 1, .a3 = 1.5, .c = -0.7},
         false},
        {true,
         true,
         false,
         {.a1 = 1, .b1 = 1, .t1 = 0.5, .a2 = 2, .b2 = 2, .t2 = 1, .a3 = 1.5 - 1e-9, .c = -0.7},
         true},
        // A cuboid turned 45 deg about Zs, an edge on a cylinder's mantle.
        {true,
         false,
         false,
         {.a1 = 1,
          .b1 = 1,
          .t1 = 0.5,
          .r2 = 1,
          .t2 = 1,
          .a3 = 1 + std::sqrt(0.5),
          .c = -0.7,
          .rotz = pi / 4},
         false},
        {true,
         false,
         false,
         {.a1 = 1,
          .b1 = 1,
          .t1 = 0.5,
          .r2 = 1,
          .t2 = 1,
          .a3 = 1 + std::sqrt(0.5) - 1e-9,
          .c = -0.7,
          .rotz = pi / 4},
         true},
        // A disc in the cylinder's top plane, overlapping the top face and
        // meeting its rim only.
        {false, false, false, {.r1 = 1, .r2 = 1, .t2 = 1, .d = 1.5, .a3 = 1.5, .c = 0}, true},
        {false, false, false, {.r1 = 1, .r2 = 1, .t2 = 1, .d = 2, .a3 = 2, .c = 0}, false},
        // A disc in a window's plane is not underneath it; 1E-9 lower it is.
        {false, false, true, {.r1 = 1, .r2 = 1, .d = 0.5, .a3 = 0.5, .c = 0}, false},
        {false, false, true, {.r1 = 1, .r2 = 1, .d = 0.5, .a3 = 0.5, .c = -1e-9}, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& k = cases[i];
        GeometryFlags f;
        f.cylsrc = !k.cubsrc;
        f.cubsrc = k.cubsrc;
        f.cyldet = !k.cubdet;
        f.cubdet = k.cubdet;
        f.discwindow = k.window && !k.cubdet;
        EXPECT_EQ(sourcemeetsdetector(k.prm, f), k.inside) << "case " << i;
    }
}
