// The report of a dataset computed by the integral method: the same 19 lines
// as an emission run's wherever they mean the same thing (inputs, warnings,
// mean path, solid angle, relative error, time); the emission and hit counts,
// which this method does not have, become a line naming the method and the
// expected shares per emission, and the solid angle, the mean path and their
// errors carry as many decimals as the error's first two significant figures
// need. A last note gives the emissions an emission run would need for the
// same error.
#pragma once

#include "engine/integral/average.h"
#include "io/report.h"

namespace korvex {

void makeintegralreport(Report& report, const RunParameters& prm, const GeometryFlags& flags,
                        const IntegralOutcome& out, double target, const ReportContext& ctx);

// A value and its error in fixed notation, to the decimal of the error's
// second significant figure (at least 7 decimals); an error of 0 leaves the
// value at 16 significant digits.
struct ValueText {
    std::string value, error;
};
ValueText witherror(double value, double error);

}  // namespace korvex
