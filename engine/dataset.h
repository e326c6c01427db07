// What a dataset is, written once: the source and detector shapes, the values
// a dataset holds (by their data-file names), which of them each pair of
// shapes uses, the rule that a round source over a cylinder or a sphere is
// placed by d alone, the flags derived from the values, and the check of the
// values the window refuses. The window, the data-file reader, korvex-draw,
// the tools, the benchmarks and the Python module all build their
// GeometryFlags and RunParameters through makerun, and none restates a rule.
//
// A typical caller:
//
//     Dataset ds;                         // a round source over a cylinder, 4 pi
//     ds.detector = DetectorShape::sphere;
//     ds[Value::r1] = 2.5;
//     ds[Value::r2] = 3;
//     ds[Value::d] = 1;                   // placed by d alone: a3 := d, b3 := 0
//     ds[Value::c] = 10;
//     ds[Value::rotx] = 30;               // degrees, as typed
//     ds[Value::emissions] = 1e7;
//     GeometryFlags flags;
//     RunParameters prm;
//     makerun(ds, flags, prm);
//     const ValueCheck check = checkvalues(flags, prm);  // refusal.none to run
//
// Adding a shape means adding it to the enum, to the table in dataset.cpp
// and to the kinds (engine/kinds.h) the emission loop runs on.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "engine/geometry.h"

namespace korvex {

// The shapes a user chooses. A point is a round source of r1 = 0 and t1 = 0;
// a cylinder of t2 = 0 is a disc window, a cuboid of t2 = 0 a rectangular one.
enum class SourceShape { cylinder, cuboid, point };
enum class DetectorShape { cylinder, cuboid, sphere };

// The values of a dataset, in the order of a data file (values 6 to 21).
enum class Value { a1, b1, r1, t1, a2, b2, r2, t2, a3, b3, d, c, rotx, roty, rotz, emissions };
inline constexpr std::size_t valuecount = 16;

enum class Sort {
    size,          // a dimension: at least 0 (r2, a2, b2 greater than 0 on screen)
    displacement,  // a length of either sign
    angle,         // degrees as typed, radians in RunParameters
    count,         // the emission count
};

struct ValueInfo {
    Value value;
    const char* name;  // the data file's name, also the Python field's: "r1", ...
    int position;      // the value's number within a data-file dataset
    Sort sort;
    const char* caption;  // the window's caption, as its messages quote it
    double RunParameters::*field;
};

// Every value, in data-file order (valuetable()[k].value == Value(k)).
const std::array<ValueInfo, valuecount>& valuetable();
const ValueInfo& info(Value v);
std::optional<Value> valuenamed(std::string_view name);

// "cylinder", "cuboid", "point" and "cylinder", "cuboid", "sphere"; the words
// back to shapes (nullopt for any other word).
const char* word(SourceShape s);
const char* word(DetectorShape d);
std::optional<SourceShape> sourcenamed(std::string_view word);
std::optional<DetectorShape> detectornamed(std::string_view word);

// The table: true when a dataset of these shapes uses the value. c, the
// angles and the emission count are used by every pair; a point uses r1 and
// t1 only as the 0 it is held at (heldatzero).
bool uses(SourceShape s, DetectorShape d, Value v);
// A point source's r1 and t1: used, and always 0.
bool heldatzero(SourceShape s, Value v);
// A round source (or a point) over a cylinder or a sphere is placed by d
// alone: a3 := d, b3 := 0. Every other pair is placed by a3 and b3, d unused.
bool placedbyd(SourceShape s, DetectorShape d);
bool placedbyd(const GeometryFlags& flags);

// A dataset by named values: lengths in the user's unit, angles in degrees.
struct Dataset {
    SourceShape source = SourceShape::cylinder;
    DetectorShape detector = DetectorShape::cylinder;
    bool twopi = false;  // emissions from the front face only
    std::array<double, valuecount> values{};

    double& operator[](Value v) { return values[static_cast<std::size_t>(v)]; }
    double operator[](Value v) const { return values[static_cast<std::size_t>(v)]; }
    bool uses(Value v) const { return korvex::uses(source, detector, v); }
};

// The flags and parameters of the dataset: the shape flags, 2 pi or 4 pi,
// thicksrc (t1 > 0), discwindow and rectwindow (t2 = 0), rotated (an angle
// not exactly 0 once in radians); every value stored, the angles converted
// to radians (degtorad), a point's r1 and t1 held at 0, and a3 := d, b3 := 0
// where d places the source. dataerror is cleared; batchrun and showabout
// are left as they are. Nothing is checked: checkvalues does that.
void makerun(const Dataset& ds, GeometryFlags& flags, RunParameters& prm);

// The shapes the flags name (a consistent set, consistentkinds).
SourceShape sourceshape(const GeometryFlags& flags);
DetectorShape detectorshape(const GeometryFlags& flags);

// The dataset back from flags and parameters, the angles in degrees as the
// report echoes them (the shortest degrees that degtorad turns into the same
// radians). The flags need only be consistent.
Dataset datasetof(const GeometryFlags& flags, const RunParameters& prm);

// Why the values of a dataset cannot be run; the first reason found, in the
// order below.
enum class Refusal {
    none,
    inconsistentkinds,  // the flags name not exactly one source and one detector
    negative,           // a size or the emission count below 0
    toomanyemissions,   // above maxemissions (engine/run.h)
    lengthoutofrange,   // a used length neither 0 nor within the range of engine/lengths.h
    noemissions,        // an emission count of 0
};

struct ValueCheck {
    Refusal refusal = Refusal::none;
    Value value = Value::emissions;  // the value refused (negative, lengthoutofrange)
    double number = 0;               // and what it holds
};

// Checks the values the dataset's shapes use (an unused value is never
// looked at). A count between 0 and 1 passes (it runs one emission), and so
// do displacements and angles of either sign.
ValueCheck checkvalues(const GeometryFlags& flags, const RunParameters& prm);

}  // namespace korvex
