// korvex._korvex: the C++ side of the Python module, kept to this one file.
// A dataset arrives as kind words and the field texts the window would hold;
// the screen reader checks and converts them (refusals become ValueError with
// the reader's own message), and rundataset runs it on a generator stream
// that lives across calls, so that datasets run one after another draw from
// one stream as in a batch run; or runintegral computes it by the integral
// method, drawing nothing from the stream. Both run without the GIL; their
// poll hears Ctrl-C (and any other Python signal handler that raises) and
// stops at the next poll with the results so far.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/integral/average.h"
#include "engine/kinds.h"
#include "engine/mtjump.h"
#include "engine/mtrandom.h"
#include "engine/run.h"
#include "engine/split.h"
#include "io/batch.h"
#include "io/integralreport.h"
#include "io/numbers.h"
#include "io/record.h"
#include "io/report.h"
#include "io/runcommand.h"
#include "io/screeninput.h"

namespace py = pybind11;

namespace korvex {
namespace {

// The reader's fields by the Python side's names (the data file's names).
const std::map<std::string, Field> fieldnames = {
    {"r1", Field::r1},
    {"a1", Field::a1},
    {"b1", Field::b1},
    {"t1", Field::t1},
    {"r2", Field::r2},
    {"a2", Field::a2},
    {"b2", Field::b2},
    {"t2", Field::t2},
    {"d", Field::d},
    {"a3", Field::a3},
    {"b3", Field::b3},
    {"c", Field::c},
    {"emissions", Field::emissions},
    {"rotz", Field::rotz},
    {"roty", Field::roty},
    {"rotx", Field::rotx},
};

class TextFields : public FieldSource {
public:
    explicit TextFields(std::map<std::string, std::string> texts) : texts_(std::move(texts)) {}
    // The names of the fields read, in the reader's order: the values the
    // dataset's shapes use.
    mutable std::vector<std::string> asked;
    std::string text(Field f) const override {
        for (const auto& [name, field] : fieldnames) {
            if (field != f) continue;
            asked.push_back(name);
            const auto it = texts_.find(name);
            return it == texts_.end() ? std::string() : it->second;
        }
        return {};
    }
    std::string caption(Field f) const override { return fieldcaption(f); }

private:
    std::map<std::string, std::string> texts_;
};

// Messages refuse the dataset; questions (a thick or point source as 2 pi)
// are answered Yes, as in a batch run, and handed back as warnings.
class Collector : public Prompter {
public:
    std::optional<std::string> refusal;
    std::vector<std::string> questions;
    void message(MessageKind, const std::string& text) override {
        if (!refusal) refusal = text;
    }
    bool confirm(ConfirmKind, const std::string& text) override {
        questions.push_back(text);
        return true;
    }
};

GeometryFlags kindflags(const std::string& source, const std::string& detector, bool twopi) {
    GeometryFlags f;
    f.cylsrc = source == "cylinder" || source == "point";
    f.cubsrc = source == "cuboid";
    f.ptsrc = source == "point";
    if (!f.cylsrc && !f.cubsrc)
        throw py::value_error("source must be 'cylinder', 'cuboid' or 'point', not '" + source +
                              "'");
    f.cyldet = detector == "cylinder";
    f.cubdet = detector == "cuboid";
    f.sphdet = detector == "sphere";
    if (!f.cyldet && !f.cubdet && !f.sphdet)
        throw py::value_error("detector must be 'cylinder', 'cuboid' or 'sphere', not '" +
                              detector + "'");
    f.twopisrc = twopi;
    f.fourpisrc = !twopi;
    return f;
}

// A dataset read and checked as the screen reads it: the flags and
// parameters, and the questions answered on the way. ValueError on a refusal.
struct Checked {
    GeometryFlags flags;
    RunParameters prm;
    std::vector<std::string> questions;
    std::vector<std::string> used;  // the fields the reader read
};

// counted: whether the emission count is checked (the integral method makes
// no emissions).
Checked check(const std::string& source, const std::string& detector, bool twopi,
              const std::map<std::string, std::string>& texts, bool counted = true) {
    Checked c;
    c.flags = kindflags(source, detector, twopi);
    startdataset(c.flags, c.prm);
    Collector prompter;
    const TextFields fields(texts);
    getscreeninput(fields, prompter, c.flags, c.prm);
    c.used = fields.asked;
    if (c.flags.dataerror) throw py::value_error(prompter.refusal.value_or("invalid dataset"));
    // A count the run cannot reach is refused with the screen's words.
    if (counted && checkdataset(c.flags, c.prm) != DatasetProblem::none)
        throw py::value_error("Invalid value for number of emissions");
    c.questions = prompter.questions;
    return c;
}

// One generator stream: a seed and how many outputs have been drawn from it.
struct Stream {
    Stream(std::uint32_t s, std::uint64_t position) : seed(s), drawn(position) {
        if (s == 0 || s == 4294967295u)
            throw py::value_error("seed must be a whole number from 1 to 4294967294");
        state = mtcreate(s);
        if (position > 0) mtjump(*state, position);
    }
    std::uint32_t seed;
    std::uint64_t drawn;
    std::unique_ptr<MTRandomState> state;
};

using Clock = std::chrono::steady_clock;

// The loop's host: progress to a Python callable and the poll for signals,
// each at most every few hundredths of a second, with the GIL taken only then.
class Host : public LoopHost {
public:
    explicit Host(py::object progress) : progress_(std::move(progress)) {}

    void progressstep(const RunTallies& sofar) override {
        if (progress_.is_none() || pending_ || Clock::now() < nextprogress_) return;
        nextprogress_ = Clock::now() + std::chrono::milliseconds(100);
        py::gil_scoped_acquire gil;
        try {
            progress_(sofar.emitted, sofar.hits);
        } catch (py::error_already_set& e) {
            pending_ = e.value();
        }
    }

    // The integral method's progress: the share of the way to its target.
    void share(double done) {
        if (progress_.is_none() || pending_) return;
        py::gil_scoped_acquire gil;
        try {
            progress_(done, 1.0);
        } catch (py::error_already_set& e) {
            pending_ = e.value();
        }
    }

    bool pollabort() override {
        if (pending_) return true;
        if (Clock::now() < nextpoll_) return false;
        nextpoll_ = Clock::now() + std::chrono::milliseconds(20);
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) {
            py::error_already_set e;
            pending_ = e.value();
        }
        return static_cast<bool>(pending_);
    }

    // The exception that stopped the loop (KeyboardInterrupt, or one raised
    // by the progress callable), or None.
    py::object pending() const { return pending_ ? pending_ : py::none(); }

private:
    py::object progress_;
    py::object pending_;
    Clock::time_point nextprogress_{};
    Clock::time_point nextpoll_{};
};

// A record's results as a dict by the record's names (the fields that
// apply only), the same quantities korvex-batch's records hold.
py::dict asdict(const Record& record) {
    py::dict d;
    for (const RecordItem& item : record) {
        std::visit([&](const auto& v) { d[py::str(item.key)] = v; }, item.value);
    }
    return d;
}

// The integral method's host: progress (the share of the way to the target)
// to a Python callable and the poll for signals, with the GIL taken only then.
class IntegralProgress : public IntegralHost {
public:
    explicit IntegralProgress(Host& host) : host_(host) {}
    void integralprogress(double share, double) override { host_.share(share); }
    bool pollabort() override { return host_.pollabort(); }

private:
    Host& host_;
};

py::dict rundata(Stream& stream, const std::string& source, const std::string& detector, bool twopi,
                 const std::map<std::string, std::string>& texts, int threads, py::object progress,
                 const std::string& method, double target) {
    const bool integral = method == "integral";
    if (!integral && method != "emissions")
        throw py::value_error("method must be 'emissions' or 'integral', not '" + method + "'");
    if (integral && !(target >= smallesttarget && target <= 0.1))
        throw py::value_error("error must be from 1E-12 to 0.1");
    Checked c = check(source, detector, twopi, texts, !integral);
    if (threads < 1) threads = allcores();
    Host host(std::move(progress));
    const double asked = c.prm.emissions;
    const std::uint64_t position = stream.drawn;
    Report report;
    py::dict r;
    bool aborted = false;
    if (integral) {
        // No emissions: the stream is left where it is.
        IntegralProgress sharehost(host);
        IntegralOutcome outcome;
        {
            py::gil_scoped_release nogil;
            outcome = runintegral(c.prm, c.flags, target, sharehost, threads);
        }
        aborted = outcome.aborted;
        const ReportContext ctx{aborted, 0, timeformat(outcome.seconds)};
        makeintegralreport(report, c.prm, c.flags, outcome, target, ctx);
        r["results"] = asdict(integralresults(c.flags, outcome, target));
        r["threads"] = threads;
    } else {
        DatasetOutcome outcome;
        {
            py::gil_scoped_release nogil;
            outcome = rundataset(c.prm, c.flags, *stream.state, host, threads);
        }
        const RunTallies& t = outcome.tallies;
        const auto draws = static_cast<std::uint64_t>(drawsper(c.prm, c.flags));
        stream.drawn += static_cast<std::uint64_t>(t.emitted) * draws;
        aborted = outcome.aborted;
        const ReportContext ctx{aborted, 0, timeformat(t.seconds)};
        makereport(report, c.prm, c.flags, t, ctx);
        r["results"] = asdict(emissionresults(c.flags, t));
        r["threads"] = threadsfor(emissioncount(asked), threads);
    }
    r["used"] = c.used;
    r["window"] = c.flags.discwindow || c.flags.rectwindow;
    r["emissions"] = asked;
    r["aborted"] = aborted;
    r["seed"] = stream.seed;
    r["position"] = position;
    r["report"] = report.lastresults;
    r["stopped_by"] = host.pending();
    return r;
}

// The datasets of a data file as the batch run reads them: kind words and
// values (angles in degrees, as the report echoes them). A dataset the batch
// run would answer with a problem entry is a ValueError here.
py::list readdatafile(const std::string& path) {
    DataFile file;
    if (!file.open(path)) throw py::value_error(file.error());
    py::list out;
    BatchState batch;
    batch.moredata = true;
    GeometryFlags flags;
    while (batch.moredata) {
        RunParameters prm;
        startdataset(flags, prm);
        batch.readerror.clear();
        readdataset(file, prm, flags, batch);
        if (file.failed()) throw py::value_error(file.error());
        if (flags.dataerror) break;
        ++batch.datasetnumber;
        // Refused as korvex-batch refuses it, in its words.
        const std::string reason = datasetproblem(flags, prm, batch.readerror);
        if (!reason.empty())
            throw py::value_error(path + ": Problem in dataset " +
                                  std::to_string(batch.datasetnumber) + ": " + reason);
        py::dict d;
        d["source"] = flags.cubsrc ? "cuboid" : "cylinder";
        d["detector"] = flags.cubdet ? "cuboid" : flags.sphdet ? "sphere" : "cylinder";
        d["twopi"] = flags.twopisrc;
        const std::pair<const char*, double> values[] = {
            {"a1", prm.a1}, {"b1", prm.b1}, {"r1", prm.r1}, {"t1", prm.t1},
            {"a2", prm.a2}, {"b2", prm.b2}, {"r2", prm.r2}, {"t2", prm.t2},
            {"a3", prm.a3}, {"b3", prm.b3}, {"d", prm.d},   {"c", prm.c},
        };
        for (const auto& [name, value] : values) d[name] = value;
        // The shortest degrees that convert back to the very same radians.
        d["rotx"] = echoangle(prm.rotx);
        d["roty"] = echoangle(prm.roty);
        d["rotz"] = echoangle(prm.rotz);
        d["emissions"] = prm.emissions;
        out.append(d);
    }
    return out;
}

}  // namespace
}  // namespace korvex

PYBIND11_MODULE(_korvex, m) {
    using namespace korvex;
    m.doc() = "The engine and the readers of Korvex; use the korvex package instead.";
    m.attr("version") = KORVEX_VERSION;
    py::class_<Stream>(m, "Stream")
        .def(py::init<std::uint32_t, std::uint64_t>(), py::arg("seed"), py::arg("position") = 0)
        .def_readonly("seed", &Stream::seed)
        .def_readonly("position", &Stream::drawn);
    m.def(
        "check",
        [](const std::string& source, const std::string& detector, bool twopi,
           const std::map<std::string, std::string>& texts, bool counted) {
            const Checked c = check(source, detector, twopi, texts, counted);
            return std::make_pair(c.questions, c.used);
        },
        "Checks a dataset as the screen does; ValueError names what is refused.", py::arg("source"),
        py::arg("detector"), py::arg("twopi"), py::arg("texts"), py::arg("counted") = true);
    m.def("run", &rundata, py::arg("stream"), py::arg("source"), py::arg("detector"),
          py::arg("twopi"), py::arg("texts"), py::arg("threads"), py::arg("progress"),
          py::arg("method") = "emissions", py::arg("target") = defaulttarget);
    m.def("read_datafile", &readdatafile, py::arg("path"));
    m.def("allcores", &allcores);
    m.def("runseed", [] { return runseed(); });
}
