#include "app/mpipartners.h"

#include <mpi.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <exception>
#include <iostream>
#include <memory>
#include <thread>
#include <type_traits>

#include "engine/geometry.h"
#include "engine/run.h"

namespace korvex {

namespace {

// Rank 0 drives every exchange: it broadcasts one of these, and the other
// ranks do the matching part.
enum Command : int { endrun = 0, gatherthreads = 1, splitdataset = 2 };

// The tag of the one message a rank sends of its own accord: a stopping
// signal that came while it waited between datasets, with its number.
constexpr int stoptag = 17;

// The number of the first stopping signal to this rank; 0 while none has come.
volatile std::sig_atomic_t stopsignal = 0;

extern "C" void onstopsignal(int signo) {
    if (stopsignal == 0) stopsignal = signo;
}

// The job goes to the other ranks as raw bytes: every rank runs the same
// build of the program.
static_assert(std::is_trivially_copyable_v<RunParameters>);
static_assert(std::is_trivially_copyable_v<GeometryFlags>);
static_assert(std::is_trivially_copyable_v<MTRandomState>);

template <typename T>
void broadcast(T& value) {
    MPI_Bcast(&value, sizeof(T), MPI_BYTE, 0, MPI_COMM_WORLD);
}

// Rank 0's next command, waited for without spinning. Open MPI's blocking
// calls poll at full speed, and between datasets a rank may wait a long time
// (rank 0 runs a small dataset alone, or writes its report): it would hold a
// core all along. The pause grows from 50 microseconds to 2 milliseconds,
// far below the time of any dataset worth sharing. The exchanges within a
// dataset wait only for the slowest rank's round, and block as usual. A
// stopping signal meanwhile is told to rank 0 at once (told: once).
int nextcommand(bool& told) {
    int what = endrun;
    MPI_Request request;
    MPI_Ibcast(&what, 1, MPI_INT, 0, MPI_COMM_WORLD, &request);
    auto pause = std::chrono::microseconds(50);
    for (int done = 0;;) {
        MPI_Test(&request, &done, MPI_STATUS_IGNORE);
        if (done) return what;
        if (stopsignal != 0 && !told) {
            int signo = stopsignal;
            MPI_Send(&signo, 1, MPI_INT, 0, stoptag, MPI_COMM_WORLD);
            told = true;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(2000));
    }
}

}  // namespace

bool MpiPartners::signalled() { return stopsignal != 0; }

bool MpiPartners::partnerstopped() {
    for (;;) {
        int waiting = 0;
        MPI_Status status;
        MPI_Iprobe(MPI_ANY_SOURCE, stoptag, MPI_COMM_WORLD, &waiting, &status);
        if (!waiting) return partnersignal_ != 0;
        int signo = 0;
        MPI_Recv(&signo, 1, MPI_INT, status.MPI_SOURCE, stoptag, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
        if (partnersignal_ == 0) partnersignal_ = signo;
    }
}

MpiPartners::MpiPartners(int& argc, char**& argv) {
    int provided = 0;
    // Only the main thread of each rank calls MPI; the workers do not.
    MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    // Rank 0 answers signals as korvex-batch does; the others stop their
    // share and tell rank 0 at the end of the round.
    if (rank_ != 0) {
        struct sigaction action {};
        action.sa_handler = onstopsignal;
        sigemptyset(&action.sa_mask);
        for (const int signo : {SIGINT, SIGTERM, SIGHUP}) sigaction(signo, &action, nullptr);
    }
}

MpiPartners::~MpiPartners() {
    if (rank_ == 0 && open_) MPI_Abort(MPI_COMM_WORLD, 1);
    if (rank_ == 0) {
        command(endrun);
        // A stop told after the last look goes unread no further.
        MPI_Barrier(MPI_COMM_WORLD);
        partnerstopped();
    }
    if (rank_ != 0) MPI_Barrier(MPI_COMM_WORLD);
    MPI_Finalize();
}

// Matches nextcommand() on the other ranks.
void MpiPartners::command(int what) {
    MPI_Request request;
    MPI_Ibcast(&what, 1, MPI_INT, 0, MPI_COMM_WORLD, &request);
    MPI_Wait(&request, MPI_STATUS_IGNORE);
}

int MpiPartners::start(int threads) {
    command(gatherthreads);
    weights_.assign(static_cast<std::size_t>(size_), 0);
    MPI_Allgather(&threads, 1, MPI_INT, weights_.data(), 1, MPI_INT, MPI_COMM_WORLD);
    for (int r = 0; r < size_; ++r)
        if (weights_[static_cast<std::size_t>(r)] <= 0) return r;
    return 0;
}

int MpiPartners::serve(int threads) {
    for (;;) {
        const int what = nextcommand(told_);
        if (what == endrun) return threads > 0 ? 0 : 2;
        if (what == gatherthreads) {
            weights_.assign(static_cast<std::size_t>(size_), 0);
            MPI_Allgather(&threads, 1, MPI_INT, weights_.data(), 1, MPI_INT, MPI_COMM_WORLD);
            continue;
        }
        RunParameters prm;
        GeometryFlags flags;
        auto gen = std::make_unique<MTRandomState>();
        broadcast(prm);
        broadcast(flags);
        broadcast(*gen);
        const Frame frame = makeframe(prm, flags.rotated);
        RunTallies t;
        try {
            splitrounds(prm, flags, frame, *gen, t, threads, this,
                        [](const RunTallies&) { return signalled(); });
        } catch (const std::exception& e) {
            // The other ranks wait for this one's part: only ending the
            // job frees them.
            std::cerr << "korvex-batch-mpi: rank " << rank_ << ": " << e.what() << "\n";
            MPI_Abort(MPI_COMM_WORLD, 1);
        }
    }
}

void MpiPartners::begin(const RunParameters& prm, const GeometryFlags& flags,
                        const MTRandomState& gen) {
    command(splitdataset);
    open_ = true;
    RunParameters p = prm;
    GeometryFlags f = flags;
    auto g = std::make_unique<MTRandomState>(gen);
    broadcast(p);
    broadcast(f);
    broadcast(*g);
}

bool MpiPartners::combine(const SpanResult& mine, RunTallies& t) {
    const RunTallies& c = mine.counts;
    // Whole numbers below 2^53: their sum is exact in any order.
    // After the counts: whether any rank saw the source inside, and whether
    // any was stopped.
    constexpr std::size_t n = countfields.size();
    std::array<double, n + 2> counts{}, all{};
    for (std::size_t i = 0; i < n; ++i) counts[i] = c.*countfields[i];
    counts[n] = c.sourceinside ? 1.0 : 0.0;
    counts[n + 1] = mine.stopped || signalled() ? 1.0 : 0.0;
    MPI_Allreduce(counts.data(), all.data(), static_cast<int>(all.size()), MPI_DOUBLE, MPI_SUM,
                  MPI_COMM_WORLD);
    // Which signal stopped another rank: rank 0 ends with its status.
    int signo = rank_ != 0 ? static_cast<int>(stopsignal) : 0, highest = 0;
    if (signo != 0) told_ = true;
    MPI_Allreduce(&signo, &highest, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
    if (rank_ == 0 && partnersignal_ == 0) partnersignal_ = highest;

    // The chunk sums, gathered in rank order, which is chunk order; each
    // chunk's two sums travel as two doubles.
    static_assert(sizeof(PathSums) == 2 * sizeof(double));
    const int mycount = 2 * static_cast<int>(mine.chunksums.size());
    std::vector<int> sizes(static_cast<std::size_t>(size_)),
        offsets(static_cast<std::size_t>(size_));
    MPI_Gather(&mycount, 1, MPI_INT, sizes.data(), 1, MPI_INT, 0, MPI_COMM_WORLD);
    std::vector<PathSums> sums;
    if (rank_ == 0) {
        int total = 0;
        for (int r = 0; r < size_; ++r) {
            offsets[static_cast<std::size_t>(r)] = total;
            total += sizes[static_cast<std::size_t>(r)];
        }
        sums.resize(static_cast<std::size_t>(total / 2));
    }
    MPI_Gatherv(mine.chunksums.data(), mycount, MPI_DOUBLE, sums.data(), sizes.data(),
                offsets.data(), MPI_DOUBLE, 0, MPI_COMM_WORLD);

    SpanResult everyone;
    everyone.chunksums = std::move(sums);
    RunTallies& e = everyone.counts;
    for (std::size_t i = 0; i < n; ++i) e.*countfields[i] = all[i];
    e.sourceinside = all[n] > 0;
    addspan(t, everyone);
    return all[n + 1] > 0;
}

}  // namespace korvex
