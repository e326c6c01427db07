#include "engine/mtjump.h"

#include <NTL/GF2X.h>
#include <NTL/vec_GF2.h>

#include <deque>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace korvex {

namespace {

constexpr int n = 624;
constexpr int degree = 19937;  // 624 * 32 - 31: only the top bit of the oldest word matters

// The characteristic polynomial of the recurrence, found once by
// Berlekamp-Massey from the top bits of 2 * 19937 outputs. It is irreducible,
// so the top bits of any nonzero stream have it as their minimal polynomial.
const NTL::GF2XModulus& characteristic() {
    static const NTL::GF2XModulus modulus = [] {
        const auto gen = mtcreate(4357);
        NTL::vec_GF2 bits;
        bits.SetLength(2 * degree);
        for (long i = 0; i < 2 * degree; ++i) bits[i] = (mtnext(*gen) >> 31) & 1u;
        NTL::GF2X poly;
        NTL::MinPolySeq(poly, bits, degree);
        if (NTL::deg(poly) != degree)
            throw std::logic_error("MT19937: wrong characteristic polynomial");
        return NTL::GF2XModulus(poly);
    }();
    return modulus;
}

// x^e mod the characteristic polynomial, coefficient i in bits[i]. A split
// run makes the same jumps again and again (equal shares, equal rounds), and
// forming the polynomial costs more than applying it, so the last few are
// kept. NTL objects are not shared between threads: one at a time.
std::vector<unsigned char> powerx(std::uint64_t e) {
    static std::mutex lock;
    static std::deque<std::pair<std::uint64_t, std::vector<unsigned char>>> recent;
    const std::lock_guard<std::mutex> guard(lock);
    for (const auto& [exponent, bits] : recent)
        if (exponent == e) return bits;
    const NTL::GF2XModulus& f = characteristic();
    NTL::GF2X g;
    NTL::PowerXMod(g, NTL::conv<NTL::ZZ>(static_cast<unsigned long>(e)), f);
    std::vector<unsigned char> bits(static_cast<std::size_t>(NTL::deg(g) + 1));
    for (long i = 0; i <= NTL::deg(g); ++i)
        bits[static_cast<std::size_t>(i)] = NTL::IsOne(NTL::coeff(g, i));
    if (recent.size() == 16) recent.pop_back();
    recent.emplace_front(e, bits);
    return bits;
}

// One step of the recurrence on the window w[0..623]: appends w[624]. Reads
// only the top bit of w[0], so a window whose oldest word carries stray low
// bits steps the same.
inline void step(std::uint32_t* w) {
    const std::uint32_t y = (w[0] & 0x80000000u) | (w[1] & 0x7FFFFFFFu);
    w[n] = w[397] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
}

// mt := the window `words` steps of the recurrence further, by Horner's rule
// on g(x) = x^(words - 1): sum g_i A^i (mt), then one plain step. The sum is
// exact on the 19937 bits that determine the future (the top bit of the
// oldest word and the 623 words after it); the last step drops the oldest
// word, so every word of the result is exact.
void advancewindow(std::uint32_t* mt, std::uint64_t words) {
    const std::vector<unsigned char> g = powerx(words - 1);
    std::vector<std::uint32_t> buf(static_cast<std::size_t>(n) + g.size() + 1, 0u);
    std::uint32_t* w = buf.data();
    for (std::size_t i = g.size(); i-- > 0;) {
        if (i + 1 < g.size()) {
            step(w);
            ++w;
        }
        if (g[i]) {
            for (int j = 0; j < n; ++j) w[j] ^= mt[j];
        }
    }
    step(w);
    ++w;
    for (int j = 0; j < n; ++j) mt[j] = w[j];
}

}  // namespace

void mtjump(MTRandomState& state, std::uint64_t steps) {
    if (steps == 0) return;
    // The next output is word mti of the window (mti = 624: the first word
    // of the next window). Drawing leaves the window on a block boundary with
    // mti in 1..624; the jumped state does the same.
    const std::uint64_t target = state.mti + steps;
    const std::uint64_t blocks = (target - 1) / n;
    state.mti = static_cast<std::uint32_t>(target - blocks * n);
    if (blocks == 0) return;
    advancewindow(state.mt, blocks * n);
    for (int i = 0; i < n; ++i) state.out[i] = mttemper(state.mt[i]);
}

}  // namespace korvex
