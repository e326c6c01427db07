// The sphere of radius r2 centred on the detector origin.
// Twin: detectsphere in engine/kernels.inc decides every ray the same way
// with the same names; a change here is made there too.
#pragma once

#include <cmath>

#include "engine/geometry.h"
#include "engine/ray.h"
#include "engine/tallies.h"

namespace korvex {

inline void testsphere(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    const Vec3 n{q.x - p.x, q.y - p.y, q.z - p.z};
    const double alpha = n.x * n.x + n.y * n.y + n.z * n.z;
    const double beta = 2 * (n.x * p.x + n.y * p.y + n.z * p.z);
    const double gamma = (p.x * p.x + p.y * p.y + p.z * p.z) - prm.r2 * prm.r2;
    // A ray that only touches the sphere is a miss.
    if (4 * alpha * gamma >= beta * beta) return;
    const double s = std::sqrt(beta * beta - 4 * alpha * gamma);
    const double tplus = (-beta + s) / (2 * alpha);
    const double tminus = (-beta - s) / (2 * alpha);
    const Vec3 a{p.x + tplus * n.x, p.y + tplus * n.y, p.z + tplus * n.z};
    const Vec3 b{p.x + tminus * n.x, p.y + tminus * n.y, p.z + tminus * n.z};
    const bool aonp = coincides(a, p);
    const bool bonp = coincides(b, p);
    const Vec3 f = aonp ? b : a;
    const Vec3 g = aonp ? a : b;
    const bool ff = ahead(n, f, p);
    bool fg;
    if (aonp || bonp) {
        // Starting on the surface: the crossing at P does not count as ahead
        // or behind; the far one decides.
        fg = ff;
        t.sourceinside = true;
    } else {
        fg = ahead(n, g, p);
    }
    if (ff && fg) {
        t.hits += 1;
        addpath(t, distance(f, g));
    } else if (ff != fg) {
        countfrominside(t, ff, f, g, p);
    }
}

}  // namespace korvex
