#include "engine/estimate.h"

#include <algorithm>
#include <cmath>

namespace korvex {

double fullangle(const GeometryFlags& flags) { return flags.twopisrc ? 2 * pi : 4 * pi; }

Estimate estimate(const GeometryFlags& flags, const RunTallies& t) {
    Estimate e;
    e.fullangle = fullangle(flags);
    e.meanpath = t.meanpath;
    const long double emitted = t.emitted;
    const long double hits = t.hits;
    if (emitted > 0) {
        e.hitsigma = static_cast<double>(std::sqrt((emitted - hits) * hits / emitted));
        e.solidangle = static_cast<double>(e.fullangle * hits / emitted);
        e.angleerror = confidence * e.fullangle * e.hitsigma / emitted;
        e.anglesigma = e.fullangle * e.hitsigma / emitted;
        e.hitpercent = 100 * hits / emitted;
    }
    if (hits != 0) e.relativeerror = confidencepercent * e.hitsigma / hits;
    if (hits > 0) e.meanpatherror = confidence * e.hitsigma * t.meanpath / hits;
    if (hits > 1) {
        const long double sum = t.pathsum;
        // Rounding may leave a spread of nothing a hair below 0.
        const long double variance = std::max(0.0L, (t.pathsq - sum * sum / hits) / (hits - 1));
        e.meanpathsigma = static_cast<double>(std::sqrt(variance / hits));
    }
    return e;
}

}  // namespace korvex
