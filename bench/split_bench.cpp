// The cost of splitting a run: time per emission of a dataset on 1 thread
// and on every core (wall time), and the cost of one generator jump, both
// when its polynomial must be formed and when it is one of the recent ones.
//   ./build/bench/split_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <cstdint>

#include "engine/mtjump.h"
#include "engine/run.h"
#include "engine/split.h"

using namespace korvex;

namespace {

class QuietHost : public LoopHost {
public:
    void progressstep(const RunTallies&) override {}
    bool pollabort() override { return false; }
};

// A disc of radius 1 five units over a cylinder of radius 2 and height 1.
void splitrun(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const double emissions = 1 << 25;
    auto gen = mtcreate(4357);
    QuietHost host;
    for (auto _ : state) {
        RunParameters prm{.r1 = 1, .r2 = 2, .t2 = 1, .c = 5, .emissions = emissions};
        GeometryFlags flags;
        const DatasetOutcome out = rundataset(prm, flags, *gen, host, threads);
        benchmark::DoNotOptimize(out.tallies.hits);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(emissions));
    // Printed in seconds per emission (n = 1e-9).
    state.counters["per_emission"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * emissions,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(splitrun)->Arg(1)->Arg(allcores())->UseRealTime()->Unit(benchmark::kMillisecond);

// A new distance every time: x^J mod the characteristic polynomial is formed
// (NTL) and applied (Horner's rule over 19937 steps).
void jumpnew(benchmark::State& state) {
    auto gen = mtcreate(1);
    std::uint64_t distance = std::uint64_t{1} << 30;
    for (auto _ : state) {
        mtjump(*gen, distance);
        distance += 6240;
    }
}
BENCHMARK(jumpnew)->Unit(benchmark::kMillisecond);

// The same distance again: only Horner's rule.
void jumprepeated(benchmark::State& state) {
    auto gen = mtcreate(1);
    for (auto _ : state) mtjump(*gen, std::uint64_t{1} << 30);
}
BENCHMARK(jumprepeated)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
