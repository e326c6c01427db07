// The emission loop of one dataset: emission after emission until emitted
// reaches the count, with the progress step every int(stepsize) + 1 emissions
// and the abort poll every 10001 emissions. The source kind, the detector
// kind, 2 pi or 4 pi and the rotation are decided once, before the loop.
#pragma once

#include "engine/geometry.h"
#include "engine/mtrandom.h"
#include "engine/run.h"
#include "engine/tallies.h"

namespace korvex {

// Adds to t (emitted and every count); on an abort sets prm.emissions to
// emitted and returns true. The flags must be consistent (checkdataset).
bool emissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                  MTRandomState& gen, LoopHost& host, RunTallies& t);

// The plain loop, one emission at a time: the reference the faster loop is
// checked against.
bool scalaremissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                        MTRandomState& gen, LoopHost& host, RunTallies& t);

}  // namespace korvex
