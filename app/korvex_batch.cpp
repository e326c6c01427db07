// korvex-batch: the batch run without a window. The data file and the results
// file come from the command line, every question is answered Yes, progress
// goes to stderr, and SIGINT (Ctrl-C), SIGTERM or SIGHUP stop the run as
// Escape answered Yes would: the running dataset's report is written as
// aborted and no further dataset is read (a signal ignored at the start, as
// under nohup, stays ignored). SIGPIPE is ignored, so a closed
// stderr only ends the progress; SIGXFSZ too, so a write over the file size
// limit fails with its error and takes back its partial entry.
//
// Exit codes: 0 when the batch run ends normally (problem entries included),
// 1 on an input or output error or a data file without any dataset, 2 on a
// usage error (a results file that is the data file included) or a missing
// data file, 128 + the signal's number when stopped by a signal.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/estimate.h"
#include "engine/mtrandom.h"
#include "engine/split.h"
#ifdef KORVEX_MPI
#include "app/mpipartners.h"
#endif
#include "app/version.h"
#include "io/commandline.h"
#include "io/numbers.h"
#include "io/report.h"
#include "io/resultsfile.h"
#include "io/rotationsense.h"
#include "io/runcommand.h"
#include "io/systemtext.h"
#include "io/timeleft.h"

namespace {

// The number of the first stopping signal; 0 while none has come.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void oninterrupt(int signo) {
    if (interrupted == 0) interrupted = signo;
}

void setsignals() {
    struct sigaction action {};
    action.sa_handler = oninterrupt;
    sigemptyset(&action.sa_mask);
    // Reads and writes go on after the handler; the run stops at its next poll.
    action.sa_flags = SA_RESTART;
    for (const int signo : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored from the start stays ignored: nohup, or a
        // background job of a script, wants the run to go on.
        struct sigaction old {};
        sigaction(signo, nullptr, &old);
        if (old.sa_handler != SIG_IGN) sigaction(signo, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

// The same source builds korvex-batch-mpi, which names itself.
#ifdef KORVEX_MPI
#define KORVEX_PROGRAM "korvex-batch-mpi"
#else
#define KORVEX_PROGRAM "korvex-batch"
#endif
const char* const program = KORVEX_PROGRAM;

const char* const usage = "usage: " KORVEX_PROGRAM
                          " [--method emissions|integral] [--error X] [--seed N] [--threads N]\n"
                          "       [--jsonl FILE] [--csv FILE] [--quiet] DATAFILE RESULTSFILE\n";

const char* const helptext =
    "Runs every dataset of DATAFILE and appends each dataset's report (or a\n"
    "problem entry) to RESULTSFILE, creating it when the first entry is written.\n"
    "Each entry is written whole and synced to disk; several runs may append to\n"
    "one RESULTSFILE at once. A FIFO serves as DATAFILE or RESULTSFILE too.\n"
    "\n"
    "  --method emissions\n"
    "              simulate the emissions of each dataset (the default)\n"
    "  --method integral\n"
    "              compute each dataset by the integral method instead: exact\n"
    "              over the detector for each source point, averaged over the\n"
    "              source (a Gauss product rule on pieces of the source over\n"
    "              which every value is smooth, else randomised quasi-Monte\n"
    "              Carlo) until the relative 99.9% error is at most X; the\n"
    "              number of emissions of a dataset is not used (a point\n"
    "              source is exact)\n"
    "  --error X   the integral method's target relative error, 1E-12 to 0.1\n"
    "              (default 1E-6)\n"
    "  --seed N    seed the generator with N (1 to 4294967294), so that a run\n"
    "              repeats exactly; without it the clock seeds the run\n"
    "  --threads N split each large dataset over N threads (default: all\n"
    "              cores); the results are the same for every N\n"
    "  --jsonl FILE  also append one JSON object a line per dataset to FILE\n"
    "              (schema \"korvex-result/1\", see the manual page)\n"
    "  --csv FILE  also append the same records to FILE as CSV rows, with a\n"
    "              header row in a new file\n"
    "  --quiet     no progress on stderr\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Progress, \"Done.\" and errors go to stderr; a closed stderr only ends the\n"
    "progress. SIGINT (Ctrl-C), SIGTERM and SIGHUP write the current dataset's\n"
    "report as aborted and read no further dataset; one ignored at the start\n"
    "(as under nohup) stays ignored.\n"
    "\n"
    "Exit status: 0 finished; 1 input or output error, or DATAFILE holds no\n"
    "dataset (a RESULTSFILE that cannot be opened for appending is found\n"
    "before any dataset runs); 2 usage error, missing DATAFILE, or RESULTSFILE\n"
    "is DATAFILE itself; 128 + the signal's number when stopped by a signal\n"
    "(130 for SIGINT, 143 for SIGTERM, 129 for SIGHUP).\n";

struct Options {
    korvex::Method method = korvex::Method::emissions;
    double target = korvex::defaulttarget;
    std::optional<std::uint32_t> seed;
    int threads = korvex::allcores();
    bool quiet = false;
    std::string datafile;
    std::string resultsfile;
    std::string jsonlfile, csvfile;
};

// More threads than any machine has cores is surely a slip of the keyboard.
constexpr std::uint64_t maxthreads = 65536;

korvex::CommandLine scan(int argc, const char* const* argv) {
    return korvex::scancommandline(
        argc, argv, {"--seed", "--threads", "--jsonl", "--csv", "--method", "--error"},
        {"--quiet"});
}

int usageerror(const std::string& what) {
    std::cerr << program << ": " << what << "\n" << usage;
    return 2;
}

class NoFields : public korvex::FieldSource {
public:
    std::string text(korvex::Field) const override { return {}; }
    std::string caption(korvex::Field) const override { return {}; }
};

// Progress on stderr: a bar redrawn in place on a terminal, a few plain lines
// otherwise, nothing when quiet.
class BatchHost : public korvex::RunHost {
public:
    BatchHost(const Options& options, bool terminal) : options_(options), terminal_(terminal) {}

    std::string error;
    // Other messages (the batch run's "Done.") close the command: they are
    // shown once it has ended, and not when it failed.
    std::vector<std::string> notes;

    const korvex::FieldSource& fields() override { return nofields_; }
    std::optional<std::string> choosedatafile() override { return options_.datafile; }
    std::optional<std::string> chooseresultsfile() override { return options_.resultsfile; }
    void commandstarting(bool) override {}
    void commandfinished(bool, korvex::RunState&) override {}
    void showresults(korvex::RunState&) override {}
    bool confirm(korvex::ConfirmKind, const std::string&) override { return true; }

    void message(korvex::MessageKind kind, const std::string& text) override {
        if (kind == korvex::MessageKind::error) {
            error = text;
        } else {
            notes.push_back(text);
        }
    }

    bool pollabort() override { return stopped(); }
    bool stoprequested() override { return stopped(); }

    // The signal that stopped the run, here or (MPI) on another rank; 0 for none.
    int stopsignal() const {
        if (interrupted != 0) return interrupted;
        return partnersignal ? partnersignal() : 0;
    }
    // korvex-batch-mpi: whether another rank was stopped by a signal, and which.
    std::function<bool()> partnerstopped;
    std::function<int()> partnersignal;

    void loopstarting(const std::string& caption, const korvex::RunParameters& prm,
                      const korvex::GeometryFlags& flags) override {
        caption_ = caption;
        started_ = std::chrono::steady_clock::now();
        emissions_ = prm.emissions;
        flags_ = flags;
        steps_ = 0;
        if (!progress()) return;
        if (terminal_) {
            draw(0, 0);
        } else if (options_.method == korvex::Method::integral) {
            std::cerr << caption_ << ": integral, target error "
                      << korvex::generalformat(options_.target, 3, 0) << "\n";
        } else {
            std::cerr << caption_ << ": " << korvex::plainformat(emissions_) << " emissions\n";
        }
    }

    void integralprogress(double share, double omega) override {
        ++steps_;
        if (!progress()) return;
        if (terminal_) {
            draw(share, omega);
        } else if (steps_ % 4 == 0) {
            std::cerr << caption_ << ": " << static_cast<int>(share * 100)
                      << "% of the way to the target error, solid angle so far "
                      << korvex::fixed7(omega) << " sr\n";
        }
    }

    void progressstep(const korvex::RunTallies& sofar) override {
        ++steps_;
        if (!progress()) return;
        const double share = emissions_ > 0 ? sofar.emitted / emissions_ : 1;
        const double estimate = korvex::estimate(flags_, sofar).solidangle;
        if (terminal_) {
            draw(share, estimate);
        } else if (steps_ % 25 == 0) {
            std::cerr << caption_ << ": " << static_cast<int>(share * 100)
                      << "% done, solid angle so far " << korvex::fixed7(estimate) << " sr\n";
        }
    }

    void loopfinished() override {
        if (!progress()) return;
        const char* end = stopsignal() != 0 ? "interrupted" : "finished";
        if (terminal_) {
            // The bar stops short of its end by design; close the line instead.
            std::cerr << "\r" << caption_ << ": " << end << std::string(84, ' ') << "\n";
        } else {
            std::cerr << caption_ << ": " << end << "\n";
        }
    }

private:
    bool stopped() const { return interrupted != 0 || (partnerstopped && partnerstopped()); }

    // A progress write that failed (stderr closed) ends the progress.
    bool progress() const { return !options_.quiet && std::cerr.good(); }

    void draw(double share, double estimate) {
        constexpr int width = 30;
        const int filled = static_cast<int>(share * width);
        std::string bar(static_cast<std::size_t>(width), ' ');
        for (int i = 0; i < filled && i < width; ++i) bar[static_cast<std::size_t>(i)] = '#';
        // The time left in a column of its own width, so that a shorter text
        // overwrites a longer one.
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started_;
        const auto left = korvex::secondsleft(elapsed.count(), share);
        std::string lefttext = left ? korvex::timelefttext(*left) : std::string();
        lefttext.resize(std::max<std::size_t>(lefttext.size(), 24), ' ');
        std::cerr << "\r" << caption_ << " [" << bar << "] " << static_cast<int>(share * 100)
                  << "%  solid angle " << korvex::fixed7(estimate) << " sr  " << lefttext
                  << std::flush;
    }

    const Options& options_;
    const bool terminal_;
    NoFields nofields_;
    std::string caption_;
    std::chrono::steady_clock::time_point started_;
    double emissions_ = 0;
    korvex::GeometryFlags flags_;
    long steps_ = 0;
};

// Fills options from the command line: nothing when the run is to go on,
// otherwise the exit status, after the help, version or usage error.
std::optional<int> readcommandline(const korvex::CommandLine& line, Options& options) {
    if (line.help) {
        std::cout << usage << "\n"
                  << helptext << "\nRotation angles (values 18, 19 and 20 of a dataset):\n"
                  << korvex::rotationsense << "\n"
                  << korvex::rotationexample;
        return 0;
    }
    if (line.version) {
        korvex::printversion(std::cout, program);
        return 0;
    }
    if (!line.error.empty()) return usageerror(line.error);
    options.quiet = line.switches.contains("--quiet");
    if (const auto seed = line.values.find("--seed"); seed != line.values.end()) {
        const auto value = korvex::parsewhole(seed->second, 1, 4294967294u);
        if (!value) {
            return usageerror("--seed takes a whole number from 1 to 4294967294, not '" +
                              seed->second + "'");
        }
        options.seed = static_cast<std::uint32_t>(*value);
    }
    if (const auto threads = line.values.find("--threads"); threads != line.values.end()) {
        const auto value = korvex::parsewhole(threads->second, 1, maxthreads);
        if (!value) {
            return usageerror("--threads takes a whole number from 1 to " +
                              std::to_string(maxthreads) + ", not '" + threads->second + "'");
        }
        options.threads = static_cast<int>(*value);
    }
    if (const auto method = line.values.find("--method"); method != line.values.end()) {
        if (method->second == "integral") {
            options.method = korvex::Method::integral;
        } else if (method->second != "emissions") {
            return usageerror("--method takes emissions or integral, not '" + method->second + "'");
        }
    }
    if (const auto error = line.values.find("--error"); error != line.values.end()) {
        const auto value = korvex::parsenumber(error->second);
        if (!value || !(*value >= korvex::smallesttarget) || !(*value <= 0.1)) {
            return usageerror("--error takes a number from 1E-12 to 0.1, not '" + error->second +
                              "'");
        }
        options.target = *value;
    }
    if (line.files.size() > 2) return usageerror("too many arguments");
    if (line.files.size() < 2) return usageerror("DATAFILE and RESULTSFILE are needed");
    options.datafile = line.files[0];
    options.resultsfile = line.files[1];
    for (const auto& [option, into] :
         {std::pair{"--jsonl", &options.jsonlfile}, std::pair{"--csv", &options.csvfile}}) {
        const auto value = line.values.find(option);
        if (value == line.values.end()) continue;
        if (value->second.empty()) return usageerror(std::string(option) + " needs a file name");
        *into = value->second;
    }
    // Two outputs in one file would interleave into neither format.
    const std::string* outputs[] = {&options.datafile, &options.resultsfile, &options.jsonlfile,
                                    &options.csvfile};
    for (std::size_t a = 2; a < std::size(outputs); ++a)
        for (std::size_t b = 0; b < a; ++b)
            if (!outputs[a]->empty() &&
                (*outputs[a] == *outputs[b] || korvex::samefile(*outputs[a], *outputs[b])))
                return usageerror(*outputs[a] + " is named twice");
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
#ifdef KORVEX_MPI
    // korvex-batch-mpi: every rank but 0 only runs shares of rank 0's datasets,
    // with the thread count of its own command line.
    korvex::MpiPartners mpi(argc, argv);
    const korvex::CommandLine line = scan(argc, argv);
    if (mpi.rank() != 0) {
        // A --threads this rank cannot use is told to rank 0, which ends the
        // job as a usage error.
        const auto threads = line.values.find("--threads");
        if (threads == line.values.end()) return mpi.serve(korvex::allcores());
        const auto value = korvex::parsewhole(threads->second, 1, maxthreads);
        if (!value) {
            std::cerr << program << ": rank " << mpi.rank() << ": --threads takes a whole number "
                      << "from 1 to " << maxthreads << ", not '" << threads->second << "'\n";
        }
        return mpi.serve(value ? static_cast<int>(*value) : 0);
    }
#else
    const korvex::CommandLine line = scan(argc, argv);
#endif
    setsignals();
    if (const auto status = readcommandline(line, options)) return *status;

    if (const std::string why = korvex::whynotfound(options.datafile); !why.empty()) {
        std::cerr << program << ": " << why << "\n";
        return 2;
    }
    // Its own reports would be read back as datasets.
    if (korvex::samefile(options.datafile, options.resultsfile)) {
        return usageerror(options.resultsfile + " is the data file itself");
    }

    BatchHost host(options, isatty(STDERR_FILENO) != 0);
    korvex::RunState state;
    state.threads = options.threads;
    state.jsonlfile = options.jsonlfile;
    state.csvfile = options.csvfile;
    state.record.program = program;
    state.record.version = KORVEX_VERSION;
    state.record.threads = options.threads;
    state.method = options.method;
    state.targeterror = options.target;
#ifdef KORVEX_MPI
    if (const int refused = mpi.start(options.threads); refused != 0) {
        std::cerr << usage;
        return 2;
    }
    state.partners = &mpi;
    state.record.processes = static_cast<int>(mpi.weights().size());
    host.partnerstopped = [&mpi] { return mpi.partnerstopped(); };
    host.partnersignal = [&mpi] { return mpi.partnersignal(); };
#endif
    const std::uint32_t seed = options.seed ? *options.seed : korvex::runseed();
    const korvex::RunResult result = korvex::runcommand(state, host, true, seed);

    if (result.outcome == korvex::RunOutcome::failed) {
        std::cerr << program << ": " << (host.error.empty() ? result.message : host.error) << "\n";
        return 1;
    }
    for (const std::string& note : host.notes) std::cerr << note << "\n";
    if (result.outcome == korvex::RunOutcome::aborted)
        return 128 + (host.stopsignal() != 0 ? host.stopsignal() : SIGINT);
    if (result.datasets == 0) {
        std::cerr << program << ": " << options.datafile << " holds no dataset\n";
        return 1;
    }
    return 0;
}
