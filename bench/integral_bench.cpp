// The integral method: the cost of one source point for every detector kind
// (4 pi, and 2 pi from a tilted source), and the time to a relative error of
// 1E-6 for the geometries the README quotes, on one thread.
#include <benchmark/benchmark.h>

#include <cmath>

#include "engine/integral/average.h"
#include "engine/integral/pointvalues.h"

using namespace korvex;

namespace {

const DetectorBody shapes[] = {
    {DetectorKind::cuboid, 0, 4, 4, 2},        {DetectorKind::rectwindow, 0, 4, 4, 0},
    {DetectorKind::discwindow, 3.81, 0, 0, 0}, {DetectorKind::cylinder, 3.81, 0, 0, 7.62},
    {DetectorKind::sphere, 3.81, 0, 0, 0},
};
const char* const names[] = {"cuboid", "rectwindow", "discwindow", "cylinder", "sphere"};

void point(benchmark::State& state) {
    const DetectorBody& det = shapes[state.range(0)];
    Emitting em;
    if (state.range(1)) em = {false, {0, std::sin(0.5), std::cos(0.5)}};
    double i = 0, sum = 0;
    for (auto _ : state) {
        // Points spread over a disc of radius 3 at height 5 above the top.
        const double a = i * 2.399963, r = 3 * std::sqrt(std::fmod(i * 0.618034, 1.0));
        const Vec3 p{1 + r * std::cos(a), r * std::sin(a),
                     det.kind == DetectorKind::sphere ? 9.0 : 5.0};
        sum += pointvalues(det, p, em).omega;
        i += 1;
    }
    benchmark::DoNotOptimize(sum);
    state.SetLabel(std::string(names[state.range(0)]) + (state.range(1) ? ", 2 pi" : ", 4 pi"));
}
BENCHMARK(point)->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})->Unit(benchmark::kMicrosecond);

class Quiet : public IntegralHost {
public:
    void integralprogress(double, double) override {}
    bool pollabort() override { return false; }
};

void dataset(benchmark::State& state) {
    GeometryFlags f;
    RunParameters p;
    p.r2 = 3.81;
    p.t2 = 7.62;
    switch (state.range(0)) {
        case 0:  // a point 10 above the centre of the cylinder
            p.c = 10;
            state.SetLabel("(i) point over cylinder");
            break;
        case 1:  // a disc r1 = 2.5, d = 1, c = 10, rotated 30 deg about X
            p.r1 = 2.5;
            p.d = p.a3 = 1;
            p.c = 10;
            p.rotx = degtorad(30);
            state.SetLabel("(ii) tilted disc over cylinder");
            break;
        case 2:  // a cuboid 2 x 1 x 0.5 half inside a cuboid 4 x 4 x 2
            f.cylsrc = false;
            f.cubsrc = true;
            f.cyldet = false;
            f.cubdet = true;
            p.a1 = 2;
            p.b1 = 1;
            p.t1 = 0.5;
            p.a2 = 4;
            p.b2 = 4;
            p.t2 = 2;
            p.c = -0.25;
            state.SetLabel("(iii) cuboid half inside cuboid");
            break;
        case 3:  // the 5 cm disc 50 cm above the 3" x 3" cylinder
            p.r1 = 2.5;
            p.c = 50;
            state.SetLabel("(iv) disc 50 above cylinder");
            break;
    }
    IntegralOutcome o;
    for (auto _ : state) {
        Quiet q;
        o = runintegral(p, f, 1e-6, q, 1);
    }
    state.counters["points"] = static_cast<double>(o.points);
    state.counters["relerr"] = o.omega > 0 ? o.omegaerror / o.omega : 0;
}
BENCHMARK(dataset)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
