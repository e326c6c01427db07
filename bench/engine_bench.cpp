// Time per emission of the emission loop for every source and detector pair,
// against the time std::mt19937 (same build) takes for as many 32-bit draws
// as the emission consumes.
//   R_mt = mtnext per output / std::mt19937 per output
//   R_em = loop per emission / (draws per emission x std::mt19937 per output)
// A summary table follows Google Benchmark's own output.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/blockloop.h"
#include "engine/dataset.h"
#include "engine/emissionloop.h"
#include "engine/kinds.h"
#include "engine/mtrandom.h"

using namespace korvex;

namespace {

constexpr int drawsperbatch = 1 << 16;
constexpr double emissionsperrun = 200000;

class QuietHost : public LoopHost {
public:
    void progressstep(const RunTallies&) override {}
    bool pollabort() override { return false; }
};

struct Pair {
    std::string name;
    GeometryFlags flags;
    RunParameters prm;
    int draws;
};

Pair makepair(SourceKind s, DetectorKind d, bool rotated) {
    Dataset ds;
    const char* sn = "";
    switch (s) {
        case SourceKind::disc:
            sn = "disc";
            ds[Value::r1] = 0.5;
            break;
        case SourceKind::cuboid:
            sn = "rectangle";
            ds.source = SourceShape::cuboid;
            ds[Value::a1] = 1;
            ds[Value::b1] = 0.8;
            break;
        case SourceKind::point:
            sn = "point";
            ds.source = SourceShape::point;
            break;
    }
    const char* dn = "";
    switch (d) {
        case DetectorKind::cylinder:
            dn = "cylinder";
            ds[Value::r2] = 1;
            ds[Value::t2] = 1;
            break;
        case DetectorKind::discwindow:
            dn = "discwindow";
            ds[Value::r2] = 1;
            break;
        case DetectorKind::cuboid:
            dn = "cuboid";
            ds.detector = DetectorShape::cuboid;
            ds[Value::a2] = 2;
            ds[Value::b2] = 1.5;
            ds[Value::t2] = 1;
            break;
        case DetectorKind::rectwindow:
            dn = "rectwindow";
            ds.detector = DetectorShape::cuboid;
            ds[Value::a2] = 2;
            ds[Value::b2] = 1.5;
            break;
        case DetectorKind::sphere:
            dn = "sphere";
            ds.detector = DetectorShape::sphere;
            ds[Value::r2] = 1;
            break;
    }
    // Mostly above the detector, a little off its axis (by d or by a3).
    ds[Value::a3] = ds[Value::d] = 0.3;
    ds[Value::c] = d == DetectorKind::sphere ? 2 : 1;
    if (rotated) {
        ds[Value::rotx] = 22.9;
        ds[Value::roty] = -11.5;
        ds[Value::rotz] = 57.3;
    }
    Pair p;
    makerun(ds, p.flags, p.prm);
    p.draws = s == SourceKind::point ? 2 : 4;
    p.name = std::string(sn) + "/" + dn + (rotated ? "/rotated" : "");
    return p;
}

constexpr int runpath = -1;    // what a run uses: the widest supported set
constexpr int plainpath = -2;  // the scalar loop, one emission at a time

// path: runpath, plainpath or an Isa.
void emissions(benchmark::State& state, Pair pair, int path) {
    auto gen = mtcreate(4357);
    QuietHost host;
    const Frame frame = makeframe(pair.prm, pair.flags.rotated);
    double hits = 0;
    for (auto _ : state) {
        RunParameters prm = pair.prm;
        prm.emissions = emissionsperrun;
        RunTallies t;
        if (path == runpath) {
            emissionloop(prm, pair.flags, frame, *gen, host, t);
        } else if (path == plainpath) {
            scalaremissionloop(prm, pair.flags, frame, *gen, host, t);
        } else {
            blockemissionloop(prm, pair.flags, frame, *gen, host, t, static_cast<Isa>(path));
        }
        hits += t.hits;
        benchmark::DoNotOptimize(t);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(emissionsperrun));
    state.counters["hitshare"] = hits / (state.iterations() * emissionsperrun);
}

void mtnextdraws(benchmark::State& state) {
    auto gen = mtcreate(4357);
    for (auto _ : state) {
        std::uint32_t x = 0;
        for (int i = 0; i < drawsperbatch; ++i) x ^= mtnext(*gen);
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(state.iterations() * drawsperbatch);
}

void stddraws(benchmark::State& state) {
    std::mt19937 gen(4357);
    for (auto _ : state) {
        std::uint32_t x = 0;
        for (int i = 0; i < drawsperbatch; ++i) x ^= static_cast<std::uint32_t>(gen());
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(state.iterations() * drawsperbatch);
}

// Keeps nanoseconds per item of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred) continue;
            const auto it = r.counters.find("items_per_second");
            if (it != r.counters.end() && it->second.value > 0)
                nsperitem[r.benchmark_name()] = 1e9 / it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nsperitem;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::vector<Pair> pairs;
    for (SourceKind s : {SourceKind::disc, SourceKind::cuboid, SourceKind::point})
        for (DetectorKind d :
             {DetectorKind::cylinder, DetectorKind::discwindow, DetectorKind::cuboid,
              DetectorKind::rectwindow, DetectorKind::sphere})
            pairs.push_back(makepair(s, d, false));
    pairs.push_back(makepair(SourceKind::disc, DetectorKind::cylinder, true));

    benchmark::RegisterBenchmark("draws/std::mt19937", stddraws);
    benchmark::RegisterBenchmark("draws/mtnext", mtnextdraws);
    for (const Pair& p : pairs)
        benchmark::RegisterBenchmark(("emission/" + p.name).c_str(), emissions, p, runpath);
    // The narrower instruction sets, for processors without the widest one;
    // "plain" is the scalar loop, one emission at a time.
    std::vector<std::string> others;
    for (Isa isa : {Isa::avx2, Isa::base}) {
        if (isa == bestisa() || !isasupported(isa)) continue;
        const std::string set = kernelset(isa).name;
        others.push_back(set);
        for (const Pair& p : pairs)
            benchmark::RegisterBenchmark(("emission[" + set + "]/" + p.name).c_str(), emissions, p,
                                         static_cast<int>(isa));
    }
    others.push_back("plain");
    for (const Pair& p : pairs)
        benchmark::RegisterBenchmark(("emission[plain]/" + p.name).c_str(), emissions, p,
                                     plainpath);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const auto& ns = reporter.nsperitem;
    const auto std = ns.find("draws/std::mt19937");
    if (std == ns.end()) return 0;
    const double tstd = std->second;
    std::printf("\nstd::mt19937: %.3f ns per output\n", tstd);
    if (const auto m = ns.find("draws/mtnext"); m != ns.end())
        std::printf("mtnext:       %.3f ns per output   R_mt = %.2f\n", m->second,
                    m->second / tstd);
    std::printf("\nrun (%s)\n%-28s %12s %6s %6s\n", kernelset(bestisa()).name, "pair",
                "ns/emission", "draws", "R_em");
    for (const Pair& p : pairs) {
        const auto e = ns.find("emission/" + p.name);
        if (e == ns.end()) continue;
        std::printf("%-28s %12.2f %6d %6.2f\n", p.name.c_str(), e->second, p.draws,
                    e->second / (p.draws * tstd));
    }
    for (const std::string& set : others) {
        bool header = false;
        for (const Pair& p : pairs) {
            const auto e = ns.find("emission[" + set + "]/" + p.name);
            if (e == ns.end()) continue;
            if (!header) std::printf("\n%s\n", set.c_str());
            header = true;
            std::printf("%-28s %12.2f %6d %6.2f\n", p.name.c_str(), e->second, p.draws,
                        e->second / (p.draws * tstd));
        }
    }
    benchmark::Shutdown();
    return 0;
}
