#include "io/timeleft.h"

#include <algorithm>
#include <cmath>

namespace korvex {

std::optional<double> secondsleft(double elapsed, double done) {
    if (!(done > 0) || !(elapsed >= 0.5)) return std::nullopt;
    if (done >= 1) return 0.0;
    return elapsed * (1 - done) / done;
}

std::string timelefttext(double seconds) {
    // Whole seconds, rounded up: "0 s left" would read as finished.
    const double s = std::max(1.0, std::ceil(seconds));
    if (s < 60) return "about " + std::to_string(long(s)) + " s left";
    if (s < 3600) {
        const long whole = long(s);
        return "about " + std::to_string(whole / 60) + " min " + std::to_string(whole % 60) +
               " s left";
    }
    if (s >= 3.6e9) return "more than a million hours left";
    const long m = long(std::round(s / 60));
    return "about " + std::to_string(m / 60) + " h " + std::to_string(m % 60) + " min left";
}

}  // namespace korvex
