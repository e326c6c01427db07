#include "engine/blockloop.h"
#include "engine/emissionloop.h"
#include "engine/split.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace korvex {

SampleSetup makesetup(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame) {
    SampleSetup s;
    s.r1 = prm.r1;
    s.a1 = prm.a1;
    s.b1 = prm.b1;
    s.t1 = prm.t1;
    s.fourpi = flags.fourpisrc;
    s.thick = prm.t1 > 0;
    s.rotated = frame.rotated;
    s.frame = frame;
    // Draw order: lateral pair (not for a point), depth (thick only), polar,
    // azimuth.
    int slot = 0;
    s.lateral = slot;
    if (sourcekind(flags) != SourceKind::point) slot += 2;
    s.depth = slot;
    if (s.thick) ++slot;
    s.polar = slot++;
    s.azimuth = slot++;
    s.draws = slot;
    return s;
}

namespace {

// Emissions that can run before the next progress step, poll or end, so that
// none of them falls inside a block: every emission but the block's last
// leaves stepcount <= stepsize, pollcount < pollinterval and emitted < emissions.
int blocklength(double emitted, double emissions, double stepcount, double stepsize,
                int pollcount) {
    double n = blocksize;
    n = std::min(n, static_cast<double>(pollinterval - pollcount));
    const double toprogress = std::floor(stepsize - stepcount) + 1;
    if (toprogress >= 1) n = std::min(n, toprogress);  // NaN: never steps
    else if (stepcount + 1 > stepsize) n = 1;
    const double toend = std::ceil(emissions - emitted);
    n = toend >= 1 ? std::min(n, toend) : 1;
    int len = static_cast<int>(n);
    // Guard against rounding in the differences above.
    while (len > 1 && (stepcount + (len - 1) > stepsize || !(emitted + (len - 1) < emissions)))
        --len;
    return len;
}

// Draw j of emission i, the generator's words in their usual order, spread
// into one array per draw. Every lane of the block is filled (those past the
// block's emissions from stale words, never tallied), so the loops have a
// fixed length and a known stride and vectorise.
template <int K>
void spreadbase(Block& b) {
    for (int j = 0; j < K; ++j)
        for (int i = 0; i < blocksize; ++i)
            b.u[j][i] = static_cast<double>(b.raw[i * K + j]) * realscale;
}

#if defined(__x86_64__) && defined(__GNUC__)
template <int K>
__attribute__((target("avx2"))) void spreadavx2(Block& b) {
    for (int j = 0; j < K; ++j)
        for (int i = 0; i < blocksize; ++i)
            b.u[j][i] = static_cast<double>(b.raw[i * K + j]) * realscale;
}
#endif

using Spread = void (*)(Block& b);

Spread spreadfor(int draws, Isa isa) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (isa != Isa::base) {
        switch (draws) {
            case 2: return spreadavx2<2>;
            case 3: return spreadavx2<3>;
            case 4: return spreadavx2<4>;
            default: return spreadavx2<5>;
        }
    }
#endif
    (void)isa;
    switch (draws) {
        case 2: return spreadbase<2>;
        case 3: return spreadbase<3>;
        case 4: return spreadbase<4>;
        default: return spreadbase<5>;
    }
}

}  // namespace

BlockRunner::BlockRunner(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                         Isa isa)
    : prm_(prm), setup_(makesetup(prm, flags, frame)), block_(std::make_unique<Block>()) {
    const KernelSet& ks = kernelset(isa);
    sample_ = ks.sample[static_cast<int>(sourcekind(flags))];
    const int det = static_cast<int>(detectorkind(flags));
    detect_ = ks.detect[det];
    tally_ = ks.tally[det];
    spread_ = spreadfor(setup_.draws, isa);
}

void BlockRunner::run(MTRandomState& gen, int n, RunTallies& t, std::uint64_t first) {
    Block& b = *block_;
    mtfill(gen, b.raw, n * setup_.draws);
    spread_(b);
    sample_(b, setup_);
    detect_(b, prm_);
    tally_(b, n, t, first);
    t.emitted += n;
}

bool blockemissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                       MTRandomState& gen, LoopHost& host, RunTallies& t, Isa isa) {
    if (prm.emissions == 0) return false;
    BlockRunner runner(prm, flags, frame, isa);
    Checkpoints cp(prm.emissions);
    ChunkedPath path;
    std::uint64_t inchunk = 0;
    bool aborted = false;
    for (;;) {
        int n = blocklength(t.emitted, prm.emissions, cp.stepcount, cp.stepsize, cp.pollcount);
        n = static_cast<int>(std::min<std::uint64_t>(n, chunksize - inchunk));
        runner.run(gen, n, t, static_cast<std::uint64_t>(t.emitted));
        inchunk += n;
        if (inchunk == chunksize) {
            path.close(t);
            inchunk = 0;
        }
        if (cp.pass(n, prm, host, t)) aborted = true;
        if (!(t.emitted < prm.emissions)) break;
    }
    path.finish(t);
    return aborted;
}

}  // namespace korvex
