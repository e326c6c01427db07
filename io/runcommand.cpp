#include "io/runcommand.h"

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <type_traits>

#include "io/batch.h"
#include "io/integralreport.h"
#include "io/numbers.h"
#include "io/resultsfile.h"

namespace korvex {

namespace {

// All 16 digits: plainformat would round the count to 15.
std::string maxemissionstext() { return std::to_string(static_cast<std::uint64_t>(maxemissions)); }

// The batch run's opening question: what is checked before each dataset
// runs (checkproblem below) and what is not.
std::string openingprompt() {
    return "You will now be asked for the name of the input data file\r"
           "and the file name of the file for saving the results.\r\r"
           "Note - Each dataset is checked before it runs: values 1 to 5 must name one source\r"
           "and one detector, no size or emission count may be negative, each length must be\r"
           "0 or of size " +
           generalformat(shortestlength, 1, 0) + " to " + generalformat(longestlength, 1, 0) +
           ", and the number of emissions neither 0 nor above " + maxemissionstext() +
           ".\rA dataset that fails is not run: its entry in the results file says why.\r"
           "Not checked: the signs of displacements and angles, and conflicts between values\r"
           "(a source on, in or underneath the detector is only warned of in its report).\r"
           "It is recommended you make a test run with a low emission number first.\r"
           "OK?";
}

std::string toomanytext() { return "the number of emissions is above " + maxemissionstext(); }

// One run command: the datasets of a batch run or the one of a screen run.
class Command {
public:
    Command(RunState& state, RunHost& host, bool batchrun)
        : state_(state), flags_(state.flags), host_(host), batchrun_(batchrun) {}

    RunResult run(std::uint32_t seed) {
        flags_.batchrun = batchrun_;
        host_.commandstarting(batchrun_);
        aborted_ = false;
        state_.generator = mtcreate(seed);
        seed_ = seed;
        batch_ = BatchState{};

        RunResult result;
        try {
            result.outcome = batchrun_ ? batch() : dataset();
        } catch (const std::exception& e) {
            result.outcome = RunOutcome::failed;
            error_ = e.what();
        }
        if (result.outcome == RunOutcome::failed) result.message = error_;
        result.datasets = batch_.datasetnumber;

        // End steps, however the command ended.
        if (batchrun_) {
            datafile_.close();
            results_.close();
            jsonl_.close();
            csv_.close();
            if (batch_.datasetnumber > 0) host_.message(MessageKind::plain, "Done.");
            flags_.batchrun = false;
        }
        host_.commandfinished(batchrun_, state_);
        if (result.outcome == RunOutcome::failed) host_.message(MessageKind::error, result.message);
        return result;
    }

private:
    RunOutcome fail(const std::string& message) {
        error_ = message;
        return RunOutcome::failed;
    }

    RunOutcome batch() {
        if (!host_.confirm(ConfirmKind::yescancel, openingprompt())) return RunOutcome::cancelled;
        batch_.moredata = true;
        const std::optional<std::string> data = host_.choosedatafile();
        if (!data) return RunOutcome::cancelled;
        if (!datafile_.open(*data)) return fail(datafile_.error());
        const std::optional<std::string> results = host_.chooseresultsfile();
        if (!results) return RunOutcome::cancelled;
        std::error_code ec;
        if (std::filesystem::exists(*results, ec) &&
            !host_.confirm(ConfirmKind::yesno, fullname(*results) + " file exists. Append?")) {
            return RunOutcome::cancelled;
        }
        // A stop asked while the data or results file waits (a pipe or FIFO)
        // is heard there.
        auto stop = [this] { return host_.stoprequested(); };
        datafile_.setstop(stop);
        // Before anything runs: a results file that cannot take entries ends
        // the run here rather than after the first simulation.
        if (!results_.open(*results, *data, stop)) {
            return results_.error().empty() ? stopped() : fail(results_.error());
        }
        jsonl_.setrecords();
        csv_.setrecords(csvheader());
        for (const auto& [file, path] :
             {std::pair{&jsonl_, state_.jsonlfile}, std::pair{&csv_, state_.csvfile}}) {
            if (path.empty()) continue;
            if (!file->open(path, *data, stop)) {
                return file->error().empty() ? stopped() : fail(file->error());
            }
        }

        for (;;) {
            if (host_.stoprequested()) return stopped();
            const RunOutcome outcome = dataset();
            if (outcome != RunOutcome::completed || !batch_.moredata) return outcome;
        }
    }

    RunOutcome stopped() {
        batch_.moredata = false;
        aborted_ = true;
        return RunOutcome::aborted;
    }

    // One dataset: head, read, check, loop, report, deliver.
    RunOutcome dataset() {
        startdataset(flags_, prm_);
        batch_.readerror.clear();

        if (batchrun_) {
            readdataset(datafile_, prm_, flags_, batch_);
            if (datafile_.failed()) return fail(datafile_.error());
            if (datafile_.stopped()) return stopped();
            // Only a dataset without any value is dropped: the quiet end of a
            // file whose last "*" is followed by blank or comment lines.
            if (flags_.dataerror) return RunOutcome::completed;
            ++batch_.datasetnumber;
        } else {
            // The integral method reads no emission count.
            getscreeninput(host_.fields(), host_, flags_, prm_, state_.method != Method::integral);
            if (flags_.dataerror) return RunOutcome::rejected;
        }

        const std::string problem = checkproblem();
        if (!problem.empty()) {
            if (!batchrun_) {
                host_.message(MessageKind::plain, "Invalid value for number of emissions");
                flags_.dataerror = true;
                return RunOutcome::rejected;
            }
            return deliverproblem(problem);
        }

        const double asked = prm_.emissions;
        const std::string caption =
            batchrun_ ? "Dataset " + plainformat(batch_.datasetnumber) + " from file" : " ";
        if (state_.method == Method::integral) return integral(caption);
        const DatasetOutcome outcome = computed(caption, [&] {
            return rundataset(prm_, flags_, *state_.generator, host_, state_.threads,
                              state_.partners);
        });
        const ReportContext ctx{aborted_, batch_.datasetnumber,
                                timeformat(outcome.tallies.seconds)};
        makereport(state_.report, prm_, flags_, outcome.tallies, ctx);
        RecordInput record;
        record.flags = &flags_;
        record.prm = &prm_;
        record.emissions = asked;
        record.tallies = &outcome.tallies;
        record.status = outcome.aborted ? RecordStatus::aborted : RecordStatus::done;
        return afterabort(deliver(&record));
    }

    // The dataset by the integral method: no emissions, the same report
    // lines where they mean the same thing.
    RunOutcome integral(const std::string& caption) {
        class Progress : public IntegralHost {
        public:
            explicit Progress(RunHost& host) : host_(host) {}
            void integralprogress(double share, double omega) override {
                host_.integralprogress(share, omega);
            }
            bool pollabort() override { return host_.pollabort(); }
            // The window holds the workers while it asks whether to abort.
            void attachworkers(WorkerPause* pause) override { host_.attachworkers(pause); }

        private:
            RunHost& host_;
        } progress(host_);
        const IntegralOutcome outcome = computed(caption, [&] {
            return runintegral(prm_, flags_, state_.targeterror, progress, state_.threads);
        });
        const ReportContext ctx{aborted_, batch_.datasetnumber, timeformat(outcome.seconds)};
        makeintegralreport(state_.report, prm_, flags_, outcome, state_.targeterror, ctx);
        RecordInput record;
        record.flags = &flags_;
        record.prm = &prm_;
        record.emissions = prm_.emissions;
        record.integral = &outcome;
        record.target = state_.targeterror;
        record.status = outcome.aborted ? RecordStatus::aborted : RecordStatus::done;
        return afterabort(deliver(&record));
    }

    // One dataset's computation (either method) between the host's loop start
    // and end, the end also when it throws; an aborted one ends a batch run.
    template <class Compute>
    std::invoke_result_t<Compute> computed(const std::string& caption, Compute compute) {
        host_.loopstarting(caption, prm_, flags_);
        std::invoke_result_t<Compute> outcome;
        try {
            outcome = compute();
        } catch (...) {
            host_.loopfinished();
            throw;
        }
        host_.loopfinished();
        if (outcome.aborted) {
            aborted_ = true;
            batch_.moredata = false;
        }
        return outcome;
    }

    RunOutcome afterabort(RunOutcome delivered) const {
        return delivered == RunOutcome::completed && aborted_ ? RunOutcome::aborted : delivered;
    }

    // Why the dataset just read cannot be simulated; empty when it can.
    std::string checkproblem() const {
        if (state_.method != Method::integral)
            return datasetproblem(flags_, prm_, batch_.readerror);
        // The integral method makes no emissions: their number is not checked.
        RunParameters p = prm_;
        p.emissions = 1;
        return datasetproblem(flags_, p, batch_.readerror);
    }

    // A problem entry replaces the report and becomes the last results.
    RunOutcome deliverproblem(const std::string& reason) {
        for (auto& line : state_.report.printlines) line.clear();
        state_.report.lastresults = problementry(batch_.datasetnumber, reason);
        RecordInput record;
        record.flags = &flags_;
        record.prm = &prm_;
        record.emissions = prm_.emissions;
        record.inputs = batch_.readerror.empty();
        record.status = RecordStatus::problem;
        record.problem = reason;
        return deliver(&record);
    }

    // The report (or problem entry) to its place, and in a batch run its
    // record to the record files, after the results file.
    RunOutcome deliver(const RecordInput* record) {
        if (!batchrun_) {
            host_.showresults(state_);
            return RunOutcome::completed;
        }
        if (!results_.append(state_.report.lastresults)) return fail(results_.error());
        if (!record || (state_.jsonlfile.empty() && state_.csvfile.empty()))
            return RunOutcome::completed;
        RecordContext context = state_.record;
        context.seed = seed_;
        context.dataset = batch_.datasetnumber;
        context.date = recordtime();
        context.method = state_.method == Method::integral ? "integral" : "emissions";
        const Record r = makerecord(context, *record);
        if (!state_.jsonlfile.empty() && !jsonl_.append(jsonline(r))) return fail(jsonl_.error());
        if (!state_.csvfile.empty() && !csv_.append(csvrow(r))) return fail(csv_.error());
        return RunOutcome::completed;
    }

    RunState& state_;
    GeometryFlags& flags_;
    RunHost& host_;
    const bool batchrun_;

    RunParameters prm_;
    BatchState batch_;
    DataFile datafile_;
    ResultsFile results_;
    ResultsFile jsonl_, csv_;
    std::uint32_t seed_ = 0;
    bool aborted_ = false;
    std::string error_;
};

}  // namespace

std::string refusalreason(const ValueCheck& check) {
    switch (check.refusal) {
        case Refusal::inconsistentkinds:
            return "values 1 to 5 must name exactly one source and exactly one detector";
        case Refusal::negative: return "Invalid data in " + std::string(info(check.value).caption);
        case Refusal::toomanyemissions: return toomanytext();
        case Refusal::lengthoutofrange:
            return lengthmessage({info(check.value).name, check.number});
        case Refusal::noemissions: return "the number of emissions is 0";
        case Refusal::none: break;
    }
    return {};
}

std::string datasetproblem(const GeometryFlags& flags, const RunParameters& prm,
                           const std::string& readerror) {
    if (!readerror.empty()) return readerrorreason(readerror);
    return refusalreason(checkvalues(flags, prm));
}

std::string fullname(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

RunResult runcommand(RunState& state, RunHost& host, bool batchrun, std::uint32_t seed) {
    Command command(state, host, batchrun);
    return command.run(seed);
}

}  // namespace korvex
