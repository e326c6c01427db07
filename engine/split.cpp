#include "engine/split.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "engine/blockloop.h"
#include "engine/mtjump.h"

namespace korvex {

std::uint64_t emissioncount(double emissions) {
    if (emissions == 0) return 0;
    if (!(emissions >= 1)) return 1;
    return static_cast<std::uint64_t>(std::ceil(emissions));
}

Range share(Range whole, const std::vector<int>& weights, int index) {
    std::uint64_t total = 0, before = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (static_cast<int>(i) < index) before += static_cast<std::uint64_t>(weights[i]);
        total += static_cast<std::uint64_t>(weights[i]);
    }
    const std::uint64_t mine = static_cast<std::uint64_t>(weights[static_cast<std::size_t>(index)]);
    const std::uint64_t firstchunk = whole.first / chunksize;
    const std::uint64_t chunks = (whole.count + chunksize - 1) / chunksize;
    const auto cut = [&](std::uint64_t w) {
        const auto c =
            static_cast<std::uint64_t>(static_cast<unsigned __int128>(chunks) * w / total);
        return std::min((firstchunk + c) * chunksize, whole.end());
    };
    const std::uint64_t a = index == 0 ? whole.first : cut(before);
    const std::uint64_t b = cut(before + mine);
    return {a, b - a};
}

void addspan(RunTallies& total, const SpanResult& part) {
    const RunTallies& c = part.counts;
    for (const auto field : countfields) total.*field += c.*field;
    total.sourceinside = total.sourceinside || c.sourceinside;
    for (const PathSums& s : part.chunksums) {
        total.pathsum += s.path;
        total.pathsq += s.square;
    }
}

int drawsper(const RunParameters& prm, const GeometryFlags& flags) {
    return makesetup(prm, flags, Frame{}).draws;
}

int allcores() {
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? static_cast<int>(n) : 1;
}

namespace {

struct alignas(64) Progress {
    std::atomic<std::uint64_t> emitted{0};
    std::atomic<std::uint64_t> hits{0};
};

class Span {
public:
    Span(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
         const MTRandomState& gen, Range range, int threads, SpanTuning tuning, WorkerPause* pause)
        : prm_(prm),
          flags_(flags),
          frame_(frame),
          gen_(gen),
          range_(range),
          threads_(static_cast<int>(std::clamp<std::uint64_t>(
              (range.count + chunksize - 1) / chunksize, 1, static_cast<std::uint64_t>(threads)))),
          tuning_(tuning),
          pause_(pause),
          slots_(static_cast<std::size_t>(threads_)),
          progress_(std::make_unique<Progress[]>(static_cast<std::size_t>(threads_))),
          counts_(static_cast<std::size_t>(threads_)) {
        const std::vector<int> ones(static_cast<std::size_t>(threads_), 1);
        for (int w = 0; w < threads_; ++w) {
            const Range r = share(range, ones, w);
            slots_[static_cast<std::size_t>(w)] = {r.first, r.end()};
        }
        const std::uint64_t first = range.first / chunksize;
        const std::uint64_t last = (range.end() + chunksize - 1) / chunksize;
        result_.chunksums.assign(last - first, PathSums{});
    }

    SpanResult run(const SpanWatch& watch) {
        std::vector<std::thread> pool;
        // However this ends (a watch that throws included), the workers stop
        // and are joined before the span's state goes away.
        struct Joiner {
            Span& span;
            std::vector<std::thread>& pool;
            ~Joiner() {
                span.stop_ = true;
                span.release();
                if (span.pause_) span.pause_->wake();
                for (auto& t : pool)
                    if (t.joinable()) t.join();
            }
        } joiner{*this, pool};
        startworkers(pool);
        release();
        if (pool.empty()) {
            // Not one thread could be started: this thread runs the span
            // itself, the same emissions in the same chunks, and watches
            // between chunks.
            watch_ = &watch;
            guarded(0);
        }
        const int running = static_cast<int>(pool.size());
        while (!pool.empty()) {
            {
                std::unique_lock<std::mutex> lock(donelock_);
                if (donecv_.wait_for(lock, std::chrono::milliseconds(4),
                                     [this, running] { return finished_ == running; }))
                    break;
            }
            look(watch);
        }
        for (auto& t : pool) t.join();
        if (failure_) std::rethrow_exception(failure_);
        for (const RunTallies& c : counts_) {
            SpanResult part;
            part.counts = c;
            addspan(result_.counts, part);
        }
        result_.counts.pathsum = result_.counts.pathsq = 0;
        result_.stopped = stopped_;
        return std::move(result_);
    }

private:
    // The watch, given the counts of every worker so far; true stops them.
    void look(const SpanWatch& watch) {
        RunTallies sofar;
        for (int w = 0; w < threads_; ++w) {
            sofar.emitted += static_cast<double>(progress_[w].emitted.load());
            sofar.hits += static_cast<double>(progress_[w].hits.load());
        }
        if (watch && !stop_ && watch(sofar)) {
            stopped_ = true;
            stop_ = true;
            if (pause_) pause_->wake();
        }
    }

    struct Slot {
        std::uint64_t next = 0, end = 0;
        bool orphan = false;  // its worker never started: anyone takes it whole
    };

    // One thread per worker, as many as the system gives: a refused thread
    // (too many threads for the process, the user or the container) leaves
    // its share and those after it to the workers already running, or, when
    // not one starts, to the calling thread. The workers wait for release(),
    // so that none ends before every share without a worker is marked for
    // taking over.
    void startworkers(std::vector<std::thread>& pool) {
        for (int w = 0; w < threads_; ++w) {
            try {
                if (w >= tuning_.startable)
                    throw std::system_error(
                        std::make_error_code(std::errc::resource_unavailable_try_again));
                pool.emplace_back([this, w] { guarded(w); });
            } catch (const std::system_error&) {
                const std::lock_guard<std::mutex> lock(slotlock_);
                for (int o = w; o < threads_; ++o)
                    slots_[static_cast<std::size_t>(o)].orphan = true;
                return;
            }
        }
    }

    void release() {
        released_ = true;
        released_.notify_all();
    }

    void guarded(int w) {
        released_.wait(false);
        try {
            work(w);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(slotlock_);
            if (!failure_) failure_ = std::current_exception();
            stop_ = true;
        }
        const std::lock_guard<std::mutex> lock(donelock_);
        ++finished_;
        donecv_.notify_all();
    }

    // The next piece for worker w: from its own share, or from half of the
    // largest share left. False when nothing is left worth taking.
    bool take(int w, Range& piece) {
        const std::lock_guard<std::mutex> lock(slotlock_);
        Slot& mine = slots_[static_cast<std::size_t>(w)];
        if (mine.next >= mine.end) {
            std::size_t victim = 0;
            std::uint64_t most = 0;
            for (std::size_t v = 0; v < slots_.size(); ++v) {
                const Slot& s = slots_[v];
                if (s.orphan && s.end > s.next) {
                    // No one else would run it: taken whole, however small.
                    mine = {s.next, s.end};
                    slots_[v].next = s.end;
                    most = 0;
                    break;
                }
                if (s.end > s.next && s.end - s.next > most) {
                    most = s.end - s.next;
                    victim = v;
                }
            }
            if (mine.next >= mine.end) {
                if (most < tuning_.stealmin * chunksize) return false;
                const Range half = share({slots_[victim].next, most}, {1, 1}, 1);
                if (half.count == 0) return false;
                slots_[victim].end = half.first;
                mine = {half.first, half.end()};
            }
        }
        const std::uint64_t end =
            std::min(mine.end, (mine.next / chunksize + tuning_.grain) * chunksize);
        piece = {mine.next, end - mine.next};
        mine.next = end;
        return true;
    }

    void work(int w) {
        BlockRunner runner(prm_, flags_, frame_, bestisa());
        const auto k = static_cast<std::uint64_t>(runner.draws());
        auto gen = std::make_unique<MTRandomState>(gen_);
        std::uint64_t at = range_.first;  // the emission gen stands at
        // Kept on this thread's stack: the workers' tallies side by side
        // would share cache lines, and every block writes them.
        RunTallies t;
        struct Store {
            RunTallies& from;
            RunTallies& to;
            ~Store() { to = from; }
        } store{t, counts_[static_cast<std::size_t>(w)]};
        Progress& shown = progress_[w];
        const std::uint64_t firstchunk = range_.first / chunksize;
        Range piece;
        while (!stop_.load(std::memory_order_relaxed) && take(w, piece)) {
            // A share taken over may lie behind this worker's generator,
            // which cannot step back: it starts again from the span's.
            if (piece.first < at) {
                *gen = gen_;
                at = range_.first;
            }
            mtjump(*gen, (piece.first - at) * k);
            at = piece.first;
            while (at < piece.end()) {
                const std::uint64_t chunk = at / chunksize;
                const std::uint64_t chunkend = std::min(piece.end(), (chunk + 1) * chunksize);
                const double emitted = t.emitted, hits = t.hits;
                t.pathsum = 0;
                t.pathsqlanes = {};
                while (at < chunkend && !stop_.load(std::memory_order_relaxed)) {
                    if (pause_) {
                        pause_->wait(stop_);
                        if (stop_) break;
                    }
                    const int n =
                        static_cast<int>(std::min<std::uint64_t>(blocksize, chunkend - at));
                    runner.run(*gen, n, t, at);
                    at += static_cast<std::uint64_t>(n);
                }
                result_.chunksums[chunk - firstchunk] = {t.pathsum, foldsquares(t)};
                shown.emitted += static_cast<std::uint64_t>(t.emitted - emitted);
                shown.hits += static_cast<std::uint64_t>(t.hits - hits);
                if (at < chunkend) return;  // stopped
                if (watch_) look(*watch_);
            }
        }
    }

    const RunParameters& prm_;
    const GeometryFlags& flags_;
    const Frame& frame_;
    const MTRandomState& gen_;
    const Range range_;
    const int threads_;
    const SpanTuning tuning_;
    WorkerPause* const pause_;

    std::mutex slotlock_;
    std::vector<Slot> slots_;
    std::unique_ptr<Progress[]> progress_;
    std::vector<RunTallies> counts_;
    SpanResult result_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> released_{false};  // every thread that will start has
    bool stopped_ = false;
    std::exception_ptr failure_;
    const SpanWatch* watch_ = nullptr;  // set when the calling thread is the only worker

    std::mutex donelock_;
    std::condition_variable donecv_;
    int finished_ = 0;
};

}  // namespace

namespace {
// Rounds bound the chunk sums held at once (8 MB) however large the count.
// Between processes a round is shorter, so that a stop on one process
// reaches the others within a fraction of a second: about 2^24 emissions
// per thread.
constexpr std::uint64_t roundchunks = std::uint64_t{1} << 20;
constexpr std::uint64_t partnerchunks = 256;
}  // namespace

bool splitrounds(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                 MTRandomState& gen, RunTallies& t, int threads, Partners* partners,
                 const SpanWatch& watch, WorkerPause* pause) {
    const std::uint64_t n = emissioncount(prm.emissions);
    const auto k = static_cast<std::uint64_t>(drawsper(prm, flags));
    const std::vector<int> alone{1};
    const std::vector<int>& weights = partners ? partners->weights() : alone;
    const int rank = partners ? partners->rank() : 0;
    std::uint64_t roundsize = roundchunks * chunksize;
    if (partners) {
        std::uint64_t all = 0;
        for (const int w : weights) all += static_cast<std::uint64_t>(w);
        roundsize = std::min(roundsize, all * partnerchunks * chunksize);
    }
    auto at = std::make_unique<MTRandomState>(gen);
    std::uint64_t atemission = 0;
    bool stopped = false;
    for (std::uint64_t first = 0; first < n && !stopped;) {
        const Range round{first, std::min(n - first, roundsize)};
        const Range mine = share(round, weights, rank);
        SpanResult part;
        if (mine.count > 0) {
            mtjump(*at, (mine.first - atemission) * k);
            atemission = mine.first;
            part = runspan(prm, flags, frame, *at, mine, threads, watch, {}, pause);
        }
        if (partners) {
            stopped = partners->combine(part, t);
        } else {
            addspan(t, part);
            stopped = part.stopped;
        }
        first = round.end();
    }
    // Every emission asked for is counted once unless the run was stopped: a
    // share left undone must never pass for a result.
    if (!stopped && t.emitted != static_cast<double>(n)) {
        throw std::logic_error("internal error: a split run counted " +
                               std::to_string(static_cast<std::uint64_t>(t.emitted)) + " of " +
                               std::to_string(n) + " emissions");
    }
    mtjump(gen, static_cast<std::uint64_t>(t.emitted) * k);
    return stopped;
}

SpanResult runspan(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                   const MTRandomState& gen, Range range, int threads, const SpanWatch& watch,
                   SpanTuning tuning, WorkerPause* pause) {
    Span span(prm, flags, frame, gen, range, std::max(1, threads), tuning, pause);
    return span.run(watch);
}

}  // namespace korvex
