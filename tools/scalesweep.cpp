// scalesweep: where each kind of geometry stops giving the same answer when
// every length is multiplied by one factor s.
//
// Scaling all lengths leaves the solid angle unchanged, but the detector tests
// compare with an absolute tolerance (1e-12) and the emission direction is the
// difference of two points one unit apart, so very small and very large
// lengths both spoil the answer. For every geometry of the table below and
// s = 10^k (k from -16 to 16) the sweep runs the same emissions (one seed) and
// marks the scale where
//   - the solid angle leaves the 99.9% error of the unscaled answer ("A"),
//   - the mean path divided by s leaves its 99.9% error ("P"),
//   - the source-inside warning differs from the unscaled run ("W").
// It prints one line per geometry and the contiguous range of decades around
// s = 1 where nothing drifted: the range of lengths datasets must keep to.
//
//   scalesweep [EMISSIONS] [SEED] [LOWEST HIGHEST]
// (defaults 1E7, 20240601 and the decades -16 to 16). A narrower range of
// decades makes more emissions affordable: the large-length onset moves down
// as the statistical error shrinks.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/dataset.h"
#include "engine/emissionloop.h"
#include "engine/estimate.h"
#include "engine/geometry.h"
#include "engine/mtrandom.h"
#include "engine/run.h"

namespace {

using korvex::GeometryFlags;
using korvex::RunParameters;

class QuietHost : public korvex::LoopHost {
public:
    void progressstep(const korvex::RunTallies&) override {}
    bool pollabort() override { return false; }
};

enum Source { point, disc, rect };
enum Detector { cylinder, discwindow, cuboid, rectwindow, sphere };

struct Geometry {
    const char* name;
    Source source;
    Detector detector;
    RunParameters prm;  // lengths at s = 1; rotations in degrees here
};

// Lengths near 1, placed so that some rays graze an edge or a face and the
// source lies close to (but outside) the detector: where a tolerance or a
// rounding would show first. The last rows build in a ratio of 10^3 between
// the largest and the smallest length.
RunParameters make(double r1, double a1, double b1, double t1, double r2, double a2, double b2,
                   double t2, double a3, double b3, double c, double rx = 0, double ry = 0,
                   double rz = 0) {
    RunParameters p;
    p.r1 = r1;
    p.a1 = a1;
    p.b1 = b1;
    p.t1 = t1;
    p.r2 = r2;
    p.a2 = a2;
    p.b2 = b2;
    p.t2 = t2;
    p.a3 = a3;
    p.b3 = b3;
    p.d = a3;
    p.c = c;
    p.rotx = rx;
    p.roty = ry;
    p.rotz = rz;
    return p;
}

const std::vector<Geometry> geometries = {
    {"point over cylinder", point, cylinder, make(0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 2)},
    {"disc beside cylinder", disc, cylinder, make(0.5, 0, 0, 0.5, 1, 0, 0, 1, 1.2, 0, 0.1)},
    {"rect tilted, cylinder", rect, cylinder,
     make(0, 1, 0.6, 0.3, 1, 0, 0, 1, 0.3, 0.2, 0.4, 30, -20, 10)},
    {"point over disc window", point, discwindow, make(0, 0, 0, 0, 1, 0, 0, 0, 0.9, 0, 0.05)},
    {"disc over disc window", disc, discwindow, make(0.5, 0, 0, 0.5, 1, 0, 0, 0, 0.3, 0, 0.1)},
    {"rect tilted, disc win.", rect, discwindow,
     make(0, 1, 0.6, 0.3, 1, 0, 0, 0, 0.3, 0.2, 0.6, 30, -20, 10)},
    {"point at cuboid edge", point, cuboid, make(0, 0, 0, 0, 0, 2, 1.5, 1, 1, 0, 0.5)},
    {"disc beside cuboid", disc, cuboid, make(0.5, 0, 0, 0.5, 0, 2, 1.5, 1, 1.2, 0.3, 0.1)},
    {"rect tilted, cuboid", rect, cuboid,
     make(0, 1, 0.6, 0.3, 0, 2, 1.5, 1, 0.3, 0.2, 0.6, 30, -20, 10)},
    {"point over rect window", point, rectwindow, make(0, 0, 0, 0, 0, 2, 1.5, 0, 0.9, 0.7, 0.05)},
    {"disc over rect window", disc, rectwindow, make(0.5, 0, 0, 0.5, 0, 2, 1.5, 0, 0.3, 0, 0.1)},
    {"rect tilted, rect win.", rect, rectwindow,
     make(0, 1, 0.6, 0.3, 0, 2, 1.5, 0, 0.3, 0.2, 0.6, 30, -20, 10)},
    {"point beside sphere", point, sphere, make(0, 0, 0, 0, 1, 0, 0, 0, 1.5, 0, 0)},
    {"disc over sphere", disc, sphere, make(0.5, 0, 0, 0.5, 1, 0, 0, 0, 0.3, 0, 1.1)},
    {"rect tilted, sphere", rect, sphere,
     make(0, 1, 0.6, 0.3, 1, 0, 0, 0, 0.3, 0.2, 1.6, 30, -20, 10)},
    // Ratios of 10^3 inside one geometry.
    {"thin cylinder, 1e-3", disc, cylinder, make(0.5, 0, 0, 0, 1, 0, 0, 1e-3, 0.5, 0, 0.5)},
    {"far point, cuboid 1e2", point, cuboid, make(0, 0, 0, 0, 0, 2, 1.5, 1, 0.5, 0.2, 1e2)},
    {"tiny gap, sphere 1e-3", disc, sphere, make(0.5, 0, 0, 0.5, 1, 0, 0, 0, 0, 0, 1.001)},
};

// The geometry at scale s as a dataset: every length times s, the angles in
// degrees as the table holds them.
korvex::Dataset datasetfor(const Geometry& g, double s, double emissions) {
    using korvex::Value;
    korvex::Dataset ds;
    ds.source = g.source == rect    ? korvex::SourceShape::cuboid
                : g.source == point ? korvex::SourceShape::point
                                    : korvex::SourceShape::cylinder;
    ds.detector = g.detector == sphere ? korvex::DetectorShape::sphere
                  : g.detector == cuboid || g.detector == rectwindow
                      ? korvex::DetectorShape::cuboid
                      : korvex::DetectorShape::cylinder;
    for (const korvex::ValueInfo& i : korvex::valuetable()) {
        const double v = g.prm.*i.field;
        const bool length = i.sort == korvex::Sort::size || i.sort == korvex::Sort::displacement;
        ds[i.value] = length ? v * s : v;
    }
    ds[Value::emissions] = emissions;
    return ds;
}

struct Answer {
    double angle = 0, angleerror = 0;  // steradians, 99.9%
    double meanpath = 0, patherror = 0;
    bool inside = false;
};

Answer run(const Geometry& g, double s, double emissions, std::uint32_t seed) {
    RunParameters p;
    GeometryFlags f;
    korvex::makerun(datasetfor(g, s, emissions), f, p);
    auto gen = korvex::mtcreate(seed);
    QuietHost host;
    // The loop itself: rundataset would refuse the lengths outside the range
    // this sweep is there to find.
    korvex::RunTallies t;
    korvex::emissionloop(p, f, korvex::makeframe(p, f.rotated), *gen, host, t);
    t.meanpath = t.hits > 0 ? t.pathsum / t.hits : 0;
    const korvex::Estimate e = korvex::estimate(f, t);
    Answer a;
    a.angle = e.solidangle;
    a.angleerror = static_cast<double>(e.angleerror);
    a.meanpath = t.meanpath / s;
    a.patherror = static_cast<double>(e.meanpatherror) / s;
    a.inside = t.sourceinside;
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    const double emissions = argc > 1 ? std::atof(argv[1]) : 1e7;
    const std::uint32_t seed = argc > 2 ? std::uint32_t(std::atol(argv[2])) : 20240601u;
    const int lowest = argc > 4 ? std::atoi(argv[3]) : -16;
    const int highest = argc > 4 ? std::atoi(argv[4]) : 16;
    if (lowest > 0 || highest < 0) {
        std::fprintf(stderr, "scalesweep: the decades must include 0\n");
        return 2;
    }

    std::printf("scalesweep: %g emissions a run, seed %u; s = 10^k\n", emissions, seed);
    std::printf("A: solid angle, P: mean path / s, W: inside warning left the unscaled answer\n\n");
    std::printf("%-24s %-10s ", "geometry", "sr at s=1");
    for (int k = lowest; k <= highest; ++k)
        std::printf("%c", k == 0 ? '|' : (k % 4 == 0 ? ':' : ' '));
    std::printf("  safe decades\n");

    int overalllow = lowest, overallhigh = highest;
    for (const Geometry& g : geometries) {
        const Answer ref = run(g, 1, emissions, seed);
        std::string marks;
        int low = lowest, high = highest;
        for (int k = lowest; k <= highest; ++k) {
            if (k == 0) {
                marks += '|';
                continue;
            }
            const Answer a = run(g, std::pow(10.0, k), emissions, seed);
            char mark = '.';
            if (a.inside != ref.inside) mark = 'W';
            if (std::fabs(a.meanpath - ref.meanpath) > ref.patherror || !std::isfinite(a.meanpath))
                mark = 'P';
            if (std::fabs(a.angle - ref.angle) > ref.angleerror) mark = 'A';
            marks += mark;
            if (mark != '.') {
                if (k < 0 && k >= low) low = k + 1;
                if (k > 0 && k <= high) high = k - 1;
            }
        }
        // The contiguous safe range around s = 1.
        for (int k = -1; k >= lowest; --k) {
            if (marks[std::size_t(k - lowest)] != '.') {
                low = k + 1;
                break;
            }
        }
        for (int k = 1; k <= highest; ++k) {
            if (marks[std::size_t(k - lowest)] != '.') {
                high = k - 1;
                break;
            }
        }
        overalllow = std::max(overalllow, low);
        overallhigh = std::min(overallhigh, high);
        std::printf("%-24s %-10.6f %s  1E%d .. 1E%d\n", g.name, ref.angle, marks.c_str(), low,
                    high);
        std::fflush(stdout);
    }
    std::printf("\nevery geometry agrees with its unscaled answer for s = 1E%d .. 1E%d\n",
                overalllow, overallhigh);
    return 0;
}
