// The emission loop in blocks: the draws of up to blocksize emissions are
// taken from the generator in their usual order and spread into one array per
// draw; then every emission of the block is sampled, then tested, array by
// array, in loops the compiler turns into vector code. A block always ends at
// the next progress step, poll or end of the loop, so the host sees the same
// emission counts as with the plain loop.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/geometry.h"
#include "engine/isa.h"
#include "engine/kinds.h"
#include "engine/mtrandom.h"
#include "engine/run.h"
#include "engine/tallies.h"

namespace korvex {

inline constexpr int blocksize = 128;

// The working arrays of one block; every kernel runs over all blocksize
// lanes (lanes past the block's emissions hold stale values and are never
// tallied).
struct alignas(64) Block {
    double u[5][blocksize];  // draws, by slot
    double phi1[blocksize], phi2[blocksize];
    double sin1[blocksize], cos1[blocksize], sin2[blocksize], cos2[blocksize];
    double fix[blocksize];  // 1 where an angle needs the extended product
    double px[blocksize], py[blocksize], pz[blocksize];
    double qx[blocksize], qy[blocksize], qz[blocksize];
    double hit[blocksize], path[blocksize], inside[blocksize];
    double count[6][blocksize];  // wall or face crossings
    std::uint32_t raw[5 * blocksize];
};

// What the sampler of a block reads; the slots say which draw array feeds
// which quantity.
struct SampleSetup {
    double r1 = 0, a1 = 0, b1 = 0, t1 = 0;
    bool fourpi = true, thick = false, rotated = false;
    Frame frame;
    int draws = 0;  // per emission
    int lateral = 0, depth = 0, polar = 0, azimuth = 0;
};

SampleSetup makesetup(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame);

// Runs emissions a block at a time with the kernels of one instruction set,
// for the loop below and for the workers of a split run.
class BlockRunner {
public:
    BlockRunner(const RunParameters& prm, const GeometryFlags& flags, const Frame& frame, Isa isa);
    // The next n (1 to blocksize) emissions from gen, the first of them
    // emission first of the dataset, added to t (emitted included).
    void run(MTRandomState& gen, int n, RunTallies& t, std::uint64_t first);
    int draws() const { return setup_.draws; }

private:
    const RunParameters& prm_;
    SampleSetup setup_;
    SampleKernel sample_;
    DetectKernel detect_;
    TallyKernel tally_;
    void (*spread_)(Block& b);
    std::unique_ptr<Block> block_;
};

// The emission loop with the kernels of one instruction set.
bool blockemissionloop(RunParameters& prm, const GeometryFlags& flags, const Frame& frame,
                       MTRandomState& gen, LoopHost& host, RunTallies& t, Isa isa);

}  // namespace korvex
