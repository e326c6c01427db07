// The integral method for one dataset: the per-point values averaged over the
// source. The source is cut where the values jump or kink along one of its
// own axes (an unrotated source at the detector's planes, a coaxial plane
// disc at the mantle); where every value is analytic over each piece (each
// clear of every face plane, mantle and sphere), a Gauss product rule of
// rising order on every piece, its error the sum over the pieces of the
// difference of two orders; otherwise randomised quasi-Monte Carlo over the
// whole source. Each of R independent Owen-scrambled
// Sobol' point sets gives an unbiased estimate; their spread gives a Student-t
// 99.9% interval. The point sets double until the interval's half-width is at
// most the target times the solid angle. Points are evaluated in fixed chunks
// and summed in chunk order, so the answer is the same for any thread count.
#pragma once

#include <array>
#include <cstdint>

#include "engine/geometry.h"
#include "engine/integral/pointvalues.h"

namespace korvex {

// How a dataset is computed: by emissions (the default) or by the integral.
enum class Method { emissions, integral };

// The default and the smallest target relative error (99.9%).
inline constexpr double defaulttarget = 1e-6;
inline constexpr double smallesttarget = 1e-12;

// Independent randomisations, and Student's t for 99.9% with R - 1 degrees
// of freedom.
inline constexpr int randomisations = 10;
inline constexpr double studentt999 = 4.780912585;

class WorkerPause;

class IntegralHost {
public:
    virtual ~IntegralHost() = default;
    // While points are evaluated on several threads: the pause that holds
    // them at their next chunk (a host that asks the user whether to abort
    // holds them meanwhile, as in a run of emissions); null once they end.
    virtual void attachworkers(WorkerPause* /*pause*/) {}
    // After each refinement: the share of the way to the target (by the
    // logarithm of the error) and the solid angle so far.
    virtual void integralprogress(double share, double omega) = 0;
    // Asked every few milliseconds while points are evaluated.
    virtual bool pollabort() = 0;
};

struct IntegralOutcome {
    double omega = 0, omegaerror = 0;        // sr; 99.9% half-width
    double meanpath = 0, meanpatherror = 0;  // <I> / <omega>; 99.9% half-width
    std::array<double, facecount> faces{};   // mean face solid angles, sr
    bool sourceinside = false;               // from the geometry (sourcemeetsdetector)
    bool exact = false;                      // every source point is the same point
    bool aborted = false;                    // refinement stopped by the host
    std::uint64_t points = 0;                // source points evaluated, over all randomisations
    std::uint64_t perset = 0;                // points in each randomisation
    // A Gauss product rule of this many nodes per axis, its error the
    // difference from half as many (0: randomised quasi-Monte Carlo).
    int order = 0;
    double seconds = 0;  // wall time of the evaluation
};

// Whether the outcome holds an estimate with its error (a run stopped before
// its first estimate holds none).
inline bool estimated(const IntegralOutcome& o) { return o.exact || o.order > 0 || o.perset > 0; }

// Runs the integral method; flags.rotated is set as rundataset sets it. The
// caller has checked the dataset (checkdataset). A different stream gives
// independent randomisations (for tests of the interval's coverage).
IntegralOutcome runintegral(const RunParameters& prm, GeometryFlags& flags, double target,
                            IntegralHost& host, int threads = 1, std::uint64_t stream = 0);

// True when the source meets the detector where an emission run would warn
// that it is inside: a set of the source's own dimension (not merely a point
// or an edge touching from outside) lies within a solid detector, on its
// surface, or underneath a window. Judged from the geometry: the largest of
// the detector's convex constraints, minimised over the source by nested
// golden-section searches, is below zero by more than rounding.
bool sourcemeetsdetector(const RunParameters& prm, const GeometryFlags& flags);

// The i-th point of the three-dimensional Sobol' sequence, Owen-scrambled with
// the given seeds, in [0, 1)^3.
std::array<double, 3> scrambledsobol(std::uint32_t i, const std::array<std::uint32_t, 3>& seeds);

// The seeds of randomisation r (fixed, so that a run repeats).
std::array<std::uint32_t, 3> randomisationseeds(int r, std::uint64_t stream = 0);

// Emissions a run would need for a relative 99.9% error rel on a solid angle
// that is the share p of the full angle (binomial: (3.29 / rel)^2 (1 - p) / p).
double emissionsfor(double rel, double share);

}  // namespace korvex
