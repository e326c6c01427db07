// The right circular cylinder of radius r2 from z = 0 down to z = -t2, and
// the plane disc window of radius r2 in z = 0 (t2 = 0).
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

// Four candidate crossings: the side wall from the + and - roots (valid
// for -t2 <= z <= 0: the side owns the rims), the top end and the bottom end
// (valid strictly inside the circle). F is the first valid candidate not at
// P, G the last valid one other than F. A ray with a single valid crossing
// (a rim grazed and nothing else) has no G and counts as a miss.
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

    Vec3 c[4];
    bool valid[4];
    c[0].x = (s - m * k) / m21;
    c[0].y = m * c[0].x + k;
    c[0].z = p.z + (q.z - p.z) * (c[0].x - p.x) / (q.x - p.x);
    c[1].x = (-m * k - s) / m21;
    c[1].y = m * c[1].x + k;
    c[1].z = p.z + (q.z - p.z) * (c[1].x - p.x) / (q.x - p.x);
    valid[0] = -t2 <= c[0].z && c[0].z <= 0;
    valid[1] = -t2 <= c[1].z && c[1].z <= 0;
    valid[2] = valid[3] = false;
    if (!(valid[0] && valid[1])) {
        c[2].x = p.x + (q.x - p.x) * (-p.z) / (q.z - p.z);
        c[2].y = p.y + (q.y - p.y) * (-p.z) / (q.z - p.z);
        c[2].z = 0;
        c[3].x = p.x + (q.x - p.x) * (-t2 - p.z) / (q.z - p.z);
        c[3].y = p.y + (q.y - p.y) * (-t2 - p.z) / (q.z - p.z);
        c[3].z = -t2;
        valid[2] = c[2].x * c[2].x + c[2].y * c[2].y < r2 * r2;
        valid[3] = c[3].x * c[3].x + c[3].y * c[3].y < r2 * r2;
    }

    int fi = -1;
    for (int i = 0; i < 4; ++i) {
        if (valid[i] && !coincides(c[i], p)) {
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
    const Vec3 f = c[fi], g = c[gi];
    const bool ff = ahead(n, f, p);
    const bool fg = ahead(n, g, p);
    if (ff && fg) {
        t.hits += 1;
        if (valid[2]) t.tophits += 1;
        if (valid[3]) t.bottomhits += 1;
        if (valid[0]) t.sidehits += 1;
        if (valid[1]) t.sidehits += 1;
        t.pathsum += distance(f, g);
    } else if (ff != fg) {
        countfrominside(t, ff, f, g, p);
    }
}

}  // namespace korvex
