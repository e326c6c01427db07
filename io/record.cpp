#include "io/record.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>

#include "engine/dataset.h"
#include "engine/estimate.h"
#include "engine/kinds.h"
#include "io/report.h"

namespace korvex {

namespace {

std::vector<std::string> makecolumns() {
    std::vector<std::string> c = {"schema",   "program",  "version", "date",      "method",
                                  "seed",     "dataset",  "threads", "processes", "source",
                                  "detector", "emission", "window"};
    for (const ValueInfo& i : valuetable()) c.emplace_back(i.name);
    for (const char* k : {"status",
                          "problem",
                          "emitted",
                          "hits",
                          "solidangle",
                          "solidanglesigma",
                          "solidangleerror",
                          "confidencefactor",
                          "relativeerror",
                          "hitpercent",
                          "sidehits",
                          "tophits",
                          "bottomhits",
                          "topfacehits",
                          "bottomfacehits",
                          "xplusfacehits",
                          "xminusfacehits",
                          "yplusfacehits",
                          "yminusfacehits",
                          "meanpath",
                          "meanpatherror",
                          "meanpathsigma",
                          "sourceinside",
                          "warnings",
                          "seconds",
                          "targeterror",
                          "rule",
                          "points",
                          "sideshare",
                          "topshare",
                          "bottomshare",
                          "topfaceshare",
                          "bottomfaceshare",
                          "xplusfaceshare",
                          "xminusfaceshare",
                          "yplusfaceshare",
                          "yminusfaceshare"})
        c.emplace_back(k);
    return c;
}

const char* statusword(RecordStatus s) {
    switch (s) {
        case RecordStatus::aborted: return "aborted";
        case RecordStatus::problem: return "problem";
        case RecordStatus::done: break;
    }
    return "done";
}

std::uint64_t whole(double count) { return static_cast<std::uint64_t>(count); }

bool windowdetector(DetectorKind kind) {
    return kind == DetectorKind::discwindow || kind == DetectorKind::rectwindow;
}

void addwarnings(Record& r, const GeometryFlags& flags, bool inside, double seconds) {
    r.push_back({"sourceinside", inside});
    std::vector<std::string> warnings;
    if (inside) warnings.push_back(sourcewarning(flags));
    r.push_back({"warnings", warnings});
    r.push_back({"seconds", seconds});
}

std::string shortest(double v) {
    char text[32];
    return {text, std::to_chars(text, text + sizeof text, v).ptr};
}

std::string csvfield(const RecordValue& value) {
    struct {
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(std::uint64_t n) const { return std::to_string(n); }
        std::string operator()(double d) const { return shortest(d); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const std::vector<std::string>& list) const {
            std::string s;
            for (const auto& item : list) s += (s.empty() ? "" : "; ") + item;
            return s;
        }
    } text;
    std::string s = std::visit(text, value);
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string quoted = "\"";
    for (const char ch : s) quoted += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    return quoted + "\"";
}

}  // namespace

Record emissionresults(const GeometryFlags& flags, const RunTallies& t) {
    Record r;
    const Estimate e = estimate(flags, t);
    const DetectorKind kind = detectorkind(flags);
    r.push_back({"emitted", whole(t.emitted)});
    r.push_back({"hits", whole(t.hits)});
    r.push_back({"solidangle", e.solidangle});
    r.push_back({"solidanglesigma", static_cast<double>(e.anglesigma)});
    r.push_back({"solidangleerror", static_cast<double>(e.angleerror)});
    r.push_back({"confidencefactor", static_cast<double>(confidence)});
    if (t.hits != 0) r.push_back({"relativeerror", static_cast<double>(e.relativeerror)});
    r.push_back({"hitpercent", static_cast<double>(e.hitpercent)});
    if (kind == DetectorKind::cylinder) {
        r.push_back({"sidehits", whole(t.sidehits)});
        r.push_back({"tophits", whole(t.tophits)});
        r.push_back({"bottomhits", whole(t.bottomhits)});
    }
    if (kind == DetectorKind::cuboid) {
        r.push_back({"topfacehits", whole(t.topfacehits)});
        r.push_back({"bottomfacehits", whole(t.bottomfacehits)});
        r.push_back({"xplusfacehits", whole(t.xplusfacehits)});
        r.push_back({"xminusfacehits", whole(t.xminusfacehits)});
        r.push_back({"yplusfacehits", whole(t.yplusfacehits)});
        r.push_back({"yminusfacehits", whole(t.yminusfacehits)});
    }
    // A window has no depth, and so no path through it.
    if (!windowdetector(kind)) {
        r.push_back({"meanpath", e.meanpath});
        if (t.hits > 0) r.push_back({"meanpatherror", static_cast<double>(e.meanpatherror)});
        if (t.hits > 1) r.push_back({"meanpathsigma", e.meanpathsigma});
    }
    addwarnings(r, flags, t.sourceinside, t.seconds);
    return r;
}

Record integralresults(const GeometryFlags& flags, const IntegralOutcome& out, double target) {
    Record r;
    const DetectorKind kind = detectorkind(flags);
    const double full = fullangle(flags);
    if (!estimated(out)) {
        // Stopped before a first estimate: no quantity to give.
        addwarnings(r, flags, out.sourceinside, out.seconds);
        r.push_back({"targeterror", target});
        return r;
    }
    r.push_back({"solidangle", out.omega});
    const bool randomised = !out.exact && out.order == 0;
    // Only the randomised rule's error is a multiple of a standard error
    // (Student's t over the randomisations); the product rule's is the
    // difference of two orders, a point source's is zero.
    if (randomised) r.push_back({"solidanglesigma", out.omegaerror / studentt999});
    r.push_back({"solidangleerror", out.omegaerror});
    if (randomised) r.push_back({"confidencefactor", studentt999});
    if (out.omega > 0) r.push_back({"relativeerror", 100 * out.omegaerror / out.omega});
    r.push_back({"hitpercent", 100 * out.omega / full});
    if (!windowdetector(kind) && out.omega > 0) {
        r.push_back({"meanpath", out.meanpath});
        r.push_back({"meanpatherror", out.meanpatherror});
    }
    addwarnings(r, flags, out.sourceinside, out.seconds);
    if (!out.exact) r.push_back({"targeterror", target});
    r.push_back({"rule", std::string(out.exact ? "exact" : randomised ? "qmc" : "gauss")});
    r.push_back({"points", out.points});
    // The expected crossings of each face per emission (withheld, as in the
    // report, when the source reaches inside).
    const auto share = [&](const char* key, int face) {
        r.push_back({key, out.faces[face] / full});
    };
    if (kind == DetectorKind::cylinder && !out.sourceinside) {
        share("sideshare", 0);
        share("topshare", 1);
        share("bottomshare", 2);
    }
    if (kind == DetectorKind::cuboid && !out.sourceinside) {
        share("topfaceshare", 0);
        share("bottomfaceshare", 1);
        share("xplusfaceshare", 2);
        share("xminusfaceshare", 3);
        share("yplusfaceshare", 4);
        share("yminusfaceshare", 5);
    }
    return r;
}

const std::vector<std::string>& recordcolumns() {
    static const std::vector<std::string> columns = makecolumns();
    return columns;
}

Record makerecord(const RecordContext& context, const RecordInput& in) {
    Record r;
    r.push_back({"schema", std::string(recordschema)});
    r.push_back({"program", context.program});
    r.push_back({"version", context.version});
    r.push_back({"date", context.date});
    r.push_back({"method", context.method});
    r.push_back({"seed", std::uint64_t{context.seed}});
    r.push_back({"dataset", static_cast<std::uint64_t>(context.dataset)});
    r.push_back({"threads", static_cast<std::uint64_t>(context.threads)});
    r.push_back({"processes", static_cast<std::uint64_t>(context.processes)});
    if (in.inputs && in.flags && in.prm && consistentkinds(*in.flags)) {
        const Dataset ds = datasetof(*in.flags, *in.prm);
        r.push_back({"source", std::string(word(ds.source))});
        r.push_back({"detector", std::string(word(ds.detector))});
        r.push_back({"emission", std::string(ds.twopi ? "2 pi" : "4 pi")});
        r.push_back({"window", in.flags->discwindow || in.flags->rectwindow});
        for (const ValueInfo& i : valuetable()) {
            if (!ds.uses(i.value)) continue;
            r.push_back({i.name, i.value == Value::emissions ? in.emissions : ds[i.value]});
        }
    }
    r.push_back({"status", std::string(statusword(in.status))});
    if (in.status == RecordStatus::problem) {
        r.push_back({"problem", in.problem});
    } else if (in.flags && (in.integral || in.tallies)) {
        const Record results = in.integral ? integralresults(*in.flags, *in.integral, in.target)
                                           : emissionresults(*in.flags, *in.tallies);
        r.insert(r.end(), results.begin(), results.end());
    }
    return r;
}

std::string recordtime() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32], zone[8];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(zone, sizeof zone, "%z", &local);  // "+0100"
    char millistext[8];
    std::snprintf(millistext, sizeof millistext, ".%03d", static_cast<int>(millis));
    const std::string z = zone;
    return std::string(stamp) + millistext + z.substr(0, 3) + ":" + z.substr(3);
}

std::string jsonline(const Record& record) {
    // The library writes every key, text and list (escaped, invalid UTF-8
    // replaced rather than thrown on). Its reals are not always the shortest
    // text that reads back (Grisu2 adds a digit in about one case of a
    // thousand): those are std::to_chars's, which is.
    const auto json = [](const auto& v) {
        return nlohmann::json(v).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    };
    std::string line = "{";
    for (const RecordItem& item : record) {
        if (line.size() > 1) line += ",";
        line += json(item.key) + ":";
        if (const double* d = std::get_if<double>(&item.value)) {
            line += std::isfinite(*d) ? shortest(*d) : "null";
        } else {
            std::visit([&](const auto& v) { line += json(v); }, item.value);
        }
    }
    return line + "}\n";
}

std::string csvheader() {
    std::string row;
    for (const std::string& c : recordcolumns()) row += (row.empty() ? "" : ",") + c;
    return row + "\r\n";
}

std::string csvrow(const Record& record) {
    std::string row;
    bool first = true;
    for (const std::string& c : recordcolumns()) {
        if (!first) row += ",";
        first = false;
        for (const RecordItem& item : record) {
            if (item.key == c) {
                row += csvfield(item.value);
                break;
            }
        }
    }
    return row + "\r\n";
}

}  // namespace korvex
