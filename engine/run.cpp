#include "engine/run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "engine/emissionloop.h"
#include "engine/kinds.h"
#include "engine/mtjump.h"
#include "engine/split.h"

namespace korvex {

DatasetProblem checkdataset(const GeometryFlags& flags, const RunParameters& prm) {
    if (!consistentkinds(flags)) return DatasetProblem::inconsistentflags;
    // Above 2^53, emitted + 1.0 == emitted: the loop would never end.
    if (prm.emissions > 9007199254740992.0) return DatasetProblem::toomanyemissions;
    return DatasetProblem::none;
}

namespace {
// Milliseconds on a monotonic clock: the loop's time is the difference of two
// readings at millisecond resolution, and a change of the wall clock during
// the run cannot make it negative.
long long nowms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

int threadsfor(std::uint64_t n, int threads) {
    return static_cast<int>(std::clamp<std::uint64_t>(n / minshare, 1, std::max(1, threads)));
}

namespace {
// A split loop runs in rounds of this many chunks, so that the chunk sums
// held at once stay small (8 MB) however large the count.
constexpr std::uint64_t roundchunks = std::uint64_t{1} << 20;
}  // namespace

bool splitemissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                       MTRandomState& gen, LoopHost& host, RunTallies& t, int threads) {
    const std::uint64_t n = emissioncount(prm.emissions);
    const auto k = static_cast<std::uint64_t>(drawsper(prm, flags));
    // The one-thread loop steps the progress every int(stepsize) + 1
    // emissions; the split one steps as often, by the combined count.
    const double every = std::floor(prm.emissions / 100) + 1;
    double nextstep = every;
    const SpanWatch watch = [&](const RunTallies& sofar) {
        RunTallies all = t;
        all.emitted += sofar.emitted;
        all.hits += sofar.hits;
        while (all.emitted >= nextstep) {
            host.progressstep(all);
            nextstep += every;
        }
        return host.pollabort();
    };
    auto at = std::make_unique<MTRandomState>(gen);
    bool stopped = false;
    for (std::uint64_t first = 0; first < n && !stopped;) {
        const Range round{first, std::min(n - first, roundchunks * chunksize)};
        const SpanResult part = runspan(prm, flags, frame, *at, round, threads, watch);
        addspan(t, part);
        stopped = part.stopped;
        first = round.end();
        if (first < n && !stopped) mtjump(*at, round.count * k);
    }
    mtjump(gen, static_cast<std::uint64_t>(t.emitted) * k);
    if (stopped) prm.emissions = t.emitted;
    return stopped;
}

DatasetOutcome rundataset(RunParameters& prm, GeometryFlags& flags, MTRandomState& gen,
                          LoopHost& host, int threads) {
    DatasetOutcome out;
    out.problem = checkdataset(flags, prm);
    if (out.problem != DatasetProblem::none) return out;
    flags.rotated = isrotated(prm);
    const Frame frame = makeframe(prm, flags.rotated);
    const long long start = nowms();
    const int split = threadsfor(emissioncount(prm.emissions), threads);
    out.aborted = split > 1 ? splitemissionloop(prm, flags, frame, gen, host, out.tallies, split)
                            : emissionloop(prm, flags, frame, gen, host, out.tallies);
    out.tallies.seconds = static_cast<double>(nowms() - start) / 1000.0;
    RunTallies& t = out.tallies;
    t.meanpath = t.hits > 0 ? t.pathsum / t.hits : 0;
    return out;
}

}  // namespace korvex
