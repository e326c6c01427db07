#include "io/integralreport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "engine/kinds.h"
#include "io/numbers.h"

namespace korvex {

namespace {

const std::string crlf = "\r\n";

std::string fixedn(double value, int decimals) {
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);
    return text;
}

// Decimals that show the error's first two significant figures.
int decimalsfor(double error) {
    if (!(error > 0)) return 7;
    const int lead = static_cast<int>(std::floor(std::log10(error)));
    return std::clamp(1 - lead, 7, 30);
}

std::string detectorname(DetectorKind kind) {
    switch (kind) {
        case DetectorKind::discwindow:
        case DetectorKind::rectwindow: return "detector window";
        case DetectorKind::sphere: return "spherical detector";
        case DetectorKind::cuboid: return "cuboid detector";
        case DetectorKind::cylinder: return "cylinder";
    }
    return {};
}

}  // namespace

ValueText witherror(double value, double error) {
    if (!(error > 0)) {
        // Exact to rounding: the value to 16 significant digits, fixed.
        const int lead = value != 0 ? static_cast<int>(std::floor(std::log10(std::abs(value)))) : 0;
        return {fixedn(value, std::clamp(15 - lead, 7, 30)), "0"};
    }
    const int decimals = decimalsfor(error);
    return {fixedn(value, decimals), fixedn(error, decimals)};
}

void makeintegralreport(Report& report, const RunParameters& prm, const GeometryFlags& flags,
                        const IntegralOutcome& out, double target, const ReportContext& ctx) {
    // The input lines and the heading (warning or abort) as an emission run
    // writes them.
    RunTallies t;
    t.sourceinside = out.sourceinside;
    makereport(report, prm, flags, t, ctx);
    auto& line = report.printlines;

    const DetectorKind kind = detectorkind(flags);
    const bool window = kind == DetectorKind::discwindow || kind == DetectorKind::rectwindow;
    const std::string kindword = window ? "window" : "volume";
    const double full = fullangle(flags);
    const double share = out.omega / full;
    const double shareerror = out.omegaerror / full;
    const double rel = out.omega > 0 ? out.omegaerror / out.omega : 0;

    // Stopped before a first estimate with its error (during the first
    // point sets or the first two orders): nothing to report but that.
    if (!estimated(out)) {
        line[9] = "Method: integral over the source to a relative error of " +
                  generalformat(target, 3, 0) + ":" + crlf +
                  "stopped before a first estimate and its error were computed;" + crlf +
                  "the number of emissions is not used";
        for (int i = 10; i <= 15; ++i) line[i].clear();
        line[16] = crlf + "Average solid angle: not computed";
        line[17].clear();
        report.lastresults = joinlines(report.printlines);
        return;
    }
    if (out.exact) {
        line[9] = "Method: integral, exact to rounding for a point source (one source point);" +
                  crlf + "the number of emissions is not used";
    } else if (out.order > 0) {
        line[9] = "Method: integral over the source to a relative error of " +
                  generalformat(target, 3, 0) + ":" + crlf + "Gauss product rule of " +
                  plainformat(out.order) + " nodes per axis, error from " +
                  plainformat(out.order / 2) + " nodes, " +
                  plainformat(static_cast<double>(out.points)) + " source points;" + crlf +
                  "the number of emissions is not used";
    } else {
        line[9] = "Method: integral over the source to a relative error of " +
                  generalformat(target, 3, 0) + " (99.9%):" + crlf + plainformat(randomisations) +
                  " randomisations of " + plainformat(static_cast<double>(out.perset)) +
                  " scrambled Sobol' points, " + plainformat(static_cast<double>(out.points)) +
                  " source points;" + crlf + "the number of emissions is not used";
    }
    if (!out.exact) {
        if (ctx.aborted) {
            line[9] += crlf + "(stopped before the target error was reached)";
        } else if (rel > target) {
            line[9] += crlf + "(the target error was not reached)";
        }
    }
    const ValueText sharetext = witherror(share, shareerror);
    line[10] = "Expected share of emissions passing through " + detectorname(kind) + " = " +
               sharetext.value;
    const std::string percent = witherror(100 * share, 100 * shareerror).value;
    line[11] = (flags.twopisrc ? "% of front face emissions passing through detector "
                               : "% of 4 pi emissions passing through detector ") +
               kindword + " = " + percent;

    const int decimals = out.exact ? 16 : decimalsfor(shareerror);
    auto faceshare = [&](int f) { return fixedn(out.faces[f] / full, decimals); };
    line[12].clear();
    line[13].clear();
    line[14].clear();
    if (kind == DetectorKind::cuboid && !out.sourceinside) {
        line[12] = " Expected hits per emission on the top face:  " + faceshare(0) + crlf +
                   " Expected hits per emission on the bottom face:  " + faceshare(1);
        line[13] =
            " Expected hits per emission on the face in the Xd = +" + echoformat(prm.a2 / 2) +
            " plane: " + faceshare(2) + crlf +
            " Expected hits per emission on the face in the Xd = " + echoformat(-prm.a2 / 2) +
            " plane: " + faceshare(3);
        line[14] =
            " Expected hits per emission on the face in the Yd = +" + echoformat(prm.b2 / 2) +
            " plane: " + faceshare(4) + crlf +
            " Expected hits per emission on the face in the Yd = " + echoformat(-prm.b2 / 2) +
            " plane: " + faceshare(5);
    }
    if (kind == DetectorKind::cylinder) {
        if (out.sourceinside) {
            line[12] = "Invalid geometry. Wall hits not given";
        } else {
            const double all = out.faces[0] + out.faces[1] + out.faces[2];
            line[12] = "Expected hits per emission on cylinder walls (including ends) = " +
                       fixedn(all / full, decimals);
            line[13] = "This was made up of: " + crlf + faceshare(0) + " on the cylinder sides,";
            line[14] = faceshare(1) + " on top end of cylinder, and " + crlf + faceshare(2) +
                       " on the bottom end.";
        }
    }
    if (!window) {
        const char* name = kind == DetectorKind::sphere   ? "sphere"
                           : kind == DetectorKind::cuboid ? "cuboid"
                                                          : "cylinder";
        if (out.omega > 0) {
            const ValueText path = witherror(out.meanpath, out.meanpatherror);
            line[15] = std::string("Mean path length through ") + name + " = " + path.value +
                       " +/- " + path.error;
        } else {
            line[15] = kind == DetectorKind::cylinder
                           ? "Mean path through cylinder length = 0"
                           : std::string("Mean path through ") + name + " = 0";
        }
    }
    const ValueText angle = witherror(out.omega, out.omegaerror);
    line[16] =
        crlf + "Average solid angle = " + angle.value + " +/- " + angle.error + " steradians";
    if (out.exact) {
        line[17] = "[Exact to rounding: a point source needs no average]";
    } else if (out.omega > 0) {
        line[17] = "[Estimated error at 99.9% confidence interval = " +
                   relativeformat(100 * static_cast<long double>(rel)) + "%]";
        if (rel > 0) {
            line[17] += crlf + "[An emission run would need about " +
                        generalformat(emissionsfor(rel, share), 2, 0) +
                        " emissions for this error]";
        }
    } else {
        line[17] = "[No direction from the source reaches the detector]";
    }
    report.lastresults = joinlines(report.printlines);
}

}  // namespace korvex
