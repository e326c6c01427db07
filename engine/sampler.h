// One emission: a point in the source body and a direction of flight, carried
// into the detector frame as the emission point P and the aim point Q one unit
// further along the direction. The draw order is fixed (see sampleemission).
#pragma once

#include "engine/geometry.h"
#include "engine/mtrandom.h"

namespace korvex {

struct Emission {
    Vec3 p;  // emission point, detector frame
    Vec3 q;  // aim point, detector frame
};

// Draws 2 to 5 reals from gen: lateral position (disc: sqrt(u1) r1, 2 pi u2;
// rectangle: u3, u4; point: none), depth u5 when t1 > 0, polar u6, azimuth u7.
Emission sampleemission(const RunParameters& prm, const GeometryFlags& flags,
                        const Frame& frame, MTRandomState& gen);

}  // namespace korvex
