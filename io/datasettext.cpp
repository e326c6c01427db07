#include "io/datasettext.h"

#include "engine/kinds.h"
#include "engine/run.h"
#include "io/batch.h"
#include "io/numbers.h"
#include "io/runcommand.h"

namespace korvex {

namespace {

std::string value(const char* name, double v) { return std::string(name) + " = " + echoformat(v); }

bool pointlike(const RunParameters& p, const GeometryFlags& f) {
    return f.ptsrc || (f.cylsrc && !f.cubsrc && p.r1 == 0 && p.t1 == 0);
}

std::string sourcetext(const RunParameters& p, const GeometryFlags& f) {
    if (pointlike(p, f)) return "point";
    if (sourcekind(f) == SourceKind::cuboid) {
        if (p.t1 == 0)
            return (p.a1 == 0 || p.b1 == 0 ? "line " : "rectangle ") + value("a1", p.a1) + ", " +
                   value("b1", p.b1);
        return "cuboid " + value("a1", p.a1) + ", " + value("b1", p.b1) + ", " + value("t1", p.t1);
    }
    if (p.t1 == 0) return "disc " + value("r1", p.r1);
    return "cylinder " + value("r1", p.r1) + ", " + value("t1", p.t1);
}

std::string detectortext(const RunParameters& p, const GeometryFlags& f) {
    switch (detectorkind(f)) {
        case DetectorKind::cylinder:
            return "cylinder " + value("r2", p.r2) + ", " + value("t2", p.t2);
        case DetectorKind::discwindow: return "disc window " + value("r2", p.r2);
        case DetectorKind::cuboid:
            return "cuboid " + value("a2", p.a2) + ", " + value("b2", p.b2) + ", " +
                   value("t2", p.t2);
        case DetectorKind::rectwindow:
            return "rectangular window " + value("a2", p.a2) + ", " + value("b2", p.b2);
        case DetectorKind::sphere: return "sphere " + value("r2", p.r2);
    }
    return {};
}

const char* flag(bool on) { return on ? "true" : "false"; }

}  // namespace

std::string datasetsummary(const RunParameters& p, const GeometryFlags& f) {
    std::string s = sourcetext(p, f) + " over " + detectortext(p, f) + "; ";
    s += placedbyd(f) ? value("d", p.d) : value("a3", p.a3) + ", " + value("b3", p.b3);
    s += ", " + value("c", p.c);
    if (p.rotx != 0 || p.roty != 0 || p.rotz != 0)
        s += "; rot " + echoangle(p.rotx) + "/" + echoangle(p.roty) + "/" + echoangle(p.rotz);
    s += f.twopisrc ? "; 2 pi" : "; 4 pi";
    return s;
}

std::string datasetentry(const RunParameters& p, const GeometryFlags& f,
                         const std::string& heading) {
    const bool point = pointlike(p, f);
    const std::pair<std::string, std::string> values[] = {
        {flag(f.cylsrc), point ? "source is a cylinder or disc (r1 = t1 = 0: a point)"
                               : "source is a cylinder or disc"},
        {flag(f.cubsrc), "source is a cuboid, rectangle or line"},
        {flag(f.cyldet), "detector is a cylinder or disc window"},
        {flag(f.cubdet), "detector is a cuboid or rectangular window"},
        {flag(f.sphdet), "detector is a sphere"},
        {echoformat(p.a1), "source length a1"},
        {echoformat(p.b1), "source length b1"},
        {echoformat(p.r1), "source radius r1"},
        {echoformat(p.t1), "source thickness t1"},
        {echoformat(p.a2), "detector length a2"},
        {echoformat(p.b2), "detector length b2"},
        {echoformat(p.r2), "detector radius r2"},
        {echoformat(p.t2), "detector thickness t2"},
        {echoformat(p.a3), placedbyd(f) ? "displacement a3 (replaced by d)" : "displacement a3"},
        {echoformat(p.b3), placedbyd(f) ? "displacement b3 (set to 0)" : "displacement b3"},
        {echoformat(p.d), "axis separation d"},
        {echoformat(p.c), "height c of the source face above the detector's top face"},
        {echoangle(p.rotx), "rotation ccw about X, degrees"},
        {echoangle(p.roty), "rotation ccw about Y', degrees"},
        {echoangle(p.rotz), "rotation ccw about Z'', degrees"},
        {echoformat(p.emissions), "number of emissions"},
        {flag(f.twopisrc), "2 pi source: false means 4 pi"},
    };
    std::string out = "/ " + heading + "\r\n";
    int n = 0;
    for (const auto& [text, comment] : values) {
        ++n;
        std::string line = text;
        // The comments in one column, as in a hand-written data file.
        if (line.size() < 8) line.resize(8, ' ');
        line += (n < 10 ? "/  " : "/ ") + std::to_string(n) + " " + comment;
        out += line + "\r\n";
    }
    out += "*       / end of dataset\r\n";
    return out;
}

bool endsinsidedataset(const std::string& text) {
    std::string last;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string line = prepareline(text.substr(start, end - start));
        if (!line.empty()) last = line;
        start = end + 1;
    }
    return !last.empty() && last != "*";
}

bool readdatasets(const std::string& path, std::vector<FileDataset>& datasets, std::string& error) {
    DataFile file;
    if (!file.open(path)) {
        error = file.error();
        return false;
    }
    BatchState batch;
    batch.moredata = true;
    while (batch.moredata) {
        FileDataset d;
        // The head of a dataset, as the batch run does it.
        startdataset(d.flags, d.prm);
        batch.readerror.clear();
        readdataset(file, d.prm, d.flags, batch);
        if (file.failed()) {
            error = file.error();
            return false;
        }
        if (d.flags.dataerror) break;  // nothing but comments after the last dataset
        d.number = ++batch.datasetnumber;
        // Refused as korvex-batch refuses it, in its words.
        d.problem = datasetproblem(d.flags, d.prm, batch.readerror);
        datasets.push_back(d);
    }
    return true;
}

}  // namespace korvex
