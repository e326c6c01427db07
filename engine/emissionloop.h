// The emission loop of one dataset: emission after emission until emitted
// reaches the count, with the progress step every int(stepsize) + 1 emissions
// and the abort poll every pollinterval emissions. The source kind, the
// detector kind, 2 pi or 4 pi and the rotation are decided once, before the
// loop.
#pragma once

#include <cstdint>

#include "engine/geometry.h"
#include "engine/mtrandom.h"
#include "engine/run.h"
#include "engine/tallies.h"

namespace korvex {

// The loop's only contacts with its surroundings, counted in emissions: the
// progress step once stepcount exceeds stepsize, and the abort poll once
// pollcount reaches pollinterval.
struct Checkpoints {
    double stepsize = 0;
    double stepcount = 0;
    std::int32_t pollcount = 0;

    explicit Checkpoints(double emissions) : stepsize(emissions / 100) {}

    // After n more emissions; true when the user asked to abort, which ends
    // the dataset with emissions := emitted.
    bool pass(int n, RunParameters& prm, LoopHost& host, const RunTallies& t) {
        pollcount += n;
        stepcount += n;
        if (stepcount > stepsize) {
            host.progressstep(t);
            stepcount = 0;
        }
        if (pollcount >= pollinterval) {
            pollcount = 0;
            if (host.pollabort()) {
                prm.emissions = t.emitted;
                return true;
            }
        }
        return false;
    }
};

// Adds to t (emitted and every count); on an abort sets prm.emissions to
// emitted and returns true. The flags must be consistent (checkdataset).
bool emissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                  MTRandomState& gen, LoopHost& host, RunTallies& t);

// The plain loop, one emission at a time: the reference the faster loop is
// checked against.
bool scalaremissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                        MTRandomState& gen, LoopHost& host, RunTallies& t);

}  // namespace korvex
