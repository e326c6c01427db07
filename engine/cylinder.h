// The right circular cylinder of radius r2 from z = 0 down to z = -t2, and
// the plane disc window of radius r2 in z = 0 (t2 = 0).
// Twin: detectdiscwindow and detectcylinder in engine/kernels.inc decide
// every ray the same way, with the same names and the crossing candidates
// numbered alike; a change here is made there too.
#pragma once

#include <cmath>

#include "engine/geometry.h"
#include "engine/ray.h"
#include "engine/tallies.h"

namespace korvex {

// Counts rays entering the disc from above; notes a start underneath it.
inline void testdiscwindow(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    if (q.z < p.z && p.z >= 0) {
        const double x0 = p.x + (q.x - p.x) * (-p.z) / (q.z - p.z);
        const double y0 = p.y + (q.y - p.y) * (-p.z) / (q.z - p.z);
        if (x0 * x0 + y0 * y0 < prm.r2 * prm.r2) t.hits += 1;
    }
    if (!t.sourceinside && p.z < 0 && std::sqrt(p.x * p.x + p.y * p.y) < prm.r2) {
        t.sourceinside = true;
    }
}

// Four candidate crossings: 0 and 1 on the side wall from the + and - roots
// (valid for -t2 <= z <= 0: the side owns the rims), 2 on the top end and 3
// on the bottom end (valid strictly inside the circle). F is the first valid
// candidate not at P, G the last valid one other than F. A ray with a single
// valid crossing (a rim grazed and nothing else) has no G and counts as a
// miss.
inline void testcylinder(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    // Both differences are divisors below.
    if (q.x == p.x || q.z == p.z) return;
    const double r2 = prm.r2, t2 = prm.t2;
    const double m = (p.y - q.y) / (p.x - q.x);
    const double k = q.y - m * q.x;
    const double m21 = m * m + 1;
    const double big = r2 * r2 * m21;
    if (k * k > big) return;
    const double s = std::sqrt(big - k * k);

    Vec3 crossing[4];
    bool valid[4];
    crossing[0].x = (s - m * k) / m21;
    crossing[0].y = m * crossing[0].x + k;
    crossing[0].z = p.z + (q.z - p.z) * (crossing[0].x - p.x) / (q.x - p.x);
    crossing[1].x = (-m * k - s) / m21;
    crossing[1].y = m * crossing[1].x + k;
    crossing[1].z = p.z + (q.z - p.z) * (crossing[1].x - p.x) / (q.x - p.x);
    valid[0] = -t2 <= crossing[0].z && crossing[0].z <= 0;
    valid[1] = -t2 <= crossing[1].z && crossing[1].z <= 0;
    valid[2] = valid[3] = false;
    if (!(valid[0] && valid[1])) {
        crossing[2].x = p.x + (q.x - p.x) * (-p.z) / (q.z - p.z);
        crossing[2].y = p.y + (q.y - p.y) * (-p.z) / (q.z - p.z);
        crossing[2].z = 0;
        crossing[3].x = p.x + (q.x - p.x) * (-t2 - p.z) / (q.z - p.z);
        crossing[3].y = p.y + (q.y - p.y) * (-t2 - p.z) / (q.z - p.z);
        crossing[3].z = -t2;
        valid[2] = crossing[2].x * crossing[2].x + crossing[2].y * crossing[2].y < r2 * r2;
        valid[3] = crossing[3].x * crossing[3].x + crossing[3].y * crossing[3].y < r2 * r2;
    }

    int fi = -1;
    for (int i = 0; i < 4; ++i) {
        if (valid[i] && !coincides(crossing[i], p)) {
            fi = i;
            break;
        }
    }
    if (fi < 0) return;
    int gi = -1;
    for (int i = 3; i >= 0; --i) {
        if (valid[i] && i != fi) {
            gi = i;
            break;
        }
    }
    if (gi < 0) return;

    const Vec3 n{q.x - p.x, q.y - p.y, q.z - p.z};
    const Vec3 f = crossing[fi], g = crossing[gi];
    const bool ff = ahead(n, f, p);
    const bool fg = ahead(n, g, p);
    if (ff && fg) {
        t.hits += 1;
        if (valid[2]) t.tophits += 1;
        if (valid[3]) t.bottomhits += 1;
        if (valid[0]) t.sidehits += 1;
        if (valid[1]) t.sidehits += 1;
        addpath(t, distance(f, g));
    } else if (ff != fg) {
        countfrominside(t, ff, f, g, p);
    }
}

}  // namespace korvex
