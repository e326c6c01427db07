#include <cstdint>

#include "engine/blockloop.h"
#include "engine/detectors.h"
#include "engine/emissionloop.h"
#include "engine/kinds.h"
#include "engine/sampler.h"
#include "engine/split.h"

namespace korvex {

namespace {

template <DetectorKind D>
inline void detect(Vec3 p, Vec3 q, const RunParameters& prm, RunTallies& t) {
    if constexpr (D == DetectorKind::cuboid) testcuboid(p, q, prm, t);
    if constexpr (D == DetectorKind::rectwindow) testrectwindow(p, q, prm, t);
    if constexpr (D == DetectorKind::discwindow) testdiscwindow(p, q, prm, t);
    if constexpr (D == DetectorKind::cylinder) testcylinder(p, q, prm, t);
    if constexpr (D == DetectorKind::sphere) testsphere(p, q, prm, t);
}

template <SourceKind S, DetectorKind D, bool fourpi, bool rotated>
bool loopof(RunParameters& prm, const Frame& frame, MTRandomState& gen, LoopHost& host,
            RunTallies& t) {
    if (prm.emissions == 0) return false;
    Checkpoints checkpoints(prm.emissions);
    ChunkedPath path;
    std::uint64_t inchunk = 0;
    bool aborted = false;
    // The count is compared after each emission: a fractional count rounds
    // up, and a count below 1 (even negative) still makes one emission.
    do {
        t.emitted += 1;
        const Emission e = sampleas<S, fourpi, rotated>(prm, frame, gen);
        detect<D>(e.p, e.q, prm, t);
        if (++inchunk == chunksize) {
            path.close(t);
            inchunk = 0;
        }
        if (checkpoints.pass(1, prm, host, t)) aborted = true;
    } while (t.emitted < prm.emissions);
    path.finish(t);
    return aborted;
}

template <SourceKind S, DetectorKind D>
bool loopwith(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
              MTRandomState& gen, LoopHost& host, RunTallies& t) {
    if (flags.fourpisrc) {
        return frame.rotated ? loopof<S, D, true, true>(prm, frame, gen, host, t)
                             : loopof<S, D, true, false>(prm, frame, gen, host, t);
    }
    return frame.rotated ? loopof<S, D, false, true>(prm, frame, gen, host, t)
                         : loopof<S, D, false, false>(prm, frame, gen, host, t);
}

template <SourceKind S>
bool loopfrom(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
              MTRandomState& gen, LoopHost& host, RunTallies& t) {
    switch (detectorkind(flags)) {
        case DetectorKind::cuboid:
            return loopwith<S, DetectorKind::cuboid>(prm, flags, frame, gen, host, t);
        case DetectorKind::rectwindow:
            return loopwith<S, DetectorKind::rectwindow>(prm, flags, frame, gen, host, t);
        case DetectorKind::discwindow:
            return loopwith<S, DetectorKind::discwindow>(prm, flags, frame, gen, host, t);
        case DetectorKind::cylinder:
            return loopwith<S, DetectorKind::cylinder>(prm, flags, frame, gen, host, t);
        case DetectorKind::sphere: break;
    }
    return loopwith<S, DetectorKind::sphere>(prm, flags, frame, gen, host, t);
}

}  // namespace

bool scalaremissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                        MTRandomState& gen, LoopHost& host, RunTallies& t) {
    switch (sourcekind(flags)) {
        case SourceKind::cuboid:
            return loopfrom<SourceKind::cuboid>(prm, flags, frame, gen, host, t);
        case SourceKind::point: return loopfrom<SourceKind::point>(prm, flags, frame, gen, host, t);
        case SourceKind::disc: break;
    }
    return loopfrom<SourceKind::disc>(prm, flags, frame, gen, host, t);
}

bool emissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                  MTRandomState& gen, LoopHost& host, RunTallies& t) {
    // Without vector registers wider than the baseline, the block loop (which
    // evaluates every branch of a test in every lane) is slower than the
    // plain loop, and gives the same tallies.
    const Isa isa = bestisa();
    if (isa == Isa::base) return scalaremissionloop(prm, flags, frame, gen, host, t);
    return blockemissionloop(prm, flags, frame, gen, host, t, isa);
}

}  // namespace korvex
