#include <NTL/GF2X.h>
#include <NTL/vec_GF2.h>
#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <sstream>

#include "engine/mtjump.h"
#include "engine/mtrandom.h"

using namespace korvex;

TEST(Generator, KnownOutputsForSeed4357) {
    auto s = mtcreate(4357);
    const std::uint32_t expected[] = {3510405877u, 4290933890u, 2191955339u, 564929546u,
                                      152112058u};
    for (std::uint32_t e : expected) EXPECT_EQ(mtnext(*s), e);
    auto r = mtcreate(4357);
    EXPECT_EQ(randomreal(*r), 0.8173300600185361);
}

TEST(Generator, KnownOutputsForSeed1) {
    auto s = mtcreate(1);
    EXPECT_EQ(mtnext(*s), 3796174982u);
    EXPECT_EQ(mtnext(*s), 4182529786u);
    EXPECT_EQ(mtnext(*s), 2180050607u);
}

TEST(Generator, CreationAndFirstRegeneration) {
    auto s = mtcreate(4357);
    EXPECT_EQ(s->mti, 624u);
    EXPECT_EQ(s->reserved[0], 0u);
    EXPECT_EQ(s->reserved[1], 0xFFFFFFFFu);
    EXPECT_EQ(s->mt[0], 4357u);
    EXPECT_EQ(s->mt[2], 4357u * 69069u * 69069u);
    mtnext(*s);
    EXPECT_EQ(s->mti, 1u);
}

// The same twister, run by the standard library from our seeded words, must
// agree output for output across several regenerations; and the 625th output
// comes from the second regeneration, the 624 before it from mt[0..623].
TEST(Generator, MatchesStandardTwisterAcrossRegenerations) {
    MTRandomState seeded{};
    mtinit(seeded, 19650218u);
    std::stringstream text;
    for (std::uint32_t w : seeded.mt) text << w << ' ';
    text << 624;
    std::mt19937 reference;
    text >> reference;

    auto s = mtcreate(19650218u);
    for (int i = 0; i < 624; ++i) {
        const std::uint32_t out = mtnext(*s);
        ASSERT_EQ(out, reference()) << "output " << i + 1;
        ASSERT_EQ(out, mttemper(s->mt[i]));
    }
    EXPECT_EQ(s->mti, 624u);
    const std::uint32_t before = s->mt[0];
    EXPECT_EQ(mtnext(*s), reference());
    EXPECT_NE(s->mt[0], before);
    EXPECT_EQ(s->mti, 1u);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(mtnext(*s), reference()) << "output " << 626 + i;
}

TEST(Generator, RealScaleReachesBothEnds) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(realscale), 0x3DF0000000100000u);
    EXPECT_EQ(0.0 * realscale, 0.0);
    EXPECT_EQ(4294967295.0 * realscale, 1.0);
    EXPECT_LT(4294967294.0 * realscale, 1.0);
}

TEST(Generator, RunSeedIsNeverZero) {
    // Clock values whose LCG step gives s = 0 and s = 2^32 - 1.
    std::uint32_t inv = 134775813u;  // Newton iteration for the inverse mod 2^32
    for (int i = 0; i < 5; ++i) inv *= 2u - 134775813u * inv;
    ASSERT_EQ(inv * 134775813u, 1u);
    const std::uint32_t forzero = (0u - 1u) * inv;
    const std::uint32_t formax = (0xFFFFFFFFu - 1u) * inv;
    EXPECT_EQ(runseedfrom(forzero), 1u);
    EXPECT_EQ(runseedfrom(formax), 4294967294u);
    for (std::uint32_t c = 0; c < 100000; c += 7) ASSERT_NE(runseedfrom(c), 0u);
}

// The stored characteristic polynomial is the minimal polynomial of the top
// output bits, found again by Berlekamp-Massey, and has the full degree.
TEST(Generator, CharacteristicPolynomialIsRebuilt) {
    auto gen = mtcreate(4357);
    NTL::vec_GF2 bits;
    bits.SetLength(2 * 19937);
    for (long i = 0; i < bits.length(); ++i) bits[i] = (mtnext(*gen) >> 31) & 1u;
    NTL::GF2X found;
    NTL::MinPolySeq(found, bits, 19937);
    NTL::GF2X stored;
    for (const int e : mtcharacteristic) NTL::SetCoeff(stored, e);
    EXPECT_EQ(NTL::deg(stored), 19937);
    EXPECT_TRUE(found == stored);
}

// A jump must leave the state exactly where drawing leaves it: the same words,
// the same mti, the same outputs after. From a fresh state and from one in
// the middle of a block; small jumps, block edges and a long one.
TEST(Generator, JumpMatchesDrawing) {
    const std::uint64_t jumps[] = {0, 1, 623, 624, 625, 1000003};
    for (const int before : {0, 5}) {
        for (const std::uint64_t j : jumps) {
            auto drawn = mtcreate(4357);
            for (int i = 0; i < before; ++i) mtnext(*drawn);
            auto jumped = std::make_unique<MTRandomState>(*drawn);
            for (std::uint64_t i = 0; i < j; ++i) mtnext(*drawn);
            mtjump(*jumped, j);
            const std::string what = std::to_string(before) + " then " + std::to_string(j);
            ASSERT_EQ(jumped->mti, drawn->mti) << what;
            EXPECT_TRUE(std::equal(drawn->mt, drawn->mt + 624, jumped->mt)) << what;
            for (int i = 0; i < 1300; ++i) ASSERT_EQ(mtnext(*jumped), mtnext(*drawn)) << what;
        }
    }
    // Two jumps make one.
    auto once = mtcreate(1);
    auto twice = mtcreate(1);
    mtjump(*once, 5000000011u);
    mtjump(*twice, 3000000007u);
    mtjump(*twice, 2000000004u);
    EXPECT_EQ(once->mti, twice->mti);
    for (int i = 0; i < 700; ++i) ASSERT_EQ(mtnext(*once), mtnext(*twice));
}
