// The range of lengths a dataset may use.
//
// The detector tests compare with an absolute tolerance (1e-12) and take the
// emission direction as the difference of two points one unit apart, so the
// answer stops being scale-free at both ends: when the whole geometry is so
// small that gaps between source and detector come near the tolerance, and
// when coordinates are so large that their rounding turns the direction.
// tools/scalesweep scales whole geometries by 10^k: at 1E7 emissions the
// first drift comes at 1e-12 to 1e-10 (the latter with a gap of 1e-3 built
// in) and at 1e13 to 1e15, and 1E8 emissions find the same decades. The
// range below keeps a margin of 1e4 at each end; at 1e8 the direction is
// rounded by about 1e-8 of itself, below the statistical error of even the
// largest count, 2^53. A thin part inside a geometry of ordinary size is
// harmless, and so is a zero: a point source and a zero displacement are
// normal.
#pragma once

#include "engine/geometry.h"

namespace korvex {

inline constexpr double shortestlength = 1e-6;
inline constexpr double longestlength = 1e8;

// The first length the dataset uses (its dimensions and displacements, in the
// order of a data file; d in place of a3 and b3 where d places the source)
// whose size is neither 0 nor within [shortestlength, longestlength].
struct LengthCheck {
    const char* name = nullptr;  // "r2", "c", ...; nullptr when every length is in range
    double value = 0;
};

LengthCheck checklengths(const GeometryFlags& flags, const RunParameters& prm);

}  // namespace korvex
