// The counts and sums of one dataset. Counts are doubles grown by 1.0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvex {

struct RunTallies {
    double emitted = 0;
    double hits = 0;
    double pathsum = 0;
    double pathsq = 0;  // the sum of the squared path lengths, for their spread
    // The open chunk's squared path lengths, in four sums by the emission's
    // index mod 4 (folded into pathsq in a fixed order at the chunk's end,
    // split.h): each emission's square joins the same sum in the same order
    // however the emissions are blocked or split, and the block kernels add
    // four lanes at once without a chain of dependent additions.
    std::array<double, 4> pathsqlanes{};
    // cylinder walls
    double sidehits = 0, tophits = 0, bottomhits = 0;
    // cuboid faces
    double topfacehits = 0, bottomfacehits = 0;
    double xplusfacehits = 0, xminusfacehits = 0;
    double yplusfacehits = 0, yminusfacehits = 0;
    bool sourceinside = false;
    double meanpath = 0;  // pathsum / hits after the loop, 0 without hits
    double seconds = 0;   // wall time of the emission loop alone
};

// The path of one hit through the detector. emitted has counted the
// emission already, from the dataset's first (the loops count an emission
// before they test it).
inline void addpath(RunTallies& t, double length) {
    t.pathsum += length;
    const auto lane = static_cast<std::size_t>((static_cast<std::int64_t>(t.emitted) - 1) & 3);
    t.pathsqlanes[lane] += length * length;
}

// The open chunk's squared paths as one sum, the four lanes emptied.
inline double foldsquares(RunTallies& t) {
    const auto& l = t.pathsqlanes;
    const double sum = ((l[0] + l[1]) + l[2]) + l[3];
    t.pathsqlanes = {};
    return sum;
}

// The whole-number counts, in one fixed order, for code that adds or sends
// them all (the parts of a split run).
inline constexpr std::array<double RunTallies::*, 11> countfields = {
    &RunTallies::emitted,        &RunTallies::hits,           &RunTallies::sidehits,
    &RunTallies::tophits,        &RunTallies::bottomhits,     &RunTallies::topfacehits,
    &RunTallies::bottomfacehits, &RunTallies::xplusfacehits,  &RunTallies::xminusfacehits,
    &RunTallies::yplusfacehits,  &RunTallies::yminusfacehits,
};

}  // namespace korvex
