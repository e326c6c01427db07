// The detector tests. Each takes the ray of one emission (P, Q in the detector
// frame; Q - P is the direction, not normalised again) and adds to the tallies.
// The comparisons are exact by design, with the coincidence tolerance 1e-12.
//   testsphere                      sphere.h
//   testdiscwindow, testcylinder    cylinder.h
//   testcuboid, testrectwindow      cuboid.h
// They are inline so that the emission loop, which picks one per dataset,
// compiles each into its body.
#pragma once

#include "engine/cuboid.h"
#include "engine/cylinder.h"
#include "engine/sphere.h"
