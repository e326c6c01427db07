// The time a run has left, estimated from the share of its emissions done
// and the time they took, for the window's progress panel and
// korvex-batch's progress line.
#pragma once

#include <optional>
#include <string>

namespace korvex {

// Seconds left when done (0 to 1) of the work took elapsed seconds; empty
// while the estimate would be noise (under half a second or nothing done).
std::optional<double> secondsleft(double elapsed, double done);

// "about 7 s left", "about 2 min 5 s left", "about 3 h 20 min left".
std::string timelefttext(double seconds);

}  // namespace korvex
