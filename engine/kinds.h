// The source and detector kinds of one dataset, decided once from the flags
// so that the emission loop has no flag tests.
#pragma once

#include "engine/geometry.h"

namespace korvex {

// The order indexes the kernels' sample table (KernelSet, engine/isa.h).
enum class SourceKind { disc, cuboid, point };

// Exactly one applies to a consistent flag set. The order indexes the
// kernels' detect and tally tables (KernelSet, engine/isa.h, filled at the
// end of engine/kernels.inc): a kind added or moved here is added or moved
// there too.
enum class DetectorKind { cuboid, rectwindow, discwindow, cylinder, sphere };

// True when the flags name exactly one source kind and one detector kind,
// so that exactly one detector test runs per emission.
bool consistentkinds(const GeometryFlags& flags);

// Valid only for consistent flags.
SourceKind sourcekind(const GeometryFlags& flags);
DetectorKind detectorkind(const GeometryFlags& flags);

}  // namespace korvex
