// Splitting one dataset's emissions over threads and processes so that the
// answer does not depend on the split. Emission i always uses the generator
// outputs [i k, (i + 1) k) of the one stream (k draws per emission), and a
// worker starts its own copy of the generator there by jumping ahead. Counts
// are whole numbers and add exactly in any order; the path sums (of the
// lengths and of their squares) are summed per chunk of chunksize emissions,
// and the chunk sums are added in chunk order, so they too are the same for
// every split, the one-thread loop included.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/geometry.h"
#include "engine/mtrandom.h"
#include "engine/tallies.h"

namespace korvex {

inline constexpr std::uint64_t chunksize = 65536;

// Below this many emissions per thread a split costs more than it saves
// (starting threads, one jump each); such a dataset runs on one thread.
inline constexpr std::uint64_t minshare = 16 * chunksize;

// The path sums of one chunk, or of every chunk so far.
struct PathSums {
    double path = 0;    // pathsum
    double square = 0;  // pathsq
};

// The path sums of a loop that runs from emission 0: close() at every chunk
// boundary, finish() at the end. Between the two, t.pathsum and
// t.pathsqlanes hold only the open chunk's sums.
struct ChunkedPath {
    PathSums done;  // the closed chunks' sums, added in order
    void close(RunTallies& t) {
        done.path += t.pathsum;
        done.square += foldsquares(t);
        t.pathsum = 0;
    }
    void finish(RunTallies& t) {
        t.pathsum = done.path + t.pathsum;
        t.pathsq = done.square + foldsquares(t);
        done = {};
    }
};

// Emissions [first, first + count) of a dataset.
struct Range {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    std::uint64_t end() const { return first + count; }
};

// The emissions a count asks for: none for 0, otherwise at least one, a
// fractional count rounded up (the loop compares after each emission). The
// count is at most 2^53.
std::uint64_t emissioncount(double emissions);

// The partition: share index of whole, cut in proportion to weights (the
// thread counts of the processes, or 1 per thread). Shares are contiguous, in
// index order, and cut on chunk boundaries; whole.first is on one.
Range share(Range whole, const std::vector<int>& weights, int index);

// What a split part of a dataset returns: every count (pathsum and pathsq
// left 0), and the path sums of each chunk the range touches, in order.
struct SpanResult {
    RunTallies counts;
    std::vector<PathSums> chunksums;
    bool stopped = false;
};

// Adds part to total: the counts, and the chunk sums one by one in order
// onto total.pathsum and total.pathsq. Parts must be added in the order of
// their ranges.
void addspan(RunTallies& total, const SpanResult& part);

// Called on the calling thread every few milliseconds while the workers run,
// with the range's counts so far (emitted and hits); true stops every worker
// after its current block.
using SpanWatch = std::function<bool(const RunTallies& sofar)>;

// Holds the workers of a split run at their next block until released (the
// window holds them while it asks whether to abort, so that the answer Yes
// covers the emissions done when the user asked). Shared by every round of
// a dataset.
class WorkerPause {
public:
    void hold() { held_ = true; }
    void release() {
        const std::lock_guard<std::mutex> guard(lock_);
        held_ = false;
        cv_.notify_all();
    }
    // A worker, before each block: waits while held, unless stop is set.
    void wait(const std::atomic<bool>& stop) {
        if (!held_.load(std::memory_order_acquire)) return;
        std::unique_lock<std::mutex> guard(lock_);
        cv_.wait(guard, [&] { return !held_ || stop; });
    }
    // Once stop is set: every waiting worker goes on to see it.
    void wake() {
        const std::lock_guard<std::mutex> guard(lock_);
        cv_.notify_all();
    }

private:
    std::atomic<bool> held_{false};
    std::mutex lock_;
    std::condition_variable cv_;
};

// How the workers of a span share it out, in chunks: a worker takes its share
// grain chunks at a time, so that another can take half of what is left;
// halving a share costs a jump (a few milliseconds), so a share with fewer
// than stealmin chunks left is left to its owner.
struct SpanTuning {
    std::uint64_t grain = 4;
    std::uint64_t stealmin = 32;
    // At most this many threads start, as on a system that refuses more
    // (a test sets it; the system's own refusal is handled alike).
    int startable = 1 << 30;
};

// Runs the emissions of range on up to threads workers (no more than it has
// chunks); gen stands at emission range.first (it is copied, not moved). The
// flags must be consistent. Threads start on equal shares; one that runs out
// takes half of the largest share left. Where the system cannot start every
// thread, those that started take over the others' shares whole; where it
// cannot start one, the calling thread runs the whole range (the same
// answer), calling watch between chunks.
SpanResult runspan(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                   const MTRandomState& gen, Range range, int threads, const SpanWatch& watch,
                   SpanTuning tuning = {}, WorkerPause* pause = nullptr);

// The other processes of a run spread over several (MPI), as the first
// process and every other one sees them. Every process runs its share of
// each round on its own threads; the first one alone reads and reports.
class Partners {
public:
    virtual ~Partners() = default;
    virtual int rank() const = 0;  // 0 for the first process
    // The thread count of every process, by rank: the weights of the split.
    virtual const std::vector<int>& weights() const = 0;
    // On the first process, before a dataset is split: the others join it
    // with the same parameters, flags and generator.
    virtual void begin(const RunParameters& prm, const GeometryFlags& flags,
                       const MTRandomState& gen) = 0;
    // On the first process, once the dataset's last round is combined. A
    // dataset begun and never ended (its run failed) leaves the others
    // inside its exchanges.
    virtual void end() = 0;
    // At the end of every round, on every process: this process's part in,
    // and t grown by every process's part (the chunk sums in chunk order).
    // True when any process stopped.
    virtual bool combine(const SpanResult& mine, RunTallies& t) = 0;
};

// The emissions of a dataset in rounds: of each round this process runs its
// share (share by partners' weights, or all of it without partners) on its
// threads, and the parts of all processes are added to t. Leaves gen where
// the one-thread loop leaves it. watch is this process's watch, given the
// counts of the current round's part so far; pause, if any, holds this
// process's workers. True when stopped.
bool splitrounds(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                 MTRandomState& gen, RunTallies& t, int threads, Partners* partners,
                 const SpanWatch& watch, WorkerPause* pause = nullptr);

// Draws per emission of the dataset (2 to 5).
int drawsper(const RunParameters& prm, const GeometryFlags& flags);

// std::thread::hardware_concurrency(), at least 1.
int allcores();

}  // namespace korvex
