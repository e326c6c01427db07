// Run description and the geometry frame.
//
// A run is fully described by GeometryFlags (which shapes, which emission
// mode, and the modes derived from the dimensions) and RunParameters (every
// dimension, the placement and orientation of the source, the emission count).
// Frame carries a point from the source's own coordinates into the detector's:
// the transpose of the rotation matrix, then the translation (a3, b3, c).
#pragma once

#include <array>

namespace korvex {

// pi to the 64-bit significand of long double (extended precision on x86),
// and rounded once to double.
inline constexpr long double pil = 3.141592653589793238462643383279502884L;
inline constexpr double pi = static_cast<double>(pil);

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

// Process-wide flags. The defaults are the program's start values.
struct GeometryFlags {
    bool cylsrc = true;       // cylinder or disc source (also set for a point source)
    bool cubsrc = false;      // cuboid, plane rectangle or line source
    bool ptsrc = false;       // point source (cylsrc is set too)
    bool cyldet = true;       // right cylinder or disc window
    bool cubdet = false;      // cuboid or rectangular window
    bool sphdet = false;      // sphere
    bool twopisrc = false;    // emissions leave the front face only
    bool fourpisrc = true;    // isotropic emission
    bool thicksrc = false;    // t1 > 0
    bool discwindow = false;  // cyldet and t2 == 0
    bool rectwindow = false;  // cubdet and t2 == 0
    bool rotated = false;     // some rotation angle is not exactly 0
    bool batchrun = false;
    bool dataerror = false;
    bool showabout = true;
};

// One dataset. Lengths carry no unit; angles are held in radians.
struct RunParameters {
    double r1 = 0, a1 = 0, b1 = 0, t1 = 0;
    double r2 = 0, a2 = 0, b2 = 0, t2 = 0;
    double d = 0, a3 = 0, b3 = 0, c = 0;
    double rotx = 0, roty = 0, rotz = 0;
    double emissions = 0;
};

// Sets every field but the emission count to 0 (the head of a dataset).
void clearparameters(RunParameters& prm);

// The head of every dataset, before a reader fills it: the parameters
// cleared (the count kept) and the flags derived from values unset.
void startdataset(GeometryFlags& flags, RunParameters& prm);

// Degrees to radians: value x pi (long double) / 180, stored as a double.
double degtorad(double degrees);

// True when any angle is not exactly 0.
bool isrotated(const RunParameters& prm);

// The rotation matrix R (row-major: R[0] = R11, R[1] = R12, ... R[8] = R33)
// for Euler angles about X, then Y', then Z''.
std::array<double, 9> rotmatrix(double rotx, double roty, double rotz);

// The source-to-detector transform of one dataset.
struct Frame {
    bool rotated = false;
    std::array<double, 9> r{};  // rotmatrix, used only when rotated
    double a3 = 0, b3 = 0, c = 0;
};

// Builds the frame from the parameters; rotated decides whether the matrix
// is computed and used.
Frame makeframe(const RunParameters& prm, bool rotated);

// Source coordinates to detector coordinates: x = R11 xs + R21 ys + R31 zs
// (summed left to right, rounded to double) + a3, and likewise y and z.
// Without rotation, a pure translation.
Vec3 todetector(const Frame& frame, Vec3 s);

// The rotated case of todetector, inline for the emission loop.
inline Vec3 rotatetranslate(const Frame& f, Vec3 s) {
    const double x = f.r[0] * s.x + f.r[3] * s.y + f.r[6] * s.z;
    const double y = f.r[1] * s.x + f.r[4] * s.y + f.r[7] * s.z;
    const double z = f.r[2] * s.x + f.r[5] * s.y + f.r[8] * s.z;
    return {x + f.a3, y + f.b3, z + f.c};
}

}  // namespace korvex
