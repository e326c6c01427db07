// Helpers of the engine tests: a LoopHost that records the emission counts at
// which the loop reported progress and polled, and answers "abort" at a chosen
// poll; and a comparison of two tallies.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/run.h"

namespace korvex::testing {

class RecordingHost : public LoopHost {
public:
    explicit RecordingHost(int abortatpoll = 0) : abortatpoll_(abortatpoll) {}
    void progressstep(const RunTallies& sofar) override { steps.push_back(sofar.emitted); }
    bool pollabort() override {
        polls.push_back(lastemitted ? *lastemitted : 0);
        return abortatpoll_ > 0 && int(polls.size()) == abortatpoll_;
    }
    std::vector<double> steps;
    std::vector<double> polls;
    const double* lastemitted = nullptr;  // the tallies being filled, if known

private:
    int abortatpoll_;
};

// Every count and the inside flag of two tallies agree. The path sum is left
// to the caller: how close it must come depends on the test.
inline void expectsamecounts(const RunTallies& got, const RunTallies& want,
                             const std::string& what) {
    EXPECT_EQ(got.emitted, want.emitted) << what;
    EXPECT_EQ(got.hits, want.hits) << what;
    EXPECT_EQ(got.sidehits, want.sidehits) << what;
    EXPECT_EQ(got.tophits, want.tophits) << what;
    EXPECT_EQ(got.bottomhits, want.bottomhits) << what;
    EXPECT_EQ(got.topfacehits, want.topfacehits) << what;
    EXPECT_EQ(got.bottomfacehits, want.bottomfacehits) << what;
    EXPECT_EQ(got.xplusfacehits, want.xplusfacehits) << what;
    EXPECT_EQ(got.xminusfacehits, want.xminusfacehits) << what;
    EXPECT_EQ(got.yplusfacehits, want.yplusfacehits) << what;
    EXPECT_EQ(got.yminusfacehits, want.yminusfacehits) << what;
    EXPECT_EQ(got.sourceinside, want.sourceinside) << what;
}

}  // namespace korvex::testing
