// The range of lengths a dataset may use.
//
// The detector tests compare with an absolute tolerance (1e-12) and take the
// emission direction as the difference of two points one unit apart, so the
// answer stops being scale-free at both ends: when the whole geometry is so
// small that gaps between source and detector come near the tolerance, and
// when coordinates are so large that their rounding turns the direction. The
// measured onsets (tools/scalesweep: about 1e-11 and 1e13 at 1E7 emissions;
// the large end falls as 1/sqrt(emissions), to about 6e8 at 2^53) lie well
// outside the range below. A thin part inside a geometry of ordinary size is
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
