#include "engine/sampler.h"

namespace korvex {

namespace {
template <SourceKind S>
Emission sampleof(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                  MTRandomState& gen) {
    if (flags.fourpisrc) {
        return frame.rotated ? sampleas<S, true, true>(prm, frame, gen)
                             : sampleas<S, true, false>(prm, frame, gen);
    }
    return frame.rotated ? sampleas<S, false, true>(prm, frame, gen)
                         : sampleas<S, false, false>(prm, frame, gen);
}
}  // namespace

Emission sampleemission(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                        MTRandomState& gen) {
    if (flags.cubsrc) return sampleof<SourceKind::cuboid>(prm, flags, frame, gen);
    if (flags.ptsrc) return sampleof<SourceKind::point>(prm, flags, frame, gen);
    return sampleof<SourceKind::disc>(prm, flags, frame, gen);
}

}  // namespace korvex
