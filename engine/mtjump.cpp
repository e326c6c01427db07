#include "engine/mtjump.h"

#include <NTL/GF2X.h>

#include <list>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace korvex {

// Found by Berlekamp-Massey from the top bits of 2 x 19937 outputs (the
// tests find it again). It is irreducible, so the top bits of any nonzero
// stream have it as their minimal polynomial.
const int mtcharacteristic[135] = {
    19937, 19314, 19087, 18860, 18691, 18633, 18406, 18237, 18179, 18068, 17952, 17841, 17783,
    17725, 17498, 17445, 17329, 17271, 17160, 17044, 16933, 16875, 16822, 16817, 16595, 16590,
    16537, 16421, 16368, 16363, 16252, 16141, 16136, 16025, 15967, 15909, 15682, 15629, 15576,
    15513, 15455, 15349, 15344, 15228, 15117, 15059, 15006, 15001, 14953, 14779, 14774, 14721,
    14605, 14552, 14547, 14436, 14325, 14320, 14209, 14151, 14093, 13866, 13813, 13760, 13697,
    13639, 13533, 13528, 13412, 13301, 13243, 13190, 13185, 13137, 12963, 12958, 12905, 12789,
    12736, 12731, 12673, 12620, 12509, 12504, 12393, 12335, 12277, 11997, 11944, 11881, 11838,
    11717, 11712, 11611, 11485, 11384, 11374, 11321, 11215, 11157, 11147, 11089, 10920, 10761,
    10693, 10128, 9969,  9901,  9505,  8206,  7979,  7752,  7583,  7525,  7477,  7129,  6569,
    6337,  5661,  4753,  4362,  4135,  3908,  3681,  3454,  3227,  3000,  2773,  2493,  1870,
    1643,  1585,  1416,  1189,  0};

namespace {

constexpr int n = 624;

const NTL::GF2XModulus& characteristic() {
    static const NTL::GF2XModulus modulus = [] {
        NTL::GF2X poly;
        for (const int e : mtcharacteristic) NTL::SetCoeff(poly, e);
        return NTL::GF2XModulus(poly);
    }();
    return modulus;
}

// x^e mod the characteristic polynomial: coefficient i in bit i % 64 of
// words[i / 64], degree + 1 coefficients.
struct PowerX {
    long terms = 0;
    std::vector<std::uint64_t> words;
    bool coefficient(long i) const {
        return (words[static_cast<std::size_t>(i / 64)] >> (i % 64)) & 1u;
    }
};

PowerX formpowerx(std::uint64_t e) {
    NTL::GF2X g;
    NTL::PowerXMod(g, NTL::conv<NTL::ZZ>(static_cast<unsigned long>(e)), characteristic());
    PowerX p;
    p.terms = NTL::deg(g) + 1;
    p.words.assign(static_cast<std::size_t>((p.terms + 63) / 64), 0);
    for (long i = 0; i < p.terms; ++i)
        if (NTL::IsOne(NTL::coeff(g, i)))
            p.words[static_cast<std::size_t>(i / 64)] |= std::uint64_t{1} << (i % 64);
    return p;
}

// x^e, kept for the jumps to come: a split run makes the same jumps again
// and again (one per thread and round, equal rounds), and forming the
// polynomial costs more than applying it. The polynomial is formed outside
// the lock, so that threads jumping at once form theirs side by side (NTL's
// shared modulus is only read); the lock guards the list alone. 1024 kept
// (2.5 KB each) serve the distinct distances of a run on hundreds of threads.
std::shared_ptr<const PowerX> powerx(std::uint64_t e) {
    static std::mutex lock;
    static std::list<std::pair<std::uint64_t, std::shared_ptr<const PowerX>>> recent;
    constexpr std::size_t kept = 1024;
    const auto find = [&]() -> std::shared_ptr<const PowerX> {
        for (auto it = recent.begin(); it != recent.end(); ++it) {
            if (it->first == e) {
                recent.splice(recent.begin(), recent, it);
                return it->second;
            }
        }
        return nullptr;
    };
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (auto found = find()) return found;
    }
    auto formed = std::make_shared<const PowerX>(formpowerx(e));
    const std::lock_guard<std::mutex> guard(lock);
    // Another thread may have formed the same one meanwhile.
    if (auto found = find()) return found;
    if (recent.size() == kept) recent.pop_back();
    recent.emplace_front(e, formed);
    return formed;
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
// word, so every word of the result is exact. ThreadSanitizer leaves it
// unchecked: it touches only this thread's buffer and state, and checking its
// twelve million accesses would make a checked split run a hundred times slower.
__attribute__((no_sanitize("thread"))) void advancewindow(std::uint32_t* mt, std::uint64_t words) {
    const std::shared_ptr<const PowerX> g = powerx(words - 1);
    const auto terms = static_cast<std::size_t>(g->terms);
    std::vector<std::uint32_t> buf(static_cast<std::size_t>(n) + terms + 1, 0u);
    std::uint32_t* w = buf.data();
    for (std::size_t i = terms; i-- > 0;) {
        if (i + 1 < terms) {
            step(w);
            ++w;
        }
        if (g->coefficient(static_cast<long>(i))) {
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
