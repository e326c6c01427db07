#include "engine/run.h"

#include <chrono>

#include "engine/emissionloop.h"
#include "engine/kinds.h"

namespace korvex {

DatasetProblem checkdataset(const GeometryFlags& flags, const RunParameters& prm) {
    if (!consistentkinds(flags)) return DatasetProblem::inconsistentflags;
    if (prm.emissions > maxemissions) return DatasetProblem::toomanyemissions;
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

DatasetOutcome rundataset(RunParameters& prm, GeometryFlags& flags, MTRandomState& gen,
                          LoopHost& host) {
    DatasetOutcome out;
    out.problem = checkdataset(flags, prm);
    if (out.problem != DatasetProblem::none) return out;
    flags.rotated = isrotated(prm);
    const Frame frame = makeframe(prm, flags.rotated);
    const long long start = nowms();
    out.aborted = emissionloop(prm, flags, frame, gen, host, out.tallies);
    out.tallies.seconds = static_cast<double>(nowms() - start) / 1000.0;
    RunTallies& t = out.tallies;
    t.meanpath = t.hits > 0 ? t.pathsum / t.hits : 0;
    return out;
}

}  // namespace korvex
