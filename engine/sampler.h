// One emission: a point in the source body and a direction of flight, carried
// into the detector frame as the emission point P and the aim point Q one unit
// further along the direction. The draw order is fixed (see sampleemission).
#pragma once

#include <cmath>

#include "engine/geometry.h"
#include "engine/kinds.h"
#include "engine/mtrandom.h"

namespace korvex {

struct Emission {
    Vec3 p;  // emission point, detector frame
    Vec3 q;  // aim point, detector frame
};

// Draws 2 to 5 reals from gen: lateral position (disc: sqrt(u1) r1, 2 pi u2;
// rectangle: u3, u4; point: none), depth u5 when t1 > 0, polar u6, azimuth u7.
Emission sampleemission(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                        MTRandomState& gen);

// 2 pi to the 64-bit significand of long double (doubling is exact).
inline constexpr long double twopil = 2 * pil;

// An angle 2 pi u: the product formed in extended precision, rounded once to
// double.
inline double turn(double u) { return static_cast<double>(twopil * static_cast<long double>(u)); }

// sampleemission with the dataset's choices fixed at compile time.
template <SourceKind S, bool fourpi, bool rotated>
inline Emission sampleas(const RunParameters& prm, const Frame& frame, MTRandomState& gen) {
    double xs = 0, ys = 0, zs = 0;
    if constexpr (S == SourceKind::disc) {
        const double rho = std::sqrt(randomreal(gen)) * prm.r1;
        const double phi = turn(randomreal(gen));
        xs = std::cos(phi) * rho;
        ys = std::sin(phi) * rho;
    } else if constexpr (S == SourceKind::cuboid) {
        xs = ((2 * randomreal(gen) - 1) * 0.5) * prm.a1;
        ys = ((2 * randomreal(gen) - 1) * 0.5) * prm.b1;
    }
    if (prm.t1 > 0) zs = randomreal(gen) * prm.t1;
    const double u6 = randomreal(gen);
    const double w = fourpi ? 2 * u6 - 1 : -u6;
    const double phi = turn(randomreal(gen));
    const double s = std::sqrt(1 - w * w);
    const double u = std::cos(phi) * s;
    const double v = std::sin(phi) * s;
    const Vec3 ps{xs, ys, zs};
    const Vec3 qs{xs + u, ys + v, zs + w};
    if constexpr (rotated) {
        return {rotatetranslate(frame, ps), rotatetranslate(frame, qs)};
    } else {
        return {{ps.x + frame.a3, ps.y + frame.b3, ps.z + frame.c},
                {qs.x + frame.a3, qs.y + frame.b3, qs.z + frame.c}};
    }
}

}  // namespace korvex
