// MT19937 (Matsumoto and Nishimura, 1998) with its original 1998 seeding
// by the multiplier 69069. std::mt19937 seeds differently, so the state is
// our own. randomreal maps an output onto the closed interval [0, 1].
#pragma once

#include <cstdint>
#include <memory>

namespace korvex {

struct MTRandomState {
    std::uint32_t mt[624];
    std::uint32_t mti;          // next word to output; 624 = regenerate first
    std::uint32_t reserved[2];  // 0 and 0xFFFFFFFF at creation; never read
    // The tempered outputs of mt[0..623], written with mt at each
    // regeneration, so that drawing is a load (filled only then: valid while
    // mti < 624).
    alignas(64) std::uint32_t out[624];
};

// mt[0] = seed, mt[i] = mt[i-1] * 69069 mod 2^32.
void mtinit(MTRandomState& state, std::uint32_t seed);

// A fresh state for the seed, with mti = 624.
std::unique_ptr<MTRandomState> mtcreate(std::uint32_t seed);

// Regenerates all 624 words in place, tempers them into out and sets mti to
// 0. Uses the widest code the processor supports; every width gives the same
// words.
void mtregenerate(MTRandomState& state);

// The same, one word at a time: the reference for the wider code.
void mtregeneratescalar(MTRandomState& state);

// The next tempered 32-bit output.
inline std::uint32_t mtnext(MTRandomState& state) {
    // mti is 624 only when the block is used up; >= keeps a damaged state
    // from reading past the buffer.
    if (state.mti >= 624) mtregenerate(state);
    return state.out[state.mti++];
}

// The next count outputs, in order, into dst.
void mtfill(MTRandomState& state, std::uint32_t* dst, int count);

// The output transform of one state word.
constexpr std::uint32_t mttemper(std::uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// 2^-32 + 2^-64 (bit pattern 0x3DF0000000100000), the double nearest to
// 1 / (2^32 - 1): the product with an output needs at most 64 bits, so one
// double multiplication rounds it exactly once.
inline constexpr double realscale = 0x1.00000001p-32;

// The next output times (2^-32 + 2^-64): 0 gives 0.0, 4294967295 gives 1.0.
inline double randomreal(MTRandomState& state) {
    return static_cast<double>(mtnext(state)) * realscale;
}

// The seed of one run command from a clock value: one step of the LCG
// s = s * 134775813 + 1, then ((s * 4294967294) >> 32) + 1, in 1..4294967294.
std::uint32_t runseedfrom(std::uint32_t clockvalue);

// runseedfrom applied to the low 32 bits of a high-resolution clock.
std::uint32_t runseed();

}  // namespace korvex
