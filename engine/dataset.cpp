#include "engine/dataset.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "engine/kinds.h"
#include "engine/lengths.h"
#include "engine/run.h"

namespace korvex {

namespace {

using P = RunParameters;

// The captions are the window's labels; the count has none and is named by
// its own text.
constexpr std::array<ValueInfo, valuecount> table = {{
    {Value::a1, "a1", 6, Sort::size, "source length, a1", &P::a1},
    {Value::b1, "b1", 7, Sort::size, "source length, b1", &P::b1},
    {Value::r1, "r1", 8, Sort::size, "source radius, r1", &P::r1},
    {Value::t1, "t1", 9, Sort::size, "source thickness, t1", &P::t1},
    {Value::a2, "a2", 10, Sort::size, "detector length a2", &P::a2},
    {Value::b2, "b2", 11, Sort::size, "detector length b2", &P::b2},
    {Value::r2, "r2", 12, Sort::size, "detector radius, r2", &P::r2},
    {Value::t2, "t2", 13, Sort::size, "detector thickness, t2", &P::t2},
    {Value::a3, "a3", 14, Sort::displacement, "displacement, a3", &P::a3},
    {Value::b3, "b3", 15, Sort::displacement, "displacement, b3", &P::b3},
    {Value::d, "d", 16, Sort::displacement, "displacement, d", &P::d},
    {Value::c, "c", 17, Sort::displacement, "displacement, c", &P::c},
    {Value::rotx, "rotx", 18, Sort::angle, "Rotation ccw about X", &P::rotx},
    {Value::roty, "roty", 19, Sort::angle, "Rotation ccw about Y' ", &P::roty},
    {Value::rotz, "rotz", 20, Sort::angle, "Rotation ccw about Z'' ", &P::rotz},
    {Value::emissions, "emissions", 21, Sort::count, "number of emissions", &P::emissions},
}};

constexpr bool inorder() {
    for (std::size_t k = 0; k < valuecount; ++k)
        if (table[k].value != static_cast<Value>(k)) return false;
    return true;
}
static_assert(inorder(), "the value table is indexed by Value");

// The shortest double of a few around the nearest that degtorad turns into
// these radians: the degrees as they were most likely typed.
double degreesof(double radians) {
    if (!std::isfinite(radians)) return radians;
    const long double exact = static_cast<long double>(radians) * 180.0L / pil;
    constexpr long double top = std::numeric_limits<double>::max();
    const double nearest = static_cast<double>(exact > top ? top : exact < -top ? -top : exact);
    double best = nearest;
    std::size_t shortest = std::numeric_limits<std::size_t>::max();
    double below = nearest, above = nearest;
    for (int step = 0; step < 8; ++step) {
        for (const double candidate : {below, above}) {
            if (degtorad(candidate) != radians) continue;
            char text[32];
            const auto end = std::to_chars(text, text + sizeof text, candidate).ptr;
            if (static_cast<std::size_t>(end - text) < shortest) {
                shortest = static_cast<std::size_t>(end - text);
                best = candidate;
            }
        }
        below = std::nextafter(below, -std::numeric_limits<double>::infinity());
        above = std::nextafter(above, std::numeric_limits<double>::infinity());
    }
    return best;
}

}  // namespace

const std::array<ValueInfo, valuecount>& valuetable() { return table; }

const ValueInfo& info(Value v) { return table[static_cast<std::size_t>(v)]; }

std::optional<Value> valuenamed(std::string_view name) {
    for (const ValueInfo& i : table)
        if (name == i.name) return i.value;
    return std::nullopt;
}

const char* word(SourceShape s) {
    switch (s) {
        case SourceShape::cuboid: return "cuboid";
        case SourceShape::point: return "point";
        case SourceShape::cylinder: break;
    }
    return "cylinder";
}

const char* word(DetectorShape d) {
    switch (d) {
        case DetectorShape::cuboid: return "cuboid";
        case DetectorShape::sphere: return "sphere";
        case DetectorShape::cylinder: break;
    }
    return "cylinder";
}

std::optional<SourceShape> sourcenamed(std::string_view w) {
    for (const SourceShape s : {SourceShape::cylinder, SourceShape::cuboid, SourceShape::point})
        if (w == word(s)) return s;
    return std::nullopt;
}

std::optional<DetectorShape> detectornamed(std::string_view w) {
    for (const DetectorShape d :
         {DetectorShape::cylinder, DetectorShape::cuboid, DetectorShape::sphere})
        if (w == word(d)) return d;
    return std::nullopt;
}

bool placedbyd(SourceShape s, DetectorShape d) {
    return s != SourceShape::cuboid && d != DetectorShape::cuboid;
}

bool placedbyd(const GeometryFlags& f) { return f.cylsrc && (f.cyldet || f.sphdet); }

bool uses(SourceShape s, DetectorShape d, Value v) {
    const bool round = s != SourceShape::cuboid;
    switch (v) {
        case Value::a1:
        case Value::b1: return s == SourceShape::cuboid;
        case Value::r1: return round;
        case Value::a2:
        case Value::b2: return d == DetectorShape::cuboid;
        case Value::r2: return d != DetectorShape::cuboid;
        case Value::t2: return d != DetectorShape::sphere;
        case Value::a3:
        case Value::b3: return !placedbyd(s, d);
        case Value::d: return placedbyd(s, d);
        default: return true;  // t1, c, the angles, the count
    }
}

bool heldatzero(SourceShape s, Value v) {
    return s == SourceShape::point && (v == Value::r1 || v == Value::t1);
}

void makerun(const Dataset& ds, GeometryFlags& flags, RunParameters& prm) {
    for (const ValueInfo& i : table) {
        double v = ds[i.value];
        if (heldatzero(ds.source, i.value)) v = 0;
        prm.*i.field = i.sort == Sort::angle ? degtorad(v) : v;
    }
    if (placedbyd(ds.source, ds.detector)) {
        prm.a3 = prm.d;
        prm.b3 = 0;
    }
    flags.cylsrc = ds.source != SourceShape::cuboid;
    flags.cubsrc = ds.source == SourceShape::cuboid;
    flags.ptsrc = ds.source == SourceShape::point;
    flags.cyldet = ds.detector == DetectorShape::cylinder;
    flags.cubdet = ds.detector == DetectorShape::cuboid;
    flags.sphdet = ds.detector == DetectorShape::sphere;
    flags.twopisrc = ds.twopi;
    flags.fourpisrc = !ds.twopi;
    flags.thicksrc = prm.t1 > 0;
    flags.discwindow = flags.cyldet && prm.t2 == 0;
    flags.rectwindow = flags.cubdet && prm.t2 == 0;
    flags.rotated = isrotated(prm);
    flags.dataerror = false;
}

SourceShape sourceshape(const GeometryFlags& f) {
    switch (sourcekind(f)) {
        case SourceKind::cuboid: return SourceShape::cuboid;
        case SourceKind::point: return SourceShape::point;
        case SourceKind::disc: break;
    }
    return SourceShape::cylinder;
}

DetectorShape detectorshape(const GeometryFlags& f) {
    if (f.cubdet) return DetectorShape::cuboid;
    return f.cyldet ? DetectorShape::cylinder : DetectorShape::sphere;
}

Dataset datasetof(const GeometryFlags& flags, const RunParameters& prm) {
    Dataset ds;
    ds.source = sourceshape(flags);
    ds.detector = detectorshape(flags);
    ds.twopi = flags.twopisrc;
    for (const ValueInfo& i : table) {
        const double v = prm.*i.field;
        ds[i.value] = i.sort == Sort::angle ? degreesof(v) : v;
    }
    return ds;
}

ValueCheck checkvalues(const GeometryFlags& flags, const RunParameters& prm) {
    if (!consistentkinds(flags)) return {Refusal::inconsistentkinds};
    const SourceShape s = sourceshape(flags);
    const DetectorShape d = detectorshape(flags);
    // The window's own refusal: no size and no count below 0 (minus zero
    // is not below 0).
    for (const ValueInfo& i : table) {
        const double v = prm.*i.field;
        if ((i.sort == Sort::size || i.sort == Sort::count) && uses(s, d, i.value) && v < 0)
            return {Refusal::negative, i.value, v};
    }
    if (prm.emissions > maxemissions)
        return {Refusal::toomanyemissions, Value::emissions, prm.emissions};
    const LengthCheck lengths = checklengths(flags, prm);
    if (lengths.name) return {Refusal::lengthoutofrange, *valuenamed(lengths.name), lengths.value};
    if (prm.emissions == 0) return {Refusal::noemissions, Value::emissions, 0};
    return {};
}

}  // namespace korvex
