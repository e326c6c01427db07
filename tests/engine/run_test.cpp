#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/emissionloop.h"
#include "engine/lengths.h"
#include "engine/run.h"
#include "testhost.h"

using namespace korvex;
using korvex::testing::RecordingHost;

namespace {

// A point source above a disc window: the cheapest consistent dataset.
struct Dataset {
    RunParameters prm;
    GeometryFlags flags;
    Dataset(double emissions) {
        flags.ptsrc = true;
        flags.discwindow = true;
        prm.r2 = 1;
        prm.c = 1;
        prm.emissions = emissions;
    }
};

RunTallies loop(Dataset& d, RecordingHost& host, bool* aborted = nullptr) {
    auto gen = mtcreate(4357);
    RunTallies t;
    host.lastemitted = &t.emitted;
    const bool a = emissionloop(d.prm, d.flags, makeframe(d.prm, false), *gen, host, t);
    if (aborted) *aborted = a;
    return t;
}

}  // namespace

TEST(EmissionLoop, CountsFromTheEmissionCount) {
    struct Case {
        double emissions, emitted;
    } cases[] = {{2.5, 3}, {0, 0}, {0.5, 1}, {-3, 1}, {1, 1}, {7, 7}};
    for (const Case& c : cases) {
        Dataset d(c.emissions);
        RecordingHost host;
        EXPECT_EQ(loop(d, host).emitted, c.emitted) << "count " << c.emissions;
        EXPECT_EQ(d.prm.emissions, c.emissions);
    }
}

TEST(EmissionLoop, NoEmissionDrawsNothing) {
    Dataset d(0);
    auto gen = mtcreate(1);
    RecordingHost host;
    RunTallies t;
    emissionloop(d.prm, d.flags, makeframe(d.prm, false), *gen, host, t);
    EXPECT_EQ(gen->mti, 624u);
    EXPECT_TRUE(host.steps.empty());
}

TEST(EmissionLoop, ProgressEveryIntegerPartOfStepsizePlusOne) {
    {
        Dataset d(150);  // stepsize 1.5: every 2 emissions, 75 steps
        RecordingHost host;
        loop(d, host);
        ASSERT_EQ(host.steps.size(), 75u);
        for (size_t i = 0; i < host.steps.size(); ++i) EXPECT_EQ(host.steps[i], 2.0 * (i + 1));
    }
    {
        Dataset d(1000);  // stepsize 10: every 11 emissions, 90 steps
        RecordingHost host;
        loop(d, host);
        ASSERT_EQ(host.steps.size(), 90u);
        EXPECT_EQ(host.steps.front(), 11);
        EXPECT_EQ(host.steps.back(), 990);
    }
    {
        Dataset d(1);
        RecordingHost host;
        loop(d, host);
        EXPECT_EQ(host.steps, std::vector<double>{1});
    }
}

TEST(EmissionLoop, PollEvery10001AndAbort) {
    {
        Dataset d(50000);
        RecordingHost host;
        bool aborted = true;
        loop(d, host, &aborted);
        EXPECT_FALSE(aborted);
        EXPECT_EQ(host.polls, (std::vector<double>{10001, 20002, 30003, 40004}));
    }
    {
        Dataset d(100000);
        RecordingHost host(3);
        bool aborted = false;
        const RunTallies t = loop(d, host, &aborted);
        EXPECT_TRUE(aborted);
        EXPECT_EQ(t.emitted, 30003);
        EXPECT_EQ(d.prm.emissions, 30003);
        EXPECT_EQ(host.polls.size(), 3u);
    }
}

TEST(Dataset, RefusesInconsistentFlags) {
    auto bad = [](auto change) {
        Dataset d(10);
        change(d.flags);
        return checkdataset(d.flags, d.prm);
    };
    EXPECT_EQ(bad([](GeometryFlags&) {}), DatasetProblem::none);
    EXPECT_EQ(bad([](GeometryFlags& f) { f.sphdet = true; }), DatasetProblem::inconsistentflags);
    EXPECT_EQ(bad([](GeometryFlags& f) { f.cyldet = false; }), DatasetProblem::inconsistentflags);
    EXPECT_EQ(bad([](GeometryFlags& f) { f.cubsrc = true; }), DatasetProblem::inconsistentflags);
    EXPECT_EQ(bad([](GeometryFlags& f) { f.cylsrc = false; }), DatasetProblem::inconsistentflags);
    EXPECT_EQ(bad([](GeometryFlags& f) { f.rectwindow = true; }),
              DatasetProblem::inconsistentflags);
    EXPECT_EQ(bad([](GeometryFlags& f) {
                  f.cylsrc = false;
                  f.cubsrc = true;
              }),
              DatasetProblem::inconsistentflags);  // a point that is also a cuboid
}

TEST(Dataset, RefusesCountsThatCannotFinish) {
    Dataset d(9007199254740992.0);  // 2^53 still ends
    EXPECT_EQ(checkdataset(d.flags, d.prm), DatasetProblem::none);
    d.prm.emissions = 9007199254740994.0;
    EXPECT_EQ(checkdataset(d.flags, d.prm), DatasetProblem::toomanyemissions);
    d.prm.emissions = 1.0 / 0.0;
    EXPECT_EQ(checkdataset(d.flags, d.prm), DatasetProblem::toomanyemissions);
}

// Lengths must be 0 or of size 1e-6 to 1e8; only the lengths the shapes use
// count, and d stands for a3 and b3 where it places the source.
TEST(Dataset, RefusesLengthsOutsideTheRange) {
    const double below = std::nextafter(1e-6, 0.0), above = std::nextafter(1e8, 1e9);
    const struct {
        bool cuboids;  // rectangle over a cuboid, else point over a disc window
        double RunParameters::*field;
        double value;
        const char* refused;  // nullptr: accepted
    } cases[] = {
        {false, &RunParameters::r2, 1e-6, nullptr},  {false, &RunParameters::r2, 1e8, nullptr},
        {false, &RunParameters::c, -1e8, nullptr},   {false, &RunParameters::c, 0, nullptr},
        {false, &RunParameters::r2, below, "r2"},    {false, &RunParameters::r2, above, "r2"},
        {false, &RunParameters::c, -above, "c"},     {false, &RunParameters::c, 1e-300, "c"},
        {false, &RunParameters::a3, 1e-9, "d"},      {false, &RunParameters::t1, 1e9, "t1"},
        {false, &RunParameters::a1, 1e300, nullptr},  // a disc has no a1
        {true, &RunParameters::a2, 1e300, "a2"},     {true, &RunParameters::b1, -1e-7, "b1"},
        {true, &RunParameters::b3, 2e8, "b3"},       {true, &RunParameters::r2, 1e300, nullptr},
    };
    for (const auto& c : cases) {
        Dataset d(10);
        if (c.cuboids) {
            d.flags = GeometryFlags{};
            d.flags.cylsrc = false;
            d.flags.cubsrc = true;
            d.flags.cyldet = false;
            d.flags.cubdet = true;
            d.prm.a1 = d.prm.b1 = d.prm.a2 = d.prm.b2 = d.prm.t2 = 1;
        }
        d.prm.*c.field = c.value;
        const LengthCheck check = checklengths(d.flags, d.prm);
        const std::string what =
            std::string(c.refused ? c.refused : "-") + " " + std::to_string(c.value);
        if (!c.refused) {
            EXPECT_EQ(check.name, nullptr) << what;
            EXPECT_EQ(checkdataset(d.flags, d.prm), DatasetProblem::none) << what;
        } else {
            ASSERT_NE(check.name, nullptr) << what;
            EXPECT_STREQ(check.name, c.refused);
            EXPECT_EQ(check.value, c.value);
            EXPECT_EQ(checkdataset(d.flags, d.prm), DatasetProblem::lengthoutofrange) << what;
        }
    }
}

TEST(Dataset, RunFinishesTheTallies) {
    Dataset d(20000);
    d.flags.sphdet = true;
    d.flags.cyldet = false;
    d.flags.discwindow = false;
    d.prm.c = 0;  // at the centre: every emission counts with the radius
    d.prm.r2 = 3;
    d.prm.roty = 1e-9;
    auto gen = mtcreate(4357);
    RecordingHost host;
    const DatasetOutcome out = rundataset(d.prm, d.flags, *gen, host);
    EXPECT_EQ(out.problem, DatasetProblem::none);
    EXPECT_TRUE(d.flags.rotated);
    EXPECT_EQ(out.tallies.hits, 20000);
    EXPECT_NEAR(out.tallies.meanpath, 3, 1e-12);
    EXPECT_GE(out.tallies.seconds, 0);
    EXPECT_TRUE(out.tallies.sourceinside);

    // Aimed away from a window: no hits, no division.
    Dataset away(100);
    away.flags.twopisrc = true;
    away.flags.fourpisrc = false;
    away.prm.rotx = degtorad(180);
    const DatasetOutcome none = rundataset(away.prm, away.flags, *gen, host);
    EXPECT_EQ(none.tallies.emitted, 100);
    EXPECT_EQ(none.tallies.hits, 0);
    EXPECT_EQ(none.tallies.meanpath, 0);
}

TEST(Dataset, RunRefusesWhatTheCheckRefuses) {
    Dataset d(100);
    d.flags.sphdet = true;  // with the disc window: two tests per emission
    auto gen = mtcreate(4357);
    RecordingHost host;
    const DatasetOutcome out = rundataset(d.prm, d.flags, *gen, host);
    EXPECT_EQ(out.problem, DatasetProblem::inconsistentflags);
    EXPECT_EQ(out.tallies.emitted, 0);
    EXPECT_EQ(gen->mti, 624u);
}
