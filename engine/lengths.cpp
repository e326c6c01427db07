#include "engine/lengths.h"

#include <cmath>

#include "engine/dataset.h"

namespace korvex {

namespace {

bool inrange(double v) {
    const double size = std::fabs(v);
    return size == 0 || (size >= shortestlength && size <= longestlength);
}

}  // namespace

LengthCheck checklengths(const GeometryFlags& f, const RunParameters& prm) {
    const SourceShape s = sourceshape(f);
    const DetectorShape d = detectorshape(f);
    for (const ValueInfo& i : valuetable()) {
        if (i.sort != Sort::size && i.sort != Sort::displacement) continue;
        if (!uses(s, d, i.value)) continue;
        // d places the source through a3, which is what the run uses.
        const double v = i.value == Value::d ? prm.a3 : prm.*i.field;
        if (!inrange(v)) return {i.name, v};
    }
    return {};
}

}  // namespace korvex
