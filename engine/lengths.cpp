#include "engine/lengths.h"

#include <cmath>

namespace korvex {

namespace {

bool inrange(double v) {
    const double size = std::fabs(v);
    return size == 0 || (size >= shortestlength && size <= longestlength);
}

}  // namespace

LengthCheck checklengths(const GeometryFlags& f, const RunParameters& prm) {
    const bool bydistance = f.cylsrc && (f.cyldet || f.sphdet);
    const struct {
        const char* name;
        double value;
        bool used;
    } lengths[] = {
        {"a1", prm.a1, f.cubsrc},
        {"b1", prm.b1, f.cubsrc},
        {"r1", prm.r1, f.cylsrc},
        {"t1", prm.t1, true},
        {"a2", prm.a2, f.cubdet},
        {"b2", prm.b2, f.cubdet},
        {"r2", prm.r2, f.cyldet || f.sphdet},
        {"t2", prm.t2, f.cyldet || f.cubdet},
        {"a3", prm.a3, !bydistance},
        {"b3", prm.b3, !bydistance},
        {"d", prm.a3, bydistance},
        {"c", prm.c, true},
    };
    for (const auto& l : lengths) {
        if (l.used && !inrange(l.value)) return {l.name, l.value};
    }
    return {};
}

}  // namespace korvex
