#include "engine/mtrandom.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "engine/isa.h"

namespace korvex {

namespace {
constexpr std::uint32_t upper = 0x80000000u;
constexpr std::uint32_t lower = 0x7FFFFFFFu;
constexpr std::uint32_t mag01[2] = {0u, 0x9908B0DFu};
}  // namespace

void mtinit(MTRandomState& state, std::uint32_t seed) {
    state.mt[0] = seed;
    for (int i = 1; i < 624; ++i) state.mt[i] = state.mt[i - 1] * 69069u;
}

std::unique_ptr<MTRandomState> mtcreate(std::uint32_t seed) {
    auto state = std::make_unique<MTRandomState>();
    mtinit(*state, seed);
    state->mti = 624;
    state->reserved[0] = 0;
    state->reserved[1] = 0xFFFFFFFFu;
    return state;
}

void mtregeneratescalar(MTRandomState& state) {
    std::uint32_t* mt = state.mt;
    int k = 0;
    for (; k < 227; ++k) {
        const std::uint32_t y = (mt[k] & upper) | (mt[k + 1] & lower);
        mt[k] = mt[k + 397] ^ (y >> 1) ^ mag01[y & 1];
    }
    for (; k < 623; ++k) {
        const std::uint32_t y = (mt[k] & upper) | (mt[k + 1] & lower);
        mt[k] = mt[k - 227] ^ (y >> 1) ^ mag01[y & 1];
    }
    const std::uint32_t y = (mt[623] & upper) | (mt[0] & lower);
    mt[623] = mt[396] ^ (y >> 1) ^ mag01[y & 1];
    for (int i = 0; i < 624; ++i) state.out[i] = mttemper(mt[i]);
    state.mti = 0;
}

void mtregenerate(MTRandomState& state) {
    static const Regenerate regenerate = kernelset(bestisa()).regenerate;
    regenerate(state.mt, state.out);
    state.mti = 0;
}

void mtfill(MTRandomState& state, std::uint32_t* dst, int count) {
    while (count > 0) {
        if (state.mti >= 624) mtregenerate(state);
        const int n = std::min<int>(count, 624 - static_cast<int>(state.mti));
        std::memcpy(dst, state.out + state.mti, sizeof(std::uint32_t) * n);
        state.mti += n;
        dst += n;
        count -= n;
    }
}

std::uint32_t runseedfrom(std::uint32_t clockvalue) {
    const std::uint32_t s = clockvalue * 134775813u + 1u;
    return static_cast<std::uint32_t>((std::uint64_t{s} * 4294967294u) >> 32) + 1u;
}

std::uint32_t runseed() {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return runseedfrom(static_cast<std::uint32_t>(ticks));
}

}  // namespace korvex
