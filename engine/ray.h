// Small helpers shared by the detector tests. The tolerance 1e-12 plays two
// roles: a crossing coincides with the emission point when every coordinate
// differs by less than it, and lies ahead when the dot product of the
// direction with the offset exceeds it. All comparisons are strict and exact.
// Twin: the vector kernels (engine/kernels.inc) have the same helpers under
// the same names, one lane at a time.
#pragma once

#include <cmath>

#include "engine/geometry.h"
#include "engine/tallies.h"

namespace korvex {

inline constexpr double coincidence = 1e-12;

inline bool coincides(Vec3 x, Vec3 p) {
    return std::fabs(x.x - p.x) < coincidence && std::fabs(x.y - p.y) < coincidence &&
           std::fabs(x.z - p.z) < coincidence;
}

// n . (x - p) > tolerance, summed left to right.
inline bool ahead(Vec3 n, Vec3 x, Vec3 p) {
    return n.x * (x.x - p.x) + n.y * (x.y - p.y) + n.z * (x.z - p.z) > coincidence;
}

inline double distance(Vec3 a, Vec3 b) {
    const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The outcome shared by the volume detectors when exactly one crossing lies
// ahead: the emission starts inside (or on the surface heading in) and is
// counted with the distance from its start to where it leaves.
inline void countfrominside(RunTallies& t, bool firstahead, Vec3 first, Vec3 second, Vec3 p) {
    t.hits += 1;
    t.sourceinside = true;
    addpath(t, firstahead ? distance(first, p) : distance(second, p));
}

}  // namespace korvex
