// The cuboid |x| <= a2/2, |y| <= b2/2, -t2 <= z <= 0, and the plane
// rectangular window |x| < a2/2, |y| < b2/2 in z = 0 (t2 = 0).
// Twin: detectcuboid and detectrectwindow in engine/kernels.inc decide every
// ray the same way, with the same names and the faces numbered alike; a
// change here is made there too.
#pragma once

#include <cmath>

#include "engine/geometry.h"
#include "engine/ray.h"
#include "engine/tallies.h"

namespace korvex {

// The accepted crossings of one emission: the first is kept, every later one
// overwrites the second.
struct Crossings {
    int count = 0;
    Vec3 first, second;
};

inline void storecrossing(Vec3 x, Crossings& cs) {
    ++cs.count;
    if (cs.count == 1) {
        cs.first = x;
    } else {
        cs.second = x;
    }
}

// Coordinate j of the crossing of the line P-Q with the plane k = h.
inline double planecut(double pj, double qj, double pk, double qk, double h) {
    return pj + (qj - pj) * (h - pk) / (qk - pk);
}

inline void testcuboid(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    const double ha = prm.a2 / 2, hb = prm.b2 / 2, t2 = prm.t2;
    // The faces in the order they are examined: 0 top, 1 bottom, 2 y+, 3 y-,
    // 4 x+, 5 x-.
    bool facecrossed[6] = {false, false, false, false, false, false};
    Crossings cs;
    if (q.z != p.z) {
        const double hz[2] = {0, -t2};
        for (int f = 0; f < 2; ++f) {
            const Vec3 x{planecut(p.x, q.x, p.z, q.z, hz[f]), planecut(p.y, q.y, p.z, q.z, hz[f]),
                         hz[f]};
            if (std::fabs(x.x) < ha && std::fabs(x.y) < hb) {
                storecrossing(x, cs);
                facecrossed[f] = true;
            }
        }
    }
    if (q.y != p.y) {
        const double hy[2] = {hb, -hb};
        for (int f = 0; f < 2; ++f) {
            const Vec3 x{planecut(p.x, q.x, p.y, q.y, hy[f]), hy[f],
                         planecut(p.z, q.z, p.y, q.y, hy[f])};
            if (std::fabs(x.x) < ha && x.z < 0 && x.z > -t2) {
                storecrossing(x, cs);
                facecrossed[2 + f] = true;
            }
        }
    }
    if (q.x != p.x) {
        const double hx[2] = {ha, -ha};
        for (int f = 0; f < 2; ++f) {
            const Vec3 x{hx[f], planecut(p.y, q.y, p.x, q.x, hx[f]),
                         planecut(p.z, q.z, p.x, q.x, hx[f])};
            if (std::fabs(x.y) < hb && x.z < 0 && x.z > -t2) {
                storecrossing(x, cs);
                facecrossed[4 + f] = true;
            }
        }
    }
    // A line meeting the cuboid crosses its surface twice; 1 or 3 come only
    // from edges and corners, and count as misses.
    if (cs.count != 2) return;
    const bool firston = coincides(cs.first, p);
    const bool secondon = coincides(cs.second, p);
    const Vec3 n{q.x - p.x, q.y - p.y, q.z - p.z};
    bool firstahead = false, secondahead = false;
    if (!firston && !secondon) {
        firstahead = ahead(n, cs.first, p);
        secondahead = ahead(n, cs.second, p);
    } else if (firston && !secondon) {
        secondahead = ahead(n, cs.second, p);
        firstahead = true;
    } else if (!firston && secondon) {
        firstahead = ahead(n, cs.first, p);
        secondahead = true;
    }
    if (firstahead && secondahead) {
        t.hits += 1;
        double* counter[6] = {&t.topfacehits,    &t.bottomfacehits, &t.yplusfacehits,
                              &t.yminusfacehits, &t.xplusfacehits,  &t.xminusfacehits};
        for (int f = 0; f < 6; ++f) {
            if (facecrossed[f]) *counter[f] += 1;
        }
        addpath(t, distance(cs.first, cs.second));
    }
    if (firston || secondon) {
        t.sourceinside = true;
        return;
    }
    if (firstahead != secondahead) countfrominside(t, firstahead, cs.first, cs.second, p);
}

// Counts rays entering the rectangle from above; notes a start underneath it.
inline void testrectwindow(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    const double ha = prm.a2 / 2, hb = prm.b2 / 2;
    if (p.z > q.z && p.z >= 0) {
        const double x0 = planecut(p.x, q.x, p.z, q.z, 0);
        const double y0 = planecut(p.y, q.y, p.z, q.z, 0);
        if (std::fabs(x0) < ha && std::fabs(y0) < hb) t.hits += 1;
    }
    if (p.z < 0 && std::fabs(p.x) < ha && std::fabs(p.y) < hb) t.sourceinside = true;
}

}  // namespace korvex
