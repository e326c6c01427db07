#include "engine/run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

#include "engine/emissionloop.h"
#include "engine/kinds.h"
#include "engine/lengths.h"
#include "engine/split.h"

namespace korvex {

DatasetProblem checkdataset(const GeometryFlags& flags, const RunParameters& prm) {
    if (!consistentkinds(flags)) return DatasetProblem::inconsistentflags;
    if (prm.emissions > maxemissions) return DatasetProblem::toomanyemissions;
    if (checklengths(flags, prm).name) return DatasetProblem::lengthoutofrange;
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

void LoopHost::holdworkers() {
    if (workers_) workers_->hold();
}

void LoopHost::releaseworkers() {
    if (workers_) workers_->release();
}

int threadsfor(std::uint64_t n, int threads) {
    return static_cast<int>(std::clamp<std::uint64_t>(n / minshare, 1, std::max(1, threads)));
}

bool splitemissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                       MTRandomState& gen, LoopHost& host, RunTallies& t, int threads,
                       Partners* partners) {
    if (partners) partners->begin(prm, flags, gen);
    // The one-thread loop steps the progress every int(stepsize) + 1
    // emissions; the split one steps as often, by the count so far (with
    // partners, that of the rounds combined and of this process's part).
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
    WorkerPause pause;
    struct Attached {
        LoopHost& host;
        ~Attached() { host.attachworkers(nullptr); }
    } attached{host};
    host.attachworkers(&pause);
    const bool stopped = splitrounds(prm, flags, frame, gen, t, threads, partners, watch, &pause);
    if (partners) partners->end();
    if (stopped) prm.emissions = t.emitted;
    return stopped;
}

DatasetOutcome rundataset(RunParameters& prm, GeometryFlags& flags, MTRandomState& gen,
                          LoopHost& host, int threads, Partners* partners) {
    DatasetOutcome out;
    out.problem = checkdataset(flags, prm);
    if (out.problem != DatasetProblem::none) return out;
    flags.rotated = isrotated(prm);
    const Frame frame = makeframe(prm, flags.rotated);
    const long long start = nowms();
    const std::uint64_t n = emissioncount(prm.emissions);
    int workers = threads;
    if (partners) {
        workers = 0;
        for (const int w : partners->weights()) workers += w;
    }
    if (threadsfor(n, workers) > 1) {
        // Each process's threads take on any share it gets.
        out.aborted = splitemissionloop(prm, flags, frame, gen, host, out.tallies,
                                        partners ? threads : threadsfor(n, threads), partners);
    } else {
        out.aborted = emissionloop(prm, flags, frame, gen, host, out.tallies);
    }
    out.tallies.seconds = static_cast<double>(nowms() - start) / 1000.0;
    RunTallies& t = out.tallies;
    t.meanpath = t.hits > 0 ? t.pathsum / t.hits : 0;
    return out;
}

}  // namespace korvex
