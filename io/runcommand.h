// The run command, written once for the window and the command line: the
// dataset head, reading (screen or data file), the emission loop, the
// processing time, the report and where it goes, the next dataset, and the
// end steps. What differs between its callers is reached through RunHost.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/dataset.h"
#include "engine/geometry.h"
#include "engine/integral/average.h"
#include "engine/mtrandom.h"
#include "engine/run.h"
#include "engine/split.h"
#include "io/prompter.h"
#include "io/record.h"
#include "io/report.h"
#include "io/screeninput.h"

namespace korvex {

// The process-wide state the run command reads and writes.
struct RunState {
    GeometryFlags flags;
    Report report;                             // printlines and lastresults
    std::unique_ptr<MTRandomState> generator;  // replaced by every run command
    int threads = 1;                           // a large dataset is split over this many threads
    Partners* partners = nullptr;              // and over these processes (MPI), if any
    // Beside a batch run's results file, records a program reads: a JSON
    // Lines file and a CSV file (empty: none), each appended as the results
    // file is. record names the program, its version, threads and processes;
    // the seed, the dataset's number and the date are filled per dataset.
    std::string jsonlfile, csvfile;
    RecordContext record;
    Method method = Method::emissions;   // the integral method ignores the count
    double targeterror = defaulttarget;  // its target relative error (99.9%)
};

class RunHost : public LoopHost, public Prompter {
public:
    // The screen reader's fields (screen runs only).
    virtual const FieldSource& fields() = 0;
    // Batch start: the data file (must exist) and the results file;
    // nullopt when the user cancels.
    virtual std::optional<std::string> choosedatafile() = 0;
    virtual std::optional<std::string> chooseresultsfile() = 0;
    // Around the command: disable "Start simulation", hide the choice groups
    // and tabs of a batch run; and, at the end, restore them.
    virtual void commandstarting(bool batchrun) = 0;
    virtual void commandfinished(bool batchrun, RunState& state) = 0;
    // Around one dataset's loop: busy cursor, progress panel with its caption
    // ("Dataset N from file" or " "), repaint; then restore.
    virtual void loopstarting(const std::string& caption, const RunParameters& prm,
                              const GeometryFlags& flags) = 0;
    virtual void loopfinished() = 0;
    // A screen run's report: the results dialog loop.
    virtual void showresults(RunState& state) = 0;
    // Asked before each dataset of a batch run, and now and then while the
    // data file or results file waits (a pipe or FIFO): true stops the run as
    // an abort would, without reading a further dataset. The window has no
    // such request (its Escape key is polled inside the loop); the command
    // line uses it for a signal that arrives outside the loop.
    virtual bool stoprequested() { return false; }
    // The integral method's progress, in place of progressstep: the share of
    // the way to the target error and the solid angle so far.
    virtual void integralprogress(double /*share*/, double /*omega*/) {}
};

enum class RunOutcome {
    completed,  // every dataset ran (a batch run may have written problem entries;
                // blank or comment lines after its last dataset end it normally)
    rejected,   // the screen input was rejected
    cancelled,  // the user cancelled a batch run's opening steps
    aborted,    // the user aborted a simulation
    failed,     // an input or output error; message holds the system's text
};

struct RunResult {
    RunOutcome outcome = RunOutcome::completed;
    int datasets = 0;     // datasets read (datasetnumber at the end)
    std::string message;  // the error text when failed
};

// The reason a problem entry gives for values checkvalues refuses, in the
// window's words where the window refuses them too ("Invalid data in
// detector radius, r2"); empty for none.
std::string refusalreason(const ValueCheck& check);

// Why a dataset read from a data file is not run, as korvex-batch's problem
// entry and korvex-draw both name it: the read error (readdataset's
// readerror), else refusalreason; empty when the dataset runs.
std::string datasetproblem(const GeometryFlags& flags, const RunParameters& prm,
                           const std::string& readerror);

// EstimateButtonClick's body. seed becomes the generator's seed (the window
// passes runseed(), korvex-batch its --seed). Every message the user sees,
// "Done." and a file error included, goes through the host's Prompter; the
// result only tells the caller how the command ended.
RunResult runcommand(RunState& state, RunHost& host, bool batchrun, std::uint32_t seed);

// A file name as the questions about an existing file show it: absolute, with
// no "." or ".." left in it (the name itself when that fails).
std::string fullname(const std::string& path);

}  // namespace korvex
