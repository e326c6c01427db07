// What one source point contributes, exactly (to rounding or to quadrature at
// full precision) rather than by sampling rays: the solid angle of the
// directions an emission run would count as hits, the solid angle of every
// detector face or wall counted with multiplicity (the expectation of the
// face counters times the full angle), and the integral over the counted
// directions of the path length inside the detector.
//
// Crossings are surface integrals over each face, the path integral comes
// from the divergence theorem (the sum over the faces of (x - p).n / |x - p|^2
// dA, which holds for points inside as well), and a 2 pi emission clips every
// face to the half-space of points x with (x - p).zs < 0, where zs is the
// source's face normal pointing into its body.
#pragma once

#include <array>

#include "engine/geometry.h"
#include "engine/kinds.h"

namespace korvex {

struct DetectorBody {
    DetectorKind kind = DetectorKind::cylinder;
    double r2 = 0, a2 = 0, b2 = 0, t2 = 0;
};

// Face order: cylinder side, top, bottom; cuboid top, bottom, Xd plus,
// Xd minus, Yd plus, Yd minus (the report's order).
inline constexpr int facecount = 6;

struct PointValues {
    double omega = 0;                       // solid angle of the counted directions, sr
    double path = 0;                        // integral of the path length over them
    std::array<double, facecount> faces{};  // per face, with multiplicity
    // p lies on or inside the detector, or underneath a window: the face
    // values are then not formed (the report withholds them).
    bool inside = false;
};

// The emission directions: all of them (fourpi), or those u with u.zs < 0.
struct Emitting {
    bool fourpi = true;
    Vec3 zs{0, 0, 1};  // unit, detector frame; used for 2 pi only
};

PointValues pointvalues(const DetectorBody& det, Vec3 p, const Emitting& em);

// Per-face pieces, exposed for their reference tests.

// Solid angle of a disc of radius r seen from a point at distance d from its
// axis and height h above its plane (unclipped).
double discsolidangle(double r, double d, double h);

// The area integral over that disc of 1 / (|x - foot|^2 + h^2), closed form;
// times the signed height it is the disc's term of the path integral.
double discpath(double r, double d, double h);

// Sphere of radius r, centre at distance dist from p, 4 pi: solid angle and
// path integral (outside or inside).
double spheresolidangle(double r, double dist);
double spherepath(double r, double dist);

}  // namespace korvex
