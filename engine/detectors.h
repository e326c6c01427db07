// The detector tests. Each takes the ray of one emission (P, Q in the detector
// frame; Q - P is the direction, not normalised again) and adds to the tallies.
// The comparisons are exact by design, with the coincidence tolerance 1e-12.
#pragma once

#include "engine/geometry.h"
#include "engine/tallies.h"

namespace korvex {

inline constexpr double coincidence = 1e-12;

void testsphere(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t);
void testdiscwindow(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t);
void testcylinder(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t);
void testcuboid(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t);
void testrectwindow(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t);

}  // namespace korvex
