// The cost of splitting a run: time per emission of a dataset on 1 thread
// and on every core (wall time), and the cost of one generator jump, both
// when its polynomial must be formed and when it is one of the recent ones,
// and the cost of a jump when many threads jump at once.
//   ./build/bench/split_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

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

// The jumps of one round of a split run on T threads: every thread jumps
// from the round's start to its own share (w x share x draws), all at once,
// round after round with the same distances as equal rounds have. Reported
// per jump: the processor time the jumping thread spent (cpu_per_jump) and
// the thread's wall time from its start to the end of its jump, lock
// waits included (wall_per_jump), means over every jump. A jump should cost
// no more with 64 threads than with 4.
void jumpround(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    const std::uint64_t share = 16 * chunksize, draws = 3;
    const auto start = mtcreate(4357);
    const auto threadcpu = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
    };
    std::vector<double> cpu(static_cast<std::size_t>(threads)),
        wall(static_cast<std::size_t>(threads));
    double cpusum = 0, wallsum = 0;
    for (auto _ : state) {
        std::vector<std::thread> pool;
        std::atomic<bool> go{false};
        for (int w = 0; w < threads; ++w) {
            pool.emplace_back([&, w] {
                auto gen = std::make_unique<MTRandomState>(*start);
                go.wait(false);
                const auto t0 = std::chrono::steady_clock::now();
                const double c0 = threadcpu();
                mtjump(*gen, static_cast<std::uint64_t>(w) * share * draws);
                cpu[static_cast<std::size_t>(w)] = threadcpu() - c0;
                wall[static_cast<std::size_t>(w)] =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                benchmark::DoNotOptimize(gen->mt[0]);
            });
        }
        go = true;
        go.notify_all();
        for (auto& t : pool) t.join();
        // Thread 0 does not jump (its share starts the round).
        for (int w = 1; w < threads; ++w) {
            cpusum += cpu[static_cast<std::size_t>(w)];
            wallsum += wall[static_cast<std::size_t>(w)];
        }
    }
    const double jumps = static_cast<double>(state.iterations()) * (threads - 1);
    state.counters["cpu_per_jump_ms"] = 1e3 * cpusum / jumps;
    state.counters["wall_per_jump_ms"] = 1e3 * wallsum / jumps;
}
BENCHMARK(jumpround)->Arg(4)->Arg(16)->Arg(64)->Iterations(20)->UseRealTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
