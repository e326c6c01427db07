#include "engine/kinds.h"

namespace korvex {

bool consistentkinds(const GeometryFlags& f) {
    const int sources = int(f.cylsrc) + int(f.cubsrc);
    const int detectors = int(f.cyldet) + int(f.cubdet) + int(f.sphdet);
    // A point source is a cylinder source of radius 0; a window belongs to its
    // own detector kind. A rectangular window flag beside a cylinder or sphere
    // would run two tests per emission and count it twice.
    return sources == 1 && detectors == 1 && (!f.ptsrc || f.cylsrc) &&
           (!f.discwindow || f.cyldet) && (!f.rectwindow || f.cubdet);
}

SourceKind sourcekind(const GeometryFlags& f) {
    if (f.cubsrc) return SourceKind::cuboid;
    return f.ptsrc ? SourceKind::point : SourceKind::disc;
}

DetectorKind detectorkind(const GeometryFlags& f) {
    if (f.cubdet) return f.rectwindow ? DetectorKind::rectwindow : DetectorKind::cuboid;
    if (f.cyldet) return f.discwindow ? DetectorKind::discwindow : DetectorKind::cylinder;
    return DetectorKind::sphere;
}

}  // namespace korvex
