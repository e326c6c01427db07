#include "io/runcommand.h"

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "io/batch.h"
#include "io/integralreport.h"
#include "io/numbers.h"
#include "io/resultsfile.h"

namespace korvex {

namespace {

const char* const openingprompt =
    "You will now be asked for the name of the input data file\r"
    "and the file name of the file for saving the results.\r\r"
    "Note - Values are not checked for conflict, consistency or range.\r"
    "It is recommended you make a test run with a low emission number first.\r"
    "OK?";

// All 16 digits: plainformat would round the count to 15.
std::string toomanytext() {
    return "the number of emissions is above " +
           std::to_string(static_cast<std::uint64_t>(maxemissions));
}

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
        if (!host_.confirm(ConfirmKind::yescancel, openingprompt)) return RunOutcome::cancelled;
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
            getscreeninput(host_.fields(), host_, flags_, prm_);
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

        const std::string caption =
            batchrun_ ? "Dataset " + plainformat(batch_.datasetnumber) + " from file" : " ";
        if (state_.method == Method::integral) return integral(caption);
        host_.loopstarting(caption, prm_, flags_);
        DatasetOutcome outcome;
        try {
            outcome =
                rundataset(prm_, flags_, *state_.generator, host_, state_.threads, state_.partners);
        } catch (...) {
            host_.loopfinished();
            throw;
        }
        host_.loopfinished();
        if (outcome.aborted) {
            aborted_ = true;
            batch_.moredata = false;
        }
        const ReportContext ctx{aborted_, batch_.datasetnumber,
                                timeformat(outcome.tallies.seconds)};
        makereport(state_.report, prm_, flags_, outcome.tallies, ctx);
        return afterabort(deliver());
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

        private:
            RunHost& host_;
        } progress(host_);
        host_.loopstarting(caption, prm_, flags_);
        IntegralOutcome outcome;
        try {
            outcome = runintegral(prm_, flags_, state_.targeterror, progress, state_.threads);
        } catch (...) {
            host_.loopfinished();
            throw;
        }
        host_.loopfinished();
        if (outcome.aborted) {
            aborted_ = true;
            batch_.moredata = false;
        }
        const ReportContext ctx{aborted_, batch_.datasetnumber, timeformat(outcome.seconds)};
        makeintegralreport(state_.report, prm_, flags_, outcome, state_.targeterror, ctx);
        return afterabort(deliver());
    }

    RunOutcome afterabort(RunOutcome delivered) const {
        return delivered == RunOutcome::completed && aborted_ ? RunOutcome::aborted : delivered;
    }

    // Why the dataset just read cannot be simulated; empty when it can.
    std::string checkproblem() const {
        if (!batch_.readerror.empty()) return readerrorreason(batch_.readerror);
        DatasetProblem problem = checkdataset(flags_, prm_);
        // The integral method makes no emissions: their number is not checked.
        const bool integral = state_.method == Method::integral;
        if (integral && problem == DatasetProblem::toomanyemissions) {
            GeometryFlags f = flags_;
            RunParameters p = prm_;
            p.emissions = 1;
            problem = checkdataset(f, p);
        }
        // The one reason that names a value: which length, and its size.
        if (problem == DatasetProblem::lengthoutofrange)
            return lengthmessage(checklengths(flags_, prm_));
        const std::string reason = problemreason(problem);
        if (!reason.empty()) return reason;
        // Every statistic divides by the number of emissions.
        if (prm_.emissions == 0 && !integral) return "the number of emissions is 0";
        return {};
    }

    // A problem entry replaces the report and becomes the last results.
    RunOutcome deliverproblem(const std::string& reason) {
        for (auto& line : state_.report.printlines) line.clear();
        state_.report.lastresults = problementry(batch_.datasetnumber, reason);
        return deliver();
    }

    RunOutcome deliver() {
        if (!batchrun_) {
            host_.showresults(state_);
            return RunOutcome::completed;
        }
        if (!results_.append(state_.report.lastresults)) return fail(results_.error());
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
    bool aborted_ = false;
    std::string error_;
};

}  // namespace

std::string problemreason(DatasetProblem problem) {
    switch (problem) {
        case DatasetProblem::inconsistentflags:
            return "values 1 to 5 must name exactly one source and exactly one detector";
        case DatasetProblem::toomanyemissions: return toomanytext();
        case DatasetProblem::lengthoutofrange:
            return "a length is out of range: each must be 0 or of size " +
                   generalformat(shortestlength, 1, 0) + " to " +
                   generalformat(longestlength, 1, 0);
        case DatasetProblem::none: break;
    }
    return {};
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
