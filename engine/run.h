// The emission loop and one whole dataset. The loop reaches its surroundings
// only through LoopHost, at the progress steps and at the poll every
// pollinterval emissions; whoever runs it (window, command line, tests)
// implements LoopHost.
#pragma once

#include <cstdint>

#include "engine/geometry.h"
#include "engine/mtrandom.h"
#include "engine/tallies.h"

namespace korvex {

// The loop asks whether to abort once every pollinterval emissions.
inline constexpr int pollinterval = 10001;

// The largest emission count a dataset may ask for, 2^53: above it
// emitted + 1.0 == emitted, and the loop would never end.
inline constexpr double maxemissions = 9007199254740992.0;

class Partners;
class WorkerPause;

class LoopHost {
public:
    virtual ~LoopHost() = default;
    // While a split run's workers run: holdworkers() holds them at their next
    // block, releaseworkers() lets them go on; both do nothing otherwise. A
    // host that asks the user whether to abort holds them meanwhile, so that
    // Yes covers the emissions done when the user asked, as in one thread
    // (and on Yes it need not release them: the run stops).
    void holdworkers();
    void releaseworkers();
    // Set by the split run for its duration.
    void attachworkers(WorkerPause* pause) { workers_ = pause; }

    // Every int(stepsize) + 1 emissions, with the tallies so far (their
    // pathsum is not summed up yet). A split run calls it, and pollabort,
    // from the thread that called rundataset, with the combined counts.
    virtual void progressstep(const RunTallies& sofar) = 0;
    // Every pollinterval emissions: true when the user asks to abort (and has
    // confirmed it); the loop then ends with emissions := emitted.
    virtual bool pollabort() = 0;

private:
    WorkerPause* workers_ = nullptr;
};

// Why a dataset cannot be run.
enum class DatasetProblem {
    none,
    inconsistentflags,  // not exactly one source kind and one detector kind
    toomanyemissions,   // above maxemissions
    lengthoutofrange,   // a length outside the range checklengths allows
};

DatasetProblem checkdataset(const GeometryFlags& flags, const RunParameters& prm);

struct DatasetOutcome {
    RunTallies tallies;
    bool aborted = false;
    DatasetProblem problem = DatasetProblem::none;  // not none: nothing was run
};

// Runs one dataset: sets flags.rotated, builds the frame, runs the emission
// loop (prm.emissions := emitted on abort), measures the loop's wall time and
// forms meanpath. The caller has checked the dataset with checkdataset; a
// dataset that fails the check anyway is not run, and problem says why.
// With threads > 1 a dataset large enough is split over that many threads,
// and with partners over their processes too; the tallies and where gen
// stands afterwards are the same as with one thread.
DatasetOutcome rundataset(RunParameters& prm, GeometryFlags& flags, MTRandomState& gen,
                          LoopHost& host, int threads = 1, Partners* partners = nullptr);

// The threads a dataset of n emissions is split over: at most threads, and
// one unless every thread gets a worthwhile share.
int threadsfor(std::uint64_t n, int threads);

// The emission loop split over threads (threadsfor > 1): the same tallies as
// emissionloop, gen left where emissionloop leaves it; the host's progress
// and poll come from this thread every few milliseconds. On an abort the
// tallies cover exactly the emissions completed, and prm.emissions :=
// emitted.
bool splitemissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                       MTRandomState& gen, LoopHost& host, RunTallies& t, int threads,
                       Partners* partners = nullptr);

}  // namespace korvex
