// The counts and sums of one dataset. Counts are doubles grown by 1.0.
#pragma once

#include <array>

namespace korvex {

struct RunTallies {
    double emitted = 0;
    double hits = 0;
    double pathsum = 0;
    double pathsq = 0;  // the sum of the squared path lengths, for their spread
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

// The path of one hit through the detector.
inline void addpath(RunTallies& t, double length) {
    t.pathsum += length;
    t.pathsq += length * length;
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
