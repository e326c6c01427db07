#include "io/report.h"

#include <string>

#include "engine/dataset.h"
#include "engine/kinds.h"
#include "io/numbers.h"

namespace korvex {

namespace {

bool iswindow(DetectorKind kind) {
    return kind == DetectorKind::discwindow || kind == DetectorKind::rectwindow;
}

const std::string crlf = "\r\n";

std::string sourceline(const RunParameters& prm, const GeometryFlags& f) {
    if (f.ptsrc) return "Point source";
    std::string line;
    if (f.cylsrc) {
        line = "Circular face source, r1 = " + echoformat(prm.r1);
    } else if (f.cubsrc) {
        line =
            "Rectangular face source, a1 = " + echoformat(prm.a1) + ", b1 = " + echoformat(prm.b1);
    }
    return line + crlf + "Source thickness, t1 = " + echoformat(prm.t1);
}

std::string detectorline(const RunParameters& prm, DetectorKind kind) {
    switch (kind) {
        case DetectorKind::discwindow:
            return "Plane disc detector, radius r2 = " + echoformat(prm.r2);
        case DetectorKind::rectwindow:
            return "Plane rectangular detector, length a2 = " + echoformat(prm.a2) +
                   ", length b2 = " + echoformat(prm.b2);
        case DetectorKind::cylinder:
            return "Cylindrical detector, radius r2 = " + echoformat(prm.r2);
        case DetectorKind::cuboid:
            return "Cuboid detector, length a2 = " + echoformat(prm.a2) +
                   ", length b2 = " + echoformat(prm.b2);
        case DetectorKind::sphere: return "Spherical detector, r2 = " + echoformat(prm.r2);
    }
    return {};
}

std::string warningof(DetectorKind kind) {
    if (iswindow(kind))
        return "WARNING. Part or all the source is directly underneath the detector window.";
    return "WARNING. Part or all of the source is on or within the detector volume.";
}

std::string headingline(const RunTallies& t, DetectorKind kind, bool aborted) {
    if (t.sourceinside) {
        // The cuboid's warning has no line break after it.
        return crlf + warningof(kind) + (kind == DetectorKind::cuboid ? "" : crlf);
    }
    return aborted ? crlf + "Results up to time when simulation aborted:" : crlf + "Results:";
}

std::string hitsline(const RunTallies& t, DetectorKind kind, const std::string& kindword) {
    const std::string hits = echoformat(t.hits);
    switch (kind) {
        case DetectorKind::discwindow:
        case DetectorKind::rectwindow:
            return "Number of emissions passing through detector " + kindword + " = " + hits;
        case DetectorKind::sphere:
            return "Number of emissions passing through spherical detector = " + hits;
        case DetectorKind::cuboid:
            return "Number of emissions passing through cuboid detector = " + hits;
        case DetectorKind::cylinder:
            return "Number of emissions passing through cylinder = " + hits;
    }
    return {};
}

std::string meanpathline(const RunTallies& t, DetectorKind kind, long double meanpatherror) {
    const char* name = kind == DetectorKind::sphere   ? "sphere"
                       : kind == DetectorKind::cuboid ? "cuboid"
                                                      : "cylinder";
    if (t.hits > 0) {
        return std::string("Mean path length through ") + name + " = " + fixed7(t.meanpath) +
               " +/- " + fixed7(meanpatherror);
    }
    if (kind == DetectorKind::cylinder) return "Mean path through cylinder length = 0";
    return std::string("Mean path through ") + name + " = 0";
}

}  // namespace

void makereport(Report& report, const RunParameters& prm, const GeometryFlags& f,
                const RunTallies& t, const ReportContext& ctx) {
    auto& line = report.printlines;
    for (auto& l : line) l.clear();

    const DetectorKind kind = detectorkind(f);
    const std::string kindword = iswindow(kind) ? "window" : "volume";

    line[0] = f.batchrun
                  ? "Input data from file, dataset " + std::to_string(ctx.datasetnumber) + ":"
                  : "Input data from screen";
    line[1] = sourceline(prm, f);
    line[2] = f.twopisrc ? "2 pi source" : "4 pi source";
    line[3] = detectorline(prm, kind);
    if (kind == DetectorKind::cylinder) line[4] = "Cylinder thickness t2 = " + echoformat(prm.t2);
    if (kind == DetectorKind::cuboid) line[4] = "Thickness of detector t2 = " + echoformat(prm.t2);
    if (placedbyd(f)) {
        line[5] = "Axis separation, d = " + echoformat(prm.d);
    } else {
        line[5] = "Axis separation, a3 = " + echoformat(prm.a3) + ", b3 = " + echoformat(prm.b3);
    }
    line[6] = "Source-detector vertical separation, c = " + echoformat(prm.c);
    if (f.rotated) {
        line[7] = "Rotation angles (degrees):" + crlf +
                  " ccw around original source x axis = " + echoangle(prm.rotx) + crlf +
                  " ccw around intermediate y axis = " + echoangle(prm.roty) + crlf +
                  " ccw around final z axis = " + echoangle(prm.rotz);
    } else if (!f.ptsrc) {
        line[7] = "Source not rotated";
    }

    const Estimate e = estimate(f, t);
    line[8] = headingline(t, kind, ctx.aborted);
    const std::string emittedtext = echoformat(t.emitted) + " (" + expformat(t.emitted) + ")";
    line[9] = f.twopisrc ? "Emissions from source front face = " + emittedtext
                         : "Emissions from source = " + emittedtext;
    line[10] = hitsline(t, kind, kindword);
    const std::string percent = percentformat(e.hitpercent);
    if (f.twopisrc) {
        line[11] = "[4 pi emissions from source, if source isotropic, = " + grouped(2 * t.emitted) +
                   "]" + crlf + "% of front face emissions passing through detector " + kindword +
                   " = " + percent;
    } else {
        line[11] = "% of 4 pi emissions passing through detector " + kindword + " = " + percent;
    }

    if (kind == DetectorKind::cuboid && !t.sourceinside) {
        line[12] = " Hits on the top face:  " + echoformat(t.topfacehits) + crlf +
                   " Hits on the bottom face:  " + echoformat(t.bottomfacehits);
        line[13] = " Hits on the face in the Xd = +" + echoformat(prm.a2 / 2) +
                   " plane: " + echoformat(t.xplusfacehits) + crlf +
                   " Hits on the face in the Xd = " + echoformat(-prm.a2 / 2) +
                   " plane: " + echoformat(t.xminusfacehits);
        line[14] = " Hits on the face in the Yd = +" + echoformat(prm.b2 / 2) +
                   " plane: " + echoformat(t.yplusfacehits) + crlf +
                   " Hits on the face in the Yd = " + echoformat(-prm.b2 / 2) +
                   " plane: " + echoformat(t.yminusfacehits);
    }
    if (kind == DetectorKind::cylinder) {
        if (t.sourceinside) {
            line[12] = "Invalid geometry. Wall hits not given";
        } else {
            line[12] = "Number of hits on cylinder walls (including ends) = " +
                       echoformat(t.sidehits + t.tophits + t.bottomhits);
            line[13] = "This was made up of: " + crlf + echoformat(t.sidehits) +
                       " hits on the cylinder sides,";
            line[14] = echoformat(t.tophits) + " hits on top end of cylinder, and " + crlf +
                       echoformat(t.bottomhits) + " hits on the bottom end.";
        }
    }
    if (!iswindow(kind)) line[15] = meanpathline(t, kind, e.meanpatherror);

    line[16] = crlf + "Average solid angle = " + fixed7(e.solidangle) + " +/- " +
               fixed7(e.angleerror) + " steradians";
    line[17] = t.hits != 0 ? "[Estimated error at 99.9% confidence interval = " +
                                 relativeformat(e.relativeerror) + "%]"
                           : "[No emissions hit the detector. Unable to estimate error]";
    line[18] = crlf + "Processing time = " + ctx.processingtime + " s";

    report.lastresults = joinlines(report.printlines);
}

std::string sourcewarning(const GeometryFlags& flags) { return warningof(detectorkind(flags)); }

std::string joinlines(const PrintLines& lines) {
    std::string text;
    for (const auto& l : lines) {
        text += l;
        if (!l.empty()) text += crlf;
    }
    return text + crlf;
}

}  // namespace korvex
