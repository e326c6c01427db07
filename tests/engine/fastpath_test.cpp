// The block loop against the plain loop, for every instruction set this
// processor runs: the same generator words, the same emission points and
// directions (to a few ulp where the vector sines are used), the same detector
// decisions, and the same tallies.
#include <gtest/gtest.h>

#include <time.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/blockloop.h"
#include "engine/detectors.h"
#include "engine/emissionloop.h"
#include "engine/run.h"
#include "engine/sampler.h"
#include "engine/split.h"
#include "testhost.h"

using namespace korvex;
using korvex::testing::RecordingHost;

namespace {

std::vector<Isa> supported() {
    std::vector<Isa> v;
    for (Isa i : {Isa::base, Isa::avx2, Isa::avx512})
        if (isasupported(i)) v.push_back(i);
    return v;
}

std::string nameof(Isa i) { return kernelset(i).name; }

// Distance in units in the last place between two doubles of the same sign.
long long ulps(double a, double b) {
    if (a == b) return 0;
    if ((a < 0) != (b < 0))
        return std::llabs(std::bit_cast<long long>(std::fabs(a))) +
               std::llabs(std::bit_cast<long long>(std::fabs(b)));
    return std::llabs(std::bit_cast<long long>(a) - std::bit_cast<long long>(b));
}

struct Case {
    std::string name;
    GeometryFlags flags;
    RunParameters prm;
};

// Every source kind, thin and thick, over every detector kind, 4 pi and 2 pi,
// unrotated and rotated; placed so that each pair has hits, misses and
// (for some) starts inside.
std::vector<Case> allcases() {
    std::vector<Case> cases;
    const char* sources[] = {"disc", "rectangle", "point"};
    const char* detectors[] = {"cuboid", "rectwindow", "discwindow", "cylinder", "sphere"};
    for (int s = 0; s < 3; ++s)
        for (int d = 0; d < 5; ++d)
            for (int variant = 0; variant < 8; ++variant) {
                const bool twopi = variant & 1, rotated = variant & 2, thick = variant & 4;
                if (s == 2 && thick && rotated) continue;
                Case c;
                c.flags = {.cylsrc = s != 1,
                           .cubsrc = s == 1,
                           .ptsrc = s == 2,
                           .cyldet = d == 2 || d == 3,
                           .cubdet = d == 0 || d == 1,
                           .sphdet = d == 4,
                           .twopisrc = twopi,
                           .fourpisrc = !twopi,
                           .discwindow = d == 2,
                           .rectwindow = d == 1};
                c.prm = {.r1 = 0.7,
                         .a1 = 1.2,
                         .b1 = 0.6,
                         .t1 = thick ? 0.4 : 0,
                         .r2 = 1,
                         .a2 = 1.6,
                         .b2 = 1.1,
                         .t2 = (d == 1 || d == 2) ? 0 : 0.9,
                         .a3 = 0.35,
                         .b3 = -0.2,
                         .c = (variant & 1) ? 0.8 : 0.3};  // some sources reach into the detector
                if (rotated) {
                    c.prm.rotx = degtorad(35);
                    c.prm.roty = degtorad(-70);
                    c.prm.rotz = degtorad(200);
                }
                c.name = std::string(sources[s]) + "/" + detectors[d] + (twopi ? "/2pi" : "/4pi") +
                         (rotated ? "/rotated" : "") + (thick ? "/thick" : "");
                cases.push_back(c);
            }
    return cases;
}

void expectsametallies(const RunTallies& a, const RunTallies& b, bool exactpath,
                       const std::string& what) {
    korvex::testing::expectsamecounts(a, b, what);
    if (exactpath) {
        EXPECT_EQ(a.pathsum, b.pathsum) << what;
        EXPECT_EQ(a.pathsq, b.pathsq) << what;
        EXPECT_EQ(a.pathsqlanes, b.pathsqlanes) << what;
    } else {
        EXPECT_NEAR(a.pathsum, b.pathsum, 1e-12 * std::fabs(a.pathsum)) << what;
        EXPECT_NEAR(a.pathsq, b.pathsq, 1e-12 * std::fabs(a.pathsq)) << what;
    }
}

}  // namespace

TEST(FastPath, EveryInstructionSetRegeneratesTheSameWords) {
    for (Isa isa : supported()) {
        auto a = mtcreate(5489);
        auto b = mtcreate(5489);
        for (int round = 0; round < 20; ++round) {
            mtregeneratescalar(*a);
            b->mti = 0;
            kernelset(isa).regenerate(b->mt, b->out);
            for (int i = 0; i < 624; ++i) {
                ASSERT_EQ(a->mt[i], b->mt[i]) << nameof(isa) << " round " << round << " word " << i;
                ASSERT_EQ(a->out[i], b->out[i]) << nameof(isa);
            }
        }
    }
}

TEST(FastPath, FillContinuesTheSameStream) {
    auto a = mtcreate(4357);
    auto b = mtcreate(4357);
    std::vector<std::uint32_t> words(5000);
    mtnext(*b);
    mtfill(*b, words.data(), 700);
    mtfill(*b, words.data() + 700, 4300);
    EXPECT_EQ(mtnext(*a), 3510405877u);
    for (std::uint32_t w : words) ASSERT_EQ(w, mtnext(*a));
    EXPECT_EQ(mtnext(*a), mtnext(*b));
}

// Each lane of the block sampler against sampleemission on the same draws.
TEST(FastPath, BlockSamplerMatchesTheSampler) {
    for (Isa isa : supported()) {
        long long worst = 0;
        for (const Case& c : allcases()) {
            const Frame frame = makeframe(c.prm, isrotated(c.prm));
            const SampleSetup setup = makesetup(c.prm, c.flags, frame);
            auto gen = mtcreate(2024);
            auto ref = mtcreate(2024);
            Block b;
            for (int rep = 0; rep < 4; ++rep) {
                for (int i = 0; i < blocksize; ++i)
                    for (int j = 0; j < setup.draws; ++j) b.u[j][i] = randomreal(*gen);
                kernelset(isa).sample[static_cast<int>(sourcekind(c.flags))](b, setup);
                for (int i = 0; i < blocksize; ++i) {
                    const Emission e = sampleemission(c.prm, c.flags, frame, *ref);
                    const double got[6] = {b.px[i], b.py[i], b.pz[i], b.qx[i], b.qy[i], b.qz[i]};
                    const double want[6] = {e.p.x, e.p.y, e.p.z, e.q.x, e.q.y, e.q.z};
                    for (int k = 0; k < 6; ++k) {
                        if (isa == Isa::base) {
                            ASSERT_EQ(got[k], want[k]) << c.name << " lane " << i;
                        } else {
                            ASSERT_NEAR(got[k], want[k], 1e-14) << nameof(isa) << " " << c.name;
                            if (std::fabs(want[k]) > 1e-3)
                                worst = std::max(worst, ulps(got[k], want[k]));
                        }
                    }
                }
            }
        }
        if (isa != Isa::base)
            std::printf("%s: emission coordinates within %lld ulp\n", nameof(isa).c_str(), worst);
    }
}

// The angle 2 pi u of the block sampler is the extended product rounded once,
// also for the values where a plain double product would differ.
TEST(FastPath, BlockAnglesUseTheExtendedProduct) {
    const GeometryFlags f{.ptsrc = true};
    const RunParameters prm;
    const Frame frame = makeframe(prm, false);
    const SampleSetup setup = makesetup(prm, f, frame);
    ASSERT_EQ(setup.draws, 2);
    std::vector<double> us = {0, 1, 0.5, 0.25, 1.0 / 3, realscale, 1 - realscale};
    auto gen = mtcreate(12345);
    while (us.size() % blocksize != 0 || us.size() < 200 * blocksize)
        us.push_back(randomreal(*gen));
    int differ = 0;
    for (size_t at = 0; at < us.size(); at += blocksize) {
        Block b;
        for (int i = 0; i < blocksize; ++i) {
            b.u[setup.polar][i] = 0.5;  // w = 0: the direction is (cos phi, sin phi, 0)
            b.u[setup.azimuth][i] = us[at + i];
        }
        kernelset(Isa::base).sample[static_cast<int>(SourceKind::point)](b, setup);
        for (int i = 0; i < blocksize; ++i) {
            const double phi = turn(us[at + i]);
            ASSERT_EQ(b.qx[i], std::cos(phi)) << us[at + i];
            ASSERT_EQ(b.qy[i], std::sin(phi)) << us[at + i];
            differ += std::cos(2 * std::numbers::pi * us[at + i]) != b.qx[i];
        }
    }
    EXPECT_GT(differ, 0);  // the test would notice a plain double product
}

// The vector sines and cosines stay within a few ulp of the scalar ones.
TEST(FastPath, VectorSinesAreCloseToScalar) {
    for (Isa isa : supported()) {
        alignas(64) double x[blocksize], s[blocksize], c[blocksize];
        auto gen = mtcreate(7);
        long long worst = 0;
        for (int rep = 0; rep < 4000; ++rep) {
            for (double& v : x) v = turn(randomreal(*gen));
            kernelset(isa).sines(x, s, c);
            for (int i = 0; i < blocksize; ++i) {
                worst = std::max({worst, ulps(s[i], std::sin(x[i])), ulps(c[i], std::cos(x[i]))});
            }
        }
        if (isa == Isa::base) {
            EXPECT_EQ(worst, 0);
        }
        EXPECT_LE(worst, 4) << nameof(isa);
        std::printf("%s: sin/cos within %lld ulp of the scalar functions\n", nameof(isa).c_str(),
                    worst);
    }
}

// Each lane of the block detector tests against the scalar test on the same
// rays: sampled ones and the hand-made edge rays of the detector tests.
TEST(FastPath, BlockDetectorsDecideLikeTheTests) {
    struct Ray {
        Vec3 p, q;
    };
    const std::vector<Ray> edges = {
        {{3, 0, 2}, {2, 0, 1}},        {{5, 1, 4}, {4, 1, 3}},
        {{0, 0, 1}, {1, 0, 0}},        {{1, 0, 0}, {2, 0, -1}},
        {{0.2, 0, 0}, {0.8, 0, -0.8}}, {{0.2, 0, 0}, {0.8, 0, 0.8}},
        {{0.5, 0, 10}, {0.5, 0, 9}},   {{-5, 0, -0.5}, {-4, 0, -0.5}},
        {{0, 0, 0}, {0.1, 0, -1}},     {{0, 0, 0}, {0.1, 0, 1}},
        {{2, 0, 1}, {1, 0, 0}},        {{0, 0, 1}, {0, 0, 0}},
        {{0, 0, 1}, {0, 0, 2}},        {{1, 0, 5}, {1, 0, 4}},
        {{0, 0, -0.5}, {0, 0, -1.5}},  {{0.8, 0.55, 0}, {0.8, 0.55, -1}},
        {{0, 0, -1}, {0.6, 0, -1.8}}};
    for (Isa isa : supported()) {
        for (const Case& c : allcases()) {
            if (c.prm.rotx != 0 || c.flags.twopisrc) continue;
            // The sizes the edge rays were drawn for: each meets the detector
            // at its rims, edges or surface.
            RunParameters prm = c.prm;
            switch (detectorkind(c.flags)) {
                case DetectorKind::cuboid: prm.a2 = 2, prm.b2 = 2, prm.t2 = 1; break;
                case DetectorKind::rectwindow: prm.a2 = 2, prm.b2 = 4; break;
                case DetectorKind::discwindow: prm.r2 = 1; break;
                case DetectorKind::cylinder: prm.r2 = 1, prm.t2 = 2; break;
                case DetectorKind::sphere: prm.r2 = 1; break;
            }
            const int kind = static_cast<int>(detectorkind(c.flags));
            auto gen = mtcreate(99);
            const Frame frame = makeframe(prm, false);
            Block b;
            for (int i = 0; i < blocksize; ++i) {
                const Emission e = i < int(edges.size())
                                       ? Emission{edges[i].p, edges[i].q}
                                       : sampleemission(prm, c.flags, frame, *gen);
                b.px[i] = e.p.x, b.py[i] = e.p.y, b.pz[i] = e.p.z;
                b.qx[i] = e.q.x, b.qy[i] = e.q.y, b.qz[i] = e.q.z;
            }
            kernelset(isa).detect[kind](b, prm);
            for (int i = 0; i < blocksize; ++i) {
                RunTallies one;
                RunTallies lane;
                const Vec3 p{b.px[i], b.py[i], b.pz[i]}, q{b.qx[i], b.qy[i], b.qz[i]};
                switch (detectorkind(c.flags)) {
                    case DetectorKind::cuboid: testcuboid(p, q, prm, one); break;
                    case DetectorKind::rectwindow: testrectwindow(p, q, prm, one); break;
                    case DetectorKind::discwindow: testdiscwindow(p, q, prm, one); break;
                    case DetectorKind::cylinder: testcylinder(p, q, prm, one); break;
                    case DetectorKind::sphere: testsphere(p, q, prm, one); break;
                }
                Block single = b;
                for (int k = 0; k < blocksize; ++k)
                    single.hit[k] = single.inside[k] = single.path[k] = 0;
                for (auto& row : single.count)
                    for (double& x : row) x = 0;
                single.hit[0] = b.hit[i];
                single.path[0] = b.path[i];
                single.inside[0] = b.inside[i];
                for (int r = 0; r < 6; ++r) single.count[r][0] = b.count[r][i];
                // one has emitted nothing, so its square went to lane 3,
                // as emission 3's would.
                kernelset(isa).tally[kind](single, 1, lane, 3);
                expectsametallies(lane, one, true,
                                  nameof(isa) + " " + c.name + " lane " + std::to_string(i));
            }
        }
    }
}

TEST(FastPath, WholeLoopsGiveTheSameTallies) {
    for (Isa isa : supported()) {
        for (const Case& c : allcases()) {
            RunParameters a = c.prm, b = c.prm;
            a.emissions = b.emissions = 3000.5;
            const Frame frame = makeframe(a, isrotated(a));
            auto ga = mtcreate(31337);
            auto gb = mtcreate(31337);
            RecordingHost ha, hb;
            RunTallies ta, tb;
            scalaremissionloop(a, c.flags, frame, *ga, ha, ta);
            blockemissionloop(b, c.flags, frame, *gb, hb, tb, isa);
            expectsametallies(tb, ta, isa == Isa::base, nameof(isa) + " " + c.name);
            EXPECT_EQ(hb.steps, ha.steps) << c.name;
            EXPECT_EQ(gb->mti, ga->mti) << c.name;
            EXPECT_EQ(gb->mt[0], ga->mt[0]) << c.name;
        }
    }
}

// Blocks end exactly at the progress steps, the polls and an abort.
TEST(FastPath, HostSeesTheSameCounts) {
    const GeometryFlags f{.cyldet = false, .sphdet = true};
    const RunParameters prm{.r1 = 1, .r2 = 2, .c = 2.5};
    for (Isa isa : supported()) {
        for (double emissions : {1.0, 2.5, 150.0, 129.0, 1000.0, 25000.0, 100000.0}) {
            for (int abortat : {0, 2}) {
                RunParameters a = prm, b = prm;
                a.emissions = b.emissions = emissions;
                auto ga = mtcreate(8), gb = mtcreate(8);
                RecordingHost ha(abortat), hb(abortat);
                RunTallies ta, tb;
                ha.lastemitted = &ta.emitted;
                hb.lastemitted = &tb.emitted;
                const Frame frame = makeframe(prm, false);
                const bool xa = scalaremissionloop(a, f, frame, *ga, ha, ta);
                const bool xb = blockemissionloop(b, f, frame, *gb, hb, tb, isa);
                const std::string what = nameof(isa) + " " + std::to_string(emissions);
                EXPECT_EQ(xa, xb) << what;
                EXPECT_EQ(ha.steps, hb.steps) << what;
                EXPECT_EQ(ha.polls, hb.polls) << what;
                EXPECT_EQ(a.emissions, b.emissions) << what;
                expectsametallies(tb, ta, isa == Isa::base, what);
            }
        }
    }
}

// Split over any number of threads, a run gives the tallies of the one-thread
// loop bit for bit, path sum included, and leaves the generator where that
// loop leaves it. The count is fractional and not a multiple of the chunk.
TEST(FastPath, SplitRunsMatchTheOneThreadLoop) {
    for (const Case& c : allcases()) {
        RunParameters one = c.prm;
        one.emissions = 2 * chunksize + 1000.5;
        const Frame frame = makeframe(one, isrotated(one));
        auto gone = mtcreate(4357);
        RecordingHost hone;
        RunTallies tone;
        emissionloop(one, c.flags, frame, *gone, hone, tone);
        for (int threads : {1, 2, 3, 7}) {
            RunParameters prm = c.prm;
            prm.emissions = one.emissions;
            auto gen = mtcreate(4357);
            RecordingHost host;
            RunTallies t;
            const std::string what = c.name + ", " + std::to_string(threads) + " threads";
            EXPECT_FALSE(splitemissionloop(prm, c.flags, frame, *gen, host, t, threads)) << what;
            korvex::testing::expectsamecounts(t, tone, what);
            EXPECT_EQ(t.pathsum, tone.pathsum) << what;
            EXPECT_EQ(t.pathsq, tone.pathsq) << what;
            EXPECT_EQ(gen->mti, gone->mti) << what;
            EXPECT_TRUE(std::equal(gen->mt, gen->mt + 624, gone->mt)) << what;
        }
    }
}

// Workers that run out take half of another's share, wherever it lies (also
// behind their own generator): with every piece one chunk long and any share
// worth taking, the parts still add up to the one-thread loop's tallies. So
// do the shares of threads the system would not start, taken whole however
// small; with no thread at all the calling thread runs it, and still hears a
// stop.
TEST(FastPath, SharesTakenOverGiveTheSameTallies) {
    const GeometryFlags f{.cyldet = false, .sphdet = true};
    RunParameters prm{.r1 = 1, .r2 = 2, .c = 2.5, .emissions = 40 * chunksize + 333};
    const Frame frame = makeframe(prm, false);
    auto gone = mtcreate(21);
    RecordingHost host;
    RunTallies one;
    emissionloop(prm, f, frame, *gone, host, one);
    const Range all{0, emissioncount(prm.emissions)};
    const struct {
        int threads;
        SpanTuning tuning;
    } cases[] = {
        {7, {.grain = 1, .stealmin = 1}},
        {7, {.grain = 1, .stealmin = 1}},
        {7, {.grain = 1, .stealmin = 1}},
        {7, {.startable = 1}},
        {7, {.startable = 3}},
        {100000, {.startable = 5}},
        {4, {.startable = 0}},
    };
    for (const auto& c : cases) {
        const std::string what =
            std::to_string(c.threads) + " threads, " + std::to_string(c.tuning.startable);
        auto gen = mtcreate(21);
        const SpanResult part = runspan(prm, f, frame, *gen, all, c.threads, {}, c.tuning);
        RunTallies t;
        addspan(t, part);
        korvex::testing::expectsamecounts(t, one, what);
        EXPECT_EQ(t.pathsum, one.pathsum) << what;
        EXPECT_EQ(t.pathsq, one.pathsq) << what;
    }
    auto gen = mtcreate(21);
    const SpanResult stopped = runspan(prm, f, frame, *gen, all, 4,
                                       [](const RunTallies&) { return true; }, {.startable = 0});
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.counts.emitted, static_cast<double>(chunksize));
}

// Chunk by chunk, the path sum stays within 1e-12 of the sum taken emission
// by emission.
TEST(FastPath, ChunkedPathSumIsCloseToThePlainSum) {
    const GeometryFlags f{};
    RunParameters prm{.r1 = 1, .r2 = 2, .t2 = 1, .c = 0.5, .emissions = 5 * chunksize + 7};
    const Frame frame = makeframe(prm, false);
    auto ga = mtcreate(99), gb = mtcreate(99);
    RunTallies plain, chunked;
    for (double i = 0; i < prm.emissions; ++i) {
        const Emission e = sampleemission(prm, f, frame, *ga);
        testcylinder(e.p, e.q, prm, plain);
    }
    RecordingHost host;
    emissionloop(prm, f, frame, *gb, host, chunked);
    EXPECT_EQ(chunked.hits, plain.hits);
    EXPECT_NE(chunked.pathsum, 0);
    EXPECT_NEAR(chunked.pathsum, plain.pathsum, 1e-12 * plain.pathsum);
}

// An abort stops every thread; the tallies cover exactly the emissions
// completed, and the count becomes the number emitted. The host aborts at the
// first poll after a progress step, so some emissions are done however slowly
// the threads start. While it makes up its mind (as the window asks the user)
// it holds the workers: they stand still, using next to no processor time
// next to what they used before over as long.
TEST(FastPath, SplitAbortCoversTheCompletedEmissions) {
    struct AbortAfterStep : RecordingHost {
        bool pollabort() override {
            RecordingHost::pollabort();
            if (steps.empty()) return false;
            const auto cpu = [] {
                timespec ts{};
                clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
                return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
            };
            const auto over = [&](auto wait) {
                const double before = cpu();
                std::this_thread::sleep_for(wait);
                return cpu() - before;
            };
            runningcpu = over(std::chrono::milliseconds(200));
            holdworkers();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the current blocks end
            heldcpu = over(std::chrono::milliseconds(200));
            return true;
        }
        double runningcpu = -1, heldcpu = -1;
    };
    const GeometryFlags f{};
    const double count = 1e9;
    RunParameters prm{.r1 = 1, .r2 = 2, .t2 = 1, .c = 0.5, .emissions = count};
    const Frame frame = makeframe(prm, false);
    auto gen = mtcreate(7);
    AbortAfterStep host;
    RunTallies t;
    EXPECT_TRUE(splitemissionloop(prm, f, frame, *gen, host, t, 2));
    EXPECT_GE(host.heldcpu, 0);
    EXPECT_LT(host.heldcpu * 10, host.runningcpu)
        << host.heldcpu << " s against " << host.runningcpu;
    ASSERT_EQ(host.steps.size(), 1u);
    EXPECT_GE(t.emitted, host.steps[0]);
    EXPECT_LT(t.emitted, count);
    EXPECT_EQ(prm.emissions, t.emitted);
    EXPECT_GT(t.hits, 0);
    EXPECT_LT(t.hits, t.emitted);
}
