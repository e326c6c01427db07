// The reported quantities of a dataset, from its tallies: the solid angle
// and its errors, the share of emissions that hit, the mean path and its
// errors. The text report, the machine-readable records, korvex-batch's
// progress and the Python module all take them from here and only format
// them.
//
// The products and quotients are formed left to right in extended
// precision, as the report has always written them; hitsigma and the solid
// angle are held as doubles before they are used further.
#pragma once

#include "engine/geometry.h"
#include "engine/tallies.h"

namespace korvex {

// The factor of the 99.9% confidence interval (two-sided, normal), as the
// relative error in per cent uses it (329 x hitsigma / hits, exact), and
// itself.
inline constexpr long double confidencepercent = 329.0L;
inline constexpr long double confidence = confidencepercent / 100;

// The solid angle the emissions fill: 2 pi from the front face only, else 4 pi.
double fullangle(const GeometryFlags& flags);

struct Estimate {
    double fullangle = 0;           // 2 pi or 4 pi
    double hitsigma = 0;            // sqrt((emitted - hits) hits / emitted)
    double solidangle = 0;          // fullangle x hits / emitted, steradians
    long double angleerror = 0;     // confidence x fullangle x hitsigma / emitted
    long double anglesigma = 0;     // fullangle x hitsigma / emitted: one standard error
    long double hitpercent = 0;     // 100 x hits / emitted
    long double relativeerror = 0;  // 329 x hitsigma / hits, per cent; 0 without hits
    double meanpath = 0;            // the tallies' meanpath
    long double meanpatherror = 0;  // confidence x hitsigma x meanpath / hits; 0 without hits
    // The standard error of the mean path from the spread of the path
    // lengths (pathsq): sqrt(sample variance / hits); 0 with fewer than two
    // hits.
    double meanpathsigma = 0;
};

// Without emissions every quantity is 0 rather than a quotient by zero.
Estimate estimate(const GeometryFlags& flags, const RunTallies& t);

}  // namespace korvex
